// COM and automation in one include: identities, BSTR and VARIANT, the component interfaces,
// the registry and type libraries, and a memory stream.
#pragma once

#include "platform/com/guid.h"
#include "platform/com/interfaces.h"
#include "platform/com/memory_stream.h"
#include "platform/com/registry.h"
#include "platform/com/typelib.h"
#include "platform/com/variant.h"

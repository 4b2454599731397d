// The control framework in one include: module and class objects, controls, property pages,
// archives and property exchange, device contexts, strings, dialogs and self-registration.
#pragma once

#include "platform/afx/archive.h"
#include "platform/afx/cdc.h"
#include "platform/afx/cstring.h"
#include "platform/afx/dialog.h"
#include "platform/afx/geometry.h"
#include "platform/afx/module.h"
#include "platform/afx/objectfactory.h"
#include "platform/afx/olecontrol.h"
#include "platform/afx/olereg.h"
#include "platform/afx/propertypage.h"
#include "platform/afx/propexchange.h"
#include "platform/afx/resources.h"
#include "platform/com/memory_stream.h"
#include "platform/com/registry.h"
#include "platform/com/typelib.h"

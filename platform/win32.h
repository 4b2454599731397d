// The one include that gives code above the platform stand-in the Win32 names: types,
// macros, constants and the functions of GDI, USER, the kernel and COM/automation that
// this system calls. On Windows it becomes <windows.h> and the OLE headers.
#pragma once

#include "platform/win32_types.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/com/com.h"

// The one include that gives code above the platform the Win32 names: types, macros,
// constants and the functions of GDI, USER (the few window functions an embedded control
// needs), the kernel and COM/automation that this system calls. On Windows these are the real
// headers; elsewhere the stand-in provides them.
#pragma once

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <ocidl.h>
// Leftovers of segmented memory that would swallow ordinary identifiers.
#undef near
#undef far

#else

#include "platform/win32_types.h"
#include "platform/gdi/gdi.h"
#include "platform/user/user.h"
#include "platform/kernel/kernel.h"
#include "platform/com/com.h"

#endif

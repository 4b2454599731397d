// The module's resources as compiled-in data: glyphwell.rc compiled by the resource compiler
// (string table, about box and property page dialogs, version information, toolbox bitmap and
// icon) and the type library in the platform's text form.
#pragma once

#include <string>

#include "platform/com/typelib.h"
#include "platform/win32.h"

#define GLYPHWELL_RT_GROUP_ICON MAKEINTRESOURCE(14)

// Declares every resource of the module under `module`.
void GlyphwellDeclareResources(HINSTANCE module);
// The type library GLYPHWELLLib 1.0 that resource TYPELIB 1 holds.
standin::TypeLibDesc GlyphwellTypeLibrary();
// Version information entries by name ("FileVersion", "ProductName", ...), read back from the
// version resource; empty when absent.
std::string GlyphwellVersionString(const BYTE* resource, DWORD size, const char* name);

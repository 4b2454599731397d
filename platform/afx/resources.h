// Module resources as the framework reaches them: the module whose resources are current
// (AfxGetResourceHandle), raw resource bytes by type and name, and strings from the string
// table (blocks of sixteen length-prefixed UTF-16 strings, as resource compilers lay them out).
#pragma once

#ifndef RC_INVOKED
#include <string>

#include "platform/win32_types.h"


#ifndef _WIN32
// Declares one resource of a module as compiled-in data (the bytes are copied).
// Names and types are MAKEINTRESOURCE ids or strings. (On Windows the resource compiler
// puts them into the module.)
void AfxDeclareResource(HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size);
// Declares every resource of a compiled resource file (the resource compiler's .res output:
// one header per resource with its type, name and language, then its data). False, with
// nothing declared, when the bytes are not a whole, well-formed file.
bool AfxDeclareResourceFile(HINSTANCE module, const BYTE* data, DWORD size);
#endif
bool AfxFindResourceBytes(HINSTANCE module, LPCSTR name, LPCSTR type, const BYTE** data, DWORD* size);
// String `id` converted to the ANSI code page; false when the module has no such string.
bool AfxLoadStringBytes(HINSTANCE module, UINT id, std::string* text);
// Builds a string-table block (resource RT_STRING, name id/16 + 1) from sixteen ANSI strings
// (null entries are absent strings).
std::string AfxBuildStringBlock(const char* const strings[16]);

HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);
// The framework's own module, which holds its standard strings (verb names and the like).
HINSTANCE AfxGetFrameworkHandle();
#endif  // RC_INVOKED
#define AFX_IDS_VERB_PROPERTIES 0xFE41

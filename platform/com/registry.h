// The system registry: a tree of keys (names compared without regard to case) holding typed
// values, reached through Windows' Reg* functions with their result codes. It lives in
// memory (tests) or in a file that every change rewrites (the command line), chosen with
// standin::RegistryUseMemory / standin::RegistryUseFile. This is platform state, not configuration.
// The stand-in's own controls (not Win32 names) live in namespace standin.
#pragma once

#include <string>

#include "platform/win32_types.h"

#ifndef _WIN32  // the system provides its own

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#ifndef ERROR_SUCCESS
#define ERROR_SUCCESS 0L
#endif
#ifndef ERROR_FILE_NOT_FOUND
#define ERROR_FILE_NOT_FOUND 2L
#endif
#ifndef ERROR_ACCESS_DENIED
#define ERROR_ACCESS_DENIED 5L
#endif
#ifndef ERROR_INVALID_HANDLE
#define ERROR_INVALID_HANDLE 6L
#endif
#ifndef ERROR_INVALID_PARAMETER
#define ERROR_INVALID_PARAMETER 87L
#endif
#ifndef ERROR_MORE_DATA
#define ERROR_MORE_DATA 234L
#endif
#ifndef ERROR_NO_MORE_ITEMS
#define ERROR_NO_MORE_ITEMS 259L
#endif
#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, DWORD desired,
                     void* security, HKEY* result, DWORD* disposition);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, DWORD desired, HKEY* result);
LONG RegCloseKey(HKEY key);
// Sets a value of `key` itself; a null or empty name is the key's default value.
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// Size-query protocol as on Windows: with data null, *size receives the length; a buffer too
// small gives ERROR_MORE_DATA with the needed length in *size.
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
// Removes a key that has no subkeys; a key with subkeys is refused (ERROR_ACCESS_DENIED).
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize);

#define RegCreateKeyEx RegCreateKeyExA
#define RegOpenKeyEx RegOpenKeyExA
#define RegSetValueEx RegSetValueExA
#define RegQueryValueEx RegQueryValueExA
#define RegDeleteKey RegDeleteKeyA
#define RegEnumKey RegEnumKeyA

namespace standin {
// Stand-in controls. UseMemory starts an empty tree that only this process sees.
void RegistryUseMemory();
// Loads the file (a missing file is an empty registry) and rewrites it after every change.
// False when the file exists but cannot be read or parsed; the registry is then empty and
// changes are still written to the file.
bool RegistryUseFile(const std::string& path);
// GLYPHWELL_REGISTRY, else $XDG_DATA_HOME/glyphwell/registry, else ~/.local/share/glyphwell/registry.
std::string RegistryDefaultPath();
// While false every change is refused with ERROR_ACCESS_DENIED (a registry the user may not write).
void RegistrySetWritable(bool writable);
// The whole tree as text, one "[root\key\path]" line per key followed by its values.
std::string RegistryDump();
}  // namespace standin

// Removes subKey with everything below it (deepest keys first).
LONG RegDeleteTreeA(HKEY key, LPCSTR subKey);
#define RegDeleteTree RegDeleteTreeA

#endif  // !_WIN32

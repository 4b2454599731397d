// Kernel services of the Win32 stand-in: the calling thread's last error, global memory
// blocks (fixed and movable handles), and module resources declared as data compiled into
// the module and found, loaded and locked with Win32's resource functions.
#pragma once

#include <string>

#include "platform/win32_types.h"

DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Global memory ----------------------------------------------------------------------
// A block larger than kGlobalMaxBytes is refused (null, ERROR_NOT_ENOUGH_MEMORY).
constexpr unsigned long long kGlobalMaxBytes = 2ull << 30;

// GMEM_FIXED: the handle is the block's address. GMEM_MOVEABLE: an opaque handle that
// GlobalLock turns into the address; a movable block of 0 bytes is a discarded block that
// cannot be locked. GMEM_ZEROINIT zero-fills.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// The block's address (null for an invalid or discarded handle); counts locks of movable blocks.
LPVOID GlobalLock(HGLOBAL mem);
// TRUE while a movable block stays locked; FALSE once unlocked (last error NO_ERROR) or on
// failure (last error ERROR_NOT_LOCKED or ERROR_INVALID_HANDLE).
BOOL GlobalUnlock(HGLOBAL mem);
// The size requested for the block, 0 for an invalid or discarded handle.
SIZE_T GlobalSize(HGLOBAL mem);
// Null on success, the handle itself when it is not a live block. Locked blocks are freed too.
HGLOBAL GlobalFree(HGLOBAL mem);

// ---- Code pages -----------------------------------------------------------------------------
// Conversions between UTF-16 and byte strings: the system's ANSI code page (CP_ACP, Windows-1252
// here, the framework's own conversion), Shift JIS (932) and UTF-8 (CP_UTF8). Other code pages
// fail with ERROR_INVALID_PARAMETER. As on Windows, a length of -1 means "up to and including
// the terminating zero", an output size of 0 asks for the size needed, and an output too small
// fails with ERROR_INSUFFICIENT_BUFFER. Characters a code page lacks become its default
// character ('?'), and *usedDefault (not allowed with CP_UTF8) says whether that happened;
// MB_ERR_INVALID_CHARS makes bytes that are no character of the code page fail the call with
// ERROR_NO_UNICODE_TRANSLATION. They are built with COM (com/code_pages.cpp), over the
// framework's conversions, since only the control converts text.
#define CP_ACP 0
#define CP_UTF8 65001
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define MB_ERR_INVALID_CHARS 0x00000008
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out, int outSize,
                        LPCSTR defaultChar, BOOL* usedDefault);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int length, LPWSTR out, int outSize);

// ---- Modules and resources ----------------------------------------------------------------
// The stand-in's own declarations of modules and their resources (the resource compiler and
// loader do this on Windows) live in namespace standin.
namespace standin {
// The instance handle of a module registered by name; NULL stands for the program itself.
// Registering a name again returns the same handle.
HINSTANCE RegisterModule(LPCSTR name);
// Declares one resource of a module (null: the program). Type and name are integer ids
// (MAKEINTRESOURCE) or strings; strings compare without regard to case and "#123" means id 123.
// The bytes are copied. FALSE for a duplicate type and name, or null data with a size.
BOOL RegisterResource(HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size);
// The same for a resource whose bytes take work to make: `make` runs once, when the resource is
// first found, so a process that never looks for it never makes it. FALSE as above, or for no maker.
BOOL RegisterResourceMaker(HINSTANCE module, LPCSTR type, LPCSTR name, std::string (*make)());
// Forgets every resource of a module; their handles and loaded addresses become invalid.
void UnregisterResources(HINSTANCE module);
}  // namespace standin

HRSRC FindResource(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);

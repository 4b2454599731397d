// Win32 calls the tests use to look at what the product drew and did (single pixels, a window's
// parent, update and window regions, points between windows) that the product itself never
// makes. Windows has them; on Linux the stand-in leaves them out and win32_probes.cpp, linked
// into the Linux tests only, provides them over its internals with Win32's behaviour.
#pragma once

#include "platform/win32.h"

#ifndef _WIN32
// The colour actually set or read; CLR_INVALID when (x, y) is outside the bitmap or the clip
// region.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);

// The parent of a child window; null for a top-level window.
HWND GetParent(HWND window);
// Converts points from one window's client coordinates to another's (null: the screen).
// Returns the horizontal offset in the low word and the vertical in the high word; 0 and
// ERROR_INVALID_WINDOW_HANDLE for a bad handle.
int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);
// Copies the window region into `region` and returns its type; ERROR when the window has none.
int GetWindowRgn(HWND window, HRGN region);
// Removes `rect` (everything when null) from the update region.
BOOL ValidateRect(HWND window, const RECT* rect);
// The bounding box of the update region; FALSE (and an empty rectangle) when it is empty.
BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase);
#endif

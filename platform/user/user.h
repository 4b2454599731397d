// The window manager of the Win32 stand-in, as small as an embedded control needs: window
// classes, top-level and child windows with their procedures, position, visibility, a window
// region, the update region with BeginPaint/EndPaint, and device contexts on a window. There is
// no message queue (messages are sent, never posted), no input and no non-client area: a
// window's client area is the whole window, and each window paints into a 32-bit surface of its
// own, which GetDC(window) reads back.
#pragma once

#include "platform/win32_types.h"

#define CALLBACK
typedef WORD ATOM;
typedef LRESULT(CALLBACK* WNDPROC)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;  // erases the update region when BeginPaint is asked to erase
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;  // TRUE when the window procedure still has to erase (WM_ERASEBKGND returned 0)
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

// Window styles (the dialog templates use the same values).
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define SIZE_RESTORED 0

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_SHOWNA 8

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080

#define GWL_STYLE (-16)
#define GWLP_USERDATA (-21)
#define HWND_DESKTOP ((HWND)0)

#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_INDEX 1413L

// ---- Classes ------------------------------------------------------------------------------
// A class is known by its name (without regard to case) and the instance that registered it.
// Registering a name twice for one instance fails with ERROR_CLASS_ALREADY_EXISTS; a class
// without a procedure or a name is refused (ERROR_INVALID_PARAMETER). Unregistering fails while
// windows of the class exist (ERROR_CLASS_HAS_WINDOWS).
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// ---- Windows ------------------------------------------------------------------------------
// Sends WM_NCCREATE and WM_CREATE (lParam: the CREATESTRUCTA); a refusal (FALSE, -1) destroys
// the window again and gives null. A child (WS_CHILD) needs a live parent
// (ERROR_TLW_WITH_WSCHILD without one); its position is in the parent's client coordinates,
// a top-level window's in screen coordinates. Negative sizes count as 0. A window whose
// surface cannot be allocated is not made (ERROR_NOT_ENOUGH_MEMORY). WS_VISIBLE shows the
// window at once, which makes its whole client area invalid.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY to the window and then its children, destroys the children, sends
// WM_NCDESTROY and frees the window. Only the thread that created a window may destroy it
// (ERROR_ACCESS_DENIED).
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// The previous visibility. Showing a hidden window makes its client area invalid.
BOOL ShowWindow(HWND window, int command);
// TRUE when the window and all its ancestors have WS_VISIBLE.
BOOL IsWindowVisible(HWND window);
// Moves and sizes the window (insertAfter and the z order are ignored: windows do not overlap
// here). A window keeps its painted pixels where its old and new client areas overlap; the
// area a resize uncovers is invalid, and with CS_HREDRAW/CS_VREDRAW the whole client area.
// WM_MOVE and WM_SIZE follow a change.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND window, LPRECT rect);
// In screen coordinates.
BOOL GetWindowRect(HWND window, LPRECT rect);
// The window region limits where the window is visible and can paint. The system owns the
// region from then on (the caller must not use it again); null removes it.
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);

// GWLP_USERDATA is the window's own value; GWL_STYLE can be read. Others: ERROR_INVALID_INDEX.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);

// ---- Messages -------------------------------------------------------------------------------
// Calls the window's procedure at once (from any thread: there are no queues). 0 for a bad handle.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_NCCREATE: TRUE. WM_ERASEBKGND: fills the update region with the class brush, TRUE when
// there is one. WM_PAINT: validates the window. Everything else: 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Painting -------------------------------------------------------------------------------
// Adds `rect` (the client area when null) to the update region; erase asks BeginPaint to erase.
// A window that is not visible has nothing to update. A null window invalidates all windows.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// Sends WM_PAINT when the update region is not empty.
BOOL UpdateWindow(HWND window);
// A context on the window clipped to its update region (and window region), with rcPaint the
// update region's box; the update region is emptied. WM_ERASEBKGND is sent first when an
// invalidation asked for erasing.
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// ---- Device contexts --------------------------------------------------------------------------
// GetDC(NULL): a context on the shared 32-bit screen surface. GetDC(window): a context on the
// window's own surface, clipped to its window region; it reads back what the window painted.
// Give either back with ReleaseDC. Null for a bad handle.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

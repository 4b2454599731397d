// Painting: the update region (InvalidateRect), WM_PAINT through
// UpdateWindow, BeginPaint/EndPaint with background erasing, the default window procedure, and
// device contexts on the screen and on windows.
#include <algorithm>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/kernel.h"
#include "platform/user/window_table.h"

namespace gw {
namespace user {

void AddUpdate(Window& window, const RECT* rect, bool erase) {
    if (!Visible(window)) return;
    RECT r{0, 0, window.Width(), window.Height()};
    if (rect) {
        r.left = std::max(r.left, rect->left);
        r.top = std::max(r.top, rect->top);
        r.right = std::min(r.right, rect->right);
        r.bottom = std::min(r.bottom, rect->bottom);
    }
    if (r.left >= r.right || r.top >= r.bottom) return;
    HRGN add = CreateRectRgnIndirect(&r);
    if (window.windowRegion) CombineRgn(add, add, window.windowRegion, RGN_AND);
    RECT box;
    if (GetRgnBox(add, &box) != NULLREGION) {
        CombineRgn(window.update, window.update, add, RGN_OR);
        if (erase) window.erase = true;
    }
    DeleteObject(add);
}

void AddUpdateTree(Window& window) {
    AddUpdate(window, nullptr, true);
    for (HWND child : window.children)
        if (Window* c = Find(child)) AddUpdateTree(*c);
}

namespace {

// A display context on the window's surface clipped to `clip` (null: its window region only).
// Under the lock.
HDC ContextOn(Window& window, HRGN clip) {
    HDC dc = gdi::NewDisplayContext(window.surface);
    if (!dc) return nullptr;
    if (clip)
        SelectClipRgn(dc, clip);
    else if (window.windowRegion)
        SelectClipRgn(dc, window.windowRegion);
    return dc;
}

bool HasUpdate(const Window& window) {
    RECT box;
    return GetRgnBox(window.update, &box) > NULLREGION;
}

void PaintTree(HWND handle) {
    std::vector<HWND> children;
    bool paint;
    {
        Guard guard(Lock());
        Window* w = Find(handle);
        if (!w) return;
        paint = Visible(*w) && HasUpdate(*w);
        children = w->children;
    }
    if (paint) SendMessageA(handle, WM_PAINT, 0, 0);
    for (HWND child : children) PaintTree(child);
}

}  // namespace

bool Erase(HWND handle) {
    HDC dc;
    {
        Guard guard(Lock());
        Window* w = Find(handle);
        if (!w || !w->erase) return true;
        w->erase = false;
        dc = ContextOn(*w, w->update);
    }
    if (!dc) return false;
    const bool erased = SendMessageA(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
    gdi::FreeDisplayContext(dc);
    return erased;
}

}  // namespace user
}  // namespace gw

using namespace gw::user;

BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL erase) {
    Guard guard(Lock());
    if (!handle) {
        for (HWND h : AllWindows()) AddUpdate(*Find(h), rect, erase != FALSE);
        return TRUE;
    }
    Window* w = Find(handle);
    if (!w) return FALSE;
    AddUpdate(*w, rect, erase != FALSE);
    return TRUE;
}

BOOL UpdateWindow(HWND handle) {
    if (!IsWindow(handle)) return FALSE;
    // Children are brought up to date after their parent, as the system's UpdateWindow does.
    PaintTree(handle);
    return TRUE;
}

HDC BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    if (!paint) return nullptr;
    *paint = PAINTSTRUCT{};
    if (!IsWindow(handle)) return nullptr;
    const bool erased = Erase(handle);
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w) return nullptr;
    HDC dc = ContextOn(*w, w->update);
    if (!dc) return nullptr;
    // The clip above already holds the update region, which painting now takes over.
    GetRgnBox(w->update, &paint->rcPaint);
    SetRectRgn(w->update, 0, 0, 0, 0);
    w->erase = false;
    paint->hdc = dc;
    paint->fErase = erased ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND handle, const PAINTSTRUCT* paint) {
    if (!paint || !IsWindow(handle)) return FALSE;
    return gw::gdi::FreeDisplayContext(paint->hdc) ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_ERASEBKGND: {
            HBRUSH brush;
            RECT client;
            {
                Guard guard(Lock());
                Window* w = Find(handle);
                if (!w || !w->cls->wc.hbrBackground) return 0;
                brush = w->cls->wc.hbrBackground;
                client = {0, 0, w->Width(), w->Height()};
            }
            // The context's clip keeps the fill to the update region.
            return FillRect(reinterpret_cast<HDC>(wParam), &client, brush) ? 1 : 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (BeginPaint(handle, &ps)) EndPaint(handle, &ps);
            return 0;
        }
        default:
            return 0;
    }
}

HDC GetDC(HWND handle) {
    if (!handle) return gw::gdi::NewDisplayContext(gw::gdi::ScreenSurface());
    Guard guard(Lock());
    Window* w = Find(handle);
    return w ? ContextOn(*w, nullptr) : nullptr;
}

int ReleaseDC(HWND, HDC dc) {
    return gw::gdi::FreeDisplayContext(dc) ? 1 : 0;
}

// The Linux implementations of the probes in win32_probes.h, over the stand-in's handle and
// window tables.
#include "tests/support/win32_probes.h"

#include "platform/gdi/gdi_internal.h"
#include "platform/user/window_table.h"

namespace {

// The pixel's place in the context's bitmap when it may be touched there: inside the bitmap
// and, when a clip region is selected, inside that.
gw::gdi::DC* Reachable(HDC handle, int x, int y) {
    gw::gdi::DC* dc = gw::gdi::FindDC(handle);
    if (!dc || !dc->bitmap) return nullptr;
    if (!dc->hasClip) {
        const bool inside = x >= 0 && y >= 0 && x < dc->bitmap->width && y < dc->bitmap->height;
        return inside ? dc : nullptr;
    }
    for (const RECT& r : gw::gdi::VisibleRects(*dc)) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return dc;
    }
    return nullptr;
}

bool HasUpdate(const gw::user::Window& window) {
    RECT box;
    return GetRgnBox(window.update, &box) > NULLREGION;
}

}  // namespace

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
    using namespace gw::gdi;
    Guard guard(Lock());
    DC* dc = Reachable(handle, x, y);
    if (!dc) return CLR_INVALID;
    PixelView view = ViewOf(*dc->bitmap);
    view.setWork(x, y, view.fromRgb(RgbFromColorref(color)));
    return ColorrefFromRgb(view.rgb(x, y));
}

COLORREF GetPixel(HDC handle, int x, int y) {
    using namespace gw::gdi;
    Guard guard(Lock());
    DC* dc = Reachable(handle, x, y);
    return dc ? ColorrefFromRgb(ViewOf(*dc->bitmap).rgb(x, y)) : CLR_INVALID;
}

HWND GetParent(HWND handle) {
    using namespace gw::user;
    Guard guard(Lock());
    Window* w = Find(handle);
    return w ? w->parent : nullptr;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    using namespace gw::user;
    Guard guard(Lock());
    POINT a{0, 0}, b{0, 0};
    if (from) {
        Window* w = Find(from);
        if (!w) return 0;
        a = Origin(*w);
    }
    if (to) {
        Window* w = Find(to);
        if (!w) return 0;
        b = Origin(*w);
    }
    const LONG dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(NO_ERROR);  // a zero offset is then told from a failure
    return MAKELONG(dx, dy);
}

int GetWindowRgn(HWND handle, HRGN region) {
    using namespace gw::user;
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w || !w->windowRegion || !region) return ERROR;
    return CombineRgn(region, w->windowRegion, nullptr, RGN_COPY);
}

BOOL ValidateRect(HWND handle, const RECT* rect) {
    using namespace gw::user;
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w) return FALSE;
    if (!rect) {
        SetRectRgn(w->update, 0, 0, 0, 0);
    } else {
        HRGN r = CreateRectRgnIndirect(rect);
        CombineRgn(w->update, w->update, r, RGN_DIFF);
        DeleteObject(r);
    }
    if (!HasUpdate(*w)) w->erase = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND handle, LPRECT rect, BOOL erase) {
    using namespace gw::user;
    {
        Guard guard(Lock());
        Window* w = Find(handle);
        if (!w) return FALSE;
        if (!HasUpdate(*w)) {
            if (rect) *rect = {0, 0, 0, 0};
            return FALSE;
        }
    }
    if (erase) Erase(handle);
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w) return FALSE;
    RECT box{0, 0, 0, 0};
    GetRgnBox(w->update, &box);
    if (rect) *rect = box;
    return HasUpdate(*w) ? TRUE : FALSE;
}

// Painting single pixels and areas with solid colours: SetPixel, GetPixel and FillRect, all
// confined to the bitmap and the clip region.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>

using namespace gw::gdi;

namespace gw {
namespace gdi {

uint32_t BrushWork(const DC& dc, const PixelView& view) {
    COLORREF c = dc.brush ? dc.brush->color : 0;
    return view.fromRgb(RgbFromColorref(c));
}

}  // namespace gdi
}  // namespace gw

namespace {

bool Inside(const std::vector<RECT>& visible, int x, int y) {
    for (const RECT& r : visible) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    }
    return false;
}

void FillVisible(const DC& dc, const RECT& area, uint32_t work) {
    PixelView view = ViewOf(*dc.bitmap);
    for (const RECT& v : VisibleRects(dc)) {
        RECT cut;
        if (!Intersect(v, area, &cut)) continue;
        for (LONG y = cut.top; y < cut.bottom; ++y) {
            for (LONG x = cut.left; x < cut.right; ++x) view.setWork(x, y, work);
        }
    }
}

}  // namespace

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !dc->bitmap) return CLR_INVALID;
    if (dc->hasClip ? !Inside(VisibleRects(*dc), x, y)
                    : (x < 0 || y < 0 || x >= dc->bitmap->width || y >= dc->bitmap->height)) {
        return CLR_INVALID;
    }
    PixelView view = ViewOf(*dc->bitmap);
    uint32_t work = view.fromRgb(RgbFromColorref(color));
    view.setWork(x, y, work);
    return ColorrefFromRgb(view.rgb(x, y));
}

COLORREF GetPixel(HDC handle, int x, int y) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !dc->bitmap) return CLR_INVALID;
    if (dc->hasClip ? !Inside(VisibleRects(*dc), x, y)
                    : (x < 0 || y < 0 || x >= dc->bitmap->width || y >= dc->bitmap->height)) {
        return CLR_INVALID;
    }
    return ColorrefFromRgb(ViewOf(*dc->bitmap).rgb(x, y));
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brush) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !dc->bitmap || !rect) return 0;
    COLORREF color;
    auto value = reinterpret_cast<uintptr_t>(brush);
    if (value >= 1 && value <= 31) {
        color = GetSysColor(static_cast<int>(value - 1));  // COLOR_xxx + 1 stands for that colour
    } else {
        Brush* b = FindAs<Brush>(brush, Kind::Brush);
        if (!b) return 0;
        if (b->style == BS_NULL) return 1;
        color = b->color;
    }
    PixelView view = ViewOf(*dc->bitmap);
    FillVisible(*dc, *rect, view.fromRgb(RgbFromColorref(color)));
    return 1;
}

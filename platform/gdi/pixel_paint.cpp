// Painting areas with solid colours (FillRect), confined to the bitmap and the clip region, and
// the brush colour the raster operations fill with.
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

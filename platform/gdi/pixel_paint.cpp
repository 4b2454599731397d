// Painting single pixels and areas with solid colours: SetPixel, GetPixel, the flood fills
// and FillRect, all confined to the bitmap and the clip region.
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

BOOL ExtFloodFill(HDC handle, int x, int y, COLORREF color, UINT type) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !dc->bitmap || (type != FLOODFILLBORDER && type != FLOODFILLSURFACE)) return FALSE;
    if (dc->brush && dc->brush->style == BS_NULL) return FALSE;
    std::vector<RECT> visible = VisibleRects(*dc);
    if (!Inside(visible, x, y)) return FALSE;
    PixelView view = ViewOf(*dc->bitmap);
    const int w = view.width, h = view.height;
    // Colours compare as the device stores them, so a colour the device cannot hold
    // exactly matches what it would have been stored as.
    const uint32_t target = view.fromRgb(RgbFromColorref(color));
    const uint32_t fill = BrushWork(*dc, view);
    auto fillable = [&](int px, int py) {
        uint32_t here = view.work(px, py);
        return type == FLOODFILLBORDER ? here != target : here == target;
    };
    if (!fillable(x, y)) return FALSE;

    // One bit per pixel remembers what has been filled, since the fill colour may itself be
    // fillable; the clip is folded in so that the scan never steps outside it.
    std::vector<uint8_t> done((static_cast<size_t>(w) * static_cast<size_t>(h) + 7) / 8, 0);
    auto index = [w](int px, int py) { return static_cast<size_t>(py) * static_cast<size_t>(w) + static_cast<size_t>(px); };
    auto isDone = [&](int px, int py) { size_t i = index(px, py); return (done[i >> 3] >> (i & 7)) & 1; };
    auto setDone = [&](int px, int py) { size_t i = index(px, py); done[i >> 3] |= static_cast<uint8_t>(1u << (i & 7)); };
    const bool clipped = dc->hasClip;
    auto open = [&](int px, int py) {
        return !isDone(px, py) && (!clipped || Inside(visible, px, py)) && fillable(px, py);
    };

    std::vector<std::pair<int, int>> stack;
    stack.emplace_back(x, y);
    while (!stack.empty()) {
        auto [sx, sy] = stack.back();
        stack.pop_back();
        if (!open(sx, sy)) continue;
        int left = sx, right = sx;
        while (left > 0 && open(left - 1, sy)) --left;
        while (right + 1 < w && open(right + 1, sy)) ++right;
        for (int px = left; px <= right; ++px) {
            view.setWork(px, sy, fill);
            setDone(px, sy);
        }
        for (int ny : {sy - 1, sy + 1}) {
            if (ny < 0 || ny >= h) continue;
            bool inRun = false;
            for (int px = left; px <= right; ++px) {
                bool o = open(px, ny);
                if (o && !inRun) stack.emplace_back(px, ny);
                inRun = o;
            }
        }
    }
    return TRUE;
}

BOOL FloodFill(HDC handle, int x, int y, COLORREF border) {
    return ExtFloodFill(handle, x, y, border, FLOODFILLBORDER);
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

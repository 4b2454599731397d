// Regions as lists of disjoint rectangles, their algebra, and the clip region of a context.
// The algebra cuts the plane into the bands and columns that the rectangles' edges make, so
// every combination mode is the same cell-by-cell test.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>
#include <climits>

using namespace gw::gdi;

namespace gw {
namespace gdi {
namespace {

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Normalised(int left, int top, int right, int bottom) {
    RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    return r;
}

bool Keep(bool a, bool b, int mode) {
    switch (mode) {
        case RGN_AND: return a && b;
        case RGN_OR: return a || b;
        case RGN_XOR: return a != b;
        case RGN_DIFF: return a && !b;
        default: return a;  // RGN_COPY
    }
}

void Mark(const std::vector<RECT>& rects, LONG top, LONG bottom, const std::vector<LONG>& xs,
          std::vector<char>& cells) {
    std::fill(cells.begin(), cells.end(), 0);
    for (const RECT& r : rects) {
        if (Empty(r) || r.top > top || r.bottom < bottom) continue;
        size_t from = static_cast<size_t>(std::lower_bound(xs.begin(), xs.end(), r.left) - xs.begin());
        size_t to = static_cast<size_t>(std::lower_bound(xs.begin(), xs.end(), r.right) - xs.begin());
        for (size_t i = from; i < to; ++i) cells[i] = 1;
    }
}

}  // namespace

bool Intersect(const RECT& a, const RECT& b, RECT* out) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (Empty(r)) return false;
    if (out) *out = r;
    return true;
}

std::vector<RECT> CombineRects(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode) {
    std::vector<LONG> xs, ys;
    auto collect = [&](const std::vector<RECT>& list) {
        for (const RECT& r : list) {
            if (Empty(r)) continue;
            xs.push_back(r.left);
            xs.push_back(r.right);
            ys.push_back(r.top);
            ys.push_back(r.bottom);
        }
    };
    collect(a);
    if (mode != RGN_COPY) collect(b);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    std::vector<RECT> out;
    if (xs.size() < 2 || ys.size() < 2) return out;
    std::vector<char> inA(xs.size() - 1), inB(xs.size() - 1);
    static const std::vector<RECT> none;
    std::vector<std::pair<LONG, LONG>> previous;  // spans of the band just emitted
    size_t previousStart = 0;
    LONG previousBottom = 0;
    bool havePrevious = false;
    for (size_t j = 0; j + 1 < ys.size(); ++j) {
        Mark(a, ys[j], ys[j + 1], xs, inA);
        Mark(mode == RGN_COPY ? none : b, ys[j], ys[j + 1], xs, inB);
        std::vector<std::pair<LONG, LONG>> spans;
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            if (!Keep(inA[i] != 0, inB[i] != 0, mode)) continue;
            if (!spans.empty() && spans.back().second == xs[i]) {
                spans.back().second = xs[i + 1];
            } else {
                spans.emplace_back(xs[i], xs[i + 1]);
            }
        }
        if (spans.empty()) continue;
        // A band identical to the one directly above it extends those rectangles downwards.
        if (havePrevious && spans == previous && previousBottom == ys[j]) {
            for (size_t k = previousStart; k < out.size(); ++k) out[k].bottom = ys[j + 1];
        } else {
            previousStart = out.size();
            for (const auto& s : spans) out.push_back(RECT{s.first, ys[j], s.second, ys[j + 1]});
            previous = std::move(spans);
        }
        previousBottom = ys[j + 1];
        havePrevious = true;
    }
    return out;
}

int RegionType(const std::vector<RECT>& rects) {
    if (rects.empty()) return NULLREGION;
    return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT BoundingBox(const std::vector<RECT>& rects) {
    if (rects.empty()) return RECT{0, 0, 0, 0};
    RECT box = rects.front();
    for (const RECT& r : rects) {
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

std::vector<RECT> VisibleRects(const DC& dc) {
    std::vector<RECT> out;
    if (!dc.bitmap) return out;
    RECT bounds{0, 0, dc.bitmap->width, dc.bitmap->height};
    if (!dc.hasClip) {
        out.push_back(bounds);
        return out;
    }
    for (const RECT& r : dc.clip) {
        RECT cut;
        if (Intersect(r, bounds, &cut)) out.push_back(cut);
    }
    return out;
}

}  // namespace gdi
}  // namespace gw

namespace {

Region* FindRegion(HRGN h) { return FindAs<Region>(h, Kind::Region); }

HRGN NewRegion(std::vector<RECT> rects) {
    auto* r = new Region;
    r->rects = std::move(rects);
    Register(r);
    return reinterpret_cast<HRGN>(static_cast<Object*>(r));
}

// The clip a context currently has, as a region: without one, the whole bitmap.
std::vector<RECT> CurrentClip(const DC& dc) {
    if (dc.hasClip) return dc.clip;
    std::vector<RECT> all;
    if (dc.bitmap) all.push_back(RECT{0, 0, dc.bitmap->width, dc.bitmap->height});
    return all;
}

int SetClip(DC* dc, std::vector<RECT> rects) {
    dc->hasClip = true;
    dc->clip = std::move(rects);
    return RegionType(VisibleRects(*dc));
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    RECT r = Normalised(left, top, right, bottom);
    std::vector<RECT> rects;
    if (!Empty(r)) rects.push_back(r);
    return NewRegion(std::move(rects));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode) {
    Guard guard(Lock());
    Region* d = FindRegion(dst);
    Region* a = FindRegion(src1);
    Region* b = mode == RGN_COPY ? nullptr : FindRegion(src2);
    if (!d || !a || mode < RGN_AND || mode > RGN_COPY || (mode != RGN_COPY && !b)) return ERROR;
    static const std::vector<RECT> none;
    d->rects = CombineRects(a->rects, b ? b->rects : none, mode);
    return RegionType(d->rects);
}

int GetRgnBox(HRGN region, LPRECT rect) {
    Guard guard(Lock());
    Region* r = FindRegion(region);
    if (!r || !rect) return ERROR;
    *rect = BoundingBox(r->rects);
    return RegionType(r->rects);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
    Guard guard(Lock());
    Region* r = FindRegion(region);
    if (!r) return FALSE;
    RECT n = Normalised(left, top, right, bottom);
    r->rects.clear();
    if (!Empty(n)) r->rects.push_back(n);
    return TRUE;
}

int SelectClipRgn(HDC handle, HRGN region) {
    return ExtSelectClipRgn(handle, region, RGN_COPY);
}

int ExtSelectClipRgn(HDC handle, HRGN region, int mode) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    if (!region) {
        if (mode != RGN_COPY) return ERROR;
        dc->hasClip = false;
        dc->clip.clear();
        return SIMPLEREGION;
    }
    Region* r = FindRegion(region);
    if (!r) return ERROR;
    if (mode == RGN_COPY) return SetClip(dc, CombineRects(r->rects, {}, RGN_COPY));
    return SetClip(dc, CombineRects(CurrentClip(*dc), r->rects, mode));
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc) return ERROR;
    std::vector<RECT> box{Normalised(left, top, right, bottom)};
    // Without a clip region there is nothing to intersect with: the rectangle becomes the
    // clip region as it is, even where it lies off the bitmap.
    if (!dc->hasClip) {
        if (Empty(box[0])) box.clear();
        dc->hasClip = true;
        dc->clip = box;
        return RegionType(box);
    }
    return SetClip(dc, CombineRects(CurrentClip(*dc), box, RGN_AND));
}

int GetClipBox(HDC handle, LPRECT rect) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !rect) return ERROR;
    std::vector<RECT> visible = VisibleRects(*dc);
    *rect = BoundingBox(visible);
    return RegionType(visible);
}

BOOL RectVisible(HDC handle, const RECT* rect) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !rect) return FALSE;
    RECT n = Normalised(rect->left, rect->top, rect->right, rect->bottom);
    for (const RECT& v : VisibleRects(*dc)) {
        if (Intersect(v, n, nullptr)) return TRUE;
    }
    return FALSE;
}

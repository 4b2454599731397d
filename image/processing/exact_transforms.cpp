// Transforms that move pixels without changing them: quarter and half turns, crops and
// borders. Palette, transparency, alpha and selection travel with the pixels.
#include <algorithm>
#include <cstdint>

#include "image/processing/processing_kit.h"

namespace {

const RGBQUAD kBlack = {0, 0, 0, 0};

// A width x height result of the same depth whose pixels `map` takes from the picture, the
// unmapped ones from the border values.
template <class Map>
bool MoveInto(GwImage& image, GwImage* dest, const char* op, int64_t width, int64_t height, Map map, BYTE index = 0,
              RGBQUAD color = kBlack, BYTE alpha = 0) {
    if (!GwProcessingKit::CheckResult(image, op, width, height)) return false;
    GwImage out;
    if (!GwProcessingKit::MakeLike(image, out, static_cast<long>(width), static_cast<long>(height), image.GetBpp(),
                                   image, op))
        return false;
    GwProcessingKit::MovePixels(image, out, map, index, color, alpha);
    return GwProcessingKit::Deliver(image, dest, out);
}

}  // namespace

bool GwImage::RotateLeft(GwImage* dest) {
    // (x, y) goes to (h - 1 - y, x): result pixel (X, Y) comes from (Y, h - 1 - X).
    const long h = static_cast<long>(GetHeight());
    return MoveInto(*this, dest, "GwImage::RotateLeft", GetHeight(), GetWidth(), [h](long x, long y, long& sx, long& sy) {
        sx = y;
        sy = h - 1 - x;
        return true;
    });
}

bool GwImage::RotateRight(GwImage* dest) {
    // (x, y) goes to (y, w - 1 - x): result pixel (X, Y) comes from (w - 1 - Y, X).
    const long w = static_cast<long>(GetWidth());
    return MoveInto(*this, dest, "GwImage::RotateRight", GetHeight(), GetWidth(), [w](long x, long y, long& sx, long& sy) {
        sx = w - 1 - y;
        sy = x;
        return true;
    });
}

bool GwImage::Rotate180(GwImage* dest) {
    if (!dib) return GwProcessingKit::Fail(*this, "GwImage::Rotate180", "no picture");
    if (dest && dest != this) {
        GwImage out(*this);
        if (!out.IsValid()) return GwProcessingKit::Fail(*this, "GwImage::Rotate180", out.GetLastError());
        out.Flip();
        out.Mirror();
        return GwProcessingKit::Deliver(*this, dest, out);
    }
    return Flip() && Mirror();
}

bool GwImage::Crop(const RECT& rect, GwImage* dest) { return Crop(rect.left, rect.top, rect.right, rect.bottom, dest); }

bool GwImage::Crop(long left, long top, long right, long bottom, GwImage* dest) {
    const char* op = "GwImage::Crop";
    if (!dib) return GwProcessingKit::Fail(*this, op, "no picture");
    const int64_t l = std::max<int64_t>(left, 0), b = std::max<int64_t>(bottom, 0);
    const int64_t r = std::min<int64_t>(right, GetWidth()), t = std::min<int64_t>(top, GetHeight());
    if (r <= l || t <= b) return GwProcessingKit::Fail(*this, op, "the rectangle does not meet the picture");
    const long dx = static_cast<long>(l), dy = static_cast<long>(b);
    return MoveInto(*this, dest, op, r - l, t - b, [dx, dy](long x, long y, long& sx, long& sy) {
        sx = x + dx;
        sy = y + dy;
        return true;
    });
}

namespace {

// Shared by both forms of Expand once the border's index, colour and alpha are known.
bool ExpandWith(GwImage& image, long left, long top, long right, long bottom, BYTE index, RGBQUAD color, BYTE alpha,
                GwImage* dest) {
    const char* op = "GwImage::Expand";
    if (left < 0 || top < 0 || right < 0 || bottom < 0)
        return GwProcessingKit::Fail(image, op, "border widths must not be negative");
    // Each width is capped before adding so that the sums cannot overflow; the cap is far
    // beyond what CheckResult lets through.
    auto capped = [](long v) { return std::min<int64_t>(v, INT64_C(1) << 40); };
    const int64_t w = static_cast<int64_t>(image.GetWidth()) + capped(left) + capped(right);
    const int64_t h = static_cast<int64_t>(image.GetHeight()) + capped(top) + capped(bottom);
    const long srcW = static_cast<long>(image.GetWidth()), srcH = static_cast<long>(image.GetHeight());
    return MoveInto(
        image, dest, op, w, h,
        [=](long x, long y, long& sx, long& sy) {
            sx = x - left;
            sy = y - bottom;
            return sx >= 0 && sx < srcW && sy >= 0 && sy < srcH;
        },
        index, color, alpha);
}

}  // namespace

bool GwImage::Expand(long left, long top, long right, long bottom, RGBQUAD canvasColor, GwImage* dest) {
    const BYTE index = dib && header.biClrUsed ? GetNearestIndex(canvasColor) : 0;
    return ExpandWith(*this, left, top, right, bottom, index, canvasColor, canvasColor.rgbReserved, dest);
}

bool GwImage::Expand(long left, long top, long right, long bottom, BYTE paletteIndex, GwImage* dest) {
    if (dib && !header.biClrUsed) return GwProcessingKit::Fail(*this, "GwImage::Expand", "no palette");
    if (dib && paletteIndex >= header.biClrUsed)
        return GwProcessingKit::Fail(*this, "GwImage::Expand", "palette index beyond the palette");
    return ExpandWith(*this, left, top, right, bottom, paletteIndex, kBlack, 255, dest);
}

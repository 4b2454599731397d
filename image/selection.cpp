// GwImage selection: the selection plane (one byte per pixel, 255 = selected) and its
// bounding box. The box is half-open: columns left..right-1 and rows bottom..top-1 (rows
// count upward), so the empty box is left = width, right = 0, top = 0, bottom = height.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/byte_plane.h"
#include "image/gw_image.h"

namespace {

RECT EmptyBox(const GwImage& image) {
    RECT r;
    r.left = static_cast<LONG>(image.GetWidth());
    r.top = 0;
    r.right = 0;
    r.bottom = static_cast<LONG>(image.GetHeight());
    return r;
}

void Widen(RECT& box, long left, long bottom, long right, long top) {
    if (left < box.left) box.left = static_cast<LONG>(left);
    if (right > box.right) box.right = static_cast<LONG>(right);
    if (bottom < box.bottom) box.bottom = static_cast<LONG>(bottom);
    if (top > box.top) box.top = static_cast<LONG>(top);
}

// The smallest box holding every selected byte of a plane.
RECT BoxOfPlane(const BYTE* plane, long width, long height) {
    RECT box{static_cast<LONG>(width), 0, 0, static_cast<LONG>(height)};
    for (long y = 0; y < height; y++) {
        const BYTE* row = plane + static_cast<size_t>(y) * width;
        for (long x = 0; x < width; x++)
            if (row[x]) Widen(box, x, y, x + 1, y + 1);
    }
    return box;
}

long Clamp(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

bool GwImage::SelectionCreate() {
    SelectionDelete();
    if (!dib) return false;
    selection = static_cast<BYTE*>(std::calloc(static_cast<size_t>(GetWidth()) * GetHeight(), 1));
    info.selectionBox = EmptyBox(*this);
    return selection != nullptr;
}

bool GwImage::SelectionDelete() {
    std::free(selection);
    selection = nullptr;
    info.selectionBox = EmptyBox(*this);
    return true;
}

bool GwImage::SelectionClear() {
    if (!selection) return false;
    std::memset(selection, 0, static_cast<size_t>(GetWidth()) * GetHeight());
    info.selectionBox = EmptyBox(*this);
    return true;
}

void GwImage::SelectionFitBox() {
    if (!selection) return;
    info.selectionBox = BoxOfPlane(selection, static_cast<long>(GetWidth()), static_cast<long>(GetHeight()));
}

bool GwImage::SelectionIsValid() const { return selection != nullptr; }

void GwImage::SelectionGetBox(RECT& box) const { box = info.selectionBox; }

bool GwImage::BlindSelectionIsInside(long x, long y) const {
    return selection[static_cast<size_t>(y) * GetWidth() + x] != 0;
}

bool GwImage::SelectionIsInside(long x, long y) const {
    if (!dib || !IsInside(x, y)) return false;
    if (!selection) return true;
    return BlindSelectionIsInside(x, y);
}

bool GwImage::SelectionAddRect(RECT r) {
    if (!selection && !SelectionCreate()) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    const long left = Clamp(std::min<long>(r.left, r.right), 0, width);
    const long right = Clamp(std::max<long>(r.left, r.right), 0, width);
    const long bottom = Clamp(std::min<long>(r.top, r.bottom), 0, height);
    const long top = Clamp(std::max<long>(r.top, r.bottom), 0, height);
    if (left >= right || bottom >= top) return true;  // nothing of it lies on the image
    for (long y = bottom; y < top; y++)
        std::memset(selection + static_cast<size_t>(y) * width + left, 255, static_cast<size_t>(right - left));
    Widen(info.selectionBox, left, bottom, right, top);
    return true;
}

bool GwImage::SelectionAddEllipse(RECT r) {
    const long left = std::min<long>(r.left, r.right), right = std::max<long>(r.left, r.right);
    const long bottom = std::min<long>(r.top, r.bottom), top = std::max<long>(r.top, r.bottom);
    const double ax = (static_cast<double>(right) - left) / 2.0;
    const double ay = (static_cast<double>(top) - bottom) / 2.0;
    if (static_cast<long>(ax) == 0 || static_cast<long>(ay) == 0) return false;
    if (!selection && !SelectionCreate()) return false;

    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    const double cx = (static_cast<double>(left) + right) / 2.0;
    const double cy = (static_cast<double>(bottom) + top) / 2.0;
    // A pixel belongs to the ellipse when its centre does.
    for (long y = Clamp(bottom, 0, height); y < Clamp(top, 0, height); y++) {
        const double dy = (y + 0.5 - cy) / ay;
        for (long x = Clamp(left, 0, width); x < Clamp(right, 0, width); x++) {
            const double dx = (x + 0.5 - cx) / ax;
            if (dx * dx + dy * dy <= 1.0) {
                selection[static_cast<size_t>(y) * width + x] = 255;
                Widen(info.selectionBox, x, y, x + 1, y + 1);
            }
        }
    }
    return true;
}

bool GwImage::SelectionAddPolygon(POINT* points, long n) {
    if (!points || n < 3) return false;
    if (!selection && !SelectionCreate()) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());

    // Even-odd fill by pixel centres, one scan line per row.
    std::vector<double> crossings;
    for (long y = 0; y < height; y++) {
        const double yc = y + 0.5;
        crossings.clear();
        for (long i = 0; i < n; i++) {
            const POINT& a = points[i];
            const POINT& b = points[(i + 1) % n];
            const double ya = a.y, yb = b.y;
            if ((ya <= yc && yb > yc) || (yb <= yc && ya > yc)) {
                const double t = (yc - ya) / (yb - ya);
                crossings.push_back(a.x + t * (static_cast<double>(b.x) - a.x));
            }
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
            // Pixels whose centre x + 0.5 lies in [from, to).
            const double from = std::ceil(crossings[k] - 0.5);
            const double to = std::ceil(crossings[k + 1] - 0.5);
            const long x0 = static_cast<long>(std::max(0.0, std::min<double>(from, width)));
            const long x1 = static_cast<long>(std::max(0.0, std::min<double>(to, width)));
            if (x0 >= x1) continue;
            std::memset(selection + static_cast<size_t>(y) * width + x0, 255, static_cast<size_t>(x1 - x0));
            Widen(info.selectionBox, x0, y, x1, y + 1);
        }
    }
    return true;
}

bool GwImage::SelectionAddColor(RGBQUAD color) {
    if (!selection && !SelectionCreate()) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    for (long y = 0; y < height; y++) {
        for (long x = 0; x < width; x++) {
            const RGBQUAD c = BlindGetPixelColor(x, y);
            if (c.rgbRed == color.rgbRed && c.rgbGreen == color.rgbGreen && c.rgbBlue == color.rgbBlue) {
                selection[static_cast<size_t>(y) * width + x] = 255;
                Widen(info.selectionBox, x, y, x + 1, y + 1);
            }
        }
    }
    return true;
}

bool GwImage::SelectionAddPixel(int x, int y) {
    if (!dib || !IsInside(x, y)) return false;
    if (!selection && !SelectionCreate()) return false;
    selection[static_cast<size_t>(y) * GetWidth() + x] = 255;
    Widen(info.selectionBox, x, y, static_cast<long>(x) + 1, static_cast<long>(y) + 1);
    return true;
}

bool GwImage::SelectionInvert() {
    if (!selection) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    const size_t n = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < n; i++) selection[i] = static_cast<BYTE>(255 - selection[i]);
    // The old box says nothing about the newly selected pixels; operations limited to the box
    // would miss them.
    info.selectionBox = BoxOfPlane(selection, width, height);
    return true;
}

bool GwImage::SelectionCopy(const GwImage& from) {
    if (&from == this) return selection != nullptr;
    if (!from.selection || !dib || GetWidth() != from.GetWidth() || GetHeight() != from.GetHeight())
        return false;
    const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
    if (!selection) {
        selection = static_cast<BYTE*>(std::malloc(n));
        if (!selection) return false;
    }
    std::memcpy(selection, from.selection, n);
    info.selectionBox = from.info.selectionBox;
    return true;
}

bool GwImage::SelectionSplit(GwImage* dest) const {
    if (!selection || !dest || dest == this) return false;
    return gwplane::Split(selection, *this, dest);
}

// Area sampling: the average colour over a float rectangle of the picture, every pixel
// weighted by how much of it lies inside.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/gw_image.h"

namespace {

// Areas covering more pixels than this under a folding edge rule are sampled on a grid.
const double kMostCells = 16777216.0;
const int kGrid = 4096;
// Beyond this, cell coordinates would not fit the pixel functions' long on every platform.
const float kFarAway = 1.0e9f;

BYTE Mean(float sum, float surface) {
    const float v = sum / surface + 0.5f;
    if (!(v > 0)) return 0;
    return v >= 255 ? 255 : static_cast<BYTE>(v);
}

}  // namespace

void GwImage::AddAveragingCont(const RGBQUAD& color, float surface, float& r, float& g, float& b, float& a) {
    r += color.rgbRed * surface;
    g += color.rgbGreen * surface;
    b += color.rgbBlue * surface;
    a += color.rgbReserved * surface;
}

RGBQUAD GwImage::GetAreaColorInterpolated(const GwRect2& area, InterpolationMethod method, OverflowMethod overflow,
                                          RGBQUAD* const replacement) const {
    const GwPoint2 centre = area.Center();
    const RGBQUAD outside = GetPixelColorWithOverflow(-1, -1, overflow, replacement);
    const bool finite = std::isfinite(area.botLeft.x) && std::isfinite(area.botLeft.y) &&
                        std::isfinite(area.topRight.x) && std::isfinite(area.topRight.y);
    if (!dib || !finite || area.IsEmpty()) return outside;
    const float reach = std::max(std::max(std::fabs(area.botLeft.x), std::fabs(area.botLeft.y)),
                                 std::max(std::fabs(area.topRight.x), std::fabs(area.topRight.y)));
    if ((area.Width() < 1 && area.Height() < 1) || reach > kFarAway)
        return GetPixelColorInterpolated(centre.x - 0.5f, centre.y - 0.5f, method, overflow, replacement);

    const bool folds = overflow == OverflowWrap || overflow == OverflowClamp || overflow == OverflowMirror;
    const double left = area.botLeft.x, bottom = area.botLeft.y, right = area.topRight.x, top = area.topRight.y;
    float r = 0, g = 0, b = 0, a = 0;
    const float surface = area.Surface();

    if (folds && (std::ceil(right) - std::floor(left)) * (std::ceil(top) - std::floor(bottom)) > kMostCells) {
        // Too many cells to visit: an even grid of point samples stands in for them.
        const double stepX = (right - left) / kGrid, stepY = (top - bottom) / kGrid;
        for (int j = 0; j < kGrid; j++) {
            const double y = std::floor(bottom + (j + 0.5) * stepY);
            for (int i = 0; i < kGrid; i++) {
                const double x = std::floor(left + (i + 0.5) * stepX);
                AddAveragingCont(GetPixelColorWithOverflow(static_cast<long>(x), static_cast<long>(y), overflow,
                                                           replacement),
                                 1.0f, r, g, b, a);
            }
        }
        const float n = static_cast<float>(kGrid) * kGrid;
        return RGBQUAD{Mean(b, n), Mean(g, n), Mean(r, n), alpha ? Mean(a, n) : BYTE(0)};
    }

    // Under a non-folding rule everything outside the picture is one colour: visit only the
    // cells on the picture and give the rest of the area that colour.
    double x0 = std::floor(left), x1 = std::ceil(right), y0 = std::floor(bottom), y1 = std::ceil(top);
    if (!folds) {
        x0 = std::max(x0, 0.0);
        y0 = std::max(y0, 0.0);
        x1 = std::min(x1, static_cast<double>(GetWidth()));
        y1 = std::min(y1, static_cast<double>(GetHeight()));
    }
    float covered = 0;
    for (double y = y0; y < y1; y++) {
        const float h = static_cast<float>(std::min(top, y + 1) - std::max(bottom, y));
        for (double x = x0; x < x1; x++) {
            const float part = h * static_cast<float>(std::min(right, x + 1) - std::max(left, x));
            if (part <= 0) continue;
            AddAveragingCont(GetPixelColorWithOverflow(static_cast<long>(x), static_cast<long>(y), overflow, replacement),
                             part, r, g, b, a);
            covered += part;
        }
    }
    if (!folds && surface > covered) AddAveragingCont(outside, surface - covered, r, g, b, a);
    return RGBQUAD{Mean(b, surface), Mean(g, surface), Mean(r, surface), alpha ? Mean(a, surface) : BYTE(0)};
}

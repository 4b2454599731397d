// Turns by any angle (on a grown or the same canvas), shears and crops along a turned
// rectangle: each is an inverse affine map handed to the shared warp.
#include <cmath>
#include <cstdint>

#include "image/processing/processing_kit.h"

namespace {

// The inverse map of a turn by (c, s) about the centres of a w x h source and a
// width x height result, in pixel-index coordinates (pixel centres at whole numbers).
void TurnMap(double c, double s, double w, double h, double width, double height, double m[6]) {
    const double du = 0.5 - width / 2, dv = 0.5 - height / 2;
    m[0] = c;
    m[1] = s;
    m[2] = c * du + s * dv + w / 2 - 0.5;
    m[3] = -s;
    m[4] = c;
    m[5] = -s * du + c * dv + h / 2 - 0.5;
}

// A picture to turn and a finite angle, as cosine, sine and whole quarter turns.
bool TurnFor(GwImage& image, const char* op, float angle, double& c, double& s, int& quarter) {
    if (!image.IsValid()) return GwProcessingKit::Fail(image, op, "no picture");
    if (!GwProcessingKit::TurnOf(angle, c, s, quarter))
        return GwProcessingKit::Fail(image, op, "angle is not a finite number");
    return true;
}

}  // namespace

bool GwImage::Rotate(float angle, GwImage* dest, InterpolationMethod method, OverflowMethod overflow,
                     RGBQUAD* const fill) {
    const char* op = "GwImage::Rotate";
    double c = 1, s = 0;
    int quarter = -1;
    if (!TurnFor(*this, op, angle, c, s, quarter)) return false;
    switch (quarter) {
    case 0:
        if (!dest || dest == this) return true;
        *dest = *this;
        return dest->IsValid() || GwProcessingKit::Fail(*this, op, dest->GetLastError());
    case 1: return RotateLeft(dest);
    case 2: return Rotate180(dest);
    case 3: return RotateRight(dest);
    default: break;
    }
    const float w = static_cast<float>(GetWidth()), h = static_cast<float>(GetHeight());
    const float a = static_cast<float>(std::fmod(static_cast<double>(angle), 360.0));
    GwRect2 bounds(GwPoint2(0, 0), GwPoint2(0, 0));
    const GwPoint2 corners[4] = {GwPoint2(0, 0), GwPoint2(w, 0), GwPoint2(0, h), GwPoint2(w, h)};
    for (const GwPoint2& corner : corners) bounds = bounds.Including((corner - GwPoint2(w / 2, h / 2)).Rotated(a));
    // A thousandth of a pixel of rounding noise must not add a column.
    const int64_t width = static_cast<int64_t>(std::ceil(static_cast<double>(bounds.Width()) - 1e-3));
    const int64_t height = static_cast<int64_t>(std::ceil(static_cast<double>(bounds.Height()) - 1e-3));
    double m[6];
    TurnMap(c, s, w, h, static_cast<double>(width), static_cast<double>(height), m);
    if (!GwProcessingKit::CheckResult(*this, op, width, height)) return false;
    return GwProcessingKit::Warp(*this, dest, op, static_cast<long>(width), static_cast<long>(height), m, method,
                                 overflow, fill);
}

bool GwImage::Rotate2(float angle, GwImage* dest, InterpolationMethod method, OverflowMethod overflow,
                      RGBQUAD* const fill) {
    const char* op = "GwImage::Rotate2";
    double c = 1, s = 0;
    int quarter = -1;
    if (!TurnFor(*this, op, angle, c, s, quarter)) return false;
    // Turns that land every pixel on a pixel are done exactly.
    if (quarter == 0 || quarter == 2 || (quarter > 0 && GetWidth() == GetHeight())) return Rotate(angle, dest);
    const double w = GetWidth(), h = GetHeight();
    double m[6];
    TurnMap(c, s, w, h, w, h, m);
    return GwProcessingKit::Warp(*this, dest, op, static_cast<long>(w), static_cast<long>(h), m, method, overflow,
                                 fill);
}

bool GwImage::Skew(float xGain, float yGain, long xPivot, long yPivot, GwImage* dest, InterpolationMethod method,
                   OverflowMethod overflow, RGBQUAD* const fill) {
    const char* op = "GwImage::Skew";
    if (!dib) return GwProcessingKit::Fail(*this, op, "no picture");
    if (!std::isfinite(xGain) || !std::isfinite(yGain)) return GwProcessingKit::Fail(*this, op, "gain is not a finite number");
    const double m[6] = {1, xGain, -static_cast<double>(xGain) * yPivot, yGain, 1, -static_cast<double>(yGain) * xPivot};
    return GwProcessingKit::Warp(*this, dest, op, static_cast<long>(GetWidth()), static_cast<long>(GetHeight()), m,
                                 method, overflow, fill);
}

bool GwImage::CropRotatedRectangle(long left, long bottom, long width, long height, float angle, GwImage* dest) {
    const char* op = "GwImage::CropRotatedRectangle";
    double c = 1, s = 0;
    int quarter = -1;
    if (!TurnFor(*this, op, angle, c, s, quarter)) return false;
    // Result pixel (u, v) has its centre at (u + 0.5, v + 0.5) along the turned sides.
    const double m[6] = {c, -s, left + 0.5 * c - 0.5 * s - 0.5, s, c, bottom + 0.5 * s + 0.5 * c - 0.5};
    // Quarter turns land on pixel centres: nearest is then exact and keeps a palette.
    const InterpolationMethod method = quarter >= 0 ? InterpNearest : InterpBilinear;
    return GwProcessingKit::Warp(*this, dest, op, width, height, m, method, OverflowColor, nullptr);
}

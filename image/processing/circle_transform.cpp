// Lens effects inside a circle about the picture's centre: swirl, pinch and bulge. Each
// result pixel inside the circle samples the source at a point moved along or around the
// radius; outside the circle the picture is unchanged.
#include <algorithm>
#include <cmath>

#include "image/processing/processing_kit.h"

bool GwImage::CircleTransform(CircleEffect effect, float strength, long radius, GwImage* dest) {
    const char* op = "GwImage::CircleTransform";
    if (!dib) return GwProcessingKit::Fail(*this, op, "no picture");
    if (effect != CircleSwirl && effect != CirclePinch && effect != CircleBulge)
        return GwProcessingKit::Fail(*this, op, "unknown effect");
    if (!std::isfinite(strength) || (effect != CircleSwirl && strength < 0))
        return GwProcessingKit::Fail(*this, op, "strength out of range");

    GwImage source(*this, true, false, true);
    if (!source.IsValid() || (source.IsIndexed() && !source.IncreaseBpp(24)))
        return GwProcessingKit::Fail(*this, op, "can't allocate memory");
    GwImage out(source, true, false, true);
    if (!out.IsValid()) return GwProcessingKit::Fail(*this, op, "can't allocate memory");

    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    const double r = radius > 0 ? static_cast<double>(radius) : std::min(width, height) / 2.0;
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
    const double exponent = effect == CirclePinch ? 1.0 / (1.0 + strength) : 1.0 + strength;
    const double turn = strength * (3.14159265358979323846 / 180.0);
    // Only rows and columns the circle reaches are visited.
    const long x0 = std::max(0L, static_cast<long>(std::floor(cx - r))), x1 = std::min(width - 1, static_cast<long>(std::ceil(cx + r)));
    const long y0 = std::max(0L, static_cast<long>(std::floor(cy - r))), y1 = std::min(height - 1, static_cast<long>(std::ceil(cy + r)));
    for (long y = y0; y <= y1; y++) {
        for (long x = x0; x <= x1; x++) {
            const double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
            if (d >= r) continue;
            double sx, sy;
            if (effect == CircleSwirl) {
                // The contents turn by `strength` degrees at the centre, fading to none at the rim.
                const double fade = 1 - d / r, a = -turn * fade * fade, c = std::cos(a), s = std::sin(a);
                sx = cx + c * dx - s * dy;
                sy = cy + s * dx + c * dy;
            } else {
                const double k = d > 0 ? r * std::pow(d / r, exponent) / d : 0;
                sx = cx + dx * k;
                sy = cy + dy * k;
            }
            const RGBQUAD color = source.GetPixelColorInterpolated(static_cast<float>(sx), static_cast<float>(sy),
                                                                   InterpBilinear, OverflowClamp, nullptr);
            out.SetPixelColor(x, y, color, out.AlphaIsValid());
        }
    }
    return GwProcessingKit::Deliver(*this, dest, out);
}

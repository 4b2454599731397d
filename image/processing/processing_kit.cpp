// Shared pieces of the geometric transforms: result checks and creation, delivery, angle
// reduction and the affine warp with its fast bilinear path for 24-bit pictures.
#include "image/processing/processing_kit.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const RGBQUAD GwProcessingKit::kWhiteClear = {255, 255, 255, 0};

bool GwProcessingKit::Fail(GwImage& image, const char* op, const char* why) {
    std::snprintf(image.info.lastError, sizeof(image.info.lastError), "%s : %s", op, why);
    return false;
}

bool GwProcessingKit::CheckResult(GwImage& image, const char* op, int64_t width, int64_t height) {
    if (!image.dib) return Fail(image, op, "no picture");
    if (width <= 0 || height <= 0) return Fail(image, op, "size must be greater than zero");
    // Each side below 2^31 first, so that the product cannot overflow.
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > GwImage::GetMaxDecodePixels()) {
        char why[128];
        std::snprintf(why, sizeof(why), "picture too large (%lld x %lld pixels)", static_cast<long long>(width),
                      static_cast<long long>(height));
        return Fail(image, op, why);
    }
    return true;
}

uint64_t GwProcessingKit::HeldBytes(const GwImage& image) {
    if (!image.dib) return 0;
    const uint64_t area = static_cast<uint64_t>(image.GetWidth()) * image.GetHeight();
    return static_cast<uint64_t>(image.GetEffWidth()) * image.GetHeight() + (image.alpha ? area : 0) +
           (image.selection ? area : 0);
}

bool GwProcessingKit::CheckMemory(GwImage& report, const char* op, uint64_t bytes) {
    const uint64_t pixels = GwImage::GetMaxDecodePixels();
    const uint64_t limit = pixels > UINT64_MAX / kBytesPerPixel ? UINT64_MAX : pixels * kBytesPerPixel;
    if (bytes <= limit) return true;
    char why[160];
    std::snprintf(why, sizeof(why), "needs %llu bytes of pixel memory, over the %llu that the decode limit of %llu pixels allows",
                  static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(limit),
                  static_cast<unsigned long long>(pixels));
    return Fail(report, op, why);
}

bool GwProcessingKit::MakeLike(const GwImage& src, GwImage& out, long width, long height, WORD bpp, GwImage& report,
                               const char* op, uint64_t extraBytes) {
    // Source and result are held together until the result is delivered (and the picture
    // the caller started from, when src is a working copy of it).
    const uint64_t area = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    const uint64_t depth = bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp <= 8 ? 8 : 24;
    const uint64_t result = ((static_cast<uint64_t>(width) * depth + 31) / 32) * 4 * static_cast<uint64_t>(height) +
                            (src.alpha ? area : 0) + (src.selection ? area : 0);
    if (!CheckMemory(report, op, HeldBytes(src) + (&report != &src ? HeldBytes(report) : 0) + result + extraBytes))
        return false;
    out.CopyInfo(src);
    if (!out.Create(static_cast<DWORD>(width), static_cast<DWORD>(height), bpp, src.info.type)) {
        return Fail(report, op, out.GetLastError());
    }
    if (bpp <= 8) {
        out.SetPalette(src.GetPalette(), src.GetNumColors());
        out.SetClrImportant(src.GetClrImportant());
    } else if (src.header.biClrUsed && src.info.transIndex >= 0) {
        out.info.transColor = src.info.transIndex < 256 ? src.GetPaletteColor(static_cast<BYTE>(src.info.transIndex))
                                                        : RGBQUAD{0, 0, 0, 0};
    }
    if (src.alpha && !out.AlphaCreate()) return Fail(report, op, "can't allocate memory");
    return true;
}

bool GwProcessingKit::Deliver(GwImage& image, GwImage* dest, GwImage& out) {
    GwImage* target = dest ? dest : &image;
    if (!target->Transfer(out)) return Fail(image, "GwImage", "the result cannot replace a borrowed image");
    return true;
}

bool GwProcessingKit::TurnOf(float degrees, double& cosine, double& sine, int& quarter) {
    if (!std::isfinite(degrees)) return false;
    double turn = std::fmod(static_cast<double>(degrees), 360.0);
    if (turn < 0) turn += 360.0;
    quarter = -1;
    static const double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
    for (int q = 0; q < 4; q++) {
        if (turn == 90.0 * q) {
            quarter = q;
            cosine = kCos[q];
            sine = kSin[q];
            return true;
        }
    }
    const double radians = turn * (3.14159265358979323846 / 180.0);
    cosine = std::cos(radians);
    sine = std::sin(radians);
    return true;
}

bool GwProcessingKit::Warp(GwImage& image, GwImage* dest, const char* op, long width, long height, const double m[6],
                           InterpolationMethod method, OverflowMethod overflow, RGBQUAD* const fill) {
    if (!CheckResult(image, op, width, height)) return false;
    const bool keepIndices = method == InterpNearest && image.header.biClrUsed;
    GwImage out;
    if (!MakeLike(image, out, width, height, keepIndices ? image.GetBpp() : 24, image, op)) return false;

    const RGBQUAD fillColor = fill ? *fill : kWhiteClear;
    RGBQUAD replacement = fillColor;
    const BYTE fillIndex = keepIndices ? image.GetNearestIndex(fillColor) : 0;
    const long srcW = static_cast<long>(image.GetWidth()), srcH = static_cast<long>(image.GetHeight());
    const double lastX = srcW - 0.5, lastY = srcH - 0.5;
    const bool fastBilinear = image.header.biBitCount == 24 && !image.header.biClrUsed &&
                              (method == InterpBilinear || method < InterpNearest || method > InterpCatrom);
    const BYTE* srcAlpha = image.alpha;

    for (long v = 0; v < height; v++) {
        BYTE* row = out.GetBits(static_cast<DWORD>(v));
        BYTE* alphaRow = out.alpha ? out.alpha + static_cast<size_t>(v) * width : nullptr;
        double x = m[1] * v + m[2], y = m[4] * v + m[5];
        for (long u = 0; u < width; u++, x += m[0], y += m[3]) {
            if (!(x >= -0.5 && x < lastX && y >= -0.5 && y < lastY)) {
                if (keepIndices)
                    out.BlindSetPixelIndex(u, v, fillIndex);
                else {
                    row[3 * u] = fillColor.rgbBlue;
                    row[3 * u + 1] = fillColor.rgbGreen;
                    row[3 * u + 2] = fillColor.rgbRed;
                }
                if (alphaRow) alphaRow[u] = fillColor.rgbReserved;
                continue;
            }
            if (keepIndices) {
                const long sx = static_cast<long>(x + 0.5), sy = static_cast<long>(y + 0.5);
                out.BlindSetPixelIndex(u, v, image.BlindGetPixelIndex(sx, sy));
                if (alphaRow) alphaRow[u] = srcAlpha[static_cast<size_t>(sy) * srcW + sx];
                continue;
            }
            const long xi = static_cast<long>(std::floor(x)), yi = static_cast<long>(std::floor(y));
            if (fastBilinear && xi >= 0 && yi >= 0 && xi + 1 < srcW && yi + 1 < srcH) {
                // The sampler's own 8-bit fixed-point weights, without its per-call checks.
                const int ax = static_cast<int>((x - xi) * 256), ay = static_cast<int>((y - yi) * 256);
                const int w11 = (ax * ay) >> 8;
                const int w00 = 256 - ax - ay + w11, w10 = ax - w11, w01 = ay - w11;
                const BYTE* p00 = image.BlindGetPixelPointer(xi, yi);
                const BYTE* p01 = image.BlindGetPixelPointer(xi, yi + 1);
                BYTE* p = row + 3 * u;
                for (int k = 0; k < 3; k++)
                    p[k] = static_cast<BYTE>((w00 * p00[k] + w10 * p00[k + 3] + w01 * p01[k] + w11 * p01[k + 3]) >> 8);
                if (alphaRow) {
                    const BYTE* a0 = srcAlpha + static_cast<size_t>(yi) * srcW + xi;
                    const BYTE* a1 = a0 + srcW;
                    alphaRow[u] = static_cast<BYTE>((w00 * a0[0] + w10 * a0[1] + w01 * a1[0] + w11 * a1[1]) >> 8);
                }
                continue;
            }
            const RGBQUAD c = image.GetPixelColorInterpolated(static_cast<float>(x), static_cast<float>(y), method,
                                                              overflow, &replacement);
            row[3 * u] = c.rgbBlue;
            row[3 * u + 1] = c.rgbGreen;
            row[3 * u + 2] = c.rgbRed;
            if (alphaRow) alphaRow[u] = c.rgbReserved;
        }
    }
    return Deliver(image, dest, out);
}

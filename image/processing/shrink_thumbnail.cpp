// Quick shrinking by whole factors (block averages in integers) and thumbnails that fit a
// box, optionally centred on a canvas.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "image/processing/processing_kit.h"

bool GwImage::QIShrink(long xFactor, long yFactor, GwImage* dest) {
    const char* op = "GwImage::QIShrink";
    if (!dib) return GwProcessingKit::Fail(*this, op, "no picture");
    if (xFactor < 1 || yFactor < 1) return GwProcessingKit::Fail(*this, op, "factors must be at least 1");
    // 64-bit block bounds: a factor near 2^31 times a block number must not wrap a 32-bit long.
    const int64_t srcW = GetWidth(), srcH = GetHeight(), fx = xFactor, fy = yFactor;
    const long width = static_cast<long>((srcW + fx - 1) / fx), height = static_cast<long>((srcH + fy - 1) / fy);
    GwImage out;
    if (!GwProcessingKit::MakeLike(*this, out, width, height, 24, *this, op)) return false;
    out.SelectionDelete();
    try {
        // Sums of one result row: blue, green, red, alpha per result column.
        std::vector<uint64_t> sums(static_cast<size_t>(width) * 4);
        for (long v = 0; v < height; v++) {
            std::fill(sums.begin(), sums.end(), 0);
            const int64_t rowStart = v * fy, rowEnd = std::min(srcH, (v + 1) * fy);
            for (long y = static_cast<long>(rowStart); y < rowEnd; y++) {
                const BYTE* row = GetBits(static_cast<DWORD>(y));
                const BYTE* alphaRow = alpha ? alpha + static_cast<size_t>(y) * srcW : nullptr;
                for (long x = 0; x < srcW; x++) {
                    uint64_t* s = &sums[static_cast<size_t>(x / fx) * 4];
                    if (header.biClrUsed) {
                        const RGBQUAD c = BlindGetPixelColor(x, y);
                        s[0] += c.rgbBlue;
                        s[1] += c.rgbGreen;
                        s[2] += c.rgbRed;
                    } else {
                        s[0] += row[3 * x];
                        s[1] += row[3 * x + 1];
                        s[2] += row[3 * x + 2];
                    }
                    if (alphaRow) s[3] += alphaRow[x];
                }
            }
            BYTE* dst = out.GetBits(static_cast<DWORD>(v));
            BYTE* dstAlpha = out.alpha ? out.alpha + static_cast<size_t>(v) * width : nullptr;
            for (long u = 0; u < width; u++) {
                const uint64_t n = static_cast<uint64_t>((std::min(srcW, (u + 1) * fx) - u * fx) * (rowEnd - rowStart));
                const uint64_t* s = &sums[static_cast<size_t>(u) * 4];
                for (int k = 0; k < 3; k++) dst[3 * u + k] = static_cast<BYTE>((s[k] + n / 2) / n);
                if (dstAlpha) dstAlpha[u] = static_cast<BYTE>((s[3] + n / 2) / n);
            }
        }
    } catch (const std::bad_alloc&) {
        return GwProcessingKit::Fail(*this, op, "can't allocate memory");
    }
    return GwProcessingKit::Deliver(*this, dest, out);
}

bool GwImage::Thumbnail(long maxWidth, long maxHeight, RGBQUAD* const canvasColor, GwImage* dest) {
    const char* op = "GwImage::Thumbnail";
    // Only a canvas is as large as the box; without one the result is at most the picture.
    if (!GwProcessingKit::CheckResult(*this, op, canvasColor ? maxWidth : std::min<long>(maxWidth, 1),
                                      canvasColor ? maxHeight : std::min<long>(maxHeight, 1)))
        return false;
    const double w = GetWidth(), h = GetHeight();
    const double scale = std::min(1.0, std::min(maxWidth / w, maxHeight / h));
    const long width = std::max(1L, std::min(maxWidth, static_cast<long>(std::lround(w * scale))));
    const long height = std::max(1L, std::min(maxHeight, static_cast<long>(std::lround(h * scale))));
    GwImage small;
    if (width == static_cast<long>(w) && height == static_cast<long>(h)) {
        small.Copy(*this, true, false, true);  // computed results carry no selection
        if (!small.IsValid()) return GwProcessingKit::Fail(*this, op, small.GetLastError());
    } else if (!Resample(width, height, ResampleBox, &small)) {
        return false;
    }
    if (canvasColor && (width < maxWidth || height < maxHeight)) {
        const long left = (maxWidth - width) / 2, bottom = (maxHeight - height) / 2;
        if (!small.Expand(left, maxHeight - height - bottom, maxWidth - width - left, bottom, *canvasColor))
            return GwProcessingKit::Fail(*this, op, small.GetLastError());
    }
    return GwProcessingKit::Deliver(*this, dest, small);
}

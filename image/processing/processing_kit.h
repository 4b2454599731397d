// Shared pieces of the geometric transforms and resamplers: the checks every result passes
// before anything is allocated, the result image that inherits the source's settings, exact
// pixel moves that carry the planes along, and the affine warp that rotation, shear and
// rotated crops all sample through.
#pragma once

#include <cstdint>

#include "image/gw_image.h"

class GwProcessingKit {
public:
    // Writes "op : why" into image's last error and returns false.
    static bool Fail(GwImage& image, const char* op, const char* why);
    // A picture to work on and a result size that is positive and within the decode budget
    // (GetMaxDecodePixels), so that no scale factor can ask for more than a reader could.
    static bool CheckResult(GwImage& image, const char* op, int64_t width, int64_t height);
    // Creates `out` at width x height x bpp carrying src's information; a result of 8 bits or
    // less takes src's palette, a 24-bit result of a palette picture takes the transparent
    // entry as its transparent colour. The alpha plane is created (undefined contents) when
    // src has one. Failure is reported on `report`.
    // Before anything is made, the pixel memory held at once (src, report when it is another
    // picture, the result and extraBytes of working buffers) is checked with CheckMemory.
    static bool MakeLike(const GwImage& src, GwImage& out, long width, long height, WORD bpp,
                         GwImage& report, const char* op, uint64_t extraBytes = 0);
    // Pixel memory a transform may hold at once: kBytesPerPixel bytes for each pixel of the
    // decode budget, the size of one 24-bit picture with alpha at the limit. false, with
    // "op : needs N bytes of pixel memory, ..." on report, when bytes is more.
    static constexpr uint64_t kBytesPerPixel = 4;
    static bool CheckMemory(GwImage& report, const char* op, uint64_t bytes);
    // Bytes of pixel rows and planes (alpha, selection) an image holds.
    static uint64_t HeldBytes(const GwImage& image);
    // Moves `out` into dest, or into image when dest is null.
    static bool Deliver(GwImage& image, GwImage* dest, GwImage& out);

    // Exact move into `out` (made by MakeLike at src's depth): for every result pixel,
    // map(x, y, sx, sy) names the source pixel, or returns false for a border pixel, which
    // takes borderIndex (palette pictures) or borderColor (24 bits) and borderAlpha. The
    // selection plane moves too, border unselected.
    template <class Map>
    static void MovePixels(const GwImage& src, GwImage& out, Map map, BYTE borderIndex, RGBQUAD borderColor,
                           BYTE borderAlpha);

    // Resamples image through the inverse affine map m: result pixel (u, v) takes the source
    // point (m0 u + m1 v + m2, m3 u + m4 v + m5), as Rotate's contract describes.
    static bool Warp(GwImage& image, GwImage* dest, const char* op, long width, long height, const double m[6],
                     InterpolationMethod method, OverflowMethod overflow, RGBQUAD* const fill);

    // Cosine and sine of an angle in degrees, exact at multiples of 90; false for a
    // non-finite angle. quarter receives the number of quarter turns (0..3) when the angle
    // is a whole multiple of 90 degrees, else -1.
    static bool TurnOf(float degrees, double& cosine, double& sine, int& quarter);

    // The kernel of an interpolation method and its reach in pixels each side: 1 for
    // bilinear (kernel null: the sampler weighs it in fixed point), 6 for Lanczos, 2 for the
    // 4 x 4 methods. Nearest is not a kernel; it gets bilinear's answer.
    typedef float (*Kernel)(float);
    static void KernelOf(InterpolationMethod method, Kernel& kernel, int& support);

    // GetPixelColorInterpolated's two samplers at (x, y), whose block starts at pixel (xi, yi)
    // (bilinear: xi..xi+1; a kernel: xi-before..xi+after, likewise in y). blockInside: every
    // pixel of the block lies on the picture, so it is read directly; otherwise each sample
    // goes through the edge rule.
    static RGBQUAD SampleBilinear(const GwImage& image, float x, float y, long xi, long yi, bool blockInside,
                                  OverflowMethod overflow, RGBQUAD* const replacement);
    static RGBQUAD SampleKernel(const GwImage& image, Kernel kernel, long before, long after, float x, float y,
                                long xi, long yi, bool blockInside, OverflowMethod overflow,
                                RGBQUAD* const replacement);

    static const RGBQUAD kWhiteClear;
};

template <class Map>
void GwProcessingKit::MovePixels(const GwImage& src, GwImage& out, Map map, BYTE borderIndex, RGBQUAD borderColor,
                                 BYTE borderAlpha) {
    const long width = static_cast<long>(out.GetWidth()), height = static_cast<long>(out.GetHeight());
    const bool full = out.header.biBitCount == 24;
    const size_t srcWidth = src.GetWidth();
    if (src.selection && !out.selection) out.SelectionCreate();
    for (long y = 0; y < height; y++) {
        BYTE* row = out.GetBits(static_cast<DWORD>(y));
        BYTE* alphaRow = out.alpha ? out.alpha + static_cast<size_t>(y) * width : nullptr;
        BYTE* selRow = out.selection ? out.selection + static_cast<size_t>(y) * width : nullptr;
        for (long x = 0; x < width; x++) {
            long sx = 0, sy = 0;
            const bool inside = map(x, y, sx, sy);
            if (full) {
                BYTE* p = row + 3 * x;
                if (inside) {
                    const BYTE* q = src.BlindGetPixelPointer(sx, sy);
                    p[0] = q[0];
                    p[1] = q[1];
                    p[2] = q[2];
                } else {
                    p[0] = borderColor.rgbBlue;
                    p[1] = borderColor.rgbGreen;
                    p[2] = borderColor.rgbRed;
                }
            } else {
                out.BlindSetPixelIndex(x, y, inside ? src.BlindGetPixelIndex(sx, sy) : borderIndex);
            }
            const size_t at = static_cast<size_t>(sy) * srcWidth + static_cast<size_t>(sx);
            if (alphaRow) alphaRow[x] = inside ? src.alpha[at] : borderAlpha;
            if (selRow) selRow[x] = inside ? src.selection[at] : 0;
        }
    }
    if (out.selection) out.SelectionFitBox();
}

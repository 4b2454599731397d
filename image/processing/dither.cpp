// Reduction to one bit per pixel: Floyd–Steinberg error diffusion and ordered (Bayer)
// dithering from each pixel's grey level.
#include <cstdint>
#include <new>
#include <vector>

#include "image/processing/processing_kit.h"

namespace {

// The 8 x 8 Bayer matrix: the order in which a growing grey level turns pixels white.
const BYTE kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

}  // namespace

bool GwImage::Dither(DitherMethod method, GwImage* dest) {
    const char* op = "GwImage::Dither";
    if (!dib) return GwProcessingKit::Fail(*this, op, "no picture");
    if (method != DitherFloydSteinberg && method != DitherBayer) return GwProcessingKit::Fail(*this, op, "unknown method");
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    GwImage out;
    if (!GwProcessingKit::MakeLike(*this, out, width, height, 1, *this, op)) return false;
    out.SetPaletteColor(0, 0, 0, 0);
    out.SetPaletteColor(1, 255, 255, 255);
    out.info.transIndex = -1;
    if (alpha) out.AlphaCopy(*this);
    if (selection) out.SelectionCopy(*this);

    try {
        // Errors carried to this row and the next, with a spare column on each side.
        std::vector<int> here(static_cast<size_t>(width) + 2), next(static_cast<size_t>(width) + 2);
        // From the top row down, as the picture is seen.
        for (long y = height - 1; y >= 0; y--) {
            std::fill(next.begin(), next.end(), 0);
            for (long x = 0; x < width; x++) {
                const int grey = GetPixelGray(x, y);
                bool white;
                if (method == DitherBayer) {
                    // White when grey / 255 exceeds (entry + 0.5) / 64.
                    white = 128 * grey > (2 * kBayer8[y & 7][x & 7] + 1) * 255;
                } else {
                    const int level = grey + here[static_cast<size_t>(x) + 1] / 16;
                    white = level >= 128;
                    const int error = level - (white ? 255 : 0);
                    here[static_cast<size_t>(x) + 2] += error * 7;
                    next[static_cast<size_t>(x)] += error * 3;
                    next[static_cast<size_t>(x) + 1] += error * 5;
                    next[static_cast<size_t>(x) + 2] += error;
                }
                out.BlindSetPixelIndex(x, y, white ? 1 : 0);
            }
            here.swap(next);
        }
    } catch (const std::bad_alloc&) {
        return GwProcessingKit::Fail(*this, op, "can't allocate memory");
    }
    return GwProcessingKit::Deliver(*this, dest, out);
}

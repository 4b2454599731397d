// Fuzzes the PNG reader on arbitrary bytes. The last input byte picks options: bit 0 asks
// for a write→read round trip, which must give back every pixel's colour and alpha; bit 1
// writes that round trip interlaced; bit 2 stops the decode early (escape 1).
#include <cstdint>
#include <cstdlib>

#include "image/gw_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t options = size ? data[size - 1] : 0;
    GwImage image;
    if (options & 4) image.SetEscape(1);
    bool ok = image.Decode(const_cast<BYTE*>(data), static_cast<DWORD>(size), TypePng);
    if (!ok || !image.IsValid() || !(options & 1)) return 0;
    // Keep the round trip quick: the per-pixel comparison below is the slow part.
    if (static_cast<uint64_t>(image.GetWidth()) * image.GetHeight() > (1u << 20)) return 0;

    image.SetCodecOption((options & 2) ? 1 : 0, TypePng);
    GwImage original(image);  // encoding may swap palette entries of the image it writes
    BYTE* encoded = nullptr;
    long length = 0;
    if (!image.Encode(encoded, length, TypePng)) __builtin_trap();
    GwImage back;
    if (!back.Decode(encoded, static_cast<DWORD>(length), TypePng)) __builtin_trap();
    image.FreeMemory(encoded);
    if (back.GetWidth() != original.GetWidth() || back.GetHeight() != original.GetHeight()) __builtin_trap();
    for (long y = 0; y < static_cast<long>(original.GetHeight()); ++y) {
        for (long x = 0; x < static_cast<long>(original.GetWidth()); ++x) {
            RGBQUAD a = original.GetPixelColor(x, y, true), b = back.GetPixelColor(x, y, true);
            if (a.rgbRed != b.rgbRed || a.rgbGreen != b.rgbGreen || a.rgbBlue != b.rgbBlue) __builtin_trap();
            if (original.AlphaIsValid() && a.rgbReserved != b.rgbReserved) __builtin_trap();
        }
    }
    return 0;
}

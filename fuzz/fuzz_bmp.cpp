// Fuzzes the bitmap reader on arbitrary bytes. The last input byte picks options: bit 0 asks
// for the dimensions only (escape -1); bit 1 adds a write→read round trip, which must give
// back exactly the decoded pixels and palette.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/gw_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t options = size ? data[size - 1] : 0;
    GwImage image;
    if (options & 1) image.SetEscape(-1);
    bool ok = image.Decode(const_cast<BYTE*>(data), static_cast<DWORD>(size), TypeBmp);
    if (!ok || !image.IsValid() || !(options & 2)) return 0;

    BYTE* encoded = nullptr;
    long length = 0;
    if (!image.Encode(encoded, length, TypeBmp)) __builtin_trap();
    GwImage back;
    if (!back.Decode(encoded, static_cast<DWORD>(length), TypeBmp)) __builtin_trap();
    image.FreeMemory(encoded);
    if (back.GetWidth() != image.GetWidth() || back.GetHeight() != image.GetHeight() ||
        back.GetBpp() != image.GetBpp() || back.GetNumColors() != image.GetNumColors())
        __builtin_trap();
    size_t pixelBytes = static_cast<size_t>(image.GetEffWidth()) * image.GetHeight();
    if (std::memcmp(back.GetBits(), image.GetBits(), pixelBytes) != 0) __builtin_trap();
    if (image.GetNumColors() &&
        std::memcmp(back.GetPalette(), image.GetPalette(), image.GetNumColors() * sizeof(RGBQUAD)) != 0)
        __builtin_trap();
    return 0;
}

// Fuzzes format detection: arbitrary bytes decoded with TypeAny (BMP, then GIF, then PNG).
// The last input byte picks options: bits 0-1 the GIF frame to decode, bit 2 the dimensions
// only (escape -1), bits 3-4 a format to re-encode a decoded image in (1 BMP, 2 GIF, 3 PNG),
// after which the file must decode again to the same size (or the writer must refuse the
// picture with a reason).
#include <cstdint>
#include <cstdlib>

#include "image/gw_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t options = size ? data[size - 1] : 0;
    // Pictures above four million pixels are only measured, not decoded: each one costs
    // seconds and the per-format harnesses already take every size the readers accept.
    GwImage probe;
    probe.SetEscape(-1);
    probe.Decode(const_cast<BYTE*>(data), static_cast<DWORD>(size), TypeAny);
    if (static_cast<uint64_t>(probe.GetWidth()) * probe.GetHeight() > (1u << 22)) return 0;

    GwImage image;
    image.SetFrame(options & 3);
    if (options & 4) image.SetEscape(-1);
    bool ok = image.Decode(const_cast<BYTE*>(data), static_cast<DWORD>(size), TypeAny);
    DWORD target = (options >> 3) & 3;
    if (!ok || !image.IsValid() || target == 0) return 0;

    image.SetEscape(0);
    image.SetFrame(0);
    BYTE* encoded = nullptr;
    long length = 0;
    if (!image.Encode(encoded, length, target)) {
        // A format may refuse a picture it cannot hold (GIF sides above 65535), but never
        // without saying why.
        if (image.GetLastError()[0] == '\0') __builtin_trap();
        return 0;
    }
    GwImage back;
    if (!back.Decode(encoded, static_cast<DWORD>(length), TypeAny)) __builtin_trap();
    image.FreeMemory(encoded);
    if (back.GetType() != target || back.GetWidth() != image.GetWidth() || back.GetHeight() != image.GetHeight())
        __builtin_trap();
    return 0;
}

// The image's two byte planes, alpha and selection, share their layout (one byte per pixel,
// width bytes a row, rows bottom-up) and so the operations that move a plane's bytes without
// looking at them. Internal to image/.
#pragma once

#include <cstddef>
#include <cstring>

#include "image/gw_image.h"

namespace gwplane {

// Upside down: row y swaps with row height - 1 - y.
inline void Flip(BYTE* plane, size_t width, size_t height) {
    for (size_t top = height - 1, bottom = 0; bottom < top; bottom++, top--) {
        BYTE* a = plane + bottom * width;
        BYTE* b = plane + top * width;
        for (size_t x = 0; x < width; x++) {
            const BYTE t = a[x];
            a[x] = b[x];
            b[x] = t;
        }
    }
}

// Left to right: each row reversed.
inline void Mirror(BYTE* plane, size_t width, size_t height) {
    for (size_t y = 0; y < height; y++) {
        BYTE* row = plane + y * width;
        for (size_t l = 0, r = width - 1; l < r; l++, r--) {
            const BYTE t = row[l];
            row[l] = row[r];
            row[r] = t;
        }
    }
}

// dest becomes an 8-bit grey-ramp picture of `owner`'s size and type whose indices are the
// plane's bytes. The caller has refused a null dest and dest == owner.
inline bool Split(const BYTE* plane, const GwImage& owner, GwImage* dest) {
    if (!dest->Create(owner.GetWidth(), owner.GetHeight(), 8, owner.GetType())) return false;
    dest->SetGrayPalette();
    const size_t width = owner.GetWidth();
    for (DWORD y = 0; y < owner.GetHeight(); y++) std::memcpy(dest->GetBits(y), plane + y * width, width);
    return true;
}

}  // namespace gwplane

// Turning a GwImage upside down (Flip) or left to right (Mirror) in place, together with
// its alpha and selection planes and the selection box.
#include <cstdlib>
#include <cstring>

#include "image/byte_plane.h"
#include "image/gw_image.h"

bool GwImage::Flip() {
    if (!dib) return false;
    const DWORD height = GetHeight();
    const size_t rowBytes = info.rowBytes;
    BYTE* spare = static_cast<BYTE*>(std::malloc(rowBytes));
    if (!spare) return false;
    for (DWORD bottom = 0, top = height - 1; bottom < top; bottom++, top--) {
        BYTE* a = GetBits(bottom);
        BYTE* b = GetBits(top);
        std::memcpy(spare, a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, spare, rowBytes);
    }
    std::free(spare);
    if (alpha) AlphaFlip();
    if (selection) {
        gwplane::Flip(selection, GetWidth(), height);
        // Rows bottom..top-1 land on rows height-top..height-bottom-1; the empty box
        // (bottom = height, top = 0) maps onto itself.
        RECT& box = info.selectionBox;
        const LONG newBottom = static_cast<LONG>(height) - box.top;
        const LONG newTop = static_cast<LONG>(height) - box.bottom;
        box.bottom = newBottom;
        box.top = newTop;
    }
    return true;
}

bool GwImage::Mirror() {
    if (!dib) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    for (long y = 0; y < height; y++) {
        if (header.biBitCount == 24) {
            BYTE* row = GetBits(static_cast<DWORD>(y));
            for (long l = 0, r = width - 1; l < r; l++, r--) {
                for (int k = 0; k < 3; k++) {
                    const BYTE t = row[3 * l + k];
                    row[3 * l + k] = row[3 * r + k];
                    row[3 * r + k] = t;
                }
            }
        } else {
            for (long l = 0, r = width - 1; l < r; l++, r--) {
                const BYTE a = BlindGetPixelIndex(l, y);
                BlindSetPixelIndex(l, y, BlindGetPixelIndex(r, y));
                BlindSetPixelIndex(r, y, a);
            }
        }
    }
    if (alpha) AlphaMirror();
    if (selection) {
        gwplane::Mirror(selection, static_cast<size_t>(width), static_cast<size_t>(height));
        RECT& box = info.selectionBox;
        const LONG newLeft = static_cast<LONG>(width) - box.right;
        const LONG newRight = static_cast<LONG>(width) - box.left;
        box.left = newLeft;
        box.right = newRight;
    }
    return true;
}

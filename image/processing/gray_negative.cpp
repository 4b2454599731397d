// Tone operations on a GwImage in place: turning any image into an 8-bit grey-ramp image,
// and inverting its colours (within the selection when there is one).
#include <cstring>

#include "image/gw_image.h"
#include "image/pixel_rows.h"

namespace {

inline BYTE GrayOf(BYTE red, BYTE green, BYTE blue) { return gwpix::GrayOf(red, green, blue); }

}  // namespace

bool GwImage::GrayScale() {
    if (!dib) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());

    if (header.biBitCount == 8) {
        RGBQUAD* palette = GetPalette();
        for (DWORD i = 0; i < header.biClrUsed; i++)
            palette[i].rgbBlue = GrayOf(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
        if (info.transIndex >= 0 && info.transIndex < static_cast<LONG>(header.biClrUsed))
            info.transIndex = palette[info.transIndex].rgbBlue;
        // The fill bytes at the row ends are mapped too; they index some entry all the same.
        for (DWORD i = 0; i < header.biSizeImage; i++) info.pixels[i] = palette[info.pixels[i]].rgbBlue;
        SetGrayPalette();
        return true;
    }

    // 24-bit, 4-bit and 1-bit images become a new 8-bit image. It is made before anything of
    // this image changes, so a failure leaves the image as it was.
    if (info.ghostOf) return false;
    GwImage gray(info.type);
    gray.CopyInfo(*this);
    if (!gray.Create(GetWidth(), GetHeight(), 8, info.type)) return false;
    gray.SetGrayPalette();
    if (selection) gray.SelectionCopy(*this);
    if (alpha) gray.AlphaCopy(*this);

    if (header.biClrUsed) {
        BYTE levels[256] = {0};
        const RGBQUAD* palette = GetPalette();
        for (DWORD i = 0; i < header.biClrUsed; i++)
            levels[i] = GrayOf(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
        for (long y = 0; y < height; y++) {
            BYTE* out = gray.GetBits(static_cast<DWORD>(y));
            for (long x = 0; x < width; x++) out[x] = levels[BlindGetPixelIndex(x, y)];
        }
        if (info.transIndex >= 0 && info.transIndex < static_cast<LONG>(header.biClrUsed))
            gray.info.transIndex = levels[info.transIndex];
    } else {
        for (long y = 0; y < height; y++) {
            const BYTE* in = GetBits(static_cast<DWORD>(y));
            BYTE* out = gray.GetBits(static_cast<DWORD>(y));
            for (long x = 0; x < width; x++, in += 3) out[x] = GrayOf(in[2], in[1], in[0]);
        }
    }
    return Transfer(gray);
}

bool GwImage::Negative() {
    if (!dib) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());

    // Rows bottom..top-1 and columns left..right-1 of the selection box, kept on the image.
    auto forSelected = [&](auto&& action) {
        const RECT& box = info.selectionBox;
        const long left = box.left < 0 ? 0 : box.left;
        const long right = box.right > width ? width : box.right;
        const long bottom = box.bottom < 0 ? 0 : box.bottom;
        const long top = box.top > height ? height : box.top;
        for (long y = bottom; y < top; y++)
            for (long x = left; x < right; x++)
                if (BlindSelectionIsInside(x, y)) action(x, y);
    };

    if (!header.biClrUsed) {
        if (selection) {
            forSelected([&](long x, long y) {
                RGBQUAD c = GetPixelColor(x, y, true);
                c.rgbBlue = static_cast<BYTE>(255 - c.rgbBlue);
                c.rgbGreen = static_cast<BYTE>(255 - c.rgbGreen);
                c.rgbRed = static_cast<BYTE>(255 - c.rgbRed);
                SetPixelColor(x, y, c, false);
            });
        } else {
            for (DWORD i = 0; i < header.biSizeImage; i++) info.pixels[i] = static_cast<BYTE>(255 - info.pixels[i]);
        }
        info.transColor.rgbBlue = static_cast<BYTE>(255 - info.transColor.rgbBlue);
        info.transColor.rgbGreen = static_cast<BYTE>(255 - info.transColor.rgbGreen);
        info.transColor.rgbRed = static_cast<BYTE>(255 - info.transColor.rgbRed);
        return true;
    }

    if (!IsGrayScale()) {
        RGBQUAD* palette = GetPalette();
        for (DWORD i = 0; i < header.biClrUsed; i++) {
            palette[i].rgbBlue = static_cast<BYTE>(255 - palette[i].rgbBlue);
            palette[i].rgbGreen = static_cast<BYTE>(255 - palette[i].rgbGreen);
            palette[i].rgbRed = static_cast<BYTE>(255 - palette[i].rgbRed);
        }
        // The entries changed: a remembered nearest-index answer no longer holds.
        info.nearestValid = false;
        return true;
    }

    auto invert = [&](long x, long y) {
        BlindSetPixelIndex(x, y, static_cast<BYTE>(~BlindGetPixelIndex(x, y)));
    };
    if (selection) {
        forSelected(invert);
    } else {
        for (long y = 0; y < height; y++)
            for (long x = 0; x < width; x++) invert(x, y);
    }
    return true;
}

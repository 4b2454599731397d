// The bridge between the image and the platform's graphics objects: device-dependent bitmaps
// in (the renderer's symbol raster arrives this way) and out, icons with their masks, and the
// selection plane as a region.
#include <cstring>

#include "image/gw_image.h"
#include "platform/win32.h"

bool GwImage::CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette) {
    if (!Destroy()) return false;
    if (!bitmap) return false;

    BITMAP bm;
    std::memset(&bm, 0, sizeof(bm));
    if (!GetObject(bitmap, sizeof(BITMAP), &bm)) return false;
    // A negative or zero extent gives 0, which Create refuses with its own message.
    const DWORD width = bm.bmWidth > 0 ? static_cast<DWORD>(bm.bmWidth) : 0;
    const DWORD height = bm.bmHeight > 0 ? static_cast<DWORD>(bm.bmHeight) : 0;
    if (!Create(width, height, bm.bmBitsPixel, 0)) return false;

    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HPALETTE previous = nullptr;
    if (palette) {
        previous = SelectPalette(screen, palette, FALSE);
        RealizePalette(screen);
    }
    // The platform converts the bitmap to the image's depth and, up to 8 bits, writes the
    // colour table straight into the image's palette (dib is header, palette, rows).
    const int copied = GetDIBits(screen, bitmap, 0, GetHeight(), info.pixels,
                                 reinterpret_cast<BITMAPINFO*>(dib), DIB_RGB_COLORS);
    // The screen context is shared: leave it with the palette it had, so that it never
    // refers to a palette the caller may delete afterwards.
    if (previous) SelectPalette(screen, previous, FALSE);
    ReleaseDC(nullptr, screen);
    if (copied == 0) {
        std::strcpy(info.lastError, "GetDIBits failed");
        return false;
    }
    return true;
}

HBITMAP GwImage::MakeBitmap(HDC dc) {
    if (!dib) return nullptr;
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(dib);
    if (dc) return CreateDIBitmap(dc, &header, CBM_INIT, info.pixels, bmi, DIB_RGB_COLORS);

    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) std::memcpy(bits, info.pixels, header.biSizeImage);
    DeleteDC(memory);
    return bitmap;
}

bool GwImage::CreateFromHICON(HICON icon) {
    if (!Destroy()) return false;
    if (!icon) return false;
    ICONINFO icon_info;
    std::memset(&icon_info, 0, sizeof(icon_info));
    if (!GetIconInfo(icon, &icon_info)) return false;

    // The icon's colour bitmap is the picture; its mask (1 = transparent) becomes the alpha
    // plane once turned to grey and inverted: transparent pixels 0, painted pixels 255.
    const bool ok = CreateFromHBITMAP(icon_info.hbmColor, nullptr);
    if (ok && icon_info.hbmMask) {
        GwImage mask;
        if (mask.CreateFromHBITMAP(icon_info.hbmMask, nullptr) && mask.GrayScale() &&
            mask.Negative())
            AlphaSet(mask);
    }
    // Both bitmaps are the caller's copies whatever happened above.
    if (icon_info.hbmColor) DeleteObject(icon_info.hbmColor);
    if (icon_info.hbmMask) DeleteObject(icon_info.hbmMask);
    return ok;
}

bool GwImage::SelectionToHRGN(HRGN& region) {
    if (!dib || !selection || !region) return false;
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());
    // Regions live in device coordinates, top row first; the plane's row y is the picture's
    // row y from the bottom, so it lands on device row height - 1 - y.
    for (long y = 0; y < height; ++y) {
        const BYTE* row = selection + static_cast<size_t>(y) * static_cast<size_t>(width);
        long x = 0;
        while (x < width) {
            if (row[x] != 255) {
                ++x;
                continue;
            }
            const long start = x;
            while (x < width && row[x] == 255) ++x;
            HRGN run = CreateRectRgn(start, height - 1 - y, x, height - y);
            if (!run) return false;
            CombineRgn(region, region, run, RGN_OR);
            DeleteObject(run);
        }
    }
    return true;
}

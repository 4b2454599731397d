// Creating bitmaps: device-dependent ones compatible with a context, monochrome or 32-bit
// bitmaps from raw rows, and DIB sections of every supported depth with their colour tables.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>
#include <cstring>

using namespace gw::gdi;

namespace {

HBITMAP Publish(std::unique_ptr<Bitmap> b) {
    if (!b) return nullptr;
    Bitmap* raw = b.release();
    Register(raw);
    return reinterpret_cast<HBITMAP>(static_cast<Object*>(raw));
}

// A fresh memory context holds a monochrome bitmap, and bitmaps made compatible with it are
// monochrome too; every other context is a 32-bit colour device.
bool MonochromeContext(const DC& dc) {
    return dc.memory && dc.bitmap && dc.bitmap->bpp == 1 && !dc.bitmap->dibSection;
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || width < 0 || height < 0) return nullptr;
    if (width == 0 || height == 0) return Publish(NewBitmap(1, 1, 1, false, true));
    return Publish(NewBitmap(width, height, MonochromeContext(*dc) ? 1 : 32, false, true));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width < 0 || height < 0 || planes != 1) return nullptr;
    if (width == 0 || height == 0) return Publish(NewBitmap(1, 1, 1, false, true));
    if (bitsPerPixel != 1 && bitsPerPixel != 32) return nullptr;
    auto b = NewBitmap(width, height, static_cast<WORD>(bitsPerPixel), false, true);
    if (!b) return nullptr;
    if (bits) std::memcpy(b->bits.get(), bits, b->byteCount);
    Guard guard(Lock());
    return Publish(std::move(b));
}

HBITMAP CreateDIBSection(HDC handle, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
    if (bits) *bits = nullptr;
    if (section) return nullptr;
    Guard guard(Lock());
    DC* dc = handle ? FindDC(handle) : nullptr;
    if (handle && !dc) return nullptr;
    DibFormat f;
    if (!ParseDib(info, usage, dc, &f)) return nullptr;
    auto b = NewBitmap(f.width, f.height, f.bpp, true, f.topDown);
    if (!b) return nullptr;
    b->bitfields = f.bitfields;
    std::memcpy(b->masks, f.masks, sizeof b->masks);
    b->colors = f.colors;
    if (f.bpp <= 8) b->colors.resize(size_t{1} << f.bpp, RGBQUAD{0, 0, 0, 0});
    b->header.biCompression = f.bitfields ? BI_BITFIELDS : BI_RGB;
    if (info->bmiHeader.biSize >= sizeof(BITMAPINFOHEADER)) {
        b->header.biXPelsPerMeter = info->bmiHeader.biXPelsPerMeter;
        b->header.biYPelsPerMeter = info->bmiHeader.biYPelsPerMeter;
        b->header.biClrUsed = info->bmiHeader.biClrUsed;
        b->header.biClrImportant = info->bmiHeader.biClrImportant;
    }
    if (bits) *bits = b->bits.get();
    return Publish(std::move(b));
}

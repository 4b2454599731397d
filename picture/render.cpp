// The record's renderer (see render.h): one encoding run, the rasteriser's picture, and a
// screen-compatible copy of it kept for the host.
#include "picture/render.h"

#include <cstdlib>
#include <string>

#include "encoder/pipeline.h"
#include "image/gw_image.h"

namespace {

// The last raster and the memory context it is still selected into, kept until the host has
// copied the bitmap: one pair per thread, so renderings on different threads never meet.
thread_local HBITMAP g_bitmap = nullptr;
thread_local HDC g_memoryDC = nullptr;

// A screen-compatible N x N bitmap selected into a new memory context, both kept in the slots;
// false, with the slots empty, when either cannot be made. N = 0 gives what the platform makes
// of an empty bitmap.
bool CreateKeptBitmap(int side) {
    HDC screen = GetDC(nullptr);
    g_memoryDC = CreateCompatibleDC(screen);
    // Compatible with the screen, not with the fresh memory context (which would make it
    // monochrome).
    g_bitmap = g_memoryDC ? CreateCompatibleBitmap(screen, side, side) : nullptr;
    if (screen) ReleaseDC(nullptr, screen);
    if (!g_bitmap || !SelectObject(g_memoryDC, reinterpret_cast<HGDIOBJ>(g_bitmap))) {
        QRCodeReleaseBitmap();
        return false;
    }
    return true;
}

}  // namespace

QRCodeSymbol QRCodeSymbolOfMatrix(const SymbolMatrix& m, int32_t level) {
    QRCodeSymbol s;
    s.version = m.version;
    s.size = m.width;
    s.level = level;
    s.mask = -1;
    s.modules.assign(static_cast<size_t>(m.width) * m.width, 0);
    for (int32_t x = 0; x < m.width; ++x) {
        const int32_t* column = m.cells + static_cast<size_t>(x) * kSymbolMatrixCapacity;
        for (int32_t y = 0; y < m.width; ++y)
            s.modules[static_cast<size_t>(y) * m.width + x] =
                static_cast<uint8_t>(QRCodeRendersDark(column[y]));
    }
    return s;
}

GwSymbolLook QRCodeLookOf(const QRCodeSettings& s) {
    GwSymbolLook look;
    look.pixelSize = s.pixelSize;
    look.margin = s.margin;
    look.foreground = s.foregroundColor & 0xFFFFFF;
    look.background = s.backgroundColor & 0xFFFFFF;
    look.transparent = false;
    look.depth = 24;
    return look;
}

int QRCodeReleaseBitmap() {
    // The context goes first: the GDI refuses to delete a bitmap still selected into one.
    if (g_memoryDC) DeleteDC(g_memoryDC);
    if (g_bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(g_bitmap));
    g_memoryDC = nullptr;
    g_bitmap = nullptr;
    return 0;
}

HBITMAP QRCodeRenderBitmap(QRCodeSettings* settings) {
    if (!settings) return nullptr;
    SymbolMatrix* matrix = QRCodeMakeSymbol(settings);
    if (!matrix) return nullptr;
    const QRCodeSymbol symbol = QRCodeSymbolOfMatrix(*matrix, settings->correctionLevel);
    std::free(matrix);
    QRCodeReleaseBitmap();

    const GwSymbolLook look = QRCodeLookOf(*settings);
    const long side = GwSymbolPictureSide(look, symbol.size);  // at most 255 * 177 + 510
    if (side > QRCODE_MAX_RASTER_SIDE) return nullptr;
    // An empty picture has nothing to paint: the bitmap is what the platform makes of N = 0.
    if (side == 0) return CreateKeptBitmap(0) ? g_bitmap : nullptr;
    GwImage picture;
    std::string error;
    if (!GwPaintSymbol(symbol, look, &picture, &error) || !CreateKeptBitmap(static_cast<int>(side)))
        return nullptr;
    const int n = static_cast<int>(side);
    if (SetDIBitsToDevice(g_memoryDC, 0, 0, static_cast<DWORD>(n), static_cast<DWORD>(n), 0, 0, 0,
                          static_cast<UINT>(n), picture.GetBits(0),
                          reinterpret_cast<const BITMAPINFO*>(picture.GetDIB()), DIB_RGB_COLORS) == 0) {
        QRCodeReleaseBitmap();
        return nullptr;
    }
    return g_bitmap;
}

// Module raster rendering (see render.h).
#include "encoder/render.h"

#include <cstdlib>
#include <vector>

#include "encoder/pipeline.h"

namespace {

// The last raster and the memory context it is still selected into, kept until the host has
// copied the bitmap: one pair per thread, so renderings on different threads never meet.
thread_local HBITMAP g_bitmap = nullptr;
thread_local HDC g_memoryDC = nullptr;

}  // namespace

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

    const int s = settings->pixelSize;
    const int m = settings->margin;
    const int W = matrix->width;
    const int H = matrix->height;
    const int N = s * W + 2 * m;  // at most 255 * 177 + 510: no overflow

    QRCodeReleaseBitmap();
    if (N > QRCODE_MAX_RASTER_SIDE) {
        std::free(matrix);
        return nullptr;
    }

    HDC screen = GetDC(nullptr);
    g_memoryDC = CreateCompatibleDC(screen);
    // Compatible with the screen, not with the fresh memory context (which would make it
    // monochrome).
    g_bitmap = g_memoryDC ? CreateCompatibleBitmap(screen, N, N) : nullptr;
    if (screen) ReleaseDC(nullptr, screen);
    if (!g_bitmap || !SelectObject(g_memoryDC, reinterpret_cast<HGDIOBJ>(g_bitmap))) {
        QRCodeReleaseBitmap();
        std::free(matrix);
        return nullptr;
    }

    // A fresh bitmap is black. The module rows below carry their own white margin, so only the
    // bands above and below them are filled white (all of it when there are no module rows).
    const int top = (s > 0 && W > 0) ? m : N;
    PatBlt(g_memoryDC, 0, 0, N, top, WHITENESS);
    if (top < N) PatBlt(g_memoryDC, 0, m + H * s, N, N - (m + H * s), WHITENESS);

    // Each module row is painted as one pixel row (margin left white) that the GDI replicates
    // over the row's s pixel lines: one call per module row instead of one per pixel.
    if (s > 0 && W > 0) {
        std::vector<RGBQUAD> line(static_cast<size_t>(N));
        const RGBQUAD white = {0xFF, 0xFF, 0xFF, 0};
        const RGBQUAD foreground = {GetBValue(settings->foregroundColor), GetGValue(settings->foregroundColor),
                                    GetRValue(settings->foregroundColor), 0};
        const RGBQUAD background = {GetBValue(settings->backgroundColor), GetGValue(settings->backgroundColor),
                                    GetRValue(settings->backgroundColor), 0};
        for (int px = 0; px < m; ++px) line[px] = line[N - 1 - px] = white;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = N;
        info.bmiHeader.biHeight = 1;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(g_memoryDC, COLORONCOLOR);
        for (int y = 0; y < H; ++y) {
            RGBQUAD* out = line.data() + m;
            for (int x = 0; x < W; ++x) {
                const RGBQUAD colour = QRCodeRendersDark(QRCodeGetCell(matrix, x, y)) ? foreground : background;
                for (int i = 0; i < s; ++i) *out++ = colour;
            }
            StretchDIBits(g_memoryDC, 0, m + y * s, N, s, 0, 0, N, 1, line.data(), &info, DIB_RGB_COLORS, SRCCOPY);
        }
    }
    std::free(matrix);
    return g_bitmap;
}

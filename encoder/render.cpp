// Module raster rendering (see render.h).
#include "encoder/render.h"

#include <cstdlib>

#include "encoder/pipeline.h"

namespace {

// The last raster and the memory context it is still selected into, kept until the host has
// copied the bitmap.
HBITMAP g_bitmap = nullptr;
HDC g_memoryDC = nullptr;

// The renderer's own colour test: the low eight bits only (no unassigned cell is left by now).
bool RendersDark(int32_t value) { return (value & 0xF0) != 0; }

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

    // A fresh bitmap is black; flooding it up to the (absent) white border with the context's
    // default white brush clears all of it. The seed point sits inside even the smallest raster,
    // so a margin of 1 without modules still comes out white.
    const int seed = N > 2 ? 2 : (N > 0 ? N - 1 : 0);
    FloodFill(g_memoryDC, seed, seed, RGB(255, 255, 255));

    const COLORREF foreground = settings->foregroundColor;
    const COLORREF background = settings->backgroundColor;
    for (int x = 0; x < W; ++x) {
        for (int y = 0; y < H; ++y) {
            const COLORREF colour = RendersDark(QRCodeGetCell(matrix, x, y)) ? foreground : background;
            const int left = m + x * s;
            const int top = m + y * s;
            for (int px = left; px < left + s; ++px)
                for (int py = top; py < top + s; ++py) SetPixel(g_memoryDC, px, py, colour);
        }
    }
    std::free(matrix);
    return g_bitmap;
}

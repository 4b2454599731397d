// A 32-bit top-down DIB section selected into a memory context, for tests that check pixels
// both through GDI calls and by reading the section's memory directly.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <cstring>

struct TestCanvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* pixels = nullptr;  // 0x00RRGGBB words, top row first
    int width = 0;
    int height = 0;

    TestCanvas(int w, int h, COLORREF fill = RGB(255, 255, 255)) : width(w), height(h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<uint32_t*>(bits);
        old = SelectObject(dc, bitmap);
        Fill(fill);
    }
    ~TestCanvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;

    void Fill(COLORREF c) {
        for (int i = 0; i < width * height; ++i) pixels[i] = Rgb(c);
    }
    COLORREF At(int x, int y) const {
        uint32_t v = pixels[y * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    void Put(int x, int y, COLORREF c) { pixels[y * width + x] = Rgb(c); }
    static uint32_t Rgb(COLORREF c) {
        return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
               GetBValue(c);
    }
    int Count(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += At(x, y) == c;
        return n;
    }
};

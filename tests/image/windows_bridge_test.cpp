// The bridge to platform bitmaps: a screen-compatible bitmap (the renderer's raster) becomes a
// 24-bit image with its rows the right way up, palette bitmaps bring their colour table, images
// go back out as bitmaps, icons bring their mask as alpha, and the selection becomes a region
// in device coordinates.
#include <gtest/gtest.h>

#include <cstring>

#include "image/gw_image.h"
#include "platform/win32.h"
#include "tests/support/region_probe.h"
#include "tests/support/win32_probes.h"

namespace {

// A distinct colour for every pixel of a small picture, so that a shifted, flipped or mirrored
// copy cannot pass.
COLORREF PatternColor(int x, int row) {
    return RGB((x * 3 + row * 7) & 0xFF, (x * 11) & 0xFF, (row * 5 + 40) & 0xFF);
}

void ExpectImagePixel(const GwImage& image, long x, long y, COLORREF expected) {
    const RGBQUAD c = image.GetPixelColor(x, y, false);
    EXPECT_EQ(RGB(c.rgbRed, c.rgbGreen, c.rgbBlue), expected) << "at image " << x << "," << y;
}

TEST(WindowsBridge, ScreenBitmapBecomesTwentyFourBitImage) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 83, 83);
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm;
    ASSERT_NE(GetObject(bitmap, sizeof(bm), &bm), 0);
    EXPECT_EQ(bm.bmBitsPixel, 32);

    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int row = 0; row < 83; ++row)
        for (int x = 0; x < 83; ++x) SetPixel(memory, x, row, PatternColor(x, row));
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    GwImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(bitmap, nullptr)) << image.GetLastError();
    EXPECT_EQ(image.GetWidth(), 83u);
    EXPECT_EQ(image.GetHeight(), 83u);
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(image.GetEffWidth(), 252u);
    EXPECT_FALSE(image.IsIndexed());
    // Device row 0 is the top of the picture, the image's last row.
    for (int row = 0; row < 83; row += 41)
        for (int x = 0; x < 83; x += 13) ExpectImagePixel(image, x, 82 - row, PatternColor(x, row));
    ExpectImagePixel(image, 82, 0, PatternColor(82, 82));
    DeleteObject(bitmap);
}

TEST(WindowsBridge, PaletteBitmapBringsItsColourTable) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[2];
    } bmi;
    std::memset(&bmi, 0, sizeof(bmi));
    bmi.header.biSize = sizeof(BITMAPINFOHEADER);
    bmi.header.biWidth = 10;
    bmi.header.biHeight = 2;
    bmi.header.biPlanes = 1;
    bmi.header.biBitCount = 1;
    bmi.colors[0] = RGBQUAD{0, 0, 200, 0};   // red
    bmi.colors[1] = RGBQUAD{150, 0, 0, 0};   // blue
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    BYTE* rows = static_cast<BYTE*>(bits);
    rows[0] = 0xA0;  // bottom row: pixels 0 and 2 blue
    rows[4] = 0x01;  // top row: pixel 7 blue

    GwImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(bitmap)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 1);
    EXPECT_EQ(image.GetPaletteColor(0).rgbRed, 200);
    EXPECT_EQ(image.GetPaletteColor(1).rgbBlue, 150);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(7, 1), 1);
    EXPECT_EQ(image.GetPixelIndex(6, 1), 0);
    DeleteObject(bitmap);
}

TEST(WindowsBridge, RefusesWhatIsNotABitmap) {
    GwImage image(4, 4, 24);
    EXPECT_FALSE(image.CreateFromHBITMAP(nullptr));
    EXPECT_FALSE(image.IsValid());
    HRGN region = CreateRectRgn(0, 0, 2, 2);  // a live handle of another kind
    EXPECT_FALSE(image.CreateFromHBITMAP(reinterpret_cast<HBITMAP>(region)));
    DeleteObject(region);
}

TEST(WindowsBridge, ImageGoesOutAsBitmapAndComesBackUnchanged) {
    for (DWORD bpp : {4u, 24u}) {
        SCOPED_TRACE(bpp);
        GwImage image(7, 5, bpp);
        if (bpp == 4) image.SetStdPalette();
        for (long y = 0; y < 5; ++y)
            for (long x = 0; x < 7; ++x) {
                if (bpp == 4)
                    image.SetPixelIndex(x, y, static_cast<BYTE>((x + 3 * y) & 15));
                else
                    image.SetPixelColor(x, y, PatternColor(static_cast<int>(x), static_cast<int>(y)));
            }
        HDC screen = GetDC(nullptr);
        HBITMAP device = image.MakeBitmap(screen);
        ReleaseDC(nullptr, screen);
        HBITMAP section = image.MakeBitmap(nullptr);
        ASSERT_NE(device, nullptr);
        ASSERT_NE(section, nullptr);
        for (HBITMAP bitmap : {device, section}) {
            GwImage back;
            ASSERT_TRUE(back.CreateFromHBITMAP(bitmap)) << back.GetLastError();
            ASSERT_EQ(back.GetWidth(), 7u);
            ASSERT_EQ(back.GetHeight(), 5u);
            for (long y = 0; y < 5; ++y)
                for (long x = 0; x < 7; ++x) {
                    const RGBQUAD a = image.GetPixelColor(x, y, false);
                    const RGBQUAD b = back.GetPixelColor(x, y, false);
                    EXPECT_EQ(RGB(a.rgbRed, a.rgbGreen, a.rgbBlue), RGB(b.rgbRed, b.rgbGreen, b.rgbBlue))
                        << "at " << x << "," << y;
                }
            DeleteObject(bitmap);
        }
    }
    GwImage empty;
    EXPECT_EQ(empty.MakeBitmap(nullptr), nullptr);
}

TEST(WindowsBridge, IconMaskBecomesAlpha) {
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateCompatibleBitmap(screen, 8, 4);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, color);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 8; ++x) SetPixel(memory, x, row, PatternColor(x, row));
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    // Mask rows, top first, word aligned: a set bit marks a transparent pixel.
    const BYTE maskBits[4 * 2] = {0xF0, 0, 0x0F, 0, 0x81, 0, 0x00, 0};
    HBITMAP mask = CreateBitmap(8, 4, 1, 1, maskBits);
    ICONINFO ii = {TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    DeleteObject(mask);
    DeleteObject(color);

    GwImage image;
    ASSERT_TRUE(image.CreateFromHICON(icon)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 24);
    ASSERT_TRUE(image.AlphaIsValid());
    for (int row = 0; row < 4; ++row) {
        for (int x = 0; x < 8; ++x) {
            const bool transparent = (maskBits[row * 2] >> (7 - x)) & 1;
            EXPECT_EQ(image.AlphaGet(x, 3 - row), transparent ? 0 : 255) << x << "," << row;
            ExpectImagePixel(image, x, 3 - row, PatternColor(x, row));
        }
    }
    DestroyIcon(icon);

    EXPECT_FALSE(image.CreateFromHICON(nullptr));
    EXPECT_FALSE(image.IsValid());
}

TEST(WindowsBridge, SelectionBecomesRegionInDeviceCoordinates) {
    GwImage image(6, 4, 8);
    RECT picked = {1, 2, 4, 1};  // image rows 1 and 2 (counted from the bottom), columns 1..3
    ASSERT_TRUE(image.SelectionAddRect(picked));
    image.SelectionAddPixel(5, 0);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_TRUE(image.SelectionToHRGN(region));
    for (int row = 0; row < 4; ++row) {
        for (int x = 0; x < 6; ++x) {
            const int y = 3 - row;
            const bool selected = image.SelectionIsInside(x, y);
            EXPECT_EQ(gwtest::InRegion(region, x, row), selected) << x << "," << row;
        }
    }
    EXPECT_TRUE(gwtest::InRegion(region, 5, 3));
    DeleteObject(region);

    GwImage none(3, 3, 24);
    HRGN other = CreateRectRgn(0, 0, 0, 0);
    EXPECT_FALSE(none.SelectionToHRGN(other));
    DeleteObject(other);
}

}  // namespace

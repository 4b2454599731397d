// Raster transfers: every raster operation the image library uses, bit for bit; stretching
// in each stretch mode; mirroring; monochrome conversions; clipping at and beyond every edge;
// overlapping copies; and DIB transfers in both row orders.
#include "platform/win32.h"
#include "tests/platform/gdi_test_canvas.h"
#include "tests/support/win32_probes.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

TEST(GdiBlit, RasterOperationsCombineBitsAsTheirTruthTablesSay) {
    const COLORREF s = RGB(0xF0, 0x0F, 0x55), d = RGB(0xCC, 0x3C, 0xAA), p = RGB(0x96, 0x69, 0x0F);
    struct Case {
        DWORD rop;
        COLORREF expected;
        const char* name;
    };
    const COLORREF m = 0xFFFFFF;
    const Case cases[] = {
        {SRCCOPY, s, "SRCCOPY"},           {SRCAND, s & d, "SRCAND"},
        {SRCINVERT, s ^ d, "SRCINVERT"},   {SRCPAINT, s | d, "SRCPAINT"},
        {NOTSRCCOPY, ~s & m, "NOTSRCCOPY"}, {DSTINVERT, ~d & m, "DSTINVERT"},
        {BLACKNESS, 0, "BLACKNESS"},       {WHITENESS, m, "WHITENESS"},
        {MERGEPAINT, (~s | d) & m, "MERGEPAINT"}, {SRCERASE, s & ~d & m, "SRCERASE"},
        {NOTSRCERASE, ~(s | d) & m, "NOTSRCERASE"}, {PATCOPY, p, "PATCOPY"},
        {PATINVERT, p ^ d, "PATINVERT"},   {MERGECOPY, p & s, "MERGECOPY"},
        {PATPAINT, (p | ~s | d) & m, "PATPAINT"},
    };
    TestCanvas src(3, 2, s);
    HBRUSH brush = CreateSolidBrush(p);
    for (const Case& c : cases) {
        TestCanvas dst(3, 2, d);
        HGDIOBJ old = SelectObject(dst.dc, brush);
        ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 3, 2, src.dc, 0, 0, c.rop)) << c.name;
        EXPECT_EQ(dst.At(2, 1), c.expected) << c.name;
        EXPECT_EQ(dst.Count(c.expected), 6) << c.name;
        SelectObject(dst.dc, old);
    }
    DeleteObject(brush);
}

TEST(GdiBlit, TransfersAreCutAtEveryEdgeOfBothBitmaps) {
    TestCanvas src(4, 4, kRed);
    TestCanvas dst(8, 8);
    // Hanging off the top-left corner.
    ASSERT_TRUE(BitBlt(dst.dc, -2, -2, 4, 4, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Count(kRed), 4);
    EXPECT_EQ(dst.At(1, 1), kRed);
    EXPECT_EQ(dst.At(2, 2), kWhite);
    // A transfer much larger than both bitmaps: only the source's real pixels arrive.
    dst.Fill(kWhite);
    ASSERT_TRUE(BitBlt(dst.dc, 6, 6, 1000, 1000, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Count(kRed), 4);
    EXPECT_EQ(dst.At(7, 7), kRed);
    // A source rectangle partly outside the source leaves the rest of the destination alone.
    dst.Fill(kWhite);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 2, 2, SRCCOPY));
    EXPECT_EQ(dst.Count(kRed), 4);
    EXPECT_EQ(dst.At(1, 1), kRed);
    dst.Fill(kWhite);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 8, 8, src.dc, -6, -6, SRCCOPY));
    EXPECT_EQ(dst.Count(kRed), 4);
    EXPECT_EQ(dst.At(6, 6), kRed);
    // Extreme coordinates and extents do not wrap around.
    dst.Fill(kWhite);
    EXPECT_TRUE(BitBlt(dst.dc, INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX, src.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, src.dc, INT_MIN, INT_MIN, SRCCOPY));
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, INT_MAX, INT_MAX, src.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(dst.Count(kRed), 64);
    dst.Fill(kWhite);
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, 8, 8, src.dc, 0, 0, INT_MAX, INT_MAX, SRCCOPY));
    EXPECT_TRUE(StretchBlt(dst.dc, INT_MIN, 0, INT_MIN, 8, src.dc, 0, 0, 4, 4, SRCCOPY));
    // Empty destinations draw nothing; empty sources cannot be stretched.
    dst.Fill(kWhite);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 0, 5, src.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dst.dc, 0, 0, 5, 5, src.dc, 0, 0, 0, 4, SRCCOPY));
    EXPECT_EQ(dst.Count(kWhite), 64);
    // A source is required only when the operation reads one.
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, BLACKNESS));
    EXPECT_EQ(dst.Count(kBlack), 4);
}

TEST(GdiBlit, ClipRegionsLimitTransfersEvenOutsideTheDevice) {
    TestCanvas src(8, 8, kBlue);
    TestCanvas dst(8, 8);
    ASSERT_NE(IntersectClipRect(dst.dc, 2, 3, 5, 4), ERROR);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 8, 8, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Count(kBlue), 3);
    EXPECT_EQ(dst.At(2, 3), kBlue);
    EXPECT_EQ(dst.At(4, 3), kBlue);
    EXPECT_EQ(dst.At(5, 3), kWhite);

    dst.Fill(kWhite);
    SelectClipRgn(dst.dc, nullptr);
    EXPECT_EQ(IntersectClipRect(dst.dc, -100, -100, -50, -50), SIMPLEREGION);  // off the bitmap
    ASSERT_TRUE(BitBlt(dst.dc, -100, -100, 200, 200, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Count(kWhite), 64);

    // A clip larger than the bitmap is cut to it.
    SelectClipRgn(dst.dc, nullptr);
    HRGN huge = CreateRectRgn(-1000, -1000, 1000, 1000);
    EXPECT_EQ(SelectClipRgn(dst.dc, huge), SIMPLEREGION);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 100, 100, src.dc, 0, 0, 8, 8, SRCCOPY));
    EXPECT_EQ(dst.Count(kBlue), 64);
    DeleteObject(huge);
}

TEST(GdiBlit, EnlargingReplicatesAndNegativeExtentsMirror) {
    TestCanvas src(2, 2);
    src.Put(0, 0, kRed);
    src.Put(1, 0, kGreen);
    src.Put(0, 1, kBlue);
    src.Put(1, 1, kBlack);
    TestCanvas dst(4, 4);
    for (int mode : {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE}) {
        // Windows promises halftoning only an approximate average; Wine filters its own way.
        if (mode == HALFTONE && gwtest::RunningOnWine()) continue;
        SetStretchBltMode(dst.dc, mode);
        ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                EXPECT_EQ(dst.At(x, y), src.At(x / 2, y / 2)) << "mode " << mode << " at " << x << "," << y;
            }
        }
    }
    // Destination width negative: the row comes out right to left, from the given pixel
    // (included) leftwards.
    TestCanvas row(3, 1);
    row.Put(0, 0, kRed);
    row.Put(1, 0, kGreen);
    row.Put(2, 0, kBlue);
    TestCanvas out(4, 1);
    ASSERT_TRUE(StretchBlt(out.dc, 2, 0, -3, 1, row.dc, 0, 0, 3, 1, SRCCOPY));
    EXPECT_EQ(out.At(0, 0), kBlue);
    EXPECT_EQ(out.At(1, 0), kGreen);
    EXPECT_EQ(out.At(2, 0), kRed);
    EXPECT_EQ(out.At(3, 0), kWhite);
    // Source width negative mirrors the same way.
    ASSERT_TRUE(StretchBlt(out.dc, 0, 0, 3, 1, row.dc, 2, 0, -3, 1, SRCCOPY));
    EXPECT_EQ(out.At(0, 0), kBlue);
    EXPECT_EQ(out.At(2, 0), kRed);
    // Negative heights flip vertically.
    TestCanvas column(1, 2);
    column.Put(0, 0, kRed);
    column.Put(0, 1, kBlue);
    TestCanvas flipped(1, 2);
    ASSERT_TRUE(StretchBlt(flipped.dc, 0, 1, 1, -2, column.dc, 0, 0, 1, 2, SRCCOPY));
    EXPECT_EQ(flipped.At(0, 0), kBlue);
    EXPECT_EQ(flipped.At(0, 1), kRed);
}

TEST(GdiBlit, ShrinkingFollowsTheStretchMode) {
    // Columns alternate black and white; every destination pixel covers one of each.
    TestCanvas src(8, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) src.Put(x, y, (x % 2) ? kWhite : kBlack);
    TestCanvas dst(4, 2, kRed);

    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 8, 2, SRCCOPY));
    EXPECT_EQ(dst.Count(kBlack), 8) << "BLACKONWHITE keeps black";

    EXPECT_EQ(SetStretchBltMode(dst.dc, WHITEONBLACK), BLACKONWHITE);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 8, 2, SRCCOPY));
    EXPECT_EQ(dst.Count(kWhite), 8) << "WHITEONBLACK keeps white";

    SetStretchBltMode(dst.dc, HALFTONE);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 8, 2, SRCCOPY));
    if (!gwtest::RunningOnWine()) {  // Wine's halftone filter is its own
        EXPECT_EQ(dst.Count(RGB(128, 128, 128)), 8) << "HALFTONE averages";
    }

    SetStretchBltMode(dst.dc, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 8, 2, SRCCOPY));
    COLORREF kept = dst.At(0, 0);
    EXPECT_TRUE(kept == kBlack || kept == kWhite) << "COLORONCOLOR deletes, it does not blend";
    EXPECT_EQ(dst.Count(kept), 8);

    EXPECT_EQ(SetStretchBltMode(dst.dc, 0), 0);
    EXPECT_EQ(SetStretchBltMode(dst.dc, 5), 0);
    EXPECT_EQ(SetStretchBltMode(dst.dc, COLORONCOLOR), COLORONCOLOR) << "a refused mode changes nothing";
}

TEST(GdiBlit, MonochromeBitmapsConvertThroughTextAndBackgroundColours) {
    HDC screen = GetDC(nullptr);
    HDC monoDc = CreateCompatibleDC(screen);
    HBITMAP mono = CreateBitmap(4, 1, 1, 1, nullptr);
    HGDIOBJ oldMono = SelectObject(monoDc, mono);
    SetPixel(monoDc, 1, 0, kWhite);
    SetPixel(monoDc, 3, 0, kWhite);

    // Monochrome to colour: 0 bits take the text colour, 1 bits the background colour.
    TestCanvas colour(4, 1);
    SetTextColor(colour.dc, kRed);
    SetBkColor(colour.dc, kBlue);
    ASSERT_TRUE(BitBlt(colour.dc, 0, 0, 4, 1, monoDc, 0, 0, SRCCOPY));
    EXPECT_EQ(colour.At(0, 0), kRed);
    EXPECT_EQ(colour.At(1, 0), kBlue);
    EXPECT_EQ(colour.At(3, 0), kBlue);

    // Colour to monochrome: pixels of the source's background colour become white, the rest black.
    colour.Put(0, 0, kGreen);
    colour.Put(1, 0, kRed);
    colour.Put(2, 0, kGreen);
    colour.Put(3, 0, RGB(0, 254, 0));
    SetBkColor(colour.dc, kGreen);
    ASSERT_TRUE(BitBlt(monoDc, 0, 0, 4, 1, colour.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(monoDc, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(monoDc, 1, 0), kBlack);
    EXPECT_EQ(GetPixel(monoDc, 2, 0), kWhite);
    EXPECT_EQ(GetPixel(monoDc, 3, 0), kBlack);

    // The transparent-colour recipe: XOR, AND with the mask, XOR again keeps the destination
    // wherever the image had the transparent colour.
    TestCanvas dest(4, 1, RGB(10, 20, 30));
    SetTextColor(dest.dc, kBlack);
    SetBkColor(dest.dc, kWhite);
    BitBlt(dest.dc, 0, 0, 4, 1, colour.dc, 0, 0, SRCINVERT);
    BitBlt(dest.dc, 0, 0, 4, 1, monoDc, 0, 0, SRCAND);
    BitBlt(dest.dc, 0, 0, 4, 1, colour.dc, 0, 0, SRCINVERT);
    EXPECT_EQ(dest.At(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(dest.At(1, 0), kRed);
    EXPECT_EQ(dest.At(2, 0), RGB(10, 20, 30));
    EXPECT_EQ(dest.At(3, 0), RGB(0, 254, 0));

    SelectObject(monoDc, oldMono);
    DeleteObject(mono);
    DeleteDC(monoDc);
    ReleaseDC(nullptr, screen);
}

TEST(GdiBlit, OverlappingCopiesWithinOneBitmapReadTheOriginalPixels) {
    TestCanvas c(5, 1);
    const COLORREF colours[5] = {kRed, kGreen, kBlue, kBlack, RGB(1, 2, 3)};
    for (int x = 0; x < 5; ++x) c.Put(x, 0, colours[x]);
    ASSERT_TRUE(BitBlt(c.dc, 1, 0, 4, 1, c.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(c.At(0, 0), kRed);
    for (int x = 1; x < 5; ++x) EXPECT_EQ(c.At(x, 0), colours[x - 1]) << x;
    ASSERT_TRUE(BitBlt(c.dc, 0, 0, 4, 1, c.dc, 1, 0, SRCCOPY));
    // Now red, red, green, blue, black shifted back left: red, green, blue, black, black.
    for (int x = 0; x < 4; ++x) EXPECT_EQ(c.At(x, 0), colours[x]) << x;
    EXPECT_EQ(c.At(4, 0), kBlack);
}

// A 2 x 2, 24-bit DIB: memory rows bottom-up unless topDown.
struct SmallDib {
    BITMAPINFO info{};
    BYTE bits[2 * 8] = {};
    explicit SmallDib(bool topDown) {
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 2;
        info.bmiHeader.biHeight = topDown ? -2 : 2;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        Set(0, 0, kRed);    // first row in memory
        Set(1, 0, kGreen);
        Set(0, 1, kBlue);   // second row in memory
        Set(1, 1, kWhite);
    }
    void Set(int x, int memoryRow, COLORREF c) {
        BYTE* p = bits + memoryRow * 8 + x * 3;  // rows of 6 bytes padded to 8
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
    }
};

TEST(GdiBlit, StretchDIBitsHonoursRowOrderAndTheLowerLeftOrigin) {
    SmallDib up(false), down(true);
    TestCanvas dst(2, 2, kBlack);
    ASSERT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, up.bits, &up.info, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(dst.At(0, 1), kRed);  // a bottom-up DIB's first row is the picture's bottom
    EXPECT_EQ(dst.At(0, 0), kBlue);
    ASSERT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, down.bits, &down.info, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(dst.At(0, 0), kRed);
    EXPECT_EQ(dst.At(1, 1), kWhite);

    // Source rectangle (0, 0, 1, 1): the lower-left pixel of a bottom-up DIB, the upper-left of a top-down one.
    dst.Fill(kBlack);
    StretchDIBits(dst.dc, 0, 0, 1, 1, 0, 0, 1, 1, up.bits, &up.info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(dst.At(0, 0), kRed);
    StretchDIBits(dst.dc, 1, 1, 1, 1, 1, 1, 1, 1, up.bits, &up.info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(dst.At(1, 1), kWhite);
    StretchDIBits(dst.dc, 0, 1, 1, 1, 0, 0, 1, 1, down.bits, &down.info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(dst.At(0, 1), kRed);

    // The control's paint: AND onto a yellow fill at the image's own size.
    TestCanvas fill(2, 2, RGB(255, 255, 0));
    SetStretchBltMode(fill.dc, COLORONCOLOR);
    StretchDIBits(fill.dc, 0, 0, 2, 2, 0, 0, 2, 2, up.bits, &up.info, DIB_RGB_COLORS, SRCAND);
    EXPECT_EQ(fill.At(1, 0), RGB(255, 255, 0));  // white shows the fill
    EXPECT_EQ(fill.At(0, 0), kBlack);            // blue AND yellow
    EXPECT_EQ(fill.At(0, 1), kRed);
    EXPECT_EQ(fill.At(1, 1), kGreen);

    // Malformed descriptions are refused.
    SmallDib bad(false);
    bad.info.bmiHeader.biBitCount = 7;
    EXPECT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, bad.bits, &bad.info, DIB_RGB_COLORS, SRCCOPY), 0);
    bad.info.bmiHeader.biBitCount = 8;
    bad.info.bmiHeader.biCompression = BI_RLE8;
    EXPECT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, bad.bits, &bad.info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, nullptr, &up.info, DIB_RGB_COLORS, SRCCOPY), 0);
    // Source rectangles beyond the DIB read nothing outside it.
    dst.Fill(kBlack);
    StretchDIBits(dst.dc, 0, 0, 2, 2, -5, -5, 100, 100, up.bits, &up.info, DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(dst.dc, 0, 0, 2, 2, INT_MAX, INT_MIN, INT_MAX, INT_MAX, up.bits, &up.info, DIB_RGB_COLORS,
                  SRCCOPY);
}

TEST(GdiBlit, SetDIBitsToDeviceCopiesBandsOfScanLines) {
    SmallDib up(false);
    TestCanvas dst(4, 4, kBlack);
    ASSERT_EQ(SetDIBitsToDevice(dst.dc, 1, 1, 2, 2, 0, 0, 0, 2, up.bits, &up.info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(dst.At(1, 2), kRed);
    EXPECT_EQ(dst.At(2, 2), kGreen);
    EXPECT_EQ(dst.At(1, 1), kBlue);
    EXPECT_EQ(dst.At(2, 1), kWhite);
    EXPECT_EQ(dst.Count(kBlack), 12);

    // A buffer holding only scan line 1 (the top row of this bottom-up DIB).
    dst.Fill(kBlack);
    ASSERT_EQ(SetDIBitsToDevice(dst.dc, 0, 0, 2, 2, 0, 0, 1, 1, up.bits + 8, &up.info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(dst.At(0, 0), kBlue);
    EXPECT_EQ(dst.At(1, 0), kWhite);
    EXPECT_EQ(dst.At(0, 1), kBlack);

    EXPECT_EQ(SetDIBitsToDevice(dst.dc, 0, 0, 2, 2, 0, 0, 5, 1, up.bits, &up.info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBitsToDevice(dst.dc, 0, 0, 2, 2, 0, 0, 0, 2, nullptr, &up.info, DIB_RGB_COLORS), 0);
    // Lines beyond the DIB are not read.
    EXPECT_EQ(SetDIBitsToDevice(dst.dc, -1, -1, 0xFFFFFFFFu, 3, 0, 0, 0, 1000, up.bits, &up.info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBitsToDevice(dst.dc, -1, -1, 100, 100, -3, -3, 0, 1000, up.bits, &up.info, DIB_RGB_COLORS), 2);
}

TEST(GdiBlit, PatBltPaintsWithTheBrushAndRefusesSourceOperations) {
    TestCanvas c(4, 4, RGB(0x0F, 0xF0, 0x33));
    HBRUSH brush = CreateSolidBrush(RGB(0xFF, 0x00, 0x11));
    HGDIOBJ old = SelectObject(c.dc, brush);
    ASSERT_TRUE(PatBlt(c.dc, 0, 0, 2, 4, PATCOPY));
    ASSERT_TRUE(PatBlt(c.dc, 4, 0, -2, 4, PATINVERT));  // negative extents cover columns 2 and 3
    EXPECT_EQ(c.At(0, 0), RGB(0xFF, 0x00, 0x11));
    EXPECT_EQ(c.At(3, 3), RGB(0xF0, 0xF0, 0x22));
    ASSERT_TRUE(PatBlt(c.dc, 0, 0, 1, 1, DSTINVERT));
    EXPECT_EQ(c.At(0, 0), RGB(0x00, 0xFF, 0xEE));
    EXPECT_FALSE(PatBlt(c.dc, 0, 0, 1, 1, SRCCOPY));
    SelectObject(c.dc, old);
    DeleteObject(brush);
}

TEST(GdiBlit, IndexedDestinationsTakeTheNearestTableColour) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[4];
    } bi{};
    bi.h.biSize = sizeof(BITMAPINFOHEADER);
    bi.h.biWidth = 3;
    bi.h.biHeight = -1;
    bi.h.biPlanes = 1;
    bi.h.biBitCount = 4;
    bi.h.biClrUsed = 4;
    bi.colors[0] = RGBQUAD{0, 0, 0, 0};
    bi.colors[1] = RGBQUAD{0, 0, 255, 0};    // red
    bi.colors[2] = RGBQUAD{255, 0, 0, 0};    // blue
    bi.colors[3] = RGBQUAD{255, 255, 255, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HGDIOBJ old = SelectObject(dc, dib);
    TestCanvas src(3, 1);
    src.Put(0, 0, RGB(200, 30, 20));
    src.Put(1, 0, RGB(20, 10, 230));
    src.Put(2, 0, RGB(240, 250, 230));
    ASSERT_TRUE(BitBlt(dc, 0, 0, 3, 1, src.dc, 0, 0, SRCCOPY));
    const BYTE* b = static_cast<const BYTE*>(bits);
    EXPECT_EQ(b[0], 0x12);  // red, blue
    EXPECT_EQ(b[1] >> 4, 3);
    EXPECT_EQ(GetPixel(dc, 1, 0), kBlue);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
}

TEST(GdiBlit, FillsSetEveryPixelOfTheRectangleAtEachByteDepth) {
    // bits per pixel, then the colour bytes of one whitened pixel (16 bits are 5-5-5)
    const struct {
        WORD bpp;
        std::vector<BYTE> white;
    } cases[] = {{16, {0xFF, 0x7F}}, {24, {0xFF, 0xFF, 0xFF}}, {32, {0xFF, 0xFF, 0xFF}}};
    for (const auto& c : cases) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 5;
        bi.bmiHeader.biHeight = -3;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = c.bpp;
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(dib, nullptr) << c.bpp;
        HGDIOBJ old = SelectObject(dc, dib);
        ASSERT_TRUE(PatBlt(dc, 1, 1, 3, 1, WHITENESS)) << c.bpp;
        const size_t bytes = c.bpp / 8, stride = (5 * bytes + 3) / 4 * 4;
        const BYTE* row = static_cast<const BYTE*>(bits);
        for (size_t y = 0; y < 3; ++y)
            for (size_t x = 0; x < 5; ++x) {
                const bool inside = y == 1 && x >= 1 && x <= 3;
                const BYTE* at = row + y * stride + x * bytes;
                std::vector<BYTE> colour(at, at + c.white.size());
                // The top bit of a 5-5-5 pixel carries no colour, and the system's GDI may set it.
                if (c.bpp == 16) colour[1] &= 0x7F;
                EXPECT_EQ(colour, inside ? c.white : std::vector<BYTE>(c.white.size(), 0))
                    << c.bpp << " bpp at " << x << "," << y;
            }
        SelectObject(dc, old);
        DeleteObject(dib);
        DeleteDC(dc);
    }
}

}  // namespace

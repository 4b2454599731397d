// DIB sections and DIB transfers: row strides and orientation at every depth, pixel packing,
// GetDIBits' header fill-in, depth conversions and colour tables, CreateDIBitmap, refusal of
// malformed descriptions, and icons.
#include "platform/win32.h"
#include "tests/platform/gdi_test_canvas.h"
#include "tests/support/win32_probes.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A BITMAPINFO with room for a full 256-entry table (or bit-field masks).
struct Info {
    BITMAPINFOHEADER h{};
    RGBQUAD colors[256]{};
    Info(int w, int h_, int bpp, DWORD compression = BI_RGB) {
        h.biSize = sizeof h;
        h.biWidth = w;
        h.biHeight = h_;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bpp);
        h.biCompression = compression;
    }
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

struct Section {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    BYTE* bits = nullptr;
    explicit Section(Info& info) {
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<BYTE*>(p);
        if (bitmap) old = SelectObject(dc, bitmap);
    }
    ~Section() {
        if (old) SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

TEST(GdiDib, SectionsHaveAlignedRowsInTheirOwnOrder) {
    struct Depth {
        int bpp;
        LONG stride;  // for a width of 5
    };
    for (Depth d : {Depth{1, 4}, Depth{4, 4}, Depth{8, 8}, Depth{16, 12}, Depth{24, 16}, Depth{32, 20}}) {
        for (bool topDown : {false, true}) {
            Info info(5, topDown ? -3 : 3, d.bpp);
            info.colors[1] = RGBQUAD{255, 255, 255, 0};
            Section s(info);
            ASSERT_NE(s.bitmap, nullptr) << d.bpp;
            DIBSECTION ds{};
            ASSERT_EQ(GetObject(s.bitmap, sizeof ds, &ds), static_cast<int>(sizeof ds));
            EXPECT_EQ(ds.dsBm.bmWidthBytes, d.stride) << d.bpp;
            EXPECT_EQ(ds.dsBm.bmBits, s.bits);
            EXPECT_EQ(ds.dsBm.bmHeight, 3);
            EXPECT_EQ(ds.dsBmih.biHeight, 3);  // positive whatever the row order
            EXPECT_EQ(ds.dsBmih.biSizeImage, static_cast<DWORD>(d.stride * 3));
            for (int i = 0; i < d.stride * 3; ++i) ASSERT_EQ(s.bits[i], 0) << "sections start zeroed";
            // The top-left pixel lives in the first memory row of a top-down section and the last
            // of a bottom-up one.
            SetPixel(s.dc, 0, 0, RGB(255, 255, 255));
            const BYTE* topRow = s.bits + (topDown ? 0 : 2 * d.stride);
            EXPECT_NE(topRow[0], 0) << d.bpp << (topDown ? " top-down" : " bottom-up");
            const BYTE* otherRow = s.bits + (topDown ? 2 * d.stride : 0);
            EXPECT_EQ(otherRow[0], 0);
            EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(255, 255, 255));
        }
    }
}

TEST(GdiDib, PixelsArePackedAsTheFormatsDefine) {
    Info mono(16, -1, 1);
    mono.colors[1] = RGBQUAD{255, 255, 255, 0};
    Section m(mono);
    SetPixel(m.dc, 0, 0, RGB(255, 255, 255));
    SetPixel(m.dc, 9, 0, RGB(255, 255, 255));
    EXPECT_EQ(m.bits[0], 0x80);  // leftmost pixel in the most significant bit
    EXPECT_EQ(m.bits[1], 0x40);

    Info nibble(2, -1, 4);
    nibble.colors[5] = RGBQUAD{0, 0, 255, 0};
    Section n(nibble);
    SetPixel(n.dc, 0, 0, RGB(255, 0, 0));
    EXPECT_EQ(n.bits[0], 0x50);  // leftmost pixel in the high nibble

    Info rgb555(1, -1, 16);
    Section a(rgb555);
    EXPECT_EQ(SetPixel(a.dc, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(a.bits[0] | (a.bits[1] << 8), 0x7C00);
    SetPixel(a.dc, 0, 0, RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(GetPixel(a.dc, 0, 0), RGB(0x10, 0x21, 0x31));  // 5 bits widened by repetition

    Info rgb565(1, -1, 16, BI_BITFIELDS);
    DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(rgb565.colors, masks, sizeof masks);
    Section b(rgb565);
    ASSERT_NE(b.bitmap, nullptr);
    SetPixel(b.dc, 0, 0, RGB(0, 255, 0));
    EXPECT_EQ(b.bits[0] | (b.bits[1] << 8), 0x07E0);
    DIBSECTION ds{};
    GetObject(b.bitmap, sizeof ds, &ds);
    EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
    EXPECT_EQ(ds.dsBmih.biCompression, static_cast<DWORD>(BI_BITFIELDS));

    Info rgb24(1, -1, 24);
    Section c(rgb24);
    SetPixel(c.dc, 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(c.bits[0], 3);  // blue, green, red
    EXPECT_EQ(c.bits[2], 1);
}

TEST(GdiDib, MalformedDescriptionsAreRefused) {
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    auto refused = [&](Info info, const char* why) {
        EXPECT_EQ(CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << why;
    };
    refused(Info(4, 4, 7), "depth 7");
    refused(Info(0, 4, 8), "zero width");
    refused(Info(-4, 4, 8), "negative width");
    refused(Info(4, 0, 8), "zero height");
    refused(Info(4, 4, 8, BI_RLE8), "run-length");
    refused(Info(4, 4, 24, BI_BITFIELDS), "bit fields at 24");
    Info gappy(4, 4, 32, BI_BITFIELDS);
    DWORD masks[3] = {0xF0F000, 0xFF00, 0xFF};
    std::memcpy(gappy.colors, masks, sizeof masks);
    if (!gwtest::RunningOnWine()) refused(gappy, "non-contiguous mask");  // Wine takes masks with gaps
    Info shortHeader(4, 4, 8);
    shortHeader.h.biSize = 20;
    refused(shortHeader, "header size");
    Info ok(4, 4, 8);
    EXPECT_EQ(CreateDIBSection(dc, ok.get(), 7, &bits, nullptr, 0), nullptr);
    int mapping = 0;
    EXPECT_EQ(CreateDIBSection(dc, ok.get(), DIB_RGB_COLORS, &bits, &mapping, 0), nullptr);
    DeleteDC(dc);
}

// A 3 x 2 device bitmap with known colours, for reading back at other depths.
struct Known {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Known() {
        SetPixel(dc, 0, 0, RGB(255, 0, 0));
        SetPixel(dc, 1, 0, RGB(0, 255, 0));
        SetPixel(dc, 2, 0, RGB(0, 0, 255));
        SetPixel(dc, 0, 1, RGB(255, 255, 255));
        SetPixel(dc, 1, 1, RGB(0, 0, 0));
        SetPixel(dc, 2, 1, RGB(255, 255, 0));
    }
    ~Known() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
};

TEST(GdiDib, GetDIBitsFillsInTheHeaderWhenNoBitsAreWanted) {
    Known k;
    Info info(0, 0, 0);
    ASSERT_NE(GetDIBits(k.screen, k.bitmap, 0, 0, nullptr, info.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.h.biWidth, 3);
    EXPECT_EQ(info.h.biHeight, 2);
    EXPECT_EQ(info.h.biBitCount, 32);
    EXPECT_EQ(info.h.biPlanes, 1);
    EXPECT_EQ(info.h.biSizeImage, 24u);

    Info eight(3, 2, 8);
    ASSERT_NE(GetDIBits(k.screen, k.bitmap, 0, 0, nullptr, eight.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(eight.h.biSizeImage, 8u);  // rows of 3 bytes padded to 4
    EXPECT_EQ(GetDIBits(k.screen, nullptr, 0, 2, nullptr, eight.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(nullptr, k.bitmap, 0, 2, nullptr, eight.get(), DIB_RGB_COLORS), 0);
}

TEST(GdiDib, GetDIBitsConvertsToEveryDepth) {
    Known k;
    // 24 bits, bottom-up: the first memory row is the bitmap's bottom row.
    {
        Info info(3, 2, 24);
        BYTE bits[2 * 12];
        std::memset(bits, 0xAB, sizeof bits);
        ASSERT_EQ(GetDIBits(k.screen, k.bitmap, 0, 2, bits, info.get(), DIB_RGB_COLORS), 2);
        const BYTE bottom[9] = {255, 255, 255, 0, 0, 0, 0, 255, 255};
        const BYTE top[9] = {0, 0, 255, 0, 255, 0, 255, 0, 0};
        EXPECT_EQ(std::memcmp(bits, bottom, 9), 0);
        EXPECT_EQ(std::memcmp(bits + 12, top, 9), 0);
        EXPECT_EQ(bits[9], 0) << "row padding is cleared";
    }
    // 32 bits, top-down request.
    {
        Info info(3, -2, 32);
        uint32_t bits[6] = {};
        ASSERT_EQ(GetDIBits(k.screen, k.bitmap, 0, 2, bits, info.get(), DIB_RGB_COLORS), 2);
        EXPECT_EQ(bits[0] & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(bits[5] & 0xFFFFFF, 0xFFFF00u);
    }
    // 16 bits, 5-5-5.
    {
        Info info(3, -2, 16);
        WORD bits[8] = {};
        ASSERT_EQ(GetDIBits(k.screen, k.bitmap, 0, 2, bits, info.get(), DIB_RGB_COLORS), 2);
        EXPECT_EQ(bits[0], 0x7C00);
        EXPECT_EQ(bits[1], 0x03E0);
        EXPECT_EQ(bits[2], 0x001F);
        EXPECT_EQ(bits[4], 0x7FFF);  // second row starts after 8 bytes
    }
    // 8 and 4 bits: the colour table is written and each index names the exact colour.
    for (int bpp : {8, 4}) {
        Info info(3, -2, bpp);
        BYTE bits[8] = {};
        ASSERT_EQ(GetDIBits(k.screen, k.bitmap, 0, 2, bits, info.get(), DIB_RGB_COLORS), 2);
        auto index = [&](int x, int y) {
            BYTE b = bits[y * 4 + (bpp == 8 ? x : x / 2)];
            return bpp == 8 ? b : ((x % 2) ? (b & 0x0F) : (b >> 4));
        };
        auto colour = [&](int x, int y) {
            const RGBQUAD& q = info.colors[index(x, y)];
            return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
        };
        EXPECT_EQ(colour(0, 0), RGB(255, 0, 0)) << bpp;
        EXPECT_EQ(colour(1, 0), RGB(0, 255, 0)) << bpp;
        EXPECT_EQ(colour(2, 0), RGB(0, 0, 255)) << bpp;
        EXPECT_EQ(colour(0, 1), RGB(255, 255, 255)) << bpp;
        EXPECT_EQ(colour(2, 1), RGB(255, 255, 0)) << bpp;
    }
    // 1 bit: black and white, each colour to the nearer one.
    {
        Info info(3, -2, 1);
        BYTE bits[8] = {};
        ASSERT_EQ(GetDIBits(k.screen, k.bitmap, 0, 2, bits, info.get(), DIB_RGB_COLORS), 2);
        EXPECT_EQ(info.colors[0].rgbRed, 0);
        EXPECT_EQ(info.colors[1].rgbRed, 255);
        EXPECT_EQ(bits[4] >> 5, 0x5);  // white, black, yellow
    }
    // Only the requested scan lines: line 1 of a bottom-up read is the bitmap's top row.
    {
        Info info(3, 2, 24);
        BYTE bits[12] = {};
        ASSERT_EQ(GetDIBits(k.screen, k.bitmap, 1, 5, bits, info.get(), DIB_RGB_COLORS), 1);
        EXPECT_EQ(bits[2], 255);  // red's red byte
        if (!gwtest::RunningOnWine()) {  // Wine counts a line past the bitmap as copied
            EXPECT_EQ(GetDIBits(k.screen, k.bitmap, 2, 1, bits, info.get(), DIB_RGB_COLORS), 0);
        }
    }
}

TEST(GdiDib, ShallowReadsKeepIndicesOrUseTheSelectedPalette) {
    // An 8-bit section read at 8 bits gives back its own indices and table.
    Info info(4, -1, 8);
    for (int i = 0; i < 256; ++i) info.colors[i] = RGBQUAD{static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i), 0};
    Section s(info);
    for (int i = 0; i < 4; ++i) s.bits[i] = static_cast<BYTE>(i * 60);
    SelectObject(s.dc, s.old);
    s.old = nullptr;
    Info out(4, -1, 8);
    BYTE bits[4] = {};
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDIBits(screen, s.bitmap, 0, 1, bits, out.get(), DIB_RGB_COLORS), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(bits[i], i * 60);
    EXPECT_EQ(std::memcmp(out.colors, info.colors, sizeof info.colors), 0);

    // A device bitmap read at 8 bits through a context with a palette uses that palette.
    Known k;
    struct {
        WORD version, count;
        PALETTEENTRY entries[3];
    } lp{0x300, 3, {{255, 255, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}}};
    HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
    ASSERT_NE(palette, nullptr);
    HPALETTE previous = SelectPalette(screen, palette, FALSE);
    EXPECT_EQ(RealizePalette(screen), 3u);
    Info viaPalette(3, -2, 8);
    BYTE pbits[8] = {};
    ASSERT_EQ(GetDIBits(screen, k.bitmap, 0, 2, pbits, viaPalette.get(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(viaPalette.colors[0].rgbRed, 255);
    EXPECT_EQ(viaPalette.colors[0].rgbGreen, 255);
    EXPECT_EQ(pbits[0], 1);  // red
    EXPECT_EQ(pbits[2], 2);  // blue
    EXPECT_EQ(pbits[6], 0);  // yellow
    SelectPalette(screen, previous, FALSE);
    EXPECT_TRUE(DeleteObject(palette));
    ReleaseDC(nullptr, screen);
}

TEST(GdiDib, CreateDIBitmapWritesConvertedPixels) {
    // A 4-bit bottom-up DIB, 2 x 2: indices 1 2 on the bottom row, 3 0 on the top row.
    Info info(2, 2, 4);
    info.h.biClrUsed = 4;
    info.colors[0] = RGBQUAD{0, 0, 0, 0};
    info.colors[1] = RGBQUAD{0, 0, 255, 0};
    info.colors[2] = RGBQUAD{0, 255, 0, 0};
    info.colors[3] = RGBQUAD{255, 0, 0, 0};
    const BYTE bits[8] = {0x12, 0, 0, 0, 0x30, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    HBITMAP made = CreateDIBitmap(screen, &info.h, CBM_INIT, bits, info.get(), DIB_RGB_COLORS);
    ASSERT_NE(made, nullptr);
    BITMAP bm{};
    GetObject(made, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, made);
    EXPECT_EQ(GetPixel(dc, 0, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));

    EXPECT_EQ(CreateDIBitmap(screen, &info.h, CBM_INIT, nullptr, info.get(), DIB_RGB_COLORS), nullptr);
    HBITMAP blank = CreateDIBitmap(screen, &info.h, 0, nullptr, nullptr, DIB_RGB_COLORS);
    EXPECT_NE(blank, nullptr);
    DeleteObject(blank);
    SelectObject(dc, old);
    DeleteObject(made);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST(GdiDib, IconsKeepTheirOwnCopies) {
    HDC screen = GetDC(nullptr);
    HBITMAP mask = CreateBitmap(2, 1, 1, 1, nullptr);
    HBITMAP colour = CreateCompatibleBitmap(screen, 2, 1);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, mask);
    SetPixel(dc, 1, 0, RGB(255, 255, 255));  // pixel 1 is transparent
    SelectObject(dc, colour);
    SetPixel(dc, 0, 0, RGB(200, 0, 0));
    SelectObject(dc, old);

    ICONINFO ii{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    DeleteObject(mask);    // the icon holds its own copies
    DeleteObject(colour);

    ICONINFO out{};
    ASSERT_TRUE(GetIconInfo(icon, &out));
    EXPECT_TRUE(out.fIcon);
    EXPECT_EQ(out.xHotspot, 1u);
    ASSERT_NE(out.hbmColor, nullptr);
    ASSERT_NE(out.hbmMask, nullptr);
    BITMAP bm{};
    GetObject(out.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_TRUE(DeleteObject(out.hbmColor));
    EXPECT_TRUE(DeleteObject(out.hbmMask));
    ICONINFO again{};
    EXPECT_TRUE(GetIconInfo(icon, &again));  // still intact after the caller deleted its copies
    DeleteObject(again.hbmColor);
    DeleteObject(again.hbmMask);

    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_FALSE(GetIconInfo(icon, &out));
    ICONINFO noMask{TRUE, 0, 0, nullptr, nullptr};
    EXPECT_EQ(CreateIconIndirect(&noMask), nullptr);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

}  // namespace

// Palette access: entry reads beyond the palette, the setters' limits, grey and standard
// palettes, blending, index swapping and the colours-important rule.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

TEST(PaletteRead, IndicesBeyondThePaletteReadNothing) {
    GwImage bw(4, 4, 1);
    bw.SetPaletteColor(1, 10, 20, 30, 40);
    BYTE r = 7, g = 7, b = 7;
    EXPECT_TRUE(bw.GetPaletteColor(1, &r, &g, &b));
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 30);
    r = g = b = 7;
    EXPECT_FALSE(bw.GetPaletteColor(2, &r, &g, &b));    // would read the pixel rows
    EXPECT_FALSE(bw.GetPaletteColor(255, &r, &g, &b));  // would read past the block
    EXPECT_EQ(r, 7);
    EXPECT_EQ(g, 7);
    EXPECT_EQ(b, 7);
    const RGBQUAD none = bw.GetPaletteColor(2);
    EXPECT_EQ(none.rgbRed | none.rgbGreen | none.rgbBlue | none.rgbReserved, 0);

    GwImage rgb(2, 2, 24);
    EXPECT_EQ(rgb.GetPalette(), nullptr);
    EXPECT_EQ(rgb.GetPaletteSize(), 0u);
    EXPECT_FALSE(rgb.GetPaletteColor(0, &r, &g, &b));
    GwImage empty;
    EXPECT_FALSE(empty.GetPaletteColor(0, &r, &g, &b));
}

TEST(PaletteWrite, SettersStayWithinThePalette) {
    GwImage nibbles(2, 2, 4);
    nibbles.SetPaletteColor(16, 1, 2, 3, 4);  // beyond 16 entries: ignored
    BYTE r[20], g[20], b[20];
    for (int i = 0; i < 20; i++) {
        r[i] = static_cast<BYTE>(i);
        g[i] = static_cast<BYTE>(100 + i);
        b[i] = static_cast<BYTE>(200 + i);
    }
    nibbles.SetPaletteColor(3, 0, 0, 0, 99);
    nibbles.SetPalette(20, r, g, b);  // only 16 taken; reserved bytes untouched
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(15), Quad(15, 115, 215)));
    EXPECT_EQ(nibbles.GetPaletteColor(3).rgbReserved, 99);

    nibbles.SetPalette(16, r);  // green and blue follow red
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(9), Quad(9, 9, 9)));
    nibbles.SetPalette(16, r, g);  // blue follows green
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(9), Quad(9, 109, 109)));

    rgb_color triples[2] = {{1, 2, 3}, {4, 5, 6}};
    nibbles.SetPalette(triples, 2);
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(1), Quad(4, 5, 6)));

    RGBQUAD quads[256];
    for (int i = 0; i < 256; i++) quads[i] = Quad(static_cast<BYTE>(i), 0, 0, 1);
    nibbles.SetPalette(quads, 256);  // only the palette's 64 bytes are copied
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(15), Quad(15, 0, 0)));
    EXPECT_EQ(nibbles.GetPaletteColor(15).rgbReserved, 1);
    nibbles.SetPaletteColor(2, RGB(7, 8, 9));
    EXPECT_EQ(nibbles.GetPaletteColor(2).rgbReserved, 0);
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(2), Quad(7, 8, 9)));
}

TEST(PaletteGrey, RampsByDepth) {
    const std::tuple<DWORD, int> cases[] = {{1, 255}, {4, 17}, {8, 1}};
    for (const auto& c : cases) {
        GwImage image(2, 2, std::get<0>(c));
        image.SetGrayPalette();
        for (DWORD i = 0; i < image.GetNumColors(); i++)
            ASSERT_TRUE(SameRgb(image.GetPaletteColor(static_cast<BYTE>(i)),
                                Quad(static_cast<BYTE>(i * std::get<1>(c)), static_cast<BYTE>(i * std::get<1>(c)),
                                     static_cast<BYTE>(i * std::get<1>(c)))))
                << i;
    }
    GwImage bw(2, 2, 1);
    bw.SetGrayPalette();
    EXPECT_FALSE(bw.IsGrayScale());  // black and white is not the index ramp
    GwImage gray(2, 2, 8);
    EXPECT_FALSE(gray.IsGrayScale());  // a fresh palette is all zero
    gray.SetGrayPalette();
    EXPECT_TRUE(gray.IsGrayScale());
    gray.SetPaletteColor(200, 200, 200, 201, 0);
    EXPECT_FALSE(gray.IsGrayScale());
    GwImage rgb(2, 2, 24);
    EXPECT_FALSE(rgb.IsGrayScale());
}

TEST(PaletteStandard, FourAndEightBitTables) {
    GwImage nibbles(2, 2, 4);
    nibbles.SetStdPalette();
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(1), Quad(128, 0, 0)));
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(7), Quad(192, 192, 192)));
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(14), Quad(0, 255, 255)));
    EXPECT_TRUE(SameRgb(nibbles.GetPaletteColor(15), Quad(255, 255, 255)));

    GwImage image(2, 2, 8);
    image.SetStdPalette();
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(3), Quad(128, 128, 0)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(8), Quad(192, 220, 192)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(9), Quad(166, 202, 240)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(10), Quad(255, 240, 212)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(16), Quad(255, 170, 0)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(21), Quad(80, 50, 0)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(220), Quad(254, 254, 0)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(225), Quad(80, 80, 0)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(226), Quad(242, 242, 242)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(245), Quad(14, 14, 14)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(246), Quad(255, 251, 240)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(255), Quad(255, 255, 255)));

    // Every hue group runs pale → full → dark: brightness falls after the full hue, and no
    // entry of the table is wasted on a duplicate.
    std::set<DWORD> distinct;
    for (int i = 0; i < 256; i++) distinct.insert(GwImage::RGBQUADtoRGB(image.GetPaletteColor(static_cast<BYTE>(i))));
    EXPECT_EQ(distinct.size(), 256u);
    for (int group = 0; group < 18; group++) {
        const int full = 10 + group * 12 + 6;
        for (int d = 1; d <= 5; d++) {
            const RGBQUAD a = image.GetPaletteColor(static_cast<BYTE>(full + d - 1));
            const RGBQUAD b = image.GetPaletteColor(static_cast<BYTE>(full + d));
            EXPECT_GT(a.rgbRed + a.rgbGreen + a.rgbBlue, b.rgbRed + b.rgbGreen + b.rgbBlue) << group;
        }
    }

    GwImage rgb(2, 2, 24);
    rgb.SetStdPalette();  // nothing to set
    EXPECT_EQ(rgb.GetPalette(), nullptr);
}

TEST(PaletteBlend, PercentIsCapped) {
    GwImage image(2, 2, 4);
    image.SetGrayPalette();
    image.BlendPalette(RGB(10, 20, 30), 250);
    for (BYTE i = 0; i < 16; i++) EXPECT_TRUE(SameRgb(image.GetPaletteColor(i), Quad(10, 20, 30))) << int(i);
    image.SetGrayPalette();
    image.BlendPalette(RGB(100, 0, 255), 50);
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(15), Quad(177, 127, 255)));
    image.SetGrayPalette();
    image.BlendPalette(RGB(100, 0, 255), -20);  // nothing to take from c
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(15), Quad(255, 255, 255)));
}

TEST(PaletteSwap, EntriesAndPixelsTradePlaces) {
    GwImage image(3, 1, 4);
    image.SetStdPalette();
    image.SetPixelIndex(0, 0, 2);
    image.SetPixelIndex(1, 0, 9);
    image.SetPixelIndex(2, 0, 5);
    image.SwapIndex(2, 9);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 9);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 2);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 5);
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(9), Quad(0, 128, 0)));
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(2), Quad(255, 0, 0)));
    // The picture looks the same.
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(0, 128, 0)));
    image.SwapIndex(2, 16);  // beyond the palette: nothing
    EXPECT_EQ(image.GetPixelIndex(1, 0), 2);
}

TEST(PaletteCompare, SameEntriesWithOrWithoutAlpha) {
    GwImage a(2, 2, 8), b(5, 5, 8), c(2, 2, 4);
    a.SetGrayPalette();
    b.SetGrayPalette();
    c.SetGrayPalette();
    EXPECT_TRUE(a.IsSamePalette(b));
    b.SetPaletteColor(4, 4, 4, 4, 9);
    EXPECT_FALSE(a.IsSamePalette(b, true));
    EXPECT_TRUE(a.IsSamePalette(b, false));
    EXPECT_FALSE(a.IsSamePalette(c));
    GwImage rgb1(2, 2, 24), rgb2(2, 2, 24);
    EXPECT_FALSE(rgb1.IsSamePalette(rgb2));
}

TEST(PaletteImportant, StoredPerDepthAndInTheBlock) {
    ImageProbe eight(2, 2, 8), four(2, 2, 4), one(2, 2, 1), rgb(2, 2, 24);
    eight.SetClrImportant(300);
    EXPECT_EQ(eight.GetClrImportant(), 0u);
    eight.SetClrImportant(100);
    EXPECT_EQ(eight.GetClrImportant(), 100u);
    EXPECT_EQ(eight.BlockHeader().biClrImportant, 100u);
    four.SetClrImportant(20);
    EXPECT_EQ(four.GetClrImportant(), 16u);
    one.SetClrImportant(5);
    EXPECT_EQ(one.GetClrImportant(), 2u);
    rgb.SetClrImportant(0);
    rgb.SetClrImportant(40);  // a 24-bit image keeps its value
    EXPECT_EQ(rgb.GetClrImportant(), 0u);
}

}  // namespace

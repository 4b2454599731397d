// Grey scale and negative on every depth, with transparency, selection and alpha carried
// along.
#include <gtest/gtest.h>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

int Gray(int r, int g, int b) { return (r * 306 + g * 601 + b * 117) >> 10; }

TEST(GrayScale, TwentyFourBitBecomesAnEightBitRamp) {
    GwImage image(3, 2, 24, TypePng);
    image.SetPixelColor(0, 0, RGB(255, 255, 255));
    image.SetPixelColor(1, 0, RGB(255, 0, 0));
    image.SetPixelColor(2, 0, RGB(10, 200, 30));
    image.SetPixelColor(0, 1, RGB(0, 0, 0));
    image.SetPixelColor(1, 1, RGB(0, 0, 255));
    image.SetPixelColor(2, 1, RGB(0, 255, 0));
    image.AlphaCreate();
    image.AlphaSet(2, 1, 9);
    RECT r{0, 1, 1, 0};
    image.SelectionAddRect(r);
    image.SetXDPI(150);
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_TRUE(image.IsGrayScale());
    EXPECT_EQ(image.GetType(), static_cast<DWORD>(TypePng));
    EXPECT_EQ(image.GetXDPI(), 150);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 255);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 76);
    EXPECT_EQ(image.GetPixelIndex(2, 0), Gray(10, 200, 30));
    EXPECT_EQ(image.GetPixelIndex(0, 1), 0);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 29);
    EXPECT_EQ(image.GetPixelIndex(2, 1), Gray(0, 255, 0));
    EXPECT_EQ(image.AlphaGet(2, 1), 9);
    EXPECT_TRUE(image.SelectionIsInside(0, 0));
    EXPECT_FALSE(image.SelectionIsInside(2, 0));
}

TEST(GrayScale, PaletteImagesOfEveryDepth) {
    for (DWORD bpp : {1u, 4u, 8u}) {
        SCOPED_TRACE(bpp);
        GwImage image(5, 3, bpp);
        image.SetPaletteColor(0, 0, 0, 255, 0);    // pure blue
        image.SetPaletteColor(1, 255, 128, 0, 0);  // orange
        image.Clear(0);
        for (long x = 0; x < 5; x += 2) image.SetPixelIndex(x, 1, 1);
        image.SetTransIndex(0);
        ASSERT_TRUE(image.GrayScale());
        EXPECT_EQ(image.GetBpp(), 8);
        EXPECT_TRUE(image.IsGrayScale());
        EXPECT_EQ(image.GetTransIndex(), 29);  // (255 * 117) >> 10
        for (long y = 0; y < 3; y++)
            for (long x = 0; x < 5; x++)
                EXPECT_EQ(image.GetPixelIndex(x, y), (y == 1 && x % 2 == 0) ? Gray(255, 128, 0) : 29) << x << "," << y;
    }
    GwImage empty;
    EXPECT_FALSE(empty.GrayScale());
    EXPECT_FALSE(empty.Negative());
}

TEST(Negative, TwentyFourBitWholeOrWithinTheSelection) {
    GwImage image(4, 2, 24);
    for (long y = 0; y < 2; y++)
        for (long x = 0; x < 4; x++) image.SetPixelColor(x, y, RGB(x * 10, y * 50, 200));
    image.SetTransColor(Quad(1, 2, 3));
    GwImage whole(image);
    ASSERT_TRUE(whole.Negative());
    EXPECT_TRUE(SameRgb(whole.GetPixelColor(3, 1), Quad(255 - 30, 255 - 50, 55)));
    EXPECT_TRUE(SameRgb(whole.GetTransColor(), Quad(254, 253, 252)));

    RECT r{1, 2, 3, 1};  // columns 1..2 of row 1
    image.SelectionAddRect(r);
    image.AlphaCreate();
    image.AlphaSet(1, 1, 7);
    ASSERT_TRUE(image.Negative());
    for (long y = 0; y < 2; y++)
        for (long x = 0; x < 4; x++) {
            const bool selected = y == 1 && (x == 1 || x == 2);
            const RGBQUAD want = selected ? Quad(static_cast<BYTE>(255 - x * 10), 205, 55)
                                          : Quad(static_cast<BYTE>(x * 10), static_cast<BYTE>(y * 50), 200);
            EXPECT_TRUE(SameRgb(image.GetPixelColor(x, y), want)) << x << "," << y;
        }
    EXPECT_EQ(image.AlphaGet(1, 1), 7);  // alpha is not part of the colour inverted
    EXPECT_TRUE(SameRgb(image.GetTransColor(), Quad(254, 253, 252)));
}

TEST(Negative, PaletteImagesInvertEntriesOrIndices) {
    GwImage colour(2, 1, 8);
    colour.SetStdPalette();
    colour.SetPixelIndex(0, 0, 9);
    colour.SetTransColor(Quad(1, 1, 1));
    ASSERT_TRUE(colour.Negative());
    EXPECT_EQ(colour.GetPixelIndex(0, 0), 9);
    EXPECT_TRUE(SameRgb(colour.GetPaletteColor(9), Quad(255 - 166, 255 - 202, 255 - 240)));
    EXPECT_TRUE(SameRgb(colour.GetTransColor(), Quad(1, 1, 1)));

    GwImage gray(3, 1, 8);
    gray.SetGrayPalette();
    gray.SetPixelIndex(0, 0, 0);
    gray.SetPixelIndex(1, 0, 200);
    gray.SetPixelIndex(2, 0, 255);
    ASSERT_TRUE(gray.Negative());
    EXPECT_EQ(gray.GetPixelIndex(0, 0), 255);
    EXPECT_EQ(gray.GetPixelIndex(1, 0), 55);
    EXPECT_EQ(gray.GetPixelIndex(2, 0), 0);
    EXPECT_TRUE(gray.IsGrayScale());

    // A 1-bit palette (0,0,0), (1,1,1) is the index ramp: every bit flips.
    GwImage bits(9, 2, 1);
    bits.SetPaletteColor(1, 1, 1, 1, 0);
    bits.Clear(0);
    bits.SetPixelIndex(8, 1, 1);
    ASSERT_TRUE(bits.Negative());
    for (long y = 0; y < 2; y++)
        for (long x = 0; x < 9; x++) EXPECT_EQ(bits.GetPixelIndex(x, y), (x == 8 && y == 1) ? 0 : 1);

    // 4-bit ramp with a selection: only the selected pixels change.
    GwImage nibbles(4, 1, 4);
    for (BYTE i = 0; i < 16; i++) nibbles.SetPaletteColor(i, i, i, i, 0);
    nibbles.Clear(3);
    nibbles.SelectionAddPixel(2, 0);
    ASSERT_TRUE(nibbles.Negative());
    EXPECT_EQ(nibbles.GetPixelIndex(2, 0), 12);
    EXPECT_EQ(nibbles.GetPixelIndex(1, 0), 3);
    EXPECT_EQ(nibbles.GetPixelIndex(3, 0), 3);
}

}  // namespace

// Colour depth conversion: widening keeps every colour, transparency and plane; reducing
// quantises to the nearest palette entry, with and without error diffusion.
#include <gtest/gtest.h>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

TEST(IncreaseBpp, WideningKeepsColours) {
    for (DWORD from : {1u, 4u, 8u}) {
        for (DWORD to : {4u, 8u, 24u}) {
            if (to <= from) continue;
            SCOPED_TRACE(std::to_string(from) + "->" + std::to_string(to));
            GwImage image(7, 3, from, TypeGif);
            image.SetStdPalette();
            image.SetPaletteColor(0, 10, 20, 30, 0);
            image.SetPaletteColor(1, 250, 240, 230, 0);
            for (long y = 0; y < 3; y++)
                for (long x = 0; x < 7; x++)
                    image.SetPixelIndex(x, y, static_cast<BYTE>((x + 2 * y) % (from == 1 ? 2 : 16)));
            RECT r{2, 3, 4, 1};
            image.SelectionAddRect(r);
            GwImage before(image);
            ASSERT_TRUE(image.IncreaseBpp(to));
            EXPECT_EQ(image.GetBpp(), to);
            EXPECT_EQ(image.GetType(), static_cast<DWORD>(TypeGif));
            for (long y = 0; y < 3; y++)
                for (long x = 0; x < 7; x++)
                    ASSERT_TRUE(SameRgb(image.GetPixelColor(x, y), before.GetPixelColor(x, y))) << x << "," << y;
            EXPECT_TRUE(image.SelectionIsInside(3, 2));
            EXPECT_FALSE(image.SelectionIsInside(1, 2));
        }
    }
}

TEST(IncreaseBpp, TransparencyAndPaletteAlphaBecomeTwentyFourBitForms) {
    GwImage image(2, 1, 8);
    image.SetPaletteColor(3, 9, 8, 7, 0);
    image.SetPaletteColor(4, 1, 1, 1, 100);
    image.SetPixelIndex(0, 0, 3);
    image.SetPixelIndex(1, 0, 4);
    image.SetTransIndex(3);
    ASSERT_TRUE(image.IncreaseBpp(24));
    EXPECT_TRUE(SameRgb(image.GetTransColor(), Quad(9, 8, 7)));
    EXPECT_TRUE(image.IsTransparent(0, 0));
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(1, 0), 100);
    EXPECT_EQ(image.AlphaGet(0, 0), 0);  // entry 3's reserved byte

    GwImage rgb(2, 2, 24);
    EXPECT_FALSE(rgb.IncreaseBpp(8));  // the wrong way
    EXPECT_TRUE(rgb.IncreaseBpp(24));  // already there
    EXPECT_FALSE(rgb.IncreaseBpp(16));
    GwImage empty;
    EXPECT_FALSE(empty.IncreaseBpp(24));
}

TEST(DecreaseBpp, NearestOfBlackAndWhite) {
    GwImage image(3, 1, 24);
    image.SetPixelColor(0, 0, RGB(128, 128, 128));  // 3 * 127^2 < 3 * 128^2: white
    image.SetPixelColor(1, 0, RGB(127, 127, 127));
    image.SetPixelColor(2, 0, RGB(250, 10, 250));
    ASSERT_TRUE(image.DecreaseBpp(1, false));
    EXPECT_EQ(image.GetBpp(), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 1);
    EXPECT_TRUE(SameRgb(image.GetPaletteColor(1), Quad(255, 255, 255)));

    RGBQUAD custom[2] = {Quad(255, 0, 0), Quad(0, 0, 255)};
    GwImage two(1, 1, 24);
    two.SetPixelColor(0, 0, RGB(20, 0, 200));
    ASSERT_TRUE(two.DecreaseBpp(1, false, custom));
    EXPECT_EQ(two.GetPixelIndex(0, 0), 1);
    EXPECT_TRUE(SameRgb(two.GetPaletteColor(0), Quad(255, 0, 0)));
}

TEST(DecreaseBpp, EveryPixelTakesItsNearestEntryAtEveryDepth) {
    // Twelve colours in a seeded order over a width that is no multiple of eight: more
    // colours than a row meets in a run, runs of one colour of several lengths, and partial
    // bytes at the end of 1- and 4-bit rows.
    const long width = 37, height = 5;
    GwImage source(width, height, 24);
    uint32_t x32 = 2463534242u;
    int k = 0, before = 0;
    for (long y = 0; y < height; y++)
        for (long x = 0; x < width; x++) {
            x32 ^= x32 << 13;
            x32 ^= x32 >> 17;
            x32 ^= x32 << 5;
            if ((x32 >> 20) % 3 == 0) {  // a new run: often back to the colour before, else any
                const int next = (x32 & 0x10000) ? before : static_cast<int>(x32 % 12);
                before = k;
                k = next;
            }
            source.SetPixelColor(x, y, RGB(k * 21, 255 - k * 19, (k * 97) & 0xFF));
        }
    for (DWORD bits : {1u, 4u, 8u}) {
        GwImage narrow(source);
        ASSERT_TRUE(narrow.DecreaseBpp(bits, false));
        for (long y = 0; y < height; y++)
            for (long x = 0; x < width; x++) {
                const RGBQUAD c = source.GetPixelColor(x, y);
                long best = -1;
                for (DWORD i = 0; i < narrow.GetNumColors(); i++) {
                    const RGBQUAD e = narrow.GetPaletteColor(static_cast<BYTE>(i));
                    const long d = (e.rgbRed - c.rgbRed) * (e.rgbRed - c.rgbRed) +
                                   (e.rgbGreen - c.rgbGreen) * (e.rgbGreen - c.rgbGreen) +
                                   (e.rgbBlue - c.rgbBlue) * (e.rgbBlue - c.rgbBlue);
                    if (best < 0 || d < best) best = d;
                }
                const RGBQUAD got = narrow.GetPixelColor(x, y);
                const long d = (got.rgbRed - c.rgbRed) * (got.rgbRed - c.rgbRed) +
                               (got.rgbGreen - c.rgbGreen) * (got.rgbGreen - c.rgbGreen) +
                               (got.rgbBlue - c.rgbBlue) * (got.rgbBlue - c.rgbBlue);
                EXPECT_EQ(d, best) << bits << " bits at " << x << "," << y;
            }
    }
}

TEST(DecreaseBpp, ErrorDiffusionMixesAMidGrey) {
    GwImage plain(16, 16, 24), diffused(16, 16, 24);
    for (long y = 0; y < 16; y++)
        for (long x = 0; x < 16; x++) {
            plain.SetPixelColor(x, y, RGB(128, 128, 128));
            diffused.SetPixelColor(x, y, RGB(128, 128, 128));
        }
    ASSERT_TRUE(plain.DecreaseBpp(1, false));
    ASSERT_TRUE(diffused.DecreaseBpp(1, true));
    int whitePlain = 0, whiteDiffused = 0;
    for (long y = 0; y < 16; y++)
        for (long x = 0; x < 16; x++) {
            whitePlain += plain.GetPixelIndex(x, y);
            whiteDiffused += diffused.GetPixelIndex(x, y);
        }
    EXPECT_EQ(whitePlain, 256);
    // Roughly half white; the weights spread only 14/16 of the error, so not exactly half.
    EXPECT_GT(whiteDiffused, 256 / 4);
    EXPECT_LT(whiteDiffused, 3 * 256 / 4);
    // The first pixel takes white (error -127); its right neighbour, 128 - 127*7/16 = 73, black.
    EXPECT_EQ(diffused.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(diffused.GetPixelIndex(1, 0), 0);
}

TEST(DecreaseBpp, StandardPalettesAndColoursImportant) {
    GwImage image(2, 1, 24);
    image.SetPixelColor(0, 0, RGB(255, 0, 0));
    image.SetPixelColor(1, 0, RGB(0, 0, 120));
    GwImage nibbles(image);
    ASSERT_TRUE(nibbles.DecreaseBpp(4, false));
    EXPECT_EQ(nibbles.GetPixelIndex(0, 0), 9);  // (255, 0, 0)
    EXPECT_EQ(nibbles.GetPixelIndex(1, 0), 4);  // (0, 0, 128)

    ASSERT_TRUE(image.DecreaseBpp(8, false));
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(255, 0, 0)));
    const BYTE before = image.GetPixelIndex(0, 0);
    EXPECT_TRUE(image.DecreaseBpp(8, false));  // same depth, no colours important: unchanged
    EXPECT_EQ(image.GetPixelIndex(0, 0), before);

    // Re-quantised to the first 16 entries of the standard palette.
    ASSERT_TRUE(image.DecreaseBpp(8, false, nullptr, 16));
    EXPECT_EQ(image.GetClrImportant(), 16u);
    EXPECT_LT(image.GetPixelIndex(0, 0), 16);
    EXPECT_LT(image.GetPixelIndex(1, 0), 16);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(128, 0, 0)));
    // Already fewer important colours than asked: nothing to do.
    EXPECT_TRUE(image.DecreaseBpp(8, false, nullptr, 32));
    EXPECT_EQ(image.GetClrImportant(), 16u);

    GwImage bw(2, 1, 1);
    EXPECT_FALSE(bw.DecreaseBpp(4, false));  // the wrong way
    EXPECT_FALSE(bw.DecreaseBpp(24, false));
    EXPECT_FALSE(bw.DecreaseBpp(2, false));
}

TEST(DecreaseBpp, OneBitSourceKeepsBlackAndWhite) {
    GwImage bw(3, 1, 1);
    bw.SetPaletteColor(0, 255, 0, 0, 0);
    bw.SetPaletteColor(1, 0, 255, 0, 0);
    bw.Clear(0);
    bw.SetPixelIndex(1, 0, 1);
    ASSERT_TRUE(bw.DecreaseBpp(1, false, nullptr, 1));
    EXPECT_TRUE(SameRgb(bw.GetPaletteColor(0), Quad(0, 0, 0)));
    EXPECT_TRUE(SameRgb(bw.GetPaletteColor(1), Quad(255, 255, 255)));
}

TEST(DepthConversion, EscapeStopsTheRowsButTheImageIsTakenOver) {
    GwImage image(4, 4, 24);
    for (long y = 0; y < 4; y++)
        for (long x = 0; x < 4; x++) image.SetPixelColor(x, y, RGB(255, 255, 255));
    image.SetEscape(1);
    ASSERT_TRUE(image.DecreaseBpp(1, false));
    EXPECT_EQ(image.GetBpp(), 1);
    // Unconverted rows read as index 0, not as whatever the heap held.
    for (long y = 0; y < 4; y++)
        for (long x = 0; x < 4; x++) EXPECT_EQ(image.GetPixelIndex(x, y), 0);

    GwImage wide(4, 4, 8);
    wide.SetGrayPalette();
    wide.Clear(200);
    wide.SetEscape(1);
    ASSERT_TRUE(wide.IncreaseBpp(24));
    EXPECT_TRUE(SameRgb(wide.GetPixelColor(2, 2), Quad(0, 0, 0)));
}

TEST(DepthConversion, GhostsAreNotReplaced) {
    GwImage owner(4, 4, 24);
    owner.Clear(255);
    ImageProbe ghost;
    ghost.Ghost(&owner);
    EXPECT_FALSE(ghost.DecreaseBpp(1, true));
    EXPECT_FALSE(ghost.GrayScale());
    EXPECT_EQ(owner.GetBpp(), 24);
    EXPECT_TRUE(SameRgb(owner.GetPixelColor(1, 1), Quad(255, 255, 255)));
}

}  // namespace

// Pixel access: packing of 1-, 4-, 8- and 24-bit pixels, reads and writes outside the image,
// the nearest-index search and its memo, blending, lines and bit-field conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

TEST(PixelPacking, FourBitNibblesAndOneBitOrder) {
    GwImage nibbles(5, 2, 4);
    nibbles.Clear(0);
    nibbles.SetPixelIndex(0, 0, 0x0A);
    nibbles.SetPixelIndex(1, 0, 0x1F);  // only the low four bits are kept
    EXPECT_EQ(nibbles.GetBits(0)[0], 0xAF);
    EXPECT_EQ(nibbles.GetPixelIndex(1, 0), 15);
    EXPECT_EQ(nibbles.GetPixelIndex(0, 0), 10);
    nibbles.SetPixelIndex(4, 1, 3);
    EXPECT_EQ(nibbles.GetBits(1)[2], 0x30);

    GwImage bits(10, 2, 1);
    bits.Clear(0);
    bits.SetPixelIndex(0, 0, 1);
    EXPECT_EQ(bits.GetBits(0)[0], 0x80);
    bits.SetPixelIndex(9, 1, 3);  // only the low bit
    EXPECT_EQ(bits.GetBits(1)[1], 0x40);
    bits.SetPixelIndex(0, 0, 2);  // low bit 0 clears the pixel, neighbours untouched
    bits.SetPixelIndex(1, 0, 1);
    EXPECT_EQ(bits.GetBits(0)[0], 0x40);
    for (long x = 0; x < 10; x++) EXPECT_EQ(bits.GetPixelIndex(x, 1), x == 9 ? 1 : 0) << x;
}

TEST(PixelPacking, TwentyFourBitBytesAreBlueGreenRed) {
    GwImage image(3, 2, 24);
    image.Clear(0);
    image.SetPixelColor(1, 1, RGB(10, 20, 30));
    const BYTE* p = image.GetBits(1) + 3;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(1, 1), Quad(10, 20, 30)));
    EXPECT_EQ(image.GetPixelIndex(1, 1), 0);  // no palette
    EXPECT_EQ(image.GetPixelGray(1, 1), (10 * 306 + 20 * 601 + 30 * 117) >> 10);
}

TEST(PixelBounds, ReadsOutsideGiveTheDocumentedDefaults) {
    GwImage image(4, 4, 8);
    image.SetGrayPalette();
    image.Clear(0);
    image.SetPixelIndex(0, 0, 9);
    EXPECT_EQ(image.GetPixelIndex(-1, 0), 9);  // no transparency: pixel (0, 0)
    image.SetTransIndex(3);
    EXPECT_EQ(image.GetPixelIndex(-1, 0), 3);
    EXPECT_EQ(image.GetPixelIndex(4, 0), 3);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 99), Quad(3, 3, 3)));

    GwImage rgb(2, 2, 24);
    rgb.Clear(0);
    rgb.SetPixelColor(0, 0, RGB(1, 2, 3));
    rgb.AlphaCreate();
    rgb.AlphaSet(0, 0, 44);
    const RGBQUAD c = rgb.GetPixelColor(-1, -1, true);
    EXPECT_TRUE(SameRgb(c, Quad(1, 2, 3)));
    EXPECT_EQ(c.rgbReserved, 44);
    rgb.SetTransIndex(0);
    rgb.SetTransColor(Quad(9, 9, 9));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColor(5, 5), Quad(9, 9, 9)));

    GwImage empty;
    EXPECT_EQ(empty.GetPixelIndex(0, 0), 0);
    EXPECT_TRUE(SameRgb(empty.GetPixelColor(0, 0), Quad(0, 0, 0)));
}

TEST(PixelBounds, WritesOutsideChangeNothing) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        GwImage image(3, 3, bpp);
        image.Clear(0);
        image.AlphaCreate();
        const std::vector<BYTE> before(static_cast<BYTE*>(image.GetDIB()),
                                       static_cast<BYTE*>(image.GetDIB()) + image.GetSize());
        const long points[][2] = {{-1, 0}, {0, -1}, {3, 0}, {0, 3}, {-100000, 5}, {2147483647L, 0}};
        for (const auto& p : points) {
            image.SetPixelIndex(p[0], p[1], 1);
            image.SetPixelColor(p[0], p[1], Quad(255, 255, 255, 7), true);
            image.BlendPixelColor(p[0], p[1], Quad(255, 255, 255), 0.5f, true);
            image.AlphaSet(p[0], p[1], 1);
            EXPECT_EQ(image.AlphaGetPointer(p[0], p[1]), nullptr);
        }
        EXPECT_EQ(std::memcmp(before.data(), image.GetDIB(), before.size()), 0);
        for (long y = 0; y < 3; y++)
            for (long x = 0; x < 3; x++) EXPECT_EQ(image.AlphaGet(x, y), 255);
    }
}

TEST(NearestIndex, SearchTiesImportantColoursAndMemo) {
    ImageProbe image(2, 2, 8);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetNearestIndex(Quad(100, 100, 100)), 100);
    EXPECT_EQ(image.GetNearestIndex(Quad(200, 100, 0)), 100);  // (100,100,100) is nearest by distance

    // Equal distance: entries 5 and 7 around 6 → the lower index wins.
    GwImage ties(2, 2, 4);
    ties.SetPaletteColor(5, 10, 10, 10, 0);
    ties.SetPaletteColor(7, 14, 14, 14, 0);
    for (BYTE i = 0; i < 16; i++)
        if (i != 5 && i != 7) ties.SetPaletteColor(i, 255, 0, 255, 0);
    EXPECT_EQ(ties.GetNearestIndex(Quad(12, 12, 12)), 5);

    // Colours important limits the search to the first entries.
    image.SetClrImportant(50);
    EXPECT_EQ(image.GetNearestIndex(Quad(100, 100, 100)), 49);

    // The memo answers a repeated colour without searching, even when the palette was
    // changed behind the image's back…
    image.SetClrImportant(0);
    EXPECT_EQ(image.GetNearestIndex(Quad(100, 100, 100)), 100);
    EXPECT_TRUE(image.Info().nearestValid);
    image.GetPalette()[100] = Quad(0, 0, 0);
    EXPECT_EQ(image.GetNearestIndex(Quad(100, 100, 100)), 100);
    // …but a different reserved byte is a different question.
    EXPECT_NE(image.GetNearestIndex(Quad(100, 100, 100, 1)), 100);
}

TEST(NearestIndex, EveryPaletteChangeForgetsTheMemo) {
    BYTE ramp[256];
    for (int i = 0; i < 256; i++) ramp[i] = static_cast<BYTE>(i);
    rgb_color triples[2] = {{1, 2, 3}, {4, 5, 6}};
    RGBQUAD quads[2] = {Quad(1, 2, 3), Quad(4, 5, 6)};
    const std::vector<std::pair<std::string, std::function<void(GwImage&)>>> changes = {
        {"SetPaletteColor rgb", [](GwImage& i) { i.SetPaletteColor(0, 1, 1, 1, 0); }},
        {"SetPaletteColor quad", [](GwImage& i) { i.SetPaletteColor(0, Quad(1, 1, 1)); }},
        {"SetPaletteColor colorref", [](GwImage& i) { i.SetPaletteColor(0, RGB(1, 1, 1)); }},
        {"SetPalette channels", [&](GwImage& i) { i.SetPalette(256, ramp); }},
        {"SetPalette triples", [&](GwImage& i) { i.SetPalette(triples, 2); }},
        {"SetPalette quads", [&](GwImage& i) { i.SetPalette(quads, 2); }},
        {"SetGrayPalette", [](GwImage& i) { i.SetGrayPalette(); }},
        {"SetStdPalette", [](GwImage& i) { i.SetStdPalette(); }},
        {"BlendPalette", [](GwImage& i) { i.BlendPalette(RGB(9, 9, 9), 10); }},
        {"SwapIndex", [](GwImage& i) { i.SwapIndex(0, 1); }},
        {"AlphaPaletteClear", [](GwImage& i) { i.AlphaPaletteClear(); }},
        {"SetClrImportant", [](GwImage& i) { i.SetClrImportant(20); }},
        {"Create", [](GwImage& i) { i.Create(2, 2, 8, 0); }},
        {"Negative", [](GwImage& i) { i.Negative(); }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.first);
        ImageProbe image(2, 2, 8);
        image.SetStdPalette();
        image.SetPaletteColor(0, 1, 2, 3, 0);  // not a grey ramp, so Negative edits entries
        image.GetNearestIndex(Quad(40, 50, 60));
        ASSERT_TRUE(image.Info().nearestValid);
        change.second(image);
        EXPECT_FALSE(image.Info().nearestValid);
    }
}

TEST(PixelColour, PaletteImagesTakeTheNearestEntry) {
    GwImage image(2, 1, 1);
    image.SetPaletteColor(0, 0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255, 0);
    image.SetPixelColor(0, 0, Quad(200, 200, 200, 9), true);
    image.SetPixelColor(1, 0, RGB(20, 20, 20));
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0);
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(PixelColour, BlendMixesAndClampsTheWeight) {
    GwImage image(2, 1, 24);
    image.Clear(0);
    image.SetPixelColor(0, 0, RGB(200, 100, 0));
    image.BlendPixelColor(0, 0, Quad(0, 200, 255), 0.25f);
    // w = 64, w1 = 192: red (200*192)>>8 = 150, green (100*192 + 200*64)>>8 = 125, blue 63.
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(150, 125, 63)));
    image.BlendPixelColor(1, 0, Quad(10, 20, 30), 7.0f);  // beyond 1: the colour itself
    EXPECT_TRUE(SameRgb(image.GetPixelColor(1, 0), Quad(10, 20, 30)));
    image.BlendPixelColor(1, 0, Quad(99, 99, 99), -3.0f);  // below 0: unchanged
    EXPECT_TRUE(SameRgb(image.GetPixelColor(1, 0), Quad(10, 20, 30)));
}

TEST(PixelColour, TransparencyByIndexColourAndAlpha) {
    GwImage indexed(2, 1, 8);
    indexed.Clear(0);
    indexed.SetPixelIndex(1, 0, 4);
    indexed.SetTransIndex(4);
    EXPECT_FALSE(indexed.IsTransparent(0, 0));
    EXPECT_TRUE(indexed.IsTransparent(1, 0));

    GwImage rgb(2, 1, 24);
    rgb.Clear(0);
    rgb.SetPixelColor(0, 0, RGB(5, 6, 7));
    rgb.SetTransColor(Quad(5, 6, 7));
    EXPECT_FALSE(rgb.IsTransparent(0, 0));  // no transparent index yet
    rgb.SetTransIndex(0);
    EXPECT_TRUE(rgb.IsTransparent(0, 0));
    EXPECT_FALSE(rgb.IsTransparent(1, 0));
    rgb.AlphaCreate();
    rgb.AlphaSet(1, 0, 0);
    EXPECT_TRUE(rgb.IsTransparent(1, 0));
    GwImage empty;
    EXPECT_FALSE(empty.IsTransparent(0, 0));
}

std::vector<std::pair<long, long>> LitPixels(const GwImage& image) {
    std::vector<std::pair<long, long>> lit;
    for (long y = 0; y < static_cast<long>(image.GetHeight()); y++)
        for (long x = 0; x < static_cast<long>(image.GetWidth()); x++)
            if (image.GetPixelIndex(x, y)) lit.emplace_back(x, y);
    return lit;
}

TEST(DrawLine, BresenhamPointsInEveryDirection) {
    using Points = std::vector<std::pair<long, long>>;
    GwImage image(6, 6, 1);
    image.SetPaletteColor(1, 255, 255, 255, 0);

    image.Clear(0);
    image.DrawLine(0, 3, 0, 1, RGB(255, 255, 255));
    EXPECT_EQ(LitPixels(image), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));

    image.Clear(0);
    image.DrawLine(3, 0, 1, 0, RGB(255, 255, 255));  // reversed: same pixels
    EXPECT_EQ(LitPixels(image), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));

    image.Clear(0);
    image.DrawLine(2, 2, 4, 4, RGB(255, 255, 255));
    EXPECT_EQ(LitPixels(image), (Points{{2, 4}}));

    image.Clear(0);
    image.DrawLine(1, 2, 0, 4, RGB(255, 255, 255));  // y drives
    EXPECT_EQ(LitPixels(image), (Points{{1, 0}, {1, 1}, {2, 2}, {2, 3}, {2, 4}}));

    image.Clear(0);
    image.DrawLine(-3, 8, 2, 2, RGB(255, 255, 255));  // clipped to the image
    EXPECT_EQ(LitPixels(image).size(), 6u);
}

TEST(ColourConversion, PackingAndOrdering) {
    const RGBQUAD q = GwImage::RGBtoRGBQUAD(RGB(1, 2, 3));
    EXPECT_EQ(q.rgbRed, 1);
    EXPECT_EQ(q.rgbGreen, 2);
    EXPECT_EQ(q.rgbBlue, 3);
    EXPECT_EQ(GwImage::RGBQUADtoRGB(Quad(0x11, 0x22, 0x33, 0x44)), 0x332211u);

    RGBQUAD colours[3] = {Quad(255, 255, 255), Quad(0, 0, 0), Quad(0, 255, 0)};
    std::qsort(colours, 3, sizeof(RGBQUAD), GwImage::CompareColors);
    EXPECT_TRUE(SameRgb(colours[0], Quad(0, 0, 0)));
    EXPECT_TRUE(SameRgb(colours[1], Quad(0, 255, 0)));

    ImageProbe rgb(2, 1, 24);  // rows of 8 bytes
    BYTE buffer[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    rgb.RGBtoBGR(buffer, 10);  // only whole triples within one row are swapped
    const BYTE expect[10] = {3, 2, 1, 6, 5, 4, 7, 8, 9, 10};
    EXPECT_EQ(std::memcmp(buffer, expect, 10), 0);
    ImageProbe indexed(2, 1, 8);
    indexed.RGBtoBGR(buffer, 10);
    EXPECT_EQ(std::memcmp(buffer, expect, 10), 0);
}

TEST(Bitfields, SixteenBitFieldsWidenToEightBits) {
    ImageProbe image(3, 2, 24);
    // 5-6-5: red, green, blue, white; 5-5-5 white; rows of ((3 + 1) / 2) * 4 = 8 bytes.
    const WORD src565[2][4] = {{0xF800, 0x07E0, 0x001F, 0}, {0xFFFF, 0x0000, 0x8410, 0}};
    image.Bitfield2RGB(reinterpret_cast<BYTE*>(const_cast<WORD*>(&src565[0][0])), 0xF800, 0x07E0, 0x001F, 16);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(248, 0, 0)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(1, 0), Quad(0, 252, 0)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(2, 0), Quad(0, 0, 248)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 1), Quad(248, 252, 248)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(2, 1), Quad(128, 128, 128)));

    const WORD src555[2][4] = {{0x7FFF, 0x7C00, 0x03E0, 0}, {0x001F, 0, 0, 0}};
    image.Bitfield2RGB(reinterpret_cast<BYTE*>(const_cast<WORD*>(&src555[0][0])), 0x7C00, 0x03E0, 0x001F, 16);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(248, 248, 248)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(1, 0), Quad(248, 0, 0)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(2, 0), Quad(0, 248, 0)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 1), Quad(0, 0, 248)));

    // Odd masks (no bits at all) ask for shifts that must not misbehave.
    image.Bitfield2RGB(reinterpret_cast<BYTE*>(const_cast<WORD*>(&src555[0][0])), 0, 0, 0, 16);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(0, 0, 0)));
}

TEST(Bitfields, InPlaceConversionInsideThePixelBuffer) {
    ImageProbe image(5, 3, 24);  // rows of 16 bytes; 16-bit rows of 12 bytes fit in front
    BYTE* pixels = image.GetBits(0);
    std::memset(pixels, 0, image.Header().biSizeImage);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) {
            const WORD w = static_cast<WORD>(((x * 6) << 11) | ((y * 20) << 5) | (x + y));
            pixels[y * 12 + 2 * x] = static_cast<BYTE>(w & 0xFF);
            pixels[y * 12 + 2 * x + 1] = static_cast<BYTE>(w >> 8);
        }
    image.Bitfield2RGB(pixels, 0xF800, 0x07E0, 0x001F, 16);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
            EXPECT_TRUE(SameRgb(image.GetPixelColor(x, y), Quad(static_cast<BYTE>((x * 6) << 3),
                                                                 static_cast<BYTE>((y * 20) << 2),
                                                                 static_cast<BYTE>((x + y) << 3))))
                << x << "," << y;

    BYTE quads[2 * 5 * 4];
    for (int i = 0; i < 40; i++) quads[i] = static_cast<BYTE>(i);
    ImageProbe two(5, 2, 24);
    two.Bitfield2RGB(quads, 0, 0, 0, 32);
    EXPECT_TRUE(SameRgb(two.GetPixelColor(1, 1), Quad(26, 25, 24)));  // bytes 24..26, 27 dropped
}

}  // namespace

// PNG codec: the mapping of every PNG colour type and bit depth onto GwImage, transparency
// in all its forms, interlacing both ways, resolution, and what the writer emits (checked by
// reading the file back with libpng itself).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/gw_image.h"
#include "image/gw_mem_file.h"
#include "codec_test_util.h"
#include "png_test_util.h"

namespace {

using png_test::InspectPng;
using png_test::PngFacts;
using png_test::PngSpec;
using png_test::WritePng;
using codec_test::ShortStream;

bool Decode(GwImage& image, std::vector<uint8_t> bytes) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), TypePng);
}

std::vector<uint8_t> EncodeToBytes(GwImage& image) {
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, TypePng)) return {};
    std::vector<uint8_t> out(buffer, buffer + size);
    image.FreeMemory(buffer);
    return out;
}

// Packs values of `bits` bits into PNG row bytes, first pixel in the high bits.
std::vector<uint8_t> Pack(const std::vector<int>& values, int bits) {
    std::vector<uint8_t> row((values.size() * bits + 7) / 8, 0);
    for (size_t i = 0; i < values.size(); ++i) {
        size_t bit = i * bits;
        row[bit / 8] |= static_cast<uint8_t>(values[i] << (8 - bits - bit % 8));
    }
    return row;
}

// The chunk checksum (CRC-32, reflected, polynomial 0xEDB88320).
uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

PngSpec PaletteSpec(uint32_t w, uint32_t h, int colors) {
    PngSpec s;
    s.width = w;
    s.height = h;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    for (int i = 0; i < colors; ++i)
        s.palette.push_back({static_cast<png_byte>(i * 10), static_cast<png_byte>(200 - i), static_cast<png_byte>(i)});
    for (uint32_t y = 0; y < h; ++y) {
        std::vector<uint8_t> row;
        for (uint32_t x = 0; x < w; ++x) row.push_back(static_cast<uint8_t>((x + y) % colors));
        s.rows.push_back(row);
    }
    return s;
}

TEST(PngCodecTest, TwoBitGrayBecomesFourBitWithTheFourGraysInEitherLayout) {
    for (bool interlace : {false, true}) {
        SCOPED_TRACE(interlace);
        PngSpec s;
        s.width = 11;
        s.height = 9;
        s.bitDepth = 2;
        s.interlace = interlace;
        for (uint32_t y = 0; y < s.height; ++y) {
            std::vector<int> v;
            for (uint32_t x = 0; x < s.width; ++x) v.push_back(static_cast<int>((x + 2 * y) % 4));
            s.rows.push_back(Pack(v, 2));
        }
        GwImage image;
        ASSERT_TRUE(Decode(image, WritePng(s))) << image.GetLastError();
        ASSERT_EQ(image.GetBpp(), 4);
        EXPECT_EQ(image.GetCodecOption(TypePng), interlace ? 1u : 0u);
        const int grays[4] = {0, 85, 170, 255};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(image.GetPaletteColor(static_cast<BYTE>(i)).rgbGreen, grays[i]);
        for (uint32_t y = 0; y < s.height; ++y)
            for (uint32_t x = 0; x < s.width; ++x)
                ASSERT_EQ(image.GetPixelIndex(static_cast<long>(x), static_cast<long>(s.height - 1 - y)), (x + 2 * y) % 4)
                    << x << "," << y;
    }
}

TEST(PngCodecTest, PaletteTransparencyBecomesATransparentIndexOrPaletteAlpha) {
    PngSpec s = PaletteSpec(4, 2, 6);
    s.trans = {0};
    GwImage a;
    ASSERT_TRUE(Decode(a, WritePng(s))) << a.GetLastError();
    EXPECT_EQ(a.GetTransIndex(), 0);
    EXPECT_FALSE(a.AlphaPaletteIsEnabled());
    EXPECT_EQ(a.GetPaletteColor(1).rgbReserved, 0);

    s.trans = {128};
    GwImage b;
    ASSERT_TRUE(Decode(b, WritePng(s))) << b.GetLastError();
    EXPECT_EQ(b.GetTransIndex(), -1);
    EXPECT_TRUE(b.AlphaPaletteIsEnabled());
    EXPECT_EQ(b.GetPaletteColor(0).rgbReserved, 128);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(b.GetPaletteColor(static_cast<BYTE>(i)).rgbReserved, 255) << i;

    s.trans = {10, 0, 200};
    GwImage c;
    ASSERT_TRUE(Decode(c, WritePng(s))) << c.GetLastError();
    EXPECT_TRUE(c.AlphaPaletteIsEnabled());
    EXPECT_EQ(c.GetPaletteColor(1).rgbReserved, 0);
    EXPECT_EQ(c.GetPaletteColor(2).rgbReserved, 200);
    EXPECT_EQ(c.GetPaletteColor(3).rgbReserved, 255);
    // The colours themselves are the file's, not blended with any background.
    EXPECT_EQ(c.GetPaletteColor(1).rgbRed, 10);
    EXPECT_EQ(c.GetPaletteColor(1).rgbGreen, 199);
}

TEST(PngCodecTest, ColourWithAlphaKeepsItsAlphaAtEightAndSixteenBits) {
    for (int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        PngSpec s;
        s.width = 3;
        s.height = 2;
        s.bitDepth = depth;
        s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        s.background = true;
        s.backgroundValue.red = static_cast<png_uint_16>(depth == 16 ? 0x1234 : 0x34);
        s.backgroundValue.green = static_cast<png_uint_16>(depth == 16 ? 0x0056 : 0x56);
        s.backgroundValue.blue = static_cast<png_uint_16>(depth == 16 ? 0x0078 : 0x78);
        for (uint32_t y = 0; y < 2; ++y) {
            std::vector<uint8_t> row;
            for (uint32_t x = 0; x < 3; ++x) {
                uint8_t v[4] = {static_cast<uint8_t>(10 + x), static_cast<uint8_t>(20 + y), 30,
                                static_cast<uint8_t>(x * 100)};
                for (uint8_t b : v) {
                    row.push_back(b);
                    if (depth == 16) row.push_back(b);  // v * 257: the high byte is v
                }
            }
            s.rows.push_back(row);
        }
        GwImage image;
        ASSERT_TRUE(Decode(image, WritePng(s))) << image.GetLastError();
        ASSERT_EQ(image.GetBpp(), 24);
        ASSERT_TRUE(image.AlphaIsValid());
        EXPECT_EQ(image.AlphaGet(2, 1), 200);  // top row, third pixel
        EXPECT_EQ(image.AlphaGet(0, 0), 0);
        RGBQUAD c = image.GetPixelColor(1, 1, false);
        EXPECT_EQ(c.rgbRed, 11);
        EXPECT_EQ(c.rgbGreen, 20);
        EXPECT_EQ(c.rgbBlue, 30);
        RGBQUAD t = image.GetTransColor();
        EXPECT_EQ(t.rgbRed, 0x34);
        EXPECT_EQ(t.rgbGreen, 0x56);
        EXPECT_EQ(t.rgbBlue, 0x78);

        PngFacts f = InspectPng(EncodeToBytes(image));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
        EXPECT_EQ(f.bitDepth, 8);
        EXPECT_EQ(f.rgba[4 * 2 + 3], 200);
        EXPECT_EQ(f.rgba[4 * 1 + 0], 11);
    }
}

TEST(PngCodecTest, GrayWithAlphaAndColourKeysAreComposedOverTheBackground) {
    PngSpec s;
    s.width = 2;
    s.height = 1;
    s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    s.rows = {{100, 255, 100, 0}};
    GwImage a;
    ASSERT_TRUE(Decode(a, WritePng(s))) << a.GetLastError();
    ASSERT_EQ(a.GetBpp(), 8);
    EXPECT_EQ(a.GetPixelColor(0, 0).rgbRed, 100);
    EXPECT_EQ(a.GetPixelColor(1, 0).rgbRed, 192);  // transparent: the light gray behind

    s.background = true;
    s.backgroundValue.gray = 40;
    GwImage b;
    ASSERT_TRUE(Decode(b, WritePng(s))) << b.GetLastError();
    EXPECT_EQ(b.GetPixelColor(1, 0).rgbRed, 40);

    PngSpec rgb;
    rgb.width = 2;
    rgb.height = 1;
    rgb.colorType = PNG_COLOR_TYPE_RGB;
    rgb.rows = {{1, 2, 3, 50, 60, 70}};
    rgb.transColor = true;
    rgb.transValue.red = 50;
    rgb.transValue.green = 60;
    rgb.transValue.blue = 70;
    GwImage c;
    ASSERT_TRUE(Decode(c, WritePng(rgb))) << c.GetLastError();
    ASSERT_EQ(c.GetBpp(), 24);
    EXPECT_EQ(c.GetPixelColor(0, 0).rgbBlue, 3);
    EXPECT_EQ(c.GetPixelColor(1, 0).rgbRed, 192);
}

TEST(PngCodecTest, SixteenBitSamplesAreCutToEightAndResolutionIsRead) {
    PngSpec s;
    s.width = 2;
    s.height = 1;
    s.bitDepth = 16;
    s.rows = {{0xAB, 0xCD, 0x12, 0x34}};
    s.phys = true;
    s.physX = 3780;
    s.physY = 11811;
    GwImage a;
    ASSERT_TRUE(Decode(a, WritePng(s))) << a.GetLastError();
    EXPECT_EQ(a.GetBpp(), 8);
    EXPECT_EQ(a.GetPixelIndex(0, 0), 0xAB);
    EXPECT_EQ(a.GetPixelIndex(1, 0), 0x12);
    EXPECT_EQ(a.GetXDPI(), 96);
    EXPECT_EQ(a.GetYDPI(), 300);

    s.physUnit = PNG_RESOLUTION_UNKNOWN;
    s.physX = 72;
    s.physY = 144;
    GwImage b;
    ASSERT_TRUE(Decode(b, WritePng(s))) << b.GetLastError();
    EXPECT_EQ(b.GetXDPI(), 72);
    EXPECT_EQ(b.GetYDPI(), 144);
}

TEST(PngCodecTest, RoundTripsEveryDepthInterlacedOrNot) {
    for (bool interlace : {false, true}) {
        for (DWORD bpp : {1u, 4u, 8u, 24u}) {
            for (bool withAlpha : {false, true}) {
                if (withAlpha && bpp != 24) continue;
                SCOPED_TRACE(::testing::Message() << "bpp " << bpp << " alpha " << withAlpha << " interlace " << interlace);
                GwImage image(17, 11, bpp, TypePng);
                for (DWORD i = 0; i < image.GetNumColors(); ++i)
                    image.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i * 3),
                                          static_cast<BYTE>(255 - i));
                if (withAlpha) image.AlphaCreate();
                for (long y = 0; y < 11; ++y)
                    for (long x = 0; x < 17; ++x) {
                        if (bpp == 24) {
                            image.SetPixelColor(x, y, RGB(x * 15, y * 20, x * y));
                            if (withAlpha) image.AlphaSet(x, y, static_cast<BYTE>(x * 10 + y));
                        } else {
                            image.SetPixelIndex(x, y, static_cast<BYTE>((x * 7 + y) % image.GetNumColors()));
                        }
                    }
                image.SetXDPI(200);
                image.SetCodecOption(interlace ? 1 : 0, TypePng);
                std::vector<uint8_t> bytes = EncodeToBytes(image);
                PngFacts f = InspectPng(bytes);
                ASSERT_TRUE(f.ok);
                EXPECT_EQ(f.interlace, interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE);
                EXPECT_EQ(f.colorType, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA
                                                 : bpp == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE);
                EXPECT_TRUE(f.phys);
                EXPECT_EQ(f.physX, 7874u);
                GwImage back;
                ASSERT_TRUE(Decode(back, bytes)) << back.GetLastError();
                EXPECT_EQ(back.GetCodecOption(TypePng), interlace ? 1u : 0u);
                EXPECT_EQ(back.GetXDPI(), 200);
                ASSERT_EQ(back.GetBpp(), bpp);
                ASSERT_EQ(back.AlphaIsValid(), withAlpha);
                for (long y = 0; y < 11; ++y)
                    for (long x = 0; x < 17; ++x) {
                        RGBQUAD p = image.GetPixelColor(x, y, true), q = back.GetPixelColor(x, y, true);
                        ASSERT_TRUE(p.rgbRed == q.rgbRed && p.rgbGreen == q.rgbGreen && p.rgbBlue == q.rgbBlue)
                            << x << "," << y;
                        if (withAlpha) {
                            ASSERT_EQ(p.rgbReserved, q.rgbReserved) << x << "," << y;
                        }
                    }
            }
        }
    }
}

TEST(PngCodecTest, SavingATransparentIndexSwapsItToEntryZero) {
    GwImage image(6, 4, 8, TypePng);
    for (int i = 0; i < 8; ++i) image.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 30), 7, 9);
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 6; ++x) image.SetPixelIndex(x, y, static_cast<BYTE>((x + y) % 8));
    image.SetTransIndex(5);
    std::vector<uint8_t> bytes = EncodeToBytes(image);
    PngFacts f = InspectPng(bytes);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.trans, std::vector<uint8_t>{0});
    ASSERT_GE(f.palette.size(), 6u);
    EXPECT_EQ(f.palette[0].red, 150);
    EXPECT_EQ(f.palette[5].red, 0);
    // The saved image itself was rewritten: entry 0 is the old entry 5, its pixels follow.
    EXPECT_EQ(image.GetTransIndex(), 0);
    EXPECT_EQ(image.GetPaletteColor(0).rgbRed, 150);
    EXPECT_EQ(image.GetPixelIndex(5, 0), 0);  // was 5
    EXPECT_EQ(image.GetPixelIndex(0, 0), 5);  // was 0
    // Transparent exactly where the old index 5 was.
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 6; ++x)
            EXPECT_EQ(f.rgba[4 * ((3 - y) * 6 + x) + 3], (x + y) % 8 == 5 ? 0 : 255) << x << "," << y;
}

TEST(PngCodecTest, SmallImagesListOnlyThePaletteEntriesTheyUse) {
    for (DWORD side : {100u, 300u}) {
        GwImage image(side, side, 8, TypePng);
        image.SetGrayPalette();
        image.Clear(0);
        for (long i = 0; i < 10; ++i) image.SetPixelIndex(i, i, static_cast<BYTE>(i));
        PngFacts f = InspectPng(EncodeToBytes(image));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.palette.size(), side == 100 ? 10u : 256u);
    }
}

TEST(PngCodecTest, TransparentColourOfATwentyFourBitImageIsWrittenAsAlpha) {
    GwImage image(3, 1, 24, TypePng);
    image.SetPixelColor(0, 0, RGB(255, 0, 0));
    image.SetPixelColor(1, 0, RGB(0, 255, 0));
    image.SetPixelColor(2, 0, RGB(255, 0, 0));
    image.SetTransIndex(0);
    image.SetTransColor(GwImage::RGBtoRGBQUAD(RGB(255, 0, 0)));
    PngFacts f = InspectPng(EncodeToBytes(image));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(f.rgba[3], 0);
    EXPECT_EQ(f.rgba[7], 255);
    EXPECT_EQ(f.rgba[11], 0);
    EXPECT_TRUE(f.background);
    EXPECT_EQ(f.backgroundValue.red, 255);
    EXPECT_EQ(f.backgroundValue.green, 0);
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(PngCodecTest, DamagedOrImplausibleFilesFailCleanly) {
    GwImage image(2, 2, 24, TypeBmp);
    PngSpec s = PaletteSpec(40, 40, 16);
    std::vector<uint8_t> bytes = WritePng(s);
    bytes.resize(bytes.size() / 2);
    EXPECT_FALSE(Decode(image, bytes));
    EXPECT_STREQ(image.GetLastError(), "Read Error");
    EXPECT_EQ(image.GetType(), static_cast<DWORD>(TypeBmp));  // the old image is untouched
    EXPECT_EQ(image.GetWidth(), 2u);

    // A valid header promising 16000 x 16000 RGB pixels (within the decode budget) in a file
    // of a few dozen bytes.
    std::vector<uint8_t> big = WritePng(PaletteSpec(1, 1, 2));
    const uint8_t header[] = {0, 0, 0x3E, 0x80, 0, 0, 0x3E, 0x80, 8, 2, 0, 0, 0};
    std::memcpy(&big[16], header, sizeof header);
    uint32_t crc = Crc32(&big[12], 17);
    big[29] = static_cast<uint8_t>(crc >> 24);
    big[30] = static_cast<uint8_t>(crc >> 16);
    big[31] = static_cast<uint8_t>(crc >> 8);
    big[32] = static_cast<uint8_t>(crc);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Decode(image, big));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_STREQ(image.GetLastError(), "PNG file too short for its dimensions");

    // An ancillary chunk that claims nearly 2 GB is skipped as far as the stream goes rather
    // than buffered (a fuzzer found libpng reserving and clearing the whole claim).
    std::vector<uint8_t> huge = WritePng(PaletteSpec(3, 3, 4));
    const uint8_t chunk[] = {0x70, 0x7E, 0x8C, 0x9A, 'z', 'T', 'X', 't', 0, 0, 0, 0};
    huge.insert(huge.begin() + 33, chunk, chunk + sizeof chunk);
    start = std::chrono::steady_clock::now();
    GwImage skipped;
    EXPECT_FALSE(Decode(skipped, huge));
    EXPECT_STREQ(skipped.GetLastError(), "Read Error");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    // Stopping on request leaves the last message alone.
    GwImage stopped;
    stopped.SetEscape(1);
    EXPECT_FALSE(Decode(stopped, WritePng(s)));
    EXPECT_STREQ(stopped.GetLastError(), "");
}

TEST(PngCodecTest, WriteFailuresAreReported) {
    GwImage image(64, 64, 24, TypePng);
    image.Clear(0x55);
    ShortStream full(100);
    EXPECT_FALSE(image.Encode(&full, TypePng));
    EXPECT_STREQ(image.GetLastError(), "Error saving PNG file");
    GwImage empty;
    ShortStream out(1000);
    EXPECT_FALSE(empty.Encode(&out, TypePng));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
}

}  // namespace

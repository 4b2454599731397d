// Bitmap reader and writer: round trips at every depth, the header variants (bare DIB, OS/2
// core, top-down, later Windows headers), bit fields, run-length codes, and streams that lie
// about their size, palette or run lengths.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec_test_util.h"
#include "image/bmp/gw_bmp_codec.h"
#include "image/gw_image.h"
#include "image/gw_mem_file.h"

namespace {

using codec_test::BmpSpec;
using codec_test::Grays;
using codec_test::MakeBmp;
using codec_test::ShortStream;

bool DecodeBytes(GwImage& image, std::vector<uint8_t>& bytes, DWORD type = TypeBmp) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), type);
}

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

TEST(BmpCodecTest, RoundTripsEveryDepthWithPaletteResolutionAndFileHeader) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        GwImage image(13, 5, bpp, TypeBmp);  // odd width: rows carry padding
        ASSERT_TRUE(image.IsValid());
        image.SetXDPI(300);
        image.SetYDPI(150);
        for (DWORD i = 0; i < image.GetNumColors(); ++i)
            image.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 7), static_cast<BYTE>(255 - i),
                                  static_cast<BYTE>(i * 3));
        for (long y = 0; y < 5; ++y)
            for (long x = 0; x < 13; ++x) {
                if (bpp == 24) {
                    const RGBQUAD c = {static_cast<BYTE>(x * 19), static_cast<BYTE>(y * 50), static_cast<BYTE>(x * y), 0};
                    image.SetPixelColor(x, y, c);
                } else {
                    image.SetPixelIndex(x, y, static_cast<BYTE>((x * 5 + y * 3) % image.GetNumColors()));
                }
            }
        BYTE* buffer = nullptr;
        long size = 0;
        ASSERT_TRUE(image.Encode(buffer, size, TypeBmp)) << image.GetLastError();
        ASSERT_EQ(static_cast<DWORD>(size), image.GetSize() + 14);
        EXPECT_EQ(buffer[0], 'B');
        EXPECT_EQ(buffer[1], 'M');
        EXPECT_EQ(Le32(buffer + 2), image.GetSize() + 14);
        EXPECT_EQ(Le32(buffer + 10), 14u + 40u + image.GetNumColors() * 4u);
        if (bpp == 4) {
            EXPECT_EQ(Le32(buffer + 10), 14u + 40u + 64u);
        }

        GwImage back;
        ASSERT_TRUE(back.Decode(buffer, static_cast<DWORD>(size), TypeBmp)) << back.GetLastError();
        image.FreeMemory(buffer);
        EXPECT_EQ(back.GetType(), static_cast<DWORD>(TypeBmp));
        ASSERT_EQ(back.GetBpp(), bpp);
        ASSERT_EQ(back.GetWidth(), 13u);
        ASSERT_EQ(back.GetHeight(), 5u);
        EXPECT_EQ(back.GetXDPI(), 300);
        EXPECT_EQ(back.GetYDPI(), 150);
        ASSERT_EQ(back.GetNumColors(), image.GetNumColors());
        if (image.GetNumColors() > 0) {  // 24-bit images have no palette to compare
            EXPECT_EQ(0, std::memcmp(back.GetPalette(), image.GetPalette(), image.GetNumColors() * 4));
        }
        for (DWORD y = 0; y < 5; ++y)
            EXPECT_EQ(0, std::memcmp(back.GetBits(y), image.GetBits(y), (13 * bpp + 7) / 8)) << "row " << y;
    }
}

TEST(BmpCodecTest, ReadsBareDibOs2CoreAndTopDownLayouts) {
    // A bare DIB: the stream starts with the info header itself.
    BmpSpec bare;
    bare.width = 3;
    bare.height = 2;
    bare.bare = true;
    bare.palette = Grays(256);
    bare.data = {1, 2, 3, 0, 4, 5, 6, 0};
    std::vector<uint8_t> bytes = MakeBmp(bare);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    EXPECT_EQ(a.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(a.GetPixelIndex(2, 1), 6);

    // OS/2 1-bit core header with two 3-byte palette entries.
    BmpSpec os2;
    os2.width = 9;
    os2.height = 2;
    os2.bpp = 1;
    os2.headerSize = 12;
    os2.palette = {{10, 20, 30}, {200, 100, 50}};
    os2.data = {0xAA, 0x80, 0, 0, 0x55, 0x00, 0, 0};
    bytes = MakeBmp(os2);
    GwImage b;
    ASSERT_TRUE(DecodeBytes(b, bytes)) << b.GetLastError();
    ASSERT_EQ(b.GetBpp(), 1);
    RGBQUAD p0 = b.GetPaletteColor(0), p1 = b.GetPaletteColor(1);
    EXPECT_EQ(p0.rgbRed, 10);
    EXPECT_EQ(p0.rgbGreen, 20);
    EXPECT_EQ(p0.rgbBlue, 30);
    EXPECT_EQ(p1.rgbRed, 200);
    EXPECT_EQ(p1.rgbBlue, 50);
    EXPECT_EQ(p0.rgbReserved, 0);
    EXPECT_EQ(p1.rgbReserved, 0);
    EXPECT_EQ(b.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(b.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(b.GetPixelIndex(8, 0), 1);
    EXPECT_EQ(b.GetPixelIndex(1, 1), 1);

    // Top-down 8-bit: the first stored row is the top of the picture.
    BmpSpec top;
    top.width = 2;
    top.height = -3;
    top.palette = Grays(256);
    top.data = {10, 11, 0, 0, 20, 21, 0, 0, 30, 31, 0, 0};
    bytes = MakeBmp(top);
    GwImage c;
    ASSERT_TRUE(DecodeBytes(c, bytes)) << c.GetLastError();
    ASSERT_EQ(c.GetHeight(), 3u);
    EXPECT_EQ(c.GetPixelIndex(0, 2), 10);  // top row
    EXPECT_EQ(c.GetPixelIndex(1, 0), 31);  // bottom row
}

// Pictures deeper than 8 bits may carry a colour table as a display hint, and a 32-bit one
// its bit masks after a 40-byte header; in a bare DIB nothing says where the pixels start, so
// both have to be stepped over.
TEST(BmpCodecTest, BareDeepDibsSkipTheirColourTableAndMasks) {
    BmpSpec rgb;
    rgb.width = 2;
    rgb.height = 1;
    rgb.bpp = 24;
    rgb.bare = true;
    rgb.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    rgb.data = {10, 20, 30, 40, 50, 60, 0, 0};  // blue, green, red per pixel, then padding
    std::vector<uint8_t> bytes = MakeBmp(rgb);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    ASSERT_EQ(a.GetBpp(), 24);
    EXPECT_EQ(a.GetPixelColor(0, 0).rgbBlue, 10);
    EXPECT_EQ(a.GetPixelColor(0, 0).rgbRed, 30);
    EXPECT_EQ(a.GetPixelColor(1, 0).rgbGreen, 50);

    BmpSpec wide;
    wide.width = 2;
    wide.height = 1;
    wide.bpp = 32;
    wide.compression = 3;
    wide.bare = true;
    wide.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
    wide.palette = {{1, 2, 3}};
    wide.data = {11, 22, 33, 0, 44, 55, 66, 0};
    bytes = MakeBmp(wide);
    GwImage b;
    ASSERT_TRUE(DecodeBytes(b, bytes)) << b.GetLastError();
    EXPECT_EQ(b.GetPixelColor(0, 0).rgbBlue, 11);
    EXPECT_EQ(b.GetPixelColor(0, 0).rgbRed, 33);
    EXPECT_EQ(b.GetPixelColor(1, 0).rgbGreen, 55);

    // A table far larger than the stream leaves the picture blank rather than misread.
    rgb.colorsUsed = 0x40000000;
    bytes = MakeBmp(rgb);
    GwImage c;
    if (DecodeBytes(c, bytes)) {
        EXPECT_EQ(c.GetPixelColor(0, 0).rgbBlue, 0);
    }
}

TEST(BmpCodecTest, SixteenAndThirtyTwoBitPixelsBecomeTwentyFourBit) {
    auto pixel = [](GwImage& im, long x, long y) { return im.GetPixelColor(x, y, false); };
    // Without masks: 5-5-5.
    BmpSpec s555;
    s555.width = 2;
    s555.height = 1;
    s555.bpp = 16;
    s555.data = {0xFF, 0x7F, 0x00, 0x7C};  // white, pure red
    std::vector<uint8_t> bytes = MakeBmp(s555);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    ASSERT_EQ(a.GetBpp(), 24);
    EXPECT_EQ(pixel(a, 0, 0).rgbRed, 248);
    EXPECT_EQ(pixel(a, 0, 0).rgbGreen, 248);
    EXPECT_EQ(pixel(a, 0, 0).rgbBlue, 248);
    EXPECT_EQ(pixel(a, 1, 0).rgbRed, 248);
    EXPECT_EQ(pixel(a, 1, 0).rgbGreen, 0);

    // 5-6-5 bit fields, once after a 40-byte header and once inside a 108-byte header.
    for (uint32_t headerSize : {40u, 108u}) {
        SCOPED_TRACE(headerSize);
        BmpSpec s565 = s555;
        s565.compression = 3;
        s565.headerSize = headerSize;
        s565.masks = {0xF800, 0x07E0, 0x001F};
        s565.data = {0x00, 0xF8, 0xE0, 0x07};  // pure red, pure green
        bytes = MakeBmp(s565);
        GwImage b;
        ASSERT_TRUE(DecodeBytes(b, bytes)) << b.GetLastError();
        EXPECT_EQ(pixel(b, 0, 0).rgbRed, 248);
        EXPECT_EQ(pixel(b, 0, 0).rgbGreen, 0);
        EXPECT_EQ(pixel(b, 1, 0).rgbRed, 0);
        EXPECT_EQ(pixel(b, 1, 0).rgbGreen, 252);
        EXPECT_EQ(pixel(b, 1, 0).rgbBlue, 0);
    }

    // 32 bits: blue, green, red and a dropped fourth byte.
    BmpSpec s32;
    s32.width = 2;
    s32.height = 1;
    s32.bpp = 32;
    s32.data = {1, 2, 3, 0x99, 40, 50, 60, 0x00};
    bytes = MakeBmp(s32);
    GwImage c;
    ASSERT_TRUE(DecodeBytes(c, bytes)) << c.GetLastError();
    EXPECT_FALSE(c.AlphaIsValid());
    EXPECT_EQ(pixel(c, 0, 0).rgbBlue, 1);
    EXPECT_EQ(pixel(c, 0, 0).rgbRed, 3);
    EXPECT_EQ(pixel(c, 1, 0).rgbGreen, 50);
    EXPECT_EQ(pixel(c, 1, 0).rgbRed, 60);
}

std::vector<uint8_t> Row(const GwImage& im, DWORD y, size_t n) {
    const BYTE* p = im.GetBits(y);
    return std::vector<uint8_t>(p, p + n);
}

TEST(BmpCodecTest, Rle8RunsLiteralsDeltasAndEndOfRow) {
    BmpSpec s;
    s.width = 8;
    s.height = 2;
    s.compression = 1;
    s.palette = Grays(256);
    // A run, a delta one right and one up, a literal run (odd, so padded), end of bitmap.
    s.data = {0x03, 0x41, 0x00, 0x02, 0x01, 0x01, 0x00, 0x03, 0x10, 0x20, 0x30, 0x00, 0x00, 0x01};
    std::vector<uint8_t> bytes = MakeBmp(s);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    EXPECT_EQ(Row(a, 0, 8), (std::vector<uint8_t>{0x41, 0x41, 0x41, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Row(a, 1, 8), (std::vector<uint8_t>{0, 0, 0, 0, 0x10, 0x20, 0x30, 0}));

    // A run longer than what is left of its row ends the decode: the row is filled to its
    // end and the next row's codes are not applied.
    s.data = {0x0A, 0x07, 0x00, 0x00, 0x02, 0x09, 0x00, 0x01};
    bytes = MakeBmp(s);
    GwImage b;
    ASSERT_TRUE(DecodeBytes(b, bytes)) << b.GetLastError();
    EXPECT_EQ(Row(b, 0, 8), std::vector<uint8_t>(8, 7));
    EXPECT_EQ(Row(b, 1, 8), std::vector<uint8_t>(8, 0));
}

TEST(BmpCodecTest, Rle8CodesAimedOutsideTheImageAreDropped) {
    BmpSpec s;
    s.width = 4;
    s.height = 2;
    s.compression = 1;
    s.palette = Grays(256);
    s.data = {
        0x00, 0x02, 0xFF, 0x00,                    // delta far past the row end
        0x00, 0x04, 0xEE, 0xEE, 0xEE, 0xEE,        // literal run off the row: dropped
        0x00, 0x00,                                // next row
        0x00, 0x06, 1, 2, 3, 4, 5, 6,              // literal run longer than the row
        0x00, 0x02, 0x00, 0xFF,                    // delta far above the image
        0x00, 0x03, 0xDD, 0xDD, 0xDD, 0x00,        // literal run above the image
        0x04, 0xCC,                                // run above the image
        0x00, 0x01};
    std::vector<uint8_t> bytes = MakeBmp(s);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    EXPECT_EQ(Row(a, 0, 4), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(Row(a, 1, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(BmpCodecTest, Rle4RunsStartWithTheHighNibbleWhereverTheyBegin) {
    BmpSpec s;
    s.width = 9;
    s.height = 2;
    s.bpp = 4;
    s.compression = 2;
    s.palette = Grays(16);
    s.data = {0x03, 0x12,                    // 1 2 1
              0x00, 0x03, 0x34, 0x50,        // literal 3 4 5 starting on an odd pixel
              0x02, 0x77,                    // 7 7
              0x00, 0x00,                    // next row
              0x00, 0x02, 0x01, 0x00,        // skip one pixel
              0x03, 0xAB,                    // A B A from an odd pixel
              0x00, 0x01};
    std::vector<uint8_t> bytes = MakeBmp(s);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    std::vector<int> row0, row1;
    for (long x = 0; x < 9; ++x) {
        row0.push_back(a.GetPixelIndex(x, 0));
        row1.push_back(a.GetPixelIndex(x, 1));
    }
    EXPECT_EQ(row0, (std::vector<int>{1, 2, 1, 3, 4, 5, 7, 7, 0}));
    EXPECT_EQ(row1, (std::vector<int>{0, 0xA, 0xB, 0xA, 0, 0, 0, 0, 0}));
}

TEST(BmpCodecTest, ColourCountBeyondThePaletteReadsWhatFitsAndSkipsTheRest) {
    // 300 entries for an 8-bit bare DIB: the pixels follow the last of them.
    BmpSpec s;
    s.width = 2;
    s.height = 1;
    s.bare = true;
    for (int i = 0; i < 300; ++i) s.palette.push_back({static_cast<uint8_t>(i), 0, static_cast<uint8_t>(i >> 8)});
    s.data = {255, 7, 0, 0};
    std::vector<uint8_t> bytes = MakeBmp(s);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    ASSERT_EQ(a.GetNumColors(), 256u);
    EXPECT_EQ(a.GetPaletteColor(255).rgbRed, 255);
    EXPECT_EQ(a.GetPaletteColor(255).rgbBlue, 0);
    EXPECT_EQ(a.GetPixelIndex(0, 0), 255);
    EXPECT_EQ(a.GetPixelIndex(1, 0), 7);
}

TEST(BmpCodecTest, ShortPixelDataReadsAsZerosButImplausibleSizesAreRefused) {
    BmpSpec s;
    s.width = 4;
    s.height = 4;
    s.bpp = 24;
    s.data.assign(12 * 3, 0xAB);  // three of four rows present
    std::vector<uint8_t> bytes = MakeBmp(s);
    GwImage a;
    ASSERT_TRUE(DecodeBytes(a, bytes)) << a.GetLastError();
    EXPECT_EQ(Row(a, 2, 12), std::vector<uint8_t>(12, 0xAB));
    EXPECT_EQ(Row(a, 3, 12), std::vector<uint8_t>(12, 0));

    // A 60-byte file claiming 16000 x 16000 pixels (within the decode budget): refused at
    // once, nothing reserved.
    s.width = 16000;
    s.height = 16000;
    s.data.assign(6, 1);
    bytes = MakeBmp(s);
    GwImage b(2, 2, 8, TypeGif);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DecodeBytes(b, bytes));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_STREQ(b.GetLastError(), "BMP file too short for its dimensions");
    EXPECT_EQ(b.GetWidth(), 2u);  // the failed decode left the image as it was
    EXPECT_EQ(b.GetType(), static_cast<DWORD>(TypeGif));

    // The same for run-length data and for bit counts the reader has no pixels for.
    s.compression = 1;
    s.bpp = 8;
    bytes = MakeBmp(s);
    EXPECT_FALSE(DecodeBytes(b, bytes));
    // A bit count no bitmap has is refused before anything else, not read as a blank picture.
    s.compression = 0;
    s.bpp = 64;
    bytes = MakeBmp(s);
    EXPECT_FALSE(DecodeBytes(b, bytes));
    EXPECT_STREQ(b.GetLastError(), "bit count not supported");
}

TEST(BmpCodecTest, RefusesOtherFormatsAndUnsupportedCodingWithItsMessages) {
    GwImage a;
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1};
    EXPECT_FALSE(DecodeBytes(a, png));
    EXPECT_STREQ(a.GetLastError(), "Error reading BMP info");
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(DecodeBytes(a, gif));
    EXPECT_STREQ(a.GetLastError(), "Error reading BMP info");
    std::vector<uint8_t> tiny = {'B', 'M', 1, 2};
    EXPECT_FALSE(DecodeBytes(a, tiny));
    EXPECT_STREQ(a.GetLastError(), "Not a BMP");

    BmpSpec s;
    s.width = 1;
    s.height = 1;
    s.bpp = 24;
    s.compression = 1;
    s.data = {0, 0, 0, 0};
    std::vector<uint8_t> bytes = MakeBmp(s);
    EXPECT_FALSE(DecodeBytes(a, bytes));
    EXPECT_STREQ(a.GetLastError(), "unknown compression");
    s.bpp = 8;
    s.compression = 3;
    s.palette = Grays(256);
    bytes = MakeBmp(s);
    EXPECT_FALSE(DecodeBytes(a, bytes));
    EXPECT_STREQ(a.GetLastError(), "compression type not supported");
    EXPECT_FALSE(a.IsValid());
}

TEST(BmpCodecTest, EscapeMinusOneReturnsOnlyTheDimensions) {
    BmpSpec s;
    s.width = 40;
    s.height = -30;
    s.bpp = 24;
    s.data.assign(40 * 3 * 30, 1);
    std::vector<uint8_t> bytes = MakeBmp(s);
    GwImage a;
    a.SetEscape(-1);
    EXPECT_TRUE(DecodeBytes(a, bytes));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(a.GetWidth(), 40u);
    EXPECT_EQ(a.GetHeight(), 30u);
    EXPECT_STREQ(a.GetLastError(), "output dimensions returned");
    EXPECT_EQ(a.GetBpp(), 24);  // the headers also tell depth and colours
    EXPECT_EQ(a.GetNumColors(), 0u);
    BmpSpec empty = s;
    empty.width = 0;  // what a decode refuses, the header-only read refuses too
    GwImage e;
    e.SetEscape(-1);
    std::vector<uint8_t> emptyBytes = MakeBmp(empty);
    EXPECT_FALSE(DecodeBytes(e, emptyBytes));

    GwImage b;
    b.SetEscape(1);
    EXPECT_FALSE(DecodeBytes(b, bytes));
    EXPECT_STREQ(b.GetLastError(), "Cancelled");

    // A stream that is no bitmap still fails when only the dimensions are asked for, so that
    // detection moves on and finds the real format's size.
    GwImage gif(5, 3, 8, TypeGif);
    gif.SetGrayPalette();
    BYTE* buffer = nullptr;
    long size = 0;
    ASSERT_TRUE(gif.Encode(buffer, size, TypeGif)) << gif.GetLastError();
    GwImage c;
    c.SetEscape(-1);
    EXPECT_FALSE(c.Decode(buffer, static_cast<DWORD>(size), TypeBmp));
    EXPECT_STREQ(c.GetLastError(), "Error reading BMP info");
    GwImage d;
    d.SetEscape(-1);
    EXPECT_TRUE(d.Decode(buffer, static_cast<DWORD>(size), TypeAny));
    EXPECT_EQ(d.GetWidth(), 5u);
    EXPECT_EQ(d.GetHeight(), 3u);
    gif.FreeMemory(buffer);
}

TEST(BmpCodecTest, EncodingReportsRefusalsAndWriteFailures) {
    GwImage image(4, 4, 8, TypeBmp);
    image.Clear(3);
    ShortStream full(20);
    EXPECT_FALSE(image.Encode(&full, TypeBmp));
    EXPECT_STREQ(image.GetLastError(), "Write Error in BMP file");
    EXPECT_FALSE(image.Encode(static_cast<GwFile*>(nullptr), TypeBmp));
    EXPECT_STREQ(image.GetLastError(), "null file handler");
    GwImage empty;
    GwMemFile out;
    ASSERT_TRUE(out.Open());
    EXPECT_FALSE(empty.Encode(&out, TypeBmp));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    EXPECT_EQ(out.Size(), 0);
}

}  // namespace

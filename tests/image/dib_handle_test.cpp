// Packed device-independent bitmaps through global memory: the image's own blocks survive a
// round trip at every depth, blocks in the other layouts that programs write (run-length
// coded, colour masks, short colour tables, longer and shorter headers, top-down rows) are read
// as those programs mean them, and blocks that lie about their layout are refused cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "platform/win32.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A BITMAPINFOHEADER (or a longer header padded with zeros) as other programs write it.
Bytes Header(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = BI_RGB,
             uint32_t colorsUsed = 0, uint32_t headerSize = 40, int32_t pelsPerMeter = 3780) {
    Bytes b;
    Put32(b, headerSize);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, bitCount);
    Put32(b, compression);
    Put32(b, 0);  // image size: 0 is allowed for uncompressed rows
    Put32(b, static_cast<uint32_t>(pelsPerMeter));
    Put32(b, static_cast<uint32_t>(pelsPerMeter));
    Put32(b, colorsUsed);
    Put32(b, 0);
    b.resize(headerSize >= 40 ? headerSize : 40, 0);
    return b;
}

void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// Owns a movable global block holding the given bytes.
class Block {
public:
    explicit Block(const Bytes& bytes) {
        m_handle = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (m_handle && !bytes.empty()) {
            void* p = GlobalLock(m_handle);
            std::memcpy(p, bytes.data(), bytes.size());
            GlobalUnlock(m_handle);
        }
    }
    explicit Block(HANDLE adopted) : m_handle(adopted) {}
    ~Block() {
        if (m_handle) GlobalFree(m_handle);
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

bool Import(GwImage& image, const Bytes& bytes) {
    Block block(bytes);
    return image.CreateFromHANDLE(block.get());
}

std::vector<int> RowIndices(const GwImage& image, long y) {
    std::vector<int> row;
    for (long x = 0; x < static_cast<long>(image.GetWidth()); ++x)
        row.push_back(image.GetPixelIndex(x, y));
    return row;
}

void ExpectColor(const GwImage& image, long x, long y, int red, int green, int blue) {
    const RGBQUAD c = image.GetPixelColor(x, y, false);
    EXPECT_EQ(c.rgbRed, red) << "at " << x << "," << y;
    EXPECT_EQ(c.rgbGreen, green) << "at " << x << "," << y;
    EXPECT_EQ(c.rgbBlue, blue) << "at " << x << "," << y;
}

uint32_t NextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

TEST(DibHandle, RoundTripKeepsEveryByteAtEveryDepth) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE("depth " + std::to_string(bpp));
        GwImage source(13, 7, bpp);  // odd width: rows carry padding bytes
        ASSERT_TRUE(source.IsValid());
        uint32_t state = bpp;
        for (DWORD i = 0; i < source.GetNumColors(); ++i) {
            const uint32_t r = NextRandom(state);
            source.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(r), static_cast<BYTE>(r >> 8),
                                   static_cast<BYTE>(r >> 16), static_cast<BYTE>(i));
        }
        for (DWORD y = 0; y < source.GetHeight(); ++y)
            for (DWORD i = 0; i < source.GetEffWidth(); ++i)
                source.GetBits(y)[i] = static_cast<BYTE>(NextRandom(state));
        source.SetXDPI(300);
        source.SetYDPI(72);

        Block handle(source.CopyToHandle());
        ASSERT_NE(handle.get(), nullptr);
        EXPECT_EQ(GlobalSize(handle.get()), source.GetSize());

        GwImage copy;
        ASSERT_TRUE(copy.CreateFromHANDLE(handle.get())) << copy.GetLastError();
        EXPECT_EQ(copy.GetWidth(), 13u);
        EXPECT_EQ(copy.GetHeight(), 7u);
        EXPECT_EQ(copy.GetBpp(), bpp);
        EXPECT_EQ(copy.GetXDPI(), 300);
        EXPECT_EQ(copy.GetYDPI(), 72);
        ASSERT_EQ(copy.GetSize(), source.GetSize());
        EXPECT_EQ(std::memcmp(copy.GetDIB(), source.GetDIB(), source.GetSize()), 0);
    }
}

TEST(DibHandle, EmptyImageAndUnusableHandlesGiveNothing) {
    GwImage empty;
    EXPECT_EQ(empty.CopyToHandle(), nullptr);

    GwImage image(2, 2, 24);
    EXPECT_FALSE(image.CreateFromHANDLE(nullptr));
    Block zero(GlobalAlloc(GMEM_MOVEABLE, 0));  // a discarded block: size 0, cannot be locked
    EXPECT_FALSE(image.CreateFromHANDLE(zero.get()));
    EXPECT_FALSE(image.IsValid());
}

TEST(DibHandle, BlocksOfOtherWritersAreReadAsMeant) {
    // 8 bits with a two-entry colour table: the rows follow the two entries, not 256.
    {
        Bytes b = Header(3, 2, 8, BI_RGB, 2);
        Append(b, {10, 20, 30, 0, 40, 50, 60, 0});
        Append(b, {1, 0, 1, 0, 0, 1, 1, 0});
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        EXPECT_EQ(image.GetNumColors(), 256u);
        EXPECT_EQ(RowIndices(image, 0), (std::vector<int>{1, 0, 1}));
        EXPECT_EQ(RowIndices(image, 1), (std::vector<int>{0, 1, 1}));
        ExpectColor(image, 0, 0, 60, 50, 40);
        EXPECT_EQ(image.GetPaletteColor(2).rgbRed, 0);
        // The image's own header describes the rows it holds, whatever the block said.
        const BITMAPINFOHEADER* h = static_cast<const BITMAPINFOHEADER*>(image.GetDIB());
        EXPECT_EQ(h->biClrUsed, 256u);
        EXPECT_EQ(h->biSizeImage, image.GetEffWidth() * 2);
    }
    // A 108-byte header: the colour table starts after it.
    {
        Bytes b = Header(2, 1, 1, BI_RGB, 2, 108, 11811);
        Append(b, {0, 0, 255, 0, 0, 255, 0, 0});
        Append(b, {0x40, 0, 0, 0});
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        ExpectColor(image, 0, 0, 255, 0, 0);
        ExpectColor(image, 1, 0, 0, 255, 0);
        EXPECT_EQ(image.GetXDPI(), 300);
    }
    // A 12-byte core header: three-byte colour entries, pixels right after them.
    {
        Bytes b;
        Put32(b, 12);
        Put16(b, 2);
        Put16(b, 2);
        Put16(b, 1);
        Put16(b, 1);
        Append(b, {1, 2, 3, 200, 100, 50});
        Append(b, {0x80, 0, 0, 0, 0x40, 0, 0, 0});
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        EXPECT_EQ(image.GetBpp(), 1);
        ExpectColor(image, 0, 0, 50, 100, 200);
        ExpectColor(image, 1, 0, 3, 2, 1);
        ExpectColor(image, 1, 1, 50, 100, 200);
        EXPECT_EQ(image.GetXDPI(), 96);
    }
    // Top-down rows (negative height): the first stored row is the picture's top.
    {
        Bytes b = Header(1, -2, 24);
        Append(b, {1, 2, 3, 0, 4, 5, 6, 0});
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        EXPECT_EQ(image.GetHeight(), 2u);
        ExpectColor(image, 0, 1, 3, 2, 1);
        ExpectColor(image, 0, 0, 6, 5, 4);
    }
}

TEST(DibHandle, SixteenAndThirtyTwoBitBlocksBecomeTwentyFourBitImages) {
    // 5-6-5 colour masks.
    {
        Bytes b = Header(3, 1, 16, BI_BITFIELDS);
        Put32(b, 0xF800);
        Put32(b, 0x07E0);
        Put32(b, 0x001F);
        Put16(b, 0xF800);
        Put16(b, 0x07E0);
        Put16(b, 0x001F);
        Put16(b, 0);  // row padding
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        EXPECT_EQ(image.GetBpp(), 24);
        ExpectColor(image, 0, 0, 248, 0, 0);
        ExpectColor(image, 1, 0, 0, 252, 0);
        ExpectColor(image, 2, 0, 0, 0, 248);
    }
    // Uncompressed 16 bits means 5-5-5.
    {
        Bytes b = Header(2, 1, 16);
        Put16(b, 0x7FFF);
        Put16(b, 0x7C00);
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        ExpectColor(image, 0, 0, 248, 248, 248);
        ExpectColor(image, 1, 0, 248, 0, 0);
    }
    // Uncompressed 32 bits: the pixels follow the header directly (there are no masks).
    {
        Bytes b = Header(2, 2, 32);
        Append(b, {1, 2, 3, 9, 4, 5, 6, 9, 7, 8, 9, 9, 10, 11, 12, 9});
        ASSERT_EQ(b.size(), 56u);
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        ExpectColor(image, 0, 0, 3, 2, 1);
        ExpectColor(image, 1, 0, 6, 5, 4);
        ExpectColor(image, 1, 1, 12, 11, 10);
    }
    // 32 bits with the standard masks.
    {
        Bytes b = Header(1, 1, 32, BI_BITFIELDS);
        Put32(b, 0x00FF0000);
        Put32(b, 0x0000FF00);
        Put32(b, 0x000000FF);
        Append(b, {30, 20, 10, 0});
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        ExpectColor(image, 0, 0, 10, 20, 30);
    }
}

TEST(DibHandle, RunLengthCodedRowsAreDecoded) {
    // 8-bit codes: run, end of line, absolute run (padded), end of line, move, run, end.
    {
        Bytes b = Header(4, 3, 8, BI_RLE8, 4);
        Append(b, {0, 0, 0, 0, 1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0});
        Append(b, {3, 5, 0, 0, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 0, 2, 9, 0, 1});
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        EXPECT_EQ(image.GetBpp(), 8);
        EXPECT_EQ(RowIndices(image, 0), (std::vector<int>{5, 5, 5, 0}));
        EXPECT_EQ(RowIndices(image, 1), (std::vector<int>{1, 2, 3, 0}));
        EXPECT_EQ(RowIndices(image, 2), (std::vector<int>{0, 9, 9, 0}));
        EXPECT_EQ(image.GetPaletteColor(3).rgbBlue, 3);
    }
    // 4-bit codes: alternating run, absolute nibbles, move, single pixel.
    {
        Bytes b = Header(5, 3, 4, BI_RLE4);
        for (int i = 0; i < 16; ++i) Append(b, {static_cast<uint8_t>(i), 0, 0, 0x7F});
        Append(b, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 2, 0, 1, 0xF0, 0, 1});
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        EXPECT_EQ(image.GetBpp(), 4);
        EXPECT_EQ(RowIndices(image, 0), (std::vector<int>{1, 2, 1, 2, 1}));
        EXPECT_EQ(RowIndices(image, 1), (std::vector<int>{3, 4, 5, 0, 0}));
        EXPECT_EQ(RowIndices(image, 2), (std::vector<int>{0, 0, 15, 0, 0}));
        // Colour tables of compressed blocks never carry alpha.
        EXPECT_EQ(image.GetPaletteColor(7).rgbBlue, 7);
        EXPECT_EQ(image.GetPaletteColor(7).rgbReserved, 0);
    }
}

TEST(DibHandle, RunsThatLeaveThePictureAreCutOff) {
    struct Case {
        const char* what;
        uint32_t compression;
        uint16_t bitCount;
        Bytes codes;
        std::vector<std::vector<int>> rows;  // bottom row first, 4 pixels wide, 2 high
    };
    const Case cases[] = {
        {"8-bit run past the row end ends the picture", BI_RLE8, 8,
         {6, 7, 0, 0, 2, 1}, {{7, 7, 7, 7}, {0, 0, 0, 0}}},
        {"4-bit run past the row end drops the rest", BI_RLE4, 4,
         {7, 0xAB, 0, 0, 1, 0xC0}, {{10, 11, 10, 11}, {12, 0, 0, 0}}},
        {"absolute run longer than the row", BI_RLE8, 8,
         {0, 6, 1, 2, 3, 4, 5, 6, 0, 0, 1, 8}, {{1, 2, 3, 4}, {8, 0, 0, 0}}},
        {"move far outside, then more codes", BI_RLE8, 8,
         {1, 3, 0, 2, 255, 255, 4, 4, 0, 0, 4, 4}, {{3, 0, 0, 0}, {0, 0, 0, 0}}},
        {"absolute run cut by the end of the block", BI_RLE8, 8,
         {0, 200, 1, 2}, {{1, 2, 0, 0}, {0, 0, 0, 0}}},
        {"move cut by the end of the block", BI_RLE8, 8, {2, 6, 0, 2, 1}, {{6, 6, 0, 0}, {0, 0, 0, 0}}},
        {"end of line past the last row", BI_RLE8, 8,
         {0, 0, 0, 0, 0, 0, 1, 5}, {{0, 0, 0, 0}, {0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = Header(4, 2, c.bitCount, c.compression);
        b.resize(b.size() + (4u << c.bitCount), 0);
        Append(b, c.codes);
        GwImage image;
        ASSERT_TRUE(Import(image, b)) << image.GetLastError();
        EXPECT_EQ(RowIndices(image, 0), c.rows[0]);
        EXPECT_EQ(RowIndices(image, 1), c.rows[1]);
    }
}

TEST(DibHandle, BlocksThatLieAboutTheirLayoutAreRefused) {
    auto withMasks = [](uint16_t bitCount, uint32_t r, uint32_t g, uint32_t b) {
        Bytes block = Header(2, 2, bitCount, BI_BITFIELDS);
        Put32(block, r);
        Put32(block, g);
        Put32(block, b);
        block.resize(block.size() + 16, 0);
        return block;
    };
    Bytes truncatedHeader = Header(2, 2, 24);
    truncatedHeader.resize(30);
    Bytes longHeader = Header(2, 2, 24);
    longHeader[0] = 0xF4;  // claims 500 bytes of header
    longHeader[1] = 0x01;
    longHeader.resize(60, 0);
    Bytes hugeTable = Header(2, 2, 8, BI_RGB, 0xFFFFFFFFu);
    hugeTable.resize(100, 0);
    Bytes shortRows = Header(100, 100, 24);
    shortRows.resize(shortRows.size() + 12, 0);
    Bytes shortMasks = Header(2, 2, 16, BI_BITFIELDS);
    shortMasks.resize(48, 0);
    Bytes bigRle = Header(60000, 60000, 8, BI_RLE8);
    bigRle.resize(bigRle.size() + 1024 + 10, 0);
    Bytes topDownRle = Header(4, -2, 8, BI_RLE8);
    topDownRle.resize(topDownRle.size() + 1024 + 2, 0);
    Bytes noWidth = Header(0, 4, 8);
    noWidth.resize(noWidth.size() + 1024 + 16, 0);

    struct Case {
        const char* what;
        Bytes block;
        const char* message;
    };
    const Case cases[] = {
        {"three bytes", Bytes{40, 0, 0}, "bitmap header is truncated"},
        {"header cut short", truncatedHeader, "bitmap header is truncated"},
        {"header longer than the block", longHeader, "bitmap header is truncated"},
        {"unknown header size", Header(2, 2, 24, BI_RGB, 0, 20), "bitmap header size not supported"},
        {"negative width", Header(-5, 2, 24), "bitmap width or height not valid"},
        {"colour table beyond the block", hugeTable, "colour table does not fit in the block"},
        {"rows beyond the block", shortRows, "pixel data do not fit in the block"},
        {"masks beyond the block", shortMasks, "bit field masks do not fit in the block"},
        {"overlapping masks", withMasks(16, 0xFFFF, 0xFFFF, 0xFFFF), "bit field masks not supported"},
        {"empty masks", withMasks(16, 0, 0, 0), "bit field masks not supported"},
        {"masks wider than 16 bits", withMasks(16, 0x1F0000, 0x07E0, 0x001F),
         "bit field masks not supported"},
        {"tiny run-length block claiming a huge picture", bigRle,
         "compressed data too short for the bitmap size"},
        {"top-down run-length block", topDownRle, "bitmap width or height not valid"},
        {"8 bits with colour masks", Header(2, 2, 8, BI_BITFIELDS), "compression type not supported"},
        {"24 bits run-length coded", Header(2, 2, 24, BI_RLE8), "unknown compression"},
        {"masks with a gap", withMasks(16, 0x7C1F, 0x03E0, 0), "bit field masks not supported"},
        {"JPEG inside", Header(2, 2, 0, 4), "compression type not supported"},
        {"PNG inside", Header(2, 2, 0, 5), "compression type not supported"},
        {"3 bits per pixel", Header(2, 2, 3), "bit count not supported"},
        {"16 bits run-length coded", Header(2, 2, 16, BI_RLE4), "unknown compression"},
        {"32 bits run-length coded", Header(2, 2, 32, BI_RLE8), "unknown compression"},
        {"no width", noWidth, "GwImage::Create : width and height must be greater than zero"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GwImage image(3, 3, 24);
        EXPECT_FALSE(Import(image, c.block));
        EXPECT_STREQ(image.GetLastError(), c.message);
        EXPECT_FALSE(image.IsValid());
    }
}

// The layouts other writers use that the bitmap layout reader once misread, through both of
// its doors: a bitmap file (reader of files) and the same block from global memory.
TEST(DibLayout, MaskOrdersAlphaTwoBitsAndLongTablesReadTheSameFromFileAndMemory) {
    // Two pixels a row, one row: red-ish and blue-ish, given as (r, g, b, a) in 8 bits.
    struct Case {
        const char* what;
        Bytes block;
        int expect[2][4];  // r, g, b, alpha (-1: no alpha plane)
    };
    auto fields = [](uint16_t bitCount, uint32_t compression, std::vector<uint32_t> masks, uint32_t headerSize,
                     std::vector<uint32_t> pixels) {
        Bytes b = Header(2, 1, bitCount, compression, 0, headerSize);
        if (headerSize == 40) {
            for (uint32_t m : masks) Put32(b, m);
        } else {
            for (size_t i = 0; i < masks.size(); ++i)
                for (int k = 0; k < 4; ++k) b[40 + 4 * i + k] = static_cast<uint8_t>(masks[i] >> (8 * k));
        }
        for (uint32_t p : pixels) (bitCount == 16 ? Put16 : Put32)(b, p);
        return b;
    };
    Bytes twoBit = Header(5, 1, 2);
    Append(twoBit, {0, 0, 255, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0});  // 4 entries
    Append(twoBit, {0x1B, 0x00, 0, 0});  // indices 0 1 2 3 0
    Bytes longTable = Header(2, 1, 8, BI_RGB, 300);
    for (int i = 0; i < 300; ++i) Append(longTable, {static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i), 0});
    Append(longTable, {1, 254, 0, 0});  // indices 1 and 254 (entry 299 and beyond never used)

    const Case cases[] = {
        {"32 bits, alpha-blue-green-red bytes with alpha (V5 header)",
         fields(32, BI_BITFIELDS, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000u}, 124, {0x80302010, 0xFF605040}),
         {{0x10, 0x20, 0x30, 0x80}, {0x40, 0x50, 0x60, 0xFF}}},
        {"32 bits, 10-10-10 fields, no alpha",
         fields(32, BI_BITFIELDS, {0x3FF00000, 0x000FFC00, 0x000003FF}, 40, {0x3FF00000u | (0x200 << 10), 0x3FF}),
         {{0xFF, 0x80, 0, -1}, {0, 0, 0xFF, -1}}},
        {"16 bits, 4-4-4-4 with alpha (alpha bit-fields code after a 40-byte header)",
         fields(16, 6, {0x0F00, 0x00F0, 0x000F, 0xF000}, 40, {0xFF00, 0x80F0}),
         {{0xF0, 0, 0, 0xFF}, {0, 0xF0, 0, 0x88}}},
        {"16 bits, blue in the high bits (5-6-5 reversed)",
         fields(16, BI_BITFIELDS, {0x001F, 0x07E0, 0xF800}, 40, {0x001F, 0xF800}),
         {{248, 0, 0, -1}, {0, 0, 248, -1}}},
        {"16 bits, one-bit alpha (1-5-5-5)",
         fields(16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F, 0x8000}, 56, {0xFC00, 0x001F}),
         {{248, 0, 0, 255}, {0, 0, 248, 0}}},
        {"2 bits widened to 4", twoBit, {{255, 0, 0, -1}, {0, 0, 255, -1}}},
        {"300-entry table stepped over", longTable, {{254, 0, 1, -1}, {1, 0, 254, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = {'B', 'M'};
        Put32(file, static_cast<uint32_t>(14 + c.block.size()));
        Put32(file, 0);
        Put32(file, 0);  // no data offset: the pixels follow the table, as in the block
        Append(file, c.block);
        GwImage fromFile, fromMemory;
        ASSERT_TRUE(fromFile.Decode(file.data(), static_cast<DWORD>(file.size()), TypeBmp)) << fromFile.GetLastError();
        ASSERT_TRUE(Import(fromMemory, c.block)) << fromMemory.GetLastError();
        for (GwImage* image : {&fromFile, &fromMemory}) {
            for (long x = 0; x < 2; ++x) {
                ExpectColor(*image, x, 0, c.expect[x][0], c.expect[x][1], c.expect[x][2]);
                if (c.expect[x][3] < 0) {
                    EXPECT_FALSE(image->AlphaIsValid());
                } else {
                    EXPECT_EQ(image->AlphaGet(x, 0), c.expect[x][3]) << "alpha at " << x;
                }
            }
        }
    }
}

}  // namespace

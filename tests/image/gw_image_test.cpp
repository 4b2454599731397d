// GwImage life cycle: block layout per depth, refusals of Create, information accessors, and
// the ownership rules of copy, transfer and ghosting (the sanitizer build proves that no
// buffer is freed twice or lost).
#include "image/gw_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/image/image_probe.h"

namespace {

struct Layout {
    DWORD width, height, requestedBpp;
    WORD bpp;
    DWORD rowBytes, colors;
};

TEST(GwImageCreate, LayoutOfEveryDepth) {
    const Layout cases[] = {
        {1, 1, 24, 24, 4, 0},     {10, 3, 1, 1, 4, 2},     {33, 2, 1, 1, 8, 2},   {9, 2, 4, 4, 8, 16},
        {7, 4, 2, 4, 4, 16},      {5, 2, 8, 8, 8, 256},    {5, 2, 16, 24, 16, 0}, {83, 83, 32, 24, 252, 0},
        {3, 1, 0, 1, 4, 2},
    };
    for (const Layout& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "@" + std::to_string(c.requestedBpp));
        ImageProbe image;
        void* block = image.Create(c.width, c.height, c.requestedBpp, TypePng);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block, image.GetDIB());
        EXPECT_EQ(image.GetBpp(), c.bpp);
        EXPECT_EQ(image.GetEffWidth(), c.rowBytes);
        EXPECT_EQ(image.GetNumColors(), c.colors);
        EXPECT_EQ(image.IsIndexed(), c.colors != 0);
        EXPECT_EQ(image.GetType(), static_cast<DWORD>(TypePng));
        EXPECT_EQ(image.Header().biSizeImage, c.rowBytes * c.height);
        EXPECT_EQ(image.GetSize(), 40 + c.colors * 4 + c.rowBytes * c.height);
        EXPECT_EQ(image.GetColorType(), c.bpp > 8 ? 2 : 1);

        const BITMAPINFOHEADER h = image.BlockHeader();
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, static_cast<LONG>(c.width));
        EXPECT_EQ(h.biHeight, static_cast<LONG>(c.height));
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, c.bpp);
        EXPECT_EQ(h.biCompression, 0u);
        EXPECT_EQ(h.biClrUsed, c.colors);
        EXPECT_EQ(h.biXPelsPerMeter, 3780);

        // The palette is zeroed; rows follow it one rowBytes apart; past the last row: null.
        BYTE* base = static_cast<BYTE*>(block) + 40 + c.colors * 4;
        for (DWORD i = 0; i < c.colors * 4; i++) ASSERT_EQ(static_cast<BYTE*>(block)[40 + i], 0) << i;
        EXPECT_EQ(image.GetBits(0), base);
        EXPECT_EQ(image.GetBits(0), image.Info().pixels);
        EXPECT_EQ(image.GetBits(c.height - 1), base + (c.height - 1) * c.rowBytes);
        EXPECT_EQ(image.GetBits(c.height), nullptr);
        // Writing the whole pixel area stays inside the block (ASan checks).
        std::memset(base, 0xA5, c.rowBytes * c.height);
    }
}

TEST(GwImageCreate, RefusalsLeaveTheImageEmptyWithAClearMessage) {
    GwImage image(8, 8, 8);
    ASSERT_TRUE(image.IsValid());

    EXPECT_EQ(image.Create(0, 5, 8, 0), nullptr);
    EXPECT_FALSE(image.IsValid());
    EXPECT_STREQ(image.GetLastError(), "GwImage::Create : width and height must be greater than zero");

    EXPECT_EQ(image.Create(100000, 100000, 24, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "GWIMAGE_MAX_MEMORY exceeded");
    // The largest request must not wrap around in the size arithmetic.
    EXPECT_EQ(image.Create(0xFFFFFFFFu, 0xFFFFFFFFu, 32, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "GWIMAGE_MAX_MEMORY exceeded");

    // Within the memory limit but beyond a 32-bit block size: refused, never allocated short.
    EXPECT_EQ(image.Create(100000, 20000, 24, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "GwImage::Create : image too large");
    EXPECT_EQ(image.Create(70000, 70000, 8, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "GwImage::Create : image too large");
    // A width that the header's signed field cannot hold.
    EXPECT_EQ(image.Create(0x80000000u, 1, 1, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "GwImage::Create : image too large");
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetBits(0), nullptr);
}

TEST(GwImageCreate, RecreationKeepsTheInformationRecord) {
    GwImage image(4, 4, 8, TypeGif);
    image.SetTransIndex(3);
    image.SetXDPI(300);
    image.SetFrameDelay(7);
    image.SetCodecOption(2, TypeGif);
    ASSERT_NE(image.Create(6, 2, 24, TypeBmp), nullptr);
    EXPECT_EQ(image.GetTransIndex(), 3);
    EXPECT_EQ(image.GetXDPI(), 300);
    EXPECT_EQ(image.GetFrameDelay(), 7u);
    EXPECT_EQ(image.GetCodecOption(TypeGif), 2u);
    EXPECT_EQ(image.GetType(), static_cast<DWORD>(TypeBmp));
}

TEST(GwImageInfo, DefaultsAndAccessors) {
    ImageProbe image(TypeGif);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_EQ(image.GetJpegQuality(), 90);
    EXPECT_EQ(image.AlphaGetMax(), 255);
    EXPECT_TRUE(image.IsEnabled());
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image.Header().biYPelsPerMeter, 3780);
    EXPECT_STREQ(image.GetVersion(), "GwImage 1.0");
    EXPECT_FLOAT_EQ(GwImage::GetVersionNumber(), 1.0f);

    image.SetXDPI(0);
    EXPECT_EQ(image.GetXDPI(), 96);
    image.SetXDPI(-3);
    EXPECT_EQ(image.GetXDPI(), 96);
    image.SetXDPI(300);
    EXPECT_EQ(image.GetXDPI(), 300);
    EXPECT_EQ(image.Header().biXPelsPerMeter, 11811);
    image.SetYDPI(2000000000);  // the pixels-per-metre value saturates instead of overflowing
    EXPECT_EQ(image.Header().biYPelsPerMeter, 2147483647);

    image.SetFlags(0x12345, true);
    EXPECT_EQ(image.GetFlags(), 0x2345u);
    image.SetFlags(0x12345, false);
    EXPECT_EQ(image.GetFlags(), 0x12345u);

    EXPECT_TRUE(image.SetCodecOption(5, 0));  // 0 = the image's own type (GIF)
    EXPECT_EQ(image.GetCodecOption(0), 5u);
    EXPECT_EQ(image.GetCodecOption(TypeGif), 5u);
    EXPECT_EQ(image.GetCodecOption(TypePng), 0u);
    EXPECT_FALSE(image.SetCodecOption(1, 4));
    EXPECT_EQ(image.GetCodecOption(4), 0u);

    RGBQUAD c = Quad(1, 2, 3, 99);
    image.SetTransColor(c);
    EXPECT_EQ(image.GetTransColor().rgbReserved, 0);
    EXPECT_TRUE(SameRgb(image.GetTransColor(), c));

    long x = 0, y = 0;
    image.SetOffset(-4, 9);
    image.GetOffset(&x, &y);
    EXPECT_EQ(x, -4);
    EXPECT_EQ(y, 9);
}

TEST(GwImageInfo, TransparentColourOfAPaletteImage) {
    GwImage image(2, 2, 8);
    image.SetPaletteColor(3, 10, 20, 30, 0);
    image.SetTransColor(Quad(7, 7, 7));
    image.SetTransIndex(3);
    EXPECT_TRUE(image.IsTransparent());
    EXPECT_TRUE(SameRgb(image.GetTransColor(), Quad(10, 20, 30)));
    GwImage bw(2, 2, 1);
    bw.SetTransIndex(5);  // beyond the 2-entry palette
    const RGBQUAD none = bw.GetTransColor();
    EXPECT_EQ(none.rgbRed | none.rgbGreen | none.rgbBlue | none.rgbReserved, 0);
}

TEST(GwImageClear, FillsByDepth) {
    GwImage bw(10, 3, 1);
    bw.Clear(1);
    for (long y = 0; y < 3; y++)
        for (long x = 0; x < 10; x++) ASSERT_EQ(bw.GetPixelIndex(x, y), 1);
    GwImage nibbles(5, 2, 4);
    nibbles.Clear(0x23);
    for (DWORD i = 0; i < nibbles.GetEffWidth() * 2; i++) ASSERT_EQ(nibbles.GetBits(0)[i], 0x33);
    GwImage empty;
    empty.Clear(7);  // no block: nothing happens
    EXPECT_FALSE(empty.IsValid());
}

TEST(GwImageArray, ThirtyTwoBitRowsKeepAlphaAndFlip) {
    // Source row 0: blue-green-red-alpha (1,2,3,40) (5,6,7,80); row 1: zeros with alpha 255.
    BYTE rows[2][8] = {{1, 2, 3, 40, 5, 6, 7, 80}, {0, 0, 0, 255, 0, 0, 0, 255}};
    GwImage image;
    ASSERT_TRUE(image.CreateFromArray(&rows[0][0], 2, 2, 32, 8, true));
    EXPECT_EQ(image.GetBpp(), 24);
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 1), Quad(3, 2, 1)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(1, 1), Quad(7, 6, 5)));
    EXPECT_EQ(image.AlphaGet(0, 1), 40);
    EXPECT_EQ(image.AlphaGet(1, 1), 80);
    EXPECT_EQ(image.AlphaGet(0, 0), 255);

    ASSERT_TRUE(image.CreateFromArray(&rows[0][0], 2, 2, 32, 8, false));
    EXPECT_EQ(image.AlphaGet(1, 0), 80);

    BYTE gray[2][4] = {{9, 8, 7, 6}, {1, 2, 3, 4}};
    ASSERT_TRUE(image.CreateFromArray(&gray[0][0], 3, 2, 8, 4, false));
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_TRUE(image.IsGrayScale());
    EXPECT_EQ(image.GetPixelIndex(2, 1), 3);

    EXPECT_FALSE(image.CreateFromArray(nullptr, 2, 2, 8, 4, false));
    EXPECT_FALSE(image.CreateFromArray(&gray[0][0], 2, 2, 16, 4, false));
}

TEST(GwImageArray, MatrixRowsSkipNullRows) {
    BYTE row0[4] = {10, 11, 12, 13};
    BYTE row2[4] = {30, 31, 32, 33};
    BYTE* rows[3] = {row0, nullptr, row2};
    GwImage image;
    ASSERT_TRUE(image.CreateFromMatrix(rows, 4, 3, 8, 4, true));
    EXPECT_EQ(image.GetPixelIndex(0, 2), 10);
    EXPECT_EQ(image.GetPixelIndex(3, 0), 33);
    EXPECT_FALSE(image.CreateFromMatrix(nullptr, 4, 3, 8, 4, true));
}

// ---- ownership ---------------------------------------------------------------------------

GwImage MakeMarked(DWORD bpp) {
    GwImage image(6, 4, bpp, TypeBmp);
    image.Clear(0);
    image.SetPaletteColor(1, 200, 100, 50, 0);
    image.SetPixelIndex(2, 3, 1);
    if (bpp == 24) image.SetPixelColor(2, 3, Quad(200, 100, 50), false);
    image.AlphaCreate();
    image.AlphaSet(1, 1, 77);
    RECT r{1, 3, 4, 1};
    image.SelectionAddRect(r);
    image.SetTransIndex(1);
    return image;
}

TEST(GwImageOwnership, CopiesAreDeepAndIndependent) {
    GwImage source = MakeMarked(8);
    GwImage copy(source);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.GetDIB(), source.GetDIB());
    EXPECT_EQ(std::memcmp(copy.GetDIB(), source.GetDIB(), source.GetSize()), 0);
    EXPECT_EQ(copy.AlphaGet(1, 1), 77);
    EXPECT_TRUE(copy.SelectionIsInside(2, 2));
    EXPECT_EQ(copy.GetTransIndex(), 1);

    source.SetPixelIndex(2, 3, 0);
    source.AlphaSet(1, 1, 5);
    EXPECT_EQ(copy.GetPixelIndex(2, 3), 1);
    EXPECT_EQ(copy.AlphaGet(1, 1), 77);

    GwImage partial(source, false, false, true);
    EXPECT_TRUE(partial.IsValid());
    EXPECT_FALSE(partial.SelectionIsValid());
    EXPECT_TRUE(partial.AlphaIsValid());
    EXPECT_TRUE(SameRgb(partial.GetPaletteColor(1), Quad(200, 100, 50)));
    RECT box;
    partial.SelectionGetBox(box);
    EXPECT_EQ(box.left, 6);  // empty box: no selection was copied
    EXPECT_EQ(box.right, 0);

    GwImage assigned;
    assigned = copy;
    const GwImage& alias = assigned;
    assigned = alias;  // self-assignment keeps everything
    EXPECT_EQ(assigned.GetPixelIndex(2, 3), 1);
    assigned.Copy(assigned);
    EXPECT_EQ(assigned.GetPixelIndex(2, 3), 1);
    EXPECT_EQ(assigned.AlphaGet(1, 1), 77);

    // Colours important travels with the copy, in the record and in the block.
    copy.SetClrImportant(12);
    ImageProbe probe;
    probe.Copy(copy);
    EXPECT_EQ(probe.GetClrImportant(), 12u);
    EXPECT_EQ(probe.BlockHeader().biClrImportant, 12u);
}

TEST(GwImageOwnership, TransferMovesEverythingAndEmptiesTheSource) {
    GwImage source = MakeMarked(24);
    void* block = source.GetDIB();
    GwImage target(3, 3, 8);
    ASSERT_TRUE(target.Transfer(source));
    EXPECT_EQ(target.GetDIB(), block);
    EXPECT_EQ(target.GetWidth(), 6u);
    EXPECT_TRUE(target.AlphaIsValid());
    EXPECT_TRUE(target.SelectionIsValid());
    EXPECT_EQ(target.GetType(), static_cast<DWORD>(TypeBmp));

    EXPECT_FALSE(source.IsValid());
    EXPECT_EQ(source.GetTransIndex(), 0);
    EXPECT_EQ(source.GetType(), 0u);
    EXPECT_FALSE(source.IsEnabled());
    EXPECT_FALSE(source.AlphaIsValid());

    EXPECT_TRUE(target.Transfer(target));  // onto itself: nothing moves, nothing is lost
    EXPECT_EQ(target.GetDIB(), block);
}

TEST(GwImageOwnership, GhostsBorrowAndFreeNothing) {
    GwImage owner = MakeMarked(8);
    {
        ImageProbe ghost(5, 5, 24);  // its own buffers are released when it starts borrowing
        ghost.Ghost(&owner);
        EXPECT_EQ(ghost.GetDIB(), owner.GetDIB());
        EXPECT_EQ(ghost.Info().ghostOf, &owner);
        EXPECT_EQ(ghost.GetPixelIndex(2, 3), 1);
        EXPECT_FALSE(ghost.Destroy());
        EXPECT_EQ(ghost.Create(2, 2, 8, 0), nullptr);  // a ghost cannot be re-created
        EXPECT_EQ(ghost.GetDIB(), owner.GetDIB());

        GwImage other(2, 2, 24);
        ghost.Copy(other);  // refused: the ghost keeps describing the borrowed buffers
        EXPECT_EQ(ghost.GetWidth(), 6u);
        EXPECT_EQ(ghost.GetEffWidth(), owner.GetEffWidth());

        // A copy of a ghost owns fresh buffers.
        GwImage copy(ghost);
        EXPECT_NE(copy.GetDIB(), owner.GetDIB());
        EXPECT_TRUE(copy.Destroy());

        // Taking over a ghost of ourselves would free what it borrows: refused.
        EXPECT_FALSE(owner.Transfer(ghost));
        EXPECT_TRUE(owner.IsValid());
        ghost.Ghost(nullptr);
        EXPECT_EQ(ghost.GetDIB(), owner.GetDIB());
    }
    EXPECT_TRUE(owner.IsValid());
    EXPECT_EQ(owner.GetPixelIndex(2, 3), 1);
    EXPECT_EQ(owner.AlphaGet(1, 1), 77);
}

TEST(GwImageOwnership, CopyInfoOnlyIntoAnEmptyImage) {
    GwImage settings(TypeGif);
    settings.SetEscape(1);
    settings.SetFrame(3);
    ImageProbe codec(TypeGif);
    codec.CopyInfo(settings);
    EXPECT_EQ(codec.GetEscape(), 1);
    EXPECT_EQ(codec.GetFrame(), 3);
    EXPECT_EQ(codec.Info().ghostOf, nullptr);

    ImageProbe filled(2, 2, 8);
    filled.CopyInfo(settings);
    EXPECT_EQ(filled.GetFrame(), 0);
}

TEST(GwImageOwnership, DestroyEmptiesAndRepeats) {
    ImageProbe image = ImageProbe(4, 4, 24);
    image.AlphaCreate();
    image.SelectionCreate();
    EXPECT_TRUE(image.Destroy());
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.AlphaPlane(), nullptr);
    EXPECT_EQ(image.SelectionPlane(), nullptr);
    EXPECT_EQ(image.Info().pixels, nullptr);
    EXPECT_TRUE(image.Destroy());
    EXPECT_EQ(image.GetWidth(), 4u);  // the header stays as it was
}

}  // namespace

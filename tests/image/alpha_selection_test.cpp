// Alpha and selection planes: creation, bounds-tested access, copying between images,
// flipping, splitting into grey images, flattening alpha, and the selection shapes with
// their bounding box.
#include <gtest/gtest.h>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

TEST(AlphaPlane, CreateAccessAndFill) {
    GwImage image(3, 2, 24);
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(0, 0), 0);
    EXPECT_EQ(image.AlphaGetPointer(), nullptr);
    ASSERT_TRUE(image.AlphaCreate());
    EXPECT_EQ(image.GetColorType(), 4);
    EXPECT_EQ(image.AlphaGet(2, 1), 255);
    image.AlphaSet(2, 1, 10);
    EXPECT_EQ(*image.AlphaGetPointer(2, 1), 10);
    EXPECT_EQ(image.AlphaGetPointer(0, 0) + 5, image.AlphaGetPointer(2, 1));
    image.AlphaSet(3, 0, 1);  // outside: no write
    EXPECT_EQ(image.AlphaGet(0, 1), 255);
    image.AlphaInvert();
    EXPECT_EQ(image.AlphaGet(2, 1), 245);
    EXPECT_EQ(image.AlphaGet(0, 0), 0);
    image.AlphaSet(static_cast<BYTE>(128));
    EXPECT_EQ(image.AlphaGet(1, 1), 128);
    image.AlphaClear();
    EXPECT_EQ(image.AlphaGet(1, 1), 0);
    ASSERT_TRUE(image.AlphaCreate());  // already there: kept as it is
    EXPECT_EQ(image.AlphaGet(1, 1), 0);
    image.AlphaDelete();
    EXPECT_FALSE(image.AlphaIsValid());

    GwImage empty;
    EXPECT_FALSE(empty.AlphaCreate());
}

TEST(AlphaPlane, CopyAndSetFromOtherImages) {
    GwImage source(2, 2, 24), target(2, 2, 8), wrongSize(3, 2, 24);
    EXPECT_FALSE(target.AlphaCopy(source));  // source has no plane
    source.AlphaCreate();
    source.AlphaSet(1, 0, 33);
    source.AlphaSetMax(200);
    EXPECT_FALSE(wrongSize.AlphaCopy(source));
    ASSERT_TRUE(target.AlphaCopy(source));
    EXPECT_EQ(target.AlphaGet(1, 0), 33);
    EXPECT_EQ(target.AlphaGetMax(), 200);

    GwImage mask(2, 2, 8);
    mask.SetGrayPalette();
    mask.Clear(0);
    mask.SetPixelIndex(0, 1, 90);
    ASSERT_TRUE(target.AlphaSet(mask));
    EXPECT_EQ(target.AlphaGet(0, 1), 90);
    EXPECT_EQ(target.AlphaGet(1, 0), 0);
    GwImage colourMask(2, 2, 8);
    colourMask.SetStdPalette();
    EXPECT_FALSE(target.AlphaSet(colourMask));  // only a grey-ramp image carries alpha
}

TEST(AlphaPlane, FlipMirrorAndSplit) {
    GwImage image(3, 2, 24);
    image.AlphaCreate();
    image.AlphaSet(0, 0, 1);
    image.AlphaSet(2, 1, 2);
    ASSERT_TRUE(image.AlphaFlip());
    EXPECT_EQ(image.AlphaGet(0, 1), 1);
    EXPECT_EQ(image.AlphaGet(2, 0), 2);
    ASSERT_TRUE(image.AlphaMirror());
    EXPECT_EQ(image.AlphaGet(2, 1), 1);
    EXPECT_EQ(image.AlphaGet(0, 0), 2);

    GwImage split;
    ASSERT_TRUE(image.AlphaSplit(&split));
    EXPECT_EQ(split.GetBpp(), 8);
    EXPECT_TRUE(split.IsGrayScale());
    EXPECT_EQ(split.GetPixelIndex(2, 1), 1);
    EXPECT_EQ(split.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(split.GetPixelIndex(1, 0), 255);
    EXPECT_FALSE(image.AlphaSplit(&image));
    EXPECT_FALSE(split.AlphaSplit(&image));  // no plane to split
    EXPECT_FALSE(split.AlphaFlip());
}

TEST(AlphaPalette, ReservedBytesAsAlpha) {
    GwImage image(2, 1, 4);
    EXPECT_FALSE(image.AlphaPaletteIsValid());
    image.SetPaletteColor(1, 10, 10, 10, 128);
    EXPECT_TRUE(image.AlphaPaletteIsValid());
    image.Clear(0);
    image.SetPixelIndex(1, 0, 1);
    GwImage split;
    ASSERT_TRUE(image.AlphaPaletteSplit(&split));
    EXPECT_EQ(split.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(split.GetPixelIndex(1, 0), 128);
    image.AlphaPaletteEnable();
    EXPECT_TRUE(image.AlphaPaletteIsEnabled());
    image.AlphaPaletteClear();
    EXPECT_FALSE(image.AlphaPaletteIsValid());
}

TEST(AlphaStrip, FlattensOntoTheTransparentColour) {
    GwImage rgb(2, 1, 24);
    rgb.SetPixelColor(0, 0, RGB(200, 100, 0));
    rgb.SetPixelColor(1, 0, RGB(200, 100, 0));
    rgb.SetTransColor(Quad(0, 0, 255));
    rgb.AlphaCreate();
    rgb.AlphaSet(0, 0, 51);  // a = 51 * 255 / 255 = 51
    rgb.AlphaStrip();
    EXPECT_FALSE(rgb.AlphaIsValid());
    // (200 * 51 + 0 * 204) / 255 = 40, (100 * 51) / 255 = 20, (255 * 204) / 255 = 204.
    EXPECT_TRUE(SameRgb(rgb.GetPixelColor(0, 0), Quad(40, 20, 204)));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColor(1, 0), Quad(200, 100, 0)));

    // Palette alpha: the image becomes 24-bit with each pixel mixed by its entry's alpha.
    GwImage indexed(2, 1, 8);
    indexed.SetPaletteColor(0, 255, 255, 255, 255);
    indexed.SetPaletteColor(1, 255, 255, 255, 0);
    indexed.Clear(0);
    indexed.SetPixelIndex(1, 0, 1);
    indexed.SetTransColor(Quad(0, 0, 0));
    indexed.AlphaStrip();
    EXPECT_EQ(indexed.GetBpp(), 24);
    EXPECT_TRUE(SameRgb(indexed.GetPixelColor(0, 0), Quad(255, 255, 255)));
    EXPECT_TRUE(SameRgb(indexed.GetPixelColor(1, 0), Quad(0, 0, 0)));

    // A palette image with a plane but no palette alpha: reserved bytes are not opacity.
    GwImage planeOnly(1, 1, 8);
    planeOnly.SetPaletteColor(0, 100, 100, 100, 0);
    planeOnly.Clear(0);
    planeOnly.AlphaCreate();
    planeOnly.AlphaStrip();
    EXPECT_TRUE(SameRgb(planeOnly.GetPixelColor(0, 0), Quad(100, 100, 100)));

    GwImage opaque(1, 1, 24);  // neither plane nor palette alpha: untouched
    opaque.SetPixelColor(0, 0, RGB(1, 2, 3));
    opaque.AlphaStrip();
    EXPECT_TRUE(SameRgb(opaque.GetPixelColor(0, 0), Quad(1, 2, 3)));
}

void ExpectBox(const GwImage& image, LONG left, LONG top, LONG right, LONG bottom) {
    RECT box;
    image.SelectionGetBox(box);
    EXPECT_EQ(box.left, left);
    EXPECT_EQ(box.top, top);
    EXPECT_EQ(box.right, right);
    EXPECT_EQ(box.bottom, bottom);
}

int CountSelected(const GwImage& image) {
    int n = 0;
    for (long y = 0; y < static_cast<long>(image.GetHeight()); y++)
        for (long x = 0; x < static_cast<long>(image.GetWidth()); x++) n += image.SelectionIsInside(x, y);
    return n;
}

TEST(Selection, PlaneLifecycleAndInsideTest) {
    GwImage image(8, 6, 24);
    EXPECT_TRUE(image.SelectionIsInside(3, 3));  // no plane: everything counts as selected
    EXPECT_FALSE(image.SelectionIsInside(8, 0));
    EXPECT_FALSE(image.SelectionClear());
    ASSERT_TRUE(image.SelectionCreate());
    ExpectBox(image, 8, 0, 0, 6);
    EXPECT_FALSE(image.SelectionIsInside(3, 3));
    EXPECT_TRUE(image.SelectionAddPixel(3, 3));
    EXPECT_FALSE(image.SelectionAddPixel(-1, 3));
    ExpectBox(image, 3, 4, 4, 3);
    EXPECT_TRUE(image.SelectionIsInside(3, 3));
    EXPECT_TRUE(image.SelectionClear());
    ExpectBox(image, 8, 0, 0, 6);
    EXPECT_EQ(CountSelected(image), 0);
    EXPECT_TRUE(image.SelectionDelete());
    EXPECT_FALSE(image.SelectionIsValid());
}

TEST(Selection, RectanglesInEitherCornerOrderAreClipped) {
    GwImage image(8, 6, 8);
    RECT r{6, 1, 2, 4};  // right before left, top below bottom
    ASSERT_TRUE(image.SelectionAddRect(r));
    EXPECT_EQ(CountSelected(image), 4 * 3);
    ExpectBox(image, 2, 4, 6, 1);
    EXPECT_TRUE(image.SelectionIsInside(2, 1));
    EXPECT_FALSE(image.SelectionIsInside(6, 1));
    RECT outside{-5, 100, 3, 5};
    ASSERT_TRUE(image.SelectionAddRect(outside));
    ExpectBox(image, 0, 6, 6, 1);
    EXPECT_EQ(CountSelected(image), 12 + 3);  // only row 5, columns 0..2, lies on the image
}

TEST(Selection, EllipsePolygonAndColour) {
    GwImage image(10, 10, 24);
    image.Clear(0);
    RECT flat{2, 5, 8, 5};
    EXPECT_FALSE(image.SelectionAddEllipse(flat));
    RECT r{0, 10, 10, 0};
    ASSERT_TRUE(image.SelectionAddEllipse(r));
    const int inEllipse = CountSelected(image);
    EXPECT_GT(inEllipse, 60);  // area of the inscribed disc is about 78.5
    EXPECT_LT(inEllipse, 90);
    EXPECT_TRUE(image.SelectionIsInside(5, 5));
    EXPECT_FALSE(image.SelectionIsInside(0, 0));
    EXPECT_FALSE(image.SelectionIsInside(9, 9));
    for (long y = 0; y < 10; y++)  // symmetric both ways
        for (long x = 0; x < 10; x++) {
            ASSERT_EQ(image.SelectionIsInside(x, y), image.SelectionIsInside(9 - x, y));
            ASSERT_EQ(image.SelectionIsInside(x, y), image.SelectionIsInside(x, 9 - y));
        }

    GwImage square(10, 10, 24);
    POINT pts[4] = {{2, 3}, {6, 3}, {6, 8}, {2, 8}};
    ASSERT_TRUE(square.SelectionAddPolygon(pts, 4));
    EXPECT_EQ(CountSelected(square), 4 * 5);
    ExpectBox(square, 2, 8, 6, 3);
    EXPECT_FALSE(square.SelectionAddPolygon(pts, 2));
    POINT triangle[3] = {{0, 0}, {10, 0}, {0, 10}};
    GwImage tri(10, 10, 24);
    ASSERT_TRUE(tri.SelectionAddPolygon(triangle, 3));
    EXPECT_EQ(CountSelected(tri), 45);  // pixel centres strictly below the diagonal

    GwImage colours(4, 1, 24);
    colours.Clear(0);
    colours.SetPixelColor(1, 0, RGB(9, 8, 7));
    colours.SetPixelColor(3, 0, RGB(9, 8, 7));
    ASSERT_TRUE(colours.SelectionAddColor(Quad(9, 8, 7)));
    EXPECT_EQ(CountSelected(colours), 2);
    ExpectBox(colours, 1, 1, 4, 0);
}

TEST(Selection, InvertCopyAndSplit) {
    GwImage image(4, 4, 8);
    RECT r{0, 2, 2, 0};
    image.SelectionAddRect(r);
    ASSERT_TRUE(image.SelectionInvert());
    EXPECT_EQ(CountSelected(image), 12);
    // The box follows the newly selected pixels.
    ExpectBox(image, 0, 4, 4, 0);

    GwImage copy(4, 4, 24), other(5, 4, 24);
    EXPECT_FALSE(other.SelectionCopy(image));
    ASSERT_TRUE(copy.SelectionCopy(image));
    EXPECT_EQ(CountSelected(copy), 12);
    ExpectBox(copy, 0, 4, 4, 0);

    GwImage split;
    ASSERT_TRUE(image.SelectionSplit(&split));
    EXPECT_EQ(split.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(split.GetPixelIndex(3, 3), 255);
    EXPECT_FALSE(image.SelectionSplit(&image));
    GwImage none(2, 2, 8);
    EXPECT_FALSE(none.SelectionInvert());
    EXPECT_FALSE(none.SelectionSplit(&split));
}

}  // namespace

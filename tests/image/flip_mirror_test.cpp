// Flip and mirror on every depth, with the alpha and selection planes and the selection box.
#include <gtest/gtest.h>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

BYTE Pattern(long x, long y) { return static_cast<BYTE>((x * 3 + y * 5) % 16); }

TEST(FlipMirror, PixelsOfEveryDepth) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        for (DWORD width : {1u, 7u, 9u}) {
            SCOPED_TRACE(std::to_string(bpp) + " bpp, width " + std::to_string(width));
            const long w = static_cast<long>(width), h = 5;
            GwImage image(width, h, bpp);
            image.SetGrayPalette();
            for (long y = 0; y < h; y++)
                for (long x = 0; x < w; x++) {
                    if (bpp == 24)
                        image.SetPixelColor(x, y, RGB(x, y, x * y));
                    else
                        image.SetPixelIndex(x, y, Pattern(x, y));
                }
            GwImage original(image);
            ASSERT_TRUE(image.Flip());
            for (long y = 0; y < h; y++)
                for (long x = 0; x < w; x++)
                    ASSERT_TRUE(SameRgb(image.GetPixelColor(x, y), original.GetPixelColor(x, h - 1 - y)));
            ASSERT_TRUE(image.Mirror());
            for (long y = 0; y < h; y++)
                for (long x = 0; x < w; x++)
                    ASSERT_TRUE(SameRgb(image.GetPixelColor(x, y), original.GetPixelColor(w - 1 - x, h - 1 - y)))
                        << x << "," << y;
        }
    }
    GwImage empty;
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.Mirror());
}

TEST(FlipMirror, PlanesAndSelectionBoxFollow) {
    GwImage image(6, 4, 24);
    image.Clear(0);
    image.AlphaCreate();
    image.AlphaSet(1, 0, 10);
    RECT r{0, 1, 2, 0};  // pixels (0,0) and (1,0)
    image.SelectionAddRect(r);

    ASSERT_TRUE(image.Flip());
    EXPECT_EQ(image.AlphaGet(1, 3), 10);
    EXPECT_TRUE(image.SelectionIsInside(0, 3));
    EXPECT_FALSE(image.SelectionIsInside(0, 0));
    RECT box;
    image.SelectionGetBox(box);
    EXPECT_EQ(box.bottom, 3);
    EXPECT_EQ(box.top, 4);

    ASSERT_TRUE(image.Mirror());
    EXPECT_EQ(image.AlphaGet(4, 3), 10);
    EXPECT_TRUE(image.SelectionIsInside(5, 3));
    EXPECT_TRUE(image.SelectionIsInside(4, 3));
    EXPECT_FALSE(image.SelectionIsInside(0, 3));
    image.SelectionGetBox(box);
    EXPECT_EQ(box.left, 4);
    EXPECT_EQ(box.right, 6);

    // Negative limited to the moved box reaches exactly the moved pixels.
    ASSERT_TRUE(image.Negative());
    EXPECT_TRUE(SameRgb(image.GetPixelColor(5, 3), Quad(255, 255, 255)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0), Quad(0, 0, 0)));

    // An empty box stays empty.
    GwImage blank(3, 3, 8);
    blank.SelectionCreate();
    blank.Flip();
    blank.Mirror();
    blank.SelectionGetBox(box);
    EXPECT_EQ(box.left, 3);
    EXPECT_EQ(box.right, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.bottom, 3);
}

}  // namespace

// Text written into the image's pixels with a real font: the lit area sits where the caller
// put it (y is the top-down row of the text's lowest pixels), grows with the text, carries the
// caller's colour and alpha, and DrawStringEx adds an aligned box with rounded corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "image/gw_image.h"
#include "platform/win32.h"

namespace {

// Bounding box, in top-down rows, of the pixels that differ from the background.
struct Lit {
    long count = 0;
    long left = LONG_MAX, right = -1, top = LONG_MAX, bottom = -1;
};

Lit FindLit(const GwImage& image, RGBQUAD background) {
    Lit lit;
    const long h = static_cast<long>(image.GetHeight());
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < static_cast<long>(image.GetWidth()); ++x) {
            const RGBQUAD c = image.GetPixelColor(x, y, false);
            if (c.rgbRed == background.rgbRed && c.rgbGreen == background.rgbGreen &&
                c.rgbBlue == background.rgbBlue)
                continue;
            const long row = h - 1 - y;
            ++lit.count;
            lit.left = std::min(lit.left, x);
            lit.right = std::max(lit.right, x);
            lit.top = std::min(lit.top, row);
            lit.bottom = std::max(lit.bottom, row);
        }
    return lit;
}

GwImage WhiteImage(DWORD width, DWORD height) {
    GwImage image(width, height, 24);
    image.Clear(255);
    return image;
}

const RGBQUAD kWhiteQuad = {255, 255, 255, 0};

TEST(DrawString, LightsTheExpectedAreaWithARealFont) {
    GwImage image = WhiteImage(300, 80);
    const RGBQUAD ink = {10, 20, 200, 0};
    EXPECT_EQ(image.DrawString(nullptr, 20, 60, "Glyphwell", ink, "DejaVu Sans", -28, FW_NORMAL), 1);
    const Lit lit = FindLit(image, kWhiteQuad);
    ASSERT_GT(lit.count, 200);  // real glyphs, not a dot or a frame
    EXPECT_GE(lit.left, 20);
    EXPECT_LT(lit.left, 30);
    EXPECT_LE(lit.bottom, 60);
    EXPECT_GT(lit.bottom, 40);   // descender ("y", "p") reaches near the given row
    EXPECT_GT(lit.right - lit.left, 80);
    EXPECT_LT(lit.right, 300);
    EXPECT_GE(lit.top, 60 - 40);
    // Every lit pixel has exactly the ink colour (no anti-aliased fringe is written).
    for (long y = 0; y < 80; ++y)
        for (long x = 0; x < 300; ++x) {
            const RGBQUAD c = image.GetPixelColor(x, y, false);
            const bool white = c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255;
            if (!white) {
                ASSERT_TRUE(c.rgbRed == 200 && c.rgbGreen == 20 && c.rgbBlue == 10);
            }
        }

    // A longer text lights a wider area; a bolder one lights more pixels.
    GwImage longer = WhiteImage(300, 80);
    longer.DrawString(nullptr, 20, 60, "Glyphwell Glyphwell", ink, "DejaVu Sans", -28, FW_NORMAL);
    EXPECT_GT(FindLit(longer, kWhiteQuad).right, lit.right + 60);
    GwImage bold = WhiteImage(300, 80);
    bold.DrawString(nullptr, 20, 60, "Glyphwell", ink, "DejaVu Sans", -28, FW_BOLD);
    EXPECT_GT(FindLit(bold, kWhiteQuad).count, lit.count);
}

TEST(DrawString, WritesAlphaOnRequestAndClipsAtTheEdges) {
    GwImage image = WhiteImage(40, 30);
    ASSERT_TRUE(image.AlphaCreate());
    const RGBQUAD ink = {0, 0, 0, 77};
    // Starts left of the picture and runs past its right edge.
    EXPECT_EQ(image.DrawString(nullptr, -15, 25, "MMMMMMMM", ink, "Arial", -24, FW_BOLD, 0, 0, true), 1);
    long black = 0;
    for (long y = 0; y < 30; ++y)
        for (long x = 0; x < 40; ++x) {
            const RGBQUAD c = image.GetPixelColor(x, y, false);
            if (c.rgbRed == 0) {
                ++black;
                EXPECT_EQ(image.AlphaGet(x, y), 77);
            } else {
                EXPECT_EQ(image.AlphaGet(x, y), 255);
            }
        }
    EXPECT_GT(black, 50);

    GwImage empty;
    EXPECT_EQ(empty.DrawString(nullptr, 0, 0, "x", ink, "Arial", 12, FW_NORMAL), 1);
    EXPECT_FALSE(empty.IsValid());
}

TEST(DrawStringEx, DefaultsOfTheTextRecord) {
    EXPECT_EQ(sizeof(tagGwTextInfo), 4175u);
    // The record is byte-packed: fields are read by value (unary +), never bound by reference.
    tagGwTextInfo ti;
    std::memset(&ti, 0x5A, sizeof(ti));
    GwImage image;
    image.InitTextInfo(&ti);
    EXPECT_STREQ(ti.textBuffer, "Sample Text 01234");
    EXPECT_EQ(ti.textBuffer[100], 0);
    EXPECT_EQ(ti.logFont.lfHeight, -36);
    EXPECT_EQ(ti.logFont.lfWeight, 400);
    EXPECT_EQ(ti.logFont.lfCharSet, 238);
    EXPECT_EQ(ti.logFont.lfQuality, 2);
    EXPECT_EQ(ti.logFont.lfItalic, 0);
    EXPECT_STREQ(ti.logFont.lfFaceName, "Arial");
    EXPECT_EQ(+ti.textColor, 0xA0FFFFu);
    EXPECT_EQ(+ti.alignment, 1);
    EXPECT_EQ(+ti.opaque, 1);
    EXPECT_EQ(+ti.boxColor, 0x006020u);
    EXPECT_EQ(+ti.boxOpacity, 0.0f);
    EXPECT_EQ(+ti.boxOutline, 0);
    EXPECT_EQ(+ti.boxRounding, 20);
}

TEST(DrawStringEx, CentredBoxWithRoundedCornersBehindTheText) {
    tagGwTextInfo ti;
    GwImage image = WhiteImage(500, 120);
    image.InitTextInfo(&ti);
    EXPECT_EQ(image.DrawStringEx(nullptr, 250, 100, &ti), 1);

    const Lit box = FindLit(image, kWhiteQuad);
    ASSERT_GT(box.count, 1000);
    // Centred on x = 250 and resting on row 100.
    EXPECT_NEAR((box.left + box.right) / 2.0, 250.0, 2.0);
    EXPECT_EQ(box.bottom, 100);
    EXPECT_GT(box.bottom - box.top, 30);
    // The box is the box colour; the corners are cut, the middle of the edges is not.
    const long h = 120;
    auto at = [&](long x, long row) { return GwImage::RGBQUADtoRGB(image.GetPixelColor(x, h - 1 - row, false)); };
    EXPECT_EQ(at(box.left, box.top), 0xFFFFFFu);
    EXPECT_EQ(at(box.right, box.bottom), 0xFFFFFFu);
    EXPECT_EQ(at(box.left, (box.top + box.bottom) / 2), 0x006020u);
    EXPECT_EQ(at((box.left + box.right) / 2, box.top), 0x006020u);
    // Letters in the text colour inside the box.
    long letters = 0;
    for (long row = box.top; row <= box.bottom; ++row)
        for (long x = box.left; x <= box.right; ++x) {
            const COLORREF c = at(x, row);
            EXPECT_TRUE(c == 0x006020u || c == 0xA0FFFFu || c == 0xFFFFFFu) << x << "," << row;
            letters += c == 0xA0FFFFu;
        }
    EXPECT_GT(letters, 300);

    // Right alignment puts the box's right edge at x.
    GwImage right = WhiteImage(500, 120);
    ti.alignment = 2;
    right.DrawStringEx(nullptr, 450, 100, &ti);
    const Lit rbox = FindLit(right, kWhiteQuad);
    EXPECT_NEAR(rbox.right, 450, 2);
    EXPECT_EQ(rbox.right - rbox.left, box.right - box.left);
}

TEST(DrawStringEx, CorrectsTheRecordAndMixesTranslucentBoxes) {
    tagGwTextInfo ti;
    GwImage image = WhiteImage(400, 80);
    image.InitTextInfo(&ti);
    ti.alignment = 7;
    ti.boxRounding = 80;
    ti.boxOpacity = 2.5f;
    EXPECT_EQ(image.DrawStringEx(nullptr, 200, 70, &ti), 1);
    EXPECT_EQ(+ti.alignment, 1);
    EXPECT_EQ(+ti.boxRounding, 10);
    EXPECT_EQ(+ti.boxOpacity, 0.0f);

    // Opacity 0.5 over white: each channel 255 x 0.5 + box x 0.5.
    GwImage half = WhiteImage(400, 80);
    ti.boxOpacity = 0.5f;
    std::strcpy(ti.textBuffer, "  ");  // blanks: a box without letters
    half.DrawStringEx(nullptr, 200, 70, &ti);
    const Lit lit = FindLit(half, kWhiteQuad);
    ASSERT_GT(lit.count, 100);
    const RGBQUAD c =
        half.GetPixelColor((lit.left + lit.right) / 2, 79 - (lit.top + lit.bottom) / 2, false);
    EXPECT_EQ(c.rgbRed, static_cast<BYTE>(255 * 0.5f + 0x20 * 0.5f));
    EXPECT_EQ(c.rgbGreen, static_cast<BYTE>(255 * 0.5f + 0x60 * 0.5f));
    EXPECT_EQ(c.rgbBlue, static_cast<BYTE>(255 * 0.5f));

    GwImage empty;
    EXPECT_EQ(empty.DrawStringEx(nullptr, 0, 0, &ti), -1);
}

}  // namespace

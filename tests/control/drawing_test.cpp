// Painting: the background fill under the bounds and the picture ANDed onto it at the origin.
#include <gtest/gtest.h>

#include "tests/control/control_host.h"
#include "tests/support/qr_decode.h"

using namespace gwtest;

namespace {

// HELLO at version 1 with margin 10 and module size 3: pixels 10..12 are the top-left finder's
// dark corner module, pixels 13..15 (module 1 on the finder's second ring, row 1) are light.
const int kDarkX = 11, kDarkY = 11;
const int kLightX = 14, kLightY = 14;

TEST(ControlDrawing, FreshControlPaintsAPlainWhiteRectangle) {
    ControlRef c;
    Canvas canvas(40, 30);
    canvas.Paint(c.ctrl, 40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(canvas.At(x, y), 0xFFFFFFu) << x << "," << y;
}

TEST(ControlDrawing, DefaultColoursOnWhite) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    Canvas canvas(83, 83);
    canvas.Paint(c.ctrl, 83, 83);
    EXPECT_EQ(canvas.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(canvas.At(82, 82), 0xFFFFFFu);
    EXPECT_EQ(canvas.At(kDarkX, kDarkY), 0u);
    EXPECT_EQ(canvas.At(kLightX, kLightY), 0xFFFFFFu);
}

TEST(ControlDrawing, YellowFillShowsThroughMarginAndLightModules) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutColor(c.disp(), "BackGroundColor", 0x00FFFF);
    Canvas canvas(83, 83);
    canvas.Paint(c.ctrl, 83, 83);
    EXPECT_EQ(canvas.At(0, 0), 0x00FFFFu);
    EXPECT_EQ(canvas.At(5, 40), 0x00FFFFu);
    EXPECT_EQ(canvas.At(kLightX, kLightY), 0x00FFFFu);
    EXPECT_EQ(canvas.At(kDarkX, kDarkY), 0u);
}

TEST(ControlDrawing, BlueFillAndRedForegroundGiveBlackModules) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutColor(c.disp(), "BackGroundColor", 0xFF0000);
    PutColor(c.disp(), "ForeGroundColor", 0x0000FF);
    Canvas canvas(83, 83);
    canvas.Paint(c.ctrl, 83, 83);
    EXPECT_EQ(canvas.At(0, 0), 0xFF0000u);
    EXPECT_EQ(canvas.At(kDarkX, kDarkY), 0u);
    // Light modules are painted in the blue background colour: blue AND blue.
    EXPECT_EQ(canvas.At(kLightX, kLightY), 0xFF0000u);
}

TEST(ControlDrawing, LoadedColoursComeBackWithTheirFill) {
    ControlRef original;
    PutString(original.disp(), "TextData", "HELLO");
    PutColor(original.disp(), "BackGroundColor", 0x00FFFF);
    const std::vector<BYTE> saved = SaveState(original.ctrl);
    ControlRef loaded;
    LoadState(loaded.ctrl, saved);
    Canvas canvas(83, 83);
    canvas.Paint(loaded.ctrl, 83, 83);
    EXPECT_EQ(canvas.At(0, 0), 0x00FFFFu);  // the property came back with the picture
    EXPECT_EQ(canvas.At(kLightX, kLightY), 0x00FFFFu);
    EXPECT_EQ(canvas.At(kDarkX, kDarkY), 0u);
}

// A system colour (high byte 0x80) paints as the system's colour table has it, in the fill and
// in the symbol; the property reads back as set.
TEST(ControlDrawing, SystemColoursPaintAsTheSystemHasThem) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_BTNTEXT);
    ASSERT_NE(face, text);
    ControlRef c;
    PutString(c.disp(), "TextData", "Glyphwell on a button face");
    PutI2(c.disp(), "PixelSize", 4);
    PutI4(c.disp(), "BackGroundColor", static_cast<LONG>(0x8000000F));
    PutI4(c.disp(), "ForeGroundColor", static_cast<LONG>(0x80000012));
    EXPECT_EQ(Get(c.disp(), "BackGroundColor").lVal, static_cast<LONG>(0x8000000F));
    EXPECT_EQ(c->Settings().backgroundColor, face);
    EXPECT_EQ(c->Settings().foregroundColor, text);
    Canvas canvas(c.Width(), c.Height());
    canvas.Paint(c.ctrl, c.Width(), c.Height());
    EXPECT_EQ(canvas.At(0, 0), face);
    EXPECT_EQ(canvas.At(11, 11), text);  // the finder's dark corner module, 4 pixels a side
    EXPECT_EQ(canvas.At(15, 15), face);  // its light ring
    GreyImage grey;
    grey.width = canvas.width;
    grey.height = canvas.height;
    for (int y = 0; y < grey.height; ++y)
        for (int x = 0; x < grey.width; ++x) grey.pixels.push_back(canvas.At(x, y) == text ? 0 : 255);
    const DecodeResult z = DecodeWithZbar(grey);
    EXPECT_TRUE(z.ok) << z.error;
    EXPECT_EQ(z.bytes, "Glyphwell on a button face");
}

// A container's bounds larger than the picture: the 21 modules of 3 pixels grow to 4 pixels
// each (the most whole pixels that fit 100 × 90), centred, with the fill all around.
TEST(ControlDrawing, BoundsLargerThanThePictureShowItScaledInsideTheFill) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutI2(c.disp(), "Margin", 0);
    PutColor(c.disp(), "BackGroundColor", 0x00FF00);
    Canvas canvas(100, 90, RGB(1, 2, 3));
    canvas.Paint(c.ctrl, 100, 90);
    EXPECT_EQ(canvas.At(0, 0), 0x00FF00u);
    EXPECT_EQ(canvas.At(8, 3), 0u);  // the finder's corner module, 4 × 4 pixels
    EXPECT_EQ(canvas.At(11, 6), 0u);
    EXPECT_EQ(canvas.At(12, 7), 0x00FF00u);  // the finder's light ring, next module in
    EXPECT_EQ(canvas.At(7, 50), 0x00FF00u);
    EXPECT_EQ(canvas.At(92, 50), 0x00FF00u);
    EXPECT_EQ(canvas.At(99, 89), 0x00FF00u);
}

TEST(ControlDrawing, PaintedPictureDecodes) {
    ControlRef c;
    PutString(c.disp(), "TextData", "Glyphwell paints this");
    PutI2(c.disp(), "PixelSize", 4);
    const GreyImage grey = PaintedGrey(c);
    const DecodeResult z = DecodeWithZbar(grey);
    EXPECT_TRUE(z.ok) << z.error;
    EXPECT_EQ(z.bytes, "Glyphwell paints this");
}

}  // namespace

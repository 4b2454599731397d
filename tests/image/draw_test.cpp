// Drawing the image into a device: the AND rule the control paints with, opaque copies at own
// size and scaled (nearest and smooth), alpha blending with the overall opacity, transparency
// by palette index and by colour, the mask rule of Draw2, stretching with every common raster
// operation, tiling geometry, and hostile geometry that must stay inside the device.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "image/gw_image.h"
#include "platform/win32.h"
#include "tests/support/win32_probes.h"

namespace {

// A memory context with a screen-compatible (32-bit) bitmap of its own.
class Device {
public:
    Device(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
        HDC screen = GetDC(nullptr);
        m_bitmap = CreateCompatibleBitmap(screen, width, height);
        m_dc = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        m_old = SelectObject(m_dc, m_bitmap);
        Fill(fill);
    }
    ~Device() {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    HDC dc() const { return m_dc; }
    void Fill(COLORREF color) {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all = {0, 0, m_width, m_height};
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    COLORREF At(int x, int row) const { return GetPixel(m_dc, x, row); }
    // Every pixel outside [left, right) x [top, bottom) still has the fill colour.
    void ExpectUntouchedOutside(int left, int top, int right, int bottom, COLORREF fill) const {
        for (int row = 0; row < m_height; ++row)
            for (int x = 0; x < m_width; ++x) {
                if (x < left || x >= right || row < top || row >= bottom) {
                    ASSERT_EQ(At(x, row), fill) << "outside at " << x << "," << row;
                }
            }
    }
    void ExpectAll(COLORREF fill) const { ExpectUntouchedOutside(0, 0, 0, 0, fill); }

private:
    int m_width;
    int m_height;
    HBITMAP m_bitmap = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
};

using PixelFn = std::function<COLORREF(int x, int row)>;

// row counts from the top of the picture, as it appears on the device.
void Paint(GwImage& image, const PixelFn& color) {
    const int h = static_cast<int>(image.GetHeight());
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < static_cast<int>(image.GetWidth()); ++x)
            image.SetPixelColor(x, h - 1 - row, color(x, row));
}

COLORREF Pattern(int x, int row) {
    if (x == 0 && row == 0) return RGB(255, 255, 255);
    if (x == 1 && row == 0) return RGB(0, 0, 0);
    return RGB((x * 50 + 17) & 0xFF, (row * 60 + 5) & 0xFF, (x * 13 + row * 29 + 100) & 0xFF);
}

BYTE Blend(BYTE work, BYTE source, unsigned a) {
    return static_cast<BYTE>((work * (255 - a) + a * source) >> 8);
}

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kYellow = 0x00FFFF;

TEST(Draw3, AndsTheImageOntoWhiteAndYellow) {
    GwImage image(5, 4, 24);
    Paint(image, Pattern);

    Device white(8, 6, kWhite);
    EXPECT_EQ(image.Draw3(white.dc(), 0, 0, -1, -1), 1);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(white.At(x, row), Pattern(x, row)) << x << "," << row;
    white.ExpectUntouchedOutside(0, 0, 5, 4, kWhite);

    Device yellow(8, 6, kYellow);
    EXPECT_EQ(image.Draw3(yellow.dc(), 0, 0, -1, -1), 1);
    EXPECT_EQ(yellow.At(0, 0), kYellow);       // white image pixel shows the fill
    EXPECT_EQ(yellow.At(1, 0), RGB(0, 0, 0));  // black stays black
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(yellow.At(x, row), Pattern(x, row) & kYellow);
    yellow.ExpectUntouchedOutside(0, 0, 5, 4, kYellow);
}

TEST(Draw3, RectangleFormScalesByReplication) {
    GwImage image(5, 4, 24);
    Paint(image, Pattern);
    Device device(14, 10, kWhite);
    EXPECT_EQ(image.Draw3(device.dc(), RECT{2, 1, 12, 9}), 1);
    for (int row = 0; row < 8; ++row)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(device.At(2 + x, 1 + row), Pattern(x / 2, row / 2));
    device.ExpectUntouchedOutside(2, 1, 12, 9, kWhite);
}

TEST(Draw3, RefusalsDrawNothing) {
    Device device(6, 6, kYellow);
    GwImage empty;
    EXPECT_EQ(empty.Draw3(device.dc()), 0);
    GwImage image(3, 3, 24);
    Paint(image, [](int, int) { return RGB(0, 0, 0); });
    EXPECT_EQ(image.Draw3(nullptr), 0);
    EXPECT_EQ(image.Draw3(device.dc(), 0, 0, 0, 3), 0);
    EXPECT_EQ(image.Draw3(device.dc(), 0, 0, 3, 0), 0);
    image.Enable(false);
    EXPECT_EQ(image.Draw3(device.dc()), 0);
    device.ExpectAll(kYellow);
}

TEST(Draw, OpaqueSameSizeCopiesUnchanged) {
    GwImage image(5, 4, 24);
    Paint(image, Pattern);
    Device device(10, 8, kYellow);
    EXPECT_EQ(image.Draw(device.dc(), 3, 2), 1);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(device.At(3 + x, 2 + row), Pattern(x, row));
    device.ExpectUntouchedOutside(3, 2, 8, 6, kYellow);

    EXPECT_EQ(image.Draw(nullptr), 0);
    image.Enable(false);
    EXPECT_EQ(image.Draw(device.dc(), 0, 0), 0);
}

TEST(Draw, OpaqueScaledNearestAndSmooth) {
    GwImage image(3, 2, 24);
    Paint(image, Pattern);
    Device device(8, 6, kYellow);
    EXPECT_EQ(image.Draw(device.dc(), 1, 1, 6, 4), 1);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(device.At(1 + x, 1 + row), Pattern(x / 2, row / 2)) << x << "," << row;
    device.ExpectUntouchedOutside(1, 1, 7, 5, kYellow);

    // Black left column, white right column, doubled in width with smoothing: samples fall at
    // -0.5, 0, 0.5 and 1 image pixels, the edges held inside the picture.
    GwImage edge(2, 2, 24);
    Paint(edge, [](int x, int) { return x ? kWhite : RGB(0, 0, 0); });
    Device smooth(4, 2, kYellow);
    EXPECT_EQ(edge.Draw(smooth.dc(), 0, 0, 4, 2, nullptr, true), 1);
    const int expected[4] = {0, 0, 127, 255};
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(smooth.At(x, row), RGB(expected[x], expected[x], expected[x])) << x;

    // The same without smoothing has no grey at all.
    Device sharp(4, 2, kYellow);
    edge.Draw(sharp.dc(), 0, 0, 4, 2, nullptr, false);
    EXPECT_EQ(sharp.At(2, 0), kWhite);
    EXPECT_EQ(sharp.At(1, 0), RGB(0, 0, 0));
}

TEST(Draw, AlphaPlaneBlendsWithOverallOpacity) {
    const COLORREF dest = RGB(200, 100, 50);
    const BYTE sr = 250, sg = 20, sb = 10;
    GwImage image(3, 2, 24);
    Paint(image, [&](int, int) { return RGB(sr, sg, sb); });
    ASSERT_TRUE(image.AlphaCreate());
    image.AlphaSet(128);

    Device device(4, 3, dest);
    EXPECT_EQ(image.Draw(device.dc(), 0, 0), 1);
    const COLORREF half = RGB(Blend(200, sr, 128), Blend(100, sg, 128), Blend(50, sb, 128));
    EXPECT_EQ(half, RGB((200 * 127 + 128 * sr) >> 8, (100 * 127 + 128 * sg) >> 8, (50 * 127 + 128 * sb) >> 8));
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(device.At(x, row), half);
    device.ExpectUntouchedOutside(0, 0, 3, 2, dest);

    // Full alpha with an overall opacity of 128 gives a = (255 x 129) >> 8 = 128 as well.
    image.AlphaSet(255);
    image.AlphaSetMax(128);
    device.Fill(dest);
    image.Draw(device.dc(), 0, 0);
    EXPECT_EQ(device.At(2, 1), half);

    // Overall opacity 0 leaves everything as it was.
    image.AlphaSetMax(0);
    device.Fill(dest);
    image.Draw(device.dc(), 0, 0);
    device.ExpectAll(dest);

    // Per pixel: 0 keeps the destination, 255 replaces it.
    image.AlphaSetMax(255);
    image.AlphaSet(0, 1, 0);    // top-left on the device
    image.AlphaSet(1, 1, 255);  // its right neighbour
    image.Draw(device.dc(), 0, 0);
    EXPECT_EQ(device.At(0, 0), dest);
    EXPECT_EQ(device.At(1, 0), RGB(sr, sg, sb));
}

TEST(Draw, PaletteAlphaScalesOpacity) {
    GwImage image(2, 1, 8);
    image.SetPaletteColor(0, 0, 0, 255, 64);  // blue with palette alpha 64
    image.SetPaletteColor(1, 255, 0, 0, 255);
    image.SetPixelIndex(0, 0, 0);
    image.SetPixelIndex(1, 0, 1);
    image.AlphaPaletteEnable(true);
    Device device(2, 1, RGB(100, 100, 100));
    image.Draw(device.dc(), 0, 0);
    // a = (255 x 256) >> 8 = 255, then (255 x 65) >> 8 = 64.
    EXPECT_EQ(device.At(0, 0), RGB(Blend(100, 0, 64), Blend(100, 0, 64), Blend(100, 255, 64)));
    EXPECT_EQ(device.At(1, 0), RGB(255, 0, 0));
}

TEST(Draw, TransparencyByIndexAndByColour) {
    GwImage indexed(4, 2, 8);
    indexed.SetPaletteColor(0, 255, 0, 0);
    indexed.SetPaletteColor(1, 0, 255, 0);
    indexed.SetPaletteColor(2, 255, 0, 0);  // same colour as 0, but not the transparent index
    for (long x = 0; x < 4; ++x) {
        indexed.SetPixelIndex(x, 0, static_cast<BYTE>(x % 2));
        indexed.SetPixelIndex(x, 1, static_cast<BYTE>(x % 2 ? 2 : 1));
    }
    indexed.SetTransIndex(0);
    Device device(8, 4, kYellow);
    EXPECT_EQ(indexed.Draw(device.dc(), 0, 0), 1);
    // Device row 0 is image row 1: indices 1, 2, 1, 2 (all painted).
    EXPECT_EQ(device.At(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(device.At(1, 0), RGB(255, 0, 0));
    // Device row 1 is image row 0: indices 0, 1, 0, 1 (index 0 transparent).
    EXPECT_EQ(device.At(0, 1), kYellow);
    EXPECT_EQ(device.At(1, 1), RGB(0, 255, 0));
    EXPECT_EQ(device.At(2, 1), kYellow);
    device.ExpectUntouchedOutside(0, 0, 4, 2, kYellow);

    // Scaled by two, the transparent pixels stay transparent.
    device.Fill(kYellow);
    indexed.Draw(device.dc(), 0, 0, 8, 4);
    EXPECT_EQ(device.At(0, 2), kYellow);
    EXPECT_EQ(device.At(1, 3), kYellow);
    EXPECT_EQ(device.At(2, 2), RGB(0, 255, 0));
    EXPECT_EQ(device.At(3, 0), RGB(255, 0, 0));

    GwImage rgb(3, 1, 24);
    Paint(rgb, [](int x, int) { return x == 1 ? RGB(1, 2, 3) : RGB(9, 8, 7); });
    rgb.SetTransIndex(0);
    rgb.SetTransColor(RGBQUAD{3, 2, 1, 0});
    Device second(3, 1, kWhite);
    rgb.Draw(second.dc(), 0, 0);
    EXPECT_EQ(second.At(0, 0), RGB(9, 8, 7));
    EXPECT_EQ(second.At(1, 0), kWhite);
    EXPECT_EQ(second.At(2, 0), RGB(9, 8, 7));
}

TEST(Draw, ClipRectangleLimitsThePaintAndIsGivenBack) {
    GwImage image(6, 6, 24);
    Paint(image, [](int, int) { return RGB(255, 0, 0); });
    for (bool blended : {false, true}) {
        SCOPED_TRACE(blended ? "alpha path" : "opaque path");
        if (blended) image.AlphaCreate();  // full alpha: same colours through the work bitmap
        Device device(10, 10, kWhite);
        RECT clip = {2, 2, 4, 5};
        EXPECT_EQ(image.Draw(device.dc(), 0, 0, -1, -1, &clip), 1);
        for (int row = 0; row < 10; ++row)
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= 2 && x < 4 && row >= 2 && row < 5;
                EXPECT_EQ(device.At(x, row), inside ? RGB(255, 0, 0) : kWhite) << x << "," << row;
            }
        // The clip no longer limits later drawing.
        image.Draw(device.dc(), 0, 0);
        device.ExpectUntouchedOutside(0, 0, 6, 6, kWhite);
        EXPECT_EQ(device.At(0, 0), RGB(255, 0, 0));
        EXPECT_EQ(device.At(5, 5), RGB(255, 0, 0));
    }
}

TEST(Draw, HostileGeometryStaysInsideTheDevice) {
    GwImage big(40, 40, 24);
    Paint(big, Pattern);
    big.AlphaCreate();  // forces the work-bitmap path
    Device device(16, 16, kWhite);

    // Larger than the device and hanging off its top-left corner.
    EXPECT_EQ(big.Draw(device.dc(), -10, -7), 1);
    for (int row = 0; row < 16; ++row)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(device.At(x, row), Pattern(x + 10, row + 7));

    // Nothing visible: clip outside the device, far positions, huge and inverted sizes.
    device.Fill(kWhite);
    RECT outside = {100, 100, 200, 200};
    EXPECT_EQ(big.Draw(device.dc(), 0, 0, -1, -1, &outside), 1);
    big.Draw(device.dc(), LONG_MAX - 5, LONG_MAX - 5);
    big.Draw(device.dc(), LONG_MIN + 5, 0);
    big.Draw(device.dc(), 20, 20, LONG_MAX, LONG_MAX);
    device.ExpectAll(kWhite);

    // Huge sizes that do reach the device sample inside the picture.
    big.Draw(device.dc(), 0, 0, INT_MAX, INT_MAX, nullptr, true);
    big.Draw(device.dc(), 0, 0, INT_MAX, INT_MAX, nullptr, false);
    EXPECT_EQ(device.At(0, 0), Pattern(0, 0));

    GwImage opaque(40, 40, 24);
    Paint(opaque, Pattern);
    device.Fill(kWhite);
    opaque.Draw(device.dc(), -30, -30);
    EXPECT_EQ(device.At(9, 9), Pattern(39, 39));
    EXPECT_EQ(device.At(10, 10), kWhite);
    opaque.Draw3(device.dc(), -1000, -1000, INT_MAX, INT_MAX);
    opaque.Stretch(device.dc(), 8, 8, -100, -100, SRCCOPY);
    opaque.Draw2(device.dc(), 20, 20, 1000000, 1000000);
}

TEST(Draw2, PlainCopyWithoutTransparentIndex) {
    GwImage image(5, 4, 24);
    Paint(image, Pattern);
    Device device(8, 8, kYellow);
    EXPECT_EQ(image.Draw2(device.dc(), 1, 2, -1, -1), 1);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(device.At(1 + x, 2 + row), Pattern(x, row));
    device.ExpectUntouchedOutside(1, 2, 6, 6, kYellow);
}

TEST(Draw2, PixelsOfTheTransparentColourKeepTheDestination) {
    GwImage image(4, 3, 4);
    image.SetPaletteColor(0, 0, 0, 255);    // blue: transparent
    image.SetPaletteColor(1, 255, 0, 0);
    image.SetPaletteColor(2, 0, 0, 255);    // the same blue under another index
    image.SetPaletteColor(3, 10, 200, 30);
    for (long y = 0; y < 3; ++y)
        for (long x = 0; x < 4; ++x) image.SetPixelIndex(x, y, static_cast<BYTE>((x + y) % 4));
    image.SetTransIndex(0);

    Device device(10, 8, kYellow);
    const COLORREF text = RGB(1, 2, 3), back = RGB(4, 5, 6);
    SetTextColor(device.dc(), text);
    SetBkColor(device.dc(), back);
    EXPECT_EQ(image.Draw2(device.dc(), 1, 1, 8, 6), 1);
    for (int row = 0; row < 6; ++row)
        for (int x = 0; x < 8; ++x) {
            const int index = (x / 2 + (2 - row / 2)) % 4;
            const RGBQUAD c = image.GetPaletteColor(static_cast<BYTE>(index));
            const bool blue = index == 0 || index == 2;  // the mask goes by colour
            EXPECT_EQ(device.At(1 + x, 1 + row), blue ? kYellow : RGB(c.rgbRed, c.rgbGreen, c.rgbBlue))
                << x << "," << row;
        }
    device.ExpectUntouchedOutside(1, 1, 9, 7, kYellow);
    EXPECT_EQ(SetTextColor(device.dc(), text), text);
    EXPECT_EQ(SetBkColor(device.dc(), back), back);

    // A 24-bit image uses its transparent colour.
    GwImage rgb(2, 1, 24);
    Paint(rgb, [](int x, int) { return x ? RGB(0, 128, 0) : RGB(7, 7, 7); });
    rgb.SetTransIndex(0);
    rgb.SetTransColor(RGBQUAD{0, 128, 0, 0});
    Device second(2, 1, kWhite);
    rgb.Draw2(second.dc(), 0, 0);
    EXPECT_EQ(second.At(0, 0), RGB(7, 7, 7));
    EXPECT_EQ(second.At(1, 0), kWhite);
}

TEST(Stretch, EachRasterOperation) {
    GwImage image(2, 2, 24);
    Paint(image, Pattern);
    const COLORREF dest = RGB(0x35, 0xC6, 0x9A);
    struct Op {
        const char* name;
        DWORD rop;
        std::function<COLORREF(COLORREF s, COLORREF d)> f;
    };
    const Op ops[] = {
        {"SRCCOPY", SRCCOPY, [](COLORREF s, COLORREF) { return s; }},
        {"SRCPAINT", SRCPAINT, [](COLORREF s, COLORREF d) { return s | d; }},
        {"SRCAND", SRCAND, [](COLORREF s, COLORREF d) { return s & d; }},
        {"SRCINVERT", SRCINVERT, [](COLORREF s, COLORREF d) { return s ^ d; }},
        {"SRCERASE", SRCERASE, [](COLORREF s, COLORREF d) { return s & ~d; }},
        {"NOTSRCCOPY", NOTSRCCOPY, [](COLORREF s, COLORREF) { return ~s; }},
        {"NOTSRCERASE", NOTSRCERASE, [](COLORREF s, COLORREF d) { return ~(s | d); }},
        {"MERGEPAINT", MERGEPAINT, [](COLORREF s, COLORREF d) { return ~s | d; }},
        {"DSTINVERT", DSTINVERT, [](COLORREF, COLORREF d) { return ~d; }},
        {"BLACKNESS", BLACKNESS, [](COLORREF, COLORREF) { return COLORREF{0}; }},
        {"WHITENESS", WHITENESS, [](COLORREF, COLORREF) { return COLORREF{0xFFFFFF}; }},
    };
    for (const Op& op : ops) {
        SCOPED_TRACE(op.name);
        Device device(6, 5, dest);
        EXPECT_EQ(image.Stretch(device.dc(), RECT{1, 1, 5, 5}, op.rop), 1);
        for (int row = 0; row < 4; ++row)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(device.At(1 + x, 1 + row), op.f(Pattern(x / 2, row / 2), dest) & 0xFFFFFF)
                    << x << "," << row;
        device.ExpectUntouchedOutside(1, 1, 5, 5, dest);
    }
    // Stretch ignores the paint switch but not a missing image or device.
    image.Enable(false);
    Device device(2, 2, dest);
    EXPECT_EQ(image.Stretch(device.dc(), 0, 0, 2, 2, SRCCOPY), 1);
    EXPECT_EQ(device.At(0, 0), Pattern(0, 0));
    EXPECT_EQ(image.Stretch(nullptr, 0, 0, 2, 2, SRCCOPY), 0);
    GwImage empty;
    EXPECT_EQ(empty.Stretch(device.dc(), 0, 0, 2, 2, SRCCOPY), 0);
}

TEST(Tile, CellsRepeatTheImageAndAreCutAtTheEdges) {
    GwImage image(10, 10, 24);
    Paint(image, [](int x, int row) { return RGB(x * 20, row * 20, 77); });
    const COLORREF grey = RGB(90, 90, 90);
    Device device(40, 30, grey);
    RECT area = {3, 4, 28, 19};  // 25 x 15: three columns (10, 10, 5) by two rows (10, 5)
    EXPECT_EQ(image.Tile(device.dc(), &area), 1);
    for (int row = 4; row < 19; ++row)
        for (int x = 3; x < 28; ++x)
            ASSERT_EQ(device.At(x, row), RGB(((x - 3) % 10) * 20, ((row - 4) % 10) * 20, 77))
                << x << "," << row;
    device.ExpectUntouchedOutside(3, 4, 28, 19, grey);

    EXPECT_EQ(image.Tile(device.dc(), nullptr), 0);
    EXPECT_EQ(image.Tile(nullptr, &area), 0);
    GwImage empty;
    EXPECT_EQ(empty.Tile(device.dc(), &area), 0);
}

TEST(Tile, HugeAreaWithTinyImageOnlyWalksTheVisibleCells) {
    GwImage dot(1, 1, 24);
    dot.SetPixelColor(0, 0, RGB(3, 4, 5));
    Device device(12, 9, kWhite);
    RECT everything = {INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2};
    EXPECT_EQ(dot.Tile(device.dc(), &everything), 1);  // would never end walking every cell
    device.ExpectUntouchedOutside(0, 0, 12, 9, kWhite);
    for (int row = 0; row < 9; ++row)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(device.At(x, row), RGB(3, 4, 5));
}

}  // namespace

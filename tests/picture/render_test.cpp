// The renderer: raster size, margin, module squares and colours, and the life of the kept bitmap.
#include "picture/render.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encoder/pipeline.h"
#include "encoder/trace.h"
#include "tests/support/symbol_art.h"
#if GLYPHWELL_HAVE_DECODERS
#include "tests/support/qr_decode.h"
#endif

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;

struct Raster {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;  // top row first
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Reads a bitmap back as 0x00BBGGRR colours (it may still be selected into the renderer's context).
Raster Read(HBITMAP bitmap) {
    Raster r;
    BITMAP bm{};
    if (!GetObject(bitmap, sizeof bm, &bm)) return r;
    r.width = bm.bmWidth;
    r.height = bm.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = r.width;
    info.bmiHeader.biHeight = -r.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bgrx(static_cast<size_t>(r.width) * r.height * 4);
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, bitmap, 0, r.height, bgrx.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(lines, r.height);
    for (size_t i = 0; i < bgrx.size(); i += 4) r.pixels.push_back(RGB(bgrx[i + 2], bgrx[i + 1], bgrx[i]));
    return r;
}

class Render : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = QRCodeTraceStream();
        QRCodeSetTraceStream(nullptr);
        QRCodeResetSettings(&settings_);
        SetText("Glyph");  // fits version 1 at level H
    }
    void TearDown() override {
        QRCodeReleaseBitmap();
        QRCodeSetTraceStream(previous_);
    }
    void SetText(const std::string& text) {
        std::memset(settings_.text, '#', sizeof settings_.text);
        std::memcpy(settings_.text, text.data(), text.size());
    }
    // The matrix the same settings produce, to compare module colours against.
    std::vector<std::string> Modules() {
        QRCodeSettings copy = settings_;
        SymbolMatrix* m = QRCodeMakeSymbol(&copy);
        EXPECT_NE(m, nullptr);
        std::vector<std::string> art = m ? gwtest::SymbolToArt(*m) : std::vector<std::string>{};
        std::free(m);
        return art;
    }

    QRCodeSettings settings_{};
    FILE* previous_ = nullptr;
};

TEST_F(Render, DefaultsGiveAWhiteMarginAroundThreePixelModules) {
    const auto modules = Modules();
    ASSERT_EQ(modules.size(), 21u);
    HBITMAP bitmap = QRCodeRenderBitmap(&settings_);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(settings_.selectedVersion, 1);
    const Raster r = Read(bitmap);
    ASSERT_EQ(r.width, 83);
    ASSERT_EQ(r.height, 83);
    for (int y = 0; y < 83; ++y) {
        for (int x = 0; x < 83; ++x) {
            const bool margin = x < 10 || x > 72 || y < 10 || y > 72;
            if (margin) {
                ASSERT_EQ(r.At(x, y), kWhite) << x << "," << y;
            } else {
                const bool dark = modules[(y - 10) / 3][(x - 10) / 3] == '#';
                ASSERT_EQ(r.At(x, y), dark ? kBlack : kWhite) << x << "," << y;
            }
        }
    }
    for (int p = 10; p <= 12; ++p) EXPECT_EQ(r.At(p, p), kBlack) << "finder corner";

#if GLYPHWELL_HAVE_DECODERS
    // The raster is a readable symbol (the decoder is a Linux library).
    gwtest::GreyImage grey{r.width, r.height, {}};
    for (COLORREF c : r.pixels) grey.pixels.push_back(static_cast<uint8_t>(c & 0xFF));
    const gwtest::DecodeResult z = gwtest::DecodeWithZbar(grey);
    EXPECT_TRUE(z.ok) << z.error;
    EXPECT_EQ(z.bytes, "Glyph");
#endif
}

TEST_F(Render, BackgroundColourPaintsLightModulesButNeverTheMargin) {
    settings_.backgroundColor = RGB(0x12, 0x34, 0x56);
    settings_.foregroundColor = RGB(0x80, 0x00, 0x20);
    settings_.margin = 4;
    settings_.pixelSize = 2;
    const auto modules = Modules();
    const Raster r = Read(QRCodeRenderBitmap(&settings_));
    ASSERT_EQ(r.width, 2 * 21 + 8);
    int light = 0;
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            if (x < 4 || y < 4 || x >= 46 || y >= 46) {
                ASSERT_EQ(r.At(x, y), kWhite);
                continue;
            }
            const bool dark = modules[(y - 4) / 2][(x - 4) / 2] == '#';
            ASSERT_EQ(r.At(x, y), dark ? RGB(0x80, 0x00, 0x20) : RGB(0x12, 0x34, 0x56));
            light += !dark;
        }
    }
    EXPECT_GT(light, 0);
}

TEST_F(Render, MarginZeroAndPixelSizeZero) {
    settings_.margin = 0;
    settings_.pixelSize = 5;
    Raster r = Read(QRCodeRenderBitmap(&settings_));
    EXPECT_EQ(r.width, 105);
    EXPECT_EQ(r.height, 105);
    const auto modules = Modules();
    for (int y = 0; y < 105; ++y)
        for (int x = 0; x < 105; ++x) ASSERT_EQ(r.At(x, y), modules[y / 5][x / 5] == '#' ? kBlack : kWhite);
    EXPECT_EQ(r.At(0, 0), kBlack);  // the finder corner touches the edge

    // No modules at all: only the margin, all white, even when it is just one pixel wide.
    for (int margin : {7, 2, 1}) {
        settings_.margin = static_cast<uint8_t>(margin);
        settings_.pixelSize = 0;
        r = Read(QRCodeRenderBitmap(&settings_));
        EXPECT_EQ(r.width, 2 * margin);
        EXPECT_EQ(r.height, 2 * margin);
        for (COLORREF c : r.pixels) ASSERT_EQ(c, kWhite) << "margin " << margin;
    }
}

TEST_F(Render, EachRenderingReplacesTheKeptBitmap) {
    HBITMAP first = QRCodeRenderBitmap(&settings_);
    ASSERT_NE(first, nullptr);
    settings_.pixelSize = 4;
    HBITMAP second = QRCodeRenderBitmap(&settings_);
    ASSERT_NE(second, nullptr);
    // The first bitmap is gone: its handle is refused, or (if the address came back) names the
    // second, larger bitmap.
    BITMAP bm{};
    if (GetObject(first, sizeof bm, &bm)) {
        EXPECT_EQ(bm.bmWidth, 4 * 21 + 20);
    }

    EXPECT_EQ(QRCodeReleaseBitmap(), 0);
    EXPECT_EQ(GetObject(second, sizeof bm, &bm), 0) << "released";
    EXPECT_EQ(QRCodeReleaseBitmap(), 0) << "releasing empty slots does nothing";
}

TEST_F(Render, FailuresGiveNull) {
    HBITMAP kept = QRCodeRenderBitmap(&settings_);
    ASSERT_NE(kept, nullptr);
    // A text that fits no symbol: null, and the kept bitmap stays.
    settings_.autoConfigurate = 0;
    settings_.preferredVersion = 1;
    SetText(std::string(40, 'x'));
    EXPECT_EQ(QRCodeRenderBitmap(&settings_), nullptr);
    BITMAP bm{};
    EXPECT_NE(GetObject(kept, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 83);

    // 255-pixel modules of a version-40 symbol inside a 255-pixel margin: 45,645 pixels square,
    // more than the GDI will allocate. Null, and nothing is left behind.
    SetText("big");
    settings_.autoConfigurate = 1;
    settings_.preferredVersion = 40;
    settings_.margin = 255;
    settings_.pixelSize = 255;
    EXPECT_EQ(QRCodeRenderBitmap(&settings_), nullptr);
    EXPECT_EQ(settings_.selectedVersion, 40);
    EXPECT_EQ(QRCodeRenderBitmap(nullptr), nullptr);
}

}  // namespace

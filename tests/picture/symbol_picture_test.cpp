// The rasteriser's picture of the value API's symbol against the record's renderer, which paints
// the record's own run in 24 bits and hands it over as a screen bitmap: for a table of looks
// (module sizes, margins, colours, the same colour twice) both give the same colour at every
// pixel, the rasteriser in 1 bit when two colours suffice and in 24 bits otherwise; too large
// or empty pictures are refused.
#include "picture/symbol_picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "encoder/pipeline.h"
#include "encoder/trace.h"
#include "image/gw_image.h"
#include "picture/render.h"

namespace {

uint32_t Colour(const RGBQUAD& q) { return q.rgbRed | (q.rgbGreen << 8) | (q.rgbBlue << 16); }

TEST(SymbolPicture, SamePixelsAsTheRenderer) {
    FILE* previous = QRCodeTraceStream();
    QRCodeSetTraceStream(nullptr);
    const std::string text = "rasteriser check 0123456789";
    // {pixel size, margin, foreground, background, depth, bits expected}
    const struct {
        int size, margin;
        uint32_t fg, bg;
        int depth, bits;
    } looks[] = {
        {3, 10, 0x000000, 0xFFFFFF, 1, 1},  {1, 0, 0x000000, 0xFFFFFF, 1, 1},  {5, 3, 0x123456, 0xFFFFFF, 1, 1},
        {2, 0, 0x0000FF, 0x00FF00, 1, 1},   {4, 7, 0x800000, 0xCCFFFF, 1, 24}, {3, 10, 0x000000, 0xFFFFFF, 24, 24},
        {0, 6, 0x000000, 0x00FFFF, 1, 24},  {9, 1, 0x336699, 0x336699, 1, 24}, {7, 0, 0x336699, 0x336699, 1, 1},
        {60, 2, 0x000000, 0xFFFFFF, 1, 1},  {8, 13, 0x000000, 0xFFFFFF, 1, 1}, {14, 2, 0x000000, 0xFFFFFF, 1, 1},
        {15, 5, 0x000000, 0xFFFFFF, 1, 1},  {6, 9, 0x000000, 0xFFFFFF, 1, 1},
    };
    QRCodeRequest request;
    request.data = reinterpret_cast<const unsigned char*>(text.data());
    request.length = static_cast<int32_t>(text.size());
    const QRCodeResult encoded = QRCodeEncode(request);
    ASSERT_TRUE(encoded.Ok());
    for (const auto& l : looks) {
        SCOPED_TRACE(testing::Message() << "size " << l.size << " margin " << l.margin << " fg " << std::hex << l.fg
                                        << " bg " << l.bg << std::dec << " depth " << l.depth);
        QRCodeSettings s;
        QRCodeResetSettings(&s);
        std::memcpy(s.text, text.data(), text.size());
        s.pixelSize = static_cast<uint8_t>(l.size);
        s.margin = static_cast<uint8_t>(l.margin);
        s.foregroundColor = l.fg;
        s.backgroundColor = l.bg;
        GwImage rendered;
        HBITMAP bitmap = QRCodeRenderBitmap(&s);
        ASSERT_NE(bitmap, nullptr);
        ASSERT_TRUE(rendered.CreateFromHBITMAP(bitmap));
        QRCodeReleaseBitmap();

        GwSymbolLook look;
        look.pixelSize = l.size;
        look.margin = l.margin;
        look.foreground = l.fg;
        look.background = l.bg;
        look.depth = l.depth;
        GwImage painted;
        std::string error;
        ASSERT_TRUE(GwPaintSymbol(encoded.symbol, look, &painted, &error)) << error;
        EXPECT_EQ(painted.GetBpp(), l.bits);
        ASSERT_EQ(painted.GetWidth(), rendered.GetWidth());
        ASSERT_EQ(painted.GetHeight(), rendered.GetHeight());
        int differ = 0;
        for (long y = 0; y < static_cast<long>(painted.GetHeight()); ++y)
            for (long x = 0; x < static_cast<long>(painted.GetWidth()); ++x)
                differ += Colour(painted.GetPixelColor(x, y, false)) != Colour(rendered.GetPixelColor(x, y, false));
        EXPECT_EQ(differ, 0);
    }

    GwSymbolLook huge;
    huge.pixelSize = 255;
    GwImage image;
    std::string error;
    EXPECT_FALSE(GwPaintSymbol(encoded.symbol, huge, &image, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    GwSymbolLook empty;
    empty.pixelSize = 0;
    empty.margin = 0;
    EXPECT_FALSE(GwPaintSymbol(encoded.symbol, empty, &image, &error));
    QRCodeSetTraceStream(previous);
}

}  // namespace

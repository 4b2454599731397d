// The command line's direct painter against the renderer's road: over a broad sample of
// versions, levels, pixel sizes, margins and colour pairs, the picture painted from the matrix
// and the picture the program makes are the renderer's picture, byte for byte in every format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "encoder/pipeline.h"
#include "encoder/trace.h"
#include "image/gw_image.h"
#include "tools/glyphwell/symbol_raster.h"
#include "tools/glyphwell/symbol_writer.h"

namespace {

std::string FileBytes(GwImage& image, DWORD type) {
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, type)) return std::string("encode failed: ") + image.GetLastError();
    std::string bytes(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
    image.FreeMemory(buffer);
    return bytes;
}

struct Colours {
    uint32_t foreground, background;
    bool transparent;
};

TEST(SymbolRaster, PaintsTheRenderersPictureByteForByte) {
    QRCodeSetTraceStream(nullptr);
    const Colours kColours[] = {
        {0x000000, 0xFFFFFF, false},  // the defaults
        {0x804020, 0xFFFFFF, false},  // any ink on white
        {0xFFFFFF, 0xFFFFFF, false},  // both entries alike: the first one wins
        {0x000000, 0xFFFFFF, true},   // --background none
        {0x102030, 0xE0F0FF, false},  // a coloured background: two colours without a margin only
        {0x336699, 0x336699, false},
        {0xFFFFFF, 0x000000, false},  // light on dark: the white margin is the dark entry
    };
    const int kPixelSizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 13, 57};
    const int kMargins[] = {0, 1, 3, 4, 7, 8, 10, 12, 13, 31};
    uint32_t seed = 17;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    int painted = 0;
    for (int sample = 0; sample < 160; ++sample) {
        const Colours& c = kColours[sample % (sizeof kColours / sizeof kColours[0])];
        gwcli::SymbolStyle style;
        QRCodeSettings& s = style.settings;
        // Every version once over the first forty samples, then any.
        s.preferredVersion = sample < 40 ? sample + 1 : static_cast<int32_t>(1 + next(40));
        s.correctionLevel = static_cast<int32_t>(next(4));
        s.pixelSize = kPixelSizes[next(11)];
        s.margin = sample % 3 == 0 ? 0 : kMargins[next(10)];
        if (s.preferredVersion > (s.pixelSize > 13 ? 1 : 20) && s.pixelSize > 5) s.pixelSize = 5;  // keep it quick
        s.foregroundColor = c.foreground;
        s.backgroundColor = c.background;
        style.transparent = c.transparent;
        QRCodeSettings settings;
        style.Fill("glyphwell " + std::to_string(sample), &settings);
        SymbolMatrix* m = QRCodeMakeSymbol(&settings);
        ASSERT_NE(m, nullptr);
        const std::string where = "sample " + std::to_string(sample) + ": version " + std::to_string(m->version) +
                                  ", pixel size " + std::to_string(s.pixelSize) + ", margin " +
                                  std::to_string(s.margin) + ", colours " + std::to_string(sample % 7);

        GwImage rendered, program, direct;
        std::string error;
        ASSERT_TRUE(gwcli::RenderedSymbolPicture(&settings, style, gwcli::SymbolFormat::kPng, &rendered, &error))
            << where << ": " << error;
        ASSERT_TRUE(gwcli::SymbolPicture(&settings, style, gwcli::SymbolFormat::kPng, &program, &error, m))
            << where << ": " << error;
        std::vector<GwImage*> pictures = {&program};
        if (gwcli::IsTwoColourPicture(settings) && gwcli::PictureSide(settings, m->width) > 0) {
            ASSERT_TRUE(gwcli::PaintTwoColourSymbol(*m, settings, &direct, &error)) << where << ": " << error;
            if (c.transparent) direct.SetTransIndex(0);
            pictures.push_back(&direct);
            ++painted;
            EXPECT_EQ(rendered.GetBpp(), 1) << where;
        }
        for (const DWORD type : {TypePng, TypeGif, TypeBmp}) {
            if (c.transparent && type == TypeBmp) continue;
            const std::string expected = FileBytes(rendered, type);
            for (GwImage* picture : pictures)
                EXPECT_EQ(FileBytes(*picture, type), expected) << where << ", type " << type;
        }
        std::free(m);
    }
    EXPECT_GT(painted, 100) << "most of the sample has two colours";

    // Wider than the renderer paints: both refuse alike.
    gwcli::SymbolStyle style;
    style.settings.preferredVersion = 40;
    style.settings.pixelSize = 47;
    QRCodeSettings settings;
    style.Fill("too wide", &settings);
    GwImage rendered, program;
    std::string renderedError, programError;
    EXPECT_FALSE(gwcli::RenderedSymbolPicture(&settings, style, gwcli::SymbolFormat::kPng, &rendered, &renderedError));
    EXPECT_FALSE(gwcli::SymbolPicture(&settings, style, gwcli::SymbolFormat::kPng, &program, &programError));
    EXPECT_EQ(programError, renderedError);
    EXPECT_EQ(programError, "a picture of 8339 x 8339 pixels is too large to create");
}

}  // namespace

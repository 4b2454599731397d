// Resampling and rotation against independent libraries on the same picture: Pillow for
// bilinear and bicubic resizing and bilinear rotation, ImageMagick for six-lobe Lanczos. The
// mean difference per channel must stay under two levels of 255. Then a symbol that has been
// rescaled and dithered to one bit must still read back with zbar. Linux only (the peers run
// as programs).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "encoder/pipeline.h"
#include "encoder/trace.h"
#include "image/gw_image.h"
#include "tests/support/qr_decode.h"

namespace {

std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "glyphwell_transform_" + std::to_string(::getpid()) + "_" + name;
}

// A 240 x 180 stand-in for a photograph: smooth colour waves with hard-edged shapes on them.
GwImage Photo() {
    GwImage image(240, 180, 24);
    for (long y = 0; y < 180; y++)
        for (long x = 0; x < 240; x++) {
            double r = 128 + 100 * std::sin(x / 17.0) * std::cos(y / 23.0);
            double g = 128 + 90 * std::sin((x + y) / 31.0);
            double b = 60 + 0.7 * x;
            if ((x - 160) * (x - 160) + (y - 60) * (y - 60) < 900) r = g = b = 20;  // a dark disc
            if (x > 30 && x < 90 && y > 100 && y < 140) r = 250, g = 240, b = 30;   // a yellow block
            const RGBQUAD c = {static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
            image.SetPixelColor(x, y, c);
        }
    return image;
}

// Mean absolute difference per channel, in levels of 255.
double MeanError(const GwImage& a, const GwImage& b) {
    double sum = 0;
    for (long y = 0; y < static_cast<long>(a.GetHeight()); y++)
        for (long x = 0; x < static_cast<long>(a.GetWidth()); x++) {
            const RGBQUAD p = a.GetPixelColor(x, y), q = b.GetPixelColor(x, y);
            sum += std::abs(p.rgbRed - q.rgbRed) + std::abs(p.rgbGreen - q.rgbGreen) + std::abs(p.rgbBlue - q.rgbBlue);
        }
    return sum / (3.0 * a.GetWidth() * a.GetHeight());
}

struct PeerCase {
    const char* name;
    std::function<bool(GwImage&, GwImage*)> ours;
    std::string peer;  // shell command; @IN@ and @OUT@ stand for the two file names
};

std::string Pillow(const std::string& operation) {
    // Debian's interpreter, where python3-pil is installed.
    return "/usr/bin/python3 -c \"from PIL import Image; Image.open('@IN@').convert('RGB')." + operation +
           ".save('@OUT@')\"";
}

std::string Substitute(std::string command, const std::string& in, const std::string& out) {
    for (size_t at; (at = command.find("@IN@")) != std::string::npos;) command.replace(at, 4, in);
    for (size_t at; (at = command.find("@OUT@")) != std::string::npos;) command.replace(at, 5, out);
    return command;
}

TEST(TransformConformance, AgreesWithPillowAndImageMagick) {
    GwImage photo = Photo();
    const std::string in = Scratch("photo.png");
    ASSERT_TRUE(photo.Save(in.c_str(), TypePng)) << photo.GetLastError();
    const std::string lanczos = "convert @IN@ -filter Lanczos -define filter:lobes=6 -resize ";
    const PeerCase cases[] = {
        {"bilinear shrink", [](GwImage& i, GwImage* o) { return i.Resample2(97, 71, InterpBilinear, OverflowClamp, o); },
         Pillow("resize((97, 71), Image.BILINEAR)")},
        {"bilinear enlarge", [](GwImage& i, GwImage* o) { return i.Resample2(411, 299, InterpBilinear, OverflowClamp, o); },
         Pillow("resize((411, 299), Image.BILINEAR)")},
        {"bicubic shrink", [](GwImage& i, GwImage* o) { return i.Resample2(97, 71, InterpBicubic2, OverflowClamp, o); },
         Pillow("resize((97, 71), Image.BICUBIC)")},
        {"bicubic enlarge", [](GwImage& i, GwImage* o) { return i.Resample2(411, 299, InterpBicubic2, OverflowClamp, o); },
         Pillow("resize((411, 299), Image.BICUBIC)")},
        {"lanczos shrink", [](GwImage& i, GwImage* o) { return i.Resample2(97, 71, InterpLanczos, OverflowClamp, o); },
         lanczos + "97x71! PNG24:@OUT@"},
        {"lanczos enlarge", [](GwImage& i, GwImage* o) { return i.Resample2(411, 299, InterpLanczos, OverflowClamp, o); },
         lanczos + "411x299! PNG24:@OUT@"},
        {"rotate 30 bilinear",
         [](GwImage& i, GwImage* o) {
             RGBQUAD white = {255, 255, 255, 0};
             return i.Rotate2(30.0f, o, InterpBilinear, OverflowClamp, &white);
         },
         Pillow("rotate(30, Image.BILINEAR, fillcolor=(255, 255, 255))")},
        {"rotate -117 bilinear",
         [](GwImage& i, GwImage* o) {
             RGBQUAD white = {255, 255, 255, 0};
             return i.Rotate2(-117.0f, o, InterpBilinear, OverflowClamp, &white);
         },
         Pillow("rotate(-117, Image.BILINEAR, fillcolor=(255, 255, 255))")},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.name);
        GwImage ours;
        ASSERT_TRUE(c.ours(photo, &ours)) << photo.GetLastError();
        const std::string out = Scratch("peer.png");
        int status = -1;
        gwtest::RunCommand(Substitute(c.peer, in, out) + " 2>&1", &status);
        ASSERT_EQ(status, 0) << Substitute(c.peer, in, out);
        GwImage theirs;
        ASSERT_TRUE(theirs.Load(out.c_str(), TypePng)) << theirs.GetLastError();
        ASSERT_EQ(theirs.GetWidth(), ours.GetWidth());
        ASSERT_EQ(theirs.GetHeight(), ours.GetHeight());
        const double error = MeanError(ours, theirs);
        std::printf("  %-22s mean difference %.3f levels\n", c.name, error);
        EXPECT_LT(error, 2.0);
        std::remove(out.c_str());
    }
    std::remove(in.c_str());
}

// A symbol at 5 pixels a module, scaled by 1.37 with bicubic weights (module edges turn grey)
// and dithered back to one bit, still reads as the same text.
TEST(TransformConformance, RescaledDitheredSymbolStillDecodes) {
    FILE* trace = QRCodeTraceStream();
    QRCodeSetTraceStream(nullptr);
    auto settings = std::make_unique<QRCodeSettings>();
    QRCodeResetSettings(settings.get());
    const std::string text = "Glyphwell dithered and rescaled, 2026";
    std::memset(settings->text, '#', sizeof settings->text);
    std::memcpy(settings->text, text.data(), text.size());
    SymbolMatrix* m = QRCodeMakeSymbol(settings.get());
    QRCodeSetTraceStream(trace);
    ASSERT_NE(m, nullptr);
    const gwtest::GreyImage raster = gwtest::RasteriseSymbol(*m, 4, 5);
    std::free(m);

    for (DitherMethod method : {DitherFloydSteinberg, DitherBayer}) {
        SCOPED_TRACE(method == DitherBayer ? "Bayer" : "Floyd-Steinberg");
        GwImage image(static_cast<DWORD>(raster.width), static_cast<DWORD>(raster.height), 24);
        for (int y = 0; y < raster.height; y++)
            for (int x = 0; x < raster.width; x++) {
                const BYTE v = raster.pixels[static_cast<size_t>(y) * raster.width + x] ? 255 : 0;
                image.SetPixelColor(x, raster.height - 1 - y, RGBQUAD{v, v, v, 0});
            }
        const long w = std::lround(raster.width * 1.37), h = std::lround(raster.height * 1.37);
        ASSERT_TRUE(image.Resample2(w, h, InterpBicubic2));
        ASSERT_TRUE(image.Dither(method));
        ASSERT_EQ(image.GetBpp(), 1);
        gwtest::GreyImage grey;
        grey.width = static_cast<int>(w);
        grey.height = static_cast<int>(h);
        grey.pixels.resize(static_cast<size_t>(w) * h);
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                const BYTE v = image.GetPixelIndex(x, h - 1 - y) ? 255 : 0;
                grey.pixels[static_cast<size_t>(y) * w + x] = v;
            }
        const gwtest::DecodeResult z = gwtest::DecodeWithZbar(grey);
        ASSERT_TRUE(z.ok) << z.error;
        EXPECT_EQ(z.bytes, text);
    }
}

}  // namespace

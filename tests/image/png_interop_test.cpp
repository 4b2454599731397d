// PNG interoperability: every colour type, bit depth and transparency form that Pillow and
// ImageMagick write (interlaced too) is read here as ImageMagick reads it, and what is
// written here is read the same by libpng, ImageMagick and Pillow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec_test_util.h"
#include "image/gw_image.h"
#include "png_test_util.h"

namespace {

using namespace codec_test;
using png_test::InspectPng;
using png_test::PngFacts;

// libpng's 8-bit composition of a sample over a background at the given alpha.
uint8_t Compose(int fg, int alpha, int bg) {
    int t = fg * alpha + bg * (255 - alpha) + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

class PngInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = dir_.File("source.png");
        ASSERT_TRUE(Shell("convert rose: -crop 23x14+20+15 +repage PNG24:" + Quote(source_)));
    }

    // Reads path here and compares with ImageMagick's reading. Files whose transparency
    // this reader composes (gray with alpha, colour keys) are compared with ImageMagick's
    // pixels composed over the same background. Files with 16-bit samples may differ by one
    // level: libpng keeps the high byte where ImageMagick rounds.
    void ExpectSameAsImageMagick(const std::string& path, int tolerance = 0) {
        SCOPED_TRACE(path);
        GwImage ours;
        ASSERT_TRUE(ours.Load(path.c_str(), TypePng)) << ours.GetLastError();
        ASSERT_EQ(ours.GetType(), static_cast<DWORD>(TypePng));
        std::vector<uint8_t> mine = ImageRgba(ours);
        std::vector<uint8_t> theirs = MagickRgba(dir_, path);
        ASSERT_FALSE(theirs.empty());
        bool keepsAlpha = ours.AlphaIsValid() || ours.AlphaPaletteIsEnabled() || ours.GetTransIndex() >= 0;
        if (!keepsAlpha) {
            PngFacts f = InspectPng(ReadBytes(path));
            int bg[3] = {192, 192, 192};
            if (f.background) {
                if (f.colorType == PNG_COLOR_TYPE_PALETTE && f.backgroundValue.index < f.palette.size()) {
                    const png_color& c = f.palette[f.backgroundValue.index];
                    bg[0] = c.red, bg[1] = c.green, bg[2] = c.blue;
                } else {
                    int shift = f.bitDepth == 16 ? 8 : 0;
                    bg[0] = f.backgroundValue.red >> shift;
                    bg[1] = f.backgroundValue.green >> shift;
                    bg[2] = f.backgroundValue.blue >> shift;
                    if (!(f.colorType & PNG_COLOR_MASK_COLOR)) {
                        int g = f.backgroundValue.gray;
                        if (f.bitDepth < 8) g = g * 255 / ((1 << f.bitDepth) - 1);
                        bg[0] = bg[1] = bg[2] = g >> shift;
                    }
                }
            }
            for (size_t i = 0; i < theirs.size(); i += 4) {
                for (int k = 0; k < 3; ++k) theirs[i + k] = Compose(theirs[i + k], theirs[i + 3], bg[k]);
                theirs[i + 3] = 255;
            }
        }
        EXPECT_EQ(FirstDifference(mine, theirs, static_cast<long>(ours.GetWidth()), true, tolerance), "");
    }

    ScratchDir dir_{"png_interop"};
    std::string source_;
};

TEST_F(PngInteropTest, ReadsEveryModePillowWrites) {
    std::string script =
        "import sys\nfrom PIL import Image\n"
        "src = Image.open(sys.argv[1]).convert('RGB')\nd = sys.argv[2] + '/'\n"
        "w, h = src.size\n"
        "src.convert('1').save(d + 'mono.png')\n"
        "src.convert('L').save(d + 'gray8.png')\n"
        "g16 = Image.new('I;16', src.size)\n"
        "g16.putdata([v * 257 for v in src.convert('L').getdata()])\n"
        "g16.save(d + 'gray16.png')\n"
        "la = src.convert('L'); la.putalpha(Image.linear_gradient('L').resize(src.size))\n"
        "la.save(d + 'grayalpha.png')\n"
        "src.save(d + 'rgb.png')\n"
        "rgba = src.copy(); rgba.putalpha(Image.linear_gradient('L').resize(src.size)); rgba.save(d + 'rgba.png')\n"
        "p = src.convert('P', palette=Image.ADAPTIVE, colors=200); p.save(d + 'pal8.png')\n"
        "p.save(d + 'pal8trns.png', transparency=bytes(range(0, 250, 5)))\n"
        "p.save(d + 'pal8key.png', transparency=3)\n"
        "src.convert('P', palette=Image.ADAPTIVE, colors=12).save(d + 'pal4.png', bits=4)\n"
        "src.convert('P', palette=Image.ADAPTIVE, colors=4).save(d + 'pal2.png', bits=2)\n"
        "src.convert('L').save(d + 'graykey.png', transparency=128)\n"
        "src.save(d + 'rgbkey.png', transparency=src.getpixel((3, 3)))\n";
    std::string program = dir_.File("write_pngs.py");
    WriteBytes(program, std::vector<uint8_t>(script.begin(), script.end()));
    ASSERT_TRUE(Shell(std::string(Python()) + " " + Quote(program) + " " + Quote(source_) + " " + Quote(dir_.File(""))));
    for (const char* name : {"mono.png", "gray8.png", "gray16.png", "grayalpha.png", "rgb.png", "rgba.png", "pal8.png",
                             "pal8trns.png", "pal8key.png", "pal4.png", "pal2.png", "graykey.png", "rgbkey.png"})
        ExpectSameAsImageMagick(dir_.File(name));
}

TEST_F(PngInteropTest, ReadsImageMagicksColourTypesDepthsAndInterlace) {
    struct Variant {
        const char* file;
        const char* options;
        int tolerance;
    };
    const Variant variants[] = {
        {"PNG24:rgb_i.png", "-interlace PNG", 0},
        {"PNG32:rgba_i.png", "-alpha set -channel A -fx 'i/w' -interlace PNG", 0},
        {"PNG48:rgb16.png", "", 0},
        {"PNG64:rgba16_i.png", "-alpha set -channel A -fx 'j/h' -interlace PNG", 1},
        {"PNG8:pal_i.png", "-colors 40 -interlace PNG", 0},
        {"gray2.png", "-colorspace gray -depth 2 -define png:bit-depth=2 -define png:color-type=0", 0},
        {"gray4_i.png", "-colorspace gray -depth 4 -define png:bit-depth=4 -define png:color-type=0 -interlace PNG", 0},
        {"gray1.png", "-monochrome -define png:bit-depth=1 -define png:color-type=0", 0},
        {"gray16a.png", "-colorspace gray -alpha set -channel A -fx 'i/w' -define png:bit-depth=16 -define png:color-type=4", 1},
        // Composed over the file's background; without a gamma chunk, since libpng composes
        // in linear light when the file states its gamma.
        {"gray8a_i.png",
         "-colorspace gray -alpha set -channel A -fx 'i/w' -define png:bit-depth=8 -define png:color-type=4 "
         "-define png:exclude-chunk=gAMA,cHRM,sRGB -interlace PNG",
         1},
        {"PNG8:pal_trns.png", "-alpha set -channel A -fx 'i>10' -colors 30", 0},
    };
    for (const Variant& v : variants) {
        std::string target = v.file;
        size_t colon = target.find(':');
        std::string file = colon == std::string::npos ? target : target.substr(colon + 1);
        std::string prefix = colon == std::string::npos ? "" : target.substr(0, colon + 1);
        std::string path = dir_.File(file);
        ASSERT_TRUE(Shell("convert " + Quote(source_) + " " + v.options + " " + prefix + Quote(path))) << target;
        ExpectSameAsImageMagick(path, v.tolerance);
        if (file.find("_i.") != std::string::npos) {
            EXPECT_EQ(InspectPng(ReadBytes(path)).interlace, PNG_INTERLACE_ADAM7) << file;
        }
    }
}

TEST_F(PngInteropTest, FilesWrittenHereReadTheSameInLibpngImageMagickAndPillow) {
    GwImage rose;
    ASSERT_TRUE(rose.Load(source_.c_str(), TypePng)) << rose.GetLastError();
    struct Case {
        const char* name;
        DWORD bpp;
        bool interlace;
        int transparency;  // 0 none, 1 alpha plane, 2 palette alpha, 3 transparent index
    };
    const Case cases[] = {{"p1", 1, false, 0},  {"p4", 4, true, 0},   {"p8", 8, false, 0},  {"p24", 24, false, 0},
                          {"p24i", 24, true, 0}, {"pa", 24, true, 1},  {"ppa", 8, false, 2}, {"pti", 4, false, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GwImage image(rose);
        if (c.bpp < 24) {
            ASSERT_TRUE(image.DecreaseBpp(c.bpp, false));
        }
        if (c.transparency == 1) {
            image.AlphaCreate();
            for (long y = 0; y < 14; ++y)
                for (long x = 0; x < 23; ++x) image.AlphaSet(x, y, static_cast<BYTE>(x * 11 + y));
        } else if (c.transparency == 2) {
            for (DWORD i = 0; i < image.GetNumColors(); ++i) {
                RGBQUAD q = image.GetPaletteColor(static_cast<BYTE>(i));
                image.SetPaletteColor(static_cast<BYTE>(i), q.rgbRed, q.rgbGreen, q.rgbBlue, static_cast<BYTE>(i * 7));
            }
            image.AlphaPaletteEnable(true);
        } else if (c.transparency == 3) {
            image.SetTransIndex(image.GetPixelIndex(5, 5));
        }
        image.SetCodecOption(c.interlace ? 1 : 0, TypePng);
        std::string path = dir_.File(std::string(c.name) + ".png");
        ASSERT_TRUE(image.Save(path.c_str(), TypePng)) << image.GetLastError();
        std::vector<uint8_t> mine = ImageRgba(image);
        PngFacts f = InspectPng(ReadBytes(path));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.interlace, c.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE);
        EXPECT_EQ(FirstDifference(mine, f.rgba, 23), "") << "libpng";
        std::vector<uint8_t> magick = MagickRgba(dir_, path), pillow = PillowRgba(dir_, path);
        ASSERT_FALSE(magick.empty());
        ASSERT_FALSE(pillow.empty());
        EXPECT_EQ(FirstDifference(mine, magick, 23), "") << "ImageMagick";
        EXPECT_EQ(FirstDifference(mine, pillow, 23), "") << "Pillow";
    }
}

}  // namespace

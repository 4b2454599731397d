// The convert and info subcommands of the real program: help and usage errors, conversions
// between every pair of formats with the GIF coders, PNG interlacing and frame choice, the
// strict --from, failures that leave no file behind and say why, hostile animations that must
// end quickly, files cut short, and what info reports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/gif/gw_image_gif.h"
#include "image/gw_image.h"
#include "tests/image/gif_test_util.h"
#include "tests/support/program.h"
#include "tests/support/qr_decode.h"

namespace {

using Outcome = gwtest::ProgramOutcome;

class ConvertInfoCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("convert_info_cli_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    Outcome Run(const std::string& verb, const std::vector<std::string>& args) {
        std::vector<std::string> words{verb};
        words.insert(words.end(), args.begin(), args.end());
        return gwtest::RunCatching(gwtest::ProgramCommand(words), Path("stderr.txt"));
    }

    // A 9 x 7 picture of 8 bits with a recognisable palette and pattern, saved as `type`.
    std::string Sample(const std::string& name, DWORD type, DWORD bpp = 8) {
        GwImage image(9, 7, bpp, TypeAny);
        for (DWORD i = 0; i < image.GetNumColors(); ++i)
            image.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 20), static_cast<BYTE>(255 - i * 9),
                                  static_cast<BYTE>(i));
        for (long y = 0; y < 7; ++y)
            for (long x = 0; x < 9; ++x) {
                if (bpp == 24) image.SetPixelColor(x, y, RGB(x * 25, y * 30, 77));
                else image.SetPixelIndex(x, y, static_cast<BYTE>((x + 2 * y) % 12));
            }
        image.SetXDPI(150);
        image.SetYDPI(150);
        std::string path = Path(name);
        EXPECT_TRUE(image.Save(path.c_str(), type)) << image.GetLastError();
        return path;
    }

    std::filesystem::path dir_;
};

bool SamePixels(const std::string& a, const std::string& b) {
    GwImage x, y;
    if (!x.Load(a.c_str(), TypeAny) || !y.Load(b.c_str(), TypeAny)) return false;
    if (x.GetWidth() != y.GetWidth() || x.GetHeight() != y.GetHeight()) return false;
    for (long j = 0; j < static_cast<long>(x.GetHeight()); ++j)
        for (long i = 0; i < static_cast<long>(x.GetWidth()); ++i) {
            RGBQUAD p = x.GetPixelColor(i, j, false), q = y.GetPixelColor(i, j, false);
            if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) return false;
        }
    return true;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

DWORD TypeOf(const std::string& path) {
    GwImage image;
    return image.Load(path.c_str(), TypeAny) ? image.GetType() : 0;
}

TEST_F(ConvertInfoCliTest, HelpAndUsageErrors) {
    for (const char* verb : {"convert", "info"}) {
        Outcome help = Run(verb, {"--help"});
        EXPECT_EQ(help.status, 0) << verb;
        EXPECT_NE(help.out.find(std::string("usage: glyphwell ") + verb), std::string::npos) << verb;
    }
    std::string png = Sample("in.png", TypePng);
    const std::vector<std::vector<std::string>> bad = {
        {},
        {png},
        {png, Path("a.png"), Path("b.png")},
        {png, Path("out.png"), "--to", "jpeg"},
        {png, Path("out.png"), "--from", "tiff"},
        {png, Path("out.png"), "--frame", "-1"},
        {png, Path("out.png"), "--gif-coder", "zip"},
        {png, Path("out.png"), "--bogus"},
        {png, Path("out.jpg")},  // no --to and an ending that names no format
        {png, Path("out.png"), "--rotate", "nan"},
        {png, Path("out.png"), "--rotate", "-inf"},
        {png, Path("out.png"), "--resize", "0x5"},
        {png, Path("out.png"), "--resize", "10x10:fancy"},
        {png, Path("out.png"), "--crop", "1,2,3"},
        {png, Path("out.png"), "--thumbnail", "5"},
        {png, Path("out.png"), "--thumbnail", "5x5:box"},
    };
    for (const auto& args : bad) {
        Outcome o = Run("convert", args);
        EXPECT_EQ(o.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(o.err.find("usage: glyphwell convert"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(Path("out.jpg")));
    EXPECT_EQ(Run("info", {}).status, 2);
    EXPECT_EQ(Run("info", {"--verbose", png}).status, 2);
}

TEST_F(ConvertInfoCliTest, ConvertsBetweenEveryPairOfFormatsKeepingThePixels) {
    const std::pair<const char*, DWORD> formats[] = {{"bmp", TypeBmp}, {"gif", TypeGif}, {"png", TypePng}};
    for (const auto& from : formats) {
        std::string in = Sample(std::string("src.") + from.first, from.second);
        for (const auto& to : formats) {
            SCOPED_TRACE(std::string(from.first) + " -> " + to.first);
            std::string out = Path(std::string("out_") + from.first + "." + to.first);
            Outcome o = Run("convert", {in, out});
            ASSERT_EQ(o.status, 0) << o.err;
            EXPECT_EQ(TypeOf(out), to.second);
            EXPECT_TRUE(SamePixels(in, out));
        }
    }
    // --to wins over the file name's ending.
    std::string in = Sample("rgb.png", TypePng, 24);
    std::string odd = Path("picture.data");
    ASSERT_EQ(Run("convert", {in, odd, "--to", "bmp"}).status, 0);
    EXPECT_EQ(TypeOf(odd), static_cast<DWORD>(TypeBmp));
    EXPECT_TRUE(SamePixels(in, odd));
}

TEST_F(ConvertInfoCliTest, GifCodersAndPngInterlaceAreApplied) {
    // Wide bands of one colour: runs for the run-length coder, repeats for LZW.
    GwImage bands(96, 8, 8, TypeAny);
    bands.SetGrayPalette();
    for (long y = 0; y < 8; ++y)
        for (long x = 0; x < 96; ++x) bands.SetPixelIndex(x, y, static_cast<BYTE>(x / 24 + y * 4));
    std::string in = Path("src.bmp");
    ASSERT_TRUE(bands.Save(in.c_str(), TypeBmp));
    std::vector<uintmax_t> sizes;
    for (const char* coder : {"lzw", "none", "rle"}) {
        std::string out = Path(std::string("coded_") + coder + ".gif");
        Outcome o = Run("convert", {in, out, "--gif-coder", coder});
        ASSERT_EQ(o.status, 0) << coder << ": " << o.err;
        EXPECT_TRUE(SamePixels(in, out)) << coder;
        sizes.push_back(std::filesystem::file_size(out));
    }
    // The coders really differ: both compressing coders beat uncompressed codes.
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[2], sizes[1]);
    // True-colour pictures (written as a mosaic of 8-bit tiles) take the coder too.
    GwImage plain24(96, 8, 24, TypeAny);
    for (long y = 0; y < 8; ++y)
        for (long x = 0; x < 96; ++x) plain24.SetPixelColor(x, y, RGB(x / 24 * 60, 200, 9));
    const std::string rgb = Path("rgb.png");
    ASSERT_TRUE(plain24.Save(rgb.c_str(), TypePng));
    std::vector<uintmax_t> rgbSizes;
    for (const char* coder : {"lzw", "none"}) {
        std::string out = Path(std::string("rgb_") + coder + ".gif");
        ASSERT_EQ(Run("convert", {rgb, out, "--gif-coder", coder}).status, 0) << coder;
        EXPECT_TRUE(SamePixels(rgb, out)) << coder;
        rgbSizes.push_back(std::filesystem::file_size(out));
    }
    EXPECT_LT(rgbSizes[0], rgbSizes[1]);

    std::string plain = Path("plain.png"), interlaced = Path("interlaced.png");
    ASSERT_EQ(Run("convert", {in, plain}).status, 0);
    ASSERT_EQ(Run("convert", {in, interlaced, "--interlace"}).status, 0);
    GwImage p, q;
    ASSERT_TRUE(p.Load(plain.c_str(), TypePng));
    ASSERT_TRUE(q.Load(interlaced.c_str(), TypePng));
    EXPECT_EQ(p.GetCodecOption(TypePng), 0u);
    EXPECT_EQ(q.GetCodecOption(TypePng), 1u);
    EXPECT_TRUE(SamePixels(plain, interlaced));
}

TEST_F(ConvertInfoCliTest, FramesStrictInputTypesAndFailuresWithoutLeftovers) {
    // A two-frame animation: the second frame is the first one's negative.
    GwImage a(4, 3, 8, TypeAny), b(4, 3, 8, TypeAny);
    a.SetGrayPalette();
    b.SetGrayPalette();
    a.Clear(10);
    b.Clear(200);
    GwImage* frames[2] = {&a, &b};
    std::string anim = Path("anim.gif");
    FILE* fp = std::fopen(anim.c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    ASSERT_TRUE(a.Encode(fp, frames, 2, TypeGif)) << a.GetLastError();
    std::fclose(fp);
    std::string second = Path("second.png");
    ASSERT_EQ(Run("convert", {anim, second, "--frame", "1"}).status, 0);
    GwImage s;
    ASSERT_TRUE(s.Load(second.c_str(), TypePng));
    EXPECT_EQ(s.GetPixelColor(0, 0).rgbRed, 200);
    Outcome missingFrame = Run("convert", {anim, Path("none.png"), "--frame", "5"});
    EXPECT_EQ(missingFrame.status, 1);
    EXPECT_NE(missingFrame.err.find("frame 5 asked for, but the file holds 2 frames"), std::string::npos)
        << missingFrame.err;
    EXPECT_FALSE(std::filesystem::exists(Path("none.png")));
    // Pictures of one frame refuse a later frame rather than ignore it.
    for (DWORD type : {DWORD{TypePng}, DWORD{TypeBmp}}) {
        const std::string single = Sample(type == TypePng ? "one.png" : "one.bmp", type);
        Outcome o = Run("convert", {single, Path("one.gif"), "--frame", "1"});
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find("holds a single picture; --frame 1 does not exist"), std::string::npos) << o.err;
        EXPECT_EQ(Run("convert", {single, Path("one.gif"), "--frame", "0"}).status, 0);
    }

    // --from names the input's format exactly; detection is only the default.
    Outcome wrong = Run("convert", {anim, Path("w.bmp"), "--from", "png"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("cannot read"), std::string::npos);
    EXPECT_EQ(Run("convert", {anim, Path("r.bmp"), "--from", "gif"}).status, 0);

    // --max-pixels lowers the decode budget: the 4 x 3 screen is refused, saying why.
    Outcome over = Run("convert", {anim, Path("o.bmp"), "--max-pixels", "11"});
    EXPECT_EQ(over.status, 1);
    EXPECT_NE(over.err.find("picture of 4 x 3 pixels exceeds the decode limit of 11 pixels"), std::string::npos)
        << over.err;
    EXPECT_FALSE(std::filesystem::exists(Path("o.bmp")));
    EXPECT_EQ(Run("convert", {anim, Path("o.bmp"), "--max-pixels", "12"}).status, 0);

    Outcome missing = Run("convert", {Path("absent.png"), Path("x.bmp")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
    std::string junk = Path("junk.png");
    std::ofstream(junk) << "not a picture at all";
    Outcome unreadable = Run("convert", {junk, Path("y.bmp")});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.err.find("Decode: Unknown or wrong format"), std::string::npos) << unreadable.err;
    Outcome unwritable = Run("convert", {anim, Path("no/such/dir/z.png")});
    EXPECT_EQ(unwritable.status, 1);

    // A reader that knows its format gives its own reason, not "unknown format".
    auto png = [](uint32_t w, uint32_t h) {
        std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
        for (uint32_t v : {w, h})
            for (int k = 3; k >= 0; --k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
        b.insert(b.end(), {8, 0, 0, 0, 0});  // 8-bit gray, then the start of a short IDAT
        uint32_t crc = 0xFFFFFFFFu;  // over the chunk type and data
        for (size_t i = 12; i < b.size(); ++i) {
            crc ^= b[i];
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
        crc ^= 0xFFFFFFFFu;
        for (int k = 3; k >= 0; --k) b.push_back(static_cast<uint8_t>(crc >> (8 * k)));
        b.insert(b.end(), {0, 0, 0, 10, 'I', 'D', 'A', 'T', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        return b;
    };
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> reasons = {
        {png(2000000, 1), "side over the limit of 1000000 pixels"},
        {png(20000, 20000), "picture of 20000 x 20000 pixels exceeds the decode limit"},
        {png(10000, 10000), "PNG file too short for its dimensions"},
    };
    for (const auto& r : reasons) {
        const std::string path = Path("reason.png");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(r.first.data()),
                                                   static_cast<std::streamsize>(r.first.size()));
        Outcome o = Run("convert", {path, Path("r.bmp")});
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find(r.second), std::string::npos) << o.err;
    }
}

// Animations built to cost minutes or gigabytes: on a 16384 x 16384 screen (the default decode
// budget), a hundred one-pixel frames that each restore what was below them, a hundred and fifty
// empty full-screen frames, and frames whose 512 colours need a true-colour screen. Each ends
// at once: the first two decoded (only a small corner is written out), the last refused, saying
// why. Their time and memory are measured outside the tests.
TEST_F(ConvertInfoCliTest, HostileAnimationsEndQuicklyWithinTheBudget) {
    const int side = 16384;
    const std::vector<uint32_t> two = {0x000000, 0xFFFFFF};
    giftest::Builder restoring(side, side, two);
    for (int i = 0; i < 100; ++i) restoring.Gce(3, -1).Image(i, 0, 1, 1, {1});
    giftest::Builder empty(side, side, two);
    for (int i = 0; i < 150; ++i) empty.Byte(0x2C).Word(0).Word(0).Word(side).Word(side).Byte(0).Byte(2).Byte(0);
    giftest::Builder colourful(side, side, {});
    for (int k = 0; k < 4; ++k) {
        std::vector<uint32_t> table(256);
        for (uint32_t i = 0; i < 256; ++i) table[i] = (k * 64 + i / 2) << 16 | i << 8 | 77;
        std::vector<uint8_t> row(128);
        for (int i = 0; i < 128; ++i) row[static_cast<size_t>(i)] = static_cast<uint8_t>(2 * i);
        colourful.Image(0, k, 128, 1, row, table);
    }
    struct Probe {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* frame;
        int status;
        const char* says;
    };
    const Probe probes[] = {
        {"restoring.gif", restoring.Trailer(), "99", 0, ""},
        {"empty.gif", empty.Trailer(), "149", 0, ""},
        {"colourful.gif", colourful.Trailer(), "3", 1, "composing"},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(p.name);
        const std::string in = Path(p.name), out = Path("corner.png");
        std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(p.bytes.data()),
                                                 static_cast<std::streamsize>(p.bytes.size()));
        EXPECT_LT(p.bytes.size(), 5000u);
        Outcome o = Run("convert", {in, out, "--frame", p.frame, "--crop", "0,0,128,2"});
        ASSERT_EQ(o.status, p.status) << o.err;
        EXPECT_NE(o.err.find(p.says), std::string::npos) << o.err;
        if (p.status != 0) continue;
        GwImage corner;
        ASSERT_TRUE(corner.Load(out.c_str(), TypePng));
        // Every disposal-3 frame was put back: only the last one's pixel is white.
        for (long x = 0; x < 128; ++x) {
            const bool white = std::string(p.name) == "restoring.gif" && x == 99;
            EXPECT_EQ(corner.GetPixelColor(x, 1, false).rgbRed, white ? 255 : 0) << x;
        }
    }
}

// Files cut short: before the first picture's pixel data they fail; inside it they fail too,
// saying what they hold, unless --partial asks for that: then the rows before the cut are the
// picture's own and a warning says the rest is missing.
TEST_F(ConvertInfoCliTest, CutFilesFailOrGiveWhatTheyHoldWithPartial) {
    GwImage noise(256, 256, 8, TypeAny);
    noise.SetGrayPalette();
    uint32_t seed = 7;
    for (long y = 0; y < 256; ++y)
        for (long x = 0; x < 256; ++x) {
            seed = seed * 1103515245u + 12345u;  // no run or repeat for the coders to shrink
            noise.SetPixelIndex(x, y, static_cast<BYTE>(seed >> 24));
        }
    struct Cut {
        const char* name;
        DWORD type;
        size_t before;  // a length that ends before the pixel data
    };
    for (const Cut& c : {Cut{"cut.gif", TypeGif, 400}, Cut{"cut.png", TypePng, 40}, Cut{"cut.bmp", TypeBmp, 1078}}) {
        SCOPED_TRACE(c.name);
        const std::string whole = Path(std::string("whole_") + c.name);
        ASSERT_TRUE(noise.Save(whole.c_str(), c.type));
        std::ifstream in(whole, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string cut = Path(c.name), out = Path("held.bmp");
        for (size_t length : {c.before, bytes.size() / 2 + 600}) {
            std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes.substr(0, length);
            std::filesystem::remove(out);
            Outcome strict = Run("convert", {cut, out});
            EXPECT_EQ(strict.status, 1) << length;
            EXPECT_FALSE(std::filesystem::exists(out));
            Outcome lenient = Run("convert", {cut, out, "--partial"});
            if (length == c.before) {
                EXPECT_EQ(lenient.status, 1) << lenient.err;
                continue;
            }
            EXPECT_NE(strict.err.find("cut short"), std::string::npos) << strict.err;
            ASSERT_EQ(lenient.status, 0) << lenient.err;
            EXPECT_NE(lenient.err.find("warning"), std::string::npos) << lenient.err;
            GwImage held;
            ASSERT_TRUE(held.Load(out.c_str(), TypeBmp));
            // The first rows of the file hold their pixels: the top ones for GIF and PNG, the
            // bottom ones for a bitmap, stored bottom-up.
            const long y = c.type == TypeBmp ? 0 : 255;
            for (long x = 0; x < 256; ++x) EXPECT_EQ(held.GetPixelIndex(x, y), noise.GetPixelIndex(x, y)) << x;
        }
    }
}

// The picture options run in one fixed order whatever order they are given in, each with the
// library's meaning; refusals exit 1 and write nothing.
TEST_F(ConvertInfoCliTest, PictureOptionsApplyInTheirOrder) {
    const std::string in = Sample("in.png", TypePng, 24);
    const std::string a = Path("a.png"), b = Path("b.png");
    ASSERT_EQ(Run("convert", {in, a, "--rotate", "90", "--crop", "1,2,3,4"}).status, 0);
    ASSERT_EQ(Run("convert", {in, b, "--crop", "1,2,3,4", "--rotate", "90"}).status, 0);
    EXPECT_TRUE(SamePixels(a, b));
    // Turned first (9 x 7 becomes 7 x 9), then 3 x 4 from column 1, row 2 of the top.
    GwImage source, turned, result;
    ASSERT_TRUE(source.Load(in.c_str(), TypePng));
    ASSERT_TRUE(source.RotateLeft(&turned));
    ASSERT_TRUE(result.Load(a.c_str(), TypePng));
    ASSERT_EQ(result.GetWidth(), 3u);
    ASSERT_EQ(result.GetHeight(), 4u);
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 3; ++x) {
            const RGBQUAD p = result.GetPixelColor(x, y, false), q = turned.GetPixelColor(x + 1, y + 3, false);
            EXPECT_EQ(p.rgbRed + 256 * p.rgbGreen + 65536 * p.rgbBlue, q.rgbRed + 256 * q.rgbGreen + 65536 * q.rgbBlue)
                << x << "," << y;
        }

    // Resize, then fit in 10 x 10, then one bit of black and white.
    const std::string c = Path("c.gif");
    ASSERT_EQ(Run("convert", {in, c, "--dither", "--thumbnail", "10x10", "--resize", "90x35:lanczos"}).status, 0);
    GwImage small;
    ASSERT_TRUE(small.Load(c.c_str(), TypeGif));
    EXPECT_EQ(small.GetWidth(), 10u);
    EXPECT_EQ(small.GetHeight(), 4u);
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 10; ++x) {
            const BYTE level = small.GetPixelColor(x, y, false).rgbGreen;
            EXPECT_TRUE(level == 0 || level == 255) << x << "," << y;
        }

    // Whole turns come off exactly, however many: each angle turns as its plain counterpart
    // (the 9 x 7 picture stands 7 x 9 after a quarter turn either way).
    const struct {
        const char* angle;
        const char* same;
        unsigned width, height;
    } turns[] = {{"999999990", "270", 7, 9},
                 {"-999999990", "90", 7, 9},
                 {"395824185999450", "90", 7, 9},  // 2^40 whole turns and a quarter
                 {"-720", "0", 9, 7},
                 {"1e300", "0", 9, 7}};  // a whole number of turns
    for (const auto& turn : turns) {
        const std::string many = Path("many.png"), plain = Path("plain.png");
        ASSERT_EQ(Run("convert", {in, many, "--rotate", turn.angle}).status, 0) << turn.angle;
        ASSERT_EQ(Run("convert", {in, plain, "--rotate", turn.same}).status, 0) << turn.same;
        EXPECT_EQ(ReadFileBytes(many), ReadFileBytes(plain)) << turn.angle;
        GwImage turned;
        ASSERT_TRUE(turned.Load(many.c_str(), TypePng));
        EXPECT_EQ(turned.GetWidth(), turn.width) << turn.angle;
        EXPECT_EQ(turned.GetHeight(), turn.height) << turn.angle;
    }

    Outcome outside = Run("convert", {in, Path("d.png"), "--crop", "20,0,5,5"});
    EXPECT_EQ(outside.status, 1);
    EXPECT_NE(outside.err.find("does not meet"), std::string::npos) << outside.err;
    Outcome huge = Run("convert", {in, Path("e.png"), "--resize", "100000x100000"});
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.err.find("too large"), std::string::npos) << huge.err;
    EXPECT_FALSE(std::filesystem::exists(Path("d.png")));
    EXPECT_FALSE(std::filesystem::exists(Path("e.png")));
}

TEST_F(ConvertInfoCliTest, InfoDescribesEachFileAndGifDetails) {
    std::string bmp = Sample("s.bmp", TypeBmp, 24);
    std::string png = Sample("s.png", TypePng, 4);
    std::string gif = Path("anim.gif");
    // ImageMagick's "-loop 3" (three plays) is stored in the file as 2 repeats.
    ASSERT_TRUE(gwtest::RunCommand("convert -comment hello -delay 25 -size 5x4 xc:red xc:blue -loop 3 " +
                                       gwtest::ShellQuote(gif),
                                   nullptr)
                    .empty());
    std::string junk = Path("junk.bin");
    std::ofstream(junk) << "nothing to see";
    Outcome o = Run("info", {bmp, junk, png, gif});
    EXPECT_EQ(o.status, 1);  // one file could not be read; the others are still described
    EXPECT_NE(o.err.find("junk.bin"), std::string::npos);
    const std::string expectedBmp = bmp + "\n  type: bmp\n  width: 9\n  height: 7\n  bits per pixel: 24\n  colours: 0\n"
                                    "  transparency: none\n  resolution: 150 x 150 dpi\n  frames: 1\n";
    const std::string expectedPng = png + "\n  type: png\n  width: 9\n  height: 7\n  bits per pixel: 4\n  colours: 16\n"
                                    "  transparency: none\n  resolution: 150 x 150 dpi\n  frames: 1\n";
    EXPECT_NE(o.out.find(expectedBmp), std::string::npos) << o.out;
    EXPECT_NE(o.out.find(expectedPng), std::string::npos) << o.out;
    size_t at = o.out.find(gif + "\n  type: gif\n  width: 5\n  height: 4\n");
    ASSERT_NE(at, std::string::npos) << o.out;
    std::string gifPart = o.out.substr(at);
    EXPECT_NE(gifPart.find("  frames: 2\n"), std::string::npos) << gifPart;
    EXPECT_NE(gifPart.find("  loops: 2\n"), std::string::npos) << gifPart;
    EXPECT_NE(gifPart.find("  delay: 25\n"), std::string::npos) << gifPart;
    EXPECT_NE(gifPart.find("  comment: hello\n"), std::string::npos) << gifPart;

    // A comment is the file's text, not the program's: whatever could steer a terminal or
    // forge a line of the description is printed escaped; printable text, UTF-8 included, is
    // kept as it is.
    const struct {
        const char* comment;
        const char* shown;
    } comments[] = {
        {"\x1b[31mred\x1b[0m", "\\x1B[31mred\\x1B[0m"},
        {"bell\a and back\rspace\b", "bell\\x07 and back\\x0Dspace\\x08"},
        {"one\n  type: png", "one\\x0A  type: png"},
        {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},
        {"c1 \xc2\x9b" "31m del \x7f", "c1 \\xC2\\x9B31m del \\x7F"},
        {"latin-1 \xe9t\xe9", "latin-1 \\xE9t\\xE9"},
    };
    for (const auto& c : comments) {
        GwImageGIF commented;
        ASSERT_NE(commented.Create(2, 2, 8, TypeGif), nullptr);
        commented.SetComment(c.comment);
        const std::string path = Path("commented.gif");
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(commented.Encode(file));
        std::fclose(file);
        const Outcome shown = Run("info", {path});
        EXPECT_EQ(shown.status, 0) << shown.err;
        EXPECT_NE(shown.out.find(std::string("\n  comment: ") + c.shown + "\n"), std::string::npos) << shown.out;
        EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 12) << shown.out;
    }

    GwImage keyed(3, 2, 8, TypeAny);
    keyed.SetGrayPalette();
    keyed.Clear(4);
    keyed.SetTransIndex(4);
    std::string keyedPath = Path("keyed.png");
    ASSERT_TRUE(keyed.Save(keyedPath.c_str(), TypePng));
    Outcome k = Run("info", {keyedPath});
    EXPECT_EQ(k.status, 0);
    EXPECT_NE(k.out.find("  transparency: index 0\n"), std::string::npos) << k.out;
}

}  // namespace

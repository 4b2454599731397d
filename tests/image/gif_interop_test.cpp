// Interoperability of our GIF files with independent readers and writers: giflib (linked),
// ImageMagick (convert) and Pillow (/usr/bin/python3). Files we write with every coder must
// read back the same in each of them; files they write (GIF87a and GIF89a, interlaced,
// animated with disposal methods, transparent, with local colour tables) must decode here
// frame by frame, pixel for pixel, as the other tools read them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/image/gif_test_util.h"

#ifdef GLYPHWELL_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using namespace giftest;
namespace fs = std::filesystem;

namespace {

struct Rgba {
    int width = 0, height = 0, frames = 0;
    std::vector<uint8_t> bytes;  // frames x height x width x RGBA, rows from the top
};

fs::path TempDir() {
    static fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("glyphwell_gif_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool RunCommand(const std::string& cmd, std::string* out = nullptr) {
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    if (out) *out = text;
    return pclose(p) == 0;
}

bool HaveTool(const char* probe) { return RunCommand(std::string(probe) + " >/dev/null 2>&1"); }
bool HavePillow() { return HaveTool("/usr/bin/python3 -c 'import PIL'"); }
bool HaveConvert() { return HaveTool("convert -version"); }

// Every frame as Pillow composes it.
Rgba PillowFrames(const fs::path& file) {
    const fs::path script = TempDir() / "frames.py";
    std::ofstream(script) << "import sys\nfrom PIL import Image\n"
                             "im = Image.open(sys.argv[1])\nn = getattr(im, 'n_frames', 1)\n"
                             "out = sys.stdout.buffer\nout.write(('%d %d %d\\n' % (im.size[0], im.size[1], n)).encode())\n"
                             "for i in range(n):\n    im.seek(i)\n    out.write(im.convert('RGBA').tobytes())\n";
    std::string text;
    Rgba r;
    if (!RunCommand("/usr/bin/python3 " + script.string() + " " + file.string(), &text)) return r;
    const size_t nl = text.find('\n');
    if (nl == std::string::npos || std::sscanf(text.c_str(), "%d %d %d", &r.width, &r.height, &r.frames) != 3) return r;
    r.bytes.assign(text.begin() + nl + 1, text.end());
    return r;
}

// Every frame as ImageMagick coalesces it.
Rgba MagickFrames(const fs::path& file, int width, int height) {
    Rgba r;
    std::string text;
    if (!RunCommand("convert " + file.string() + " -coalesce rgba:-", &text)) return r;
    r.width = width;
    r.height = height;
    r.frames = int(text.size() / (size_t(width) * height * 4));
    r.bytes.assign(text.begin(), text.end());
    return r;
}

// Compares our decode of frame f with a reference frame: transparent where the reference
// is fully transparent, the same colour everywhere else.
::testing::AssertionResult SameFrame(const std::vector<uint8_t>& file, int frame, const Rgba& ref) {
    TestGif img;
    if (!img.DecodeBytes(file, frame)) return ::testing::AssertionFailure() << "frame " << frame << " not decoded";
    if (int(img.GetWidth()) != ref.width || int(img.GetHeight()) != ref.height)
        return ::testing::AssertionFailure() << "size " << img.GetWidth() << "x" << img.GetHeight();
    const size_t base = size_t(frame) * ref.width * ref.height * 4;
    if (ref.bytes.size() < base + size_t(ref.width) * ref.height * 4) return ::testing::AssertionFailure() << "short reference";
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const uint8_t* p = &ref.bytes[base + (size_t(y) * ref.width + x) * 4];
            const long sy = ref.height - 1 - y;
            const bool ours = img.IsTransparent(x, sy);
            if (p[3] == 0) {
                if (!ours) return ::testing::AssertionFailure() << "frame " << frame << " (" << x << "," << y << ") should be transparent";
                continue;
            }
            const uint32_t want = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
            const uint32_t got = ColorAt(img, x, y);
            if (ours || got != want)
                return ::testing::AssertionFailure() << "frame " << frame << " (" << x << "," << y << ") got " << std::hex << got
                                                     << (ours ? " transparent" : "") << " want " << want;
        }
    return ::testing::AssertionSuccess();
}

// A palette picture with structure (runs, gradients, noise) in every region.
void Picture(GwImage& img, int w, int h, int bpp, unsigned seed) {
    std::mt19937 rng(seed);
    const int colours = 1 << bpp;
    Fill(img, w, h, bpp, [&](int x, int y) {
        if (y < h / 3) return (x / 5) % colours;
        if (y < 2 * h / 3) return int(rng() % colours);
        return ((x + y) / 2) % colours;
    });
    for (int i = 0; i < colours; ++i)
        img.SetPaletteColor(BYTE(i), BYTE(i * 37), BYTE(255 - i * 11), BYTE(i * i));
}

std::vector<GwImage*> Ptrs(std::vector<TestGif>& v) {
    std::vector<GwImage*> p;
    for (auto& i : v) p.push_back(&i);
    return p;
}

// Our animation: frame 1 a smaller patch with a transparent index and its own table.
std::vector<uint8_t> OurAnimation(bool local) {
    std::vector<TestGif> frames(3);
    Picture(frames[0], 30, 20, 8, 1);
    Picture(frames[1], 12, 8, 4, 2);
    frames[1].SetOffset(5, 6);
    frames[1].SetTransIndex(3);
    Picture(frames[2], 7, 20, 8, 3);
    frames[2].SetOffset(23, 0);
    frames[2].SetFrameDelay(40);
    TestGif writer;
    writer.SetLoops(0);
    writer.SetDisposalMethod(1);
    return EncodeAnimation(writer, Ptrs(frames), local);
}

}  // namespace

#ifdef GLYPHWELL_HAVE_GIFLIB
namespace {

struct MemReader {
    const std::vector<uint8_t>* bytes;
    size_t pos = 0;
};

int ReadMem(GifFileType* gif, GifByteType* dst, int n) {
    auto* r = static_cast<MemReader*>(gif->UserData);
    const size_t left = r->bytes->size() - r->pos;
    const size_t k = std::min(left, size_t(n));
    std::memcpy(dst, r->bytes->data() + r->pos, k);
    r->pos += k;
    return int(k);
}

int WriteMem(GifFileType* gif, const GifByteType* src, int n) {
    static_cast<std::vector<uint8_t>*>(gif->UserData)->insert(static_cast<std::vector<uint8_t>*>(gif->UserData)->end(), src, src + n);
    return n;
}

// giflib's reading of a whole file; null when it refuses it.
struct Slurped {
    GifFileType* gif = nullptr;
    MemReader reader;
    ~Slurped() {
        int err;
        if (gif) DGifCloseFile(gif, &err);
    }
};

bool Slurp(const std::vector<uint8_t>& bytes, Slurped& s) {
    s.reader.bytes = &bytes;
    int err = 0;
    s.gif = DGifOpen(&s.reader, ReadMem, &err);
    return s.gif && DGifSlurp(s.gif) == GIF_OK;
}

// Checks giflib's raster and colours of one image against our source image.
::testing::AssertionResult MatchesSource(GifFileType* gif, int i, const GwImage& src) {
    const SavedImage& si = gif->SavedImages[i];
    const int w = si.ImageDesc.Width, h = si.ImageDesc.Height;
    if (w != int(src.GetWidth()) || h != int(src.GetHeight())) return ::testing::AssertionFailure() << "size";
    const ColorMapObject* map = si.ImageDesc.ColorMap ? si.ImageDesc.ColorMap : gif->SColorMap;
    if (!map) return ::testing::AssertionFailure() << "no colour table";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int got = si.RasterBits[y * w + x];
            const int want = IndexAt(src, x, y);
            if (got != want) return ::testing::AssertionFailure() << "(" << x << "," << y << ") " << got << " != " << want;
            const GifColorType c = map->Colors[got];
            const RGBQUAD p = src.GetPaletteColor(BYTE(want));
            if (c.Red != p.rgbRed || c.Green != p.rgbGreen || c.Blue != p.rgbBlue)
                return ::testing::AssertionFailure() << "colour of index " << want;
        }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(GifInterop, GiflibReadsOurSingleImagesWithEveryCoderAndDepth) {
    for (int option : {0, 1, 2}) {
        for (int bpp : {1, 4, 8}) {
            for (auto [w, h] : {std::pair{37, 23}, {1, 1}, {300, 220}}) {
                TestGif img;
                Picture(img, w, h, bpp, unsigned(option * 10 + bpp));
                img.SetCodecOption(option, TypeGif);
                img.SetTransIndex(bpp == 1 ? -1 : 2);
                const auto bytes = EncodeBytes(img);
                Slurped s;
                ASSERT_TRUE(Slurp(bytes, s)) << "coder " << option << " depth " << bpp << " " << w << "x" << h;
                ASSERT_EQ(1, s.gif->ImageCount);
                EXPECT_TRUE(MatchesSource(s.gif, 0, img)) << "coder " << option << " depth " << bpp << " " << w << "x" << h;
                GraphicsControlBlock gcb;
                ASSERT_EQ(GIF_OK, DGifSavedExtensionToGCB(s.gif, 0, &gcb));
                EXPECT_EQ(bpp == 1 ? NO_TRANSPARENT_COLOR : 2, gcb.TransparentColor);
            }
        }
    }
}

TEST(GifInterop, GiflibReadsOurAnimationsAndTiledTrueColour) {
    for (bool local : {false, true}) {
        const auto bytes = OurAnimation(local);
        Slurped s;
        ASSERT_TRUE(Slurp(bytes, s));
        ASSERT_EQ(3, s.gif->ImageCount);
        EXPECT_EQ(30, s.gif->SWidth);
        EXPECT_EQ(local, s.gif->SavedImages[1].ImageDesc.ColorMap != nullptr);
        EXPECT_EQ(5, s.gif->SavedImages[1].ImageDesc.Left);
        EXPECT_EQ(6, s.gif->SavedImages[1].ImageDesc.Top);
        GraphicsControlBlock gcb;
        DGifSavedExtensionToGCB(s.gif, 1, &gcb);
        EXPECT_EQ(3, gcb.TransparentColor);
        EXPECT_EQ(1, gcb.DisposalMode);
        DGifSavedExtensionToGCB(s.gif, 2, &gcb);
        EXPECT_EQ(40, gcb.DelayTime);
    }

    TestGif rgb;
    rgb.Create(45, 31, 24, TypeGif);
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 45; ++x) rgb.SetPixelColor(x, y, RGBQUAD{BYTE(x * 5), BYTE(y * 8), BYTE(x * y), 0}, false);
    const auto bytes = EncodeBytes(rgb);
    Slurped s;
    ASSERT_TRUE(Slurp(bytes, s));
    EXPECT_EQ(9, s.gif->ImageCount);  // 3 x 3 tiles
    std::vector<uint32_t> screen(45 * 31, 0xFFFFFFFF);
    for (int i = 0; i < s.gif->ImageCount; ++i) {
        const SavedImage& si = s.gif->SavedImages[i];
        ASSERT_NE(nullptr, si.ImageDesc.ColorMap);
        for (int y = 0; y < si.ImageDesc.Height; ++y)
            for (int x = 0; x < si.ImageDesc.Width; ++x) {
                const GifColorType c = si.ImageDesc.ColorMap->Colors[si.RasterBits[y * si.ImageDesc.Width + x]];
                screen[(si.ImageDesc.Top + y) * 45 + si.ImageDesc.Left + x] = (uint32_t(c.Red) << 16) | (c.Green << 8) | c.Blue;
            }
    }
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 45; ++x) ASSERT_EQ(ColorAt(rgb, x, y), screen[y * 45 + x]) << x << "," << y;
}

TEST(GifInterop, FilesGiflibWritesDecodeHere) {
    // GIF87a, interlaced, global table; then GIF89a with local tables, transparency and
    // disposal 2 on a smaller frame.
    for (bool interlaced : {false, true}) {
        std::vector<uint8_t> bytes;
        int err = 0;
        GifFileType* gif = EGifOpen(&bytes, WriteMem, &err);
        ASSERT_NE(nullptr, gif);
        EGifSetGifVersion(gif, false);
        GifColorType colours[16];
        for (int i = 0; i < 16; ++i) colours[i] = GifColorType{GifByteType(i * 16), GifByteType(255 - i * 16), GifByteType(i * 5)};
        ColorMapObject* map = GifMakeMapObject(16, colours);
        const int w = 19, h = 13;
        EGifPutScreenDesc(gif, w, h, 4, 0, map);
        EGifPutImageDesc(gif, 0, 0, w, h, interlaced, nullptr);
        auto value = [](int x, int y) { return GifPixelType((x * 3 + y * 5) % 16); };
        std::vector<int> rows;
        if (interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int p = 0; p < 4; ++p)
                for (int y = start[p]; y < h; y += step[p]) rows.push_back(y);
        } else {
            for (int y = 0; y < h; ++y) rows.push_back(y);
        }
        for (int y : rows) {
            GifPixelType line[w];
            for (int x = 0; x < w; ++x) line[x] = value(x, y);
            ASSERT_EQ(GIF_OK, EGifPutLine(gif, line, w));
        }
        EGifCloseFile(gif, &err);
        GifFreeMapObject(map);
        ASSERT_EQ("GIF87a", std::string(bytes.begin(), bytes.begin() + 6));
        TestGif img;
        ASSERT_TRUE(img.DecodeBytes(bytes)) << interlaced;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(value(x, y), IndexAt(img, x, y)) << x << "," << y;
                const int v = value(x, y);
                ASSERT_EQ((uint32_t(v * 16) << 16) | (uint32_t(255 - v * 16) << 8) | uint32_t(v * 5), ColorAt(img, x, y));
            }
    }

    std::vector<uint8_t> bytes;
    int err = 0;
    GifFileType* gif = EGifOpen(&bytes, WriteMem, &err);
    ASSERT_NE(nullptr, gif);
    EGifSetGifVersion(gif, true);
    GifColorType g[4] = {{0, 0, 0}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}};
    GifColorType l[4] = {{9, 9, 9}, {10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    ColorMapObject* gm = GifMakeMapObject(4, g);
    ColorMapObject* lm = GifMakeMapObject(4, l);
    EGifPutScreenDesc(gif, 8, 6, 2, 0, gm);
    GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, 0, 0};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, 0, 0, 8, 6, false, nullptr);
    for (int y = 0; y < 6; ++y) {
        GifPixelType line[8];
        for (int x = 0; x < 8; ++x) line[x] = GifPixelType(1 + (x + y) % 3);
        EGifPutLine(gif, line, 8);
    }
    gcb = GraphicsControlBlock{DISPOSE_BACKGROUND, false, 5, 0};
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, 2, 1, 3, 3, true, lm);
    for (int y : {0, 2, 1}) {  // interlace order of 3 rows
        GifPixelType line[3];
        for (int x = 0; x < 3; ++x) line[x] = GifPixelType((x + y) % 4);  // 0 transparent
        EGifPutLine(gif, line, 3);
    }
    gcb = GraphicsControlBlock{DISPOSE_DO_NOT, false, 0, NO_TRANSPARENT_COLOR};
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    // The writer keeps its copy of the previous image's local table; release it first.
    if (gif->Image.ColorMap) {
        GifFreeMapObject(gif->Image.ColorMap);
        gif->Image.ColorMap = nullptr;
    }
    EGifPutImageDesc(gif, 0, 0, 1, 1, false, nullptr);
    GifPixelType one = 3;
    EGifPutLine(gif, &one, 1);
    EGifCloseFile(gif, &err);
    GifFreeMapObject(gm);
    GifFreeMapObject(lm);

    TestGif f1, f2;
    ASSERT_TRUE(f1.DecodeBytes(bytes, 1));
    EXPECT_EQ(3, f1.GetNumFrames());
    const uint32_t gcol[4] = {0x000000, 0xC80000, 0x00C800, 0x0000C8};
    const uint32_t lcol[4] = {0x090909, 0x0A141E, 0x28323C, 0x46505A};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            uint32_t want = gcol[1 + (x + y) % 3];
            if (x >= 2 && x < 5 && y >= 1 && y < 4) {
                const int v = (x - 2 + y - 1) % 4;
                if (v != 0) want = lcol[v];
            }
            ASSERT_EQ(want, ColorAt(f1, x, y)) << x << "," << y;
        }
    ASSERT_TRUE(f2.DecodeBytes(bytes, 2));
    EXPECT_EQ(gcol[3], ColorAt(f2, 0, 0));
    // Disposal 2 gave the square back to the screen's fill (index 0 of the first frame).
    EXPECT_EQ(0x000000u, ColorAt(f2, 3, 2));
    EXPECT_EQ(gcol[1 + (7 + 5) % 3], ColorAt(f2, 7, 5));
}
#endif  // GLYPHWELL_HAVE_GIFLIB

TEST(GifInterop, PillowAndImageMagickReadOurFilesAsWeDo) {
    if (!HavePillow() || !HaveConvert()) GTEST_SKIP() << "needs /usr/bin/python3 with PIL and ImageMagick";
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    for (int option : {0, 1, 2})
        for (int bpp : {1, 4, 8}) {
            TestGif img;
            Picture(img, 41, 29, bpp, unsigned(bpp + option));
            img.SetCodecOption(option, TypeGif);
            if (bpp == 8) img.SetTransIndex(7);
            cases.push_back({"single_" + std::to_string(option) + "_" + std::to_string(bpp), EncodeBytes(img)});
        }
    cases.push_back({"anim_global", OurAnimation(false)});
    cases.push_back({"anim_local", OurAnimation(true)});
    TestGif rgb;
    rgb.Create(40, 20, 24, TypeGif);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) rgb.SetPixelColor(x, y, RGBQUAD{BYTE(x * 6), BYTE(y * 12), BYTE(200 - x), 0}, false);
    cases.push_back({"tiled", EncodeBytes(rgb)});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        const fs::path file = TempDir() / (c.name + ".gif");
        WriteFile(file, c.bytes);
        const Rgba pil = PillowFrames(file);
        ASSERT_GT(pil.frames, 0);
        const Rgba im = MagickFrames(file, pil.width, pil.height);
        ASSERT_EQ(pil.frames, im.frames);
        if (c.name == "tiled") {
            // Readers show the tiles as frames; the last one shows the whole picture.
            const int last = pil.frames - 1;
            for (const Rgba* ref : {&pil, &im})
                for (int y = 0; y < 20; ++y)
                    for (int x = 0; x < 40; ++x) {
                        const uint8_t* p = &ref->bytes[((size_t(last) * 20 + y) * 40 + x) * 4];
                        ASSERT_EQ(ColorAt(rgb, x, y), (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]) << x << "," << y;
                    }
            continue;
        }
        for (int f = 0; f < pil.frames; ++f) {
            EXPECT_TRUE(SameFrame(c.bytes, f, pil)) << "Pillow";
            EXPECT_TRUE(SameFrame(c.bytes, f, im)) << "ImageMagick";
        }
    }
}

TEST(GifInterop, FilesPillowWritesDecodeHereAsPillowReadsThem) {
    if (!HavePillow()) GTEST_SKIP() << "needs /usr/bin/python3 with PIL";
    const fs::path dir = TempDir();
    const fs::path script = dir / "make.py";
    std::ofstream(script) << R"(import sys
from PIL import Image
d = sys.argv[1]
def pal_image(w, h, seed, colours):
    im = Image.new('P', (w, h))
    im.putpalette([(i * seed + 13 * (i // 3)) % 256 for i in range(768)])
    im.putdata([((x * seed) // 3 + y * 2) % colours for y in range(h) for x in range(w)])
    return im
pal_image(33, 27, 5, 200).save(d + '/pil_interlaced.gif', interlace=True)
pal_image(20, 9, 3, 2).save(d + '/pil_twocolour.gif', interlace=False)
frames = []
for k in range(4):
    im = Image.new('RGBA', (24, 18), (0, 0, 0, 0))
    for y in range(18):
        for x in range(24):
            if (x // 4 + y // 3 + k) % 3:
                im.putpixel((x, y), ((x * 10 + k * 50) % 256, (y * 14) % 256, (k * 60) % 256, 255))
    frames.append(im)
frames[0].save(d + '/pil_anim_dispose2.gif', save_all=True, append_images=frames[1:], duration=30, loop=0, disposal=2)
frames[0].save(d + '/pil_anim_dispose1.gif', save_all=True, append_images=frames[1:], duration=30, loop=2, disposal=1)
rgb = [Image.new('RGB', (16, 16), c) for c in ((250, 0, 0), (0, 250, 0), (0, 0, 250))]
for i, im in enumerate(rgb):
    for x in range(16):
        im.putpixel((x, i * 5), (x * 16, 255 - x * 16, 77))
rgb[0].save(d + '/pil_anim_localtables.gif', save_all=True, append_images=rgb[1:], duration=20, optimize=False)
)";
    ASSERT_TRUE(RunCommand("/usr/bin/python3 " + script.string() + " " + dir.string()));
    for (const char* name : {"pil_interlaced", "pil_twocolour", "pil_anim_dispose2", "pil_anim_dispose1", "pil_anim_localtables"}) {
        SCOPED_TRACE(name);
        const fs::path file = dir / (std::string(name) + ".gif");
        const auto bytes = ReadFile(file);
        ASSERT_FALSE(bytes.empty());
        const Rgba pil = PillowFrames(file);
        ASSERT_GT(pil.frames, 0);
        TestGif probe;
        ASSERT_TRUE(probe.DecodeBytes(bytes));
        EXPECT_EQ(pil.frames, probe.GetNumFrames());
        for (int f = 0; f < pil.frames; ++f) EXPECT_TRUE(SameFrame(bytes, f, pil));
    }
}

TEST(GifInterop, FilesImageMagickWritesDecodeHereAsItReadsThem) {
    if (!HaveConvert()) GTEST_SKIP() << "needs ImageMagick";
    const fs::path dir = TempDir();
    struct Case {
        const char* name;
        std::string args;
    } cases[] = {
        {"im_interlaced", "-size 21x17 gradient:red-blue -colors 50 -interlace GIF"},
        {"im_87a", "-size 12x10 xc:green -fill yellow -draw 'rectangle 2,2 6,5' GIF87:"},
        {"im_anim", "-delay 10 -dispose None -size 20x14 xc:none -fill red -draw 'rectangle 0,0 9,13' "
                    "-dispose Background ( -size 20x14 xc:none -fill blue -draw 'rectangle 5,3 14,9' ) "
                    "-dispose Previous ( -size 20x14 xc:none -fill lime -draw 'rectangle 12,1 18,12' ) "
                    "( -size 20x14 xc:none -fill gray -draw 'point 1,1' ) -loop 0"},
        {"im_anim_optimized", "-delay 5 -size 16x16 xc:white ( +clone -fill black -draw 'rectangle 3,3 8,8' ) "
                              "( +clone -fill orange -draw 'rectangle 6,6 12,12' ) -layers Optimize"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir / (std::string(c.name) + ".gif");
        std::string args = c.args;
        std::string target = file.string();
        if (args.size() > 6 && args.compare(args.size() - 6, 6, "GIF87:") == 0) {
            args.resize(args.size() - 6);
            target = "GIF87:" + target;
        }
        std::string escaped;
        for (char ch : args) escaped += (ch == '(' || ch == ')') ? std::string("\\") + ch : std::string(1, ch);
        ASSERT_TRUE(RunCommand("convert " + escaped + " " + target + " 2>/dev/null"));
        const auto bytes = ReadFile(file);
        ASSERT_GT(bytes.size(), 13u);
        TestGif probe;
        ASSERT_TRUE(probe.DecodeBytes(bytes, 0));
        const Rgba im = MagickFrames(file, int(probe.GetWidth()), int(probe.GetHeight()));
        ASSERT_GT(im.frames, 0);
        EXPECT_EQ(im.frames, probe.GetNumFrames());
        for (int f = 0; f < im.frames; ++f) EXPECT_TRUE(SameFrame(bytes, f, im));
    }
}

// Hostile files through every reading entry of the image library: each file of
// tests/data/hostile (made by scripts/make-hostile-corpus, recipes in its MANIFEST) goes to
// the decoder its folder names, to format detection, to every GIF frame and to the packed
// bitmap import from global memory. Every call must either fail cleanly (false, a message,
// the image it was given left as it was) or yield an image that is whole: dimensions within
// the library's limits and pixels that can be read and written out again. After each file a
// known-good picture must still decode, so no file leaves the library in a bad state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(GLYPHWELL_TEST_DATA) / "hostile";
// The library refuses images whose width x height x depth / 256 exceeds this.
const uint64_t kMaxMemoryUnits = 256000000ULL;
// Frames decoded per GIF: frame f is composed from frames 0..f.
const long kMaxFramesChecked = 64;

struct Sample {
    std::string name;
    std::vector<BYTE> bytes;
};

std::vector<Sample> Folder(const char* folder) {
    std::vector<Sample> out;
    const fs::path dir = kCorpus / folder;
    if (!fs::is_directory(dir)) return out;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        out.push_back({std::string(folder) + "/" + e.path().filename().string(),
                       std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
    }
    std::sort(out.begin(), out.end(), [](const Sample& a, const Sample& b) { return a.name < b.name; });
    return out;
}

// A decoded image must be whole: its size within the limits, its pixels readable at the
// corners, and (when small) writable as a bitmap that reads back at the same size.
void ExpectWholeImage(GwImage& image, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(image.IsValid());
    const uint64_t w = image.GetWidth(), h = image.GetHeight();
    const WORD bpp = image.GetBpp();
    ASSERT_GT(w, 0u);
    ASSERT_GT(h, 0u);
    ASSERT_TRUE(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24) << bpp;
    EXPECT_LE(w * h * bpp / 256, kMaxMemoryUnits);
    EXPECT_LE(w * h, GwImage::GetMaxDecodePixels());
    EXPECT_GE(uint64_t{image.GetEffWidth()} * 8, w * bpp);
    if (bpp <= 8) {
        EXPECT_GT(image.GetNumColors(), 0u);
        EXPECT_LE(image.GetNumColors(), 1u << bpp);
    }
    // Corner pixels, read through the library's own accessors.
    const long xs[2] = {0, static_cast<long>(w - 1)}, ys[2] = {0, static_cast<long>(h - 1)};
    for (long y : ys)
        for (long x : xs) {
            EXPECT_TRUE(image.IsInside(x, y));
            RGBQUAD c = image.GetPixelColor(x, y);
            if (bpp <= 8) {
                const RGBQUAD p = image.GetPaletteColor(image.GetPixelIndex(x, y));
                EXPECT_EQ(c.rgbRed, p.rgbRed);
                EXPECT_EQ(c.rgbBlue, p.rgbBlue);
            }
        }
    if (w * h > 65536) return;
    BYTE* encoded = nullptr;
    long size = 0;
    ASSERT_TRUE(image.Encode(encoded, size, TypeBmp)) << image.GetLastError();
    GwImage back;
    EXPECT_TRUE(back.Decode(encoded, static_cast<DWORD>(size), TypeBmp)) << back.GetLastError();
    image.FreeMemory(encoded);
    EXPECT_EQ(back.GetWidth(), w);
    EXPECT_EQ(back.GetHeight(), h);
    if (back.IsValid() && w * h <= 4096) {
        for (long y = 0; y < static_cast<long>(h); ++y)
            for (long x = 0; x < static_cast<long>(w); ++x) {
                const RGBQUAD a = image.GetPixelColor(x, y, false), b = back.GetPixelColor(x, y, false);
                ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue)
                    << "pixel " << x << "," << y;
            }
    }
}

// A 3 x 2 24-bit picture that a failed decode must leave untouched.
void MakeKeeper(GwImage& image) {
    ASSERT_TRUE(image.Create(3, 2, 24, TypeBmp));
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 3; ++x) image.SetPixelColor(x, y, RGB(10 * x, 20 * y, 99));
}

void ExpectKeeperIntact(const GwImage& image) {
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 3u);
    EXPECT_EQ(image.GetHeight(), 2u);
    const RGBQUAD c = image.GetPixelColor(2, 1, false);
    EXPECT_EQ(c.rgbRed, 20);
    EXPECT_EQ(c.rgbGreen, 20);
    EXPECT_EQ(c.rgbBlue, 99);
}

// Decodes `bytes` with `type` into an image that held a picture before. The GIF reader says
// nothing about a stream without its signature, so a failed typed GIF decode need not leave
// a message.
void CheckDecode(const Sample& s, DWORD type, long frame = 0) {
    const std::string what = s.name + " as type " + std::to_string(type) + " frame " + std::to_string(frame);
    SCOPED_TRACE(what);
    GwImage image;
    MakeKeeper(image);
    image.SetFrame(frame);
    std::vector<BYTE> copy = s.bytes;  // the decoder must not need more than it is given
    const bool ok = image.Decode(copy.empty() ? nullptr : copy.data(), static_cast<DWORD>(copy.size()), type);
    if (ok) {
        ExpectWholeImage(image, what);
        return;
    }
    if (type != TypeGif) {
        EXPECT_NE(image.GetLastError()[0], '\0');
    }
    if (type == TypeAny) {
        // Detection ends in "unknown format" unless a reader recognised its format; then that
        // reader's own reason, the one a decode of its type gives, reaches the caller.
        const std::string message = image.GetLastError();
        std::vector<std::string> reasons = {"Decode: Unknown or wrong format"};
        for (DWORD typed : {DWORD{TypeBmp}, DWORD{TypeGif}, DWORD{TypePng}}) {
            GwImage reader;
            reader.SetFrame(frame);
            std::vector<BYTE> again = s.bytes;
            reader.Decode(again.empty() ? nullptr : again.data(), static_cast<DWORD>(again.size()), typed);
            reasons.push_back(reader.GetLastError());
        }
        EXPECT_NE(std::find(reasons.begin(), reasons.end(), message), reasons.end()) << message;
    }
    ExpectKeeperIntact(image);
}

// The same file from disk through the stdio stream (Load falls back to detection).
void CheckLoad(const std::string& name, DWORD type) {
    SCOPED_TRACE(name + " loaded as type " + std::to_string(type));
    GwImage image;
    MakeKeeper(image);
    const std::string path = (kCorpus / name).string();
    if (image.Load(path.c_str(), type)) {
        ExpectWholeImage(image, name);
    } else {
        EXPECT_NE(image.GetLastError()[0], '\0');
        ExpectKeeperIntact(image);
    }
}

// Only the size is read when escape is -1; no pixels are made.
void CheckSizeOnly(const Sample& s, DWORD type) {
    SCOPED_TRACE(s.name + " size only");
    GwImage image(type);
    image.SetEscape(-1);
    std::vector<BYTE> copy = s.bytes;
    if (image.Decode(copy.empty() ? nullptr : copy.data(), static_cast<DWORD>(copy.size()), type)) {
        EXPECT_LE(uint64_t{image.GetWidth()}, 0xFFFFFFFFull);
    }
}

void CheckHandle(const Sample& s) {
    SCOPED_TRACE(s.name + " from global memory");
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, s.bytes.size());
    if (!block) {
        ASSERT_TRUE(s.bytes.empty());
        return;
    }
    if (!s.bytes.empty()) {
        void* p = GlobalLock(block);
        ASSERT_NE(p, nullptr);
        std::memcpy(p, s.bytes.data(), s.bytes.size());
        GlobalUnlock(block);
    }
    GwImage image;
    const bool ok = image.CreateFromHANDLE(block);
    GlobalFree(block);
    if (ok) {
        ExpectWholeImage(image, s.name);
        // The import must survive its own export.
        HANDLE copy = image.CopyToHandle();
        if (!copy) {
            EXPECT_GT(image.GetSize(), 1u << 26) << "a small image must export";
            return;
        }
        GwImage again;
        EXPECT_TRUE(again.CreateFromHANDLE(copy)) << again.GetLastError();
        GlobalFree(copy);
        EXPECT_EQ(again.GetSize(), image.GetSize());
        return;
    }
    EXPECT_FALSE(image.IsValid());
}

// A known-good picture still decodes after each hostile file.
void ExpectLibraryHealthy() {
    static std::vector<BYTE> good = [] {
        GwImage pic(5, 3, 8, TypeBmp);
        pic.SetGrayPalette();
        for (long y = 0; y < 3; ++y)
            for (long x = 0; x < 5; ++x) pic.SetPixelIndex(x, y, static_cast<BYTE>(x * 50 + y));
        BYTE* buffer = nullptr;
        long size = 0;
        pic.Encode(buffer, size, TypeBmp);
        std::vector<BYTE> bytes(buffer, buffer + size);
        pic.FreeMemory(buffer);
        return bytes;
    }();
    for (DWORD type : {DWORD{TypeBmp}, DWORD{TypeAny}}) {
        GwImage image;
        ASSERT_TRUE(image.Decode(good.data(), static_cast<DWORD>(good.size()), type)) << image.GetLastError();
        EXPECT_EQ(image.GetPixelIndex(4, 2), 202);
    }
}

void ExpectCorpus(const std::vector<Sample>& files, size_t atLeast) {
    ASSERT_GE(files.size(), atLeast) << "corpus missing; run scripts/make-hostile-corpus";
}

TEST(HostileCorpus, BitmapsFailCleanlyOrDecodeWhole) {
    const std::vector<Sample> files = Folder("bmp");
    ExpectCorpus(files, 50);
    for (const Sample& s : files) {
        CheckDecode(s, TypeBmp);
        CheckDecode(s, TypeAny);
        CheckLoad(s.name, TypeBmp);
        CheckSizeOnly(s, TypeBmp);
        CheckHandle(s);
        ExpectLibraryHealthy();
    }
}

TEST(HostileCorpus, PackedBitmapsImportCleanlyFromGlobalMemory) {
    const std::vector<Sample> files = Folder("dib");
    ExpectCorpus(files, 20);
    for (const Sample& s : files) {
        CheckHandle(s);
        CheckDecode(s, TypeBmp);  // a bare bitmap without a file header
        CheckDecode(s, TypeAny);
        ExpectLibraryHealthy();
    }
}

TEST(HostileCorpus, GifFilesFailCleanlyOrDecodeWholeAtEveryFrame) {
    const std::vector<Sample> files = Folder("gif");
    ExpectCorpus(files, 40);
    for (const Sample& s : files) {
        CheckDecode(s, TypeGif);
        CheckDecode(s, TypeAny);
        CheckSizeOnly(s, TypeGif);
        GwImage counter;
        std::vector<BYTE> copy = s.bytes;
        counter.Decode(copy.empty() ? nullptr : copy.data(), static_cast<DWORD>(copy.size()), TypeGif);
        const long frames = counter.GetNumFrames();
        EXPECT_GE(frames, 0) << s.name;
        for (long f = 1; f < std::min(frames, kMaxFramesChecked); ++f) CheckDecode(s, TypeGif, f);
        if (frames > 0) {
            // One past the last frame is refused, and the refusal keeps the old picture.
            GwImage image;
            MakeKeeper(image);
            image.SetFrame(frames);
            EXPECT_FALSE(image.Decode(copy.data(), static_cast<DWORD>(copy.size()), TypeGif)) << s.name;
            ExpectKeeperIntact(image);
        }
        CheckHandle(s);
        ExpectLibraryHealthy();
    }
}

TEST(HostileCorpus, PngFilesFailCleanlyOrDecodeWhole) {
    const std::vector<Sample> files = Folder("png");
    ExpectCorpus(files, 40);
    for (const Sample& s : files) {
        CheckDecode(s, TypePng);
        CheckDecode(s, TypeAny);
        CheckLoad(s.name, TypePng);
        CheckHandle(s);
        ExpectLibraryHealthy();
    }
}

TEST(HostileCorpus, DetectionRefusesOrDecodesEveryOtherFile) {
    std::vector<Sample> files = Folder("any");
    ExpectCorpus(files, 5);
    const std::vector<Sample> state = Folder("state");
    files.insert(files.end(), state.begin(), state.end());
    for (const Sample& s : files) {
        CheckDecode(s, TypeAny);
        CheckDecode(s, TypeBmp);
        CheckDecode(s, TypeGif);
        CheckDecode(s, TypePng);
        CheckHandle(s);
        ExpectLibraryHealthy();
    }
}

}  // namespace

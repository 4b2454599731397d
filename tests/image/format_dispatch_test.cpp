// Format dispatch: detection from the stream's own offset, typed decodes and their
// messages, Load's fall-back to detection, every encode form and its refusals, the raw RGBA
// dump, module resources and the loading constructors.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <cstring>
#include <string>
#include <vector>

#include "codec_test_util.h"
#include "image/gw_image.h"
#include "image/gw_io_file.h"
#include "image/gw_mem_file.h"
#include "platform/win32.h"

namespace {

using codec_test::ReadBytes;
using codec_test::ScratchDir;
using codec_test::WriteBytes;

// A small 8-bit picture with a recognisable pattern.
GwImage Sample(DWORD bpp = 8) {
    GwImage image(6, 4, bpp, TypeAny);
    image.SetGrayPalette();
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 6; ++x) {
            if (bpp == 24) image.SetPixelColor(x, y, RGB(x * 40, y * 60, 9));
            else image.SetPixelIndex(x, y, static_cast<BYTE>(x * 10 + y));
        }
    return image;
}

// A module that holds one resource, for FindResource and LoadResource to find. Windows keeps
// resources in module files, so there the bytes go into a copy of this program loaded as data.
class ResourceModule {
public:
    ResourceModule(const ScratchDir& dir, LPCSTR type, LPCSTR name, std::vector<uint8_t> bytes) {
#ifdef _WIN32
        char self[MAX_PATH];
        const std::string copy = dir.File("resources.exe");
        if (!GetModuleFileNameA(nullptr, self, MAX_PATH) || !CopyFileA(self, copy.c_str(), FALSE)) return;
        HANDLE update = BeginUpdateResourceA(copy.c_str(), TRUE);
        if (!update) return;
        const BOOL added = UpdateResourceA(update, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                           bytes.data(), static_cast<DWORD>(bytes.size()));
        if (!EndUpdateResourceA(update, !added) || !added) return;
        module_ = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
#else
        (void)dir;
        module_ = standin::RegisterModule("format-dispatch-test");
        if (!standin::RegisterResource(module_, type, name, bytes.data(), static_cast<DWORD>(bytes.size()))) {
            standin::UnregisterResources(module_);
            module_ = nullptr;
        }
#endif
    }
    ~ResourceModule() {
        if (!module_) return;
#ifdef _WIN32
        FreeLibrary(module_);
#else
        standin::UnregisterResources(module_);
#endif
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;
    HINSTANCE Get() const { return module_; }

private:
    HINSTANCE module_ = nullptr;
};

std::vector<uint8_t> EncodeAs(GwImage& image, DWORD type) {
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, type)) return {};
    std::vector<uint8_t> out(buffer, buffer + size);
    image.FreeMemory(buffer);
    return out;
}

TEST(FormatDispatchTest, DetectionFindsEachFormatFromTheStreamsEntryOffset) {
    GwImage sample = Sample();
    for (DWORD type : {static_cast<DWORD>(TypeBmp), static_cast<DWORD>(TypeGif), static_cast<DWORD>(TypePng)}) {
        SCOPED_TRACE(type);
        std::vector<uint8_t> bytes = {'j', 'u', 'n', 'k', '!'};
        std::vector<uint8_t> file = EncodeAs(sample, type);
        ASSERT_FALSE(file.empty()) << sample.GetLastError();
        bytes.insert(bytes.end(), file.begin(), file.end());
        GwMemFile stream(bytes.data(), static_cast<DWORD>(bytes.size()));
        ASSERT_TRUE(stream.Seek(5, 0));
        GwImage image;
        ASSERT_TRUE(image.Decode(&stream, TypeAny)) << image.GetLastError();
        EXPECT_EQ(image.GetType(), type);
        EXPECT_EQ(image.GetWidth(), 6u);
        EXPECT_EQ(image.GetPixelIndex(5, 3), 53);
    }
}

TEST(FormatDispatchTest, UnknownStreamsAndTypesFailWithTheDetectionMessage) {
    std::vector<uint8_t> zeros(300, 0);
    GwMemFile stream(zeros.data(), static_cast<DWORD>(zeros.size()));
    ASSERT_TRUE(stream.Seek(7, 0));
    GwImage image;
    EXPECT_FALSE(image.Decode(&stream, TypeAny));
    EXPECT_STREQ(image.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_EQ(stream.Tell(), 7);

    GwImage other;
    EXPECT_FALSE(other.Decode(&stream, 7));
    EXPECT_STREQ(other.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_EQ(stream.Tell(), 7);
    EXPECT_FALSE(other.Decode(static_cast<GwFile*>(nullptr), TypeAny));
}

TEST(FormatDispatchTest, FailedDecodeKeepsTheImageAndReportsTheCodecsMessage) {
    GwImage image = Sample(24);
    image.SetJpegQuality(33);  // a setting that no codec touches
    std::vector<uint8_t> junk(64, 0x42);
    EXPECT_FALSE(image.Decode(junk.data(), static_cast<DWORD>(junk.size()), TypeBmp));
    EXPECT_STREQ(image.GetLastError(), "Error reading BMP info");
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetPixelColor(5, 3).rgbRed, 200);

    // A successful decode replaces the image but carries the caller's settings through.
    GwImage png = Sample();
    std::vector<uint8_t> bytes = EncodeAs(png, TypePng);
    ASSERT_TRUE(image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), TypePng));
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_EQ(image.GetJpegQuality(), 33);

    // GIF: the frame count is reported even when the requested frame does not exist.
    GwImage a = Sample(), b = Sample();
    b.Negative();
    GwImage* frames[2] = {&a, &b};
    GwMemFile gif;
    ASSERT_TRUE(gif.Open());
    ASSERT_TRUE(a.Encode(&gif, frames, 2, TypeGif)) << a.GetLastError();
    GwImage third;
    third.SetFrame(2);
    ASSERT_TRUE(gif.Seek(0, 0));
    EXPECT_FALSE(third.Decode(&gif, TypeGif));
    EXPECT_EQ(third.GetNumFrames(), 2);
    GwImage second;
    second.SetFrame(1);
    ASSERT_TRUE(gif.Seek(0, 0));
    ASSERT_TRUE(second.Decode(&gif, TypeGif)) << second.GetLastError();
    EXPECT_EQ(second.GetPixelColor(0, 0).rgbRed, 255);  // negative of index 0 (black)
}

TEST(FormatDispatchTest, LoadFallsBackToDetectionButReportsTheRequestedTypesFailure) {
    ScratchDir dir("dispatch_load");
    GwImage sample = Sample();
    std::string gifPath = dir.File("picture.gif");
    ASSERT_TRUE(sample.Save(gifPath.c_str(), TypeGif)) << sample.GetLastError();
    GwImage a;
    ASSERT_TRUE(a.Load(gifPath.c_str(), TypePng)) << a.GetLastError();
    EXPECT_EQ(a.GetType(), static_cast<DWORD>(TypeGif));

    std::string junkPath = dir.File("junk.png");
    WriteBytes(junkPath, std::vector<uint8_t>(100, 0x11));
    std::vector<uint8_t> junk = ReadBytes(junkPath);
    GwImage direct;
    EXPECT_FALSE(direct.Decode(junk.data(), static_cast<DWORD>(junk.size()), TypePng));
    GwImage b;
    EXPECT_FALSE(b.Load(junkPath.c_str(), TypePng));
    EXPECT_STRNE(b.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_STREQ(b.GetLastError(), direct.GetLastError());
    GwImage c;
    EXPECT_FALSE(c.Load(junkPath.c_str(), TypeAny));
    EXPECT_STREQ(c.GetLastError(), "Decode: Unknown or wrong format");

    // Files that cannot be opened: false, message as it was.
    EXPECT_FALSE(c.Load(dir.File("missing.bmp").c_str(), TypeBmp));
    EXPECT_STREQ(c.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(sample.Save(dir.File("no/such/dir.png").c_str(), TypePng));
}

TEST(FormatDispatchTest, EncodeFormsAndTheirRefusals) {
    GwImage image = Sample();
    GwMemFile out;
    ASSERT_TRUE(out.Open());
    EXPECT_FALSE(image.Encode(&out, 9));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    EXPECT_FALSE(image.Encode(static_cast<GwFile*>(nullptr), TypeGif));
    EXPECT_STREQ(image.GetLastError(), "null file handler");
    GwImage empty;
    EXPECT_FALSE(empty.Encode(&out, TypePng));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    EXPECT_EQ(out.Size(), 0);

    BYTE byte = 0x5A;
    BYTE* buffer = &byte;
    long size = 1234;
    EXPECT_FALSE(image.Encode(buffer, size, TypeGif));
    EXPECT_STREQ(image.GetLastError(), "the buffer must be empty");
    EXPECT_EQ(buffer, &byte);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(size, 1234);

    GwImage* frames[1] = {&image};
    EXPECT_FALSE(image.Encode(&out, frames, 1, TypePng));
    EXPECT_STREQ(image.GetLastError(), "Multipage Encode, Unsupported operation for this format");

    // FILE* forms write through the caller's stream and leave it open.
    FILE* fp = std::tmpfile();
    ASSERT_NE(fp, nullptr);
    ASSERT_TRUE(image.Encode(fp, TypeBmp));
    long written = std::ftell(fp);
    EXPECT_EQ(written, static_cast<long>(image.GetSize() + 14));
    std::rewind(fp);
    GwImage back;
    ASSERT_TRUE(back.Decode(fp, TypeAny));
    EXPECT_EQ(back.GetType(), static_cast<DWORD>(TypeBmp));
    std::fclose(fp);
}

TEST(FormatDispatchTest, RawRgbaDumpRunsBottomUpWithAlphaFromPlaneOrPalette) {
    GwImage rgb(2, 1, 24, TypeAny);
    rgb.SetPixelColor(0, 0, RGB(1, 2, 3));
    rgb.SetPixelColor(1, 0, RGB(4, 5, 6));
    BYTE* buffer = nullptr;
    long size = 0;
    ASSERT_TRUE(rgb.Encode2RGBA(buffer, size));
    ASSERT_EQ(size, 8);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8), (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
    rgb.FreeMemory(buffer);
    EXPECT_FALSE(rgb.Encode2RGBA(buffer = reinterpret_cast<BYTE*>(&size), size));
    EXPECT_STREQ(rgb.GetLastError(), "the buffer must be empty");

    rgb.AlphaCreate();
    rgb.AlphaSet(1, 0, 77);
    GwImage pal(1, 2, 8, TypeAny);
    pal.SetPaletteColor(0, 10, 20, 30, 40);
    pal.SetPaletteColor(1, 50, 60, 70, 80);
    pal.SetPixelIndex(0, 0, 1);
    pal.SetPixelIndex(0, 1, 0);
    GwMemFile out;
    ASSERT_TRUE(out.Open());
    ASSERT_TRUE(rgb.Encode2RGBA(&out));
    ASSERT_TRUE(pal.Encode2RGBA(&out));
    BYTE* bytes = out.GetBuffer(false);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 16),
              (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 77, 50, 60, 70, 80, 10, 20, 30, 40}));
    GwImage empty;
    EXPECT_FALSE(empty.Encode2RGBA(&out));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
}

TEST(FormatDispatchTest, ResourcesAndLoadingConstructors) {
    GwImage sample = Sample();
    std::vector<uint8_t> png = EncodeAs(sample, TypePng);
    ScratchDir resourceDir("dispatch_resource");
    ResourceModule resources(resourceDir, "PNG", "LOGO", png);
    HINSTANCE module = resources.Get();
    ASSERT_NE(module, nullptr);
    HRSRC res = FindResource(module, "LOGO", "PNG");
    ASSERT_NE(res, nullptr);
    GwImage fromResource;
    ASSERT_TRUE(fromResource.LoadResource(res, TypeAny, module)) << fromResource.GetLastError();
    EXPECT_EQ(fromResource.GetType(), static_cast<DWORD>(TypePng));
    EXPECT_EQ(fromResource.GetPixelIndex(3, 2), 32);
    GwImage missing;
    EXPECT_FALSE(missing.LoadResource(nullptr, TypeAny, module));
    EXPECT_STREQ(missing.GetLastError(), "Unable to load resource!");

    ScratchDir dir("dispatch_ctor");
    std::string path = dir.File("sample.png");
    WriteBytes(path, png);
    GwImage byName(path.c_str(), TypePng);
    EXPECT_TRUE(byName.IsValid());
    GwImage fromBuffer(png.data(), static_cast<DWORD>(png.size()), TypeAny);
    EXPECT_TRUE(fromBuffer.IsValid());
    GwMemFile stream(png.data(), static_cast<DWORD>(png.size()));
    GwImage fromStream(&stream, TypePng);
    EXPECT_TRUE(fromStream.IsValid());
    FILE* fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    GwImage fromFile(fp, TypeBmp);  // wrong type: no fall-back here, the failure shows
    EXPECT_FALSE(fromFile.IsValid());
    EXPECT_STREQ(fromFile.GetLastError(), "Error reading BMP info");
    std::fclose(fp);
    GwImage nothing(dir.File("absent.gif").c_str(), TypeGif);
    EXPECT_FALSE(nothing.IsValid());
}

// A 35-byte GIF whose logical screen is 65535 x 65535 pixels (two-colour table) around one
// 1 x 1 image: without a decode budget it costs gigabytes before its only pixel is read.
std::vector<uint8_t> ScreenBombGif() {
    return {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0,  // screen, 2 colours
            0, 0, 0, 255, 255, 255,                                             // global table
            0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,                                    // 1 x 1 image
            2, 2, 0x44, 0x01, 0, 0x3B};                                         // one pixel, end
}

// Restores the process-wide decode budget however the test ends.
struct BudgetGuard {
    ~BudgetGuard() { GwImage::SetMaxDecodePixels(0); }
};

TEST(FormatDispatchTest, DecodeBudgetRefusesOversizedPicturesInEveryReaderNamingTheSize) {
    BudgetGuard guard;
    ASSERT_EQ(GwImage::GetMaxDecodePixels(), uint64_t(1) << 28);

    // The bomb is refused at once, typed or detected, with the size in the message.
    std::vector<uint8_t> bomb = ScreenBombGif();
    for (DWORD type : {static_cast<DWORD>(TypeGif), static_cast<DWORD>(TypeAny)}) {
        SCOPED_TRACE(type);
        GwImage image;
        const std::clock_t start = std::clock();
        EXPECT_FALSE(image.Decode(bomb.data(), static_cast<DWORD>(bomb.size()), type));
        EXPECT_LT(std::clock() - start, CLOCKS_PER_SEC / 2);
        EXPECT_NE(std::string(image.GetLastError()).find("65535 x 65535 pixels exceeds the decode limit"),
                  std::string::npos)
            << image.GetLastError();
        EXPECT_FALSE(image.IsValid());
    }
    // Raised far enough, the same file reads (its one pixel on a huge screen is no longer
    // refused by the budget; a smaller screen keeps the test cheap).
    bomb[6] = bomb[8] = 200;
    bomb[7] = bomb[9] = 0;
    GwImage small;
    EXPECT_TRUE(small.Decode(bomb.data(), static_cast<DWORD>(bomb.size()), TypeGif)) << small.GetLastError();
    EXPECT_EQ(small.GetWidth(), 200u);

    // Lowered below a 6 x 4 picture, every reader refuses it; at its size, every reader takes it.
    GwImage sample = Sample();
    HANDLE dib = sample.CopyToHandle();
    ASSERT_NE(dib, nullptr);
    for (uint64_t limit : {uint64_t(23), uint64_t(24)}) {
        GwImage::SetMaxDecodePixels(limit);
        const bool fits = limit >= 24;
        for (DWORD type : {static_cast<DWORD>(TypeBmp), static_cast<DWORD>(TypeGif), static_cast<DWORD>(TypePng)}) {
            SCOPED_TRACE(std::to_string(type) + " limit " + std::to_string(limit));
            std::vector<uint8_t> file = EncodeAs(sample, type);
            for (DWORD as : {type, static_cast<DWORD>(TypeAny)}) {
                GwImage image;
                EXPECT_EQ(image.Decode(file.data(), static_cast<DWORD>(file.size()), as), fits) << image.GetLastError();
                if (!fits) {
                    EXPECT_STREQ(image.GetLastError(), "picture of 6 x 4 pixels exceeds the decode limit of 23 pixels");
                }
            }
        }
        GwImage fromHandle;
        EXPECT_EQ(fromHandle.CreateFromHANDLE(dib), fits) << fromHandle.GetLastError();
        BYTE* dump = nullptr;
        long size = 0;
        EXPECT_EQ(sample.Encode2RGBA(dump, size), fits);
        sample.FreeMemory(dump);
    }
    GlobalFree(dib);
    GwImage::SetMaxDecodePixels(0);
    EXPECT_EQ(GwImage::GetMaxDecodePixels(), GwImage::kDefaultMaxDecodePixels);
}

}  // namespace

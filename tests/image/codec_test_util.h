// Helpers shared by the codec tests: a stream that fills up, scratch directories, whole-file
// I/O, running the independent checkers (ImageMagick, Pillow) and images as top-down RGBA
// bytes, the layout those checkers print.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "image/gw_mem_file.h"

namespace codec_test {

// A stream that accepts only so many bytes, as a full disk would.
class ShortStream : public GwMemFile {
public:
    explicit ShortStream(size_t limit) : limit_(limit) { Open(); }
    size_t Write(const void* data, size_t size, size_t count) override {
        if (size * count > limit_) return 0;
        limit_ -= size * count;
        return GwMemFile::Write(data, size, count);
    }

private:
    size_t limit_;
};

// A directory removed with everything in it when the object goes.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& stem) {
        static int serial = 0;
        path_ = std::filesystem::path(::testing::TempDir()) /
                (stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs a shell command quietly; true when it exited with status 0.
inline bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The system's Python with Pillow (not whatever python3 comes first on PATH).
inline const char* Python() { return "/usr/bin/python3"; }

// ImageMagick's reading of a file as top-down 8-bit RGBA; empty when it could not read it.
inline std::vector<uint8_t> MagickRgba(const ScratchDir& dir, const std::string& path) {
    std::string raw = dir.File("magick.rgba");
    std::remove(raw.c_str());
    if (!Shell("convert " + Quote(path) + " -depth 8 rgba:" + Quote(raw))) return {};
    return ReadBytes(raw);
}

// Pillow's reading of a file as top-down 8-bit RGBA; empty when it could not read it.
inline std::vector<uint8_t> PillowRgba(const ScratchDir& dir, const std::string& path) {
    std::string raw = dir.File("pillow.rgba");
    std::remove(raw.c_str());
    std::string program = dir.File("pillow_rgba.py");
    std::string script =
        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
        "open(sys.argv[2], 'wb').write(im.convert('RGBA').tobytes())\n";
    WriteBytes(program, std::vector<uint8_t>(script.begin(), script.end()));
    if (!Shell(std::string(Python()) + " " + Quote(program) + " " + Quote(path) + " " + Quote(raw))) return {};
    return ReadBytes(raw);
}

// Our image as top-down RGBA; alpha is the alpha plane, or the palette's reserved byte when
// palette alpha is enabled, else 255.
inline std::vector<uint8_t> ImageRgba(const GwImage& image) {
    std::vector<uint8_t> out;
    long w = static_cast<long>(image.GetWidth()), h = static_cast<long>(image.GetHeight());
    out.reserve(static_cast<size_t>(w * h * 4));
    for (long row = 0; row < h; ++row) {
        for (long x = 0; x < w; ++x) {
            long y = h - 1 - row;
            RGBQUAD c = image.GetPixelColor(x, y, true);
            uint8_t a = 255;
            if (image.AlphaIsValid()) a = image.AlphaGet(x, y);
            else if (image.AlphaPaletteIsEnabled()) a = c.rgbReserved;
            else if (image.GetTransIndex() >= 0 && image.GetBpp() <= 8 &&
                     image.GetPixelIndex(x, y) == image.GetTransIndex())
                a = 0;
            out.push_back(c.rgbRed);
            out.push_back(c.rgbGreen);
            out.push_back(c.rgbBlue);
            out.push_back(a);
        }
    }
    return out;
}

// First pixel differing by more than tolerance in any channel, as "x,y: ours r g b a vs theirs r g b a", or "" when equal.
inline std::string FirstDifference(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& theirs, long width,
                                   bool compareAlpha = true, int tolerance = 0) {
    if (ours.size() != theirs.size())
        return "sizes differ: " + std::to_string(ours.size()) + " vs " + std::to_string(theirs.size());
    for (size_t i = 0; i < ours.size(); i += 4) {
        auto near = [&](size_t k) { return std::abs(int(ours[k]) - int(theirs[k])) <= tolerance; };
        bool same = near(i) && near(i + 1) && near(i + 2) && (!compareAlpha || near(i + 3));
        if (!same) {
            long p = static_cast<long>(i / 4);
            char text[160];
            std::snprintf(text, sizeof text, "pixel %ld,%ld (from top): ours %d %d %d %d vs theirs %d %d %d %d",
                          p % width, p / width, ours[i], ours[i + 1], ours[i + 2], ours[i + 3], theirs[i],
                          theirs[i + 1], theirs[i + 2], theirs[i + 3]);
            return text;
        }
    }
    return "";
}

struct Rgb {
    uint8_t r, g, b;
};

// A bitmap file or bare DIB described field by field, so tests can build the odd ones.
struct BmpSpec {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bpp = 8;
    uint32_t compression = 0;
    uint32_t headerSize = 40;  // 12 writes an OS/2 core header with 3-byte palette entries
    bool bare = false;         // no 14-byte file header
    std::vector<Rgb> palette;
    uint32_t colorsUsed = 0xFFFFFFFF;  // default: the palette's length
    std::vector<uint32_t> masks;       // after a 40-byte header, or inside a larger one
    int32_t pelsPerMeter = 0;
    std::vector<uint8_t> data;
};

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x);
    Put16(v, x >> 16);
}

inline std::vector<uint8_t> MakeBmp(const BmpSpec& s) {
    std::vector<uint8_t> info;
    bool core = s.headerSize == 12;
    Put32(info, s.headerSize);
    if (core) {
        Put16(info, static_cast<uint32_t>(s.width));
        Put16(info, static_cast<uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bpp);
    } else {
        Put32(info, static_cast<uint32_t>(s.width));
        Put32(info, static_cast<uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bpp);
        Put32(info, s.compression);
        Put32(info, static_cast<uint32_t>(s.data.size()));
        Put32(info, static_cast<uint32_t>(s.pelsPerMeter));
        Put32(info, static_cast<uint32_t>(s.pelsPerMeter));
        Put32(info, s.colorsUsed == 0xFFFFFFFF ? static_cast<uint32_t>(s.palette.size()) : s.colorsUsed);
        Put32(info, 0);
        if (s.headerSize > 40) {
            for (size_t i = 0; i < 3; ++i) Put32(info, i < s.masks.size() ? s.masks[i] : 0);
            info.resize(s.headerSize, 0);
        } else {
            for (uint32_t m : s.masks) Put32(info, m);
        }
    }
    for (const Rgb& c : s.palette) {
        info.push_back(c.b);
        info.push_back(c.g);
        info.push_back(c.r);
        if (!core) info.push_back(0);
    }
    std::vector<uint8_t> out;
    if (!s.bare) {
        out.push_back('B');
        out.push_back('M');
        Put32(out, static_cast<uint32_t>(14 + info.size() + s.data.size()));
        Put32(out, 0);
        Put32(out, static_cast<uint32_t>(14 + info.size()));
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), s.data.begin(), s.data.end());
    return out;
}

inline std::vector<Rgb> Grays(int n) {
    std::vector<Rgb> p;
    for (int i = 0; i < n; ++i) {
        uint8_t v = static_cast<uint8_t>(i * 255 / (n - 1));
        p.push_back({v, v, v});
    }
    return p;
}

}  // namespace codec_test

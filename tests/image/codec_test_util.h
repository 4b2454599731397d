// Helpers shared by the codec tests: scratch directories, whole-file I/O, running the
// independent checkers (ImageMagick, Pillow) and images as top-down RGBA bytes, the layout
// those checkers print.
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

namespace codec_test {

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
    std::string script = "import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                         "open(sys.argv[2], 'wb').write(im.convert('RGBA').tobytes())";
    if (!Shell(std::string(Python()) + " -c " + Quote(script) + " " + Quote(path) + " " + Quote(raw))) return {};
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

// First differing pixel as "x,y: ours r g b a vs theirs r g b a", or "" when equal.
inline std::string FirstDifference(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& theirs, long width,
                                   bool compareAlpha = true) {
    if (ours.size() != theirs.size())
        return "sizes differ: " + std::to_string(ours.size()) + " vs " + std::to_string(theirs.size());
    for (size_t i = 0; i < ours.size(); i += 4) {
        bool same = ours[i] == theirs[i] && ours[i + 1] == theirs[i + 1] && ours[i + 2] == theirs[i + 2] &&
                    (!compareAlpha || ours[i + 3] == theirs[i + 3]);
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

}  // namespace codec_test

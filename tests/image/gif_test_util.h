// Helpers shared by the GIF tests: encode to bytes, walk a file's blocks, and build GIF files
// by hand (header, colour tables, extensions, images with real LZW data, raw bytes).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "image/gif/gif_code_stream.h"
#include "image/gif/gif_lzw_encoder.h"
#include "image/gif/gw_image_gif.h"
#include "image/gw_mem_file.h"

namespace giftest {

// Exposes the decode settings a caller normally passes through the dispatcher.
class TestGif : public GwImageGIF {
public:
    using GwImageGIF::GwImageGIF;
    bool DecodeBytes(const std::vector<uint8_t>& bytes, long frame = 0, long escape = 0) {
        GwMemFile in(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
        SetFrame(frame);
        SetEscape(escape);
        return Decode(&in);
    }
};

inline std::vector<uint8_t> TakeBytes(GwMemFile& out) {
    const long n = out.Size();
    const BYTE* p = out.GetBuffer(false);
    return std::vector<uint8_t>(p, p + (n > 0 ? n : 0));
}

inline std::vector<uint8_t> EncodeBytes(GwImageGIF& gif) {
    GwMemFile out;
    out.Open();
    if (!gif.Encode(&out)) return {};
    return TakeBytes(out);
}

inline std::vector<uint8_t> EncodeAnimation(GwImageGIF& writer, std::vector<GwImage*> frames, bool local) {
    GwMemFile out;
    out.Open();
    if (!writer.Encode(&out, frames.data(), static_cast<int>(frames.size()), local)) return {};
    return TakeBytes(out);
}

// A palette image with pixels from a function of (x, row-from-top).
template <class F>
void Fill(GwImage& img, int w, int h, int bpp, F index) {
    img.Create(w, h, bpp, TypeGif);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.SetPixelIndex(x, h - 1 - y, static_cast<BYTE>(index(x, y)));
}

inline void SetColors(GwImage& img, const std::vector<uint32_t>& rgb) {
    for (size_t i = 0; i < rgb.size(); ++i)
        img.SetPaletteColor(static_cast<BYTE>(i), (rgb[i] >> 16) & 0xFF, (rgb[i] >> 8) & 0xFF, rgb[i] & 0xFF);
}

// Colour of a pixel counted from the top, as 0xRRGGBB.
inline uint32_t ColorAt(const GwImage& img, long x, long yFromTop) {
    const RGBQUAD c = img.GetPixelColor(x, static_cast<long>(img.GetHeight()) - 1 - yFromTop, false);
    return (uint32_t(c.rgbRed) << 16) | (uint32_t(c.rgbGreen) << 8) | c.rgbBlue;
}

inline int IndexAt(const GwImage& img, long x, long yFromTop) {
    return img.GetPixelIndex(x, static_cast<long>(img.GetHeight()) - 1 - yFromTop);
}

// One block of a GIF file as a reader meets it.
struct Block {
    int kind = 0;  // 0x21 extension, 0x2C image
    int label = 0;
    std::vector<std::vector<uint8_t>> subBlocks;
    int left = 0, top = 0, width = 0, height = 0, flags = 0;
    std::vector<uint8_t> localTable;
    int codeSize = 0;
};

struct File {
    bool ok = false;
    std::string signature;
    int width = 0, height = 0, flags = 0;
    std::vector<uint8_t> globalTable;
    std::vector<Block> blocks;
    bool trailer = false;
};

inline File Parse(const std::vector<uint8_t>& b) {
    File f;
    size_t i = 0;
    auto need = [&](size_t n) { return i + n <= b.size(); };
    if (!need(13)) return f;
    f.signature.assign(reinterpret_cast<const char*>(b.data()), 6);
    f.width = b[6] | (b[7] << 8);
    f.height = b[8] | (b[9] << 8);
    f.flags = b[10];
    i = 13;
    if (f.flags & 0x80) {
        const size_t n = size_t{3} << ((f.flags & 7) + 1);
        if (!need(n)) return f;
        f.globalTable.assign(b.begin() + i, b.begin() + i + n);
        i += n;
    }
    auto subBlocks = [&](Block& blk) {
        while (need(1)) {
            const size_t n = b[i++];
            if (n == 0) return true;
            if (!need(n)) return false;
            blk.subBlocks.emplace_back(b.begin() + i, b.begin() + i + n);
            i += n;
        }
        return false;
    };
    while (need(1)) {
        const int c = b[i++];
        if (c == 0x3B) {
            f.trailer = true;
            f.ok = i == b.size();
            return f;
        }
        Block blk;
        blk.kind = c;
        if (c == 0x21) {
            if (!need(1)) return f;
            blk.label = b[i++];
        } else if (c == 0x2C) {
            if (!need(10)) return f;
            blk.left = b[i] | (b[i + 1] << 8);
            blk.top = b[i + 2] | (b[i + 3] << 8);
            blk.width = b[i + 4] | (b[i + 5] << 8);
            blk.height = b[i + 6] | (b[i + 7] << 8);
            blk.flags = b[i + 8];
            i += 9;
            if (blk.flags & 0x80) {
                const size_t n = size_t{3} << ((blk.flags & 7) + 1);
                if (!need(n)) return f;
                blk.localTable.assign(b.begin() + i, b.begin() + i + n);
                i += n;
            }
            if (!need(1)) return f;
            blk.codeSize = b[i++];
        } else {
            return f;
        }
        if (!subBlocks(blk)) return f;
        f.blocks.push_back(blk);
    }
    return f;
}

// Builds GIF files block by block.
class Builder {
public:
    Builder(int w, int h, const std::vector<uint32_t>& global, const char* sig = "GIF89a") {
        Raw(sig);
        Word(w);
        Word(h);
        if (global.empty()) {
            Byte(0);
        } else {
            Byte(0x80 | TableBits(global.size()));
        }
        Byte(0);
        Byte(0);
        Table(global);
    }
    Builder& Gce(int disposal, int trans, int delay = 0) {
        Bytes({0x21, 0xF9, 4, static_cast<uint8_t>((disposal << 2) | (trans >= 0 ? 1 : 0)),
               static_cast<uint8_t>(delay & 0xFF), static_cast<uint8_t>(delay >> 8),
               static_cast<uint8_t>(trans >= 0 ? trans : 0), 0});
        return *this;
    }
    // Pixels in file order (rows from the top, or in interlace pass order when interlaced).
    Builder& Image(int left, int top, int w, int h, const std::vector<uint8_t>& pixels,
                   const std::vector<uint32_t>& local = {}, bool interlaced = false, int codeSize = 0) {
        Byte(0x2C);
        Word(left);
        Word(top);
        Word(w);
        Word(h);
        Byte((local.empty() ? 0 : 0x80 | TableBits(local.size())) | (interlaced ? 0x40 : 0));
        Table(local);
        if (codeSize == 0) {
            const size_t n = local.empty() ? globalCount_ : local.size();
            codeSize = 2;
            while ((size_t{1} << codeSize) < n) ++codeSize;
        }
        Byte(codeSize);
        gwgif::VectorSink sink;
        gwgif::VectorPixels src(pixels);
        gwgif::CompressLZW(codeSize + 1, src, sink);
        Bytes(sink.data);
        Byte(0);
        return *this;
    }
    Builder& Raw(const char* s) {
        bytes.insert(bytes.end(), s, s + std::strlen(s));
        return *this;
    }
    Builder& Bytes(const std::vector<uint8_t>& v) {
        bytes.insert(bytes.end(), v.begin(), v.end());
        return *this;
    }
    Builder& Byte(int v) {
        bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Builder& Word(int v) { return Byte(v & 0xFF).Byte((v >> 8) & 0xFF); }
    std::vector<uint8_t> Trailer() {
        Byte(0x3B);
        return bytes;
    }
    std::vector<uint8_t> bytes;

private:
    static int TableBits(size_t n) {
        int bits = 0;
        while ((size_t{2} << bits) < n) ++bits;
        return bits;
    }
    void Table(const std::vector<uint32_t>& t) {
        if (t.empty()) return;
        if (globalCount_ == 0) globalCount_ = t.size();
        const size_t n = size_t{2} << TableBits(t.size());
        for (size_t i = 0; i < n; ++i) {
            const uint32_t c = i < t.size() ? t[i] : 0;
            Byte((c >> 16) & 0xFF).Byte((c >> 8) & 0xFF).Byte(c & 0xFF);
        }
    }
    size_t globalCount_ = 0;
};

}  // namespace giftest

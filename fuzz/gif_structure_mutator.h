// A GIF-aware mutator for the GIF fuzzer. Byte-level mutation mostly breaks the sub-block
// chain or the LZW data, so the decoder's later stages (composition, disposal, colour tables,
// interlace, tiling) are seldom reached. This mutator splits the input into its blocks and
// changes one of them while keeping the file well-formed: it edits descriptor and screen
// fields, mutates a block's data and re-chunks it into valid sub-blocks, inserts freshly
// LZW-coded images and graphic control blocks, and duplicates, drops or swaps blocks. Inputs
// that do not parse as blocks get plain byte mutation.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "image/gif/gif_code_stream.h"
#include "image/gif/gif_lzw_encoder.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace gifmut {

struct Block {
    uint8_t kind = 0;             // 0x21 extension, 0x2C image, 0 raw tail bytes
    std::vector<uint8_t> head;    // label / descriptor + local table + code size
    std::vector<uint8_t> data;    // sub-block payload joined together
};

struct File {
    std::vector<uint8_t> header;  // 13 bytes + global table
    std::vector<Block> blocks;
    bool trailer = false;
};

inline bool Parse(const uint8_t* p, size_t n, File& f) {
    if (n < 13 || std::memcmp(p, "GIF8", 4) != 0) return false;
    size_t i = 13;
    if (p[10] & 0x80) i += size_t{3} << ((p[10] & 7) + 1);
    if (i > n) return false;
    f.header.assign(p, p + i);
    auto subBlocks = [&](Block& b) {
        while (i < n) {
            const size_t len = p[i++];
            if (len == 0) return true;
            if (i + len > n) return false;
            b.data.insert(b.data.end(), p + i, p + i + len);
            i += len;
        }
        return false;
    };
    while (i < n) {
        const uint8_t c = p[i];
        if (c == 0x3B) {
            f.trailer = true;
            ++i;
            break;
        }
        Block b;
        b.kind = c;
        if (c == 0x21) {
            if (i + 2 > n) return false;
            b.head.assign(p + i + 1, p + i + 2);
            i += 2;
        } else if (c == 0x2C) {
            if (i + 10 > n) return false;
            size_t end = i + 10;
            if (p[i + 9] & 0x80) end += size_t{3} << ((p[i + 9] & 7) + 1);
            if (end + 1 > n) return false;
            b.head.assign(p + i + 1, p + end + 1);
            i = end + 1;
        } else {
            return false;
        }
        if (!subBlocks(b)) return false;
        f.blocks.push_back(std::move(b));
    }
    if (i < n) {
        Block tail;
        tail.data.assign(p + i, p + n);
        f.blocks.push_back(std::move(tail));
    }
    return !f.blocks.empty() || f.trailer;
}

// Sub-blocks of random lengths; the reader must cope with any split.
inline void Chunk(const std::vector<uint8_t>& data, std::vector<uint8_t>& out, std::mt19937& rng) {
    size_t i = 0;
    const bool full = rng() % 2 == 0;
    while (i < data.size()) {
        size_t len = full ? 255 : 1 + rng() % 255;
        len = std::min(len, data.size() - i);
        out.push_back(static_cast<uint8_t>(len));
        out.insert(out.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + len));
        i += len;
    }
    out.push_back(0);
}

inline std::vector<uint8_t> Serialise(const File& f, std::mt19937& rng) {
    std::vector<uint8_t> out = f.header;
    for (const Block& b : f.blocks) {
        if (b.kind == 0) {
            out.insert(out.end(), b.data.begin(), b.data.end());
            continue;
        }
        out.push_back(b.kind);
        out.insert(out.end(), b.head.begin(), b.head.end());
        Chunk(b.data, out, rng);
    }
    if (f.trailer) out.push_back(0x3B);
    return out;
}

inline int Small(std::mt19937& rng, int screen) {
    switch (rng() % 4) {
        case 0: return static_cast<int>(rng() % 4);
        case 1: return static_cast<int>(rng() % 64);
        case 2: return screen + static_cast<int>(rng() % 3) - 1;
        default: return static_cast<int>(rng() % 300);
    }
}

inline void PutWord(uint8_t* p, int v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

inline int Word(const uint8_t* p) { return p[0] | (p[1] << 8); }

// A new image on the screen: random small geometry, flags and pixels, coded with valid LZW.
inline Block NewImage(std::mt19937& rng, int screenW, int screenH) {
    Block b;
    b.kind = 0x2C;
    const int w = 1 + static_cast<int>(rng() % std::max(1, std::min(screenW, 64)));
    const int h = 1 + static_cast<int>(rng() % std::max(1, std::min(screenH, 64)));
    const int left = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % static_cast<unsigned>(std::max(1, screenW - w + 1)));
    const int top = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % static_cast<unsigned>(std::max(1, screenH - h + 1)));
    const bool local = rng() % 3 == 0;
    const int tableBits = static_cast<int>(rng() % 8);
    uint8_t desc[9];
    PutWord(desc, left);
    PutWord(desc + 2, top);
    PutWord(desc + 4, w);
    PutWord(desc + 6, h);
    desc[8] = static_cast<uint8_t>((local ? 0x80 | tableBits : 0) | (rng() % 4 == 0 ? 0x40 : 0));
    b.head.assign(desc, desc + 9);
    if (local)
        for (int i = 0; i < (3 << (tableBits + 1)); ++i) b.head.push_back(static_cast<uint8_t>(rng()));
    const int codeSize = std::max(2, 1 + (local ? tableBits : static_cast<int>(rng() % 8)));
    b.head.push_back(static_cast<uint8_t>(codeSize));
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
    const unsigned colours = 1u << codeSize;
    const unsigned runs = 1 + rng() % 4;
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(rng() % runs == 0 ? rng() % colours : (i / (1 + rng() % 8)) % colours);
    if (rng() % 4 == 0) pixels.resize(rng() % (pixels.size() + 1));  // data that stops early
    gwgif::VectorSink sink;
    gwgif::VectorPixels src(pixels);
    gwgif::CompressLZW(codeSize + 1, src, sink);
    b.data = sink.data;
    return b;
}

inline Block NewControl(std::mt19937& rng) {
    Block b;
    b.kind = 0x21;
    b.head = {0xF9};
    const int disposal = static_cast<int>(rng() % 5);
    const bool trans = rng() % 2 == 0;
    b.data = {static_cast<uint8_t>((disposal << 2) | (trans ? 1 : 0)), static_cast<uint8_t>(rng() % 8), 0,
              static_cast<uint8_t>(rng() % 3 == 0 ? rng() : rng() % 4)};
    return b;
}

inline size_t Mutate(uint8_t* data, size_t size, size_t maxSize, unsigned seed) {
    std::mt19937 rng(seed);
    File f;
    // A third of the time plain byte mutation, which finds what no block-level edit makes.
    if (rng() % 3 == 0 || !Parse(data, size, f)) return LLVMFuzzerMutate(data, size, maxSize);
    const int screenW = Word(&f.header[6]);
    const int screenH = Word(&f.header[8]);
    std::vector<size_t> images;
    for (size_t i = 0; i < f.blocks.size(); ++i)
        if (f.blocks[i].kind == 0x2C) images.push_back(i);
    switch (rng() % 9) {
        case 0: {  // screen size and flags
            PutWord(&f.header[6], Small(rng, screenW));
            PutWord(&f.header[8], Small(rng, screenH));
            if (rng() % 2) f.header[11] = static_cast<uint8_t>(rng());
            break;
        }
        case 1: {  // an image's place, size or flags
            if (images.empty()) break;
            Block& b = f.blocks[images[rng() % images.size()]];
            const int field = static_cast<int>(rng() % 5);
            if (field < 4) {
                PutWord(&b.head[2 * field], Small(rng, field % 2 ? screenH : screenW));
            } else {
                const uint8_t old = b.head[8];
                b.head[8] = static_cast<uint8_t>((old & 0x80) | (rng() & 0x47));  // keep the table size honest
            }
            break;
        }
        case 2: {  // an image's code size
            if (images.empty()) break;
            Block& b = f.blocks[images[rng() % images.size()]];
            b.head.back() = static_cast<uint8_t>(rng() % 12);
            break;
        }
        case 3: {  // the payload of any block, re-chunked afterwards
            if (f.blocks.empty()) break;
            std::vector<uint8_t>& payload = f.blocks[rng() % f.blocks.size()].data;
            if (payload.empty()) payload.push_back(static_cast<uint8_t>(rng()));
            const size_t cap = std::max<size_t>(1, std::min<size_t>(maxSize, payload.size() * 2 + 64));
            const size_t n = std::min(payload.size(), cap);
            payload.resize(cap);
            payload.resize(LLVMFuzzerMutate(payload.data(), n, cap));
            break;
        }
        case 4:  // a new image
            f.blocks.insert(f.blocks.begin() + static_cast<long>(rng() % (f.blocks.size() + 1)),
                            NewImage(rng, std::max(1, screenW), std::max(1, screenH)));
            break;
        case 5:  // a graphic control block before a random place
            f.blocks.insert(f.blocks.begin() + static_cast<long>(rng() % (f.blocks.size() + 1)), NewControl(rng));
            break;
        case 6: {  // duplicate a block
            if (f.blocks.empty()) break;
            const Block copy = f.blocks[rng() % f.blocks.size()];
            f.blocks.insert(f.blocks.begin() + static_cast<long>(rng() % (f.blocks.size() + 1)), copy);
            break;
        }
        case 7: {  // drop a block
            if (f.blocks.empty()) break;
            f.blocks.erase(f.blocks.begin() + static_cast<long>(rng() % f.blocks.size()));
            break;
        }
        default: {  // swap two blocks, or toggle the trailer
            if (f.blocks.size() >= 2) {
                std::swap(f.blocks[rng() % f.blocks.size()], f.blocks[rng() % f.blocks.size()]);
            } else {
                f.trailer = !f.trailer;
            }
            break;
        }
    }
    std::vector<uint8_t> out = Serialise(f, rng);
    if (out.size() > maxSize) out.resize(maxSize);
    std::memcpy(data, out.data(), out.size());
    return out.size();
}

}  // namespace gifmut

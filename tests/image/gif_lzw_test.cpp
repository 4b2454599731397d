// The GIF coders and the LZW decoder core on plain byte buffers: every coder's output decodes
// back to the pixels, sub-blocks and code widths stay within the format's limits, and the
// decoder survives what corrupt data can say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "image/gif/gif_code_stream.h"
#include "image/gif/gif_interlace.h"
#include "image/gif/gif_lzw_decoder.h"
#include "image/gif/gif_lzw_encoder.h"
#include "image/gif/gif_rle_encoder.h"

using namespace gwgif;

namespace {

enum class Coder { Lzw, None, Rle };

struct CodeLog {
    std::vector<std::pair<int, int>> codes;  // code, width
    static void Record(void* self, int code, int width) {
        static_cast<CodeLog*>(self)->codes.emplace_back(code, width);
    }
};

// Encodes pixels with the coder, returns the code size byte followed by the sub-blocks and
// the 0 terminator: exactly what follows an image descriptor in a file.
std::vector<uint8_t> Encode(Coder coder, int codeSize, const std::vector<uint8_t>& px, CodeLog* log = nullptr) {
    VectorSink sink;
    VectorPixels src(px);
    CodeWriter w(sink, coder == Coder::Rle ? 255 : 254);
    if (log) {
        w.observe = &CodeLog::Record;
        w.observeContext = log;
    }
    bool ok = false;
    switch (coder) {
        case Coder::Lzw: ok = CompressLZW(codeSize + 1, src, sink, &w); break;
        case Coder::None: ok = CompressNone(codeSize + 1, src, sink, &w); break;
        case Coder::Rle: ok = CompressRLE(codeSize + 1, src, sink, &w); break;
    }
    EXPECT_TRUE(ok);
    std::vector<uint8_t> out;
    out.reserve(sink.data.size() + 2);
    out.push_back(static_cast<uint8_t>(codeSize));
    out.insert(out.end(), sink.data.begin(), sink.data.end());
    out.push_back(0);
    return out;
}

class Collect : public LineSink {
public:
    explicit Collect(size_t maxLines = SIZE_MAX) : maxLines_(maxLines) {}
    int PutLine(const uint8_t* p, int n) override {
        if (lines >= maxLines_) return -1;
        ++lines;
        pixels.insert(pixels.end(), p, p + n);
        return 0;
    }
    std::vector<uint8_t> pixels;
    size_t lines = 0;

private:
    size_t maxLines_;
};

// Sizes of the data sub-blocks after the code size byte; checks the chain is well formed.
std::vector<int> BlockSizes(const std::vector<uint8_t>& data) {
    std::vector<int> sizes;
    size_t i = 1;
    while (i < data.size()) {
        const int n = data[i];
        if (n == 0) {
            EXPECT_EQ(i + 1, data.size()) << "bytes after the terminator";
            break;
        }
        sizes.push_back(n);
        i += 1 + static_cast<size_t>(n);
    }
    EXPECT_LE(i + 1, data.size()) << "sub-block chain runs past the data";
    return sizes;
}

std::vector<uint8_t> Pattern(const std::string& kind, size_t n, int codeSize, unsigned seed) {
    std::mt19937 rng(seed);
    const int colours = 1 << codeSize;
    std::vector<uint8_t> px(n);
    size_t left = 0;
    uint8_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (kind == "random") px[i] = static_cast<uint8_t>(rng() % colours);
        else if (kind == "flat") px[i] = static_cast<uint8_t>(colours - 1);
        else if (kind == "ramp") px[i] = static_cast<uint8_t>(i % colours);
        else {  // runs of random lengths, including very long ones
            if (left == 0) {
                v = static_cast<uint8_t>(rng() % colours);
                left = 1 + rng() % (rng() % 8 == 0 ? 5000 : 40);
            }
            px[i] = v;
            --left;
        }
    }
    return px;
}

}  // namespace

TEST(GifCoders, EveryCoderRoundTripsThroughTheDecoderAtEveryDepth) {
    for (Coder coder : {Coder::Lzw, Coder::None, Coder::Rle}) {
        for (int codeSize : {2, 3, 4, 8}) {
            for (const char* kind : {"random", "flat", "ramp", "runs"}) {
                for (size_t n : {size_t{1}, size_t{7}, size_t{4099}, size_t{60000}}) {
                    const auto px = Pattern(kind, n, codeSize, static_cast<unsigned>(n + codeSize));
                    const auto data = Encode(coder, codeSize, px);
                    MemorySource src(data.data(), data.size());
                    Collect out;
                    const auto r = DecodeLzw(src, 97, out);
                    SCOPED_TRACE(::testing::Message() << "coder " << int(coder) << " size " << codeSize << " "
                                                      << kind << " n " << n);
                    EXPECT_EQ(0, r.status);
                    EXPECT_EQ(0, r.badCodes);
                    EXPECT_TRUE(r.sawEnd);
                    EXPECT_TRUE(r.terminatorRead);
                    EXPECT_EQ(data.size(), src.Position());
                    ASSERT_EQ(px, out.pixels);
                }
            }
        }
    }
}

TEST(GifCoders, SubBlocksAreAtMost254BytesForLzwAndUncompressedAnd255ForRunLength) {
    const auto noise = Pattern("random", 50000, 8, 1);
    for (Coder coder : {Coder::Lzw, Coder::None, Coder::Rle}) {
        const auto sizes = BlockSizes(Encode(coder, 8, noise));
        ASSERT_GT(sizes.size(), 2u);
        const int limit = coder == Coder::Rle ? 255 : 254;
        // Every block but the last is full; none is longer than the limit.
        for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(limit, sizes[i]) << "block " << i;
        EXPECT_LE(sizes.back(), limit);
    }
}

TEST(GifCoders, CodesNeverExceedTwelveBitsAndAFullTableIsCleared) {
    const auto noise = Pattern("random", 120000, 8, 7);
    for (Coder coder : {Coder::Lzw, Coder::None, Coder::Rle}) {
        CodeLog log;
        Encode(coder, 8, noise, &log);
        ASSERT_FALSE(log.codes.empty());
        EXPECT_EQ(std::make_pair(256, 9), log.codes.front()) << "starts with a clear at 9 bits";
        EXPECT_EQ(257, log.codes.back().first) << "ends with the end code";
        int maxWidth = 0, clears = 0, sinceClear = 0, longest = 0;
        for (const auto& [code, width] : log.codes) {
            maxWidth = std::max(maxWidth, width);
            if (code == 256) {
                ++clears;
                sinceClear = 0;
            } else {
                longest = std::max(longest, ++sinceClear);
            }
        }
        EXPECT_LE(maxWidth, 12);
        EXPECT_GT(clears, 1);
        // Between clears a decoder's table (258 + codes - 1 entries) never passes 4096.
        EXPECT_LE(258 + longest - 1, 4096);
    }
    // LZW on noise fills the table: it reaches 12 bits before clearing.
    CodeLog log;
    Encode(Coder::Lzw, 8, noise, &log);
    const auto clearAt12 = std::find(log.codes.begin() + 1, log.codes.end(), std::make_pair(256, 12));
    EXPECT_NE(log.codes.end(), clearAt12);
}

TEST(GifCoders, FirstCodesArePackedLeastSignificantBitFirstAtCodeSizePlusOne) {
    // 1-bit picture: code size 2, clear 4 at 3 bits, then 1, 0 (uncompressed keeps 3 bits).
    const auto data = Encode(Coder::None, 2, {1, 0});
    ASSERT_GE(data.size(), 4u);
    EXPECT_EQ(2, data[0]);
    // clear(100) | 1(001)<<3 | 0(000)<<6 | end 5(101)<<9 -> 0b0000_1010_0000_1100
    EXPECT_EQ(2, data[1]);
    EXPECT_EQ(0x0C, data[2]);
    EXPECT_EQ(0x0A, data[3]);
    EXPECT_EQ(0, data[4]);
}

TEST(GifCoders, RunLengthCoderSendsLongRunsInFewCodes) {
    const std::vector<uint8_t> flat(100000, 3);
    CodeLog log;
    const auto data = Encode(Coder::Rle, 4, flat, &log);
    // A run of n pixels costs about sqrt(2n) codes while the table builds up.
    EXPECT_LT(log.codes.size(), 600u);
    MemorySource src(data.data(), data.size());
    Collect out;
    DecodeLzw(src, 1000, out);
    EXPECT_EQ(flat, out.pixels);
}

TEST(GifCoders, TriangleCountIsTheSmallestTableCoveringTheRun) {
    const int64_t m = 4093 - 256;
    for (int64_t count = 1; count < 3000; ++count) {
        const int64_t n = RleTriangleCount(count, m);
        EXPECT_GE(n * (n + 1) / 2, count) << count;
        EXPECT_LT((n - 1) * n / 2, count) << count;
    }
    const int64_t full = m * (m + 1) / 2;
    EXPECT_EQ(m, RleTriangleCount(full, m));
    EXPECT_EQ(2 * m + 1, RleTriangleCount(2 * full + 1, m));
    EXPECT_EQ(0, RleTriangleCount(0, m));
}

TEST(GifDecoderCore, DecodesTheWellKnownTenByTenSample) {
    // The 10 x 10 four-colour sample picture used to teach the format (code size 2).
    const std::vector<uint8_t> data = {2,    22,   0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x75,
                                       0xEC, 0x95, 0xFA, 0xA8, 0xDE, 0x60, 0x8C, 0x04, 0x91, 0x4C, 0x01, 0};
    const char* expected[10] = {"1111122222", "1111122222", "1111122222", "1110000222", "1110000222",
                                "2220000111", "2220000111", "2222211111", "2222211111", "2222211111"};
    MemorySource src(data.data(), data.size());
    Collect out;
    const auto r = DecodeLzw(src, 10, out);
    EXPECT_EQ(0, r.status);
    ASSERT_EQ(100u, out.pixels.size());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(expected[y][x] - '0', out.pixels[y * 10 + x]) << x << "," << y;
}

TEST(GifDecoderCore, CodeSizesUpToElevenDecodeAndOthersDecodeNothing) {
    for (uint8_t size : {0, 1, 12, 255}) {
        const std::vector<uint8_t> data = {size, 2, 0x44, 0x01, 0};
        MemorySource src(data.data(), data.size());
        Collect out;
        EXPECT_EQ(-20, DecodeLzw(src, 4, out).status) << int(size);
        EXPECT_TRUE(out.pixels.empty());
    }
    // Other writers use minimum code sizes up to 11 (first codes 12 bits wide). Written as
    // root codes with a clear code often enough that the width never grows; values beyond
    // 255 come out as the out-of-range index.
    std::mt19937 rng(5);
    for (int size = 9; size <= 11; ++size) {
        SCOPED_TRACE(size);
        const int clear = 1 << size;
        VectorSink sink;
        CodeWriter w(sink, 255);
        std::vector<uint8_t> expected;
        for (int i = 0; i < 3000; ++i) {
            if (i % 200 == 0) w.Put(clear, size + 1);
            const int v = static_cast<int>(rng() % static_cast<unsigned>(clear));
            w.Put(v, size + 1);
            expected.push_back(static_cast<uint8_t>(v > 255 ? 7 : v));
        }
        w.Put(clear + 1, size + 1);
        w.Finish();
        std::vector<uint8_t> data = {static_cast<uint8_t>(size)};
        data.insert(data.end(), sink.data.begin(), sink.data.end());
        data.push_back(0);
        MemorySource src(data.data(), data.size());
        Collect out;
        const auto r = DecodeLzw(src, 100, out, true, 7);
        EXPECT_EQ(0, r.status);
        EXPECT_EQ(0, r.badCodes);
        EXPECT_EQ(expected, out.pixels);
        EXPECT_EQ(data.size(), src.Position());
    }
}

TEST(GifDecoderCore, StopsWhenRowsRunOutAndStillLeavesTheSourceAfterTheData) {
    const auto px = Pattern("random", 5000, 8, 3);
    auto data = Encode(Coder::Lzw, 8, px);
    data.push_back(0x3B);  // the next block
    MemorySource src(data.data(), data.size());
    Collect out(3);
    const auto r = DecodeLzw(src, 100, out);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(300u, out.pixels.size());
    EXPECT_EQ(data.size() - 1, src.Position());
}

TEST(GifDecoderCore, TruncatedDataEndsWithWhatWasDecoded) {
    const auto px = Pattern("random", 4000, 4, 5);
    const auto data = Encode(Coder::Lzw, 4, px);
    MemorySource src(data.data(), data.size() / 2);
    Collect out;
    const auto r = DecodeLzw(src, 50, out);
    EXPECT_EQ(-1, r.status);
    ASSERT_GT(out.pixels.size(), 100u);
    ASSERT_LT(out.pixels.size(), px.size());
    EXPECT_TRUE(std::equal(out.pixels.begin(), out.pixels.end(), px.begin()));
}

TEST(GifDecoderCore, CorruptCodesAreCountedAndNeverEscapeTheTables) {
    // Code size 2 then codes of 3 bits: clear, 7 (far beyond the next free slot 6).
    const std::vector<uint8_t> bad = {2, 1, 0x3C, 0};
    MemorySource src(bad.data(), bad.size());
    Collect out;
    const auto r = DecodeLzw(src, 4, out);
    EXPECT_GT(r.badCodes, 0);

    // Random garbage: always terminates, never hands out more rows than asked for.
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> junk(1 + rng() % 3000);
        for (auto& b : junk) b = static_cast<uint8_t>(rng());
        junk[0] = static_cast<uint8_t>(2 + rng() % 8);
        MemorySource s(junk.data(), junk.size());
        Collect lines(50);
        const auto res = DecodeLzw(s, 64, lines);
        EXPECT_LE(lines.lines, 51u);
        EXPECT_LE(s.Position(), junk.size());
        EXPECT_GE(res.badCodes, 0);
    }
}

TEST(GifRowOrder, InterlacedRowsComeInPassOrderAndCoverEveryRowOnce) {
    RowOrder ten(10, true);
    std::vector<int> order;
    for (int r; (r = ten.Next()) >= 0;) order.push_back(r);
    EXPECT_EQ((std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}), order);

    for (int h = 0; h <= 40; ++h) {
        for (bool interlaced : {false, true}) {
            RowOrder o(h, interlaced);
            std::vector<int> rows;
            for (int r; (r = o.Next()) >= 0;) rows.push_back(r);
            EXPECT_EQ(-1, o.Next());
            std::vector<int> sorted = rows;
            std::sort(sorted.begin(), sorted.end());
            std::vector<int> all(h);
            for (int i = 0; i < h; ++i) all[i] = i;
            EXPECT_EQ(all, sorted) << "height " << h;
            if (!interlaced) {
                EXPECT_EQ(all, rows);
            }
        }
    }
}

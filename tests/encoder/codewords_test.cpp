// Codeword assembly: terminator and padding, the standard's worked example, block split and
// interleaving for versions with one and with two block sizes, and the capacity check.
#include "encoder/codewords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "encoder/reed_solomon.h"
#include "encoder/settings.h"
#include "encoder/segments.h"
#include "encoder/tables.h"
#include "tests/encoder/trace_capture.h"

namespace {

std::unique_ptr<BitStream> StreamOfBytes(const std::vector<int>& bytes) {
    auto s = std::make_unique<BitStream>();
    BitStreamReset(s.get());
    for (int b : bytes) BitStreamAppend(s.get(), b, 8);
    return s;
}

std::vector<int32_t> Build(BitStream* s, int version, int level) {
    int32_t* cw = QRCodeCreateCodewords(s, version, level);
    if (!cw) return {};
    std::vector<int32_t> out(cw, cw + codewordCount);
    std::free(cw);
    return out;
}

TEST(CodewordsTest, WorkedExampleAtOneM) {
    auto s = std::make_unique<BitStream>();
    BitStreamReset(s.get());
    const int32_t digits[8] = {'0', '1', '2', '3', '4', '5', '6', '7'};
    QRCodeWriteNumeric(digits, 0, 8, 1, s.get());
    const std::vector<int32_t> cw = Build(s.get(), 1, QRCODE_LEVEL_M);
    const std::vector<int32_t> expected = {16,  32, 12,  86,  97,  128, 236, 17,  236, 17,  236, 17,  236,
                                           17,  236, 17, 165, 36,  212, 193, 237, 54,  199, 135, 44,  85};
    EXPECT_EQ(cw, expected);
    EXPECT_EQ(codewordCount, 26);
}

TEST(CodewordsTest, TerminatorShrinksWhenTheSymbolIsFull) {
    // 150 bits at 1-L (152 data bits): two terminator bits, no fill, no pad codeword.
    auto s = std::make_unique<BitStream>();
    BitStreamReset(s.get());
    for (int i = 0; i < 15; ++i) BitStreamAppend(s.get(), 0x3FF, 10);
    const std::vector<int32_t> cw = Build(s.get(), 1, QRCODE_LEVEL_L);
    ASSERT_EQ(cw.size(), 26u);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(cw[i], 0xFF) << i;
    EXPECT_EQ(cw[18], 0xFC);

    // 12 bits at 1-H: four terminator bits make two codewords, then seven pad codewords.
    BitStreamReset(s.get());
    BitStreamAppend(s.get(), 0xABC, 12);
    const std::vector<int32_t> h = Build(s.get(), 1, QRCODE_LEVEL_H);
    const std::vector<int32_t> data(h.begin(), h.begin() + 9);
    EXPECT_EQ(data, (std::vector<int32_t>{0xAB, 0xC0, 236, 17, 236, 17, 236, 17, 236}));

    // A stream that is not on a byte boundary is filled with zero bits.
    BitStreamReset(s.get());
    BitStreamAppend(s.get(), 0x7, 3);
    EXPECT_EQ(Build(s.get(), 1, QRCODE_LEVEL_H)[0], 0xE0);
}

TEST(CodewordsTest, SingleBlockIsDataThenErrorCorrection) {
    std::vector<int> bytes;
    for (int i = 0; i < 34; ++i) bytes.push_back(i * 7 + 3);
    auto s = StreamOfBytes(bytes);
    const std::vector<int32_t> cw = Build(s.get(), 2, QRCODE_LEVEL_L);
    ASSERT_EQ(cw.size(), 44u);
    std::vector<int32_t> block(bytes.begin(), bytes.end());
    block.resize(44);
    RSCodec codec;
    RSCodecInit(&codec);
    RSEncodeBlock(&codec, block.data(), 34, 10);
    EXPECT_EQ(cw, block);
}

// Interleaving is checked against blocks cut and encoded here from the table rows.
void ExpectInterleaved(int version, int level) {
    const int dataCount = QRCodeDataCodewords(version, level);
    std::vector<int> bytes;
    for (int i = 0; i < dataCount; ++i) bytes.push_back((i * 37 + 11) & 0xFF);
    auto s = StreamOfBytes(bytes);
    const std::vector<int32_t> cw = Build(s.get(), version, level);
    ASSERT_EQ(static_cast<int>(cw.size()), QRCodeTotalCodewords(version));

    std::vector<std::vector<int32_t>> data, ec;
    int next = 0;
    RSCodec codec;
    RSCodecInit(&codec);
    for (int r = 0; r < BlockEntryCount(version); ++r) {
        const int32_t* row = QRCodeBlockRow(version, r);
        if (row[QRCODE_EB_BLOCKS] == 0 || row[QRCODE_EB_LEVEL] != level) continue;
        const int k = row[QRCODE_EB_BLOCK_DATA], n = row[QRCODE_EB_BLOCK_CODEWORDS] - k;
        for (int b = 0; b < row[QRCODE_EB_BLOCKS]; ++b) {
            std::vector<int32_t> block(bytes.begin() + next, bytes.begin() + next + k);
            next += k;
            block.resize(k + n);
            RSEncodeBlock(&codec, block.data(), k, n);
            data.emplace_back(block.begin(), block.begin() + k);
            ec.emplace_back(block.begin() + k, block.end());
        }
    }
    std::vector<int32_t> expected;
    for (const auto* part : {&data, &ec}) {
        size_t longest = 0;
        for (const auto& b : *part) longest = std::max(longest, b.size());
        for (size_t t = 0; t < longest; ++t)
            for (const auto& b : *part)
                if (t < b.size()) expected.push_back(b[t]);
    }
    EXPECT_EQ(cw, expected);
}

TEST(CodewordsTest, TwoBlockSizesInterleaveShorterBlocksFirst) {
    // 5-Q: blocks of 15, 15, 16 and 16 data codewords, 18 error-correction codewords each.
    ExpectInterleaved(5, QRCODE_LEVEL_Q);
    std::vector<int> bytes;
    for (int i = 0; i < 62; ++i) bytes.push_back(i);
    auto s = StreamOfBytes(bytes);
    const std::vector<int32_t> cw = Build(s.get(), 5, QRCODE_LEVEL_Q);
    ASSERT_EQ(cw.size(), 134u);
    EXPECT_EQ((std::vector<int32_t>(cw.begin(), cw.begin() + 4)), (std::vector<int32_t>{0, 15, 30, 46}));
    // The data part ends with codeword 15 of the third and of the fourth block.
    EXPECT_EQ(cw[60], 45);
    EXPECT_EQ(cw[61], 61);
}

TEST(CodewordsTest, InterleavingAcrossVersionsAndLevels) {
    for (int version : {1, 7, 10, 22, 36, 40})
        for (int level = 0; level < 4; ++level) {
            SCOPED_TRACE(testing::Message() << version << "-" << level);
            ExpectInterleaved(version, level);
        }
    // 40-H: 81 blocks, 3706 codewords.
    EXPECT_EQ(codewordCount, 3706);
}

TEST(CodewordsTest, TooManyCodewordsFails) {
    TraceCapture trace;
    std::vector<int> bytes(20, 0x41);
    auto s = StreamOfBytes(bytes);  // 20 bytes into the 9 data codewords of 1-H
    EXPECT_EQ(QRCodeCreateCodewords(s.get(), 1, QRCODE_LEVEL_H), nullptr);
    EXPECT_EQ(trace.Text(), "Too many codewords\n");

    // Exactly full is fine: 9 bytes at 1-H.
    auto full = StreamOfBytes(std::vector<int>(9, 0x41));
    int32_t* cw = QRCodeCreateCodewords(full.get(), 1, QRCODE_LEVEL_H);
    EXPECT_NE(cw, nullptr);
    std::free(cw);
}

TEST(CodewordsTest, BadArgumentsAndOverflowedStreamsFail) {
    TraceCapture trace;
    auto s = StreamOfBytes({1, 2, 3});
    EXPECT_EQ(QRCodeCreateCodewords(s.get(), 1, 4), nullptr);
    EXPECT_EQ(QRCodeCreateCodewords(s.get(), 1, -1), nullptr);
    EXPECT_EQ(QRCodeCreateCodewords(s.get(), 0, 0), nullptr);
    EXPECT_EQ(QRCodeCreateCodewords(s.get(), 41, 0), nullptr);
    EXPECT_EQ(trace.Text(), "");
    s->overflow = 1;
    EXPECT_EQ(QRCodeCreateCodewords(s.get(), 40, 0), nullptr);
    EXPECT_EQ(trace.Text(), "Too many codewords\n");
}

}  // namespace

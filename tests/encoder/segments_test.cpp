// The segment writers: exact bits for the standard's examples, which characters each writer
// takes, and the count widths by version group.
#include "encoder/segments.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<int32_t> Values(const std::string& text) {
    std::vector<int32_t> v;
    for (unsigned char c : text) v.push_back(c);
    return v;
}

struct Written {
    std::string bits;
    int32_t end;
};

template <typename Writer>
Written Write(Writer writer, const std::vector<int32_t>& values, int version = 1, int32_t p = 0, int32_t n = -1) {
    auto s = std::make_unique<BitStream>();
    BitStreamReset(s.get());
    if (n < 0) n = static_cast<int32_t>(values.size()) - p;
    const int32_t end = writer(values.data(), p, n, version, s.get());
    return {std::string(s->bits, static_cast<size_t>(s->count)), end};
}

std::string Bin(uint32_t value, int width) {
    std::string s;
    for (int i = width - 1; i >= 0; --i) s += ((value >> i) & 1) ? '1' : '0';
    return s;
}

TEST(SegmentsTest, NumericPacksGroupsOfThree) {
    const Written w = Write(QRCodeWriteNumeric, Values("01234567"));
    EXPECT_EQ(w.bits, "0001" "0000001000" "0000001100" "0101011001" "1000011");
    EXPECT_EQ(w.end, 8);
    // A final single digit takes 4 bits.
    EXPECT_EQ(Write(QRCodeWriteNumeric, Values("1234")).bits, "0001" + Bin(4, 10) + Bin(123, 10) + Bin(4, 4));
}

TEST(SegmentsTest, NumericAndAlphanumericTakeOnlyTheirLeadingRun) {
    const Written numeric = Write(QRCodeWriteNumeric, Values("123A45"));
    EXPECT_EQ(numeric.end, 3);
    EXPECT_EQ(numeric.bits, "0001" + Bin(3, 10) + Bin(123, 10));

    const Written alpha = Write(QRCodeWriteAlphanumeric, Values("AB-c9"));
    EXPECT_EQ(alpha.end, 3);
    EXPECT_EQ(alpha.bits.substr(4, 9), Bin(3, 9));

    // At most n values are taken, starting at p.
    const Written middle = Write(QRCodeWriteNumeric, Values("x98765"), 1, 1, 2);
    EXPECT_EQ(middle.end, 3);
    EXPECT_EQ(middle.bits, "0001" + Bin(2, 10) + Bin(98, 7));
}

TEST(SegmentsTest, AlphanumericPacksPairs) {
    const Written w = Write(QRCodeWriteAlphanumeric, Values("AC-42"));
    EXPECT_EQ(w.bits, "0010" "000000101" "00111001110" "11100111001" "000010");
    EXPECT_EQ(w.end, 5);
    // Space is 36, S is 28.
    EXPECT_EQ(Write(QRCodeWriteAlphanumeric, Values("A BS")).bits,
              "0010" + Bin(4, 9) + Bin(10 * 45 + 36, 11) + Bin(11 * 45 + 28, 11));
}

TEST(SegmentsTest, AlphanumericTableHoldsTheFortyFiveCharacters) {
    std::set<int32_t> seen;
    for (const auto& entry : AlphanumericTable) {
        const int32_t value = QRCodeAlphanumericValue(static_cast<unsigned char>(entry.character));
        EXPECT_GE(value, 0);
        EXPECT_LE(value, 44);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 45u);
    EXPECT_EQ(QRCodeAlphanumericValue('$'), 37);
    EXPECT_EQ(QRCodeAlphanumericValue(':'), 44);
    for (int32_t c : std::initializer_list<int32_t>{'a', 'z', '#', '@', 0, 0x80, 0xFF, 0x935F, -1}) EXPECT_EQ(QRCodeAlphanumericValue(c), -1) << c;
}

TEST(SegmentsTest, ByteWritesEveryValueAsItsLowByte) {
    std::vector<int32_t> values;
    for (int32_t c = 0x80; c <= 0xFF; ++c) values.push_back(c);
    values.push_back('a');
    const Written w = Write(QRCodeWriteByte, values);
    ASSERT_EQ(w.end, 129);
    EXPECT_EQ(w.bits.substr(0, 12), "0100" + Bin(129, 8));
    for (size_t i = 0; i < values.size(); ++i) ASSERT_EQ(w.bits.substr(12 + 8 * i, 8), Bin(values[i], 8)) << i;
    // 16-bit counts from version 10 on.
    EXPECT_EQ(Write(QRCodeWriteByte, values, 10).bits.substr(0, 20), "0100" + Bin(129, 16));
}

TEST(SegmentsTest, KanjiCompactsEachCharacterInto13Bits) {
    const Written w = Write(QRCodeWriteKanji, {0x935F, 0xE4AA, 0x4123});
    EXPECT_EQ(w.end, 2);  // 0x4123 is not a kanji value
    EXPECT_EQ(w.bits, "1000" + Bin(2, 8) + Bin(0xD9F, 13) + Bin(0x1AAA, 13));
    // The edges of both ranges.
    const Written edges = Write(QRCodeWriteKanji, {0x8140, 0x9FFC, 0xE040, 0xEBBF, 0xA000});
    EXPECT_EQ(edges.end, 4);
    EXPECT_EQ(edges.bits.substr(12), Bin(0, 13) + Bin(0x1E * 0xC0 + 0xBC, 13) + Bin(0x1F * 0xC0, 13) +
                                         Bin(0x2A * 0xC0 + 0x7F, 13));
}

TEST(SegmentsTest, CountWidthsChangeWithTheVersionGroup) {
    const int expected[3][4] = {{10, 9, 8, 8}, {12, 11, 16, 10}, {14, 13, 16, 12}};
    const int firsts[3] = {1, 10, 27}, lasts[3] = {9, 26, 40};
    for (int g = 0; g < 3; ++g) {
        for (int mode = 1; mode <= 4; ++mode) {
            EXPECT_EQ(QRCodeCountBits(mode, firsts[g]), expected[g][mode - 1]);
            EXPECT_EQ(QRCodeCountBits(mode, lasts[g]), expected[g][mode - 1]);
        }
    }
    EXPECT_EQ(QRCodeCountBits(0, 1), 0);
    EXPECT_EQ(QRCodeCountBits(5, 1), 0);
    EXPECT_EQ(QRCodeCountBits(1, 0), 0);
    EXPECT_EQ(QRCodeCountBits(1, 41), 0);
}

}  // namespace

// The bit stream: bit order on the way in and out, and its fixed capacity.
#include "encoder/bit_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string Bits(const BitStream& s) { return std::string(s.bits + s.head, static_cast<size_t>(s.count)); }

std::unique_ptr<BitStream> Fresh() {
    auto s = std::make_unique<BitStream>();
    BitStreamReset(s.get());
    return s;
}

TEST(BitStreamTest, AppendsMostSignificantBitFirst) {
    auto s = Fresh();
    EXPECT_TRUE(BitStreamAppend(s.get(), 0x5, 4));
    EXPECT_TRUE(BitStreamAppend(s.get(), 0xFFFF, 0));  // width 0 appends nothing
    EXPECT_TRUE(BitStreamAppend(s.get(), 0x1F3, 3));   // only the low bits count
    EXPECT_TRUE(BitStreamAppend(s.get(), -2, 5));      // two's complement
    EXPECT_EQ(Bits(*s), "010101111110");
    EXPECT_EQ(s->bits[s->count], '#');
    EXPECT_TRUE(BitStreamAppend(s.get(), 0x80000001u, 32));
    EXPECT_EQ(Bits(*s).substr(12), "10000000000000000000000000000001");
}

TEST(BitStreamTest, TakeReturnsTheFrontBitsInOrder) {
    auto s = Fresh();
    BitStreamAppend(s.get(), 0xA5, 8);
    BitStreamAppend(s.get(), 0x3C, 8);
    BitStreamAppend(s.get(), 0x1, 3);
    EXPECT_EQ(BitStreamTake(s.get(), 8), 0xA5u);
    EXPECT_EQ(BitStreamTake(s.get(), 4), 0x3u);
    EXPECT_EQ(s->count, 7);
    EXPECT_EQ(BitStreamTake(s.get(), 4), 0xCu);
    // Only 3 bits left: the missing ones read as zero.
    EXPECT_EQ(BitStreamTake(s.get(), 8), 0x20u);
    EXPECT_EQ(s->count, 0);
    EXPECT_EQ(BitStreamTake(s.get(), 32), 0u);
}

TEST(BitStreamTest, CapacityIsEnforced) {
    auto s = Fresh();
    for (int i = 0; i < QRCODE_BITSTREAM_CAPACITY / 30; ++i) ASSERT_TRUE(BitStreamAppend(s.get(), 0x2AAAAAAA, 30));
    EXPECT_EQ(s->count, QRCODE_BITSTREAM_CAPACITY);
    EXPECT_EQ(s->overflow, 0);
    EXPECT_FALSE(BitStreamAppend(s.get(), 1, 1));
    EXPECT_EQ(s->count, QRCODE_BITSTREAM_CAPACITY);
    EXPECT_EQ(s->overflow, 1);

    // Taking bits does not make room for more: the stream is built once per pass.
    BitStreamTake(s.get(), 8);
    EXPECT_FALSE(BitStreamAppend(s.get(), 1, 1));

    BitStreamReset(s.get());
    EXPECT_EQ(s->overflow, 0);
    EXPECT_EQ(s->count, 0);
    EXPECT_FALSE(BitStreamAppend(s.get(), 1, 33));
    EXPECT_FALSE(BitStreamAppend(s.get(), 1, -1));
    EXPECT_EQ(s->count, 0);
    EXPECT_EQ(s->overflow, 1);
}

TEST(BitStreamTest, EveryWidthAppendsItsLowBitsInOrder) {
    auto s = Fresh();
    std::string expected;
    uint64_t x = 88172645463325252ull;
    for (int i = 0; i < 1000; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        const int width = i % 33;
        const int64_t value = static_cast<int64_t>(x);
        ASSERT_TRUE(BitStreamAppend(s.get(), value, width));
        for (int b = width - 1; b >= 0; --b) expected += ((x >> b) & 1) ? '1' : '0';
    }
    EXPECT_EQ(Bits(*s), expected);
    EXPECT_EQ(s->bits[s->count], '#');
}

TEST(BitStreamTest, ReadsOnlyTheCharacterOneAsASetBit) {
    // Bytes that share bits with '1' ('#', '0', '1' with its top bit set, '3') must read as 0
    // wherever they stand in an eight-character group.
    const char kAlphabet[] = {'1', '0', '#', '3', static_cast<char>(0xB1), '\0', '1', 'q'};
    uint32_t x = 12345;
    for (int trial = 0; trial < 2000; ++trial) {
        char text[32];
        uint32_t expected = 0;
        const int width = 1 + trial % 32;
        for (int i = 0; i < width; ++i) {
            x = x * 1103515245u + 12345u;
            text[i] = kAlphabet[(x >> 16) % 8];
            expected = (expected << 1) | (text[i] == '1' ? 1u : 0u);
        }
        ASSERT_EQ(BitsToInt(text, width), expected) << std::string(text, static_cast<size_t>(width));
    }
}

TEST(BitStreamTest, RewindEqualsAFreshReset) {
    auto s = Fresh();
    for (int i = 0; i < 300; ++i) BitStreamAppend(s.get(), i * 2654435761u, 1 + i % 32);
    BitStreamTake(s.get(), 24);
    BitStreamAppend(s.get(), 1, 33);  // fails: the overflow mark must go too
    BitStreamRewind(s.get());
    auto fresh = Fresh();
    EXPECT_EQ(std::string(s->bits, sizeof s->bits), std::string(fresh->bits, sizeof fresh->bits));
    EXPECT_EQ(s->count, 0);
    EXPECT_EQ(s->head, 0);
    EXPECT_EQ(s->overflow, 0);
    // A full stream rewinds completely as well.
    for (int i = 0; i < QRCODE_BITSTREAM_CAPACITY / 32; ++i) BitStreamAppend(s.get(), -1, 32);
    BitStreamRewind(s.get());
    EXPECT_EQ(std::string(s->bits, sizeof s->bits), std::string(fresh->bits, sizeof fresh->bits));
}

}  // namespace

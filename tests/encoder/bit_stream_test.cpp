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

}  // namespace

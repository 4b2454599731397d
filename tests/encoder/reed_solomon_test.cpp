// Reed-Solomon: the field tables, the generators, and block encoding checked against an
// independent shift-and-add field and a plain polynomial long division written here.
#include "encoder/reed_solomon.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Carry-less multiplication reduced by x^8 + x^4 + x^3 + x^2 + 1, without any table.
int SlowMultiply(int a, int b) {
    int product = 0;
    while (b) {
        if (b & 1) product ^= a;
        b >>= 1;
        a <<= 1;
        if (a & 0x100) a ^= 0x11D;
    }
    return product;
}

int SlowPower(int exponent) {
    int x = 1;
    for (int i = 0; i < exponent; ++i) x = SlowMultiply(x, 2);
    return x;
}

// g(x) with its leading 1, highest degree first.
std::vector<int> SlowGenerator(int n) {
    std::vector<int> g = {1};
    for (int i = 0; i < n; ++i) {
        std::vector<int> next(g.size() + 1, 0);
        const int root = SlowPower(i);
        for (size_t j = 0; j < g.size(); ++j) {
            next[j] ^= g[j];
            next[j + 1] ^= SlowMultiply(g[j], root);
        }
        g = next;
    }
    return g;
}

// Remainder of data(x) * x^n divided by g(x), highest degree first.
std::vector<int> SlowRemainder(const std::vector<int>& data, int n) {
    const std::vector<int> g = SlowGenerator(n);
    std::vector<int> r(data);
    r.resize(data.size() + n, 0);
    for (size_t i = 0; i < data.size(); ++i) {
        const int factor = r[i];
        if (!factor) continue;
        for (size_t j = 0; j < g.size(); ++j) r[i + j] ^= SlowMultiply(g[j], factor);
    }
    return std::vector<int>(r.end() - n, r.end());
}

TEST(ReedSolomonTest, FieldTables) {
    const int expStart[10] = {1, 2, 4, 8, 16, 32, 64, 128, 29, 58};
    const int logStart[10] = {0, 0, 1, 25, 2, 50, 26, 198, 3, 223};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(GFExp[i], expStart[i]);
        EXPECT_EQ(GFLog[i], logStart[i]);
    }
    EXPECT_EQ(GFExp[255], 1);
    for (int i = 0; i < 255; ++i) {
        ASSERT_EQ(GFExp[i], SlowPower(i)) << i;
        ASSERT_EQ(GFLog[GFExp[i]], i) << i;
    }
    RSCodec codec;
    RSCodecInit(&codec);
    EXPECT_EQ(codec.fieldOrder, 255);
    for (int a = 0; a < 256; a += 7)
        for (int b = 0; b < 256; ++b) ASSERT_EQ(GFMultiply(&codec, a, b), SlowMultiply(a, b)) << a << "*" << b;
}

TEST(ReedSolomonTest, GeneratorPolynomials) {
    const int g7[7] = {127, 122, 154, 164, 11, 68, 117};
    const int g10[5] = {216, 194, 159, 111, 199};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(GeneratorPolynomials[0][i], g7[i]);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(GeneratorPolynomials[1][i], g10[i]);
    for (int r = 0; r < QRCODE_GENERATOR_COUNT; ++r) {
        const int n = GeneratorDegrees[r];
        const std::vector<int> slow = SlowGenerator(n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(GeneratorPolynomials[r][i], slow[i + 1]) << "degree " << n;
    }
    RSCodec codec;
    RSCodecInit(&codec);
    RSSelectGenerator(&codec, 13);
    EXPECT_EQ(codec.degree, 13);
    RSSelectGenerator(&codec, 12);  // no generator of degree 12: the largest is chosen
    EXPECT_EQ(codec.degree, 68);
}

TEST(ReedSolomonTest, BlocksMatchAnIndependentDivision) {
    std::mt19937 random(18004);
    RSCodec codec;
    RSCodecInit(&codec);
    // Twice over: a generator divides its first few hundred codewords a product at a time and
    // the rest through its table of products, and both ways must give the same remainders.
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < QRCODE_GENERATOR_COUNT; ++r) {
            const int n = GeneratorDegrees[r];
            for (int k : {1, 9, 19, 123, 150}) {
                // The longest blocks mostly zero: a zero step leaves the remainder only shifted,
                // which must still come out right however many follow one another.
                std::vector<int> data(k);
                for (int& d : data) d = k < 150 || random() % 4 == 0 ? static_cast<int>(random() % 256) : 0;
                std::vector<int32_t> block(data.begin(), data.end());
                block.resize(k + n, -7);
                ASSERT_TRUE(RSEncodeBlock(&codec, block.data(), k, n));
                const std::vector<int> expected = SlowRemainder(data, n);
                for (int j = 0; j < n; ++j) ASSERT_EQ(block[k + j], expected[j]) << "n " << n << " k " << k;
                // A codeword of the code vanishes at every root of the generator.
                for (int root = 0; root < n; ++root) {
                    int value = 0;
                    for (int32_t c : block) value = SlowMultiply(value, SlowPower(root)) ^ c;
                    ASSERT_EQ(value, 0) << "n " << n << " root " << root;
                }
            }
        }
    }
    // A symbol's blocks divided together, as many as a group takes and more, the longer blocks
    // (one codeword more) after the shorter or mixed in.
    for (int r = 0; r < QRCODE_GENERATOR_COUNT; ++r) {
        const int n = GeneratorDegrees[r];
        for (const std::vector<int32_t>& k : std::vector<std::vector<int32_t>>{
                 {13}, {15, 16}, {0, 1}, {7, 7, 8}, {20, 20, 21, 21, 21}, {54, 55, 54, 55, 54, 55, 54, 55, 55}}) {
            std::vector<uint8_t> data, ec(k.size() * n, 0xA5);
            for (int32_t length : k)
                for (int32_t i = 0; i < length; ++i) data.push_back(static_cast<uint8_t>(random() % 256));
            ASSERT_TRUE(RSEncodeByteBlocks(data.data(), k.data(), static_cast<int32_t>(k.size()), n, ec.data()));
            size_t at = 0;
            for (size_t b = 0; b < k.size(); ++b) {
                const std::vector<int> expected = SlowRemainder(std::vector<int>(data.begin() + at, data.begin() + at + k[b]), n);
                at += k[b];
                for (int j = 0; j < n; ++j) ASSERT_EQ(ec[b * n + j], expected[j]) << "n " << n << " block " << b;
            }
        }
    }
}

TEST(ReedSolomonTest, RefusesCountsWithoutAGenerator) {
    RSCodec codec;
    RSCodecInit(&codec);
    int32_t block[80] = {1, 2, 3};
    for (int n : {0, 12, 69, -3}) {
        block[3] = 99;
        EXPECT_FALSE(RSEncodeBlock(&codec, block, 3, n));
        EXPECT_EQ(block[3], 99);
    }
    EXPECT_FALSE(RSEncodeBlock(&codec, block, -1, 7));
}

}  // namespace

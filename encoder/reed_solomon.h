// Reed-Solomon error correction over GF(256) with the primitive polynomial 0x11D and
// alpha = 2: the field tables, the generator polynomials of every error-correction codeword
// count a block can have, and the encoder of one block.
#pragma once

#include <cstdint>

constexpr int32_t QRCODE_GF_ORDER = 255;
constexpr int32_t QRCODE_GENERATOR_COUNT = 31;
constexpr int32_t QRCODE_MAX_GENERATOR_DEGREE = 68;

// GFExp[i] = alpha^i for i = 0..254, and GFExp[255] = 1.
extern const int32_t (&GFExp)[256];
// GFLog[x] = i with alpha^i = x, for x = 1..255; GFLog[0] = 0 and is never used.
extern const int32_t (&GFLog)[256];

// The error-correction codeword counts that have a generator, ascending.
extern const int32_t (&GeneratorDegrees)[QRCODE_GENERATOR_COUNT];
// Row r: the coefficients of g(x) = (x - alpha^0)...(x - alpha^(n-1)) below its leading 1,
// n = GeneratorDegrees[r], from x^(n-1) down to x^0, as field elements; unused entries are 0.
extern const int32_t (&GeneratorPolynomials)[QRCODE_GENERATOR_COUNT][QRCODE_MAX_GENERATOR_DEGREE];

struct RSCodec {
    int32_t fieldOrder;        // 255
    const int32_t* generator;  // selected row of GeneratorPolynomials, or null
    int32_t degree;            // its error-correction codeword count
};

void RSCodecInit(RSCodec* codec);

// Selects the generator for n error-correction codewords; a count without a generator
// selects the one for 68.
void RSSelectGenerator(RSCodec* codec, int32_t n);

// Product of two field elements (0..255).
int32_t GFMultiply(const RSCodec* codec, int32_t a, int32_t b);

// block holds k data codewords followed by room for n more; writes the n error-correction
// codewords (the remainder of d(x) * x^n divided by g(x), highest degree first) after the
// data. Returns false and writes nothing when n has no generator or k is negative.
bool RSEncodeBlock(RSCodec* codec, int32_t* block, int32_t k, int32_t n);

// RSEncodeBlock for a block of bytes: the n error-correction codewords of data[0..k-1] go to
// ec[0..n-1]. False, writing nothing, when n has no generator or k is negative.
bool RSEncodeBytes(const uint8_t* data, int32_t k, int32_t n, uint8_t* ec);

// RSEncodeBytes for `count` blocks with n error-correction codewords each, lying one after another:
// block b's k[b] data codewords follow block b - 1's in data, its error correction follows block
// b - 1's in ec. The blocks are divided side by side where the processor allows, which takes a
// fraction of the time of dividing them in turn. False, writing nothing, when n has no generator
// or a k is negative.
bool RSEncodeByteBlocks(const uint8_t* data, const int32_t* k, int32_t count, int32_t n, uint8_t* ec);

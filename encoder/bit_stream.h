// The bit stream of one encoding run: headers and segments are appended most significant bit
// first, and the codeword builder takes it back eight bits at a time. Held as text, one '0' or
// '1' per bit, with a fixed capacity; after a reset the positions past the end hold '#'.
#pragma once

#include <cstdint>

constexpr int32_t QRCODE_BITSTREAM_CAPACITY = 60000;

struct BitStream {
    char bits[QRCODE_BITSTREAM_CAPACITY];
    int32_t count;      // bits currently in the stream
    int32_t head;       // position of the first bit not yet taken
    int32_t overflow;   // set once an append did not fit; the stream then holds no symbol
};

// Empties the stream: no bits, every position '#', overflow cleared.
void BitStreamReset(BitStream* stream);

// The same result as BitStreamReset for a stream that has been reset before and changed only
// through these functions since: only the positions written since then are refilled with '#'.
// For a stream rebuilt several times in one run.
void BitStreamRewind(BitStream* stream);

// Empties the stream without touching its text: the positions past the end keep whatever they
// held. For a stream written and read only through these functions, which never read past the
// end: filling sixty thousand positions costs more than a small symbol does.
void BitStreamStart(BitStream* stream);

// Appends bits width-1 .. 0 of value, most significant first (a negative value counts in two's
// complement). Width 0 appends nothing. Returns false, appends nothing and sets the overflow
// mark when the bits do not fit the capacity or the width is outside 0..32.
bool BitStreamAppend(BitStream* stream, int64_t value, int32_t width);

// BitStreamAppend(stream, values[i] & 0xFF, 8) for i = 0..n-1 in turn, with one capacity check:
// the bytes that fit are appended, and false with the overflow mark when not all of them did.
bool BitStreamAppendBytes(BitStream* stream, const int32_t* values, int32_t n);

// Removes the first `width` (0..32) bits and returns them as an unsigned number, the first bit
// most significant. Bits missing at the end of the stream read as 0; a bad width reads nothing.
uint32_t BitStreamTake(BitStream* stream, int32_t width);

// Removes the first 8 * n bits as n bytes into out, as n calls of BitStreamTake(stream, 8) would;
// the caller keeps n <= count / 8.
void BitStreamTakeBytes(BitStream* stream, int32_t n, uint8_t* out);

// Reads `width` (0..32) bits of stream text, '1' as one and anything else as zero, first bit
// most significant.
uint32_t BitsToInt(const char* bits, int32_t width);

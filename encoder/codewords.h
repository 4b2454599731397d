// Codeword assembly: closes a finished bit stream with terminator, byte fill and pad
// codewords, splits the data codewords into the Reed-Solomon blocks of the version and level,
// adds each block's error correction and interleaves everything into the final sequence.
#pragma once

#include <cstdint>

#include "encoder/bit_stream.h"

// Length of the final sequence of the last QRCodeCreateCodewords call on this thread; the
// pipeline hands it to placement.
extern thread_local int32_t codewordCount;

// Consumes the stream and returns the final sequence of all total codewords of the version
// (data part interleaved, then error-correction part interleaved) as a new malloc'd array the
// caller frees; sets codewordCount. Fails (null) when the stream holds more data codewords
// than (version, level) has or has overflowed, writing "Too many codewords" to the diagnostic
// sink, and, without a message, when the version or level is out of range or memory runs out.
int32_t* QRCodeCreateCodewords(BitStream* stream, int32_t version, int32_t level);

// The same, with the sequence's length written to *count and codewordCount left alone: the
// road of the value API, which keeps no state between or beside its runs.
int32_t* QRCodeCreateCodewordsCounted(BitStream* stream, int32_t version, int32_t level, int32_t* count);

// The same sequence written into out, which has room for the version's total codewords (at most
// 3706); returns how many were written, or 0 (out untouched) where QRCodeCreateCodewords fails.
// Takes no memory of its own from the heap.
int32_t QRCodeWriteCodewords(BitStream* stream, int32_t version, int32_t level, int32_t* out);

// Automatic mode analysis: decides numeric, alphanumeric or byte mode for every character with
// a small state machine that looks ahead over version-dependent windows, then writes one
// segment per run of characters that share a mode. Never produces kanji segments.
#pragma once

#include <cstdint>

#include "encoder/bit_stream.h"

// Character classes the look-ahead tests.
enum QRCodeCharClass : int32_t {
    QRCODE_CLASS_DIGIT = 0,
    QRCODE_CLASS_EXCLUSIVE_ALPHANUMERIC = 1,  // alphanumeric but not a digit
};

// Results of QRCodeRunTest that are not a character value.
constexpr int32_t QRCODE_RUN_FULL = -1;
constexpr int32_t QRCODE_RUN_TOO_SHORT = -2;

// Modes of the mode array.
enum QRCodeSegmentMode : int32_t {
    QRCODE_SEGMENT_NUMERIC = 1,
    QRCODE_SEGMENT_ALPHANUMERIC = 2,
    QRCODE_SEGMENT_BYTE = 3,
};

// Looks at values[p .. p + w - 1], w being w1, w2 or w3 for versions 1-8, 9-26 or 27-40.
// Returns QRCODE_RUN_TOO_SHORT when the text ends inside the window, the first value that is
// not of the class, or QRCODE_RUN_FULL when all w values are.
int32_t QRCodeRunTest(int32_t w1, int32_t w2, int32_t w3, int32_t charClass, int32_t version,
                      const int32_t* values, int32_t count, int32_t p);

// Number of consecutive entries of modes[0 .. count - 1] from p on that equal modes[p].
int32_t QRCodeModeRun(const int32_t* modes, int32_t count, int32_t p);

// Decides the mode of every character into modes[0 .. count - 1] (values are bytes 0..255).
void QRCodeAssignModes(const int32_t* values, int32_t count, int32_t version, int32_t* modes);

// Assigns the modes and writes the segments. Returns false only when the working array cannot
// be allocated (the stream is then marked as overflowed, so the run cannot succeed).
bool QRCodeAnalyseModes(const int32_t* values, int32_t count, int32_t version, BitStream* stream);
// The same, working in `modes` (room for `count`) instead of memory of its own.
bool QRCodeAnalyseModesWith(const int32_t* values, int32_t count, int32_t version, BitStream* stream,
                            int32_t* modes);

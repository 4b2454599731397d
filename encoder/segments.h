// Data segments: the four segment writers (numeric, alphanumeric, byte, kanji), each writing
// its mode indicator, character count and packed characters, plus the character-count widths
// and the alphanumeric character set they share with mode analysis.
#pragma once

#include <cstdint>

#include "encoder/bit_stream.h"

// Mode indices of the character-count table.
enum QRCodeCountMode : int32_t {
    QRCODE_COUNT_NUMERIC = 1,
    QRCODE_COUNT_ALPHANUMERIC = 2,
    QRCODE_COUNT_BYTE = 3,
    QRCODE_COUNT_KANJI = 4,
};

// 4-bit mode indicators.
constexpr int32_t QRCODE_INDICATOR_NUMERIC = 0x1;
constexpr int32_t QRCODE_INDICATOR_ALPHANUMERIC = 0x2;
constexpr int32_t QRCODE_INDICATOR_BYTE = 0x4;
constexpr int32_t QRCODE_INDICATOR_KANJI = 0x8;
constexpr int32_t QRCODE_INDICATOR_STRUCTURED_APPEND = 0x3;
constexpr int32_t QRCODE_INDICATOR_ECI = 0x7;
constexpr int32_t QRCODE_INDICATOR_FNC1_FIRST = 0x5;
constexpr int32_t QRCODE_INDICATOR_FNC1_SECOND = 0x9;

// Character-count widths by version group: each row is the group's last version followed by
// the widths of numeric, alphanumeric, byte and kanji (ISO/IEC 18004 Table 3).
extern const int32_t QRCodeCountBitsTable[3][5];

// Width of the character-count indicator of a mode (QRCodeCountMode) at a version; 0 for a
// mode outside 1..4 or a version outside 1..40.
int32_t QRCodeCountBits(int32_t mode, int32_t version);

// The 45 characters of the alphanumeric mode, each with its value as decimal text
// (ISO/IEC 18004 Table 5).
struct QRCodeAlphanumericEntry {
    char character;
    const char* value;
};
extern const QRCodeAlphanumericEntry AlphanumericTable[45];

// Value 0..44 of an alphanumeric character, or -1 for any other value.
int32_t QRCodeAlphanumericValue(int32_t c);

// Character classes over a value.
inline bool QRCodeIsDigit(int32_t c) { return c >= '0' && c <= '9'; }
inline bool QRCodeIsAlphanumeric(int32_t c) { return QRCodeAlphanumericValue(c) >= 0; }
// A kanji character is a double-byte value of 0x8140-0x9FFC or 0xE040-0xEBBF whose second byte
// is 0x40 or more: the 13-bit packing subtracts 0x8140 or 0xC140 byte by byte, so a second byte
// below 0x40 would borrow from the first and reach readers as another pair (88 3F as 88 7F).
inline bool QRCodeIsKanjiLead(int32_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEB); }
inline bool QRCodeIsKanjiTrail(int32_t lead, int32_t b) {
    return b >= 0x40 && b <= (lead == 0x9F ? 0xFC : lead == 0xEB ? 0xBF : 0xFF);
}
inline bool QRCodeIsKanji(int32_t c) {
    return c >= 0 && c <= 0xFFFF && QRCodeIsKanjiLead(c >> 8) && QRCodeIsKanjiTrail(c >> 8, c & 0xFF);
}

// Segment writers. Each reads values[p .. p + n - 1] (the caller guarantees they exist), writes
// one segment for the characters it takes and returns the position after the last one taken:
// numeric, alphanumeric and kanji take the leading run of their own class (at most n values);
// byte takes all n values (their low 8 bits) and returns p + n. The count indicator holds the
// number of characters actually packed. A stream that overflows keeps its overflow mark.
int32_t QRCodeWriteNumeric(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream);
int32_t QRCodeWriteAlphanumeric(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream);
int32_t QRCodeWriteByte(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream);
int32_t QRCodeWriteKanji(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream);

// How many of values[0 .. n - 1] the segment writer of a forced encode mode (QRCodeEncodeMode)
// takes: the leading run of the mode's class for numeric, alphanumeric and kanji; all n for
// byte and for every other mode. Less than n means the mode cannot hold the whole text.
int32_t QRCodeModeRun(int32_t encodeMode, const int32_t* values, int32_t n);

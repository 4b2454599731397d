// Input preparation: tilde escapes in the text, conversion of the text into the value array
// that mode analysis and the segment writers read, and the two headers that precede the data
// (structured append and ECI).
#pragma once

#include <cstdint>

#include "encoder/bit_stream.h"
#include "encoder/settings.h"

// Size of the tilde output buffer (one per thread); escapes only shrink the text, so it holds the
// output of any text of the settings field.
constexpr int32_t QRCODE_TILDE_BUFFER_SIZE = QRCODE_TEXT_FIELD_SIZE;

// Rewrites the escapes of text[0 .. length - 1] into out (room for `length` bytes) and returns
// the output length: ~~ -> '~'; ~dNNN -> the byte NNN (above 255 -> 255); ~eNNNNNN -> no byte,
// but eci[k] = NNNNNN where k is the output position of the byte after the escape (the data
// from there on is in that assignment's character set); any other '~' is dropped. eci has one
// entry per input byte and is -1 wherever no escape marks a position; an escape at the very end
// marks the output length. Touches nothing else.
int32_t QRCodeExpandTilde(const unsigned char* text, int32_t length, unsigned char* out, int32_t* eci);

// QRCodeExpandTilde over `text` (`*length` bytes; at most QRCODE_TILDE_BUFFER_SIZE are read)
// into this thread's output buffer (zero behind the output), for the settings road.
// Returns the buffer and sets *length to the output length. Stores a new malloc'd eciValues
// array of one entry per input byte in the record; the caller frees it. On allocation failure
// eciValues is null and nothing else changes. Not reentrant on one thread: the buffer is reused
// by the next call.
const unsigned char* QRCodeProcessTilde(QRCodeSettings* settings, const unsigned char* text, int32_t* length);

// One value 0..255 per byte. New malloc'd array (at least one element) the caller frees; null
// when memory runs out.
int32_t* QRCodeByteValues(const unsigned char* text, int32_t length);

// One 16-bit value per byte pair (first byte high). For an odd length the last value takes
// `filler` as its low byte: the byte that follows the text where the text came from ('#' in
// the settings field, 0 in the tilde buffer), so nothing past the text is read. Sets *count to
// ceil(length / 2). New malloc'd array the caller frees; null when memory runs out.
int32_t* QRCodeKanjiValues(const unsigned char* text, int32_t length, int32_t* count, int32_t filler);
// The same values written into `values` (room for ceil(length / 2)); returns their count.
int32_t QRCodeFillKanjiValues(const unsigned char* text, int32_t length, int32_t filler, int32_t* values);

// Appends the 20-bit structured-append header (0011, position - 1, total - 1 in 4 bits each,
// parity byte of the data) when structuredAppend is set; nothing otherwise.
void QRCodeWriteStructuredAppend(const QRCodeSettings* settings, BitStream* stream, const int32_t* values,
                                 int32_t count);

// The structured-append header itself: position - 1 and total - 1 by their low 4 bits.
void QRCodeWriteStructuredAppendHeader(BitStream* stream, int32_t position, int32_t total, const int32_t* values,
                                       int32_t count);

// Appends an ECI header: 0111 and the assignment number e (0 or more) in 8, 16 or 24 bits.
void QRCodeWriteEciDesignator(BitStream* stream, int32_t e);

// Appends the ECI header of eciMode when it is 0 or more; nothing otherwise.
void QRCodeWriteEci(const QRCodeSettings* settings, BitStream* stream);

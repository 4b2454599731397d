// Format information (error-correction level and mask, 15 bits) and version information
// (18 bits, versions 7 and up), each written in two copies into their fixed matrix areas.
// The same writers first reserve the areas during layout and later write the final values.
#pragma once

#include <cstdint>

#include "encoder/matrix.h"

// The 32 valid 15-bit format words as text, most significant bit first, indexed by the
// 5-bit data value (level bits * 8 + mask): M = 00, L = 01, H = 10, Q = 11
// (ISO/IEC 18004 Annex C Table C.1).
extern const char* const FormatInfoStrings[32];

// The 18-bit version words of versions 7 to 40, in order (ISO/IEC 18004 Annex D Table D.1).
extern const int32_t VersionInfoBits[34];

// Writes the format word of `index` (0..31) into both copies, bit 0 first, as
// CELL_FORMAT_DARK / CELL_FORMAT_LIGHT, and sets the dark module (8, height - 8).
// index -1 is the reserving form: all 30 cells light, the dark module dark. Any other index
// is treated as the reserving form so that no table is read out of range.
void QRCodeWriteFormatInfo(SymbolMatrix* m, int index);

// For version 7..40 writes the version word into the bottom-left 6 x 3 and top-right 3 x 6
// blocks, as CELL_VERSION_DARK / CELL_VERSION_LIGHT; a non-zero `reserve` writes all-light
// cells instead. Versions outside 7..40 write nothing.
void QRCodeWriteVersionInfo(SymbolMatrix* m, int version, int reserve);

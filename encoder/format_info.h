// Format information (error-correction level and mask, 15 bits) and version information
// (18 bits, versions 7 and up), each written in two copies into their fixed matrix areas.
// The matrix layout reserves the areas and says where each bit sits; these only write the
// final words once the mask is known.
#pragma once

#include <cstdint>

#include "encoder/matrix.h"

// The 32 valid 15-bit format words as text, most significant bit first, indexed by the
// 5-bit data value (level bits * 8 + mask): M = 00, L = 01, H = 10, Q = 11
// (ISO/IEC 18004 Annex C Table C.1).
extern const char* const FormatInfoStrings[32];

// The 18-bit version words of versions 7 to 40, in order (ISO/IEC 18004 Annex D Table D.1).
extern const int32_t VersionInfoBits[34];

// The format word of `index` (0..31) as a number, bit 14 the first of FormatInfoStrings; 0 for
// an index outside 0..31 (all cells light).
int32_t QRCodeFormatWord(int index);

// Writes the format word of `index` (0..31) into both copies at QRCodeFormatCell, as
// CELL_FORMAT_DARK / CELL_FORMAT_LIGHT, and sets the dark module. An index outside 0..31 writes
// all 30 cells light, so that no table is read out of range.
void QRCodeWriteFormatInfo(SymbolMatrix* m, int index);

// For version 7..40 writes the version word into both blocks at QRCodeVersionCell, as
// CELL_VERSION_DARK / CELL_VERSION_LIGHT. Versions outside 7..40 write nothing.
void QRCodeWriteVersionInfo(SymbolMatrix* m, int version);

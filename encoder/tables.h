// The constant symbol tables of every version (1-40) and error-correction level (L, M, Q, H):
// size and module budget (ISO/IEC 18004 Table 1), data capacity (Table 7) and the split into
// Reed-Solomon blocks (Table 9), with bounds-checked lookups for the rest of the encoder.
#pragma once

#include <cstdint>

constexpr int32_t QRCODE_VERSION_COUNT = 40;
constexpr int32_t QRCODE_LEVEL_COUNT = 4;
constexpr int32_t QRCODE_BLOCK_ROWS_PER_VERSION = 8;

// VersionCharacteristics columns.
enum QRCodeVersionColumn : int32_t {
    QRCODE_VC_VERSION = 0,
    QRCODE_VC_MODULES_PER_SIDE = 1,   // A = 17 + 4 * version
    QRCODE_VC_FUNCTION_MODULES = 2,   // B: finders with separators, timing, alignment
    QRCODE_VC_INFO_MODULES = 3,       // C: format (+ dark module) and version information
    QRCODE_VC_DATA_MODULES = 4,       // D = A * A - B - C
    QRCODE_VC_TOTAL_CODEWORDS = 5,    // D div 8
    QRCODE_VC_REMAINDER_BITS = 6,     // D mod 8
};

// DataCapacityTable columns.
enum QRCodeCapacityColumn : int32_t {
    QRCODE_DC_VERSION = 0,
    QRCODE_DC_LEVEL = 1,
    QRCODE_DC_DATA_CODEWORDS = 2,
    QRCODE_DC_DATA_BITS = 3,
    QRCODE_DC_NUMERIC = 4,
    QRCODE_DC_ALPHANUMERIC = 5,
    QRCODE_DC_BYTE = 6,
    QRCODE_DC_KANJI = 7,
};

// ErrorCorrectionBlockTable columns.
enum QRCodeBlockColumn : int32_t {
    QRCODE_EB_VERSION = 0,
    QRCODE_EB_TOTAL_CODEWORDS = 1,
    QRCODE_EB_LEVEL = 2,
    QRCODE_EB_EC_CODEWORDS = 3,       // error-correction codewords of the whole symbol
    QRCODE_EB_BLOCKS = 4,             // blocks of this size
    QRCODE_EB_BLOCK_CODEWORDS = 5,    // c
    QRCODE_EB_BLOCK_DATA = 6,         // k
    QRCODE_EB_CORRECTABLE = 7,        // r
};

struct QRCodeCapacityTable {
    int32_t rows[QRCODE_VERSION_COUNT * QRCODE_LEVEL_COUNT][8];
};
struct QRCodeBlockTable {
    int32_t rows[QRCODE_VERSION_COUNT][QRCODE_BLOCK_ROWS_PER_VERSION][8];
};

// Table 1: one row per version, ascending.
extern const int32_t VersionCharacteristics[QRCODE_VERSION_COUNT][7];
// Table 7: row (version - 1) * 4 + level.
extern const QRCodeCapacityTable DataCapacityTable;
// Table 9: 8 rows per version, levels in order L, M, Q, H; a level with two block sizes has two
// consecutive rows, the smaller k first; unused rows are all zero.
extern const QRCodeBlockTable ErrorCorrectionBlockTable;

// Rows of ErrorCorrectionBlockTable the codeword builder scans for a version; 0 for a version
// outside 1-40.
int32_t BlockEntryCount(int32_t version);

// Lookups. Each returns 0 for a version outside 1-40 or a level outside 0-3, so that a bad
// settings record can never index past a table.
int32_t QRCodeModulesPerSide(int32_t version);
int32_t QRCodeTotalCodewords(int32_t version);
int32_t QRCodeRemainderBits(int32_t version);
int32_t QRCodeDataCodewords(int32_t version, int32_t level);
int32_t QRCodeDataBits(int32_t version, int32_t level);
// The block row `row` (0-7) of a version, or null when out of range.
const int32_t* QRCodeBlockRow(int32_t version, int32_t row);

inline bool QRCodeValidVersion(int32_t version) { return version >= 1 && version <= QRCODE_VERSION_COUNT; }
inline bool QRCodeValidLevel(int32_t level) { return level >= 0 && level < QRCODE_LEVEL_COUNT; }

// The symbol matrix: one cell per module, each cell carrying both the module's colour and the
// structure it belongs to, plus the layout of every function pattern of a version.
// Placement, masking, format/version information and the renderer all work on this record.
#pragma once

#include <cstdint>

// Capacity of the grid in each direction; the largest symbol (version 40) is 177 modules wide.
constexpr int kSymbolMatrixCapacity = 300;

// The whole symbol as one fixed block. Cells are stored column by column: the module in
// column x and row y is cells[x * kSymbolMatrixCapacity + y]. Only the first `width` columns
// and `height` rows are used; cells outside that square are neither initialised nor read.
struct SymbolMatrix {
    int32_t cells[kSymbolMatrixCapacity * kSymbolMatrixCapacity];
    int32_t version;  // 1 to 40
    int32_t width;    // 17 + 4 * version
    int32_t height;   // always equal to width
};

// Cell values. A light module keeps its kind in the low four bits (high four bits zero), a dark
// module keeps it in the high four bits (low four bits zero). Separators share the light
// alignment value: nothing downstream needs to tell them apart.
enum : int32_t {
    CELL_EMPTY = -1,  // data position not yet assigned; counts as light
    CELL_DATA_LIGHT = 0x00,
    CELL_DATA_DARK = 0x10,
    CELL_TIMING_LIGHT = 0x01,
    CELL_TIMING_DARK = 0x20,
    CELL_ALIGNMENT_LIGHT = 0x03,
    CELL_ALIGNMENT_DARK = 0x30,
    CELL_FINDER_LIGHT = 0x04,
    CELL_FINDER_DARK = 0x40,
    CELL_FORMAT_LIGHT = 0x05,  // also the reserved format area
    CELL_FORMAT_DARK = 0x50,   // also the single dark module
    CELL_VERSION_LIGHT = 0x06, // also the reserved version area
    CELL_VERSION_DARK = 0x60,
};

// Returns 1 for a dark cell value (not CELL_EMPTY and any of the bits 0xF0 set), else 0.
inline int QRCodeIsDark(int32_t value) { return value != CELL_EMPTY && (value & 0xF0) != 0 ? 1 : 0; }

// True for the values only placement and masking write: CELL_EMPTY, CELL_DATA_LIGHT, CELL_DATA_DARK.
inline bool QRCodeIsDataCell(int32_t value) {
    return value == CELL_EMPTY || value == CELL_DATA_LIGHT || value == CELL_DATA_DARK;
}

// Cell access without bounds checks; callers keep 0 <= x, y < kSymbolMatrixCapacity.
inline int32_t QRCodeGetCell(const SymbolMatrix* m, int x, int y) { return m->cells[x * kSymbolMatrixCapacity + y]; }

// Drawing primitives. Bounds are inclusive; values are written without looking at what was
// there. Every primitive clips to the 300 x 300 grid, so a bad coordinate never writes outside it.
void QRCodeSetCell(SymbolMatrix* m, int x, int y, int32_t value);
void QRCodeFillRect(SymbolMatrix* m, int x0, int y0, int x1, int y1, int32_t value);
// Vertical line at column x0 (rows y0..y1) when y0 != y1, else horizontal line at row y0
// (columns x0..x1). An empty range draws nothing.
void QRCodeDrawLine(SymbolMatrix* m, int x0, int y0, int x1, int y1, int32_t value);
// 7 x 7 finder pattern whose top-left module is (x0, y0).
void QRCodeDrawFinder(SymbolMatrix* m, int x0, int y0);
// 5 x 5 alignment pattern whose top-left module is (x0, y0), i.e. its centre minus 2.
void QRCodeDrawAlignment(SymbolMatrix* m, int x0, int y0);

// Writes the ascending alignment-pattern centre coordinates of a version (rows and columns
// share them) into out[0..6] and returns how many there are: 0 for version 1 and for any
// version outside 1..40, else 2 to 7.
int QRCodeAlignmentCoordinates(int version, int32_t out[7]);

// A module position: column x, row y.
struct QRCodeCell {
    int x;
    int y;
};

// Where bit k (0..14, least significant first) of the format word sits in copy 0 (wrapped
// around the top-left finder, past the timing cells (8, 6) and (6, 8)) and copy 1 (bits 0..7
// along row 8 under the top-right finder, bits 8..14 down column 8 beside the bottom-left one).
QRCodeCell QRCodeFormatCell(const SymbolMatrix* m, int k, int copy);
// The module that is always dark, beside the bottom-left finder: (8, height - 8).
QRCodeCell QRCodeDarkModuleCell(const SymbolMatrix* m);
// Where bit k (0..17, least significant first) of the version word sits in copy 0 (the
// bottom-left 6 x 3 block) and copy 1 (the top-right 3 x 6 block, its transpose).
QRCodeCell QRCodeVersionCell(const SymbolMatrix* m, int k, int copy);

// The information areas as the layout leaves them until the mask is known: the 30 format cells
// light, the dark module dark, and for versions 7..40 the 36 version cells light.
void QRCodeReserveInformationAreas(SymbolMatrix* m);

// Stores version, width and height and lays out the matrix: every cell empty, then the three
// finders with their separators, the alignment patterns, the reserved format area with the
// dark module, the reserved version areas (version 7 and up) and the timing patterns.
// Callers pass width = height = 17 + 4 * version with version 1..40. Dimensions beyond the
// grid capacity are clamped so that nothing is written outside the record.
void QRCodeInitMatrix(SymbolMatrix* m, int width, int height, int version);

// The cells of a version as QRCodeInitMatrix lays it out (17 + 4 * version on a side, column by
// column with that stride), or null until a process has laid the version out twice: from then on
// the layout is kept, copied instead of drawn, and only read, from any thread. Placement uses it
// to recognise a matrix laid out for its version.
const int32_t* QRCodeVersionLayout(int version);

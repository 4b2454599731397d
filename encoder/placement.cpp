// Codeword placement (see placement.h).
#include "encoder/placement.h"

namespace {

// Bit `index` of the codeword sequence, most significant bit of each codeword first.
inline int32_t CellFor(const int32_t* codewords, int64_t index) {
    return ((codewords[index >> 3] >> (7 - (index & 7))) & 1) ? CELL_DATA_DARK : CELL_DATA_LIGHT;
}

}  // namespace

void QRCodePlaceCodewords(SymbolMatrix* m, const int32_t* codewords, int count) {
    const int W = m->width;
    const int H = m->height;
    // A record whose size lies outside the grid is not a laid-out symbol; leave it alone.
    if (W <= 1 || H <= 0 || W > kSymbolMatrixCapacity || H > kSymbolMatrixCapacity || !codewords) return;
    if (count <= 0) return;
    // The two cursors take turns strictly, start on the same row and turn at the edges in the
    // same step, so together they walk strips: a right and a left column, every row of them in
    // the strip's direction, right cell before left cell. Walking the strips directly offers the
    // cells in exactly the cursors' order without stepping a cursor per offered cell.
    const int64_t bits = static_cast<int64_t>(count) * 8;
    int64_t next = 0;
    int right = W - 1;
    int left = W - 2;
    bool upwards = true;
    for (;;) {
        // A cursor that leaves the left edge ends placement: every cell has been offered, and
        // the remaining bits have no place in this symbol.
        if (right < 0) return;
        int32_t* rightColumn = m->cells + right * kSymbolMatrixCapacity;
        const int first = upwards ? H - 1 : 0;
        const int step = upwards ? -1 : 1;
        if (left < 0) {
            // Only in a record of even width: the right cursor still offers its first cell.
            if (rightColumn[first] == CELL_EMPTY)
                rightColumn[first] = CellFor(codewords, next);
            return;
        }
        int32_t* leftColumn = m->cells + left * kSymbolMatrixCapacity;
        for (int y = first, rows = 0; rows < H; y += step, ++rows) {
            if (rightColumn[y] == CELL_EMPTY) {
                rightColumn[y] = CellFor(codewords, next);
                if (++next == bits) return;
            }
            if (leftColumn[y] == CELL_EMPTY) {
                leftColumn[y] = CellFor(codewords, next);
                if (++next == bits) return;
            }
        }
        // Columns 8 and 7 step three to the left, over the vertical timing column 6.
        right -= (right == 7 || right == 8) ? 3 : 2;
        left -= (left == 7 || left == 8) ? 3 : 2;
        upwards = !upwards;
    }
}

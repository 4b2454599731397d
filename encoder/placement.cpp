// Codeword placement (see placement.h).
#include "encoder/placement.h"

namespace {

struct Cursor {
    int x;
    int y;
    int d;  // -1 upwards, +1 downwards
};

// Moves one row along the strip; leaving the top or bottom edge turns into the next strip to
// the left, on the same edge row. Columns 8 and 7 jump three, over the vertical timing column 6.
void Advance(Cursor& c, int height) {
    c.y += c.d;
    if (c.y < 0) {
        c.y = 0;
        c.x -= (c.x == 7 || c.x == 8) ? 3 : 2;
        c.d = +1;
    }
    if (c.y >= height) {
        c.y = height - 1;
        c.x -= (c.x == 7 || c.x == 8) ? 3 : 2;
        c.d = -1;
    }
}

}  // namespace

void QRCodePlaceCodewords(SymbolMatrix* m, const int32_t* codewords, int count) {
    const int W = m->width;
    const int H = m->height;
    // A record whose size lies outside the grid is not a laid-out symbol; leave it alone.
    if (W <= 1 || H <= 0 || W > kSymbolMatrixCapacity || H > kSymbolMatrixCapacity || !codewords) return;
    // Both cursors start one row below the symbol; the first advance brings each onto the
    // bottom row. They take turns strictly, so they always stand on the same row.
    Cursor cursors[2] = {{W - 1, H, -1}, {W - 2, H, -1}};
    int turn = 1;  // the left cursor counts as used last, so the right one goes first
    for (int i = 0; i < count; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            for (;;) {
                turn ^= 1;
                Cursor& c = cursors[turn];
                Advance(c, H);
                // Both cursors leave the left edge in the same step; by then every cell has been
                // offered, so the remaining bits have no place in this symbol.
                if (c.x < 0) return;
                int32_t* cell = &m->cells[c.x * kSymbolMatrixCapacity + c.y];
                if (*cell != CELL_EMPTY) continue;
                *cell = ((codewords[i] >> bit) & 1) ? CELL_DATA_DARK : CELL_DATA_LIGHT;
                break;
            }
        }
    }
}

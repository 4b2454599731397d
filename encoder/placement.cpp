// Codeword placement (see placement.h).
#include "encoder/placement.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "encoder/tables.h"

namespace {

// Offers the empty cells of a W x H grid (cell (x, y) at cells[x * stride + y]) to `take(x, y)`
// in placement order, until `take` returns false or the cells run out.
//
// The two cursors take turns strictly, start on the same row and turn at the edges in the same
// step, so together they walk strips: a right and a left column, every row of them in the
// strip's direction, right cell before left cell. Walking the strips directly offers the cells
// in exactly the cursors' order without stepping a cursor per offered cell.
template <class Take>
void WalkEmptyCells(const int32_t* cells, int stride, int W, int H, Take take) {
    int right = W - 1;
    int left = W - 2;
    bool upwards = true;
    for (;;) {
        // A cursor that leaves the left edge ends placement: every cell has been offered.
        if (right < 0) return;
        const int32_t* rightColumn = cells + right * stride;
        const int first = upwards ? H - 1 : 0;
        const int step = upwards ? -1 : 1;
        if (left < 0) {
            // Only in a record of even width: the right cursor still offers its first cell.
            if (rightColumn[first] == CELL_EMPTY) take(right, first);
            return;
        }
        const int32_t* leftColumn = cells + left * stride;
        for (int y = first, rows = 0; rows < H; y += step, ++rows) {
            if (rightColumn[y] == CELL_EMPTY && !take(right, y)) return;
            if (leftColumn[y] == CELL_EMPTY && !take(left, y)) return;
        }
        // Columns 8 and 7 step three to the left, over the vertical timing column 6.
        right -= (right == 7 || right == 8) ? 3 : 2;
        left -= (left == 7 || left == 8) ? 3 : 2;
        upwards = !upwards;
    }
}

// Bit `index` of the codeword sequence, most significant bit of each codeword first.
inline int32_t CellFor(const int32_t* codewords, int64_t index) {
    return ((codewords[index >> 3] >> (7 - (index & 7))) & 1) ? CELL_DATA_DARK : CELL_DATA_LIGHT;
}

// The empty cells of a version's kept layout in placement order, as indices into a matrix's
// cells: made once per process from the layout, then only read, from any thread.
struct VersionOrder {
    int32_t count = 0;
    uint16_t* cells = nullptr;
};
constexpr int kLargestSide = 17 + 4 * QRCODE_VERSION_COUNT;
static_assert((kLargestSide - 1) * kSymbolMatrixCapacity + kLargestSide - 1 < 65536, "a cell index fits 16 bits");

VersionOrder orders[QRCODE_VERSION_COUNT + 1];
std::once_flag built[QRCODE_VERSION_COUNT + 1];

// On an allocation failure the order stays empty and placement walks the cells instead.
void BuildOrder(int version, const int32_t* layout) {
    const int side = QRCodeModulesPerSide(version);
    uint16_t* cells = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * side * side));
    if (!cells) return;
    int count = 0;
    WalkEmptyCells(layout, side, side, side, [&](int x, int y) {
        cells[count++] = static_cast<uint16_t>(x * kSymbolMatrixCapacity + y);
        return true;
    });
    orders[version].count = count;
    orders[version].cells = cells;
}

// The order of a version whose layout is kept, else null.
const VersionOrder* KeptOrder(int version) {
    if (version < 1 || version > QRCODE_VERSION_COUNT) return nullptr;
    const int32_t* layout = QRCodeVersionLayout(version);
    if (!layout) return nullptr;
    std::call_once(built[version], BuildOrder, version, layout);
    const VersionOrder& o = orders[version];
    return o.cells ? &o : nullptr;
}

// The order of m's version when the version's layout is kept and m is laid out exactly so,
// else null.
const VersionOrder* OrderFor(const SymbolMatrix* m) {
    const int version = m->version;
    const VersionOrder* o = KeptOrder(version);
    if (!o) return nullptr;
    const int side = QRCodeModulesPerSide(version);
    if (m->width != side || m->height != side) return nullptr;
    const int32_t* layout = QRCodeVersionLayout(version);
    for (int x = 0; x < side; ++x) {
        if (std::memcmp(layout + x * side, m->cells + x * kSymbolMatrixCapacity, sizeof(int32_t) * side) != 0)
            return nullptr;
    }
    return o;
}

// Writes `bits` bits (at most o.count) into the listed cells, a codeword at a time.
void PlaceInOrder(SymbolMatrix* m, const VersionOrder& o, const int32_t* codewords, int64_t bits) {
    int32_t* cells = m->cells;
    const uint16_t* at = o.cells;
    int64_t i = 0;
    // Bit b of a codeword (7 - b from the top) lands as CELL_DATA_DARK (0x10) or CELL_DATA_LIGHT (0).
    static_assert(CELL_DATA_LIGHT == 0 && CELL_DATA_DARK == 0x10, "a data cell's value is its bit << 4");
    for (; i + 8 <= bits; i += 8, at += 8) {
        const int32_t c = codewords[i >> 3];
        cells[at[0]] = (c >> 3) & 0x10;
        cells[at[1]] = (c >> 2) & 0x10;
        cells[at[2]] = (c >> 1) & 0x10;
        cells[at[3]] = c & 0x10;
        cells[at[4]] = (c << 1) & 0x10;
        cells[at[5]] = (c << 2) & 0x10;
        cells[at[6]] = (c << 3) & 0x10;
        cells[at[7]] = (c << 4) & 0x10;
    }
    for (; i < bits; ++i) cells[o.cells[i]] = CellFor(codewords, i);
}

}  // namespace

void QRCodePlaceCodewords(SymbolMatrix* m, const int32_t* codewords, int count) {
    const int W = m->width;
    const int H = m->height;
    // A record whose size lies outside the grid is not a laid-out symbol; leave it alone.
    if (W <= 1 || H <= 0 || W > kSymbolMatrixCapacity || H > kSymbolMatrixCapacity || !codewords) return;
    if (count <= 0) return;
    const int64_t bits = static_cast<int64_t>(count) * 8;
    // A matrix laid out as its version's kept layout takes the version's order; any other
    // matrix, and every matrix before a layout is kept, is walked cell by cell. Both give the
    // same cells.
    if (const VersionOrder* o = OrderFor(m)) {
        PlaceInOrder(m, *o, codewords, bits < o->count ? bits : o->count);
        return;
    }
    // Bits that find no empty cell are dropped.
    int64_t next = 0;
    WalkEmptyCells(m->cells, kSymbolMatrixCapacity, W, H, [&](int x, int y) {
        m->cells[x * kSymbolMatrixCapacity + y] = CellFor(codewords, next);
        return ++next < bits;
    });
}

const uint16_t* QRCodePlacementOrder(int version, int32_t* count) {
    const VersionOrder* o = KeptOrder(version);
    *count = o ? o->count : 0;
    return o ? o->cells : nullptr;
}

// Codeword placement (see placement.h).
#include "encoder/placement.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "encoder/tables.h"

namespace {

// Offers the empty cells of a matrix of valid size to `take`, as cell indices, in placement
// order, until `take` returns false or the cells run out.
//
// The two cursors take turns strictly, start on the same row and turn at the edges in the same
// step, so together they walk strips: a right and a left column, every row of them in the
// strip's direction, right cell before left cell. Walking the strips directly offers the cells
// in exactly the cursors' order without stepping a cursor per offered cell.
template <class Take>
void WalkEmptyCells(const SymbolMatrix* m, Take take) {
    const int W = m->width;
    const int H = m->height;
    int right = W - 1;
    int left = W - 2;
    bool upwards = true;
    for (;;) {
        // A cursor that leaves the left edge ends placement: every cell has been offered.
        if (right < 0) return;
        const int rightColumn = right * kSymbolMatrixCapacity;
        const int first = upwards ? H - 1 : 0;
        const int step = upwards ? -1 : 1;
        if (left < 0) {
            // Only in a record of even width: the right cursor still offers its first cell.
            if (m->cells[rightColumn + first] == CELL_EMPTY) take(rightColumn + first);
            return;
        }
        const int leftColumn = left * kSymbolMatrixCapacity;
        for (int y = first, rows = 0; rows < H; y += step, ++rows) {
            if (m->cells[rightColumn + y] == CELL_EMPTY && !take(rightColumn + y)) return;
            if (m->cells[leftColumn + y] == CELL_EMPTY && !take(leftColumn + y)) return;
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

// What placement needs to know of one version's layout, found once per process and then only
// read, from any thread: the laid-out columns (to recognise a matrix laid out for the version)
// and its empty cells in placement order. Finding it costs about one walk over the cells, so
// the first symbol of a version is walked and the order is made for the second: a process that
// makes a single symbol never pays for it.
struct VersionOrder {
    int32_t side = 0;
    int32_t count = 0;          // empty cells of the layout
    int32_t* layout = nullptr;  // side x side cells, column by column, stride side
    uint16_t* cells = nullptr;  // count cell indices (x * kSymbolMatrixCapacity + y)
};
constexpr int kLargestSide = 17 + 4 * QRCODE_VERSION_COUNT;
static_assert((kLargestSide - 1) * kSymbolMatrixCapacity + kLargestSide - 1 < 65536,
              "a cell index fits 16 bits");

VersionOrder orders[QRCODE_VERSION_COUNT + 1];
std::once_flag built[QRCODE_VERSION_COUNT + 1];
std::atomic<int32_t> walked[QRCODE_VERSION_COUNT + 1];

// Lays the version out once and records it; on an allocation failure the order stays empty and
// placement walks the cells instead.
void BuildOrder(int version) {
    VersionOrder& o = orders[version];
    const int side = QRCodeModulesPerSide(version);
    SymbolMatrix* m = static_cast<SymbolMatrix*>(std::malloc(sizeof(SymbolMatrix)));
    int32_t* layout = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * side * side));
    uint16_t* cells = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * side * side));
    if (!m || !layout || !cells) {
        std::free(m);
        std::free(layout);
        std::free(cells);
        return;
    }
    QRCodeInitMatrix(m, side, side, version);
    for (int x = 0; x < side; ++x)
        std::memcpy(layout + x * side, m->cells + x * kSymbolMatrixCapacity, sizeof(int32_t) * side);
    int count = 0;
    WalkEmptyCells(m, [&](int cell) {
        cells[count++] = static_cast<uint16_t>(cell);
        return true;
    });
    std::free(m);
    o.side = side;
    o.count = count;
    o.layout = layout;
    o.cells = cells;
}

// The order of m's version when m is laid out exactly as that version's layout, else null.
const VersionOrder* OrderFor(const SymbolMatrix* m) {
    const int version = m->version;
    if (version < 1 || version > QRCODE_VERSION_COUNT) return nullptr;
    const int side = QRCodeModulesPerSide(version);
    if (m->width != side || m->height != side) return nullptr;
    if (walked[version].load(std::memory_order_relaxed) == 0) {
        walked[version].fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    std::call_once(built[version], BuildOrder, version);
    const VersionOrder& o = orders[version];
    if (!o.cells) return nullptr;
    for (int x = 0; x < side; ++x)
        if (std::memcmp(o.layout + x * side, m->cells + x * kSymbolMatrixCapacity, sizeof(int32_t) * side) !=
            0)
            return nullptr;
    return &o;
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
    // A matrix laid out for its version (the pipeline's) takes the version's recorded order;
    // any other matrix is walked cell by cell. Both give the same cells.
    if (const VersionOrder* o = OrderFor(m)) {
        PlaceInOrder(m, *o, codewords, bits < o->count ? bits : o->count);
        return;
    }
    // Bits that find no empty cell are dropped.
    int64_t next = 0;
    WalkEmptyCells(m, [&](int cell) {
        m->cells[cell] = CellFor(codewords, next);
        return ++next < bits;
    });
}

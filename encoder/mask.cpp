// Mask choice and application (see mask.h).
#include "encoder/mask.h"

#include <cstdlib>
#include <cstring>

#include "encoder/format_info.h"
#include "encoder/trace.h"

namespace {

constexpr int kLineWords = (kSymbolMatrixCapacity + 63) / 64;

// One row or column of module colours as bits (bit i = module i, 1 = dark); bits at and beyond
// the line's length are always 0, which the rules below read as light modules past the edge.
// The penalty rules then become a handful of word operations per line instead of a branch per
// module, which matters because every symbol scores eight masks. The helpers take the number
// of words in use as a template argument so that their loops unroll for each symbol size.
struct Line {
    uint64_t w[kLineWords];
};

inline int Words(int n) { return (n + 63) / 64; }

inline int PopCount(uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((x * 0x0101010101010101ull) >> 56);
}

struct Tally {
    int32_t rule1 = 0, rule2 = 0, rule3 = 0;
    long dark = 0;
};

// Keeps bits 0 .. n - 1 of an N-word bit string.
template <int N>
inline void TrimWords(uint64_t (&a)[N], int n) {
    for (int i = 0; i < N; ++i) {
        const int from = i * 64;
        if (n <= from) {
            a[i] = 0;
        } else if (n < from + 64) {
            a[i] &= (uint64_t{1} << (n - from)) - 1;
        }
    }
}

template <int N>
inline int CountWords(const uint64_t (&a)[N]) {
    int n = 0;
    for (int i = 0; i < N; ++i) n += PopCount(a[i]);
    return n;
}

// A line and its shifts as plain words kept in registers: s[k] bit i is module i + k of the
// line (0 <= k <= 7), light past the end. Rules 1 and 3 of a line and rule 2 between
// neighbouring columns all read from these seven shifts, so each line is shifted once for all.
template <int N>
inline void MakeShifts(const Line& a, uint64_t (&s)[8][N]) {
    for (int i = 0; i < N; ++i) s[0][i] = a.w[i];
    for (int k = 1; k <= 7; ++k) {
        for (int i = 0; i < N; ++i) {
            const uint64_t next = i + 1 < N ? a.w[i + 1] : 0;
            s[k][i] = (a.w[i] >> k) | (next << (64 - k));
        }
    }
}

// Rules 1 and 3 over one line of n modules.
// Rule 1: five(i) = modules i .. i + 4 of one colour. A maximal run of length L >= 5 holds
// L - 4 positions of five(), exactly one of which has no five() before it, so the sum of
// (L - 2) over such runs is count(five) + 2 * count(run starts).
// Rule 3: dark-light-dark-dark-dark-light-dark at i .. i + 6 with module i - 1 and module i + 7
// light or beyond the edge. Bits past either end are 0, i.e. light.
template <int N>
inline void LinePenalties(const uint64_t (&s)[8][N], int n, Tally* t) {
    if (n < 5) return;
    uint64_t five[N], starts[N];
    for (int i = 0; i < N; ++i)
        five[i] = ~((s[0][i] ^ s[1][i]) | (s[1][i] ^ s[2][i]) | (s[2][i] ^ s[3][i]) | (s[3][i] ^ s[4][i]));
    TrimWords<N>(five, n - 4);
    for (int i = 0; i < N; ++i) starts[i] = five[i] & ~((five[i] << 1) | (i > 0 ? five[i - 1] >> 63 : 0));
    t->rule1 += CountWords<N>(five) + 2 * CountWords<N>(starts);
    if (n < 7) return;
    int matches = 0;
    for (int i = 0; i < N; ++i) {
        const uint64_t before = (s[0][i] << 1) | (i > 0 ? s[0][i - 1] >> 63 : 0);  // module i - 1
        const uint64_t match = s[0][i] & ~before & ~s[1][i] & s[2][i] & s[3][i] & s[4][i] & ~s[5][i] & s[6][i] & ~s[7][i];
        if (match) matches += PopCount(match);
    }
    t->rule3 += 40 * matches;
}

// Rules 1 to 3 and the dark count over the columns (each `height` long, N words). Rule 2
// between columns x - 1 and x: every y < height - 1 where the 2 x 2 block at rows y, y + 1
// is of one colour, i.e. left(y) = right(y), left(y + 1) = right(y + 1) and left(y) = left(y + 1).
template <int N>
void ScoreColumns(const Line* cols, int width, int height, Tally* t) {
    uint64_t left0[N] = {}, left1[N] = {};  // column x - 1 and its shift by one
    for (int x = 0; x < width; ++x) {
        uint64_t s[8][N];
        MakeShifts<N>(cols[x], s);
        LinePenalties<N>(s, height, t);
        t->dark += CountWords<N>(s[0]);
        if (x > 0 && height >= 2) {
            uint64_t block[N];
            for (int i = 0; i < N; ++i) block[i] = ~((left0[i] ^ s[0][i]) | (left1[i] ^ s[1][i]) | (left0[i] ^ left1[i]));
            TrimWords<N>(block, height - 1);
            t->rule2 += 3 * CountWords<N>(block);
        }
        for (int i = 0; i < N; ++i) {
            left0[i] = s[0][i];
            left1[i] = s[1][i];
        }
    }
}

// Rules 1 and 3 over the rows (each `width` long, N words).
template <int N>
void ScoreRows(const Line* rows, int width, int height, Tally* t) {
    for (int y = 0; y < height; ++y) {
        uint64_t s[8][N];
        MakeShifts<N>(rows[y], s);
        LinePenalties<N>(s, width, t);
    }
}

// Scores a symbol given as its columns and its rows, which must describe the same modules.
void ScoreLines(const Line* cols, const Line* rows, int width, int height, int32_t scores[4]) {
    static_assert(kLineWords == 5, "one case per word count below");
    Tally t;
    switch (Words(height)) {
        case 1: ScoreColumns<1>(cols, width, height, &t); break;
        case 2: ScoreColumns<2>(cols, width, height, &t); break;
        case 3: ScoreColumns<3>(cols, width, height, &t); break;
        case 4: ScoreColumns<4>(cols, width, height, &t); break;
        default: ScoreColumns<5>(cols, width, height, &t); break;
    }
    switch (Words(width)) {
        case 1: ScoreRows<1>(rows, width, height, &t); break;
        case 2: ScoreRows<2>(rows, width, height, &t); break;
        case 3: ScoreRows<3>(rows, width, height, &t); break;
        case 4: ScoreRows<4>(rows, width, height, &t); break;
        default: ScoreRows<5>(rows, width, height, &t); break;
    }
    const long total = static_cast<long>(width) * height;
    const int percent = static_cast<int>(100 * t.dark / total);
    const int deviation = percent >= 50 ? percent - 50 : 50 - percent;
    scores[0] = t.rule1;
    scores[1] = t.rule2;
    scores[2] = t.rule3;
    scores[3] = deviation >= 1 ? 10 * ((deviation - 1) / 5) : 0;
}

inline void SetBit(Line* line, int i) { line->w[i >> 6] |= uint64_t{1} << (i & 63); }

// Transposes a 64 x 64 bit block in place: afterwards bit i of a[j] is what bit j of a[i] was.
// Swaps ever smaller sub-blocks across the diagonal: halves of 32, then quarters of 16, down
// to single bits.
void Transpose64(uint64_t a[64]) {
    uint64_t mask = 0x00000000FFFFFFFFull;
    for (int j = 32; j != 0; j >>= 1, mask ^= (mask << j)) {
        for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            const uint64_t t = ((a[k] >> j) ^ a[k | j]) & mask;
            a[k] ^= t << j;
            a[k | j] ^= t;
        }
    }
}

// rows[y] bit x = cols[x] bit y, for x < width and y < height; row bits at and beyond width are 0.
// Reads words 0 .. Words(height) - 1 of each column.
void TransposeLines(const Line* cols, int width, int height, Line* rows) {
    const int colWords = Words(height);
    const int rowWords = Words(width);
    uint64_t block[64];
    for (int bx = 0; bx < rowWords; ++bx) {
        for (int by = 0; by < colWords; ++by) {
            for (int i = 0; i < 64; ++i) {
                const int x = bx * 64 + i;
                block[i] = x < width ? cols[x].w[by] : 0;
            }
            Transpose64(block);
            for (int j = 0; j < 64 && by * 64 + j < height; ++j) rows[by * 64 + j].w[bx] = block[j];
        }
    }
}

// Where each mask inverts, as lines: the conditions repeat every 6 columns and every 12 rows,
// so column x of mask k is column[k][x % 6] (bit y) and row y is row[k][y % 12] (bit x).
// Built once from QRCodeMaskInverts over the whole grid.
struct MaskPatterns {
    Line column[8][6];
    Line row[8][12];
};

// A line whose bit i is on(i % period) (a period of at most 60), 0 from kSymbolMatrixCapacity
// on. Bit b of word w is pattern bit (64 * w) % period + b, so every word is 64 bits cut from
// the pattern's first 124 bits.
template <class On>
Line RepeatedLine(int period, On on) {
    uint64_t bits[2] = {0, 0};  // pattern bits 0 .. 123
    for (int i = 0, phase = 0; i < 124; ++i, phase = phase + 1 == period ? 0 : phase + 1)
        if (on(phase)) bits[i >> 6] |= uint64_t{1} << (i & 63);
    Line line{};
    for (int w = 0; w < kLineWords; ++w) {
        const int offset = (64 * w) % period;
        line.w[w] = offset ? (bits[0] >> offset) | (bits[1] << (64 - offset)) : bits[0];
    }
    const int tail = kSymbolMatrixCapacity - 64 * (kLineWords - 1);
    line.w[kLineWords - 1] &= (uint64_t{1} << tail) - 1;
    return line;
}

const MaskPatterns& Patterns() {
    // Built once in every process from one 12 x 6 tile of QRCodeMaskInverts: a process that
    // makes a single symbol notices a call per grid cell.
    static const MaskPatterns patterns = [] {
        MaskPatterns p{};
        for (int k = 0; k < 8; ++k) {
            bool tile[12][6];
            for (int i = 0; i < 12; ++i)
                for (int j = 0; j < 6; ++j) tile[i][j] = QRCodeMaskInverts(k, i, j);
            for (int j = 0; j < 6; ++j) p.column[k][j] = RepeatedLine(12, [&](int i) { return tile[i][j]; });
            for (int i = 0; i < 12; ++i) p.row[k][i] = RepeatedLine(6, [&](int j) { return tile[i][j]; });
        }
        return p;
    }();
    return patterns;
}

int32_t MaskedValue(int32_t value, int k, int x, int y) {
    const bool dark = value == CELL_DATA_DARK;
    return (dark != QRCodeMaskInverts(k, y, x)) ? CELL_DATA_DARK : CELL_DATA_LIGHT;
}

int LevelBits(int level) {
    switch (level) {
        case 0: return 1;  // L
        case 1: return 0;  // M
        case 2: return 3;  // Q
        case 3: return 2;  // H
        default: return 0;
    }
}

}  // namespace

bool QRCodeMaskInverts(int k, int i, int j) {
    switch (k) {
        case 0: return (i + j) % 2 == 0;
        case 1: return i % 2 == 0;
        case 2: return j % 3 == 0;
        case 3: return (i + j) % 3 == 0;
        case 4: return (i / 2 + j / 3) % 2 == 0;
        case 5: return (i * j) % 2 + (i * j) % 3 == 0;
        case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
        case 7: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
        default: return false;
    }
}

int32_t* QRCodeApplyMask(const SymbolMatrix* m, int k) {
    const int W = m->width;
    const int H = m->height;
    if (W <= 0 || H <= 0 || W > kSymbolMatrixCapacity || H > kSymbolMatrixCapacity) return nullptr;
    int32_t* copy = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * W * H));
    if (!copy) return nullptr;
    for (int x = 0; x < W; ++x) {
        for (int y = 0; y < H; ++y) {
            const int32_t value = QRCodeGetCell(m, x, y);
            copy[x * H + y] = QRCodeIsDataCell(value) ? MaskedValue(value, k, x, y) : value;
        }
    }
    return copy;
}

void QRCodeScorePenalties(const int32_t* cells, int width, int height, int32_t scores[4]) {
    scores[0] = scores[1] = scores[2] = scores[3] = 0;
    if (!cells || width <= 0 || height <= 0 || width > kSymbolMatrixCapacity || height > kSymbolMatrixCapacity)
        return;
    static thread_local Line cols[kSymbolMatrixCapacity];
    static thread_local Line rows[kSymbolMatrixCapacity];
    for (int x = 0; x < width; ++x) cols[x] = Line{};
    for (int y = 0; y < height; ++y) rows[y] = Line{};
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (!QRCodeIsDark(cells[x * height + y])) continue;
            SetBit(&cols[x], y);
            SetBit(&rows[y], x);
        }
    }
    ScoreLines(cols, rows, width, height, scores);
}

int QRCodeChooseMask(const SymbolMatrix* m) {
    const int W = m->width;
    const int H = m->height;
    if (W <= 0 || H <= 0 || W > kSymbolMatrixCapacity || H > kSymbolMatrixCapacity) return 0;
    // Encoding runs on one thread never overlap, so the line buffers live with the thread instead
    // of being allocated per mask. Each line of a masked symbol is its unmasked colours with the data
    // cells XORed by the mask's pattern: exactly the colours of QRCodeApplyMask(m, k), without
    // building the cell copy.
    static thread_local Line baseCols[kSymbolMatrixCapacity], dataCols[kSymbolMatrixCapacity];
    static thread_local Line baseRows[kSymbolMatrixCapacity], dataRows[kSymbolMatrixCapacity];
    static thread_local Line cols[kSymbolMatrixCapacity], rows[kSymbolMatrixCapacity];
    // The columns come straight from the cells, 64 rows to a word; the rows are the same bits
    // transposed. A data cell's colour is QRCodeIsDark's as well: empty and light data cells are
    // light, dark ones dark.
    const int colWords = Words(H);
    const int rowWords = Words(W);
    for (int x = 0; x < W; ++x) {
        const int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int c = 0; c < colWords; ++c) {
            uint64_t data = 0, dark = 0;
            const int end = H < 64 * (c + 1) ? H : 64 * (c + 1);
            for (int y = 64 * c; y < end; ++y) {
                const int32_t value = column[y];
                const uint64_t bit = uint64_t{1} << (y & 63);
                if (QRCodeIsDataCell(value)) data |= bit;
                if (QRCodeIsDark(value)) dark |= bit;
            }
            dataCols[x].w[c] = data;
            baseCols[x].w[c] = dark;
        }
    }
    TransposeLines(baseCols, W, H, baseRows);
    TransposeLines(dataCols, W, H, dataRows);
    const MaskPatterns& patterns = Patterns();
    int32_t scores[8][4];
    int best = 0;
    int32_t bestTotal = 0;
    for (int k = 0; k < 8; ++k) {
        for (int x = 0; x < W; ++x) {
            const Line& p = patterns.column[k][x % 6];
            for (int i = 0; i < colWords; ++i) cols[x].w[i] = baseCols[x].w[i] ^ (dataCols[x].w[i] & p.w[i]);
        }
        for (int y = 0; y < H; ++y) {
            const Line& p = patterns.row[k][y % 12];
            for (int i = 0; i < rowWords; ++i) rows[y].w[i] = baseRows[y].w[i] ^ (dataRows[y].w[i] & p.w[i]);
        }
        ScoreLines(cols, rows, W, H, scores[k]);
        const int32_t total = scores[k][0] + scores[k][1] + scores[k][2] + scores[k][3];
        if (k == 0 || total < bestTotal) {
            best = k;
            bestTotal = total;
        }
    }
    for (int k = 0; k < 8; ++k) {
        QRCodeTrace("%d %d %d %d\t\n", scores[k][0], scores[k][1], scores[k][2], scores[k][3]);
    }
    return best;
}

void QRCodeMaskSymbol(SymbolMatrix* m, int level) {
    const int k = QRCodeChooseMask(m);
    QRCodeWriteFormatInfo(m, LevelBits(level) * 8 + k);
    QRCodeWriteVersionInfo(m, m->version, 0);
    // Masking in place gives the same cells as copying the masked copy back, and cannot fail.
    const int W = m->width;
    const int H = m->height;
    const MaskPatterns& patterns = Patterns();
    static_assert(CELL_DATA_LIGHT == 0 && CELL_DATA_DARK == 0x10, "masked data cells are 0 or 0x10");
    const int width = W < kSymbolMatrixCapacity ? W : kSymbolMatrixCapacity;
    const int height = H < kSymbolMatrixCapacity ? H : kSymbolMatrixCapacity;
    for (int x = 0; x < width; ++x) {
        const Line& inverts = patterns.column[k][x % 6];
        int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int c = 0; c * 64 < height; ++c) {
            const uint64_t word = inverts.w[c];
            const int end = height < 64 * (c + 1) ? height : 64 * (c + 1);
            for (int y = 64 * c; y < end; ++y) {
                const int32_t value = column[y];
                const int32_t invert = static_cast<int32_t>((word >> (y & 63)) & 1);
                const int32_t masked = ((value == CELL_DATA_DARK ? 1 : 0) ^ invert) << 4;
                column[y] = QRCodeIsDataCell(value) ? masked : value;
            }
        }
    }
}

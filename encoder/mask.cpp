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

template <int N>
inline int Count(const Line& a) {
    int n = 0;
    for (int i = 0; i < N; ++i) n += PopCount(a.w[i]);
    return n;
}

// Bit i of the result is bit i + s of a (0 < s < 64), zeros shifted in past the end.
template <int N>
inline void ShiftDown(const Line& a, int s, Line* r) {
    for (int i = 0; i < N; ++i) {
        const uint64_t next = i + 1 < N ? a.w[i + 1] : 0;
        r->w[i] = (a.w[i] >> s) | (next << (64 - s));
    }
}

// Bit i of the result is bit i - 1 of a, a zero at bit 0.
template <int N>
inline void ShiftUp1(const Line& a, Line* r) {
    for (int i = N - 1; i >= 0; --i) r->w[i] = (a.w[i] << 1) | (i > 0 ? a.w[i - 1] >> 63 : 0);
}

// Keeps bits 0 .. n - 1 only.
template <int N>
inline void Trim(Line* a, int n) {
    for (int i = 0; i < N; ++i) {
        const int from = i * 64;
        if (n <= from) {
            a->w[i] = 0;
        } else if (n < from + 64) {
            a->w[i] &= (uint64_t{1} << (n - from)) - 1;
        }
    }
}

// Rule 1 over one line of n modules. same(i): modules i and i + 1 match; five(i): modules
// i .. i + 4 match. A maximal run of length L >= 5 holds L - 4 positions of five(), exactly one
// of which has no five() before it, so the sum of (L - 2) over such runs is
// count(five) + 2 * count(run starts).
template <int N>
int RunPenalty(const Line& a, int n) {
    if (n < 5) return 0;
    Line shifted, same, five, starts;
    ShiftDown<N>(a, 1, &shifted);
    for (int i = 0; i < N; ++i) same.w[i] = ~(a.w[i] ^ shifted.w[i]);
    Trim<N>(&same, n - 1);
    five = same;
    for (int s = 1; s <= 3; ++s) {
        ShiftDown<N>(same, s, &shifted);
        for (int i = 0; i < N; ++i) five.w[i] &= shifted.w[i];
    }
    ShiftUp1<N>(five, &starts);
    for (int i = 0; i < N; ++i) starts.w[i] = five.w[i] & ~starts.w[i];
    return Count<N>(five) + 2 * Count<N>(starts);
}

// Rule 3 over one line: dark-light-dark-dark-dark-light-dark at i .. i + 6 with module i - 1
// and module i + 7 light or beyond the edge. Bits past either end are 0, i.e. light.
template <int N>
int FinderPenalty(const Line& a, int n) {
    if (n < 7) return 0;
    static const bool kPattern[8] = {true, false, true, true, true, false, true, false};
    Line match, shifted;
    ShiftUp1<N>(a, &match);  // module i - 1 must be light
    for (int i = 0; i < N; ++i) match.w[i] = a.w[i] & ~match.w[i];
    for (int s = 1; s <= 7; ++s) {
        ShiftDown<N>(a, s, &shifted);
        for (int i = 0; i < N; ++i) match.w[i] &= kPattern[s] ? shifted.w[i] : ~shifted.w[i];
    }
    return 40 * Count<N>(match);
}

// Rule 2 between two neighbouring columns of height n: every y < n - 1 where the 2 x 2 block
// at rows y, y + 1 is of one colour.
template <int N>
int BlockPenalty(const Line& left, const Line& right, int n) {
    if (n < 2) return 0;
    Line across, down, shifted;
    for (int i = 0; i < N; ++i) across.w[i] = ~(left.w[i] ^ right.w[i]);
    ShiftDown<N>(left, 1, &shifted);
    for (int i = 0; i < N; ++i) down.w[i] = ~(left.w[i] ^ shifted.w[i]);
    ShiftDown<N>(across, 1, &shifted);
    for (int i = 0; i < N; ++i) across.w[i] &= shifted.w[i] & down.w[i];
    Trim<N>(&across, n - 1);
    return 3 * Count<N>(across);
}

struct Tally {
    int32_t rule1 = 0, rule2 = 0, rule3 = 0;
    long dark = 0;
};

// Rules 1 to 3 and the dark count over the columns (each `height` long, N words).
template <int N>
void ScoreColumns(const Line* cols, int width, int height, Tally* t) {
    for (int x = 0; x < width; ++x) {
        t->rule1 += RunPenalty<N>(cols[x], height);
        t->rule3 += FinderPenalty<N>(cols[x], height);
        t->dark += Count<N>(cols[x]);
        if (x + 1 < width) t->rule2 += BlockPenalty<N>(cols[x], cols[x + 1], height);
    }
}

// Rules 1 and 3 over the rows (each `width` long, N words).
template <int N>
void ScoreRows(const Line* rows, int width, int height, Tally* t) {
    for (int y = 0; y < height; ++y) {
        t->rule1 += RunPenalty<N>(rows[y], width);
        t->rule3 += FinderPenalty<N>(rows[y], width);
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
inline bool GetBit(const Line& line, int i) { return (line.w[i >> 6] >> (i & 63)) & 1; }

// Where each mask inverts, as lines: the conditions repeat every 6 columns and every 12 rows,
// so column x of mask k is column[k][x % 6] (bit y) and row y is row[k][y % 12] (bit x).
// Built once from QRCodeMaskInverts over the whole grid.
struct MaskPatterns {
    Line column[8][6];
    Line row[8][12];
};

const MaskPatterns& Patterns() {
    static const MaskPatterns patterns = [] {
        MaskPatterns p{};
        for (int k = 0; k < 8; ++k) {
            for (int j = 0; j < 6; ++j)
                for (int y = 0; y < kSymbolMatrixCapacity; ++y)
                    if (QRCodeMaskInverts(k, y, j)) SetBit(&p.column[k][j], y);
            for (int i = 0; i < 12; ++i)
                for (int x = 0; x < kSymbolMatrixCapacity; ++x)
                    if (QRCodeMaskInverts(k, i, x)) SetBit(&p.row[k][i], x);
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
    static Line cols[kSymbolMatrixCapacity];
    static Line rows[kSymbolMatrixCapacity];
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
    // Encoding runs never overlap, so the line buffers can live with the module instead of being
    // allocated per mask. Each line of a masked symbol is its unmasked colours with the data
    // cells XORed by the mask's pattern: exactly the colours of QRCodeApplyMask(m, k), without
    // building the cell copy.
    static Line baseCols[kSymbolMatrixCapacity], dataCols[kSymbolMatrixCapacity];
    static Line baseRows[kSymbolMatrixCapacity], dataRows[kSymbolMatrixCapacity];
    static Line cols[kSymbolMatrixCapacity], rows[kSymbolMatrixCapacity];
    for (int x = 0; x < W; ++x) baseCols[x] = dataCols[x] = Line{};
    for (int y = 0; y < H; ++y) baseRows[y] = dataRows[y] = Line{};
    for (int x = 0; x < W; ++x) {
        const int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int y = 0; y < H; ++y) {
            const int32_t value = column[y];
            const bool data = QRCodeIsDataCell(value);
            if (data) {
                SetBit(&dataCols[x], y);
                SetBit(&dataRows[y], x);
            }
            if (data ? value == CELL_DATA_DARK : QRCodeIsDark(value) != 0) {
                SetBit(&baseCols[x], y);
                SetBit(&baseRows[y], x);
            }
        }
    }
    const MaskPatterns& patterns = Patterns();
    const int colWords = Words(H);
    const int rowWords = Words(W);
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
    for (int x = 0; x < W && x < kSymbolMatrixCapacity; ++x) {
        const Line& inverts = patterns.column[k][x % 6];
        int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int y = 0; y < H && y < kSymbolMatrixCapacity; ++y) {
            int32_t& value = column[y];
            if (QRCodeIsDataCell(value)) {
                value = ((value == CELL_DATA_DARK) != GetBit(inverts, y)) ? CELL_DATA_DARK : CELL_DATA_LIGHT;
            }
        }
    }
}

// Mask choice and application (see mask.h).
#include "encoder/mask.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "encoder/format_info.h"
#include "encoder/lanes.h"
#include "encoder/placement.h"
#include "encoder/processor.h"
#include "encoder/trace.h"

namespace {

// ---- the symbol as bit planes ---------------------------------------------------------------
// Scoring reads the symbol as lines of bits, 64 modules to a machine word: each column (bit y =
// row y) and each row (bit x = column x), bits past the line's end always 0, which the rules read
// as light modules beyond the edge. A symbol's colours are kept twice, as they stand (dark) and
// as the set of data cells (data); mask k's colours are then dark ^ (data & pattern of k), one
// word operation per 64 modules, so no masked copy of the matrix is ever made.

constexpr int kMaxWords = (kSymbolMatrixCapacity + 63) / 64;

constexpr int Words(int n) { return (n + 63) / 64; }

// The planes of a symbol: line l, word w of a column plane lives at [l * colWords + w], of a row
// plane at [l * rowWords + w]; each line takes as many words as it needs (a column Words(height),
// a row Words(width)), so the lines of a symbol up to 64 modules a side lie one word each, side by
// side, as the scorer that reads four at once wants them.
struct Planes {
    int width = 0, height = 0;
    int colWords = 0, rowWords = 0;
    const uint64_t* darkCols = nullptr;
    const uint64_t* dataCols = nullptr;
    const uint64_t* darkRows = nullptr;
    const uint64_t* dataRows = nullptr;
};

// Room for the planes of any symbol, and for the reads of the four-lane scorer, which may go up
// to three lines past the last.
constexpr int kPlaneRoom = kSymbolMatrixCapacity * kMaxWords + 3;
struct PlaneStore {
    uint64_t darkCols[kPlaneRoom], dataCols[kPlaneRoom], darkRows[kPlaneRoom], dataRows[kPlaneRoom];
};

// A view of the planes in s for a width x height symbol.
Planes PlanesIn(PlaneStore* s, int width, int height) {
    Planes p;
    p.width = width;
    p.height = height;
    p.colWords = Words(height);
    p.rowWords = Words(width);
    p.darkCols = s->darkCols;
    p.dataCols = s->dataCols;
    p.darkRows = s->darkRows;
    p.dataRows = s->dataRows;
    return p;
}

// ---- the eight data masks ---------------------------------------------------------------------

constexpr bool Inverts(int k, int i, int j) {
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

// Where each mask inverts, as lines: every condition repeats every 6 columns and every 12 rows,
// so column x of mask k is column[k][x % 6] (bit y) and row y is row[k][y % 12] (bit x). Made
// by the compiler: a process that encodes one symbol does not build them first.
struct MaskPatterns {
    uint64_t column[8][6][kMaxWords];
    uint64_t row[8][12][kMaxWords];
};

constexpr MaskPatterns BuildPatterns() {
    MaskPatterns p{};
    for (int k = 0; k < 8; ++k) {
        for (int n = 0; n < kSymbolMatrixCapacity; ++n) {
            const uint64_t bit = uint64_t{1} << (n % 64);
            for (int j = 0; j < 6; ++j)
                if (Inverts(k, n, j)) p.column[k][j][n / 64] |= bit;
            for (int i = 0; i < 12; ++i)
                if (Inverts(k, i, n)) p.row[k][i][n / 64] |= bit;
        }
    }
    return p;
}

constexpr MaskPatterns kPatterns = BuildPatterns();

// ---- word-wise line arithmetic ----------------------------------------------------------------
// A line of N words; the helpers are written for any N and unrolled per symbol size.

#if defined(__GNUC__)
#define GW_INLINE inline __attribute__((always_inline))
#else
#define GW_INLINE inline
#endif

template <int N>
struct Bits {
    uint64_t w[N];
};

// Bit i of the result is bit i + k of a (0 < k < 64): the line seen k modules further on.
template <int N>
GW_INLINE Bits<N> Ahead(const Bits<N>& a, int k) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) r.w[i] = (a.w[i] >> k) | (i + 1 < N ? a.w[i + 1] << (64 - k) : 0);
    return r;
}

// Bit i of the result is bit i - 1 of a: the module before, 0 before the first.
template <int N>
GW_INLINE Bits<N> Behind(const Bits<N>& a) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) r.w[i] = (a.w[i] << 1) | (i > 0 ? a.w[i - 1] >> 63 : 0);
    return r;
}

// Bits 0 .. n - 1 set (n >= 0).
template <int N>
GW_INLINE Bits<N> LowBits(int n) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) {
        const int from = 64 * i;
        r.w[i] = n <= from ? 0 : n >= from + 64 ? ~uint64_t{0} : (uint64_t{1} << (n - from)) - 1;
    }
    return r;
}

GW_INLINE int PopCount(uint64_t x) {
#if defined(__GNUC__)
    return __builtin_popcountll(x);  // one instruction where the processor has it (see ScoreMask)
#else
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((x * 0x0101010101010101ull) >> 56);
#endif
}

template <int N>
GW_INLINE int Count(const Bits<N>& a) {
    int n = 0;
    for (int i = 0; i < N; ++i) n += PopCount(a.w[i]);
    return n;
}

// ---- the four penalty rules, one line (or one pair of columns) at a time -----------------------
// `same` bit i says that modules i and i + 1 of the line have one colour (bits 0 .. n - 2 only).

// Adjacent modules in a row or column in the same colour: a run of 5 + i modules of one colour
// scores 3 + i. five(i) = modules i .. i + 4 of one colour; a run of L >= 5 scores L - 2, the
// number of its modules from the first to the third from last, which are those within two
// after a module that starts five of one colour.
template <int N>
GW_INLINE int RunPoints(const Bits<N>& same) {
    Bits<N> pairs, five, cover;
    const Bits<N> same1 = Ahead(same, 1);
    for (int i = 0; i < N; ++i) pairs.w[i] = same.w[i] & same1.w[i];  // modules i .. i + 2
    const Bits<N> pairs2 = Ahead(pairs, 2);
    for (int i = 0; i < N; ++i) five.w[i] = pairs.w[i] & pairs2.w[i];
    const Bits<N> five1 = Behind(five);
    const Bits<N> five2 = Behind(five1);
    for (int i = 0; i < N; ++i) cover.w[i] = five.w[i] | five1.w[i] | five2.w[i];
    return Count(cover);
}

// 1 : 1 : 3 : 1 : 1 ratio (dark : light : dark : light : dark) pattern in a row or column, with a
// light module or the symbol's edge on either side: 40 points each. At module i: dark-light (i,
// i + 1), three dark (i + 2 .. i + 4), light-dark-light (i + 5 .. i + 7), light (i - 1).
template <int N>
GW_INLINE int FinderPoints(const Bits<N>& a, const Bits<N>& next) {
    const Bits<N> next2 = Ahead(a, 2);
    Bits<N> lead, core, tail;
    for (int i = 0; i < N; ++i) {
        lead.w[i] = a.w[i] & ~next.w[i];
        core.w[i] = a.w[i] & next.w[i] & next2.w[i];
        tail.w[i] = ~a.w[i] & next.w[i] & ~next2.w[i];
    }
    const Bits<N> core2 = Ahead(core, 2), tail5 = Ahead(tail, 5), before = Behind(a);
    uint64_t any = 0;
    Bits<N> match;
    for (int i = 0; i < N; ++i) {
        match.w[i] = lead.w[i] & core2.w[i] & tail5.w[i] & ~before.w[i];
        any |= match.w[i];
    }
    return any ? 40 * Count(match) : 0;  // rare in any symbol
}

// Block of modules in the same colour: every 2 x 2 window of one colour scores 3, windows
// overlapping. Between columns `left` and `right`: rows y and y + 1 agree in each column
// (leftSame, rightSame) and the columns agree in row y.
template <int N>
GW_INLINE int BlockPoints(const Bits<N>& left, const Bits<N>& right, const Bits<N>& leftSame,
                          const Bits<N>& rightSame) {
    Bits<N> block;
    for (int i = 0; i < N; ++i) block.w[i] = ~(left.w[i] ^ right.w[i]) & leftSame.w[i] & rightSame.w[i];
    return 3 * Count(block);
}

// Proportion of dark modules in the entire symbol: 10 points for each full 5 % step of
// deviation from 50 % beyond the first, on the truncated percentage.
int BalancePoints(long dark, long total) {
    const int percent = static_cast<int>(100 * dark / total);
    const int deviation = percent >= 50 ? percent - 50 : 50 - percent;
    return deviation >= 1 ? 10 * ((deviation - 1) / 5) : 0;
}

struct Tally {
    int32_t rule1 = 0, rule2 = 0, rule3 = 0;
    long dark = 0;
};

// Line `l` of a plane pair of N words a line under a mask pattern.
template <int N>
GW_INLINE Bits<N> MaskedLine(const uint64_t* dark, const uint64_t* data, int l, const uint64_t* pattern) {
    Bits<N> a;
    const uint64_t* d = dark + l * N;
    const uint64_t* m = data + l * N;
    for (int i = 0; i < N; ++i) a.w[i] = d[i] ^ (m[i] & pattern[i]);
    return a;
}

// Rules 1 to 3 and the dark count over the columns (N words each) of mask k.
template <int N>
GW_INLINE void ScoreColumns(const Planes& p, int k, Tally* t) {
    const Bits<N> valid = LowBits<N>(p.height - 1);
    Bits<N> left{}, leftSame{};
    for (int x = 0; x < p.width; ++x) {
        const Bits<N> a = MaskedLine<N>(p.darkCols, p.dataCols, x, kPatterns.column[k][x % 6]);
        const Bits<N> next = Ahead(a, 1);
        Bits<N> same;
        for (int i = 0; i < N; ++i) same.w[i] = ~(a.w[i] ^ next.w[i]) & valid.w[i];
        t->rule1 += RunPoints(same);
        t->rule3 += FinderPoints(a, next);
        t->dark += Count(a);
        if (x > 0) t->rule2 += BlockPoints(left, a, leftSame, same);
        left = a;
        leftSame = same;
    }
}

// Rules 1 and 3 over the rows (N words each) of mask k.
template <int N>
GW_INLINE void ScoreRows(const Planes& p, int k, Tally* t) {
    const Bits<N> valid = LowBits<N>(p.width - 1);
    for (int y = 0; y < p.height; ++y) {
        const Bits<N> a = MaskedLine<N>(p.darkRows, p.dataRows, y, kPatterns.row[k][y % 12]);
        const Bits<N> next = Ahead(a, 1);
        Bits<N> same;
        for (int i = 0; i < N; ++i) same.w[i] = ~(a.w[i] ^ next.w[i]) & valid.w[i];
        t->rule1 += RunPoints(same);
        t->rule3 += FinderPoints(a, next);
    }
}

// The four rule scores of mask k (0..7) over planes of a symbol of positive size.
GW_INLINE void ScoreMaskWith(const Planes& p, int k, int32_t scores[4]) {
    static_assert(kMaxWords == 5, "one case per word count below");
    Tally t;
    switch (p.colWords) {
        case 1: ScoreColumns<1>(p, k, &t); break;
        case 2: ScoreColumns<2>(p, k, &t); break;
        case 3: ScoreColumns<3>(p, k, &t); break;
        case 4: ScoreColumns<4>(p, k, &t); break;
        default: ScoreColumns<5>(p, k, &t); break;
    }
    switch (p.rowWords) {
        case 1: ScoreRows<1>(p, k, &t); break;
        case 2: ScoreRows<2>(p, k, &t); break;
        case 3: ScoreRows<3>(p, k, &t); break;
        case 4: ScoreRows<4>(p, k, &t); break;
        default: ScoreRows<5>(p, k, &t); break;
    }
    scores[0] = t.rule1;
    scores[1] = t.rule2;
    scores[2] = t.rule3;
    scores[3] = BalancePoints(t.dark, static_cast<long>(p.width) * p.height);
}

#if defined(__x86_64__) && defined(__GNUC__)
// ---- several lines at once ------------------------------------------------------------------
// Rules 1 and 3 on a vector of lines, one line per 64-bit lane, written once for the 256-bit and
// the 512-bit scorers below; each counts the bits they leave in its own way.

// (The lines go by reference: a vector passed by value would depend on the caller's processor kind.)
template <typename Lines>
GW_INLINE void RunCover(const Lines& same, Lines* cover) {
    // Rule 1: a run of L >= 5 modules scores L - 2: its modules from the first to the third from
    // last, which are those within two after a module that starts five of one colour.
    const Lines pairs = same & (same >> 1);
    const Lines five = pairs & (pairs >> 2);
    *cover = five | (five << 1) | (five << 2);
}

template <typename Lines>
GW_INLINE void FinderMatches(const Lines& a, const Lines& next, Lines* match) {
    // Rule 3: dark-light at i, three dark at i + 2, light-dark-light at i + 5, light at i - 1.
    const Lines next2 = a >> 2;
    const Lines core = a & next & next2;
    const Lines tail = ~a & next & ~next2;
    *match = a & ~next & (core >> 2) & (tail >> 5) & ~(a << 1);
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// ---- four lines at once ------------------------------------------------------------------------
// For symbols of at most 64 modules a side, on processors with 256-bit integer lanes: the same
// rules on four lines at a time, one line per 64-bit lane, each lane's bits counted by a nibble
// table and summed per lane.

// The mask patterns of four lines in a row: lanes j = 0..3 hold the pattern word of line s + j
// (columns repeat every 6, rows every 12).
struct LanePatterns {
    uint64_t column[8][6][4];
    uint64_t row[8][12][4];
};

constexpr LanePatterns BuildLanePatterns() {
    LanePatterns l{};
    for (int k = 0; k < 8; ++k) {
        for (int s = 0; s < 6; ++s)
            for (int j = 0; j < 4; ++j) l.column[k][s][j] = kPatterns.column[k][(s + j) % 6][0];
        for (int s = 0; s < 12; ++s)
            for (int j = 0; j < 4; ++j) l.row[k][s][j] = kPatterns.row[k][(s + j) % 12][0];
    }
    return l;
}

constexpr LanePatterns kLanePatterns = BuildLanePatterns();

#define GW_WIDE __attribute__((target("avx2,popcnt,bmi,bmi2"), always_inline)) inline

// Set bits per byte of v.
GW_WIDE __m256i ByteCounts(__m256i v) {
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1, 2, 1, 2, 2, 3, 1, 2,
                                           2, 3, 2, 3, 3, 4);
    const __m256i low = _mm256_set1_epi8(0x0F);
    return _mm256_add_epi8(_mm256_shuffle_epi8(table, _mm256_and_si256(v, low)),
                           _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(v, 4), low)));
}

// Byte counts summed per 64-bit lane (each byte count at most 255 / 8 words' worth).
GW_WIDE __m256i LaneSums(__m256i counts) { return _mm256_sad_epu8(counts, _mm256_setzero_si256()); }

GW_WIDE __m256i Load(const uint64_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

GW_WIDE long LaneTotal(__m256i v) {
    alignas(32) int64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    return static_cast<long>(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
}

// What four lines at a time add up: rule 1, the dark modules and rule 2 as byte counts (at most
// 8 per byte per step, 16 steps for 64 lines: they fit a byte), summed per lane at the end; rule 3
// as lane sums. And the last lines seen, for the blocks across to the next column.
struct WideTally {
    __m256i columnRun, rowRun, dark, block, finder;
    __m256i left, leftSame;
};

// Rules 1 and 3 of four masked lines a: adds rule 1's byte counts to *run; returns `same`
// (modules i and i + 1 of one colour).
GW_WIDE __m256i LineRules(__m256i a, __m256i valid, __m256i* run, __m256i* finder) {
    typedef uint64_t Lines __attribute__((vector_size(32)));
    const Lines lines = reinterpret_cast<Lines>(a), next = lines >> 1;
    const Lines same = ~(lines ^ next) & reinterpret_cast<Lines>(valid);
    Lines cover, matches;
    RunCover(same, &cover);
    *run = _mm256_add_epi8(*run, ByteCounts(reinterpret_cast<__m256i>(cover)));
    FinderMatches(lines, next, &matches);
    const __m256i match = reinterpret_cast<__m256i>(matches);
    if (!_mm256_testz_si256(match, match))  // rare in any symbol
        *finder = _mm256_add_epi64(*finder, LaneSums(ByteCounts(match)));
    return reinterpret_cast<__m256i>(same);
}

// Each lane's line before it: lane j gets lane j - 1 of `lines`, lane 0 lane 3 of `before`.
GW_WIDE __m256i LinesBefore(__m256i lines, __m256i before) {
    return _mm256_blend_epi32(_mm256_permute4x64_epi64(lines, 0x90), _mm256_permute4x64_epi64(before, 0xFF), 0x03);
}

// Columns n .. n + 3 (rules 1 to 3, dark modules) and rows n .. n + 3 (rules 1 and 3) of mask k's
// patterns `column` and `row` for those lines. Lanes outside `columnLive`/`rowLive` are cleared
// and score nothing; `columnValid`/`rowValid` hold only live lanes.
GW_WIDE void ScoreLines(const Planes& p, const uint64_t* column, const uint64_t* row, int n, __m256i columnLive,
                        __m256i rowLive, __m256i columnValid, __m256i rowValid, WideTally* t) {
    const __m256i a = _mm256_and_si256(
        _mm256_xor_si256(Load(p.darkCols + n), _mm256_and_si256(Load(p.dataCols + n), Load(column))),
        columnLive);
    const __m256i same = LineRules(a, columnValid, &t->columnRun, &t->finder);
    t->dark = _mm256_add_epi8(t->dark, ByteCounts(a));
    // Rule 2: rows y and y + 1 agree in the column and in the one before, and the two agree in row y.
    const __m256i block = _mm256_andnot_si256(
        _mm256_xor_si256(LinesBefore(a, t->left), a),
        _mm256_and_si256(same, _mm256_and_si256(LinesBefore(same, t->leftSame), columnLive)));
    t->block = _mm256_add_epi8(t->block, ByteCounts(block));
    t->left = a;
    t->leftSame = same;
    const __m256i r = _mm256_and_si256(
        _mm256_xor_si256(Load(p.darkRows + n), _mm256_and_si256(Load(p.dataRows + n), Load(row))),
        rowLive);
    LineRules(r, rowValid, &t->rowRun, &t->finder);
}

// Columns and rows four at a time, side by side. Lanes past the last line are cleared (and
// score nothing), so no line is left for a one-at-a-time pass; they may read lines past the
// last, which the planes have room for.
__attribute__((target("avx2,popcnt,bmi,bmi2"))) void ScoreMaskWide(const Planes& p, int k, int32_t scores[4]) {
    const __m256i zero = _mm256_setzero_si256(), ones = _mm256_set1_epi64x(-1);
    // The light line before column 0, with no module like its neighbour: no block lies across it.
    WideTally t = {zero, zero, zero, zero, zero, zero, zero};
    const __m256i columnValid = _mm256_set1_epi64x(static_cast<long long>(LowBits<1>(p.height - 1).w[0]));
    const __m256i rowValid = _mm256_set1_epi64x(static_cast<long long>(LowBits<1>(p.width - 1).w[0]));
    const int whole = p.width < p.height ? p.width : p.height;
    const int lines = p.width > p.height ? p.width : p.height;
    int n = 0;
    for (int c = 0, r = 0; n + 4 <= whole; n += 4, c = c < 2 ? c + 4 : c - 2, r = r < 8 ? r + 4 : 0)
        ScoreLines(p, kLanePatterns.column[k][c], kLanePatterns.row[k][r], n, ones, ones, columnValid, rowValid, &t);
    const __m256i lanes = _mm256_setr_epi64x(0, 1, 2, 3);
    for (; n < lines; n += 4) {
        const __m256i columnLive = _mm256_cmpgt_epi64(_mm256_set1_epi64x(p.width - n), lanes);
        const __m256i rowLive = _mm256_cmpgt_epi64(_mm256_set1_epi64x(p.height - n), lanes);
        ScoreLines(p, kLanePatterns.column[k][n % 6], kLanePatterns.row[k][n % 12], n, columnLive, rowLive,
                   _mm256_and_si256(columnValid, columnLive), _mm256_and_si256(rowValid, rowLive), &t);
    }
    scores[0] = static_cast<int32_t>(LaneTotal(LaneSums(t.columnRun)) + LaneTotal(LaneSums(t.rowRun)));
    scores[1] = 3 * static_cast<int32_t>(LaneTotal(LaneSums(t.block)));
    scores[2] = 40 * static_cast<int32_t>(LaneTotal(t.finder));
    scores[3] = BalancePoints(LaneTotal(LaneSums(t.dark)), static_cast<long>(p.width) * p.height);
}

// ---- eight lines at once -----------------------------------------------------------------------
// The same again on processors with 512-bit lanes and a population count per lane: eight lines a
// step, each lane's bits counted in place. The mask patterns of a step's eight lines are picked
// from the pattern words of one mask by their line numbers (columns repeat every 6, rows every 12).

struct MaskWords {
    uint64_t column[8][8];  // mask k, column x % 6; entries 6 and 7 unused
    uint64_t row[8][16];    // mask k, row y % 12; entries 12 to 15 unused
};

constexpr MaskWords BuildMaskWords() {
    MaskWords w{};
    for (int k = 0; k < 8; ++k) {
        for (int j = 0; j < 6; ++j) w.column[k][j] = kPatterns.column[k][j][0];
        for (int j = 0; j < 12; ++j) w.row[k][j] = kPatterns.row[k][j][0];
    }
    return w;
}

alignas(64) constexpr MaskWords kMaskWords = BuildMaskWords();

#define GW_WIDEST_TARGET "avx512f,avx512vpopcntdq,avx2,popcnt,bmi,bmi2"
#define GW_WIDEST __attribute__((target(GW_WIDEST_TARGET), always_inline)) inline

struct WidestTally {
    __m512i run, dark, block, finder;
    __m512i left, leftSame;
};

// Rules 1 and 3 of eight masked lines a, as LineRules: adds rule 1's counts to *run and returns
// `same`.
GW_WIDEST __m512i LineRules8(__m512i a, __m512i valid, __m512i* run, __m512i* finder) {
    typedef uint64_t Lines __attribute__((vector_size(64)));
    const Lines lines = reinterpret_cast<Lines>(a), next = lines >> 1;
    const Lines same = ~(lines ^ next) & reinterpret_cast<Lines>(valid);
    Lines cover, matches;
    RunCover(same, &cover);
    *run = _mm512_add_epi64(*run, _mm512_popcnt_epi64(reinterpret_cast<__m512i>(cover)));
    FinderMatches(lines, next, &matches);
    const __m512i match = reinterpret_cast<__m512i>(matches);
    if (_mm512_test_epi64_mask(match, match))  // rare in any symbol
        *finder = _mm512_add_epi64(*finder, _mm512_popcnt_epi64(match));
    return reinterpret_cast<__m512i>(same);
}

// Columns n .. n + 7 (rules 1 to 3, dark modules) and rows n .. n + 7 (rules 1 and 3) under the
// step's patterns. Lanes outside columnLive/rowLive are neither read nor scored; columnValid and
// rowValid are zero in them.
GW_WIDEST void ScoreLines8(const Planes& p, __m512i column, __m512i row, int n, __mmask8 columnLive, __mmask8 rowLive,
                           __m512i columnValid, __m512i rowValid, WidestTally* t) {
    const __m512i a = _mm512_xor_si512(_mm512_maskz_loadu_epi64(columnLive, p.darkCols + n),
                                       _mm512_and_si512(_mm512_maskz_loadu_epi64(columnLive, p.dataCols + n), column));
    const __m512i same = LineRules8(a, columnValid, &t->run, &t->finder);
    t->dark = _mm512_add_epi64(t->dark, _mm512_popcnt_epi64(a));
    // Rule 2: each lane's column beside the one before it (lane 0 beside the last step's lane 7).
    const __m512i before = _mm512_alignr_epi64(a, t->left, 7);
    const __m512i beforeSame = _mm512_alignr_epi64(same, t->leftSame, 7);
    const __m512i block = _mm512_andnot_si512(_mm512_xor_si512(before, a), _mm512_and_si512(same, beforeSame));
    t->block = _mm512_add_epi64(t->block, _mm512_popcnt_epi64(block));
    t->left = a;
    t->leftSame = same;
    const __m512i r = _mm512_xor_si512(_mm512_maskz_loadu_epi64(rowLive, p.darkRows + n),
                                       _mm512_and_si512(_mm512_maskz_loadu_epi64(rowLive, p.dataRows + n), row));
    LineRules8(r, rowValid, &t->run, &t->finder);
}

// Columns and rows eight at a time, side by side; the last step's lanes past the last line are
// masked off.
__attribute__((target(GW_WIDEST_TARGET))) void ScoreMaskWidest(const Planes& p, int k, int32_t scores[4]) {
    const __m512i zero = _mm512_setzero_si512();
    WidestTally t = {zero, zero, zero, zero, zero, zero};
    const __m512i columnValid = _mm512_set1_epi64(static_cast<long long>(LowBits<1>(p.height - 1).w[0]));
    const __m512i rowValid = _mm512_set1_epi64(static_cast<long long>(LowBits<1>(p.width - 1).w[0]));
    const __m512i columnWords = _mm512_load_si512(kMaskWords.column[k]);
    const __m512i rowWordsLow = _mm512_load_si512(kMaskWords.row[k]);
    const __m512i rowWordsHigh = _mm512_load_si512(kMaskWords.row[k] + 8);
    const __m512i lanes = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7);
    // Line numbers modulo 6 and 12, moved on by 8 each step.
    __m512i columnAt = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 0, 1);
    __m512i rowAt = lanes;
    const __m512i two = _mm512_set1_epi64(2), six = _mm512_set1_epi64(6);
    const __m512i eight = _mm512_set1_epi64(8), twelve = _mm512_set1_epi64(12);
    const int lines = p.width > p.height ? p.width : p.height;
    for (int n = 0; n < lines; n += 8) {
        const __m512i column = _mm512_permutexvar_epi64(columnAt, columnWords);
        const __m512i row = _mm512_permutex2var_epi64(rowWordsLow, rowAt, rowWordsHigh);
        const __mmask8 columnLive = _mm512_cmpgt_epi64_mask(_mm512_set1_epi64(p.width - n), lanes);
        const __mmask8 rowLive = _mm512_cmpgt_epi64_mask(_mm512_set1_epi64(p.height - n), lanes);
        ScoreLines8(p, column, row, n, columnLive, rowLive, _mm512_maskz_mov_epi64(columnLive, columnValid),
                    _mm512_maskz_mov_epi64(rowLive, rowValid), &t);
        // (x + 8) mod 6 and mod 12: the unsigned minimum keeps x where taking the modulus away wraps.
        columnAt = _mm512_add_epi64(columnAt, two);
        columnAt = _mm512_min_epu64(columnAt, _mm512_sub_epi64(columnAt, six));
        rowAt = _mm512_add_epi64(rowAt, eight);
        rowAt = _mm512_min_epu64(rowAt, _mm512_sub_epi64(rowAt, twelve));
    }
    scores[0] = static_cast<int32_t>(_mm512_reduce_add_epi64(t.run));
    scores[1] = 3 * static_cast<int32_t>(_mm512_reduce_add_epi64(t.block));
    scores[2] = 40 * static_cast<int32_t>(_mm512_reduce_add_epi64(t.finder));
    scores[3] = BalancePoints(static_cast<long>(_mm512_reduce_add_epi64(t.dark)), static_cast<long>(p.width) * p.height);
}
#endif

// On x86-64 the scoring is compiled twice: once for any processor, and once for those with a
// population count instruction and the three-operand bit instructions (nearly all in use), where
// it takes about half the instructions. The processor is asked once per process.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("popcnt,bmi,bmi2"))) void ScoreMaskBitInstructions(const Planes& p, int k, int32_t scores[4]) {
    ScoreMaskWith(p, k, scores);
}

void ScoreMaskPlain(const Planes& p, int k, int32_t scores[4]) { ScoreMaskWith(p, k, scores); }

void ScoreMask(const Planes& p, int k, int32_t scores[4]) {
    if (QRCodeHasWidestLanes() && p.colWords == 1 && p.rowWords == 1)
        ScoreMaskWidest(p, k, scores);
    else if (QRCodeHasWideLanes() && p.colWords == 1 && p.rowWords == 1)
        ScoreMaskWide(p, k, scores);
    else if (QRCodeHasBitInstructions())
        ScoreMaskBitInstructions(p, k, scores);
    else
        ScoreMaskPlain(p, k, scores);
}
#else
void ScoreMask(const Planes& p, int k, int32_t scores[4]) { ScoreMaskWith(p, k, scores); }
#endif

// ---- from cells to planes and back ----------------------------------------------------------

// One step of a bit-block transposition: in every pair of J-line groups, the upper J bits of each
// line in the first group trade places with the lower J bits of the matching line in the second.
template <int J, typename Word, int Lines>
GW_INLINE void SwapAcross(Word a[Lines], Word mask) {
    for (int b = 0; b < Lines; b += 2 * J) {
        for (int i = b; i < b + J; ++i) {
            const Word t = static_cast<Word>(((a[i] >> J) ^ a[i + J]) & mask);
            a[i] ^= static_cast<Word>(t << J);
            a[i + J] ^= t;
        }
    }
}

// The mask of the step that trades J-bit groups: the lower J bits of every 2J.
constexpr uint64_t LowHalves(int j) {
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        if ((i / j) % 2 == 0) mask |= uint64_t{1} << i;
    return mask;
}

// Transposes a square block of as many lines as a Word has bits, in place: afterwards bit i of
// a[j] is what bit j of a[i] was. Swaps ever smaller sub-blocks across the diagonal: halves,
// then quarters, down to single bits; each step's strides are constants, so the compiler unrolls
// and widens it. Symbols of versions 1 to 3 fit a 32 x 32 block.
template <typename Word>
void TransposeBlock(Word* a) {
    constexpr int kLines = 8 * sizeof(Word);
    if constexpr (kLines == 64) SwapAcross<32, Word, kLines>(a, static_cast<Word>(LowHalves(32)));
    SwapAcross<16, Word, kLines>(a, static_cast<Word>(LowHalves(16)));
    SwapAcross<8, Word, kLines>(a, static_cast<Word>(LowHalves(8)));
    SwapAcross<4, Word, kLines>(a, static_cast<Word>(LowHalves(4)));
    SwapAcross<2, Word, kLines>(a, static_cast<Word>(LowHalves(2)));
    SwapAcross<1, Word, kLines>(a, static_cast<Word>(LowHalves(1)));
}

#if defined(__x86_64__) && defined(__GNUC__)
// TransposeBlock's steps on a 64 x 64 block, four lines to a 256-bit register where the processor
// has the lanes: the steps of 32 down to 4 pair whole registers, those of 2 and 1 pair lanes of
// one register.
template <int J, int Apart>
GW_WIDE void SwapRegisters(__m256i v[16], uint64_t mask) {
    const __m256i m = _mm256_set1_epi64x(static_cast<long long>(mask));
    for (int b = 0; b < 16; b += 2 * Apart) {
        for (int i = b; i < b + Apart; ++i) {
            const __m256i t = _mm256_and_si256(_mm256_xor_si256(_mm256_srli_epi64(v[i], J), v[i + Apart]), m);
            v[i] = _mm256_xor_si256(v[i], _mm256_slli_epi64(t, J));
            v[i + Apart] = _mm256_xor_si256(v[i + Apart], t);
        }
    }
}

__attribute__((target("avx2,popcnt,bmi,bmi2"))) void Transpose64Wide(uint64_t a[64]) {
    __m256i v[16];
    for (int i = 0; i < 16; ++i) v[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 4 * i));
    SwapRegisters<32, 8>(v, LowHalves(32));
    SwapRegisters<16, 4>(v, LowHalves(16));
    SwapRegisters<8, 2>(v, LowHalves(8));
    SwapRegisters<4, 1>(v, LowHalves(4));
    // Lanes 0 and 1 with lanes 2 and 3, then lanes 0 and 2 with lanes 1 and 3: each pair's
    // exchange is found in the lower lane and moved to the upper one.
    const __m256i two = _mm256_set1_epi64x(static_cast<long long>(LowHalves(2)));
    const __m256i one = _mm256_set1_epi64x(static_cast<long long>(LowHalves(1)));
    for (int i = 0; i < 16; ++i) {
        __m256i t = _mm256_and_si256(_mm256_xor_si256(_mm256_srli_epi64(v[i], 2), _mm256_permute4x64_epi64(v[i], 0x4E)), two);
        t = _mm256_blend_epi32(t, _mm256_setzero_si256(), 0xF0);
        v[i] = _mm256_xor_si256(_mm256_xor_si256(v[i], _mm256_slli_epi64(t, 2)), _mm256_permute4x64_epi64(t, 0x4E));
        t = _mm256_and_si256(_mm256_xor_si256(_mm256_srli_epi64(v[i], 1), _mm256_shuffle_epi32(v[i], 0x4E)), one);
        t = _mm256_blend_epi32(t, _mm256_setzero_si256(), 0xCC);
        v[i] = _mm256_xor_si256(_mm256_xor_si256(v[i], _mm256_slli_epi64(t, 1)), _mm256_shuffle_epi32(t, 0x4E));
    }
    for (int i = 0; i < 16; ++i) _mm256_storeu_si256(reinterpret_cast<__m256i*>(a + 4 * i), v[i]);
}
#endif

// rows[y] bit x = cols[x] bit y, for x < width and y < height; row bits from width on are 0.
// Columns take Words(height) words each, rows Words(width).
void Transpose(const uint64_t* cols, int width, int height, uint64_t* rows) {
    const int colWords = Words(height), rowWords = Words(width);
    if (width <= 32 && height <= 32) {
        uint32_t small[32] = {};
        for (int x = 0; x < width; ++x) small[x] = static_cast<uint32_t>(cols[x]);
        TransposeBlock(small);
        for (int y = 0; y < height; ++y) rows[y] = small[y];
        return;
    }
    uint64_t block[64];
    for (int bx = 0; bx < Words(width); ++bx) {
        const int lines = width - 64 * bx < 64 ? width - 64 * bx : 64;
        for (int by = 0; by < Words(height); ++by) {
            for (int i = 0; i < lines; ++i) block[i] = cols[(64 * bx + i) * colWords + by];
            for (int i = lines; i < 64; ++i) block[i] = 0;
#if defined(__x86_64__) && defined(__GNUC__)
            if (QRCodeHasWideLanes())
                Transpose64Wide(block);
            else
#endif
                TransposeBlock(block);
            const int out = height - 64 * by < 64 ? height - 64 * by : 64;
            for (int j = 0; j < out; ++j) rows[(64 * by + j) * rowWords + bx] = block[j];
        }
    }
}

// Reads `count` (at most 64) cells into two words: bit i of *data says cell i is a data cell
// (CELL_EMPTY, CELL_DATA_LIGHT or CELL_DATA_DARK), bit i of *dark that it is dark by
// QRCodeIsDark. Sixteen cells at a time where the processor has 128-bit integer lanes: each
// cell's two answers are found on its full 32 bits, then narrowed to a byte for the bit mask.
void ReadCells(const int32_t* cells, int count, uint64_t* data, uint64_t* dark) {
    uint64_t isData = 0, isDark = 0;
    int i = 0;
#if defined(__SSE2__)
    const __m128i empty = _mm_set1_epi32(CELL_EMPTY), dataKind = _mm_set1_epi32(~CELL_DATA_DARK);
    const __m128i colour = _mm_set1_epi32(0xF0), zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        __m128i dataCell[4], light[4];
        for (int q = 0; q < 4; ++q) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + i + 4 * q));
            const __m128i unset = _mm_cmpeq_epi32(v, empty);
            dataCell[q] = _mm_or_si128(unset, _mm_cmpeq_epi32(_mm_and_si128(v, dataKind), zero));
            light[q] = _mm_or_si128(unset, _mm_cmpeq_epi32(_mm_and_si128(v, colour), zero));
        }
        const __m128i dataBytes = _mm_packs_epi16(_mm_packs_epi32(dataCell[0], dataCell[1]),
                                                  _mm_packs_epi32(dataCell[2], dataCell[3]));
        const __m128i lightBytes = _mm_packs_epi16(_mm_packs_epi32(light[0], light[1]), _mm_packs_epi32(light[2], light[3]));
        isData |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(dataBytes))) << i;
        isDark |= static_cast<uint64_t>(static_cast<uint32_t>(~_mm_movemask_epi8(lightBytes) & 0xFFFF)) << i;
    }
    for (; i + 4 <= count; i += 4) {  // the rest of a line, four cells at a time
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + i));
        const __m128i unset = _mm_cmpeq_epi32(v, empty);
        const __m128i dataCell = _mm_or_si128(unset, _mm_cmpeq_epi32(_mm_and_si128(v, dataKind), zero));
        const __m128i light = _mm_or_si128(unset, _mm_cmpeq_epi32(_mm_and_si128(v, colour), zero));
        isData |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(dataCell)))) << i;
        isDark |= static_cast<uint64_t>(static_cast<uint32_t>(~_mm_movemask_ps(_mm_castsi128_ps(light)) & 0xF)) << i;
    }
#endif
    for (; i < count; ++i) {
        const int32_t value = cells[i];
        isData |= static_cast<uint64_t>(QRCodeIsDataCell(value)) << i;
        isDark |= static_cast<uint64_t>(QRCodeIsDark(value)) << i;
    }
    *data = isData;
    *dark = isDark;
}

// ReadCells' dark word alone: bit i set for each of the first `count` (at most 64) cells that is
// dark by QRCodeIsDark.
uint64_t ReadDarkCells(const int32_t* cells, int count) {
    uint64_t dark = 0;
    int i = 0;
#if defined(__SSE2__)
    const __m128i empty = _mm_set1_epi32(CELL_EMPTY), colour = _mm_set1_epi32(0xF0), zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        __m128i light[4];
        for (int q = 0; q < 4; ++q) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + i + 4 * q));
            light[q] = _mm_or_si128(_mm_cmpeq_epi32(v, empty), _mm_cmpeq_epi32(_mm_and_si128(v, colour), zero));
        }
        const __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(light[0], light[1]), _mm_packs_epi32(light[2], light[3]));
        dark |= static_cast<uint64_t>(static_cast<uint32_t>(~_mm_movemask_epi8(bytes) & 0xFFFF)) << i;
    }
#endif
    for (; i < count; ++i) dark |= static_cast<uint64_t>(QRCodeIsDark(cells[i])) << i;
    return dark;
}

// Fills the planes of a matrix of valid size in s: columns from the cells, rows by transposition.
Planes ReadMatrix(const SymbolMatrix* m, PlaneStore* s) {
    const Planes p = PlanesIn(s, m->width, m->height);
    for (int x = 0; x < p.width; ++x) {
        const int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int c = 0; c < p.colWords; ++c) {
            const int count = p.height - 64 * c < 64 ? p.height - 64 * c : 64;
            ReadCells(column + 64 * c, count, &s->dataCols[x * p.colWords + c], &s->darkCols[x * p.colWords + c]);
        }
    }
    Transpose(s->darkCols, p.width, p.height, s->darkRows);
    Transpose(s->dataCols, p.width, p.height, s->dataRows);
    return p;
}

// Writes the final colours into the data cells of `count` (at most 64) cells: where bit i of
// `data` is set, cell i becomes CELL_DATA_DARK if bit i of `dark` is set, else CELL_DATA_LIGHT;
// other cells keep their values.
void WriteDataCells(int32_t* cells, int count, uint64_t data, uint64_t dark) {
    static_assert(CELL_DATA_LIGHT == 0 && CELL_DATA_DARK == 0x10, "a data cell's value is its colour bit << 4");
    int i = 0;
#if defined(__SSE2__)
    // Four cells per step, each step's four bits spread over the lanes by a small table.
    alignas(16) static constexpr int32_t kLanes[16][4] = {
        {0, 0, 0, 0},   {-1, 0, 0, 0},   {0, -1, 0, 0},   {-1, -1, 0, 0},   {0, 0, -1, 0},   {-1, 0, -1, 0},
        {0, -1, -1, 0}, {-1, -1, -1, 0}, {0, 0, 0, -1},   {-1, 0, 0, -1},   {0, -1, 0, -1},  {-1, -1, 0, -1},
        {0, 0, -1, -1}, {-1, 0, -1, -1}, {0, -1, -1, -1}, {-1, -1, -1, -1}};
    const __m128i darkValue = _mm_set1_epi32(CELL_DATA_DARK);
    for (; i + 4 <= count; i += 4) {
        const unsigned d = static_cast<unsigned>(data >> i) & 15;
        if (!d) continue;
        const __m128i take = _mm_load_si128(reinterpret_cast<const __m128i*>(kLanes[d]));
        const __m128i colour = _mm_and_si128(_mm_load_si128(reinterpret_cast<const __m128i*>(kLanes[(dark >> i) & 15])), darkValue);
        __m128i* p = reinterpret_cast<__m128i*>(cells + i);
        const __m128i old = _mm_loadu_si128(p);
        _mm_storeu_si128(p, _mm_or_si128(_mm_andnot_si128(take, old), _mm_and_si128(take, colour)));
    }
#endif
    for (; i < count; ++i)
        if ((data >> i) & 1) cells[i] = static_cast<int32_t>((dark >> i) & 1) << 4;
}

// Scores the eight masks into scores[0..7] and returns the lowest total's mask (the lowest
// number among equals).
int ScoreFromPlanes(const Planes& p, int32_t scores[8][4]) {
    int best = 0;
    int32_t bestTotal = 0;
    for (int k = 0; k < 8; ++k) {
        ScoreMask(p, k, scores[k]);
        const int32_t total = scores[k][0] + scores[k][1] + scores[k][2] + scores[k][3];
        if (k == 0 || total < bestTotal) {
            best = k;
            bestTotal = total;
        }
    }
    return best;
}

// Scores the masks like ScoreFromPlanes and copies the eight masks' rule values to out when
// the caller wants them.
int ScoreInto(const Planes& p, int32_t (*out)[4]) {
    int32_t scores[8][4];
    const int best = ScoreFromPlanes(p, scores);
    if (out) std::memcpy(out, scores, sizeof scores);
    return best;
}

// Chooses the mask of a matrix of valid size from its planes; writes the trace lines.
int ChooseFromPlanes(const Planes& p) {
    int32_t scores[8][4];
    const int best = ScoreFromPlanes(p, scores);
    for (int k = 0; k < 8; ++k) QRCodeTrace("%d %d %d %d\t\n", scores[k][0], scores[k][1], scores[k][2], scores[k][3]);
    return best;
}

int LevelBits(int level);

// Applies mask k to the data cells from the planes they were read into, and writes the format
// and version information.
void FinishFromPlanes(SymbolMatrix* m, const Planes& p, int level, int k) {
    for (int x = 0; x < p.width; ++x) {
        const uint64_t* pattern = kPatterns.column[k][x % 6];
        int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int c = 0; c < p.colWords; ++c) {
            const uint64_t data = p.dataCols[x * p.colWords + c];
            const uint64_t dark = p.darkCols[x * p.colWords + c] ^ (data & pattern[c]);
            const int count = p.height - 64 * c < 64 ? p.height - 64 * c : 64;
            WriteDataCells(column + 64 * c, count, data, dark);
        }
    }
    QRCodeWriteFormatInfo(m, LevelBits(level) * 8 + k);
    QRCodeWriteVersionInfo(m, m->version);
}

bool ValidSize(const SymbolMatrix* m) {
    return m->width > 0 && m->height > 0 && m->width <= kSymbolMatrixCapacity && m->height <= kSymbolMatrixCapacity;
}

int32_t MaskedValue(int32_t value, int k, int x, int y) {
    const bool dark = value == CELL_DATA_DARK;
    return (dark != Inverts(k, y, x)) ? CELL_DATA_DARK : CELL_DATA_LIGHT;
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

// Each byte value spread over eight bytes, bit i to byte i (1 for a set bit).
struct ByteSpread {
    uint64_t bytes[256];
};

constexpr ByteSpread BuildByteSpread() {
    ByteSpread t{};
    for (int v = 0; v < 256; ++v)
        for (int i = 0; i < 8; ++i) t.bytes[v] |= static_cast<uint64_t>((v >> i) & 1) << (8 * i);
    return t;
}

constexpr ByteSpread kByteSpread = BuildByteSpread();

// Row y of a symbol's final colours as bytes (1 dark) from its row planes under mask k.
void SpreadRow(const Planes& p, int k, int y, uint8_t* out) {
    const uint64_t* dark = p.darkRows + y * p.rowWords;
    const uint64_t* data = p.dataRows + y * p.rowWords;
    const uint64_t* pattern = kPatterns.row[k][y % 12];
    for (int c = 0; c < p.rowWords; ++c) {
        const uint64_t bits = dark[c] ^ (data[c] & pattern[c]);
        const int n = p.width - 64 * c < 64 ? p.width - 64 * c : 64;
        int x = 0;
        for (; x + 8 <= n; x += 8) std::memcpy(out + 64 * c + x, &kByteSpread.bytes[(bits >> x) & 0xFF], 8);
        for (; x < n; ++x) out[64 * c + x] = static_cast<uint8_t>((bits >> x) & 1);
    }
}

// ---- the road of a version whose layout is kept -------------------------------------------
// Such a version's function modules and data cells are the same in every symbol, so they are
// read into planes once (the data cells' rows too), with where its codewords go; a symbol's
// bits are then laid into a byte per module and packed into the colour plane without reading a
// cell, only the colour plane is turned into rows, and each cell is written once, at the end,
// from the layout or the masked planes.

// How a codeword's eight cells lie: most codewords fill four rows of each column of a
// two-column strip, bits alternating between the columns, upwards or downwards; they are written
// as two four-byte words, one per column. The column of the codeword's first bit is the right one
// unless a function module beside the strip has shifted the alternation, and then the columns'
// four rows are a row apart. Codewords that turn a corner or pass a function pattern are
// scattered: written a bit at a time.
enum : int { kUpwards = 0, kDownwards = 1 };

// The four bytes of each column of a regular codeword, lowest row first: upwards the column of
// the first bit holds bits 1, 3, 5, 7 (bit 7 the codeword's first) and the other 0, 2, 4, 6;
// downwards 7, 5, 3, 1 and 6, 4, 2, 0. Both columns' bits are gathered into a nibble each, and a
// nibble is spread over four bytes in the order of the direction: tables of 384 bytes, not 4 KB,
// beside the symbol in the cache.
struct StripBytes {
    uint8_t nibbles[256];  // bits 1, 3, 5, 7 in the low nibble, bits 0, 2, 4, 6 in the high one
    uint32_t spread[2][16];
};

constexpr uint32_t FourBits(int c, int b0, int b1, int b2, int b3) {
    return static_cast<uint32_t>((c >> b0) & 1) | static_cast<uint32_t>((c >> b1) & 1) << 8 |
           static_cast<uint32_t>((c >> b2) & 1) << 16 | static_cast<uint32_t>((c >> b3) & 1) << 24;
}

constexpr StripBytes BuildStripBytes() {
    StripBytes s{};
    for (int c = 0; c < 256; ++c) {
        int low = 0, high = 0;
        for (int i = 0; i < 4; ++i) {
            low |= ((c >> (2 * i + 1)) & 1) << i;
            high |= ((c >> (2 * i)) & 1) << i;
        }
        s.nibbles[c] = static_cast<uint8_t>(low | high << 4);
    }
    for (int n = 0; n < 16; ++n) {
        s.spread[kUpwards][n] = FourBits(n, 0, 1, 2, 3);
        s.spread[kDownwards][n] = FourBits(n, 3, 2, 1, 0);
    }
    return s;
}

constexpr StripBytes kStripBytes = BuildStripBytes();

// A regular codeword: its number and the lowest cell index of each of its two columns.
struct StripCodeword {
    uint16_t index, first, second;
};

// A version's layout: its dark modules and its data cells as column planes, 64 modules of a
// column to a word (column x, word c at [x * Words(side) + c]), its data cells as row planes
// (the same way), each plane with room for three lines past the last; its data cells in placement order as indices x * side + y, each whole
// codeword's lie, the cells every symbol of the version shares (column by column, stride side:
// the layout with its data cells light and its version information written), and the cells of
// the format information as indices into a matrix's cells.
struct LayoutPlanes {
    uint64_t* dark = nullptr;
    uint64_t* data = nullptr;
    uint64_t* dataRows = nullptr;
    uint16_t* order = nullptr;
    StripCodeword* strips[2] = {};  // upwards, downwards
    int32_t stripCount[2] = {};
    uint16_t* scattered = nullptr;
    int32_t scatteredCount = 0;
    uint8_t* cells = nullptr;  // side * side, then 8 bytes of slack
    int32_t orderCount = 0;
    int32_t formatAt[15][2] = {};
    int32_t versionAt[18][2] = {};  // from version 7 on; the same indexing as formatAt
};
LayoutPlanes layoutPlanes[QRCODE_LAYOUT_VERSIONS + 1];
std::once_flag layoutPlanesMade[QRCODE_LAYOUT_VERSIONS + 1];

// Sorts codeword i, whose bits go to the cells at[0..7], into the upward or downward strips of lp
// (four consecutive cells of one column each for its even and its odd bits) or the scattered ones.
void SortCodeword(int32_t i, const uint16_t* at, LayoutPlanes* lp) {
    const int first = at[0], second = at[1];
    bool up = true, down = true;
    for (int b = 0; b < 8; ++b) {
        const int column = b % 2 ? second : first;
        up = up && at[b] == column - b / 2;
        down = down && at[b] == column + b / 2;
    }
    if (up || down) {
        const int kind = up ? kUpwards : kDownwards;
        const int lowest = up ? 3 : 0;
        lp->strips[kind][lp->stripCount[kind]++] = StripCodeword{
            static_cast<uint16_t>(i), static_cast<uint16_t>(first - lowest), static_cast<uint16_t>(second - lowest)};
    } else {
        lp->scattered[lp->scatteredCount++] = static_cast<uint16_t>(i);
    }
}

// The cells every symbol of a version shares, from its layout: data cells light, version
// information written (by the matrix's own rules); and where its format information lies.
// False when memory runs out, or should a shared cell ever hold a value wider than a byte.
bool MakeSharedCells(int version, const int32_t* layout, LayoutPlanes* lp) {
    const int side = 17 + 4 * version;
    SymbolMatrix* probe = static_cast<SymbolMatrix*>(std::malloc(sizeof(SymbolMatrix)));
    lp->cells = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(side) * side + 8, 1));
    if (!probe || !lp->cells) {
        std::free(probe);
        std::free(lp->cells);
        lp->cells = nullptr;
        return false;
    }
    probe->version = version;
    probe->width = probe->height = side;
    for (int x = 0; x < side; ++x)
        for (int y = 0; y < side; ++y) {
            const int32_t cell = layout[x * side + y];
            probe->cells[x * kSymbolMatrixCapacity + y] = QRCodeIsDataCell(cell) ? CELL_DATA_LIGHT : cell;
        }
    QRCodeWriteVersionInfo(probe, version);
    // The shared cells are kept as bytes, which every value they hold fits.
    for (int x = 0; x < side; ++x)
        for (int y = 0; y < side; ++y) {
            const int32_t cell = probe->cells[x * kSymbolMatrixCapacity + y];
            if (cell < 0 || cell > 0xFF) {
                std::free(probe);
                std::free(lp->cells);
                lp->cells = nullptr;
                return false;
            }
            lp->cells[x * side + y] = static_cast<uint8_t>(cell);
        }
    for (int k = 0; k < 15; ++k)
        for (int copy = 0; copy < 2; ++copy) {
            const QRCodeCell c = QRCodeFormatCell(probe, k, copy);
            lp->formatAt[k][copy] = c.x * kSymbolMatrixCapacity + c.y;
        }
    for (int k = 0; version >= 7 && k < 18; ++k)
        for (int copy = 0; copy < 2; ++copy) {
            const QRCodeCell c = QRCodeVersionCell(probe, k, copy);
            lp->versionAt[k][copy] = c.x * kSymbolMatrixCapacity + c.y;
        }
    std::free(probe);
    return true;
}

// When its tables cannot be made (memory, or cells that do not fit) the version simply takes the
// cell-by-cell road.
void MakeLayoutPlanes(int version, const int32_t* layout, const uint16_t* order, int32_t orderCount) {
    const int side = 17 + 4 * version;
    const int words = Words(side);
    const int32_t codewords = orderCount / 8;
    const int room = side * words + 3;
    uint64_t* planes = static_cast<uint64_t*>(std::calloc(3 * room, sizeof(uint64_t)));
    uint16_t* at = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * (orderCount > 0 ? orderCount : 1)));
    // One list with room for every codeword twice over: upward, downward and scattered ones.
    const size_t listed = static_cast<size_t>(codewords > 0 ? codewords : 1);
    StripCodeword* strips = static_cast<StripCodeword*>(std::malloc(sizeof(StripCodeword) * 2 * listed));
    uint16_t* scattered = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * listed));
    LayoutPlanes& lp = layoutPlanes[version];
    if (!planes || !at || !strips || !scattered || !MakeSharedCells(version, layout, &lp)) {
        std::free(planes);
        std::free(at);
        std::free(strips);
        std::free(scattered);
        return;
    }
    uint64_t* data = planes + room;
    uint64_t* dataRows = data + room;
    for (int x = 0; x < side; ++x) {
        for (int c = 0; c < words; ++c) {
            const int count = side - 64 * c < 64 ? side - 64 * c : 64;
            ReadCells(layout + x * side + 64 * c, count, &data[x * words + c], &planes[x * words + c]);
        }
    }
    Transpose(data, side, side, dataRows);
    for (int32_t i = 0; i < orderCount; ++i) {
        const int x = order[i] / kSymbolMatrixCapacity;
        at[i] = static_cast<uint16_t>(x * side + order[i] - x * kSymbolMatrixCapacity);
    }
    lp.strips[kUpwards] = strips;
    lp.strips[kDownwards] = strips + listed;
    lp.scattered = scattered;
    for (int32_t i = 0; i < codewords; ++i) SortCodeword(i, at + 8 * i, &lp);
    lp.dark = planes;
    lp.data = data;
    lp.dataRows = dataRows;
    lp.order = at;
    lp.orderCount = orderCount;
}

// The largest version's cells, one byte each, and room for PackBytes to read a whole 64 bytes
// past the last line's start.
constexpr int kPlacedBytes = (17 + 4 * QRCODE_LAYOUT_VERSIONS) * (17 + 4 * QRCODE_LAYOUT_VERSIONS) + 64;

// Bit i set for each of the first n (at most 64) bytes that is 1 (bytes are 0 or 1); may read
// up to 64 bytes.
uint64_t PackBytes(const uint8_t* bytes, int n) {
    uint64_t word = 0;
#if defined(__SSE2__)
    for (int i = 0; i < 64; i += 16) {
        // Bit 0 of each byte moved to its top bit, where the byte mask reads it.
        const __m128i v = _mm_slli_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), 7);
        word |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v))) << i;
    }
#else
    for (int i = 0; i < 64; ++i) word |= static_cast<uint64_t>(bytes[i] & 1) << i;
#endif
    return n < 64 ? word & ((uint64_t{1} << n) - 1) : word;
}

// The codewords' bits, most significant bit of each first, as one byte per cell of the
// version's columns (stride side), every other byte 0. Data cells past the last bit (the
// remainder) stay light, as the layout has them.
void LayBits(const LayoutPlanes& lp, int side, const int32_t* codewords, int count, uint8_t* placed) {
    std::memset(placed, 0, static_cast<size_t>(side) * side + 64);
    const int32_t whole = count < lp.orderCount / 8 ? count : lp.orderCount / 8;
    for (int kind = kUpwards; kind <= kDownwards; ++kind) {
        const StripCodeword* strip = lp.strips[kind];
        for (int32_t e = 0; e < lp.stripCount[kind]; ++e) {
            const StripCodeword w = strip[e];
            if (w.index >= whole) continue;
            const int n = kStripBytes.nibbles[codewords[w.index] & 0xFF];
            std::memcpy(placed + w.first, &kStripBytes.spread[kind][n & 15], 4);
            std::memcpy(placed + w.second, &kStripBytes.spread[kind][n >> 4], 4);
        }
    }
    for (int32_t e = 0; e < lp.scatteredCount; ++e) {
        const int32_t i = lp.scattered[e];
        if (i >= whole) continue;
        const int c = codewords[i] & 0xFF;
        const uint16_t* at = lp.order + 8 * i;
        for (int b = 0; b < 8; ++b) placed[at[b]] = static_cast<uint8_t>((c >> (7 - b)) & 1);
    }
}

// Writes the final cells of one column stretch: the shared cells, with bit i of darkData making
// data cell i dark.
GW_INLINE void WriteCellsPlain(int32_t* out, const uint8_t* shared, int count, uint64_t darkData) {
    static_assert(CELL_DATA_LIGHT == 0 && CELL_DATA_DARK == 0x10, "a data cell's value is its colour bit << 4");
    for (int i = 0; i < count; ++i) out[i] = shared[i] | static_cast<int32_t>((darkData >> i) & 1) << 4;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Eight cells per step: eight shared bytes widened to cells, lane i ORed with bit i of a byte of
// dark data bits moved to the data colour's place; the last step of a column writes only the cells
// it has (its shared bytes may run into the next column's, or the slack after the last).
__attribute__((target("avx2"))) void WriteCellsWide(int32_t* out, const uint8_t* shared, int count, uint64_t darkData) {
    const __m256i toColour = _mm256_setr_epi32(4, 3, 2, 1, 0, 0, 0, 0);
    const __m256i fromHigh = _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 2, 3);
    const __m256i dark = _mm256_set1_epi32(CELL_DATA_DARK);
    for (int i = 0; i < count; i += 8) {
        // Lane i's bit to bit 4: up by 4 - i for the first five lanes, down by i - 4 for the rest.
        const __m256i bits = _mm256_set1_epi32(static_cast<int>((darkData >> i) & 0xFF));
        const __m256i colour = _mm256_and_si256(_mm256_srlv_epi32(_mm256_sllv_epi32(bits, toColour), fromHigh), dark);
        const __m256i cells = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(shared + i)));
        if (i + 8 <= count) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(cells, colour));
        } else {
            const __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(count - i), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
            _mm256_maskstore_epi32(out + i, live, _mm256_or_si256(cells, colour));
        }
    }
}
#endif

// The final cells of a symbol from the masked planes and the shared cells, then the format
// information of `format`.
template <bool Wide>
GW_INLINE void WriteSymbolCells(SymbolMatrix* m, const LayoutPlanes& lp, const Planes& p, int k, int32_t format) {
    const int side = p.width;
    for (int x = 0; x < side; ++x) {
        const uint64_t* pattern = kPatterns.column[k][x % 6];
        int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int c = 0; c < p.colWords; ++c) {
            const uint64_t data = p.dataCols[x * p.colWords + c];
            const uint64_t darkData = (p.darkCols[x * p.colWords + c] ^ (data & pattern[c])) & data;
            const int count = side - 64 * c < 64 ? side - 64 * c : 64;
#if defined(__x86_64__) && defined(__GNUC__)
            if (Wide) {
                WriteCellsWide(column + 64 * c, lp.cells + x * side + 64 * c, count, darkData);
                continue;
            }
#endif
            WriteCellsPlain(column + 64 * c, lp.cells + x * side + 64 * c, count, darkData);
        }
    }
    for (int b = 0; b < 15; ++b) {
        const int32_t value = (format >> b) & 1 ? CELL_FORMAT_DARK : CELL_FORMAT_LIGHT;
        m->cells[lp.formatAt[b][0]] = value;
        m->cells[lp.formatAt[b][1]] = value;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void WriteSymbolWide(SymbolMatrix* m, const LayoutPlanes& lp, const Planes& p, int k,
                                                     int32_t format) {
    WriteSymbolCells<true>(m, lp, p, k, format);
}
#endif

void WriteSymbol(SymbolMatrix* m, const LayoutPlanes& lp, const Planes& p, int k, int32_t format) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (QRCodeHasWideLanes()) {
        WriteSymbolWide(m, lp, p, k, format);
        return;
    }
#endif
    WriteSymbolCells<false>(m, lp, p, k, format);
}

// The symbol's colours row by row into rows (1 dark) from the planes under mask k. The planes hold
// the information cells as reserved (light): their bits come from the format word and the
// version's word.
void WriteRows(const LayoutPlanes& lp, const Planes& p, int k, int32_t format, int version, uint8_t* rows) {
    const int side = p.width;
    for (int y = 0; y < side; ++y) SpreadRow(p, k, y, rows + static_cast<size_t>(y) * side);
    auto put = [&](int32_t at, int bit) {
        const int x = at / kSymbolMatrixCapacity, y = at % kSymbolMatrixCapacity;
        rows[static_cast<size_t>(y) * side + x] = static_cast<uint8_t>(bit);
    };
    for (int b = 0; b < 15; ++b)
        for (int copy = 0; copy < 2; ++copy) put(lp.formatAt[b][copy], (format >> b) & 1);
    if (version < 7) return;
    const int32_t word = VersionInfoBits[version - 7];
    for (int b = 0; b < 18; ++b)
        for (int copy = 0; copy < 2; ++copy) put(lp.versionAt[b][copy], (word >> b) & 1);
}

}  // namespace

int QRCodePlaceAndMask(SymbolMatrix* m, int version, const int32_t* codewords, int count, int level, int k,
                       int32_t (*scores)[4], uint8_t* rows, bool cells) {
    if (version < 1 || version > QRCODE_LAYOUT_VERSIONS || !codewords || count <= 0 || k > 7) return -1;
    const int32_t* layout = QRCodeVersionLayout(version);
    if (!layout) return -1;
    int32_t orderCount = 0;
    const uint16_t* order = QRCodePlacementOrder(version, &orderCount);
    if (!order) return -1;
    std::call_once(layoutPlanesMade[version], MakeLayoutPlanes, version, layout, order, orderCount);
    const LayoutPlanes& lp = layoutPlanes[version];
    if (!lp.dark) return -1;

    const int side = 17 + 4 * version;
    const int words = Words(side);
    alignas(16) uint8_t placed[kPlacedBytes];
    LayBits(lp, side, codewords, count, placed);
    // The colour planes are the symbol's own; the data cells' are the version's.
    uint64_t darkCols[kPlaneRoom], darkRows[kPlaneRoom];
    for (int x = 0; x < side; ++x) {
        for (int c = 0; c < words; ++c) {
            const int n = side - 64 * c < 64 ? side - 64 * c : 64;
            darkCols[x * words + c] = lp.dark[x * words + c] | PackBytes(placed + x * side + 64 * c, n);
        }
    }
    Transpose(darkCols, side, side, darkRows);
    Planes p;
    p.width = p.height = side;
    p.colWords = p.rowWords = words;
    p.darkCols = darkCols;
    p.darkRows = darkRows;
    p.dataCols = lp.data;
    p.dataRows = lp.dataRows;
    if (k < 0) k = ScoreInto(p, scores);
    m->version = version;
    m->width = m->height = side;
    const int32_t format = QRCodeFormatWord(LevelBits(level) * 8 + k);
    if (cells) WriteSymbol(m, lp, p, k, format);
    if (rows) WriteRows(lp, p, k, format, version, rows);
    return k;
}


void QRCodeModuleBytes(const SymbolMatrix* m, uint8_t* out) {
    if (!ValidSize(m)) return;
    // The colours a column at a time into a plane, turned into rows, and each row's bits spread
    // eight bytes at a time.
    PlaneStore s;
    const Planes p = PlanesIn(&s, m->width, m->height);
    for (int x = 0; x < p.width; ++x) {
        const int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int c = 0; c < p.colWords; ++c) {
            const int count = p.height - 64 * c < 64 ? p.height - 64 * c : 64;
            s.darkCols[x * p.colWords + c] = ReadDarkCells(column + 64 * c, count);
        }
    }
    Transpose(s.darkCols, p.width, p.height, s.darkRows);
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = out + static_cast<size_t>(y) * p.width;
        const uint64_t* bits = s.darkRows + y * p.rowWords;
        int x = 0;
        for (; x + 8 <= p.width; x += 8) std::memcpy(row + x, &kByteSpread.bytes[(bits[x / 64] >> (x % 64)) & 0xFF], 8);
        for (; x < p.width; ++x) row[x] = static_cast<uint8_t>((bits[x / 64] >> (x % 64)) & 1);
    }
}

bool QRCodeMaskInverts(int k, int i, int j) {
    return Inverts(k, i, j);
}

int32_t* QRCodeApplyMask(const SymbolMatrix* m, int k) {
    const int W = m->width;
    const int H = m->height;
    if (!ValidSize(m)) return nullptr;
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
    // The cells as they stand: no data cells, so any mask's pattern leaves them alone.
    PlaneStore s;
    const Planes p = PlanesIn(&s, width, height);
    for (int x = 0; x < width; ++x) {
        for (int c = 0; c < p.colWords; ++c) {
            uint64_t ignored = 0;
            const int count = height - 64 * c < 64 ? height - 64 * c : 64;
            ReadCells(cells + x * height + 64 * c, count, &ignored, &s.darkCols[x * p.colWords + c]);
            s.dataCols[x * p.colWords + c] = 0;
        }
    }
    for (int i = 0; i < height * p.rowWords; ++i) s.dataRows[i] = 0;
    Transpose(s.darkCols, width, height, s.darkRows);
    ScoreMask(p, 0, scores);
}

int QRCodeChooseMask(const SymbolMatrix* m) {
    if (!ValidSize(m)) return 0;
    PlaneStore s;
    const Planes p = ReadMatrix(m, &s);
    return ChooseFromPlanes(p);
}

int QRCodeScoreMasks(const SymbolMatrix* m, int32_t (*out)[4]) {
    if (!ValidSize(m)) return 0;
    PlaneStore s;
    const Planes p = ReadMatrix(m, &s);
    const int best = ScoreInto(p, out);
    return best;
}

void QRCodeFinishWithMask(SymbolMatrix* m, int level, int k) {
    if (!ValidSize(m) || k < 0 || k > 7) {
        QRCodeWriteFormatInfo(m, LevelBits(level) * 8 + (k >= 0 && k <= 7 ? k : 0));
        QRCodeWriteVersionInfo(m, m->version);
        const int width = m->width < kSymbolMatrixCapacity ? m->width : kSymbolMatrixCapacity;
        const int height = m->height < kSymbolMatrixCapacity ? m->height : kSymbolMatrixCapacity;
        for (int x = 0; x < width; ++x) {
            for (int y = 0; y < height; ++y) {
                int32_t* cell = m->cells + x * kSymbolMatrixCapacity + y;
                if (QRCodeIsDataCell(*cell)) *cell = MaskedValue(*cell, k, x, y);
            }
        }
        return;
    }
    // Each column's cells a word of 64 at a time: which are data cells and which are dark, the
    // mask's pattern over the data cells, and the final colours written back.
    for (int x = 0; x < m->width; ++x) {
        const uint64_t* pattern = kPatterns.column[k][x % 6];
        int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int c = 0; 64 * c < m->height; ++c) {
            const int count = m->height - 64 * c < 64 ? m->height - 64 * c : 64;
            uint64_t data = 0, dark = 0;
            ReadCells(column + 64 * c, count, &data, &dark);
            WriteDataCells(column + 64 * c, count, data, dark ^ (data & pattern[c]));
        }
    }
    QRCodeWriteFormatInfo(m, LevelBits(level) * 8 + k);
    QRCodeWriteVersionInfo(m, m->version);
}

void QRCodeMaskSymbol(SymbolMatrix* m, int level) {
    // The format and version writers only write, and only function cells: masking the data
    // cells before they run gives the same matrix as masking after them.
    if (!ValidSize(m)) {
        QRCodeWriteFormatInfo(m, LevelBits(level) * 8);
        QRCodeWriteVersionInfo(m, m->version);
        // A record whose size lies outside the grid: mask 0 over the part inside it.
        const int width = m->width < kSymbolMatrixCapacity ? m->width : kSymbolMatrixCapacity;
        const int height = m->height < kSymbolMatrixCapacity ? m->height : kSymbolMatrixCapacity;
        for (int x = 0; x < width; ++x) {
            for (int y = 0; y < height; ++y) {
                int32_t* cell = m->cells + x * kSymbolMatrixCapacity + y;
                if (QRCodeIsDataCell(*cell)) *cell = MaskedValue(*cell, 0, x, y);
            }
        }
        return;
    }
    PlaneStore s;
    const Planes p = ReadMatrix(m, &s);
    FinishFromPlanes(m, p, level, ChooseFromPlanes(p));
}

int QRCodeScoreAndFinish(SymbolMatrix* m, int level, int32_t (*out)[4]) {
    if (!ValidSize(m)) {
        QRCodeFinishWithMask(m, level, 0);
        return 0;
    }
    PlaneStore s;
    const Planes p = ReadMatrix(m, &s);
    const int best = ScoreInto(p, out);
    FinishFromPlanes(m, p, level, best);
    return best;
}

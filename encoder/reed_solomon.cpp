// GF(256) tables and Reed-Solomon block encoding. The field and generator tables, and the nibble
// multiples the 256-bit division uses, are built at compile time; elsewhere a generator's table of
// products is built once it has served enough codewords.
#include "encoder/reed_solomon.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "encoder/lanes.h"
#include "encoder/processor.h"

namespace {

struct FieldTables {
    int32_t exp[256];
    int32_t log[256];
};

constexpr FieldTables BuildField() {
    FieldTables t{};
    int32_t x = 1;
    for (int32_t i = 0; i < 255; ++i) {
        t.exp[i] = x;
        t.log[x] = i;
        x <<= 1;
        if (x & 0x100) x ^= 0x11D;
    }
    t.exp[255] = 1;
    t.log[0] = 0;
    return t;
}

constexpr FieldTables kField = BuildField();

constexpr int32_t Multiply(int32_t a, int32_t b) {
    return (a == 0 || b == 0) ? 0 : kField.exp[(kField.log[a] + kField.log[b]) % 255];
}

// Multiplication without a branch or a division: every element's logarithm, with 0 given the
// out-of-range logarithm kZeroLog, indexes an antilogarithm table that runs over two periods
// of the field and then holds zeros. A product with a zero factor lands in the zero part.
constexpr int32_t kZeroLog = 511;

struct ProductTables {
    uint8_t antilog[2 * kZeroLog + 1];  // alpha^(i mod 255) for i < 510, else 0
    int16_t log[256];                   // log[0] = kZeroLog
};

constexpr ProductTables BuildProductTables() {
    ProductTables t{};
    for (int32_t i = 0; i < 2 * kZeroLog + 1; ++i) t.antilog[i] = i < 510 ? static_cast<uint8_t>(kField.exp[i % 255]) : 0;
    t.log[0] = kZeroLog;
    for (int32_t x = 1; x < 256; ++x) t.log[x] = static_cast<int16_t>(kField.log[x]);
    return t;
}

constexpr ProductTables kProduct = BuildProductTables();

inline int32_t FastMultiply(int32_t a, int32_t b) { return kProduct.antilog[kProduct.log[a] + kProduct.log[b]]; }

struct GeneratorTable {
    int32_t rows[QRCODE_GENERATOR_COUNT][QRCODE_MAX_GENERATOR_DEGREE];
};

constexpr int32_t kDegrees[QRCODE_GENERATOR_COUNT] = {7,  10, 13, 15, 16, 17, 18, 20, 22, 24, 26,
                                                      28, 30, 32, 34, 36, 40, 42, 44, 46, 48, 50,
                                                      52, 54, 56, 58, 60, 62, 64, 66, 68};

// Multiplies out (x - alpha^0)...(x - alpha^(n-1)); in GF(2^8) subtraction is exclusive or.
constexpr GeneratorTable BuildGenerators() {
    GeneratorTable table{};
    for (int32_t r = 0; r < QRCODE_GENERATOR_COUNT; ++r) {
        const int32_t n = kDegrees[r];
        // poly[0] is the leading coefficient, poly[i] that of x^(degree - i).
        int32_t poly[QRCODE_MAX_GENERATOR_DEGREE + 1] = {1};
        for (int32_t d = 0; d < n; ++d) {
            const int32_t root = kField.exp[d];
            for (int32_t i = d + 1; i >= 1; --i) poly[i] ^= Multiply(poly[i - 1], root);
        }
        for (int32_t i = 0; i < n; ++i) table.rows[r][i] = poly[i + 1];
    }
    return table;
}

constexpr GeneratorTable kGenerators = BuildGenerators();

// Generator row of every count 0..68, -1 where there is none: a block's count is looked up,
// not searched for.
struct RowIndex {
    int8_t row[QRCODE_MAX_GENERATOR_DEGREE + 1];
};

constexpr RowIndex BuildRowIndex() {
    RowIndex index{};
    for (int32_t n = 0; n <= QRCODE_MAX_GENERATOR_DEGREE; ++n) index.row[n] = -1;
    for (int32_t r = 0; r < QRCODE_GENERATOR_COUNT; ++r) index.row[kDegrees[r]] = static_cast<int8_t>(r);
    return index;
}

constexpr RowIndex kRowIndex = BuildRowIndex();

int32_t RowFor(int32_t n) { return n < 0 || n > QRCODE_MAX_GENERATOR_DEGREE ? -1 : kRowIndex.row[n]; }

// The generators as logarithms (kZeroLog for a zero coefficient), for blocks divided without
// the product rows below: one logarithm per data codeword instead of two per product.
struct GeneratorLogTable {
    int16_t rows[QRCODE_GENERATOR_COUNT][QRCODE_MAX_GENERATOR_DEGREE];
};

constexpr GeneratorLogTable BuildGeneratorLogs() {
    GeneratorLogTable table{};
    for (int32_t r = 0; r < QRCODE_GENERATOR_COUNT; ++r)
        for (int32_t i = 0; i < QRCODE_MAX_GENERATOR_DEGREE; ++i) table.rows[r][i] = kProduct.log[kGenerators.rows[r][i]];
    return table;
}

constexpr GeneratorLogTable kGeneratorLogs = BuildGeneratorLogs();

// Every multiple of each generator: row f of generator r holds f * g_j for j < n, so dividing by
// g(x) XORs one ready row into the remainder per data codeword, eight bytes at a time. Rows are
// RowStride(n) bytes apart, n rounded up to whole words (the bytes past n are zero); the
// generators lie one after another.
constexpr int32_t RowStride(int32_t n) { return (n + 7) & ~7; }

constexpr int32_t ProductTableSize() {
    int32_t size = 0;
    for (int32_t n : kDegrees) size += 256 * RowStride(n);
    return size;
}

struct ProductOffsets {
    int32_t at[QRCODE_GENERATOR_COUNT];
};

constexpr ProductOffsets BuildProductOffsets() {
    ProductOffsets o{};
    int32_t at = 0;
    for (int32_t r = 0; r < QRCODE_GENERATOR_COUNT; ++r) {
        o.at[r] = at;
        at += 256 * RowStride(kDegrees[r]);
    }
    return o;
}

constexpr ProductOffsets kProductOffsets = BuildProductOffsets();

// Making a generator's rows costs as many products as dividing 256 codewords by it, so they are
// made once a generator has divided that many without them: a process that makes one small
// symbol never pays for them, and one that makes many pays once. Filled once, then only read,
// from any thread.
constexpr int32_t kCodewordsBeforeRows = 256;
uint8_t products[ProductTableSize()];
std::once_flag productsBuilt[QRCODE_GENERATOR_COUNT];
std::atomic<int32_t> dividedWithoutRows[QRCODE_GENERATOR_COUNT];

// The product rows of generator `row`, or null while it has divided too few codewords (which
// then count towards them).
const uint8_t* ProductsOf(int32_t row, int32_t codewords) {
    if (dividedWithoutRows[row].load(std::memory_order_relaxed) < kCodewordsBeforeRows) {
        dividedWithoutRows[row].fetch_add(codewords, std::memory_order_relaxed);
        return nullptr;
    }
    std::call_once(productsBuilt[row], [row] {
        const int32_t n = kDegrees[row];
        uint8_t* table = products + kProductOffsets.at[row];
        for (int32_t f = 0; f < 256; ++f)
            for (int32_t j = 0; j < n; ++j)
                table[f * RowStride(n) + j] = static_cast<uint8_t>(FastMultiply(f, kGenerators.rows[row][j]));
    });
    return products + kProductOffsets.at[row];
}

}  // namespace

// Bound at compile time, so they are usable from any other unit's static initialisation.
const int32_t (&GFExp)[256] = kField.exp;
const int32_t (&GFLog)[256] = kField.log;
const int32_t (&GeneratorDegrees)[QRCODE_GENERATOR_COUNT] = kDegrees;
const int32_t (&GeneratorPolynomials)[QRCODE_GENERATOR_COUNT][QRCODE_MAX_GENERATOR_DEGREE] = kGenerators.rows;

void RSCodecInit(RSCodec* codec) {
    codec->fieldOrder = QRCODE_GF_ORDER;
    codec->generator = nullptr;
    codec->degree = 0;
}

void RSSelectGenerator(RSCodec* codec, int32_t n) {
    int32_t row = RowFor(n);
    if (row < 0) row = QRCODE_GENERATOR_COUNT - 1;
    codec->generator = kGenerators.rows[row];
    codec->degree = kDegrees[row];
}

int32_t GFMultiply(const RSCodec* codec, int32_t a, int32_t b) {
    (void)codec;
    if (a < 0 || a > 255 || b < 0 || b > 255) return 0;
    return FastMultiply(a, b);
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// The generators of at most 32 codewords (every block of a symbol has at most 30) as multiples
// of a nibble: f * g is (f & 15) * g ^ (f & 0xF0) * g, so two 16-row tables of 32 bytes (zeros
// past n) give every multiple of a generator from 1 KB instead of 256 rows.
constexpr int32_t WideGenerators() {
    int32_t count = 0;
    while (count < QRCODE_GENERATOR_COUNT && kDegrees[count] <= 32) ++count;
    return count;
}

struct NibbleMultiples {
    uint8_t low[16][32];   // v * g_j
    uint8_t high[16][32];  // (v << 4) * g_j
};

struct NibbleTables {
    NibbleMultiples of[WideGenerators()];
};

constexpr NibbleTables BuildNibbleTables() {
    NibbleTables t{};
    for (int32_t r = 0; r < WideGenerators(); ++r)
        for (int32_t v = 0; v < 16; ++v)
            for (int32_t j = 0; j < kDegrees[r]; ++j) {
                t.of[r].low[v][j] = static_cast<uint8_t>(Multiply(v, kGenerators.rows[r][j]));
                t.of[r].high[v][j] = static_cast<uint8_t>(Multiply(v << 4, kGenerators.rows[r][j]));
            }
    return t;
}

alignas(32) constexpr NibbleTables kNibbles = BuildNibbleTables();

// The division with the whole remainder in one 256-bit register. One data codeword's step: the
// register moves down a byte and the feedback's multiple of the generator is XORed in. The bytes
// from n on stay zero, as the multiples are zero there.
__attribute__((target("avx2"), always_inline)) inline __m256i DivideStep(const NibbleMultiples& g, __m256i remainder,
                                                                          int32_t codeword) {
    const int32_t f = (_mm256_cvtsi256_si32(remainder) ^ codeword) & 0xFF;
    const __m256i high = _mm256_permute2x128_si256(remainder, remainder, 0x81);
    const __m256i multiple = _mm256_xor_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(g.low[f & 15])),
                                              _mm256_load_si256(reinterpret_cast<const __m256i*>(g.high[f >> 4])));
    return _mm256_xor_si256(_mm256_alignr_epi8(high, remainder, 1), multiple);
}

__attribute__((target("avx2"), always_inline)) inline void StoreRemainder(__m256i remainder, int32_t n, uint8_t* ec) {
    alignas(32) uint8_t out[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), remainder);
    std::memcpy(ec, out, static_cast<size_t>(n));
}

template <typename T>
__attribute__((target("avx2"), always_inline)) inline void DivideWide(const NibbleMultiples& g, const T* data,
                                                                       int32_t k, int32_t n, T* ec) {
    __m256i remainder = _mm256_setzero_si256();
    for (int32_t i = 0; i < k; ++i) remainder = DivideStep(g, remainder, data[i]);
    alignas(32) uint8_t out[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), remainder);
    for (int32_t j = 0; j < n; ++j) ec[j] = out[j];
}

// L blocks divided side by side, each block's remainder in a register of its own. Each step waits
// on the one before it in the same block (the feedback is the remainder's first byte), so one
// block at a time leaves the processor idle most of each step; L independent divisions fill it.
// Block b's k[b] data codewords start at data[b], its n error-correction codewords go to ec[b].
template <int L>
__attribute__((target("avx2"), always_inline)) inline void DivideSideBySide(const NibbleMultiples& g,
                                                                             const uint8_t* const* data,
                                                                             const int32_t* k, int32_t n,
                                                                             uint8_t* const* ec) {
    __m256i remainder[L];
    int32_t common = k[0];
    for (int b = 0; b < L; ++b) {
        remainder[b] = _mm256_setzero_si256();
        if (k[b] < common) common = k[b];
    }
    for (int32_t i = 0; i < common; ++i)
        for (int b = 0; b < L; ++b) remainder[b] = DivideStep(g, remainder[b], data[b][i]);
    for (int b = 0; b < L; ++b) {
        for (int32_t i = common; i < k[b]; ++i) remainder[b] = DivideStep(g, remainder[b], data[b][i]);
        StoreRemainder(remainder[b], n, ec[b]);
    }
}

// Consecutive blocks (block b's data right after block b - 1's, likewise the error correction),
// four at a time, then the rest together.
__attribute__((target("avx2"))) void DivideBlocksWide(const NibbleMultiples& g, const uint8_t* data, const int32_t* k,
                                                      int32_t count, int32_t n, uint8_t* ec) {
    const uint8_t* from[4];
    uint8_t* to[4];
    for (int32_t b = 0; b < count;) {
        const int32_t group = count - b < 4 ? count - b : 4;
        for (int32_t j = 0; j < group; ++j) {
            from[j] = data;
            to[j] = ec;
            data += k[b + j];
            ec += n;
        }
        switch (group) {
            case 4: DivideSideBySide<4>(g, from, k + b, n, to); break;
            case 3: DivideSideBySide<3>(g, from, k + b, n, to); break;
            case 2: DivideSideBySide<2>(g, from, k + b, n, to); break;
            default: DivideSideBySide<1>(g, from, k + b, n, to); break;
        }
        b += group;
    }
}

__attribute__((target("avx2"))) void DivideWideWords(const NibbleMultiples& g, const int32_t* data, int32_t k,
                                                     int32_t n, int32_t* ec) {
    DivideWide(g, data, k, n, ec);
}

__attribute__((target("avx2"))) void DivideWideBytes(const NibbleMultiples& g, const uint8_t* data, int32_t k,
                                                     int32_t n, uint8_t* ec) {
    DivideWide(g, data, k, n, ec);
}

void DivideWideInto(const NibbleMultiples& g, const int32_t* data, int32_t k, int32_t n, int32_t* ec) {
    DivideWideWords(g, data, k, n, ec);
}

void DivideWideInto(const NibbleMultiples& g, const uint8_t* data, int32_t k, int32_t n, uint8_t* ec) {
    DivideWideBytes(g, data, k, n, ec);
}
#endif

// Long division of d(x) * x^n by g(x) for the generator of row `row`, k data codewords (the low
// eight bits of each) into the n error-correction codewords, highest degree first.
template <typename T>
void Divide(int32_t row, const T* data, int32_t k, int32_t n, T* ec) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (row < WideGenerators() && QRCodeHasWideLanes()) {
        DivideWideInto(kNibbles.of[row], data, k, n, ec);
        return;
    }
#endif
    const uint8_t* products = ProductsOf(row, k);
    const int16_t* g = kGeneratorLogs.rows[row];
    // Long division of d(x) * x^n by g(x), one data codeword at a time. The running remainder,
    // highest degree first, lives in a byte buffer twice the longest remainder: instead of
    // moving it down one place per codeword, its start moves up, and it is moved back to the
    // front only when it reaches the end of the buffer.
    // The product rows are XORed in whole words, up to 7 bytes past the remainder's end: the
    // rows hold zeros there, so those bytes keep their values, and the buffer has room for them.
    uint8_t buffer[2 * QRCODE_MAX_GENERATOR_DEGREE + 8];
    constexpr int32_t kBufferSize = 2 * QRCODE_MAX_GENERATOR_DEGREE;
    int32_t start = 0;
    std::memset(buffer, 0, sizeof buffer);
    for (int32_t i = 0; i < k; ++i) {
        const int32_t f = buffer[start] ^ (data[i] & 0xFF);
        if (start + n + 1 > kBufferSize) {
            std::memmove(buffer, buffer + start + 1, static_cast<size_t>(n - 1));
            start = 0;
        } else {
            ++start;
        }
        uint8_t* e = buffer + start;
        e[n - 1] = 0;
        if (f == 0) continue;  // the remainder only moves up a degree
        if (products) {
            const uint8_t* multiple = products + f * RowStride(n);
            for (int32_t j = 0; j < n; j += 8) {
                uint64_t word, product;
                std::memcpy(&word, e + j, 8);
                std::memcpy(&product, multiple + j, 8);
                word ^= product;
                std::memcpy(e + j, &word, 8);
            }
        } else {
            const int32_t lf = kProduct.log[f];
            for (int32_t j = 0; j < n; ++j) e[j] ^= kProduct.antilog[lf + g[j]];
        }
    }
    for (int32_t j = 0; j < n; ++j) ec[j] = static_cast<T>(buffer[start + j]);
}

}  // namespace

bool RSEncodeBlock(RSCodec* codec, int32_t* block, int32_t k, int32_t n) {
    const int32_t row = RowFor(n);
    if (k < 0 || row < 0) return false;
    codec->generator = kGenerators.rows[row];
    codec->degree = kDegrees[row];
    Divide(row, block, k, n, block + k);
    return true;
}

bool RSEncodeBytes(const uint8_t* data, int32_t k, int32_t n, uint8_t* ec) {
    const int32_t row = RowFor(n);
    if (k < 0 || row < 0) return false;
    Divide(row, data, k, n, ec);
    return true;
}

bool RSEncodeByteBlocks(const uint8_t* data, const int32_t* k, int32_t count, int32_t n, uint8_t* ec) {
    const int32_t row = RowFor(n);
    if (row < 0 || count < 0) return false;
    for (int32_t b = 0; b < count; ++b)
        if (k[b] < 0) return false;
#if defined(__x86_64__) && defined(__GNUC__)
    if (row < WideGenerators() && QRCodeHasWideLanes()) {
        DivideBlocksWide(kNibbles.of[row], data, k, count, n, ec);
        return true;
    }
#endif
    for (int32_t b = 0; b < count; ++b) {
        Divide(row, data, k[b], n, ec);
        data += k[b];
        ec += n;
    }
    return true;
}

// The symbol rasteriser (see symbol_picture.h).
#include "picture/symbol_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "encoder/lanes.h"
#include "encoder/processor.h"
#include "image/gw_image.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

RGBQUAD Quad(uint32_t bgr) {
    return RGBQUAD{static_cast<BYTE>((bgr >> 16) & 0xFF), static_cast<BYTE>((bgr >> 8) & 0xFF),
                   static_cast<BYTE>(bgr & 0xFF), 0};
}

// Sets pixels [from, to) of a packed 1-bit row (most significant bit first), a byte at a time.
void SetRun(BYTE* row, long from, long to) {
    if (from >= to) return;
    const long first = from >> 3, last = (to - 1) >> 3;
    const unsigned head = 0xFFu >> (from & 7), tail = 0xFFu << (7 - ((to - 1) & 7));
    if (first == last) {
        row[first] |= static_cast<BYTE>(head & tail);
        return;
    }
    row[first] |= static_cast<BYTE>(head);
    if (last > first + 1) std::memset(row + first + 1, 0xFF, static_cast<size_t>(last - first - 1));
    row[last] |= static_cast<BYTE>(tail);
}

// The picture's rows counted from the top (the image keeps its bottom row first).
class TopRows {
public:
    TopRows(GwImage* image, long side) : last_(image->GetBits(0)), stride_(image->GetEffWidth()) {
        last_ += static_cast<size_t>(side - 1) * stride_;
    }
    size_t Stride() const { return stride_; }
    // Writes `bytes` as row `row`. Rows of small pictures (8 to 32 bytes) are copied as two
    // overlapping blocks of fixed size, which the compiler writes inline: a call per row would
    // cost as much as the copy.
    void Put(long row, const BYTE* bytes) const {
        BYTE* to = last_ - row * stride_;
        if (stride_ >= 16 && stride_ <= 32) {
            std::memcpy(to, bytes, 16);
            std::memcpy(to + stride_ - 16, bytes + stride_ - 16, 16);
        } else if (stride_ >= 8 && stride_ < 16) {
            std::memcpy(to, bytes, 8);
            std::memcpy(to + stride_ - 8, bytes + stride_ - 8, 8);
        } else {
            std::memcpy(to, bytes, stride_);
        }
    }
    // Zeroes rows [from, to), which lie side by side in memory.
    void Zero(long from, long to) const {
        if (from < to) std::memset(last_ - (to - 1) * stride_, 0, static_cast<size_t>(to - from) * stride_);
    }

private:
    BYTE* last_;
    size_t stride_;
};

// Appends bit strings of up to 56 bits to a row, most significant bit first, eight bytes at a
// time; the row needs eight bytes to spare past its last bit.
class BitRowWriter {
public:
    BitRowWriter(BYTE* out, int zeros) : out_(out), filled_(zeros) {}
    void Append(uint64_t bits, int n) {
        const int total = filled_ + n;
        if (total < 64) {
            acc_ |= bits << (64 - total);
            filled_ = total;
            return;
        }
        acc_ |= bits >> (total - 64);
        Store();
        filled_ = total - 64;
        acc_ = filled_ ? bits << (64 - filled_) : 0;
    }
    // Writes the last, partly filled word (its unused bits are zeros).
    void Finish() {
        if (filled_) Store();
    }

private:
    void Store() {
        for (int i = 0; i < 8; ++i) out_[i] = static_cast<BYTE>(acc_ >> (56 - 8 * i));
        out_ += 8;
    }
    BYTE* out_;
    uint64_t acc_ = 0;
    int filled_;
};

// The bits of four modules of `size` (1 to 14) pixels each, the first module's highest: entry n
// has module i dark where bit i of n is set, so a row is painted four modules at a time.
struct ModuleSpread {
    uint64_t bits[16];
    explicit ModuleSpread(long size) {
        const uint64_t ones = (uint64_t{1} << size) - 1;
        for (int n = 0; n < 16; ++n) {
            uint64_t v = 0;
            for (int i = 0; i < 4; ++i) v = (v << size) | ((n >> i) & 1 ? ones : 0);
            bits[n] = v;
        }
    }
};

// Sixteen of a row's module bytes as bits, module i in bit i (dark: any byte but 0).
unsigned SixteenModules(const uint8_t* modules) {
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(modules));
    return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128()))) & 0xFFFF;
#else
    unsigned b = 0;
    for (int i = 0; i < 16; ++i) b |= static_cast<unsigned>(modules[i] != 0) << i;
    return b;
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
// ---- painting by bit gathers ------------------------------------------------------------------
// On processors that gather any bits of a word into a result (AVX-512 BITALG), a module row of a
// symbol up to 63 modules wide is one word (bit x: module x dark), and each eight bytes of its
// pixel row are one gather from it: for every pixel the bit of the module it shows, or bit 63,
// which is always light, for the margin and the bits past the last pixel. Pixel rows of up to 64
// bytes (512 pixels) are painted so.

constexpr int kLightBit = 63;
constexpr size_t kGatherRowBytes = 64;

#define GW_GATHER_TARGET "avx512f,avx512bw,avx512bitalg,avx2"

// The pixel of each bit of an eight-byte group, from the group's first pixel: bit j of the
// gather's result is bit j % 8 of byte j / 8, and a byte's first pixel is its highest bit. In two
// halves of 32 bits.
struct GroupPixels {
    uint16_t of[2][32];
};

constexpr GroupPixels BuildGroupPixels() {
    GroupPixels g{};
    for (int j = 0; j < 64; ++j) g.of[j / 32][j % 32] = static_cast<uint16_t>(8 * (j / 8) + 7 - j % 8);
    return g;
}

alignas(64) constexpr GroupPixels kGroupPixels = BuildGroupPixels();

// The gather's bit numbers for group `group` of a pixel row: the module each pixel shows, or the
// light bit outside [margin, symbolEnd). Pixel numbers stay below 512 and module sizes below 128,
// so (p - margin) / size is the high half of (p - margin) * ceil(65536 / size).
__attribute__((target(GW_GATHER_TARGET))) __m512i GroupModules(int group, long size, long margin, long symbolEnd) {
    const __m512i first = _mm512_set1_epi16(static_cast<short>(64 * group));
    const __m512i from = _mm512_set1_epi16(static_cast<short>(margin));
    const __m512i end = _mm512_set1_epi16(static_cast<short>(symbolEnd));
    const __m512i light = _mm512_set1_epi16(kLightBit);
    const __m512i reciprocal = _mm512_set1_epi16(static_cast<short>((65536 + size - 1) / size));
    __m256i half[2];
    for (int h = 0; h < 2; ++h) {
        const __m512i pixel = _mm512_add_epi16(first, _mm512_load_si512(kGroupPixels.of[h]));
        const __mmask32 inside = _mm512_cmpge_epu16_mask(pixel, from) & _mm512_cmplt_epu16_mask(pixel, end);
        const __m512i offset = _mm512_sub_epi16(pixel, from);
        const __m512i module = size == 1 ? offset : _mm512_mulhi_epu16(offset, reciprocal);
        half[h] = _mm512_cvtepi16_epi8(_mm512_mask_blend_epi16(inside, light, module));
    }
    return _mm512_inserti64x4(_mm512_castsi256_si512(half[0]), half[1], 1);
}

// The module rows of a symbol of at most 63 modules into row buffers of at least `groups` * 8
// bytes; `put` copies each out as the module's pixel rows.
template <typename Put>
__attribute__((target(GW_GATHER_TARGET))) void GatherRows(const QRCodeSymbol& s, long size, long margin, int groups,
                                                          BYTE* moduleRow, Put put) {
    __m512i modulesOf[kGatherRowBytes / 8];
    const long symbolEnd = margin + s.size * size;
    for (int q = 0; q < groups; ++q) modulesOf[q] = GroupModules(q, size, margin, symbolEnd);
    const __mmask64 live = (uint64_t{1} << s.size) - 1;
    for (int y = 0; y < s.size; ++y) {
        const __m512i bytes = _mm512_maskz_loadu_epi8(live, s.modules.data() + static_cast<size_t>(y) * s.size);
        const __m512i word = _mm512_set1_epi64(static_cast<long long>(_mm512_test_epi8_mask(bytes, bytes)));
        for (int q = 0; q < groups; ++q) {
            const uint64_t bits = _mm512_bitshuffle_epi64_mask(word, modulesOf[q]);
            std::memcpy(moduleRow + 8 * q, &bits, 8);
        }
        put(y);
    }
}
#endif

// 1-bit picture: the margin and light modules are entry 0 (zero bits, which deflate best, as do
// the unused bits at the end of each row), dark modules entry 1 unless both colours are the same.
void PaintOneBit(const QRCodeSymbol& s, const GwSymbolLook& look, long side, GwImage* image) {
    RGBQUAD palette[2] = {Quad(look.background), Quad(look.foreground)};
    image->SetPalette(palette, 2);
    const bool darkBit = look.foreground != look.background;
    const TopRows rows(image, side);
    const size_t stride = rows.Stride();
    const long size = look.pixelSize, margin = look.margin;
    // Every row is painted over the same bytes, so the zeros before and after the symbol's bits
    // stay from one row to the next.
    std::vector<BYTE> moduleRow(stride + 8, 0);
    const long symbolEnd = size > 0 ? margin + s.size * size : margin;
    // Four modules' bits fit one append below 15 pixels a module; the row's last modules are
    // read as the sixteen bytes that end it.
    const bool spreads = darkBit && size >= 1 && size <= 14 && s.size >= 16;
    const ModuleSpread spread(spreads ? size : 1);
    rows.Zero(0, margin);
#if defined(__x86_64__) && defined(__GNUC__)
    if (darkBit && size >= 1 && s.size <= kLightBit && stride <= kGatherRowBytes && QRCodeHasBitGathers()) {
        GatherRows(s, size, margin, static_cast<int>((stride + 7) / 8), moduleRow.data(), [&](int y) {
            for (long i = 0; i < size; ++i) rows.Put(margin + y * size + i, moduleRow.data());
        });
        rows.Zero(symbolEnd, side);
        return;
    }
#endif
    for (int y = 0; size > 0 && y < s.size; ++y) {
        const uint8_t* modules = s.modules.data() + static_cast<size_t>(y) * s.size;
        if (darkBit && size <= 56) {
            // Each module appends `size` equal bits; the margin's bits are the row's zeros
            // before the first module.
            BitRowWriter out(moduleRow.data() + (margin >> 3), static_cast<int>(margin & 7));
            const uint64_t ones = (uint64_t{1} << size) - 1;
            int x = 0;
            if (spreads) {
                for (; x + 16 <= s.size; x += 16) {
                    const unsigned sixteen = SixteenModules(modules + x);
                    for (int q = 0; q < 16; q += 4) out.Append(spread.bits[(sixteen >> q) & 15], static_cast<int>(4 * size));
                }
                // The last few modules: the sixteen bytes that end the row, less those already
                // painted.
                const int left = s.size - x;
                unsigned rest = left > 0 ? SixteenModules(modules + s.size - 16) >> (16 - left) : 0;
                for (int q = 0; q < left; q += 4, rest >>= 4) {
                    const int n = left - q < 4 ? left - q : 4;
                    out.Append(spread.bits[rest & 15] >> ((4 - n) * size), static_cast<int>(n * size));
                }
                x = s.size;
            }
            for (; x < s.size; ++x) out.Append(ones & (0 - static_cast<uint64_t>(modules[x] != 0)), static_cast<int>(size));
            out.Finish();
        } else if (darkBit) {
            std::fill(moduleRow.begin(), moduleRow.end(), 0);
            for (int x = 0; x < s.size; ++x)
                if (modules[x]) SetRun(moduleRow.data(), margin + x * size, margin + (x + 1) * size);
        }
        for (long i = 0; i < size; ++i) rows.Put(margin + y * size + i, moduleRow.data());
    }
    rows.Zero(symbolEnd, side);
}

// 24-bit picture: white margin, module squares in their colours.
void PaintTrueColour(const QRCodeSymbol& s, const GwSymbolLook& look, long side, GwImage* image) {
    const TopRows rows(image, side);
    const size_t stride = rows.Stride();
    const RGBQUAD white = {0xFF, 0xFF, 0xFF, 0}, dark = Quad(look.foreground), light = Quad(look.background);
    std::vector<BYTE> marginRow(stride, 0xFF), moduleRow(stride, 0);
    auto put = [](BYTE* p, const RGBQUAD& c) {
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
    };
    std::fill(marginRow.begin() + 3 * side, marginRow.end(), 0);  // bytes past the last pixel
    const long size = look.pixelSize, margin = look.margin;
    const long symbolEnd = size > 0 ? margin + s.size * size : margin;
    for (long row = 0; row < margin; ++row) rows.Put(row, marginRow.data());
    for (int y = 0; size > 0 && y < s.size; ++y) {
        BYTE* p = moduleRow.data();
        for (long i = 0; i < margin; ++i, p += 3) put(p, white);
        for (int x = 0; x < s.size; ++x) {
            const RGBQUAD& c = s.Dark(x, y) ? dark : light;
            for (long i = 0; i < size; ++i, p += 3) put(p, c);
        }
        for (long i = 0; i < margin; ++i, p += 3) put(p, white);
        for (long i = 0; i < size; ++i) rows.Put(margin + y * size + i, moduleRow.data());
    }
    for (long row = symbolEnd; row < side; ++row) rows.Put(row, marginRow.data());
}

}  // namespace

long GwSymbolPictureSide(const GwSymbolLook& look, int modules) {
    return static_cast<long>(look.pixelSize) * modules + 2L * look.margin;
}

bool GwSymbolPictureIsTwoColour(const GwSymbolLook& look) {
    return look.background == 0xFFFFFF || look.margin == 0;
}

bool GwPaintSymbol(const QRCodeSymbol& symbol, const GwSymbolLook& look, GwImage* image, std::string* error) {
    if (look.pixelSize < 0 || look.pixelSize > 255 || look.margin < 0 || look.margin > 255 ||
        symbol.modules.size() != static_cast<size_t>(symbol.size) * symbol.size) {
        *error = "the symbol or its look is out of range";
        return false;
    }
    const long side = GwSymbolPictureSide(look, symbol.size);
    if (side > GW_MAX_SYMBOL_PICTURE_SIDE) {
        *error = "a picture of " + std::to_string(side) + " x " + std::to_string(side) + " pixels is too large to create";
        return false;
    }
    if (side <= 0) {
        *error = "the picture has no pixels";
        return false;
    }
    // A transparent picture keeps its light parts in entry 0 of a palette, margin included.
    const bool oneBit = look.transparent || (look.depth != 24 && GwSymbolPictureIsTwoColour(look));
    if (!image->Create(static_cast<DWORD>(side), static_cast<DWORD>(side), oneBit ? 1 : 24, 0)) {
        *error = std::string("cannot create the symbol's picture: ") + image->GetLastError();
        return false;
    }
    if (oneBit) {
        PaintOneBit(symbol, look, side, image);
        if (look.transparent) image->SetTransIndex(0);
    } else {
        PaintTrueColour(symbol, look, side, image);
    }
    return true;
}

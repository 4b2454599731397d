#include "tools/glyphwell/symbol_raster.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "encoder/render.h"
#include "image/gw_image.h"

namespace gwcli {
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

}  // namespace

void SymbolPalette(const QRCodeSettings& s, RGBQUAD palette[2]) {
    palette[0] = Quad(s.backgroundColor);
    palette[1] = Quad(s.foregroundColor);
}

bool IsTwoColourPicture(const QRCodeSettings& s) { return s.backgroundColor == 0xFFFFFF || s.margin == 0; }

long PictureSide(const QRCodeSettings& s, int modules) {
    return static_cast<long>(s.pixelSize) * modules + 2L * s.margin;
}

bool PaintTwoColourSymbol(const SymbolMatrix& m, const QRCodeSettings& s, GwImage* image, std::string* error) {
    const long side = PictureSide(s, m.width);
    if (side > QRCODE_MAX_RASTER_SIDE) {
        *error = "a picture of " + std::to_string(side) + " x " + std::to_string(side) +
                 " pixels is too large to create";
        return false;
    }
    if (!IsTwoColourPicture(s) || side <= 0) {
        *error = "the symbol's picture is not a two-colour picture with pixels";
        return false;
    }
    if (!image->Create(static_cast<DWORD>(side), static_cast<DWORD>(side), 1, 0)) {
        *error = std::string("cannot create the symbol's picture: ") + image->GetLastError();
        return false;
    }
    RGBQUAD palette[2];
    SymbolPalette(s, palette);
    image->SetPalette(palette, 2);
    // The renderer paints three colours, and the depth reduction gives each the first entry of
    // its colour: the white margin (a white background, or no margin at all) and light
    // modules take the light entry, zero bits; dark modules the dark entry, unless both
    // entries are the same colour.
    const bool darkBit = s.foregroundColor != s.backgroundColor;

    const size_t stride = image->GetEffWidth();
    const long size = s.pixelSize, margin = s.margin;
    // The row bytes past the last pixel stay zero, as in the depth reduction's cleared rows.
    std::vector<BYTE> marginRow(stride, 0), moduleRow(stride);
    // Picture rows count from the top here; the image keeps its bottom row first.
    BYTE* const bottom = image->GetBits(0);
    auto put = [&](long row, const std::vector<BYTE>& bytes) {
        std::memcpy(bottom + static_cast<size_t>(side - 1 - row) * stride, bytes.data(), stride);
    };
    // The dark modules of each row as bits, read column by column as the matrix keeps them.
    const int words = (m.width + 63) / 64;
    std::vector<uint64_t> dark(static_cast<size_t>(m.height) * words, 0);
    for (int x = 0; darkBit && x < m.width; ++x) {
        const int32_t* column = m.cells + static_cast<size_t>(x) * kSymbolMatrixCapacity;
        uint64_t* word = &dark[static_cast<size_t>(x >> 6)];
        // Without a branch: the colours of a symbol follow no pattern a predictor could learn.
        for (int y = 0; y < m.height; ++y, word += words)
            *word |= static_cast<uint64_t>(QRCodeRendersDark(column[y])) << (x & 63);
    }
    const long symbolTop = margin, symbolEnd = size > 0 ? margin + m.height * size : margin;
    for (long row = 0; row < symbolTop; ++row) put(row, marginRow);
    for (int y = 0; size > 0 && y < m.height; ++y) {
        std::fill(moduleRow.begin(), moduleRow.end(), 0);
        const uint64_t* bits = &dark[static_cast<size_t>(y) * words];
        auto isDark = [bits](int x) { return static_cast<unsigned>((bits[x >> 6] >> (x & 63)) & 1); };
        if (size <= 56) {
            // Each module appends `size` equal bits to an accumulator that is written out a
            // byte at a time; the margin's bits are the row's zeros before the first module.
            BYTE* out = moduleRow.data() + (margin >> 3);
            uint64_t pending = 0;
            int count = static_cast<int>(margin & 7);
            const uint64_t ones = (uint64_t{1} << size) - 1;
            for (int x = 0; x < m.width; ++x) {
                pending = (pending << size) | (ones & (0 - static_cast<uint64_t>(isDark(x))));
                for (count += static_cast<int>(size); count >= 8; count -= 8)
                    *out++ = static_cast<BYTE>(pending >> (count - 8));
            }
            if (count > 0) *out = static_cast<BYTE>(pending << (8 - count));
        } else {
            for (int x = 0; x < m.width; ++x)
                if (isDark(x)) SetRun(moduleRow.data(), margin + x * size, margin + (x + 1) * size);
        }
        for (long i = 0; i < size; ++i) put(margin + y * size + i, moduleRow);
    }
    for (long row = symbolEnd; row < side; ++row) put(row, marginRow);
    return true;
}

}  // namespace gwcli

#include "tools/glyphwell/symbol_raster.h"

#include <algorithm>
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

// Sets pixels [from, to) of a packed 1-bit row (most significant bit first).
void SetRun(BYTE* row, long from, long to) {
    for (; from < to && (from & 7); ++from) row[from >> 3] |= static_cast<BYTE>(0x80u >> (from & 7));
    for (; from + 8 <= to; from += 8) row[from >> 3] = 0xFF;
    for (; from < to; ++from) row[from >> 3] |= static_cast<BYTE>(0x80u >> (from & 7));
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
    const long symbolTop = margin, symbolEnd = size > 0 ? margin + m.height * size : margin;
    for (long row = 0; row < symbolTop; ++row) put(row, marginRow);
    for (int y = 0; size > 0 && y < m.height; ++y) {
        std::fill(moduleRow.begin(), moduleRow.end(), 0);
        for (int x = 0; x < m.width;) {
            // A run of modules of one colour is one run of pixels.
            const bool dark = QRCodeRendersDark(QRCodeGetCell(&m, x, y));
            int end = x + 1;
            while (end < m.width && QRCodeRendersDark(QRCodeGetCell(&m, end, y)) == dark) ++end;
            if (dark && darkBit) SetRun(moduleRow.data(), margin + x * size, margin + end * size);
            x = end;
        }
        for (long i = 0; i < size; ++i) put(margin + y * size + i, moduleRow);
    }
    for (long row = symbolEnd; row < side; ++row) put(row, marginRow);
    return true;
}

}  // namespace gwcli

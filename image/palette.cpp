// GwImage palette access: reading and writing entries, grey and standard palettes,
// blending, index swapping and the colours-important count. Every change to the entries
// forgets the remembered nearest-index answer.
#include <cstring>

#include "image/gw_image.h"

namespace {

struct Rgb {
    BYTE r, g, b;
};

// The sixteen colours of the 4-bit standard palette.
const Rgb kStd16[16] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

const Rgb kStd256Head[2] = {{192, 220, 192}, {166, 202, 240}};
const Rgb kStd256Tail[10] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};

// First and last hue group of the 8-bit standard palette, pale tint to full hue to dark.
const Rgb kFirstGroup[12] = {
    {255, 240, 212}, {255, 226, 177}, {255, 212, 142}, {255, 198, 107}, {255, 184, 72}, {255, 170, 37},
    {255, 170, 0},   {220, 146, 0},   {185, 122, 0},   {150, 98, 0},    {115, 74, 0},   {80, 50, 0},
};
const Rgb kLastGroup[12] = {
    {255, 255, 212}, {255, 255, 177}, {255, 255, 142}, {255, 255, 107}, {255, 255, 72}, {255, 255, 37},
    {254, 254, 0},   {220, 220, 0},   {185, 185, 0},   {150, 150, 0},   {115, 115, 0},  {80, 80, 0},
};

// Full-saturation colour of a hue in degrees.
Rgb HueColor(int hue) {
    hue %= 360;
    const int sector = hue / 60;
    const int f = (hue % 60) * 255 / 60;
    switch (sector) {
    case 0: return {255, static_cast<BYTE>(f), 0};
    case 1: return {static_cast<BYTE>(255 - f), 255, 0};
    case 2: return {0, 255, static_cast<BYTE>(f)};
    case 3: return {0, static_cast<BYTE>(255 - f), 255};
    case 4: return {static_cast<BYTE>(f), 0, 255};
    default: return {255, 0, static_cast<BYTE>(255 - f)};
    }
}

// A group of twelve built like the given ones: six tints stepping from pale towards the hue,
// the full hue, then five steps darker (each 35/255 of full brightness).
void BuildHueGroup(int hue, Rgb out[12]) {
    Rgb full = HueColor(hue);
    // A full hue that is already one of the fixed system colours steps back to 254, as the
    // yellow group does, so that no entry of the table is a duplicate.
    for (const Rgb& fixed : kStd256Tail) {
        if (fixed.r == full.r && fixed.g == full.g && fixed.b == full.b) {
            if (full.r == 255) full.r = 254;
            if (full.g == 255) full.g = 254;
            if (full.b == 255) full.b = 254;
        }
    }
    const BYTE fullC[3] = {full.r, full.g, full.b};
    for (int p = 0; p < 6; p++) {
        BYTE c[3];
        for (int k = 0; k < 3; k++) c[k] = static_cast<BYTE>(255 - (255 - fullC[k]) * (43 + 35 * p) / 255);
        out[p] = {c[0], c[1], c[2]};
    }
    out[6] = full;
    for (int d = 1; d <= 5; d++) {
        BYTE c[3];
        for (int k = 0; k < 3; k++) c[k] = static_cast<BYTE>(fullC[k] * (255 - 35 * d) / 255);
        out[6 + d] = {c[0], c[1], c[2]};
    }
}

}  // namespace

RGBQUAD* GwImage::GetPalette() const {
    if (!dib || !header.biClrUsed) return nullptr;
    return reinterpret_cast<RGBQUAD*>(static_cast<BYTE*>(dib) + sizeof(BITMAPINFOHEADER));
}

DWORD GwImage::GetPaletteSize() const { return header.biClrUsed * 4; }

RGBQUAD GwImage::GetPaletteColor(BYTE index) const {
    const RGBQUAD* palette = GetPalette();
    if (!palette || index >= header.biClrUsed) return RGBQUAD{0, 0, 0, 0};
    return palette[index];
}

bool GwImage::GetPaletteColor(BYTE index, BYTE* r, BYTE* g, BYTE* b) const {
    const RGBQUAD* palette = GetPalette();
    // An index past the palette would read the pixel rows (or past the block).
    if (!palette || index >= header.biClrUsed) return false;
    if (r) *r = palette[index].rgbRed;
    if (g) *g = palette[index].rgbGreen;
    if (b) *b = palette[index].rgbBlue;
    return true;
}

void GwImage::SetPaletteColor(BYTE index, BYTE r, BYTE g, BYTE b, BYTE alphaValue) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= header.biClrUsed) return;
    palette[index] = RGBQUAD{b, g, r, alphaValue};
    info.nearestValid = false;
}

void GwImage::SetPaletteColor(BYTE index, RGBQUAD color) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= header.biClrUsed) return;
    palette[index] = color;
    info.nearestValid = false;
}

void GwImage::SetPaletteColor(BYTE index, COLORREF color) {
    SetPaletteColor(index, RGBtoRGBQUAD(color));
}

void GwImage::SetPalette(DWORD n, BYTE* r, BYTE* g, BYTE* b) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !r) return;
    if (!g) g = r;
    if (!b) b = g;
    if (n > header.biClrUsed) n = header.biClrUsed;
    for (DWORD i = 0; i < n; i++) {
        palette[i].rgbRed = r[i];
        palette[i].rgbGreen = g[i];
        palette[i].rgbBlue = b[i];
    }
    info.nearestValid = false;
}

void GwImage::SetPalette(rgb_color* colors, DWORD n) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !colors) return;
    if (n > header.biClrUsed) n = header.biClrUsed;
    for (DWORD i = 0; i < n; i++) {
        palette[i].rgbRed = colors[i].r;
        palette[i].rgbGreen = colors[i].g;
        palette[i].rgbBlue = colors[i].b;
    }
    info.nearestValid = false;
}

void GwImage::SetPalette(RGBQUAD* source, DWORD n) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !source) return;
    const unsigned long long wanted = static_cast<unsigned long long>(n) * 4;
    const DWORD bytes = wanted < GetPaletteSize() ? static_cast<DWORD>(wanted) : GetPaletteSize();
    std::memmove(palette, source, bytes);
    info.nearestValid = false;
}

void GwImage::SetGrayPalette() {
    RGBQUAD* palette = GetPalette();
    if (!palette) return;
    const DWORD colors = header.biClrUsed;
    const DWORD step = colors > 1 ? 255 / (colors - 1) : 0;
    for (DWORD i = 0; i < colors; i++) {
        const BYTE v = static_cast<BYTE>(i * step);
        palette[i].rgbBlue = v;
        palette[i].rgbGreen = v;
        palette[i].rgbRed = v;
    }
    info.nearestValid = false;
}

void GwImage::SetStdPalette() {
    if (!dib) return;
    if (header.biBitCount == 4) {
        for (int i = 0; i < 16; i++) SetPaletteColor(static_cast<BYTE>(i), kStd16[i].r, kStd16[i].g, kStd16[i].b, 0);
    } else if (header.biBitCount == 8) {
        int n = 0;
        for (int i = 0; i < 8; i++, n++) SetPaletteColor(static_cast<BYTE>(n), kStd16[i].r, kStd16[i].g, kStd16[i].b, 0);
        for (int i = 0; i < 2; i++, n++)
            SetPaletteColor(static_cast<BYTE>(n), kStd256Head[i].r, kStd256Head[i].g, kStd256Head[i].b, 0);
        // Eighteen hue groups, 20 degrees apart: orange first, yellow last.
        for (int group = 0; group < 18; group++) {
            Rgb built[12];
            const Rgb* colors = built;
            if (group == 0)
                colors = kFirstGroup;
            else if (group == 17)
                colors = kLastGroup;
            else
                BuildHueGroup(40 + 20 * (group + 1), built);
            for (int i = 0; i < 12; i++, n++) SetPaletteColor(static_cast<BYTE>(n), colors[i].r, colors[i].g, colors[i].b, 0);
        }
        for (int i = 0; i < 20; i++, n++) {
            const BYTE v = static_cast<BYTE>(242 - 12 * i);
            SetPaletteColor(static_cast<BYTE>(n), v, v, v, 0);
        }
        for (int i = 0; i < 10; i++, n++)
            SetPaletteColor(static_cast<BYTE>(n), kStd256Tail[i].r, kStd256Tail[i].g, kStd256Tail[i].b, 0);
    }
    info.nearestValid = false;
}

void GwImage::BlendPalette(COLORREF color, long percent) {
    RGBQUAD* palette = GetPalette();
    if (!palette) return;
    if (percent > 100) percent = 100;
    if (percent < 0) percent = 0;
    const long r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    for (DWORD i = 0; i < header.biClrUsed; i++) {
        palette[i].rgbBlue = static_cast<BYTE>((palette[i].rgbBlue * (100 - percent) + b * percent) / 100);
        palette[i].rgbGreen = static_cast<BYTE>((palette[i].rgbGreen * (100 - percent) + g * percent) / 100);
        palette[i].rgbRed = static_cast<BYTE>((palette[i].rgbRed * (100 - percent) + r * percent) / 100);
    }
    info.nearestValid = false;
}

bool GwImage::IsGrayScale() const {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return false;
    for (DWORD i = 0; i < header.biClrUsed; i++) {
        if (palette[i].rgbBlue != i || palette[i].rgbGreen != i || palette[i].rgbRed != i) return false;
    }
    return true;
}

void GwImage::SwapIndex(BYTE a, BYTE b) {
    RGBQUAD* palette = GetPalette();
    if (!palette || a >= header.biClrUsed || b >= header.biClrUsed) return;
    const RGBQUAD t = palette[a];
    palette[a] = palette[b];
    palette[b] = t;
    info.nearestValid = false;
    if (a == b) return;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    for (long y = 0; y < height; y++) {
        for (long x = 0; x < width; x++) {
            const BYTE v = BlindGetPixelIndex(x, y);
            if (v == a)
                BlindSetPixelIndex(x, y, b);
            else if (v == b)
                BlindSetPixelIndex(x, y, a);
        }
    }
}

bool GwImage::IsSamePalette(const GwImage& other, bool checkAlpha) const {
    if (header.biClrUsed != other.header.biClrUsed || header.biClrUsed == 0) return false;
    const RGBQUAD* mine = GetPalette();
    const RGBQUAD* theirs = other.GetPalette();
    if (!mine || !theirs) return false;
    for (DWORD i = 0; i < header.biClrUsed; i++) {
        if (mine[i].rgbRed != theirs[i].rgbRed || mine[i].rgbGreen != theirs[i].rgbGreen ||
            mine[i].rgbBlue != theirs[i].rgbBlue)
            return false;
        if (checkAlpha && mine[i].rgbReserved != theirs[i].rgbReserved) return false;
    }
    return true;
}

DWORD GwImage::GetClrImportant() const { return header.biClrImportant; }

void GwImage::SetClrImportant(DWORD n) {
    if (n == 0 || n > 256) {
        header.biClrImportant = 0;
    } else {
        switch (header.biBitCount) {
        case 1: header.biClrImportant = n < 2 ? n : 2; break;
        case 4: header.biClrImportant = n < 16 ? n : 16; break;
        case 8: header.biClrImportant = n; break;
        default: return;  // no palette: the count means nothing, the old value stays
        }
    }
    // The nearest-index search range just changed.
    info.nearestValid = false;
    if (dib) std::memcpy(dib, &header, sizeof(header));
}

// GwImage pixel access: reading and writing single pixels by index and by colour, the
// nearest-palette-index search with its memo, blending, lines, and the small colour
// conversions the codecs share.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/gw_image.h"
#include "image/pixel_rows.h"

namespace {

inline BYTE GrayOf(const RGBQUAD& c) { return gwpix::GrayOf(c.rgbRed, c.rgbGreen, c.rgbBlue); }

inline bool SameQuad(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

// Shifts right for a positive amount and left for a negative one; masks of unusual width
// would otherwise ask for negative or oversized shifts.
inline BYTE ShiftField(uint32_t value, int amount) {
    if (amount >= 32 || amount <= -32) return 0;
    if (amount >= 0) return static_cast<BYTE>(value >> amount);
    return static_cast<BYTE>(static_cast<uint64_t>(value) << -amount);
}

int CountBits(WORD mask) { return static_cast<int>(gwpix::CountBits(mask)); }

}  // namespace

// ---- unchecked access for inner loops ----------------------------------------------------

BYTE GwImage::BlindGetPixelIndex(long x, long y) const {
    const BYTE* row = info.pixels + static_cast<size_t>(y) * info.rowBytes;
    return gwpix::GetIndex(row, static_cast<uint64_t>(x), header.biBitCount);
}

RGBQUAD GwImage::BlindGetPixelColor(long x, long y) const {
    if (header.biClrUsed) return GetPaletteColor(BlindGetPixelIndex(x, y));
    const BYTE* p = info.pixels + static_cast<size_t>(y) * info.rowBytes + static_cast<size_t>(x) * 3;
    RGBQUAD c;
    c.rgbBlue = p[0];
    c.rgbGreen = p[1];
    c.rgbRed = p[2];
    c.rgbReserved = alpha ? BlindAlphaGet(x, y) : 0;
    return c;
}

BYTE* GwImage::BlindGetPixelPointer(long x, long y) const {
    if (header.biClrUsed || !info.pixels) return nullptr;
    return info.pixels + static_cast<size_t>(y) * info.rowBytes + static_cast<size_t>(x) * 3;
}

void GwImage::BlindSetPixelIndex(long x, long y, BYTE index) {
    BYTE* row = info.pixels + static_cast<size_t>(y) * info.rowBytes;
    gwpix::PutIndex(row, static_cast<uint64_t>(x), index, header.biBitCount);
}

void GwImage::BlindSetPixelColor(long x, long y, RGBQUAD color, bool setAlpha) {
    if (header.biClrUsed) {
        BlindSetPixelIndex(x, y, GetNearestIndex(color));
        return;
    }
    BYTE* p = info.pixels + static_cast<size_t>(y) * info.rowBytes + static_cast<size_t>(x) * 3;
    p[0] = color.rgbBlue;
    p[1] = color.rgbGreen;
    p[2] = color.rgbRed;
    if (setAlpha && alpha) alpha[static_cast<size_t>(y) * GetWidth() + x] = color.rgbReserved;
}

// ---- checked access ----------------------------------------------------------------------

BYTE GwImage::GetPixelIndex(long x, long y) const {
    if (!dib || !header.biClrUsed) return 0;
    if (!IsInside(x, y)) {
        if (info.transIndex != -1) return static_cast<BYTE>(info.transIndex);
        return BlindGetPixelIndex(0, 0);
    }
    return BlindGetPixelIndex(x, y);
}

RGBQUAD GwImage::GetPixelColor(long x, long y, bool getAlpha) const {
    RGBQUAD c = info.transColor;
    if (dib && IsInside(x, y)) {
        if (header.biClrUsed) {
            c = GetPaletteColor(BlindGetPixelIndex(x, y));
        } else {
            const BYTE* p = BlindGetPixelPointer(x, y);
            c.rgbBlue = p[0];
            c.rgbGreen = p[1];
            c.rgbRed = p[2];
        }
        if (getAlpha && alpha) c.rgbReserved = BlindAlphaGet(x, y);
        return c;
    }
    if (info.transIndex != -1) {
        if (header.biClrUsed) {
            if (info.transIndex >= 0 && info.transIndex < 256)
                return GetPaletteColor(static_cast<BYTE>(info.transIndex));
            return RGBQUAD{0, 0, 0, 0};
        }
        return info.transColor;
    }
    if (dib) return GetPixelColor(0, 0, true);
    return info.transColor;
}

BYTE GwImage::GetPixelGray(long x, long y) const { return GrayOf(GetPixelColor(x, y, true)); }

void GwImage::SetPixelIndex(long x, long y, BYTE index) {
    if (!dib || !header.biClrUsed || !IsInside(x, y)) return;
    BlindSetPixelIndex(x, y, index);
}

void GwImage::SetPixelColor(long x, long y, COLORREF color) {
    SetPixelColor(x, y, RGBtoRGBQUAD(color), false);
}

void GwImage::SetPixelColor(long x, long y, RGBQUAD color, bool setAlpha) {
    if (!dib || !IsInside(x, y)) return;
    if (header.biClrUsed) {
        BlindSetPixelIndex(x, y, GetNearestIndex(color));
        return;
    }
    BYTE* p = BlindGetPixelPointer(x, y);
    p[0] = color.rgbBlue;
    p[1] = color.rgbGreen;
    p[2] = color.rgbRed;
    if (setAlpha) AlphaSet(x, y, color.rgbReserved);
}

void GwImage::BlendPixelColor(long x, long y, RGBQUAD color, float blend, bool setAlpha) {
    if (!dib || !IsInside(x, y)) return;
    // Weights beyond 0..1 have no meaning and would overflow the integer weight.
    if (!(blend > 0.0f)) blend = 0.0f;
    if (blend > 1.0f) blend = 1.0f;
    const int w = static_cast<int>(blend * 256.0f);
    const int w1 = 256 - w;

    const RGBQUAD old = BlindGetPixelColor(x, y);
    RGBQUAD mixed;
    mixed.rgbRed = static_cast<BYTE>((old.rgbRed * w1 + color.rgbRed * w) >> 8);
    mixed.rgbGreen = static_cast<BYTE>((old.rgbGreen * w1 + color.rgbGreen * w) >> 8);
    mixed.rgbBlue = static_cast<BYTE>((old.rgbBlue * w1 + color.rgbBlue * w) >> 8);
    mixed.rgbReserved = color.rgbReserved;

    if (header.biClrUsed) {
        BlindSetPixelIndex(x, y, GetNearestIndex(mixed));
        return;
    }
    BYTE* p = BlindGetPixelPointer(x, y);
    p[0] = mixed.rgbBlue;
    p[1] = mixed.rgbGreen;
    p[2] = mixed.rgbRed;
    if (setAlpha) AlphaSet(x, y, mixed.rgbReserved);
}

BYTE GwImage::GetNearestIndex(RGBQUAD color) {
    if (!dib || !header.biClrUsed) return 0;
    if (info.nearestValid && SameQuad(info.nearestColor, color)) return info.nearestIndex;
    info.nearestColor = color;
    info.nearestValid = true;

    DWORD entries = header.biClrImportant ? header.biClrImportant : header.biClrUsed;
    if (entries > header.biClrUsed) entries = header.biClrUsed;
    const RGBQUAD* palette = GetPalette();
    long best = 200000;
    BYTE bestIndex = 0;
    for (DWORD i = 0; i < entries; i++) {
        const long dr = static_cast<long>(palette[i].rgbRed) - color.rgbRed;
        const long dg = static_cast<long>(palette[i].rgbGreen) - color.rgbGreen;
        const long db = static_cast<long>(palette[i].rgbBlue) - color.rgbBlue;
        const long distance = dr * dr + dg * dg + db * db;
        if (distance == 0) {
            bestIndex = static_cast<BYTE>(i);
            break;
        }
        if (distance < best) {
            best = distance;
            bestIndex = static_cast<BYTE>(i);
        }
    }
    info.nearestIndex = bestIndex;
    return bestIndex;
}

bool GwImage::IsTransparent(long x, long y) const {
    if (!dib) return false;
    if (info.transIndex >= 0) {
        if (header.biClrUsed) {
            if (GetPixelIndex(x, y) == info.transIndex) return true;
        } else {
            const RGBQUAD c = GetPixelColor(x, y, false);
            if (c.rgbBlue == info.transColor.rgbBlue && c.rgbGreen == info.transColor.rgbGreen &&
                c.rgbRed == info.transColor.rgbRed)
                return true;
        }
    }
    return alpha && IsInside(x, y) && BlindAlphaGet(x, y) == 0;
}

// ---- lines -----------------------------------------------------------------------------

void GwImage::DrawLine(int startX, int endX, int startY, int endY, COLORREF color) {
    DrawLine(startX, endX, startY, endY, RGBtoRGBQUAD(color), false);
}

void GwImage::DrawLine(int startX, int endX, int startY, int endY, RGBQUAD color, bool setAlpha) {
    if (!dib) return;
    // 64-bit arithmetic: the difference of two extreme ints does not fit an int.
    int64_t x = startX, y = startY;
    const int64_t dx = std::llabs(static_cast<int64_t>(endX) - startX);
    const int64_t dy = std::llabs(static_cast<int64_t>(endY) - startY);
    const int64_t stepX = endX >= startX ? 1 : -1;
    const int64_t stepY = endY >= startY ? 1 : -1;
    const bool xDrives = dx >= dy;
    const int64_t den = xDrives ? dx : dy;
    const int64_t add = xDrives ? dy : dx;
    int64_t acc = den / 2;
    for (int64_t i = 0; i <= den; i++) {
        SetPixelColor(static_cast<long>(x), static_cast<long>(y), color, setAlpha);
        acc += add;
        if (acc >= den) {
            acc -= den;
            if (xDrives)
                y += stepY;
            else
                x += stepX;
        }
        if (xDrives)
            x += stepX;
        else
            y += stepY;
    }
}

// ---- colour conversions ----------------------------------------------------------------

RGBQUAD GwImage::RGBtoRGBQUAD(COLORREF color) {
    RGBQUAD c;
    c.rgbBlue = static_cast<BYTE>((color >> 16) & 0xFF);
    c.rgbGreen = static_cast<BYTE>((color >> 8) & 0xFF);
    c.rgbRed = static_cast<BYTE>(color & 0xFF);
    c.rgbReserved = 0;
    return c;
}

COLORREF GwImage::RGBQUADtoRGB(RGBQUAD color) {
    return static_cast<COLORREF>(color.rgbRed) | (static_cast<COLORREF>(color.rgbGreen) << 8) |
           (static_cast<COLORREF>(color.rgbBlue) << 16);
}

int GwImage::CompareColors(const void* a, const void* b) {
    return static_cast<int>(GrayOf(*static_cast<const RGBQUAD*>(a))) -
           static_cast<int>(GrayOf(*static_cast<const RGBQUAD*>(b)));
}

void GwImage::RGBtoBGR(BYTE* buffer, int length) {
    if (!buffer || header.biClrUsed || length <= 0) return;
    const DWORD n = static_cast<DWORD>(length) < info.rowBytes ? static_cast<DWORD>(length) : info.rowBytes;
    for (DWORD i = 0; i + 2 < n; i += 3) {
        const BYTE t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
}

void GwImage::Bitfield2RGB(BYTE* src, WORD redmask, WORD greenmask, WORD bluemask, BYTE bpp) {
    if (!src || !dib || header.biBitCount != 24) return;
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());

    if (bpp == 16) {
        const int nr = CountBits(redmask), ng = CountBits(greenmask), nb = CountBits(bluemask);
        const int blueShift = -(8 - nr);  // a left shift
        const int greenShift = nr + ng - 8;
        const int redShift = nr + ng + nb - 8;
        const size_t srcRow = static_cast<size_t>((width + 1) / 2) * 4;
        // Top row first and last pixel first: each 2-byte source lies at or before its 3-byte
        // destination, so a source sharing the destination buffer is read before overwritten.
        for (long y = height - 1; y >= 0; y--) {
            const BYTE* s = src + static_cast<size_t>(y) * srcRow;
            BYTE* d = info.pixels + static_cast<size_t>(y) * info.rowBytes;
            for (long x = width - 1; x >= 0; x--) {
                const uint32_t w = static_cast<uint32_t>(s[2 * x]) | (static_cast<uint32_t>(s[2 * x + 1]) << 8);
                d[3 * x + 0] = ShiftField(w & bluemask, blueShift);
                d[3 * x + 1] = ShiftField(w & greenmask, greenShift);
                d[3 * x + 2] = ShiftField(w & redmask, redShift);
            }
        }
    } else if (bpp == 32) {
        // 4-byte sources lie at or after their 3-byte destinations, so the forward order is
        // the one that survives a shared buffer.
        const size_t srcRow = static_cast<size_t>(width) * 4;
        for (long y = 0; y < height; y++) {
            const BYTE* s = src + static_cast<size_t>(y) * srcRow;
            BYTE* d = info.pixels + static_cast<size_t>(y) * info.rowBytes;
            for (long x = 0; x < width; x++) {
                d[3 * x + 0] = s[4 * x + 0];
                d[3 * x + 1] = s[4 * x + 1];
                d[3 * x + 2] = s[4 * x + 2];
            }
        }
    }
}

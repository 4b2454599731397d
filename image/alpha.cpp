// GwImage alpha: the per-pixel alpha plane (one byte per pixel, 255 = opaque), the overall
// opacity, alpha carried in the palette's reserved bytes, and flattening alpha onto the
// transparent colour.
#include <cstdlib>
#include <cstring>

#include "image/byte_plane.h"
#include "image/gw_image.h"

namespace {

inline size_t PlaneSize(const GwImage& image) {
    return static_cast<size_t>(image.GetWidth()) * image.GetHeight();
}

}  // namespace

bool GwImage::AlphaCreate() {
    if (alpha) return true;
    if (!dib) return false;
    alpha = static_cast<BYTE*>(std::malloc(PlaneSize(*this)));
    if (!alpha) return false;
    std::memset(alpha, 255, PlaneSize(*this));
    return true;
}

void GwImage::AlphaDelete() {
    std::free(alpha);
    alpha = nullptr;
}

bool GwImage::AlphaIsValid() const { return alpha != nullptr; }

void GwImage::AlphaClear() {
    if (alpha) std::memset(alpha, 0, PlaneSize(*this));
}

void GwImage::AlphaSet(BYTE level) {
    if (alpha) std::memset(alpha, level, PlaneSize(*this));
}

void GwImage::AlphaInvert() {
    if (!alpha) return;
    const size_t n = PlaneSize(*this);
    for (size_t i = 0; i < n; i++) alpha[i] = static_cast<BYTE>(255 - alpha[i]);
}

void GwImage::AlphaSet(long x, long y, BYTE level) {
    if (alpha && IsInside(x, y)) alpha[static_cast<size_t>(y) * GetWidth() + x] = level;
}

BYTE GwImage::AlphaGet(long x, long y) const {
    if (alpha && IsInside(x, y)) return alpha[static_cast<size_t>(y) * GetWidth() + x];
    return 0;
}

BYTE GwImage::BlindAlphaGet(long x, long y) const {
    return alpha[static_cast<size_t>(y) * GetWidth() + x];
}

BYTE* GwImage::AlphaGetPointer(long x, long y) const {
    if (alpha && IsInside(x, y)) return alpha + static_cast<size_t>(y) * GetWidth() + x;
    return nullptr;
}

bool GwImage::AlphaCopy(const GwImage& from) {
    if (&from == this) return alpha != nullptr;
    if (!from.alpha || !dib || GetWidth() != from.GetWidth() || GetHeight() != from.GetHeight())
        return false;
    if (!alpha) {
        alpha = static_cast<BYTE*>(std::malloc(PlaneSize(*this)));
        if (!alpha) return false;
    }
    std::memcpy(alpha, from.alpha, PlaneSize(*this));
    info.alphaMax = from.info.alphaMax;
    return true;
}

bool GwImage::AlphaSet(const GwImage& from) {
    if (!from.IsGrayScale() || !dib || GetWidth() != from.GetWidth() || GetHeight() != from.GetHeight())
        return false;
    if (!AlphaCreate()) return false;
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    for (long y = 0; y < height; y++) {
        BYTE* row = alpha + static_cast<size_t>(y) * width;
        for (long x = 0; x < width; x++) row[x] = from.BlindGetPixelIndex(x, y);
    }
    return true;
}

bool GwImage::AlphaFlip() {
    if (!alpha) return false;
    gwplane::Flip(alpha, GetWidth(), GetHeight());
    return true;
}

bool GwImage::AlphaMirror() {
    if (!alpha) return false;
    gwplane::Mirror(alpha, GetWidth(), GetHeight());
    return true;
}

bool GwImage::AlphaSplit(GwImage* dest) const {
    // Re-creating this image as its own destination would free the plane being read.
    if (!alpha || !dest || dest == this) return false;
    return gwplane::Split(alpha, *this, dest);
}

bool GwImage::AlphaPaletteSplit(GwImage* dest) const {
    if (!dib || !header.biClrUsed || !dest || dest == this) return false;
    if (!dest->Create(GetWidth(), GetHeight(), 8, info.type)) return false;
    dest->SetGrayPalette();
    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    for (long y = 0; y < height; y++) {
        BYTE* row = dest->GetBits(static_cast<DWORD>(y));
        for (long x = 0; x < width; x++) row[x] = GetPaletteColor(BlindGetPixelIndex(x, y)).rgbReserved;
    }
    return true;
}

BYTE GwImage::AlphaGetMax() const { return info.alphaMax; }
void GwImage::AlphaSetMax(BYTE alphaMax) { info.alphaMax = alphaMax; }
void GwImage::AlphaPaletteEnable(bool enable) { info.alphaPaletteEnabled = enable; }
bool GwImage::AlphaPaletteIsEnabled() const { return info.alphaPaletteEnabled; }

void GwImage::AlphaPaletteClear() {
    RGBQUAD* palette = GetPalette();
    if (!palette) return;
    for (DWORD i = 0; i < header.biClrUsed; i++) palette[i].rgbReserved = 0;
    info.nearestValid = false;
}

bool GwImage::AlphaPaletteIsValid() const {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return false;
    for (DWORD i = 0; i < header.biClrUsed; i++)
        if (palette[i].rgbReserved != 0) return true;
    return false;
}

void GwImage::AlphaStrip() {
    if (!dib) return;
    const bool paletteAlpha = AlphaPaletteIsValid();
    if (!alpha && !paletteAlpha) return;

    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    const RGBQUAD back = info.transColor;
    const long alphaMax = info.alphaMax;

    // Weight of the pixel against the background, 0..255.
    auto weight = [&](long x, long y, const RGBQUAD& c) -> long {
        long a = alpha ? BlindAlphaGet(x, y) * alphaMax / 255 : alphaMax;
        // Reserved bytes are opacity only when the palette carries alpha at all; a palette
        // of zero reserved bytes would otherwise erase every pixel.
        if (header.biClrUsed && paletteAlpha) a = a * c.rgbReserved / 255;
        return a;
    };
    auto mix = [](long p, long t, long a) { return static_cast<BYTE>((p * a + t * (255 - a)) / 255); };

    if (!header.biClrUsed) {
        for (long y = 0; y < height; y++) {
            for (long x = 0; x < width; x++) {
                BYTE* p = BlindGetPixelPointer(x, y);
                const long a = weight(x, y, RGBQUAD{0, 0, 0, 0});
                p[0] = mix(p[0], back.rgbBlue, a);
                p[1] = mix(p[1], back.rgbGreen, a);
                p[2] = mix(p[2], back.rgbRed, a);
            }
        }
        AlphaDelete();
        return;
    }

    // A palette image cannot hold the mixed colours: it becomes a 24-bit image.
    if (info.ghostOf) return;
    GwImage flat(info.type);
    flat.CopyInfo(*this);
    if (!flat.Create(GetWidth(), GetHeight(), 24, info.type)) return;
    for (long y = 0; y < height; y++) {
        for (long x = 0; x < width; x++) {
            const RGBQUAD c = GetPaletteColor(BlindGetPixelIndex(x, y));
            const long a = weight(x, y, c);
            BYTE* p = flat.BlindGetPixelPointer(x, y);
            p[0] = mix(c.rgbBlue, back.rgbBlue, a);
            p[1] = mix(c.rgbGreen, back.rgbGreen, a);
            p[2] = mix(c.rgbRed, back.rgbRed, a);
        }
    }
    if (selection) flat.SelectionCopy(*this);
    Transfer(flat);
}

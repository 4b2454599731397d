// Changing a GwImage's bits per pixel in place: widening without changing colours, and
// reducing to a 2-, 16- or 256-colour palette with optional error diffusion. Both build the
// new image aside and take it over at the end.
#include <cstdint>
#include <cstring>

#include "image/gw_image.h"

namespace {

inline BYTE ClampChannel(int v) { return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

bool GwImage::IncreaseBpp(DWORD bitsPerPixel) {
    if (!dib) return false;
    if (bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24) return false;
    if (bitsPerPixel < header.biBitCount) return false;
    if (bitsPerPixel == header.biBitCount) return true;
    // A ghost cannot take a new image over.
    if (info.ghostOf) return false;

    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    GwImage wide(info.type);
    wide.CopyInfo(*this);
    if (!wide.Create(GetWidth(), GetHeight(), bitsPerPixel, info.type)) return false;
    // Rows left unwritten by an escape read as zero, never as leftover heap contents.
    wide.Clear(0);

    if (bitsPerPixel < 24) {
        wide.SetPalette(GetPalette(), GetNumColors());
        if (selection) wide.SelectionCopy(*this);
        if (alpha) wide.AlphaCopy(*this);
        for (long y = 0; y < height; y++) {
            if (info.escape) break;
            for (long x = 0; x < width; x++) wide.BlindSetPixelIndex(x, y, BlindGetPixelIndex(x, y));
        }
    } else {
        if (info.transIndex >= 0) {
            wide.info.transColor = info.transIndex < 256 ? GetPaletteColor(static_cast<BYTE>(info.transIndex))
                                                         : RGBQUAD{0, 0, 0, 0};
        }
        if (selection) wide.SelectionCopy(*this);
        if (alpha)
            wide.AlphaCopy(*this);
        else if (AlphaPaletteIsValid())
            wide.AlphaCreate();
        for (long y = 0; y < height; y++) {
            if (info.escape) break;
            for (long x = 0; x < width; x++) wide.SetPixelColor(x, y, GetPixelColor(x, y, true), true);
        }
    }
    return Transfer(wide);
}

namespace {

// The palette a narrowed picture gets: the caller's entries (as many as the depth holds), or
// black and white for 1 bit and the standard palette for 4 and 8 bits.
void ChoosePalette(GwImage& narrow, DWORD bitsPerPixel, RGBQUAD* palette) {
    switch (bitsPerPixel) {
    case 1:
        if (palette) {
            narrow.SetPalette(palette, 2);
        } else {
            narrow.SetPaletteColor(0, 0, 0, 0, 0);
            narrow.SetPaletteColor(1, 255, 255, 255, 0);
        }
        break;
    case 4:
        if (palette)
            narrow.SetPalette(palette, 16);
        else
            narrow.SetStdPalette();
        break;
    default:
        if (palette)
            narrow.SetPalette(palette, 256);
        else
            narrow.SetStdPalette();
        break;
    }
}

// The nearest entry of `target`'s palette for blue-green-red pixels, the last four answers
// remembered (a few colours cover a drawing or a symbol). The colour asked for is `base` (the
// transparent colour, for its fourth byte) with the pixel's three bytes, as the general loop
// asks.
class RecentEntries {
public:
    RecentEntries(GwImage& target, RGBQUAD base) : target_(target), base_(base) {}
    BYTE Of(const BYTE* p) {
        const uint32_t key = p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
        for (int i = 0; i < count_; ++i)
            if (seen_[i] == key) return seenIndex_[i];
        RGBQUAD c = base_;
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
        const BYTE index = target_.GetNearestIndex(c);
        seen_[next_] = key;
        seenIndex_[next_] = index;
        next_ = (next_ + 1) & 3;
        if (count_ < 4) ++count_;
        return index;
    }

private:
    GwImage& target_;
    RGBQUAD base_;
    uint32_t seen_[4] = {};
    BYTE seenIndex_[4] = {};
    int count_ = 0, next_ = 0;
};

// One true-colour row p of `width` pixels into a cleared row `out` of 1, 4 or 8 bits, each
// pixel its nearest entry.
void NarrowRow(const BYTE* p, BYTE* out, long width, DWORD bitsPerPixel, RecentEntries& entries) {
    if (bitsPerPixel == 1) {
        // Pixels come in runs of one colour: each run is measured first and looked up once
        // (out is cleared, so only runs of entry 1 set bits). Neighbouring runs differ, so
        // the run two before is the one to compare with: a two-colour picture needs no
        // search after its first two runs of a row.
        const BYTE* twoBefore = nullptr;
        const BYTE* oneBefore = nullptr;
        unsigned twoBeforeBit = 0, oneBeforeBit = 0;
        for (long x = 0; x < width;) {
            const BYTE* run = p + 3 * static_cast<size_t>(x);
            long end = x + 1;
            for (const BYTE* q = run + 3; end < width && q[0] == run[0] && q[1] == run[1] && q[2] == run[2]; q += 3)
                ++end;
            const unsigned bit =
                (twoBefore && run[0] == twoBefore[0] && run[1] == twoBefore[1] && run[2] == twoBefore[2])
                    ? twoBeforeBit
                    : (entries.Of(run) & 1u);
            twoBefore = oneBefore;
            twoBeforeBit = oneBeforeBit;
            oneBefore = run;
            oneBeforeBit = bit;
            if (bit)
                for (long i = x; i < end; ++i) out[i >> 3] |= static_cast<BYTE>(0x80u >> (i & 7));
            x = end;
        }
    } else if (bitsPerPixel == 4) {
        for (long x = 0; x < width; x++, p += 3)
            out[x >> 1] |= static_cast<BYTE>((entries.Of(p) & 0x0F) << ((x & 1) ? 0 : 4));
    } else {
        for (long x = 0; x < width; x++, p += 3) out[x] = entries.Of(p);
    }
}

// Adds e * weight / 16 of each channel's error to a source pixel still to be processed.
void Spread(GwImage& source, long x, long y, int er, int eg, int eb, int weight) {
    if (!source.IsInside(x, y)) return;
    RGBQUAD c = source.GetPixelColor(x, y, false);
    c.rgbRed = ClampChannel(c.rgbRed + er * weight / 16);
    c.rgbGreen = ClampChannel(c.rgbGreen + eg * weight / 16);
    c.rgbBlue = ClampChannel(c.rgbBlue + eb * weight / 16);
    source.SetPixelColor(x, y, c, false);
}

// The general loop, pixel by pixel through the colour interface; with error diffusion each
// pixel's error goes to its neighbours still to come in `source`.
void NarrowByPixels(GwImage& source, GwImage& narrow, bool errorDiffusion) {
    const long width = static_cast<long>(source.GetWidth()), height = static_cast<long>(source.GetHeight());
    for (long y = 0; y < height; y++) {
        if (source.GetEscape()) break;
        source.SetProgress(y * 100 / height);
        for (long x = 0; x < width; x++) {
            const RGBQUAD c = source.GetPixelColor(x, y, false);
            narrow.SetPixelColor(x, y, c, false);
            if (!errorDiffusion) continue;
            const RGBQUAD q = narrow.GetPixelColor(x, y, false);
            const int er = c.rgbRed - q.rgbRed, eg = c.rgbGreen - q.rgbGreen, eb = c.rgbBlue - q.rgbBlue;
            Spread(source, x + 1, y, er, eg, eb, 7);
            Spread(source, x - 1, y + 1, er, eg, eb, 2);
            Spread(source, x, y + 1, er, eg, eb, 4);
            Spread(source, x + 1, y + 1, er, eg, eb, 1);
        }
    }
}

}  // namespace

bool GwImage::DecreaseBpp(DWORD bitsPerPixel, bool errorDiffusion, RGBQUAD* palette, DWORD colorsImportant) {
    if (!dib) return false;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8) return false;
    if (header.biBitCount < bitsPerPixel) return false;
    if (header.biBitCount == bitsPerPixel) {
        if (colorsImportant == 0) return true;
        if (header.biClrImportant != 0 && header.biClrImportant < colorsImportant) return true;
    }
    if (info.ghostOf) return false;

    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    const WORD sourceDepth = header.biBitCount;

    GwImage narrow(info.type);
    narrow.CopyInfo(*this);
    if (!narrow.Create(GetWidth(), GetHeight(), bitsPerPixel, info.type)) return false;
    if (colorsImportant) narrow.SetClrImportant(colorsImportant);
    if (!narrow.IsValid()) return false;
    narrow.Clear(0);
    if (selection) narrow.SelectionCopy(*this);
    if (alpha) narrow.AlphaCopy(*this);
    ChoosePalette(narrow, bitsPerPixel, palette);

    // Without error diffusion a true-colour row maps pixel by pixel to the nearest entry: read
    // the rows directly and look up each colour once. The colours and the choice of entry are
    // exactly those of the general loop.
    if (!errorDiffusion && sourceDepth == 24) {
        RecentEntries entries(narrow, info.transColor);
        for (long y = 0; y < height; y++) {
            if (info.escape) break;
            info.progress = static_cast<LONG>(y * 100 / height);
            const BYTE* p = info.pixels + static_cast<size_t>(y) * info.rowBytes;
            BYTE* out = narrow.info.pixels + static_cast<size_t>(y) * narrow.info.rowBytes;  // cleared to 0
            NarrowRow(p, out, width, bitsPerPixel, entries);
        }
    } else {
        NarrowByPixels(*this, narrow, errorDiffusion);
    }

    if (sourceDepth == 1) {
        narrow.SetPaletteColor(0, 0, 0, 0, 0);
        narrow.SetPaletteColor(1, 255, 255, 255, 0);
    }
    return Transfer(narrow);
}

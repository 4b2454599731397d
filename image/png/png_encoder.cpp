// Writing a GwImage as PNG: palette images as colour type 3 (with a tRNS chunk for a
// transparent index or palette alpha), 24-bit images as RGB, and images with an alpha
// plane or a transparent colour as RGBA. Rows are produced top-down on demand, once per
// interlace pass, straight from the image's own pixels.
#include <cstdint>
#include <cstring>

#include "image/gw_file.h"
#include "image/png/gw_png_codec.h"
#include "image/png/png_io.h"
#include "image/png/png_shim.h"

namespace {
// Copies at most 255 characters and always terminates.
void SetText(char (&dst)[256], const char* text) {
    size_t n = strnlen(text, sizeof dst - 1);
    std::memmove(dst, text, n);
    dst[n] = '\0';
}

}  // namespace

struct GwPngCodecWriter {
    GwPngCodec* image;
    bool rgba;             // rows of red, green, blue and alpha; else 24-bit rows
    bool transColorKeyed;  // a 24-bit image whose transparent colour becomes alpha 0
    RGBQUAD key;

    static void Fill(void* user, uint32_t row, unsigned char* buffer) {
        GwPngCodecWriter& w = *static_cast<GwPngCodecWriter*>(user);
        w.image->FillRow(row, buffer, w.rgba, w.transColorKeyed, w.key);
    }

    // Describes a palette picture to the writer: its entries, transparency and background.
    static void DescribePalette(GwPngCodec& image, GwPngWriteJob& job, RGBQUAD& background);
    // How many palette entries the file lists: small pictures only the entries up to the
    // largest index their pixels use.
    static DWORD ListedEntries(const GwPngCodec& image, DWORD colors);
};

namespace {

// The listed entry nearest a colour (the first of equals): a palette file's background.
BYTE NearestListed(const RGBQUAD* pal, DWORD n, RGBQUAD colour) {
    long best = -1;
    BYTE bestIndex = 0;
    for (DWORD i = 0; i < n; ++i) {
        long dr = pal[i].rgbRed - colour.rgbRed, dg = pal[i].rgbGreen - colour.rgbGreen,
             db = pal[i].rgbBlue - colour.rgbBlue;
        long d = dr * dr + dg * dg + db * db;
        if (best < 0 || d < best) best = d, bestIndex = static_cast<BYTE>(i);
    }
    return bestIndex;
}

}  // namespace

DWORD GwPngCodecWriter::ListedEntries(const GwPngCodec& image, DWORD colors) {
    const DWORD width = image.GetWidth(), height = image.GetHeight();
    if (colors <= 2 || static_cast<uint64_t>(width) * height >= 65536) return colors;
    BYTE largest = 0;
    for (DWORD y = 0; y < height; ++y)
        for (DWORD x = 0; x < width; ++x) {
            BYTE i = image.BlindGetPixelIndex(static_cast<long>(x), static_cast<long>(y));
            if (i > largest) largest = i;
        }
    return static_cast<DWORD>(largest) + 1;
}

void GwPngCodecWriter::DescribePalette(GwPngCodec& image, GwPngWriteJob& job, RGBQUAD& background) {
    ImageInfo& info = image.info;
    job.colorType = 3;
    job.bitDepth = image.GetBpp();
    RGBQUAD* pal = image.GetPalette();
    DWORD colors = image.GetNumColors();
    // A transparent index is written as entry 0 with a one-entry tRNS; an index outside
    // the palette names no colour and is not written.
    if (info.transIndex >= 0 && static_cast<DWORD>(info.transIndex) < colors) {
        if (info.transIndex != 0) {
            image.SwapIndex(0, static_cast<BYTE>(info.transIndex));
            info.transIndex = 0;
            if (info.ghostOf) info.ghostOf->SetTransIndex(0);
        }
        job.trans[0] = 0;
        job.transSize = 1;
        background = pal[0];
    }
    const DWORD n = ListedEntries(image, colors);
    if (info.alphaPaletteEnabled) {
        for (DWORD i = 0; i < n; ++i) job.trans[i] = pal[i].rgbReserved;
        job.transSize = static_cast<int>(n);
    }
    for (DWORD i = 0; i < n; ++i) {
        job.palette[i][0] = pal[i].rgbRed;
        job.palette[i][1] = pal[i].rgbGreen;
        job.palette[i][2] = pal[i].rgbBlue;
    }
    job.paletteSize = static_cast<int>(n);
    // Small two-colour pictures (symbols, line art) are rows repeated close together:
    // zlib's level 5 finds those matches with a quarter of level 6's search and gives
    // files as small on average, within a few bytes either way. Their few kilobytes need
    // no 32K-entry match table either: memory level 6 (8K entries, blocks of 4K symbols)
    // gives the same files from a third of the working memory, which is cleared for every
    // file and would otherwise push the rest of the program out of the cache. Larger
    // pictures keep the defaults, whose longer search pays off there.
    const uint64_t filtered = (static_cast<uint64_t>(image.GetWidth() + 7) / 8 + 1) * image.GetHeight();
    if (image.GetBpp() == 1 && !job.interlaced && filtered <= 8192) {
        job.deflateLevel = 5;
        job.deflateMemLevel = 6;
    }
    job.background[0] = NearestListed(pal, n, background);
}

void GwPngCodec::FillRow(uint32_t row, unsigned char* buffer, bool rgba, bool keyed, RGBQUAD key) {
    long y = static_cast<long>(GetHeight()) - 1 - static_cast<long>(row);
    long width = static_cast<long>(GetWidth());
    if (rgba) {
        bool plane = AlphaIsValid();
        for (long x = 0; x < width; ++x) {
            RGBQUAD c = BlindGetPixelColor(x, y);
            unsigned a = plane ? BlindAlphaGet(x, y) : 255;
            if (keyed && c.rgbRed == key.rgbRed && c.rgbGreen == key.rgbGreen && c.rgbBlue == key.rgbBlue) a = 0;
            *buffer++ = c.rgbRed;
            *buffer++ = c.rgbGreen;
            *buffer++ = c.rgbBlue;
            *buffer++ = static_cast<unsigned char>(a * info.alphaMax / 255);
        }
        return;
    }
    std::memcpy(buffer, GetBits(static_cast<DWORD>(y)), info.rowBytes);
    if (GetBpp() == 24) RGBtoBGR(buffer, static_cast<int>(info.rowBytes));
}

bool GwPngCodec::Encode(GwFile* file) {
    if (EncodeSafeCheck(file)) return false;
    GwPngWriteJob job;
    std::memset(&job, 0, sizeof job);
    GwPngCodecWriter writer = {this, false, false, {0, 0, 0, 0}};
    DWORD width = GetWidth(), height = GetHeight();
    bool palette = GetNumColors() > 0;
    job.width = width;
    job.height = height;
    job.interlaced = GetCodecOption(TypePng) == 1;
    job.physX = header.biXPelsPerMeter > 0 ? static_cast<uint32_t>(header.biXPelsPerMeter) : 0;
    job.physY = header.biYPelsPerMeter > 0 ? static_cast<uint32_t>(header.biYPelsPerMeter) : 0;

    RGBQUAD background = {255, 255, 255, 0};
    if (info.transIndex != -1) background = GetTransColor();

    if (AlphaIsValid() || (!palette && info.transIndex >= 0)) {
        writer.rgba = true;
        writer.transColorKeyed = !palette && info.transIndex >= 0;
        writer.key = GetTransColor();
        job.colorType = 6;
        job.bitDepth = 8;
        job.bufferBytes = static_cast<size_t>(width) * 4;
    } else if (palette) {
        GwPngCodecWriter::DescribePalette(*this, job, background);
        // Palette rows are stored as PNG wants them, bottom-up: libpng reads them in place.
        job.rows = GetBits(height - 1);
        job.rowStep = -static_cast<ptrdiff_t>(info.rowBytes);
    } else {
        job.colorType = 2;
        job.bitDepth = 8;
        job.bufferBytes = info.rowBytes;
    }
    job.background[1] = background.rgbRed;
    job.background[2] = background.rgbGreen;
    job.background[3] = background.rgbBlue;
    job.user = &writer;
    job.fill = &GwPngCodecWriter::Fill;

    GwPngIo io = GwPngStreamIo(file);
    char message[256] = "";
    switch (GwPngWrite(&io, &job, message)) {
        case GW_PNG_OK: return true;
        case GW_PNG_NO_STRUCT: SetText(info.lastError, "Failed to create PNG structure"); return false;
        case GW_PNG_NO_INFO: SetText(info.lastError, "Failed to initialize PNG info structure"); return false;
        default: SetText(info.lastError, "Error saving PNG file"); return false;
    }
}

// Moving scan lines between bitmaps and caller-described DIBs: GetDIBits (with the header
// fill-in and the colour tables of shallow depths) and CreateDIBitmap. Scan line n
// of a bottom-up DIB is row n from the bitmap's bottom; of a top-down DIB, row n from its top.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace gw::gdi;

namespace {

RGBQUAD Quad(BYTE r, BYTE g, BYTE b) { return RGBQUAD{b, g, r, 0}; }

// The colour tables used when a deep bitmap is read at 1, 4 or 8 bits: black and white, the
// sixteen VGA colours, and those sixteen followed by a 6x6x6 colour cube and a grey ramp.
std::vector<RGBQUAD> DefaultTable(WORD bpp) {
    static const BYTE vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    std::vector<RGBQUAD> t;
    if (bpp == 1) return {Quad(0, 0, 0), Quad(255, 255, 255)};
    for (const auto& c : vga) t.push_back(Quad(c[0], c[1], c[2]));
    if (bpp == 4) return t;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                t.push_back(Quad(static_cast<BYTE>(r * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(b * 51)));
    for (int i = 0; t.size() < 256; ++i) {
        BYTE v = static_cast<BYTE>(8 + i * 10);
        t.push_back(Quad(v, v, v));
    }
    return t;
}

// The table a read at `bpp` bits produces: the bitmap's own when it fits, else the palette
// the context has selected (other than the default one), else the default table.
std::vector<RGBQUAD> TableFor(const Bitmap& b, const DC& dc, WORD bpp, bool* sameIndices) {
    const size_t full = size_t{1} << bpp;
    *sameIndices = false;
    if (b.bpp <= 8 && !b.colors.empty() && b.colors.size() <= full) {
        std::vector<RGBQUAD> t = b.colors;
        t.resize(full, RGBQUAD{0, 0, 0, 0});
        *sameIndices = true;
        return t;
    }
    if (dc.palette && dc.palette != Stock(DEFAULT_PALETTE) && !dc.palette->entries.empty()) {
        std::vector<RGBQUAD> t;
        for (const PALETTEENTRY& e : dc.palette->entries) {
            if (t.size() == full) break;
            t.push_back(Quad(e.peRed, e.peGreen, e.peBlue));
        }
        t.resize(full, RGBQUAD{0, 0, 0, 0});
        return t;
    }
    return DefaultTable(bpp);
}

void FillHeader(BITMAPINFOHEADER* h, const Bitmap& b) {
    size_t stride = 0;
    RowBytes(b.width, b.bpp, 4, &stride);
    h->biWidth = b.width;
    h->biHeight = b.height;
    h->biPlanes = 1;
    h->biBitCount = b.bpp;
    h->biCompression = b.bitfields ? BI_BITFIELDS : BI_RGB;
    uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(b.height);
    h->biSizeImage = bytes > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(bytes);
    h->biXPelsPerMeter = 0;
    h->biYPelsPerMeter = 0;
    h->biClrUsed = 0;
    h->biClrImportant = 0;
}

// The bitmap row (top-down) that holds DIB scan line `line`.
long long BitmapRow(const Bitmap& b, bool topDown, long long line) {
    return topDown ? line : static_cast<long long>(b.height) - 1 - line;
}

void WriteColorTable(BITMAPINFO* info, UINT usage, const std::vector<RGBQUAD>& table) {
    auto* base = reinterpret_cast<uint8_t*>(info) + info->bmiHeader.biSize;
    for (size_t i = 0; i < table.size(); ++i) {
        if (usage == DIB_PAL_COLORS) {
            WORD index = static_cast<WORD>(i);
            std::memcpy(base + i * sizeof index, &index, sizeof index);
        } else {
            std::memcpy(base + i * sizeof(RGBQUAD), &table[i], sizeof(RGBQUAD));
        }
    }
}

// Copies DIB pixels (view over the caller's band) into a bitmap, converting to its depth.
int WriteLines(Bitmap& b, const DibFormat& f, const void* bits, UINT start, UINT lines) {
    if (start >= static_cast<UINT>(f.height)) return 0;
    UINT band = std::min<UINT>(lines, static_cast<UINT>(f.height) - start);
    DibFormat bandFormat = f;
    bandFormat.height = static_cast<LONG>(band);
    PixelView src = ViewOf(bandFormat, bits);
    PixelView dst = ViewOf(b);
    const int width = std::min<int>(b.width, f.width);
    for (UINT k = 0; k < band; ++k) {
        long long line = static_cast<long long>(start) + k;
        long long row = BitmapRow(b, f.topDown, line);
        if (row < 0 || row >= b.height) continue;
        // Row k of the band in memory order; the band view is addressed top-down.
        int srcRow = f.topDown ? static_cast<int>(k) : static_cast<int>(band - 1 - k);
        for (int x = 0; x < width; ++x) dst.setWork(x, static_cast<int>(row), dst.fromRgb(src.rgb(x, srcRow)));
    }
    return static_cast<int>(band);
}

}  // namespace

int GetDIBits(HDC handle, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info,
              UINT usage) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    Bitmap* b = FindBitmap(bitmap);
    if (!dc || !b || !info || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;

    if (h.biSize == sizeof(BITMAPCOREHEADER)) {
        // Core headers get the geometry only; their pixels are read through a full header.
        if (bits) return 0;
        BITMAPCOREHEADER core{};
        core.bcSize = sizeof core;
        if (b->width > 0xFFFF || b->height > 0xFFFF) return 0;
        core.bcWidth = static_cast<WORD>(b->width);
        core.bcHeight = static_cast<WORD>(b->height);
        core.bcPlanes = 1;
        core.bcBitCount = b->bpp;
        std::memcpy(info, &core, sizeof core);
        return 1;
    }
    if (h.biSize < sizeof(BITMAPINFOHEADER)) return 0;

    if (!bits && h.biBitCount == 0) {
        FillHeader(&h, *b);
        if (b->bitfields) std::memcpy(reinterpret_cast<uint8_t*>(info) + sizeof(BITMAPINFOHEADER), b->masks, sizeof b->masks);
        return 1;
    }

    DibFormat f;
    if (!ParseDib(info, usage, dc, &f, /*readColors=*/false)) return 0;
    bool sameIndices = false;
    std::vector<RGBQUAD> table;
    if (f.bpp <= 8) table = TableFor(*b, *dc, f.bpp, &sameIndices);
    f.colors = table;
    uint64_t image = static_cast<uint64_t>(f.stride) * static_cast<uint64_t>(f.height);
    h.biSizeImage = image > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(image);
    if (f.bpp <= 8) {
        h.biClrUsed = 0;
        WriteColorTable(info, usage, table);
    }
    if (!bits) return 1;

    if (start >= static_cast<UINT>(f.height)) return 0;
    UINT band = std::min<UINT>(lines, static_cast<UINT>(f.height) - start);
    DibFormat bandFormat = f;
    bandFormat.height = static_cast<LONG>(band);
    PixelView dst = ViewOf(bandFormat, bits);
    PixelView src = ViewOf(*b);
    const int width = std::min<int>(b->width, f.width);
    // 32-bit pixels to plain 24 or 32 bits are byte copies.
    const bool plainCopy = b->bpp == 32 && !b->bitfields && (f.bpp == 24 || f.bpp == 32) && !f.bitfields;
    for (UINT k = 0; k < band; ++k) {
        int dstRow = f.topDown ? static_cast<int>(k) : static_cast<int>(band - 1 - k);
        long long row = BitmapRow(*b, f.topDown, static_cast<long long>(start) + k);
        const bool inside = row >= 0 && row < b->height;
        if (inside && plainCopy) {
            // Every pixel is written below: only the bytes after them are cleared.
            const uint8_t* from = src.row(static_cast<int>(row));
            uint8_t* to = dst.row(dstRow);
            const size_t step = static_cast<size_t>(f.bpp / 8);
            const size_t written = step * static_cast<size_t>(width);
            std::memset(to + written, 0, f.stride - written);
            for (int x = 0; x < width; ++x, from += 4, to += step) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
                if (step == 4) to[3] = 0;
            }
            continue;
        }
        std::memset(dst.row(dstRow), 0, f.stride);
        if (!inside) continue;
        for (int x = 0; x < width; ++x) {
            uint32_t value = sameIndices ? src.raw(x, static_cast<int>(row)) : dst.fromRgb(src.rgb(x, static_cast<int>(row)));
            dst.setWork(x, dstRow, value);
        }
    }
    return static_cast<int>(band);
}

HBITMAP CreateDIBitmap(HDC handle, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
    Guard guard(Lock());
    DC* dc = handle ? FindDC(handle) : nullptr;
    if ((handle && !dc) || !header) return nullptr;
    LONG width, height;
    if (header->biSize == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        std::memcpy(&core, header, sizeof core);
        width = core.bcWidth;
        height = core.bcHeight;
    } else if (header->biSize >= sizeof(BITMAPINFOHEADER)) {
        width = header->biWidth;
        if (header->biHeight == INT_MIN) return nullptr;
        height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    } else {
        return nullptr;
    }
    if (width <= 0 || height <= 0) return nullptr;
    const bool mono = dc && dc->memory && dc->bitmap && dc->bitmap->bpp == 1 && !dc->bitmap->dibSection;
    DibFormat f;
    if ((init & CBM_INIT) && (!bits || !ParseDib(info, usage, dc, &f))) return nullptr;
    auto b = NewBitmap(width, height, mono ? 1 : 32, false, true);
    if (!b) return nullptr;
    if (init & CBM_INIT) WriteLines(*b, f, bits, 0, static_cast<UINT>(f.height));
    Bitmap* raw = b.release();
    Register(raw);
    return reinterpret_cast<HBITMAP>(static_cast<Object*>(raw));
}

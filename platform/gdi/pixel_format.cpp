// Pixel storage of every supported depth: allocating bitmaps within the size limit, parsing
// the DIB descriptions callers hand in, and reading or writing one pixel through a PixelView.
#include "platform/gdi/gdi_internal.h"

#include <cstring>

namespace gw {
namespace gdi {
namespace {

int LowestBit(DWORD mask) {
    int shift = 0;
    while (shift < 32 && !(mask & (1u << shift))) ++shift;
    return shift;
}

int BitCount(DWORD mask) {
    int n = 0;
    for (; mask; mask &= mask - 1) ++n;
    return n;
}

bool Contiguous(DWORD mask) {
    if (!mask) return false;
    DWORD shifted = mask >> LowestBit(mask);
    return (shifted & (shifted + 1)) == 0;
}

// Widens a channel of `bits` bits to 8 bits by repeating its high bits, so that full scale
// stays full scale (5-bit 31 becomes 255).
uint32_t Widen(uint32_t v, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return v >> (bits - 8);
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << bits) | v;
        filled += bits;
    }
    return out >> (filled - 8);
}

uint32_t DecodeMasked(uint32_t raw, const DWORD masks[3]) {
    uint32_t rgb = 0;
    for (int c = 0; c < 3; ++c) {
        DWORD m = masks[c];
        if (!m) continue;
        int shift = LowestBit(m);
        int bits = BitCount(m);
        uint32_t v = Widen((raw & m) >> shift, bits);
        rgb |= (v & 0xFF) << (16 - 8 * c);
    }
    return rgb;
}

uint32_t EncodeMasked(uint32_t rgb, const DWORD masks[3]) {
    uint32_t raw = 0;
    for (int c = 0; c < 3; ++c) {
        DWORD m = masks[c];
        if (!m) continue;
        int shift = LowestBit(m);
        int bits = BitCount(m);
        uint32_t v = (rgb >> (16 - 8 * c)) & 0xFF;
        v = bits >= 8 ? (v << (bits - 8)) : (v >> (8 - bits));
        raw |= (v << shift) & m;
    }
    return raw;
}

void DefaultMasks(WORD bpp, DWORD masks[3]) {
    if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
}

bool SupportedDepth(WORD bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

}  // namespace

bool RowBytes(LONG width, WORD bpp, unsigned alignBytes, size_t* out) {
    if (width <= 0 || !SupportedDepth(bpp)) return false;
    uint64_t bits = static_cast<uint64_t>(width) * bpp;
    uint64_t alignBits = alignBytes * 8ull;
    uint64_t bytes = (bits + alignBits - 1) / alignBits * alignBytes;
    *out = static_cast<size_t>(bytes);
    return true;
}

std::unique_ptr<Bitmap> NewBitmap(LONG width, LONG height, WORD bpp, bool dibSection, bool topDown) {
    size_t stride = 0;
    if (height <= 0 || !RowBytes(width, bpp, dibSection ? 4 : 2, &stride)) return nullptr;
    uint64_t total = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (total > kGdiMaxBitmapBytes) return nullptr;
    auto* memory = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(total), 1));
    if (!memory) return nullptr;
    std::unique_ptr<Bitmap> b(new Bitmap);
    b->bits.reset(memory);
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->dibSection = dibSection;
    b->topDown = topDown;
    b->stride = stride;
    b->byteCount = static_cast<size_t>(total);
    if (bpp == 16 || bpp == 32) DefaultMasks(bpp, b->masks);
    if (bpp == 1 && !dibSection) {
        b->colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    }
    b->header.biSize = sizeof(BITMAPINFOHEADER);
    b->header.biWidth = width;
    b->header.biHeight = topDown && dibSection ? -height : height;
    b->header.biPlanes = 1;
    b->header.biBitCount = bpp;
    b->header.biCompression = BI_RGB;
    b->header.biSizeImage = static_cast<DWORD>(total);
    return b;
}

std::unique_ptr<Bitmap> CloneBitmap(const Bitmap& source) {
    auto copy = NewBitmap(source.width, source.height, source.bpp, source.dibSection, source.topDown);
    if (!copy) return nullptr;
    std::memcpy(copy->bits.get(), source.bits.get(), source.byteCount);
    copy->bitfields = source.bitfields;
    std::memcpy(copy->masks, source.masks, sizeof copy->masks);
    copy->colors = source.colors;
    copy->header = source.header;
    return copy;
}

size_t ColorTableEntries(const BITMAPINFOHEADER& h) {
    if (h.biBitCount > 8) return 0;
    size_t full = size_t{1} << h.biBitCount;
    if (h.biClrUsed == 0 || h.biClrUsed > full) return full;
    return h.biClrUsed;
}

namespace {

// Where a DIB's colour table lies and how it is laid out, as its header describes it.
struct ColorTableLayout {
    size_t offset = 0;     // from the start of the BITMAPINFO
    size_t entries = 0;
    bool triples = false;  // RGBTRIPLEs after a core header, RGBQUADs otherwise
};

// Reads a core or an info header (of any version up to the fifth) into f: size, orientation,
// depth, compression and masks. False for what this GDI does not draw.
bool ParseDibHeader(const BITMAPINFO* info, DibFormat* f, ColorTableLayout* table) {
    const DWORD headerSize = info->bmiHeader.biSize;
    const auto* base = reinterpret_cast<const uint8_t*>(info);
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        std::memcpy(&core, base, sizeof core);
        f->width = core.bcWidth;
        f->height = core.bcHeight;
        f->bpp = core.bcBitCount;
        if (!SupportedDepth(f->bpp) || f->bpp == 16 || f->bpp == 32) return false;
        table->offset = sizeof core;
        table->entries = f->bpp <= 8 ? (size_t{1} << f->bpp) : 0;
        table->triples = true;
    } else if (headerSize >= sizeof(BITMAPINFOHEADER) && headerSize <= 124) {
        const BITMAPINFOHEADER& h = info->bmiHeader;
        f->width = h.biWidth;
        if (h.biHeight == INT32_MIN) return false;
        f->topDown = h.biHeight < 0;
        f->height = f->topDown ? -h.biHeight : h.biHeight;
        f->bpp = h.biBitCount;
        f->compression = h.biCompression;
        if (!SupportedDepth(f->bpp)) return false;
        switch (f->compression) {
            case BI_RGB: break;
            case BI_BITFIELDS:
                if (f->bpp != 16 && f->bpp != 32) return false;
                f->bitfields = true;
                std::memcpy(f->masks, base + sizeof(BITMAPINFOHEADER), sizeof f->masks);
                for (DWORD m : f->masks) {
                    if (!Contiguous(m) || (f->bpp == 16 && m > 0xFFFF)) return false;
                }
                break;
            default: return false;
        }
        table->offset = headerSize;
        if (headerSize == sizeof(BITMAPINFOHEADER) && f->bitfields) table->offset += 3 * sizeof(DWORD);
        table->entries = ColorTableEntries(h);
    } else {
        return false;
    }
    return f->width > 0 && f->height > 0;
}

// The colour table as colours: RGBQUADs or RGBTRIPLEs as they are, DIB_PAL_COLORS entries
// through the context's palette (the default palette without one; an index past its end is
// black).
void ReadColorTable(const uint8_t* table, const ColorTableLayout& layout, UINT usage, const DC* dc,
                    std::vector<RGBQUAD>* colors) {
    colors->resize(layout.entries);
    if (usage == DIB_PAL_COLORS) {
        const Palette* pal = (dc && dc->palette) ? dc->palette : static_cast<Palette*>(Stock(DEFAULT_PALETTE));
        for (size_t i = 0; i < layout.entries; ++i) {
            WORD index;
            std::memcpy(&index, table + i * sizeof(WORD), sizeof index);
            RGBQUAD q{0, 0, 0, 0};
            if (pal && index < pal->entries.size()) {
                const PALETTEENTRY& e = pal->entries[index];
                q = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
            }
            (*colors)[i] = q;
        }
    } else if (layout.triples) {
        for (size_t i = 0; i < layout.entries; ++i) {
            const uint8_t* t = table + i * 3;
            (*colors)[i] = RGBQUAD{t[0], t[1], t[2], 0};
        }
    } else {
        std::memcpy(colors->data(), table, layout.entries * sizeof(RGBQUAD));
    }
}

}  // namespace

bool ParseDib(const BITMAPINFO* info, UINT usage, DC* dc, DibFormat* out, bool readColors) {
    if (!info || !out || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) return false;
    DibFormat f;
    ColorTableLayout table;
    if (!ParseDibHeader(info, &f, &table)) return false;
    if (!f.bitfields && (f.bpp == 16 || f.bpp == 32)) DefaultMasks(f.bpp, f.masks);

    if (table.entries && !readColors) {
        f.colors.assign(table.entries, RGBQUAD{0, 0, 0, 0});
    } else if (table.entries) {
        ReadColorTable(reinterpret_cast<const uint8_t*>(info) + table.offset, table, usage, dc, &f.colors);
    }

    if (!RowBytes(f.width, f.bpp, 4, &f.stride)) return false;
    uint64_t bytes = static_cast<uint64_t>(f.stride) * static_cast<uint64_t>(f.height);
    if (bytes / static_cast<uint64_t>(f.height) != f.stride || bytes > (uint64_t{1} << 46)) return false;
    f.imageBytes = static_cast<size_t>(bytes);
    *out = std::move(f);
    return true;
}

uint32_t NearestIndex(const RGBQUAD* colors, int count, uint32_t rgb) {
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    uint32_t best = 0;
    long bestDistance = -1;
    for (int i = 0; i < count; ++i) {
        long dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - g, db = colors[i].rgbBlue - b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<uint32_t>(i);
            if (d == 0) break;
        }
    }
    return best;
}

uint32_t PixelView::raw(int x, int y) const {
    const uint8_t* r = row(y);
    const size_t ux = static_cast<size_t>(x);  // byte offsets of wide rows exceed int
    switch (bpp) {
        case 1: return (r[ux >> 3] >> (7 - (x & 7))) & 1u;
        case 4: return (r[ux >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
        case 8: return r[ux];
        case 16: return r[2 * ux] | (static_cast<uint32_t>(r[2 * ux + 1]) << 8);
        case 24: {
            const uint8_t* p = r + 3 * ux;
            return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
        }
        default: {
            const uint8_t* p = r + 4 * ux;
            return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
                   (static_cast<uint32_t>(p[3]) << 24);
        }
    }
}

void PixelView::setRaw(int x, int y, uint32_t v) const {
    uint8_t* r = row(y);
    const size_t ux = static_cast<size_t>(x);
    switch (bpp) {
        case 1: {
            uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
            r[ux >> 3] = static_cast<uint8_t>((v & 1) ? (r[ux >> 3] | bit) : (r[ux >> 3] & ~bit));
            break;
        }
        case 4: {
            uint8_t& b = r[ux >> 1];
            b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F))
                        : static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
            break;
        }
        case 8: r[ux] = static_cast<uint8_t>(v); break;
        case 16:
            r[2 * ux] = static_cast<uint8_t>(v);
            r[2 * ux + 1] = static_cast<uint8_t>(v >> 8);
            break;
        case 24: {
            uint8_t* p = r + 3 * ux;
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
            p[2] = static_cast<uint8_t>(v >> 16);
            break;
        }
        default: {
            uint8_t* p = r + 4 * ux;
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
            p[2] = static_cast<uint8_t>(v >> 16);
            p[3] = static_cast<uint8_t>(v >> 24);
            break;
        }
    }
}

uint32_t PixelView::toRgb(uint32_t work) const {
    if (!indexed()) return work & 0x00FFFFFFu;
    if (static_cast<int>(work) >= colorCount) return 0;
    const RGBQUAD& q = colors[work];
    return (static_cast<uint32_t>(q.rgbRed) << 16) | (static_cast<uint32_t>(q.rgbGreen) << 8) | q.rgbBlue;
}

uint32_t PixelView::fromRgb(uint32_t rgb) const {
    rgb &= 0x00FFFFFFu;
    if (!indexed()) return rgb;
    if (rgb != memoColor) {
        memoColor = rgb;
        memoIndex = NearestIndex(colors, colorCount, rgb);
    }
    return memoIndex;
}

uint32_t PixelView::work(int x, int y) const {
    uint32_t v = raw(x, y);
    if (indexed() || bpp == 24) return v;
    if (bpp == 16 || bitfields) return DecodeMasked(v, masks);
    return v & 0x00FFFFFFu;
}

void PixelView::setWork(int x, int y, uint32_t v) const {
    if (indexed()) {
        setRaw(x, y, v & workMask());
    } else if (bpp == 16 || bitfields) {
        setRaw(x, y, EncodeMasked(v, masks));
    } else {
        setRaw(x, y, v & 0x00FFFFFFu);
    }
}

PixelView ViewOf(const Bitmap& b) {
    PixelView v;
    v.width = b.width;
    v.height = b.height;
    v.bpp = b.bpp;
    uint8_t* base = b.bits.get();
    if (b.topDown) {
        v.top = base;
        v.step = static_cast<ptrdiff_t>(b.stride);
    } else {
        v.top = base + static_cast<size_t>(b.height - 1) * b.stride;
        v.step = -static_cast<ptrdiff_t>(b.stride);
    }
    v.bitfields = b.bitfields;
    std::memcpy(v.masks, b.masks, sizeof v.masks);
    v.colors = b.colors.data();
    v.colorCount = static_cast<int>(b.colors.size());
    v.monoDevice = !b.dibSection && b.bpp == 1;
    return v;
}

PixelView ViewOf(const DibFormat& f, const void* bits) {
    PixelView v;
    v.width = f.width;
    v.height = f.height;
    v.bpp = f.bpp;
    auto* base = static_cast<uint8_t*>(const_cast<void*>(bits));
    if (f.topDown) {
        v.top = base;
        v.step = static_cast<ptrdiff_t>(f.stride);
    } else {
        v.top = base + static_cast<size_t>(f.height - 1) * f.stride;
        v.step = -static_cast<ptrdiff_t>(f.stride);
    }
    v.bitfields = f.bitfields;
    std::memcpy(v.masks, f.masks, sizeof v.masks);
    v.colors = f.colors.data();
    v.colorCount = static_cast<int>(f.colors.size());
    return v;
}

}  // namespace gdi
}  // namespace gw

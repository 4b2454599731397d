// Packed device-independent bitmaps in global memory (the clipboard's CF_DIB form): the image
// exported as one block (header, palette, rows), and blocks written by other programs read
// back: uncompressed rows, run-length coded 8- and 4-bit rows, and 16- and 32-bit rows with
// colour masks. A block is never trusted: every offset and size it claims is checked against
// the handle's real size before a byte is read, and nothing is written outside the image.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/gw_exception.h"
#include "image/gw_image.h"
#include "platform/win32.h"

namespace {

// A run-length coded picture may expand this many times over its coded bytes before it is
// taken as a block that lies about its size; small pictures are always accepted. Genuine
// coders stay far below the ratio (a blank row costs at least the two bytes of its end code).
constexpr uint64_t kRleMaxExpansion = 4096;
constexpr uint64_t kRleAlwaysAllowedBytes = 1u << 20;

uint16_t ReadU16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t ReadU32(const BYTE* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t StrideOf(uint64_t width, uint64_t bitCount) { return ((width * bitCount + 31) / 32) * 4; }

// How the pixel data of a block are laid out and must be read.
enum class PixelCoding { Raw, Rle8, Rle4, Fields16, Fields32, Unsupported };

struct PackedLayout {
    bool core = false;           // 12-byte header: no compression, 3-byte palette entries
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;          // always positive; topDown says how rows are ordered
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint64_t tableEntries = 0;   // entries stored in the block
    uint64_t entryBytes = 4;
    uint64_t tableOffset = 0;
    uint64_t pixelOffset = 0;
    uint32_t masks[3] = {0, 0, 0};  // red, green, blue
    PixelCoding coding = PixelCoding::Unsupported;
    const char* unsupportedMessage = nullptr;
};

unsigned CountBits(uint32_t v) {
    unsigned n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

// The 16-bit converter places blue in the low bits and scales red and blue by the same shift,
// so it is exact only for masks in red-green-blue order from bit 0, contiguous, with red and
// blue equally wide and red plus green at least one byte wide (5-5-5, 5-6-5, 4-4-4 ...).
// Anything else would make it shift by a negative count or mix channels.
bool Fields16Supported(uint32_t red, uint32_t green, uint32_t blue) {
    if ((red | green | blue) > 0xFFFF) return false;
    const unsigned nr = CountBits(red), ng = CountBits(green), nb = CountBits(blue);
    if (nr == 0 || ng == 0 || nb == 0 || nr > 8 || ng > 8 || nr != nb || nr + ng < 8) return false;
    return blue == (1u << nb) - 1 && green == ((1u << ng) - 1) << nb &&
           red == ((1u << nr) - 1) << (nb + ng);
}

// The 32-bit converter copies the three low bytes of each pixel as blue, green, red.
bool Fields32Supported(uint32_t red, uint32_t green, uint32_t blue) {
    return red == 0x00FF0000u && green == 0x0000FF00u && blue == 0x000000FFu;
}

// Reads the header and works out where everything is, refusing any block whose header,
// colour table, masks or pixel rows do not lie inside its size, and any compression that
// does not belong to its bit count.
PackedLayout ParseLayout(const BYTE* block, uint64_t size) {
    PackedLayout L;
    if (size < 4) throw GwException("bitmap header is truncated");
    L.headerSize = ReadU32(block);
    int64_t rawHeight = 0;
    uint64_t colorsUsed = 0;
    if (L.headerSize == 12) {
        if (size < 12) throw GwException("bitmap header is truncated");
        L.core = true;
        L.entryBytes = 3;
        L.width = ReadU16(block + 4);
        rawHeight = ReadU16(block + 6);
        L.bitCount = ReadU16(block + 10);
        if (L.bitCount != 1 && L.bitCount != 4 && L.bitCount != 8 && L.bitCount != 24)
            throw GwException("bit count not supported");
    } else {
        if (L.headerSize < 40) throw GwException("bitmap header size not supported");
        if (size < L.headerSize) throw GwException("bitmap header is truncated");
        L.width = static_cast<int32_t>(ReadU32(block + 4));
        rawHeight = static_cast<int32_t>(ReadU32(block + 8));
        L.bitCount = ReadU16(block + 14);
        L.compression = ReadU32(block + 16);
        L.xPelsPerMeter = static_cast<int32_t>(ReadU32(block + 24));
        L.yPelsPerMeter = static_cast<int32_t>(ReadU32(block + 28));
        colorsUsed = ReadU32(block + 32);
        switch (L.bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: throw GwException("bit count not supported");
        }
    }
    if (L.width < 0) throw GwException("bitmap width or height not valid");
    L.topDown = rawHeight < 0;
    L.height = L.topDown ? -rawHeight : rawHeight;

    const bool fields = L.compression == BI_BITFIELDS;
    if (L.bitCount <= 8) {
        if (L.compression == BI_RGB) L.coding = PixelCoding::Raw;
        else if (L.compression == BI_RLE8) L.coding = PixelCoding::Rle8;
        else if (L.compression == BI_RLE4) L.coding = PixelCoding::Rle4;
        else L.unsupportedMessage = "compression type not supported";
        L.tableEntries = colorsUsed ? colorsUsed : (1u << L.bitCount);
    } else {
        if (L.bitCount == 24) {
            if (L.compression == BI_RGB) L.coding = PixelCoding::Raw;
            else L.unsupportedMessage = "compression type not supported";
        } else if (L.compression == BI_RGB || fields) {
            L.coding = L.bitCount == 16 ? PixelCoding::Fields16 : PixelCoding::Fields32;
        } else {
            L.unsupportedMessage = "unknown compression";
        }
        // Deeper pictures may still carry a colour table (a hint for palette devices).
        L.tableEntries = colorsUsed;
    }
    // Refused before the image is made, so a block with a foreign coding never allocates.
    if (L.unsupportedMessage) throw GwException(L.unsupportedMessage);

    // Colour masks sit right after a 40-byte header; longer headers hold them inside.
    L.tableOffset = L.headerSize;
    if (fields && L.bitCount > 8) {
        if (size < 52) throw GwException("bit field masks do not fit in the block");
        L.masks[0] = ReadU32(block + 40);
        L.masks[1] = ReadU32(block + 44);
        L.masks[2] = ReadU32(block + 48);
        L.tableOffset = std::max<uint64_t>(L.tableOffset, 52);
    } else if (L.coding == PixelCoding::Fields16) {
        L.masks[0] = 0x7C00;
        L.masks[1] = 0x03E0;
        L.masks[2] = 0x001F;
    } else if (L.coding == PixelCoding::Fields32) {
        L.masks[0] = 0x00FF0000;
        L.masks[1] = 0x0000FF00;
        L.masks[2] = 0x000000FF;
    }
    L.pixelOffset = L.tableOffset + L.tableEntries * L.entryBytes;
    if (L.tableEntries > size || L.pixelOffset > size)
        throw GwException("colour table does not fit in the block");

    if (L.width == 0 || L.height == 0) return L;  // Create refuses these with its own message
    if (L.coding == PixelCoding::Fields16 && !Fields16Supported(L.masks[0], L.masks[1], L.masks[2]))
        throw GwException("bit field masks not supported");
    if (L.coding == PixelCoding::Fields32 && !Fields32Supported(L.masks[0], L.masks[1], L.masks[2]))
        throw GwException("bit field masks not supported");

    const uint64_t available = size - L.pixelOffset;
    switch (L.coding) {
    case PixelCoding::Raw:
    case PixelCoding::Fields16:
    case PixelCoding::Fields32:
        // Width and height are below 2^31, so this product cannot wrap in 64 bits.
        if (StrideOf(L.width, L.bitCount) * L.height > available)
            throw GwException("pixel data do not fit in the block");
        break;
    case PixelCoding::Rle8:
    case PixelCoding::Rle4: {
        if (L.topDown) throw GwException("bitmap width or height not valid");
        const uint64_t area = StrideOf(L.width, L.bitCount) * L.height;
        if (area > kRleAlwaysAllowedBytes && area / kRleMaxExpansion > available)
            throw GwException("compressed data too short for the bitmap size");
        break;
    }
    case PixelCoding::Unsupported:
        break;
    }
    return L;
}

// Stores one palette index into a row of 1, 4 or 8 bits per pixel (bit order as the image's).
inline void PutIndex(BYTE* row, uint64_t x, BYTE value, unsigned bitCount) {
    if (bitCount == 8) {
        row[x] = value;
    } else if (bitCount == 4) {
        BYTE& b = row[x >> 1];
        b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (value & 0x0F))
                    : static_cast<BYTE>((b & 0x0F) | ((value & 0x0F) << 4));
    } else {
        const BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
        BYTE& b = row[x >> 3];
        b = (value & 1) ? static_cast<BYTE>(b | bit) : static_cast<BYTE>(b & ~bit);
    }
}

// Decodes run-length coded rows (8-bit codes, or 4-bit codes with two colours alternating in
// a run) into the image rows, bottom row first. Codes: a count and a colour for a run;
// 0,0 end of line; 0,1 end of picture; 0,2,dx,dy move; 0,n with n >= 3 an absolute run of
// n pixels padded to a 16-bit boundary. Pixels that fall outside the picture are dropped; an
// 8-bit run that overruns its row ends the picture, as does the end of the coded bytes.
void DecodeRle(const BYTE* p, const BYTE* end, bool fourBit, BYTE* pixels, uint64_t rowBytes,
               uint64_t width, uint64_t height, unsigned bitCount) {
    uint64_t x = 0, y = 0;
    while (end - p >= 2 && y < height) {
        const BYTE count = p[0], code = p[1];
        p += 2;
        BYTE* row = pixels + y * rowBytes;
        if (count != 0) {
            const uint64_t fit = x < width ? std::min<uint64_t>(count, width - x) : 0;
            for (uint64_t i = 0; i < fit; ++i) {
                const BYTE v = fourBit ? ((i & 1) ? (code & 0x0F) : (code >> 4)) : code;
                PutIndex(row, x + i, v, bitCount);
            }
            if (!fourBit && x + count > width) return;
            x += count;
            continue;
        }
        if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return;
        } else if (code == 2) {
            if (end - p < 2) return;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            const uint64_t bytes = fourBit ? (code + 1u) / 2 : code;
            const uint64_t present = std::min<uint64_t>(bytes, static_cast<uint64_t>(end - p));
            for (uint64_t i = 0; i < code; ++i) {
                const uint64_t at = fourBit ? i / 2 : i;
                if (at >= present) break;
                if (x + i >= width) break;
                const BYTE v = fourBit ? ((i & 1) ? (p[at] & 0x0F) : (p[at] >> 4)) : p[at];
                PutIndex(row, x + i, v, bitCount);
            }
            x += code;
            const uint64_t padded = bytes + (bytes & 1);
            if (padded > static_cast<uint64_t>(end - p)) return;
            p += padded;
        }
    }
}

void FlipRows(BYTE* pixels, uint64_t rowBytes, uint64_t height) {
    for (uint64_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        BYTE* a = pixels + top * rowBytes;
        BYTE* b = pixels + bottom * rowBytes;
        for (uint64_t i = 0; i < rowBytes; ++i) std::swap(a[i], b[i]);
    }
}

}  // namespace

HANDLE GwImage::CopyToHandle() {
    if (!dib) return nullptr;
    const DWORD size = GetSize();
    HGLOBAL mem = GlobalAlloc(GHND, size);
    if (!mem) return nullptr;
    void* dst = GlobalLock(mem);
    if (!dst) {
        GlobalFree(mem);
        return nullptr;
    }
    std::memcpy(dst, dib, size);
    GlobalUnlock(mem);
    return mem;
}

bool GwImage::CreateFromHANDLE(HANDLE mem) {
    if (!Destroy()) return false;
    if (!mem) return false;
    const SIZE_T size = GlobalSize(mem);
    if (size == 0) return false;
    BYTE* block = static_cast<BYTE*>(GlobalLock(mem));
    if (!block) return false;

    bool ok = false;
    try {
        const PackedLayout L = ParseLayout(block, size);
        if (!DecodeBudgetAllows(static_cast<uint64_t>(L.width), static_cast<uint64_t>(L.height))) {
            GlobalUnlock(mem);
            return false;
        }
        if (!Create(static_cast<DWORD>(L.width), static_cast<DWORD>(L.height),
                    L.coding == PixelCoding::Fields16 || L.coding == PixelCoding::Fields32
                        ? 24
                        : L.bitCount,
                    0)) {
            GlobalUnlock(mem);
            return false;
        }
        SetXDPI(L.xPelsPerMeter ? static_cast<long>(L.xPelsPerMeter * 0.0254 + 0.5) : 96);
        SetYDPI(L.yPelsPerMeter ? static_cast<long>(L.yPelsPerMeter * 0.0254 + 0.5) : 96);

        if (RGBQUAD* palette = GetPalette()) {
            // Uncompressed blocks with a full header keep their entries byte for byte (the
            // reserved bytes may carry palette alpha); other blocks' reserved bytes are cleared.
            const bool keepReserved = !L.core && L.coding == PixelCoding::Raw;
            const uint64_t n = std::min<uint64_t>(L.tableEntries, GetNumColors());
            const BYTE* src = block + L.tableOffset;
            for (uint64_t i = 0; i < n; ++i, src += L.entryBytes) {
                palette[i].rgbBlue = src[0];
                palette[i].rgbGreen = src[1];
                palette[i].rgbRed = src[2];
                palette[i].rgbReserved = keepReserved ? src[3] : 0;
            }
        }
        // Pixels the block does not set (skipped by run-length moves, row padding after the
        // 24-bit conversion) read as index 0 / black.
        if (L.coding != PixelCoding::Raw) std::memset(info.pixels, 0, header.biSizeImage);

        const BYTE* data = block + L.pixelOffset;
        const uint64_t rows = static_cast<uint64_t>(L.height);
        switch (L.coding) {
        case PixelCoding::Raw:
            std::memcpy(info.pixels, data, static_cast<size_t>(info.rowBytes * rows));
            break;
        case PixelCoding::Rle8:
        case PixelCoding::Rle4:
            DecodeRle(data, block + size, L.coding == PixelCoding::Rle4, info.pixels, info.rowBytes,
                      static_cast<uint64_t>(L.width), rows, L.bitCount);
            break;
        case PixelCoding::Fields16:
            // The 16-bit rows are narrower than the 24-bit ones, so they are converted in place.
            std::memcpy(info.pixels, data, static_cast<size_t>(StrideOf(L.width, 16) * rows));
            Bitfield2RGB(info.pixels, static_cast<WORD>(L.masks[0]), static_cast<WORD>(L.masks[1]),
                         static_cast<WORD>(L.masks[2]), 16);
            break;
        case PixelCoding::Fields32:
            Bitfield2RGB(const_cast<BYTE*>(data), 0, 0, 0, 32);
            break;
        case PixelCoding::Unsupported:
            break;
        }
        if (L.topDown) FlipRows(info.pixels, info.rowBytes, rows);
        // The block's own header may differ in fields the image keeps for itself (image size,
        // colours used, resolution); the image's copy describes the rows now held.
        std::memcpy(dib, &header, sizeof(header));
        ok = true;
    } catch (const GwException& e) {
        std::strncpy(info.lastError, e.what(), sizeof(info.lastError) - 1);
        info.lastError[sizeof(info.lastError) - 1] = '\0';
    }
    GlobalUnlock(mem);
    return ok;
}

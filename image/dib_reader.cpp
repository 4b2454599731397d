// The device-independent bitmap layout and its pixel codings (see dib_reader.h).
#include "image/dib_reader.h"

#include <algorithm>
#include <cstring>

#include "image/gw_image.h"
#include "image/pixel_rows.h"

namespace gwdib {

const char kCompressionNotSupported[] = "compression type not supported";
const char kUnknownCompression[] = "unknown compression";
const char kBitCountNotSupported[] = "bit count not supported";
const char kMasksNotSupported[] = "bit field masks not supported";

namespace {

// Header sizes: the OS/2 core header, the Windows 40-byte one, OS/2 2.x (64 bytes, the
// Windows layout for its first 40 bytes but no masks) and the later Windows headers (V2 to
// V5, masks from byte 40, alpha from byte 52). A "size" beyond 1024 is another format.
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kOs2Header = 64;
constexpr uint32_t kMaxHeader = 1024;
constexpr uint32_t kBiJpeg = 4;
constexpr uint32_t kBiPng = 5;
constexpr uint32_t kBiAlphaBitfields = 6;

bool MasksAfterHeader(uint32_t headerSize) { return headerSize == kInfoHeader || headerSize == kOs2Header; }

// One colour channel of a bit-field pixel: where its bits are and how to widen them to 8.
struct Channel {
    uint32_t mask = 0;
    unsigned shift = 0;
    uint64_t max = 0;  // largest value of the field
    unsigned bits = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        max = static_cast<uint64_t>(m >> shift);
        for (uint64_t v = max; v; v >>= 1) ++bits;
    }
    // The field as 8 bits: narrower colour fields are shifted up (5 bits: 31 gives 248, as
    // other readers give it), wider ones keep their top 8 bits; `absent` without a mask.
    uint8_t Scale(uint32_t pixel, uint8_t absent) const {
        if (!mask) return absent;
        const uint64_t v = (pixel & mask) >> shift;
        return static_cast<uint8_t>(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
    }
    // An opacity field spans the whole range instead: one bit set is fully opaque.
    uint8_t ScaleOpacity(uint32_t pixel) const {
        if (!mask) return 255;
        const uint64_t v = (pixel & mask) >> shift;
        return static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
};

bool Contiguous(uint32_t m) {
    if (!m) return true;
    while (!(m & 1)) m >>= 1;
    return (m & (m + 1)) == 0;
}

// Run-length coded rows (8-bit codes, or 4-bit codes with two colours alternating in a run)
// into the image rows, bottom row first. Codes: a count and a colour for a run; 0,0 end of
// line; 0,1 end of picture; 0,2,dx,dy move; 0,n with n >= 3 an absolute run of n pixels
// padded to a 16-bit boundary. Pixels that fall outside the picture are dropped; an 8-bit
// run that overruns its stored row (padding included: writers do run into it) ends the
// picture, as does the end of the coded bytes; only that last end returns false (the codes
// stop short of the picture, as in a cut file).
bool DecodeRle(const uint8_t* p, const uint8_t* end, bool fourBit, uint8_t* pixels, uint64_t rowBytes,
               uint64_t width, uint64_t height, unsigned depth, uint64_t storedRow) {
    uint64_t x = 0, y = 0;
    while (y < height) {
        if (end - p < 2) return false;
        const uint8_t count = p[0], code = p[1];
        p += 2;
        uint8_t* row = pixels + y * rowBytes;
        if (count != 0) {
            const uint64_t fit = x < width ? std::min<uint64_t>(count, width - x) : 0;
            for (uint64_t i = 0; i < fit; ++i) {
                const uint8_t v = fourBit ? ((i & 1) ? (code & 0x0F) : (code >> 4)) : code;
                gwpix::PutIndex(row, x + i, v, depth);
            }
            if (!fourBit && x + count > storedRow) return true;
            x += count;
            continue;
        }
        if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (end - p < 2) return false;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            const uint64_t bytes = fourBit ? (code + 1u) / 2 : code;
            const uint64_t present = std::min<uint64_t>(bytes, static_cast<uint64_t>(end - p));
            for (uint64_t i = 0; i < code; ++i) {
                const uint64_t at = fourBit ? i / 2 : i;
                if (at >= present || x + i >= width) break;
                const uint8_t v = fourBit ? ((i & 1) ? (p[at] & 0x0F) : (p[at] >> 4)) : p[at];
                gwpix::PutIndex(row, x + i, v, depth);
            }
            x += code;
            const uint64_t padded = bytes + (bytes & 1);
            if (padded > static_cast<uint64_t>(end - p)) return false;
            p += padded;
        }
    }
    return true;
}

}  // namespace

uint64_t Layout::RowBytes() const { return gwpix::RowStride(static_cast<uint64_t>(width), bitCount); }

bool HeaderSizeAccepted(uint32_t size) { return size == kCoreHeader || (size >= kInfoHeader && size <= kMaxHeader); }

const char* ParseHeader(const uint8_t* head, uint64_t headBytes, Layout* L) {
    if (headBytes < 4) return "bitmap header is truncated";
    L->headerSize = gwpix::Le32(head);
    if (!HeaderSizeAccepted(L->headerSize)) return "bitmap header size not supported";
    if (headBytes < L->headerSize) return "bitmap header is truncated";
    int64_t rawHeight = 0;
    if (L->headerSize == kCoreHeader) {
        L->core = true;
        L->entryBytes = 3;
        L->width = gwpix::Le16(head + 4);
        rawHeight = gwpix::Le16(head + 6);
        L->planes = gwpix::Le16(head + 8);
        L->bitCount = gwpix::Le16(head + 10);
    } else {
        L->width = static_cast<int32_t>(gwpix::Le32(head + 4));
        rawHeight = static_cast<int32_t>(gwpix::Le32(head + 8));
        L->planes = gwpix::Le16(head + 12);
        L->bitCount = gwpix::Le16(head + 14);
        L->compression = gwpix::Le32(head + 16);
        L->sizeImage = gwpix::Le32(head + 20);
        L->xPelsPerMeter = static_cast<int32_t>(gwpix::Le32(head + 24));
        L->yPelsPerMeter = static_cast<int32_t>(gwpix::Le32(head + 28));
        L->colorsUsed = gwpix::Le32(head + 32);
        // The later Windows headers all have one plane; another count is some other data.
        if (!MasksAfterHeader(L->headerSize) && L->planes != 1) return "bitmap header size not supported";
    }
    L->topDown = rawHeight < 0;
    L->height = L->topDown ? -rawHeight : rawHeight;

    // Compressed pictures of whole files (JPEG, PNG) inside a bitmap are not read here.
    if (L->compression == kBiJpeg || L->compression == kBiPng) return kCompressionNotSupported;
    const bool fields = L->compression == BI_BITFIELDS || L->compression == kBiAlphaBitfields;
    switch (L->bitCount) {
        case 1: case 2: case 4: case 8:
            if (L->compression == BI_RGB) L->coding = Coding::Raw;
            else if (L->compression == BI_RLE8 && L->bitCount != 2) L->coding = Coding::Rle8;
            else if (L->compression == BI_RLE4 && L->bitCount != 2) L->coding = Coding::Rle4;
            else return kCompressionNotSupported;
            L->tableEntries = L->colorsUsed ? L->colorsUsed : (1u << L->bitCount);
            // Two bits a pixel are widened to four, as the PNG reader does.
            L->depth = L->bitCount == 2 ? 4 : L->bitCount;
            return nullptr;
        case 24:
            if (L->compression != BI_RGB) return kUnknownCompression;
            L->coding = Coding::Raw;
            break;
        case 16: case 32:
            if (L->compression != BI_RGB && !fields) return kUnknownCompression;
            L->coding = Coding::Fields;
            if (fields && MasksAfterHeader(L->headerSize))
                L->maskBytes = L->compression == kBiAlphaBitfields ? 16 : 12;
            break;
        default:
            return kBitCountNotSupported;
    }
    // Deeper pictures may still carry a colour table (a hint for palette devices).
    L->tableEntries = L->colorsUsed;
    L->depth = 24;
    return nullptr;
}

const char* ParseMasks(const uint8_t* head, const uint8_t* after, Layout* L) {
    if (L->coding != Coding::Fields) return nullptr;
    uint32_t* m = L->masks;
    if (L->compression == BI_RGB) {
        // No masks: 5-5-5 at 16 bits, blue-green-red bytes at 32 (the fourth byte unused).
        m[0] = L->bitCount == 16 ? 0x7C00 : 0x00FF0000;
        m[1] = L->bitCount == 16 ? 0x03E0 : 0x0000FF00;
        m[2] = L->bitCount == 16 ? 0x001F : 0x000000FF;
        m[3] = 0;
        return nullptr;
    }
    if (L->maskBytes) {
        if (!after) return "bit field masks do not fit in the block";
        for (uint64_t i = 0; i < L->maskBytes / 4; ++i) m[i] = gwpix::Le32(after + 4 * i);
    } else {
        if (L->headerSize < 52) return kMasksNotSupported;
        for (int i = 0; i < 3; ++i) m[i] = gwpix::Le32(head + 40 + 4 * i);
        m[3] = L->headerSize >= 56 ? gwpix::Le32(head + 52) : 0;
    }
    const uint32_t pixelBits = L->bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    if ((m[0] | m[1] | m[2]) == 0) return kMasksNotSupported;
    for (int i = 0; i < 4; ++i) {
        if ((m[i] & ~pixelBits) || !Contiguous(m[i])) return kMasksNotSupported;
        for (int j = i + 1; j < 4; ++j)
            if (m[i] & m[j]) return kMasksNotSupported;
    }
    return nullptr;
}

bool Prepare(GwImage& image, const Layout& L, const uint8_t* table, uint64_t tableBytes, DWORD type,
             bool keepReserved) {
    if (!image.Create(static_cast<DWORD>(L.width), static_cast<DWORD>(L.height), L.depth, type)) return false;
    if (RGBQUAD* palette = image.GetPalette()) {
        const uint64_t stored = table ? tableBytes / L.entryBytes : 0;
        const uint64_t n = std::min<uint64_t>(std::min<uint64_t>(L.tableEntries, stored), image.GetNumColors());
        for (uint64_t i = 0; i < n; ++i, table += L.entryBytes) {
            palette[i].rgbBlue = table[0];
            palette[i].rgbGreen = table[1];
            palette[i].rgbRed = table[2];
            palette[i].rgbReserved = keepReserved && L.entryBytes == 4 ? table[3] : 0;
        }
    }
    std::memset(image.GetBits(0), 0, static_cast<size_t>(image.GetEffWidth()) * image.GetHeight());
    if (L.HasAlpha() && !image.AlphaCreate()) return false;
    return true;
}

bool DecodePixels(GwImage& image, const Layout& L, const uint8_t* data, uint64_t dataBytes, uint64_t firstRow) {
    uint8_t* pixels = image.GetBits(0);
    if (!pixels || !data) return false;
    const uint64_t width = image.GetWidth(), height = image.GetHeight(), rowBytes = image.GetEffWidth();
    const uint64_t srcRow = L.RowBytes();
    // Uncompressed data is whole when only the last row's padding is missing.
    const uint64_t pad = srcRow - (width * L.bitCount + 7) / 8;
    const bool whole = dataBytes + pad >= srcRow * (height - std::min(firstRow, height));
    switch (L.coding) {
        case Coding::Raw:
            if (L.bitCount == 2) {
                for (uint64_t y = 0; y < height && y * srcRow < dataBytes; ++y) {
                    const uint8_t* src = data + y * srcRow;
                    uint8_t* dst = pixels + y * rowBytes;
                    for (uint64_t x = 0; x < width && y * srcRow + x / 4 < dataBytes; ++x)
                        gwpix::PutIndex(dst, x, (src[x / 4] >> (6 - 2 * (x % 4))) & 3, 4);
                }
            } else {
                std::memcpy(pixels, data, static_cast<size_t>(std::min(dataBytes, rowBytes * height)));
            }
            break;
        case Coding::Rle8:
        case Coding::Rle4:
            return DecodeRle(data, data + dataBytes, L.coding == Coding::Rle4, pixels, rowBytes, width, height,
                             L.depth, L.RowBytes() * 8 / L.bitCount);
        case Coding::Fields: {
            const Channel red(L.masks[0]), green(L.masks[1]), blue(L.masks[2]), alpha(L.masks[3]);
            const unsigned bytes = L.bitCount / 8;
            BYTE* alphaPlane = image.AlphaGetPointer(0, 0);
            for (uint64_t y = firstRow; y < height; ++y) {
                uint8_t* dst = pixels + y * rowBytes;
                for (uint64_t x = 0; x < width; ++x) {
                    const uint64_t at = (y - firstRow) * srcRow + x * bytes;
                    if (at + bytes > dataBytes) return whole;
                    const uint32_t v = bytes == 2 ? gwpix::Le16(data + at) : gwpix::Le32(data + at);
                    dst[3 * x] = blue.Scale(v, 0);
                    dst[3 * x + 1] = green.Scale(v, 0);
                    dst[3 * x + 2] = red.Scale(v, 0);
                    if (alphaPlane) alphaPlane[y * width + x] = alpha.ScaleOpacity(v);
                }
            }
            break;
        }
    }
    return whole;
}

void Finish(GwImage& image, const Layout& L) {
    if (L.topDown) image.Flip();
    if (const BYTE* a = image.AlphaGetPointer(0, 0)) {
        const uint64_t n = static_cast<uint64_t>(image.GetWidth()) * image.GetHeight();
        if (std::all_of(a, a + n, [](BYTE v) { return v == 0; })) image.AlphaDelete();
    }
}

}  // namespace gwdib

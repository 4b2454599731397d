// Reading bitmap files into a GwImage: file header (or none, for a bare DIB), info header,
// palette, and pixels by bit count and compression. Before anything is allocated the
// declared dimensions are weighed against the bytes the stream still holds, so a tiny file
// cannot make the decoder reserve gigabytes; pixels the file does not supply read as zeros.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/bmp/bmp_rle.h"
#include "image/bmp/gw_bmp_codec.h"
#include "image/gw_file.h"

namespace {

const char kNotBmp[] = "Not a BMP";
const char kBadInfo[] = "Error reading BMP info";
const char kDimensionsOnly[] = "output dimensions returned";
const char kNoMemory[] = "Can't allocate memory";
const char kCancelled[] = "Cancelled";
const char kBadCompression[] = "compression type not supported";
const char kUnknownCompression[] = "unknown compression";
const char kNoTempMemory[] = "can't allocate memory";
const char kTooLittleData[] = "BMP file too short for its dimensions";
const char kBadBitfields[] = "BMP bit fields not supported";

// Info headers larger than the 40-byte one (V2..V5 and OS/2 2.x) stay well below this; a
// "size" beyond it is some other format's signature.
const uint32_t kMaxInfoHeaderSize = 1024;
// The OS/2 2.x header has the Windows layout for its first 40 bytes, but no colour masks.
const uint32_t kOs2InfoHeaderSize = 64;
// How many decoded bytes one byte of the stream may plausibly stand for. Uncompressed data
// may be truncated (the rest reads as zeros) but not to less than half; run-length codes can
// cover a blank row with two bytes or skip rows, hence the generous ratio.
const uint64_t kRawExpansion = 2;
const uint64_t kRleExpansion = 4096;
const uint64_t kSlackBytes = 64 << 10;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadExact(GwFile* file, void* dst, size_t bytes) { return file->Read(dst, 1, bytes) == bytes; }

int CountBits(uint32_t v) {
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

// The 16-bit conversion expects red above green above blue with blue in the low bits and
// at most 8 bits each; other masks would make its shifts negative.
bool UsableMasks16(uint32_t r, uint32_t g, uint32_t b) {
    int nr = CountBits(r & 0xFFFF), ng = CountBits(g & 0xFFFF), nb = CountBits(b & 0xFFFF);
    return nr <= 8 && ng <= 8 && nb <= 8 && nr + ng >= 8 && nr + ng + nb >= 8;
}

}  // namespace

bool GwBmpCodec::ReadInfoHeader(GwFile* file, BITMAPINFOHEADER* bih, DWORD* masks) {
    if (!file || !bih) return false;
    uint8_t raw[40];
    if (!ReadExact(file, raw, 4)) return false;
    uint32_t size = Le32(raw);
    std::memset(bih, 0, sizeof *bih);
    if (size == 12) {
        if (!ReadExact(file, raw + 4, 8)) return false;
        bih->biWidth = Le16(raw + 4);
        bih->biHeight = Le16(raw + 6);
        bih->biPlanes = Le16(raw + 8);
        bih->biBitCount = Le16(raw + 10);
    } else if (size >= 40 && size <= kMaxInfoHeaderSize) {
        if (!ReadExact(file, raw + 4, 36)) return false;
        bih->biWidth = static_cast<LONG>(Le32(raw + 4));
        bih->biHeight = static_cast<LONG>(Le32(raw + 8));
        bih->biPlanes = Le16(raw + 12);
        bih->biBitCount = Le16(raw + 14);
        bih->biCompression = Le32(raw + 16);
        bih->biSizeImage = Le32(raw + 20);
        bih->biXPelsPerMeter = static_cast<LONG>(Le32(raw + 24));
        bih->biYPelsPerMeter = static_cast<LONG>(Le32(raw + 28));
        bih->biClrUsed = Le32(raw + 32);
        bih->biClrImportant = Le32(raw + 36);
        uint32_t rest = size - 40;
        if (size != 40 && size != kOs2InfoHeaderSize) {
            // Later Windows headers: the colour masks follow the first 40 bytes.
            if (bih->biPlanes != 1) return false;
            if (size >= 52) {
                uint8_t m[12];
                if (!ReadExact(file, m, sizeof m)) return false;
                if (masks) {
                    masks[0] = Le32(m);
                    masks[1] = Le32(m + 4);
                    masks[2] = Le32(m + 8);
                }
                rest -= 12;
            }
        }
        if (rest && !file->Seek(static_cast<long>(rest), 1)) return false;
    } else {
        return false;
    }
    bih->biSize = size;
    if (bih->biSizeImage == 0) {
        int64_t height = bih->biHeight < 0 ? -static_cast<int64_t>(bih->biHeight) : bih->biHeight;
        uint64_t row = (static_cast<uint64_t>(bih->biBitCount) * static_cast<uint32_t>(bih->biWidth) + 31) / 32 * 4;
        uint64_t total = row * static_cast<uint64_t>(height);
        bih->biSizeImage = total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(total);
    }
    if (bih->biClrUsed == 0 && bih->biBitCount <= 8) bih->biClrUsed = 1u << bih->biBitCount;
    return true;
}

bool GwBmpCodec::Decode(GwFile* file) {
    if (!file) return false;
    const char* failure = nullptr;
    long start = file->Tell();
    uint8_t fh[14];
    uint32_t offset = 0;
    BITMAPINFOHEADER bih;
    DWORD headerMasks[3] = {0, 0, 0};
    bool oldFormat, topDown;
    int64_t width, height;
    uint64_t sourceBytes;
    long total;

    if (file->Read(fh, sizeof fh, 1) == 0) {
        failure = kNotBmp;
        goto fail;
    }
    if (fh[0] == 'B' && fh[1] == 'M') {
        offset = Le32(fh + 10);
    } else {
        file->Seek(start, 0);  // a bare DIB: the info header starts right here
    }
    if (!ReadInfoHeader(file, &bih, headerMasks)) {
        failure = kBadInfo;
        goto fail;
    }
    oldFormat = bih.biSize == 12;
    width = bih.biWidth;
    height = bih.biHeight;
    topDown = height < 0;
    if (topDown) height = -height;

    if (info.escape == -1) {
        header.biWidth = static_cast<LONG>(width);
        header.biHeight = static_cast<LONG>(height);
        failure = kDimensionsOnly;
        goto fail;
    }

    if (width <= 0 || height <= 0 || height > INT32_MAX) {
        failure = kNoMemory;
        goto fail;
    }
    if (!DecodeBudgetAllows(static_cast<uint64_t>(width), static_cast<uint64_t>(height))) return false;
    // How many bytes the pixel data must cover, and whether the stream can plausibly do so.
    switch (bih.biBitCount) {
        case 16: sourceBytes = static_cast<uint64_t>((width + 1) / 2) * 4 * height; break;
        case 32: sourceBytes = static_cast<uint64_t>(width) * 4 * height; break;
        default:
            // Bit counts without a pixel reader still have to be backed by the file: a
            // blank image is no reason to reserve memory the file never describes.
            sourceBytes = (static_cast<uint64_t>(width) * (bih.biBitCount ? bih.biBitCount : 1) + 31) / 32 * 4 * height;
            break;
    }
    total = file->Size();
    if (total >= 0) {
        long here = file->Tell();
        int64_t dataStart = offset ? static_cast<int64_t>(start) + offset : here;
        uint64_t remaining = total > dataStart ? static_cast<uint64_t>(total - dataStart) : 0;
        bool rle = bih.biBitCount <= 8 && (bih.biCompression == 1 || bih.biCompression == 2);
        uint64_t budget = remaining * (rle ? kRleExpansion : kRawExpansion) + kSlackBytes;
        if (sourceBytes > budget) {
            failure = kTooLittleData;
            goto fail;
        }
    }

    if (!Create(static_cast<DWORD>(width), static_cast<DWORD>(height), bih.biBitCount, TypeBmp)) {
        failure = kNoMemory;
        goto fail;
    }
    header.biXPelsPerMeter = bih.biXPelsPerMeter;
    header.biYPelsPerMeter = bih.biYPelsPerMeter;
    info.dpiX = static_cast<LONG>(std::floor(bih.biXPelsPerMeter * 0.0254 + 0.5));
    info.dpiY = static_cast<LONG>(std::floor(bih.biYPelsPerMeter * 0.0254 + 0.5));
    std::memcpy(dib, &header, sizeof header);
    // Whatever the file does not supply (short data, skipped run-length areas, unsupported
    // bit counts) reads as zeros rather than as stale heap contents.
    std::memset(info.pixels, 0, header.biSizeImage);

    if (info.escape) {
        failure = kCancelled;
        goto fail;
    }

    if (GetNumColors()) {
        RGBQUAD* palette = GetPalette();
        DWORD room = GetNumColors();
        DWORD count = bih.biClrUsed;
        DWORD fit = count < room ? count : room;
        if (oldFormat) {
            uint8_t triples[256 * 3];
            size_t got = file->Read(triples, 3, fit);
            for (size_t i = 0; i < got; ++i) {
                palette[i].rgbBlue = triples[3 * i];
                palette[i].rgbGreen = triples[3 * i + 1];
                palette[i].rgbRed = triples[3 * i + 2];
                palette[i].rgbReserved = 0;
            }
        } else {
            file->Read(palette, 4, fit);
            for (DWORD i = 0; i < room; ++i) palette[i].rgbReserved = 0;
        }
        // A colour count beyond the palette: those entries have no place to go.
        if (count > fit) file->Seek(static_cast<long>(static_cast<int64_t>(count - fit) * (oldFormat ? 3 : 4)), 1);
    }

    if (info.escape) {
        failure = kCancelled;
        goto fail;
    }

    {
        // A file header says where the pixels start. A bare DIB has no such offset: its
        // pixels follow the header, the bit masks of a 32-bit BI_BITFIELDS picture with a
        // 40-byte header (those of a 16-bit one are read just before) and the colour table,
        // which pictures deeper than 8 bits may carry as a display hint.
        int64_t bareSkip = 0;
        if (!offset && bih.biBitCount > 8) {
            if (bih.biBitCount == 32 && bih.biCompression == 3 && bih.biSize == 40) bareSkip += 12;
            bareSkip += static_cast<int64_t>(bih.biClrUsed) * (oldFormat ? 3 : 4);
        }
        auto seekData = [&]() {
            if (offset) {
                file->Seek(static_cast<long>(static_cast<int64_t>(start) + offset), 0);
            } else if (bareSkip > 0) {
                const int64_t to = static_cast<int64_t>(file->Tell()) + bareSkip;
                bareSkip = 0;
                // Beyond the end nothing is read and the picture stays blank.
                if (total >= 0 && to > total) {
                    file->Seek(0, 2);
                } else {
                    file->Seek(static_cast<long>(to), 0);
                }
            }
        };
        BYTE* pixels = info.pixels;
        gwbmp::RleTarget target{pixels, info.rowBytes, static_cast<size_t>(height)};
        switch (bih.biBitCount) {
            case 1: case 4: case 8:
                switch (bih.biCompression) {
                    case 0: seekData(); file->Read(pixels, 1, header.biSizeImage); break;
                    case 1: seekData(); gwbmp::DecodeRle8(file, target); break;
                    case 2: seekData(); gwbmp::DecodeRle4(file, target); break;
                    default: failure = kBadCompression; goto fail;
                }
                break;
            case 16: {
                uint32_t r = 0x7C00, g = 0x03E0, b = 0x001F;
                if (bih.biCompression == 3) {
                    if (bih.biSize > 40 && bih.biSize != kOs2InfoHeaderSize) {
                        r = headerMasks[0], g = headerMasks[1], b = headerMasks[2];
                    } else {
                        uint8_t m[12] = {};
                        file->Read(m, 1, sizeof m);
                        r = Le32(m), g = Le32(m + 4), b = Le32(m + 8);
                    }
                    if (!UsableMasks16(r, g, b)) {
                        failure = kBadBitfields;
                        goto fail;
                    }
                }
                seekData();
                file->Read(pixels, 1, static_cast<size_t>(sourceBytes));
                Bitfield2RGB(pixels, static_cast<WORD>(r), static_cast<WORD>(g), static_cast<WORD>(b), 16);
                break;
            }
            case 24:
                if (bih.biCompression != 0) {
                    failure = kUnknownCompression;
                    goto fail;
                }
                seekData();
                file->Read(pixels, 1, header.biSizeImage);
                break;
            case 32: {
                if (bih.biCompression != 0 && bih.biCompression != 3) {
                    failure = kUnknownCompression;
                    goto fail;
                }
                BYTE* wide = static_cast<BYTE*>(std::calloc(static_cast<size_t>(sourceBytes), 1));
                if (!wide) {
                    failure = kNoTempMemory;
                    goto fail;
                }
                seekData();
                file->Read(wide, 1, static_cast<size_t>(sourceBytes));
                Bitfield2RGB(wide, 0, 0, 0, 32);
                std::free(wide);
                break;
            }
            default:
                break;  // an unknown bit count yields a blank image of the nearest depth
        }
    }
    if (topDown) Flip();
    return true;

fail:
    std::strncpy(info.lastError, failure, sizeof info.lastError - 1);
    info.lastError[sizeof info.lastError - 1] = '\0';
    // Asked for the dimensions only, reaching them is success; a stream that is no bitmap
    // still fails, so that detection goes on to the other formats.
    return failure == kDimensionsOnly;
}

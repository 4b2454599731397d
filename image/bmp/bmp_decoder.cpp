// Reading bitmap files into a GwImage: the file header (or none, for a bare DIB), then the
// info header, masks, colour table and pixel data, each read as a block no larger than the
// layout needs and handed to the bitmap layout reader that packed bitmaps from memory share.
// Before anything is allocated the declared dimensions are weighed against the decode budget
// and the bytes the stream still holds, so a tiny file cannot make the decoder reserve
// gigabytes; pixels the file does not supply read as zeros.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/bmp/gw_bmp_codec.h"
#include "image/dib_reader.h"
#include "image/gw_file.h"
#include "image/pixel_rows.h"

namespace {

const char kNotBmp[] = "Not a BMP";
const char kBadInfo[] = "Error reading BMP info";
const char kDimensionsOnly[] = "output dimensions returned";
const char kNoMemory[] = "Can't allocate memory";
const char kCancelled[] = "Cancelled";
const char kTooLittleData[] = "BMP file too short for its dimensions";
const char kBadSize[] = "BMP picture size is not valid (a side of 0, or beyond 2^31 - 1)";
const char kNoPixelData[] = "BMP file ends before its pixel data";
// Bit-field rows are read and converted this many bytes at a time, so the file's bytes are
// never held beside the whole picture.
const uint64_t kFieldPiece = 1 << 20;

// How many decoded bytes one byte of the stream may plausibly stand for. Uncompressed data
// may be truncated (the rest reads as zeros) but not to less than half; run-length codes can
// cover a blank row with two bytes or skip rows, hence the generous ratio.
const uint64_t kRawExpansion = 2;
const uint64_t kRleExpansion = 4096;
const uint64_t kSlackBytes = 64 << 10;
// Only this much of a colour table can have a place in the palette; the rest is stepped over.
const uint64_t kMaxTableBytes = 256 * 4;

bool ReadExact(GwFile* file, void* dst, size_t bytes) { return file->Read(dst, 1, bytes) == bytes; }

// Reads up to `limit` bytes (fewer when the stream ends first) in pieces, so that a stream of
// unknown size never makes the reader reserve more than it delivers.
std::vector<uint8_t> ReadUpTo(GwFile* file, uint64_t limit) {
    std::vector<uint8_t> out;
    const uint64_t piece = 1 << 20;
    while (out.size() < limit) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(piece, limit - out.size()));
        const size_t had = out.size();
        out.resize(had + want);
        const size_t got = file->Read(out.data() + had, 1, want);
        out.resize(had + got);
        if (got < want) break;
    }
    return out;
}

bool SkipBytes(GwFile* file, uint64_t bytes) {
    if (bytes == 0) return true;
    const long total = file->Size();
    const long here = file->Tell();
    // Beyond the end nothing is read and the picture stays blank.
    if (total >= 0 && static_cast<uint64_t>(here) + bytes > static_cast<uint64_t>(total)) return file->Seek(0, 2);
    return file->Seek(static_cast<long>(static_cast<int64_t>(here) + static_cast<int64_t>(bytes)), 0);
}

// Whether the stream can plausibly hold the pixel data the header promises (a stream of
// unknown size is given the benefit of the doubt).
bool DataFits(GwFile* file, const gwdib::Layout& L, long start, uint32_t offset, uint64_t tableBytes) {
    const long total = file->Size();
    if (total < 0) return true;
    const int64_t dataStart = offset ? static_cast<int64_t>(start) + offset
                                     : static_cast<int64_t>(file->Tell()) + static_cast<int64_t>(tableBytes);
    const uint64_t remaining = total > dataStart ? static_cast<uint64_t>(total - dataStart) : 0;
    const bool rle = L.coding == gwdib::Coding::Rle8 || L.coding == gwdib::Coding::Rle4;
    return L.DataBytes() <= remaining * (rle ? kRleExpansion : kRawExpansion) + kSlackBytes;
}

bool SharedMessage(const char* why) {
    return why == gwdib::kCompressionNotSupported || why == gwdib::kUnknownCompression ||
           why == gwdib::kBitCountNotSupported || why == gwdib::kMasksNotSupported;
}

}  // namespace

const char* GwBmpCodec::ReadInfoHeader(GwFile* file, gwdib::Layout* L) {
    if (!file || !L) return kBadInfo;
    uint8_t sizeField[4];
    if (!ReadExact(file, sizeField, 4)) return kBadInfo;
    const uint32_t size = gwpix::Le32(sizeField);
    if (!gwdib::HeaderSizeAccepted(size)) return kBadInfo;
    std::vector<uint8_t> head(size);
    std::memcpy(head.data(), sizeField, 4);
    if (!ReadExact(file, head.data() + 4, size - 4)) return kBadInfo;
    const char* why = gwdib::ParseHeader(head.data(), head.size(), L);
    if (why) return SharedMessage(why) ? why : kBadInfo;
    uint8_t masks[16] = {};
    if (L->maskBytes) file->Read(masks, 1, static_cast<size_t>(L->maskBytes));  // short: zeros
    return gwdib::ParseMasks(head.data(), masks, L);
}

void GwBmpCodec::TakeResolution(const gwdib::Layout& L) {
    header.biXPelsPerMeter = L.xPelsPerMeter;
    header.biYPelsPerMeter = L.yPelsPerMeter;
    info.dpiX = static_cast<LONG>(std::floor(L.xPelsPerMeter * 0.0254 + 0.5));
    info.dpiY = static_cast<LONG>(std::floor(L.yPelsPerMeter * 0.0254 + 0.5));
}

void GwBmpCodec::DescribeFromHeaders(const gwdib::Layout& L) {
    header.biWidth = static_cast<LONG>(L.width);
    header.biHeight = static_cast<LONG>(L.height);
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(L.depth);
    header.biClrUsed = L.depth == 1 ? 2 : L.depth == 4 ? 16 : L.depth == 8 ? 256 : 0;
    TakeResolution(L);
    info.type = TypeBmp;
    info.flags &= ~FlagAlphaChannel;
    if (L.HasAlpha()) info.flags |= FlagAlphaChannel;
}

bool GwBmpCodec::ReadPixels(GwFile* file, const gwdib::Layout& L) {
    const uint64_t wanted = L.DataBytes();
    uint64_t got = 0;
    bool whole = true;
    if (L.coding == gwdib::Coding::Raw && L.bitCount != 2) {
        // Rows are stored exactly as the image holds them: read straight into place.
        const uint64_t n = std::min<uint64_t>(wanted, header.biSizeImage);
        got = file->Read(info.pixels, 1, static_cast<size_t>(n));
        const uint64_t pad = L.RowBytes() - (static_cast<uint64_t>(L.width) * L.bitCount + 7) / 8;
        whole = got + pad >= n;
    } else if (L.coding == gwdib::Coding::Fields) {
        const uint64_t rows = std::max<uint64_t>(1, kFieldPiece / L.RowBytes());
        for (uint64_t y = 0; y < static_cast<uint64_t>(L.height) && whole; y += rows) {
            const std::vector<uint8_t> piece = ReadUpTo(file, rows * L.RowBytes());
            got += piece.size();
            whole = gwdib::DecodePixels(*this, L, piece.data(), piece.size(), y);
            if (piece.size() < rows * L.RowBytes()) break;
        }
    } else {
        // Run-length codes may legitimately take a little more room than the rows they fill.
        const bool rle = L.coding == gwdib::Coding::Rle8 || L.coding == gwdib::Coding::Rle4;
        const uint64_t limit = rle ? wanted + wanted / 2 + 4 * static_cast<uint64_t>(L.height) + 4096 : wanted;
        const std::vector<uint8_t> data = ReadUpTo(file, limit);
        got = data.size();
        whole = gwdib::DecodePixels(*this, L, data.data(), data.size());
    }
    if (got == 0 && wanted > 0) return false;
    if (!whole) {
        info.flags |= FlagPartial;
        std::snprintf(info.lastError, sizeof info.lastError,
                      "BMP file ends inside its pixel data (%llu of %llu bytes)", static_cast<unsigned long long>(got),
                      static_cast<unsigned long long>(wanted));
    }
    return true;
}

bool GwBmpCodec::Decode(GwFile* file) {
    if (!file) return false;
    // Asked for the dimensions only, reaching them is success; a stream that is no bitmap
    // still fails, so that detection goes on to the other formats.
    auto fail = [this](const char* failure) {
        std::strncpy(info.lastError, failure, sizeof info.lastError - 1);
        info.lastError[sizeof info.lastError - 1] = '\0';
        return failure == kDimensionsOnly;
    };
    const long start = file->Tell();
    recognised_ = false;
    info.flags &= ~FlagPartial;
    uint8_t fh[14];
    uint32_t offset = 0;
    gwdib::Layout L;

    if (file->Read(fh, sizeof fh, 1) == 0) return fail(kNotBmp);
    if (fh[0] == 'B' && fh[1] == 'M') {
        offset = gwpix::Le32(fh + 10);
    } else {
        file->Seek(start, 0);  // a bare DIB: the info header starts right here
    }
    if (const char* failure = ReadInfoHeader(file, &L)) return fail(failure);
    recognised_ = true;
    if (L.width <= 0 || L.height <= 0 || L.height > INT32_MAX) return fail(kBadSize);
    if (info.escape == -1) {
        DescribeFromHeaders(L);  // what a decode would report, from the headers alone
        return fail(kDimensionsOnly);
    }

    if (!DecodeBudgetAllows(static_cast<uint64_t>(L.width), static_cast<uint64_t>(L.height))) return false;
    const uint64_t tableBytes = L.tableEntries * L.entryBytes;
    if (!DataFits(file, L, start, offset, tableBytes)) return fail(kTooLittleData);

    // Colour table: only the entries a palette can hold are read (pictures deeper than 8
    // bits carry one only as a display hint).
    std::vector<uint8_t> table;
    uint64_t tableRead = 0;
    if (L.depth <= 8) {
        table = ReadUpTo(file, std::min(tableBytes, kMaxTableBytes));
        tableRead = table.size();
    }
    if (!gwdib::Prepare(*this, L, table.data(), table.size(), TypeBmp, false)) return fail(kNoMemory);
    TakeResolution(L);
    std::memcpy(dib, &header, sizeof header);
    if (info.escape) return fail(kCancelled);

    // A file header says where the pixels start; a bare DIB has them after the colour table.
    if (offset) {
        file->Seek(static_cast<long>(static_cast<int64_t>(start) + offset), 0);
    } else {
        SkipBytes(file, tableBytes - tableRead);
    }
    if (!ReadPixels(file, L)) return fail(kNoPixelData);
    gwdib::Finish(*this, L);
    return true;
}

// Writing a GwImage as an uncompressed bitmap file: the 14-byte file header followed by the
// image's own DIB block (info header, palette, bottom-up rows) exactly as held in memory.
#include <cstdint>
#include <cstring>

#include "image/bmp/gw_bmp_codec.h"
#include "image/gw_file.h"

namespace {
const char kWriteError[] = "Write Error in BMP file";
const char kTooLarge[] = "Image too large for a BMP file";

void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}
}  // namespace

bool GwBmpCodec::Encode(GwFile* file) {
    if (EncodeSafeCheck(file)) return false;
    const char* failure = nullptr;
    // The block size is recomputed in 64 bits: the file header's 32-bit size field must be
    // able to describe it.
    uint64_t paletteBytes = static_cast<uint64_t>(GetNumColors()) * sizeof(RGBQUAD);
    uint64_t blockBytes = sizeof(BITMAPINFOHEADER) + paletteBytes + static_cast<uint64_t>(info.rowBytes) * header.biHeight;
    if (blockBytes + 14 > 0xFFFFFFFFu) {
        failure = kTooLarge;
    } else {
        std::memcpy(dib, &header, sizeof header);
        uint8_t fh[14];
        fh[0] = 'B';
        fh[1] = 'M';
        PutLe32(fh + 2, static_cast<uint32_t>(blockBytes + 14));
        PutLe16(fh + 6, 0);
        PutLe16(fh + 8, 0);
        PutLe32(fh + 10, static_cast<uint32_t>(14 + sizeof(BITMAPINFOHEADER) + paletteBytes));
        if (file->Write(fh, 1, sizeof fh) != sizeof fh ||
            file->Write(dib, 1, static_cast<size_t>(blockBytes)) != static_cast<size_t>(blockBytes)) {
            failure = kWriteError;
        }
    }
    if (!failure) return true;
    std::strncpy(info.lastError, failure, sizeof info.lastError - 1);
    info.lastError[sizeof info.lastError - 1] = '\0';
    return false;
}

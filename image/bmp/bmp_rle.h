// Run-length decoders of the bitmap reader (8-bit and 4-bit codes). Internal to image/bmp.
#pragma once

#include <cstddef>
#include <cstdint>

class GwFile;

namespace gwbmp {

// The destination of a run-length decode: bottom-up rows of rowBytes bytes.
struct RleTarget {
    uint8_t* pixels;
    size_t rowBytes;
    size_t height;
};

// Decode 8-bit (RLE8) or 4-bit (RLE4) codes from the stream into the target until the
// end-of-bitmap code, the end of the stream, or a run that would run past the end of its row.
// Writes that would fall outside the target are dropped. Untouched pixels keep their value.
void DecodeRle8(GwFile* file, const RleTarget& target);
void DecodeRle4(GwFile* file, const RleTarget& target);

}  // namespace gwbmp

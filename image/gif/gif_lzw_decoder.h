// The GIF LZW decoder core: reads the minimum code size byte and the data sub-blocks from a
// byte source and hands out rows of pixel indices. Its tables and stack are fixed-size and
// bounded whatever the codes say, and it always ends: at the end code, at the 0 sub-block,
// at the end of the input, or when the rows run out.
#pragma once

#include <cstdint>

#include "image/gif/gif_code_stream.h"

namespace gwgif {

// Receives each finished row (length pixels, one index per byte). Returns a negative value
// once no more rows are wanted; the decoder then stops reading codes.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual int PutLine(const uint8_t* pixels, int length) = 0;
};

struct LzwDecodeResult {
    // 0 after an end code, a 0 sub-block or when the rows ran out; -20 for a code size
    // outside 2..11 (nothing decoded); -1 when the input ended before any of these.
    int status = 0;
    int badCodes = 0;           // codes beyond the next free slot (corrupt data)
    bool sawEnd = false;        // the end code (or a 0 sub-block) ended the data
    bool terminatorRead = false;  // the 0 sub-block after the data was consumed
    int64_t pixels = 0;         // pixels handed to the sink
};

// Decodes one image's data. lineWidth >= 1. With skipRest, after the data ends the remaining
// sub-blocks (up to and including the 0 terminator) are read and dropped, so the source is
// left at the next block. Code sizes 9 to 11 can carry values above 255; such pixels arrive
// as outOfRange.
LzwDecodeResult DecodeLzw(ByteSource& src, int lineWidth, LineSink& out, bool skipRest = true,
                          uint8_t outOfRange = 255);

// Skips data sub-blocks up to and including the 0 terminator; false when the input ends.
bool SkipSubBlocks(ByteSource& src);

}  // namespace gwgif

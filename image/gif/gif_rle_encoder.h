// The run-length GIF coder: runs of one pixel are sent as codes that any LZW decoder expands
// into ever longer runs (its table grows pixel, pixel-pixel, ...), so the output is standard
// GIF data that never needs a real string table on the writing side.
#pragma once

#include "image/gif/gif_code_stream.h"

namespace gwgif {

// initBits = minimum code size + 1 (3..9). Sub-blocks hold up to 255 bytes. Returns false
// when initBits is out of range or a byte could not be stored.
bool CompressRLE(int initBits, PixelSource& pixels, ByteSink& sink, CodeWriter* writer = nullptr);

// Number of codes needed to send a run of count pixels by building the run table from a
// clear: the smallest total of n with 1 + 2 + ... + n covering count, split into chunks of
// the longest table a clear allows (maxCodes).
int64_t RleTriangleCount(int64_t count, int64_t maxCodes);

}  // namespace gwgif

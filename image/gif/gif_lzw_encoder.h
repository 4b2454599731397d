// The two dictionary-style GIF coders: LZW proper (an open-addressed string table)
// and the uncompressed coder, which sends every pixel as its own code while keeping the code
// width in step with what any LZW decoder's table does, so its output stays standard.
#pragma once

#include "image/gif/gif_code_stream.h"

namespace gwgif {

// initBits = minimum code size + 1 (3..9). Writes clear code, data, end code and the last
// partial sub-block (not the 0 terminator). Returns false when initBits is out of range or a
// byte could not be stored.
bool CompressLZW(int initBits, PixelSource& pixels, ByteSink& sink, CodeWriter* writer = nullptr);
bool CompressNone(int initBits, PixelSource& pixels, ByteSink& sink, CodeWriter* writer = nullptr);

}  // namespace gwgif

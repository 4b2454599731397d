// The boundary between the program and its QR reader module: the program loads the module (which
// links zxing-cpp and its C++ runtime) only when a command reads a symbol back, so that making a
// symbol never pays for loading the reader. Plain C types only cross it.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct GlyphwellReaderResult {
    int found;              // 1 when a QR Code symbol was read
    char level[4];          // "L", "M", "Q" or "H" as the reader reports it, or ""
    int topLeftX, topLeftY;  // the symbol's corners in pixels, as the reader places them
    int topRightX, topRightY;
    int byteCount;          // the data's length; at most `capacity` bytes of it were copied
};

// Reads the first QR Code symbol in a picture of `width` x `height` grey levels, top row first.
// Returns 0 when the reader failed inside (out->found is then 0), 1 otherwise.
typedef int (*GlyphwellReadQrFunction)(const unsigned char* grey, int width, int height,
                                       struct GlyphwellReaderResult* out, unsigned char* bytes, int capacity);

#define GLYPHWELL_READER_ENTRY "GlyphwellReadQr"

#ifdef __cplusplus
}
#endif

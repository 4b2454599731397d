// GwBmpCodec: reads Windows and OS/2 bitmap files and bare device-independent bitmaps
// (1/4/8 bits with palette, uncompressed or run-length coded; 16 and 32 bits with bit fields;
// 24 bits) and writes an image's own DIB block as an uncompressed bitmap file. Reached
// through GwImage::Decode/Encode; it is the first format tried when detecting.
#pragma once

#include "image/gw_image.h"

class GwFile;

class GwBmpCodec : public GwImage {
public:
    GwBmpCodec() : GwImage(TypeBmp) {}

    // Decodes the stream from its current position into this object. A stream that does not
    // start with "BM" is read as a bare info header (the stream is rewound to where it was).
    // false with lastError on failure; with escape -1 only the dimensions are read.
    bool Decode(GwFile* file);
    // Writes "BM", the file header and the whole DIB block; false with lastError when the
    // image is empty, the stream is null or a write fails.
    bool Encode(GwFile* file);

protected:
    // Reads the info header at the stream's position and normalises it: OS/2 core headers
    // (12 bytes) are widened, larger headers are read for their first 40 bytes (and the
    // three colour masks, for headers that carry them) and the rest is skipped; a zero image
    // size and a zero colour count are filled in. masks may be null. false on a short read,
    // a null stream or a header that is not a bitmap info header.
    bool ReadInfoHeader(GwFile* file, BITMAPINFOHEADER* bih, DWORD* masks = nullptr);
};

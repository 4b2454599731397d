// GwBmpCodec: reads Windows and OS/2 bitmap files and bare device-independent bitmaps
// (1/2/4/8 bits with palette, uncompressed or run-length coded; 16 and 32 bits with any
// contiguous bit fields, alpha included; 24 bits) through the shared bitmap layout reader, and
// writes an image's own DIB block as an uncompressed bitmap file. Reached through
// GwImage::Decode/Encode; it is the first format tried when detecting.
#pragma once

#include "image/gw_image.h"

class GwFile;
namespace gwdib {
struct Layout;
}

class GwBmpCodec : public GwImage {
public:
    // An empty image of type TypeBmp. GwImage::Decode starts it from the caller's settings and
    // takes its picture on success; GwImage::Encode lends it the caller's picture (a ghost).
    GwBmpCodec() : GwImage(TypeBmp) {}

    // Decodes the stream from its current position into this object. A stream that does not
    // start with "BM" is read as a bare info header (the stream is rewound to where it was).
    // false with lastError on failure. With escape -1 only the headers are read: size, depth,
    // colours, resolution and FlagAlphaChannel, no pixel allocated. A file that ends inside
    // its pixel data gives what it held (the rest zero), with FlagPartial set and lastError
    // saying how much was there; one that ends before any pixel data fails.
    bool Decode(GwFile* file);
    // True when the last Decode accepted the info header, so its failure is this format's.
    bool Recognised() const { return recognised_; }
    // Writes "BM", the file header and the whole DIB block; false with lastError when the
    // image is empty, the stream is null or a write fails.
    bool Encode(GwFile* file);

protected:
    // Reads the info header at the stream's position, and the colour masks that follow a
    // 40-byte one, into `layout`. nullptr on success; else the message of the refusal:
    // "Error reading BMP info" for a short read or a header that is no bitmap info header,
    // the shared layout messages for a coding or bit count that cannot be read.
    const char* ReadInfoHeader(GwFile* file, gwdib::Layout* layout);
    // Fills the header and information as a decode would, from the layout alone (the
    // headers-only read).
    void DescribeFromHeaders(const gwdib::Layout& layout);
    // Takes the layout's resolution into the header and the information record.
    void TakeResolution(const gwdib::Layout& layout);

private:
    // Reads the pixel data at the stream's position into the prepared image; false when the
    // stream holds none of it, FlagPartial when it ends inside it.
    bool ReadPixels(GwFile* file, const gwdib::Layout& layout);

    bool recognised_ = false;
};

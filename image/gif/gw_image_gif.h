// GwImageGIF: reads and writes GIF files for the image library. Writing: one image or an
// animation as GIF89a, with the LZW, uncompressed or run-length coder (codec option of
// TypeGif: 1 uncompressed, 2 run-length, else LZW); 24-bit images become a mosaic of 8-bit
// tiles. Reading: GIF87a/89a, frame counting and selection, composition with transparency and
// disposal, interlace, reassembly of tiled 24-bit files, and the screen-size-only query.
#pragma once

#include <cstdio>
#include <vector>

#include "image/gw_image.h"

class GwFile;

namespace gwgif {
class FrameDecoder;
struct LzwDecodeResult;
class ByteSink;
class ByteSource;
class PixelSource;
class BufferedSource;
}  // namespace gwgif

class GwImageGIF : public GwImage {
public:
    // An empty image of type TypeGif, loops 0, disposal 0, no comment.
    GwImageGIF();
    // Copies the image (pixels, selection, alpha) and every GIF setting.
    GwImageGIF(const GwImageGIF& src);
    GwImageGIF& operator=(const GwImageGIF& src);

    // Play count of an animation: 0 forever, 1 once (no looping block written), n > 1 is
    // stored as n - 1 repeats. Decoding sets it from the looping block.
    void SetLoops(int loops);
    int GetLoops() const;
    // Disposal method (0..7) written with every frame; decoding sets it from the last
    // graphic control block read.
    void SetDisposalMethod(int method);
    int GetDisposalMethod() const;
    // Copies at most 255 characters (nothing for null); GetComment writes them, terminated,
    // into out (at least 256 bytes; nothing for null).
    void SetComment(const char* text);
    void GetComment(char* out) const;

    // Reads frame GetFrame() (composed on the logical screen) into this image; sets the
    // frame count. With escape -1 only headers and blocks are read, no pixel is decoded or
    // allocated: screen size, frame count, and the depth, colours, transparency and delay that
    // frame 0 would have (GetBpp, GetNumColors, GetTransIndex/GetTransColor, GetFrameDelay),
    // with loops and comment. false for a null stream, a stream that is no GIF, a frame index
    // outside 0..frames-1 (a file without frames, when reading headers only), or a raised escape.
    // A file that ends inside the frame's pixel data gives what it held, with FlagPartial set
    // and lastError saying where it ended; one that ends before any pixel of the first frame
    // fails. Failures after the signature leave their reason in lastError: no frame, a frame
    // index beyond the count, the decode budget, or the budget for composing frames (pixel
    // work across all frames up to the one asked for, and the memory held at once).
    bool Decode(GwFile* file);
    bool Decode(FILE* fp);
    // True when the last Decode found the GIF signature, so its failure is this format's.
    bool Recognised() const { return recognised_; }

    // Writes this image as a GIF89a file. false with lastError on a null stream, an empty
    // image or a write failure ("Write Error in GIF file").
    bool Encode(GwFile* file);
    bool Encode(FILE* fp);
    // Writes count images as an animation: the first image gives the logical screen and the
    // global colour table; later frames carry a local table when localColorMap. Looping,
    // disposal and comment come from this object. Frames deeper than 8 bits are refused.
    bool Encode(GwFile* file, GwImage** images, int count, bool localColorMap);
    bool Encode(FILE* fp, GwImage** images, int count, bool localColorMap);

protected:
    // ---- writing ----
    void EncodeHeader(gwgif::ByteSink& out);
    void EncodeLoopExtension(gwgif::ByteSink& out);
    void EncodeExtension(gwgif::ByteSink& out);
    void EncodeComment(gwgif::ByteSink& out);
    // false when the pixel data could not be written.
    bool EncodeBody(gwgif::ByteSink& out, bool localColorMap);
    bool EncodeRGB(GwFile* file);
    void Putword(gwgif::ByteSink& out, int value);
    bool compressNONE(int initBits, gwgif::ByteSink& out);
    bool compressLZW(int initBits, gwgif::ByteSink& out);
    bool compressRLE(int initBits, gwgif::ByteSink& out);
    // Per-frame settings used by the animation writer.
    void CopyGifSettings(const GwImageGIF& src);

    // ---- reading ----
    struct ScreenInfo;
    bool DecodeExtension(gwgif::BufferedSource& in);
    struct FrameSurvey;
    // Walks every block to the end without decoding a pixel: counts the frames and, when
    // survey is given, notes what a header-only read reports and whether the file is a
    // tiled 24-bit mosaic. The stream returns to where it was.
    int get_num_frames(gwgif::BufferedSource& in, const ScreenInfo& screen, FrameSurvey* survey = nullptr);
    // Fills the header and information as a decode of frame 0 would, from the survey alone.
    bool DescribeFirstFrame(const ScreenInfo& screen, const FrameSurvey& survey);
    // Decodes one image's data into this image (already created at the image's size), noting
    // the rows reached in rowsWritten_; the rest of a short row gets the index fill, and so do
    // rows never reached when fillUnreached. At most rowsAllowed rows are decoded; one more
    // sets *overBudget.
    gwgif::LzwDecodeResult decoder(gwgif::BufferedSource& in, bool interlaced, BYTE fill, bool fillUnreached,
                                   uint64_t rowsAllowed, bool* overBudget);

    // Rows of the current image that its data reached (top row first).
    std::vector<bool> rowsWritten_;

    // Graphic control block as written to the file: flags, delay (little-endian), index.
    BYTE gce[4];
    char comment[256];
    int loops;
    int disposal;

private:
    friend class gwgif::FrameDecoder;
    bool recognised_ = false;
};

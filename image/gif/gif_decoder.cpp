// GIF reading: frame counting and selection, composition of animation frames on the logical
// screen (transparency, disposal, differing colour tables), interlace, and reassembly of
// files written as a mosaic of 8-bit tiles into one 24-bit image.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "image/gif/gif_canvas.h"
#include "image/gif/gif_file_source.h"
#include "image/gif/gif_interlace.h"
#include "image/gif/gif_lzw_decoder.h"
#include "image/gif/gif_tiles.h"
#include "image/gif/gw_image_gif.h"
#include "image/gw_file.h"
#include "image/gw_io_file.h"
#include "image/pixel_rows.h"

struct GwImageGIF::ScreenInfo {
    int width = 0;
    int height = 0;
    int globalCount = 0;  // 0 when the file has no global colour table
    RGBQUAD global[256];
};

struct GwImageGIF::FrameSurvey {
    // The first frame: its colour table's size and the control block before it.
    int firstEntries = 0;
    BYTE firstGce[4] = {0, 0, 0, 0};
    // Every image so far sits where the 24-bit mosaic writer puts its tiles, in its order,
    // each with its own 256-entry table and no delay; the screen has no global table.
    bool tiled = false;
    // The last tile's transparency: the mosaic's transparent colour.
    bool lastTransparent = false;
    RGBQUAD lastTransColor{0, 0, 0, 0};
};

namespace {

using gwgif::ImageDesc;

bool ReadDescriptor(gwgif::BufferedSource& in, ImageDesc& d) {
    uint8_t b[9];
    if (!in.Read(b, 9)) return false;
    d.left = b[0] | (b[1] << 8);
    d.top = b[2] | (b[3] << 8);
    d.width = b[4] | (b[5] << 8);
    d.height = b[6] | (b[7] << 8);
    d.flags = b[8];
    return true;
}

enum class NextBlock { Image, End, Cancelled };

// Walks the stream to the next image descriptor and reads it into d. Extensions are handed to
// extension() on the way; while the previous byte was not 0, other bytes are skipped, which
// steps over the rest of a broken image's data. End at the trailer, at the end of the stream,
// or where an extension or the descriptor cannot be read; Cancelled when cancelled() says so
// before a block.
template <class Extension, class Cancelled>
NextBlock NextImage(gwgif::BufferedSource& in, bool& prevZero, ImageDesc& d, Extension extension,
                    Cancelled cancelled) {
    for (;;) {
        if (cancelled()) return NextBlock::Cancelled;
        const int b = in.GetByte();
        if (b < 0) return NextBlock::End;
        if (!prevZero && b != 0) continue;
        if (b == 0x21) {
            if (!extension()) return NextBlock::End;
            continue;
        }
        if (b == 0x3B) return NextBlock::End;
        if (b != 0x2C) {
            prevZero = b == 0;
            continue;
        }
        return ReadDescriptor(in, d) ? NextBlock::Image : NextBlock::End;
    }
}

// Reads a colour table of 2^(bits+1) entries; false when the stream ends first.
bool ReadColorTable(gwgif::BufferedSource& in, int sizeBits, RGBQUAD* table, int& count) {
    count = 2 << (sizeBits & 7);
    for (int i = 0; i < count; ++i) {
        uint8_t rgb[3];
        if (!in.Read(rgb, 3)) return false;
        table[i].rgbRed = rgb[0];
        table[i].rgbGreen = rgb[1];
        table[i].rgbBlue = rgb[2];
        table[i].rgbReserved = 0;
    }
    return true;
}

// An image is drawn only when it lies wholly on the logical screen.
bool FitsScreen(const ImageDesc& d, int screenW, int screenH) {
    return d.width > 0 && d.height > 0 && d.left + d.width <= screenW && d.top + d.height <= screenH;
}

// Skips an image's data: the code size byte and the sub-blocks up to the terminator.
bool SkipImageData(gwgif::BufferedSource& in) {
    if (in.GetByte() < 0) return false;
    return gwgif::SkipSubBlocks(in);
}

void CopyError(char* dest, const GwImage& from) {
    std::strncpy(dest, from.GetLastError(), 255);
    dest[255] = '\0';
}

// True when composing image (the first one, at d) on a fresh screen would give back the
// image unchanged: it covers the whole screen, the screen's fill equals the index that
// unreached pixels got (or the data reached every pixel), and every index it uses has a
// colour (so none needs remapping).
bool IsWholeScreenImage(const GwImage& image, const ImageDesc& d, int screenW, int screenH, BYTE unreached,
                        BYTE screenFill, bool everyPixelReached) {
    if (d.left != 0 || d.top != 0 || d.width != screenW || d.height != screenH) return false;
    if (unreached != screenFill && !everyPixelReached) return false;
    const int bpp = image.GetBpp();
    const int colors = static_cast<int>(image.GetNumColors());
    if (bpp > 8 || colors <= 0) return false;
    if (colors >= (1 << bpp)) return true;
    bool used[256] = {};
    gwgif::UsedIndices(image, used);
    for (int i = colors; i < 256; ++i)
        if (used[i]) return false;
    return true;
}

int DepthFor(int entries) { return entries <= 2 ? 1 : entries <= 16 ? 4 : 8; }

inline int RowIndex(const BYTE* row, int x, int bpp) { return gwpix::GetIndex(row, static_cast<uint64_t>(x), bpp); }
inline void SetRowIndex(BYTE* row, int x, int bpp, int v) {
    gwpix::PutIndex(row, static_cast<uint64_t>(x), static_cast<uint8_t>(v), bpp);
}

// Writes decoded rows into an image, top row of the picture first (or in interlace order).
// Whatever the data does not reach at the end of a short row, and the padding, gets the fill
// index; Finish fills the rows that were never written, for a caller that reads them.
class RowWriter : public gwgif::LineSink {
public:
    RowWriter(GwImage& img, bool interlaced, std::vector<bool>& written, BYTE fill, uint64_t rowsAllowed)
        : written_(written), img_(img), height_(static_cast<int>(img.GetHeight())), width_(static_cast<int>(img.GetWidth())),
          bpp_(img.GetBpp()), rowBytes_(img.GetEffWidth()), order_(height_, interlaced), rowsAllowed_(rowsAllowed) {
        // The fill index repeated across a byte, as every pixel of a cleared row holds it.
        fillByte_ = bpp_ == 1 ? (fill ? 255 : 0) : bpp_ == 4 ? static_cast<BYTE>(17 * (fill & 15)) : fill;
    }

    int PutLine(const uint8_t* px, int length) override {
        const int row = order_.Next();
        if (row < 0) return -1;
        if (rowsAllowed_ == 0) {
            overBudget_ = true;  // the read's pixel budget ends here: no more rows decoded
            return -1;
        }
        --rowsAllowed_;
        written_[static_cast<size_t>(row)] = true;
        BYTE* dst = img_.GetBits(static_cast<DWORD>(height_ - 1 - row));
        if (!dst) return -1;
        if (length > width_) length = width_;
        if (length < 0) length = 0;
        if (bpp_ == 8) {
            if (length > 0) std::memcpy(dst, px, static_cast<size_t>(length));
            std::memset(dst + length, fillByte_, rowBytes_ - static_cast<size_t>(length));
        } else {
            std::memset(dst, fillByte_, rowBytes_);
            for (int x = 0; x < length; ++x) SetRowIndex(dst, x, bpp_, px[x]);
        }
        return 0;
    }

    bool OverBudget() const { return overBudget_; }

    void Finish() {
        for (int row = 0; row < height_; ++row) {
            if (written_[static_cast<size_t>(row)]) continue;
            BYTE* dst = img_.GetBits(static_cast<DWORD>(height_ - 1 - row));
            if (dst) std::memset(dst, fillByte_, rowBytes_);
        }
    }

private:
    std::vector<bool>& written_;
    GwImage& img_;
    int height_, width_, bpp_;
    size_t rowBytes_;
    BYTE fillByte_ = 0;
    gwgif::RowOrder order_;
    uint64_t rowsAllowed_;
    bool overBudget_ = false;
};

}  // namespace

bool GwImageGIF::Decode(FILE* fp) {
    if (!fp) return false;
    GwIOFile file(fp);
    return Decode(&file);
}

bool GwImageGIF::DecodeExtension(gwgif::BufferedSource& in) {
    const int label = in.GetByte();
    if (label < 0) return false;
    bool ok = true;
    bool terminatorRead = false;
    if (label == 0xF9) {
        const int size = in.GetByte();
        uint8_t rec[4];
        ok = size == 4 && in.Read(rec, 4);
        if (ok) {
            std::memcpy(gce, rec, 4);
            // Transparency belongs to the image this block introduces; without the flag
            // that image has none.
            info.transIndex = (rec[0] & 1) ? rec[3] : -1;
            info.frameDelay = static_cast<DWORD>(rec[1] | (rec[2] << 8));
            disposal = (rec[0] >> 2) & 7;
        }
    } else if (label == 0xFE) {
        const int size = in.GetByte();
        uint8_t text[255];
        ok = size >= 0 && in.Read(text, size);
        if (ok) {
            std::memcpy(comment, text, static_cast<size_t>(size));
            comment[size] = '\0';
            terminatorRead = size == 0;  // an empty first sub-block is the terminator
        }
    } else if (label == 0xFF) {
        uint8_t id[11];
        ok = in.GetByte() == 11 && in.Read(id, 11);
        int size = -1;
        if (ok) size = in.GetByte();
        uint8_t data[255];
        ok = ok && size >= 0 && in.Read(data, size);
        if (ok) {
            if (size > 2) loops = data[1] | (data[2] << 8);
            terminatorRead = size == 0;
        }
    }
    if (ok && !terminatorRead) ok = gwgif::SkipSubBlocks(in);
    return ok;
}

int GwImageGIF::get_num_frames(gwgif::BufferedSource& in, const ScreenInfo& screen, FrameSurvey* survey) {
    const long start = in.Tell();
    int count = 0;
    bool prevZero = true;
    bool tiled = screen.globalCount == 0;
    bool allFit = true;
    ImageDesc d;
    const auto extension = [&] { return DecodeExtension(in); };
    // The control block that belongs to the next image; one before no image belongs to none.
    std::memset(gce, 0, sizeof(gce));
    RGBQUAD table[256];
    while (NextImage(in, prevZero, d, extension, [] { return false; }) == NextBlock::Image) {
        int entries = screen.globalCount;
        if (d.flags & 0x80) {
            if (!ReadColorTable(in, d.flags & 7, table, entries)) break;
        }
        const bool fits = FitsScreen(d, screen.width, screen.height);
        if (fits) {
            if (survey && count == 0) {
                survey->firstEntries = entries;
                std::memcpy(survey->firstGce, gce, sizeof(gce));
            }
            gwgif::TileRect tile;
            tiled = tiled && gwgif::TileAt(screen.width, screen.height, count, tile) && d.left == tile.left &&
                    d.top == tile.top && d.width == tile.width && d.height == tile.height &&
                    (d.flags & 0x87) == 0x87 && gce[1] == 0 && gce[2] == 0;
            if (survey) {
                survey->lastTransparent = (gce[0] & 1) != 0 && (d.flags & 0x80) && gce[3] < entries;
                if (survey->lastTransparent) survey->lastTransColor = table[gce[3]];
            }
            ++count;
        } else {
            allFit = false;
        }
        std::memset(gce, 0, sizeof(gce));
        if (!SkipImageData(in)) break;
    }
    if (survey) survey->tiled = tiled && allFit && count > 0 && count == gwgif::TileCount(screen.width, screen.height);
    in.Seek(start);
    return count;
}

gwgif::LzwDecodeResult GwImageGIF::decoder(gwgif::BufferedSource& in, bool interlaced, BYTE fill,
                                           bool fillUnreached, uint64_t rowsAllowed, bool* overBudget) {
    rowsWritten_.assign(GetHeight(), false);
    RowWriter rows(*this, interlaced, rowsWritten_, fill, rowsAllowed);
    const gwgif::LzwDecodeResult r = gwgif::DecodeLzw(in, static_cast<int>(GetWidth()), rows, true);
    if (overBudget) *overBudget = rows.OverBudget();
    if (fillUnreached) rows.Finish();
    // A code size the decoder refuses still leaves its sub-blocks to step over.
    if (r.status == -20) gwgif::SkipSubBlocks(in);
    return r;
}

bool GwImageGIF::DescribeFirstFrame(const ScreenInfo& screen, const FrameSurvey& survey) {
    // What a decode of frame 0 would report, without its pixels: a mosaic reads as one 24-bit
    // picture whose transparent colour is the last tile's; anything else as the first frame's
    // depth, with its control block's transparency and delay.
    header.biWidth = screen.width;
    header.biHeight = screen.height;
    header.biPlanes = 1;
    header.biCompression = BI_RGB;
    info.type = TypeGif;
    info.flags &= ~FlagAlphaChannel;
    if (survey.tiled) {
        header.biBitCount = 24;
        header.biClrUsed = 0;
        info.transIndex = survey.lastTransparent ? 0 : -1;
        if (survey.lastTransparent) {
            info.transColor = survey.lastTransColor;
            info.transColor.rgbReserved = 0;
        }
        return true;
    }
    const int depth = DepthFor(survey.firstEntries);
    header.biBitCount = static_cast<WORD>(depth);
    header.biClrUsed = depth == 1 ? 2 : depth == 4 ? 16 : 256;
    if (survey.firstGce[0] & 1) info.transIndex = survey.firstGce[3];
    info.frameDelay = static_cast<DWORD>(survey.firstGce[1] | (survey.firstGce[2] << 8));
    return true;
}

namespace gwgif {

namespace {
const char kNoPicture[] = "GIF file holds no picture";
const char kEndsBeforePixels[] = "GIF file ends before its picture's pixel data";
}  // namespace

// One read of a GIF file into a GwImageGIF: the screen and its colour table, the survey of
// every frame, then frame after frame up to the one asked for. Each frame is decoded into the
// image itself (its buffer kept while frames keep their size and depth) and composed by one of
// three compositors: the 24-bit mosaic, the first frame taken as it is, or the animation
// screen. Every step is costed against one pixel budget.
class FrameDecoder {
public:
    FrameDecoder(GwImageGIF& img, BufferedSource& in) : img_(img), in_(in) {}
    bool Run();

private:
    enum class Step { Next, Stop, Fail };

    bool ReadScreen();
    bool ReadFrames();
    Step ReadFrame(const ImageDesc& d, const RGBQUAD* pal, int entries, int frame);
    bool PrepareFrame(const ImageDesc& d, int depth, const RGBQUAD* pal, int entries);
    bool ComposeMosaic(const ImageDesc& d);
    bool ComposeAnimation(const ImageDesc& d, int frame);
    bool Finish();
    // Index the screen is filled with: the frame's transparent index, else the control block's.
    BYTE ScreenFill() const {
        return static_cast<BYTE>(img_.info.transIndex >= 0 ? img_.info.transIndex : img_.gce[3]);
    }
    bool Fail(const char* format, ...);

    GwImageGIF& img_;
    BufferedSource& in_;
    GwImageGIF::ScreenInfo screen_;
    GwImageGIF::FrameSurvey survey_;
    RGBQUAD table_[256];
    PixelBudget budget_;
    int frames_ = 0;
    long callerTrans_ = -1;

    GwImageGIF screenImage_;  // composed frames, or the reassembled 24-bit mosaic
    Canvas canvas_;
    bool started_ = false;
    bool direct_ = false;  // the decoded image itself is the result
    uint64_t rowsDone_ = 0;  // rows of the current frame that its data reached
    ImageDesc prevDesc_;
    int prevDisposal_ = 0;
    bool lastTileTransparent_ = false;
    RGBQUAD lastTileTransColor_{0, 0, 0, 0};
    long resultTrans_ = -1;
    DWORD resultDelay_ = 0;
    bool partial_ = false;
    int partialFrame_ = 0;
    uint64_t partialPixels_ = 0;
};

bool FrameDecoder::Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(img_.info.lastError, sizeof img_.info.lastError, format, args);
    va_end(args);
    return false;
}

bool FrameDecoder::Run() {
    img_.recognised_ = false;
    img_.info.flags &= ~GwImage::FlagPartial;
    if (!ReadScreen()) return false;
    const long callerDelay = img_.info.frameDelay;
    const int callerDisposal = img_.disposal;
    frames_ = img_.get_num_frames(in_, screen_, &survey_);
    img_.info.frameCount = frames_;
    if (img_.info.escape == -1) return frames_ > 0 ? img_.DescribeFirstFrame(screen_, survey_) : Fail(kNoPicture);
    if (frames_ == 0) return Fail(kNoPicture);
    const long wanted = img_.info.frameIndex;
    if (wanted < 0 || wanted >= frames_)
        return Fail("frame %ld asked for, but the file holds %d frame%s (0 to %d)", wanted, frames_,
                    frames_ == 1 ? "" : "s", frames_ - 1);
    // A mosaic (as the 24-bit writer lays it out) is read whole; anything else is an
    // animation, or a single picture, read frame by frame.
    if (survey_.tiled) img_.info.frameIndex = frames_ - 1;
    // The counting pass read every extension; what applies to single images starts afresh.
    std::memset(img_.gce, 0, sizeof(img_.gce));
    img_.info.transIndex = callerTrans_;
    img_.info.frameDelay = static_cast<DWORD>(callerDelay);
    img_.disposal = callerDisposal;
    resultDelay_ = img_.info.frameDelay;
    return ReadFrames() && Finish();
}

bool FrameDecoder::ReadScreen() {
    uint8_t hdr[13];
    if (!in_.Read(hdr, 13) || std::memcmp(hdr, "GIF8", 4) != 0) return false;
    img_.recognised_ = true;
    screen_.width = hdr[6] | (hdr[7] << 8);
    screen_.height = hdr[8] | (hdr[9] << 8);
    // Every frame lies on the logical screen, and the screen is what gets allocated.
    if (img_.info.escape != -1 &&
        !img_.DecodeBudgetAllows(static_cast<uint64_t>(screen_.width), static_cast<uint64_t>(screen_.height)))
        return false;
    if ((hdr[10] & 0x80) && !ReadColorTable(in_, hdr[10] & 7, screen_.global, screen_.globalCount))
        return Fail(kEndsBeforePixels);
    callerTrans_ = img_.info.transIndex;
    return true;
}

bool FrameDecoder::ReadFrames() {
    bool prevZero = true;
    for (int frame = 0;;) {
        ImageDesc d;
        const NextBlock next = NextImage(
            in_, prevZero, d, [&] { return img_.DecodeExtension(in_); }, [&] { return img_.info.escape > 0; });
        if (next == NextBlock::Cancelled) return false;
        if (next == NextBlock::End) return true;
        int entries = screen_.globalCount;
        const RGBQUAD* pal = screen_.global;
        if (d.flags & 0x80) {
            if (!ReadColorTable(in_, d.flags & 7, table_, entries)) return true;
            pal = table_;
        }
        if (FitsScreen(d, screen_.width, screen_.height)) {
            const Step step = ReadFrame(d, pal, entries, frame);
            if (step == Step::Fail) return false;
            if (step == Step::Stop || frame >= img_.info.frameIndex) return true;
            ++frame;
        } else if (!SkipImageData(in_)) {
            return true;  // its data is skipped as data, never read as block labels
        }
        // A control block belongs to the one image after it.
        std::memset(img_.gce, 0, sizeof(img_.gce));
        img_.info.transIndex = callerTrans_;
    }
}

FrameDecoder::Step FrameDecoder::ReadFrame(const ImageDesc& d, const RGBQUAD* pal, int entries, int frame) {
    const int depth = DepthFor(entries);
    if (!PrepareFrame(d, depth, pal, entries)) return Step::Fail;
    // Pixels the data does not reach (short or broken data) are transparent where the image
    // has a transparent index, else index 0; never left uninitialised where they are read.
    const BYTE unreached = static_cast<BYTE>(img_.info.transIndex >= 0 ? img_.info.transIndex : 0);
    img_.info.offsetX = d.left;
    img_.info.offsetY = d.top;
    // Only a picture taken whole needs its unreached rows filled: a mosaic tile, or a first
    // frame that may be the result itself. The animation screen paints reached rows only.
    const bool whole = survey_.tiled || (!started_ && frame >= img_.info.frameIndex);
    // Rows are decoded only while composing them stays within the budget.
    bool overBudget = false;
    uint64_t rowsAllowed = budget_.Left() / static_cast<uint64_t>(d.width);
    if (rowsAllowed < UINT64_MAX) ++rowsAllowed;  // the row that passes the limit says so
    const LzwDecodeResult r =
        img_.decoder(in_, (d.flags & 0x40) != 0, unreached, whole, rowsAllowed, &overBudget);
    if (img_.info.escape != 0) return Step::Fail;
    if (overBudget) {
        budget_.Work(budget_.Left() + 1, img_.info.lastError);
        return Step::Fail;
    }
    rowsDone_ = 0;
    for (bool reached : img_.rowsWritten_) rowsDone_ += reached ? 1 : 0;
    const uint64_t area = static_cast<uint64_t>(d.width) * static_cast<uint64_t>(d.height);
    // The decoded pixels are counted where they are composed; here only the rows filled.
    const uint64_t filled = whole ? (static_cast<uint64_t>(d.height) - rowsDone_) * static_cast<uint64_t>(d.width) : 0;
    if (!budget_.Work(filled, img_.info.lastError)) return Step::Fail;
    if (r.status == -1) {
        // The stream ended inside this image's data. With nothing read, there is no picture.
        if (!started_ && r.pixels == 0) {
            Fail(kEndsBeforePixels);
            return Step::Fail;
        }
        partial_ = true;
        partialFrame_ = frame;
        partialPixels_ = static_cast<uint64_t>(r.pixels) < area ? static_cast<uint64_t>(r.pixels) : area;
    }
    bool ok = true;
    if (survey_.tiled) {
        ok = ComposeMosaic(d);
    } else if (!started_ && frame >= img_.info.frameIndex &&
               IsWholeScreenImage(img_, d, screen_.width, screen_.height, unreached, ScreenFill(),
                                  rowsDone_ == static_cast<uint64_t>(d.height) &&
                                      static_cast<uint64_t>(r.pixels) >= area)) {
        // The wanted picture is the first image and it covers the screen: composing it on an
        // empty screen would reproduce it byte for byte, so it is kept as it is.
        resultTrans_ = img_.info.transIndex;
        resultDelay_ = img_.info.frameDelay;
        started_ = direct_ = true;
        ok = budget_.Work(rowsDone_ * static_cast<uint64_t>(d.width), img_.info.lastError);
    } else {
        ok = ComposeAnimation(d, frame);
    }
    if (!ok) return Step::Fail;
    prevDisposal_ = (img_.gce[0] >> 2) & 7;
    prevDesc_ = d;
    return partial_ ? Step::Stop : Step::Next;
}

bool FrameDecoder::PrepareFrame(const ImageDesc& d, int depth, const RGBQUAD* pal, int entries) {
    const bool reuse = img_.IsValid() && img_.GetWidth() == static_cast<DWORD>(d.width) &&
                       img_.GetHeight() == static_cast<DWORD>(d.height) && img_.GetBpp() == depth;
    if (reuse) {
        // Same size and depth as the previous frame: its buffer is taken again, palette cleared.
        std::memset(img_.GetPalette(), 0, img_.GetPaletteSize());
        img_.info.nearestValid = false;
        img_.info.type = TypeGif;
        img_.AlphaDelete();
        img_.SelectionDelete();
    } else {
        const uint64_t bytes = PixelBytes(static_cast<uint64_t>(d.width), static_cast<uint64_t>(d.height), depth);
        if (!budget_.Hold(bytes + PixelBytes(screenImage_) + canvas_.SavedBytes(), img_.info.lastError)) return false;
        if (!img_.Create(static_cast<DWORD>(d.width), static_cast<DWORD>(d.height), static_cast<DWORD>(depth), TypeGif))
            return false;
    }
    if (entries > 0) {
        if (img_.info.transIndex == -1) {
            img_.SetPalette(const_cast<RGBQUAD*>(pal), static_cast<DWORD>(entries));
        } else {
            RGBQUAD ext[256];
            for (int i = 0; i < 256; ++i) ext[i] = i < entries ? pal[i] : RGBQUAD{255, 255, 255, 0};
            img_.SetPalette(ext, 256);
        }
    }
    return true;
}

// The mosaic compositor: each tile's pixels, with their colours, at their place on a 24-bit
// screen.
bool FrameDecoder::ComposeMosaic(const ImageDesc& d) {
    if (!started_) {
        screenImage_.CopyInfo(img_);
        const uint64_t bytes = PixelBytes(static_cast<uint64_t>(screen_.width), static_cast<uint64_t>(screen_.height), 24);
        if (!budget_.Hold(bytes + PixelBytes(img_), img_.info.lastError)) return false;
        if (!screenImage_.Create(static_cast<DWORD>(screen_.width), static_cast<DWORD>(screen_.height), 24, TypeGif)) {
            CopyError(img_.info.lastError, screenImage_);
            return false;
        }
        screenImage_.Clear(0);
        started_ = true;
    }
    const RGBQUAD* fpal = img_.GetPalette();
    const int fcount = static_cast<int>(img_.GetNumColors());
    const int fbpp = img_.GetBpp();
    for (int y = 0; y < d.height; ++y) {
        const BYTE* src = img_.GetBits(static_cast<DWORD>(d.height - 1 - y));
        BYTE* dst = screenImage_.GetBits(static_cast<DWORD>(screen_.height - 1 - (d.top + y)));
        for (int x = 0; x < d.width; ++x) {
            const int idx = RowIndex(src, x, fbpp);
            const RGBQUAD c = idx < fcount ? fpal[idx] : RGBQUAD{0, 0, 0, 0};
            BYTE* p = dst + 3 * (d.left + x);
            p[0] = c.rgbBlue;
            p[1] = c.rgbGreen;
            p[2] = c.rgbRed;
        }
    }
    lastTileTransparent_ = (img_.gce[0] & 1) != 0;
    if (lastTileTransparent_ && img_.info.transIndex >= 0 && img_.info.transIndex < fcount)
        lastTileTransColor_ = fpal[img_.info.transIndex];
    return budget_.Work(static_cast<uint64_t>(d.width) * static_cast<uint64_t>(d.height), img_.info.lastError);
}

// The animation compositor: the previous frame's disposal, then this frame painted on the
// screen. Disposal 3 keeps only the rows of this frame's rectangle that it paints.
bool FrameDecoder::ComposeAnimation(const ImageDesc& d, int frame) {
    uint64_t work = 0;
    const uint64_t frameBytes = PixelBytes(img_);
    if (!started_) {
        screenImage_.CopyInfo(img_);
        RGBQUAD fullPal[256];
        const int n = static_cast<int>(img_.GetNumColors());
        std::memcpy(fullPal, img_.GetPalette(), static_cast<size_t>(n) * sizeof(RGBQUAD));
        if (!canvas_.Start(screenImage_, screen_.width, screen_.height, img_.GetBpp(), fullPal, n,
                           static_cast<int>(img_.info.transIndex), ScreenFill(), budget_, frameBytes)) {
            std::snprintf(img_.info.lastError, sizeof img_.info.lastError, "%s", canvas_.Error());
            return false;
        }
        resultTrans_ = img_.info.transIndex;
        started_ = true;
        work += static_cast<uint64_t>(screen_.width) * static_cast<uint64_t>(screen_.height);
    } else if (prevDisposal_ == 2) {
        work += canvas_.FillRect(prevDesc_);
    } else if (prevDisposal_ == 3) {
        work += canvas_.Restore();
    }
    canvas_.DropSaved();
    if (((img_.gce[0] >> 2) & 7) == 3 && frame < img_.info.frameIndex) {
        const uint64_t saved = rowsDone_ * static_cast<uint64_t>(d.width) * (canvas_.TrueColor() ? 3 : 1);
        if (!budget_.Hold(canvas_.Bytes() + frameBytes + saved, img_.info.lastError)) return false;
        work += canvas_.Save(d, img_.rowsWritten_);
    }
    const uint64_t extra = canvas_.ExtraWork();
    if (!canvas_.Mix(img_, d, static_cast<int>(img_.info.transIndex), img_.rowsWritten_, budget_,
                     frameBytes + canvas_.SavedBytes())) {
        std::snprintf(img_.info.lastError, sizeof img_.info.lastError, "%s", canvas_.Error());
        return false;
    }
    work += rowsDone_ * static_cast<uint64_t>(d.width) + canvas_.ExtraWork() - extra;
    resultDelay_ = img_.info.frameDelay;
    return budget_.Work(work, img_.info.lastError);
}

// The result carries this read's information; pixels and palette are the screen's.
bool FrameDecoder::Finish() {
    if (!started_) return Fail(kEndsBeforePixels);
    ImageInfo keep = img_.info;
    keep.pixels = nullptr;
    keep.ghostOf = nullptr;
    keep.offsetX = keep.offsetY = 0;
    keep.nearestValid = false;
    if (survey_.tiled) {
        keep.transIndex = -1;
        if (lastTileTransparent_) {
            keep.transIndex = 0;
            keep.transColor = lastTileTransColor_;
            keep.transColor.rgbReserved = 0;
        }
    } else {
        keep.transIndex = resultTrans_;
        keep.frameDelay = resultDelay_;
        if (!direct_ && canvas_.TrueColor()) {
            // A screen that outgrew 256 colours marks transparency by its fill colour.
            keep.transIndex = resultTrans_ >= 0 ? 0 : -1;
            keep.transColor = canvas_.FillColor();
            keep.transColor.rgbReserved = 0;
        }
    }
    if (partial_) {
        // The picture is what the file held; the caller is told, and told where it ends.
        keep.flags |= GwImage::FlagPartial;
        std::snprintf(keep.lastError, sizeof keep.lastError,
                      "GIF file ends inside frame %d's pixel data (%" PRIu64 " pixels read)", partialFrame_,
                      partialPixels_);
    }
    if (!direct_) {
        keep.rowBytes = screenImage_.GetEffWidth();
        img_.Transfer(screenImage_);
    }
    keep.pixels = img_.GetBits(0);
    img_.info = keep;
    return true;
}

}  // namespace gwgif

bool GwImageGIF::Decode(GwFile* file) {
    if (!file) return false;
    gwgif::BufferedSource in(file);
    // However the read ends, the stream is left right after the last byte it used.
    struct ReleaseOnExit {
        gwgif::BufferedSource& in;
        ~ReleaseOnExit() { in.Release(); }
    } release{in};
    gwgif::FrameDecoder reader(*this, in);
    return reader.Run();
}

// GIF reading: frame counting and selection, composition of animation frames on the logical
// screen (transparency, disposal, differing colour tables), interlace, and reassembly of
// files written as a mosaic of 8-bit tiles into one 24-bit image.
#include <cstring>
#include <memory>
#include <vector>

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

struct ImageDesc {
    int left = 0, top = 0, width = 0, height = 0, flags = 0;
};

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

bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

void CopyError(char* dest, const GwImage& from) {
    std::strncpy(dest, from.GetLastError(), 255);
    dest[255] = '\0';
}

inline int RowIndex(const BYTE* row, int x, int bpp) { return gwpix::GetIndex(row, static_cast<uint64_t>(x), bpp); }
inline void SetRowIndex(BYTE* row, int x, int bpp, int v) {
    gwpix::PutIndex(row, static_cast<uint64_t>(x), static_cast<uint8_t>(v), bpp);
}

// Marks every index that occurs in a palette image.
void UsedIndices(const GwImage& img, bool* used) {
    const int w = static_cast<int>(img.GetWidth());
    const int h = static_cast<int>(img.GetHeight());
    const int bpp = img.GetBpp();
    if (bpp > 8) return;
    for (int y = 0; y < h; ++y) {
        const BYTE* row = img.GetBits(static_cast<DWORD>(y));
        if (!row) continue;
        if (bpp == 8) {
            for (int x = 0; x < w; ++x) used[row[x]] = true;
        } else {
            for (int x = 0; x < w; ++x) used[RowIndex(row, x, bpp)] = true;
        }
    }
}

// True when composing image (the first one, at d) on a fresh screen would give back the
// image unchanged: it covers the whole screen, the screen's fill equals the index that
// unreached pixels got, and every index it uses has a colour (so none needs remapping).
bool IsWholeScreenImage(const GwImage& image, const ImageDesc& d, int screenW, int screenH, BYTE unreached,
                        BYTE screenFill) {
    if (d.left != 0 || d.top != 0 || d.width != screenW || d.height != screenH) return false;
    if (unreached != screenFill) return false;
    const int bpp = image.GetBpp();
    const int colors = static_cast<int>(image.GetNumColors());
    if (bpp > 8 || colors <= 0) return false;
    if (colors >= (1 << bpp)) return true;
    bool used[256] = {};
    UsedIndices(image, used);
    for (int i = colors; i < 256; ++i)
        if (used[i]) return false;
    return true;
}

int DepthFor(int entries) { return entries <= 2 ? 1 : entries <= 16 ? 4 : 8; }

// Writes decoded rows into an image, top row of the picture first (or in interlace order).
// Whatever the data does not reach (the end of a short row, rows never written, the padding)
// gets the fill index, so the image is never left with uninitialised bytes; Finish fills the
// rows that were never written.
class RowWriter : public gwgif::LineSink {
public:
    RowWriter(GwImage& img, bool interlaced, std::vector<bool>* written, BYTE fill)
        : written_(written), img_(img), height_(static_cast<int>(img.GetHeight())), width_(static_cast<int>(img.GetWidth())),
          bpp_(img.GetBpp()), rowBytes_(img.GetEffWidth()), order_(height_, interlaced) {
        // The fill index repeated across a byte, as every pixel of a cleared row holds it.
        fillByte_ = bpp_ == 1 ? (fill ? 255 : 0) : bpp_ == 4 ? static_cast<BYTE>(17 * (fill & 15)) : fill;
    }

    int PutLine(const uint8_t* px, int length) override {
        const int row = order_.Next();
        if (row < 0) return -1;
        if (written_) (*written_)[static_cast<size_t>(row)] = true;
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

    void Finish() {
        if (!written_) return;
        for (int row = 0; row < height_; ++row) {
            if ((*written_)[static_cast<size_t>(row)]) continue;
            BYTE* dst = img_.GetBits(static_cast<DWORD>(height_ - 1 - row));
            if (dst) std::memset(dst, fillByte_, rowBytes_);
        }
    }

private:
    std::vector<bool>* written_;
    GwImage& img_;
    int height_, width_, bpp_;
    size_t rowBytes_;
    BYTE fillByte_ = 0;
    gwgif::RowOrder order_;
};

// The logical screen that frames are composed on. It starts as a palette image of the first
// frame's depth; a later frame whose colours differ from the screen's table gets its colours
// merged into free entries, and only when 256 entries cannot hold them does the screen turn
// into a 24-bit image.
class Canvas {
public:
    bool Start(GwImageGIF& img, int width, int height, int depth,
               const RGBQUAD* palette, int paletteCount, int trans, BYTE fill) {
        img_ = &img;
        if (!img.Create(static_cast<DWORD>(width), static_cast<DWORD>(height), static_cast<DWORD>(depth), TypeGif))
            return false;
        img.SetPalette(const_cast<RGBQUAD*>(palette), static_cast<DWORD>(paletteCount));
        trans_ = trans;
        fill_ = fill;
        const RGBQUAD* pal = img.GetPalette();
        fillColor_ = (pal && fill < img.GetNumColors()) ? pal[fill] : RGBQUAD{0, 0, 0, 0};
        img.Clear(fill);
        return true;
    }

    int Trans() const { return trans_; }
    RGBQUAD FillColor() const { return fillColor_; }
    bool TrueColor() const { return img_->GetBpp() == 24; }

    // Restores the frame's rectangle to the screen's fill (transparent when it has one).
    void FillRect(const ImageDesc& d) {
        for (int y = d.top; y < d.top + d.height; ++y) {
            const long sy = static_cast<long>(img_->GetHeight()) - 1 - y;
            for (int x = d.left; x < d.left + d.width; ++x) {
                if (TrueColor())
                    img_->SetPixelColor(x, sy, fillColor_, false);
                else
                    img_->SetPixelIndex(x, sy, fill_);
            }
        }
    }

    // Paints frame onto the screen at d, skipping its transparent pixels.
    bool Mix(const GwImage& frame, const ImageDesc& d, int frameTrans, const std::vector<bool>& rowsWritten) {
        const int fw = static_cast<int>(frame.GetWidth());
        const int fh = static_cast<int>(frame.GetHeight());
        const int sw = static_cast<int>(img_->GetWidth());
        const int sh = static_cast<int>(img_->GetHeight());
        const RGBQUAD* fpal = frame.GetPalette();
        const int fcount = static_cast<int>(frame.GetNumColors());
        bool used[256] = {};
        UsedIndices(frame, used);
        if (frameTrans >= 0 && frameTrans < 256) used[frameTrans] = false;

        int map[256];
        for (int i = 0; i < 256; ++i) map[i] = i;
        if (!TrueColor() && !BuildMap(used, fpal, fcount, map)) {
            if (!PromoteTo(24)) return false;
        }
        const bool trueColor = TrueColor();
        const int fbpp = frame.GetBpp();
        const int cbpp = img_->GetBpp();
        for (int y = 0; y < fh; ++y) {
            const int cy = d.top + y;
            if (cy < 0 || cy >= sh) continue;
            // Rows the data never reached leave the screen as it was.
            if (static_cast<size_t>(y) >= rowsWritten.size() || !rowsWritten[static_cast<size_t>(y)]) continue;
            const BYTE* src = frame.GetBits(static_cast<DWORD>(fh - 1 - y));
            BYTE* dst = img_->GetBits(static_cast<DWORD>(sh - 1 - cy));
            if (!src || !dst) continue;
            // The common case, an 8-bit frame on an 8-bit screen, is one byte per pixel each way.
            if (!trueColor && fbpp == 8 && cbpp == 8) {
                const int x0 = d.left < 0 ? -d.left : 0;
                const int x1 = d.left + fw > sw ? sw - d.left : fw;
                for (int x = x0; x < x1; ++x) {
                    const int idx = src[x];
                    if (idx != frameTrans) dst[d.left + x] = static_cast<BYTE>(map[idx]);
                }
                continue;
            }
            for (int x = 0; x < fw; ++x) {
                const int cx = d.left + x;
                if (cx < 0 || cx >= sw) continue;
                const int idx = RowIndex(src, x, fbpp);
                if (idx == frameTrans) continue;
                if (trueColor) {
                    const RGBQUAD c = idx < fcount && fpal ? fpal[idx] : RGBQUAD{0, 0, 0, 0};
                    BYTE* p = dst + 3 * cx;
                    p[0] = c.rgbBlue;
                    p[1] = c.rgbGreen;
                    p[2] = c.rgbRed;
                } else {
                    SetRowIndex(dst, cx, cbpp, map[idx]);
                }
            }
        }
        return true;
    }

private:
    // Maps every used frame index to a screen entry of the same colour; false when the
    // screen's table (at 8 bits) has no room left.
    bool BuildMap(const bool* used, const RGBQUAD* fpal, int fcount, int* map) {
        for (;;) {
            RGBQUAD* cpal = img_->GetPalette();
            const int ccount = static_cast<int>(img_->GetNumColors());
            bool identity = true;
            for (int i = 0; i < 256 && identity; ++i)
                if (used[i] && (i >= ccount || i >= fcount || !SameColor(fpal[i], cpal[i]))) identity = false;
            if (identity) return true;

            bool taken[256] = {};
            UsedIndices(*img_, taken);
            taken[fill_] = true;
            if (trans_ >= 0 && trans_ < 256) taken[trans_] = true;

            bool mapped[256] = {};
            for (int i = 0; i < 256; ++i) {
                if (!used[i]) continue;
                const RGBQUAD c = i < fcount ? fpal[i] : RGBQUAD{0, 0, 0, 0};
                if (i < ccount && SameColor(cpal[i], c) && i != trans_) {
                    map[i] = i;
                    mapped[i] = true;
                    taken[i] = true;
                    continue;
                }
                for (int j = 0; j < ccount; ++j) {
                    if (j != trans_ && taken[j] && SameColor(cpal[j], c)) {
                        map[i] = j;
                        mapped[i] = true;
                        break;
                    }
                }
            }
            bool full = false;
            for (int i = 0; i < 256 && !full; ++i) {
                if (!used[i] || mapped[i]) continue;
                const RGBQUAD c = i < fcount ? fpal[i] : RGBQUAD{0, 0, 0, 0};
                int j = 0;
                while (j < ccount && taken[j]) ++j;
                if (j >= ccount) {
                    full = true;
                    break;
                }
                cpal[j] = c;
                cpal[j].rgbReserved = 0;
                taken[j] = true;
                map[i] = j;
                mapped[i] = true;
                // Identical colours later in the frame table share the new entry.
                for (int k = i + 1; k < 256; ++k)
                    if (used[k] && !mapped[k] && k < fcount && SameColor(fpal[k], c)) {
                        map[k] = j;
                        mapped[k] = true;
                    }
            }
            if (!full) return true;
            if (img_->GetBpp() >= 8) return false;
            if (!PromoteTo(img_->GetBpp() == 1 ? 4 : 8)) return false;
        }
    }

    // Re-creates the screen at a larger depth keeping every pixel's colour.
    bool PromoteTo(int depth) {
        GwImageGIF next;
        const int w = static_cast<int>(img_->GetWidth());
        const int h = static_cast<int>(img_->GetHeight());
        if (!next.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), static_cast<DWORD>(depth), TypeGif))
            return false;
        const int from = img_->GetBpp();
        const RGBQUAD* pal = img_->GetPalette();
        const DWORD n = img_->GetNumColors();
        if (depth != 24) next.SetPalette(img_->GetPalette(), n);
        for (int y = 0; y < h; ++y) {
            const BYTE* src = img_->GetBits(static_cast<DWORD>(y));
            BYTE* dst = next.GetBits(static_cast<DWORD>(y));
            for (int x = 0; x < w; ++x) {
                const int i = RowIndex(src, x, from);
                if (depth == 24) {
                    const RGBQUAD c = static_cast<DWORD>(i) < n ? pal[i] : RGBQUAD{0, 0, 0, 0};
                    dst[3 * x] = c.rgbBlue;
                    dst[3 * x + 1] = c.rgbGreen;
                    dst[3 * x + 2] = c.rgbRed;
                } else {
                    SetRowIndex(dst, x, depth, i);
                }
            }
        }
        const long keepTrans = img_->GetTransIndex();
        img_->Transfer(next);
        img_->SetTransIndex(keepTrans);
        return true;
    }

    GwImageGIF* img_ = nullptr;
    int trans_ = -1;
    BYTE fill_ = 0;
    RGBQUAD fillColor_{0, 0, 0, 0};
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

int GwImageGIF::decoder(gwgif::BufferedSource& in, bool interlaced, BYTE fill, int& badCodes) {
    rowsWritten_.assign(GetHeight(), false);
    RowWriter rows(*this, interlaced, &rowsWritten_, fill);
    const gwgif::LzwDecodeResult r = gwgif::DecodeLzw(in, static_cast<int>(GetWidth()), rows, true);
    rows.Finish();
    badCodes = r.badCodes;
    // A code size the decoder refuses still leaves its sub-blocks to step over.
    if (r.status == -20) gwgif::SkipSubBlocks(in);
    return r.status;
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

bool GwImageGIF::Decode(GwFile* file) {
    if (!file) return false;
    gwgif::BufferedSource in(file);
    uint8_t hdr[13];
    if (!in.Read(hdr, 13) || std::memcmp(hdr, "GIF8", 4) != 0) {
        in.Release();
        return false;
    }
    auto screen = std::make_unique<ScreenInfo>();
    screen->width = hdr[6] | (hdr[7] << 8);
    screen->height = hdr[8] | (hdr[9] << 8);
    const bool headersOnly = info.escape == -1;
    // Every frame lies on the logical screen, and the screen is what gets allocated.
    if (!headersOnly &&
        !DecodeBudgetAllows(static_cast<uint64_t>(screen->width), static_cast<uint64_t>(screen->height))) {
        in.Release();
        return false;
    }
    if (hdr[10] & 0x80) {
        if (!ReadColorTable(in, hdr[10] & 7, screen->global, screen->globalCount)) {
            in.Release();
            return false;
        }
    }

    const long callerTrans = info.transIndex;
    const DWORD callerDelay = info.frameDelay;
    const int callerDisposal = disposal;
    FrameSurvey survey;
    const int frames = get_num_frames(in, *screen, &survey);
    info.frameCount = frames;
    if (headersOnly) {
        in.Release();
        return frames > 0 && DescribeFirstFrame(*screen, survey);
    }
    if (info.frameIndex < 0 || info.frameIndex >= frames) {
        in.Release();
        return false;
    }
    // Only a mosaic as the 24-bit writer lays it out is reassembled; anything else is an
    // animation (or a single picture) read frame by frame.
    const bool tiled = survey.tiled;
    // The counting pass read every extension; what applies to single images starts afresh.
    std::memset(gce, 0, sizeof(gce));
    info.transIndex = callerTrans;
    info.frameDelay = callerDelay;
    disposal = callerDisposal;

    GwImageGIF screenImage;  // composed frames, or the reassembled 24-bit mosaic
    Canvas canvas;
    bool started = false;
    bool direct = false;  // the decoded image itself is the result
    ImageDesc prevDesc;
    int prevDisposal = 0;
    std::unique_ptr<GwImageGIF> beforePrev;  // screen before a frame that restores it
    bool lastTileTransparent = false;
    RGBQUAD lastTileTransColor{0, 0, 0, 0};
    long resultTrans = -1;
    DWORD resultDelay = info.frameDelay;
    int frame = 0;
    bool prevZero = true;
    auto table = std::make_unique<RGBQUAD[]>(256);

    for (;;) {
        ImageDesc d;
        const NextBlock next = NextImage(
            in, prevZero, d, [&] { return DecodeExtension(in); }, [&] { return info.escape > 0; });
        if (next == NextBlock::Cancelled) {
            in.Release();
            return false;
        }
        if (next == NextBlock::End) break;
        int entries = 0;
        const RGBQUAD* pal = screen->global;
        if (d.flags & 0x80) {
            if (!ReadColorTable(in, d.flags & 7, table.get(), entries)) break;
            pal = table.get();
        } else {
            entries = screen->globalCount;
        }
        if (!FitsScreen(d, screen->width, screen->height)) {
            // Its data is skipped as data, never read as block labels.
            if (!SkipImageData(in)) break;
            std::memset(gce, 0, sizeof(gce));
            info.transIndex = callerTrans;
            continue;
        }

        const int depth = DepthFor(entries);
        if (!Create(static_cast<DWORD>(d.width), static_cast<DWORD>(d.height), static_cast<DWORD>(depth), TypeGif)) {
            in.Release();
            return false;
        }
        if (entries > 0) {
            if (info.transIndex == -1) {
                SetPalette(const_cast<RGBQUAD*>(pal), static_cast<DWORD>(entries));
            } else {
                RGBQUAD ext[256];
                for (int i = 0; i < 256; ++i) ext[i] = i < entries ? pal[i] : RGBQUAD{255, 255, 255, 0};
                SetPalette(ext, 256);
            }
        }
        // Pixels the data does not reach (short or broken data) are transparent where the
        // image has a transparent index, else index 0; never left uninitialised.
        const BYTE unreached = static_cast<BYTE>(info.transIndex >= 0 ? info.transIndex : 0);
        info.offsetX = d.left;
        info.offsetY = d.top;

        int badCodes = 0;
        decoder(in, (d.flags & 0x40) != 0, unreached, badCodes);
        if (info.escape != 0) {
            in.Release();
            return false;
        }

        if (tiled) {
            info.frameIndex = frames - 1;
            if (!started) {
                screenImage.CopyInfo(*this);
                if (!screenImage.Create(static_cast<DWORD>(screen->width), static_cast<DWORD>(screen->height), 24, TypeGif)) {
                    CopyError(info.lastError, screenImage);
                    in.Release();
                    return false;
                }
                screenImage.Clear(0);
                started = true;
            }
            const RGBQUAD* fpal = GetPalette();
            const int fcount = static_cast<int>(GetNumColors());
            const int fbpp = GetBpp();
            for (int y = 0; y < d.height; ++y) {
                const BYTE* src = GetBits(static_cast<DWORD>(d.height - 1 - y));
                BYTE* dst = screenImage.GetBits(static_cast<DWORD>(screen->height - 1 - (d.top + y)));
                for (int x = 0; x < d.width; ++x) {
                    const int idx = RowIndex(src, x, fbpp);
                    const RGBQUAD c = idx < fcount ? fpal[idx] : RGBQUAD{0, 0, 0, 0};
                    BYTE* p = dst + 3 * (d.left + x);
                    p[0] = c.rgbBlue;
                    p[1] = c.rgbGreen;
                    p[2] = c.rgbRed;
                }
            }
            lastTileTransparent = (gce[0] & 1) != 0;
            if (lastTileTransparent && info.transIndex >= 0 && info.transIndex < fcount)
                lastTileTransColor = fpal[info.transIndex];
        } else if (!started && frame >= info.frameIndex &&
                   IsWholeScreenImage(*this, d, screen->width, screen->height, unreached,
                                      static_cast<BYTE>(info.transIndex >= 0 ? info.transIndex : gce[3]))) {
            // The wanted picture is the first image and it covers the screen: composing it
            // on an empty screen would reproduce it byte for byte, so it is kept as it is.
            resultTrans = info.transIndex;
            resultDelay = info.frameDelay;
            started = true;
            direct = true;
        } else {
            if (!started) {
                const BYTE fill = static_cast<BYTE>(info.transIndex >= 0 ? info.transIndex : gce[3]);
                screenImage.CopyInfo(*this);
                RGBQUAD fullPal[256];
                const int n = static_cast<int>(GetNumColors());
                std::memcpy(fullPal, GetPalette(), static_cast<size_t>(n) * sizeof(RGBQUAD));
                if (!canvas.Start(screenImage, screen->width, screen->height, depth, fullPal, n,
                                  static_cast<int>(info.transIndex), fill)) {
                    CopyError(info.lastError, screenImage);
                    in.Release();
                    return false;
                }
                resultTrans = info.transIndex;
                started = true;
            } else if (prevDisposal == 2) {
                canvas.FillRect(prevDesc);
            } else if (prevDisposal == 3 && beforePrev) {
                screenImage.Transfer(*beforePrev);
            }
            const int thisDisposal = (gce[0] >> 2) & 7;
            beforePrev.reset();
            if (thisDisposal == 3 && frame < info.frameIndex) {
                beforePrev = std::make_unique<GwImageGIF>();
                beforePrev->Copy(screenImage);
            }
            if (!canvas.Mix(*this, d, static_cast<int>(info.transIndex), rowsWritten_)) {
                CopyError(info.lastError, screenImage);
                in.Release();
                return false;
            }
            resultDelay = info.frameDelay;
        }
        prevDisposal = (gce[0] >> 2) & 7;
        prevDesc = d;
        std::memset(gce, 0, sizeof(gce));
        info.transIndex = callerTrans;
        if (frame >= info.frameIndex) break;
        ++frame;
    }
    in.Release();
    if (!started) return false;

    // The result carries this decode's information; pixels and palette are the screen's.
    ImageInfo keep = info;
    keep.pixels = nullptr;
    keep.ghostOf = nullptr;
    keep.offsetX = keep.offsetY = 0;
    keep.nearestValid = false;
    if (tiled) {
        keep.transIndex = -1;
        if (lastTileTransparent) {
            keep.transIndex = 0;
            keep.transColor = lastTileTransColor;
            keep.transColor.rgbReserved = 0;
        }
    } else {
        keep.transIndex = resultTrans;
        keep.frameDelay = resultDelay;
        if (!direct && canvas.TrueColor()) {
            // A screen that outgrew 256 colours marks transparency by its fill colour.
            keep.transIndex = resultTrans >= 0 ? 0 : -1;
            keep.transColor = canvas.FillColor();
            keep.transColor.rgbReserved = 0;
        }
    }
    if (!direct) {
        keep.rowBytes = screenImage.GetEffWidth();
        Transfer(screenImage);
    }
    keep.pixels = GetBits(0);
    info = keep;
    return true;
}

// GIF writing: single images, animations, and 24-bit images as a mosaic of 8-bit tiles.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "image/gif/gif_code_stream.h"
#include "image/gif/gif_lzw_encoder.h"
#include "image/gif/gif_rle_encoder.h"
#include "image/gif/gif_tiles.h"
#include "image/gif/gw_image_gif.h"
#include "image/gw_file.h"
#include "image/gw_io_file.h"
#include "image/pixel_rows.h"

namespace {

constexpr char kWriteError[] = "Write Error in GIF file";
constexpr long kMaxGifSide = 65535;  // screen and image sizes are 16-bit fields
using gwgif::kTileHeight;
using gwgif::kTileWidth;

// Collects the file in 64 KiB pieces (a memory stream then grows once per piece, not once
// per sub-block) and remembers a failed write so the encoder can report it instead of
// claiming success.
class CheckedSink : public gwgif::ByteSink {
public:
    explicit CheckedSink(GwFile* file) : file_(file) { buf_.reserve(kChunk); }
    bool Put(const uint8_t* bytes, size_t count) override {
        buf_.insert(buf_.end(), bytes, bytes + count);
        if (buf_.size() >= kChunk) Drain();
        return !failed;
    }
    // Writes what is pending and flushes the stream; false when any write failed.
    bool Finish() {
        Drain();
        if (!file_->Flush()) failed = true;
        return !failed;
    }
    bool failed = false;

private:
    void Drain() {
        if (!buf_.empty() && !failed && file_->Write(buf_.data(), 1, buf_.size()) != buf_.size()) failed = true;
        buf_.clear();
    }
    static constexpr size_t kChunk = 65536;
    GwFile* file_;
    std::vector<uint8_t> buf_;
};

void PutByte(gwgif::ByteSink& out, int b) {
    const uint8_t v = static_cast<uint8_t>(b);
    out.Put(&v, 1);
}

// Pixels of an image in file order: the top row of the picture first, left to right.
class ImagePixels : public gwgif::PixelSource {
public:
    explicit ImagePixels(const GwImage& img)
        : img_(img), w_(static_cast<long>(img.GetWidth())), y_(static_cast<long>(img.GetHeight()) - 1),
          bpp_(img.GetBpp()) {}

    int Next() override {
        if (y_ < 0) return -1;
        // The row pointer is looked up once per row, not once per pixel.
        if (!row_) {
            row_ = img_.GetBits(static_cast<DWORD>(y_));
            if (!row_) return -1;
        }
        const int v = gwpix::GetIndex(row_, static_cast<uint64_t>(x_), bpp_ == 1 || bpp_ == 4 ? bpp_ : 8);
        if (++x_ >= w_) {
            x_ = 0;
            --y_;
            row_ = nullptr;
        }
        return v;
    }

    // Byte-per-pixel rows go out as whole runs; packed rows pixel by pixel.
    int ReadUpTo(uint8_t* dst, int n) override {
        if (bpp_ != 8) return PixelSource::ReadUpTo(dst, n);
        int done = 0;
        while (done < n && y_ >= 0) {
            if (!row_) {
                row_ = img_.GetBits(static_cast<DWORD>(y_));
                if (!row_) break;
            }
            const long k = std::min<long>(n - done, w_ - x_);
            std::memcpy(dst + done, row_ + x_, static_cast<size_t>(k));
            done += static_cast<int>(k);
            x_ += k;
            if (x_ >= w_) {
                x_ = 0;
                --y_;
                row_ = nullptr;
            }
        }
        return done;
    }

private:
    const GwImage& img_;
    const BYTE* row_ = nullptr;
    long w_;
    long x_ = 0;
    long y_;
    int bpp_;
};

bool FitsInGif(const GwImage& img) {
    return img.GetWidth() <= static_cast<DWORD>(kMaxGifSide) &&
           img.GetHeight() <= static_cast<DWORD>(kMaxGifSide);
}

void SetError(char* lastError, const char* text) {
    std::strncpy(lastError, text, 255);
    lastError[255] = '\0';
}

}  // namespace

void GwImageGIF::Putword(gwgif::ByteSink& out, int value) {
    PutByte(out, value & 0xFF);
    PutByte(out, (value >> 8) & 0xFF);
}

void GwImageGIF::EncodeHeader(gwgif::ByteSink& out) {
    out.Put(reinterpret_cast<const uint8_t*>("GIF89a"), 6);
    Putword(out, static_cast<int>(GetWidth()));
    Putword(out, static_cast<int>(GetHeight()));
    const int bpp = GetBpp();
    const DWORD colours = GetNumColors();
    if (colours == 0 || bpp > 8) {
        PutByte(out, 0x11);  // no global table
    } else {
        // Global table flag, colour resolution and table size for the image's depth.
        PutByte(out, bpp == 1 ? 0x80 : bpp == 4 ? 0xE3 : 0xF7);
    }
    PutByte(out, 0);  // background colour index
    PutByte(out, 0);  // pixel aspect ratio
    if (colours != 0 && bpp <= 8) {
        const RGBQUAD* pal = GetPalette();
        for (DWORD i = 0; i < colours; ++i) {
            const uint8_t rgb[3] = {pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue};
            out.Put(rgb, 3);
        }
    }
}

void GwImageGIF::EncodeLoopExtension(gwgif::ByteSink& out) {
    static const uint8_t head[] = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1};
    out.Put(head, sizeof(head));
    Putword(out, loops > 1 ? loops - 1 : 0);
    PutByte(out, 0);
}

void GwImageGIF::EncodeExtension(gwgif::ByteSink& out) {
    gce[0] = static_cast<BYTE>(((disposal & 7) << 2) | (info.transIndex != -1 ? 1 : 0));
    gce[1] = static_cast<BYTE>(info.frameDelay & 0xFF);
    gce[2] = static_cast<BYTE>((info.frameDelay >> 8) & 0xFF);
    gce[3] = static_cast<BYTE>(info.transIndex != -1 ? (info.transIndex & 0xFF) : 0xFF);
    const uint8_t head[] = {0x21, 0xF9, 4};
    out.Put(head, 3);
    out.Put(gce, 4);
    PutByte(out, 0);
}

void GwImageGIF::EncodeComment(gwgif::ByteSink& out) {
    const size_t n = strnlen(comment, 255);
    if (n == 0) return;
    const uint8_t head[] = {0x21, 0xFE, static_cast<uint8_t>(n)};
    out.Put(head, 3);
    out.Put(reinterpret_cast<const uint8_t*>(comment), n);
    PutByte(out, 0);
}

bool GwImageGIF::EncodeBody(gwgif::ByteSink& out, bool localColorMap) {
    const int bpp = GetBpp();
    PutByte(out, 0x2C);
    Putword(out, static_cast<int>(info.offsetX));
    Putword(out, static_cast<int>(info.offsetY));
    Putword(out, static_cast<int>(GetWidth()));
    Putword(out, static_cast<int>(GetHeight()));
    const DWORD colours = GetNumColors();
    if (localColorMap && colours != 0) {
        PutByte(out, 0x80 | (bpp - 1));
        const RGBQUAD* pal = GetPalette();
        for (DWORD i = 0; i < colours; ++i) {
            const uint8_t rgb[3] = {pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue};
            out.Put(rgb, 3);
        }
    } else {
        PutByte(out, 0);
    }
    const int codeSize = bpp < 2 ? 2 : bpp;
    PutByte(out, codeSize);
    bool ok;
    switch (GetCodecOption(TypeGif)) {
        case 1: ok = compressNONE(codeSize + 1, out); break;
        case 2: ok = compressRLE(codeSize + 1, out); break;
        default: ok = compressLZW(codeSize + 1, out); break;
    }
    PutByte(out, 0);
    return ok;
}

bool GwImageGIF::compressLZW(int initBits, gwgif::ByteSink& out) {
    ImagePixels px(*this);
    return gwgif::CompressLZW(initBits, px, out);
}

bool GwImageGIF::compressNONE(int initBits, gwgif::ByteSink& out) {
    ImagePixels px(*this);
    return gwgif::CompressNone(initBits, px, out);
}

bool GwImageGIF::compressRLE(int initBits, gwgif::ByteSink& out) {
    ImagePixels px(*this);
    return gwgif::CompressRLE(initBits, px, out);
}

bool GwImageGIF::Encode(FILE* fp) {
    GwIOFile file(fp);
    return Encode(fp ? static_cast<GwFile*>(&file) : nullptr);
}

bool GwImageGIF::Encode(GwFile* file) {
    if (EncodeSafeCheck(file)) return false;
    if (!FitsInGif(*this)) {
        SetError(info.lastError, "GIF images are at most 65535 pixels wide and high");
        return false;
    }
    if (GetBpp() > 8) return EncodeRGB(file);
    CheckedSink out(file);
    EncodeHeader(out);
    EncodeExtension(out);
    EncodeComment(out);
    const bool bodyOk = EncodeBody(out, false);
    PutByte(out, 0x3B);
    if (!out.Finish() || !bodyOk) {
        SetError(info.lastError, kWriteError);
        return false;
    }
    return true;
}

bool GwImageGIF::EncodeRGB(GwFile* file) {
    CheckedSink out(file);
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());
    EncodeHeader(out);  // 24 bits: no global table
    EncodeComment(out);

    const bool transparent = IsTransparent();
    const RGBQUAD transColor = GetTransColor();
    GwImageGIF tile;
    bool ok = true;
    for (long top = 0; top < height && ok; top += kTileHeight) {
        const long th = height - top < kTileHeight ? height - top : kTileHeight;
        for (long left = 0; left < width && ok; left += kTileWidth) {
            const long tw = width - left < kTileWidth ? width - left : kTileWidth;
            if (!tile.IsValid() || static_cast<long>(tile.GetWidth()) != tw ||
                static_cast<long>(tile.GetHeight()) != th) {
                if (!tile.Create(static_cast<DWORD>(tw), static_cast<DWORD>(th), 8, TypeGif)) {
                    SetError(info.lastError, tile.GetLastError());
                    return false;
                }
            }
            RGBQUAD* pal = tile.GetPalette();
            // First entry of each colour in this tile, by an open-addressed colour hash.
            int32_t keyOf[512];
            uint8_t entryOf[512];
            std::fill(std::begin(keyOf), std::end(keyOf), -1);
            auto firstEntry = [&](const RGBQUAD& c, int k) {
                const int32_t key = (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue;
                uint32_t h = (static_cast<uint32_t>(key) * 2654435761u) >> 23;
                while (keyOf[h] != -1 && keyOf[h] != key) h = (h + 1) & 511;
                if (keyOf[h] == -1) {
                    keyOf[h] = key;
                    entryOf[h] = static_cast<uint8_t>(k);
                }
                return static_cast<int>(entryOf[h]);
            };
            if (transparent) {
                tile.SetTransIndex(0);
                pal[0] = transColor;
                pal[0].rgbReserved = 0;
                firstEntry(pal[0], 0);
            } else {
                // Entry 0 is black and never reassigned: black pixels share it.
                pal[0] = RGBQUAD{0, 0, 0, 0};
                firstEntry(pal[0], 0);
            }
            for (long i = 0; i < th; ++i) {  // storage rows from the tile's bottom
                const long srcY = height - top - th + i;
                BYTE* dst = tile.GetBits(static_cast<DWORD>(i));
                const BYTE* src = GetBits(static_cast<DWORD>(srcY));
                for (long j = 0; j < tw; ++j) {
                    const BYTE* p = src + 3 * (left + j);
                    RGBQUAD c;
                    c.rgbBlue = p[0];
                    c.rgbGreen = p[1];
                    c.rgbRed = p[2];
                    c.rgbReserved = 0;
                    const int k = static_cast<int>(i * kTileWidth + j + 1);
                    pal[k] = c;
                    // A colour already in the tile's table (entry 0 included) keeps its
                    // first entry, so the transparent colour stays transparent.
                    dst[j] = static_cast<BYTE>(firstEntry(c, k));
                }
            }
            tile.SetOffset(left, top);
            tile.SetCodecOption(GetCodecOption(TypeGif), TypeGif);  // the picture's own coder
            tile.EncodeExtension(out);
            ok = tile.EncodeBody(out, true);
        }
    }
    PutByte(out, 0x3B);
    if (!out.Finish() || !ok) {
        SetError(info.lastError, kWriteError);
        return false;
    }
    return true;
}

bool GwImageGIF::Encode(FILE* fp, GwImage** images, int count, bool localColorMap) {
    GwIOFile file(fp);
    return Encode(fp ? static_cast<GwFile*>(&file) : nullptr, images, count, localColorMap);
}

bool GwImageGIF::Encode(GwFile* file, GwImage** images, int count, bool localColorMap) {
    if (!file) {
        SetError(info.lastError, "invalid file pointer");
        return false;
    }
    if (!images || count <= 0 || !images[0]) {
        SetError(info.lastError, "multipage GIF, no images!");
        return false;
    }
    // Every frame is checked before anything is written, so a refused animation leaves
    // no half-written file behind.
    for (int i = 0; i < count; ++i) {
        const GwImage* img = images[i];
        if (!img) {
            SetError(info.lastError, "Bad image pointer");
            return false;
        }
        if (!img->IsValid()) {
            SetError(info.lastError, "null image!!!");
            return false;
        }
        if (img->GetBpp() > 8) {
            SetError(info.lastError,
                     "multipage GIF, frames must have a palette (8 bits per pixel or less)");
            return false;
        }
        if (!FitsInGif(*img)) {
            SetError(info.lastError, "GIF images are at most 65535 pixels wide and high");
            return false;
        }
    }

    CheckedSink out(file);
    bool ok = true;
    {
        GwImageGIF writer;
        writer.Ghost(images[0]);
        writer.EncodeHeader(out);
        if (loops != 1) {
            writer.loops = loops;
            writer.EncodeLoopExtension(out);
        }
        writer.disposal = disposal;
        writer.EncodeExtension(out);
        EncodeComment(out);
        ok = writer.EncodeBody(out, false);
    }
    for (int i = 1; i < count && ok; ++i) {
        GwImageGIF writer;
        writer.Ghost(images[i]);
        writer.disposal = disposal;
        writer.EncodeExtension(out);
        ok = writer.EncodeBody(out, localColorMap);
    }
    PutByte(out, 0x3B);
    if (!out.Finish() || !ok) {
        SetError(info.lastError, kWriteError);
        return false;
    }
    return true;
}

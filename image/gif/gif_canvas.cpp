// Composition of GIF frames on the logical screen: painting with transparency, merging colour
// tables, growing the screen's depth, and the disposal methods' fill and restore, each costed
// against the read's pixel budget.
#include "image/gif/gif_canvas.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "image/gif/gw_image_gif.h"
#include "image/pixel_rows.h"

namespace gwgif {
namespace {

uint64_t Times(uint64_t a, uint64_t b) { return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b; }

bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

inline int RowIndex(const BYTE* row, int x, int bpp) { return gwpix::GetIndex(row, static_cast<uint64_t>(x), bpp); }
inline void SetRowIndex(BYTE* row, int x, int bpp, int v) {
    gwpix::PutIndex(row, static_cast<uint64_t>(x), static_cast<uint8_t>(v), bpp);
}

inline void PutColor(BYTE* p, const RGBQUAD& c) {
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
}

}  // namespace

// ---- budget ---------------------------------------------------------------------------

PixelBudget::PixelBudget() : pixels_(GwImage::GetMaxDecodePixels()) {}

uint64_t PixelBudget::MemoryLimit() const { return Times(pixels_, kBytesPerPixel); }

bool PixelBudget::Work(uint64_t pixels, char (&why)[256]) {
    spent_ = spent_ > UINT64_MAX - pixels ? UINT64_MAX : spent_ + pixels;
    if (spent_ <= Times(pixels_, kWorkFactor)) return true;
    std::snprintf(why, sizeof why,
                  "GIF frames ask for more than %" PRIu64 " pixels of composing work (%" PRIu64
                  " times the decode limit of %" PRIu64 " pixels)",
                  Times(pixels_, kWorkFactor), kWorkFactor, pixels_);
    return false;
}

uint64_t PixelBudget::Left() const {
    const uint64_t limit = Times(pixels_, kWorkFactor);
    return spent_ < limit ? limit - spent_ : 0;
}

bool PixelBudget::Hold(uint64_t bytes, char (&why)[256]) const {
    if (bytes <= MemoryLimit()) return true;
    std::snprintf(why, sizeof why,
                  "composing the GIF frames needs %" PRIu64 " bytes of pixel memory, over the %" PRIu64
                  " that the decode limit of %" PRIu64 " pixels allows",
                  bytes, MemoryLimit(), pixels_);
    return false;
}

uint64_t PixelBytes(uint64_t width, uint64_t height, int depth) {
    return Times(gwpix::RowStride(width, static_cast<uint64_t>(depth)), height);
}

uint64_t PixelBytes(const GwImage& image) {
    return image.IsValid() ? static_cast<uint64_t>(image.GetEffWidth()) * image.GetHeight() : 0;
}

void UsedIndices(const GwImage& img, bool* used, const std::vector<bool>* rows) {
    const int w = static_cast<int>(img.GetWidth());
    const int h = static_cast<int>(img.GetHeight());
    const int bpp = img.GetBpp();
    if (bpp > 8) return;
    for (int y = 0; y < h; ++y) {
        if (rows && (static_cast<size_t>(y) >= rows->size() || !(*rows)[static_cast<size_t>(y)])) continue;
        const BYTE* row = img.GetBits(static_cast<DWORD>(h - 1 - y));
        if (!row) continue;
        if (bpp == 8) {
            for (int x = 0; x < w; ++x) used[row[x]] = true;
        } else {
            for (int x = 0; x < w; ++x) used[RowIndex(row, x, bpp)] = true;
        }
    }
}

// ---- the screen -----------------------------------------------------------------------

bool Canvas::Start(GwImageGIF& img, int width, int height, int depth, const RGBQUAD* palette, int paletteCount,
                   int trans, BYTE fill, const PixelBudget& budget, uint64_t otherBytes) {
    img_ = &img;
    error_[0] = '\0';
    if (!budget.Hold(PixelBytes(static_cast<uint64_t>(width), static_cast<uint64_t>(height), depth) + otherBytes,
                     error_))
        return false;
    if (!img.Create(static_cast<DWORD>(width), static_cast<DWORD>(height), static_cast<DWORD>(depth), TypeGif)) {
        std::snprintf(error_, sizeof error_, "%s", img.GetLastError());
        return false;
    }
    img.SetPalette(const_cast<RGBQUAD*>(palette), static_cast<DWORD>(paletteCount));
    trans_ = trans;
    fill_ = fill;
    const RGBQUAD* pal = img.GetPalette();
    fillColor_ = (pal && fill < img.GetNumColors()) ? pal[fill] : RGBQUAD{0, 0, 0, 0};
    img.Clear(fill);
    // How many pixels hold each index, kept as pixels change, so that free palette entries
    // are known without scanning the screen.
    // Every row of a cleared screen is the same: one row counted stands for all.
    std::memset(count_, 0, sizeof count_);
    const int bpp = img.GetBpp();
    const BYTE* row = img.GetBits(0);
    for (int x = 0; x < width; ++x) count_[RowIndex(row, x, bpp)] += static_cast<uint64_t>(height);
    return true;
}

// Puts index v at x of a palette screen row, keeping the counts.
inline void Canvas::PutIndex(BYTE* row, int x, int bpp, int v) {
    if (bpp == 8) {
        --count_[row[x]];
        row[x] = static_cast<BYTE>(v);
    } else {
        --count_[RowIndex(row, x, bpp)];
        SetRowIndex(row, x, bpp, v);
    }
    ++count_[v & 255];
}

bool Canvas::TrueColor() const { return img_->GetBpp() == 24; }

uint64_t Canvas::Bytes() const { return img_ ? PixelBytes(*img_) : 0; }

uint64_t Canvas::FillRect(const ImageDesc& d) {
    const int sh = static_cast<int>(img_->GetHeight());
    const int bpp = img_->GetBpp();
    for (int y = d.top; y < d.top + d.height; ++y) {
        BYTE* row = img_->GetBits(static_cast<DWORD>(sh - 1 - y));
        if (!row) continue;
        if (bpp == 24) {
            for (int x = d.left; x < d.left + d.width; ++x) PutColor(row + 3 * x, fillColor_);
        } else {
            for (int x = d.left; x < d.left + d.width; ++x) PutIndex(row, x, bpp, fill_);
        }
    }
    return static_cast<uint64_t>(d.width) * static_cast<uint64_t>(d.height);
}

uint64_t Canvas::Save(const ImageDesc& d, const std::vector<bool>& rows) {
    Saved& s = saved_;
    s.d = d;
    s.trueColor = TrueColor();
    s.rows.clear();
    s.pixels.clear();
    s.paletteCount = static_cast<int>(img_->GetNumColors());
    if (s.paletteCount > 0) std::memcpy(s.palette, img_->GetPalette(), sizeof(RGBQUAD) * static_cast<size_t>(s.paletteCount));
    const int sh = static_cast<int>(img_->GetHeight());
    const int bpp = img_->GetBpp();
    const size_t bytesPerPixel = s.trueColor ? 3 : 1;
    for (int y = 0; y < d.height && static_cast<size_t>(y) < rows.size(); ++y) {
        if (!rows[static_cast<size_t>(y)]) continue;
        const BYTE* row = img_->GetBits(static_cast<DWORD>(sh - 1 - (d.top + y)));
        if (!row) continue;
        s.rows.push_back(y);
        const size_t at = s.pixels.size();
        s.pixels.resize(at + bytesPerPixel * static_cast<size_t>(d.width));
        uint8_t* out = s.pixels.data() + at;
        if (s.trueColor) {
            std::memcpy(out, row + 3 * d.left, 3 * static_cast<size_t>(d.width));
        } else {
            for (int x = 0; x < d.width; ++x) out[x] = static_cast<uint8_t>(RowIndex(row, d.left + x, bpp));
        }
    }
    hasSaved_ = true;
    return static_cast<uint64_t>(s.rows.size()) * static_cast<uint64_t>(d.width);
}

uint64_t Canvas::Restore() {
    if (!hasSaved_) return 0;
    const Saved& s = saved_;
    const int sh = static_cast<int>(img_->GetHeight());
    const int bpp = img_->GetBpp();
    const size_t w = static_cast<size_t>(s.d.width);
    const size_t bytesPerPixel = s.trueColor ? 3 : 1;
    for (size_t i = 0; i < s.rows.size(); ++i) {
        BYTE* row = img_->GetBits(static_cast<DWORD>(sh - 1 - (s.d.top + s.rows[i])));
        const uint8_t* in = s.pixels.data() + i * bytesPerPixel * w;
        if (!row) continue;
        if (s.trueColor) {
            // A screen never goes back from 24 bits, so it is 24 bits still.
            std::memcpy(row + 3 * s.d.left, in, 3 * w);
        } else if (bpp == 24) {
            // The screen grew to 24 bits meanwhile: the kept indices take their colours then.
            for (size_t x = 0; x < w; ++x) {
                const RGBQUAD c = in[x] < s.paletteCount ? s.palette[in[x]] : RGBQUAD{0, 0, 0, 0};
                PutColor(row + 3 * (static_cast<size_t>(s.d.left) + x), c);
            }
        } else {
            // A deeper palette screen keeps every index and entry, so indices stay valid.
            for (size_t x = 0; x < w; ++x) PutIndex(row, s.d.left + static_cast<int>(x), bpp, in[x]);
        }
    }
    const uint64_t restored = static_cast<uint64_t>(s.rows.size()) * w;
    DropSaved();
    return restored;
}

void Canvas::DropSaved() {
    hasSaved_ = false;
    saved_.rows.clear();
    saved_.rows.shrink_to_fit();
    saved_.pixels.clear();
    saved_.pixels.shrink_to_fit();
}

bool Canvas::Mix(const GwImage& frame, const ImageDesc& d, int frameTrans, const std::vector<bool>& rows,
                 const PixelBudget& budget, uint64_t otherBytes) {
    const int fw = static_cast<int>(frame.GetWidth());
    const int fh = static_cast<int>(frame.GetHeight());
    const int sw = static_cast<int>(img_->GetWidth());
    const int sh = static_cast<int>(img_->GetHeight());
    const RGBQUAD* fpal = frame.GetPalette();
    const int fcount = static_cast<int>(frame.GetNumColors());
    bool used[256] = {};
    UsedIndices(frame, used, &rows);
    if (frameTrans >= 0 && frameTrans < 256) used[frameTrans] = false;

    int map[256];
    for (int i = 0; i < 256; ++i) map[i] = i;
    if (!TrueColor() && !BuildMap(used, fpal, fcount, map, budget, otherBytes)) {
        if (refused_ || !PromoteTo(24, budget, otherBytes)) return false;
    }
    const bool trueColor = TrueColor();
    const int fbpp = frame.GetBpp();
    const int cbpp = img_->GetBpp();
    for (int y = 0; y < fh; ++y) {
        const int cy = d.top + y;
        if (cy < 0 || cy >= sh) continue;
        // Rows the data never reached leave the screen as it was.
        if (static_cast<size_t>(y) >= rows.size() || !rows[static_cast<size_t>(y)]) continue;
        const BYTE* src = frame.GetBits(static_cast<DWORD>(fh - 1 - y));
        BYTE* dst = img_->GetBits(static_cast<DWORD>(sh - 1 - cy));
        if (!src || !dst) continue;
        // The common case, an 8-bit frame on an 8-bit screen, is one byte per pixel each way.
        if (!trueColor && fbpp == 8 && cbpp == 8) {
            const int x0 = d.left < 0 ? -d.left : 0;
            const int x1 = d.left + fw > sw ? sw - d.left : fw;
            for (int x = x0; x < x1; ++x) {
                const int idx = src[x];
                if (idx == frameTrans) continue;
                --count_[dst[d.left + x]];
                dst[d.left + x] = static_cast<BYTE>(map[idx]);
                ++count_[map[idx]];
            }
            continue;
        }
        for (int x = 0; x < fw; ++x) {
            const int cx = d.left + x;
            if (cx < 0 || cx >= sw) continue;
            const int idx = RowIndex(src, x, fbpp);
            if (idx == frameTrans) continue;
            if (trueColor)
                PutColor(dst + 3 * cx, idx < fcount && fpal ? fpal[idx] : RGBQUAD{0, 0, 0, 0});
            else
                PutIndex(dst, cx, cbpp, map[idx]);
        }
    }
    return true;
}

// Maps every used frame index to a screen entry of the same colour; false when the screen's
// table (at 8 bits) has no room left, or, with error_ set, when a deeper screen is refused.
bool Canvas::BuildMap(const bool* used, const RGBQUAD* fpal, int fcount, int* map, const PixelBudget& budget,
                      uint64_t otherBytes) {
    for (;;) {
        RGBQUAD* cpal = img_->GetPalette();
        const int ccount = static_cast<int>(img_->GetNumColors());
        bool identity = true;
        for (int i = 0; i < 256 && identity; ++i)
            if (used[i] && (i >= ccount || i >= fcount || !SameColor(fpal[i], cpal[i]))) identity = false;
        if (identity) return true;

        bool taken[256];
        for (int i = 0; i < 256; ++i) taken[i] = count_[i] > 0;
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
        if (!PromoteTo(img_->GetBpp() == 1 ? 4 : 8, budget, otherBytes)) return false;
    }
}

// Re-creates the screen at a larger depth keeping every pixel's colour; the old and the new
// screen are held together meanwhile.
bool Canvas::PromoteTo(int depth, const PixelBudget& budget, uint64_t otherBytes) {
    const int w = static_cast<int>(img_->GetWidth());
    const int h = static_cast<int>(img_->GetHeight());
    const uint64_t wanted = PixelBytes(static_cast<uint64_t>(w), static_cast<uint64_t>(h), depth);
    refused_ = true;
    if (!budget.Hold(Bytes() + wanted + otherBytes, error_)) return false;
    GwImageGIF next;
    if (!next.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), static_cast<DWORD>(depth), TypeGif)) {
        std::snprintf(error_, sizeof error_, "%s", next.GetLastError());
        return false;
    }
    refused_ = false;
    const int from = img_->GetBpp();
    const RGBQUAD* pal = img_->GetPalette();
    const DWORD n = img_->GetNumColors();
    if (depth != 24) next.SetPalette(img_->GetPalette(), n);
    for (int y = 0; y < h; ++y) {
        const BYTE* src = img_->GetBits(static_cast<DWORD>(y));
        BYTE* dst = next.GetBits(static_cast<DWORD>(y));
        for (int x = 0; x < w; ++x) {
            const int i = RowIndex(src, x, from);
            if (depth == 24)
                PutColor(dst + 3 * x, static_cast<DWORD>(i) < n ? pal[i] : RGBQUAD{0, 0, 0, 0});
            else
                SetRowIndex(dst, x, depth, i);
        }
    }
    const long keepTrans = img_->GetTransIndex();
    img_->Transfer(next);
    img_->SetTransIndex(keepTrans);
    extraWork_ += static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
    return true;
}

}  // namespace gwgif

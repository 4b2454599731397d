// The logical screen that GIF animation frames are composed on, and the budget that bounds
// the work and memory of composing them. Internal to the GIF reader.
#pragma once

#include <cstdint>
#include <vector>

#include "image/gw_image.h"

class GwImageGIF;

namespace gwgif {

// An image's place on the logical screen, as its descriptor gives it, and its flags byte.
struct ImageDesc {
    int left = 0, top = 0, width = 0, height = 0, flags = 0;
};

// Pixel work and pixel memory one GIF read may spend, both tied to the decode budget: the
// pixels composed across all frames (the screen made, frames painted, rectangles filled,
// saved and restored, screens scanned or deepened) may add up to kWorkFactor times the
// largest picture allowed, which is what one frame composed on a fresh screen of that size
// takes; and the buffers held at once (screen, frame, saved rectangle) to kBytesPerPixel
// bytes for each of its pixels, the size of one 24-bit picture with alpha at the limit.
class PixelBudget {
public:
    static constexpr uint64_t kWorkFactor = 2;
    static constexpr uint64_t kBytesPerPixel = 4;

    PixelBudget();
    // Adds pixels of work; false, with the reason in why, once the total passes the limit.
    bool Work(uint64_t pixels, char (&why)[256]);
    // Pixels of work still allowed.
    uint64_t Left() const;
    // false, with the reason in why, when holding `bytes` of pixel memory at once is over.
    bool Hold(uint64_t bytes, char (&why)[256]) const;
    uint64_t MemoryLimit() const;

private:
    uint64_t pixels_;
    uint64_t spent_ = 0;
};

// Bytes of the pixel rows of an image, or of one that would be created at this size.
uint64_t PixelBytes(const GwImage& image);
uint64_t PixelBytes(uint64_t width, uint64_t height, int depth);

// Marks every index that occurs in a palette image; with rows, only in the rows (counted
// from the top) marked there.
void UsedIndices(const GwImage& image, bool* used, const std::vector<bool>* rows = nullptr);

// The screen starts as a palette image of the first frame's depth; a later frame whose
// colours differ from the screen's table gets its colours merged into free entries, and
// only when 256 entries cannot hold them does the screen turn into a 24-bit image.
class Canvas {
public:
    // Why the last Start or Mix failed.
    const char* Error() const { return error_; }
    // Creates the screen in img, filled with index fill. false with Error() set.
    bool Start(GwImageGIF& img, int width, int height, int depth, const RGBQUAD* palette, int paletteCount,
               int trans, BYTE fill, const PixelBudget& budget, uint64_t otherBytes);

    RGBQUAD FillColor() const { return fillColor_; }
    bool TrueColor() const;
    uint64_t Bytes() const;
    // Bytes held by the rectangle Save keeps.
    uint64_t SavedBytes() const { return saved_.pixels.size(); }

    // Restores the rectangle d to the screen's fill (transparent when it has one); returns
    // the pixels filled.
    uint64_t FillRect(const ImageDesc& d);
    // Keeps the screen under d, in the rows of the frame marked in rows (the only ones the
    // frame paints), for Restore; returns the pixels saved.
    uint64_t Save(const ImageDesc& d, const std::vector<bool>& rows);
    // Puts back what Save kept, in the screen's present depth, and drops it; returns the
    // pixels restored.
    uint64_t Restore();
    void DropSaved();

    // Paints frame onto the screen at d, in the rows marked in rows, skipping pixels of
    // index frameTrans. A screen that must grow deeper is checked against the budget with
    // otherBytes held besides. false with Error() set.
    bool Mix(const GwImage& frame, const ImageDesc& d, int frameTrans, const std::vector<bool>& rows,
             const PixelBudget& budget, uint64_t otherBytes);
    // Pixels Mix has visited beyond the frame's own (screens promoted to a larger depth) so far.
    uint64_t ExtraWork() const { return extraWork_; }

private:
    bool BuildMap(const bool* used, const RGBQUAD* fpal, int fcount, int* map, const PixelBudget& budget,
                  uint64_t otherBytes);
    bool PromoteTo(int depth, const PixelBudget& budget, uint64_t otherBytes);
    inline void PutIndex(BYTE* row, int x, int bpp, int v);

    struct Saved {
        ImageDesc d;
        bool trueColor = false;
        std::vector<int> rows;        // frame rows kept, counted from the frame's top
        std::vector<uint8_t> pixels;  // one index, or three bytes (blue, green, red), a pixel
        RGBQUAD palette[256];
        int paletteCount = 0;
    };

    GwImageGIF* img_ = nullptr;
    int trans_ = -1;
    BYTE fill_ = 0;
    RGBQUAD fillColor_{0, 0, 0, 0};
    Saved saved_;
    bool hasSaved_ = false;
    bool refused_ = false;  // a deeper screen was refused (budget or memory); error_ says why
    char error_[256] = {};
    uint64_t extraWork_ = 0;
    uint64_t count_[256] = {};  // pixels of a palette screen holding each index
};

}  // namespace gwgif

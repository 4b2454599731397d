// Run-length GIF coder.
#include "image/gif/gif_rle_encoder.h"

namespace gwgif {
namespace {

int64_t Isqrt(int64_t x) {
    if (x < 2) return x;
    // Newton's method from a power of two above the root converges from above.
    int64_t r = 1;
    while (r * r <= x) r <<= 1;
    for (;;) {
        const int64_t next = (r + x / r) / 2;
        if (next >= r) break;
        r = next;
    }
    return r;
}

class RleCoder {
public:
    RleCoder(int initBits, CodeWriter& w) : w_(w) {
        clear_ = 1 << (initBits - 1);
        eof_ = clear_ + 1;
        base_ = clear_ + 2;
        bitsInit_ = initBits;
        bumpInit_ = (1 << (initBits - 1)) - 1;
        clearInit_ = initBits <= 3 ? 9 : bumpInit_ - 1;
        maxCodes_ = 4093 - clear_;
    }

    void Run(PixelSource& pixels) {
        Clear();
        w_.Put(clear_, bitsInit_);
        int pixel = 0;
        int64_t count = 0;
        int c;
        while ((c = pixels.Next()) >= 0) {
            c &= clear_ - 1;
            if (count > 0 && c != pixel) {
                Flush(pixel, count);
                count = 0;
            }
            pixel = c;
            ++count;
        }
        if (count > 0) Flush(pixel, count);
        w_.Put(eof_, bits_);
        w_.Finish();
    }

private:
    // Forget the decoder's table: the next code is read at the initial width.
    void Clear() {
        bits_ = bitsInit_;
        bump_ = bumpInit_;
        clearLimit_ = clearInit_;
        count_ = 0;
        tableMax_ = 0;
        justCleared_ = true;
    }

    void ResetOutClear() {
        w_.Put(clear_, bits_);
        Clear();
    }

    // Every code but the first after a clear adds one decoder table entry; the width and the
    // forced clears follow from that count.
    void OutputPlain(int code) {
        justCleared_ = false;
        w_.Put(code, bits_);
        ++count_;
        if (count_ >= bump_) {
            bump_ += int64_t{1} << bits_;
            ++bits_;
        }
        if (count_ >= clearLimit_) ResetOutClear();
    }

    int64_t Triangle(int64_t n) const { return RleTriangleCount(n, maxCodes_); }

    void RestoreClearLimit() {
        clearLimit_ = clearInit_;
        if (count_ >= clearLimit_) ResetOutClear();
    }

    // Builds runs 1, 2, 3, ... of pixel p in the decoder's table while sending them.
    void FlushFromClear(int p, int64_t left) {
        clearLimit_ = maxCodes_;
        tablePixel_ = p;
        int64_t n = 1;
        while (left > 0) {
            if (n == 1) {
                tableMax_ = 1;
                OutputPlain(p);
                --left;
            } else if (left >= n) {
                tableMax_ = n;
                OutputPlain(static_cast<int>(base_ + n - 2));
                left -= n;
            } else if (left == 1) {
                ++tableMax_;
                OutputPlain(p);
                left = 0;
            } else {
                ++tableMax_;
                OutputPlain(static_cast<int>(base_ + left - 2));
                left = 0;
            }
            if (count_ == 0) {
                // A forced clear emptied the table: rebuild from one, with the full allowance.
                n = 1;
                clearLimit_ = maxCodes_;
            } else {
                ++n;
            }
        }
        RestoreClearLimit();
    }

    void FlushWithTable(int p, int64_t len) {
        const int64_t t = tableMax_;
        int64_t repMax = len / t;
        int64_t leftover = len % t;
        int64_t extra = leftover ? 1 : 0;
        if (count_ + repMax + extra > maxCodes_) {
            repMax = maxCodes_ - count_;
            leftover = len - repMax * t;
            extra = 1 + Triangle(leftover);
        }
        if (1 + Triangle(len) < repMax + extra) {
            ResetOutClear();
            FlushFromClear(p, len);
            return;
        }
        clearLimit_ = maxCodes_;
        for (int64_t i = 0; i < repMax; ++i) OutputPlain(static_cast<int>(base_ + t - 2));
        if (leftover > 0) {
            if (justCleared_)
                FlushFromClear(p, leftover);
            else if (leftover == 1)
                OutputPlain(p);
            else
                OutputPlain(static_cast<int>(base_ + leftover - 2));
        }
        RestoreClearLimit();
    }

    void FlushClearOrRep(int p, int64_t len) {
        if (1 + Triangle(len) < len) {
            ResetOutClear();
            FlushFromClear(p, len);
        } else {
            for (; len > 0; --len) OutputPlain(p);
        }
    }

    void Flush(int p, int64_t len) {
        if (len == 1)
            OutputPlain(p);
        else if (justCleared_)
            FlushFromClear(p, len);
        else if (tableMax_ < 2 || tablePixel_ != p)
            FlushClearOrRep(p, len);
        else
            FlushWithTable(p, len);
    }

    CodeWriter& w_;
    int clear_ = 0, eof_ = 0, base_ = 0;
    int bitsInit_ = 0, bits_ = 0;
    int64_t bumpInit_ = 0, bump_ = 0;
    int64_t clearInit_ = 0, clearLimit_ = 0;
    int64_t maxCodes_ = 0;
    int64_t count_ = 0;
    int tablePixel_ = 0;
    int64_t tableMax_ = 0;
    bool justCleared_ = true;
};

}  // namespace

int64_t RleTriangleCount(int64_t count, int64_t maxCodes) {
    if (count <= 0 || maxCodes <= 0) return 0;
    const int64_t perRep = maxCodes * (maxCodes + 1) / 2;
    int64_t cost = (count / perRep) * maxCodes;
    count %= perRep;
    if (count > 0) {
        int64_t n = Isqrt(count * 2);
        while (n > 0 && n * (n + 1) >= 2 * count) --n;
        while (n * (n + 1) < 2 * count) ++n;
        cost += n;
    }
    return cost;
}

bool CompressRLE(int initBits, PixelSource& pixels, ByteSink& sink, CodeWriter* external) {
    if (initBits < 3 || initBits > 9) return false;
    CodeWriter local(sink, 255);
    CodeWriter& w = external ? *external : local;
    RleCoder coder(initBits, w);
    coder.Run(pixels);
    return w.Ok();
}

}  // namespace gwgif

// Row order of GIF image data: top to bottom, or the four interlace passes (every 8th row
// from 0, every 8th from 4, every 4th from 2, every 2nd from 1).
#pragma once

namespace gwgif {

class RowOrder {
public:
    RowOrder(int height, bool interlaced) : height_(height < 0 ? 0 : height), interlaced_(interlaced) {
        if (interlaced_) SkipEmptyPasses();
    }

    // The next row, counted from the top of the image, or -1 once every row has been given.
    int Next() {
        if (pos_ >= height_ || pass_ > 3) return -1;
        const int row = pos_;
        if (!interlaced_) {
            ++pos_;
            return row;
        }
        pos_ += kStep[pass_];
        if (pos_ >= height_) {
            ++pass_;
            if (pass_ <= 3) pos_ = kStart[pass_];
            SkipEmptyPasses();
        }
        return row;
    }

private:
    void SkipEmptyPasses() {
        while (pass_ <= 3 && kStart[pass_] >= height_ && pos_ >= height_) {
            ++pass_;
            if (pass_ <= 3) pos_ = kStart[pass_];
        }
    }

    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    int height_;
    bool interlaced_;
    int pass_ = 0;
    int pos_ = 0;
};

}  // namespace gwgif

// LZW and uncompressed GIF coders.
#include "image/gif/gif_lzw_encoder.h"

#include <algorithm>
#include <vector>

namespace gwgif {
namespace {

constexpr int kMaxBits = 12;
constexpr int kMaxMaxCode = 1 << kMaxBits;  // 4096: no code is ever this large
constexpr int kTableSize = 5003;            // prime, about 80% occupancy at 4096 codes
constexpr int kHashShift = 4;

// Code width bookkeeping common to both coders: the width grows exactly when the decoder's
// table reaches the next power of two, and drops back to the initial width after a clear.
class CodeState {
public:
    CodeState(int initBits, CodeWriter& w) : init_(initBits), w_(w) {
        clear = 1 << (initBits - 1);
        eof = clear + 1;
        freeCode = clear + 2;
        n_ = initBits;
        maxCode_ = (1 << n_) - 1;
    }

    void Output(int code) {
        w_.Put(code, n_);
        if (freeCode > maxCode_ || clearPending) {
            if (clearPending) {
                n_ = init_;
                maxCode_ = (1 << n_) - 1;
                clearPending = false;
            } else {
                ++n_;
                maxCode_ = n_ >= kMaxBits ? kMaxMaxCode : (1 << n_) - 1;
            }
        }
        if (code == eof) w_.Finish();
    }

    int clear = 0, eof = 0, freeCode = 0;
    bool clearPending = false;

private:
    int init_;
    CodeWriter& w_;
    int n_ = 0;
    int maxCode_ = 0;
};

bool ValidInitBits(int initBits) { return initBits >= 3 && initBits <= 9; }

}  // namespace

bool CompressLZW(int initBits, PixelSource& pixels, ByteSink& sink, CodeWriter* external) {
    if (!ValidInitBits(initBits)) return false;
    CodeWriter local(sink, 254);
    CodeWriter& w = external ? *external : local;
    CodeState st(initBits, w);

    std::vector<int32_t> keys(kTableSize, -1);
    std::vector<uint16_t> codes(kTableSize, 0);

    st.Output(st.clear);
    int prefix = pixels.Next();
    if (prefix < 0) {
        st.Output(st.eof);
        return w.Ok();
    }
    prefix &= st.clear - 1;
    int c;
    while ((c = pixels.Next()) >= 0) {
        c &= st.clear - 1;  // a pixel wider than the code size would alias a control code
        const int32_t key = (static_cast<int32_t>(c) << kMaxBits) + prefix;
        int slot = (c << kHashShift) ^ prefix;
        if (keys[slot] == key) {
            prefix = codes[slot];
            continue;
        }
        bool found = false;
        if (keys[slot] >= 0) {
            const int step = slot == 0 ? 1 : kTableSize - slot;
            do {
                slot -= step;
                if (slot < 0) slot += kTableSize;
                if (keys[slot] == key) {
                    found = true;
                    break;
                }
            } while (keys[slot] >= 0);
        }
        if (found) {
            prefix = codes[slot];
            continue;
        }
        st.Output(prefix);
        prefix = c;
        if (st.freeCode < kMaxMaxCode) {
            codes[slot] = static_cast<uint16_t>(st.freeCode++);
            keys[slot] = key;
        } else {
            // Table full: start a fresh dictionary rather than ever widening past 12 bits.
            std::fill(keys.begin(), keys.end(), -1);
            st.freeCode = st.clear + 2;
            st.clearPending = true;
            st.Output(st.clear);
        }
    }
    st.Output(prefix);
    st.Output(st.eof);
    return w.Ok();
}

bool CompressNone(int initBits, PixelSource& pixels, ByteSink& sink, CodeWriter* external) {
    if (!ValidInitBits(initBits)) return false;
    CodeWriter local(sink, 254);
    CodeWriter& w = external ? *external : local;
    CodeState st(initBits, w);

    st.Output(st.clear);
    int c;
    while ((c = pixels.Next()) >= 0) {
        st.Output(c & (st.clear - 1));
        // Every code sent grows a decoder's table by one entry; mirror it so the width and
        // the clears come exactly where the decoder expects them.
        if (st.freeCode > kMaxMaxCode - 1) {
            st.freeCode = st.clear + 2;
            st.clearPending = true;
            st.Output(st.clear);
        } else {
            ++st.freeCode;
        }
    }
    st.Output(st.eof);
    return w.Ok();
}

}  // namespace gwgif

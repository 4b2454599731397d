// LZW and uncompressed GIF coders.
#include "image/gif/gif_lzw_encoder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace gwgif {
namespace {

constexpr int kMaxBits = 12;
constexpr int kMaxMaxCode = 1 << kMaxBits;  // 4096: no code is ever this large

// The string table: open addressing over 8192 slots (at most 4096 strings, so never more than
// half full) with linear probing. A slot packs the string's key (its last pixel and its
// prefix code, 20 bits) above its own code (12 bits). No live slot can equal kEmpty: that
// would need the key (255, 4095) with code 4095, but a string with prefix 4095 can only be
// added after code 4095 is taken, when the table is full and starts afresh instead.
constexpr int kTableBits = 13;
constexpr uint32_t kTableMask = (1u << kTableBits) - 1;
constexpr uint32_t kEmpty = 0xFFFFFFFFu;

inline uint32_t SlotOf(uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kTableBits); }

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

    std::vector<uint32_t> table(size_t{1} << kTableBits, kEmpty);
    // Pixels are taken in batches, so the loop below makes no call per pixel.
    uint8_t batch[4096];
    int have = pixels.ReadUpTo(batch, static_cast<int>(sizeof batch));
    int at = 0;

    st.Output(st.clear);
    if (have <= 0) {
        st.Output(st.eof);
        return w.Ok();
    }
    const uint32_t pixelMask = static_cast<uint32_t>(st.clear - 1);  // a wider pixel would alias a control code
    uint32_t prefix = batch[at++] & pixelMask;
    for (;;) {
        if (at == have) {
            have = pixels.ReadUpTo(batch, static_cast<int>(sizeof batch));
            at = 0;
            if (have <= 0) break;
        }
        const uint32_t c = batch[at++] & pixelMask;
        const uint32_t key = (c << kMaxBits) | prefix;
        uint32_t slot = SlotOf(key);
        uint32_t entry;
        while ((entry = table[slot]) != kEmpty && (entry >> kMaxBits) != key) slot = (slot + 1) & kTableMask;
        if (entry != kEmpty) {
            prefix = entry & (kMaxMaxCode - 1);
            continue;
        }
        st.Output(static_cast<int>(prefix));
        prefix = c;
        if (st.freeCode < kMaxMaxCode) {
            table[slot] = (key << kMaxBits) | static_cast<uint32_t>(st.freeCode++);
        } else {
            // Table full: start a fresh dictionary rather than ever widening past 12 bits.
            std::fill(table.begin(), table.end(), kEmpty);
            st.freeCode = st.clear + 2;
            st.clearPending = true;
            st.Output(st.clear);
        }
    }
    st.Output(static_cast<int>(prefix));
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

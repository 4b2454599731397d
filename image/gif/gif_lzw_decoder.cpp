// GIF LZW decoder core.
#include "image/gif/gif_lzw_decoder.h"

#include <vector>

namespace gwgif {
namespace {

constexpr int kMaxCodes = 4096;

// Reads codes least significant bit first across data sub-blocks. Each sub-block is taken
// from the source in one piece, so the per-code work stays within this class.
class CodeReader {
public:
    explicit CodeReader(ByteSource& src) : src_(src) {}

    // The next code, kEndOfData at a 0 sub-block, or -1 when the input ends.
    static constexpr int kEndOfData = -2;
    int Next(int width) {
        while (bits_ < width) {
            if (pos_ == end_) {
                const int status = NextBlock();
                if (status != 0) return status;
            }
            acc_ |= static_cast<uint32_t>(block_[pos_++]) << bits_;
            bits_ += 8;
        }
        const int code = static_cast<int>(acc_ & ((1u << width) - 1));
        acc_ >>= width;
        bits_ -= width;
        return code;
    }

    // Drops every later sub-block up to the terminator (the current one is already read).
    bool SkipRest() {
        if (terminatorRead) return true;
        if (truncated_) return false;
        terminatorRead = SkipSubBlocks(src_);
        return terminatorRead;
    }

    bool terminatorRead = false;

private:
    // Loads the next sub-block: 0 when bytes are ready, kEndOfData at the terminator, -1 when
    // the input has ended (a sub-block cut short is used as far as it goes first).
    int NextBlock() {
        if (truncated_) return -1;
        const int len = src_.GetByte();
        if (len < 0) return -1;
        if (len == 0) {
            terminatorRead = true;
            return kEndOfData;
        }
        const int got = src_.ReadUpTo(block_, len);
        if (got < len) truncated_ = true;
        if (got == 0) return -1;
        pos_ = 0;
        end_ = got;
        return 0;
    }

    ByteSource& src_;
    uint32_t acc_ = 0;
    int bits_ = 0;
    int pos_ = 0;
    int end_ = 0;
    bool truncated_ = false;
    uint8_t block_[255];
};

}  // namespace

bool SkipSubBlocks(ByteSource& src) {
    for (;;) {
        const int len = src.GetByte();
        if (len < 0) return false;
        if (len == 0) return true;
        uint8_t dropped[255];
        if (src.ReadUpTo(dropped, len) < len) return false;
    }
}

LzwDecodeResult DecodeLzw(ByteSource& src, int lineWidth, LineSink& out, bool skipRest, uint8_t outOfRange) {
    LzwDecodeResult r;
    const int size = src.GetByte();
    if (size < 0) {
        r.status = -1;
        return r;
    }
    // Codes are at most 12 bits wide, and the first code is one bit wider than the size.
    if (size < 2 || size > 11) {
        r.status = -20;
        return r;
    }
    if (lineWidth < 1) lineWidth = 1;

    // Above 8 bits a root code can name a value no 8-bit pixel holds: it is handed out as
    // the caller's out-of-table index.
    auto pixel = [outOfRange, size](int root) {
        return static_cast<uint8_t>(root > 255 && root < (1 << size) ? outOfRange : root);
    };
    const int clear = 1 << size;
    const int end = clear + 1;
    const int firstFree = clear + 2;
    int width = size + 1;
    int nextSlot = firstFree;
    int topSlot = 1 << width;

    std::vector<uint8_t> suffix(kMaxCodes, 0);
    std::vector<uint16_t> prefix(kMaxCodes, 0);
    std::vector<uint8_t> stack(kMaxCodes + 2);
    std::vector<uint8_t> line(static_cast<size_t>(lineWidth) + 1);
    int fill = 0;
    bool wantMore = true;

    // Stack contents come out in reverse order of pushing; row boundaries can fall anywhere.
    auto emit = [&](int sp) {
        while (sp > 0 && wantMore) {
            // As many pixels as fit in the current row, in one pass.
            const int n = sp < lineWidth - fill ? sp : lineWidth - fill;
            uint8_t* dst = line.data() + fill;
            const uint8_t* top = stack.data() + sp;
            for (int i = 0; i < n; ++i) dst[i] = *--top;
            sp -= n;
            fill += n;
            r.pixels += n;
            if (fill == lineWidth) {
                if (out.PutLine(line.data(), fill) < 0) wantMore = false;
                fill = 0;
            }
        }
    };

    CodeReader reader(src);
    int oldCode = 0;
    int firstChar = 0;
    int c;
    while (wantMore) {
        c = reader.Next(width);
        if (c == -1) {
            r.status = -1;
            break;
        }
        if (c == CodeReader::kEndOfData || c == end) {
            r.sawEnd = true;
            break;
        }
        if (c == clear) {
            width = size + 1;
            nextSlot = firstFree;
            topSlot = 1 << width;
            do {
                c = reader.Next(width);
            } while (c == clear);
            if (c == -1) {
                r.status = -1;
                break;
            }
            if (c == CodeReader::kEndOfData || c == end) {
                r.sawEnd = true;
                break;
            }
            if (c >= nextSlot) {
                ++r.badCodes;
                c = 0;
            }
            oldCode = c;
            firstChar = pixel(c);
            stack[0] = static_cast<uint8_t>(firstChar);
            emit(1);
            continue;
        }

        int code = c;
        int sp = 0;
        if (code >= nextSlot) {
            // code == nextSlot is the one legitimate case: the string being defined right now.
            if (code > nextSlot) ++r.badCodes;
            stack[sp++] = static_cast<uint8_t>(firstChar);
            code = oldCode;
        }
        // Corrupt data can link entries into a cycle; a string never exceeds the table size.
        while (code >= firstFree && sp < kMaxCodes) {
            stack[sp++] = suffix[code];
            code = prefix[code];
        }
        if (code >= firstFree) {
            ++r.badCodes;
            code = 0;
        }
        firstChar = pixel(code);
        stack[sp++] = static_cast<uint8_t>(firstChar);
        if (nextSlot < kMaxCodes) {
            suffix[nextSlot] = static_cast<uint8_t>(firstChar);
            prefix[nextSlot] = static_cast<uint16_t>(oldCode);
            ++nextSlot;
        }
        if (nextSlot >= topSlot && width < 12) {
            topSlot <<= 1;
            ++width;
        }
        oldCode = c;
        emit(sp);
    }
    if (fill > 0 && wantMore) out.PutLine(line.data(), fill);
    r.terminatorRead = reader.terminatorRead;
    if (skipRest && r.status == 0) r.terminatorRead = reader.SkipRest();
    return r;
}

}  // namespace gwgif

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

// The string table: each code past the end code names a string, one pixel longer than the
// string of the code before it. Expanding a code writes its pixels onto a stack in reverse
// order; the table and stack are fixed-size whatever the codes say.
class StringTable {
public:
    StringTable(int size, uint8_t outOfRange)
        : size_(size), outOfRange_(outOfRange), clear_(1 << size), firstFree_(clear_ + 2) {
        Reset();
    }

    int Width() const { return width_; }
    int Clear() const { return clear_; }
    int End() const { return clear_ + 1; }
    const uint8_t* Stack() const { return stack_.data(); }

    // Back to the root codes only, as a clear code asks.
    void Reset() {
        width_ = size_ + 1;
        nextSlot_ = firstFree_;
        topSlot_ = 1 << width_;
    }

    // The first code after a clear names a root; anything else is counted as corrupt and read
    // as 0. Returns the number of pixels on the stack.
    int Restart(int c, int& badCodes) {
        if (c >= nextSlot_) {
            ++badCodes;
            c = 0;
        }
        oldCode_ = c;
        firstChar_ = Pixel(c);
        stack_[0] = static_cast<uint8_t>(firstChar_);
        return 1;
    }

    // Expands code c and defines the next string (the previous one plus c's first pixel),
    // widening the codes when the table reaches the current width's end. Returns the number
    // of pixels on the stack.
    int Expand(int c, int& badCodes) {
        int code = c;
        int sp = 0;
        if (code >= nextSlot_) {
            // code == nextSlot is the one legitimate case: the string being defined right now.
            if (code > nextSlot_) ++badCodes;
            stack_[sp++] = static_cast<uint8_t>(firstChar_);
            code = oldCode_;
        }
        // Corrupt data can link entries into a cycle; a string never exceeds the table size.
        while (code >= firstFree_ && sp < kMaxCodes) {
            stack_[sp++] = suffix_[code];
            code = prefix_[code];
        }
        if (code >= firstFree_) {
            ++badCodes;
            code = 0;
        }
        firstChar_ = Pixel(code);
        stack_[sp++] = static_cast<uint8_t>(firstChar_);
        if (nextSlot_ < kMaxCodes) {
            suffix_[nextSlot_] = static_cast<uint8_t>(firstChar_);
            prefix_[nextSlot_] = static_cast<uint16_t>(oldCode_);
            ++nextSlot_;
        }
        if (nextSlot_ >= topSlot_ && width_ < 12) {
            topSlot_ <<= 1;
            ++width_;
        }
        oldCode_ = c;
        return sp;
    }

private:
    // Above 8 bits a root code can name a value no 8-bit pixel holds: it is handed out as
    // the caller's out-of-table index.
    int Pixel(int root) const {
        return static_cast<uint8_t>(root > 255 && root < (1 << size_) ? outOfRange_ : root);
    }

    const int size_;
    const uint8_t outOfRange_;
    const int clear_;
    const int firstFree_;
    int width_ = 0;
    int nextSlot_ = 0;
    int topSlot_ = 0;
    int oldCode_ = 0;
    int firstChar_ = 0;
    std::vector<uint8_t> suffix_ = std::vector<uint8_t>(kMaxCodes, 0);
    std::vector<uint16_t> prefix_ = std::vector<uint16_t>(kMaxCodes, 0);
    std::vector<uint8_t> stack_ = std::vector<uint8_t>(kMaxCodes + 2);
};

// Gathers pixels into rows for the sink. Row boundaries can fall anywhere in a string.
class RowAssembler {
public:
    RowAssembler(LineSink& out, int lineWidth)
        : out_(out), lineWidth_(lineWidth), line_(static_cast<size_t>(lineWidth) + 1) {}

    bool WantMore() const { return wantMore_; }
    int64_t Pixels() const { return pixels_; }

    // Takes the sp pixels on top of the stack, last pushed first.
    void Put(const uint8_t* stack, int sp) {
        while (sp > 0 && wantMore_) {
            // As many pixels as fit in the current row, in one pass.
            const int n = sp < lineWidth_ - fill_ ? sp : lineWidth_ - fill_;
            uint8_t* dst = line_.data() + fill_;
            const uint8_t* top = stack + sp;
            for (int i = 0; i < n; ++i) dst[i] = *--top;
            sp -= n;
            fill_ += n;
            pixels_ += n;
            if (fill_ == lineWidth_) {
                if (out_.PutLine(line_.data(), fill_) < 0) wantMore_ = false;
                fill_ = 0;
            }
        }
    }

    // Hands out a row the data ended in the middle of, if rows are still wanted.
    void Finish() {
        if (fill_ > 0 && wantMore_) out_.PutLine(line_.data(), fill_);
    }

private:
    LineSink& out_;
    const int lineWidth_;
    std::vector<uint8_t> line_;
    int fill_ = 0;
    int64_t pixels_ = 0;
    bool wantMore_ = true;
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
    StringTable table(size, outOfRange);
    RowAssembler rows(out, lineWidth < 1 ? 1 : lineWidth);
    CodeReader reader(src);
    while (rows.WantMore()) {
        int c = reader.Next(table.Width());
        const bool restart = c == table.Clear();
        if (restart) {
            table.Reset();
            do {
                c = reader.Next(table.Width());
            } while (c == table.Clear());
        }
        if (c == -1) {
            r.status = -1;
            break;
        }
        if (c == CodeReader::kEndOfData || c == table.End()) {
            r.sawEnd = true;
            break;
        }
        const int sp = restart ? table.Restart(c, r.badCodes) : table.Expand(c, r.badCodes);
        rows.Put(table.Stack(), sp);
    }
    rows.Finish();
    r.pixels = rows.Pixels();
    r.terminatorRead = reader.terminatorRead;
    if (skipRest && r.status == 0) r.terminatorRead = reader.SkipRest();
    return r;
}

}  // namespace gwgif

// Run-length decoding for bitmap files. Codes come in byte pairs: a non-zero count repeats a
// value; a zero count escapes to end of line (0), end of bitmap (1), a cursor move (2, dx, dy)
// or a literal run (n >= 3, padded to a 16-bit boundary). The cursor is a row (from the
// bottom) and a position within it; every write is checked against the row and the image, so
// a hostile stream can neither write outside the pixels nor keep the decoder busy for longer
// than it takes to read its own bytes.
#include "image/bmp/bmp_rle.h"

#include "image/gw_file.h"

namespace gwbmp {
namespace {

// Reads the stream in blocks so that pairs of code bytes do not each cost a virtual call.
class CodeReader {
public:
    explicit CodeReader(GwFile* file) : file_(file) {}
    // Next byte, or -1 at the end of the stream.
    int Next() {
        if (at_ == filled_) {
            filled_ = file_ ? file_->Read(block_, 1, sizeof block_) : 0;
            at_ = 0;
            if (filled_ == 0) return -1;
        }
        return block_[at_++];
    }

private:
    GwFile* file_;
    uint8_t block_[4096];
    size_t filled_ = 0;
    size_t at_ = 0;
};

class Cursor {
public:
    explicit Cursor(const RleTarget& t) : t_(t) {}
    uint64_t row = 0;
    uint64_t pos = 0;  // bytes (RLE8) or pixels (RLE4) from the start of the row

    void PutByte(uint8_t v) {
        if (row < t_.height && pos < t_.rowBytes) t_.pixels[row * t_.rowBytes + pos] = v;
        ++pos;
    }
    void PutNibble(uint8_t v) {
        uint64_t byte = pos / 2;
        if (row < t_.height && byte < t_.rowBytes) {
            uint8_t& b = t_.pixels[row * t_.rowBytes + byte];
            b = (pos & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F))
                          : static_cast<uint8_t>((b & 0x0F) | (v << 4));
        }
        ++pos;
    }
    // The byte the next write lands in has left the row.
    bool PastRow(bool nibbles) const { return (nibbles ? pos / 2 : pos) >= t_.rowBytes; }

private:
    RleTarget t_;
};

// Shared escape handling; returns false when decoding must stop.
bool Escape(CodeReader& in, Cursor& at, int code) {
    switch (code) {
        case 0:
            at.pos = 0;
            ++at.row;
            return true;
        case 1:
            return false;
        case 2: {
            int dx = in.Next();
            int dy = in.Next();
            if (dx < 0 || dy < 0) return false;
            at.pos += static_cast<uint64_t>(dx);
            at.row += static_cast<uint64_t>(dy);
            return true;
        }
        default:
            return true;  // literal runs are handled by the caller
    }
}

}  // namespace

void DecodeRle8(GwFile* file, const RleTarget& target) {
    if (!target.pixels) return;
    CodeReader in(file);
    Cursor at(target);
    for (;;) {
        int count = in.Next();
        int value = in.Next();
        if (count < 0 || value < 0) return;
        if (count > 0) {
            for (int i = 0; i < count; ++i) {
                // A run may not spill into the next row; such a stream ends here.
                if (at.PastRow(false)) return;
                at.PutByte(static_cast<uint8_t>(value));
            }
            continue;
        }
        if (value < 3) {
            if (!Escape(in, at, value)) return;
            continue;
        }
        for (int i = 0; i < value; ++i) {
            int b = in.Next();
            if (b < 0) return;
            at.PutByte(static_cast<uint8_t>(b));
        }
        if ((value & 1) && in.Next() < 0) return;
    }
}

void DecodeRle4(GwFile* file, const RleTarget& target) {
    if (!target.pixels) return;
    CodeReader in(file);
    Cursor at(target);
    for (;;) {
        int count = in.Next();
        int value = in.Next();
        if (count < 0 || value < 0) return;
        if (count > 0) {
            // The run's pixels alternate between the value's high and low nibble, starting
            // with the high one wherever in the row the run begins.
            for (int i = 0; i < count; ++i) {
                if (at.PastRow(true)) return;
                at.PutNibble(static_cast<uint8_t>((i & 1) ? (value & 0x0F) : (value >> 4)));
            }
            continue;
        }
        if (value < 3) {
            if (!Escape(in, at, value)) return;
            continue;
        }
        int bytes = (value + 1) / 2;
        int b = 0;
        for (int i = 0; i < value; ++i) {
            if ((i & 1) == 0) {
                b = in.Next();
                if (b < 0) return;
            }
            at.PutNibble(static_cast<uint8_t>((i & 1) ? (b & 0x0F) : (b >> 4)));
        }
        if ((bytes & 1) && in.Next() < 0) return;
    }
}

}  // namespace gwbmp

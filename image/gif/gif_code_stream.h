// Byte-level plumbing shared by the GIF coders: where compressed bytes go, where pixels and
// stream bytes come from, and the writer that packs variable-width codes least significant
// bit first into length-prefixed data sub-blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class GwFile;

namespace gwgif {

// Receives finished bytes; false when they could not be stored (the coder keeps going but
// remembers the failure so the caller can report it).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Put(const uint8_t* bytes, size_t count) = 0;
};

// Collects bytes in memory (tests and staging).
class VectorSink : public ByteSink {
public:
    bool Put(const uint8_t* bytes, size_t count) override {
        data.insert(data.end(), bytes, bytes + count);
        return true;
    }
    std::vector<uint8_t> data;
};

// Writes through a GwFile.
class FileSink : public ByteSink {
public:
    explicit FileSink(GwFile* file) : file_(file) {}
    bool Put(const uint8_t* bytes, size_t count) override;

private:
    GwFile* file_;
};

// Hands out pixel indices in file order, then -1 for ever.
class PixelSource {
public:
    virtual ~PixelSource() = default;
    virtual int Next() = 0;
    // Hands out up to n indices at once; fewer (0 at the end) only when the pixels run out.
    virtual int ReadUpTo(uint8_t* dst, int n) {
        int i = 0;
        for (; i < n; ++i) {
            const int v = Next();
            if (v < 0) break;
            dst[i] = static_cast<uint8_t>(v);
        }
        return i;
    }
};

class VectorPixels : public PixelSource {
public:
    explicit VectorPixels(const std::vector<uint8_t>& px) : px_(px) {}
    int Next() override { return pos_ < px_.size() ? px_[pos_++] : -1; }
    int ReadUpTo(uint8_t* dst, int n) override {
        const size_t k = n < 0 ? 0 : (px_.size() - pos_ < static_cast<size_t>(n) ? px_.size() - pos_ : static_cast<size_t>(n));
        if (k) std::memcpy(dst, px_.data() + pos_, k);
        pos_ += k;
        return static_cast<int>(k);
    }

private:
    const std::vector<uint8_t>& px_;
    size_t pos_ = 0;
};

// Hands out stream bytes one at a time: 0..255, or -1 at the end of the data or on a read
// failure (and -1 again on every later call).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int GetByte() = 0;
    // Reads up to n bytes; returns how many there were (fewer only at the end of the data).
    // Sources that hold their bytes in memory hand them over in one copy.
    virtual int ReadUpTo(uint8_t* dst, int n) {
        int i = 0;
        for (; i < n; ++i) {
            const int b = GetByte();
            if (b < 0) break;
            dst[i] = static_cast<uint8_t>(b);
        }
        return i;
    }
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int GetByte() override { return pos_ < size_ ? data_[pos_++] : -1; }
    int ReadUpTo(uint8_t* dst, int n) override {
        const size_t k =
            n < 0 ? 0 : (size_ - pos_ < static_cast<size_t>(n) ? size_ - pos_ : static_cast<size_t>(n));
        if (k) std::memcpy(dst, data_ + pos_, k);
        pos_ += k;
        return static_cast<int>(k);
    }
    size_t Position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Packs codes into bytes and bytes into data sub-blocks of at most maxBlock bytes (254 for
// the LZW and uncompressed coders, 255 for the run-length coder). Codes are never wider than
// 12 bits; a wider request is a coder fault and is refused.
class CodeWriter {
public:
    CodeWriter(ByteSink& sink, int maxBlock);
    void Put(int code, int width) {
        if (width < 1 || width > 12 || code < 0 || code >= (1 << width)) {
            ok_ = false;
            return;
        }
        if (observe) observe(observeContext, code, width);
        acc_ |= static_cast<uint32_t>(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            PutByte(static_cast<uint8_t>(acc_ & 0xFF));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    // Sends the last partial byte and the pending sub-block (not the 0 terminator).
    void Finish();
    bool Ok() const { return ok_; }
    // Observer for tests: every code with the width it was sent at.
    void (*observe)(void* context, int code, int width) = nullptr;
    void* observeContext = nullptr;

private:
    void PutByte(uint8_t b) {
        block_[fill_++] = b;
        if (fill_ >= maxBlock_) FlushBlock();
    }
    void FlushBlock();

    ByteSink& sink_;
    int maxBlock_;
    uint32_t acc_ = 0;
    int bits_ = 0;
    uint8_t block_[256];
    int fill_ = 0;
    bool ok_ = true;
};

}  // namespace gwgif

// Buffered reading of a GwFile for the GIF decoder: byte-at-a-time access to a 16 KiB block
// of the stream, with the logical position kept so the stream can be left exactly after the
// last byte the decoder used.
#pragma once

#include <cstdint>

#include "image/gif/gif_code_stream.h"

class GwFile;

namespace gwgif {

class BufferedSource : public ByteSource {
public:
    explicit BufferedSource(GwFile* file);
    int GetByte() override;
    int ReadUpTo(uint8_t* dst, int n) override;
    // Reads exactly n bytes; false (position unspecified) when the stream ends first.
    bool Read(uint8_t* dst, int n);
    // Offset of the next byte to be handed out.
    long Tell() const { return base_ + index_; }
    // Moves to an absolute offset; false when the stream refuses.
    bool Seek(long offset);
    // Puts the stream at Tell(), giving back the bytes read ahead.
    void Release();

private:
    bool Refill();

    static constexpr int kSize = 16384;
    GwFile* file_;
    long base_ = 0;  // stream offset of buf_[0]
    int index_ = 0;
    int fill_ = 0;
    bool ended_ = false;
    uint8_t buf_[kSize];
};

}  // namespace gwgif

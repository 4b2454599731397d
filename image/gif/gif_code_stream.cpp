// Code packing and sub-block output shared by the three GIF coders.
#include "image/gif/gif_code_stream.h"

#include "image/gw_file.h"

namespace gwgif {

bool FileSink::Put(const uint8_t* bytes, size_t count) {
    if (!file_) return false;
    return count == 0 || file_->Write(bytes, 1, count) == count;
}

CodeWriter::CodeWriter(ByteSink& sink, int maxBlock)
    : sink_(sink), maxBlock_(maxBlock < 1 ? 1 : (maxBlock > 255 ? 255 : maxBlock)) {}

void CodeWriter::Finish() {
    if (bits_ > 0) PutByte(static_cast<uint8_t>(acc_ & 0xFF));
    acc_ = 0;
    bits_ = 0;
    FlushBlock();
}

void CodeWriter::FlushBlock() {
    if (fill_ == 0) return;
    uint8_t len = static_cast<uint8_t>(fill_);
    if (!sink_.Put(&len, 1) || !sink_.Put(block_, static_cast<size_t>(fill_))) ok_ = false;
    fill_ = 0;
}

}  // namespace gwgif

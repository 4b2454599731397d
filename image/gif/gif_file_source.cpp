// Buffered GIF stream reader.
#include "image/gif/gif_file_source.h"

#include <cstring>

#include "image/gw_file.h"

namespace gwgif {

BufferedSource::BufferedSource(GwFile* file) : file_(file) {
    base_ = file_ ? file_->Tell() : 0;
    if (base_ < 0) base_ = 0;
}

bool BufferedSource::Refill() {
    if (!file_ || ended_) return false;
    base_ += fill_;
    index_ = 0;
    fill_ = static_cast<int>(file_->Read(buf_, 1, kSize));
    if (fill_ <= 0) {
        fill_ = 0;
        ended_ = true;
        return false;
    }
    return true;
}

int BufferedSource::GetByte() {
    if (index_ >= fill_ && !Refill()) return -1;
    return buf_[index_++];
}

int BufferedSource::ReadUpTo(uint8_t* dst, int n) {
    int done = 0;
    while (done < n) {
        if (index_ >= fill_ && !Refill()) break;
        const int k = fill_ - index_ < n - done ? fill_ - index_ : n - done;
        std::memcpy(dst + done, buf_ + index_, static_cast<size_t>(k));
        index_ += k;
        done += k;
    }
    return done;
}

bool BufferedSource::Read(uint8_t* dst, int n) {
    return n <= 0 || ReadUpTo(dst, n) == n;
}

bool BufferedSource::Seek(long offset) {
    if (!file_ || offset < 0 || !file_->Seek(offset, 0)) return false;
    base_ = offset;
    index_ = fill_ = 0;
    ended_ = false;
    return true;
}

void BufferedSource::Release() {
    if (file_ && index_ < fill_) file_->Seek(Tell(), 0);
}

}  // namespace gwgif

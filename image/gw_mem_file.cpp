// GwMemFile: memory-backed byte stream. All size arithmetic is done in 64 bits and held to
// the stream's 32-bit positions, so no request can wrap around into a small allocation.
#include "image/gw_mem_file.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
const int64_t kMaxPosition = INT32_MAX;
const int64_t kGrowStep = 4096;

// size × count, saturated far above any block this stream can hold.
int64_t Product(size_t size, size_t count) {
    if (size == 0 || count == 0) return 0;
    if (count > static_cast<size_t>(INT64_MAX) / size) return INT64_MAX;
    return static_cast<int64_t>(size * count);
}
}  // namespace

GwMemFile::GwMemFile(BYTE* block, DWORD length)
    : buffer(block),
      size(length > kMaxPosition ? static_cast<DWORD>(kMaxPosition) : length),
      ownsBuffer(block == nullptr),
      position(0),
      capacity(static_cast<int32_t>(size)) {}

GwMemFile::GwMemFile(const GwMemFile& other)
    : GwFile(other), buffer(nullptr), size(0), ownsBuffer(true), position(0), capacity(0) {
    CopyFrom(other);
}

GwMemFile& GwMemFile::operator=(const GwMemFile& other) {
    if (this != &other) {
        Close();
        CopyFrom(other);
    }
    return *this;
}

void GwMemFile::CopyFrom(const GwMemFile& other) {
    size = other.size;
    ownsBuffer = other.ownsBuffer;
    position = other.position;
    capacity = other.capacity;
    buffer = other.buffer;
    if (!other.buffer || !other.ownsBuffer) return;
    // An owned block gets a private duplicate: sharing it would mean two owners.
    size_t bytes = other.capacity > 0 ? static_cast<size_t>(other.capacity) : 1;
    buffer = static_cast<BYTE*>(std::malloc(bytes));
    if (!buffer) {
        size = 0;
        position = 0;
        capacity = 0;
        return;
    }
    std::memcpy(buffer, other.buffer, other.capacity > 0 ? bytes : 0);
}

GwMemFile::~GwMemFile() { Close(); }

bool GwMemFile::Open() {
    if (buffer) return false;
    position = 0;
    size = 0;
    capacity = 0;
    buffer = static_cast<BYTE*>(std::malloc(1));
    ownsBuffer = true;
    return buffer != nullptr;
}

bool GwMemFile::Close() {
    if (buffer && ownsBuffer) {
        std::free(buffer);
        buffer = nullptr;
        size = 0;
    }
    return true;
}

void GwMemFile::Free() { Close(); }

BYTE* GwMemFile::GetBuffer(bool detach) {
    ownsBuffer = !detach;
    return buffer;
}

bool GwMemFile::Alloc(DWORD needed) {
    if (needed <= static_cast<DWORD>(capacity)) return true;
    int64_t grown = (static_cast<int64_t>(needed) / kGrowStep) * kGrowStep + kGrowStep;
    if (grown > kMaxPosition) grown = kMaxPosition;
    if (grown < static_cast<int64_t>(needed)) return false;
    BYTE* block;
    if (buffer && ownsBuffer) {
        block = static_cast<BYTE*>(std::realloc(buffer, static_cast<size_t>(grown)));
        if (!block) return false;  // realloc left the old block as it was
    } else {
        // A block the stream does not own is never resized in place: it may be the caller's
        // stack, a resource, or another allocator's memory. Its bytes move into a new block.
        block = static_cast<BYTE*>(std::malloc(static_cast<size_t>(grown)));
        if (!block) return false;
        if (buffer && capacity > 0) std::memcpy(block, buffer, static_cast<size_t>(capacity));
    }
    buffer = block;
    capacity = static_cast<int32_t>(grown);
    ownsBuffer = true;
    return true;
}

// Ensures the block covers [0, end) and that bytes between the old end of data and the
// current position read as zeros rather than whatever the allocator left there.
bool GwMemFile::Reserve(int64_t end) {
    if (end > kMaxPosition) return false;
    if (!Alloc(static_cast<DWORD>(end))) return false;
    if (position > static_cast<int64_t>(size)) std::memset(buffer + size, 0, static_cast<size_t>(position - size));
    return true;
}

size_t GwMemFile::Read(void* dst, size_t elementSize, size_t count) {
    int64_t wanted = Product(elementSize, count);
    if (!dst || !buffer || wanted == 0 || static_cast<int64_t>(position) >= static_cast<int64_t>(size)) return 0;
    int64_t available = static_cast<int64_t>(size) - position;
    int64_t bytes = wanted < available ? wanted : available;
    std::memcpy(dst, buffer + position, static_cast<size_t>(bytes));
    position += static_cast<int32_t>(bytes);
    return static_cast<size_t>(bytes) / elementSize;
}

size_t GwMemFile::Write(const void* src, size_t elementSize, size_t count) {
    int64_t bytes = Product(elementSize, count);
    if (!buffer || !src || bytes == 0) return 0;
    if (bytes > kMaxPosition) return 0;
    int64_t end = static_cast<int64_t>(position) + bytes;
    if (!Reserve(end)) return 0;
    std::memcpy(buffer + position, src, static_cast<size_t>(bytes));
    position = static_cast<int32_t>(end);
    if (static_cast<int64_t>(size) < end) size = static_cast<DWORD>(end);
    return count;
}

bool GwMemFile::Seek(long offset, int origin) {
    if (!buffer) return false;
    int64_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = position; break;
        case 2: base = size; break;
        default: return false;
    }
    // Both terms are far below 2^63 in magnitude once the offset is clamped, so the sum
    // cannot overflow.
    int64_t delta = offset;
    if (delta > kMaxPosition * 2) delta = kMaxPosition * 2;
    if (delta < -kMaxPosition * 2) delta = -kMaxPosition * 2;
    int64_t target = base + delta;
    if (target < 0) target = 0;
    if (target > kMaxPosition) return false;
    position = static_cast<int32_t>(target);
    return true;
}

long GwMemFile::Tell() { return buffer ? position : -1; }

long GwMemFile::Size() { return buffer ? static_cast<long>(size) : -1; }

bool GwMemFile::Flush() { return buffer != nullptr; }

bool GwMemFile::Eof() { return !buffer || static_cast<int64_t>(position) >= static_cast<int64_t>(size); }

long GwMemFile::Error() {
    if (!buffer) return -1;
    return static_cast<int64_t>(position) > static_cast<int64_t>(size) ? 1 : 0;
}

bool GwMemFile::PutC(unsigned char c) {
    if (!buffer) return false;
    int64_t end = static_cast<int64_t>(position) + 1;
    if (!Reserve(end)) return false;
    buffer[position] = c;
    position = static_cast<int32_t>(end);
    if (static_cast<int64_t>(size) < end) size = static_cast<DWORD>(end);
    return true;
}

long GwMemFile::GetC() {
    if (Eof()) return -1;
    return buffer[position++];
}

// The encoder's bit stream.
#include "encoder/bit_stream.h"

#include <cstring>

void BitStreamReset(BitStream* stream) {
    std::memset(stream->bits, '#', sizeof stream->bits);
    stream->count = 0;
    stream->head = 0;
    stream->overflow = 0;
}

bool BitStreamAppend(BitStream* stream, int64_t value, int32_t width) {
    // The head and the count together never exceed the capacity: appends go behind the bits
    // still present, and taken bits are not reused.
    if (width < 0 || width > 32 || stream->head + stream->count > QRCODE_BITSTREAM_CAPACITY - width) {
        stream->overflow = 1;
        return false;
    }
    char* out = stream->bits + stream->head + stream->count;
    const uint64_t bits = static_cast<uint64_t>(value);
    for (int32_t i = width - 1; i >= 0; --i) *out++ = ((bits >> i) & 1u) ? '1' : '0';
    stream->count += width;
    return true;
}

uint32_t BitsToInt(const char* bits, int32_t width) {
    uint32_t result = 0;
    for (int32_t i = 0; i < width; ++i) result = (result << 1) | (bits[i] == '1' ? 1u : 0u);
    return result;
}

uint32_t BitStreamTake(BitStream* stream, int32_t width) {
    if (width <= 0 || width > 32) return 0;
    const int32_t available = width < stream->count ? width : stream->count;
    if (available == 0) return 0;
    uint32_t result = BitsToInt(stream->bits + stream->head, available);
    if (available < width) result <<= (width - available);
    stream->head += available;
    stream->count -= available;
    return result;
}

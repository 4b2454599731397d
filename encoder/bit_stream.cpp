// The encoder's bit stream.
#include "encoder/bit_stream.h"

#include <cstring>

namespace {

// The stream text of every byte value: eight characters '0' or '1', most significant bit
// first. Appending copies whole bytes of text instead of deciding every bit on its own.
struct ByteTexts {
    char text[256][8];
};

constexpr ByteTexts BuildByteTexts() {
    ByteTexts t{};
    for (int v = 0; v < 256; ++v)
        for (int i = 0; i < 8; ++i) t.text[v][i] = ((v >> (7 - i)) & 1) ? '1' : '0';
    return t;
}

constexpr ByteTexts kByteTexts = BuildByteTexts();

// Eight characters of stream text as a byte, '1' as one and anything else as zero.
inline uint32_t EightBits(const char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, 8);
    v ^= 0x3131313131313131ull;  // a '1' becomes a zero byte
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const uint64_t zero = ~(((v & kLow7) + kLow7) | v | kLow7);  // 0x80 in exactly the zero bytes
    // Gathers bit 7 of byte i (the i-th character) into bit 7 - i of the top byte; every
    // partial product is a distinct power of two, so nothing carries.
    return static_cast<uint32_t>(((zero >> 7) * 0x8040201008040201ull) >> 56);
#else
    uint32_t result = 0;
    for (int i = 0; i < 8; ++i) result = (result << 1) | (p[i] == '1' ? 1u : 0u);
    return result;
#endif
}

}  // namespace

void BitStreamReset(BitStream* stream) {
    std::memset(stream->bits, '#', sizeof stream->bits);
    stream->count = 0;
    stream->head = 0;
    stream->overflow = 0;
}

void BitStreamRewind(BitStream* stream) {
    // Appends only ever write below head + count, so everything from there on still holds the
    // filler of the last reset.
    int32_t used = stream->head + stream->count;
    if (used < 0 || used > QRCODE_BITSTREAM_CAPACITY) used = QRCODE_BITSTREAM_CAPACITY;
    std::memset(stream->bits, '#', static_cast<size_t>(used));
    stream->count = 0;
    stream->head = 0;
    stream->overflow = 0;
}

void BitStreamStart(BitStream* stream) {
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
    // The leading width mod 8 bits first (the tail of their byte's text), then whole bytes.
    const int32_t lead = width % 8;
    if (lead) {
        std::memcpy(out, kByteTexts.text[(bits >> (width - lead)) & ((1u << lead) - 1)] + (8 - lead),
                    static_cast<size_t>(lead));
        out += lead;
    }
    for (int32_t shift = width - lead - 8; shift >= 0; shift -= 8) {
        std::memcpy(out, kByteTexts.text[(bits >> shift) & 0xFF], 8);
        out += 8;
    }
    stream->count += width;
    return true;
}

bool BitStreamAppendBytes(BitStream* stream, const int32_t* values, int32_t n) {
    const int32_t used = stream->head + stream->count;
    const int32_t room = used < QRCODE_BITSTREAM_CAPACITY ? (QRCODE_BITSTREAM_CAPACITY - used) / 8 : 0;
    const int32_t fit = n < room ? n : room;
    char* out = stream->bits + used;
    for (int32_t i = 0; i < fit; ++i) std::memcpy(out + 8 * i, kByteTexts.text[values[i] & 0xFF], 8);
    if (fit > 0) stream->count += 8 * fit;
    if (fit == n || n < 0) return true;
    stream->overflow = 1;
    return false;
}

void BitStreamTakeBytes(BitStream* stream, int32_t n, uint8_t* out) {
    const char* in = stream->bits + stream->head;
    for (int32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(EightBits(in + 8 * i));
    stream->head += 8 * n;
    stream->count -= 8 * n;
}

uint32_t BitsToInt(const char* bits, int32_t width) {
    uint32_t result = 0;
    int32_t i = 0;
    for (; i + 8 <= width; i += 8) result = (result << 8) | EightBits(bits + i);
    for (; i < width; ++i) result = (result << 1) | (bits[i] == '1' ? 1u : 0u);
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

// The small pixel-row arithmetic that the image core and every codec share: the stride of a
// 32-bit aligned row, palette indices in packed 1-, 4- and 8-bit rows (lowest x in the most
// significant bits), the grey level of a colour, bit counts of colour masks and little-endian
// fields of file headers. Internal to image/; sizes are 64-bit so no caller has to check for
// wrap-around on a 32-bit build.
#pragma once

#include <cstdint>

namespace gwpix {

// Bytes in one row of `width` pixels at `bitsPerPixel`, padded to a whole 32-bit word.
inline uint64_t RowStride(uint64_t width, uint64_t bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

// Palette index of pixel x in a packed row of 1, 4 or 8 bits per pixel (0 for other depths).
inline uint8_t GetIndex(const uint8_t* row, uint64_t x, unsigned bitsPerPixel) {
    switch (bitsPerPixel) {
        case 8: return row[x];
        case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
        default: return 0;
    }
}

// Stores a palette index (its low bits, as the depth holds them) into a packed row.
inline void PutIndex(uint8_t* row, uint64_t x, uint8_t index, unsigned bitsPerPixel) {
    switch (bitsPerPixel) {
        case 8: row[x] = index; break;
        case 4: {
            uint8_t& b = row[x >> 1];
            b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F))
                        : static_cast<uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
            break;
        }
        case 1: {
            uint8_t& b = row[x >> 3];
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
            b = (index & 1) ? static_cast<uint8_t>(b | bit) : static_cast<uint8_t>(b & ~bit);
            break;
        }
        default: break;
    }
}

// Grey level of a colour: 0.299 R + 0.587 G + 0.114 B in fixed point.
inline uint8_t GrayOf(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint8_t>((red * 306 + green * 601 + blue * 117) >> 10);
}

inline unsigned CountBits(uint32_t v) {
    unsigned n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t Be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

}  // namespace gwpix

// The one reader of the device-independent bitmap layout, shared by the bitmap file reader
// and the import of packed bitmaps from global memory: the info header (OS/2 core, Windows
// 40-byte and its longer successors), colour masks, colour table, and the pixel codings
// (uncompressed rows of 1, 2, 4, 8 and 24 bits, run-length coded 8- and 4-bit rows, 16- and
// 32-bit rows with any contiguous colour masks, an alpha mask included). The callers differ
// only in where the bytes come from and in how they treat data that ends early.
// Internal to image/.
#pragma once

#include <cstdint>

#include "platform/win32.h"

class GwImage;

namespace gwdib {

// Messages shared by both callers.
extern const char kCompressionNotSupported[];  // "compression type not supported"
extern const char kUnknownCompression[];        // "unknown compression"
extern const char kBitCountNotSupported[];      // "bit count not supported"
extern const char kMasksNotSupported[];         // "bit field masks not supported"

enum class Coding { Raw, Rle8, Rle4, Fields };

struct Layout {
    uint32_t headerSize = 0;
    bool core = false;         // 12-byte header: 16-bit sizes, 3-byte table entries
    int64_t width = 0;
    int64_t height = 0;        // always positive; topDown says how the rows are ordered
    bool topDown = false;
    uint32_t planes = 1;
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;   // as the header says (0: the default for the bit count)
    uint64_t tableEntries = 0; // entries the colour table holds
    uint64_t entryBytes = 4;
    // Bytes of colour masks right after a 40-byte header (12, or 16 with alpha); longer
    // headers carry their masks inside.
    uint64_t maskBytes = 0;
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    Coding coding = Coding::Raw;
    unsigned depth = 0;        // depth of the image the picture is read into: 1, 4, 8 or 24

    uint64_t TableOffset() const { return static_cast<uint64_t>(headerSize) + maskBytes; }
    uint64_t PixelOffset() const { return TableOffset() + tableEntries * entryBytes; }
    // Bytes of pixel data an uncompressed (or bit-field) picture of this layout holds.
    uint64_t RowBytes() const;
    uint64_t DataBytes() const { return RowBytes() * static_cast<uint64_t>(height); }
    bool HasAlpha() const { return coding == Coding::Fields && masks[3] != 0; }
};

// True for the header sizes this reader understands (12, or 40 to 1024 bytes).
bool HeaderSizeAccepted(uint32_t size);

// Reads the info header at `head` (at least the size its first four bytes declare). Fills
// everything but the masks that follow a 40-byte header (maskBytes says how many) and
// refuses bit counts and codings it cannot read. nullptr on success, else the message.
const char* ParseHeader(const uint8_t* head, uint64_t headBytes, Layout* layout);

// Takes the colour masks: from `after` (the maskBytes bytes after a 40-byte header; may be
// null when there are none), from inside the header, or the defaults of the bit count; and
// refuses masks that are not contiguous, overlap, or leave the pixel. nullptr on success.
const char* ParseMasks(const uint8_t* head, const uint8_t* after, Layout* layout);

// Makes `image` ready for the picture: Create at the layout's size and depth with `type`,
// resolution left to the caller, palette from `table` (tableBytes of it; entries beyond 256
// stepped over; reserved bytes kept only when keepReserved), pixels zeroed, an alpha plane
// when the layout has an alpha mask. false when Create fails (its message stands).
bool Prepare(GwImage& image, const Layout& layout, const uint8_t* table, uint64_t tableBytes, DWORD type,
             bool keepReserved);

// Decodes `dataBytes` of pixel data into the prepared image. Pixels the data do not reach
// stay zero; nothing is written outside the image. Bit-field data may come in pieces: the
// data then starts at row firstRow (counted in file order). Returns false when the data ended
// before the picture did (run-length codes that stop short, or rows missing beyond the last
// row's padding).
bool DecodePixels(GwImage& image, const Layout& layout, const uint8_t* data, uint64_t dataBytes,
                  uint64_t firstRow = 0);

// Turns a top-down picture upright and drops an alpha plane that is zero everywhere (writers
// that fill the fourth byte with nothing still name an alpha mask).
void Finish(GwImage& image, const Layout& layout);

}  // namespace gwdib

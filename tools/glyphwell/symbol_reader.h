// Reading symbols back before they are trusted: a picture is handed to an independent QR reader
// (zxing-cpp, when the program was built with it) and what it found is measured: the text, the
// level, the version, the module size, the quiet zone and the contrast.
#pragma once

#include <string>

class GwImage;

namespace gwcli {

struct SymbolReading {
    bool found = false;
    std::string error;      // why nothing was read, when !found
    std::string bytes;      // the symbol's data bytes
    std::string level;      // "L", "M", "Q" or "H" as the reader reports it; "" when it does not
    int version = 0;        // measured from the picture; 0 when the measure fails
    double moduleSize = 0;  // pixels per module, from the top left finder pattern
    double quietZone = 0;   // light modules between the symbol and the nearest picture edge
    double contrast = 0;    // (light - dark) / 255 of the grey levels at the finder, in percent
};

// True when the program has a QR reader: built with zxing-cpp, and its reader module loads.
bool HaveSymbolReader();

// Why there is no reader ("this program was built without a QR reader (zxing-cpp)" or that its
// module could not be loaded), or "" when there is one.
std::string SymbolReaderMissing();

// Reads the first QR Code symbol in `image` (any depth; transparent pixels count as the
// palette's colour). Without a reader, found is false and error says so.
SymbolReading ReadSymbol(const GwImage& image);

}  // namespace gwcli

#include "tools/glyphwell/symbol_writer.h"

namespace gwcli {

// encode --verify and batch --verify: reads back the picture of the symbol as `format` draws it,
// the very picture for PNG, GIF and BMP and the opaque 1-bit picture of the same modules for the
// others, and compares its bytes with made.data. "" when they match, else why not ("the symbol
// does not read back: ..." or "... reads back as other text").
std::string CheckReadsBack(const MadeSymbol& made, SymbolFormat format);

}  // namespace gwcli

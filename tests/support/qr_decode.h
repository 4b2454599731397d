// Test helpers that read our QR Code symbols back with two independent decoders, libzbar and
// ZXing: from a symbol matrix, from a grid of modules, from an 8-bit grey raster, or from an
// image file on disk (PNG, GIF, BMP, anything ImageMagick reads).
//
// Typical use:
//     GreyImage img = RasteriseSymbol(*matrix);          // 4-module quiet zone, 4 px per module
//     DecodeResult z = DecodeWithZbar(img), x = DecodeWithZxing(img);
//     EXPECT_TRUE(z.ok); EXPECT_EQ(z.bytes, text);
#pragma once

#include <string>

#include "tests/support/symbol_art.h"

namespace gwtest {

// What a decoder made of a raster. `bytes` are the symbol's data bytes as stored (byte-mode
// bytes untouched, kanji as Shift-JIS byte pairs, ECI and FNC1 headers not included);
// `error` says why decoding failed when ok is false.
struct DecodeResult {
    bool ok = false;
    std::string bytes;
    std::string error;
    // ZXing only: the data as transmitted under the ECI protocol, each ECI header in the data
    // shown as a backslash and its six-digit number ("\\000026") where the reader switched.
    std::string bytesEci;
};

// Decodes the first QR Code symbol found in the raster.
DecodeResult DecodeWithZbar(const GreyImage& image);
DecodeResult DecodeWithZxing(const GreyImage& image);

// The characters each decoder reads from the first symbol, as UTF-8 in `bytes`: the decoder's
// own interpretation of the data (ECI headers honoured, its default character set otherwise).
DecodeResult ReadTextWithZbar(const GreyImage& image);
DecodeResult ReadTextWithZxing(const GreyImage& image);

// Loads any image file as grey pixels (transparency flattened onto white) through ImageMagick.
// Returns false, with a reason in *error when given, if the file cannot be read.
bool LoadGreyImage(const std::string& path, GreyImage* image, std::string* error = nullptr);

// Decodes an image file: with the zbarimg program, and with ZXing on the pixels LoadGreyImage
// obtains.
DecodeResult DecodeFileWithZbarimg(const std::string& path);
DecodeResult DecodeFileWithZxing(const std::string& path);

// Runs a shell command and returns its standard output (binary safe); *status receives the
// exit status (or -1 if the command could not be started).
std::string RunCommand(const std::string& command, int* status);

// Quotes a string for use as one word of a POSIX shell command.
std::string ShellQuote(const std::string& word);

}  // namespace gwtest

// Symbols out of the command line: the style that `encode` and `batch` share (one option table
// for both), the one road from a text to a symbol value, and the writers for every output
// format: 1-bit or full-colour PNG, GIF and BMP pictures through the rasteriser and the image
// library, SVG, and text symbols for terminals.
#pragma once

#include <string>
#include <vector>

#include "encoder/symbol.h"
#include "picture/symbol_picture.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/symbol_size.h"

class GwImage;

namespace gwcli {

enum class SymbolFormat { kNone, kPng, kGif, kBmp, kSvg, kEps, kPdf, kUtf8, kAscii };

// The format named "png", "gif", "bmp", "svg", "eps", "pdf", "utf8" or "ascii" (any case); kNone
// otherwise.
SymbolFormat SymbolFormatFromName(const std::string& name);
// The --format option's reader: one of the names above.
Apply FormatOption(SymbolFormat* out);
// Formats written as files (pictures, SVG, EPS and PDF), as opposed to text symbols.
inline bool IsFileFormat(SymbolFormat f) {
    return f == SymbolFormat::kPng || f == SymbolFormat::kGif || f == SymbolFormat::kBmp ||
           f == SymbolFormat::kSvg || f == SymbolFormat::kEps || f == SymbolFormat::kPdf;
}
// Formats written as pixels (PNG, GIF, BMP).
inline bool IsPictureFormat(SymbolFormat f) {
    return f == SymbolFormat::kPng || f == SymbolFormat::kGif || f == SymbolFormat::kBmp;
}
// File name ending for a format ("png"); "txt" for the text symbols.
const char* FormatExtension(SymbolFormat f);

// Everything that decides what a symbol is and how it looks, as the options set them.
struct SymbolStyle {
    QRCodeRequest request;      // the symbol's choices; its data is set per text (SymbolInput)
    bool fixedVersion = false;  // exactly request.minVersion instead of searching upwards
    bool tilde = false;         // expand ~~, ~dNNN and ~eNNNNNN escapes in the text
    bool bytesAsGiven = false;  // --bytes-as-given: the text's bytes go into the symbol untouched
    GwSymbolLook look;          // module size, margin, colours; transparent is --background none,
                                // depth 1 (two-colour symbols as 1-bit pictures) or 24
    bool invert = false;        // text symbols: light modules printed, for light-on-dark terminals
    PrintSize size;             // --size and --dpi
};

// The data of one symbol and the request that reads it: request.data and request.eciMarks
// point into this object, which therefore is neither copied nor moved.
struct SymbolInput {
    std::string bytes;                 // what the symbol holds, after escapes
    std::vector<QRCodeEciMark> marks;  // the ~e escapes' character-set switches
    QRCodeRequest request;

    SymbolInput() = default;
    SymbolInput(const SymbolInput&) = delete;
    SymbolInput& operator=(const SymbolInput&) = delete;
};

// The request for `text` (any bytes, '#' and NUL included) under the style. Text that is UTF-8
// follows the control's rule: with no --eci, text ISO 8859-1 holds goes as those bytes (what
// readers assume without an ECI) and any other as UTF-8 behind ECI 26; in kanji mode as Shift
// JIS. With --eci, with --bytes-as-given, or when the text is no UTF-8 (a Shift JIS file,
// binary data), the bytes go as given. With --tilde the escapes are expanded last.
void FillInput(const SymbolStyle& style, const std::string& text, SymbolInput* input);

// The option rows for the symbol and its look, shared by every command that makes symbols.
// The rows keep pointers into *style, which must outlive the table.
std::vector<Option> SymbolOptions(SymbolStyle* style);

// Checks the style against the output format (e.g. transparency needs PNG, GIF, SVG, EPS or PDF,
// a physical size a picture or print file);
// "" when they go together, else the usage message.
std::string CheckStyle(const SymbolStyle& style, SymbolFormat format);

// One symbol of the command line, ready to write.
struct MadeSymbol {
    QRCodeSymbol symbol;
    GwSymbolLook look;    // the style's look, its module size fitted to --size for pictures
    std::string data;     // the bytes the symbol holds, for reading it back
    std::string warning;  // "" or why the picture misses the size asked
};

// Encodes `text` under the style, once, with the encoder's diagnostic lines when `traced`, and
// fits the look to the style's size when `format` is a picture format. False with the one-line
// reason in *error when the text cannot be encoded: the value API's description of its error
// (a byte a forced mode cannot hold, noted as counted after ~ escapes when they are on) or, for
// a text too long, the versions it does not fit and by how many bits.
bool MakeSymbol(const SymbolStyle& style, SymbolFormat format, const std::string& text, bool traced,
                MadeSymbol* made, std::string* error);

// The symbol as text: two module rows per line in half blocks (utf8), or two characters per
// module (ascii), inside a light quiet zone four modules wide; each line ends in '\n'.
std::string SymbolText(const QRCodeSymbol& symbol, SymbolFormat format, bool invert);

// The symbol as an SVG document: the viewBox is measured in modules, the margin is the picture
// margin in modules (margin / pixelSize), width and height are the picture's pixels, or
// `length` ("25mm") when one is given. With look.transparent neither margin nor light modules
// are drawn.
std::string SymbolSvg(const QRCodeSymbol& symbol, const GwSymbolLook& look, const std::string& length = "");

// Makes the picture of the symbol in *image through the rasteriser, in as few bits as the
// format and look allow: 1-bit palette for two colours unless look.depth is 24; otherwise 24
// bits, reduced to an exact 8-bit palette for GIF (a true-colour GIF would be a mosaic of
// 256-colour tiles) and for a transparent picture. Transparency is palette entry 0, the light
// modules and the margin. False with the reason in *error.
bool SymbolPicture(const QRCodeSymbol& symbol, const GwSymbolLook& look, SymbolFormat format, GwImage* image,
                   std::string* error);

// Writes the symbol to `path` in a file format, whole or not at all (WriteOutput, so "-" is
// standard output): SVG, EPS, PDF and text symbols from the modules, pictures through
// SymbolPicture. EPS and PDF are style.size when it is asked; pictures carry its resolution when
// a size or --dpi is asked. False with the reason in *error.
bool WriteSymbolFile(const MadeSymbol& made, const SymbolStyle& style, SymbolFormat format,
                     const std::string& path, std::string* error);

}  // namespace gwcli

// Symbols out of the command line: the settings that `encode` and `batch` share (one option
// table for both), and the writers for every output format: 1-bit or full-colour PNG, GIF and
// BMP pictures through the renderer and the image library, SVG, and text symbols for terminals.
#pragma once

#include <string>
#include <vector>

#include "encoder/matrix.h"
#include "encoder/settings.h"
#include "encoder/symbol.h"
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

// Everything that decides what a symbol looks like, as the options set it.
struct SymbolStyle {
    QRCodeSettings settings;  // text left empty; reset to the encoder's defaults
    bool fixedVersion = false;
    bool tilde = false;
    bool transparent = false;  // --background none: light modules and margin left transparent
    int depth = 1;             // 1: two-colour symbols as 1-bit palette pictures; 24: full colour
    bool invert = false;       // text symbols: light modules printed, for light-on-dark terminals
    PrintSize size;            // --size and --dpi
    bool bytesAsGiven = false; // --bytes-as-given: the text's bytes go into the symbol untouched

    SymbolStyle();
    // Copies the style into a record holding `text` (at most QRCODE_TEXT_MAX bytes) and returns
    // the number of bytes the text became. Text that is UTF-8 follows the control's rule: with
    // no --eci, text ISO 8859-1 holds goes as those bytes (what readers assume without an ECI)
    // and any other as UTF-8 behind ECI 26; in kanji mode as Shift JIS. With --eci, with
    // --bytes-as-given, or when the text is no UTF-8 (a Shift JIS file, binary data), the bytes
    // go as given.
    size_t Fill(const std::string& text, QRCodeSettings* out) const;
};

// The option rows for the symbol and its look, shared by every command that makes symbols.
// The rows keep pointers into *style, which must outlive the table.
std::vector<Option> SymbolOptions(SymbolStyle* style);

// Checks the style against the output format (e.g. transparency needs PNG, GIF, SVG, EPS or PDF,
// a physical size a picture or print file);
// "" when they go together, else the usage message.
std::string CheckStyle(const SymbolStyle& style, SymbolFormat format);

// The record ends a text at its first run of ten '#', and trailing '#' merge with the filler:
// for a text of `textSize` bytes filled into `settings`, the warning that says how much is
// encoded ("only the first K of N bytes are encoded ('#' end mark)"), or "" when all of it is.
std::string EndMarkWarning(const QRCodeSettings& settings, size_t textSize);

// Why a record cannot be encoded, as one line without the program's prefix: a byte its forced
// mode cannot hold, or the versions it does not fit and by how many bits. The first form takes
// the error of the failed run (QRCodeMakeSymbolExplained); the second runs the record again.
std::string WhyNotEncodable(const QRCodeSettings& settings, const QRCodeError& why);
std::string WhyNotEncodable(QRCodeSettings* settings);

// The symbol as text: two module rows per line in half blocks (utf8), or two characters per
// module (ascii), inside a light quiet zone four modules wide; each line ends in '\n'.
std::string SymbolText(const SymbolMatrix& m, SymbolFormat format, bool invert);

// The symbol as an SVG document: the viewBox is measured in modules, the margin is the picture
// margin in modules (margin / pixelSize), width and height are the picture's pixels, or
// `length` ("25mm") when one is given.
std::string SymbolSvg(const SymbolMatrix& m, const QRCodeSettings& settings, bool transparent,
                      const std::string& length = "");

// Makes the picture of the symbol of `settings` in *image in as few bits as the format and
// style allow (1-bit palette for two colours unless style.depth is 24). Two-colour pictures
// are painted from the module matrix (`matrix` when the caller has the symbol already, else
// encoded here); the others take the renderer's road. False with the reason in *error: why
// the text cannot be encoded (as WhyNotEncodable) or the picture made.
bool SymbolPicture(QRCodeSettings* settings, const SymbolStyle& style, SymbolFormat format, GwImage* image,
                   std::string* error, const SymbolMatrix* matrix = nullptr);

// The same picture by the renderer's road: the renderer encodes the text again and paints a
// screen bitmap, which is copied and reduced to as few bits as SymbolPicture gives. Silence
// the diagnostic sink first if its lines were already shown.
bool RenderedSymbolPicture(QRCodeSettings* settings, const SymbolStyle& style, SymbolFormat format, GwImage* image,
                           std::string* error);

// Writes the symbol of `settings` (known to encode; `m` is its matrix) to `path` in a file
// format, whole or not at all (WriteOutput, so "-" is standard output): SVG, EPS, PDF and text
// symbols from `m`, pictures through SymbolPicture. EPS and PDF are style.size when it is asked;
// pictures carry its resolution when a size or --dpi is asked (fit the module size to it first
// with FitPictureToSize). False with the reason in *error.
bool WriteSymbolFile(QRCodeSettings* settings, const SymbolMatrix& m, const SymbolStyle& style,
                     SymbolFormat format, const std::string& path, std::string* error);

}  // namespace gwcli

#include "tools/glyphwell/symbol_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "control/symbol_text.h"
#include "encoder/pipeline.h"
#include "encoder/render.h"
#include "image/gw_image.h"
#include "tools/glyphwell/output.h"
#include "tools/glyphwell/symbol_raster.h"
#include "tools/glyphwell/symbol_vector.h"

namespace gwcli {
namespace {

constexpr int kQuietZone = 4;  // modules of light border around text symbols

bool DarkAt(const SymbolMatrix& m, int x, int y) {
    return x >= 0 && y >= 0 && x < m.width && y < m.height && QRCodeIsDark(QRCodeGetCell(&m, x, y));
}

std::string HexColour(uint32_t bgr) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(bgr & 0xFF),
                  static_cast<unsigned>((bgr >> 8) & 0xFF), static_cast<unsigned>((bgr >> 16) & 0xFF));
    return text;
}

// Puts the rendered picture into as few bits as its colours allow. The renderer paints dark
// modules, light modules and a white margin: with a white background (or no margin) that is
// two colours, written as a 1-bit palette picture. Otherwise GIF gets an exact 8-bit palette
// (a true-colour GIF would be a mosaic of 256-colour tiles) and PNG and BMP stay full colour.
bool ReduceColours(GwImage& image, const QRCodeSettings& s, const SymbolStyle& style, SymbolFormat format,
                   std::string* error) {
    RGBQUAD palette[256];
    for (RGBQUAD& entry : palette) entry = RGBQUAD{255, 255, 255, 0};
    SymbolPalette(s, palette);
    DWORD bits = 0;
    if (style.depth == 1 && IsTwoColourPicture(s))
        bits = 1;
    else if (format == SymbolFormat::kGif || style.transparent)
        bits = 8;
    if (!bits) return true;
    if (!image.DecreaseBpp(bits, false, palette)) {
        *error = std::string("cannot reduce the symbol to a palette: ") + image.GetLastError();
        return false;
    }
    // The light entry (and with it the white margin, which maps to it) becomes transparent.
    if (style.transparent) image.SetTransIndex(0);
    return true;
}

}  // namespace

SymbolFormat SymbolFormatFromName(const std::string& name) {
    static const struct {
        const char* name;
        SymbolFormat format;
    } kNames[] = {{"png", SymbolFormat::kPng},   {"gif", SymbolFormat::kGif},    {"bmp", SymbolFormat::kBmp},
                  {"svg", SymbolFormat::kSvg},   {"eps", SymbolFormat::kEps},    {"pdf", SymbolFormat::kPdf},
                  {"utf8", SymbolFormat::kUtf8}, {"ascii", SymbolFormat::kAscii}};
    for (const auto& n : kNames)
        if (SameName(name, n.name)) return n.format;
    return SymbolFormat::kNone;
}

Apply FormatOption(SymbolFormat* out) {
    return [out](const std::string& value) -> std::string {
        const SymbolFormat format = SymbolFormatFromName(value);
        if (format == SymbolFormat::kNone) return "takes png, gif, bmp, svg, eps, pdf, utf8 or ascii";
        *out = format;
        return "";
    };
}

const char* FormatExtension(SymbolFormat f) {
    switch (f) {
        case SymbolFormat::kPng:
            return "png";
        case SymbolFormat::kGif:
            return "gif";
        case SymbolFormat::kBmp:
            return "bmp";
        case SymbolFormat::kSvg:
            return "svg";
        case SymbolFormat::kEps:
            return "eps";
        case SymbolFormat::kPdf:
            return "pdf";
        default:
            return "txt";
    }
}

SymbolStyle::SymbolStyle() {
    QRCodeResetSettings(&settings);
}

size_t SymbolStyle::Fill(const std::string& text, QRCodeSettings* out) const {
    *out = settings;
    if (fixedVersion) out->autoConfigurate = 0;
    if (tilde) out->processTilde = 1;
    std::string bytes = text;
    const GwOleString wide = GwWideFromUtf8(text);
    const bool utf8 = GwUtf8FromWide(wide.data(), wide.size()) == text;
    if (!bytesAsGiven && utf8 && settings.eciMode < 0) {
        GlyphwellSymbolText symbol;
        std::string why;
        // A text the rule cannot carry (a character Shift JIS lacks, in kanji mode) goes as
        // given, and the encoder says what it cannot hold.
        if (GlyphwellSymbolBytes(wide.data(), wide.size(), -1, static_cast<short>(settings.encodeMode), &symbol, &why)) {
            bytes = symbol.bytes;
            if (symbol.eciAdded) out->eciMode = kGlyphwellUtf8Eci;
        }
    }
    const size_t n = bytes.size() < sizeof out->text ? bytes.size() : sizeof out->text;
    std::memcpy(out->text, bytes.data(), n);
    return bytes.size();
}

std::vector<Option> SymbolOptions(SymbolStyle* style) {
    QRCodeSettings* s = &style->settings;
    return {
        {nullptr, nullptr, "symbol:", nullptr},
        {"--symbol-version", "N", "version 1-40 to use, or to start the search from (1)",
         Integer(1, 40, &s->preferredVersion)},
        {"--fixed-version", nullptr, "use exactly --symbol-version instead of searching upwards",
         Flag(&style->fixedVersion)},
        {"--level", "L|M|Q|H", "error-correction level (H)",
         Choice<int32_t>({{"L", 0}, {"M", 1}, {"Q", 2}, {"H", 3}}, &s->correctionLevel)},
        {"--mode", "MODE", "alphanumeric, byte, numeric, kanji or auto (byte)",
         Choice<int32_t>({{"alphanumeric", QRCODE_MODE_ALPHANUMERIC},
                          {"byte", QRCODE_MODE_BYTE},
                          {"numeric", QRCODE_MODE_NUMERIC},
                          {"kanji", QRCODE_MODE_KANJI},
                          {"auto", QRCODE_MODE_AUTOMATIC}},
                         &s->encodeMode)},
        {"--eci", "N", "write an ECI header with assignment number N (0-999999); the text goes as given",
         Integer(0, 999999, &s->eciMode)},
        {"--bytes-as-given", nullptr, "put the text's bytes in the symbol untouched (no Latin-1, Shift JIS or UTF-8 ECI)",
         Flag(&style->bytesAsGiven)},
        {"--fnc1", "none|first|second", "FNC1 indicator (none)",
         Choice<int32_t>({{"none", 0}, {"first", 1}, {"second", 2}}, &s->fnc1Mode)},
        {"--application-indicator", "N", "application indicator 0-255 for --fnc1 second",
         Integer(0, 255, &s->applicationIndicator)},
        {"--structured-append", "POS/TOTAL", "symbol POS of TOTAL (1-16) in a structured append",
         [s](const std::string& v) {
             long position = 0, total = 0;
             const size_t slash = v.find('/');
             if (slash == std::string::npos || !ParseInteger(v.substr(0, slash), 1, 16, &position) ||
                 !ParseInteger(v.substr(slash + 1), 1, 16, &total) || position > total)
                 return "takes POS/TOTAL with 1 <= POS <= TOTAL <= 16";
             s->structuredAppend = 1;
             s->appendPosition = static_cast<int32_t>(position);
             s->appendTotal = static_cast<int32_t>(total);
             return "";
         }},
        {"--tilde", nullptr, "expand ~~, ~dNNN and ~eNNNNNN escapes in the text", Flag(&style->tilde)},
        {nullptr, nullptr, "look:", nullptr},
        {"--margin", "N", "white border in pixels, 0-255 (10)", Integer(0, 255, &s->margin)},
        {"--pixel-size", "N", "pixels per module, 0-255 (3)", Integer(0, 255, &s->pixelSize)},
        {"--foreground", "RRGGBB", "colour of dark modules (000000)", Colour(&s->foregroundColor)},
        {"--background", "RRGGBB|none", "colour of light modules (FFFFFF); none: transparent",
         [style, s](const std::string& v) {
             style->transparent = SameName(v, "none");
             if (style->transparent) {
                 s->backgroundColor = 0xFFFFFF;
                 return std::string();
             }
             return Colour(&s->backgroundColor)(v);
         }},
        {"--depth", "1|24", "1: two-colour pictures as 1-bit palette files (default); 24: full colour",
         Choice<int>({{"1", 1}, {"24", 24}}, &style->depth)},
        {"--invert", nullptr, "text symbols: print light modules, for light-on-dark terminals",
         Flag(&style->invert)},
        {"--size", "LENGTH", "side with the margin: 25mm, 2.5cm, 1in or 300px (sets the module size)",
         SizeOption(&style->size)},
        {"--dpi", "N", "resolution, kept in PNG and BMP files, 1-100000 (300 for eps, pdf; else 96)",
         Integer(1, 100000, &style->size.dpi)},
    };
}

std::string CheckStyle(const SymbolStyle& style, SymbolFormat format) {
    if (style.transparent &&
        (format == SymbolFormat::kBmp || format == SymbolFormat::kUtf8 || format == SymbolFormat::kAscii))
        return "--background none needs a PNG, GIF, SVG, EPS or PDF output";
    if ((style.size.Asked() || style.size.dpi) && !IsFileFormat(format)) return "--size and --dpi need a file output";
    return "";
}

std::string EndMarkWarning(const QRCodeSettings& settings, size_t textSize) {
    const int32_t kept = QRCodeTextLength(&settings);
    if (static_cast<size_t>(kept) >= textSize) return "";
    return "only the first " + std::to_string(kept) + " of " + std::to_string(textSize) +
           " bytes are encoded ('#' end mark)";
}

std::string WhyNotEncodable(const QRCodeSettings& settings, const QRCodeError& why) {
    static const char kLevels[] = "LMQH";
    if (why.kind == QRCODE_ERROR_UNENCODABLE)
        return QRCodeDescribeError(why, settings.correctionLevel) + (settings.processTilde ? " (after ~ escapes)" : "");
    if (why.kind != QRCODE_ERROR_TOO_LONG) return QRCodeDescribeError(why, settings.correctionLevel);
    char line[224];
    const char level = kLevels[settings.correctionLevel & 3];
    const int n = settings.autoConfigurate
                      ? std::snprintf(line, sizeof line, "the text does not fit any symbol from version %d up at level %c",
                                      why.minVersion, level)
                      : std::snprintf(line, sizeof line, "the text does not fit a version-%d symbol at level %c",
                                      why.minVersion, level);
    if (why.bitsNeededAtLeast)
        std::snprintf(line + n, sizeof line - n, ": it needs more than %d bits, version %d holds %d", why.bitsNeeded,
                      why.maxVersion, why.bitsAvailable);
    else
        std::snprintf(line + n, sizeof line - n, ": it needs %d bits, version %d holds %d", why.bitsNeeded,
                      why.maxVersion, why.bitsAvailable);
    return line;
}

std::string WhyNotEncodable(QRCodeSettings* settings) {
    QRCodeError why;
    std::free(QRCodeMakeSymbolExplained(settings, &why));
    return WhyNotEncodable(*settings, why);
}

std::string SymbolText(const SymbolMatrix& m, SymbolFormat format, bool invert) {
    std::string out;
    const int first = -kQuietZone, last = m.width + kQuietZone;  // columns [first, last)
    const int top = -kQuietZone, bottom = m.height + kQuietZone;
    // "Ink" is what the terminal prints: dark modules, or light ones when inverted.
    auto ink = [&](int x, int y) { return DarkAt(m, x, y) != invert; };
    if (format == SymbolFormat::kAscii) {
        for (int y = top; y < bottom; ++y) {
            for (int x = first; x < last; ++x) out += ink(x, y) ? "\u2588\u2588" : "  ";
            out += '\n';
        }
        return out;
    }
    for (int y = top; y < bottom; y += 2) {
        for (int x = first; x < last; ++x) {
            // The line's lower half below the quiet zone (odd heights) stays light.
            const bool upper = ink(x, y), lower = y + 1 < bottom ? ink(x, y + 1) : invert;
            out += upper ? (lower ? "\u2588" : "\u2580") : (lower ? "\u2584" : " ");
        }
        out += '\n';
    }
    return out;
}

std::string SymbolSvg(const SymbolMatrix& m, const QRCodeSettings& s, bool transparent, const std::string& length) {
    const std::string pixels = length.empty() ? std::to_string(s.pixelSize * m.width + 2 * s.margin) : length;
    const double quiet = s.pixelSize ? static_cast<double>(s.margin) / s.pixelSize : 0.0;
    const double side = m.width + 2 * quiet;
    char buffer[256];
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    std::snprintf(
        buffer, sizeof buffer,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%s\" height=\"%s\" viewBox=\"0 0 %g %g\" "
        "shape-rendering=\"crispEdges\">\n",
        pixels.c_str(), pixels.c_str(), side, side);
    svg += buffer;
    if (!transparent) {
        // The margin is white whatever the light colour, as in the pictures.
        std::snprintf(buffer, sizeof buffer, "<rect width=\"%g\" height=\"%g\" fill=\"#FFFFFF\"/>\n", side,
                      side);
        svg += buffer;
        if (s.backgroundColor != 0xFFFFFF) {
            std::snprintf(buffer, sizeof buffer,
                          "<rect x=\"%g\" y=\"%g\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", quiet, quiet,
                          m.width, m.height, HexColour(s.backgroundColor).c_str());
            svg += buffer;
        }
    }
    // One path: a unit-high rectangle per run of dark modules in a row.
    std::snprintf(buffer, sizeof buffer, "<path transform=\"translate(%g %g)\" fill=\"%s\" d=\"", quiet,
                  quiet, HexColour(s.foregroundColor).c_str());
    svg += buffer;
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width;) {
            if (!DarkAt(m, x, y)) {
                ++x;
                continue;
            }
            int run = 1;
            while (DarkAt(m, x + run, y)) ++run;
            std::snprintf(buffer, sizeof buffer, "M%d %dh%dv1h-%dz", x, y, run, run);
            svg += buffer;
            x += run;
        }
    }
    svg += "\"/>\n</svg>\n";
    return svg;
}

bool RenderedSymbolPicture(QRCodeSettings* settings, const SymbolStyle& style, SymbolFormat format, GwImage* image,
                           std::string* error) {
    HBITMAP bitmap = QRCodeRenderBitmap(settings);
    if (!bitmap) {
        // The renderer fails alike for a text that cannot be encoded and a picture too large.
        SymbolMatrix* matrix = QRCodeMakeSymbol(settings);
        if (!matrix) {
            *error = WhyNotEncodable(settings);
            return false;
        }
        const long side = PictureSide(*settings, matrix->width);
        std::free(matrix);
        *error = "a picture of " + std::to_string(side) + " x " + std::to_string(side) +
                 " pixels is too large to create";
        return false;
    }
    const bool copied = image->CreateFromHBITMAP(bitmap);
    QRCodeReleaseBitmap();
    if (!copied) {
        *error = std::string("cannot take the rendered symbol: ") + image->GetLastError();
        return false;
    }
    return ReduceColours(*image, *settings, style, format, error);
}

bool SymbolPicture(QRCodeSettings* settings, const SymbolStyle& style, SymbolFormat format, GwImage* image,
                   std::string* error, const SymbolMatrix* matrix) {
    // A 1-bit picture is painted from the matrix; only an empty one (no pixels and no margin)
    // is left to the renderer, whose platform answers it with a one-pixel bitmap.
    const bool direct = style.depth == 1 && IsTwoColourPicture(*settings) &&
                        (settings->pixelSize > 0 || settings->margin > 0);
    if (!direct) return RenderedSymbolPicture(settings, style, format, image, error);
    SymbolMatrix* own = nullptr;
    if (!matrix) {
        own = QRCodeMakeSymbol(settings);
        if (!own) {
            *error = WhyNotEncodable(settings);
            return false;
        }
        matrix = own;
    }
    const bool painted = PaintTwoColourSymbol(*matrix, *settings, image, error);
    std::free(own);
    // The light entry (and with it the white margin, which maps to it) becomes transparent.
    if (painted && style.transparent) image->SetTransIndex(0);
    return painted;
}

bool WriteSymbolFile(QRCodeSettings* settings, const SymbolMatrix& m, const SymbolStyle& style,
                     SymbolFormat format, const std::string& path, std::string* error) {
    // The whole file is made in memory first: a symbol that cannot be made touches no file.
    if (format == SymbolFormat::kEps || format == SymbolFormat::kPdf) {
        // Without a physical size, one pixel of the picture is one point.
        const double side = style.size.Asked() ? style.size.Points(true) : PictureSide(*settings, m.width);
        if (PictureSide(*settings, m.width) <= 0) {
            *error = "the symbol has no size (--pixel-size 0 and --margin 0)";
            return false;
        }
        const std::string doc = format == SymbolFormat::kEps ? SymbolEps(m, *settings, style.transparent, side)
                                                             : SymbolPdf(m, *settings, style.transparent, side);
        return WriteOutput(path, doc.data(), doc.size(), error);
    }
    if (format == SymbolFormat::kSvg || format == SymbolFormat::kUtf8 || format == SymbolFormat::kAscii) {
        const std::string text = format == SymbolFormat::kSvg
                                     ? SymbolSvg(m, *settings, style.transparent, style.size.SvgLength())
                                                              : SymbolText(m, format, style.invert);
        return WriteOutput(path, text.data(), text.size(), error);
    }
    GwImage image;
    if (!SymbolPicture(settings, style, format, &image, error, &m)) return false;
    if (style.size.Asked() || style.size.dpi) {
        image.SetXDPI(style.size.Dpi(false));
        image.SetYDPI(style.size.Dpi(false));
    }
    const long type = format == SymbolFormat::kGif   ? TypeGif
                      : format == SymbolFormat::kBmp ? TypeBmp
                                                     : TypePng;
    return SavePicture(image, path, type, error);
}

}  // namespace gwcli

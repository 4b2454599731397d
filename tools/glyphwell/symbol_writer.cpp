#include "tools/glyphwell/symbol_writer.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "control/symbol_text.h"
#include "encoder/input.h"
#include "encoder/pipeline.h"
#include "image/gw_image.h"
#include "tools/glyphwell/output.h"
#include "tools/glyphwell/symbol_vector.h"

namespace gwcli {
namespace {

constexpr int kQuietZone = 4;  // modules of light border around text symbols

bool DarkAt(const QRCodeSymbol& s, int x, int y) {
    return x >= 0 && y >= 0 && x < s.size && y < s.size && s.Dark(x, y);
}

std::string HexColour(uint32_t bgr) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(bgr & 0xFF),
                  static_cast<unsigned>((bgr >> 8) & 0xFF), static_cast<unsigned>((bgr >> 16) & 0xFF));
    return text;
}

// The text's bytes under the character-set rule (see FillInput); sets *eci when the rule puts
// the text behind the UTF-8 ECI.
std::string SymbolBytes(const SymbolStyle& style, const std::string& text, int32_t* eci) {
    // Plain ASCII is the same bytes in every character set the rule can choose outside kanji mode,
    // and needs no ECI: the conversions would give the text back.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && style.request.mode != QRCODE_MODE_KANJI) return text;
    const GwOleString wide = GwWideFromUtf8(text);
    const bool utf8 = GwUtf8FromWide(wide.data(), wide.size()) == text;
    if (style.bytesAsGiven || !utf8 || style.request.eci >= 0) return text;
    GlyphwellSymbolText symbol;
    std::string why;
    // A text the rule cannot carry (a character Shift JIS lacks, in kanji mode) goes as given,
    // and the encoder says what it cannot hold.
    if (!GlyphwellSymbolBytes(wide.data(), wide.size(), -1, static_cast<short>(style.request.mode), &symbol,
                              &why))
        return text;
    if (symbol.eciAdded) *eci = kGlyphwellUtf8Eci;
    return symbol.bytes;
}

// Expands the tilde escapes of input->bytes in place and keeps the ~e escapes' switches: each
// marks the output position of the byte after it, or the end.
void ExpandTilde(SymbolInput* input) {
    const std::string raw = input->bytes;
    const int32_t rawLength = static_cast<int32_t>(raw.size());
    std::vector<unsigned char> out(raw.size() + 1, 0);
    std::vector<int32_t> eci(raw.size() + 1, -1);
    const int32_t length = QRCodeExpandTilde(reinterpret_cast<const unsigned char*>(raw.data()), rawLength,
                                             out.data(), eci.data());
    input->bytes.assign(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(length));
    // Escapes only shrink the text; without one nothing can be marked.
    const int32_t end = length < rawLength ? length + 1 : rawLength;
    for (int32_t k = 0; k < end; ++k)
        if (eci[k] >= 0) input->marks.push_back(QRCodeEciMark{k, eci[k]});
}

// The too-long error as the command line words it: from which version up (or which version)
// at which level, and by how many bits.
std::string TooLong(const QRCodeError& why, int32_t level) {
    static const char kLevels[] = "LMQH";
    char line[224];
    const char name = kLevels[level & 3];
    const int n =
        why.minVersion < why.maxVersion
            ? std::snprintf(line, sizeof line,
                            "the text does not fit any symbol from version %d up at level %c", why.minVersion,
                            name)
            : std::snprintf(line, sizeof line, "the text does not fit a version-%d symbol at level %c",
                            why.minVersion, name);
    std::snprintf(line + n, sizeof line - n, ": it needs %s%d bits, version %d holds %d",
                  why.bitsNeededAtLeast ? "more than " : "", why.bitsNeeded, why.maxVersion,
                  why.bitsAvailable);
    return line;
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

void FillInput(const SymbolStyle& style, const std::string& text, SymbolInput* input) {
    input->request = style.request;
    if (!style.fixedVersion)
        input->request.maxVersion = QRCODE_VERSION_COUNT;
    else
        input->request.maxVersion = input->request.minVersion;
    input->bytes = SymbolBytes(style, text, &input->request.eci);
    input->marks.clear();
    if (style.tilde) ExpandTilde(input);
    input->request.data = reinterpret_cast<const unsigned char*>(input->bytes.data());
    input->request.length = static_cast<int32_t>(input->bytes.size());
    input->request.eciMarks = input->marks.empty() ? nullptr : input->marks.data();
    input->request.eciMarkCount = static_cast<int32_t>(input->marks.size());
}

std::vector<Option> SymbolOptions(SymbolStyle* style) {
    QRCodeRequest* r = &style->request;
    GwSymbolLook* look = &style->look;
    return {
        {nullptr, nullptr, "symbol:", nullptr},
        {"--symbol-version", "N", "version 1-40 to use, or to start the search from (1)",
         Integer(1, 40, &r->minVersion)},
        {"--fixed-version", nullptr, "use exactly --symbol-version instead of searching upwards",
         Flag(&style->fixedVersion)},
        {"--level", "L|M|Q|H", "error-correction level (H)",
         Choice<int32_t>({{"L", 0}, {"M", 1}, {"Q", 2}, {"H", 3}}, &r->level)},
        {"--mode", "MODE", "alphanumeric, byte, numeric, kanji or auto (byte)",
         Choice<int32_t>({{"alphanumeric", QRCODE_MODE_ALPHANUMERIC},
                          {"byte", QRCODE_MODE_BYTE},
                          {"numeric", QRCODE_MODE_NUMERIC},
                          {"kanji", QRCODE_MODE_KANJI},
                          {"auto", QRCODE_MODE_AUTOMATIC}},
                         &r->mode)},
        {"--eci", "N", "write an ECI header with assignment number N (0-999999); the text goes as given",
         Integer(0, 999999, &r->eci)},
        {"--bytes-as-given", nullptr,
         "put the text's bytes in the symbol untouched (no Latin-1, Shift JIS or UTF-8 ECI)",
         Flag(&style->bytesAsGiven)},
        {"--fnc1", "none|first|second", "FNC1 indicator (none)",
         Choice<int32_t>({{"none", 0}, {"first", 1}, {"second", 2}}, &r->fnc1)},
        {"--application-indicator", "N", "application indicator 0-255 for --fnc1 second",
         Integer(0, 255, &r->applicationIndicator)},
        {"--structured-append", "POS/TOTAL", "symbol POS of TOTAL (1-16) in a structured append",
         [r](const std::string& v) {
             long position = 0, total = 0;
             const size_t slash = v.find('/');
             if (slash == std::string::npos || !ParseInteger(v.substr(0, slash), 1, 16, &position) ||
                 !ParseInteger(v.substr(slash + 1), 1, 16, &total) || position > total)
                 return "takes POS/TOTAL with 1 <= POS <= TOTAL <= 16";
             r->appendPosition = static_cast<int32_t>(position);
             r->appendTotal = static_cast<int32_t>(total);
             return "";
         }},
        {"--tilde", nullptr, "expand ~~, ~dNNN and ~eNNNNNN escapes in the text", Flag(&style->tilde)},
        {nullptr, nullptr, "look:", nullptr},
        {"--margin", "N", "white border in pixels, 0-255 (10)", Integer(0, 255, &look->margin)},
        {"--pixel-size", "N", "pixels per module, 0-255 (3)", Integer(0, 255, &look->pixelSize)},
        {"--foreground", "RRGGBB", "colour of dark modules (000000)", Colour(&look->foreground)},
        {"--background", "RRGGBB|none", "colour of light modules (FFFFFF); none: transparent",
         [look](const std::string& v) {
             look->transparent = SameName(v, "none");
             if (look->transparent) {
                 look->background = 0xFFFFFF;
                 return std::string();
             }
             return Colour(&look->background)(v);
         }},
        {"--depth", "1|24", "1: two-colour pictures as 1-bit palette files (default); 24: full colour",
         Choice<int>({{"1", 1}, {"24", 24}}, &look->depth)},
        {"--invert", nullptr, "text symbols: print light modules, for light-on-dark terminals",
         Flag(&style->invert)},
        {"--size", "LENGTH", "side with the margin: 25mm, 2.5cm, 1in or 300px (sets the module size)",
         SizeOption(&style->size)},
        {"--dpi", "N", "resolution, kept in PNG and BMP files, 1-100000 (300 for eps, pdf; else 96)",
         Integer(1, 100000, &style->size.dpi)},
    };
}

std::string CheckStyle(const SymbolStyle& style, SymbolFormat format) {
    if (style.look.transparent &&
        (format == SymbolFormat::kBmp || format == SymbolFormat::kUtf8 || format == SymbolFormat::kAscii))
        return "--background none needs a PNG, GIF, SVG, EPS or PDF output";
    if ((style.size.Asked() || style.size.dpi) && !IsFileFormat(format))
        return "--size and --dpi need a file output";
    return "";
}

namespace {

// The encoder's working memory for this thread's symbols, kept from symbol to symbol (a batch's
// workers make many); null when memory ran out, and each symbol then takes its own.
QRCodeWorkspace* ThreadWorkspace() {
    struct Kept {
        QRCodeWorkspace* workspace = QRCodeNewWorkspace();
        ~Kept() { QRCodeFreeWorkspace(workspace); }
    };
    thread_local Kept kept;
    return kept.workspace;
}

}  // namespace

bool MakeSymbol(const SymbolStyle& style, SymbolFormat format, const std::string& text, bool traced,
                MadeSymbol* made, std::string* error) {
    SymbolInput input;
    FillInput(style, text, &input);
    QRCodeResult result;
    if (traced)
        result = QRCodeEncodeTraced(input.request);
    else
        QRCodeEncodeInto(input.request, ThreadWorkspace(), &result);
    if (!result.Ok()) {
        const QRCodeError& why = result.error;
        if (why.kind == QRCODE_ERROR_TOO_LONG)
            *error = TooLong(why, input.request.level);
        else
            *error = QRCodeDescribeError(why, input.request.level) +
                     (why.kind == QRCODE_ERROR_UNENCODABLE && style.tilde ? " (after ~ escapes)" : "");
        return false;
    }
    made->symbol = std::move(result.symbol);
    made->look = style.look;
    made->data = input.bytes;
    made->warning =
        IsPictureFormat(format) ? FitPictureToSize(style.size, made->symbol.size, &made->look) : "";
    return true;
}

std::string SymbolText(const QRCodeSymbol& m, SymbolFormat format, bool invert) {
    std::string out;
    const int first = -kQuietZone, last = m.size + kQuietZone;  // columns [first, last)
    const int top = -kQuietZone, bottom = m.size + kQuietZone;
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

std::string SymbolSvg(const QRCodeSymbol& m, const GwSymbolLook& look, const std::string& length) {
    const std::string pixels = length.empty() ? std::to_string(GwSymbolPictureSide(look, m.size)) : length;
    const double quiet = look.pixelSize ? static_cast<double>(look.margin) / look.pixelSize : 0.0;
    const double side = m.size + 2 * quiet;
    char buffer[256];
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    std::snprintf(
        buffer, sizeof buffer,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%s\" height=\"%s\" viewBox=\"0 0 %g %g\" "
        "shape-rendering=\"crispEdges\">\n",
        pixels.c_str(), pixels.c_str(), side, side);
    svg += buffer;
    if (!look.transparent) {
        // The margin is white whatever the light colour, as in the pictures.
        std::snprintf(buffer, sizeof buffer, "<rect width=\"%g\" height=\"%g\" fill=\"#FFFFFF\"/>\n", side,
                      side);
        svg += buffer;
        if (look.background != 0xFFFFFF) {
            std::snprintf(buffer, sizeof buffer,
                          "<rect x=\"%g\" y=\"%g\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", quiet, quiet,
                          m.size, m.size, HexColour(look.background).c_str());
            svg += buffer;
        }
    }
    // One path: a unit-high rectangle per run of dark modules in a row.
    std::snprintf(buffer, sizeof buffer, "<path transform=\"translate(%g %g)\" fill=\"%s\" d=\"", quiet,
                  quiet, HexColour(look.foreground).c_str());
    svg += buffer;
    for (int y = 0; y < m.size; ++y) {
        for (int x = 0; x < m.size;) {
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

bool SymbolPicture(const QRCodeSymbol& symbol, const GwSymbolLook& look, SymbolFormat format, GwImage* image,
                   std::string* error) {
    // The rasteriser paints two colours in 1 bit (unless 24 bits are asked) and anything else in
    // 24; transparency is set here, where the depth of the file is decided.
    GwSymbolLook opaque = look;
    opaque.transparent = false;
    if (!GwPaintSymbol(symbol, opaque, image, error)) return false;
    if (image->GetBpp() == 24 && (format == SymbolFormat::kGif || look.transparent)) {
        // Margin white, light and dark modules: each pixel takes the first entry of its colour.
        RGBQUAD palette[256];
        for (RGBQUAD& entry : palette) entry = RGBQUAD{255, 255, 255, 0};
        palette[0] = RGBQUAD{static_cast<BYTE>((look.background >> 16) & 0xFF),
                             static_cast<BYTE>((look.background >> 8) & 0xFF),
                             static_cast<BYTE>(look.background & 0xFF), 0};
        palette[1] = RGBQUAD{static_cast<BYTE>((look.foreground >> 16) & 0xFF),
                             static_cast<BYTE>((look.foreground >> 8) & 0xFF),
                             static_cast<BYTE>(look.foreground & 0xFF), 0};
        if (!image->DecreaseBpp(8, false, palette)) {
            *error = std::string("cannot reduce the symbol to a palette: ") + image->GetLastError();
            return false;
        }
    }
    // The light entry (and with it the white margin, which maps to it) becomes transparent.
    if (look.transparent) image->SetTransIndex(0);
    return true;
}

bool WriteSymbolFile(const MadeSymbol& made, const SymbolStyle& style, SymbolFormat format,
                     const std::string& path, std::string* error) {
    const QRCodeSymbol& m = made.symbol;
    const GwSymbolLook& look = made.look;
    // The whole file is made in memory first: a symbol that cannot be made touches no file.
    const long pixels = GwSymbolPictureSide(look, m.size);
    if (pixels <= 0 &&
        (IsPictureFormat(format) || format == SymbolFormat::kEps || format == SymbolFormat::kPdf)) {
        *error = "the symbol has no size (--pixel-size 0 and --margin 0)";
        return false;
    }
    if (format == SymbolFormat::kEps || format == SymbolFormat::kPdf) {
        // Without a physical size, one pixel of the picture is one point.
        const double side = style.size.Asked() ? style.size.Points(true) : pixels;
        const std::string doc =
            format == SymbolFormat::kEps ? SymbolEps(m, look, side) : SymbolPdf(m, look, side);
        return WriteOutput(path, doc.data(), doc.size(), error);
    }
    if (format == SymbolFormat::kSvg || format == SymbolFormat::kUtf8 || format == SymbolFormat::kAscii) {
        const std::string text = format == SymbolFormat::kSvg ? SymbolSvg(m, look, style.size.SvgLength())
                                                              : SymbolText(m, format, style.invert);
        return WriteOutput(path, text.data(), text.size(), error);
    }
    GwImage image;
    if (!SymbolPicture(m, look, format, &image, error)) return false;
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

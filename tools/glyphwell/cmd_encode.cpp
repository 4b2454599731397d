// glyphwell encode: turns a text into a QR Code symbol with every encoder setting reachable
// from the command line, and writes it as a PNG, GIF or BMP picture or shows it as text art.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encoder/pipeline.h"
#include "encoder/render.h"
#include "encoder/settings.h"
#include "encoder/trace.h"
#include "image/gw_image.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell encode [TEXT|-|-- TEXT] [-i FILE] (-o OUT | --ascii) [options]\n"
    "\n"
    "Encodes TEXT (or standard input for '-', or the raw bytes of FILE with -i) as a QR Code\n"
    "symbol. The text ends where a run of ten '#' begins; '#' at its very end is dropped.\n";

const char kEpilogue[] = "exit status: 0 done, 1 the text cannot be encoded, 2 usage error\n";

bool ReadAll(FILE* in, std::string* out) {
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        out->append(buffer, n);
        // Far beyond what the record holds; stop reading instead of growing without bound.
        if (out->size() > static_cast<size_t>(QRCODE_TEXT_FIELD_SIZE)) break;
    }
    return !std::ferror(in);
}

// Renders the symbol and stores it: renderer bitmap -> image -> file. The text is known to
// encode by now and its diagnostic lines have been printed once, so this second run is silent.
// The file appears whole or not at all.
bool WritePicture(QRCodeSettings* settings, const std::string& path, DWORD type) {
    FILE* previous = QRCodeTraceStream();
    QRCodeSetTraceStream(nullptr);
    HBITMAP bitmap = QRCodeRenderBitmap(settings);
    QRCodeSetTraceStream(previous);
    if (!bitmap) {
        const long side = static_cast<long>(settings->pixelSize) * (17 + 4 * settings->selectedVersion) + 2L * settings->margin;
        std::fprintf(stderr, "glyphwell encode: a picture of %ld x %ld pixels is too large to create\n", side, side);
        return false;
    }
    GwImage image;
    const bool copied = image.CreateFromHBITMAP(bitmap);
    QRCodeReleaseBitmap();
    if (!copied) {
        std::fprintf(stderr, "glyphwell encode: cannot take the rendered symbol: %s\n", image.GetLastError());
        return false;
    }
    // A true-colour GIF is written as a mosaic of 256-colour tiles; the symbol has at most three
    // colours (foreground, background, white margin), so give GIF an exact 8-bit palette instead.
    if (type == TypeGif) {
        RGBQUAD palette[256];
        for (RGBQUAD& entry : palette) entry = RGBQUAD{255, 255, 255, 0};
        const uint32_t colours[2] = {settings->foregroundColor, settings->backgroundColor};
        for (int i = 0; i < 2; ++i) {
            palette[i] = RGBQUAD{static_cast<BYTE>(GetBValue(colours[i])), static_cast<BYTE>(GetGValue(colours[i])),
                                 static_cast<BYTE>(GetRValue(colours[i])), 0};
        }
        if (!image.DecreaseBpp(8, false, palette)) {
            std::fprintf(stderr, "glyphwell encode: cannot reduce the symbol to a palette: %s\n", image.GetLastError());
            return false;
        }
    }
    std::string error;
    if (!gwcli::SavePicture(image, path, type, &error)) {
        std::fprintf(stderr, "glyphwell encode: %s\n", error.c_str());
        return false;
    }
    return true;
}

void PrintAscii(const SymbolMatrix& m) {
    constexpr int kQuiet = 4;
    std::string line;
    for (int y = -kQuiet; y < m.height + kQuiet; ++y) {
        line.clear();
        for (int x = -kQuiet; x < m.width + kQuiet; ++x) {
            const bool inside = x >= 0 && y >= 0 && x < m.width && y < m.height;
            line += (inside && QRCodeIsDark(QRCodeGetCell(&m, x, y))) ? "\u2588\u2588" : "  ";
        }
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }
}

int RunEncode(const std::vector<std::string>& args) {
    QRCodeSettings settings;
    QRCodeResetSettings(&settings);
    bool ascii = false, quiet = false, fixedVersion = false, tilde = false;
    std::string output, inputFile, structuredAppend;
    long format = -1;  // ImageType; -1: from the output's extension
    using gwcli::Choice;
    using gwcli::Integer;
    const gwcli::CommandLine line{
        "encode",
        kSynopsis,
        {
            {nullptr, nullptr, "output:", nullptr},
            {"-o", "OUT", "write the rendered symbol to OUT (.png, .gif or .bmp)", gwcli::Text(&output)},
            {"--format", "png|gif|bmp", "picture format, when OUT's extension does not say",
             [&](const std::string& v) { return (format = gwcli::PictureType(v)) < 0 ? "takes png, gif or bmp" : ""; }},
            {"--ascii", nullptr, "print the symbol as text, two characters per module",
             gwcli::Flag(&ascii)},
            {"--quiet", nullptr, "do not print the encoder's diagnostic lines", gwcli::Flag(&quiet)},
            {nullptr, nullptr, "symbol:", nullptr},
            {"-i", "FILE", "encode the raw bytes of FILE", gwcli::Text(&inputFile)},
            {"--symbol-version", "N", "version 1-40 to use, or to start the search from (1)",
             Integer(1, 40, &settings.preferredVersion)},
            {"--fixed-version", nullptr, "use exactly --symbol-version instead of searching upwards",
             gwcli::Flag(&fixedVersion)},
            {"--level", "L|M|Q|H", "error-correction level (H)",
             Choice<int32_t>({{"L", 0}, {"M", 1}, {"Q", 2}, {"H", 3}}, &settings.correctionLevel)},
            {"--mode", "MODE", "alphanumeric, byte, numeric, kanji or auto (byte)",
             Choice<int32_t>({{"alphanumeric", 0}, {"byte", 1}, {"numeric", 2}, {"kanji", 3}, {"auto", 4}},
                             &settings.encodeMode)},
            {"--eci", "N", "write an ECI header with assignment number N (0-999999)",
             Integer(0, 999999, &settings.eciMode)},
            {"--fnc1", "none|first|second", "FNC1 indicator (none)",
             Choice<int32_t>({{"none", 0}, {"first", 1}, {"second", 2}}, &settings.fnc1Mode)},
            {"--application-indicator", "N", "application indicator 0-255 for --fnc1 second",
             Integer(0, 255, &settings.applicationIndicator)},
            {"--structured-append", "POS/TOTAL", "symbol POS of TOTAL (1-16) in a structured append",
             [&](const std::string& v) {
                 long position = 0, total = 0;
                 const size_t slash = v.find('/');
                 if (slash == std::string::npos || !gwcli::ParseInteger(v.substr(0, slash), 1, 16, &position) ||
                     !gwcli::ParseInteger(v.substr(slash + 1), 1, 16, &total) || position > total)
                     return "takes POS/TOTAL with 1 <= POS <= TOTAL <= 16";
                 settings.structuredAppend = 1;
                 settings.appendPosition = static_cast<int32_t>(position);
                 settings.appendTotal = static_cast<int32_t>(total);
                 return "";
             }},
            {"--tilde", nullptr, "expand ~~, ~dNNN and ~eNNNNNN escapes in the text", gwcli::Flag(&tilde)},
            {nullptr, nullptr, "picture (for -o):", nullptr},
            {"--margin", "N", "white border in pixels, 0-255 (10)", Integer(0, 255, &settings.margin)},
            {"--pixel-size", "N", "pixels per module, 0-255 (3)", Integer(0, 255, &settings.pixelSize)},
            {"--foreground", "RRGGBB", "colour of dark modules (000000)", gwcli::Colour(&settings.foregroundColor)},
            {"--background", "RRGGBB", "colour of light modules (FFFFFF)", gwcli::Colour(&settings.backgroundColor)},
        },
        kEpilogue};
    std::vector<std::string> operands;
    const int parsed = gwcli::Parse(line, args, &operands);
    if (parsed != gwcli::kContinue) return parsed;
    if (fixedVersion) settings.autoConfigurate = 0;
    if (tilde) settings.processTilde = 1;

    if (operands.size() > 1) return gwcli::UsageError(line, "give the text only once");
    const bool haveText = !operands.empty(), fromStdin = haveText && operands[0] == "-";
    std::string text = haveText && !fromStdin ? operands[0] : std::string();
    if (haveText && !inputFile.empty()) return gwcli::UsageError(line, "give the text or -i FILE, not both");
    if (!haveText && inputFile.empty()) return gwcli::UsageError(line, "no text given");
    if (!ascii && output.empty()) return gwcli::UsageError(line, "nothing to write: give -o OUT or --ascii");
    if (!output.empty() && format < 0 && (format = gwcli::PictureType(gwcli::Extension(output))) < 0)
        return gwcli::UsageError(line, "cannot tell the picture format from '" + output + "'; use --format");

    if (fromStdin) {
        if (!ReadAll(stdin, &text)) {
            std::fprintf(stderr, "glyphwell encode: cannot read standard input\n");
            return kExitFailed;
        }
    } else if (!inputFile.empty()) {
        FILE* in = std::fopen(inputFile.c_str(), "rb");
        const bool ok = in && ReadAll(in, &text);
        if (in) std::fclose(in);
        if (!ok) {
            std::fprintf(stderr, "glyphwell encode: cannot read %s: %s\n", inputFile.c_str(), std::strerror(errno));
            return kExitFailed;
        }
    }
    if (text.size() > static_cast<size_t>(QRCODE_TEXT_MAX)) {
        std::fprintf(stderr, "glyphwell encode: the text is longer than %d bytes\n", QRCODE_TEXT_MAX);
        return kExitFailed;
    }
    std::memcpy(settings.text, text.data(), text.size());
    // The record ends a text at its first run of ten '#', and trailing '#' merge with the
    // filler; say so rather than let bytes vanish without a word.
    const int32_t kept = QRCodeTextLength(&settings);
    if (static_cast<size_t>(kept) < text.size()) {
        std::fprintf(stderr, "glyphwell encode: warning: only the first %d of %zu bytes are encoded ('#' end mark)\n",
                     kept, text.size());
    }

    if (quiet) QRCodeSetTraceStream(nullptr);
    SymbolMatrix* matrix = QRCodeMakeSymbol(&settings);
    if (!matrix) {
        static const char kLevelNames[] = "LMQH";
        if (settings.autoConfigurate) {
            std::fprintf(stderr, "glyphwell encode: the text does not fit any symbol from version %d up at level %c\n",
                         settings.preferredVersion, kLevelNames[settings.correctionLevel & 3]);
        } else {
            std::fprintf(stderr, "glyphwell encode: the text does not fit a version-%d symbol at level %c\n",
                         settings.preferredVersion, kLevelNames[settings.correctionLevel & 3]);
        }
        return kExitFailed;
    }
    if (ascii) {
        std::fflush(stdout);
        PrintAscii(*matrix);
    }
    std::free(matrix);
    if (!output.empty() && !WritePicture(&settings, output, static_cast<DWORD>(format))) return kExitFailed;
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

const GlyphwellCommand kEncode("encode", "encode a text as a QR Code symbol", RunEncode);

}  // namespace

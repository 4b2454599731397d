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

namespace {

const char kUsage[] =
    "usage: glyphwell encode [TEXT|-|-- TEXT] [-i FILE] (-o OUT | --ascii) [options]\n"
    "\n"
    "Encodes TEXT (or standard input for '-', or the raw bytes of FILE with -i) as a QR Code\n"
    "symbol. The text ends where a run of ten '#' begins; '#' at its very end is dropped.\n"
    "\n"
    "output:\n"
    "  -o OUT                       write the rendered symbol to OUT (.png, .gif or .bmp)\n"
    "  --format png|gif|bmp         picture format, when OUT's extension does not say\n"
    "  --ascii                      print the symbol as text: two characters per module,\n"
    "                               inside a quiet zone of four light modules\n"
    "  --quiet                      do not print the encoder's diagnostic lines\n"
    "\n"
    "symbol:\n"
    "  --symbol-version N           version 1-40 to use, or to start the search from (1)\n"
    "  --fixed-version              use exactly --symbol-version instead of searching upwards\n"
    "  --level L|M|Q|H              error-correction level (H)\n"
    "  --mode MODE                  alphanumeric, byte, numeric, kanji or auto (byte)\n"
    "  --eci N                      write an ECI header with assignment number N (0-999999)\n"
    "  --fnc1 none|first|second     FNC1 indicator (none)\n"
    "  --application-indicator N    application indicator 0-255 for --fnc1 second\n"
    "  --structured-append POS/TOTAL  symbol POS of TOTAL (1-16) in a structured append\n"
    "  --tilde                      expand ~~, ~dNNN and ~eNNNNNN escapes in the text\n"
    "\n"
    "picture (for -o):\n"
    "  --margin N                   white border in pixels, 0-255 (10)\n"
    "  --pixel-size N               pixels per module, 0-255 (3)\n"
    "  --foreground RRGGBB          colour of dark modules (000000)\n"
    "  --background RRGGBB          colour of light modules (FFFFFF)\n"
    "\n"
    "exit status: 0 done, 1 the text cannot be encoded, 2 usage error\n";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "glyphwell encode: %s\n\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

bool ParseInt(const std::string& text, long low, long high, long* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno || *end || value < low || value > high) return false;
    *out = value;
    return true;
}

// RRGGBB (an optional leading '#' is accepted) into the encoder's 0x00BBGGRR colour.
bool ParseColour(std::string text, uint32_t* out) {
    if (!text.empty() && text[0] == '#') text.erase(0, 1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    const unsigned long rgb = std::strtoul(text.c_str(), nullptr, 16);
    *out = static_cast<uint32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
    return true;
}

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

long FormatFromName(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "png") return TypePng;
    if (name == "gif") return TypeGif;
    if (name == "bmp") return TypeBmp;
    return -1;
}

// Renders the symbol and stores it: renderer bitmap -> image -> file. The text is known to
// encode by now and its diagnostic lines have been printed once, so this second run is silent.
// No half-written file is left behind on failure.
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
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "glyphwell encode: cannot create '%s': %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    bool written = image.Encode(file, type);
    std::string why = written ? "" : image.GetLastError();
    if (std::fclose(file) != 0 && written) {
        written = false;
        why = "write error";
    }
    if (!written) {
        std::remove(path.c_str());
        std::fprintf(stderr, "glyphwell encode: cannot write '%s': %s\n", path.c_str(), why.c_str());
    }
    return written;
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
    bool ascii = false, quiet = false;
    std::string output;
    long format = -1;  // ImageType; -1: from the output's extension
    bool haveText = false;
    std::string text, inputFile;
    bool fromStdin = false;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool inlineValue = false;
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
        }
        auto takeValue = [&](std::string* out) -> bool {
            if (inlineValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        auto flag = [&](const char* name) { return arg == name && !inlineValue; };
        long number = 0;
        std::string v;

        if (flag("--help") || flag("-h")) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (flag("--ascii")) {
            ascii = true;
        } else if (flag("--quiet")) {
            quiet = true;
        } else if (flag("--tilde")) {
            settings.processTilde = 1;
        } else if (flag("--fixed-version")) {
            settings.autoConfigurate = 0;
        } else if (arg == "-o") {
            if (!takeValue(&output) || output.empty()) return UsageError("-o needs a file name");
        } else if (arg == "--format") {
            if (!takeValue(&v) || (format = FormatFromName(v)) < 0) return UsageError("--format takes png, gif or bmp");
        } else if (arg == "-i") {
            if (!takeValue(&inputFile)) return UsageError("-i needs a file name");
        } else if (arg == "--symbol-version") {
            if (!takeValue(&v) || !ParseInt(v, 1, 40, &number)) return UsageError("--symbol-version takes 1 to 40");
            settings.preferredVersion = static_cast<int32_t>(number);
        } else if (arg == "--level") {
            static const char kLevels[] = "LMQH";
            const char* level = (takeValue(&v) && v.size() == 1 && v[0])
                                    ? std::strchr(kLevels, std::toupper(static_cast<unsigned char>(v[0])))
                                    : nullptr;
            if (!level) return UsageError("--level takes L, M, Q or H");
            settings.correctionLevel = static_cast<int32_t>(level - kLevels);
        } else if (arg == "--mode") {
            static const char* const kModes[] = {"alphanumeric", "byte", "numeric", "kanji", "auto"};
            if (!takeValue(&v)) return UsageError("--mode needs a mode");
            int mode = -1;
            for (int k = 0; k < 5; ++k)
                if (v == kModes[k]) mode = k;
            if (mode < 0) return UsageError("--mode takes alphanumeric, byte, numeric, kanji or auto");
            settings.encodeMode = mode;
        } else if (arg == "--eci") {
            if (!takeValue(&v) || !ParseInt(v, 0, 999999, &number)) return UsageError("--eci takes 0 to 999999");
            settings.eciMode = static_cast<int32_t>(number);
        } else if (arg == "--fnc1") {
            if (!takeValue(&v)) return UsageError("--fnc1 needs none, first or second");
            if (v == "none") {
                settings.fnc1Mode = 0;
            } else if (v == "first") {
                settings.fnc1Mode = 1;
            } else if (v == "second") {
                settings.fnc1Mode = 2;
            } else {
                return UsageError("--fnc1 takes none, first or second");
            }
        } else if (arg == "--application-indicator") {
            if (!takeValue(&v) || !ParseInt(v, 0, 255, &number))
                return UsageError("--application-indicator takes 0 to 255");
            settings.applicationIndicator = static_cast<int32_t>(number);
        } else if (arg == "--structured-append") {
            long position = 0, total = 0;
            const size_t slash = takeValue(&v) ? v.find('/') : std::string::npos;
            if (slash == std::string::npos || !ParseInt(v.substr(0, slash), 1, 16, &position) ||
                !ParseInt(v.substr(slash + 1), 1, 16, &total) || position > total)
                return UsageError("--structured-append takes POS/TOTAL with 1 <= POS <= TOTAL <= 16");
            settings.structuredAppend = 1;
            settings.appendPosition = static_cast<int32_t>(position);
            settings.appendTotal = static_cast<int32_t>(total);
        } else if (arg == "--margin") {
            if (!takeValue(&v) || !ParseInt(v, 0, 255, &number)) return UsageError("--margin takes 0 to 255");
            settings.margin = static_cast<uint8_t>(number);
        } else if (arg == "--pixel-size") {
            if (!takeValue(&v) || !ParseInt(v, 0, 255, &number)) return UsageError("--pixel-size takes 0 to 255");
            settings.pixelSize = static_cast<uint8_t>(number);
        } else if (arg == "--foreground" || arg == "--background") {
            uint32_t colour = 0;
            if (!takeValue(&v) || !ParseColour(v, &colour)) return UsageError(arg + " takes a colour RRGGBB");
            (arg == "--foreground" ? settings.foregroundColor : settings.backgroundColor) = colour;
        } else if (arg == "-") {
            if (haveText) return UsageError("give the text only once");
            haveText = fromStdin = true;
        } else if (arg == "--" && !inlineValue) {
            // Everything after "--" is the text, even when it starts with '-'.
            if (i + 1 < args.size()) {
                if (haveText || i + 2 < args.size()) return UsageError("give the text only once");
                haveText = true;
                text = args[++i];
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + args[i] + "'");
        } else {
            if (haveText) return UsageError("give the text only once");
            haveText = true;
            text = arg;
        }
    }

    if (haveText && !inputFile.empty()) return UsageError("give the text or -i FILE, not both");
    if (!haveText && inputFile.empty()) return UsageError("no text given");
    if (!ascii && output.empty()) return UsageError("nothing to write: give -o OUT or --ascii");
    if (!output.empty() && format < 0) {
        const size_t dot = output.rfind('.');
        format = dot == std::string::npos ? -1 : FormatFromName(output.substr(dot + 1));
        if (format < 0) return UsageError("cannot tell the picture format from '" + output + "'; use --format");
    }

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

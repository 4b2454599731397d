// glyphwell encode: turns a text into a QR Code symbol with every encoder setting reachable
// from the command line, and writes it as a PNG, GIF, BMP, SVG, EPS or PDF file or shows it as
// text.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encoder/payload.h"
#include "encoder/pipeline.h"
#include "encoder/settings.h"
#include "encoder/trace.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/symbol_reader.h"
#include "tools/glyphwell/symbol_writer.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell encode [TEXT|-|-- TEXT] [-i FILE] [-o OUT] [--format FORMAT] [--ascii] [options]\n"
    "\n"
    "Encodes TEXT (or standard input for '-', or the raw bytes of FILE with -i) as a QR Code\n"
    "symbol. The text ends where a run of ten '#' begins; '#' at its very end is dropped.\n"
    "Without -o, the utf8 and ascii formats print the symbol on standard output.\n";

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

int RunEncode(const std::vector<std::string>& args) {
    gwcli::SymbolStyle style;
    bool ascii = false, quiet = false, trace = false, verify = false;
    std::string output, inputFile;
    gwcli::SymbolFormat format = gwcli::SymbolFormat::kNone;  // from the output's ending unless named
    std::vector<gwcli::Option> options = {
        {nullptr, nullptr, "output:", nullptr},
        {"-o", "OUT", "write the symbol to OUT (.png, .gif, .bmp, .svg, .eps, .pdf; else --format)",
         gwcli::Text(&output)},
        {"--format", "FORMAT", "png, gif, bmp, svg, eps, pdf, utf8 (half blocks) or ascii",
         gwcli::FormatOption(&format)},
        {"--ascii", nullptr, "also print the symbol as text, two characters per module", gwcli::Flag(&ascii)},
        {"-i", "FILE", "encode the raw bytes of FILE", gwcli::Text(&inputFile)},
        {"--trace", nullptr, "write the encoder's diagnostic lines (mask penalties) to standard error",
         gwcli::Flag(&trace)},
        {"--quiet", nullptr, "print no diagnostic lines (the default)", gwcli::Flag(&quiet)},
        {"--verify", nullptr,
         "read the symbol back with a QR reader first; write nothing unless it reads as the text",
         gwcli::Flag(&verify)},
    };
    // A payload is built from its fields instead of given as TEXT.
    std::string payload;
    QRCodePayloadFields fields;
    options.push_back({nullptr, nullptr, "payload (instead of TEXT):", nullptr});
    options.push_back(
        {"--payload", "KIND", "wifi, vcard, mecard, epc, geo, mailto, tel or sms", gwcli::Text(&payload)});
    static const struct {
        const char* option;
        const char* help;
    } kFields[] = {
        {"--ssid", "wifi: network name"},
        {"--password", "wifi: password"},
        {"--security", "wifi: WPA, WEP or nopass"},
        {"--name", "vcard, mecard, epc: name (of the beneficiary for epc)"},
        {"--org", "vcard, mecard: organisation"},
        {"--phone", "vcard, mecard: phone number (repeatable)"},
        {"--email", "vcard, mecard: e-mail address (repeatable)"},
        {"--address", "vcard, mecard: postal address"},
        {"--url", "vcard, mecard: web address"},
        {"--note", "vcard, mecard: note"},
        {"--bic", "epc: the bank's BIC"},
        {"--iban", "epc: IBAN, its check digits checked"},
        {"--amount", "epc: euros, 0.01-999999999.99"},
        {"--reference", "epc: structured reference (35)"},
        {"--remittance", "epc: unstructured text for the beneficiary (140)"},
        {"--lat", "geo: latitude in degrees"},
        {"--lon", "geo: longitude in degrees"},
        {"--to", "mailto: address"},
        {"--subject", "mailto: subject"},
        {"--body", "mailto, sms: message"},
        {"--number", "tel, sms: phone number"},
    };
    for (const auto& f : kFields) {
        const std::string field =
            std::string(f.option + 2) == "remittance" ? "text" : std::string(f.option + 2);
        options.push_back({f.option, "VALUE", f.help, [&fields, field](const std::string& v) {
                               fields.emplace_back(field, v);
                               return std::string();
                           }});
    }
    options.push_back({"--hidden", nullptr, "wifi: the network is hidden", [&fields](const std::string&) {
                           fields.emplace_back("hidden", "true");
                           return std::string();
                       }});

    const std::vector<gwcli::Option> symbol = gwcli::SymbolOptions(&style);
    options.insert(options.end(), symbol.begin(), symbol.end());
    const gwcli::CommandLine line{"encode", kSynopsis, options, kEpilogue};
    std::vector<std::string> operands;
    const int parsed = gwcli::Parse(line, args, &operands);
    if (parsed != gwcli::kContinue) return parsed;

    if (operands.size() > 1) return gwcli::UsageError(line, "give the text only once");
    if (!payload.empty()) {
        if (!operands.empty() || !inputFile.empty())
            return gwcli::UsageError(line, "give TEXT or --payload, not both");
        std::string why, built;
        if (!QRCodeBuildPayload(payload, fields, &built, &why)) {
            // An unknown kind or field is a usage error; a value the format cannot hold is not.
            if (why.rfind("no payload kind", 0) == 0 || why.find(" has no field ") != std::string::npos)
                return gwcli::UsageError(line, "--payload " + why);
            return gwcli::Failure("encode", "--payload " + payload + ": " + why);
        }
        operands.push_back(built);  // every kind begins with its scheme, so never "-"
        // A payload's format says how its text is read (EPC's character-set line; vCard, Wi-Fi
        // and the others are read as UTF-8): its bytes go into the symbol as built.
        style.bytesAsGiven = true;
        int level = 0;
        if (QRCodePayloadLevel(payload, &level)) style.settings.correctionLevel = level;
    } else if (!fields.empty()) {
        return gwcli::UsageError(line, "payload fields need --payload KIND");
    }
    const bool haveText = !operands.empty(), fromStdin = haveText && operands[0] == "-";
    std::string text = haveText && !fromStdin ? operands[0] : std::string();
    if (haveText && !inputFile.empty()) return gwcli::UsageError(line, "give the text or -i FILE, not both");
    if (!haveText && inputFile.empty()) return gwcli::UsageError(line, "no text given");
    if (!output.empty() && format == gwcli::SymbolFormat::kNone) {
        format = gwcli::SymbolFormatFromName(gwcli::Extension(output));
        if (!gwcli::IsFileFormat(format))
            return gwcli::UsageError(line, "cannot tell the format from '" + output + "'; use --format");
    }
    if (output.empty() && gwcli::IsFileFormat(format))
        return gwcli::UsageError(line,
                                 std::string("--format ") + gwcli::FormatExtension(format) + " needs -o OUT");
    if (format == gwcli::SymbolFormat::kNone && !ascii)
        return gwcli::UsageError(line, "nothing to write: give -o OUT, --format utf8|ascii or --ascii");
    const std::string clash = gwcli::CheckStyle(style, format);
    if (!clash.empty()) return gwcli::UsageError(line, clash);
    if (verify && style.tilde)
        return gwcli::UsageError(line, "--verify cannot check a text with --tilde escapes");
    if (verify && !gwcli::HaveSymbolReader())
        return gwcli::Failure(
            "encode", "--verify is unavailable: this program was built without a QR reader (zxing-cpp)");

    if (fromStdin) {
        if (!ReadAll(stdin, &text)) return gwcli::Failure("encode", "cannot read standard input");
    } else if (!inputFile.empty()) {
        FILE* in = std::fopen(inputFile.c_str(), "rb");
        const bool ok = in && ReadAll(in, &text);
        if (in) std::fclose(in);
        if (!ok) return gwcli::Failure("encode", "cannot read " + inputFile + ": " + std::strerror(errno));
    }
    if (text.size() > static_cast<size_t>(QRCODE_TEXT_MAX))
        return gwcli::Failure("encode",
                              "the text is longer than " + std::to_string(QRCODE_TEXT_MAX) + " bytes");
    QRCodeSettings settings;
    const size_t bytes = style.Fill(text, &settings);
    // Bytes the end mark cuts off are said, not let vanish without a word.
    const std::string cut = gwcli::EndMarkWarning(settings, bytes);
    if (!cut.empty()) std::fprintf(stderr, "glyphwell encode: warning: %s\n", cut.c_str());

    // The encoder's lines are a library's diagnostics, not this program's output.
    QRCodeSetTraceStream(trace && !quiet ? stderr : nullptr);
    QRCodeError why;
    SymbolMatrix* matrix = QRCodeMakeSymbolExplained(&settings, &why);
    // Pictures render the symbol again; its lines have been written once.
    QRCodeSetTraceStream(nullptr);
    if (!matrix) return gwcli::Failure("encode", gwcli::WhyNotEncodable(settings, why));
    if (!output.empty() && gwcli::IsPictureFormat(format)) {
        const std::string far = gwcli::FitPictureToSize(style.size, matrix->width, &settings);
        if (!far.empty()) std::fprintf(stderr, "glyphwell encode: warning: %s\n", far.c_str());
    }
    if (verify) {
        const std::string why = gwcli::CheckReadsBack(
            &settings, style, format, *matrix, std::string(settings.text, QRCodeTextLength(&settings)));
        if (!why.empty()) {
            std::free(matrix);
            return gwcli::Failure("encode", why);
        }
    }
    int status = kExitOk;
    if (ascii)
        std::fputs(gwcli::SymbolText(*matrix, gwcli::SymbolFormat::kAscii, style.invert).c_str(), stdout);
    if (output.empty() && format != gwcli::SymbolFormat::kNone) {
        std::fputs(gwcli::SymbolText(*matrix, format, style.invert).c_str(), stdout);
    } else if (!output.empty()) {
        std::string error;
        if (!gwcli::WriteSymbolFile(&settings, *matrix, style, format, output, &error))
            status = gwcli::Failure("encode", error);
    }
    std::free(matrix);
    return status;
}

const GlyphwellCommand kEncode("encode", "encode a text as a QR Code symbol", RunEncode);

}  // namespace

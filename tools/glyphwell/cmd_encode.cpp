// glyphwell encode: turns a text into a QR Code symbol with every encoder setting reachable
// from the command line, and writes it as a PNG, GIF, BMP, SVG, EPS or PDF file or shows it as
// text.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "encoder/payload.h"
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
    "symbol. Every byte of the text is encoded, '#' and NUL included.\n"
    "Without -o, the utf8 and ascii formats print the symbol on standard output.\n";

const char kEpilogue[] = "exit status: 0 done, 1 the text cannot be encoded, 2 usage error\n";

// What one run of encode was asked to do.
struct EncodeRun {
    gwcli::SymbolStyle style;
    bool ascii = false, quiet = false, trace = false, verify = false;
    std::string output, inputFile, payload;
    gwcli::SymbolFormat format = gwcli::SymbolFormat::kNone;  // from the output's ending unless named
    QRCodePayloadFields fields;                               // --payload's fields, in order
    std::vector<std::string> operands;
};

bool ReadAll(FILE* in, std::string* out) {
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        out->append(buffer, n);
        // Far beyond what a symbol holds; stop reading instead of growing without bound.
        if (out->size() > static_cast<size_t>(QRCODE_TEXT_FIELD_SIZE)) break;
    }
    return !std::ferror(in);
}

// The payload options: --payload KIND and one option per field a payload may take.
void AddPayloadOptions(EncodeRun* run, std::vector<gwcli::Option>* options) {
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
    QRCodePayloadFields* fields = &run->fields;
    options->push_back({nullptr, nullptr, "payload (instead of TEXT):", nullptr});
    options->push_back({"--payload", "KIND", "wifi, vcard, mecard, epc, geo, mailto, tel or sms",
                        gwcli::Text(&run->payload)});
    for (const auto& f : kFields) {
        const std::string field =
            std::string(f.option + 2) == "remittance" ? "text" : std::string(f.option + 2);
        options->push_back({f.option, "VALUE", f.help, [fields, field](const std::string& v) {
                                fields->emplace_back(field, v);
                                return std::string();
                            }});
    }
    options->push_back({"--hidden", nullptr, "wifi: the network is hidden", [fields](const std::string&) {
                            fields->emplace_back("hidden", "true");
                            return std::string();
                        }});
}

// The option table: output, payload, then the symbol and its look.
std::vector<gwcli::Option> EncodeOptions(EncodeRun* run) {
    std::vector<gwcli::Option> options = {
        {nullptr, nullptr, "output:", nullptr},
        {"-o", "OUT", "write the symbol to OUT (.png, .gif, .bmp, .svg, .eps, .pdf; else --format)",
         gwcli::Text(&run->output)},
        {"--format", "FORMAT", "png, gif, bmp, svg, eps, pdf, utf8 (half blocks) or ascii",
         gwcli::FormatOption(&run->format)},
        {"--ascii", nullptr, "also print the symbol as text, two characters per module",
         gwcli::Flag(&run->ascii)},
        {"-i", "FILE", "encode the raw bytes of FILE", gwcli::Text(&run->inputFile)},
        {"--trace", nullptr, "write the encoder's diagnostic lines (mask penalties) to standard error",
         gwcli::Flag(&run->trace)},
        {"--quiet", nullptr, "print no diagnostic lines (the default)", gwcli::Flag(&run->quiet)},
        {"--verify", nullptr,
         "read the symbol back with a QR reader first; write nothing unless it reads as the text",
         gwcli::Flag(&run->verify)},
    };
    AddPayloadOptions(run, &options);
    const std::vector<gwcli::Option> symbol = gwcli::SymbolOptions(&run->style);
    options.insert(options.end(), symbol.begin(), symbol.end());
    return options;
}

// --payload KIND: builds the payload's text as the operand. kContinue, or the exit status.
int TakePayload(const gwcli::CommandLine& line, EncodeRun* run) {
    if (run->payload.empty())
        return run->fields.empty() ? gwcli::kContinue
                                   : gwcli::UsageError(line, "payload fields need --payload KIND");
    if (!run->operands.empty() || !run->inputFile.empty())
        return gwcli::UsageError(line, "give TEXT or --payload, not both");
    std::string why, built;
    if (!QRCodeBuildPayload(run->payload, run->fields, &built, &why)) {
        // An unknown kind or field is a usage error; a value the format cannot hold is not.
        if (why.rfind("no payload kind", 0) == 0 || why.find(" has no field ") != std::string::npos)
            return gwcli::UsageError(line, "--payload " + why);
        return gwcli::Failure("encode", "--payload " + run->payload + ": " + why);
    }
    run->operands.push_back(built);  // every kind begins with its scheme, so never "-"
    // A payload's format says how its text is read (EPC's character-set line; vCard, Wi-Fi and
    // the others are read as UTF-8): its bytes go into the symbol as built.
    run->style.bytesAsGiven = true;
    int level = 0;
    if (QRCodePayloadLevel(run->payload, &level)) run->style.request.level = level;
    return gwcli::kContinue;
}

// The checks of the arguments against each other. kContinue, or the exit status.
int CheckArguments(const gwcli::CommandLine& line, EncodeRun* run) {
    if (run->operands.size() > 1) return gwcli::UsageError(line, "give the text only once");
    const int payload = TakePayload(line, run);
    if (payload != gwcli::kContinue) return payload;
    if (!run->operands.empty() && !run->inputFile.empty())
        return gwcli::UsageError(line, "give the text or -i FILE, not both");
    if (run->operands.empty() && run->inputFile.empty()) return gwcli::UsageError(line, "no text given");
    if (!run->output.empty() && run->format == gwcli::SymbolFormat::kNone) {
        run->format = gwcli::SymbolFormatFromName(gwcli::Extension(run->output));
        if (!gwcli::IsFileFormat(run->format))
            return gwcli::UsageError(line, "cannot tell the format from '" + run->output + "'; use --format");
    }
    if (run->output.empty() && gwcli::IsFileFormat(run->format))
        return gwcli::UsageError(
            line, std::string("--format ") + gwcli::FormatExtension(run->format) + " needs -o OUT");
    if (run->format == gwcli::SymbolFormat::kNone && !run->ascii)
        return gwcli::UsageError(line, "nothing to write: give -o OUT, --format utf8|ascii or --ascii");
    const std::string clash = gwcli::CheckStyle(run->style, run->format);
    if (!clash.empty()) return gwcli::UsageError(line, clash);
    if (run->verify && run->style.tilde)
        return gwcli::UsageError(line, "--verify cannot check a text with --tilde escapes");
    if (run->verify && !gwcli::HaveSymbolReader())
        return gwcli::Failure(
            "encode", "--verify is unavailable: " + gwcli::SymbolReaderMissing());
    return gwcli::kContinue;
}

// The text: the operand, standard input for "-", or the bytes of -i FILE. kContinue, or the
// exit status.
int ReadText(const EncodeRun& run, std::string* text) {
    if (!run.operands.empty() && run.operands[0] != "-") {
        *text = run.operands[0];
    } else if (!run.operands.empty()) {
        if (!ReadAll(stdin, text)) return gwcli::Failure("encode", "cannot read standard input");
    } else {
        FILE* in = std::fopen(run.inputFile.c_str(), "rb");
        const bool ok = in && ReadAll(in, text);
        if (in) std::fclose(in);
        if (!ok)
            return gwcli::Failure("encode", "cannot read " + run.inputFile + ": " + std::strerror(errno));
    }
    if (text->size() > static_cast<size_t>(QRCODE_TEXT_MAX))
        return gwcli::Failure("encode",
                              "the text is longer than " + std::to_string(QRCODE_TEXT_MAX) + " bytes");
    return gwcli::kContinue;
}

// Encodes the text once and writes the symbol where it was asked for.
int EncodeAndWrite(const EncodeRun& run, const std::string& text) {
    // The encoder's lines are a library's diagnostics, not this program's output.
    QRCodeSetTraceStream(run.trace && !run.quiet ? stderr : nullptr);
    gwcli::MadeSymbol made;
    std::string error;
    const bool encoded =
        gwcli::MakeSymbol(run.style, run.format, text, run.trace && !run.quiet, &made, &error);
    QRCodeSetTraceStream(nullptr);
    if (!encoded) return gwcli::Failure("encode", error);
    if (!made.warning.empty()) std::fprintf(stderr, "glyphwell encode: warning: %s\n", made.warning.c_str());
    if (run.verify) {
        const std::string why = gwcli::CheckReadsBack(made, run.format);
        if (!why.empty()) return gwcli::Failure("encode", why);
    }
    if (run.ascii)
        std::fputs(gwcli::SymbolText(made.symbol, gwcli::SymbolFormat::kAscii, run.style.invert).c_str(),
                   stdout);
    if (run.output.empty() && run.format != gwcli::SymbolFormat::kNone) {
        std::fputs(gwcli::SymbolText(made.symbol, run.format, run.style.invert).c_str(), stdout);
    } else if (!run.output.empty()) {
        if (!gwcli::WriteSymbolFile(made, run.style, run.format, run.output, &error))
            return gwcli::Failure("encode", error);
    }
    return kExitOk;
}

int RunEncode(const std::vector<std::string>& args) {
    EncodeRun run;
    const gwcli::CommandLine line{"encode", kSynopsis, EncodeOptions(&run), kEpilogue};
    int status = gwcli::Parse(line, args, &run.operands);
    if (status == gwcli::kContinue) status = CheckArguments(line, &run);
    std::string text;
    if (status == gwcli::kContinue) status = ReadText(run, &text);
    return status == gwcli::kContinue ? EncodeAndWrite(run, text) : status;
}

const GlyphwellCommand kEncode("encode", "encode a text as a QR Code symbol", RunEncode);

}  // namespace

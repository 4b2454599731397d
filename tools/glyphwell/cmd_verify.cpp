// glyphwell verify: reads each picture with an independent QR reader before it is trusted (sent
// to print, handed out), and says what it read and how well the symbol is made to be read.
#include <cstdio>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/output.h"
#include "tools/glyphwell/symbol_reader.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell verify FILE... [--expect TEXT] [--max-pixels N]\n"
    "\n"
    "Reads the QR Code symbol in each picture (PNG, GIF or BMP) with zxing-cpp and prints its\n"
    "text, level, version, module size in pixels, quiet zone in modules and contrast. The mask\n"
    "is not reported: the reader does not say which it found.\n";

const char kEpilogue[] =
    "exit status: 0 every file read (as TEXT with --expect), 1 a file unreadable, without a\n"
    "symbol or reading otherwise, or no reader built in, 2 usage error\n";

int RunVerify(const std::vector<std::string>& args) {
    std::string expect;
    bool haveExpect = false;
    std::vector<gwcli::Option> options = {
        {"--expect", "TEXT", "fail unless every symbol reads as TEXT",
         [&](const std::string& v) {
             expect = v;
             haveExpect = true;
             return std::string();
         }},
        gwcli::MaxPixelsOption(),
    };
    const gwcli::CommandLine line{"verify", kSynopsis, options, kEpilogue};
    std::vector<std::string> operands;
    const int parsed = gwcli::Parse(line, args, &operands);
    if (parsed != gwcli::kContinue) return parsed;
    if (operands.empty()) return gwcli::UsageError(line, "give at least one FILE");
    if (!gwcli::HaveSymbolReader())
        return gwcli::Failure("verify",
                              "unavailable: " + gwcli::SymbolReaderMissing());

    int status = kExitOk;
    for (const std::string& path : operands) {
        const std::string name = gwcli::Printable(path);
        FILE* fp = std::fopen(path.c_str(), "rb");
        GwImage image;
        const bool loaded = fp && image.Decode(fp, TypeAny) && image.GetWidth() > 0;
        if (fp) std::fclose(fp);
        if (!loaded) {
            status =
                gwcli::Failure("verify", "cannot read '" + name + "'" +
                                             (fp ? std::string(": ") + image.GetLastError() : std::string()));
            continue;
        }
        const gwcli::SymbolReading r = gwcli::ReadSymbol(image);
        if (!r.found) {
            status = gwcli::Failure("verify", name + ": " + r.error);
            continue;
        }
        std::printf("%s\n  text: %s\n", name.c_str(), gwcli::Printable(r.bytes).c_str());
        if (!r.level.empty()) std::printf("  level: %s\n", r.level.c_str());
        if (r.version) std::printf("  version: %d\n", r.version);
        if (r.moduleSize > 0) {
            std::printf("  module size: %.2f pixels\n", r.moduleSize);
            std::printf("  quiet zone: %.1f modules\n", r.quietZone);
            std::printf("  contrast: %.0f%%\n", r.contrast);
        }
        if (haveExpect && r.bytes != expect)
            status = gwcli::Failure("verify", name + ": reads as other text than expected");
    }
    return gwcli::FinishStandardOutput("verify", status);
}

const GlyphwellCommand kVerify("verify", "read symbols back with an independent QR reader", RunVerify);

}  // namespace

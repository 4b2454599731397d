// glyphwell convert: reads a picture file (BMP, GIF or PNG, detected or named) and writes it
// in another of those formats, with the GIF coder and PNG interlacing as options.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "tools/glyphwell/command.h"

namespace {

const char kUsage[] =
    "usage: glyphwell convert IN OUT [--from any|bmp|gif|png] [--to bmp|gif|png] [--frame N]\n"
    "                         [--gif-coder lzw|none|rle] [--interlace]\n"
    "\n"
    "Reads the picture IN and writes it to OUT.\n"
    "  --from TYPE       format of IN (default any: detected from its contents)\n"
    "  --to TYPE         format of OUT (default: from OUT's ending .bmp, .gif or .png)\n"
    "  --frame N         frame of an animated GIF to read (default 0, the first)\n"
    "  --gif-coder CODER GIF pixel coding: lzw (default), none (uncompressed codes) or rle\n"
    "  --interlace       write the PNG interlaced (Adam7)\n"
    "\n"
    "exit status: 0 written, 1 IN could not be read or OUT not written, 2 usage error\n";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "glyphwell convert: %s\n\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "glyphwell convert: %s\n", message.c_str());
    return kExitFailed;
}

// Type id for a format name; -1 when the name is none of them (any only when allowed).
long TypeFromName(const std::string& name, bool allowAny) {
    if (allowAny && name == "any") return TypeAny;
    if (name == "bmp") return TypeBmp;
    if (name == "gif") return TypeGif;
    if (name == "png") return TypePng;
    return -1;
}

long TypeFromFileName(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return -1;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return TypeFromName(ext, false);
}

bool ParseCount(const std::string& text, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || v > 0x7FFFFFFF) return false;
    *out = v;
    return true;
}

int RunConvert(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    long from = TypeAny, to = -1, frame = 0, gifCoder = 0;
    bool interlace = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--from") {
            if (!value(&v) || (from = TypeFromName(v, true)) < 0) return UsageError("--from takes any, bmp, gif or png");
        } else if (a == "--to") {
            if (!value(&v) || (to = TypeFromName(v, false)) < 0) return UsageError("--to takes bmp, gif or png");
        } else if (a == "--frame") {
            if (!value(&v) || !ParseCount(v, &frame)) return UsageError("--frame takes a frame number (0 is the first)");
        } else if (a == "--gif-coder") {
            if (!value(&v)) return UsageError("--gif-coder takes lzw, none or rle");
            if (v == "lzw") gifCoder = 0;
            else if (v == "none") gifCoder = 1;
            else if (v == "rle") gifCoder = 2;
            else return UsageError("--gif-coder takes lzw, none or rle");
        } else if (a == "--interlace") {
            interlace = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError("unknown option '" + a + "'");
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) return UsageError("expected an input and an output file");
    const std::string& in = files[0];
    const std::string& out = files[1];
    if (to < 0) to = TypeFromFileName(out);
    if (to < 0) return UsageError("cannot tell the output format from '" + out + "'; use --to");

    GwImage image;
    image.SetFrame(frame);
    FILE* fp = std::fopen(in.c_str(), "rb");
    if (!fp) return Failure("cannot open '" + in + "'");
    bool read = image.Decode(fp, static_cast<DWORD>(from));
    std::fclose(fp);
    if (!read || !image.IsValid()) {
        std::string why = image.GetLastError();
        return Failure("cannot read '" + in + "': " + (why.empty() ? "not a picture" : why));
    }

    image.SetCodecOption(static_cast<DWORD>(gifCoder), TypeGif);
    image.SetCodecOption(interlace ? 1 : 0, TypePng);
    image.SetFrame(0);
    FILE* target = std::fopen(out.c_str(), "wb");
    if (!target) return Failure("cannot create '" + out + "'");
    bool written = image.Encode(target, static_cast<DWORD>(to));
    std::string why = written ? "" : image.GetLastError();
    if (std::fclose(target) != 0 && written) {
        written = false;
        why = "write error";
    }
    if (!written) {
        std::remove(out.c_str());  // no half-written picture is left behind
        return Failure("cannot write '" + out + "': " + why);
    }
    return kExitOk;
}

const GlyphwellCommand kConvert("convert", "convert a picture between BMP, GIF and PNG", RunConvert);

}  // namespace

// glyphwell convert: reads a picture file (BMP, GIF or PNG, detected or named) and writes it
// in another of those formats, with the GIF coder and PNG interlacing as options.
#include <cstdio>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell convert IN OUT [options]\n"
    "\n"
    "Reads the picture IN and writes it to OUT.\n";

const char kEpilogue[] = "exit status: 0 written, 1 IN could not be read or OUT not written, 2 usage error\n";

int Failure(const std::string& message) { return gwcli::Failure("convert", message); }

int RunConvert(const std::vector<std::string>& args) {
    long from = TypeAny, to = -1, frame = 0, gifCoder = 0;
    bool interlace = false;
    using gwcli::Choice;
    const gwcli::CommandLine line{
        "convert",
        kSynopsis,
        {
            {"--from", "TYPE", "format of IN: any (detected from its contents, the default), bmp, gif or png",
             Choice<long>({{"any", TypeAny}, {"bmp", TypeBmp}, {"gif", TypeGif}, {"png", TypePng}}, &from)},
            {"--to", "TYPE", "format of OUT: bmp, gif or png (default: from OUT's ending)",
             Choice<long>({{"bmp", TypeBmp}, {"gif", TypeGif}, {"png", TypePng}}, &to)},
            {"--frame", "N", "frame of an animated GIF to read (default 0, the first)",
             gwcli::Integer(0, 0x7FFFFFFF, &frame)},
            {"--gif-coder", "CODER", "GIF pixel coding: lzw (default), none (uncompressed codes) or rle",
             Choice<long>({{"lzw", 0}, {"none", 1}, {"rle", 2}}, &gifCoder)},
            {"--interlace", nullptr, "write the PNG interlaced (Adam7)", gwcli::Flag(&interlace)},
        },
        kEpilogue};
    std::vector<std::string> files;
    const int parsed = gwcli::Parse(line, args, &files);
    if (parsed != gwcli::kContinue) return parsed;
    if (files.size() != 2) return gwcli::UsageError(line, "expected an input and an output file");
    const std::string& in = files[0];
    const std::string& out = files[1];
    if (to < 0) to = gwcli::PictureType(gwcli::Extension(out));
    if (to < 0) return gwcli::UsageError(line, "cannot tell the output format from '" + out + "'; use --to");

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
    std::string error;
    if (!gwcli::SavePicture(image, out, to, &error)) return Failure(error);
    return kExitOk;
}

const GlyphwellCommand kConvert("convert", "convert a picture between BMP, GIF and PNG", RunConvert);

}  // namespace

// glyphwell convert: reads a picture file (BMP, GIF or PNG, detected or named) and writes it
// in another of those formats, with the GIF coder and PNG interlacing as options; on the way
// it can turn, resize, crop, shrink to a thumbnail and dither the picture, in that order.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/output.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell convert IN OUT [options]\n"
    "\n"
    "Reads the picture IN and writes it to OUT. The picture options apply in this order,\n"
    "whatever order they are given in: --rotate, --resize, --crop, --thumbnail, --dither.\n";

const char kEpilogue[] = "exit status: 0 written, 1 IN could not be read or OUT not written, 2 usage error\n";

int Failure(const std::string& message) { return gwcli::Failure("convert", message); }

// "W", "x", "H" with both sides 1 or more; the rest of the text after them lands in *rest.
bool ParseSize(const std::string& text, long* width, long* height, std::string* rest) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    const size_t end = text.find(':', x);
    *rest = end == std::string::npos ? "" : text.substr(end);
    return gwcli::ParseInteger(text.substr(0, x), 1, 0x7FFFFFFF, width) &&
           gwcli::ParseInteger(text.substr(x + 1, end == std::string::npos ? std::string::npos : end - x - 1), 1,
                               0x7FFFFFFF, height);
}

struct Sizing {
    bool wanted = false;
    long width = 0;
    long height = 0;
};

gwcli::Apply SizeValue(Sizing* out, int* method) {
    return [out, method](const std::string& value) -> std::string {
        static const char* const kNames[] = {"nearest", "bilinear", "bspline", "bicubic", "bicubic2", "lanczos",
                                             "box", "hermite", "hamming", "sinc", "blackman", "bessel",
                                             "gaussian", "quadratic", "mitchell", "catrom"};
        const std::string why = method ? "takes WxH or WxH:METHOD" : "takes WxH";
        std::string rest;
        if (!ParseSize(value, &out->width, &out->height, &rest)) return why;
        if (!rest.empty()) {
            if (!method) return why;
            int found = 0;
            for (int i = 0; i < 16; i++)
                if (gwcli::SameName(rest.substr(1), kNames[i])) found = i + 1;
            if (!found) return "takes a method: " + gwcli::ChoiceList(std::vector<const char*>(kNames, kNames + 16));
            *method = found;
        }
        out->wanted = true;
        return "";
    };
}

// Degrees as a finite decimal number. Whole turns are taken off in double precision (fmod is
// exact) before the angle becomes the library's float, so a quarter turn stays a quarter turn
// however many whole turns come with it.
gwcli::Apply AngleValue(bool* wanted, float* out) {
    return [wanted, out](const std::string& value) -> std::string {
        char* end = nullptr;
        const double v = value.empty() ? NAN : std::strtod(value.c_str(), &end);
        if (!std::isfinite(v) || *end != '\0') return "takes an angle in degrees";
        *out = static_cast<float>(std::fmod(v, 360.0));
        *wanted = true;
        return "";
    };
}

// X,Y,W,H: the corner from the picture's top left, then the size.
gwcli::Apply CropValue(bool* wanted, long box[4]) {
    return [wanted, box](const std::string& value) -> std::string {
        std::vector<std::string> parts(1);
        for (char c : value) {
            if (c == ',')
                parts.emplace_back();
            else
                parts.back() += c;
        }
        if (parts.size() != 4) return "takes X,Y,W,H";
        for (size_t i = 0; i < 4; i++)
            if (!gwcli::ParseInteger(parts[i], i < 2 ? 0 : 1, 0x7FFFFFFF, &box[i])) return "takes X,Y,W,H";
        *wanted = true;
        return "";
    };
}

// The picture options, in their fixed order; false with the library's reason on failure.
struct PictureSteps {
    bool rotate = false;
    float degrees = 0;
    Sizing resize;
    int method = InterpBilinear;
    bool crop = false;
    long box[4] = {0, 0, 0, 0};
    Sizing thumbnail;
    bool dither = false;

    bool Apply(GwImage& image, std::string* why) const {
        bool ok = true;
        if (ok && rotate) ok = image.Rotate(degrees);
        if (ok && resize.wanted)
            ok = image.Resample2(resize.width, resize.height, static_cast<InterpolationMethod>(method));
        if (ok && crop) {
            // Rows count upward in the picture: the top-left corner is row height - 1.
            // In 64 bits, then held within a 32-bit long: the picture clips the rest.
            const int64_t h = image.GetHeight(), top = h - box[1];
            const int64_t right = std::min<int64_t>(static_cast<int64_t>(box[0]) + box[2], 0x7FFFFFFF);
            ok = image.Crop(box[0], static_cast<long>(std::max<int64_t>(top, 0)), static_cast<long>(right),
                            static_cast<long>(std::max<int64_t>(top - box[3], 0)));
        }
        if (ok && thumbnail.wanted) ok = image.Thumbnail(thumbnail.width, thumbnail.height);
        if (ok && dither) ok = image.Dither();
        if (!ok) *why = image.GetLastError();
        return ok;
    }
};

int RunConvert(const std::vector<std::string>& args) {
    long from = TypeAny, to = -1, frame = 0, gifCoder = 0;
    bool interlace = false, partial = false;
    PictureSteps steps;
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
            {"--rotate", "DEG", "turn counter-clockwise by DEG degrees (bilinear; the canvas grows to hold it)",
             AngleValue(&steps.rotate, &steps.degrees)},
            {"--resize", "WxH[:M]", "resize to W x H pixels; M: bilinear (default), nearest, box, bicubic, lanczos, ...",
             SizeValue(&steps.resize, &steps.method)},
            {"--crop", "X,Y,W,H", "keep W x H pixels from column X, row Y (counted from the top left)",
             CropValue(&steps.crop, steps.box)},
            {"--thumbnail", "WxH", "shrink to fit W x H, keeping the proportions (never enlarges)",
             SizeValue(&steps.thumbnail, nullptr)},
            {"--dither", nullptr, "reduce to black and white (Floyd-Steinberg error diffusion)", gwcli::Flag(&steps.dither)},
            {"--partial", nullptr, "accept a picture whose file ends inside its pixel data (the rest is blank)",
             gwcli::Flag(&partial)},
            gwcli::MaxPixelsOption(),
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
    // Only a GIF holds frames; naming one in a picture of one frame is a mistake, not a no-op.
    if (frame > 0 && image.GetType() != TypeGif)
        return Failure("'" + in + "' holds a single picture; --frame " + std::to_string(frame) + " does not exist");
    if (image.IsPartial()) {
        const std::string warning = "'" + in + "' is cut short: " + image.GetLastError();
        if (!partial) return Failure(warning + " (--partial writes what it holds)");
        std::fprintf(stderr, "glyphwell convert: warning: %s\n", warning.c_str());
    }

    std::string why;
    if (!steps.Apply(image, &why)) return Failure("cannot transform '" + in + "': " + why);

    image.SetCodecOption(static_cast<DWORD>(gifCoder), TypeGif);
    image.SetCodecOption(interlace ? 1 : 0, TypePng);
    image.SetFrame(0);
    std::string error;
    if (!gwcli::SavePicture(image, out, to, &error)) return Failure(error);
    return kExitOk;
}

const GlyphwellCommand kConvert("convert", "convert a picture between BMP, GIF and PNG", RunConvert);

}  // namespace

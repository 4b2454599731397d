// glyphwell info: describes picture files (BMP, GIF, PNG): format, size, depth, colours,
// transparency, resolution and frames, and for GIF files the play count, frame delay and
// comment.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/gif/gw_image_gif.h"
#include "image/gw_image.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/output.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell info FILE...\n"
    "\n"
    "Prints, for each picture file, its format, width and height in pixels, bits per pixel,\n"
    "palette colours (0 for 24-bit pictures), transparency, resolution in dots per inch and\n"
    "number of frames; for GIF files also the looping count stored in the file (0 = forever),\n"
    "the delay of the first frame in hundredths of a second and the comment. Only the file's\n"
    "headers are read, so describing a picture costs no memory for its pixels.\n";

const char kEpilogue[] = "exit status: 0 all files described, 1 some file could not be read, 2 usage error\n";

const char* TypeName(DWORD type) {
    switch (type) {
        case TypeBmp: return "bmp";
        case TypeGif: return "gif";
        case TypePng: return "png";
        default: return "unknown";
    }
}

std::string Transparency(const GwImage& image) {
    char text[64];
    if (image.GetTransIndex() >= 0) {
        if (image.GetBpp() <= 8) {
            std::snprintf(text, sizeof text, "index %ld", image.GetTransIndex());
        } else {
            RGBQUAD c = image.GetTransColor();
            std::snprintf(text, sizeof text, "colour #%02x%02x%02x", c.rgbRed, c.rgbGreen, c.rgbBlue);
        }
        return text;
    }
    if (image.GetFlags() & GwImage::FlagAlphaChannel) return "alpha plane";
    if (image.AlphaPaletteIsEnabled()) return "palette alpha";
    return "none";
}

// Describes one file on standard output; false (with a line on stderr) when it cannot be read.
// Only headers and blocks are read: no pixel is decoded, whatever the picture's size.
bool Describe(const std::string& path) {
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) {
        std::fprintf(stderr, "glyphwell info: cannot open '%s'\n", gwcli::Printable(path).c_str());
        return false;
    }
    GwImage image;
    image.SetEscape(-1);
    bool ok = image.Decode(fp, TypeAny);
    if (!ok || image.GetWidth() == 0) {
        std::fclose(fp);
        std::fprintf(stderr, "glyphwell info: cannot read '%s': %s\n", gwcli::Printable(path).c_str(),
                     image.GetLastError());
        return false;
    }
    // Names and comments come from outside: escaped, they can neither steer the terminal nor
    // forge a line of this description.
    std::printf("%s\n", gwcli::Printable(path).c_str());
    std::printf("  type: %s\n", TypeName(image.GetType()));
    std::printf("  width: %u\n", static_cast<unsigned>(image.GetWidth()));
    std::printf("  height: %u\n", static_cast<unsigned>(image.GetHeight()));
    std::printf("  bits per pixel: %u\n", static_cast<unsigned>(image.GetBpp()));
    std::printf("  colours: %u\n", static_cast<unsigned>(image.GetNumColors()));
    std::printf("  transparency: %s\n", Transparency(image).c_str());
    std::printf("  resolution: %ld x %ld dpi\n", image.GetXDPI(), image.GetYDPI());
    if (image.GetType() == TypeGif) {
        // Loops and comment live in the GIF reader's own object: walk the blocks once more.
        std::rewind(fp);
        GwImageGIF gif;
        gif.SetEscape(-1);
        gif.Decode(fp);
        char comment[256] = "";
        gif.GetComment(comment);
        std::printf("  frames: %ld\n", image.GetNumFrames());
        std::printf("  loops: %d\n", gif.GetLoops());
        std::printf("  delay: %u\n", static_cast<unsigned>(image.GetFrameDelay()));
        std::printf("  comment: %s\n", gwcli::Printable(comment).c_str());
    } else {
        std::printf("  frames: 1\n");
    }
    std::fclose(fp);
    return true;
}

int RunInfo(const std::vector<std::string>& args) {
    const gwcli::CommandLine line{"info", kSynopsis, {}, kEpilogue};
    std::vector<std::string> files;
    const int parsed = gwcli::Parse(line, args, &files);
    if (parsed != gwcli::kContinue) return parsed;
    if (files.empty()) return gwcli::UsageError(line, "expected at least one file");
    int status = kExitOk;
    for (const std::string& f : files)
        if (!Describe(f)) status = kExitFailed;
    return status;
}

const GlyphwellCommand kInfo("info", "describe picture files (format, size, depth, colours, frames)", RunInfo);

}  // namespace

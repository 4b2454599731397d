// A program of someone who uses the image classes the control module exports: it links only
// against the module's import library, loads a GIF and saves it as a PNG, then reads the PNG
// back and holds its pixels to the GIF's. Exit 0 on success.
#include <cstdio>

#include "image/gw_image.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: image_client IN.gif OUT.png\n");
        return 2;
    }
    GwImage gif;
    if (!gif.Load(argv[1], TypeGif)) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    if (!gif.Save(argv[2], TypePng)) {
        std::fprintf(stderr, "cannot save %s\n", argv[2]);
        return 1;
    }
    GwImage png;
    if (!png.Load(argv[2], TypePng) || png.GetWidth() != gif.GetWidth() || png.GetHeight() != gif.GetHeight()) {
        std::fprintf(stderr, "%s does not read back at %lu x %lu\n", argv[2], static_cast<unsigned long>(gif.GetWidth()),
                     static_cast<unsigned long>(gif.GetHeight()));
        return 1;
    }
    for (long y = 0; y < static_cast<long>(gif.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(gif.GetWidth()); ++x) {
            const RGBQUAD a = gif.GetPixelColor(x, y, false), b = png.GetPixelColor(x, y, false);
            if (a.rgbRed != b.rgbRed || a.rgbGreen != b.rgbGreen || a.rgbBlue != b.rgbBlue) {
                std::fprintf(stderr, "pixel %ld,%ld differs\n", x, y);
                return 1;
            }
        }
    std::printf("%lu x %lu GIF saved as PNG\n", static_cast<unsigned long>(gif.GetWidth()),
                static_cast<unsigned long>(gif.GetHeight()));
    return 0;
}

// Test helpers that turn a symbol into rows of modules and into a grey raster, the form the
// decoders in qr_decode.h read and the form expectations are written in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SymbolMatrix;

namespace gwtest {

// An 8-bit grey raster, row by row from the top, one byte per pixel (0 black, 255 white).
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// The modules of a symbol as rows of '#' (dark) and '.' (light), top row first. A module is
// dark by the matrix colour rule (an unassigned cell counts as light).
std::vector<std::string> SymbolToArt(const SymbolMatrix& m);

// Draws a grid of modules ('#' dark, anything else light) as black on white, each module
// `scale` x `scale` pixels, inside a light quiet zone `quietZone` modules wide.
GreyImage RasteriseArt(const std::vector<std::string>& rows, int quietZone = 4, int scale = 4);
GreyImage RasteriseSymbol(const SymbolMatrix& m, int quietZone = 4, int scale = 4);

}  // namespace gwtest

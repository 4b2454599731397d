// Symbols for print: the module matrix as an Encapsulated PostScript figure or a one-page PDF,
// drawn as filled rectangles (one per run of dark modules in a row) on a box exactly the
// picture's size, so a layout program or a printer places it without scaling guesses.
#pragma once

#include <string>

#include "encoder/symbol.h"
#include "picture/symbol_picture.h"

namespace gwcli {

// The picture of `m` as the look paints it (margin in pixels, white; light modules in the
// background colour; dark modules in the foreground colour), measured `side` points square
// (1/72 inch; > 0). With look.transparent, neither the margin nor the light modules are painted.
// The EPS has a %%BoundingBox of the side rounded up to whole points and an exact
// %%HiResBoundingBox; the PDF has one page whose MediaBox is the side, and a cross-reference
// table that gives every object's byte offset.
std::string SymbolEps(const QRCodeSymbol& m, const GwSymbolLook& look, double side);
std::string SymbolPdf(const QRCodeSymbol& m, const GwSymbolLook& look, double side);

}  // namespace gwcli

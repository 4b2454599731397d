// The command line's short road to a two-colour picture: the symbol's module matrix painted
// straight into a 1-bit palette image, one packed row per module row copied over its pixel
// lines. It skips the renderer's screen bitmap, the full-colour copy and the depth reduction,
// and gives the picture that road gives, bit for bit.
#pragma once

#include <string>

#include "encoder/matrix.h"
#include "encoder/settings.h"
#include "platform/win32.h"

class GwImage;

namespace gwcli {

// The 1-bit palette of a symbol picture: the light (background) colour first, so that white
// margin rows and the unused bits at the end of each row are all zero bits, which deflate
// best; then the dark (foreground) colour.
void SymbolPalette(const QRCodeSettings& s, RGBQUAD palette[2]);

// True when the renderer's picture of `s` holds no more than the palette's two colours: its
// margin is always white, so the background must be white or the margin empty.
bool IsTwoColourPicture(const QRCodeSettings& s);

// Side in pixels of the picture of a symbol `modules` wide: pixelSize * modules + 2 * margin.
long PictureSide(const QRCodeSettings& s, int modules);

// Paints `m`, the finished symbol of `s`, into *image as the 1-bit picture the renderer's road
// makes for a two-colour picture (IsTwoColourPicture) with at least one pixel a side: palette
// as SymbolPalette, and each pixel the entry the depth reduction picks for the renderer's
// colour there (the dark entry for dark modules unless both colours are the same, the light
// entry for everything else). False with the reason in *error when the picture is wider
// than the renderer paints (QRCODE_MAX_RASTER_SIDE) or cannot be created.
bool PaintTwoColourSymbol(const SymbolMatrix& m, const QRCodeSettings& s, GwImage* image, std::string* error);

}  // namespace gwcli

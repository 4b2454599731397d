// The one rasteriser above the encoder and the image library: a finished symbol (the value
// API's QRCodeSymbol) and a look (module size, margin, two colours, transparency) become a
// GwImage. A picture of two colours is a 1-bit palette image, anything else 24-bit.
#pragma once

#include <cstdint>
#include <string>

#include "encoder/symbol.h"

class GwImage;

// The largest picture side painted: 8192 pixels, what a 32-bit host can still hold twice over
// (a screen bitmap and its copy). A module size of 46 at version 40 with the default margin fits.
constexpr long GW_MAX_SYMBOL_PICTURE_SIDE = 8192;

// How a symbol looks. Colours are 0x00BBGGRR.
struct GwSymbolLook {
    int pixelSize = 3;                // pixels per module side, 0..255
    int margin = 10;                  // pixels of border on each side, 0..255; always white
    uint32_t foreground = 0x000000;   // dark modules
    uint32_t background = 0xFFFFFF;   // light modules
    bool transparent = false;         // light modules and margin transparent (palette entry 0)
    int depth = 1;                    // 1: a 1-bit palette picture when two colours suffice;
                                      // 24: always 24-bit
};

// Side in pixels of the picture of a symbol `modules` wide: pixelSize * modules + 2 * margin.
long GwSymbolPictureSide(const GwSymbolLook& look, int modules);

// True when the picture holds no more than two colours: its margin is always white, so the
// background must be white or the margin empty.
bool GwSymbolPictureIsTwoColour(const GwSymbolLook& look);

// Paints the symbol into *image, replacing what it held: N x N pixels, N =
// GwSymbolPictureSide; module (x, y) covers the pixels margin + x * pixelSize .. + pixelSize - 1
// from the top-left corner in each direction, in the foreground colour when dark and the
// background colour when light, every other pixel white. Two-colour pictures (unless depth is
// 24) are 1-bit with the palette {background, foreground}; when both colours are the same every
// pixel takes entry 0. Other pictures are 24-bit. With `transparent` the picture is always made
// 1-bit, the margin in entry 0 with the light modules, and entry 0 transparent. False with the
// reason in *error for a picture wider than GW_MAX_SYMBOL_PICTURE_SIDE, an empty one (N = 0), or
// one that cannot be created.
bool GwPaintSymbol(const QRCodeSymbol& symbol, const GwSymbolLook& look, GwImage* image, std::string* error);

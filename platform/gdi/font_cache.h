// Realised fonts: a LOGFONT resolved to a FreeType face through fontconfig, sized in pixels,
// with Windows-style cell metrics and a cache of 1-bit glyph images. Internal to platform/gdi.
#pragma once

#include "platform/gdi/gdi_internal.h"

#include <cstdint>
#include <vector>

namespace gw {
namespace gdi {

struct GlyphImage {
    int advance = 0;  // pixels to the next pen position
    int left = 0;     // from the pen position to the image's first column
    int top = 0;      // from the baseline up to the image's first row
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> ink;  // width * rows, 1 where the glyph covers the pixel
};

struct RealFont {
    int em = 0;
    int ascent = 0;
    int descent = 0;
    int height = 0;
    int internalLeading = 0;
    int aveWidth = 0;
    int maxWidth = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int underlineOffset = 0;  // rows below the baseline of the underline's first row
    int lineThickness = 1;
    int strikeOffset = 0;     // rows above the baseline of the strike-out's first row
};

// The realised form of a font (null: the system font). Null when no face can be loaded.
// Valid while the GDI lock is held.
const RealFont* Realize(const Font* font);
const GlyphImage* GlyphOf(const RealFont* font, uint32_t codepoint);
// The Unicode code point of a Windows-1252 byte.
uint32_t CodepointOf(unsigned char c);

}  // namespace gdi
}  // namespace gw

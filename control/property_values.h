// The values the control's properties take: each numeric property's valid range (with -1 for
// "unset, use the default" where it has one), the colours it can paint, and the one-line texts
// that tell a host what a refused value should have been. The type library's help strings and
// the README publish the same ranges.
#pragma once

#include <string>

#include "platform/win32.h"

struct GlyphwellPropertyRange {
    DISPID dispid;
    const char* name;
    long low;            // inclusive
    long high;           // inclusive
    const char* unset;   // what -1 stands for, or null when -1 is not a value of the property
};

// The range of a short property (null for the booleans, colours and the text).
const GlyphwellPropertyRange* GlyphwellRangeOf(DISPID dispid);
bool GlyphwellInRange(const GlyphwellPropertyRange& range, long value);
// "PixelSize takes 1 to 255, or -1 for 3 pixels."
std::string GlyphwellRangeText(const GlyphwellPropertyRange& range);

// A colour the control can paint: a red-green-blue value 0x00BBGGRR, or a system colour
// 0x80000000 + index that the system's colour table holds.
bool GlyphwellColorValid(OLE_COLOR color);
std::string GlyphwellColorRangeText(const char* name);
// The red-green-blue value that paints `color` now (system colours through the system's table).
COLORREF GlyphwellPaintColor(OLE_COLOR color);

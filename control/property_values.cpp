#include "control/property_values.h"

#include "control/glyphwell_ids.h"

namespace {

// The fields behind Margin and PixelSize are bytes; the renderer's own limit (a raster side of
// at most 8192 pixels) depends on the version as well, so a combination beyond it is reported
// when the symbol is made. EciMode is a short: assignment numbers up to 32767.
const GlyphwellPropertyRange kRanges[] = {
    {dispidPreferredVersion, "PreferredVersion", 1, 40, "the smallest version that holds the text"},
    {dispidSelectedVersion, "SelectedVersion", 1, 40, "none"},
    {dispidCorrectionLevel, "CorrectionLevel", 0, 3, "H (3)"},
    {dispidEncodeMode, "EncodeMode", 0, 4, "byte mode (1)"},
    {dispidEciMode, "EciMode", 0, 32767, "no ECI, or UTF-8's 26 for text beyond the code page"},
    {dispidFnc1Mode, "Fnc1Mode", 0, 2, "none (0)"},
    {dispidMargin, "Margin", 0, 255, "10 pixels"},
    {dispidPixelSize, "PixelSize", 1, 255, "3 pixels"},
};

// COLOR_SCROLLBAR (0) to COLOR_MENUBAR (30).
constexpr DWORD kLastSystemColor = 30;

}  // namespace

const GlyphwellPropertyRange* GlyphwellRangeOf(DISPID dispid) {
    for (const GlyphwellPropertyRange& r : kRanges)
        if (r.dispid == dispid) return &r;
    return nullptr;
}

bool GlyphwellInRange(const GlyphwellPropertyRange& range, long value) {
    return (value >= range.low && value <= range.high) || (range.unset && value == -1);
}

std::string GlyphwellRangeText(const GlyphwellPropertyRange& range) {
    std::string text = std::string(range.name) + " takes " + std::to_string(range.low) + " to " +
                       std::to_string(range.high);
    if (range.unset) text += std::string(", or -1 for ") + range.unset;
    return text + ".";
}

bool GlyphwellColorValid(OLE_COLOR color) {
    const DWORD kind = color >> 24;
    // PALETTERGB (0x02BBGGRR) paints as its red-green-blue; a palette index means nothing to a
    // picture without a palette.
    if (kind == 0 || kind == 0x02) return true;
    return kind == 0x80 && (color & 0x00FFFFFFu) <= kLastSystemColor;
}

std::string GlyphwellColorRangeText(const char* name) {
    return std::string(name) + " takes a colour &H00BBGGRR& or a system colour &H80000000& to &H8000001E&.";
}

COLORREF GlyphwellPaintColor(OLE_COLOR color) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(color, nullptr, &rgb))) return color & 0x00FFFFFFu;
    return rgb & 0x00FFFFFFu;
}

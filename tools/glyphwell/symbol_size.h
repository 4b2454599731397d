// Symbols at a physical size: a label designer asks for "25 mm at 600 dpi" instead of pixels per
// module. Pictures take the largest whole module size that keeps them within the size and carry
// the resolution for the printer; print formats are drawn at exactly the size.
#pragma once

#include <string>

#include "picture/symbol_picture.h"
#include "tools/glyphwell/options.h"

namespace gwcli {

struct PrintSize {
    enum Unit { kMm, kCm, kIn, kPx };
    double value = 0;  // side of the whole picture, margin included, in `unit`; 0 when not asked
    Unit unit = kPx;
    long dpi = 0;  // 0: the format's default (DefaultDpi)

    bool Asked() const { return value > 0; }
    // The resolution in use: --dpi, else 300 for print formats and 96 for pictures.
    long Dpi(bool printFormat) const { return dpi > 0 ? dpi : printFormat ? 300 : 96; }
    // The side in pixels at Dpi(printFormat), and in points (1/72 inch).
    double Pixels(bool printFormat) const;
    double Points(bool printFormat) const;
    // The value as given, "25mm".
    std::string Text() const;
    // An SVG document's width and height: the value in its unit, or pixels at --dpi in the
    // document's own pixels (96 to the inch); "" when no size is asked.
    std::string SvgLength() const;
};

// The --size reader: a positive number up to 100000 and its unit, mm, cm, in or px ("25mm",
// "2.5cm", "1in", "300px").
Apply SizeOption(PrintSize* out);

// For a picture (not a print format) of a symbol `modules` wide: sets look->pixelSize to the
// largest whole number (1 to 255) of pixels per module that keeps the picture, margin included,
// within the size asked. Returns the warning to show when the picture's side is more than 5 %
// away from the size ("" when it is within, or when no size is asked).
std::string FitPictureToSize(const PrintSize& size, int modules, GwSymbolLook* look);

}  // namespace gwcli

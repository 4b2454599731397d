#include "tools/glyphwell/symbol_size.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace gwcli {
namespace {

constexpr double kMillimetresPerInch = 25.4;

double Inches(double value, PrintSize::Unit unit) {
    switch (unit) {
        case PrintSize::kMm:
            return value / kMillimetresPerInch;
        case PrintSize::kCm:
            return value * 10 / kMillimetresPerInch;
        default:
            return value;
    }
}

const char* UnitName(PrintSize::Unit unit) {
    static const char* const kNames[] = {"mm", "cm", "in", "px"};
    return kNames[unit];
}

std::string Decimal(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

double PrintSize::Pixels(bool printFormat) const {
    return unit == kPx ? value : Inches(value, unit) * Dpi(printFormat);
}

double PrintSize::Points(bool printFormat) const {
    return (unit == kPx ? value / Dpi(printFormat) : Inches(value, unit)) * 72;
}

std::string PrintSize::Text() const {
    return Decimal(value, "%g") + UnitName(unit);
}

std::string PrintSize::SvgLength() const {
    if (!Asked()) return "";
    return unit == kPx ? Decimal(value * 96 / Dpi(false), "%.6g") : Text();
}

Apply SizeOption(PrintSize* out) {
    return [out](const std::string& text) -> std::string {
        const char* const kWhy = "takes a length up to 100000 with its unit: mm, cm, in or px (25mm)";
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (end == text.c_str() ||
            text.find_first_not_of("0123456789.") != static_cast<size_t>(end - text.c_str()) ||
            !(value > 0 && value <= 100000))
            return kWhy;
        const std::string unit = end;
        for (const PrintSize::Unit u : {PrintSize::kMm, PrintSize::kCm, PrintSize::kIn, PrintSize::kPx}) {
            if (unit == UnitName(u)) {
                out->value = value;
                out->unit = u;
                return "";
            }
        }
        return kWhy;
    };
}

std::string FitPictureToSize(const PrintSize& size, int modules, GwSymbolLook* s) {
    if (!size.Asked() || modules <= 0) return "";
    const double target = size.Pixels(false);
    // The tiny allowance keeps a size met exactly from losing a pixel to rounding.
    long perModule = static_cast<long>(std::floor((target - 2.0 * s->margin) / modules + 1e-9));
    perModule = perModule < 1 ? 1 : perModule > 255 ? 255 : perModule;
    s->pixelSize = static_cast<int>(perModule);
    const long side = perModule * modules + 2L * s->margin;
    if (std::fabs(side - target) <= 0.05 * target) return "";
    std::string made = std::to_string(side) + " pixels";
    if (size.unit != PrintSize::kPx) {
        const double inches = static_cast<double>(side) / size.Dpi(false);
        const double inUnit = size.unit == PrintSize::kIn   ? inches
                              : size.unit == PrintSize::kCm ? inches * kMillimetresPerInch / 10
                                                            : inches * kMillimetresPerInch;
        made += " (" + Decimal(inUnit, "%.3g") + UnitName(size.unit) + " at " +
                std::to_string(size.Dpi(false)) + " dpi)";
    }
    return "the picture cannot be " + size.Text() + " within 5%: it is " + made + ", " +
           std::to_string(perModule) + " per module and a margin of " + std::to_string(s->margin);
}

}  // namespace gwcli

#include "tools/glyphwell/symbol_reader.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/gw_image.h"
#include "tools/glyphwell/output.h"

#ifdef GLYPHWELL_HAVE_ZXING
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>
#endif

namespace gwcli {

#ifndef GLYPHWELL_HAVE_ZXING

bool HaveSymbolReader() {
    return false;
}

SymbolReading ReadSymbol(const GwImage&) {
    SymbolReading r;
    r.error = "unavailable: this program was built without a QR reader (zxing-cpp)";
    return r;
}

#else

namespace {

// The picture's grey levels, top row first.
std::vector<uint8_t> GreyRows(const GwImage& image, int width, int height) {
    std::vector<uint8_t> grey(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            grey[static_cast<size_t>(height - 1 - y) * width + x] = image.GetPixelGray(x, y);
    return grey;
}

}  // namespace

bool HaveSymbolReader() {
    return true;
}

SymbolReading ReadSymbol(const GwImage& image) {
    SymbolReading r;
    const int width = static_cast<int>(image.GetWidth()), height = static_cast<int>(image.GetHeight());
    if (width <= 0 || height <= 0) {
        r.error = "the picture is empty";
        return r;
    }
    const std::vector<uint8_t> grey = GreyRows(image, width, height);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    const ZXing::Result result =
        ZXing::ReadBarcode({grey.data(), width, height, ZXing::ImageFormat::Lum}, hints);
    if (!result.isValid()) {
        r.error = "no QR Code symbol found";
        return r;
    }
    r.found = true;
    const auto& bytes = result.bytes();
    r.bytes.assign(bytes.begin(), bytes.end());
    r.level = result.ecLevel();

    // The measures start at the symbol's top left corner and walk the finder pattern's top
    // row: its dark run is seven modules.
    const auto corner = result.position().topLeft(), right = result.position().topRight();
    const auto at = [&](int x, int y) { return grey[static_cast<size_t>(y) * width + x]; };
    int x0 = std::clamp(corner.x, 0, width - 1), y0 = std::clamp(corner.y, 0, height - 1);
    const int threshold = 128;
    // The reader's corner may sit a pixel outside the module: step in to the first dark pixel.
    for (int step = 0; step < 4 && at(x0, y0) >= threshold; ++step) {
        if (x0 + 1 < width) ++x0;
        if (y0 + 1 < height) ++y0;
    }
    int run = 0;
    while (x0 + run < width && at(x0 + run, y0) < threshold) ++run;
    if (run >= 7) {
        r.moduleSize = run / 7.0;
        const double side = std::hypot(right.x - corner.x, right.y - corner.y);
        const long modules = std::lround(side / r.moduleSize);
        if (modules >= 21 && modules <= 177 && (modules - 17) % 4 == 0)
            r.version = static_cast<int>((modules - 17) / 4);
        const double edge = std::min(
            {static_cast<double>(x0), static_cast<double>(y0), width - (x0 + side), height - (y0 + side)});
        r.quietZone = std::max(0.0, edge / r.moduleSize);
        // Dark: the finder's centre; light: the module ring inside it.
        const int m = static_cast<int>(r.moduleSize);
        const int cx = x0 + static_cast<int>(3.5 * r.moduleSize),
                  cy = y0 + static_cast<int>(3.5 * r.moduleSize);
        const int lx = x0 + static_cast<int>(1.5 * r.moduleSize);
        if (cx < width && cy < height && m > 0) r.contrast = (at(lx, cy) - at(cx, cy)) * 100.0 / 255;
    }
    return r;
}

#endif

}  // namespace gwcli

namespace gwcli {

std::string CheckReadsBack(const MadeSymbol& made, SymbolFormat format) {
    GwImage image;
    std::string error;
    GwSymbolLook look = made.look;
    if (!IsPictureFormat(format)) {
        look.depth = 1;
        look.transparent = false;
    }
    if (!SymbolPicture(made.symbol, look, IsPictureFormat(format) ? format : SymbolFormat::kPng, &image, &error))
        return "cannot make the picture to read back: " + error;
    const SymbolReading reading = ReadSymbol(image);
    if (!reading.found) return "the symbol does not read back: " + reading.error;
    if (reading.bytes != made.data)
        return "the symbol reads back as other text: '" + Printable(reading.bytes) + "'";
    return "";
}

}  // namespace gwcli

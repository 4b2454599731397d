#include "tools/glyphwell/symbol_reader.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/gw_image.h"
#include "tools/glyphwell/output.h"

#ifdef GLYPHWELL_HAVE_ZXING
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "tools/glyphwell/reader_module.h"
#endif

namespace gwcli {

#ifndef GLYPHWELL_HAVE_ZXING

bool HaveSymbolReader() {
    return false;
}

std::string SymbolReaderMissing() {
    return "this program was built without a QR reader (zxing-cpp)";
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

// The reader module, loaded on first use from beside the program or from where an installed
// tree keeps it: a program that only makes symbols never maps zxing-cpp and its C++ runtime,
// which cost more at start-up than making a symbol does.
struct ReaderModule {
    GlyphwellReadQrFunction read = nullptr;
    std::string problem;  // why it could not be loaded
};

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "" : exe.substr(0, slash + 1);
}

const ReaderModule& Reader() {
    static const ReaderModule module = [] {
        ReaderModule m;
        const std::string folder = ProgramFolder();
        for (const std::string& place : {folder, folder + GLYPHWELL_READER_FROM_PROGRAM "/"}) {
            void* handle = dlopen((place + GLYPHWELL_READER_FILE).c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                if (m.problem.empty()) m.problem = dlerror();
                continue;
            }
            m.read = reinterpret_cast<GlyphwellReadQrFunction>(dlsym(handle, GLYPHWELL_READER_ENTRY));
            if (m.read) return m;
            m.problem = std::string(GLYPHWELL_READER_FILE) + " has no reader entry";
            dlclose(handle);
        }
        m.problem = "its QR reader module could not be loaded (" + m.problem + ")";
        return m;
    }();
    return module;
}

}  // namespace

bool HaveSymbolReader() {
    return Reader().read != nullptr;
}

std::string SymbolReaderMissing() {
    return Reader().read ? "" : Reader().problem;
}

SymbolReading ReadSymbol(const GwImage& image) {
    SymbolReading r;
    const int width = static_cast<int>(image.GetWidth()), height = static_cast<int>(image.GetHeight());
    if (width <= 0 || height <= 0) {
        r.error = "the picture is empty";
        return r;
    }
    if (!Reader().read) {
        r.error = "unavailable: " + Reader().problem;
        return r;
    }
    const std::vector<uint8_t> grey = GreyRows(image, width, height);
    GlyphwellReaderResult result;
    // A symbol holds at most 7,089 characters; the room is generous.
    std::vector<unsigned char> bytes(16384);
    const int capacity = static_cast<int>(bytes.size());
    if (!Reader().read(grey.data(), width, height, &result, bytes.data(), capacity)) {
        r.error = "the QR reader failed";
        return r;
    }
    if (!result.found) {
        r.error = "no QR Code symbol found";
        return r;
    }
    r.found = true;
    r.bytes.assign(bytes.begin(), bytes.begin() + (result.byteCount < capacity ? result.byteCount : capacity));
    r.level = result.level;

    // The measures start at the symbol's top left corner and walk the finder pattern's top
    // row: its dark run is seven modules.
    struct Point {
        int x, y;
    };
    const Point corner{result.topLeftX, result.topLeftY}, right{result.topRightX, result.topRightY};
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

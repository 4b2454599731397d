// Independent read-back of QR Code symbols with libzbar and ZXing (see qr_decode.h).
#include "tests/support/qr_decode.h"

#include <sys/wait.h>
// zbar first: ZXing defines macros (FormatError and friends) that clash with zbar's C++ classes.
#include <zbar.h>
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cstdio>
#include <cstring>


namespace gwtest {

using namespace zbar;  // zbar's C API lives in namespace zbar when compiled as C++

namespace {
DecodeResult ScanWithZbar(const GreyImage& image, bool binary) {
    DecodeResult result;
    if (image.width <= 0 || image.height <= 0) {
        result.error = "empty image";
        return result;
    }
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    // Raw data bytes, or zbar's own conversion of them to UTF-8.
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, binary ? 1 : 0);
    zbar_image_t* zimage = zbar_image_create();
    zbar_image_set_format(zimage, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(zimage, image.width, image.height);
    zbar_image_set_data(zimage, image.pixels.data(), image.pixels.size(), nullptr);
    const int found = zbar_scan_image(scanner, zimage);
    if (found > 0) {
        for (const zbar_symbol_t* s = zbar_image_first_symbol(zimage); s; s = zbar_symbol_next(s)) {
            if (zbar_symbol_get_type(s) != ZBAR_QRCODE) continue;
            result.bytes.assign(zbar_symbol_get_data(s), zbar_symbol_get_data_length(s));
            result.ok = true;
            break;
        }
    }
    if (!result.ok) result.error = found < 0 ? "zbar scan error" : "zbar found no symbol";
    zbar_image_destroy(zimage);
    zbar_image_scanner_destroy(scanner);
    return result;
}

DecodeResult ScanWithZxing(const GreyImage& image, bool text) {
    DecodeResult result;
    if (image.width <= 0 || image.height <= 0) {
        result.error = "empty image";
        return result;
    }
    ZXing::ImageView view(image.pixels.data(), image.width, image.height, ZXing::ImageFormat::Lum);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    const ZXing::Result r = ZXing::ReadBarcode(view, hints);
    if (r.isValid()) {
        const ZXing::ByteArray& bytes = r.bytes();
        if (text) result.bytes = r.text();
        else result.bytes.assign(bytes.begin(), bytes.end());
        const ZXing::ByteArray eci = r.bytesECI();
        result.bytesEci.assign(eci.begin(), eci.end());
        result.ok = true;
    } else {
        result.error = r.error() ? "zxing: " + r.error().msg() : "zxing found no symbol";
    }
    return result;
}
}  // namespace

DecodeResult DecodeWithZbar(const GreyImage& image) { return ScanWithZbar(image, true); }
DecodeResult DecodeWithZxing(const GreyImage& image) { return ScanWithZxing(image, false); }
DecodeResult ReadTextWithZbar(const GreyImage& image) { return ScanWithZbar(image, false); }
DecodeResult ReadTextWithZxing(const GreyImage& image) { return ScanWithZxing(image, true); }

std::string ShellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string RunCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return output;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int raw = pclose(pipe);
    if (status) *status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    return output;
}

bool LoadGreyImage(const std::string& path, GreyImage* image, std::string* error) {
    int status = 0;
    // First frame only, transparency flattened onto white, as binary PGM (P5) with its size.
    const std::string pgm = RunCommand("convert " + ShellQuote(path + "[0]") +
                                           " -background white -alpha remove -colorspace Gray -depth 8 pgm:- 2>/dev/null",
                                       &status);
    int width = 0, height = 0, maxValue = 0, consumed = 0;
    if (status != 0 || std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &width, &height, &maxValue, &consumed) != 3 ||
        width <= 0 || height <= 0 || maxValue != 255) {
        if (error) *error = "ImageMagick could not read " + path;
        return false;
    }
    const size_t start = static_cast<size_t>(consumed) + 1;  // one whitespace byte ends the header
    const size_t size = static_cast<size_t>(width) * height;
    if (pgm.size() < start + size) {
        if (error) *error = "short pixel data from ImageMagick for " + path;
        return false;
    }
    image->width = width;
    image->height = height;
    image->pixels.assign(pgm.begin() + start, pgm.begin() + start + size);
    return true;
}

DecodeResult DecodeFileWithZbarimg(const std::string& path) {
    DecodeResult result;
    int status = 0;
    std::string out = RunCommand("zbarimg --quiet --raw -Sdisable -Sqrcode.enable -Sbinary " + ShellQuote(path) +
                                     " 2>/dev/null",
                                 &status);
    if (status != 0) {
        result.error = "zbarimg exit status " + std::to_string(status);
        return result;
    }
    // zbarimg ends each symbol's data with a line break of its own.
    if (!out.empty() && out.back() == '\n') out.pop_back();
    result.ok = true;
    result.bytes = out;
    return result;
}

DecodeResult DecodeFileWithZxing(const std::string& path) {
    GreyImage image;
    DecodeResult result;
    if (!LoadGreyImage(path, &image, &result.error)) return result;
    return DecodeWithZxing(image);
}

}  // namespace gwtest

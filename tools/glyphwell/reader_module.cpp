// The QR reader module: zxing-cpp behind the plain entry point of reader_module.h.
#include "tools/glyphwell/reader_module.h"

#include <cstring>
#include <exception>

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

extern "C" __attribute__((visibility("default"))) int GlyphwellReadQr(const unsigned char* grey, int width,
                                                                       int height, GlyphwellReaderResult* out,
                                                                       unsigned char* bytes, int capacity) {
    std::memset(out, 0, sizeof *out);
    // Nothing may leave the module as an exception: the program and the module do not share a
    // C++ runtime.
    try {
        ZXing::DecodeHints hints;
        hints.setFormats(ZXing::BarcodeFormat::QRCode);
        hints.setTryHarder(true);
        const ZXing::Result result = ZXing::ReadBarcode({grey, width, height, ZXing::ImageFormat::Lum}, hints);
        if (!result.isValid()) return 1;
        out->found = 1;
        std::strncpy(out->level, result.ecLevel().c_str(), sizeof out->level - 1);
        const auto& data = result.bytes();
        out->byteCount = static_cast<int>(data.size());
        const int copied = out->byteCount < capacity ? out->byteCount : capacity;
        if (copied > 0) std::memcpy(bytes, data.data(), static_cast<size_t>(copied));
        out->topLeftX = result.position().topLeft().x;
        out->topLeftY = result.position().topLeft().y;
        out->topRightX = result.position().topRight().x;
        out->topRightY = result.position().topRight().y;
        return 1;
    } catch (const std::exception&) {
        std::memset(out, 0, sizeof *out);
        return 0;
    }
}

// Encodes argv[1] and writes the symbol as a PNG to argv[2], through the installed headers
// and libraries only.
#include <glyphwell/encoder/pipeline.h>
#include <glyphwell/encoder/trace.h>
#include <glyphwell/image/gw_image.h>
#include <glyphwell/picture/render.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    QRCodeSettings settings;
    QRCodeResetSettings(&settings);
    const size_t length = std::strlen(argv[1]);
    if (length > static_cast<size_t>(QRCODE_TEXT_MAX)) return 2;
    std::memcpy(settings.text, argv[1], length);  // the record's '#' filler marks the end
    QRCodeSetTraceStream(nullptr);
    HBITMAP bitmap = QRCodeRenderBitmap(&settings);
    if (!bitmap) {
        std::fprintf(stderr, "consumer: the text cannot be encoded\n");
        return 1;
    }
    GwImage image;
    const bool ok = image.CreateFromHBITMAP(bitmap) && image.Save(argv[2], TypePng);
    QRCodeReleaseBitmap();
    if (!ok) std::fprintf(stderr, "consumer: %s\n", image.GetLastError());
    return ok ? 0 : 1;
}

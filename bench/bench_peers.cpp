// Glyphwell side by side with its peers, on the same inputs in the same process:
//  - symbol encoding: QRCodeMakeSymbol against libqrencode (8-bit mode, or numeric for digits);
//  - the road to a PNG file as the command line takes it: encoder -> module matrix painted into
//    a 1-bit palette GwImage -> PNG in memory, against libqrencode + libpng writing the same
//    picture (same module size and margin) as a 1-bit palette PNG;
//  - GIF LZW encode/decode of an 8-bit 2000 x 2000 picture against giflib;
//  - PNG encode/decode through the image library against plain libpng with the same settings;
//  - halving a 2000 x 2000 picture with a bilinear (triangle) filter and turning it by 30
//    degrees, against ImageMagick's library (MagickCore under Magick++) on one thread.
// scripts/bench pairs the results by name ("Ours/..." with "Peer/...") and prints ratios.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <png.h>
#include <qrencode.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/heap_counter.h"
#include "bench/magick_peer.h"
#include "encoder/bit_stream.h"
#include "encoder/codewords.h"
#include "encoder/input.h"
#include "encoder/mask.h"
#include "encoder/pipeline.h"
#include "encoder/placement.h"
#include "encoder/segments.h"
#include "encoder/tables.h"
#include "encoder/settings.h"
#include "encoder/symbol.h"
#include "encoder/trace.h"
#include "image/gw_image.h"
#include "tools/glyphwell/symbol_writer.h"

namespace {

// Deterministic printable text without '#', which the settings record uses as its filler.
std::string MakeText(size_t n, bool digits) {
    std::string s(n, '0');
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = digits ? static_cast<char>('0' + x % 10) : static_cast<char>('a' + x % 26);
    }
    return s;
}

QRCodeSettings MakeSettings(const std::string& text, int level, int mode) {
    QRCodeSettings s;
    QRCodeResetSettings(&s);
    s.correctionLevel = level;
    s.encodeMode = mode;
    std::memcpy(s.text, text.data(), text.size());
    return s;
}

QRecLevel PeerLevel(int level) {
    static const QRecLevel levels[] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H};
    return levels[level];
}

struct EncodeCase {
    size_t length;
    int level;
    bool digits;
};
const EncodeCase kCases[] = {{20, 3, false},   {100, 3, false},  {500, 3, false},
                             {1273, 3, false}, {2953, 0, false}, {7089, 0, true}};

void OursEncode(benchmark::State& state) {
    const EncodeCase& c = kCases[state.range(0)];
    std::string text = MakeText(c.length, c.digits);
    QRCodeSettings s = MakeSettings(text, c.level, c.digits ? QRCODE_MODE_NUMERIC : QRCODE_MODE_BYTE);
    QRCodeSetTraceStream(nullptr);
    for (auto _ : state) {
        SymbolMatrix* m = QRCodeMakeSymbol(&s);
        if (!m) state.SkipWithError("encoding failed");
        benchmark::DoNotOptimize(m);
        std::free(m);
    }
}

void PeerEncode(benchmark::State& state) {
    const EncodeCase& c = kCases[state.range(0)];
    std::string text = MakeText(c.length, c.digits);
    for (auto _ : state) {
        QRcode* q = nullptr;
        if (c.digits) {
            QRinput* in = QRinput_new2(0, PeerLevel(c.level));
            QRinput_append(in, QR_MODE_NUM, static_cast<int>(text.size()),
                           reinterpret_cast<const unsigned char*>(text.data()));
            q = QRcode_encodeInput(in);
            QRinput_free(in);
        } else {
            q = QRcode_encodeData(static_cast<int>(text.size()),
                                  reinterpret_cast<const unsigned char*>(text.data()), 0, PeerLevel(c.level));
        }
        if (!q) state.SkipWithError("peer encoding failed");
        benchmark::DoNotOptimize(q);
        QRcode_free(q);
    }
}

// ---- where an encode spends its time ------------------------------------------------------
// Cumulative prefixes of one encode at the version the pipeline chose, built from the stages'
// own entry points: 1 = values and one bit stream, 2 = + codewords, 3 = + matrix layout,
// 4 = + placement, 5 = + masking. The difference between neighbours is the cost of a stage.
// (The pipeline may build the stream up to three times while it searches the version groups;
// this breakdown builds it once.)
void OursSymbolStages(benchmark::State& state) {
    const EncodeCase& c = kCases[state.range(0)];
    const int depth = static_cast<int>(state.range(1));
    std::string text = MakeText(c.length, c.digits);
    QRCodeSettings s = MakeSettings(text, c.level, c.digits ? QRCODE_MODE_NUMERIC : QRCODE_MODE_BYTE);
    QRCodeSetTraceStream(nullptr);
    SymbolMatrix* probe = QRCodeMakeSymbol(&s);
    if (!probe) {
        state.SkipWithError("encoding failed");
        return;
    }
    const int version = probe->version;
    std::free(probe);
    const int n = static_cast<int>(text.size());
    for (auto _ : state) {
        int32_t* values = QRCodeByteValues(reinterpret_cast<const unsigned char*>(text.data()), n);
        BitStream* stream = static_cast<BitStream*>(std::malloc(sizeof(BitStream)));
        BitStreamReset(stream);
        if (c.digits)
            QRCodeWriteNumeric(values, 0, n, version, stream);
        else
            QRCodeWriteByte(values, 0, n, version, stream);
        int32_t* codewords = depth >= 2 ? QRCodeCreateCodewords(stream, version, c.level) : nullptr;
        SymbolMatrix* m = nullptr;
        if (depth >= 3) {
            m = static_cast<SymbolMatrix*>(std::malloc(sizeof(SymbolMatrix)));
            const int side = QRCodeModulesPerSide(version);
            QRCodeInitMatrix(m, side, side, version);
        }
        if (depth >= 4) QRCodePlaceCodewords(m, codewords, codewordCount);
        if (depth >= 5) QRCodeMaskSymbol(m, c.level);
        benchmark::DoNotOptimize(stream->bits);
        benchmark::DoNotOptimize(m);
        std::free(m);
        std::free(codewords);
        std::free(stream);
        std::free(values);
    }
}

// ---- the road to a PNG file ------------------------------------------------------------

struct MemoryPng {
    std::vector<unsigned char> bytes;
};
void PngWriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<MemoryPng*>(png_get_io_ptr(png));
    out->bytes.insert(out->bytes.end(), data, data + length);
}
void PngFlushNothing(png_structp) {}

// Writes 24-bit RGB rows (top-down) as a PNG with libpng's defaults.
void PeerWritePng(const std::vector<unsigned char>& rgb, int width, int height, bool interlace, MemoryPng* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return;
    }
    png_set_write_fn(png, out, PngWriteToVector, PngFlushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * width * 3]);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
}

const int kRoadPixel = 3;
const int kRoadMargin = 10;

void OursRoadToPng(benchmark::State& state) {
    std::string text = MakeText(static_cast<size_t>(state.range(0)), false);
    gwcli::SymbolStyle style;
    style.request.level = QRCODE_LEVEL_M;
    style.look.pixelSize = kRoadPixel;
    style.look.margin = kRoadMargin;
    for (auto _ : state) {
        GwImage image;
        gwcli::MadeSymbol made;
        std::string error;
        if (!gwcli::MakeSymbol(style, gwcli::SymbolFormat::kPng, text, false, &made, &error) ||
            !gwcli::SymbolPicture(made.symbol, made.look, gwcli::SymbolFormat::kPng, &image, &error))
            state.SkipWithError("render failed");
        BYTE* buffer = nullptr;
        long size = 0;
        if (!image.Encode(buffer, size, TypePng)) state.SkipWithError("PNG encode failed");
        benchmark::DoNotOptimize(buffer);
        state.counters["bytes"] = static_cast<double>(size);
        image.FreeMemory(buffer);
    }
}

// Writes 1-bit rows (top-down, light = 0) as a two-entry palette PNG with libpng's defaults.
void PeerWritePng1(const std::vector<unsigned char>& bits, int width, int height, MemoryPng* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return;
    }
    png_set_write_fn(png, out, PngWriteToVector, PngFlushNothing);
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[2] = {{255, 255, 255}, {0, 0, 0}};
    png_set_PLTE(png, info, palette, 2);
    png_write_info(png, info);
    const size_t stride = (static_cast<size_t>(width) + 7) / 8;
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(&bits[y * stride]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
}

void PeerRoadToPng(benchmark::State& state) {
    std::string text = MakeText(static_cast<size_t>(state.range(0)), false);
    for (auto _ : state) {
        QRcode* q = QRcode_encodeData(static_cast<int>(text.size()),
                                      reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M);
        const int n = q->width * kRoadPixel + 2 * kRoadMargin;
        const size_t stride = (static_cast<size_t>(n) + 7) / 8;
        std::vector<unsigned char> bits(stride * n, 0);
        for (int y = 0; y < q->width; ++y)
            for (int x = 0; x < q->width; ++x) {
                if (!(q->data[y * q->width + x] & 1)) continue;
                for (int dy = 0; dy < kRoadPixel; ++dy)
                    for (int dx = 0; dx < kRoadPixel; ++dx) {
                        const size_t px = kRoadMargin + x * kRoadPixel + dx;
                        bits[(kRoadMargin + y * kRoadPixel + dy) * stride + px / 8] |= 0x80 >> (px % 8);
                    }
            }
        MemoryPng out;
        PeerWritePng1(bits, n, n, &out);
        benchmark::DoNotOptimize(out.bytes.data());
        state.counters["bytes"] = static_cast<double>(out.bytes.size());
        QRcode_free(q);
    }
}

// ---- GIF ---------------------------------------------------------------------------------

const int kGifSide = 2000;

// An 8-bit picture with smooth areas, edges and some noise, so that LZW meets both long
// repeats and short strings, as in real pictures.
std::vector<unsigned char> MakeIndexedPicture(int side) {
    std::vector<unsigned char> pixels(static_cast<size_t>(side) * side);
    uint32_t x = 12345;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            int v = ((r / 40 + c / 40) % 2) ? (r + c) / 16 : 200;
            if ((x & 15) == 0) v += static_cast<int>(x >> 28);
            pixels[static_cast<size_t>(r) * side + c] = static_cast<unsigned char>(v & 0xFF);
        }
    return pixels;
}

void FillGwImage8(GwImage& image, const std::vector<unsigned char>& pixels, int side) {
    image.Create(side, side, 8, TypeGif);
    image.SetGrayPalette();
    for (int r = 0; r < side; ++r)  // GwImage rows are bottom-up
        std::memcpy(image.GetBits(side - 1 - r), &pixels[static_cast<size_t>(r) * side], side);
}

struct GifMemory {
    std::vector<unsigned char> bytes;
    size_t readPos = 0;
};
int GifWriteToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<GifMemory*>(gif->UserData);
    out->bytes.insert(out->bytes.end(), data, data + length);
    return length;
}
int GifReadFromVector(GifFileType* gif, GifByteType* data, int length) {
    auto* in = static_cast<GifMemory*>(gif->UserData);
    size_t n = std::min(static_cast<size_t>(length), in->bytes.size() - in->readPos);
    std::memcpy(data, in->bytes.data() + in->readPos, n);
    in->readPos += n;
    return static_cast<int>(n);
}

void PeerGifEncodeTo(const std::vector<unsigned char>& pixels, int side, GifMemory* out) {
    int error = 0;
    GifFileType* gif = EGifOpen(out, GifWriteToVector, &error);
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i) colors[i].Red = colors[i].Green = colors[i].Blue = static_cast<GifByteType>(i);
    ColorMapObject* map = GifMakeMapObject(256, colors);
    EGifPutScreenDesc(gif, side, side, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr);
    for (int r = 0; r < side; ++r)
        EGifPutLine(gif, const_cast<GifPixelType*>(&pixels[static_cast<size_t>(r) * side]), side);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
}

void OursGifEncode(benchmark::State& state) {
    std::vector<unsigned char> pixels = MakeIndexedPicture(kGifSide);
    GwImage image;
    FillGwImage8(image, pixels, kGifSide);
    for (auto _ : state) {
        BYTE* buffer = nullptr;
        long size = 0;
        if (!image.Encode(buffer, size, TypeGif)) state.SkipWithError(image.GetLastError());
        benchmark::DoNotOptimize(buffer);
        image.FreeMemory(buffer);
    }
}

void PeerGifEncode(benchmark::State& state) {
    std::vector<unsigned char> pixels = MakeIndexedPicture(kGifSide);
    for (auto _ : state) {
        GifMemory out;
        PeerGifEncodeTo(pixels, kGifSide, &out);
        benchmark::DoNotOptimize(out.bytes.data());
    }
}

// Both decoders read the same file: the one giflib writes.
void OursGifDecode(benchmark::State& state) {
    GifMemory file;
    PeerGifEncodeTo(MakeIndexedPicture(kGifSide), kGifSide, &file);
    for (auto _ : state) {
        GwImage image;
        if (!image.Decode(file.bytes.data(), static_cast<DWORD>(file.bytes.size()), TypeGif))
            state.SkipWithError(image.GetLastError());
        benchmark::DoNotOptimize(image.GetBits());
    }
}

void PeerGifDecode(benchmark::State& state) {
    GifMemory file;
    PeerGifEncodeTo(MakeIndexedPicture(kGifSide), kGifSide, &file);
    for (auto _ : state) {
        file.readPos = 0;
        int error = 0;
        GifFileType* gif = DGifOpen(&file, GifReadFromVector, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib decode failed");
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
}

// ---- PNG ---------------------------------------------------------------------------------

const int kPngSide = 1000;

std::vector<unsigned char> MakeRgbPicture(int side) {
    std::vector<unsigned char> rgb(static_cast<size_t>(side) * side * 3);
    uint32_t x = 99991;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            unsigned char* p = &rgb[(static_cast<size_t>(r) * side + c) * 3];
            p[0] = static_cast<unsigned char>(r / 4 + (x & 3));
            p[1] = static_cast<unsigned char>(c / 4);
            p[2] = static_cast<unsigned char>(((r / 50 + c / 50) & 1) ? 220 : 30);
        }
    return rgb;
}

void FillGwImage24(GwImage& image, const std::vector<unsigned char>& rgb, int side) {
    image.Create(side, side, 24, TypePng);
    for (int r = 0; r < side; ++r) {
        BYTE* row = image.GetBits(side - 1 - r);
        const unsigned char* src = &rgb[static_cast<size_t>(r) * side * 3];
        for (int c = 0; c < side; ++c) {  // GwImage pixels are blue, green, red
            row[c * 3] = src[c * 3 + 2];
            row[c * 3 + 1] = src[c * 3 + 1];
            row[c * 3 + 2] = src[c * 3];
        }
    }
}

void OursPngEncode(benchmark::State& state) {
    GwImage image;
    FillGwImage24(image, MakeRgbPicture(kPngSide), kPngSide);
    for (auto _ : state) {
        BYTE* buffer = nullptr;
        long size = 0;
        if (!image.Encode(buffer, size, TypePng)) state.SkipWithError(image.GetLastError());
        benchmark::DoNotOptimize(buffer);
        image.FreeMemory(buffer);
    }
}

void PeerPngEncode(benchmark::State& state) {
    std::vector<unsigned char> rgb = MakeRgbPicture(kPngSide);
    for (auto _ : state) {
        MemoryPng out;
        PeerWritePng(rgb, kPngSide, kPngSide, false, &out);
        benchmark::DoNotOptimize(out.bytes.data());
    }
}

struct PngReader {
    const std::vector<unsigned char>* bytes;
    size_t pos;
};
void PngReadFromVector(png_structp png, png_bytep data, png_size_t length) {
    auto* in = static_cast<PngReader*>(png_get_io_ptr(png));
    if (in->pos + length > in->bytes->size()) png_error(png, "read past end");
    std::memcpy(data, in->bytes->data() + in->pos, length);
    in->pos += length;
}

void OursPngDecode(benchmark::State& state) {
    MemoryPng file;
    PeerWritePng(MakeRgbPicture(kPngSide), kPngSide, kPngSide, false, &file);
    for (auto _ : state) {
        GwImage image;
        if (!image.Decode(file.bytes.data(), static_cast<DWORD>(file.bytes.size()), TypePng))
            state.SkipWithError(image.GetLastError());
        benchmark::DoNotOptimize(image.GetBits());
    }
}

void PeerPngDecode(benchmark::State& state) {
    MemoryPng file;
    PeerWritePng(MakeRgbPicture(kPngSide), kPngSide, kPngSide, false, &file);
    std::vector<unsigned char> pixels(static_cast<size_t>(kPngSide) * kPngSide * 3);
    for (auto _ : state) {
        PngReader in{&file.bytes, 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_read_struct(&png, &info, nullptr);
            state.SkipWithError("libpng decode failed");
            break;
        }
        png_set_read_fn(png, &in, PngReadFromVector);
        png_read_info(png, info);
        png_set_bgr(png);  // the same transformation the library asks for
        png_read_update_info(png, info);
        std::vector<png_bytep> rows(kPngSide);
        for (int y = 0; y < kPngSide; ++y) rows[y] = &pixels[static_cast<size_t>(kPngSide - 1 - y) * kPngSide * 3];
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}

// ---- transforms ---------------------------------------------------------------------------

const int kTransformSide = 2000;

void OursResampleHalf(benchmark::State& state) {
    GwImage image;
    FillGwImage24(image, MakeRgbPicture(kTransformSide), kTransformSide);
    for (auto _ : state) {
        GwImage half;
        if (!image.Resample2(kTransformSide / 2, kTransformSide / 2, InterpBilinear, OverflowClamp, &half))
            state.SkipWithError(image.GetLastError());
        benchmark::DoNotOptimize(half.GetBits());
    }
}

void PeerResampleHalf(benchmark::State& state) {
    MagickPeerImage* image = MagickPeerPicture(MakeRgbPicture(kTransformSide).data(), kTransformSide);
    for (auto _ : state) {
        MagickPeerImage* half = MagickPeerResize(image, kTransformSide / 2, kTransformSide / 2);
        if (!half) state.SkipWithError("ImageMagick resize failed");
        benchmark::DoNotOptimize(half);
        MagickPeerFree(half);
    }
    MagickPeerFree(image);
}

void OursRotate30(benchmark::State& state) {
    GwImage image;
    FillGwImage24(image, MakeRgbPicture(kTransformSide), kTransformSide);
    for (auto _ : state) {
        GwImage turned;
        if (!image.Rotate(30.0f, &turned)) state.SkipWithError(image.GetLastError());
        benchmark::DoNotOptimize(turned.GetBits());
    }
}

// Times one ImageMagick turn of the same picture per iteration.
template <typename Turn>
void PeerTurn(benchmark::State& state, Turn turn, const char* failure) {
    MagickPeerImage* image = MagickPeerPicture(MakeRgbPicture(kTransformSide).data(), kTransformSide);
    for (auto _ : state) {
        MagickPeerImage* turned = turn(image);
        if (!turned) state.SkipWithError(failure);
        benchmark::DoNotOptimize(turned);
        MagickPeerFree(turned);
    }
    MagickPeerFree(image);
}

void PeerRotate30(benchmark::State& state) {
    // Turned clockwise there, counter-clockwise here: the same work either way.
    PeerTurn(state, [](MagickPeerImage* image) { return MagickPeerRotate(image, 30.0); }, "ImageMagick rotate failed");
}

// ImageMagick's rotation by shears is slow; its inverse-mapped bilinear distortion is the
// closer method, so ours is also timed against that.
void OursRotate30Distort(benchmark::State& state) { OursRotate30(state); }

void PeerRotate30Distort(benchmark::State& state) {
    PeerTurn(state, [](MagickPeerImage* image) { return MagickPeerDistortRotate(image, 30.0); },
             "ImageMagick distort failed");
}

// ---- peak heap of one version-40 encode ---------------------------------------------------

void OursPeakHeapVersion40(benchmark::State& state) {
    std::string text = MakeText(2953, false);
    QRCodeSettings s = MakeSettings(text, QRCODE_LEVEL_L, QRCODE_MODE_BYTE);
    QRCodeSetTraceStream(nullptr);
    size_t peak = 0;
    for (auto _ : state) {
        HeapCounterReset();
        SymbolMatrix* m = QRCodeMakeSymbol(&s);
        peak = HeapCounterPeak();
        std::free(m);
    }
    state.counters["peak_heap_bytes"] = static_cast<double>(peak);
}

// Heap blocks one encode asks for through the value API, after a first symbol of the version:
// with a workspace and a result kept from symbol to symbol the goal is none ("allocations");
// a fresh result from QRCodeEncode takes its own working memory and the result's two arrays
// ("fresh_allocations").
void OursValueApiAllocations(benchmark::State& state) {
    const std::string text = MakeText(100, false);
    QRCodeRequest request;
    request.data = reinterpret_cast<const unsigned char*>(text.data());
    request.length = static_cast<int32_t>(text.size());
    request.level = QRCODE_LEVEL_H;
    QRCodeWorkspace* workspace = QRCodeNewWorkspace();
    QRCodeResult kept;
    for (int i = 0; i < 3; ++i) {
        benchmark::DoNotOptimize(QRCodeEncode(request).symbol.version);
        QRCodeEncodeInto(request, workspace, &kept);
    }
    size_t allocations = 0, fresh = 0;
    for (auto _ : state) {
        HeapCounterReset();
        if (!QRCodeEncodeInto(request, workspace, &kept)) state.SkipWithError("encoding failed");
        benchmark::DoNotOptimize(kept.symbol.modules.data());
        allocations = HeapCounterAllocations();
        HeapCounterReset();
        {
            QRCodeResult result = QRCodeEncode(request);
            if (!result.Ok()) state.SkipWithError("encoding failed");
            benchmark::DoNotOptimize(result.symbol.modules.data());
        }
        fresh = HeapCounterAllocations();
    }
    QRCodeFreeWorkspace(workspace);
    state.counters["allocations"] = static_cast<double>(allocations);
    state.counters["fresh_allocations"] = static_cast<double>(fresh);
}

}  // namespace

BENCHMARK(OursEncode)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK(PeerEncode)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK(OursSymbolStages)->ArgsProduct({{0, 3, 4}, {1, 2, 3, 4, 5}})->Unit(benchmark::kMicrosecond);
BENCHMARK(OursRoadToPng)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(PeerRoadToPng)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(OursGifEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerGifEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursGifDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerGifDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursPngEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerPngEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursPngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerPngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursResampleHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerResampleHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(OursRotate30)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerRotate30)->Unit(benchmark::kMillisecond);
BENCHMARK(OursRotate30Distort)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerRotate30Distort)->Unit(benchmark::kMillisecond);
BENCHMARK(OursPeakHeapVersion40)->Iterations(1);
BENCHMARK(OursValueApiAllocations)->Iterations(1);

BENCHMARK_MAIN();

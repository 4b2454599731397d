// libpng used directly as an independent checker: building PNG files of exactly the kind a
// test needs, and reading back the chunks and pixels of files the codec wrote.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <vector>

namespace png_test {

// Everything needed to write one PNG with libpng. Rows are top-down, packed as PNG stores
// them for the bit depth and colour type.
struct PngSpec {
    uint32_t width = 1, height = 1;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_GRAY;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> trans;  // palette alpha
    bool transColor = false;     // gray/RGB tRNS
    png_color_16 transValue{};
    bool background = false;
    png_color_16 backgroundValue{};
    bool phys = false;
    uint32_t physX = 0, physY = 0;
    int physUnit = PNG_RESOLUTION_METER;
    std::vector<std::vector<uint8_t>> rows;
};

namespace detail {
struct Sink {
    std::vector<uint8_t>* out;
};
inline void WriteToVector(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
inline void NoFlush(png_structp) {}
struct Source {
    const uint8_t* data;
    size_t size;
    size_t at;
};
inline void ReadFromSource(png_structp png, png_bytep data, size_t length) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (s->size - s->at < length) png_error(png, "short");
    std::memcpy(data, s->data + s->at, length);
    s->at += length;
}
}  // namespace detail

// The file's bytes, or empty when libpng refused the described file.
inline std::vector<uint8_t> WritePng(const PngSpec& s) {
    static std::vector<uint8_t> out;  // static: nothing with a destructor lives across setjmp
    out.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, detail::WriteToVector, detail::NoFlush);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    if (!s.trans.empty()) png_set_tRNS(png, info, s.trans.data(), static_cast<int>(s.trans.size()), nullptr);
    if (s.transColor) png_set_tRNS(png, info, nullptr, 1, &s.transValue);
    if (s.background) png_set_bKGD(png, info, &s.backgroundValue);
    if (s.phys) png_set_pHYs(png, info, s.physX, s.physY, s.physUnit);
    png_write_info(png, info);
    int passes = s.interlace ? png_set_interlace_handling(png) : 1;
    for (int p = 0; p < passes; ++p)
        for (uint32_t y = 0; y < s.height; ++y) png_write_row(png, const_cast<png_bytep>(s.rows[y].data()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// What libpng finds in a file: header, chunks and the pixels as top-down 8-bit RGBA
// (through libpng's simplified reader, palette alpha and tRNS applied).
struct PngFacts {
    bool ok = false;
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = -1, interlace = -1;
    std::vector<png_color> palette;
    std::vector<uint8_t> trans;
    bool background = false;
    png_color_16 backgroundValue{};
    bool phys = false;
    uint32_t physX = 0, physY = 0;
    int physUnit = -1;
    std::vector<uint8_t> rgba;
};

inline PngFacts InspectPng(const std::vector<uint8_t>& bytes) {
    static PngFacts f;  // static for the same reason as above
    f = PngFacts();
    detail::Source src{bytes.data(), bytes.size(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return f;
    }
    png_set_read_fn(png, &src, detail::ReadFromSource);
    png_read_info(png, info);
    png_get_IHDR(png, info, &f.width, &f.height, &f.bitDepth, &f.colorType, &f.interlace, nullptr, nullptr);
    png_colorp pal = nullptr;
    int n = 0;
    if (png_get_PLTE(png, info, &pal, &n)) f.palette.assign(pal, pal + n);
    png_bytep trans = nullptr;
    png_color_16p transColor = nullptr;
    if (png_get_tRNS(png, info, &trans, &n, &transColor) && trans) f.trans.assign(trans, trans + n);
    png_color_16p bg = nullptr;
    if (png_get_bKGD(png, info, &bg)) {
        f.background = true;
        f.backgroundValue = *bg;
    }
    f.phys = png_get_pHYs(png, info, &f.physX, &f.physY, &f.physUnit) != 0;
    png_destroy_read_struct(&png, &info, nullptr);

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return f;
    image.format = PNG_FORMAT_RGBA;
    f.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, f.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return f;
    }
    f.ok = true;
    return f;
}

}  // namespace png_test

// GwPngCodec: reads and writes PNG files through libpng, mapping PNG colour types onto
// GwImage (palette and gray up to 8 bits become palette images, colour becomes 24 bits,
// colour with alpha a 24-bit image with an alpha plane). Reached through GwImage::Decode and
// Encode; the libpng calls themselves live in png_shim.c.
#pragma once

#include <cstdint>

#include "image/gw_image.h"

class GwFile;
struct GwPngCodecAccess;
struct GwPngCodecWriter;

class GwPngCodec : public GwImage {
public:
    // An empty image of type TypePng. GwImage::Decode starts it from the caller's settings and
    // takes its picture on success; GwImage::Encode lends it the caller's picture (a ghost).
    GwPngCodec() : GwImage(TypePng) {}

    // Decodes the PNG at the stream's position into this object. false with lastError set to
    // libpng's message ("Read Error" for a truncated stream), or with lastError untouched
    // when escape stopped the decode. Sets the PNG codec option to 1 for an interlaced file.
    // A file that ends once rows have been read gives what it held (the rest zero), with
    // FlagPartial set and lastError saying where it ended.
    bool Decode(GwFile* file);
    // True when the last Decode found the PNG signature, so its failure is this format's.
    bool Recognised() const { return recognised_; }
    // Encodes this image (usually a ghost of the caller's) as PNG; interlaced when the PNG
    // codec option is 1. A palette image with a transparent index other than 0 has that
    // entry swapped to 0 (palette and pixels) and its owner's transparent index set to 0.
    // false with "Error saving PNG file" when libpng or the stream fails.
    bool Encode(GwFile* file);

private:
    friend struct GwPngCodecAccess;
    friend struct GwPngCodecWriter;
    // Fills one output row (counted from the top) of a picture without a palette in PNG byte
    // order: red, green, blue, alpha when rgba (alpha 0 where keyed and the colour equals
    // key), else the 24-bit pixels turned from blue-green-red into red-green-blue.
    void FillRow(uint32_t row, unsigned char* buffer, bool rgba, bool keyed, RGBQUAD key);
    // Notes whether the stream starts with the PNG signature; false, with the reason, for a
    // header whose width or height is over side. The stream is left where it was.
    bool CheckSignature(GwFile* file, uint32_t side);

    bool recognised_ = false;
};

// Test access to GwImage internals: a subclass that lifts the protected operations and the
// raw members the tests inspect, so the production class keeps its interface.
#pragma once

#include <cstring>

#include "image/gw_image.h"

class ImageProbe : public GwImage {
public:
    using GwImage::GwImage;
    using GwImage::Bitfield2RGB;
    using GwImage::BlindGetPixelColor;
    using GwImage::BlindGetPixelIndex;
    using GwImage::BlindGetPixelPointer;
    using GwImage::CopyInfo;
    using GwImage::Ghost;
    using GwImage::RGBtoBGR;

    const ImageInfo& Info() const { return info; }
    ImageInfo& MutableInfo() { return info; }
    const BITMAPINFOHEADER& Header() const { return header; }
    // The header copy at the start of the dib block.
    BITMAPINFOHEADER BlockHeader() const {
        BITMAPINFOHEADER h;
        std::memcpy(&h, dib, sizeof(h));
        return h;
    }
    BYTE* SelectionPlane() const { return selection; }
    BYTE* AlphaPlane() const { return alpha; }
};

inline RGBQUAD Quad(BYTE r, BYTE g, BYTE b, BYTE a = 0) { return RGBQUAD{b, g, r, a}; }

inline bool SameRgb(const RGBQUAD& x, const RGBQUAD& y) {
    return x.rgbRed == y.rgbRed && x.rgbGreen == y.rgbGreen && x.rgbBlue == y.rgbBlue;
}

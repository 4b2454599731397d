// GwImage: the device-independent raster image that the whole image library works on, with
// its information record, pixel/palette/alpha/selection access, sampling and tone operations,
// the bridge to the platform's bitmaps and device contexts, and reading/writing by image type.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/win32.h"

class GwFile;
class GwImage;

// Image type ids. Only these formats are compiled in.
enum ImageType {
    TypeAny = 0,  // detect the format on decode
    TypeBmp = 1,
    TypeGif = 2,
    TypePng = 3,
};

// How GetPixelColorInterpolated combines the neighbouring pixels.
// Any value outside 1..16 samples bilinearly (the fixed underlying type makes every int a
// valid value to pass).
enum InterpolationMethod : int {
    InterpNearest = 1,
    InterpBilinear = 2,
    InterpBSpline = 3,
    InterpBicubic = 4,
    InterpBicubic2 = 5,
    InterpLanczos = 6,
    InterpBox = 7,
    InterpHermite = 8,
    InterpHamming = 9,
    InterpSinc = 10,
    InterpBlackman = 11,
    InterpBessel = 12,
    InterpGaussian = 13,
    InterpQuadratic = 14,
    InterpMitchell = 15,
    InterpCatrom = 16,
};

// What a sample outside the picture yields. 0 and any unlisted value act as OverflowColor.
enum OverflowMethod : int {
    OverflowColor = 1,       // the caller's replacement colour (null: white, alpha 0)
    OverflowBackground = 2,  // the transparent colour, else the replacement colour
    OverflowTransparent = 3, // replacement with alpha 0 when there is an alpha plane, else transparent colour
    OverflowWrap = 4,        // the picture repeated
    OverflowClamp = 5,       // the nearest edge pixel
    OverflowMirror = 6,      // the picture mirrored at its edges
};

// How Resample combines source pixels: the fast modes.
enum ResampleMode : int {
    ResampleBilinear = 0,  // 2 x 2 neighbours at the mapped point (no smoothing when shrinking)
    ResampleNearest = 1,   // the pixel under the mapped point; palette pictures keep their indices
    ResampleBox = 2,       // the average of the source area each new pixel covers (best for shrinking)
};

// How Dither spreads the grey levels over black and white.
enum DitherMethod : int {
    DitherFloydSteinberg = 0,  // error diffusion, 7/16 3/16 5/16 1/16
    DitherBayer = 1,           // ordered, 8 x 8 Bayer threshold matrix
};

// The lens effects of CircleTransform, inside a circle about the picture's centre.
enum CircleEffect : int {
    CircleSwirl = 1,  // turns the contents; strength = degrees of turn at the centre, none at the rim
    CirclePinch = 2,  // draws the contents toward the centre; strength >= 0
    CircleBulge = 3,  // magnifies the middle; strength >= 0
};

// A palette entry given as three bytes red, green, blue (SetPalette).
struct rgb_color {
    BYTE r;
    BYTE g;
    BYTE b;
};

// Parameter record of DrawStringEx: byte-packed, 4175 bytes, fields in this order.
#pragma pack(push, 1)
struct tagGwTextInfo {
    char textBuffer[4096];  // zero-terminated text
    LOGFONTA logFont;       // font to draw with
    COLORREF textColor;     // colour of the letters (red in the low byte)
    LONG alignment;         // 0 left, 1 centre, 2 right
    BYTE opaque;            // draw a box behind the text
    COLORREF boxColor;      // colour of the box
    float boxOpacity;       // 0 = box fully covers, up to 1 = box invisible
    BYTE boxOutline;        // outline width of the box
    BYTE boxRounding;       // corner radius as a percentage of one line's height (0..50)
};
#pragma pack(pop)
typedef tagGwTextInfo GwTextInfo;
static_assert(sizeof(tagGwTextInfo) == 4175, "tagGwTextInfo must be 4175 bytes, packed");

// Extended information of an image. Trivially copyable: it is copied, zeroed and handed
// between an image and its codec objects as one record.
struct ImageInfo {
    DWORD rowBytes;        // bytes per pixel row, a whole number of 32-bit words
    BYTE* pixels;          // first pixel row inside dib
    GwImage* ghostOf;      // non-null when this object only borrows that image's buffers
    GwImage* parent;       // owner of a layer
    DWORD type;            // ImageType id
    char lastError[256];   // text of the last failure
    LONG progress;         // advanced by long operations
    LONG escape;           // request to stop, read by long operations and codecs
    LONG transIndex;       // transparent palette index, -1 = none
    RGBQUAD transColor;    // transparent colour of a 24-bit image
    BYTE jpegQuality;      // kept for codecs
    BYTE jpegScale;        // kept for codecs
    LONG frameIndex;       // frame to decode (GIF)
    LONG frameCount;       // frames found by the last GIF decode
    DWORD frameDelay;      // hundredths of a second (GIF)
    LONG dpiX;             // resolution in dots per inch
    LONG dpiY;
    RECT selectionBox;     // left, top (largest row), right, bottom (smallest row)
    BYTE alphaMax;         // overall opacity used when drawing with alpha
    bool alphaPaletteEnabled;  // palette reserved bytes are alpha values
    bool paintEnabled;     // drawing is enabled
    LONG offsetX;          // position as a frame on a larger screen (GIF)
    LONG offsetY;
    DWORD codecOptions[4]; // one option word per type id 0..3
    RGBQUAD nearestColor;  // colour of the last nearest-index query
    BYTE nearestIndex;     // its answer
    bool nearestValid;     // the memo holds a valid answer
    LONG layerCount;       // entries in layers
    DWORD flags;           // user flags; the high 16 bits are reserved
};

// A point in picture coordinates, in floats (y counts upward, as everywhere in the library).
class GwPoint2 {
public:
    GwPoint2() : x(0), y(0) {}
    GwPoint2(float px, float py) : x(px), y(py) {}
    GwPoint2 operator+(const GwPoint2& p) const { return GwPoint2(x + p.x, y + p.y); }
    GwPoint2 operator-(const GwPoint2& p) const { return GwPoint2(x - p.x, y - p.y); }
    GwPoint2 operator*(float f) const { return GwPoint2(x * f, y * f); }
    bool operator==(const GwPoint2& p) const { return x == p.x && y == p.y; }
    float Length() const;
    float Distance(const GwPoint2& p) const;
    // The point turned about the origin by `degrees`, counter-clockwise; multiples of 90
    // degrees turn exactly.
    GwPoint2 Rotated(float degrees) const;

    float x;
    float y;
};

// An axis-aligned rectangle in floats: botLeft is the low corner, topRight the high one;
// it holds the points with botLeft.x <= x < topRight.x and botLeft.y <= y < topRight.y.
// In pixel terms, pixel (i, j) is the unit square from (i, j) to (i + 1, j + 1).
// A rectangle whose width or height is not positive is empty.
class GwRect2 {
public:
    GwRect2() {}
    GwRect2(float left, float bottom, float right, float top) : botLeft(left, bottom), topRight(right, top) {}
    GwRect2(const GwPoint2& low, const GwPoint2& high) : botLeft(low), topRight(high) {}
    // From the library's RECT of columns left..right-1 and rows bottom..top-1.
    explicit GwRect2(const RECT& r);
    float Width() const { return topRight.x - botLeft.x; }
    float Height() const { return topRight.y - botLeft.y; }
    float Surface() const;  // width x height, 0 when empty
    bool IsEmpty() const;
    GwPoint2 Center() const;
    // The common part; an empty rectangle (all zero) when they do not meet.
    GwRect2 Intersection(const GwRect2& r) const;
    // The smallest rectangle holding both; an empty operand adds nothing.
    GwRect2 Union(const GwRect2& r) const;
    // The smallest rectangle holding this one and the point (which lies on its closed edge).
    GwRect2 Including(const GwPoint2& p) const;
    bool Contains(const GwPoint2& p) const;
    bool Contains(const GwRect2& r) const;  // an empty r is contained in every rectangle

    GwPoint2 botLeft;
    GwPoint2 topRight;
};

// The raster image. Rows are bottom-up: y = 0 is the bottom row of the picture, and every
// (x, y) pair in the library counts y from there. Depths 1, 4, 8 (with palette) and 24.
// Failure is reported by a false/null result and the text in GetLastError().
// Ownership: an image owns dib, selection, alpha and layers unless it is a ghost
// (ghostOf set), which only borrows another image's buffers for the length of one codec call.
class GwImage {
    friend class CImageIterator;  // the GIF decoder's row writer works on the rows directly
    friend class GwProcessingKit;  // shared inner loops of the geometric transforms

public:
    // ---- construction and life cycle --------------------------------------------------
    explicit GwImage(DWORD typeId = 0);
    GwImage(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD typeId = 0);
    // Also the copy constructor. Copies information, palette and, as asked, pixels and planes.
    GwImage(const GwImage& src, bool withPixels = true, bool withSelection = true,
            bool withAlpha = true);
    // Loading constructors; failure shows only through IsValid() and GetLastError().
    GwImage(const char* fileName, DWORD typeId);
    GwImage(FILE* fp, DWORD typeId);
    GwImage(GwFile* file, DWORD typeId);
    GwImage(BYTE* buffer, DWORD size, DWORD typeId);
    virtual ~GwImage();
    GwImage& operator=(const GwImage& src);

    // Returns the new dib block, or null (lastError set; a ghost returns null untouched).
    // Pixel bytes of a new image are not initialised.
    void* Create(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD typeId = 0);
    // Frees every owned buffer; false (and nothing freed) for a ghost.
    bool Destroy();
    void Copy(const GwImage& src, bool withPixels = true, bool withSelection = true,
              bool withAlpha = true);
    // Moves everything out of `from`, which is left empty with every information field 0.
    bool Transfer(GwImage& from);
    // Rows of bitsPerPixel 1, 4, 8, 24 or 32 (32 keeps the 4th byte as an alpha plane).
    bool CreateFromArray(BYTE* array, DWORD width, DWORD height, DWORD bitsPerPixel,
                         DWORD bytesPerLine, bool flipRows);
    bool CreateFromMatrix(BYTE** rows, DWORD width, DWORD height, DWORD bitsPerPixel,
                          DWORD bytesPerLine, bool flipRows);
    void Clear(BYTE value = 0);
    // Frees a block that the library handed out (e.g. an in-memory encode); ignores null.
    void FreeMemory(void* p);

    // ---- decode budget -----------------------------------------------------------------
    // The most pixels that reading one picture may allocate for it (a GIF's logical screen
    // included), shared by every reader in the process: files, clipboard blocks, the raw
    // dump. The default, 2^28 pixels (at most 1 GiB of pixel data with an alpha plane), is
    // beyond any real photograph yet refuses a few-byte file that declares a gigantic canvas.
    // 0 restores the default. Create and the writers keep only their own size limit, for
    // pictures a caller builds on purpose.
    static constexpr uint64_t kDefaultMaxDecodePixels = uint64_t(1) << 28;
    static void SetMaxDecodePixels(uint64_t pixels);
    static uint64_t GetMaxDecodePixels();

    // ---- information -------------------------------------------------------------------
    bool IsValid() const;
    void* GetDIB() const;
    DWORD GetWidth() const;
    DWORD GetHeight() const;
    WORD GetBpp() const;
    DWORD GetEffWidth() const;
    DWORD GetNumColors() const;
    DWORD GetSize() const;  // size of the dib block: header + palette + pixel rows
    BYTE* GetBits(DWORD row = 0) const;
    bool IsInside(long x, long y) const;
    DWORD GetType() const;
    const char* GetLastError() const;
    static const char* GetVersion();
    static float GetVersionNumber();

    long GetXDPI() const;
    long GetYDPI() const;
    void SetXDPI(long dpi);
    void SetYDPI(long dpi);
    long GetTransIndex() const;
    void SetTransIndex(long index);
    RGBQUAD GetTransColor() const;
    void SetTransColor(RGBQUAD color);
    bool IsTransparent() const;
    bool IsIndexed() const;
    BYTE GetColorType() const;  // 4 with alpha plane, else 2 above 8 bits, else 1
    // A reserved flag the readers set when asked for headers only (SetEscape(-1)): the
    // picture has an alpha channel, which a full decode reads into the alpha plane.
    static constexpr DWORD FlagAlphaChannel = 0x00010000;
    DWORD GetFlags() const;
    void SetFlags(DWORD value, bool lockReserved = true);
    DWORD GetCodecOption(DWORD type = 0) const;
    bool SetCodecOption(DWORD value, DWORD type = 0);
    DWORD GetFrameDelay() const;
    void SetFrameDelay(DWORD delay);
    long GetFrame() const;
    void SetFrame(long frame);
    long GetNumFrames() const;
    void GetOffset(long* x, long* y) const;
    void SetOffset(long x, long y);
    BYTE GetJpegQuality() const;
    void SetJpegQuality(BYTE quality);
    BYTE GetJpegScale() const;
    void SetJpegScale(BYTE scale);
    long GetProgress() const;
    void SetProgress(long progress);
    long GetEscape() const;
    void SetEscape(long escape);
    bool IsEnabled() const;
    void Enable(bool enable = true);

    // ---- palette -----------------------------------------------------------------------
    RGBQUAD* GetPalette() const;
    DWORD GetPaletteSize() const;
    RGBQUAD GetPaletteColor(BYTE index) const;
    // False when there is no palette or the index is beyond it (nothing is written then).
    bool GetPaletteColor(BYTE index, BYTE* r, BYTE* g, BYTE* b) const;
    void SetPaletteColor(BYTE index, BYTE r, BYTE g, BYTE b, BYTE alpha = 0);
    void SetPaletteColor(BYTE index, RGBQUAD color);
    void SetPaletteColor(BYTE index, COLORREF color);
    void SetPalette(DWORD n, BYTE* r, BYTE* g = nullptr, BYTE* b = nullptr);
    void SetPalette(rgb_color* colors, DWORD n = 256);
    void SetPalette(RGBQUAD* palette, DWORD n = 256);
    void SetGrayPalette();
    void SetStdPalette();
    void BlendPalette(COLORREF color, long percent);
    bool IsGrayScale() const;
    void SwapIndex(BYTE a, BYTE b);
    bool IsSamePalette(const GwImage& other, bool checkAlpha = true) const;
    DWORD GetClrImportant() const;
    void SetClrImportant(DWORD n = 0);

    // ---- pixels ------------------------------------------------------------------------
    BYTE GetPixelIndex(long x, long y) const;
    RGBQUAD GetPixelColor(long x, long y, bool getAlpha = true) const;
    BYTE GetPixelGray(long x, long y) const;
    void SetPixelIndex(long x, long y, BYTE index);
    void SetPixelColor(long x, long y, COLORREF color);
    void SetPixelColor(long x, long y, RGBQUAD color, bool setAlpha = false);
    void BlendPixelColor(long x, long y, RGBQUAD color, float blend, bool setAlpha = false);
    BYTE GetNearestIndex(RGBQUAD color);
    bool IsTransparent(long x, long y) const;
    // Note the argument order: both x values, then both y values.
    void DrawLine(int startX, int endX, int startY, int endY, COLORREF color);
    void DrawLine(int startX, int endX, int startY, int endY, RGBQUAD color, bool setAlpha = false);

    static RGBQUAD RGBtoRGBQUAD(COLORREF color);
    static COLORREF RGBQUADtoRGB(RGBQUAD color);
    static int CompareColors(const void* a, const void* b);  // qsort comparator by gray level

    // ---- alpha plane (255 = opaque) -----------------------------------------------------
    bool AlphaCreate();
    void AlphaDelete();
    bool AlphaIsValid() const;
    void AlphaClear();
    void AlphaSet(BYTE level);
    void AlphaInvert();
    void AlphaSet(long x, long y, BYTE level);
    BYTE AlphaGet(long x, long y) const;
    BYTE* AlphaGetPointer(long x = 0, long y = 0) const;
    bool AlphaCopy(const GwImage& from);
    bool AlphaSet(const GwImage& from);
    bool AlphaFlip();
    bool AlphaMirror();
    bool AlphaSplit(GwImage* dest) const;
    bool AlphaPaletteSplit(GwImage* dest) const;
    BYTE AlphaGetMax() const;
    void AlphaSetMax(BYTE alphaMax);
    void AlphaPaletteEnable(bool enable = true);
    bool AlphaPaletteIsEnabled() const;
    void AlphaPaletteClear();
    bool AlphaPaletteIsValid() const;
    void AlphaStrip();

    // ---- selection plane (255 = selected) -----------------------------------------------
    bool SelectionCreate();
    bool SelectionDelete();
    bool SelectionClear();
    bool SelectionIsValid() const;
    void SelectionGetBox(RECT& box) const;
    bool SelectionIsInside(long x, long y) const;
    bool SelectionAddRect(RECT r);
    bool SelectionAddEllipse(RECT r);
    bool SelectionAddPolygon(POINT* points, long n);
    bool SelectionAddColor(RGBQUAD color);
    bool SelectionAddPixel(int x, int y);
    bool SelectionInvert();
    bool SelectionCopy(const GwImage& from);
    bool SelectionSplit(GwImage* dest) const;
    bool SelectionToHRGN(HRGN& region);

    // ---- sampling at fractional positions ----------------------------------------------
    void OverflowCoordinates(long& x, long& y, OverflowMethod method) const;
    void OverflowCoordinates(float& x, float& y, OverflowMethod method) const;
    RGBQUAD GetPixelColorWithOverflow(long x, long y, OverflowMethod method,
                                      RGBQUAD* const replacement = nullptr) const;
    RGBQUAD GetPixelColorInterpolated(float x, float y, InterpolationMethod method = InterpBilinear,
                                      OverflowMethod overflow = OverflowClamp,
                                      RGBQUAD* const replacement = nullptr) const;

    static float KernelBSpline(const float x);
    static float KernelLinear(const float x);
    static float KernelCubic(const float x);
    static float KernelGeneralizedCubic(const float x, const float a = -1);
    static float KernelLanczosSinc(const float x, const float radius = 2.0f);
    static float KernelBox(const float x);
    static float KernelHermite(const float x);
    static float KernelHamming(const float x);
    static float KernelSinc(const float x);
    static float KernelBlackman(const float x);
    static float KernelBessel_J1(const float x);
    static float KernelBessel_P1(const float x);
    static float KernelBessel_Q1(const float x);
    static float KernelBessel_Order1(float x);
    static float KernelBessel(const float x);
    static float KernelGaussian(const float x);
    static float KernelQuadratic(const float x);
    static float KernelMitchell(const float x);
    static float KernelCatrom(const float x);

    // ---- tone, depth and orientation ------------------------------------------------------
    bool GrayScale();
    bool Negative();
    bool IncreaseBpp(DWORD bitsPerPixel);
    bool DecreaseBpp(DWORD bitsPerPixel, bool errorDiffusion, RGBQUAD* palette = nullptr,
                     DWORD colorsImportant = 0);
    bool Flip();    // upside down: rows reversed, with the alpha and selection planes
    bool Mirror();  // left to right: each row reversed, with the alpha and selection planes

    // ---- geometric transforms, resampling and dithering ----------------------------------
    // Common contract. Every operation below writes its result to `dest` when one is given
    // (this image is then left as it was) and otherwise replaces this image; the result
    // carries this image's type, resolution, flags and codec settings.
    // Failure (false) leaves both images as they were, with the reason in this image's
    // GetLastError(): "... : no picture" for an empty image, "... : size must be greater than
    // zero", "... : angle is not a finite number", "... : picture too large (W x H pixels)" when
    // the result would exceed the decode budget (nothing is allocated then), and Create's
    // messages when memory runs out. Angles are in degrees, counter-clockwise as the picture
    // is seen (rows count upward). "Exact" operations move pixels without changing them: the
    // palette, the transparent index or colour, the alpha plane and the selection plane (and
    // its box) go with them. The other operations compute new pixels; a palette picture comes
    // out in 24 bits (its transparent index becomes the transparent colour) unless the method
    // is nearest, the alpha plane is interpolated like a colour channel (not premultiplied),
    // and the selection plane is not carried over.

    // Exact quarter turns: left = counter-clockwise, so pixel (x, y) of a W x H picture goes
    // to (H - 1 - y, x); right = clockwise, (x, y) to (y, W - 1 - x).
    bool RotateLeft(GwImage* dest = nullptr);
    bool RotateRight(GwImage* dest = nullptr);
    // Exact half turn: (x, y) to (W - 1 - x, H - 1 - y).
    bool Rotate180(GwImage* dest = nullptr);
    // Exact: keeps columns left..right-1 and rows bottom..top-1 (the selection box's
    // convention), clipped to the picture; false ("GwImage::Crop : the rectangle does not meet
    // the picture") when nothing remains.
    bool Crop(long left, long top, long right, long bottom, GwImage* dest = nullptr);
    bool Crop(const RECT& rect, GwImage* dest = nullptr);
    // Exact: adds borders of the given widths (each >= 0; top is above the picture's highest
    // row). The borders take canvasColor, on a palette picture its nearest palette entry, and
    // in the alpha plane canvasColor's fourth byte (pass 255 for opaque borders); the second
    // form gives the borders a palette index and opaque alpha, and is refused ("GwImage::Expand
    // : no palette") on a picture without one. New selection bytes are unselected.
    bool Expand(long left, long top, long right, long bottom, RGBQUAD canvasColor, GwImage* dest = nullptr);
    bool Expand(long left, long top, long right, long bottom, BYTE paletteIndex, GwImage* dest = nullptr);
    // A width x height picture cut along a rectangle turned by `angle` about its corner at
    // (left, bottom) (pixel (left, bottom)'s low corner); its sides run along the turned axes.
    // Pixels are sampled bilinearly; outside the picture they are white with alpha 0. At a
    // multiple of 90 degrees the pixels are taken exactly (nearest), keeping a palette.
    bool CropRotatedRectangle(long left, long bottom, long width, long height, float angle,
                              GwImage* dest = nullptr);

    // New size by one of the fast modes; newWidth, newHeight >= 1. Pixel centres are mapped
    // onto each other ((x + 0.5) * W / newWidth - 0.5); edges are clamped.
    bool Resample(long newWidth, long newHeight, ResampleMode mode = ResampleBilinear,
                  GwImage* dest = nullptr);
    // New size with an interpolation method and edge rule, as a separable filter whose
    // kernel is widened by the scale when shrinking (so shrinking averages, never skips) and
    // whose weights are normalised to 1. Support: bilinear 1, Lanczos 6, the others 2
    // (their 4 x 4 blocks); nearest behaves as ResampleNearest. Samples beyond the edges come
    // from the overflow rule (wrap, clamp, mirror) or are its colour (the other rules).
    bool Resample2(long newWidth, long newHeight, InterpolationMethod method = InterpBicubic2,
                   OverflowMethod overflow = OverflowClamp, GwImage* dest = nullptr);
    // Shrinks by whole factors (>= 1) averaging xFactor x yFactor blocks, counted from pixel
    // (0, 0); the result is ceil(W / xFactor) x ceil(H / yFactor), its last column and row
    // averaging the pixels that remain. Fast integer arithmetic, rounded.
    bool QIShrink(long xFactor, long yFactor, GwImage* dest = nullptr);
    // Fits the picture in maxWidth x maxHeight keeping its proportions (each side at least 1
    // pixel), shrinking by area average and never enlarging; with canvasColor the result is
    // then centred on a maxWidth x maxHeight canvas of that colour (as Expand).
    bool Thumbnail(long maxWidth, long maxHeight, RGBQUAD* const canvasColor = nullptr,
                   GwImage* dest = nullptr);
    // The average colour over `area` (pixel (i, j) is the square (i, j)..(i + 1, j + 1)),
    // each pixel weighted by the part of it inside; beyond the edges the overflow rule
    // supplies the pixels. An area smaller than one pixel both ways, or reaching beyond
    // 10^9, is sampled at its centre with `method` instead; an empty or non-finite area gives the overflow rule's colour.
    // Areas over 2^24 pixels under a folding rule are averaged from a 4096 x 4096 grid of
    // samples. Alpha is averaged when there is an alpha plane, else 0.
    RGBQUAD GetAreaColorInterpolated(const GwRect2& area, InterpolationMethod method = InterpBilinear,
                                     OverflowMethod overflow = OverflowClamp,
                                     RGBQUAD* const replacement = nullptr) const;
    // Accumulates `color` weighted by `surface` into the four running sums.
    static void AddAveragingCont(const RGBQUAD& color, float surface, float& r, float& g, float& b,
                                 float& a);

    // Rotation by any angle about the centre. Rotate grows the canvas to hold the whole turned
    // picture (the corners' bounding box, rounded up); Rotate2 keeps the canvas size and cuts
    // what turns out of it. A pixel whose source point lies outside the picture (by more than
    // half a pixel) takes `fill` (null: white, alpha 0); the others are sampled with `method`,
    // whose neighbours beyond the edges come from `overflow`. Rotate turns multiples of 90
    // degrees exactly (and keeps palettes and the selection); a multiple of 360 is a copy.
    bool Rotate(float angle, GwImage* dest = nullptr, InterpolationMethod method = InterpBilinear,
                OverflowMethod overflow = OverflowClamp, RGBQUAD* const fill = nullptr);
    bool Rotate2(float angle, GwImage* dest = nullptr, InterpolationMethod method = InterpBilinear,
                 OverflowMethod overflow = OverflowClamp, RGBQUAD* const fill = nullptr);
    // Shear on the same canvas: pixel (x, y) takes the source point
    // (x + xGain * (y - yPivot), y + yGain * (x - xPivot)), sampled and filled as Rotate does.
    bool Skew(float xGain, float yGain, long xPivot = 0, long yPivot = 0, GwImage* dest = nullptr,
              InterpolationMethod method = InterpBilinear, OverflowMethod overflow = OverflowClamp,
              RGBQUAD* const fill = nullptr);
    // To one bit per pixel (palette 0 black, 1 white) from each pixel's grey level, spreading
    // the error so that areas keep their mean grey. The alpha and selection planes stay; the
    // transparent index is dropped (it named an entry of the old palette).
    bool Dither(DitherMethod method = DitherFloydSteinberg, GwImage* dest = nullptr);
    // A lens effect inside the circle of `radius` pixels (0 or less: half the shorter side)
    // about the picture's centre; outside it the picture is unchanged. Sampled bilinearly.
    // Unknown effects and non-finite or negative pinch/bulge strengths are refused.
    bool CircleTransform(CircleEffect effect, float strength, long radius = 0, GwImage* dest = nullptr);

    // ---- platform bitmaps, global memory and drawing ------------------------------------
    bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
    bool CreateFromHANDLE(HANDLE mem);
    bool CreateFromHICON(HICON icon);
    HANDLE CopyToHandle();
    HBITMAP MakeBitmap(HDC dc = nullptr);
    long Draw(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1, RECT* clip = nullptr,
              bool smooth = false);
    long Draw(HDC dc, const RECT& rect, RECT* clip = nullptr, bool smooth = false);
    long Draw2(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1);
    long Draw2(HDC dc, const RECT& rect);
    long Draw3(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1);
    long Draw3(HDC dc, const RECT& rect);
    long Stretch(HDC dc, long x, long y, long cx, long cy, DWORD rop = SRCCOPY);
    long Stretch(HDC dc, const RECT& rect, DWORD rop = SRCCOPY);
    long Tile(HDC dc, RECT* rect);
    long DrawString(HDC dc, long x, long y, const char* text, RGBQUAD color, const char* font,
                    long height, long weight, BYTE italic = 0, BYTE underline = 0,
                    bool setAlpha = false);
    long DrawStringEx(HDC dc, long x, long y, tagGwTextInfo* info, bool setAlpha = false);
    void InitTextInfo(tagGwTextInfo* info);

    // ---- reading and writing files by type --------------------------------------------
    bool Decode(GwFile* file, DWORD type);
    bool Decode(FILE* fp, DWORD type);
    bool Decode(BYTE* buffer, DWORD size, DWORD type);
    bool Load(const char* fileName, DWORD type = TypeAny);
    bool LoadResource(HRSRC res, DWORD type, HINSTANCE module = nullptr);
    bool Encode(GwFile* file, DWORD type);
    bool Encode(FILE* fp, DWORD type);
    // buffer must be null on entry; on success it holds a new block (release with FreeMemory).
    bool Encode(BYTE*& buffer, long& size, DWORD type);
    bool Save(const char* fileName, DWORD type);
    bool Encode(GwFile* file, GwImage** images, int count, DWORD type);
    bool Encode(FILE* fp, GwImage** images, int count, DWORD type);
    bool Encode2RGBA(GwFile* file);
    bool Encode2RGBA(BYTE*& buffer, long& size);

protected:
    void Startup(DWORD typeId);
    // Borrows `from`'s buffers without owning them (for codec objects).
    void Ghost(GwImage* from);
    // Only when this image has no dib: takes src's information record (settings for a codec).
    void CopyInfo(const GwImage& src);

    BYTE BlindGetPixelIndex(long x, long y) const;
    RGBQUAD BlindGetPixelColor(long x, long y) const;
    BYTE* BlindGetPixelPointer(long x, long y) const;
    // Unchecked writes for inner loops that have already tested the coordinates.
    void BlindSetPixelIndex(long x, long y, BYTE index);
    void BlindSetPixelColor(long x, long y, RGBQUAD color, bool setAlpha = false);
    BYTE BlindAlphaGet(long x, long y) const;
    bool BlindSelectionIsInside(long x, long y) const;
    // Sets the selection box to the smallest box holding every selected byte of the plane.
    void SelectionFitBox();

    void RGBtoBGR(BYTE* buffer, int length);
    void Bitfield2RGB(BYTE* src, WORD redmask, WORD greenmask, WORD bluemask, BYTE bpp);
    bool EncodeSafeCheck(GwFile* file);
    // True when a decoded picture of width x height pixels stays within the decode budget;
    // otherwise false with lastError naming the size and the limit.
    bool DecodeBudgetAllows(uint64_t width, uint64_t height);
    // True for the message DecodeBudgetAllows leaves: the format was recognised, so format
    // detection reports it instead of trying the next format.
    static bool IsOverBudgetMessage(const char* text);

    void* dib;                  // header copy, palette, pixel rows; null when empty
    BITMAPINFOHEADER header;
    ImageInfo info;
    BYTE* selection;            // width x height bytes, bottom-up; null when absent
    BYTE* alpha;                // width x height bytes, bottom-up; null when absent
    GwImage** layers;           // layerCount layer images
};

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
    // The origin, or (px, py).
    GwPoint2() : x(0), y(0) {}
    GwPoint2(float px, float py) : x(px), y(py) {}
    // Sum, difference and scaling as vectors; equality is exact, coordinate by coordinate.
    GwPoint2 operator+(const GwPoint2& p) const { return GwPoint2(x + p.x, y + p.y); }
    GwPoint2 operator-(const GwPoint2& p) const { return GwPoint2(x - p.x, y - p.y); }
    GwPoint2 operator*(float f) const { return GwPoint2(x * f, y * f); }
    bool operator==(const GwPoint2& p) const { return x == p.x && y == p.y; }
    // The distance from the origin, and from p.
    float Length() const;
    float Distance(const GwPoint2& p) const;
    // The point turned about the origin by `degrees`, counter-clockwise; multiples of 90
    // degrees turn exactly.
    GwPoint2 Rotated(float degrees) const;

    float x;  // the coordinates
    float y;
};

// An axis-aligned rectangle in floats: botLeft is the low corner, topRight the high one;
// it holds the points with botLeft.x <= x < topRight.x and botLeft.y <= y < topRight.y.
// In pixel terms, pixel (i, j) is the unit square from (i, j) to (i + 1, j + 1).
// A rectangle whose width or height is not positive is empty.
class GwRect2 {
public:
    // The empty rectangle at the origin, one from its four edges, or one from its low and high
    // corners; the edges are taken as given (left beyond right gives an empty rectangle).
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
    // An empty image (no picture) of the given type id: 96 dpi both ways, no transparent
    // index, overall opacity 255, drawing enabled.
    explicit GwImage(DWORD typeId = 0);
    // An image made by Create; when Create fails the image is empty with Create's message.
    GwImage(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD typeId = 0);
    // Also the copy constructor. Copies information, palette and, as asked, pixels and planes.
    GwImage(const GwImage& src, bool withPixels = true, bool withSelection = true,
            bool withAlpha = true);
    // Loading constructors; failure shows only through IsValid() and GetLastError().
    // By file name (as Load), from a borrowed stdio stream, from a stream, from a memory block
    // read in place (as the Decode of the same arguments).
    GwImage(const char* fileName, DWORD typeId);
    GwImage(FILE* fp, DWORD typeId);
    GwImage(GwFile* file, DWORD typeId);
    GwImage(BYTE* buffer, DWORD size, DWORD typeId);
    // Frees what the image owns (a ghost frees nothing).
    virtual ~GwImage();
    // Copy with pixels and both planes; assigning an image to itself changes nothing.
    GwImage& operator=(const GwImage& src);

    // Returns the new dib block, or null (lastError set; a ghost returns null untouched).
    // Pixel bytes of a new image are not initialised.
    // bitsPerPixel is rounded up to 1, 4, 8 or 24; the palette (2, 16 or 256 entries, none
    // for 24 bits) is zeroed, and the alpha and selection planes of the old picture are
    // deleted. Failures: "GwImage::Create : width and height must be greater than zero",
    // "GWIMAGE_MAX_MEMORY exceeded" (beyond about 8 GB of pixels), "GwImage::Create : image
    // too large" (a side beyond 2^31 - 1 or a block beyond 4 GiB), "GwImage::Create can't
    // allocate memory".
    void* Create(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD typeId = 0);
    // Frees every owned buffer; false (and nothing freed) for a ghost.
    bool Destroy();
    // Makes this image a copy of src: the information record, palette and colours important
    // always; the pixel rows, the selection plane (with its box) and the alpha plane as asked
    // (without pixels the rows are not initialised). Nothing happens for src == this or a
    // ghost; when Create fails this image is left empty with Create's message.
    void Copy(const GwImage& src, bool withPixels = true, bool withSelection = true,
              bool withAlpha = true);
    // Moves everything out of `from`, which is left empty with every information field 0.
    // false (nothing moved) when this image is a ghost or `from` is a ghost of this image.
    bool Transfer(GwImage& from);
    // Rows of bitsPerPixel 1, 4, 8, 24 or 32 (32 keeps the 4th byte as an alpha plane).
    // Replaces the picture with width x height pixels from caller rows bytesPerLine apart
    // (blue, green, red order; at most one row of the image's own width is taken from each);
    // the first row becomes the bottom one, or the top one with flipRows. Depths below 24 get
    // a grey palette. false for null rows or another depth (lastError untouched) and on
    // Create's failures. CreateFromMatrix: the same from an array of row pointers; a null row
    // is skipped and its pixels stay uninitialised.
    bool CreateFromArray(BYTE* array, DWORD width, DWORD height, DWORD bitsPerPixel,
                         DWORD bytesPerLine, bool flipRows);
    bool CreateFromMatrix(BYTE** rows, DWORD width, DWORD height, DWORD bitsPerPixel,
                          DWORD bytesPerLine, bool flipRows);
    // Sets every pixel byte, row padding included, to value: on 1 bit any non-zero value sets
    // every bit, on 4 bits the low nibble fills both halves. Palette and planes stay.
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

    // ---- information (each of these only reads or sets a field; none fails) -------------
    // IsValid: there is a picture. GetDIB: the packed block (header, palette, rows), owned by
    // the image, null when empty. Width, height (pixels) and depth (1, 4, 8 or 24) are 0 when
    // empty; GetEffWidth is the bytes of one row (a multiple of 4); GetNumColors the palette
    // entries (2, 16, 256; 0 for 24 bits). GetBits: the first byte of row `row` (counted from
    // the bottom), null when empty or beyond the last row. IsInside: (x, y) is a pixel of
    // the picture. GetType: the ImageType id it was created or decoded as. GetLastError: the
    // text of the last failure, "" until one; successful calls do not clear it. The version:
    // "GwImage 1.0" and 1.0.
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

    // Resolution in dots per inch, 96 by default; Set takes 0 or less as 96 and keeps the
    // header's pixels per metre in step.
    long GetXDPI() const;
    long GetYDPI() const;
    void SetXDPI(long dpi);
    void SetYDPI(long dpi);
    // Transparency. The transparent index is -1 for none; it is not checked against the
    // palette (an index beyond 255 gives GetTransColor black). A 24-bit picture keeps its
    // transparent colour (SetTransColor stores its fourth byte as 0) and uses an index >= 0
    // as the flag that the colour counts. GetTransColor: the palette entry of the transparent
    // index on palette pictures that have one, else the stored colour. IsTransparent: a
    // transparent index >= 0 is set. IsIndexed: the picture has a palette.
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
    // A reserved flag the readers set when the file ends inside the picture's pixel data: the
    // picture holds what the file had (the rest filled), and GetLastError says where it ended.
    // A file that ends before any pixel data fails instead.
    static constexpr DWORD FlagPartial = 0x00020000;
    bool IsPartial() const { return (info.flags & FlagPartial) != 0; }
    // The caller's flag word; with lockReserved the stored word's high 16 bits become 0.
    DWORD GetFlags() const;
    void SetFlags(DWORD value, bool lockReserved = true);
    // One option word per type id 0..3 (type 0: this image's type): GIF's coder, PNG's
    // interlace. Get gives 0 and Set false for a type beyond 3.
    DWORD GetCodecOption(DWORD type = 0) const;
    bool SetCodecOption(DWORD value, DWORD type = 0);
    // GIF frames: the delay in hundredths of a second, the frame a decode reads (0 = the
    // first), the frames the last GIF decode found, and the frame's place on its screen.
    DWORD GetFrameDelay() const;
    void SetFrameDelay(DWORD delay);
    long GetFrame() const;
    void SetFrame(long frame);
    long GetNumFrames() const;
    void GetOffset(long* x, long* y) const;  // a null pointer is skipped
    void SetOffset(long x, long y);
    // Kept for codecs (90 and 0 by default); no compiled-in format reads them.
    BYTE GetJpegQuality() const;
    void SetJpegQuality(BYTE quality);
    BYTE GetJpegScale() const;
    void SetJpegScale(BYTE scale);
    // Progress of a long operation (depth conversions count 0..100), and the escape: non-zero
    // asks long operations and readers to stop; -1 asks the readers for headers only.
    long GetProgress() const;
    void SetProgress(long progress);
    long GetEscape() const;
    void SetEscape(long escape);
    // Drawing enabled (the default): while disabled Draw, Draw2, Draw3 and Tile paint nothing.
    bool IsEnabled() const;
    void Enable(bool enable = true);

    // ---- palette (every write forgets the remembered nearest-index answer) ---------------
    // The entries in place (blue, green, red, reserved), null without a palette; its size in
    // bytes (4 an entry, 0 without).
    RGBQUAD* GetPalette() const;
    DWORD GetPaletteSize() const;
    // One entry; all zero without a palette or beyond it.
    RGBQUAD GetPaletteColor(BYTE index) const;
    // False when there is no palette or the index is beyond it (nothing is written then).
    bool GetPaletteColor(BYTE index, BYTE* r, BYTE* g, BYTE* b) const;
    // Sets one entry: from channels with alpha as the reserved byte, as given, or from a
    // COLORREF with reserved 0. Ignored without a palette or beyond it.
    void SetPaletteColor(BYTE index, BYTE r, BYTE g, BYTE b, BYTE alpha = 0);
    void SetPaletteColor(BYTE index, RGBQUAD color);
    void SetPaletteColor(BYTE index, COLORREF color);
    // Sets the first n entries (at most the palette's): from channel arrays (null g takes r,
    // null b takes g: a grey palette from one array) or from byte triples, keeping the
    // reserved bytes; from RGBQUADs whole, reserved bytes included. Ignored without a palette
    // or with a null source.
    void SetPalette(DWORD n, BYTE* r, BYTE* g = nullptr, BYTE* b = nullptr);
    void SetPalette(rgb_color* colors, DWORD n = 256);
    void SetPalette(RGBQUAD* palette, DWORD n = 256);
    // An evenly spaced grey ramp from black to white over every entry (reserved bytes kept).
    void SetGrayPalette();
    // The standard 16- or 256-colour system palette on 4- and 8-bit pictures (reserved 0);
    // other depths are left alone.
    void SetStdPalette();
    // Mixes every entry toward color by percent (held to 0..100).
    void BlendPalette(COLORREF color, long percent);
    // True only when entry i is the grey (i, i, i) for every entry: an 8-bit grey ramp.
    bool IsGrayScale() const;
    // Swaps two entries and the pixels that use them, so the picture looks the same; the
    // transparent index stays. Ignored without a palette or beyond it.
    void SwapIndex(BYTE a, BYTE b);
    // Same non-zero number of entries and the same colours (and reserved bytes, checkAlpha).
    bool IsSamePalette(const GwImage& other, bool checkAlpha = true) const;
    // How many entries the nearest-colour search looks at, 0 = all. Set takes 0 or a value
    // beyond 256 as all, holds it to 2 or 16 on 1- and 4-bit pictures, and is ignored on
    // 24-bit ones.
    DWORD GetClrImportant() const;
    void SetClrImportant(DWORD n = 0);

    // ---- pixels (outside the picture writes are ignored) --------------------------------
    // The palette index at (x, y); outside the picture the transparent index when there is
    // one, else pixel (0, 0)'s; 0 without a palette.
    BYTE GetPixelIndex(long x, long y) const;
    // The colour at (x, y), palette pictures through their entry (its reserved byte in the
    // fourth); with getAlpha and an alpha plane the fourth byte is the pixel's alpha. Outside
    // the picture: the transparent colour when there is a transparent index, else pixel
    // (0, 0); an empty image gives the stored transparent colour.
    RGBQUAD GetPixelColor(long x, long y, bool getAlpha = true) const;
    // The grey level of GetPixelColor.
    BYTE GetPixelGray(long x, long y) const;
    // Writes an index (not checked against the palette); ignored without a palette.
    void SetPixelIndex(long x, long y, BYTE index);
    // Writes a colour: a palette picture takes the nearest entry (GetNearestIndex); with
    // setAlpha the fourth byte goes into the alpha plane when there is one. The COLORREF form
    // leaves alpha alone.
    void SetPixelColor(long x, long y, COLORREF color);
    void SetPixelColor(long x, long y, RGBQUAD color, bool setAlpha = false);
    // Mixes color into the pixel by blend (held to 0..1, 1 = only color), then writes it as
    // SetPixelColor does; with setAlpha the plane takes color's fourth byte.
    void BlendPixelColor(long x, long y, RGBQUAD color, float blend, bool setAlpha = false);
    // The entry nearest to color (least squared distance of red, green and blue; the first of
    // equals) among the colours-important entries, remembered until the palette changes; 0
    // without a palette.
    BYTE GetNearestIndex(RGBQUAD color);
    // The pixel has the transparent index (palette) or the transparent colour (24 bits, with
    // a transparent index set), or alpha 0 in the alpha plane.
    bool IsTransparent(long x, long y) const;
    // A straight line with both ends, each pixel written as SetPixelColor (clipped pixel by
    // pixel). Note the argument order: both x values, then both y values.
    void DrawLine(int startX, int endX, int startY, int endY, COLORREF color);
    void DrawLine(int startX, int endX, int startY, int endY, RGBQUAD color, bool setAlpha = false);

    // COLORREF (red in the low byte) to RGBQUAD with fourth byte 0, and back (fourth dropped).
    static RGBQUAD RGBtoRGBQUAD(COLORREF color);
    static COLORREF RGBQUADtoRGB(RGBQUAD color);
    static int CompareColors(const void* a, const void* b);  // qsort comparator by gray level

    // ---- alpha plane (255 = opaque) -----------------------------------------------------
    // Makes a fully opaque plane when there is none; true when the plane exists afterwards
    // (false without a picture or memory). Delete frees it; IsValid: there is one.
    bool AlphaCreate();
    void AlphaDelete();
    bool AlphaIsValid() const;
    // The whole plane to 0 (transparent), to level, or each value v to 255 - v; nothing
    // without a plane.
    void AlphaClear();
    void AlphaSet(BYTE level);
    void AlphaInvert();
    // One pixel's alpha: ignored, and 0, outside the picture or without a plane.
    void AlphaSet(long x, long y, BYTE level);
    BYTE AlphaGet(long x, long y) const;
    // The plane's byte for (x, y) (rows bottom-up, width bytes each); null outside or without
    // a plane.
    BYTE* AlphaGetPointer(long x = 0, long y = 0) const;
    // Takes from's plane and overall opacity; false when from has no plane, this image has no
    // picture, the sizes differ or memory runs out (true for from == this with a plane).
    bool AlphaCopy(const GwImage& from);
    // Makes the plane from an 8-bit grey-ramp picture's indices (IsGrayScale) of the same
    // size; false for any other picture.
    bool AlphaSet(const GwImage& from);
    // The plane alone upside down or left to right (Flip and Mirror turn it with the
    // picture); false without a plane.
    bool AlphaFlip();
    bool AlphaMirror();
    // dest becomes an 8-bit grey-ramp picture of this image's type holding the plane's
    // values, or (AlphaPaletteSplit) each pixel's palette-entry reserved byte. false without
    // a plane (a palette), for a null dest or dest == this, and on dest's Create failures.
    bool AlphaSplit(GwImage* dest) const;
    bool AlphaPaletteSplit(GwImage* dest) const;
    // Overall opacity (255 by default), scaling every pixel's alpha when drawing and when
    // flattening.
    BYTE AlphaGetMax() const;
    void AlphaSetMax(BYTE alphaMax);
    // The palette's reserved bytes count as alpha when drawing (Draw); off by default.
    void AlphaPaletteEnable(bool enable = true);
    bool AlphaPaletteIsEnabled() const;
    // Sets every reserved byte of the palette to 0. IsValid: some reserved byte is not 0.
    void AlphaPaletteClear();
    bool AlphaPaletteIsValid() const;
    // Flattens the alpha onto the transparent colour: each pixel is mixed with it by its
    // opacity (plane value x overall opacity, x the entry's reserved byte when the palette
    // carries alpha) and the alpha plane goes. A palette picture becomes 24 bits (keeping its
    // selection); nothing happens without a plane or palette alpha, or for a palette ghost.
    void AlphaStrip();

    // ---- selection plane (255 = selected) -----------------------------------------------
    // Create: a new, empty plane (replacing any) and an empty box; false without a picture or
    // memory. Delete: no plane, the box empty; always true. Clear: nothing selected; false
    // without a plane. IsValid: there is a plane.
    bool SelectionCreate();
    bool SelectionDelete();
    bool SelectionClear();
    bool SelectionIsValid() const;
    // The box of the selected pixels: columns left..right-1, rows bottom..top-1 (rows count
    // upward); the empty box is left = width, right = 0, top = 0, bottom = height. The adds
    // only widen it, so it may be larger than the selected pixels.
    void SelectionGetBox(RECT& box) const;
    // (x, y) is on the picture and selected; without a plane every pixel counts as selected.
    bool SelectionIsInside(long x, long y) const;
    // The adds select pixels (creating the plane when there is none) and widen the box; they
    // fail only for the reasons given or when the plane cannot be made.
    // Rect: columns left..right-1 and rows between top and bottom (either order), clipped;
    // true also when nothing of it lies on the picture.
    bool SelectionAddRect(RECT r);
    // The pixels whose centre lies in the ellipse inscribed in r; false (no plane made) when
    // either semi-axis is under one pixel.
    bool SelectionAddEllipse(RECT r);
    // Even-odd filling of the polygon by pixel centres; false for null points or n < 3.
    bool SelectionAddPolygon(POINT* points, long n);
    // Every pixel whose red, green and blue equal color's (its fourth byte is ignored).
    bool SelectionAddColor(RGBQUAD color);
    // One pixel; false outside the picture.
    bool SelectionAddPixel(int x, int y);
    // Each value v becomes 255 - v and the box is fitted to the result; false without a plane.
    bool SelectionInvert();
    // As AlphaCopy and AlphaSplit, for the selection plane (Copy takes from's box too).
    bool SelectionCopy(const GwImage& from);
    bool SelectionSplit(GwImage* dest) const;
    // ORs every run of fully selected pixels into region, as device rectangles (top row
    // first); false without a picture, plane or region, or when a rectangle cannot be made
    // (region then holds the runs added so far).
    bool SelectionToHRGN(HRGN& region);

    // ---- sampling at fractional positions ----------------------------------------------
    // Brings a coordinate outside the picture back onto it by OverflowWrap, OverflowClamp or
    // OverflowMirror; other rules, coordinates on the picture, non-finite floats and an empty
    // image are left as they are.
    void OverflowCoordinates(long& x, long& y, OverflowMethod method) const;
    void OverflowCoordinates(float& x, float& y, OverflowMethod method) const;
    // The pixel's colour (palette entry, or blue-green-red with the alpha plane's byte, 0
    // without one) on the picture; outside it, what the overflow rule says (see
    // OverflowMethod; replacement null: white with alpha 0). An empty image gives the
    // replacement colour.
    RGBQUAD GetPixelColorWithOverflow(long x, long y, OverflowMethod method,
                                      RGBQUAD* const replacement = nullptr) const;
    // The colour at a fractional position (whole coordinates hit the pixels themselves):
    // nearest, bilinear, or a kernel over its block (4 x 4; 12 x 12 for Lanczos) with
    // weights that are not normalised and channels held to 0..255. Neighbours beyond the
    // edges come from the overflow rule; when none of the block lies on the picture, a
    // non-folding rule gives its colour outright. A non-finite coordinate gives the rule's
    // colour, or under a folding rule samples at 0. Alpha is interpolated with an alpha plane,
    // else 0. An empty image gives the rule's colour.
    RGBQUAD GetPixelColorInterpolated(float x, float y, InterpolationMethod method = InterpBilinear,
                                      OverflowMethod overflow = OverflowClamp,
                                      RGBQUAD* const replacement = nullptr) const;

    // The filter kernels of the interpolation methods, as functions of the distance in
    // pixels: pure, never failing. GeneralizedCubic's a is the cubic's sharpness (-0.5 for
    // InterpBicubic2), LanczosSinc's radius its lobes (6 for InterpLanczos); the Bessel_ ones
    // are the pieces of KernelBessel's first-order Bessel function.
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

    // ---- tone, depth and orientation (in place; false without a picture) ------------------
    // To an 8-bit grey-ramp picture of each pixel's grey level; the transparent index goes to
    // its entry's grey level, the alpha and selection planes stay. Other depths are rebuilt
    // aside: false for a ghost or on Create's failures, the image then as it was.
    bool GrayScale();
    // Inverts the colours: 24-bit pixels (only the selected ones when there is a selection
    // plane) and the transparent colour; a palette picture inverts its entries, a grey-ramp
    // one its indices (selected ones only). Alpha stays.
    bool Negative();
    // Widens to 4, 8 or 24 bits without changing a colour: palette depths keep palette and
    // indices; to 24 bits the transparent index's entry becomes the transparent colour and
    // palette alpha becomes the alpha plane. Planes stay. True with nothing done at the same
    // depth; false for another depth, a narrower one, a ghost, or Create's failures. An
    // escape stops it early, the rows not reached black.
    bool IncreaseBpp(DWORD bitsPerPixel);
    // Narrows to 1, 4 or 8 bits: the palette is `palette` (2, 16 or 256 entries) or black and
    // white, else the standard palette; each pixel takes the nearest of the first
    // colorsImportant entries (0: all), with errorDiffusion spreading each pixel's error
    // (7/16 to the right, 2, 4 and 1/16 to the row above). Planes and the transparent index
    // stay as they are. True with nothing done at the same depth without a new count; false
    // for another depth, a wider one, a ghost, or Create's failures.
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
    // the result would exceed the decode budget, "... : needs N bytes of pixel memory, ..." when
    // source, result and working buffers together would hold more than 4 bytes for each pixel
    // of the decode budget (nothing is allocated then either), and Create's
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
    // Resample2: new size with an interpolation method and edge rule (Resample offers only the
    // fast modes), as a separable filter whose kernel is widened by the scale when shrinking
    // (so shrinking averages, never skips) and whose weights are normalised to 1. Support:
    // bilinear 1, Lanczos 6, the others 2 (their 4 x 4 blocks); nearest behaves as
    // ResampleNearest. Samples beyond the edges come from the overflow rule (wrap, clamp,
    // mirror) or are its colour (the other rules).
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

    // Rotate and Rotate2 turn by any angle about the centre; Rotate grows the canvas to hold the
    // whole turned picture (the corners' bounding box, rounded up), Rotate2 keeps the canvas
    // size and cuts what turns out of it. A pixel whose source point lies outside the picture
    // (by more than half a pixel) takes `fill` (null: white, alpha 0); the others are sampled
    // with `method`, whose neighbours beyond the edges come from `overflow`. Rotate turns
    // multiples of 90 degrees exactly (and keeps palettes and the selection); a multiple of
    // 360 is a copy.
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
    // The readers below free the old picture first: a failure leaves the image empty (a ghost
    // refuses at once).
    // A bitmap's pixels at its depth (rounded up as Create does), read through the screen
    // context with `palette` realised; up to 8 bits the palette is the bitmap's colour table.
    // false for a null bitmap, one the platform cannot describe, no screen context, Create's
    // failures and "GetDIBits failed".
    bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
    // A packed device-independent bitmap in global memory (the clipboard's form): plain rows,
    // run-length coded 8- and 4-bit rows, 16- and 32-bit rows with colour masks. Every size
    // the block claims is checked against the block, and the picture is held to the decode
    // budget. Failures: "bitmap width or height not valid", "bit field masks do not fit in the
    // block", "colour table does not fit in the block", "compressed data too short for the
    // bitmap size", "pixel data do not fit in the block", the layout reader's and the decode
    // budget's messages; no message for a null handle, an empty block or one that cannot be
    // locked.
    bool CreateFromHANDLE(HANDLE mem);
    // The icon's colour bitmap, with its mask as the alpha plane (transparent 0, painted
    // 255); the bitmap copies the platform hands out are deleted. Fails as CreateFromHBITMAP,
    // and for a null icon or one the platform cannot describe.
    bool CreateFromHICON(HICON icon);
    // The dib block copied into new global memory (the caller frees it); null when empty or
    // out of memory.
    HANDLE CopyToHandle();
    // A bitmap of the picture the caller deletes: device-dependent for dc, else a DIB section;
    // null when empty or when the platform fails.
    HBITMAP MakeBitmap(HDC dc = nullptr);
    // Painting into a device context. Common contract: the destination rectangle is (x, y)
    // (its top left corner) and cx x cy (-1: the picture's size; the RECT forms give left,
    // top, width and height); the result is 1, or 0 (nothing painted) for an empty image, a
    // null dc, a zero size, or drawing disabled.
    // Draw, the general one: transparency (those pixels leave what the device shows), the
    // alpha plane scaled by the overall opacity and, when enabled, palette alpha; scaling by
    // nearest pixel or, with smooth, bilinear; limited to clip when given (the device's clip
    // box is added back afterwards). Only the visible part is composed.
    long Draw(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1, RECT* clip = nullptr,
              bool smooth = false);
    long Draw(HDC dc, const RECT& rect, RECT* clip = nullptr, bool smooth = false);
    // Draw2: transparency only, through a mask: the whole picture stretched (no alpha, no
    // smoothing); without a transparent index a plain stretched copy.
    long Draw2(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1);
    long Draw2(HDC dc, const RECT& rect);
    // Draw3: an AND onto the device, which keeps only the bits set in both, so white pixels
    // leave what is there (how the control paints its symbol); no transparency or alpha.
    long Draw3(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1);
    long Draw3(HDC dc, const RECT& rect);
    // The whole picture stretched with the caller's raster operation; no transparency, no
    // alpha, and painted even while drawing is disabled. 0 only for an empty image or null dc.
    long Stretch(HDC dc, long x, long y, long cx, long cy, DWORD rop = SRCCOPY);
    long Stretch(HDC dc, const RECT& rect, DWORD rop = SRCCOPY);
    // Fills rect with copies of the picture from its top left corner, each painted by Draw and
    // cut at rect's edges; copies outside the device's clip box are skipped. 0 for an empty
    // image, a null dc or a null rect.
    long Tile(HDC dc, RECT* rect);
    // Writes text into this image's own pixels (dc only lends a compatible context): each lit
    // pixel of the rendered text is set as SetPixelColor(color, setAlpha) from (x, y), y
    // counted from the top row. The font: face (null: the default), height, weight, italic,
    // underline as in LOGFONT. Always 1, also when nothing could be drawn.
    long DrawString(HDC dc, long x, long y, const char* text, RGBQUAD color, const char* font,
                    long height, long weight, BYTE italic = 0, BYTE underline = 0,
                    bool setAlpha = false);
    // DrawString with the record's alignment and an optional box (outline, rounding, opacity)
    // behind the text. Out-of-range fields are corrected in the record: alignment to centre,
    // rounding beyond 50 to 10, opacity outside 0..1 to 0. -1 for an empty image, 0 for a
    // null record, else 1.
    long DrawStringEx(HDC dc, long x, long y, tagGwTextInfo* info, bool setAlpha = false);
    // Fills the record with the defaults ("Sample Text 01234", Arial 36, centred, opaque box,
    // rounding 20); ignores null.
    void InitTextInfo(tagGwTextInfo* info);

    // ---- reading and writing files by type --------------------------------------------
    // Decode reads from the stream's position with the codec of `type`; TypeAny tries BMP,
    // GIF and PNG in turn, rewinding between them. The codec starts from this image's
    // settings (frame, escape, codec options); its picture replaces this one only on success,
    // so a failure leaves the image as it was. Failures: "null file handler", "Decode: Unknown
    // or wrong format" (an unknown type, or no format recognised), the named codec's message,
    // and under detection the decode budget's message once a format was recognised. A failed
    // GIF decode still reports the frame count. The FILE form borrows the stream (the caller
    // closes it); the memory form reads the caller's block in place.
    bool Decode(GwFile* file, DWORD type);
    bool Decode(FILE* fp, DWORD type);
    bool Decode(BYTE* buffer, DWORD size, DWORD type);
    // By file name: the given type first, then detection, reporting why the given type failed.
    // false with no message for a null name or a file that cannot be opened.
    bool Load(const char* fileName, DWORD type = TypeAny);
    // Decodes a module's resource in place; "Unable to load resource!" when it cannot be
    // loaded, no message when it cannot be locked.
    bool LoadResource(HRSRC res, DWORD type, HINSTANCE module = nullptr);
    // Encode writes the picture with the codec of `type` at the stream's position, lending the
    // codec this image's buffers (the PNG writer may move a transparent entry to index 0, see
    // GwPngCodec::Encode). Failures: "Encode: Unknown format" (TypeAny included), "null file
    // handler", "null image!!!", and the codec's messages. The FILE form borrows the stream.
    bool Encode(GwFile* file, DWORD type);
    bool Encode(FILE* fp, DWORD type);
    // buffer must be null on entry; on success it holds a new block (release with FreeMemory).
    // "the buffer must be empty" otherwise.
    bool Encode(BYTE*& buffer, long& size, DWORD type);
    // Creates or truncates the named file; false with no message for a null name or a file
    // that cannot be opened, "Save: the file could not be written" when it cannot be closed.
    bool Save(const char* fileName, DWORD type);
    // Multi-page: count images as a GIF animation with one global colour table (see
    // GwImageGIF::Encode); any other type is refused ("Multipage Encode, Unsupported operation
    // for this format").
    bool Encode(GwFile* file, GwImage** images, int count, DWORD type);
    bool Encode(FILE* fp, GwImage** images, int count, DWORD type);
    // Encode2RGBA: the raw dump, no header: four bytes a pixel (red, green, blue, then the
    // alpha plane's byte, or the palette entry's reserved byte, else 0), bottom row first.
    // Failures: "null file handler", "null image!!!", "Encode2RGBA: can't allocate memory",
    // "Encode2RGBA: Write Error"; the memory form also "the buffer must be empty" and the
    // decode budget's message (the dump is held to it like a read).
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

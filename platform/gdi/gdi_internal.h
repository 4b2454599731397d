// The records behind GDI handles, the handle table with its lock, and the pixel views through
// which every drawing operation reads and writes bitmaps of any depth. Used only inside
// platform/gdi and by the platform tests.
#pragma once

#include "platform/gdi/gdi.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace gw {
namespace gdi {

enum class Kind : uint8_t { DC, Bitmap, Brush, Pen, Font, Palette, Region, Icon };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
    int selectCount = 0;         // contexts holding this object
    bool deletePending = false;  // DeleteObject while selected: freed at the last deselection
};

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    LONG width = 0;
    LONG height = 0;
    WORD bpp = 0;
    bool dibSection = false;
    bool topDown = true;  // row 0 in memory is the top row
    size_t stride = 0;
    size_t byteCount = 0;
    std::unique_ptr<uint8_t, FreeDeleter> bits;
    bool bitfields = false;
    DWORD masks[3] = {0, 0, 0};  // red, green, blue for 16 and 32 bpp
    std::vector<RGBQUAD> colors;  // colour table for 1, 4 and 8 bpp
    BITMAPINFOHEADER header{};    // as a DIB section reports it
    struct DC* owner = nullptr;   // memory context it is selected into
    bool surface = false;         // a window's pixels: the window manager owns and frees it
};

struct Brush : Object {
    Brush() : Object(Kind::Brush) {}
    UINT style = BS_SOLID;
    COLORREF color = 0;
};

struct Pen : Object {
    Pen() : Object(Kind::Pen) {}
    UINT style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Font : Object {
    Font() : Object(Kind::Font) {}
    LOGFONTA logFont{};
};

struct Palette : Object {
    Palette() : Object(Kind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

struct Region : Object {
    Region() : Object(Kind::Region) {}
    std::vector<RECT> rects;  // disjoint, banded: sorted by top, then left
};

struct Icon : Object {
    Icon() : Object(Kind::Icon) {}
    BOOL isIcon = TRUE;
    DWORD hotX = 0;
    DWORD hotY = 0;
    std::unique_ptr<Bitmap> mask;
    std::unique_ptr<Bitmap> color;
};

struct DC : Object {
    DC() : Object(Kind::DC) {}
    bool memory = true;
    Bitmap* bitmap = nullptr;
    Brush* brush = nullptr;
    Pen* pen = nullptr;
    Font* font = nullptr;
    Palette* palette = nullptr;
    bool hasClip = false;
    std::vector<RECT> clip;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
};

// ---- Handle table and lock ----
// Every public entry point holds the lock for its whole duration, so objects cannot vanish
// under a caller on another thread.
std::recursive_mutex& Lock();
using Guard = std::lock_guard<std::recursive_mutex>;

void Register(Object* object);
// Removes from the table and frees.
void Destroy(Object* object);
Object* Find(const void* handle);
template <class T>
T* FindAs(const void* handle, Kind kind) {
    Object* o = Find(handle);
    return (o && o->kind == kind) ? static_cast<T*>(o) : nullptr;
}
inline DC* FindDC(HDC h) { return FindAs<DC>(h, Kind::DC); }
inline Bitmap* FindBitmap(const void* h) { return FindAs<Bitmap>(h, Kind::Bitmap); }
// Drops one selection of an object and frees it if its deletion was pending.
void Deselect(Object* object);
size_t LiveObjectCount();

// Stock objects, made once.
Object* Stock(int index);
Bitmap* StockMonoBitmap();
Bitmap* ScreenBitmap();

// ---- Display contexts and window surfaces (for the window manager) ----
// A 32-bit surface for a window's pixels (zero-filled); null when the size is refused. Programs
// can neither delete it nor select it into a memory context.
HBITMAP NewSurface(LONG width, LONG height);
// Frees a surface now, or when the last display context on it is freed.
void DeleteSurface(HBITMAP surface);
// The screen's surface (never freed).
HBITMAP ScreenSurface();
// A display context painting into a surface (or the screen); it keeps the surface alive.
HDC NewDisplayContext(HBITMAP surface);
// False for a handle that is not a live display context.
bool FreeDisplayContext(HDC dc);

// ---- Bitmap construction ----
// Allocates zero-filled pixel memory; null when the size is refused or memory is short.
std::unique_ptr<Bitmap> NewBitmap(LONG width, LONG height, WORD bpp, bool dibSection, bool topDown);
std::unique_ptr<Bitmap> CloneBitmap(const Bitmap& source);
bool RowBytes(LONG width, WORD bpp, unsigned alignBytes, size_t* out);

// ---- DIB descriptions supplied by callers ----
struct DibFormat {
    LONG width = 0;
    LONG height = 0;  // positive
    bool topDown = false;
    WORD bpp = 0;
    DWORD compression = BI_RGB;
    bool bitfields = false;
    DWORD masks[3] = {0, 0, 0};
    std::vector<RGBQUAD> colors;
    size_t stride = 0;
    size_t imageBytes = 0;
};
// Parses a BITMAPINFO (or core header) with its colour table; DIB_PAL_COLORS tables are
// resolved through the context's palette. False for anything unsupported or malformed.
// readColors false leaves the colour table out (for headers the caller wants filled in).
// Run-length compressed DIBs are not supported.
bool ParseDib(const BITMAPINFO* info, UINT usage, DC* dc, DibFormat* out, bool readColors = true);
size_t ColorTableEntries(const BITMAPINFOHEADER& h);

// ---- Pixel views ----
// A window onto pixel rows of any supported depth, addressed top-down. "Work" values are
// 0x00RRGGBB for 16 bpp and deeper, palette indices for 8 bpp and shallower.
struct PixelView {
    int width = 0;
    int height = 0;
    int bpp = 0;
    uint8_t* top = nullptr;  // the top row
    ptrdiff_t step = 0;      // bytes from one row to the row below
    bool bitfields = false;
    DWORD masks[3] = {0, 0, 0};
    const RGBQUAD* colors = nullptr;
    int colorCount = 0;
    bool monoDevice = false;  // a monochrome device bitmap: text/background colour rules apply
    // Memo for nearest-colour searches.
    mutable uint32_t memoColor = 0xFFFFFFFFu;
    mutable uint32_t memoIndex = 0;

    bool indexed() const { return bpp <= 8; }
    uint8_t* row(int y) const { return top + y * step; }
    uint32_t raw(int x, int y) const;
    void setRaw(int x, int y, uint32_t value) const;
    // work value <-> 0x00RRGGBB
    uint32_t toRgb(uint32_t work) const;
    uint32_t fromRgb(uint32_t rgb) const;
    uint32_t work(int x, int y) const;
    void setWork(int x, int y, uint32_t value) const;
    uint32_t rgb(int x, int y) const { return toRgb(work(x, y)); }
    uint32_t workMask() const { return indexed() ? ((1u << bpp) - 1) : 0x00FFFFFFu; }
};
PixelView ViewOf(const Bitmap& bitmap);
PixelView ViewOf(const DibFormat& format, const void* bits);

inline uint32_t RgbFromColorref(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ColorrefFromRgb(uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}
uint32_t NearestIndex(const RGBQUAD* colors, int count, uint32_t rgb);

// ---- Clipping ----
// The rectangles a context may paint: its clip region cut to the bitmap's bounds.
std::vector<RECT> VisibleRects(const DC& dc);
bool Intersect(const RECT& a, const RECT& b, RECT* out);
// Region algebra over rectangle lists; results are disjoint and banded.
std::vector<RECT> CombineRects(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode);
int RegionType(const std::vector<RECT>& rects);
RECT BoundingBox(const std::vector<RECT>& rects);

// ---- Raster operations ----
// Applies the ternary operation (its index byte) to 32 bits of pattern, source and destination.
uint32_t ApplyRop3(uint8_t index, uint32_t p, uint32_t s, uint32_t d);
inline uint8_t RopIndex(DWORD rop) { return static_cast<uint8_t>((rop >> 16) & 0xFF); }
inline bool RopUsesSource(uint8_t i) { return ((i >> 2) & 0x33) != (i & 0x33); }
inline bool RopUsesPattern(uint8_t i) { return ((i >> 4) & 0x0F) != (i & 0x0F); }
inline bool RopUsesDestination(uint8_t i) { return ((i >> 1) & 0x55) != (i & 0x55); }

// The source of a transfer: its pixels, and the colour that becomes white when it is copied
// into a monochrome bitmap (its context's background colour).
struct BlitSource {
    PixelView view;
    COLORREF bkColor = RGB(255, 255, 255);
};
// Transfers (sx, sy, sw, sh) of the source (top-down view coordinates) to (x, y, w, h) of the
// context, with mirroring for negative extents, the context's stretch mode and clip, and the
// ternary raster operation. False for a missing source or a zero source extent.
bool RunTransfer(DC& dc, long long x, long long y, long long w, long long h, const BlitSource* source,
                 long long sx, long long sy, long long sw, long long sh, DWORD rop);

// A brush colour as the destination's work value.
uint32_t BrushWork(const DC& dc, const PixelView& view);

}  // namespace gdi
}  // namespace gw

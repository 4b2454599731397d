// Device contexts and the object bookkeeping around them: display and memory contexts,
// selecting and deleting objects, describing them (GetObject) and the per-context colours
// and modes.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>
#include <cstring>

using namespace gw::gdi;

namespace {

DC* NewContext(bool memory, Bitmap* surface) {
    auto* dc = new DC;
    dc->memory = memory;
    dc->bitmap = surface;
    dc->brush = static_cast<Brush*>(Stock(WHITE_BRUSH));
    dc->pen = static_cast<Pen*>(Stock(BLACK_PEN));
    dc->font = static_cast<Font*>(Stock(SYSTEM_FONT));
    dc->palette = static_cast<Palette*>(Stock(DEFAULT_PALETTE));
    Register(dc);
    return dc;
}

void ReleaseContext(DC* dc) {
    if (dc->bitmap && dc->bitmap->owner == dc) dc->bitmap->owner = nullptr;
    Deselect(dc->bitmap);
    Deselect(dc->brush);
    Deselect(dc->pen);
    Deselect(dc->font);
    Deselect(dc->palette);
    Destroy(dc);
}

// Takes `incoming` into a selection slot and lets go of the previous occupant, which may be
// freed if its deletion was pending; the old handle value is returned either way, as Win32 does.
template <class T>
HGDIOBJ Swap(T*& slot, T* incoming) {
    T* old = slot;
    if (!incoming->stock) ++incoming->selectCount;
    slot = incoming;
    HGDIOBJ oldHandle = static_cast<Object*>(old);
    Deselect(old);
    return oldHandle;
}

}  // namespace

namespace gw {
namespace gdi {

HBITMAP NewSurface(LONG width, LONG height) {
    Guard guard(Lock());
    std::unique_ptr<Bitmap> b = NewBitmap(width, height, 32, false, true);
    if (!b) return nullptr;
    b->surface = true;
    Bitmap* surface = b.release();
    Register(surface);
    return reinterpret_cast<HBITMAP>(static_cast<Object*>(surface));
}

void DeleteSurface(HBITMAP handle) {
    Guard guard(Lock());
    Bitmap* b = FindBitmap(handle);
    if (!b || !b->surface) return;
    if (b->selectCount > 0) b->deletePending = true;
    else Destroy(b);
}

HBITMAP ScreenSurface() { return reinterpret_cast<HBITMAP>(static_cast<Object*>(ScreenBitmap())); }

HDC NewDisplayContext(HBITMAP handle) {
    Guard guard(Lock());
    Bitmap* b = FindBitmap(handle);
    if (!b || (!b->surface && !b->stock) || b->deletePending) return nullptr;
    if (!b->stock) ++b->selectCount;
    return reinterpret_cast<HDC>(static_cast<Object*>(NewContext(false, b)));
}

bool FreeDisplayContext(HDC handle) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || dc->memory) return false;
    ReleaseContext(dc);
    return true;
}

}  // namespace gdi
}  // namespace gw

HDC CreateCompatibleDC(HDC reference) {
    Guard guard(Lock());
    if (reference && !FindDC(reference)) return nullptr;
    Bitmap* mono = StockMonoBitmap();
    if (!mono) return nullptr;
    return reinterpret_cast<HDC>(static_cast<Object*>(NewContext(true, mono)));
}

BOOL DeleteDC(HDC handle) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !dc->memory) return FALSE;
    ReleaseContext(dc);
    return TRUE;
}

int GetDeviceCaps(HDC handle, int index) {
    Guard guard(Lock());
    if (!FindDC(handle)) return 0;
    switch (index) {
        case HORZRES: return kGdiScreenWidth;
        case VERTRES: return kGdiScreenHeight;
        case BITSPIXEL: return 32;
        case PLANES: return 1;
        case NUMCOLORS: return -1;
        case RASTERCAPS: return 0;  // a true-colour device: no RC_PALETTE
        case LOGPIXELSX:
        case LOGPIXELSY: return kGdiScreenDpi;
        case SIZEPALETTE: return 0;
        default: return 0;
    }
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    Object* o = Find(object);
    if (!dc || !o) return nullptr;
    switch (o->kind) {
        case Kind::Bitmap: {
            auto* b = static_cast<Bitmap*>(o);
            if (!dc->memory) return nullptr;
            if (b == dc->bitmap) return b;
            if (!b->stock && (b->owner || b->surface)) return nullptr;  // selected elsewhere, or a window's
            Bitmap* old = dc->bitmap;
            if (old && !old->stock) old->owner = nullptr;
            if (!b->stock) b->owner = dc;
            return Swap(dc->bitmap, b);
        }
        case Kind::Brush: return Swap(dc->brush, static_cast<Brush*>(o));
        case Kind::Pen: return Swap(dc->pen, static_cast<Pen*>(o));
        case Kind::Font: return Swap(dc->font, static_cast<Font*>(o));
        case Kind::Region: {
            int type = SelectClipRgn(handle, static_cast<HRGN>(object));
            return type == ERROR ? nullptr : reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(type));
        }
        default: return nullptr;  // palettes go through SelectPalette
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    Guard guard(Lock());
    Object* o = Find(object);
    if (!o || o->kind == Kind::DC || o->kind == Kind::Icon) return FALSE;
    if (o->stock) return TRUE;
    if (o->kind == Kind::Bitmap) {
        if (static_cast<Bitmap*>(o)->owner || static_cast<Bitmap*>(o)->surface) return FALSE;
        Destroy(o);
        return TRUE;
    }
    if (o->selectCount > 0) {
        o->deletePending = true;
        return TRUE;
    }
    Destroy(o);
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ object) {
    Guard guard(Lock());
    Object* o = Find(object);
    if (!o) return 0;
    switch (o->kind) {
        case Kind::DC: return static_cast<DC*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
        case Kind::Bitmap: return OBJ_BITMAP;
        case Kind::Brush: return OBJ_BRUSH;
        case Kind::Pen: return OBJ_PEN;
        case Kind::Font: return OBJ_FONT;
        case Kind::Palette: return OBJ_PAL;
        case Kind::Region: return OBJ_REGION;
        default: return 0;
    }
}

int GetObject(HANDLE object, int size, LPVOID buffer) {
    Guard guard(Lock());
    Object* o = Find(object);
    if (!o || size < 0) return 0;
    switch (o->kind) {
        case Kind::Bitmap: {
            auto* b = static_cast<Bitmap*>(o);
            BITMAP bm{};
            bm.bmType = 0;
            bm.bmWidth = b->width;
            bm.bmHeight = b->height;
            bm.bmWidthBytes = static_cast<LONG>(b->stride);
            bm.bmPlanes = 1;
            bm.bmBitsPixel = b->bpp;
            bm.bmBits = b->dibSection ? b->bits.get() : nullptr;
            if (!buffer) return b->dibSection ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
            if (b->dibSection && size >= static_cast<int>(sizeof(DIBSECTION))) {
                DIBSECTION ds{};
                ds.dsBm = bm;
                ds.dsBmih = b->header;
                // Windows reports a section's height as positive whatever its row order.
                if (ds.dsBmih.biHeight < 0) ds.dsBmih.biHeight = -ds.dsBmih.biHeight;
                if (b->bpp == 16 || b->bpp == 32) std::memcpy(ds.dsBitfields, b->masks, sizeof ds.dsBitfields);
                std::memcpy(buffer, &ds, sizeof ds);
                return sizeof ds;
            }
            if (size < static_cast<int>(sizeof(BITMAP))) return 0;
            std::memcpy(buffer, &bm, sizeof bm);
            return sizeof bm;
        }
        case Kind::Brush: {
            auto* b = static_cast<Brush*>(o);
            LOGBRUSH lb{b->style, b->color, 0};
            if (!buffer) return sizeof lb;
            if (size < static_cast<int>(sizeof lb)) return 0;
            std::memcpy(buffer, &lb, sizeof lb);
            return sizeof lb;
        }
        case Kind::Pen: {
            auto* p = static_cast<Pen*>(o);
            LOGPEN lp{p->style, POINT{p->width, 0}, p->color};
            if (!buffer) return sizeof lp;
            if (size < static_cast<int>(sizeof lp)) return 0;
            std::memcpy(buffer, &lp, sizeof lp);
            return sizeof lp;
        }
        case Kind::Font: {
            auto* f = static_cast<Font*>(o);
            if (!buffer) return sizeof(LOGFONTA);
            int n = std::min(size, static_cast<int>(sizeof(LOGFONTA)));
            std::memcpy(buffer, &f->logFont, static_cast<size_t>(n));
            return n;
        }
        case Kind::Palette: {
            auto* p = static_cast<Palette*>(o);
            WORD count = static_cast<WORD>(p->entries.size());
            if (!buffer) return sizeof count;
            if (size < static_cast<int>(sizeof count)) return 0;
            std::memcpy(buffer, &count, sizeof count);
            return sizeof count;
        }
        default: return 0;
    }
}

COLORREF SetBkColor(HDC handle, COLORREF color) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->bkColor;
    dc->bkColor = color & 0x00FFFFFFu;
    return old;
}

COLORREF SetTextColor(HDC handle, COLORREF color) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->textColor;
    dc->textColor = color & 0x00FFFFFFu;
    return old;
}

int SetBkMode(HDC handle, int mode) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

int SetStretchBltMode(HDC handle, int mode) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
    int old = dc->stretchMode;
    dc->stretchMode = mode;
    return old;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* b = new Brush;
    b->color = color & 0x00FFFFFFu;
    Register(b);
    return reinterpret_cast<HBRUSH>(static_cast<Object*>(b));
}

COLORREF GetSysColor(int index) {
    // The classic scheme's colours, indexed by COLOR_SCROLLBAR (0) .. COLOR_MENUBAR (30).
    static const COLORREF colors[31] = {
        RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
        RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
        RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
        RGB(171, 171, 171), RGB(51, 153, 255),  RGB(255, 255, 255), RGB(240, 240, 240),
        RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
        RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
        RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
        RGB(215, 228, 242), RGB(51, 153, 255),  RGB(240, 240, 240)};
    if (index < 0 || index >= 31) return 0;
    return colors[index];
}

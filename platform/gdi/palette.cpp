// Logical palettes: creating them, selecting them into contexts (where they give shallow
// GetDIBits reads their colour tables).
#include "platform/gdi/gdi_internal.h"

using namespace gw::gdi;

namespace {

constexpr UINT kMaxPaletteEntries = 1024;

Palette* FindPalette(HPALETTE h) { return FindAs<Palette>(h, Kind::Palette); }

}  // namespace

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0 ||
        palette->palNumEntries > kMaxPaletteEntries) {
        return nullptr;
    }
    auto* p = new Palette;
    p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    Register(p);
    return reinterpret_cast<HPALETTE>(static_cast<Object*>(p));
}

HPALETTE SelectPalette(HDC handle, HPALETTE palette, BOOL) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    Palette* p = FindPalette(palette);
    if (!dc || !p) return nullptr;
    Palette* old = dc->palette;
    if (!p->stock) ++p->selectCount;
    dc->palette = p;
    HPALETTE oldHandle = reinterpret_cast<HPALETTE>(static_cast<Object*>(old));
    Deselect(old);
    return oldHandle;
}

UINT RealizePalette(HDC handle) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc) return GDI_ERROR;
    // A true-colour device maps every entry straight to its colour.
    return dc->palette ? static_cast<UINT>(dc->palette->entries.size()) : 0;
}

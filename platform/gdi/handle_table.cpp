// The table of live GDI objects: a handle is the object's address, but it is only ever used
// after the table confirms that address belongs to a live object of the expected kind, so a
// stale or foreign handle is refused instead of dereferenced. Also the stock objects.
#include "platform/gdi/gdi_internal.h"

#include <cstring>
#include <unordered_set>

namespace gw {
namespace gdi {
namespace {

std::unordered_set<const void*>& Table() {
    static std::unordered_set<const void*> table;
    return table;
}

Brush* MakeBrush(UINT style, COLORREF color) {
    auto* b = new Brush;
    b->style = style;
    b->color = color;
    return b;
}

Pen* MakePen(UINT style, COLORREF color) {
    auto* p = new Pen;
    p->style = style;
    p->color = color;
    return p;
}

Font* MakeFont(LONG height, const char* face, bool fixedPitch) {
    auto* f = new Font;
    f->logFont.lfHeight = height;
    f->logFont.lfWeight = FW_NORMAL;
    f->logFont.lfCharSet = DEFAULT_CHARSET;
    f->logFont.lfPitchAndFamily = fixedPitch ? 1 : 0;
    std::strncpy(f->logFont.lfFaceName, face, LF_FACESIZE - 1);
    return f;
}

// The twenty static colours of the default palette.
Palette* MakeDefaultPalette() {
    static const BYTE rgb[20][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    auto* p = new Palette;
    for (const auto& c : rgb) p->entries.push_back(PALETTEENTRY{c[0], c[1], c[2], 0});
    return p;
}

Object* MakeStock(int index) {
    switch (index) {
        case WHITE_BRUSH: return MakeBrush(BS_SOLID, RGB(255, 255, 255));
        case LTGRAY_BRUSH: return MakeBrush(BS_SOLID, RGB(192, 192, 192));
        case GRAY_BRUSH: return MakeBrush(BS_SOLID, RGB(128, 128, 128));
        case DKGRAY_BRUSH: return MakeBrush(BS_SOLID, RGB(64, 64, 64));
        case BLACK_BRUSH: return MakeBrush(BS_SOLID, RGB(0, 0, 0));
        case NULL_BRUSH: return MakeBrush(BS_NULL, 0);
        case WHITE_PEN: return MakePen(PS_SOLID, RGB(255, 255, 255));
        case BLACK_PEN: return MakePen(PS_SOLID, RGB(0, 0, 0));
        case NULL_PEN: return MakePen(PS_NULL, 0);
        case OEM_FIXED_FONT:
        case ANSI_FIXED_FONT:
        case SYSTEM_FIXED_FONT: return MakeFont(16, "Courier New", true);
        case ANSI_VAR_FONT: return MakeFont(13, "MS Sans Serif", false);
        case SYSTEM_FONT:
        case DEVICE_DEFAULT_FONT: return MakeFont(16, "System", false);
        case DEFAULT_GUI_FONT: return MakeFont(-11, "MS Shell Dlg", false);
        case DEFAULT_PALETTE: return MakeDefaultPalette();
        default: return nullptr;
    }
}

}  // namespace

std::recursive_mutex& Lock() {
    static std::recursive_mutex mutex;
    return mutex;
}

void Register(Object* object) {
    Guard guard(Lock());
    Table().insert(object);
}

void Destroy(Object* object) {
    Guard guard(Lock());
    Table().erase(object);
    delete object;
}

Object* Find(const void* handle) {
    if (!handle) return nullptr;
    Guard guard(Lock());
    auto& table = Table();
    auto it = table.find(handle);
    if (it == table.end()) return nullptr;
    return const_cast<Object*>(static_cast<const Object*>(*it));
}

void Deselect(Object* object) {
    if (!object || object->stock) return;
    if (object->selectCount > 0) --object->selectCount;
    if (object->selectCount == 0 && object->deletePending) Destroy(object);
}

size_t LiveObjectCount() {
    Guard guard(Lock());
    return Table().size();
}

Object* Stock(int index) {
    Guard guard(Lock());
    static Object* stock[DEFAULT_GUI_FONT + 1] = {};
    if (index < 0 || index > DEFAULT_GUI_FONT) return nullptr;
    if (!stock[index]) {
        Object* o = MakeStock(index);
        if (!o) return nullptr;
        o->stock = true;
        Register(o);
        stock[index] = o;
    }
    return stock[index];
}

Bitmap* StockMonoBitmap() {
    Guard guard(Lock());
    static Bitmap* mono = nullptr;
    if (!mono) {
        mono = NewBitmap(1, 1, 1, false, true).release();
        mono->stock = true;
        Register(mono);
    }
    return mono;
}

Bitmap* ScreenBitmap() {
    Guard guard(Lock());
    static Bitmap* screen = nullptr;
    if (!screen) {
        screen = NewBitmap(kGdiScreenWidth, kGdiScreenHeight, 32, false, true).release();
        if (!screen) return nullptr;
        screen->stock = true;
        Register(screen);
    }
    return screen;
}

}  // namespace gdi
}  // namespace gw

HGDIOBJ GetStockObject(int index) {
    return gw::gdi::Stock(index);
}

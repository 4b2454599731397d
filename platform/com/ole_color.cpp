#include "platform/com/variant.h"
#include "platform/gdi/gdi.h"

HRESULT OleTranslateColor(OLE_COLOR color, HPALETTE, COLORREF* result) {
    const DWORD kind = color >> 24;
    // Plain colours, and palette colours (PALETTEINDEX 0x01, PALETTERGB 0x02) that only a
    // palette device would take further, are their own COLORREF.
    COLORREF translated = color;
    switch (kind) {
        case 0x00:
        case 0x01:
        case 0x02: break;
        case 0x80: {
            const DWORD index = color & 0x00FFFFFFu;
            // COLOR_MENUBAR (30) is the last system colour.
            if (index > 30) return E_INVALIDARG;
            translated = GetSysColor(static_cast<int>(index));
            break;
        }
        default: return E_INVALIDARG;
    }
    if (result) *result = translated;
    return S_OK;
}

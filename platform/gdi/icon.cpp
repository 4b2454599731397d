// Icons and cursors: a mask bitmap and an optional colour bitmap, each owned by the icon as a
// private copy. GetIconInfo hands out new copies, which the caller deletes.
#include "platform/gdi/gdi_internal.h"

using namespace gw::gdi;

namespace {

constexpr long long kIconSize = 32;  // the system's icon width and height (SM_CXICON, SM_CYICON)

Icon* FindIcon(HICON h) { return FindAs<Icon>(h, Kind::Icon); }

HBITMAP PublishCopy(const Bitmap& b) {
    auto copy = CloneBitmap(b);
    if (!copy) return nullptr;
    Bitmap* raw = copy.release();
    Register(raw);
    return reinterpret_cast<HBITMAP>(static_cast<Object*>(raw));
}

}  // namespace

HICON CreateIconIndirect(PICONINFO info) {
    Guard guard(Lock());
    if (!info) return nullptr;
    Bitmap* mask = FindBitmap(info->hbmMask);
    Bitmap* color = info->hbmColor ? FindBitmap(info->hbmColor) : nullptr;
    if (!mask || (info->hbmColor && !color)) return nullptr;
    // Without a colour bitmap the mask holds the AND mask above the XOR mask.
    if (!color && mask->height < 2) return nullptr;
    auto icon = std::make_unique<Icon>();
    icon->isIcon = info->fIcon ? TRUE : FALSE;
    icon->mask = CloneBitmap(*mask);
    if (!icon->mask) return nullptr;
    if (color) {
        icon->color = CloneBitmap(*color);
        if (!icon->color) return nullptr;
    }
    LONG width = color ? color->width : mask->width;
    LONG height = color ? color->height : mask->height / 2;
    if (icon->isIcon) {
        icon->hotX = static_cast<DWORD>(width / 2);
        icon->hotY = static_cast<DWORD>(height / 2);
    } else {
        icon->hotX = info->xHotspot;
        icon->hotY = info->yHotspot;
    }
    Icon* raw = icon.release();
    Register(raw);
    return reinterpret_cast<HICON>(static_cast<Object*>(raw));
}

BOOL GetIconInfo(HICON handle, PICONINFO info) {
    Guard guard(Lock());
    Icon* icon = FindIcon(handle);
    if (!icon || !info) return FALSE;
    HBITMAP mask = PublishCopy(*icon->mask);
    if (!mask) return FALSE;
    HBITMAP color = nullptr;
    if (icon->color) {
        color = PublishCopy(*icon->color);
        if (!color) {
            DeleteObject(mask);
            return FALSE;
        }
    }
    info->fIcon = icon->isIcon;
    info->xHotspot = icon->hotX;
    info->yHotspot = icon->hotY;
    info->hbmMask = mask;
    info->hbmColor = color;
    return TRUE;
}

BOOL DestroyIcon(HICON handle) {
    Guard guard(Lock());
    Icon* icon = FindIcon(handle);
    if (!icon) return FALSE;
    Destroy(icon);
    return TRUE;
}

BOOL DrawIcon(HDC handle, int x, int y, HICON iconHandle) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    Icon* icon = FindIcon(iconHandle);
    if (!dc || !icon) return FALSE;
    // The screen is ANDed with the mask and XORed with the image; a monochrome mask converts
    // through black text on a white background, whatever the context's colours are.
    const COLORREF text = dc->textColor, bk = dc->bkColor;
    dc->textColor = RGB(0, 0, 0);
    dc->bkColor = RGB(255, 255, 255);
    BlitSource mask{ViewOf(*icon->mask), RGB(255, 255, 255)};
    // DrawIcon draws at the system's icon size, whatever size the icon was made at.
    const long long w = icon->color ? icon->color->width : icon->mask->width;
    const long long h = icon->color ? icon->color->height : icon->mask->height / 2;
    RunTransfer(*dc, x, y, kIconSize, kIconSize, &mask, 0, 0, w, h, SRCAND);
    if (icon->color) {
        BlitSource color{ViewOf(*icon->color), RGB(255, 255, 255)};
        RunTransfer(*dc, x, y, kIconSize, kIconSize, &color, 0, 0, w, h, SRCINVERT);
    } else {
        RunTransfer(*dc, x, y, kIconSize, kIconSize, &mask, 0, h, w, h, SRCINVERT);
    }
    dc->textColor = text;
    dc->bkColor = bk;
    return TRUE;
}

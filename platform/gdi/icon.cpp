// Icons and cursors: a mask bitmap and an optional colour bitmap, each owned by the icon as a
// private copy. GetIconInfo hands out new copies, which the caller deletes.
#include "platform/gdi/gdi_internal.h"

using namespace gw::gdi;

namespace {

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

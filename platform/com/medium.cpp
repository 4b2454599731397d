// Letting go of a data medium: the handle its tymed names, or the object that owns it.
#include "platform/com/interfaces.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"

void ReleaseStgMedium(STGMEDIUM* medium) {
    if (!medium) return;
    if (medium->pUnkForRelease) {
        medium->pUnkForRelease->Release();
    } else {
        switch (medium->tymed) {
            case TYMED_HGLOBAL:
                if (medium->hGlobal) GlobalFree(medium->hGlobal);
                break;
            case TYMED_GDI:
                if (medium->hBitmap) DeleteObject(medium->hBitmap);
                break;
            case TYMED_ISTREAM:
                if (medium->pstm) medium->pstm->Release();
                break;
            default: break;
        }
    }
    medium->tymed = TYMED_NULL;
    medium->hGlobal = nullptr;
    medium->pUnkForRelease = nullptr;
}

// Packed device-independent bitmaps from other programs arrive in global memory blocks that
// may lie about everything. The input bytes become such a block; an import must either fail
// cleanly or give an image that survives its own export and re-import unchanged.
#include <cstdint>
#include <cstring>

#include "image/gw_image.h"
#include "platform/win32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block && size) {
        void* p = GlobalLock(block);
        if (!p) {
            GlobalFree(block);
            return 0;
        }
        std::memcpy(p, data, size);
        GlobalUnlock(block);
    }
    GwImage image;
    const bool ok = image.CreateFromHANDLE(block);
    if (block) GlobalFree(block);
    if (!ok) {
        if (image.GetLastError()[0] == '\0' && image.IsValid()) __builtin_trap();
        return 0;
    }
    if (!image.IsValid()) __builtin_trap();

    HANDLE copy = image.CopyToHandle();
    if (!copy) return 0;  // too large to export: allowed
    GwImage again;
    if (!again.CreateFromHANDLE(copy)) __builtin_trap();
    GlobalFree(copy);
    if (again.GetSize() != image.GetSize() ||
        std::memcmp(again.GetDIB(), image.GetDIB(), image.GetSize()) != 0)
        __builtin_trap();
    return 0;
}

// Packed device-independent bitmaps in global memory (the clipboard's CF_DIB form): the image
// exported as one block (header, palette, rows), and blocks written by other programs read
// back: uncompressed rows, run-length coded 8- and 4-bit rows, and 16- and 32-bit rows with
// colour masks. A block is never trusted: every offset and size it claims is checked against
// the handle's real size before a byte is read, and nothing is written outside the image.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/dib_reader.h"
#include "image/gw_exception.h"
#include "image/gw_image.h"
#include "platform/win32.h"

namespace {

// A run-length coded picture may expand this many times over its coded bytes before it is
// taken as a block that lies about its size; small pictures are always accepted. Genuine
// coders stay far below the ratio (a blank row costs at least the two bytes of its end code).
constexpr uint64_t kRleMaxExpansion = 4096;
constexpr uint64_t kRleAlwaysAllowedBytes = 1u << 20;

// Works out where everything in the block is, refusing any block whose header, masks, colour
// table or pixel rows do not lie inside its size.
gwdib::Layout ParseBlock(const BYTE* block, uint64_t size) {
    gwdib::Layout L;
    if (const char* why = gwdib::ParseHeader(block, size, &L)) throw GwException(why);
    if (L.width < 0) throw GwException("bitmap width or height not valid");
    if (L.maskBytes && size < L.headerSize + L.maskBytes) throw GwException("bit field masks do not fit in the block");
    if (const char* why = gwdib::ParseMasks(block, L.maskBytes ? block + L.headerSize : nullptr, &L))
        throw GwException(why);
    if (L.tableEntries > size || L.PixelOffset() > size) throw GwException("colour table does not fit in the block");
    if (L.width == 0 || L.height == 0) return L;  // Create refuses these with its own message

    const uint64_t available = size - L.PixelOffset();
    if (L.coding == gwdib::Coding::Rle8 || L.coding == gwdib::Coding::Rle4) {
        if (L.topDown) throw GwException("bitmap width or height not valid");
        const uint64_t area = L.DataBytes();
        if (area > kRleAlwaysAllowedBytes && area / kRleMaxExpansion > available)
            throw GwException("compressed data too short for the bitmap size");
    } else if (L.DataBytes() > available) {
        // Width and height are below 2^31, so this product cannot wrap in 64 bits.
        throw GwException("pixel data do not fit in the block");
    }
    return L;
}

}  // namespace

HANDLE GwImage::CopyToHandle() {
    if (!dib) return nullptr;
    const DWORD size = GetSize();
    HGLOBAL mem = GlobalAlloc(GHND, size);
    if (!mem) return nullptr;
    void* dst = GlobalLock(mem);
    if (!dst) {
        GlobalFree(mem);
        return nullptr;
    }
    std::memcpy(dst, dib, size);
    GlobalUnlock(mem);
    return mem;
}

bool GwImage::CreateFromHANDLE(HANDLE mem) {
    if (!Destroy()) return false;
    if (!mem) return false;
    const SIZE_T size = GlobalSize(mem);
    if (size == 0) return false;
    BYTE* block = static_cast<BYTE*>(GlobalLock(mem));
    if (!block) return false;

    bool ok = false;
    try {
        const gwdib::Layout L = ParseBlock(block, size);
        if (DecodeBudgetAllows(static_cast<uint64_t>(L.width), static_cast<uint64_t>(L.height))) {
            // Uncompressed blocks with a full header keep their palette entries byte for byte
            // (the reserved bytes may carry palette alpha); other blocks' are cleared.
            const bool keepReserved = !L.core && L.coding == gwdib::Coding::Raw;
            const uint64_t tableBytes = L.PixelOffset() - L.TableOffset();
            if (gwdib::Prepare(*this, L, block + L.TableOffset(), tableBytes, 0, keepReserved)) {
                SetXDPI(L.xPelsPerMeter ? static_cast<long>(L.xPelsPerMeter * 0.0254 + 0.5) : 96);
                SetYDPI(L.yPelsPerMeter ? static_cast<long>(L.yPelsPerMeter * 0.0254 + 0.5) : 96);
                gwdib::DecodePixels(*this, L, block + L.PixelOffset(), size - L.PixelOffset());
                gwdib::Finish(*this, L);
                // The block's own header may differ in fields the image keeps for itself
                // (image size, colours used, resolution); the image's copy describes its rows.
                std::memcpy(dib, &header, sizeof(header));
                ok = true;
            }
        }
    } catch (const GwException& e) {
        std::strncpy(info.lastError, e.what(), sizeof(info.lastError) - 1);
        info.lastError[sizeof(info.lastError) - 1] = '\0';
    }
    GlobalUnlock(mem);
    return ok;
}

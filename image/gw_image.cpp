// GwImage life cycle: construction, creation of the dib block, destruction, copying, moving
// and borrowing of buffers, and the information accessors.
#include "image/gw_image.h"

#include <atomic>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/pixel_rows.h"

namespace {

// Create refuses images whose bits exceed this many 256-bit units (about 8 GB of pixels).
const uint64_t kMaxMemoryUnits = 256000000ULL;

void SetError(ImageInfo& info, const char* text) {
    std::strncpy(info.lastError, text, sizeof(info.lastError) - 1);
    info.lastError[sizeof(info.lastError) - 1] = '\0';
}

std::atomic<uint64_t> g_maxDecodePixels{GwImage::kDefaultMaxDecodePixels};
const char kOverBudget[] = "exceeds the decode limit of";

LONG PixelsPerMeter(long dpi) {
    const double ppm = std::floor(static_cast<double>(dpi) * 39.37007874015748 + 0.5);
    return ppm > 2147483647.0 ? 2147483647 : static_cast<LONG>(ppm);
}

}  // namespace

// ---- decode budget --------------------------------------------------------------------

void GwImage::SetMaxDecodePixels(uint64_t pixels) {
    g_maxDecodePixels.store(pixels ? pixels : kDefaultMaxDecodePixels);
}

uint64_t GwImage::GetMaxDecodePixels() { return g_maxDecodePixels.load(); }

bool GwImage::DecodeBudgetAllows(uint64_t width, uint64_t height) {
    const uint64_t limit = GetMaxDecodePixels();
    // Both factors come from 32-bit header fields; a product that cannot be formed is over.
    const bool fits = width == 0 || height <= limit / width;
    if (fits) return true;
    std::snprintf(info.lastError, sizeof(info.lastError),
                  "picture of %" PRIu64 " x %" PRIu64 " pixels %s %" PRIu64 " pixels", width, height,
                  kOverBudget, limit);
    return false;
}

bool GwImage::IsOverBudgetMessage(const char* text) {
    return text && std::strncmp(text, "picture of ", 11) == 0 && std::strstr(text, kOverBudget);
}

// ---- construction -------------------------------------------------------------------

GwImage::GwImage(DWORD typeId) { Startup(typeId); }

GwImage::GwImage(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD typeId) {
    Startup(typeId);
    Create(width, height, bitsPerPixel, typeId);
}

GwImage::GwImage(const GwImage& src, bool withPixels, bool withSelection, bool withAlpha) {
    Startup(src.GetType());
    Copy(src, withPixels, withSelection, withAlpha);
}

GwImage::~GwImage() { Destroy(); }

GwImage& GwImage::operator=(const GwImage& src) {
    if (&src != this) Copy(src, true, true, true);
    return *this;
}

void GwImage::Startup(DWORD typeId) {
    dib = nullptr;
    selection = nullptr;
    alpha = nullptr;
    layers = nullptr;
    std::memset(&header, 0, sizeof(header));
    std::memset(&info, 0, sizeof(info));
    info.type = typeId;
    info.jpegQuality = 90;
    info.alphaMax = 255;
    info.transIndex = -1;
    info.paintEnabled = true;
    SetXDPI(96);
    SetYDPI(96);
}

// ---- creation and destruction ----------------------------------------------------------

void* GwImage::Create(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD typeId) {
    if (!Destroy()) return nullptr;

    if (width == 0 || height == 0) {
        SetError(info, "GwImage::Create : width and height must be greater than zero");
        return nullptr;
    }

    DWORD depth;
    if (bitsPerPixel <= 1)
        depth = 1;
    else if (bitsPerPixel <= 4)
        depth = 4;
    else if (bitsPerPixel <= 8)
        depth = 8;
    else
        depth = 24;

    // width * height fits in 64 bits; the product with the depth might not.
    const uint64_t area = static_cast<uint64_t>(width) * height;
    if (area > UINT64_MAX / depth || (area * depth) / 256 > kMaxMemoryUnits) {
        SetError(info, "GWIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }

    // The block's size, the header's signed width/height and the image size are 32-bit
    // quantities: an image that does not fit them would be allocated short.
    const DWORD colors = depth == 1 ? 2 : depth == 4 ? 16 : depth == 8 ? 256 : 0;
    const uint64_t rowBytes = gwpix::RowStride(width, depth);
    const uint64_t imageSize = rowBytes * height;
    const uint64_t blockSize = sizeof(BITMAPINFOHEADER) + colors * 4ULL + imageSize;
    if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu || blockSize > 0xFFFFFFFFULL) {
        SetError(info, "GwImage::Create : image too large");
        return nullptr;
    }

    info.type = typeId;
    info.rowBytes = static_cast<DWORD>(rowBytes);
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = static_cast<LONG>(width);
    header.biHeight = static_cast<LONG>(height);
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(depth);
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(imageSize);
    header.biClrUsed = colors;
    header.biClrImportant = 0;

    dib = std::malloc(GetSize());
    if (!dib) {
        SetError(info, "GwImage::Create can't allocate memory");
        return nullptr;
    }

    // A fresh, zeroed palette: any remembered nearest-index answer belongs to the old one.
    info.nearestValid = false;
    std::memset(static_cast<BYTE*>(dib) + sizeof(BITMAPINFOHEADER), 0, GetPaletteSize());
    SelectionDelete();
    AlphaDelete();
    std::memcpy(dib, &header, sizeof(header));
    info.pixels = GetBits(0);
    return dib;
}

bool GwImage::Destroy() {
    if (info.ghostOf) return false;
    if (layers) {
        for (LONG i = 0; i < info.layerCount; i++) delete layers[i];
        std::free(layers);
        layers = nullptr;
    }
    std::free(selection);
    selection = nullptr;
    std::free(alpha);
    alpha = nullptr;
    std::free(dib);
    dib = nullptr;
    // pixels pointed into the block just freed.
    info.pixels = nullptr;
    return true;
}

// ---- copying, moving and borrowing ---------------------------------------------------

void GwImage::Copy(const GwImage& src, bool withPixels, bool withSelection, bool withAlpha) {
    // A ghost cannot be re-created, and its information must keep describing the buffers it
    // borrows; copying an image onto itself changes nothing.
    if (&src == this || info.ghostOf) return;

    // Ownership and layer bookkeeping describe this object, not the picture: they stay.
    const LONG layerCount = info.layerCount;
    GwImage* const parent = info.parent;
    info = src.info;
    info.ghostOf = nullptr;
    info.parent = parent;
    info.layerCount = layerCount;
    info.pixels = nullptr;

    if (!Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType())) return;

    if (withPixels && src.dib && dib) {
        std::memcpy(dib, src.dib, GetSize());
        // Colours important lives in the header too; keep the record and the block agreeing.
        header.biClrImportant = src.header.biClrImportant;
        std::memcpy(dib, &header, sizeof(header));
    } else {
        SetPalette(src.GetPalette(), 256);
        SetClrImportant(src.GetClrImportant());
    }

    const size_t planeSize = static_cast<size_t>(GetWidth()) * GetHeight();
    if (withSelection && src.selection) {
        selection = static_cast<BYTE*>(std::malloc(planeSize));
        if (selection) {
            std::memcpy(selection, src.selection, planeSize);
            info.selectionBox = src.info.selectionBox;
        }
    }
    if (withAlpha && src.alpha) {
        alpha = static_cast<BYTE*>(std::malloc(planeSize));
        if (alpha) std::memcpy(alpha, src.alpha, planeSize);
    }
}

bool GwImage::Transfer(GwImage& from) {
    if (&from == this) return true;
    // A ghost of this image only borrows our own buffers: taking them "over" would free them.
    if (from.info.ghostOf == this) return false;
    if (!Destroy()) return false;

    header = from.header;
    info = from.info;
    dib = from.dib;
    selection = from.selection;
    alpha = from.alpha;
    layers = from.layers;

    std::memset(&from.header, 0, sizeof(from.header));
    std::memset(&from.info, 0, sizeof(from.info));
    from.dib = nullptr;
    from.selection = nullptr;
    from.alpha = nullptr;
    from.layers = nullptr;
    return true;
}

void GwImage::Ghost(GwImage* from) {
    if (!from || from == this) return;
    // Buffers this image owns would otherwise be lost when it starts borrowing.
    Destroy();
    header = from->header;
    info = from->info;
    dib = from->dib;
    selection = from->selection;
    alpha = from->alpha;
    layers = from->layers;
    info.ghostOf = from;
}

void GwImage::CopyInfo(const GwImage& src) {
    if (dib || &src == this) return;
    GwImage* const ghostOf = info.ghostOf;
    GwImage* const parent = info.parent;
    const LONG layerCount = info.layerCount;
    info = src.info;
    info.ghostOf = ghostOf;
    info.parent = parent;
    info.layerCount = layerCount;
    info.pixels = nullptr;
}

// ---- filling from caller rows ----------------------------------------------------------

namespace {

bool SupportedArrayDepth(DWORD bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32; }

}  // namespace

namespace {
// One caller row into the image: 32-bit rows split into blue-green-red pixels and the alpha
// plane (alphaRow set), other depths are copied as they are, at most copyBytes.
void CopyInputRow(const BYTE* src, BYTE* dst, BYTE* alphaRow, DWORD width, size_t copyBytes) {
    if (alphaRow) {
        for (DWORD x = 0; x < width; x++, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            alphaRow[x] = src[3];
        }
    } else {
        std::memcpy(dst, src, copyBytes);
    }
}
}  // namespace

bool GwImage::CreateFromArray(BYTE* array, DWORD width, DWORD height, DWORD bitsPerPixel,
                              DWORD bytesPerLine, bool flipRows) {
    if (!array || !SupportedArrayDepth(bitsPerPixel)) return false;
    if (!Create(width, height, bitsPerPixel, 0)) return false;
    if (bitsPerPixel < 24) SetGrayPalette();
    if (bitsPerPixel == 32 && !AlphaCreate()) return false;

    for (DWORD y = 0; y < height; y++) {
        const BYTE* src = array + static_cast<size_t>(y) * bytesPerLine;
        const DWORD row = flipRows ? height - 1 - y : y;
        BYTE* dst = GetBits(row);
        BYTE* alphaRow = bitsPerPixel == 32 ? alpha + static_cast<size_t>(row) * width : nullptr;
        CopyInputRow(src, dst, alphaRow, width, info.rowBytes < bytesPerLine ? info.rowBytes : bytesPerLine);
    }
    return true;
}

bool GwImage::CreateFromMatrix(BYTE** rows, DWORD width, DWORD height, DWORD bitsPerPixel,
                               DWORD bytesPerLine, bool flipRows) {
    if (!rows || !SupportedArrayDepth(bitsPerPixel)) return false;
    if (!Create(width, height, bitsPerPixel, 0)) return false;
    if (bitsPerPixel < 24) SetGrayPalette();
    if (bitsPerPixel == 32 && !AlphaCreate()) return false;

    for (DWORD y = 0; y < height; y++) {
        const BYTE* src = rows[y];
        if (!src) continue;
        const DWORD row = flipRows ? height - 1 - y : y;
        BYTE* dst = GetBits(row);
        BYTE* alphaRow = bitsPerPixel == 32 ? alpha + static_cast<size_t>(row) * width : nullptr;
        CopyInputRow(src, dst, alphaRow, width, info.rowBytes < bytesPerLine ? info.rowBytes : bytesPerLine);
    }
    return true;
}

void GwImage::Clear(BYTE value) {
    if (!dib) return;
    if (header.biBitCount == 1 && value) value = 255;
    if (header.biBitCount == 4) value = static_cast<BYTE>(17 * (value & 15));
    std::memset(info.pixels, value, header.biSizeImage);
}

// ---- information -------------------------------------------------------------------------

bool GwImage::IsValid() const { return dib != nullptr; }
void* GwImage::GetDIB() const { return dib; }
DWORD GwImage::GetWidth() const { return static_cast<DWORD>(header.biWidth); }
DWORD GwImage::GetHeight() const { return static_cast<DWORD>(header.biHeight); }
WORD GwImage::GetBpp() const { return header.biBitCount; }
DWORD GwImage::GetEffWidth() const { return info.rowBytes; }
DWORD GwImage::GetNumColors() const { return header.biClrUsed; }

DWORD GwImage::GetSize() const {
    return header.biSize + header.biClrUsed * 4 + header.biSizeImage;
}

BYTE* GwImage::GetBits(DWORD row) const {
    if (!dib) return nullptr;
    // The block always has the layout Create gave it (a 40-byte header, then the palette),
    // whatever header bytes were later copied into it.
    BYTE* first = static_cast<BYTE*>(dib) + sizeof(BITMAPINFOHEADER) + GetPaletteSize();
    if (row == 0) return first;
    if (row < GetHeight()) return first + static_cast<size_t>(row) * info.rowBytes;
    return nullptr;
}

bool GwImage::IsInside(long x, long y) const {
    return x >= 0 && y >= 0 && static_cast<int64_t>(x) < static_cast<int64_t>(GetWidth()) &&
           static_cast<int64_t>(y) < static_cast<int64_t>(GetHeight());
}

DWORD GwImage::GetType() const { return info.type; }
const char* GwImage::GetLastError() const { return info.lastError; }
const char* GwImage::GetVersion() { return "GwImage 1.0"; }
float GwImage::GetVersionNumber() { return 1.0f; }

long GwImage::GetXDPI() const { return info.dpiX; }
long GwImage::GetYDPI() const { return info.dpiY; }

void GwImage::SetXDPI(long dpi) {
    if (dpi <= 0) dpi = 96;
    if (dpi > 0x7FFFFFFF) dpi = 0x7FFFFFFF;
    info.dpiX = static_cast<LONG>(dpi);
    header.biXPelsPerMeter = PixelsPerMeter(dpi);
    if (dib) std::memcpy(dib, &header, sizeof(header));
}

void GwImage::SetYDPI(long dpi) {
    if (dpi <= 0) dpi = 96;
    if (dpi > 0x7FFFFFFF) dpi = 0x7FFFFFFF;
    info.dpiY = static_cast<LONG>(dpi);
    header.biYPelsPerMeter = PixelsPerMeter(dpi);
    if (dib) std::memcpy(dib, &header, sizeof(header));
}

long GwImage::GetTransIndex() const { return info.transIndex; }
void GwImage::SetTransIndex(long index) { info.transIndex = static_cast<LONG>(index); }

RGBQUAD GwImage::GetTransColor() const {
    if (header.biBitCount < 24 && info.transIndex != -1) {
        if (info.transIndex >= 0 && info.transIndex < 256)
            return GetPaletteColor(static_cast<BYTE>(info.transIndex));
        return RGBQUAD{0, 0, 0, 0};
    }
    return info.transColor;
}

void GwImage::SetTransColor(RGBQUAD color) {
    color.rgbReserved = 0;
    info.transColor = color;
}

bool GwImage::IsTransparent() const { return info.transIndex >= 0; }
bool GwImage::IsIndexed() const { return header.biClrUsed != 0; }

BYTE GwImage::GetColorType() const {
    if (alpha) return 4;
    return header.biBitCount > 8 ? 2 : 1;
}

DWORD GwImage::GetFlags() const { return info.flags; }
void GwImage::SetFlags(DWORD value, bool lockReserved) {
    info.flags = lockReserved ? (value & 0x0000FFFFu) : value;
}

DWORD GwImage::GetCodecOption(DWORD type) const {
    if (type == 0) type = info.type;
    return type < 4 ? info.codecOptions[type] : 0;
}

bool GwImage::SetCodecOption(DWORD value, DWORD type) {
    if (type == 0) type = info.type;
    if (type >= 4) return false;
    info.codecOptions[type] = value;
    return true;
}

DWORD GwImage::GetFrameDelay() const { return info.frameDelay; }
void GwImage::SetFrameDelay(DWORD delay) { info.frameDelay = delay; }
long GwImage::GetFrame() const { return info.frameIndex; }
void GwImage::SetFrame(long frame) { info.frameIndex = static_cast<LONG>(frame); }
long GwImage::GetNumFrames() const { return info.frameCount; }

void GwImage::GetOffset(long* x, long* y) const {
    if (x) *x = info.offsetX;
    if (y) *y = info.offsetY;
}

void GwImage::SetOffset(long x, long y) {
    info.offsetX = static_cast<LONG>(x);
    info.offsetY = static_cast<LONG>(y);
}

BYTE GwImage::GetJpegQuality() const { return info.jpegQuality; }
void GwImage::SetJpegQuality(BYTE quality) { info.jpegQuality = quality; }
BYTE GwImage::GetJpegScale() const { return info.jpegScale; }
void GwImage::SetJpegScale(BYTE scale) { info.jpegScale = scale; }
long GwImage::GetProgress() const { return info.progress; }
void GwImage::SetProgress(long progress) { info.progress = static_cast<LONG>(progress); }
long GwImage::GetEscape() const { return info.escape; }
void GwImage::SetEscape(long escape) { info.escape = static_cast<LONG>(escape); }
bool GwImage::IsEnabled() const { return info.paintEnabled; }
void GwImage::Enable(bool enable) { info.paintEnabled = enable; }

// Reading PNG into a GwImage: the libpng shim delivers the header and rows in the layout it
// was asked for; this side creates the image, copies palette, transparency and resolution,
// and stores each row bottom-up (interlaced files pass over each row several times, so later
// passes start from what the image already holds).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "image/gw_file.h"
#include "image/png/gw_png_codec.h"
#include "image/png/png_io.h"
#include "image/png/png_shim.h"
#include "image/pixel_rows.h"

namespace {
// No side of a PNG we read may exceed this (libpng's own default); together with the
// plausibility test below it keeps a small file from reserving huge images.
const uint32_t kMaxSide = 1000000;
const uint32_t kChunkCacheMax = 256;
const size_t kChunkMallocMax = 8u << 20;
// Deflate cannot expand data by more than about 1032:1.
const uint64_t kMaxInflation = 1032;
const uint64_t kSlackBytes = 1u << 20;
// Resolutions beyond this are not real and would overflow the pixels-per-metre fields.
const long kMaxDpi = 1000000;

const char kTooLittleData[] = "PNG file too short for its dimensions";
const char kBadLayout[] = "PNG row layout not supported";

// Copies at most 255 characters and always terminates.
void SetText(char (&dst)[256], const char* text) {
    size_t n = strnlen(text, sizeof dst - 1);
    std::memmove(dst, text, n);
    dst[n] = '\0';
}

long ClampDpi(double dpi) { return dpi > kMaxDpi ? kMaxDpi : static_cast<long>(dpi); }
}  // namespace

struct GwPngCodecAccess {
    GwPngCodec* image;
    GwFile* file;
    int passes;
    bool alpha;
    bool widen;      // 2-bit data stored as 4-bit pixels
    bool described;  // headers only: the facts are in the image, no pixel was read
    bool ended;      // the stream gave fewer bytes than libpng asked for
    uint64_t rowsStored;

    // Reads for libpng, noting a stream that ends early.
    static size_t ReadBytes(void* user, unsigned char* data, size_t length) {
        GwPngCodecAccess& c = *static_cast<GwPngCodecAccess*>(user);
        const size_t got = c.file->Read(data, 1, length);
        if (got < length) c.ended = true;
        return got;
    }

    // The resolution, in dots per inch: metres converted, a file without units taken as it
    // stands.
    static void ApplyResolution(GwPngCodec& im, const GwPngHeader& h) {
        if (!h.hasPhys) return;
        if (h.physUnit == 0) {
            im.SetXDPI(ClampDpi(h.physX));
            im.SetYDPI(ClampDpi(h.physY));
        } else if (h.physUnit == 1) {
            im.SetXDPI(ClampDpi(std::floor(h.physX * 0.0254 + 0.5)));
            im.SetYDPI(ClampDpi(std::floor(h.physY * 0.0254 + 0.5)));
        }
    }

    // What a full decode would report, from the header chunks alone (no pixel allocated).
    static void Describe(GwPngCodec& im, const GwPngHeader& h) {
        const int bits = h.withAlpha ? 24 : h.pixelDepth;
        const int depth = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;
        im.header.biWidth = static_cast<LONG>(h.width);
        im.header.biHeight = static_cast<LONG>(h.height);
        im.header.biPlanes = 1;
        im.header.biBitCount = static_cast<WORD>(depth);
        im.header.biClrUsed = depth == 1 ? 2 : depth == 4 ? 16 : depth == 8 ? 256 : 0;
        ApplyResolution(im, h);
        if (h.transSize > 0 && depth <= 8) {
            if (h.transSize == 1 && h.trans[0] == 0) im.info.transIndex = 0;
            else im.info.alphaPaletteEnabled = true;
        }
        im.info.type = TypePng;
        im.info.flags &= ~GwImage::FlagAlphaChannel;
        if (h.withAlpha) im.info.flags |= GwImage::FlagAlphaChannel;
    }

    // Whether the picture the header announces may be made at all: within the decode budget,
    // not larger than the rest of the stream could inflate to, and delivered in the row layout
    // this side stores. A refusal leaves its message.
    static bool Plausible(const GwPngCodecAccess& c, const GwPngHeader& h, int depth) {
        GwPngCodec& im = *c.image;
        if (!im.DecodeBudgetAllows(h.width, h.height)) return false;
        long total = c.file->Size();
        if (total >= 0) {
            long here = c.file->Tell();
            uint64_t remaining = total > here ? static_cast<uint64_t>(total - here) : 0;
            uint64_t raw = (static_cast<uint64_t>(h.width) * h.pixelDepth + 7) / 8 + 1;
            if (raw * h.height > remaining * kMaxInflation + kSlackBytes) {
                SetText(im.info.lastError, kTooLittleData);
                return false;
            }
        }
        int outBits = c.alpha ? 32 : depth == 24 ? 24 : h.pixelDepth <= 8 ? h.pixelDepth : 8;
        if (h.rowBytes != (static_cast<uint64_t>(h.width) * outBits + 7) / 8) {
            SetText(im.info.lastError, kBadLayout);
            return false;
        }
        return true;
    }

    // The file's palette (2-bit grey gets its four levels, other grey a full ramp) and its
    // transparency: one fully transparent first entry becomes the transparent index, anything
    // else the palette's alpha, with entries the file leaves out opaque.
    static void ApplyPalette(GwPngCodec& im, const GwPngHeader& h) {
        if (h.paletteSize > 0) {
            rgb_color colors[256];
            std::memcpy(colors, h.palette, sizeof colors);
            im.SetPalette(colors, static_cast<DWORD>(h.paletteSize));
        } else if (h.bitDepth == 2) {
            rgb_color grays[4] = {{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}};
            im.SetPalette(grays, 4);
        } else {
            im.SetGrayPalette();
        }
        if (h.transSize <= 0 || im.GetNumColors() == 0) return;
        RGBQUAD* pal = im.GetPalette();
        DWORD colors = im.GetNumColors();
        DWORD n = static_cast<DWORD>(h.transSize);
        for (DWORD i = 0; i < colors && i < n; ++i) pal[i].rgbReserved = h.trans[i];
        if (n == 1 && h.trans[0] == 0) {
            im.info.transIndex = 0;
        } else {
            im.info.alphaPaletteEnabled = true;
            for (DWORD i = n; i < colors; ++i) pal[i].rgbReserved = 255;
        }
    }

    // The alpha plane of a picture with an alpha channel; its background colour, if the file
    // names one, is kept as the transparent colour.
    static bool PrepareAlpha(GwPngCodec& im, const GwPngHeader& h) {
        if (!im.AlphaCreate()) {
            SetText(im.info.lastError, "Can't allocate memory");
            return false;
        }
        if (h.hasBackground) {
            im.info.transColor.rgbRed = static_cast<BYTE>(h.background[1]);
            im.info.transColor.rgbGreen = static_cast<BYTE>(h.background[2]);
            im.info.transColor.rgbBlue = static_cast<BYTE>(h.background[3]);
            im.info.transColor.rgbReserved = 0;
        }
        return true;
    }

    // The header is known: describe the picture (headers only), or make the image the rows
    // will be stored in. 0 stops the read.
    static int Begin(void* user, const GwPngHeader* h) {
        GwPngCodecAccess& c = *static_cast<GwPngCodecAccess*>(user);
        GwPngCodec& im = *c.image;
        c.alpha = h->withAlpha != 0;
        c.passes = h->passes;
        c.widen = !c.alpha && h->pixelDepth == 2;

        if (im.info.escape == -1) {
            c.described = true;
            Describe(im, *h);
            return 0;
        }
        const int depth = c.alpha ? 24 : h->pixelDepth <= 8 ? h->pixelDepth : h->pixelDepth == 16 ? 8 : 24;
        if (!Plausible(c, *h, depth)) return 0;
        if (!im.Create(h->width, h->height, static_cast<DWORD>(depth), TypePng)) return 0;
        std::memset(im.info.pixels, 0, im.header.biSizeImage);
        ApplyResolution(im, *h);
        ApplyPalette(im, *h);
        if (c.alpha && !PrepareAlpha(im, *h)) return 0;
        if (im.info.escape) return 0;
        im.SetCodecOption(h->passes > 1 ? 1 : 0, TypePng);
        return 1;
    }

    static size_t BufferBytes(void* user, size_t pngRowBytes) {
        GwPngCodecAccess& c = *static_cast<GwPngCodecAccess*>(user);
        size_t own = c.image->info.rowBytes;
        return own > pngRowBytes ? own : pngRowBytes;
    }

    static int Prepare(void* user, int pass, uint32_t row, unsigned char* buffer, size_t length) {
        GwPngCodecAccess& c = *static_cast<GwPngCodecAccess*>(user);
        GwPngCodec& im = *c.image;
        if (im.info.escape) return 0;
        if (pass == 0) return 1;
        DWORD y = im.GetHeight() - 1 - row;
        const BYTE* stored = im.GetBits(y);
        if (c.alpha) {
            const BYTE* a = im.alpha + static_cast<size_t>(y) * im.GetWidth();
            for (DWORD x = 0; x < im.GetWidth(); ++x) {
                buffer[4 * x] = stored[3 * x];
                buffer[4 * x + 1] = stored[3 * x + 1];
                buffer[4 * x + 2] = stored[3 * x + 2];
                buffer[4 * x + 3] = a[x];
            }
        } else {
            std::memcpy(buffer, stored, length < im.info.rowBytes ? length : im.info.rowBytes);
        }
        return 1;
    }

    static void Store(void* user, int pass, uint32_t row, const unsigned char* buffer, size_t length) {
        GwPngCodecAccess& c = *static_cast<GwPngCodecAccess*>(user);
        GwPngCodec& im = *c.image;
        ++c.rowsStored;
        DWORD y = im.GetHeight() - 1 - row;
        BYTE* stored = im.GetBits(y);
        DWORD width = im.GetWidth();
        if (c.alpha) {
            BYTE* a = im.alpha + static_cast<size_t>(y) * width;
            for (DWORD x = 0; x < width; ++x) {
                stored[3 * x] = buffer[4 * x];
                stored[3 * x + 1] = buffer[4 * x + 1];
                stored[3 * x + 2] = buffer[4 * x + 2];
                a[x] = buffer[4 * x + 3];
            }
        } else if (c.widen && pass == c.passes - 1) {
            // Earlier passes kept the 2-bit packing (libpng reads them back); the final pass
            // spreads each 2-bit index into a 4-bit pixel, even x in the high nibble.
            for (DWORD x = 0; x < width; x += 2) {
                BYTE hi = (buffer[x / 4] >> (6 - 2 * (x % 4))) & 3;
                BYTE lo = x + 1 < width ? (buffer[(x + 1) / 4] >> (6 - 2 * ((x + 1) % 4))) & 3 : 0;
                stored[x / 2] = static_cast<BYTE>((hi << 4) | lo);
            }
        } else {
            std::memcpy(stored, buffer, length < im.info.rowBytes ? length : im.info.rowBytes);
        }
    }
};

// Looks at the signature and the header chunk without consuming them: whether this is a PNG
// at all, and, for one, a refusal with the real reason when a side is over the limit libpng
// is given. The stream is put back where it was.
bool GwPngCodec::CheckSignature(GwFile* file, uint32_t side) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const long start = file->Tell();
    if (start < 0) return true;  // a stream that cannot go back is left to libpng
    uint8_t head[24];
    const size_t got = file->Read(head, 1, sizeof head);
    file->Seek(start, 0);
    recognised_ = got >= 8 && std::memcmp(head, kSignature, 8) == 0;
    if (!recognised_ || got < 24 || std::memcmp(head + 12, "IHDR", 4) != 0) return true;
    const uint32_t width = gwpix::Be32(head + 16), height = gwpix::Be32(head + 20);
    if (width <= side && height <= side) return true;
    std::snprintf(info.lastError, sizeof info.lastError,
                  "PNG picture of %u x %u pixels has a side over the limit of %u pixels", width, height, side);
    return false;
}

bool GwPngCodec::Decode(GwFile* file) {
    recognised_ = false;
    info.flags &= ~FlagPartial;
    if (!file) {
        SetText(info.lastError, "null file handler");
        return false;
    }
    // libpng refuses a side beyond the decode budget itself; the area is weighed once the
    // header is known.
    const uint64_t budget = GetMaxDecodePixels();
    const uint32_t side = budget < kMaxSide ? static_cast<uint32_t>(budget) : kMaxSide;
    if (!CheckSignature(file, side)) return false;
    GwPngLimits limits = {side, side, kChunkCacheMax, kChunkMallocMax};
    GwPngCodecAccess access = {this, file, 1, false, false, false, false, 0};
    GwPngIo io = GwPngStreamIo(file);
    io.user = &access;
    io.read = &GwPngCodecAccess::ReadBytes;
    GwPngReadHooks hooks = {&access, &GwPngCodecAccess::Begin, &GwPngCodecAccess::Prepare, &GwPngCodecAccess::Store};
    GwPngHeader h;
    const GwPngStatus status = GwPngRead(&io, &limits, &hooks, &GwPngCodecAccess::BufferBytes, &h, info.lastError);
    if (access.described) return true;
    switch (status) {
        case GW_PNG_OK: return true;
        case GW_PNG_NO_STRUCT: SetText(info.lastError, "Failed to create PNG structure"); return false;
        case GW_PNG_NO_INFO: SetText(info.lastError, "Failed to initialize PNG info structure"); return false;
        case GW_PNG_FAILED:
            // A file cut once rows were read keeps them; one cut before any row fails.
            if (!access.ended || access.rowsStored == 0) return false;
            info.flags |= FlagPartial;
            std::snprintf(info.lastError, sizeof info.lastError,
                          "PNG file ends inside its pixel data (%llu of %llu rows read)",
                          static_cast<unsigned long long>(access.rowsStored),
                          static_cast<unsigned long long>(h.height) * static_cast<unsigned long long>(h.passes));
            return true;
        default: return false;
    }
}

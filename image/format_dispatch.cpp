// Reading and writing images by type: every form (GwFile, stdio FILE*, memory block, file
// name, module resource) ends in Decode(GwFile*, type) or Encode(GwFile*, type), which hand
// the work to a short-lived codec object of that type. A decode replaces this image only
// when the codec succeeded; an encode lends this image's pixels to the codec (a ghost).
#include <cstdlib>
#include <cstring>

#include "image/bmp/gw_bmp_codec.h"
#include "image/gw_image.h"
#include "image/gw_io_file.h"
#include "image/gw_mem_file.h"
#include "image/gif/gw_image_gif.h"
#include "image/png/gw_png_codec.h"
#include "platform/win32.h"

namespace {
const char kUnknownDecode[] = "Decode: Unknown or wrong format";
const char kUnknownEncode[] = "Encode: Unknown format";
const char kMultipageUnsupported[] = "Multipage Encode, Unsupported operation for this format";
const char kBufferNotEmpty[] = "the buffer must be empty";
const char kNoResource[] = "Unable to load resource!";
const char kNullFile[] = "null file handler";
const char kNullImage[] = "null image!!!";

// Copies at most 255 characters and always terminates.
void SetText(char (&dst)[256], const char* text) {
    size_t n = strnlen(text, sizeof dst - 1);
    std::memmove(dst, text, n);
    dst[n] = '\0';
}
}  // namespace

// ---- decoding ------------------------------------------------------------------------

bool GwImage::Decode(GwFile* file, DWORD type) {
    if (!file) {
        SetText(info.lastError, kNullFile);
        return false;
    }
    // One attempt with one codec; the codec starts from this image's settings and its result
    // replaces this image only on success. A failure's message reaches this image when it was
    // asked for by type, or when the codec recognised its format: then the file is of that
    // format and its reason (a frame beyond the count, the decode budget, a file too short) is
    // the real one, so detection stops there instead of ending in "unknown format".
    bool recognised = false;
    auto attempt = [&](GwImage& codec, bool ok, bool report, bool isFormat) -> bool {
        if (ok) {
            Transfer(codec);
            return true;
        }
        recognised = isFormat && codec.info.lastError[0] != '\0';
        if (report || recognised) SetText(info.lastError, codec.info.lastError);
        return false;
    };
    auto tryBmp = [&](bool report) {
        GwBmpCodec codec;
        static_cast<GwImage&>(codec).CopyInfo(*this);
        const bool ok = codec.Decode(file);
        return attempt(codec, ok, report, codec.Recognised());
    };
    auto tryPng = [&](bool report) {
        GwPngCodec codec;
        static_cast<GwImage&>(codec).CopyInfo(*this);
        const bool ok = codec.Decode(file);
        return attempt(codec, ok, report, codec.Recognised());
    };
    auto tryGif = [&](bool report) {
        GwImageGIF codec;
        static_cast<GwImage&>(codec).CopyInfo(*this);
        bool ok = codec.Decode(file);
        // The frame count tells the caller how many frames exist even when the requested
        // one could not be decoded.
        if (!ok && (report || codec.Recognised())) info.frameCount = codec.GetNumFrames();
        return attempt(codec, ok, report, codec.Recognised());
    };

    switch (type) {
        case TypeBmp: return tryBmp(true);
        case TypeGif: return tryGif(true);
        case TypePng: return tryPng(true);
        case TypeAny: {
            long start = file->Tell();
            info.lastError[0] = '\0';
            if (tryBmp(false)) return true;
            file->Seek(start, 0);
            if (recognised) return false;
            if (tryGif(false)) return true;
            file->Seek(start, 0);
            if (recognised) return false;
            if (tryPng(false)) return true;
            file->Seek(start, 0);
            if (recognised) return false;
            SetText(info.lastError, kUnknownDecode);
            return false;
        }
        default:
            SetText(info.lastError, kUnknownDecode);
            return false;
    }
}

bool GwImage::Decode(FILE* fp, DWORD type) {
    GwIOFile file(fp);  // borrowed: the caller closes fp
    return Decode(&file, type);
}

bool GwImage::Decode(BYTE* buffer, DWORD size, DWORD type) {
    GwMemFile file(buffer, size);  // the caller's block, read in place
    return Decode(&file, type);
}

bool GwImage::Load(const char* fileName, DWORD type) {
    if (!fileName) return false;
    if (type == TypeBmp || type == TypeGif || type == TypePng) {
        FILE* fp = std::fopen(fileName, "rb");
        if (!fp) return false;
        bool ok = Decode(fp, type);
        std::fclose(fp);
        if (ok) return true;
    }
    // The requested type failed (or none was given): detect the format instead, but report
    // why the requested type failed rather than the generic detection message.
    char kept[256];
    SetText(kept, info.lastError);
    FILE* fp = std::fopen(fileName, "rb");
    if (!fp) return false;
    bool ok = Decode(fp, TypeAny);
    std::fclose(fp);
    if (!ok && type != TypeAny) SetText(info.lastError, kept);
    return ok;
}

bool GwImage::LoadResource(HRSRC res, DWORD type, HINSTANCE module) {
    DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = ::LoadResource(module, res);
    if (!loaded) {
        SetText(info.lastError, kNoResource);
        return false;
    }
    BYTE* bytes = static_cast<BYTE*>(::LockResource(loaded));
    if (!bytes) return false;
    GwMemFile file(bytes, size);
    return Decode(&file, type);
}

GwImage::GwImage(const char* fileName, DWORD typeId) {
    Startup(typeId);
    Load(fileName, typeId);
}

GwImage::GwImage(FILE* fp, DWORD typeId) {
    Startup(typeId);
    Decode(fp, typeId);
}

GwImage::GwImage(GwFile* file, DWORD typeId) {
    Startup(typeId);
    Decode(file, typeId);
}

GwImage::GwImage(BYTE* buffer, DWORD size, DWORD typeId) {
    Startup(typeId);
    Decode(buffer, size, typeId);
}

// ---- encoding ------------------------------------------------------------------------

bool GwImage::EncodeSafeCheck(GwFile* file) {
    if (!file) {
        SetText(info.lastError, kNullFile);
        return true;
    }
    if (!dib) {
        SetText(info.lastError, kNullImage);
        return true;
    }
    return false;
}

bool GwImage::Encode(GwFile* file, DWORD type) {
    auto run = [&](GwImage& codec, auto&& encode) -> bool {
        codec.Ghost(this);
        if (encode()) return true;
        SetText(info.lastError, codec.info.lastError);
        return false;
    };
    switch (type) {
        case TypeBmp: {
            GwBmpCodec codec;
            return run(codec, [&] { return codec.Encode(file); });
        }
        case TypePng: {
            GwPngCodec codec;
            return run(codec, [&] { return codec.Encode(file); });
        }
        case TypeGif: {
            GwImageGIF codec;
            return run(codec, [&] { return codec.Encode(file); });
        }
        default:
            SetText(info.lastError, kUnknownEncode);
            return false;
    }
}

bool GwImage::Encode(FILE* fp, DWORD type) {
    GwIOFile file(fp);
    return Encode(&file, type);
}

bool GwImage::Encode(BYTE*& buffer, long& size, DWORD type) {
    if (buffer) {
        SetText(info.lastError, kBufferNotEmpty);
        return false;
    }
    GwMemFile file;
    if (!file.Open() || !Encode(&file, type)) return false;  // file's destructor frees the block
    size = file.Size();
    buffer = file.GetBuffer(true);
    return true;
}

bool GwImage::Save(const char* fileName, DWORD type) {
    if (!fileName) return false;
    FILE* fp = std::fopen(fileName, "wb");
    if (!fp) return false;
    bool ok = Encode(fp, type);
    // A file that cannot be flushed to disk was not saved.
    if (std::fclose(fp) != 0 && ok) {
        SetText(info.lastError, "Save: the file could not be written");
        ok = false;
    }
    return ok;
}

bool GwImage::Encode(GwFile* file, GwImage** images, int count, DWORD type) {
    if (type != TypeGif) {
        SetText(info.lastError, kMultipageUnsupported);
        return false;
    }
    GwImageGIF writer;
    GwImage& base = writer;
    base.Ghost(this);
    if (writer.Encode(file, images, count, false)) return true;
    SetText(info.lastError, base.info.lastError);
    return false;
}

bool GwImage::Encode(FILE* fp, GwImage** images, int count, DWORD type) {
    GwIOFile file(fp);
    return Encode(&file, images, count, type);
}

bool GwImage::Encode2RGBA(GwFile* file) {
    if (EncodeSafeCheck(file)) return false;
    // One row at a time rather than byte by byte; a row that cannot be written fails the
    // dump instead of being reported as written.
    size_t width = GetWidth();
    BYTE* row = static_cast<BYTE*>(std::malloc(width * 4));
    if (!row) {
        SetText(info.lastError, "Encode2RGBA: can't allocate memory");
        return false;
    }
    bool ok = true;
    for (long y = 0; ok && y < static_cast<long>(GetHeight()); ++y) {
        BYTE* out = row;
        for (size_t x = 0; x < width; ++x) {
            RGBQUAD c = BlindGetPixelColor(static_cast<long>(x), y);
            *out++ = c.rgbRed;
            *out++ = c.rgbGreen;
            *out++ = c.rgbBlue;
            *out++ = c.rgbReserved;
        }
        ok = file->Write(row, 4, width) == width;
    }
    std::free(row);
    if (!ok) SetText(info.lastError, "Encode2RGBA: Write Error");
    return ok;
}

bool GwImage::Encode2RGBA(BYTE*& buffer, long& size) {
    if (buffer) {
        SetText(info.lastError, kBufferNotEmpty);
        return false;
    }
    // The dump is four bytes a pixel in one block: held to the decode budget like a read.
    if (dib && !DecodeBudgetAllows(GetWidth(), GetHeight())) return false;
    GwMemFile file;
    if (!file.Open() || !Encode2RGBA(&file)) return false;
    size = file.Size();
    buffer = file.GetBuffer(true);
    return true;
}

void GwImage::FreeMemory(void* p) { std::free(p); }

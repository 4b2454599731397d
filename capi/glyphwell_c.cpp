// The C interface (see glyphwell.h) over the encoder's value API, the symbol rasteriser and the
// image library's load, convert and save. No C++ type or exception crosses it.
#include "capi/glyphwell.h"

#include <cctype>
#include <cstring>
#include <new>
#include <string>

#include "encoder/symbol.h"
#include "image/gw_image.h"
#include "picture/symbol_picture.h"

struct GwSymbol {
    QRCodeSymbol symbol;
};

struct GwPicture {
    GwImage image;
};

namespace {

// The message of this thread's last failure: the one state of the interface, as errno is C's.
thread_local std::string t_lastError;

int Fail(int code, const std::string& message) {
    t_lastError = message;
    return code;
}

int Succeed() {
    t_lastError.clear();
    return GW_OK;
}

int CodeOf(QRCodeErrorKind kind) {
    switch (kind) {
        case QRCODE_ERROR_NONE: return GW_OK;
        case QRCODE_ERROR_INVALID_OPTION: return GW_ERROR_INVALID_OPTION;
        case QRCODE_ERROR_UNENCODABLE: return GW_ERROR_UNENCODABLE;
        case QRCODE_ERROR_TOO_LONG: return GW_ERROR_TOO_LONG;
        case QRCODE_ERROR_NO_MEMORY: return GW_ERROR_NO_MEMORY;
    }
    return GW_ERROR_ARGUMENT;
}

// The image library's type for a format, or for GW_FORMAT_DETECT the one the path ends in
// (0 when none does).
DWORD TypeFor(const char* path, int format) {
    if (format == GW_FORMAT_BMP) return TypeBmp;
    if (format == GW_FORMAT_GIF) return TypeGif;
    if (format == GW_FORMAT_PNG) return TypePng;
    if (format != GW_FORMAT_DETECT || !path) return 0;
    const char* dot = std::strrchr(path, '.');
    if (!dot) return 0;
    std::string ending;
    for (const char* p = dot + 1; *p; ++p) ending += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    if (ending == "bmp") return TypeBmp;
    if (ending == "gif") return TypeGif;
    if (ending == "png") return TypePng;
    return 0;
}

}  // namespace

extern "C" {

void GW_CALL gw_options_default(GwOptions* o) {
    if (!o) return;
    const QRCodeRequest r;
    o->level = r.level;
    o->mode = r.mode;
    o->min_version = r.minVersion;
    o->max_version = r.maxVersion;
    o->eci = r.eci;
    o->fnc1 = r.fnc1;
    o->application_indicator = r.applicationIndicator;
    o->append_position = r.appendPosition;
    o->append_total = r.appendTotal;
    o->mask = r.mask;
}

int GW_CALL gw_encode(const unsigned char* data, int length, const GwOptions* options, GwSymbol** symbol) {
    if (!symbol) return Fail(GW_ERROR_ARGUMENT, "no place for the symbol");
    *symbol = nullptr;
    GwOptions o;
    gw_options_default(&o);
    if (options) o = *options;
    QRCodeRequest r;
    r.data = data;
    r.length = length;
    r.level = o.level;
    r.mode = o.mode;
    r.minVersion = o.min_version;
    r.maxVersion = o.max_version;
    r.eci = o.eci;
    r.fnc1 = o.fnc1;
    r.applicationIndicator = o.application_indicator;
    r.appendPosition = o.append_position;
    r.appendTotal = o.append_total;
    r.mask = o.mask;
    QRCodeResult result = QRCodeEncode(r);
    if (!result.Ok()) return Fail(CodeOf(result.error.kind), QRCodeDescribeError(result.error, r.level));
    GwSymbol* made = new (std::nothrow) GwSymbol;
    if (!made) return Fail(GW_ERROR_NO_MEMORY, "out of memory");
    made->symbol = std::move(result.symbol);
    *symbol = made;
    return Succeed();
}

int GW_CALL gw_encode_text(const char* text, const GwOptions* options, GwSymbol** symbol) {
    if (!text) {
        if (symbol) *symbol = nullptr;
        return Fail(GW_ERROR_ARGUMENT, "no text");
    }
    const size_t length = std::strlen(text);
    if (length > 0x7FFFFFFF) return Fail(GW_ERROR_TOO_LONG, "the text is too long");
    return gw_encode(reinterpret_cast<const unsigned char*>(text), static_cast<int>(length), options, symbol);
}

int GW_CALL gw_symbol_size(const GwSymbol* s) { return s ? s->symbol.size : 0; }
int GW_CALL gw_symbol_version(const GwSymbol* s) { return s ? s->symbol.version : 0; }
int GW_CALL gw_symbol_mask(const GwSymbol* s) { return s ? s->symbol.mask : 0; }

int GW_CALL gw_symbol_module(const GwSymbol* s, int x, int y) {
    if (!s || x < 0 || y < 0 || x >= s->symbol.size || y >= s->symbol.size) return -1;
    return s->symbol.Dark(x, y) ? 1 : 0;
}

void GW_CALL gw_symbol_free(GwSymbol* s) { delete s; }

int GW_CALL gw_paint_symbol(const GwSymbol* s, int pixelSize, int margin, unsigned int foreground,
                            unsigned int background, GwPicture** picture) {
    if (!picture) return Fail(GW_ERROR_ARGUMENT, "no place for the picture");
    *picture = nullptr;
    if (!s) return Fail(GW_ERROR_ARGUMENT, "no symbol");
    GwSymbolLook look;
    look.pixelSize = pixelSize;
    look.margin = margin;
    look.foreground = foreground & 0xFFFFFF;
    look.background = background & 0xFFFFFF;
    GwPicture* made = new (std::nothrow) GwPicture;
    if (!made) return Fail(GW_ERROR_NO_MEMORY, "out of memory");
    std::string error;
    try {
        if (!GwPaintSymbol(s->symbol, look, &made->image, &error)) {
            delete made;
            return Fail(GW_ERROR_PICTURE, error);
        }
    } catch (const std::bad_alloc&) {
        delete made;
        return Fail(GW_ERROR_NO_MEMORY, "out of memory");
    }
    *picture = made;
    return Succeed();
}

int GW_CALL gw_picture_load(const char* path, int format, GwPicture** picture) {
    if (!picture) return Fail(GW_ERROR_ARGUMENT, "no place for the picture");
    *picture = nullptr;
    if (!path) return Fail(GW_ERROR_ARGUMENT, "no file name");
    if (format < GW_FORMAT_DETECT || format > GW_FORMAT_PNG) return Fail(GW_ERROR_INVALID_OPTION, "unknown format");
    GwPicture* made = new (std::nothrow) GwPicture;
    if (!made) return Fail(GW_ERROR_NO_MEMORY, "out of memory");
    // Reading detects by content: the format only narrows what is accepted.
    if (!made->image.Load(path, format == GW_FORMAT_DETECT ? static_cast<DWORD>(TypeAny) : TypeFor(path, format))) {
        const std::string why = std::string("cannot read ") + path + ": " + made->image.GetLastError();
        delete made;
        return Fail(GW_ERROR_PICTURE, why);
    }
    *picture = made;
    return Succeed();
}

int GW_CALL gw_picture_convert(GwPicture* p, int bits) {
    if (!p) return Fail(GW_ERROR_ARGUMENT, "no picture");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return Fail(GW_ERROR_INVALID_OPTION, "a picture has 1, 4, 8 or 24 bits per pixel");
    const int now = p->image.GetBpp();
    bool ok = true;
    if (bits > now) ok = p->image.IncreaseBpp(static_cast<DWORD>(bits));
    if (bits < now) ok = p->image.DecreaseBpp(static_cast<DWORD>(bits), false);
    if (!ok) return Fail(GW_ERROR_PICTURE, std::string("cannot convert the picture: ") + p->image.GetLastError());
    return Succeed();
}

int GW_CALL gw_picture_save(const GwPicture* p, const char* path, int format) {
    if (!p || !path) return Fail(GW_ERROR_ARGUMENT, "no picture or no file name");
    const DWORD type = TypeFor(path, format);
    if (!type) return Fail(GW_ERROR_INVALID_OPTION, std::string("cannot tell the format of ") + path);
    // Saving does not change the picture; the library's writers take a non-const image.
    GwImage& image = const_cast<GwPicture*>(p)->image;
    if (!image.Save(path, type))
        return Fail(GW_ERROR_PICTURE, std::string("cannot write ") + path + ": " + image.GetLastError());
    return Succeed();
}

int GW_CALL gw_picture_width(const GwPicture* p) { return p ? static_cast<int>(p->image.GetWidth()) : 0; }
int GW_CALL gw_picture_height(const GwPicture* p) { return p ? static_cast<int>(p->image.GetHeight()) : 0; }
int GW_CALL gw_picture_bits(const GwPicture* p) { return p ? static_cast<int>(p->image.GetBpp()) : 0; }

void GW_CALL gw_picture_free(GwPicture* p) { delete p; }

int GW_CALL gw_write_symbol_file(const char* text, int level, int pixelSize, int margin, const char* path) {
    GwOptions o;
    gw_options_default(&o);
    o.level = level;
    o.mode = GW_MODE_AUTOMATIC;
    GwSymbol* symbol = nullptr;
    int code = gw_encode_text(text, &o, &symbol);
    if (code != GW_OK) return code;
    GwPicture* picture = nullptr;
    code = gw_paint_symbol(symbol, pixelSize, margin, 0x000000, 0xFFFFFF, &picture);
    gw_symbol_free(symbol);
    if (code != GW_OK) return code;
    code = gw_picture_save(picture, path, GW_FORMAT_DETECT);
    gw_picture_free(picture);
    return code;
}

int GW_CALL gw_last_error(char* buffer, int size) {
    const std::string& message = t_lastError;
    if (buffer && size > 0) {
        const size_t n = message.size() < static_cast<size_t>(size - 1) ? message.size() : static_cast<size_t>(size - 1);
        std::memcpy(buffer, message.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(message.size());
}

}  // extern "C"

/* Glyphwell's C interface: QR Code symbols and raster pictures for any language that can call C
 * (C, C#, Python's ctypes, Go, Delphi, VBA's Declare). Plain C types only: opaque handles, int
 * error codes and a message function. The text of a symbol is any bytes with a length (UTF-8 is
 * the usual choice; NUL and '#' are data like any other byte). Every function may be called from
 * any thread; handles are not shared between threads without the caller's own lock. File names
 * are the C library's: bytes on Linux, the ANSI code page on Windows (as VBA passes a String).
 *
 * A short session:
 *     GwSymbol* symbol = 0;
 *     if (gw_encode_text("Hello", 0, &symbol) == GW_OK) {
 *         GwPicture* picture = 0;
 *         gw_paint_symbol(symbol, 4, 16, 0x000000, 0xFFFFFF, &picture);
 *         gw_picture_save(picture, "hello.png", GW_FORMAT_PNG);
 *         gw_picture_free(picture);
 *         gw_symbol_free(symbol);
 *     } else {
 *         char why[256];
 *         gw_last_error(why, sizeof why);
 *     }
 */
#ifndef GLYPHWELL_C_H
#define GLYPHWELL_C_H

#if defined(_WIN32) && !defined(_WIN64)
#define GW_CALL __stdcall /* what VBA's Declare and most 32-bit Windows callers expect */
#else
#define GW_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct GwSymbol GwSymbol;   /* a finished symbol */
typedef struct GwPicture GwPicture; /* a raster picture */

/* Results. Every function that can fail returns one of these; GW_OK is 0. */
#define GW_OK 0
#define GW_ERROR_INVALID_OPTION 1 /* an option is out of range */
#define GW_ERROR_UNENCODABLE 2    /* the forced mode cannot hold a byte of the text */
#define GW_ERROR_TOO_LONG 3       /* the text fits no symbol of the versions allowed */
#define GW_ERROR_NO_MEMORY 4
#define GW_ERROR_ARGUMENT 5       /* a null pointer or a bad handle */
#define GW_ERROR_PICTURE 6        /* a picture cannot be made, read, converted or written */

/* Modes, levels and picture formats. */
#define GW_MODE_ALPHANUMERIC 0
#define GW_MODE_BYTE 1
#define GW_MODE_NUMERIC 2
#define GW_MODE_KANJI 3
#define GW_MODE_AUTOMATIC 4
#define GW_LEVEL_L 0
#define GW_LEVEL_M 1
#define GW_LEVEL_Q 2
#define GW_LEVEL_H 3
#define GW_FORMAT_DETECT 0 /* reading: by content; writing: by the file name's ending */
#define GW_FORMAT_BMP 1
#define GW_FORMAT_GIF 2
#define GW_FORMAT_PNG 3

/* The choices of a symbol; gw_options_default fills in the defaults noted. All fields are 32-bit
 * ints, so the record is a VBA Type of Longs. */
typedef struct GwOptions {
    int level;                 /* GW_LEVEL_*, default H */
    int mode;                  /* GW_MODE_*, default byte */
    int min_version;           /* the smallest version from min_version to max_version that */
    int max_version;           /* holds the text (1..40; equal: exactly that version); 1, 40 */
    int eci;                   /* ECI assignment of the text, 0..999999, or -1 (default) */
    int fnc1;                  /* 0 none (default), 1 first position, 2 second position */
    int application_indicator; /* with fnc1 2: 0..255 */
    int append_position;       /* structured append: symbol position (1..16) of append_total; */
    int append_total;          /* append_total 0 (default): no structured append */
    int mask;                  /* 0..7, or -1 (default) for the lowest penalty */
} GwOptions;

/* Fills *options with the defaults. */
void GW_CALL gw_options_default(GwOptions* options);

/* Encodes `length` bytes of `data` (length >= 0; data may be null only for length 0) with
 * `options` (null: the defaults) into a new symbol in *symbol, which the caller frees with
 * gw_symbol_free. On failure *symbol is null and gw_last_error says why: the byte and its
 * position a forced mode cannot hold, the versions the text does not fit and by how many bits,
 * or the option out of range. */
int GW_CALL gw_encode(const unsigned char* data, int length, const GwOptions* options, GwSymbol** symbol);

/* gw_encode over a NUL-terminated text (UTF-8 or any bytes without NUL). */
int GW_CALL gw_encode_text(const char* text, const GwOptions* options, GwSymbol** symbol);

/* The symbol's modules per side (21..177), version (1..40) and mask (0..7); 0 for null. */
int GW_CALL gw_symbol_size(const GwSymbol* symbol);
int GW_CALL gw_symbol_version(const GwSymbol* symbol);
int GW_CALL gw_symbol_mask(const GwSymbol* symbol);
/* 1 for a dark module at column x, row y from the top-left corner, 0 for a light one, -1 outside
 * the symbol or for null. */
int GW_CALL gw_symbol_module(const GwSymbol* symbol, int x, int y);
/* Frees a symbol; null is ignored. */
void GW_CALL gw_symbol_free(GwSymbol* symbol);

/* Paints the symbol into a new picture in *picture: pixel_size (0..255) pixels per module, a
 * white margin of `margin` (0..255) pixels, dark modules in `foreground` and light ones in
 * `background` (colours 0x00BBGGRR, as Windows' RGB macro makes them). A picture of two colours
 * (white background, or no margin) is 1-bit, any other 24-bit. The caller frees it with
 * gw_picture_free. */
int GW_CALL gw_paint_symbol(const GwSymbol* symbol, int pixel_size, int margin, unsigned int foreground,
                            unsigned int background, GwPicture** picture);

/* Reads a picture file (GW_FORMAT_DETECT, BMP, GIF or PNG) into a new picture in *picture. */
int GW_CALL gw_picture_load(const char* path, int format, GwPicture** picture);
/* Changes the picture's depth to 1, 4, 8 or 24 bits per pixel (fewer bits: nearest palette
 * colours, no dithering). */
int GW_CALL gw_picture_convert(GwPicture* picture, int bits_per_pixel);
/* Writes the picture to `path` as BMP, GIF or PNG (GW_FORMAT_DETECT: by the name's ending). */
int GW_CALL gw_picture_save(const GwPicture* picture, const char* path, int format);
/* Width, height and bits per pixel; 0 for null. */
int GW_CALL gw_picture_width(const GwPicture* picture);
int GW_CALL gw_picture_height(const GwPicture* picture);
int GW_CALL gw_picture_bits(const GwPicture* picture);
/* Frees a picture; null is ignored. */
void GW_CALL gw_picture_free(GwPicture* picture);

/* Encodes `text` (NUL-terminated) at `level` in automatic mode and writes its picture
 * (pixel_size, margin, black on white) to `path` in the format of the name's ending: one call
 * for callers that want a file. */
int GW_CALL gw_write_symbol_file(const char* text, int level, int pixel_size, int margin, const char* path);

/* Copies the message of this thread's last failure, NUL-terminated and cut to `size` bytes, to
 * `buffer` (when not null) and returns the message's full length; "" after a success. */
int GW_CALL gw_last_error(char* buffer, int size);

#ifdef __cplusplus
}
#endif

#endif /* GLYPHWELL_C_H */

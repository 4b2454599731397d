/* The libpng-facing half of the PNG codec, written in C: it owns libpng's structures, its
 * setjmp/longjmp error return and its row buffer, so no C++ object ever lives in a frame that
 * libpng's error return unwinds. The C++ codec (gw_png_codec) supplies byte I/O and row
 * hooks and maps PNG data onto GwImage. */
#ifndef GLYPHWELL_IMAGE_PNG_PNG_SHIM_H
#define GLYPHWELL_IMAGE_PNG_PNG_SHIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Outcome of a shim call. On GW_PNG_FAILED the message holds libpng's text (or the text of a
 * failing I/O hook: "Read Error", "Write Error", "Flush Error"). */
enum GwPngStatus {
    GW_PNG_OK = 0,
    GW_PNG_NO_STRUCT = 1,    /* png_create_*_struct failed */
    GW_PNG_NO_INFO = 2,      /* png_create_info_struct failed */
    GW_PNG_FAILED = 3,       /* libpng reported an error; see message */
    GW_PNG_CANCELLED = 4     /* a hook asked to stop; message untouched */
};

/* Byte I/O over the caller's stream. read returns the number of bytes read; write the
 * number written; flush non-zero on success. */
struct GwPngIo {
    void* user;
    size_t (*read)(void* user, unsigned char* data, size_t length);
    size_t (*write)(void* user, const unsigned char* data, size_t length);
    int (*flush)(void* user);
};

/* Safety limits handed to libpng before any chunk is read. */
struct GwPngLimits {
    uint32_t maxWidth;
    uint32_t maxHeight;
    uint32_t chunkCacheMax;  /* ancillary chunks kept */
    size_t chunkMallocMax;   /* largest chunk libpng allocates for */
};

/* What the reader found in the header and how rows will arrive after the transformations
 * the shim asked for. */
struct GwPngHeader {
    uint32_t width, height;
    int bitDepth;        /* as stored in the file */
    int colorType;       /* as stored in the file */
    int pixelDepth;      /* bits per pixel in the file: channels x bit depth */
    int interlaced;      /* Adam7 */
    int passes;          /* 7 for Adam7, else 1 */
    int withAlpha;       /* rows arrive as blue, green, red, alpha (8 bits each) */
    int bgr;             /* colour rows arrive in blue, green, red order */
    size_t rowBytes;     /* bytes libpng writes per row after the transformations */
    int paletteSize;
    unsigned char palette[256][3]; /* red, green, blue, as in the file */
    int transSize;       /* palette tRNS entries */
    unsigned char trans[256];
    int hasBackground;
    uint16_t background[4]; /* bKGD: index, red, green, blue as stored (gray in red) */
    int hasPhys;
    uint32_t physX, physY;
    int physUnit;
};

/* Hooks of a read. begin is called once the header is known (return 0 to stop); before
 * each row, prepare may fill the buffer with what earlier interlace passes left there
 * (return 0 to stop); store receives each row as read. Rows count from the top. */
struct GwPngReadHooks {
    void* user;
    int (*begin)(void* user, const struct GwPngHeader* header);
    int (*prepare)(void* user, int pass, uint32_t row, unsigned char* buffer, size_t length);
    void (*store)(void* user, int pass, uint32_t row, const unsigned char* buffer, size_t length);
};

/* Reads one PNG. bufferBytes is the least row buffer the caller's hooks need (the shim
 * allocates the larger of that and libpng's row size). */
enum GwPngStatus GwPngRead(const struct GwPngIo* io, const struct GwPngLimits* limits,
                           const struct GwPngReadHooks* hooks, size_t (*bufferBytes)(void* user, size_t pngRowBytes),
                           struct GwPngHeader* header, char message[256]);

/* Everything a write needs: header values, palette, transparency, background, resolution,
 * and either the rows themselves or a hook that fills one row (counted from the top). */
struct GwPngWriteJob {
    uint32_t width, height;
    int bitDepth;
    int colorType;       /* 2 RGB, 3 palette, 6 RGBA */
    int interlaced;
    int paletteSize;
    unsigned char palette[256][3];
    int transSize;
    unsigned char trans[256];
    uint16_t background[4]; /* index, red, green, blue */
    uint32_t physX, physY;  /* pixels per metre */
    int deflateLevel;       /* zlib level 1-9 for the image data; 0 keeps libpng's default */
    int deflateMemLevel;    /* zlib memory level 1-9 for the image data; 0 keeps libpng's default */
    size_t bufferBytes;     /* row buffer the fill hook writes into */
    /* When the caller already holds every row in PNG byte order: the top row, and the
     * distance in bytes from one row to the one below it (negative for bottom-up storage).
     * The rows are read in place and must stay unchanged until the write ends; the hook
     * is not called. NULL: every row is made by the hook. */
    const unsigned char* rows;
    ptrdiff_t rowStep;
    void* user;
    /* Writes one row (counted from the top) in PNG byte order into buffer. */
    void (*fill)(void* user, uint32_t row, unsigned char* buffer);
};

enum GwPngStatus GwPngWrite(const struct GwPngIo* io, const struct GwPngWriteJob* job, char message[256]);

#ifdef __cplusplus
}
#endif

#endif

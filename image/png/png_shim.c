/* libpng driver for the PNG codec. Every function here that calls libpng sets its own
 * setjmp point; locals assigned after that point and read on the error path are volatile,
 * and the error path frees the row buffer and both libpng structures. */
#include "image/png/png_shim.h"

#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

static void StoreMessage(char* message, const char* text) {
    if (!message) return;
    strncpy(message, text ? text : "", 255);
    message[255] = '\0';
}

static void OnError(png_structp png, png_const_charp text) {
    StoreMessage((char*)png_get_error_ptr(png), text);
    png_longjmp(png, 1);
}

/* libpng's warnings are not failures, and the library writes nothing to the console. */
static void OnWarning(png_structp png, png_const_charp text) {
    (void)png;
    (void)text;
}

/* No single block libpng asks for may exceed this. Rows of the widest image the limits admit
 * (1,000,000 pixels of 8 bytes) fit easily; a chunk header claiming gigabytes does not, and
 * is refused before anything is reserved. */
#define GW_PNG_MAX_BLOCK ((png_alloc_size_t)64 << 20)

static png_voidp Allocate(png_structp png, png_alloc_size_t size) {
    (void)png;
    return size > GW_PNG_MAX_BLOCK ? NULL : malloc(size);
}

static void Release(png_structp png, png_voidp block) {
    (void)png;
    free(block);
}

/* Ancillary chunks the codec never looks at are skipped unread, so their (possibly huge,
 * possibly compressed) contents are neither buffered nor inflated. */
static const png_byte kIgnoredChunks[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0hIST\0tIME\0sCAL\0pCAL\0oFFs\0sTER\0";

static void OnRead(png_structp png, png_bytep data, size_t length) {
    const struct GwPngIo* io = (const struct GwPngIo*)png_get_io_ptr(png);
    if (io->read(io->user, data, length) != length) png_error(png, "Read Error");
}

static void OnWrite(png_structp png, png_bytep data, size_t length) {
    const struct GwPngIo* io = (const struct GwPngIo*)png_get_io_ptr(png);
    if (io->write(io->user, data, length) != length) png_error(png, "Write Error");
}

static void OnFlush(png_structp png) {
    const struct GwPngIo* io = (const struct GwPngIo*)png_get_io_ptr(png);
    if (!io->flush(io->user)) png_error(png, "Flush Error");
}

/* Reads the header chunks into h and asks libpng for the row layout the codec maps from:
 * 8-bit samples, colour in blue-green-red order, alpha (when kept) as a fourth byte, and
 * everything else composed over the file's background or a light gray. */
static void ReadHeader(png_structp png, png_infop info, struct GwPngHeader* h) {
    png_uint_32 width, height;
    int bitDepth, colorType, interlace;
    png_colorp palette;
    int paletteSize;
    png_color_16p background;
    png_uint_32 physX, physY;
    int unit;

    png_read_info(png, info);
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, NULL, NULL);
    h->width = width;
    h->height = height;
    h->bitDepth = bitDepth;
    h->colorType = colorType;
    h->pixelDepth = png_get_channels(png, info) * bitDepth;
    h->interlaced = interlace != PNG_INTERLACE_NONE;

    if (png_get_PLTE(png, info, &palette, &paletteSize) && palette) {
        int i;
        if (paletteSize > 256) paletteSize = 256;
        for (i = 0; i < paletteSize; ++i) {
            h->palette[i][0] = palette[i].red;
            h->palette[i][1] = palette[i].green;
            h->palette[i][2] = palette[i].blue;
        }
        h->paletteSize = paletteSize;
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_bytep trans = NULL;
        int transSize = 0;
        png_color_16p transColor = NULL;
        png_get_tRNS(png, info, &trans, &transSize, &transColor);
        if (trans && transSize > 0) {
            if (transSize > 256) transSize = 256;
            memcpy(h->trans, trans, (size_t)transSize);
            h->transSize = transSize;
        }
    }
    if (png_get_bKGD(png, info, &background) && background) {
        h->hasBackground = 1;
        h->background[0] = background->index;
        h->background[1] = background->red;
        h->background[2] = background->green;
        h->background[3] = background->blue;
    }
    if (png_get_pHYs(png, info, &physX, &physY, &unit)) {
        h->hasPhys = 1;
        h->physX = physX;
        h->physY = physY;
        h->physUnit = unit;
    }

    /* Colour with alpha, and 16-bit gray with alpha, keep their alpha as a fourth byte;
     * every other kind of transparency is composed. */
    h->withAlpha = colorType == PNG_COLOR_TYPE_RGB_ALPHA || (colorType == PNG_COLOR_TYPE_GRAY_ALPHA && bitDepth == 16);
    if (!h->withAlpha) {
        if (h->hasBackground) {
            png_set_background(png, background, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        } else {
            png_color_16 gray;
            gray.index = 0;
            gray.red = gray.green = gray.blue = gray.gray = 192;
            png_set_background(png, &gray, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    }
    if (bitDepth == 16) png_set_strip_16(png);
    if (h->withAlpha) {
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(png);
            png_set_expand(png);
        }
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    h->bgr = colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA;
    if (h->bgr) png_set_bgr(png);
    h->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    h->rowBytes = png_get_rowbytes(png, info);
}

enum GwPngStatus GwPngRead(const struct GwPngIo* io, const struct GwPngLimits* limits,
                           const struct GwPngReadHooks* hooks, size_t (*bufferBytes)(void* user, size_t pngRowBytes),
                           struct GwPngHeader* header, char message[256]) {
    png_structp png;
    png_infop info;
    unsigned char* volatile row = NULL;
    volatile enum GwPngStatus status = GW_PNG_OK;
    int pass;
    png_uint_32 r;
    size_t bytes;

    memset(header, 0, sizeof *header);
    png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, message, OnError, OnWarning, NULL, Allocate, Release);
    if (!png) return GW_PNG_NO_STRUCT;
    info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, NULL, NULL);
        return GW_PNG_NO_INFO;
    }
    if (setjmp(png_jmpbuf(png))) {
        free(row);
        png_destroy_read_struct(&png, &info, NULL);
        return GW_PNG_FAILED;
    }
    png_set_user_limits(png, limits->maxWidth, limits->maxHeight);
    png_set_chunk_cache_max(png, limits->chunkCacheMax);
    png_set_chunk_malloc_max(png, limits->chunkMallocMax);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, (int)(sizeof kIgnoredChunks / 5));
    png_set_read_fn(png, (png_voidp)io, OnRead);

    ReadHeader(png, info, header);
    if (!hooks->begin(hooks->user, header)) {
        status = GW_PNG_CANCELLED;
        goto done;
    }
    bytes = bufferBytes(hooks->user, header->rowBytes);
    if (bytes < header->rowBytes) bytes = header->rowBytes;
    row = (unsigned char*)malloc(bytes ? bytes : 1);
    if (!row) png_error(png, "Insufficient memory for a PNG row");
    memset(row, 0, bytes);
    for (pass = 0; pass < header->passes; ++pass) {
        for (r = 0; r < header->height; ++r) {
            if (!hooks->prepare(hooks->user, pass, r, row, header->rowBytes)) {
                status = GW_PNG_CANCELLED;
                goto done;
            }
            png_read_row(png, row, NULL);
            hooks->store(hooks->user, pass, r, row, header->rowBytes);
        }
    }
    png_read_end(png, NULL);

done:
    free(row);
    png_destroy_read_struct(&png, &info, NULL);
    return status;
}

enum GwPngStatus GwPngWrite(const struct GwPngIo* io, const struct GwPngWriteJob* job, char message[256]) {
    png_structp png;
    png_infop info;
    unsigned char* volatile row = NULL;
    png_color palette[256];
    png_color_16 background;
    int i, pass, passes;
    png_uint_32 r;

    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, OnError, OnWarning);
    if (!png) return GW_PNG_NO_STRUCT;
    info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, NULL);
        return GW_PNG_NO_INFO;
    }
    if (setjmp(png_jmpbuf(png))) {
        free(row);
        png_destroy_write_struct(&png, &info);
        return GW_PNG_FAILED;
    }
    png_set_write_fn(png, (png_voidp)io, OnWrite, OnFlush);
    if (job->deflateLevel >= 1 && job->deflateLevel <= 9) png_set_compression_level(png, job->deflateLevel);
    if (job->deflateMemLevel >= 1 && job->deflateMemLevel <= 9) png_set_compression_mem_level(png, job->deflateMemLevel);
    png_set_IHDR(png, info, job->width, job->height, job->bitDepth, job->colorType,
                 job->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (job->colorType == PNG_COLOR_TYPE_PALETTE) {
        for (i = 0; i < job->paletteSize && i < 256; ++i) {
            palette[i].red = job->palette[i][0];
            palette[i].green = job->palette[i][1];
            palette[i].blue = job->palette[i][2];
        }
        png_set_PLTE(png, info, palette, job->paletteSize);
        if (job->transSize > 0) png_set_tRNS(png, info, job->trans, job->transSize, NULL);
    }
    background.index = (png_byte)job->background[0];
    background.red = job->background[1];
    background.green = job->background[2];
    background.blue = job->background[3];
    background.gray = 0;
    png_set_bKGD(png, info, &background);
    png_set_pHYs(png, info, job->physX, job->physY, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    passes = job->interlaced ? png_set_interlace_handling(png) : 1;
    if (!job->rows) {
        row = (unsigned char*)malloc(job->bufferBytes ? job->bufferBytes : 1);
        if (!row) png_error(png, "Insufficient memory for a PNG row");
    }
    for (pass = 0; pass < passes; ++pass) {
        for (r = 0; r < job->height; ++r) {
            if (job->rows) {
                png_write_row(png, job->rows + (ptrdiff_t)r * job->rowStep);
            } else {
                job->fill(job->user, r, row);
                png_write_row(png, row);
            }
        }
    }
    png_write_end(png, info);
    free(row);
    png_destroy_write_struct(&png, &info);
    return GW_PNG_OK;
}

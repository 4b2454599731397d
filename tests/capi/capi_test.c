/* The C interface from a C89 program linked against the shared module: a symbol file is made,
 * read back as a picture and converted; a failure says why. Argument: a folder for the files.
 * Exits 0 when every check holds, else prints the failed checks and exits 1. */
#include <stdio.h>
#include <string.h>

#include "capi/glyphwell.h"

static int failures = 0;

static void Check(int ok, const char* what) {
    if (!ok) {
        char why[256];
        gw_last_error(why, (int)sizeof why);
        fprintf(stderr, "failed: %s (last error: %s)\n", what, why);
        ++failures;
    }
}

int main(int argc, char** argv) {
    char path[1024];
    char why[256];
    GwOptions options;
    GwSymbol* symbol = 0;
    GwPicture* picture = 0;
    int side;

    if (argc < 2 || strlen(argv[1]) > 900) return 2;
    sprintf(path, "%s/capi_c_symbol.png", argv[1]);

    gw_options_default(&options);
    Check(options.level == GW_LEVEL_H && options.mode == GW_MODE_BYTE && options.mask == -1, "defaults");
    options.level = GW_LEVEL_M;
    options.mode = GW_MODE_AUTOMATIC;
    Check(gw_encode((const unsigned char*)"TEL#\0NUL", 8, &options, &symbol) == GW_OK, "encode bytes");
    Check(gw_symbol_version(symbol) == 1 && gw_symbol_size(symbol) == 21, "version 1, 21 modules");
    Check(gw_symbol_module(symbol, 0, 0) == 1 && gw_symbol_module(symbol, 7, 7) == 0, "finder corner");
    Check(gw_symbol_module(symbol, 21, 0) == -1, "outside the symbol");

    Check(gw_paint_symbol(symbol, 4, 8, 0x000000, 0xFFFFFF, &picture) == GW_OK, "paint");
    side = 4 * 21 + 2 * 8;
    Check(gw_picture_width(picture) == side && gw_picture_height(picture) == side, "picture side");
    Check(gw_picture_bits(picture) == 1, "two colours make a 1-bit picture");
    Check(gw_picture_save(picture, path, GW_FORMAT_DETECT) == GW_OK, "save by the name's ending");
    gw_picture_free(picture);
    picture = 0;
    gw_symbol_free(symbol);

    Check(gw_picture_load(path, GW_FORMAT_DETECT, &picture) == GW_OK, "load the file back");
    Check(gw_picture_width(picture) == side, "loaded width");
    Check(gw_picture_convert(picture, 24) == GW_OK && gw_picture_bits(picture) == 24, "convert to 24 bits");
    gw_picture_free(picture);

    /* Failures say why and leave no handle. */
    options.mode = GW_MODE_NUMERIC;
    symbol = (GwSymbol*)&options;
    Check(gw_encode((const unsigned char*)"12A4", 4, &options, &symbol) == GW_ERROR_UNENCODABLE, "numeric refuses A");
    Check(symbol == 0, "no symbol after a failure");
    gw_last_error(why, (int)sizeof why);
    Check(strcmp(why, "numeric mode cannot hold byte 0x41 'A' at position 2") == 0, "the reason names byte and offset");
    Check(gw_encode_text("x", 0, 0) == GW_ERROR_ARGUMENT, "null output");
    Check(gw_picture_load("/nonexistent/file.png", GW_FORMAT_DETECT, &picture) == GW_ERROR_PICTURE && picture == 0,
          "missing file");
    Check(gw_last_error(0, 0) > 0, "a message for the missing file");

    sprintf(path, "%s/capi_c_one_call.gif", argv[1]);
    Check(gw_write_symbol_file("https://example.com/glyphwell", GW_LEVEL_Q, 3, 6, path) == GW_OK, "one-call file");
    Check(gw_last_error(0, 0) == 0, "no message after a success");
    return failures ? 1 : 0;
}

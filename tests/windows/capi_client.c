/* A caller of the C interface as other languages reach the Windows module (VBA's Declare, C#'s
 * DllImport, ctypes.WinDLL): nothing linked, the module loaded by path and every function looked
 * up by its plain name, then called in the header's convention. It writes a symbol file, reads
 * it back, gets the reason of a refusal, and unloads the module. Arguments: the module and the
 * PNG to write (zbar reads it afterwards). Exit 0 when every check holds. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "capi/glyphwell.h"

/* The text zbar must read back: UTF-8, ending in '#' (which the settings record would drop). */
static const char kText[] =
    "Glyphwell C on Windows: Gr\xC3\xBC\xC3\x9F"
    "e #";

typedef void(GW_CALL* OptionsDefaultFn)(GwOptions*);
typedef int(GW_CALL* EncodeFn)(const unsigned char*, int, const GwOptions*, GwSymbol**);
typedef int(GW_CALL* SymbolFn)(const GwSymbol*);
typedef int(GW_CALL* ModuleFn)(const GwSymbol*, int, int);
typedef void(GW_CALL* SymbolFreeFn)(GwSymbol*);
typedef int(GW_CALL* PaintFn)(const GwSymbol*, int, int, unsigned int, unsigned int, GwPicture**);
typedef int(GW_CALL* LoadFn)(const char*, int, GwPicture**);
typedef int(GW_CALL* ConvertFn)(GwPicture*, int);
typedef int(GW_CALL* SaveFn)(const GwPicture*, const char*, int);
typedef int(GW_CALL* PictureFn)(const GwPicture*);
typedef void(GW_CALL* PictureFreeFn)(GwPicture*);
typedef int(GW_CALL* LastErrorFn)(char*, int);

/* Every function the header declares, in its order; the program looks each one up. */
static const char* const kNames[] = {
    "gw_options_default",   "gw_encode",         "gw_encode_text",     "gw_symbol_size",
    "gw_symbol_version",    "gw_symbol_mask",    "gw_symbol_module",   "gw_symbol_free",
    "gw_paint_symbol",      "gw_picture_load",   "gw_picture_convert", "gw_picture_save",
    "gw_picture_width",     "gw_picture_height", "gw_picture_bits",    "gw_picture_free",
    "gw_write_symbol_file", "gw_last_error"};
#define NAME_COUNT (sizeof kNames / sizeof kNames[0])

/* What GetProcAddress found, held as the one function type that converts to any other. */
typedef void (*AnyFn)(void);
static AnyFn procs[NAME_COUNT];
static int failures = 0;

static AnyFn Proc(const char* name) {
    unsigned i;
    for (i = 0; i < NAME_COUNT; ++i)
        if (strcmp(kNames[i], name) == 0) return procs[i];
    return 0;
}

static void Check(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

int main(int argc, char** argv) {
    HMODULE module;
    unsigned i;
    GwOptions options;
    GwSymbol* symbol = 0;
    GwPicture* picture = 0;
    char why[256];
    int side = 0, picture_side = 0;

    if (argc != 3) {
        fprintf(stderr, "usage: capi_client MODULE OUT.png\n");
        return 2;
    }
    module = LoadLibraryA(argv[1]);
    if (!module) {
        fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
        return 1;
    }
    for (i = 0; i < NAME_COUNT; ++i) {
        procs[i] = (AnyFn)GetProcAddress(module, kNames[i]);
        if (!procs[i]) {
            fprintf(stderr, "the module does not export %s\n", kNames[i]);
            ++failures;
        }
    }
    if (failures) return 1;

    ((OptionsDefaultFn)Proc("gw_options_default"))(&options);
    Check(options.level == GW_LEVEL_H && options.mode == GW_MODE_BYTE && options.eci == -1, "defaults");
    options.level = GW_LEVEL_M;
    options.mode = GW_MODE_AUTOMATIC;
    Check(((EncodeFn)Proc("gw_encode"))((const unsigned char*)kText, (int)strlen(kText), &options, &symbol) ==
              GW_OK,
          "encode");
    if (symbol) {
        const int version = ((SymbolFn)Proc("gw_symbol_version"))(symbol);
        side = ((SymbolFn)Proc("gw_symbol_size"))(symbol);
        Check(version >= 1 && side == 17 + 4 * version, "the size follows the version");
        Check(((ModuleFn)Proc("gw_symbol_module"))(symbol, 0, 0) == 1, "the finder's dark corner");
        Check(((ModuleFn)Proc("gw_symbol_module"))(symbol, side, 0) == -1, "outside the symbol");
        Check(((PaintFn)Proc("gw_paint_symbol"))(symbol, 4, 16, 0x000000, 0xFFFFFF, &picture) == GW_OK,
              "paint");
        ((SymbolFreeFn)Proc("gw_symbol_free"))(symbol);
    }
    if (picture) {
        picture_side = 4 * side + 2 * 16;
        Check(((PictureFn)Proc("gw_picture_width"))(picture) == picture_side &&
                  ((PictureFn)Proc("gw_picture_height"))(picture) == picture_side,
              "picture side");
        Check(((PictureFn)Proc("gw_picture_bits"))(picture) == 1, "two colours make a 1-bit picture");
        Check(((SaveFn)Proc("gw_picture_save"))(picture, argv[2], GW_FORMAT_PNG) == GW_OK, "save");
        ((PictureFreeFn)Proc("gw_picture_free"))(picture);
        picture = 0;
    }
    Check(((LoadFn)Proc("gw_picture_load"))(argv[2], GW_FORMAT_DETECT, &picture) == GW_OK,
          "load the file back");
    if (picture) {
        Check(((PictureFn)Proc("gw_picture_width"))(picture) == picture_side, "loaded width");
        Check(((ConvertFn)Proc("gw_picture_convert"))(picture, 24) == GW_OK &&
                  ((PictureFn)Proc("gw_picture_bits"))(picture) == 24,
              "convert to 24 bits");
        ((PictureFreeFn)Proc("gw_picture_free"))(picture);
    }
    Check(((LastErrorFn)Proc("gw_last_error"))(0, 0) == 0, "no message after a success");

    /* A refusal gives its code, no handle, and the reason through the message function. */
    options.mode = GW_MODE_NUMERIC;
    symbol = (GwSymbol*)&options;
    Check(((EncodeFn)Proc("gw_encode"))((const unsigned char*)"12A4", 4, &options, &symbol) ==
              GW_ERROR_UNENCODABLE,
          "numeric mode refuses a letter");
    Check(symbol == 0, "no symbol after a failure");
    Check(((LastErrorFn)Proc("gw_last_error"))(why, (int)sizeof why) == (int)strlen(why) &&
              strcmp(why, "numeric mode cannot hold byte 0x41 'A' at position 2") == 0,
          "the reason names the byte and its position");
    Check(((LastErrorFn)Proc("gw_last_error"))(why, 8) ==
                  (int)strlen("numeric mode cannot hold byte 0x41 'A' at position 2") &&
              strcmp(why, "numeric") == 0,
          "a short buffer gets the message cut, the full length returned");

    /* A host unloads the module when it is done with it, this thread still running. */
    Check(FreeLibrary(module) != 0, "unload the module");
    if (!failures)
        printf("%u functions found by name; %d x %d picture written and read\n", (unsigned)NAME_COUNT,
               picture_side, picture_side);
    return failures ? 1 : 0;
}

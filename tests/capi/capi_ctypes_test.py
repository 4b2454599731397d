#!/usr/bin/env python3
"""The C interface from Python through ctypes: make a symbol file, read a picture back, read the
symbol with zbarimg, and get the reason of a refused text. Arguments: the shared module and a
folder for the files."""
import ctypes
import os
import subprocess
import sys


def main():
    lib = ctypes.CDLL(sys.argv[1])
    folder = sys.argv[2]
    lib.gw_last_error.argtypes = [ctypes.c_char_p, ctypes.c_int]
    lib.gw_encode.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(ctypes.c_void_p)]
    lib.gw_paint_symbol.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                    ctypes.POINTER(ctypes.c_void_p)]
    lib.gw_picture_save.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    lib.gw_picture_load.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(ctypes.c_void_p)]
    for name in ("gw_picture_width", "gw_picture_bits", "gw_symbol_size"):
        getattr(lib, name).argtypes = [ctypes.c_void_p]
    lib.gw_picture_free.argtypes = [ctypes.c_void_p]
    lib.gw_symbol_free.argtypes = [ctypes.c_void_p]

    def last_error():
        buffer = ctypes.create_string_buffer(256)
        lib.gw_last_error(buffer, 256)
        return buffer.value.decode()

    text = "Grüße aus Glyphwell #1".encode("utf-8")
    symbol = ctypes.c_void_p()
    assert lib.gw_encode(text, len(text), None, ctypes.byref(symbol)) == 0, last_error()
    picture = ctypes.c_void_p()
    # Dark blue on a light yellow background, margin 8: three colours, a 24-bit picture.
    assert lib.gw_paint_symbol(symbol, 5, 8, 0x800000, 0xCCFFFF, ctypes.byref(picture)) == 0, last_error()
    side = 5 * lib.gw_symbol_size(symbol) + 16
    assert lib.gw_picture_width(picture) == side
    assert lib.gw_picture_bits(picture) == 24
    path = os.path.join(folder, "capi_python_symbol.bmp")
    assert lib.gw_picture_save(picture, path.encode(), 0) == 0, last_error()
    lib.gw_picture_free(picture)
    lib.gw_symbol_free(symbol)

    loaded = ctypes.c_void_p()
    assert lib.gw_picture_load(path.encode(), 0, ctypes.byref(loaded)) == 0, last_error()
    assert lib.gw_picture_width(loaded) == side
    lib.gw_picture_free(loaded)
    read = subprocess.run(["zbarimg", "--raw", "-q", "-Sbinary", path], capture_output=True)
    assert read.returncode == 0 and read.stdout.rstrip(b"\n") == text, read

    options = (ctypes.c_int * 10)()
    lib.gw_options_default(options)
    options[1] = 3  # kanji
    refused = b"\x88\x3f"
    assert lib.gw_encode(refused, 2, options, ctypes.byref(symbol)) == 2
    assert symbol.value is None
    assert last_error() == "kanji mode cannot hold byte 0x3F '?' at position 1", last_error()
    print("ok")


if __name__ == "__main__":
    main()

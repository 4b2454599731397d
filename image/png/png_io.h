// Byte I/O between the libpng shim and a GwFile. Internal to image/png.
#pragma once

#include "image/png/png_shim.h"

class GwFile;

// An I/O record whose hooks read, write and flush the given stream.
GwPngIo GwPngStreamIo(GwFile* file);

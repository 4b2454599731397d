// The renderer of the settings record's road: runs the symbol pipeline on a record and paints
// the finished symbol through the one rasteriser (symbol_picture.h) as a square
// screen-compatible bitmap, one solid square of pixels per module inside a white margin. The
// host copies the bitmap into its own image and then releases it.
#pragma once

#include <cstdint>

#include "encoder/matrix.h"
#include "encoder/settings.h"
#include "encoder/symbol.h"
#include "picture/symbol_picture.h"
#include "platform/win32.h"

// The largest raster side the renderer paints: 8192 pixels, a 256 MiB screen-compatible bitmap
// and a 192 MiB copy in the host's image, what a 32-bit host can still hold. A module size of
// 46 at version 40 with the default margin fits. Properties and stored state alike are held
// to it, so whatever a control draws and saves, it can load again.
constexpr int QRCODE_MAX_RASTER_SIDE = GW_MAX_SYMBOL_PICTURE_SIDE;

// The renderer's colour test for a finished symbol's cell: dark when any of the bits 0xF0 is
// set (no cell is unassigned by then).
inline bool QRCodeRendersDark(int32_t value) {
    return (value & 0xF0) != 0;
}

// The finished matrix of a record's run as a symbol value, dark as QRCodeRendersDark says;
// version and size from the matrix, level from the record. The mask and the segments are not
// known on this road: mask is -1 and segments empty.
QRCodeSymbol QRCodeSymbolOfMatrix(const SymbolMatrix& matrix, int32_t level);

// How the record paints: its module size, margin and colours, in 24 bits, nothing transparent.
GwSymbolLook QRCodeLookOf(const QRCodeSettings& settings);

// Encodes settings->text once (writing settings->selectedVersion) and paints an N x N bitmap,
// N = pixelSize * modules + 2 * margin: module (x, y) covers the pixels margin + x * pixelSize
// .. + pixelSize - 1 in each direction, in foregroundColor when dark and backgroundColor when
// light (0x00BBGGRR); every other pixel is white. The previous bitmap is released first.
// The bitmap stays owned by the renderer until QRCodeReleaseBitmap or the next rendering on the
// same thread: read or copy it, never delete it. Returns null, leaving any kept bitmap
// untouched, when the text cannot be encoded; returns null, with nothing kept, when the bitmap
// cannot be created (larger than QRCODE_MAX_RASTER_SIDE, or too large for the GDI). Each thread
// keeps its own bitmap: renderings on different threads may overlap, renderings on one thread
// never do.
HBITMAP QRCodeRenderBitmap(QRCodeSettings* settings);

// Deletes this thread's kept memory context and bitmap, if any, and empties both slots. Returns 0.
int QRCodeReleaseBitmap();

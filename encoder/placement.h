// Codeword placement: writes the final codeword sequence bit by bit into the empty data
// positions of a laid-out matrix, in two-module-wide strips from the bottom-right corner,
// upwards and downwards in turn, right module before left, passing over every other cell.
#pragma once

#include <cstdint>

#include "encoder/matrix.h"

// Places `count` codewords (bits 7..0 of each element, most significant first) into the cells
// that hold CELL_EMPTY, as CELL_DATA_DARK (bit 1) or CELL_DATA_LIGHT (bit 0). Cells left over
// (the version's remainder bits) stay CELL_EMPTY. Bits that find no empty cell are dropped:
// placement stops when its cursors run off the left edge, so it never writes outside the
// symbol. The pipeline passes the count left by QRCodeCreateCodewords.
void QRCodePlaceCodewords(SymbolMatrix* m, const int32_t* codewords, int count);

// The cells a version's codeword bits go to, in placement order, as indices
// x * kSymbolMatrixCapacity + y; *count receives how many. Null (and *count 0) until the
// version's layout is kept (see QRCodeVersionLayout); from then on made once and only read,
// from any thread.
const uint16_t* QRCodePlacementOrder(int version, int32_t* count);

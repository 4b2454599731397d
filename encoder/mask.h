// Masking: scores the eight data masks of a placed symbol with four penalty rules, picks the
// lowest total, writes the final format and version information and applies the mask.
// The rules, weights and tie-break decide which of eight valid symbols is printed.
#pragma once

#include <cstdint>

#include "encoder/matrix.h"

// True when mask k (0..7) inverts the data module in row i, column j (i, j >= 0).
// Any other k inverts nothing.
bool QRCodeMaskInverts(int k, int i, int j);

// Returns a new width x height masked copy of the symbol, column by column with stride height
// (module (x, y) at x * height + y), allocated with malloc; the caller frees it with free().
// Data cells (CELL_EMPTY, CELL_DATA_LIGHT, CELL_DATA_DARK) come out as CELL_DATA_DARK or
// CELL_DATA_LIGHT, inverted where mask k applies (an empty cell counts as light); every other
// cell is copied unchanged. The matrix is not changed. Returns null if allocation fails.
int32_t* QRCodeApplyMask(const SymbolMatrix* m, int k);

// Scores a compact cell array in the layout of QRCodeApplyMask, using the colour rule of
// QRCodeIsDark. scores[0..3] receive rules 1 to 4: runs of five or more (L - 2 each),
// 2 x 2 blocks of one colour (3 each), dark-light-dark-dark-dark-light-dark bordered by a light
// module or the edge on both sides (40 each), and the dark-share deviation (10 per step of 5
// beyond 5 percent). width and height must be positive.
void QRCodeScorePenalties(const int32_t* cells, int width, int height, int32_t scores[4]);

// Scores all eight masks in order, writes one trace line per mask ("%d %d %d %d\t" then a line
// break) through QRCodeTrace, and returns the mask with the lowest total; among equal totals
// the lowest mask number wins. The format and version areas are scored as they stand
// (reserved: all light apart from the dark module).
int QRCodeChooseMask(const SymbolMatrix* m);

// QRCodeChooseMask without the trace lines: the scores go to scores[0..7] when it is not null.
int QRCodeScoreMasks(const SymbolMatrix* m, int32_t (*scores)[4]);

// Finishes a placed symbol with mask k (0..7): writes the format information for
// (level bits * 8 + k) with the level mapped as below and the version information, and applies
// the mask to the data cells, an empty cell counting as light. Afterwards no cell holds
// CELL_EMPTY. The same cells as masking module by module with QRCodeMaskInverts.
void QRCodeFinishWithMask(SymbolMatrix* m, int level, int k);

// QRCodeScoreMasks, then QRCodeFinishWithMask with the mask it returns, reading the cells once.
int QRCodeScoreAndFinish(SymbolMatrix* m, int level, int32_t (*scores)[4]);

// Finishes a placed symbol: chooses the mask, writes the format information for
// (level bits * 8 + mask) with level 0..3 = L, M, Q, H mapped to the bits 01, 00, 11, 10
// (any other level to 00), writes the version information, and applies the mask to the data
// cells. Afterwards no cell holds CELL_EMPTY.
void QRCodeMaskSymbol(SymbolMatrix* m, int level);

// Versions a kept layout can serve (see QRCodeVersionLayout).
constexpr int QRCODE_LAYOUT_VERSIONS = 40;

// Lays out, places `count` codewords, masks and finishes a symbol of `version` in one go once
// the version's layout is kept: the same cells as QRCodeInitMatrix, QRCodePlaceCodewords and
// then QRCodeFinishWithMask with mask k (0..7), or with k -1 QRCodeScoreAndFinish (the eight
// masks' scores to scores[0..7] when it is not null). When `rows` is not null it receives the
// symbol's colours as QRCodeModuleBytes gives them (side * side bytes); with `cells` false only
// they are written, and of *m only its version, width and height. Returns the mask applied, or -1
// with *m and rows untouched while the version's layout is not kept (or a table could not be
// made): the caller then takes those steps itself.
int QRCodePlaceAndMask(SymbolMatrix* m, int version, const int32_t* codewords, int count, int level, int k,
                       int32_t (*scores)[4], uint8_t* rows = nullptr, bool cells = true);

// The colours of a matrix of valid size row by row into out (width * height bytes): module
// (x, y) at out[y * width + x], 1 for a dark cell by QRCodeIsDark, else 0. Writes nothing for a
// size outside the grid.
void QRCodeModuleBytes(const SymbolMatrix* m, uint8_t* out);

// The road every symbol takes, shared by the value API and the settings record's adapter: the
// data cut into stretches at its ECI marks, the forced-mode check, the bit stream, the version
// search, codewords, placement and mask. Internal to the encoder.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/matrix.h"
#include "encoder/symbol.h"

struct QRCodeBuild {
    // In: a request the value API has validated, or one filled from a settings record, whose
    // out-of-range header fields are written by their low bits and whose mode outside 0..4
    // writes no data segment. minVersion below 1 counts as 1.
    const QRCodeRequest* request = nullptr;
    bool structuredAppend = false;  // write the header with the request's position and total
    // Write the eight masks' penalty lines to the diagnostic sink when the mask is chosen (the
    // record's road); otherwise the mask is chosen without a word.
    bool traced = false;
    std::vector<QRCodeSegment>* segments = nullptr;  // when set, receives the segments written
    // Keep the symbol's colours row by row (one byte per module, 1 dark) in the working memory
    // when the road has them at hand; modulesWritten says whether it did.
    bool modules = false;
    // With modules: the caller reads the colours only, so the matrix's cells may be left unwritten
    // where the row bytes are (only its version, width and height are then set).
    bool modulesOnly = false;

    // Out.
    QRCodeError error;
    int32_t mask = -1;  // the mask applied
    bool modulesWritten = false;
};

// The road's working memory besides the matrix (the data's values, the bit stream, the
// codewords): one run at a time; its arrays keep their room for the next run.
struct QRCodeWork;
QRCodeWork* QRCodeNewWork();  // null when memory runs out
void QRCodeFreeWork(QRCodeWork* work);

// Builds the symbol of build->request into *m with the working memory *work; false with
// build->error set: UNENCODABLE, INVALID_OPTION "minVersion" for a first version above 40 (after
// the forced-mode check), TOO_LONG, or NO_MEMORY. Reads and writes nothing else. Takes nothing
// from the heap once *work has served data as long (and, in automatic mode, segments as many).
bool QRCodeBuildSymbolInto(QRCodeBuild* build, QRCodeWork* work, SymbolMatrix* m);

// The same as a new malloc'd matrix the caller frees, or null with build->error set, with
// working memory kept per thread (runs on one thread never overlap).
SymbolMatrix* QRCodeBuildSymbol(QRCodeBuild* build);

// QRCodeEncode, with the penalty lines written to the diagnostic sink when `traced`.
QRCodeResult QRCodeEncodeWith(const QRCodeRequest& request, bool traced);

// The forced-mode check alone: QRCODE_ERROR_UNENCODABLE with the byte, NO_MEMORY, or NONE.
QRCodeError QRCodeCheckData(const QRCodeRequest& request);

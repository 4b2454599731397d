// The encoder as a library: a request value in, a symbol value or an error value that says why
// out. The request holds the data as any bytes with their length (NUL and '#' are data like any
// other byte) and every choice of the symbol; nothing outside the request and the result is read
// or written (no settings record, no module-wide or per-thread state, no diagnostic lines), so
// any number of threads may encode at once without a lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/settings.h"
#include "encoder/tables.h"

// A change of character set inside the data: from byte `offset` on (0 .. length) the data is in
// the character set of ECI assignment `number` (0 .. 999999), written as an ECI header at that
// point, so that readers switch there.
struct QRCodeEciMark {
    int32_t offset;
    int32_t number;
};

// What to encode and how. Start from the defaults below and set what differs.
struct QRCodeRequest {
    const unsigned char* data = nullptr;  // `length` bytes, read only during QRCodeEncode
    int32_t length = 0;                   // 0 or more; null data needs length 0
    int32_t level = QRCODE_LEVEL_H;       // QRCodeLevel, 0 = L .. 3 = H
    int32_t mode = QRCODE_MODE_BYTE;      // QRCodeEncodeMode 0..4; 4 = automatic segmentation
    // The smallest version from minVersion to maxVersion (1 <= min <= max <= 40) that holds the
    // data; min == max asks for exactly that version.
    int32_t minVersion = 1;
    int32_t maxVersion = QRCODE_VERSION_COUNT;
    int32_t eci = -1;                      // ECI assignment of the whole data (0..999999), -1 none
    const QRCodeEciMark* eciMarks = nullptr;  // switches inside the data, offsets ascending
    int32_t eciMarkCount = 0;
    int32_t fnc1 = 0;                 // 0 none, 1 FNC1 in first position, 2 in second position
    int32_t applicationIndicator = 0;  // with fnc1 2: 0..255
    // Structured append: symbol appendPosition of appendTotal (1 <= position <= total <= 16);
    // appendTotal 0 writes no structured-append header.
    int32_t appendPosition = 0;
    int32_t appendTotal = 0;
    int32_t mask = -1;  // data mask 0..7, or -1 for the one with the lowest penalty
};

// One data segment of the symbol, in the order written: its mode (numeric, alphanumeric, byte
// or kanji as QRCodeEncodeMode), the ECI assignment switched to just before it (-1 none) and
// the data bytes it holds.
struct QRCodeSegment {
    int32_t mode;
    int32_t eci;
    int32_t offset;
    int32_t length;
};

// A finished symbol. modules holds size x size entries, row by row from the top-left corner,
// 1 for a dark module and 0 for a light one; the quiet zone is not included.
struct QRCodeSymbol {
    int32_t version = 0;  // 1..40
    int32_t size = 0;     // modules per side, 17 + 4 * version
    int32_t level = 0;    // as requested
    int32_t mask = 0;     // the mask applied, 0..7
    std::vector<uint8_t> modules;
    std::vector<QRCodeSegment> segments;

    bool Dark(int32_t x, int32_t y) const { return modules[static_cast<size_t>(y) * size + x] != 0; }
};

enum QRCodeErrorKind : int32_t {
    QRCODE_ERROR_NONE = 0,
    QRCODE_ERROR_INVALID_OPTION = 1,  // `option` names the request field that is out of range
    QRCODE_ERROR_UNENCODABLE = 2,     // the forced mode cannot hold `byte` at `offset`
    QRCODE_ERROR_TOO_LONG = 3,        // no version of minVersion..maxVersion holds the data
    QRCODE_ERROR_NO_MEMORY = 4,
};

struct QRCodeError {
    QRCodeErrorKind kind = QRCODE_ERROR_NONE;
    const char* option = nullptr;  // INVALID_OPTION: "level", "mode", "minVersion", ...
    int32_t offset = -1;           // UNENCODABLE: data offset of the byte
    int32_t byte = -1;             //   and the byte (0..255)
    int32_t mode = -1;             //   and the mode that refused it;
    bool unpaired = false;         //   kanji: a first byte with no second byte in its stretch
    int32_t minVersion = 0;        // TOO_LONG: the versions tried
    int32_t maxVersion = 0;
    int32_t bitsNeeded = 0;        //   bits of headers and data at maxVersion; when
    bool bitsNeededAtLeast = false;  //   true, the data needs more than bitsNeeded bits
    int32_t bitsAvailable = 0;     //   data bits of maxVersion at the level
};

// Either a symbol (error.kind NONE) or the error.
struct QRCodeResult {
    QRCodeError error;
    QRCodeSymbol symbol;
    bool Ok() const { return error.kind == QRCODE_ERROR_NONE; }
};

// Encodes the request: validates every field (first failing field reported), refuses data a
// forced numeric, alphanumeric or kanji mode cannot hold (kanji takes Shift-JIS byte pairs
// within each stretch between ECI marks), chooses the version and the mask, and returns the
// symbol. Never throws, never writes diagnostics, touches nothing but its result.
QRCodeResult QRCodeEncode(const QRCodeRequest& request);

// Working memory for encoding symbol after symbol on one thread: the bit stream, the codewords
// and the matrix of a run, kept for the next. With the same workspace and the same result,
// QRCodeEncodeInto takes nothing from the heap once it has made a symbol at least as large
// from data at least as long (the result's arrays keep their room too). A workspace serves one
// call at a time; it holds nothing a later symbol depends on.
struct QRCodeWorkspace;
QRCodeWorkspace* QRCodeNewWorkspace();  // about 440 KB; null when memory runs out
void QRCodeFreeWorkspace(QRCodeWorkspace* workspace);  // null is allowed

// QRCodeEncode into *result, whose previous contents are replaced (their storage reused), with
// the working memory of *workspace (null: a workspace of its own for this call). Returns
// result->Ok().
bool QRCodeEncodeInto(const QRCodeRequest& request, QRCodeWorkspace* workspace, QRCodeResult* result);

// One line of English saying why, without a trailing newline: e.g. "kanji mode cannot hold byte
// 0x3F '?' at position 1", "the data needs 1868 bits but versions 1-9 at level L hold at most
// 1856 (12 bits too many)", "invalid option: level". "" for QRCODE_ERROR_NONE.
std::string QRCodeDescribeError(const QRCodeError& error, int32_t level);

// Name of a mode ("numeric", "alphanumeric", "byte", "kanji", "automatic"), "?" otherwise.
const char* QRCodeModeName(int32_t mode);

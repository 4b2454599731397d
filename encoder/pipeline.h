// The encoder's single entry: from a filled settings record to a finished symbol matrix.
// Prepares the text, writes the bit stream, chooses the version, builds the codewords and lays
// out, fills and masks the matrix.
#pragma once

#include "encoder/matrix.h"
#include "encoder/settings.h"
#include "encoder/symbol.h"

// Returns a new malloc'd SymbolMatrix the caller frees with free(), or null when the run fails.
// Writes settings->selectedVersion; uses settings->eciValues during the run only (null again on
// return, whatever it held before). Failures, with the line written to the diagnostic sink:
//  - the data fit no version from the preferred one up to 40 at the level, a preferred version
//    above 40 with the version search on, or a text with no end mark in the field (more than
//    QRCODE_TEXT_MAX bytes): "Could not find any version to encode ";
//  - with the version search off, the data exceed the chosen version: "Too many codewords";
//  - silently: a forced numeric, alphanumeric or kanji mode that cannot hold every byte of the
//    text (see QRCodeFirstUnencodable), a level outside 0-3, a preferred version above 40 with the search off, memory
//    exhaustion.
// The encoder's working state (tilde buffer, codeword count, mask line buffers) is kept per
// thread: runs on different threads may overlap, each with its own record; runs on one thread
// never do.
SymbolMatrix* QRCodeMakeSymbol(QRCodeSettings* settings);

// QRCodeMakeSymbol that also says why a run fails, in the value API's terms: *why is the
// error of the run (kind NONE with a symbol): UNENCODABLE with the byte and its offset in the
// text after escapes, TOO_LONG with the versions tried and the bits, INVALID_OPTION "level" for
// a level outside 0-3, "minVersion" for a preferred version above 40, "text" for a text with
// no end mark, or NO_MEMORY. Diagnostic lines as QRCodeMakeSymbol.
SymbolMatrix* QRCodeMakeSymbolExplained(QRCodeSettings* settings, QRCodeError* why);

// The value API's request on the record's road, for hosts that show the encoder's diagnostic
// lines (the command line's --trace): QRCodeEncode's result, with the lines QRCodeMakeSymbol
// writes for the same symbol -- the eight penalty lines when a mask is chosen and, when the data
// fit no version, "Too many codewords" for a request of one version, else "Could not find any
// version to encode ". Reads and writes no settings record.
QRCodeResult QRCodeEncodeTraced(const QRCodeRequest& request);

// Where the text stops being encodable in a forced mode: the offset of the first byte of the
// text (after tilde escapes when processTilde is set) that the numeric, alphanumeric or kanji
// mode cannot hold (in kanji mode, the first byte of a pair when it is no lead byte or has no
// second byte before the text or a ~e escape ends, else the second byte), or
// -1 when the mode holds the whole text; always -1 for the byte and automatic modes. A text with
// an offset here makes QRCodeMakeSymbol fail. Leaves the record as it was (eciValues null).
int32_t QRCodeFirstUnencodable(QRCodeSettings* settings);

// The encoder's single entry: from a filled settings record to a finished symbol matrix.
// Prepares the text, writes the bit stream, chooses the version, builds the codewords and lays
// out, fills and masks the matrix.
#pragma once

#include "encoder/matrix.h"
#include "encoder/settings.h"

// Returns a new malloc'd SymbolMatrix the caller frees with free(), or null when the run fails.
// Writes settings->selectedVersion; uses settings->eciValues during the run only (null again on
// return, whatever it held before). Failures, with the line written to the diagnostic sink:
//  - the data fit no version from the preferred one up to 40 at the level, a preferred version
//    above 40 with the version search on, or a text with no end mark in the field (more than
//    QRCODE_TEXT_MAX bytes): "Could not find any version to encode ";
//  - with the version search off, the data exceed the chosen version: "Too many codewords";
//  - silently: a level outside 0-3, a preferred version above 40 with the search off, memory
//    exhaustion.
// Not reentrant: module-wide state (tilde buffer, codeword count) means runs must not overlap.
SymbolMatrix* QRCodeMakeSymbol(QRCodeSettings* settings);

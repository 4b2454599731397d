// Where the encoder's diagnostic lines go: the per-mask penalty scores and the two failure
// messages. Standard output by default, as always; a host that wants silence (the command
// line's --quiet, the benchmarks) points the sink elsewhere or passes null to discard.
#pragma once

#include <cstdio>

// Returns the current sink, or null when diagnostics are discarded.
FILE* QRCodeTraceStream();

// Replaces the sink; null discards every diagnostic line. Not thread-safe: set it once,
// before encoding starts (encoding runs never overlap anyway).
void QRCodeSetTraceStream(FILE* stream);

// printf-style write to the sink; does nothing when diagnostics are discarded.
void QRCodeTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

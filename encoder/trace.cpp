// The diagnostic sink of the encoder (see trace.h).
#include "encoder/trace.h"

#include <cstdarg>

namespace {
bool g_replaced = false;
FILE* g_stream = nullptr;
}  // namespace

FILE* QRCodeTraceStream() { return g_replaced ? g_stream : stdout; }

void QRCodeSetTraceStream(FILE* stream) {
    g_replaced = true;
    g_stream = stream;
}

void QRCodeTrace(const char* format, ...) {
    FILE* out = QRCodeTraceStream();
    if (!out) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
}

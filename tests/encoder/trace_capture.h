// Test helper: points the encoder's diagnostic sink at a temporary file for the lifetime of
// the object and reads back what was written.
#pragma once

#include <cstdio>
#include <string>

#include "encoder/trace.h"

class TraceCapture {
public:
    TraceCapture() : file_(std::tmpfile()), previous_(QRCodeTraceStream()) { QRCodeSetTraceStream(file_); }
    ~TraceCapture() {
        QRCodeSetTraceStream(previous_);
        if (file_) std::fclose(file_);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Everything written since the capture began.
    std::string Text() {
        std::string text;
        if (!file_) return text;
        std::fflush(file_);
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
        std::fseek(file_, 0, SEEK_END);  // a later write must not follow a read unpositioned
        return text;
    }

private:
    FILE* file_;
    FILE* previous_;
};

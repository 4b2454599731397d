// The settings record's road: the record becomes a request for the shared symbol road, and the
// road's errors become the record's diagnostic lines and null.
#include "encoder/pipeline.h"

#include <cstdlib>

#include "encoder/input.h"
#include "encoder/symbol_build.h"
#include "encoder/tables.h"
#include "encoder/trace.h"

namespace {

const char kNoVersionMessage[] = "Could not find any version to encode \n";

// The request of a record: its text (after escapes when they are on), its ~e escapes as ECI
// marks, and its fields as they stand (the road writes out-of-range headers by their low bits).
class RecordRequest {
public:
    RecordRequest() = default;
    RecordRequest(const RecordRequest&) = delete;
    RecordRequest& operator=(const RecordRequest&) = delete;
    ~RecordRequest() { std::free(marks_); }

    // False when memory runs out. With escapes on, the record's eciValues are set and the caller
    // frees them.
    bool Fill(QRCodeSettings* s, int32_t length) {
        const unsigned char* text = reinterpret_cast<const unsigned char*>(s->text);
        const int32_t rawLength = length;
        if (s->processTilde) {
            text = QRCodeProcessTilde(s, text, &length);
            if (!text) return false;
            // Marks lie at output positions 0 .. length; the array has one entry per input byte,
            // and an escape that marks the end consumed eight of them, so the entry exists.
            const int32_t end = length < rawLength ? length + 1 : rawLength;
            int32_t count = 0;
            for (int32_t k = 0; k < end; ++k) count += s->eciValues[k] >= 0;
            if (count) {
                marks_ = static_cast<QRCodeEciMark*>(std::malloc(sizeof(QRCodeEciMark) * static_cast<size_t>(count)));
                if (!marks_) return false;
                for (int32_t k = 0; k < end; ++k)
                    if (s->eciValues[k] >= 0) marks_[request.eciMarkCount++] = QRCodeEciMark{k, s->eciValues[k]};
            }
        }
        request.data = text;
        request.length = length;
        request.eciMarks = marks_;
        request.level = s->correctionLevel;
        request.mode = s->encodeMode;
        request.minVersion = s->preferredVersion < 1 ? 1 : s->preferredVersion;
        request.maxVersion = s->autoConfigurate ? QRCODE_VERSION_COUNT : request.minVersion;
        request.eci = s->eciMode < 0 ? -1 : s->eciMode;
        request.fnc1 = s->fnc1Mode;
        request.applicationIndicator = s->applicationIndicator;
        request.appendPosition = s->appendPosition;
        request.appendTotal = s->appendTotal;
        return true;
    }

    QRCodeRequest request;

private:
    QRCodeEciMark* marks_ = nullptr;
};

void FreeEciValues(QRCodeSettings* s) {
    std::free(s->eciValues);
    s->eciValues = nullptr;
}

}  // namespace

int32_t QRCodeFirstUnencodable(QRCodeSettings* settings) {
    const int32_t length = QRCodeTextLength(settings);
    settings->eciValues = nullptr;
    if (length > QRCODE_TEXT_MAX) return -1;
    RecordRequest r;
    int32_t offset = -1;
    if (r.Fill(settings, length)) {
        const QRCodeError error = QRCodeCheckData(r.request);
        if (error.kind == QRCODE_ERROR_UNENCODABLE) offset = error.offset;
    }
    FreeEciValues(settings);
    return offset;
}

QRCodeResult QRCodeEncodeTraced(const QRCodeRequest& request) {
    QRCodeResult result = QRCodeEncodeWith(request, true);
    if (result.error.kind == QRCODE_ERROR_TOO_LONG)
        QRCodeTrace(request.minVersion == request.maxVersion ? "Too many codewords\n" : kNoVersionMessage);
    return result;
}

SymbolMatrix* QRCodeMakeSymbol(QRCodeSettings* settings) {
    QRCodeError why;
    return QRCodeMakeSymbolExplained(settings, &why);
}

SymbolMatrix* QRCodeMakeSymbolExplained(QRCodeSettings* settings, QRCodeError* why) {
    const int32_t length = QRCodeTextLength(settings);
    settings->eciValues = nullptr;
    *why = QRCodeError();
    // A level outside the tables has no capacity and no format bits; nothing sensible can be
    // made of it.
    if (!QRCodeValidLevel(settings->correctionLevel)) {
        why->kind = QRCODE_ERROR_INVALID_OPTION;
        why->option = "level";
        return nullptr;
    }
    // A text with no end mark in the field has no defined length, so it is not encoded at all
    // rather than cut at an arbitrary point.
    if (length > QRCODE_TEXT_MAX) {
        QRCodeTrace(kNoVersionMessage);
        why->kind = QRCODE_ERROR_INVALID_OPTION;
        why->option = "text";
        return nullptr;
    }
    RecordRequest r;
    if (!r.Fill(settings, length)) {
        FreeEciValues(settings);
        why->kind = QRCODE_ERROR_NO_MEMORY;
        return nullptr;
    }
    QRCodeBuild build;
    build.request = &r.request;
    build.structuredAppend = settings->structuredAppend != 0;
    build.traced = true;
    SymbolMatrix* m = QRCodeBuildSymbol(&build);
    FreeEciValues(settings);
    *why = build.error;
    if (m) {
        settings->selectedVersion = m->version;
        return m;
    }
    // A forced mode that cannot hold the text and a failed allocation end the run silently.
    if (build.error.kind == QRCODE_ERROR_INVALID_OPTION) {
        if (settings->autoConfigurate) QRCodeTrace(kNoVersionMessage);  // a first version above 40
    } else if (build.error.kind == QRCODE_ERROR_TOO_LONG) {
        QRCodeTrace(settings->autoConfigurate ? kNoVersionMessage : "Too many codewords\n");
    }
    return nullptr;
}

// Automatic mode analysis and segment writing.
#include "encoder/segmentation.h"

#include <cstdlib>

#include "encoder/segments.h"

namespace {

bool IsExclusiveAlphanumeric(int32_t c) { return QRCodeIsAlphanumeric(c) && !QRCodeIsDigit(c); }
bool IsExclusiveByte(int32_t c) { return !QRCodeIsAlphanumeric(c); }

bool InClass(int32_t c, int32_t charClass) {
    return charClass == QRCODE_CLASS_DIGIT ? QRCodeIsDigit(c) : IsExclusiveAlphanumeric(c);
}

// Window lengths of each test for versions 1-8, 9-26 and 27-40. The switch points differ from
// the character-count groups (version 9 looks ahead like the middle group) on purpose: the
// longer windows only pay off once the counts are wider, and the tables were tuned that way.
struct Windows {
    int32_t w1, w2, w3;
};
constexpr Windows kStartAlphanumeric = {6, 7, 8};
constexpr Windows kStartDigitShort = {4, 4, 5};
constexpr Windows kStartDigitLong = {6, 7, 8};
constexpr Windows kByteToNumeric = {6, 8, 9};
constexpr Windows kByteToAlphanumeric = {11, 15, 16};
constexpr Windows kAlphanumericToNumeric = {13, 15, 17};

// The run tests of one mode assignment, answered from the end of the current run of each class
// instead of by walking the window every time. Tests come at non-decreasing positions, so the
// run end found for an earlier position still holds for a later one inside the same run, and
// every character is classified about once per class. The answers equal QRCodeRunTest's.
class RunTests {
public:
    RunTests(const int32_t* values, int32_t count, int32_t version) : values_(values), count_(count), version_(version) {}

    int32_t Run(const Windows& w, int32_t charClass, int32_t p) {
        const int32_t window = version_ <= 8 ? w.w1 : version_ <= 26 ? w.w2 : w.w3;
        const int32_t end = RunEnd(charClass == QRCODE_CLASS_DIGIT ? 0 : 1, charClass, p);
        if (end - p >= window) return QRCODE_RUN_FULL;
        if (end >= count_) return QRCODE_RUN_TOO_SHORT;
        return values_[end];
    }

private:
    // First position at or after p whose value is not in the class (or the count).
    int32_t RunEnd(int slot, int32_t charClass, int32_t p) {
        int32_t& end = ends_[slot];
        if (end < p) {
            end = p;
            while (end < count_ && InClass(values_[end], charClass)) ++end;
        }
        return end;
    }

    const int32_t* values_;
    int32_t count_;
    int32_t version_;
    int32_t ends_[2] = {-1, -1};  // digit, exclusive alphanumeric
};

}  // namespace

int32_t QRCodeRunTest(int32_t w1, int32_t w2, int32_t w3, int32_t charClass, int32_t version,
                      const int32_t* values, int32_t count, int32_t p) {
    const int32_t w = version <= 8 ? w1 : version <= 26 ? w2 : w3;
    for (int32_t i = 0; i < w; ++i) {
        if (p + i >= count) return QRCODE_RUN_TOO_SHORT;
        if (!InClass(values[p + i], charClass)) return values[p + i];
    }
    return QRCODE_RUN_FULL;
}

int32_t QRCodeModeRun(const int32_t* modes, int32_t count, int32_t p) {
    int32_t n = 0;
    while (p + n < count && modes[p + n] == modes[p]) ++n;
    return n;
}

void QRCodeAssignModes(const int32_t* values, int32_t count, int32_t version, int32_t* modes) {
    if (count <= 0) return;
    RunTests tests(values, count, version);
    int32_t state;
    const int32_t first = values[0];
    if (IsExclusiveByte(first)) {
        state = QRCODE_SEGMENT_BYTE;
    } else if (IsExclusiveAlphanumeric(first)) {
        const int32_t r = tests.Run(kStartAlphanumeric, QRCODE_CLASS_EXCLUSIVE_ALPHANUMERIC, 0);
        state = r >= 0 ? QRCODE_SEGMENT_BYTE : QRCODE_SEGMENT_ALPHANUMERIC;
    } else {
        const int32_t r = tests.Run(kStartDigitShort, QRCODE_CLASS_DIGIT, 0);
        if (r >= 0 && IsExclusiveByte(r)) {
            state = QRCODE_SEGMENT_BYTE;
        } else {
            const int32_t r2 = tests.Run(kStartDigitLong, QRCODE_CLASS_DIGIT, 0);
            state = r2 >= 0 && QRCodeIsAlphanumeric(r2) ? QRCODE_SEGMENT_ALPHANUMERIC : QRCODE_SEGMENT_NUMERIC;
        }
    }

    for (int32_t i = 0; i < count; ++i) {
        modes[i] = state;
        if (i + 1 >= count) break;
        const int32_t next = values[i + 1];
        switch (state) {
            case QRCODE_SEGMENT_BYTE:
                if (tests.Run(kByteToNumeric, QRCODE_CLASS_DIGIT, i + 1) == QRCODE_RUN_FULL)
                    state = QRCODE_SEGMENT_NUMERIC;
                if (tests.Run(kByteToAlphanumeric, QRCODE_CLASS_EXCLUSIVE_ALPHANUMERIC, i + 1) ==
                    QRCODE_RUN_FULL)
                    state = QRCODE_SEGMENT_ALPHANUMERIC;
                break;
            case QRCODE_SEGMENT_ALPHANUMERIC:
                if (IsExclusiveByte(next))
                    state = QRCODE_SEGMENT_BYTE;
                if (tests.Run(kAlphanumericToNumeric, QRCODE_CLASS_DIGIT, i + 1) == QRCODE_RUN_FULL)
                    state = QRCODE_SEGMENT_NUMERIC;
                break;
            default:
                if (IsExclusiveByte(next))
                    state = QRCODE_SEGMENT_BYTE;
                else if (IsExclusiveAlphanumeric(next))
                    state = QRCODE_SEGMENT_ALPHANUMERIC;
                break;
        }
    }
}

bool QRCodeAnalyseModes(const int32_t* values, int32_t count, int32_t version, BitStream* stream) {
    if (count <= 0) return true;
    int32_t* modes = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * static_cast<size_t>(count)));
    if (!modes) {
        stream->overflow = 1;
        return false;
    }
    const bool ok = QRCodeAnalyseModesWith(values, count, version, stream, modes);
    std::free(modes);
    return ok;
}

bool QRCodeAnalyseModesWith(const int32_t* values, int32_t count, int32_t version, BitStream* stream,
                            int32_t* modes) {
    if (count <= 0) return true;
    QRCodeAssignModes(values, count, version, modes);
    int32_t p = 0;
    while (p < count) {
        const int32_t n = QRCodeModeRun(modes, count, p);
        int32_t next;
        switch (modes[p]) {
            case QRCODE_SEGMENT_NUMERIC: next = QRCodeWriteNumeric(values, p, n, version, stream); break;
            case QRCODE_SEGMENT_ALPHANUMERIC: next = QRCodeWriteAlphanumeric(values, p, n, version, stream); break;
            default: next = QRCodeWriteByte(values, p, n, version, stream); break;
        }
        // Every numeric run holds digits and every alphanumeric run alphanumeric characters, so
        // each writer takes its whole run; should one ever stop short, the stream no longer
        // holds the text and must not become a symbol.
        if (next != p + n) {
            stream->overflow = 1;
            break;
        }
        p = next;
    }
    return true;
}

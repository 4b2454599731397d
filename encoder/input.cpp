// Tilde escapes, value conversion and the structured-append and ECI headers.
#include "encoder/input.h"

#include <cstdlib>
#include <cstring>

#include "encoder/segments.h"

namespace {

// One per thread, so that encoding runs on different threads never share it.
thread_local unsigned char g_tildeOutput[QRCODE_TILDE_BUFFER_SIZE];

// Reads `digits` bytes as a number the way atoi reads a string: leading blanks and a sign
// accepted, reading stops at the first non-digit.
int32_t ReadNumber(const unsigned char* p, int32_t digits) {
    char buffer[8] = {};
    std::memcpy(buffer, p, static_cast<size_t>(digits));
    return std::atoi(buffer);
}

}  // namespace

int32_t QRCodeExpandTilde(const unsigned char* text, int32_t length, unsigned char* out, int32_t* eci) {
    const int32_t n = length < 0 ? 0 : length;
    for (int32_t i = 0; i < n; ++i) eci[i] = -1;
    int32_t k = 0;
    int32_t i = 0;
    while (i < n) {
        const unsigned char c = text[i];
        if (c != '~') {
            out[k++] = c;
            ++i;
            continue;
        }
        if (i + 1 >= n) break;  // a trailing '~' is dropped
        const unsigned char next = text[i + 1];
        if (next == '~') {
            out[k++] = '~';
            i += 2;
        } else if ((next == 'd' || next == 'D') && i <= n - 5) {
            int32_t value = ReadNumber(text + i + 2, 3);
            if (value > 255) value = 255;
            out[k++] = static_cast<unsigned char>(value & 0xFF);
            i += 5;
        } else if ((next == 'e' || next == 'E') && i <= n - 8) {
            // The escape switches the character set for the data that follows it: it marks the
            // position of the next output byte and adds no byte of its own. Of two escapes with
            // no byte between them the later one counts, since the earlier would govern nothing.
            // A negative number names no assignment and marks nothing.
            const int32_t number = ReadNumber(text + i + 2, 6);
            eci[k] = number >= 0 ? number : -1;
            i += 8;
        } else {
            ++i;  // a lone '~' is dropped; the byte after it is read normally
        }
    }
    return k;
}

const unsigned char* QRCodeProcessTilde(QRCodeSettings* settings, const unsigned char* text, int32_t* length) {
    int32_t n = *length;
    if (n < 0) n = 0;
    if (n > QRCODE_TILDE_BUFFER_SIZE) n = QRCODE_TILDE_BUFFER_SIZE;
    std::memset(g_tildeOutput, 0, sizeof g_tildeOutput);

    int32_t* eci = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * static_cast<size_t>(n > 0 ? n : 1)));
    settings->eciValues = eci;
    if (!eci) return nullptr;
    *length = QRCodeExpandTilde(text, n, g_tildeOutput, eci);
    return g_tildeOutput;
}

int32_t* QRCodeByteValues(const unsigned char* text, int32_t length) {
    if (length < 0) length = 0;
    int32_t* values = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * static_cast<size_t>(length > 0 ? length : 1)));
    if (!values) return nullptr;
    for (int32_t i = 0; i < length; ++i) values[i] = text[i];
    return values;
}

int32_t* QRCodeKanjiValues(const unsigned char* text, int32_t length, int32_t* count, int32_t filler) {
    if (length < 0) length = 0;
    const int32_t pairs = (length + 1) / 2;
    *count = 0;
    int32_t* values = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * static_cast<size_t>(pairs > 0 ? pairs : 1)));
    if (!values) return nullptr;
    *count = QRCodeFillKanjiValues(text, length, filler, values);
    return values;
}

int32_t QRCodeFillKanjiValues(const unsigned char* text, int32_t length, int32_t filler, int32_t* values) {
    if (length < 0) length = 0;
    for (int32_t j = 0; 2 * j < length; ++j) {
        const int32_t low = 2 * j + 1 < length ? text[2 * j + 1] : (filler & 0xFF);
        values[j] = text[2 * j] * 256 + low;
    }
    return (length + 1) / 2;
}

void QRCodeWriteStructuredAppend(const QRCodeSettings* settings, BitStream* stream, const int32_t* values,
                                 int32_t count) {
    if (settings->structuredAppend)
        QRCodeWriteStructuredAppendHeader(stream, settings->appendPosition, settings->appendTotal, values, count);
}

void QRCodeWriteStructuredAppendHeader(BitStream* stream, int32_t position, int32_t total, const int32_t* values,
                                       int32_t count) {
    int32_t parity = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t v = values[i];
        // A kanji character stands for two bytes of the data, and the parity covers every byte.
        parity ^= QRCodeIsKanji(v) ? ((v >> 8) ^ v) & 0xFF : v & 0xFF;
    }
    BitStreamAppend(stream, QRCODE_INDICATOR_STRUCTURED_APPEND, 4);
    BitStreamAppend(stream, position - 1, 4);
    BitStreamAppend(stream, total - 1, 4);
    BitStreamAppend(stream, parity, 8);
}

void QRCodeWriteEciDesignator(BitStream* stream, int32_t e) {
    BitStreamAppend(stream, QRCODE_INDICATOR_ECI, 4);
    if (e <= 127) {
        BitStreamAppend(stream, 0, 1);
        BitStreamAppend(stream, e, 7);
    } else if (e <= 16383) {
        BitStreamAppend(stream, 2, 2);
        BitStreamAppend(stream, e, 14);
    } else {
        BitStreamAppend(stream, 6, 3);
        BitStreamAppend(stream, e, 21);
    }
}

void QRCodeWriteEci(const QRCodeSettings* settings, BitStream* stream) {
    if (settings->eciMode >= 0) QRCodeWriteEciDesignator(stream, settings->eciMode);
}

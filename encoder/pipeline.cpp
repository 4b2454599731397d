// The symbol pipeline and the version search.
#include "encoder/pipeline.h"

#include <cstdlib>

#include "encoder/bit_stream.h"
#include "encoder/codewords.h"
#include "encoder/input.h"
#include "encoder/mask.h"
#include "encoder/placement.h"
#include "encoder/segmentation.h"
#include "encoder/segments.h"
#include "encoder/tables.h"
#include "encoder/trace.h"

namespace {

const char kNoVersionMessage[] = "Could not find any version to encode \n";

// Last version of the character-count group of v: the count widths change between groups,
// so the stream is rebuilt when the search crosses into the next one.
int32_t GroupEnd(int32_t v) { return v <= 9 ? 9 : v <= 26 ? 26 : 40; }

// Headers, then the data by encode mode, for a symbol of version v.
// The stream has been reset once for the run; a rebuild refills only what the last build wrote.
void BuildStream(const QRCodeSettings* s, const int32_t* values, int32_t count, int32_t v, BitStream* stream) {
    BitStreamRewind(stream);
    QRCodeWriteStructuredAppend(s, stream, values, count);
    QRCodeWriteEci(s, stream);
    if (s->fnc1Mode == 1) {
        BitStreamAppend(stream, QRCODE_INDICATOR_FNC1_FIRST, 4);
    } else if (s->fnc1Mode == 2) {
        BitStreamAppend(stream, QRCODE_INDICATOR_FNC1_SECOND, 4);
        BitStreamAppend(stream, s->applicationIndicator & 0xFF, 8);
    }
    switch (s->encodeMode) {
        case QRCODE_MODE_AUTOMATIC: QRCodeAnalyseModes(values, count, v, stream); break;
        case QRCODE_MODE_ALPHANUMERIC: QRCodeWriteAlphanumeric(values, 0, count, v, stream); break;
        case QRCODE_MODE_BYTE: QRCodeWriteByte(values, 0, count, v, stream); break;
        case QRCODE_MODE_NUMERIC: QRCodeWriteNumeric(values, 0, count, v, stream); break;
        case QRCODE_MODE_KANJI: QRCodeWriteKanji(values, 0, count, v, stream); break;
        default: break;  // no data segment: the symbol carries the headers and padding only
    }
}

// Smallest version from v to the end of its group whose data codewords hold the stream, or 0.
int32_t SearchGroup(const BitStream* stream, int32_t v, int32_t level) {
    if (stream->overflow) return 0;
    const int32_t needed = (stream->count + 7) / 8;
    for (int32_t i = v; i <= GroupEnd(v); ++i) {
        const int32_t* row = DataCapacityTable.rows[(i - 1) * QRCODE_LEVEL_COUNT + level];
        if (row[QRCODE_DC_DATA_CODEWORDS] >= needed) return row[QRCODE_DC_VERSION];
    }
    return 0;
}

// Chooses the version and leaves the stream built for it; 0 when nothing fits.
int32_t ChooseVersion(const QRCodeSettings* s, const int32_t* values, int32_t count, int32_t v, BitStream* stream) {
    for (;;) {
        BuildStream(s, values, count, v, stream);
        if (!s->autoConfigurate) return v;
        const int32_t found = SearchGroup(stream, v, s->correctionLevel);
        if (found) return found;
        if (v > 26) return 0;
        v = v <= 9 ? 10 : 27;
    }
}

// The text as the segment writers read it: one value per byte, or per byte pair in kanji mode,
// after tilde escapes when they are on. Null when memory runs out; with escapes on, the record's
// eciValues are set and the caller frees them.
int32_t* PrepareValues(QRCodeSettings* settings, int32_t length, int32_t* count) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(settings->text);
    int32_t filler = QRCODE_TEXT_FILLER;
    if (settings->processTilde) {
        text = QRCodeProcessTilde(settings, text, &length);
        if (!text) return nullptr;
        filler = 0;
    }
    *count = length;
    if (settings->encodeMode == QRCODE_MODE_KANJI) return QRCodeKanjiValues(text, length, count, filler);
    return QRCodeByteValues(text, length);
}

}  // namespace

int32_t QRCodeFirstUnencodable(QRCodeSettings* settings) {
    const int32_t length = QRCodeTextLength(settings);
    settings->eciValues = nullptr;
    if (length > QRCODE_TEXT_MAX) return -1;
    int32_t count = 0;
    int32_t* values = PrepareValues(settings, length, &count);
    std::free(settings->eciValues);
    settings->eciValues = nullptr;
    if (!values) return -1;
    const int32_t run = QRCodeModeRun(settings->encodeMode, values, count);
    std::free(values);
    if (run >= count) return -1;
    return settings->encodeMode == QRCODE_MODE_KANJI ? 2 * run : run;
}

SymbolMatrix* QRCodeMakeSymbol(QRCodeSettings* settings) {
    const int32_t level = settings->correctionLevel;
    int32_t length = QRCodeTextLength(settings);
    settings->eciValues = nullptr;

    // A level outside the tables has no capacity and no format bits; nothing sensible can be
    // made of it.
    if (!QRCodeValidLevel(level)) return nullptr;
    // A text with no end mark in the field has no defined length, so it is not encoded at all
    // rather than cut at an arbitrary point.
    if (length > QRCODE_TEXT_MAX) {
        QRCodeTrace(kNoVersionMessage);
        return nullptr;
    }

    int32_t* values = nullptr;
    int32_t* codewords = nullptr;
    BitStream* stream = nullptr;
    SymbolMatrix* matrix = nullptr;
    auto finish = [&](SymbolMatrix* result) {
        std::free(values);
        std::free(codewords);
        std::free(stream);
        std::free(settings->eciValues);
        settings->eciValues = nullptr;
        return result;
    };

    int32_t count = 0;
    values = PrepareValues(settings, length, &count);
    if (!values) return finish(nullptr);
    // A forced mode that cannot hold the whole text would write only the part before the first
    // value outside its class and drop the rest: the text is refused instead. Automatic
    // segmentation only hands the writers runs it has checked.
    if (QRCodeModeRun(settings->encodeMode, values, count) < count) return finish(nullptr);

    int32_t version = settings->preferredVersion < 1 ? 1 : settings->preferredVersion;
    if (version > QRCODE_VERSION_COUNT) {
        if (settings->autoConfigurate) QRCodeTrace(kNoVersionMessage);
        return finish(nullptr);
    }

    stream = static_cast<BitStream*>(std::malloc(sizeof(BitStream)));
    if (!stream) return finish(nullptr);
    BitStreamReset(stream);
    version = ChooseVersion(settings, values, count, version, stream);
    if (!version) {
        QRCodeTrace(kNoVersionMessage);
        return finish(nullptr);
    }
    settings->selectedVersion = version;

    codewords = QRCodeCreateCodewords(stream, version, level);
    if (!codewords) return finish(nullptr);

    matrix = static_cast<SymbolMatrix*>(std::malloc(sizeof(SymbolMatrix)));
    if (!matrix) return finish(nullptr);
    const int32_t side = QRCodeModulesPerSide(version);
    QRCodeInitMatrix(matrix, side, side, version);
    QRCodePlaceCodewords(matrix, codewords, codewordCount);
    QRCodeMaskSymbol(matrix, level);
    return finish(matrix);
}

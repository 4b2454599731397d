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

// A stretch of the text that shares one ECI assignment: the first stretch runs in the symbol's
// own character set (the eciMode header, if any), each later one begins where a ~e escape
// switched it and is written behind an ECI header with that number. Offsets are in text bytes.
struct Piece {
    int32_t eci;
    int32_t start;
    int32_t length;
};

// The prepared input of one run: the text as the modes see it (after escapes), its pieces,
// and the values the segment writers read (one per byte, or per byte pair in kanji mode).
struct Input {
    const unsigned char* bytes = nullptr;
    int32_t length = 0;
    Piece* pieces = nullptr;
    int32_t pieceCount = 0;
    int32_t* values = nullptr;
    int32_t count = 0;
};

// Writes the data of one piece by encode mode; `first`/`n` index the value array.
void WriteData(int32_t mode, const int32_t* values, int32_t first, int32_t n, int32_t v, BitStream* stream) {
    switch (mode) {
        case QRCODE_MODE_AUTOMATIC: QRCodeAnalyseModes(values + first, n, v, stream); break;
        case QRCODE_MODE_ALPHANUMERIC: QRCodeWriteAlphanumeric(values, first, n, v, stream); break;
        case QRCODE_MODE_BYTE: QRCodeWriteByte(values, first, n, v, stream); break;
        case QRCODE_MODE_NUMERIC: QRCodeWriteNumeric(values, first, n, v, stream); break;
        case QRCODE_MODE_KANJI: QRCodeWriteKanji(values, first, n, v, stream); break;
        default: break;  // no data segment: the symbol carries the headers and padding only
    }
}

// Headers, then the data by encode mode, for a symbol of version v.
// The stream has been reset once for the run; a rebuild refills only what the last build wrote.
void BuildStream(const QRCodeSettings* s, const Input& in, int32_t v, BitStream* stream) {
    BitStreamRewind(stream);
    QRCodeWriteStructuredAppend(s, stream, in.values, in.count);
    QRCodeWriteEci(s, stream);
    if (s->fnc1Mode == 1) {
        BitStreamAppend(stream, QRCODE_INDICATOR_FNC1_FIRST, 4);
    } else if (s->fnc1Mode == 2) {
        BitStreamAppend(stream, QRCODE_INDICATOR_FNC1_SECOND, 4);
        BitStreamAppend(stream, s->applicationIndicator & 0xFF, 8);
    }
    if (in.pieceCount == 1) {
        // One character set: one run of segments over the whole text, even an empty one.
        WriteData(s->encodeMode, in.values, 0, in.count, v, stream);
        return;
    }
    const int32_t per = s->encodeMode == QRCODE_MODE_KANJI ? 2 : 1;
    for (int32_t i = 0; i < in.pieceCount; ++i) {
        const Piece& p = in.pieces[i];
        if (p.eci >= 0) QRCodeWriteEciDesignator(stream, p.eci);
        if (p.length > 0) WriteData(s->encodeMode, in.values, p.start / per, p.length / per, v, stream);
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
int32_t ChooseVersion(const QRCodeSettings* s, const Input& in, int32_t v, BitStream* stream) {
    for (;;) {
        BuildStream(s, in, v, stream);
        if (!s->autoConfigurate) return v;
        const int32_t found = SearchGroup(stream, v, s->correctionLevel);
        if (found) return found;
        if (v > 26) return 0;
        v = v <= 9 ? 10 : 27;
    }
}

// Offset of the first byte a forced mode cannot hold, or -1. Kanji takes byte pairs within each
// piece: a pair whose first byte is no lead byte is refused there, one whose second byte is no
// trail byte at the second byte, and a lone last byte at itself.
int32_t FirstUnencodableByte(int32_t mode, const Input& in) {
    const unsigned char* b = in.bytes;
    if (mode == QRCODE_MODE_NUMERIC || mode == QRCODE_MODE_ALPHANUMERIC) {
        for (int32_t i = 0; i < in.length; ++i)
            if (QRCodeModeRun(mode, &in.values[i], 1) < 1) return i;
        return -1;
    }
    if (mode != QRCODE_MODE_KANJI) return -1;
    for (int32_t k = 0; k < in.pieceCount; ++k) {
        const int32_t end = in.pieces[k].start + in.pieces[k].length;
        for (int32_t i = in.pieces[k].start; i < end; i += 2) {
            if (!QRCodeIsKanjiLead(b[i]) || i + 1 >= end) return i;
            if (!QRCodeIsKanjiTrail(b[i], b[i + 1])) return i + 1;
        }
    }
    return -1;
}

void FreeInput(Input* in) {
    std::free(in->pieces);
    std::free(in->values);
    *in = Input();
}

// Prepares the text of the record: escapes expanded when they are on (the record's eciValues
// are set and the caller frees them), pieces cut at the ~e escapes, and the byte values.
// Kanji values are made only for a text the kanji mode holds (*unencodable -1), since a
// refused text has pairs that cross its pieces. False when memory runs out.
bool PrepareInput(QRCodeSettings* settings, int32_t length, Input* in, int32_t* unencodable) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(settings->text);
    const int32_t rawLength = length;
    *unencodable = -1;
    if (settings->processTilde) {
        text = QRCodeProcessTilde(settings, text, &length);
        if (!text) return false;
    }
    in->bytes = text;
    in->length = length;
    // Marks lie at output positions 0 .. length; the array has one entry per input byte, and an
    // escape that marks the end consumed eight of them, so the entry exists.
    int32_t marks = 0;
    const int32_t* eci = settings->processTilde ? settings->eciValues : nullptr;
    const int32_t markEnd = length < rawLength ? length + 1 : rawLength;
    for (int32_t k = 0; eci && k < markEnd; ++k) marks += eci[k] >= 0;
    in->pieces = static_cast<Piece*>(std::malloc(sizeof(Piece) * static_cast<size_t>(marks + 1)));
    if (!in->pieces) return false;
    in->pieces[0] = Piece{-1, 0, length};
    in->pieceCount = 1;
    for (int32_t k = 0; eci && k < markEnd; ++k) {
        if (eci[k] < 0) continue;
        Piece& last = in->pieces[in->pieceCount - 1];
        last.length = k - last.start;
        in->pieces[in->pieceCount++] = Piece{eci[k], k, length - k};
    }
    in->values = QRCodeByteValues(text, length);
    in->count = length;
    if (!in->values) return false;
    *unencodable = FirstUnencodableByte(settings->encodeMode, *in);
    if (settings->encodeMode == QRCODE_MODE_KANJI && *unencodable < 0) {
        std::free(in->values);
        in->values = QRCodeKanjiValues(text, length, &in->count, 0);
        if (!in->values) return false;
    }
    return true;
}

}  // namespace

int32_t QRCodeFirstUnencodable(QRCodeSettings* settings) {
    const int32_t length = QRCodeTextLength(settings);
    settings->eciValues = nullptr;
    if (length > QRCODE_TEXT_MAX) return -1;
    Input in;
    int32_t offset = -1;
    if (!PrepareInput(settings, length, &in, &offset)) offset = -1;
    FreeInput(&in);
    std::free(settings->eciValues);
    settings->eciValues = nullptr;
    return offset;
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

    Input in;
    int32_t* codewords = nullptr;
    BitStream* stream = nullptr;
    SymbolMatrix* matrix = nullptr;
    auto finish = [&](SymbolMatrix* result) {
        FreeInput(&in);
        std::free(codewords);
        std::free(stream);
        std::free(settings->eciValues);
        settings->eciValues = nullptr;
        return result;
    };

    // A forced mode that cannot hold the whole text would write only the part before the first
    // byte outside its class and drop the rest, or (kanji) change bytes: the text is refused
    // instead. Automatic segmentation only hands the writers runs it has checked.
    int32_t unencodable = -1;
    if (!PrepareInput(settings, length, &in, &unencodable) || unencodable >= 0) return finish(nullptr);

    int32_t version = settings->preferredVersion < 1 ? 1 : settings->preferredVersion;
    if (version > QRCODE_VERSION_COUNT) {
        if (settings->autoConfigurate) QRCodeTrace(kNoVersionMessage);
        return finish(nullptr);
    }

    stream = static_cast<BitStream*>(std::malloc(sizeof(BitStream)));
    if (!stream) return finish(nullptr);
    BitStreamReset(stream);
    version = ChooseVersion(settings, in, version, stream);
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

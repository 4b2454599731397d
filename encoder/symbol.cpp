// The value API and the road it shares with the settings record's adapter.
#include "encoder/symbol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "encoder/bit_stream.h"
#include "encoder/codewords.h"
#include "encoder/input.h"
#include "encoder/mask.h"
#include "encoder/placement.h"
#include "encoder/segmentation.h"
#include "encoder/segments.h"
#include "encoder/symbol_build.h"
#include "encoder/tables.h"
#include "encoder/trace.h"

namespace {

constexpr int32_t kEciMax = 999999;
constexpr int32_t kMaxCodewords = 3706;  // version 40
constexpr int32_t kLargestSide = 177;    // version 40

// Last version of the character-count group of v: the count widths change between groups,
// so the stream is rebuilt when the search crosses into the next one.
int32_t GroupEnd(int32_t v) { return v <= 9 ? 9 : v <= 26 ? 26 : 40; }

// A stretch of the data in one character set: the first runs in the symbol's own (the request's
// eci header, if any), each later one begins at an ECI mark and is written behind an ECI header
// with the mark's number. Offsets are in data bytes.
struct Piece {
    int32_t eci;
    int32_t start;
    int32_t length;
};

// The prepared input of one run: the data, its pieces, and the values the segment writers read
// (one per byte, or per byte pair in kanji mode). The arrays keep their room from run to run.
struct Input {
    const unsigned char* bytes = nullptr;
    int32_t length = 0;
    std::vector<Piece> pieces;
    std::vector<int32_t> values;
    int32_t count = 0;
};

}  // namespace

// The working memory of the road besides the matrix: kept by a workspace from symbol to symbol,
// so that a run after the first takes nothing from the heap.
struct QRCodeWork {
    Input in;
    BitStream stream;
    int32_t codewords[kMaxCodewords];
    std::vector<int32_t> modes;  // automatic segmentation: one mode per value
    uint8_t modules[kLargestSide * kLargestSide];  // the colours row by row, when the build asks
};

// A caller's workspace: the road's working memory and the matrix it builds.
struct QRCodeWorkspace {
    QRCodeWork work;
    SymbolMatrix matrix;
};

namespace {

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
    for (const Piece& piece : in.pieces) {
        const int32_t end = piece.start + piece.length;
        for (int32_t i = piece.start; i < end; i += 2) {
            if (!QRCodeIsKanjiLead(b[i]) || i + 1 >= end) return i;
            if (!QRCodeIsKanjiTrail(b[i], b[i + 1])) return i + 1;
        }
    }
    return -1;
}

// True when byte `at` starts a pair of its piece.
bool IsPairStart(const Input& in, int32_t at) {
    for (size_t k = in.pieces.size(); k-- > 0;)
        if (in.pieces[k].start <= at) return (at - in.pieces[k].start) % 2 == 0;
    return at % 2 == 0;
}

// Cuts the data into pieces and makes its values. Kanji values are made only for data the kanji
// mode holds, since refused data may have pairs that cross its pieces. False with the error set.
bool PrepareInput(const QRCodeRequest& r, Input* in, QRCodeError* error) {
    in->bytes = r.data;
    in->length = r.length < 0 ? 0 : r.length;
    const int32_t marks = r.eciMarks && r.eciMarkCount > 0 ? r.eciMarkCount : 0;
    try {
        in->pieces.resize(static_cast<size_t>(marks) + 1);
        in->values.resize(static_cast<size_t>(in->length > 0 ? in->length : 1));
    } catch (const std::bad_alloc&) {
        error->kind = QRCODE_ERROR_NO_MEMORY;
        return false;
    }
    for (int32_t i = 0; i < in->length; ++i) in->values[i] = in->bytes[i];
    in->count = in->length;
    in->pieces[0] = Piece{-1, 0, in->length};
    for (int32_t i = 0; i < marks; ++i) {
        Piece& last = in->pieces[i];
        int32_t at = r.eciMarks[i].offset;
        if (at < last.start) at = last.start;
        if (at > in->length) at = in->length;
        last.length = at - last.start;
        in->pieces[i + 1] = Piece{r.eciMarks[i].number, at, in->length - at};
    }
    const int32_t offset = FirstUnencodableByte(r.mode, *in);
    if (offset >= 0) {
        error->kind = QRCODE_ERROR_UNENCODABLE;
        error->offset = offset;
        error->byte = in->bytes[offset];
        error->mode = r.mode;
        // A lead byte is refused in kanji mode at the start of a pair only when its stretch
        // ends behind it; a refused second byte is never at the start of a pair.
        error->unpaired = r.mode == QRCODE_MODE_KANJI && QRCodeIsKanjiLead(error->byte) && IsPairStart(*in, offset);
        return false;
    }
    if (r.mode == QRCODE_MODE_KANJI) in->count = QRCodeFillKanjiValues(in->bytes, in->length, 0, in->values.data());
    return true;
}

// Writes the data of one piece by mode; `first`/`n` index the value array. Automatic
// segmentation works in `modes`, which has room for every value.
void WriteData(int32_t mode, const int32_t* values, int32_t first, int32_t n, int32_t v, BitStream* stream,
               int32_t* modes) {
    switch (mode) {
        case QRCODE_MODE_AUTOMATIC: QRCodeAnalyseModesWith(values + first, n, v, stream, modes); break;
        case QRCODE_MODE_ALPHANUMERIC: QRCodeWriteAlphanumeric(values, first, n, v, stream); break;
        case QRCODE_MODE_BYTE: QRCodeWriteByte(values, first, n, v, stream); break;
        case QRCODE_MODE_NUMERIC: QRCodeWriteNumeric(values, first, n, v, stream); break;
        case QRCODE_MODE_KANJI: QRCodeWriteKanji(values, first, n, v, stream); break;
        default: break;  // no data segment: the symbol carries the headers and padding only
    }
}

int32_t ValuesPerByte(int32_t mode) { return mode == QRCODE_MODE_KANJI ? 2 : 1; }

// Headers, then the data by mode, for a symbol of version v, from an empty stream.
void BuildStream(const QRCodeBuild& b, QRCodeWork& w, int32_t v) {
    const QRCodeRequest& r = *b.request;
    const Input& in = w.in;
    BitStream* stream = &w.stream;
    BitStreamStart(stream);
    if (b.structuredAppend)
        QRCodeWriteStructuredAppendHeader(stream, r.appendPosition, r.appendTotal, in.values.data(), in.count);
    if (r.eci >= 0) QRCodeWriteEciDesignator(stream, r.eci);
    if (r.fnc1 == 1) {
        BitStreamAppend(stream, QRCODE_INDICATOR_FNC1_FIRST, 4);
    } else if (r.fnc1 == 2) {
        BitStreamAppend(stream, QRCODE_INDICATOR_FNC1_SECOND, 4);
        BitStreamAppend(stream, r.applicationIndicator & 0xFF, 8);
    }
    if (in.pieces.size() == 1) {
        // One character set: one run of segments over the whole data, even empty data.
        WriteData(r.mode, in.values.data(), 0, in.count, v, stream, w.modes.data());
        return;
    }
    const int32_t per = ValuesPerByte(r.mode);
    for (const Piece& p : in.pieces) {
        if (p.eci >= 0) QRCodeWriteEciDesignator(stream, p.eci);
        if (p.length > 0) WriteData(r.mode, in.values.data(), p.start / per, p.length / per, v, stream, w.modes.data());
    }
}

// The segments BuildStream writes at version v, as the value API reports them.
void ListSegments(const QRCodeBuild& b, QRCodeWork& w, int32_t v, std::vector<QRCodeSegment>* out) {
    const QRCodeRequest& r = *b.request;
    const Input& in = w.in;
    if (r.mode < QRCODE_MODE_ALPHANUMERIC || r.mode > QRCODE_MODE_AUTOMATIC) return;
    for (size_t i = 0; i < in.pieces.size(); ++i) {
        const Piece& p = in.pieces[i];
        int32_t eci = i == 0 ? r.eci : p.eci;
        if (p.length == 0 && in.pieces.size() > 1) continue;
        if (r.mode != QRCODE_MODE_AUTOMATIC) {
            out->push_back(QRCodeSegment{r.mode, eci, p.start, p.length});
            continue;
        }
        int32_t* modes = w.modes.data();
        QRCodeAssignModes(in.values.data() + p.start, p.length, v, modes);
        for (int32_t at = 0; at < p.length;) {
            const int32_t run = QRCodeModeRun(modes, p.length, at);
            const int32_t m = modes[at];
            const int32_t mode = m == QRCODE_SEGMENT_NUMERIC        ? QRCODE_MODE_NUMERIC
                                 : m == QRCODE_SEGMENT_ALPHANUMERIC ? QRCODE_MODE_ALPHANUMERIC
                                                                    : QRCODE_MODE_BYTE;
            out->push_back(QRCodeSegment{mode, eci, p.start + at, run});
            eci = -1;
            at += run;
        }
    }
}

// The fewest bits any stream of `count` values in `mode` spends on the values themselves (no
// headers): 10 bits per three digits, 11 per two alphanumeric characters, 8 per byte, 13 per
// kanji pair; automatic segmentation may choose numeric for every value.
int64_t FewestDataBits(int32_t mode, int32_t count) {
    const int64_t n = count > 0 ? count : 0;
    switch (mode) {
        case QRCODE_MODE_NUMERIC:
        case QRCODE_MODE_AUTOMATIC: return 10 * n / 3;
        case QRCODE_MODE_ALPHANUMERIC: return 11 * n / 2;
        case QRCODE_MODE_BYTE: return 8 * n;
        case QRCODE_MODE_KANJI: return 13 * n;
        default: return 0;
    }
}

// Chooses the smallest version of minVersion..maxVersion that holds the stream, leaving the
// stream built for it and *built set to the version it was built at (the start of the last
// group tried: the look-ahead windows of automatic segmentation depend on it). 0 when none.
int32_t ChooseVersion(const QRCodeBuild& b, QRCodeWork& w, int32_t v, int32_t maxVersion, int32_t* built) {
    const int32_t level = b.request->level;
    const int64_t fewest = FewestDataBits(b.request->mode, w.in.count);
    for (;;) {
        // A group whose largest version cannot hold the data alone is passed over unbuilt; the
        // last group is always built, for the stream a failure reports.
        if (GroupEnd(v) < maxVersion && fewest > QRCodeDataBits(GroupEnd(v), level)) {
            v = GroupEnd(v) + 1;
            continue;
        }
        BuildStream(b, w, v);
        *built = v;
        const int32_t end = GroupEnd(v) < maxVersion ? GroupEnd(v) : maxVersion;
        if (!w.stream.overflow) {
            const int32_t needed = (w.stream.count + 7) / 8;
            for (int32_t i = v; i <= end; ++i)
                if (QRCodeDataCodewords(i, level) >= needed) return i;
        }
        if (end >= maxVersion) return 0;
        v = end + 1;
    }
}

bool InRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

// The first field of the request that is out of range, or null.
const char* InvalidOption(const QRCodeRequest& r) {
    if (r.length < 0) return "length";
    if (!r.data && r.length > 0) return "data";
    if (!QRCodeValidLevel(r.level)) return "level";
    if (!InRange(r.mode, QRCODE_MODE_ALPHANUMERIC, QRCODE_MODE_AUTOMATIC)) return "mode";
    if (!QRCodeValidVersion(r.minVersion)) return "minVersion";
    if (!InRange(r.maxVersion, r.minVersion, QRCODE_VERSION_COUNT)) return "maxVersion";
    if (!InRange(r.eci, -1, kEciMax)) return "eci";
    if (r.eciMarkCount < 0 || (r.eciMarkCount > 0 && !r.eciMarks)) return "eciMarks";
    for (int32_t i = 0; i < r.eciMarkCount; ++i) {
        const QRCodeEciMark& mark = r.eciMarks[i];
        const int32_t after = i ? r.eciMarks[i - 1].offset + 1 : 0;
        if (!InRange(mark.offset, after, r.length) || !InRange(mark.number, 0, kEciMax)) return "eciMarks";
    }
    if (!InRange(r.fnc1, 0, 2)) return "fnc1";
    if (r.fnc1 == 2 && !InRange(r.applicationIndicator, 0, 255)) return "applicationIndicator";
    if (r.appendTotal != 0 || r.appendPosition != 0) {
        if (!InRange(r.appendTotal, 1, 16)) return "appendTotal";
        if (!InRange(r.appendPosition, 1, r.appendTotal)) return "appendPosition";
    }
    if (!InRange(r.mask, -1, 7)) return "mask";
    return nullptr;
}

}  // namespace

bool QRCodeBuildSymbolInto(QRCodeBuild* b, QRCodeWork* w, SymbolMatrix* m) {
    const QRCodeRequest& r = *b->request;
    b->error = QRCodeError();
    b->mask = -1;
    if (!PrepareInput(r, &w->in, &b->error)) return false;
    if (r.mode == QRCODE_MODE_AUTOMATIC) {
        try {
            w->modes.resize(w->in.values.size());
        } catch (const std::bad_alloc&) {
            b->error.kind = QRCODE_ERROR_NO_MEMORY;
            return false;
        }
    }

    const int32_t first = r.minVersion < 1 ? 1 : r.minVersion;
    if (first > QRCODE_VERSION_COUNT) {
        b->error.kind = QRCODE_ERROR_INVALID_OPTION;
        b->error.option = "minVersion";
        return false;
    }
    const int32_t last = r.maxVersion < first ? first : r.maxVersion > QRCODE_VERSION_COUNT ? QRCODE_VERSION_COUNT : r.maxVersion;

    int32_t built = first;
    const int32_t version = ChooseVersion(*b, *w, first, last, &built);
    if (!version) {
        b->error.kind = QRCODE_ERROR_TOO_LONG;
        b->error.minVersion = first;
        b->error.maxVersion = last;
        b->error.bitsNeeded = w->stream.count;
        b->error.bitsNeededAtLeast = w->stream.overflow != 0;
        b->error.bitsAvailable = QRCodeDataBits(last, r.level);
        return false;
    }
    if (b->segments) {
        try {
            ListSegments(*b, *w, built, b->segments);
        } catch (const std::bad_alloc&) {
            b->error.kind = QRCODE_ERROR_NO_MEMORY;
            return false;
        }
    }

    const int32_t count = QRCodeWriteCodewords(&w->stream, version, r.level, w->codewords);
    if (!count) {
        b->error.kind = QRCODE_ERROR_NO_MEMORY;
        return false;
    }
    // From a version's second symbol on its layout is kept, and the symbol is made from it in
    // one go.
    int32_t scores[8][4];
    b->modulesWritten = false;
    uint8_t* rows = b->modules ? w->modules : nullptr;
    const int chosen = QRCodePlaceAndMask(m, version, w->codewords, count, r.level, r.mask >= 0 ? r.mask : -1,
                                          b->traced && r.mask < 0 ? scores : nullptr, rows, !b->modulesOnly);
    if (chosen >= 0) {
        b->mask = chosen;
        b->modulesWritten = rows != nullptr;
        for (int32_t k = 0; b->traced && r.mask < 0 && k < 8; ++k)
            QRCodeTrace("%d %d %d %d\t\n", scores[k][0], scores[k][1], scores[k][2], scores[k][3]);
        return true;
    }
    const int32_t side = QRCodeModulesPerSide(version);
    QRCodeInitMatrix(m, side, side, version);
    QRCodePlaceCodewords(m, w->codewords, count);
    if (r.mask >= 0) {
        b->mask = r.mask;
        QRCodeFinishWithMask(m, r.level, b->mask);
        return true;
    }
    b->mask = QRCodeScoreAndFinish(m, r.level, b->traced ? scores : nullptr);
    for (int32_t k = 0; b->traced && k < 8; ++k)
        QRCodeTrace("%d %d %d %d\t\n", scores[k][0], scores[k][1], scores[k][2], scores[k][3]);
    return true;
}

QRCodeWork* QRCodeNewWork() { return new (std::nothrow) QRCodeWork; }

void QRCodeFreeWork(QRCodeWork* work) { delete work; }

namespace {

// The working memory of the runs on this thread, kept from run to run like the rest of the
// record road's working state: a run after the first takes only its result from the heap.
QRCodeWork* ThreadWork() {
    struct Kept {
        QRCodeWork* work = QRCodeNewWork();
        ~Kept() { QRCodeFreeWork(work); }
    };
    thread_local Kept kept;
    if (!kept.work) kept.work = QRCodeNewWork();
    return kept.work;
}

}  // namespace

SymbolMatrix* QRCodeBuildSymbol(QRCodeBuild* b) {
    b->error = QRCodeError();
    b->mask = -1;
    QRCodeWork* w = ThreadWork();
    SymbolMatrix* m = w ? static_cast<SymbolMatrix*>(std::malloc(sizeof(SymbolMatrix))) : nullptr;
    if (!m) {
        b->error.kind = QRCODE_ERROR_NO_MEMORY;
        return nullptr;
    }
    if (QRCodeBuildSymbolInto(b, w, m)) return m;
    std::free(m);
    return nullptr;
}

QRCodeError QRCodeCheckData(const QRCodeRequest& request) {
    QRCodeError error;
    Input in;
    PrepareInput(request, &in, &error);
    return error;
}

QRCodeWorkspace* QRCodeNewWorkspace() { return new (std::nothrow) QRCodeWorkspace; }

void QRCodeFreeWorkspace(QRCodeWorkspace* workspace) { delete workspace; }

namespace {

// QRCodeEncodeInto, with the penalty lines written to the diagnostic sink when `traced`.
bool EncodeInto(const QRCodeRequest& request, QRCodeWorkspace* workspace, QRCodeResult* result, bool traced) {
    result->error = QRCodeError();
    QRCodeSymbol& s = result->symbol;
    s.version = s.size = s.level = s.mask = 0;
    s.modules.clear();
    s.segments.clear();
    if (const char* option = InvalidOption(request)) {
        result->error.kind = QRCODE_ERROR_INVALID_OPTION;
        result->error.option = option;
        return false;
    }
    QRCodeWorkspace* own = workspace ? nullptr : QRCodeNewWorkspace();
    QRCodeWorkspace* w = workspace ? workspace : own;
    if (!w) {
        result->error.kind = QRCODE_ERROR_NO_MEMORY;
        return false;
    }
    QRCodeBuild build;
    build.request = &request;
    build.structuredAppend = request.appendTotal > 0;
    build.segments = &s.segments;
    build.traced = traced;
    build.modules = true;
    build.modulesOnly = true;
    const bool built = QRCodeBuildSymbolInto(&build, &w->work, &w->matrix);
    try {
        if (built) {
            const SymbolMatrix& m = w->matrix;
            s.version = m.version;
            s.size = m.width;
            s.level = request.level;
            s.mask = build.mask;
            s.modules.resize(static_cast<size_t>(s.size) * s.size);
            if (build.modulesWritten)
                std::memcpy(s.modules.data(), w->work.modules, s.modules.size());
            else
                QRCodeModuleBytes(&m, s.modules.data());
        } else {
            result->error = build.error;
            s.segments.clear();
        }
    } catch (const std::bad_alloc&) {
        result->error = QRCodeError();
        result->error.kind = QRCODE_ERROR_NO_MEMORY;
        s = QRCodeSymbol();
    }
    QRCodeFreeWorkspace(own);
    return result->Ok();
}

}  // namespace

bool QRCodeEncodeInto(const QRCodeRequest& request, QRCodeWorkspace* workspace, QRCodeResult* result) {
    return EncodeInto(request, workspace, result, false);
}

QRCodeResult QRCodeEncode(const QRCodeRequest& request) { return QRCodeEncodeWith(request, false); }

QRCodeResult QRCodeEncodeWith(const QRCodeRequest& request, bool traced) {
    QRCodeResult result;
    EncodeInto(request, nullptr, &result, traced);
    return result;
}

const char* QRCodeModeName(int32_t mode) {
    switch (mode) {
        case QRCODE_MODE_NUMERIC: return "numeric";
        case QRCODE_MODE_ALPHANUMERIC: return "alphanumeric";
        case QRCODE_MODE_BYTE: return "byte";
        case QRCODE_MODE_KANJI: return "kanji";
        case QRCODE_MODE_AUTOMATIC: return "automatic";
        default: return "?";
    }
}

std::string QRCodeDescribeError(const QRCodeError& e, int32_t level) {
    static const char kLevels[] = "LMQH";
    const char levelName = QRCodeValidLevel(level) ? kLevels[level] : '?';
    char line[256];
    switch (e.kind) {
        case QRCODE_ERROR_NONE:
            return "";
        case QRCODE_ERROR_INVALID_OPTION:
            return std::string("invalid option: ") + (e.option ? e.option : "?");
        case QRCODE_ERROR_UNENCODABLE: {
            const int byte = e.byte & 0xFF;
            char what[16] = "";
            if (byte >= 0x20 && byte < 0x7F) std::snprintf(what, sizeof what, " '%c'", static_cast<char>(byte));
            std::snprintf(line, sizeof line, "%s mode cannot hold byte 0x%02X%s at position %d%s",
                          QRCodeModeName(e.mode), static_cast<unsigned>(byte), what, e.offset,
                          e.unpaired ? " (a kanji character takes two bytes)" : "");
            return line;
        }
        case QRCODE_ERROR_TOO_LONG: {
            char range[64];
            if (e.minVersion == e.maxVersion)
                std::snprintf(range, sizeof range, "a version-%d symbol", e.minVersion);
            else
                std::snprintf(range, sizeof range, "any symbol from version %d to %d", e.minVersion, e.maxVersion);
            if (e.bitsNeededAtLeast)
                std::snprintf(line, sizeof line, "the data does not fit %s at level %c: it needs more than %d bits, version %d holds %d",
                              range, levelName, e.bitsNeeded, e.maxVersion, e.bitsAvailable);
            else
                std::snprintf(line, sizeof line,
                              "the data does not fit %s at level %c: it needs %d bits, version %d holds %d (%d too many)", range,
                              levelName, e.bitsNeeded, e.maxVersion, e.bitsAvailable, e.bitsNeeded - e.bitsAvailable);
            return line;
        }
        case QRCODE_ERROR_NO_MEMORY:
            return "out of memory";
    }
    return "";
}

// Terminator, padding, block split, error correction and interleaving.
#include "encoder/codewords.h"

#include <cstdint>
#include <cstdlib>

#include "encoder/reed_solomon.h"
#include "encoder/tables.h"
#include "encoder/trace.h"

thread_local int32_t codewordCount = 0;

namespace {

constexpr int32_t kPadCodewords[2] = {0xEC, 0x11};

// Where one block's codewords live in the working arrays.
struct Block {
    int32_t start;   // first data codeword in the data array
    int32_t data;    // k
    int32_t ec;      // c - k
    int32_t ecStart; // first error-correction codeword in the error-correction array
};

// The most codewords a symbol has (version 40) and the most blocks it is split into.
constexpr int32_t kMaxCodewords = 3706;
constexpr int32_t kMaxBlocks = 128;

// Appends the terminator (up to four zero bits, as many as the capacity leaves) and the zero
// bits up to the next codeword boundary. False when the data codewords no longer fit.
bool CloseStream(BitStream* stream, int32_t version, int32_t level) {
    const int32_t capacityBits = QRCodeDataBits(version, level);
    int32_t room = capacityBits - stream->count;
    if (room < 0) room = 0;
    const int32_t terminator = room < 4 ? room : 4;
    BitStreamAppend(stream, 0, terminator);
    int32_t fill = (8 - stream->count % 8) % 8;
    if (fill > room - terminator) fill = room - terminator;
    BitStreamAppend(stream, 0, fill);
    return stream->count / 8 <= QRCodeDataCodewords(version, level);
}

// The data codewords: the stream's bytes, then the two pad codewords in turn up to the
// version's count.
void TakeDataCodewords(BitStream* stream, int32_t dataCodewords, uint8_t* data) {
    int32_t i = stream->count / 8;
    BitStreamTakeBytes(stream, i, data);
    for (int32_t pad = 0; i < dataCodewords; ++i, ++pad)
        data[i] = static_cast<uint8_t>(kPadCodewords[pad % 2]);
}

// Splits the data into the version's blocks in table order (shorter blocks first) and computes
// each block's error correction into ec. Returns the number of blocks.
int32_t EncodeBlocks(int32_t version, int32_t level, const uint8_t* data, uint8_t* ec, Block* blocks) {
    int32_t blockCount = 0, dataUsed = 0, ecUsed = 0;
    const int32_t rows = BlockEntryCount(version);
    for (int32_t r = 0; r < rows; ++r) {
        const int32_t* row = QRCodeBlockRow(version, r);
        if (row[QRCODE_EB_LEVEL] != level) continue;
        const int32_t k = row[QRCODE_EB_BLOCK_DATA];
        const int32_t n = row[QRCODE_EB_BLOCK_CODEWORDS] - k;
        for (int32_t b = 0; b < row[QRCODE_EB_BLOCKS] && blockCount < kMaxBlocks; ++b) {
            blocks[blockCount++] = Block{dataUsed, k, n, ecUsed};
            dataUsed += k;
            ecUsed += n;
        }
    }
    // Every block of a symbol has as many error-correction codewords as the others, so they are
    // divided together; runs of equal counts are taken as they come all the same.
    int32_t dataCounts[kMaxBlocks];
    for (int32_t b = 0; b < blockCount; ++b) dataCounts[b] = blocks[b].data;
    for (int32_t first = 0, last; first < blockCount; first = last) {
        for (last = first + 1; last < blockCount && blocks[last].ec == blocks[first].ec;) ++last;
        RSEncodeByteBlocks(data + blocks[first].start, dataCounts + first, last - first, blocks[first].ec,
                           ec + blocks[first].ecStart);
    }
    return blockCount;
}

// Codeword t of every block in turn, from `parts` (each block's part `length` long from
// `start`); t runs over the longest part. The parts every block has are taken without asking.
template <int32_t Block::*Start, int32_t Block::*Length>
int32_t InterleaveParts(const Block* blocks, int32_t blockCount, const uint8_t* parts, int32_t* out) {
    int32_t shortest = blockCount ? blocks[0].*Length : 0, longest = 0;
    for (int32_t b = 0; b < blockCount; ++b) {
        if (blocks[b].*Length < shortest) shortest = blocks[b].*Length;
        if (blocks[b].*Length > longest) longest = blocks[b].*Length;
    }
    // Codeword t < shortest of block b goes to t * blockCount + b.
    for (int32_t b = 0; b < blockCount; ++b) {
        const uint8_t* part = parts + blocks[b].*Start;
        int32_t* to = out + b;
        for (int32_t t = 0; t < shortest; ++t) to[t * blockCount] = part[t];
    }
    int32_t n = shortest * blockCount;
    for (int32_t t = shortest; t < longest; ++t)
        for (int32_t b = 0; b < blockCount; ++b)
            if (t < blocks[b].*Length) out[n++] = parts[blocks[b].*Start + t];
    return n;
}

// Codeword t of every block in turn, the data parts first, then the error-correction parts.
// Returns the number written.
int32_t Interleave(const Block* blocks, int32_t blockCount, const uint8_t* data, const uint8_t* ec,
                   int32_t* out) {
    const int32_t n = InterleaveParts<&Block::start, &Block::data>(blocks, blockCount, data, out);
    return n + InterleaveParts<&Block::ecStart, &Block::ec>(blocks, blockCount, ec, out + n);
}

}  // namespace

int32_t* QRCodeCreateCodewords(BitStream* stream, int32_t version, int32_t level) {
    int32_t count = 0;
    int32_t* result = QRCodeCreateCodewordsCounted(stream, version, level, &count);
    if (result) codewordCount = count;
    return result;
}

int32_t* QRCodeCreateCodewordsCounted(BitStream* stream, int32_t version, int32_t level, int32_t* count) {
    *count = 0;
    if (!QRCodeValidVersion(version) || !QRCodeValidLevel(level)) return nullptr;
    int32_t* result = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * QRCodeTotalCodewords(version)));
    if (!result) return nullptr;
    *count = QRCodeWriteCodewords(stream, version, level, result);
    if (*count) return result;
    std::free(result);
    return nullptr;
}

int32_t QRCodeWriteCodewords(BitStream* stream, int32_t version, int32_t level, int32_t* out) {
    if (!QRCodeValidVersion(version) || !QRCodeValidLevel(level)) return 0;
    // An overflowed stream is longer than any symbol holds.
    if (stream->overflow || !CloseStream(stream, version, level)) {
        QRCodeTrace("Too many codewords\n");
        return 0;
    }
    uint8_t data[kMaxCodewords], ec[kMaxCodewords];
    Block blocks[kMaxBlocks];
    TakeDataCodewords(stream, QRCodeDataCodewords(version, level), data);
    const int32_t blockCount = EncodeBlocks(version, level, data, ec, blocks);
    return Interleave(blocks, blockCount, data, ec, out);
}

// Terminator, padding, block split, error correction and interleaving.
#include "encoder/codewords.h"

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
    // An overflowed stream is longer than any symbol holds.
    if (stream->overflow) {
        QRCodeTrace("Too many codewords\n");
        return nullptr;
    }

    const int32_t capacityBits = QRCodeDataBits(version, level);
    int32_t room = capacityBits - stream->count;
    if (room < 0) room = 0;
    const int32_t terminator = room < 4 ? room : 4;
    BitStreamAppend(stream, 0, terminator);
    int32_t fill = (8 - stream->count % 8) % 8;
    if (fill > room - terminator) fill = room - terminator;
    BitStreamAppend(stream, 0, fill);

    const int32_t dataCodewords = QRCodeDataCodewords(version, level);
    const int32_t streamCodewords = stream->count / 8;
    if (streamCodewords > dataCodewords) {
        QRCodeTrace("Too many codewords\n");
        return nullptr;
    }

    const int32_t total = QRCodeTotalCodewords(version);
    int32_t* data = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * dataCodewords));
    int32_t* ec = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * total));
    int32_t* result = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * total));
    // One scratch block: the longest block is 153 codewords (k + c - k).
    int32_t scratch[256];
    Block blocks[128];
    if (!data || !ec || !result) {
        std::free(data);
        std::free(ec);
        std::free(result);
        return nullptr;
    }

    int32_t i = 0;
    for (; i < streamCodewords; ++i) data[i] = static_cast<int32_t>(BitStreamTake(stream, 8));
    for (int32_t pad = 0; i < dataCodewords; ++i, ++pad) data[i] = kPadCodewords[pad % 2];

    // Split into blocks in table order (shorter blocks first) and compute each block's error
    // correction.
    RSCodec codec;
    RSCodecInit(&codec);
    int32_t blockCount = 0, dataUsed = 0, ecUsed = 0;
    const int32_t rows = BlockEntryCount(version);
    for (int32_t r = 0; r < rows; ++r) {
        const int32_t* row = QRCodeBlockRow(version, r);
        if (row[QRCODE_EB_LEVEL] != level) continue;
        const int32_t k = row[QRCODE_EB_BLOCK_DATA];
        const int32_t n = row[QRCODE_EB_BLOCK_CODEWORDS] - k;
        for (int32_t b = 0; b < row[QRCODE_EB_BLOCKS]; ++b) {
            for (int32_t j = 0; j < k; ++j) scratch[j] = data[dataUsed + j];
            RSEncodeBlock(&codec, scratch, k, n);
            for (int32_t j = 0; j < n; ++j) ec[ecUsed + j] = scratch[k + j];
            blocks[blockCount++] = Block{dataUsed, k, n, ecUsed};
            dataUsed += k;
            ecUsed += n;
        }
    }

    // Interleave: codeword t of every block in turn, data part first, then error correction.
    int32_t out = 0;
    for (int32_t t = 0;; ++t) {
        bool any = false;
        for (int32_t b = 0; b < blockCount; ++b) {
            if (t < blocks[b].data) {
                result[out++] = data[blocks[b].start + t];
                any = true;
            }
        }
        if (!any) break;
    }
    for (int32_t t = 0;; ++t) {
        bool any = false;
        for (int32_t b = 0; b < blockCount; ++b) {
            if (t < blocks[b].ec) {
                result[out++] = ec[blocks[b].ecStart + t];
                any = true;
            }
        }
        if (!any) break;
    }

    std::free(data);
    std::free(ec);
    *count = out;
    return result;
}

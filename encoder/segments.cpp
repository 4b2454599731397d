// The segment writers.
#include "encoder/segments.h"

#include <cstdlib>

#include "encoder/settings.h"
#include "encoder/tables.h"

const int32_t QRCodeCountBitsTable[3][5] = {
    {9, 10, 9, 8, 8},
    {26, 12, 11, 16, 10},
    {40, 14, 13, 16, 12},
};

int32_t QRCodeCountBits(int32_t mode, int32_t version) {
    if (mode < QRCODE_COUNT_NUMERIC || mode > QRCODE_COUNT_KANJI || !QRCodeValidVersion(version)) return 0;
    for (const auto& row : QRCodeCountBitsTable)
        if (version <= row[0]) return row[mode];
    return 0;
}

const QRCodeAlphanumericEntry AlphanumericTable[45] = {
    {'0', "0"},  {'1', "1"},  {'2', "2"},  {'3', "3"},  {'4', "4"},  {'5', "5"},  {'6', "6"},
    {'7', "7"},  {'8', "8"},  {'9', "9"},  {'A', "10"}, {'B', "11"}, {'C', "12"}, {'D', "13"},
    {'E', "14"}, {'F', "15"}, {'G', "16"}, {'H', "17"}, {'I', "18"}, {'J', "19"}, {'K', "20"},
    {'L', "21"}, {'M', "22"}, {'N', "23"}, {'O', "24"}, {'P', "25"}, {'Q', "26"}, {'R', "27"},
    {'S', "28"}, {'T', "29"}, {'U', "30"}, {'V', "31"}, {'W', "32"}, {'X', "33"}, {'Y', "34"},
    {'Z', "35"}, {' ', "36"}, {'$', "37"}, {'%', "38"}, {'*', "39"}, {'+', "40"}, {'-', "41"},
    {'.', "42"}, {'/', "43"}, {':', "44"},
};

namespace {

// AlphanumericTable turned around: the value of every 7-bit character, -1 for those outside
// the set. Mode analysis asks about every character several times, so the table is read once.
struct AlphanumericLookup {
    int8_t value[128];
};

AlphanumericLookup BuildAlphanumericLookup() {
    AlphanumericLookup lookup;
    for (int8_t& v : lookup.value) v = -1;
    for (const auto& entry : AlphanumericTable)
        lookup.value[static_cast<unsigned char>(entry.character) & 0x7F] = static_cast<int8_t>(std::atoi(entry.value));
    return lookup;
}

}  // namespace

int32_t QRCodeAlphanumericValue(int32_t c) {
    static const AlphanumericLookup lookup = BuildAlphanumericLookup();
    // Values outside the byte range (kanji values) never match a table character.
    if (c < 0 || c > 0x7F) return -1;
    return lookup.value[c];
}

namespace {

// Mode indicator and count; the count is written in its width, so a count too large for it
// only occurs in a stream already too long for every version of the group.
void WriteHeader(BitStream* stream, int32_t indicator, int32_t countMode, int32_t count, int32_t version) {
    BitStreamAppend(stream, indicator, 4);
    BitStreamAppend(stream, count, QRCodeCountBits(countMode, version));
}

}  // namespace

int32_t QRCodeWriteNumeric(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream) {
    int32_t taken = 0;
    while (taken < n && QRCodeIsDigit(values[p + taken])) ++taken;
    WriteHeader(stream, QRCODE_INDICATOR_NUMERIC, QRCODE_COUNT_NUMERIC, taken, version);
    for (int32_t i = 0; i < taken; i += 3) {
        const int32_t group = taken - i < 3 ? taken - i : 3;
        int32_t number = 0;
        for (int32_t j = 0; j < group; ++j) number = number * 10 + (values[p + i + j] - '0');
        BitStreamAppend(stream, number, group == 3 ? 10 : group == 2 ? 7 : 4);
    }
    return p + taken;
}

int32_t QRCodeWriteAlphanumeric(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream) {
    int32_t taken = 0;
    while (taken < n && QRCodeIsAlphanumeric(values[p + taken])) ++taken;
    WriteHeader(stream, QRCODE_INDICATOR_ALPHANUMERIC, QRCODE_COUNT_ALPHANUMERIC, taken, version);
    int32_t i = 0;
    for (; i + 1 < taken; i += 2) {
        const int32_t pair = 45 * QRCodeAlphanumericValue(values[p + i]) + QRCodeAlphanumericValue(values[p + i + 1]);
        BitStreamAppend(stream, pair, 11);
    }
    if (i < taken) BitStreamAppend(stream, QRCodeAlphanumericValue(values[p + i]), 6);
    return p + taken;
}

int32_t QRCodeWriteByte(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream) {
    if (n < 0) n = 0;
    WriteHeader(stream, QRCODE_INDICATOR_BYTE, QRCODE_COUNT_BYTE, n, version);
    BitStreamAppendBytes(stream, values + p, n);
    return p + n;
}

int32_t QRCodeWriteKanji(const int32_t* values, int32_t p, int32_t n, int32_t version, BitStream* stream) {
    int32_t taken = 0;
    while (taken < n && QRCodeIsKanji(values[p + taken])) ++taken;
    WriteHeader(stream, QRCODE_INDICATOR_KANJI, QRCODE_COUNT_KANJI, taken, version);
    for (int32_t i = 0; i < taken; ++i) {
        const int32_t c = values[p + i];
        const int32_t d = c - (c <= 0x9FFC ? 0x8140 : 0xC140);
        BitStreamAppend(stream, (d >> 8) * 0xC0 + (d & 0xFF), 13);
    }
    return p + taken;
}

int32_t QRCodeModeRun(int32_t encodeMode, const int32_t* values, int32_t n) {
    bool (*holds)(int32_t) = nullptr;
    if (encodeMode == QRCODE_MODE_NUMERIC) holds = QRCodeIsDigit;
    if (encodeMode == QRCODE_MODE_ALPHANUMERIC) holds = QRCodeIsAlphanumeric;
    if (encodeMode == QRCODE_MODE_KANJI) holds = QRCodeIsKanji;
    if (n < 0) n = 0;
    if (!holds) return n;
    int32_t taken = 0;
    while (taken < n && holds(values[taken])) ++taken;
    return taken;
}

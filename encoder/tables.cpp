// The symbol tables. The module budget is constant data; the block split is written down once
// in compact form and expanded, together with the capacities that follow from it, at compile
// time, so every table is constant from load on and needs no run-time initialisation order.
#include "encoder/tables.h"

// Version, modules per side, function modules, format/version modules, data modules, total
// codewords, remainder bits.
constexpr int32_t VersionCharacteristics[QRCODE_VERSION_COUNT][7] = {
    {1, 21, 202, 31, 208, 26, 0},          {2, 25, 235, 31, 359, 44, 7},
    {3, 29, 243, 31, 567, 70, 7},          {4, 33, 251, 31, 807, 100, 7},
    {5, 37, 259, 31, 1079, 134, 7},        {6, 41, 267, 31, 1383, 172, 7},
    {7, 45, 390, 67, 1568, 196, 0},        {8, 49, 398, 67, 1936, 242, 0},
    {9, 53, 406, 67, 2336, 292, 0},        {10, 57, 414, 67, 2768, 346, 0},
    {11, 61, 422, 67, 3232, 404, 0},       {12, 65, 430, 67, 3728, 466, 0},
    {13, 69, 438, 67, 4256, 532, 0},       {14, 73, 611, 67, 4651, 581, 3},
    {15, 77, 619, 67, 5243, 655, 3},       {16, 81, 627, 67, 5867, 733, 3},
    {17, 85, 635, 67, 6523, 815, 3},       {18, 89, 643, 67, 7211, 901, 3},
    {19, 93, 651, 67, 7931, 991, 3},       {20, 97, 659, 67, 8683, 1085, 3},
    {21, 101, 882, 67, 9252, 1156, 4},     {22, 105, 890, 67, 10068, 1258, 4},
    {23, 109, 898, 67, 10916, 1364, 4},    {24, 113, 906, 67, 11796, 1474, 4},
    {25, 117, 914, 67, 12708, 1588, 4},    {26, 121, 922, 67, 13652, 1706, 4},
    {27, 125, 930, 67, 14628, 1828, 4},    {28, 129, 1203, 67, 15371, 1921, 3},
    {29, 133, 1211, 67, 16411, 2051, 3},   {30, 137, 1219, 67, 17483, 2185, 3},
    {31, 141, 1227, 67, 18587, 2323, 3},   {32, 145, 1235, 67, 19723, 2465, 3},
    {33, 149, 1243, 67, 20891, 2611, 3},   {34, 153, 1251, 67, 22091, 2761, 3},
    {35, 157, 1574, 67, 23008, 2876, 0},   {36, 161, 1582, 67, 24272, 3034, 0},
    {37, 165, 1590, 67, 25568, 3196, 0},   {38, 169, 1598, 67, 26896, 3362, 0},
    {39, 173, 1606, 67, 28256, 3532, 0},   {40, 177, 1614, 67, 29648, 3706, 0},
};

namespace {

// Character-count widths by version group (1-9, 10-26, 27-40): numeric, alphanumeric, byte,
// kanji. Kept local so that the tables stand alone at compile time; the bit-stream writers
// have the same widths.
constexpr int32_t kCountWidths[3][4] = {{10, 9, 8, 8}, {12, 11, 16, 10}, {14, 13, 16, 12}};

constexpr int32_t GroupOf(int32_t version) { return version <= 9 ? 0 : version <= 26 ? 1 : 2; }

// Block split per version and level: error-correction codewords per block, then the count and
// data codewords of the shorter blocks, then the count and data codewords of the longer ones
// (k + 1), or 0, 0 when the level has a single block size.
struct BlockSpec {
    int32_t ecPerBlock, blocks1, data1, blocks2, data2;
};

constexpr BlockSpec kBlockSpecs[QRCODE_VERSION_COUNT][QRCODE_LEVEL_COUNT] = {
    {{7, 1, 19, 0, 0}, {10, 1, 16, 0, 0}, {13, 1, 13, 0, 0}, {17, 1, 9, 0, 0}},
    {{10, 1, 34, 0, 0}, {16, 1, 28, 0, 0}, {22, 1, 22, 0, 0}, {28, 1, 16, 0, 0}},
    {{15, 1, 55, 0, 0}, {26, 1, 44, 0, 0}, {18, 2, 17, 0, 0}, {22, 2, 13, 0, 0}},
    {{20, 1, 80, 0, 0}, {18, 2, 32, 0, 0}, {26, 2, 24, 0, 0}, {16, 4, 9, 0, 0}},
    {{26, 1, 108, 0, 0}, {24, 2, 43, 0, 0}, {18, 2, 15, 2, 16}, {22, 2, 11, 2, 12}},
    {{18, 2, 68, 0, 0}, {16, 4, 27, 0, 0}, {24, 4, 19, 0, 0}, {28, 4, 15, 0, 0}},
    {{20, 2, 78, 0, 0}, {18, 4, 31, 0, 0}, {18, 2, 14, 4, 15}, {26, 4, 13, 1, 14}},
    {{24, 2, 97, 0, 0}, {22, 2, 38, 2, 39}, {22, 4, 18, 2, 19}, {26, 4, 14, 2, 15}},
    {{30, 2, 116, 0, 0}, {22, 3, 36, 2, 37}, {20, 4, 16, 4, 17}, {24, 4, 12, 4, 13}},
    {{18, 2, 68, 2, 69}, {26, 4, 43, 1, 44}, {24, 6, 19, 2, 20}, {28, 6, 15, 2, 16}},
    {{20, 4, 81, 0, 0}, {30, 1, 50, 4, 51}, {28, 4, 22, 4, 23}, {24, 3, 12, 8, 13}},
    {{24, 2, 92, 2, 93}, {22, 6, 36, 2, 37}, {26, 4, 20, 6, 21}, {28, 7, 14, 4, 15}},
    {{26, 4, 107, 0, 0}, {22, 8, 37, 1, 38}, {24, 8, 20, 4, 21}, {22, 12, 11, 4, 12}},
    {{30, 3, 115, 1, 116}, {24, 4, 40, 5, 41}, {20, 11, 16, 5, 17}, {24, 11, 12, 5, 13}},
    {{22, 5, 87, 1, 88}, {24, 5, 41, 5, 42}, {30, 5, 24, 7, 25}, {24, 11, 12, 7, 13}},
    {{24, 5, 98, 1, 99}, {28, 7, 45, 3, 46}, {24, 15, 19, 2, 20}, {30, 3, 15, 13, 16}},
    {{28, 1, 107, 5, 108}, {28, 10, 46, 1, 47}, {28, 1, 22, 15, 23}, {28, 2, 14, 17, 15}},
    {{30, 5, 120, 1, 121}, {26, 9, 43, 4, 44}, {28, 17, 22, 1, 23}, {28, 2, 14, 19, 15}},
    {{28, 3, 113, 4, 114}, {26, 3, 44, 11, 45}, {26, 17, 21, 4, 22}, {26, 9, 13, 16, 14}},
    {{28, 3, 107, 5, 108}, {26, 3, 41, 13, 42}, {30, 15, 24, 5, 25}, {28, 15, 15, 10, 16}},
    {{28, 4, 116, 4, 117}, {26, 17, 42, 0, 0}, {28, 17, 22, 6, 23}, {30, 19, 16, 6, 17}},
    {{28, 2, 111, 7, 112}, {28, 17, 46, 0, 0}, {30, 7, 24, 16, 25}, {24, 34, 13, 0, 0}},
    {{30, 4, 121, 5, 122}, {28, 4, 47, 14, 48}, {30, 11, 24, 14, 25}, {30, 16, 15, 14, 16}},
    {{30, 6, 117, 4, 118}, {28, 6, 45, 14, 46}, {30, 11, 24, 16, 25}, {30, 30, 16, 2, 17}},
    {{26, 8, 106, 4, 107}, {28, 8, 47, 13, 48}, {30, 7, 24, 22, 25}, {30, 22, 15, 13, 16}},
    {{28, 10, 114, 2, 115}, {28, 19, 46, 4, 47}, {28, 28, 22, 6, 23}, {30, 33, 16, 4, 17}},
    {{30, 8, 122, 4, 123}, {28, 22, 45, 3, 46}, {30, 8, 23, 26, 24}, {30, 12, 15, 28, 16}},
    {{30, 3, 117, 10, 118}, {28, 3, 45, 23, 46}, {30, 4, 24, 31, 25}, {30, 11, 15, 31, 16}},
    {{30, 7, 116, 7, 117}, {28, 21, 45, 7, 46}, {30, 1, 23, 37, 24}, {30, 19, 15, 26, 16}},
    {{30, 5, 115, 10, 116}, {28, 19, 47, 10, 48}, {30, 15, 24, 25, 25}, {30, 23, 15, 25, 16}},
    {{30, 13, 115, 3, 116}, {28, 2, 46, 29, 47}, {30, 42, 24, 1, 25}, {30, 23, 15, 28, 16}},
    {{30, 17, 115, 0, 0}, {28, 10, 46, 23, 47}, {30, 10, 24, 35, 25}, {30, 19, 15, 35, 16}},
    {{30, 17, 115, 1, 116}, {28, 14, 46, 21, 47}, {30, 29, 24, 19, 25}, {30, 11, 15, 46, 16}},
    {{30, 13, 115, 6, 116}, {28, 14, 46, 23, 47}, {30, 44, 24, 7, 25}, {30, 59, 16, 1, 17}},
    {{30, 12, 121, 7, 122}, {28, 12, 47, 26, 48}, {30, 39, 24, 14, 25}, {30, 22, 15, 41, 16}},
    {{30, 6, 121, 14, 122}, {28, 6, 47, 34, 48}, {30, 46, 24, 10, 25}, {30, 2, 15, 64, 16}},
    {{30, 17, 122, 4, 123}, {28, 29, 46, 14, 47}, {30, 49, 24, 10, 25}, {30, 24, 15, 46, 16}},
    {{30, 4, 122, 18, 123}, {28, 13, 46, 32, 47}, {30, 48, 24, 14, 25}, {30, 42, 15, 32, 16}},
    {{30, 20, 117, 4, 118}, {28, 40, 47, 7, 48}, {30, 43, 24, 22, 25}, {30, 10, 15, 67, 16}},
    {{30, 19, 118, 6, 119}, {28, 18, 47, 31, 48}, {30, 34, 24, 34, 25}, {30, 20, 15, 61, 16}},
};

// The standard reserves misdecode-protection codewords in the three smallest cases, so their
// correctable count is below half the error-correction codewords.
constexpr int32_t Correctable(int32_t version, int32_t level, int32_t ecPerBlock) {
    if (version == 1 && level == 0) return 2;
    if (version == 1 && level == 1) return 4;
    if (version == 2 && level == 0) return 4;
    return ecPerBlock / 2;
}

constexpr QRCodeBlockTable BuildBlockTable() {
    QRCodeBlockTable table{};
    for (int32_t v = 1; v <= QRCODE_VERSION_COUNT; ++v) {
        const int32_t total = VersionCharacteristics[v - 1][QRCODE_VC_TOTAL_CODEWORDS];
        int32_t row = 0;
        for (int32_t level = 0; level < QRCODE_LEVEL_COUNT; ++level) {
            const BlockSpec& s = kBlockSpecs[v - 1][level];
            const int32_t ecTotal = s.ecPerBlock * (s.blocks1 + s.blocks2);
            const int32_t sizes[2][2] = {{s.blocks1, s.data1}, {s.blocks2, s.data2}};
            for (const auto& size : sizes) {
                if (size[0] == 0) continue;
                int32_t* r = table.rows[v - 1][row++];
                r[QRCODE_EB_VERSION] = v;
                r[QRCODE_EB_TOTAL_CODEWORDS] = total;
                r[QRCODE_EB_LEVEL] = level;
                r[QRCODE_EB_EC_CODEWORDS] = ecTotal;
                r[QRCODE_EB_BLOCKS] = size[0];
                r[QRCODE_EB_BLOCK_CODEWORDS] = size[1] + s.ecPerBlock;
                r[QRCODE_EB_BLOCK_DATA] = size[1];
                r[QRCODE_EB_CORRECTABLE] = Correctable(v, level, s.ecPerBlock);
            }
        }
    }
    return table;
}

// Characters that fit `bits` after the 4-bit mode indicator and a count of `countWidth` bits.
constexpr int32_t NumericCapacity(int32_t bits) {
    const int32_t full = bits / 10 * 3;
    const int32_t rest = bits % 10;
    return full + (rest >= 7 ? 2 : rest >= 4 ? 1 : 0);
}
constexpr int32_t AlphanumericCapacity(int32_t bits) { return bits / 11 * 2 + (bits % 11 >= 6 ? 1 : 0); }

constexpr QRCodeCapacityTable BuildCapacityTable(const QRCodeBlockTable& blocks) {
    QRCodeCapacityTable table{};
    for (int32_t v = 1; v <= QRCODE_VERSION_COUNT; ++v) {
        for (int32_t level = 0; level < QRCODE_LEVEL_COUNT; ++level) {
            int32_t data = 0;
            for (const auto& r : blocks.rows[v - 1]) {
                if (r[QRCODE_EB_BLOCKS] > 0 && r[QRCODE_EB_LEVEL] == level)
                    data += r[QRCODE_EB_BLOCKS] * r[QRCODE_EB_BLOCK_DATA];
            }
            const int32_t bits = 8 * data;
            const int32_t* widths = kCountWidths[GroupOf(v)];
            int32_t* row = table.rows[(v - 1) * QRCODE_LEVEL_COUNT + level];
            row[QRCODE_DC_VERSION] = v;
            row[QRCODE_DC_LEVEL] = level;
            row[QRCODE_DC_DATA_CODEWORDS] = data;
            row[QRCODE_DC_DATA_BITS] = bits;
            row[QRCODE_DC_NUMERIC] = NumericCapacity(bits - 4 - widths[0]);
            row[QRCODE_DC_ALPHANUMERIC] = AlphanumericCapacity(bits - 4 - widths[1]);
            row[QRCODE_DC_BYTE] = (bits - 4 - widths[2]) / 8;
            row[QRCODE_DC_KANJI] = (bits - 4 - widths[3]) / 13;
        }
    }
    return table;
}

}  // namespace

constexpr QRCodeBlockTable ErrorCorrectionBlockTable = BuildBlockTable();
constexpr QRCodeCapacityTable DataCapacityTable = BuildCapacityTable(ErrorCorrectionBlockTable);

int32_t BlockEntryCount(int32_t version) {
    if (!QRCodeValidVersion(version)) return 0;
    // Rows in use: one per level plus one per level with two block sizes. Version 11 uses 7
    // rows but is scanned over 8; its eighth row has no blocks and contributes nothing.
    if (version == 11) return 8;
    int32_t used = 0;
    for (const auto& r : ErrorCorrectionBlockTable.rows[version - 1])
        if (r[QRCODE_EB_BLOCKS] > 0) ++used;
    return used;
}

int32_t QRCodeModulesPerSide(int32_t version) {
    return QRCodeValidVersion(version) ? VersionCharacteristics[version - 1][QRCODE_VC_MODULES_PER_SIDE] : 0;
}

int32_t QRCodeTotalCodewords(int32_t version) {
    return QRCodeValidVersion(version) ? VersionCharacteristics[version - 1][QRCODE_VC_TOTAL_CODEWORDS] : 0;
}

int32_t QRCodeRemainderBits(int32_t version) {
    return QRCodeValidVersion(version) ? VersionCharacteristics[version - 1][QRCODE_VC_REMAINDER_BITS] : 0;
}

int32_t QRCodeDataCodewords(int32_t version, int32_t level) {
    if (!QRCodeValidVersion(version) || !QRCodeValidLevel(level)) return 0;
    return DataCapacityTable.rows[(version - 1) * QRCODE_LEVEL_COUNT + level][QRCODE_DC_DATA_CODEWORDS];
}

int32_t QRCodeDataBits(int32_t version, int32_t level) {
    if (!QRCodeValidVersion(version) || !QRCodeValidLevel(level)) return 0;
    return DataCapacityTable.rows[(version - 1) * QRCODE_LEVEL_COUNT + level][QRCODE_DC_DATA_BITS];
}

const int32_t* QRCodeBlockRow(int32_t version, int32_t row) {
    if (!QRCodeValidVersion(version) || row < 0 || row >= QRCODE_BLOCK_ROWS_PER_VERSION) return nullptr;
    return ErrorCorrectionBlockTable.rows[version - 1][row];
}

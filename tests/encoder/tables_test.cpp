// The symbol tables, checked by their invariants over all 160 (version, level) pairs, against
// the matrix layout, and against a few rows of the standard's tables.
#include "encoder/tables.h"

#include <gtest/gtest.h>

#include <memory>

#include "encoder/matrix.h"
#include "encoder/segments.h"

namespace {

// Bits needed for n characters of each mode, as the standard counts them: mode indicator,
// count indicator and the packed characters.
int NumericBits(int n, int cc) { return 4 + cc + 10 * (n / 3) + (n % 3 == 1 ? 4 : n % 3 == 2 ? 7 : 0); }
int AlphanumericBits(int n, int cc) { return 4 + cc + 11 * (n / 2) + 6 * (n % 2); }
int ByteBits(int n, int cc) { return 4 + cc + 8 * n; }
int KanjiBits(int n, int cc) { return 4 + cc + 13 * n; }

// Largest n whose bits fit, found by stepping n up rather than by a closed formula.
template <typename F>
int Largest(F bits, int cc, int capacity) {
    int n = 0;
    while (bits(n + 1, cc) <= capacity) ++n;
    return n;
}

int CountWidth(int mode, int version) {
    static const int widths[3][4] = {{10, 9, 8, 8}, {12, 11, 16, 10}, {14, 13, 16, 12}};
    return widths[version <= 9 ? 0 : version <= 26 ? 1 : 2][mode];
}

TEST(TablesTest, VersionCharacteristicsAreConsistent) {
    for (int v = 1; v <= 40; ++v) {
        const int32_t* r = VersionCharacteristics[v - 1];
        SCOPED_TRACE(v);
        EXPECT_EQ(r[QRCODE_VC_VERSION], v);
        const int a = r[QRCODE_VC_MODULES_PER_SIDE];
        EXPECT_EQ(a, 17 + 4 * v);
        EXPECT_EQ(QRCodeModulesPerSide(v), a);
        EXPECT_EQ(r[QRCODE_VC_INFO_MODULES], v < 7 ? 31 : 67);
        EXPECT_EQ(r[QRCODE_VC_DATA_MODULES], a * a - r[QRCODE_VC_FUNCTION_MODULES] - r[QRCODE_VC_INFO_MODULES]);
        EXPECT_EQ(r[QRCODE_VC_TOTAL_CODEWORDS] * 8 + r[QRCODE_VC_REMAINDER_BITS], r[QRCODE_VC_DATA_MODULES]);
        EXPECT_LT(r[QRCODE_VC_REMAINDER_BITS], 8);
    }
}

TEST(TablesTest, DataModulesEqualTheEmptyCellsOfTheLaidOutMatrix) {
    auto m = std::make_unique<SymbolMatrix>();
    for (int v = 1; v <= 40; ++v) {
        const int a = QRCodeModulesPerSide(v);
        QRCodeInitMatrix(m.get(), a, a, v);
        int empty = 0;
        for (int x = 0; x < a; ++x)
            for (int y = 0; y < a; ++y) empty += QRCodeGetCell(m.get(), x, y) == CELL_EMPTY;
        EXPECT_EQ(empty, VersionCharacteristics[v - 1][QRCODE_VC_DATA_MODULES]) << "version " << v;
    }
}

TEST(TablesTest, BlocksOfEveryLevelFillTheSymbol) {
    for (int v = 1; v <= 40; ++v) {
        const int total = QRCodeTotalCodewords(v);
        for (int level = 0; level < 4; ++level) {
            SCOPED_TRACE(testing::Message() << "version " << v << " level " << level);
            int sumC = 0, sumK = 0, ecPerBlock = -1, rows = 0, previousK = 0, blocks = 0;
            for (int i = 0; i < BlockEntryCount(v); ++i) {
                const int32_t* r = QRCodeBlockRow(v, i);
                if (r[QRCODE_EB_BLOCKS] == 0 || r[QRCODE_EB_LEVEL] != level) continue;
                const int c = r[QRCODE_EB_BLOCK_CODEWORDS], k = r[QRCODE_EB_BLOCK_DATA];
                EXPECT_EQ(r[QRCODE_EB_VERSION], v);
                EXPECT_EQ(r[QRCODE_EB_TOTAL_CODEWORDS], total);
                if (ecPerBlock >= 0) {
                    EXPECT_EQ(c - k, ecPerBlock);
                }
                if (rows == 1) {
                    EXPECT_EQ(k, previousK + 1);  // the longer blocks follow
                }
                ecPerBlock = c - k;
                previousK = k;
                sumC += r[QRCODE_EB_BLOCKS] * c;
                sumK += r[QRCODE_EB_BLOCKS] * k;
                blocks += r[QRCODE_EB_BLOCKS];
                ++rows;
            }
            EXPECT_GE(rows, 1);
            EXPECT_LE(rows, 2);
            EXPECT_EQ(sumC, total);
            EXPECT_EQ(sumK, QRCodeDataCodewords(v, level));
            EXPECT_LE(blocks, 81);
            // Error correction grows with the level.
            if (level > 0) {
                EXPECT_LT(QRCodeDataCodewords(v, level), QRCodeDataCodewords(v, level - 1));
            }
        }
    }
}

TEST(TablesTest, LevelsComeInOrderWithinEveryVersion) {
    for (int v = 1; v <= 40; ++v) {
        int last = -1;
        for (int i = 0; i < QRCODE_BLOCK_ROWS_PER_VERSION; ++i) {
            const int32_t* r = QRCodeBlockRow(v, i);
            if (i >= BlockEntryCount(v) || r[QRCODE_EB_BLOCKS] == 0) {
                for (int col = 0; col < 8; ++col) EXPECT_EQ(r[col], 0) << v << " row " << i;
                continue;
            }
            EXPECT_GE(r[QRCODE_EB_LEVEL], last);
            last = r[QRCODE_EB_LEVEL];
        }
        EXPECT_EQ(last, 3) << v;
    }
}

TEST(TablesTest, CapacitiesFollowFromTheDataBitsAndCountWidths) {
    for (int v = 1; v <= 40; ++v) {
        for (int level = 0; level < 4; ++level) {
            const int32_t* r = DataCapacityTable.rows[(v - 1) * 4 + level];
            SCOPED_TRACE(testing::Message() << "version " << v << " level " << level);
            EXPECT_EQ(r[QRCODE_DC_VERSION], v);
            EXPECT_EQ(r[QRCODE_DC_LEVEL], level);
            const int bits = r[QRCODE_DC_DATA_BITS];
            EXPECT_EQ(bits, 8 * r[QRCODE_DC_DATA_CODEWORDS]);
            EXPECT_EQ(QRCodeDataBits(v, level), bits);
            EXPECT_EQ(r[QRCODE_DC_NUMERIC], Largest(NumericBits, CountWidth(0, v), bits));
            EXPECT_EQ(r[QRCODE_DC_ALPHANUMERIC], Largest(AlphanumericBits, CountWidth(1, v), bits));
            EXPECT_EQ(r[QRCODE_DC_BYTE], Largest(ByteBits, CountWidth(2, v), bits));
            EXPECT_EQ(r[QRCODE_DC_KANJI], Largest(KanjiBits, CountWidth(3, v), bits));
            // A count indicator can always hold the capacity, so a count too large for its
            // width only ever occurs in a stream that no version of the group holds.
            EXPECT_LT(r[QRCODE_DC_NUMERIC], 1 << QRCodeCountBits(QRCODE_COUNT_NUMERIC, v));
            EXPECT_LT(r[QRCODE_DC_ALPHANUMERIC], 1 << QRCodeCountBits(QRCODE_COUNT_ALPHANUMERIC, v));
            EXPECT_LT(r[QRCODE_DC_BYTE], 1 << QRCodeCountBits(QRCODE_COUNT_BYTE, v));
            EXPECT_LT(r[QRCODE_DC_KANJI], 1 << QRCodeCountBits(QRCODE_COUNT_KANJI, v));
        }
    }
}

TEST(TablesTest, RowsOfTheStandard) {
    struct Row {
        int version, level, codewords, numeric, alphanumeric, byte, kanji;
    };
    const Row rows[] = {
        {1, 0, 19, 41, 25, 17, 10},         {1, 1, 16, 34, 20, 14, 8},
        {1, 3, 9, 17, 10, 7, 4},            {10, 1, 216, 513, 311, 213, 131},
        {40, 0, 2956, 7089, 4296, 2953, 1817},
        {40, 3, 1276, 3057, 1852, 1273, 784},
    };
    for (const Row& row : rows) {
        const int32_t* r = DataCapacityTable.rows[(row.version - 1) * 4 + row.level];
        SCOPED_TRACE(testing::Message() << row.version << "-" << row.level);
        EXPECT_EQ(r[QRCODE_DC_DATA_CODEWORDS], row.codewords);
        EXPECT_EQ(r[QRCODE_DC_NUMERIC], row.numeric);
        EXPECT_EQ(r[QRCODE_DC_ALPHANUMERIC], row.alphanumeric);
        EXPECT_EQ(r[QRCODE_DC_BYTE], row.byte);
        EXPECT_EQ(r[QRCODE_DC_KANJI], row.kanji);
    }
    // Block rows: 5-Q and 40-H split into two sizes; 1-L keeps its reduced correction capacity.
    const int32_t* q1 = QRCodeBlockRow(5, 2);
    const int32_t* q2 = QRCodeBlockRow(5, 3);
    EXPECT_EQ(q1[QRCODE_EB_LEVEL], 2);
    EXPECT_EQ(q1[QRCODE_EB_BLOCKS], 2);
    EXPECT_EQ(q1[QRCODE_EB_BLOCK_CODEWORDS], 33);
    EXPECT_EQ(q1[QRCODE_EB_BLOCK_DATA], 15);
    EXPECT_EQ(q2[QRCODE_EB_BLOCKS], 2);
    EXPECT_EQ(q2[QRCODE_EB_BLOCK_CODEWORDS], 34);
    const int32_t* h1 = QRCodeBlockRow(40, 6);
    const int32_t* h2 = QRCodeBlockRow(40, 7);
    EXPECT_EQ(h1[QRCODE_EB_BLOCKS], 20);
    EXPECT_EQ(h1[QRCODE_EB_BLOCK_DATA], 15);
    EXPECT_EQ(h2[QRCODE_EB_BLOCKS], 61);
    EXPECT_EQ(h2[QRCODE_EB_BLOCK_DATA], 16);
    EXPECT_EQ(h2[QRCODE_EB_EC_CODEWORDS], 2430);
    EXPECT_EQ(QRCodeBlockRow(1, 0)[QRCODE_EB_CORRECTABLE], 2);
    EXPECT_EQ(QRCodeBlockRow(1, 1)[QRCODE_EB_CORRECTABLE], 4);
    EXPECT_EQ(QRCodeBlockRow(2, 0)[QRCODE_EB_CORRECTABLE], 4);
    EXPECT_EQ(QRCodeBlockRow(1, 3)[QRCODE_EB_CORRECTABLE], 8);
}

TEST(TablesTest, BlockEntryCounts) {
    for (int v = 1; v <= 40; ++v) {
        int expected = 8;
        if (v <= 4 || v == 6) expected = 4;
        if (v == 5 || v == 7 || v == 22) expected = 6;
        if (v == 8 || v == 9 || v == 13 || v == 21 || v == 32) expected = 7;
        EXPECT_EQ(BlockEntryCount(v), expected) << v;
    }
    EXPECT_EQ(BlockEntryCount(0), 0);
    EXPECT_EQ(BlockEntryCount(41), 0);
}

TEST(TablesTest, LookupsOutsideTheTablesGiveNothing) {
    for (int bad : {-1, 0, 41, 1 << 30}) {
        EXPECT_EQ(QRCodeModulesPerSide(bad), 0);
        EXPECT_EQ(QRCodeTotalCodewords(bad), 0);
        EXPECT_EQ(QRCodeDataCodewords(bad, 0), 0);
        EXPECT_EQ(QRCodeBlockRow(bad, 0), nullptr);
    }
    for (int badLevel : {-1, 4, 100}) {
        EXPECT_EQ(QRCodeDataCodewords(1, badLevel), 0);
        EXPECT_EQ(QRCodeDataBits(40, badLevel), 0);
    }
    EXPECT_EQ(QRCodeBlockRow(1, 8), nullptr);
    EXPECT_EQ(QRCodeBlockRow(1, -1), nullptr);
}

}  // namespace

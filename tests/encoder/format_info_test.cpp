// Format and version information: the stored words against a BCH computation done here, and
// where the writers put their bits.
#include "encoder/format_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>

namespace {

// Remainder of data * x^(degree of generator) divided by the generator, over GF(2).
uint32_t BchRemainder(uint32_t data, uint32_t generator, int generatorDegree) {
    uint32_t value = data << generatorDegree;
    for (int bit = 31; bit >= generatorDegree; --bit) {
        if (value & (1u << bit)) value ^= generator << (bit - generatorDegree);
    }
    return value;
}

std::unique_ptr<SymbolMatrix> Blank(int version, int32_t fill) {
    auto m = std::make_unique<SymbolMatrix>();
    m->version = version;
    m->width = m->height = 17 + 4 * version;
    for (int32_t& c : m->cells) c = fill;
    return m;
}

std::set<std::pair<int, int>> ChangedCells(const SymbolMatrix& m, int32_t fill) {
    std::set<std::pair<int, int>> cells;
    for (int x = 0; x < kSymbolMatrixCapacity; ++x)
        for (int y = 0; y < kSymbolMatrixCapacity; ++y)
            if (QRCodeGetCell(&m, x, y) != fill) cells.insert({x, y});
    return cells;
}

// Reads a 15-bit word from the listed cells, the first cell being bit 14.
int ReadWord(const SymbolMatrix& m, const std::vector<std::pair<int, int>>& cells) {
    int word = 0;
    for (auto [x, y] : cells) word = (word << 1) | QRCodeIsDark(QRCodeGetCell(&m, x, y));
    return word;
}

TEST(FormatInfo, TableHoldsTheBchCodeOfEveryDataValue) {
    for (uint32_t data = 0; data < 32; ++data) {
        const uint32_t word = ((data << 10) | BchRemainder(data, 0x537, 10)) ^ 0x5412;
        std::string text;
        for (int bit = 14; bit >= 0; --bit) text += ((word >> bit) & 1) ? '1' : '0';
        EXPECT_EQ(std::string(FormatInfoStrings[data]), text) << "data value " << data;
    }
}

TEST(VersionInfo, TableHoldsTheBchCodeOfEveryVersion) {
    for (uint32_t v = 7; v <= 40; ++v) {
        const uint32_t word = (v << 12) | BchRemainder(v, 0x1F25, 12);
        EXPECT_EQ(static_cast<uint32_t>(VersionInfoBits[v - 7]), word) << "version " << v;
    }
}

TEST(FormatInfo, BothCopiesCarryTheWordInTheStandardReadingOrder) {
    auto m = Blank(1, CELL_EMPTY);
    const int W = m->width, H = m->height;
    // Reading order of each copy, bit 14 first, skipping the timing cells (6, 8) and (8, 6).
    std::vector<std::pair<int, int>> first = {{0, 8}, {1, 8}, {2, 8}, {3, 8}, {4, 8}, {5, 8}, {7, 8}, {8, 8},
                                              {8, 7}, {8, 5}, {8, 4}, {8, 3}, {8, 2}, {8, 1}, {8, 0}};
    std::vector<std::pair<int, int>> second;
    for (int y = H - 1; y >= H - 7; --y) second.push_back({8, y});
    for (int x = W - 8; x <= W - 1; ++x) second.push_back({x, 8});

    for (int index = 0; index < 32; ++index) {
        QRCodeWriteFormatInfo(m.get(), index);
        const int expected = std::stoi(FormatInfoStrings[index], nullptr, 2);
        EXPECT_EQ(ReadWord(*m, first), expected) << index;
        EXPECT_EQ(ReadWord(*m, second), expected) << index;
        EXPECT_EQ(QRCodeGetCell(m.get(), 8, H - 8), CELL_FORMAT_DARK);
    }
    // Level M, mask 0: bit 0 light at (8, 0), bit 1 dark at (8, 1), bit 14 dark at (0, 8).
    QRCodeWriteFormatInfo(m.get(), 0);
    EXPECT_EQ(QRCodeGetCell(m.get(), 8, 0), CELL_FORMAT_LIGHT);
    EXPECT_EQ(QRCodeGetCell(m.get(), 8, 1), CELL_FORMAT_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 0, 8), CELL_FORMAT_DARK);
    EXPECT_EQ(std::string(FormatInfoStrings[13]), "110001100011000");  // level L, mask 5
}

// The cells of one kind (light or dark form) in a matrix as the layout leaves it.
std::set<std::pair<int, int>> LaidOutCells(int version, int32_t light, int32_t dark) {
    auto m = Blank(version, CELL_EMPTY);
    QRCodeInitMatrix(m.get(), m->width, m->height, version);
    std::set<std::pair<int, int>> cells;
    for (int x = 0; x < m->width; ++x)
        for (int y = 0; y < m->height; ++y)
            if (QRCodeGetCell(m.get(), x, y) == light || QRCodeGetCell(m.get(), x, y) == dark)
                cells.insert({x, y});
    return cells;
}

TEST(FormatInfo, FinalFormOverwritesExactlyTheCellsTheLayoutReserves) {
    for (int version : {1, 7, 40}) {
        auto reserved = Blank(version, CELL_EMPTY);
        QRCodeInitMatrix(reserved.get(), reserved->width, reserved->height, version);
        const auto cells = LaidOutCells(version, CELL_FORMAT_LIGHT, CELL_FORMAT_DARK);
        EXPECT_EQ(cells.size(), 31u);
        int dark = 0;
        for (auto [x, y] : cells) dark += QRCodeGetCell(reserved.get(), x, y) == CELL_FORMAT_DARK;
        EXPECT_EQ(dark, 1) << "only the dark module";
        EXPECT_EQ(QRCodeGetCell(reserved.get(), 8, reserved->height - 8), CELL_FORMAT_DARK);
        EXPECT_FALSE(cells.count({8, 6}) || cells.count({6, 8})) << "timing cells are skipped";

        for (int index : {0, 13, 31}) {
            auto final = Blank(version, CELL_EMPTY);
            QRCodeWriteFormatInfo(final.get(), index);
            EXPECT_EQ(ChangedCells(*final, CELL_EMPTY), cells) << "version " << version << " index " << index;
        }
        // An index outside the table writes all light instead of reading past it.
        auto bad = Blank(version, CELL_EMPTY);
        QRCodeWriteFormatInfo(bad.get(), 99);
        EXPECT_EQ(ChangedCells(*bad, CELL_EMPTY), cells);
    }
}

TEST(VersionInfo, BlocksHoldTheWordBitZeroFirstAndSmallVersionsGetNone) {
    const auto reservedCells = LaidOutCells(7, CELL_VERSION_LIGHT, CELL_VERSION_LIGHT);
    EXPECT_EQ(reservedCells.size(), 36u) << "the layout reserves both blocks, all light";
    EXPECT_TRUE(LaidOutCells(7, CELL_VERSION_DARK, CELL_VERSION_DARK).empty());

    auto final = Blank(7, CELL_EMPTY);
    QRCodeWriteVersionInfo(final.get(), 7);
    EXPECT_EQ(ChangedCells(*final, CELL_EMPTY), reservedCells);
    // Bottom-left block: 6 columns x 3 rows, bit k at (k / 3, 34 + k % 3); the top-right block
    // is its transpose.
    int bottomLeft = 0, topRight = 0;
    for (int k = 17; k >= 0; --k) {
        bottomLeft = (bottomLeft << 1) | QRCodeIsDark(QRCodeGetCell(final.get(), k / 3, 34 + k % 3));
        topRight = (topRight << 1) | QRCodeIsDark(QRCodeGetCell(final.get(), 34 + k % 3, k / 3));
    }
    EXPECT_EQ(bottomLeft, 0x07C94);
    EXPECT_EQ(topRight, 0x07C94);

    for (int version : {1, 6, 41, -3}) {
        auto none = Blank(version < 1 ? 1 : version > 40 ? 40 : version, CELL_EMPTY);
        QRCodeWriteVersionInfo(none.get(), version);
        EXPECT_TRUE(ChangedCells(*none, CELL_EMPTY).empty()) << "version " << version;
    }
}

}  // namespace

// Codeword placement: the order in which data bits fill the symbol, and what it leaves alone.
#include "encoder/placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "encoder/tables.h"

namespace {

std::unique_ptr<SymbolMatrix> LaidOut(int version) {
    auto m = std::make_unique<SymbolMatrix>();
    const int side = 17 + 4 * version;
    QRCodeInitMatrix(m.get(), side, side, version);
    return m;
}

// The placement order written the way the symbol's figure describes it: column pairs from the
// right edge, skipping the timing column, alternately upwards and downwards, right module
// before left, empty cells only.
std::vector<std::pair<int, int>> ZigZag(const SymbolMatrix& m) {
    std::vector<std::pair<int, int>> order;
    bool upwards = true;
    for (int right = m.width - 1; right >= 1; right -= 2) {
        if (right == 6) right = 5;
        for (int step = 0; step < m.height; ++step) {
            const int y = upwards ? m.height - 1 - step : step;
            for (int x : {right, right - 1}) {
                if (QRCodeGetCell(&m, x, y) == CELL_EMPTY) order.push_back({x, y});
            }
        }
        upwards = !upwards;
    }
    return order;
}

// Finds where each data bit goes by placing a sequence with that single bit set.
std::vector<std::pair<int, int>> PlacedOrder(int version) {
    const int count = QRCodeTotalCodewords(version);
    std::vector<std::pair<int, int>> order;
    for (int bit = 0; bit < 8 * count; ++bit) {
        auto m = LaidOut(version);
        std::vector<int32_t> codewords(count, 0);
        codewords[bit / 8] = 0x80 >> (bit % 8);
        QRCodePlaceCodewords(m.get(), codewords.data(), count);
        std::pair<int, int> where{-1, -1};
        int dark = 0;
        for (int x = 0; x < m->width; ++x)
            for (int y = 0; y < m->height; ++y)
                if (QRCodeGetCell(m.get(), x, y) == CELL_DATA_DARK) where = {x, y}, ++dark;
        EXPECT_EQ(dark, 1) << "bit " << bit;
        order.push_back(where);
    }
    return order;
}

TEST(Placement, Version1FollowsTheZigZagOrder) {
    auto m = LaidOut(1);
    const auto expected = ZigZag(*m);
    ASSERT_EQ(expected.size(), 208u);
    const auto placed = PlacedOrder(1);
    EXPECT_EQ(placed, expected);
    EXPECT_EQ(placed[0], std::make_pair(20, 20));
    EXPECT_EQ(placed[1], std::make_pair(19, 20));
    EXPECT_EQ(placed[2], std::make_pair(20, 19));
}

TEST(Placement, Version2LeavesTheSevenRemainderCellsEmpty) {
    auto m = LaidOut(2);
    const auto expected = ZigZag(*m);
    ASSERT_EQ(expected.size(), 359u);
    const auto placed = PlacedOrder(2);
    ASSERT_EQ(placed.size(), 352u);
    EXPECT_TRUE(std::equal(placed.begin(), placed.end(), expected.begin()));

    std::vector<int32_t> ones(44, 0xFF);
    QRCodePlaceCodewords(m.get(), ones.data(), 44);
    std::vector<std::pair<int, int>> empty;
    for (int x = 0; x < m->width; ++x)
        for (int y = 0; y < m->height; ++y)
            if (QRCodeGetCell(m.get(), x, y) == CELL_EMPTY) empty.push_back({x, y});
    const std::vector<std::pair<int, int>> remainder = {{0, 13}, {0, 14}, {0, 15}, {0, 16},
                                                        {1, 14}, {1, 15}, {1, 16}};
    EXPECT_EQ(empty, remainder);
}

TEST(Placement, TouchesOnlyEmptyCellsAroundVersionAreasAndCrossingPatterns) {
    for (int version : {7, 22, 40}) {
        auto before = LaidOut(version);
        auto after = LaidOut(version);
        const int count = QRCodeTotalCodewords(version);
        std::vector<int32_t> codewords(count);
        for (int i = 0; i < count; ++i) codewords[i] = (i * 37 + 11) & 0xFF;
        QRCodePlaceCodewords(after.get(), codewords.data(), count);
        int remaining = 0;
        for (int x = 0; x < after->width; ++x) {
            for (int y = 0; y < after->height; ++y) {
                const int32_t was = QRCodeGetCell(before.get(), x, y);
                const int32_t now = QRCodeGetCell(after.get(), x, y);
                if (was != CELL_EMPTY) {
                    EXPECT_EQ(now, was) << x << "," << y;
                }
                remaining += now == CELL_EMPTY;
            }
        }
        EXPECT_EQ(remaining, QRCodeRemainderBits(version)) << "version " << version;
    }
}

// Every version's layout, and layouts that differ from their version's by one cell (which no
// recorded order of the version may serve), filled bit for bit as the zig-zag order says.
TEST(Placement, EveryVersionAndAlteredLayoutsFillTheirOwnEmptyCellsInZigZagOrder) {
    // Each layout as made twice: a version's first symbol in a process is walked, later ones
    // take the version's recorded order.
    enum Alteration { kNone, kExtraEmptyCell, kOneEmptyCellTaken };
    for (int version = 1; version <= 40; ++version) {
        for (Alteration alteration : {kNone, kNone, kExtraEmptyCell, kOneEmptyCellTaken}) {
            auto m = LaidOut(version);
            if (alteration == kExtraEmptyCell) QRCodeSetCell(m.get(), 3, 3, CELL_EMPTY);  // inside a finder
            if (alteration == kOneEmptyCellTaken) QRCodeSetCell(m.get(), m->width - 1, m->height - 2, CELL_TIMING_DARK);
            auto expected = std::make_unique<SymbolMatrix>(*m);
            const int count = QRCodeTotalCodewords(version);
            std::vector<int32_t> codewords(count);
            for (int i = 0; i < count; ++i) codewords[i] = (i * 73 + version * 5 + alteration) & 0xFF;
            const auto order = ZigZag(*expected);
            for (size_t bit = 0; bit < order.size() && bit < 8u * count; ++bit) {
                const bool dark = (codewords[bit / 8] >> (7 - bit % 8)) & 1;
                QRCodeSetCell(expected.get(), order[bit].first, order[bit].second, dark ? CELL_DATA_DARK : CELL_DATA_LIGHT);
            }
            QRCodePlaceCodewords(m.get(), codewords.data(), count);
            EXPECT_EQ(0, std::memcmp(m->cells, expected->cells, sizeof m->cells))
                << "version " << version << ", alteration " << alteration;
        }
    }
}

TEST(Placement, MoreCodewordsThanCellsStopAtTheLeftEdge) {
    auto m = LaidOut(1);
    // Mark the cells just outside the symbol; an overrunning cursor would write them.
    for (int y = 0; y < kSymbolMatrixCapacity; ++y) m->cells[21 * kSymbolMatrixCapacity + y] = 0x77;
    for (int x = 0; x < kSymbolMatrixCapacity; ++x) m->cells[x * kSymbolMatrixCapacity + 21] = 0x77;
    std::vector<int32_t> many(500, 0xA5);
    QRCodePlaceCodewords(m.get(), many.data(), static_cast<int>(many.size()));
    int empty = 0;
    for (int x = 0; x < 21; ++x)
        for (int y = 0; y < 21; ++y) empty += QRCodeGetCell(m.get(), x, y) == CELL_EMPTY;
    EXPECT_EQ(empty, 0);
    for (int i = 0; i < kSymbolMatrixCapacity; ++i) {
        EXPECT_EQ(m->cells[21 * kSymbolMatrixCapacity + i], 0x77);
        EXPECT_EQ(m->cells[i * kSymbolMatrixCapacity + 21], 0x77);
    }
}

TEST(Placement, ARecordWiderThanTheGridIsLeftAlone) {
    auto m = std::make_unique<SymbolMatrix>();
    for (int32_t& c : m->cells) c = CELL_EMPTY;
    m->width = m->height = kSymbolMatrixCapacity + 1;
    std::vector<int32_t> codewords(100, 0xFF);
    QRCodePlaceCodewords(m.get(), codewords.data(), 100);
    EXPECT_EQ(std::count(std::begin(m->cells), std::end(m->cells), CELL_EMPTY), kSymbolMatrixCapacity * kSymbolMatrixCapacity);
}

}  // namespace

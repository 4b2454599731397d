// Masking: each penalty rule on small hand-drawn matrices ('#' dark, '.' light), the mask
// conditions, the choice with its tie-break and trace, and the finished symbol.
#include "encoder/mask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "encoder/format_info.h"
#include "encoder/placement.h"
#include "encoder/tables.h"
#include "encoder/trace.h"
#include "tests/encoder/reference_penalties.h"

namespace {

// A compact cell array (column by column, stride = height) from rows of '#' and '.'.
struct Art {
    int width = 0, height = 0;
    std::vector<int32_t> cells;
    explicit Art(const std::vector<std::string>& rows) : width(static_cast<int>(rows[0].size())),
                                                         height(static_cast<int>(rows.size())) {
        cells.resize(width * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                cells[x * height + y] = rows[y][x] == '#' ? CELL_DATA_DARK : CELL_DATA_LIGHT;
    }
    int Score(int rule) const {
        int32_t s[4];
        QRCodeScorePenalties(cells.data(), width, height, s);
        return s[rule - 1];
    }
};

// The same line laid out as one row and as one column must score alike.
int RowAndColumn(const std::string& line, int rule) {
    std::vector<std::string> column;
    for (char c : line) column.push_back(std::string(1, c));
    const int row = Art({line}).Score(rule);
    EXPECT_EQ(Art(column).Score(rule), row) << line;
    return row;
}

std::unique_ptr<SymbolMatrix> PlacedSymbol(int version, unsigned seed) {
    auto m = std::make_unique<SymbolMatrix>();
    const int side = 17 + 4 * version;
    QRCodeInitMatrix(m.get(), side, side, version);
    const int count = QRCodeTotalCodewords(version);
    std::vector<int32_t> codewords(count);
    std::mt19937 rng(seed);
    for (int32_t& c : codewords) c = static_cast<int32_t>(rng() & 0xFF);
    QRCodePlaceCodewords(m.get(), codewords.data(), count);
    return m;
}

std::vector<int> Totals(const SymbolMatrix& m) {
    std::vector<int> totals;
    for (int k = 0; k < 8; ++k) {
        int32_t* copy = QRCodeApplyMask(&m, k);
        int32_t s[4];
        QRCodeScorePenalties(copy, m.width, m.height, s);
        std::free(copy);
        totals.push_back(s[0] + s[1] + s[2] + s[3]);
    }
    return totals;
}

// Captures the encoder's trace lines while `f` runs.
template <class F>
std::string Traced(F f) {
    FILE* previous = QRCodeTraceStream();
    FILE* capture = std::tmpfile();
    QRCodeSetTraceStream(capture);
    f();
    QRCodeSetTraceStream(previous);
    std::string text;
    std::rewind(capture);
    for (int c; (c = std::fgetc(capture)) != EOF;) text += static_cast<char>(c);
    std::fclose(capture);
    return text;
}

TEST(Penalty, RunsOfFiveOrMoreScoreTheirLengthMinusTwo) {
    EXPECT_EQ(RowAndColumn("#....#", 1), 0);
    EXPECT_EQ(RowAndColumn("#.....#", 1), 3);
    EXPECT_EQ(RowAndColumn("#......#", 1), 4);
    EXPECT_EQ(RowAndColumn("#.......#", 1), 5);
    // A run reaching the edge counts up to the edge, once.
    EXPECT_EQ(RowAndColumn("..#######", 1), 5);
    EXPECT_EQ(RowAndColumn("#####", 1), 3);
    EXPECT_EQ(RowAndColumn(".....#####.....", 1), 9);
    // Both directions add up: a 5 x 5 dark square has ten runs of five (and 16 blocks).
    const Art square({"#####", "#####", "#####", "#####", "#####"});
    EXPECT_EQ(square.Score(1), 30);
    EXPECT_EQ(square.Score(2), 48);
}

TEST(Penalty, EveryTwoByTwoBlockOfOneColourScoresThree) {
    EXPECT_EQ(Art({"...", "...", "..."}).Score(2), 12);
    EXPECT_EQ(Art({"##", "##", "##"}).Score(2), 6);
    EXPECT_EQ(Art({"#.#.", ".#.#", "#.#.", ".#.#"}).Score(2), 0);
    EXPECT_EQ(Art({"##.", "##.", "..."}).Score(2), 3);  // the light L around the block holds none
    EXPECT_EQ(Art({"#####"}).Score(2), 0);               // a single row has no blocks
}

TEST(Penalty, FinderLikePatternNeedsOneLightModuleOrTheEdgeOnEachSide) {
    EXPECT_EQ(RowAndColumn("#.###.#.", 3), 40);
    EXPECT_EQ(RowAndColumn("#.###.##", 3), 0);
    EXPECT_EQ(RowAndColumn("#.###.#", 3), 40);
    EXPECT_EQ(RowAndColumn("##.###.#", 3), 0);
    EXPECT_EQ(RowAndColumn("..#.###.#..", 3), 40);
    EXPECT_EQ(RowAndColumn("#.###.#.#.###.#", 3), 80);
    EXPECT_EQ(RowAndColumn("#.###.", 3), 0);
    // A finder pattern on its own matches in its three middle rows and three middle columns.
    const Art finder({"#######", "#.....#", "#.###.#", "#.###.#", "#.###.#", "#.....#", "#######"});
    EXPECT_EQ(finder.Score(3), 240);
}

TEST(Penalty, BalanceUsesTheTruncatedDarkPercentage) {
    auto withDark = [](int width, int height, int dark) {
        std::vector<std::string> rows(height, std::string(width, '.'));
        for (int i = 0; i < dark; ++i) rows[i / width][i % width] = '#';
        return Art(rows).Score(4);
    };
    EXPECT_EQ(withDark(10, 10, 50), 0);
    EXPECT_EQ(withDark(10, 10, 55), 0);
    EXPECT_EQ(withDark(10, 10, 56), 10);
    EXPECT_EQ(withDark(10, 10, 45), 0);
    EXPECT_EQ(withDark(10, 10, 44), 10);
    EXPECT_EQ(withDark(10, 10, 40), 10);
    EXPECT_EQ(withDark(10, 10, 39), 20);
    EXPECT_EQ(withDark(10, 10, 0), 90);
    EXPECT_EQ(withDark(10, 10, 100), 90);
    EXPECT_EQ(withDark(3, 3, 5), 0);  // 55.6 % truncates to 55
}

// Runs QRCodeChooseMask and reads its eight trace lines back as scores[k][rule - 1].
class ScoreReader {
public:
    ScoreReader() : file_(std::tmpfile()), previous_(QRCodeTraceStream()) { QRCodeSetTraceStream(file_); }
    ~ScoreReader() {
        QRCodeSetTraceStream(previous_);
        if (file_) std::fclose(file_);
    }
    bool Choose(const SymbolMatrix* m, int* chosen, int32_t scores[8][4]) {
        if (!file_) return false;
        std::rewind(file_);
        *chosen = QRCodeChooseMask(m);
        std::fflush(file_);
        std::rewind(file_);
        for (int k = 0; k < 8; ++k)
            if (std::fscanf(file_, "%d %d %d %d", &scores[k][0], &scores[k][1], &scores[k][2], &scores[k][3]) != 4)
                return false;
        std::rewind(file_);
        return true;
    }

private:
    FILE* file_;
    FILE* previous_;
};

// A random cell value: data cells (light, dark, unplaced) and function cells of every kind.
int32_t RandomCell(std::mt19937& rng, unsigned darkBias) {
    static const int32_t kLight[] = {CELL_DATA_LIGHT, CELL_EMPTY, CELL_TIMING_LIGHT, CELL_ALIGNMENT_LIGHT,
                                     CELL_FINDER_LIGHT, CELL_FORMAT_LIGHT, CELL_VERSION_LIGHT};
    static const int32_t kDark[] = {CELL_DATA_DARK, CELL_TIMING_DARK, CELL_ALIGNMENT_DARK, CELL_FINDER_DARK,
                                    CELL_FORMAT_DARK, CELL_VERSION_DARK};
    const unsigned r = rng() % 100;
    // Data cells most of the time, so that the masks have something to change.
    if (r < darkBias) return rng() % 4 ? CELL_DATA_DARK : kDark[rng() % 6];
    return rng() % 4 ? (rng() % 3 ? CELL_DATA_LIGHT : CELL_EMPTY) : kLight[rng() % 7];
}

// Any grid of W x H random cells, with a finder-like pattern planted in one row and one column
// (light borders included) where it fits, drawn with a light or dark bias that changes per matrix
// so that long runs and balanced symbols both occur.
void RandomGrid(std::mt19937& rng, int W, int H, SymbolMatrix* m) {
    m->version = 1;
    m->width = W;
    m->height = H;
    const unsigned bias = rng() % 100;
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) QRCodeSetCell(m, x, y, RandomCell(rng, bias));
    const char* plant = ".#.###.#.";
    if (W >= 9) {
        const int x0 = static_cast<int>(rng() % (W - 8)), y = static_cast<int>(rng() % H);
        for (int i = 0; i < 9; ++i) QRCodeSetCell(m, x0 + i, y, plant[i] == '#' ? CELL_FINDER_DARK : CELL_DATA_LIGHT);
    }
    if (H >= 9) {
        const int y0 = static_cast<int>(rng() % (H - 8)), x = static_cast<int>(rng() % W);
        for (int i = 0; i < 9; ++i) QRCodeSetCell(m, x, y0 + i, plant[i] == '#' ? CELL_DATA_DARK : CELL_EMPTY);
    }
}

// The word-wise scorer (through QRCodeChooseMask's trace, and QRCodeScorePenalties on the masked
// copy) against the module-by-module reading of each masked copy, rule by rule, on seeded
// families of matrices: 10,000 in all.
TEST(Penalty, AgreesWithTheModuleByModuleReadingMaskByMaskAndRuleByRule) {
    struct Family {
        const char* name;
        int count;
        bool everyMask;  // all eight masks; otherwise mask i % 8 of matrix i
        void (*make)(std::mt19937& rng, int i, SymbolMatrix* m);
    };
    const Family families[] = {
        {"placed symbols of every version", 40, true,
         [](std::mt19937& rng, int i, SymbolMatrix* m) {
             const int version = 1 + i % 40;
             const int side = 17 + 4 * version;
             QRCodeInitMatrix(m, side, side, version);
             std::vector<int32_t> codewords(QRCodeTotalCodewords(version));
             for (int32_t& c : codewords) c = static_cast<int32_t>(rng() & 0xFF);
             QRCodePlaceCodewords(m, codewords.data(), static_cast<int>(codewords.size()));
         }},
        {"small random grids", 9879, false,
         [](std::mt19937& rng, int, SymbolMatrix* m) {
             RandomGrid(rng, 1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 40), m);
         }},
        {"grids of every pair of sides around word boundaries, up to the whole grid", 81, false,
         [](std::mt19937& rng, int i, SymbolMatrix* m) {
             static const int kSides[] = {1, 7, 63, 64, 65, 128, 129, 177, 300};
             RandomGrid(rng, kSides[i % 9], kSides[i / 9], m);
         }},
    };
    auto m = std::make_unique<SymbolMatrix>();
    ScoreReader reader;
    int total = 0, failures = 0;
    for (const Family& family : families) {
        std::mt19937 rng(31329);
        for (int i = 0; i < family.count; ++i, ++total) {
            family.make(rng, i, m.get());
            int chosen = -1;
            int32_t fast[8][4];
            ASSERT_TRUE(reader.Choose(m.get(), &chosen, fast)) << family.name << " #" << i;
            const int W = m->width, H = m->height;
            for (int k = family.everyMask ? 0 : i % 8; k < 8; ++k) {
                int32_t* copy = QRCodeApplyMask(m.get(), k);
                ASSERT_NE(copy, nullptr);
                const std::vector<int32_t> cells(copy, copy + W * H);
                std::free(copy);
                int32_t slow[4], compact[4];
                ReferenceScores(cells, W, H, slow);
                QRCodeScorePenalties(cells.data(), W, H, compact);
                for (int r = 0; r < 4; ++r) {
                    if (fast[k][r] == slow[r] && compact[r] == slow[r]) continue;
                    if (++failures <= 10)
                        ADD_FAILURE() << family.name << " #" << i << " (" << W << " x " << H << "), mask " << k
                                      << ", rule " << r + 1 << ": chosen by trace " << fast[k][r] << ", compact "
                                      << compact[r] << ", module by module " << slow[r];
                }
                if (!family.everyMask) break;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GE(total, 10000);
}

TEST(ApplyMask, InvertsOnlyDataCellsWhereTheConditionHolds) {
    auto m = PlacedSymbol(2, 7);
    const SymbolMatrix before = *m;
    for (int k = 0; k < 8; ++k) {
        int32_t* copy = QRCodeApplyMask(m.get(), k);
        ASSERT_NE(copy, nullptr);
        for (int x = 0; x < m->width; ++x) {
            for (int y = 0; y < m->height; ++y) {
                const int32_t was = QRCodeGetCell(m.get(), x, y);
                const int32_t now = copy[x * m->height + y];
                if (!QRCodeIsDataCell(was)) {
                    EXPECT_EQ(now, was);
                    continue;
                }
                const bool inverted = QRCodeIsDark(now) != QRCodeIsDark(was);
                EXPECT_EQ(inverted, QRCodeMaskInverts(k, y, x));
                EXPECT_TRUE(now == CELL_DATA_DARK || now == CELL_DATA_LIGHT);
            }
        }
        std::free(copy);
    }
    EXPECT_EQ(0, std::memcmp(&before, m.get(), sizeof(SymbolMatrix))) << "the matrix itself is unchanged";
    // Mask 1 inverts the even rows, mask 2 every third column from column 0, mask 0 a checkerboard.
    EXPECT_TRUE(QRCodeMaskInverts(1, 0, 5) && !QRCodeMaskInverts(1, 1, 5) && QRCodeMaskInverts(1, 2, 0));
    EXPECT_TRUE(QRCodeMaskInverts(2, 4, 0) && !QRCodeMaskInverts(2, 4, 1) && QRCodeMaskInverts(2, 4, 3));
    EXPECT_TRUE(QRCodeMaskInverts(0, 0, 0) && !QRCodeMaskInverts(0, 0, 1) && QRCodeMaskInverts(0, 1, 1));
}

TEST(ChooseMask, EqualTotalsGoToTheLowestMaskNumber) {
    // No data cells at all: every mask scores the same, so mask 0 wins.
    auto flat = std::make_unique<SymbolMatrix>();
    flat->version = 1;
    flat->width = flat->height = 21;
    QRCodeFillRect(flat.get(), 0, 0, 20, 20, CELL_FINDER_LIGHT);
    QRCodeFillRect(flat.get(), 3, 3, 9, 9, CELL_FINDER_DARK);
    EXPECT_EQ(QRCodeChooseMask(flat.get()), 0);

    // Small matrices with a handful of data cells tie often; look for ties whose winner is not
    // mask 0 and check that the lowest-numbered of the tied masks is chosen.
    std::mt19937 rng(2024);
    int checked = 0;
    for (int attempt = 0; attempt < 5000 && checked < 20; ++attempt) {
        auto m = std::make_unique<SymbolMatrix>();
        m->version = 1;
        m->width = m->height = 6;
        for (int x = 0; x < 6; ++x)
            for (int y = 0; y < 6; ++y) {
                const unsigned r = rng() % 8;
                QRCodeSetCell(m.get(), x, y, r < 3 ? CELL_DATA_LIGHT : r < 6 ? CELL_TIMING_DARK : CELL_TIMING_LIGHT);
            }
        const auto totals = Totals(*m);
        const int best = static_cast<int>(std::min_element(totals.begin(), totals.end()) - totals.begin());
        if (best == 0 || std::count(totals.begin(), totals.end(), totals[best]) < 2) continue;
        EXPECT_EQ(Traced([&] { EXPECT_EQ(QRCodeChooseMask(m.get()), best); }).empty(), false);
        ++checked;
    }
    EXPECT_GE(checked, 5) << "the search should find ties won by a mask other than 0";
}

TEST(ChooseMask, TraceHasOneLineOfFourScoresPerMaskAndTheLowestTotalWins) {
    for (int version : {1, 2, 7, 15}) {  // 15: lines longer than one 64-bit word
        auto m = PlacedSymbol(version, 100 + version);
        int chosen = -1;
        const std::string trace = Traced([&] { chosen = QRCodeChooseMask(m.get()); });
        std::string expected;
        std::vector<int> totals;
        for (int k = 0; k < 8; ++k) {
            int32_t* copy = QRCodeApplyMask(m.get(), k);
            int32_t s[4];
            QRCodeScorePenalties(copy, m->width, m->height, s);
            std::free(copy);
            EXPECT_GE(s[2], 720) << "the three finders alone score 720 on rule 3";
            char line[64];
            std::snprintf(line, sizeof line, "%d %d %d %d\t\n", s[0], s[1], s[2], s[3]);
            expected += line;
            totals.push_back(s[0] + s[1] + s[2] + s[3]);
        }
        EXPECT_EQ(trace, expected) << "version " << version;
        EXPECT_EQ(chosen, std::min_element(totals.begin(), totals.end()) - totals.begin());
    }
}

TEST(MaskSymbol, WritesFormatForLevelAndMaskAndLeavesNoEmptyCell) {
    const int levelBits[4] = {1, 0, 3, 2};  // L, M, Q, H as written in the format word
    for (int level = 0; level < 4; ++level) {
        auto m = PlacedSymbol(level == 3 ? 7 : level == 2 ? 15 : 2, 40 + level);
        int chosen = -1;
        Traced([&] { chosen = QRCodeChooseMask(m.get()); });
        int32_t* expected = QRCodeApplyMask(m.get(), chosen);
        Traced([&] { QRCodeMaskSymbol(m.get(), level); });
        const int W = m->width, H = m->height;
        int word = 0;
        for (int x = 0; x <= 5; ++x) word = (word << 1) | QRCodeIsDark(QRCodeGetCell(m.get(), x, 8));
        word = (word << 1) | QRCodeIsDark(QRCodeGetCell(m.get(), 7, 8));
        word = (word << 1) | QRCodeIsDark(QRCodeGetCell(m.get(), 8, 8));
        word = (word << 1) | QRCodeIsDark(QRCodeGetCell(m.get(), 8, 7));
        for (int y = 5; y >= 0; --y) word = (word << 1) | QRCodeIsDark(QRCodeGetCell(m.get(), 8, y));
        EXPECT_EQ(word, std::stoi(FormatInfoStrings[levelBits[level] * 8 + chosen], nullptr, 2)) << level;
        for (int x = 0; x < W; ++x) {
            for (int y = 0; y < H; ++y) {
                const int32_t v = QRCodeGetCell(m.get(), x, y);
                EXPECT_NE(v, CELL_EMPTY);
                if (QRCodeIsDataCell(v)) {
                    EXPECT_EQ(v, expected[x * H + y]);
                }
            }
        }
        std::free(expected);
        if (m->version == 7) {
            EXPECT_EQ(QRCodeGetCell(m.get(), W - 11, 0), CELL_VERSION_LIGHT);  // 0x07C94 bit 0
            EXPECT_EQ(QRCodeGetCell(m.get(), W - 9, 0), CELL_VERSION_DARK);    // bit 2
        }
    }
}

// Once a version's layout is kept, a symbol is made in one go from it; every version, level and
// mask choice (chosen or given, all codewords or fewer) must give the cells and scores of the
// step-by-step road.
TEST(MaskSymbol, OneGoFromAKeptLayoutMakesTheCellsOfLayoutPlacementAndMask) {
    auto slow = std::make_unique<SymbolMatrix>();
    auto fast = std::make_unique<SymbolMatrix>();
    std::mt19937 rng(2953);
    for (int version = 1; version <= QRCODE_VERSION_COUNT; ++version) {
        const int side = 17 + 4 * version;
        for (int pass = 0; pass < 2; ++pass)
            QRCodeInitMatrix(slow.get(), side, side, version);  // kept from now on
        for (int k : {-1, version % 8}) {
            std::vector<int32_t> codewords(QRCodeTotalCodewords(version));
            for (int32_t& c : codewords) c = static_cast<int32_t>(rng() & 0xFF);
            const int count =
                k < 0 ? static_cast<int>(codewords.size()) : static_cast<int>(codewords.size()) / 2;
            const int level = (version + k) & 3;
            QRCodeInitMatrix(slow.get(), side, side, version);
            QRCodePlaceCodewords(slow.get(), codewords.data(), count);
            int32_t slowScores[8][4] = {}, fastScores[8][4] = {};
            int slowMask = k;
            if (k < 0)
                slowMask = QRCodeScoreAndFinish(slow.get(), level, slowScores);
            else
                QRCodeFinishWithMask(slow.get(), level, k);
            std::memset(fast->cells, 0x5A, sizeof(fast->cells));
            const int fastMask =
                QRCodePlaceAndMask(fast.get(), version, codewords.data(), count, level, k, fastScores);
            ASSERT_EQ(fastMask, slowMask) << "version " << version << ", mask " << k;
            EXPECT_EQ(std::memcmp(slowScores, fastScores, sizeof(slowScores)), 0) << "version " << version;
            ASSERT_EQ(fast->width, side);
            ASSERT_EQ(fast->height, side);
            int differing = 0;
            for (int x = 0; x < side; ++x)
                for (int y = 0; y < side; ++y)
                    differing += QRCodeGetCell(slow.get(), x, y) != QRCodeGetCell(fast.get(), x, y);
            EXPECT_EQ(differing, 0) << "version " << version << ", mask " << k << ", " << count
                                    << " codewords";
        }
    }
}

}  // namespace

// Matrix layout: function patterns, reserved areas and the data positions they leave.
#include "encoder/matrix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "encoder/tables.h"

namespace {

std::unique_ptr<SymbolMatrix> LaidOut(int version) {
    auto m = std::make_unique<SymbolMatrix>();
    const int side = 17 + 4 * version;
    QRCodeInitMatrix(m.get(), side, side, version);
    return m;
}

int CountValue(const SymbolMatrix& m, int32_t value) {
    int n = 0;
    for (int x = 0; x < m.width; ++x)
        for (int y = 0; y < m.height; ++y) n += QRCodeGetCell(&m, x, y) == value;
    return n;
}

// One character per cell kind, so that an expected layout can be drawn.
char KindChar(int32_t v) {
    switch (v) {
        case CELL_EMPTY: return '.';
        case CELL_FINDER_DARK: return 'F';
        case CELL_FINDER_LIGHT: return 'f';
        case CELL_ALIGNMENT_DARK: return 'A';
        case CELL_ALIGNMENT_LIGHT: return 'a';
        case CELL_TIMING_DARK: return 'T';
        case CELL_TIMING_LIGHT: return 't';
        case CELL_FORMAT_DARK: return 'D';
        case CELL_FORMAT_LIGHT: return 'r';
        case CELL_VERSION_LIGHT: return 'v';
        default: return '?';
    }
}

std::string Picture(const SymbolMatrix& m) {
    std::string s;
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) s += KindChar(QRCodeGetCell(&m, x, y));
        s += '\n';
    }
    return s;
}

// Data modules of a version from the geometry alone: all modules, minus three finders with
// separators and format areas (3 * 64 + 31 incl. the dark module), minus the timing lines,
// minus the alignment patterns not overlapping anything else, minus the version areas.
int GeometricDataModules(int v) {
    const int side = 17 + 4 * v;
    int n = side * side - 3 * 64 - 31 - 2 * (side - 16);
    if (v >= 2) {
        const int k = v / 7 + 2;  // coordinates per axis
        const int patterns = k * k - 3;
        const int onTiming = 2 * (k - 2);  // patterns centred on row 6 or column 6
        n -= 25 * patterns - 5 * onTiming;
    }
    if (v >= 7) n -= 36;
    return n;
}

TEST(MatrixLayout, Version1MatchesTheExpectedPicture) {
    auto m = LaidOut(1);
    EXPECT_EQ(m->version, 1);
    EXPECT_EQ(m->width, 21);
    EXPECT_EQ(m->height, 21);
    const std::string expected =
        "FFFFFFFar....aFFFFFFF\n"
        "FfffffFar....aFfffffF\n"
        "FfFFFfFar....aFfFFFfF\n"
        "FfFFFfFar....aFfFFFfF\n"
        "FfFFFfFar....aFfFFFfF\n"
        "FfffffFar....aFfffffF\n"
        "FFFFFFFaTtTtTaFFFFFFF\n"
        "aaaaaaaar....aaaaaaaa\n"
        "rrrrrrTrr....rrrrrrrr\n"
        "......t..............\n"
        "......T..............\n"
        "......t..............\n"
        "......T..............\n"
        "aaaaaaaaD............\n"
        "FFFFFFFar............\n"
        "FfffffFar............\n"
        "FfFFFfFar............\n"
        "FfFFFfFar............\n"
        "FfFFFfFar............\n"
        "FfffffFar............\n"
        "FFFFFFFar............\n";
    EXPECT_EQ(Picture(*m), expected);
}

TEST(MatrixLayout, EmptyCellsEqualTheDataModulesOfEveryVersion) {
    for (int v = 1; v <= 40; ++v) {
        auto m = LaidOut(v);
        const int empty = CountValue(*m, CELL_EMPTY);
        EXPECT_EQ(empty, VersionCharacteristics[v - 1][QRCODE_VC_DATA_MODULES]) << "version " << v;
        EXPECT_EQ(empty, 8 * QRCodeTotalCodewords(v) + QRCodeRemainderBits(v)) << "version " << v;
        EXPECT_EQ(empty, GeometricDataModules(v)) << "version " << v;
        // From its second layout on a version is copied from the kept one: the same cells, and
        // nothing outside the symbol written.
        for (int again = 0; again < 2; ++again) {
            auto copy = std::make_unique<SymbolMatrix>();
            std::memset(copy->cells, 0x5A, sizeof copy->cells);
            QRCodeInitMatrix(copy.get(), m->width, m->height, v);
            int differing = 0;
            for (int x = 0; x < kSymbolMatrixCapacity; ++x)
                for (int y = 0; y < kSymbolMatrixCapacity; ++y) {
                    const bool inside = x < m->width && y < m->height;
                    differing += QRCodeGetCell(copy.get(), x, y) != (inside ? QRCodeGetCell(m.get(), x, y) : 0x5A5A5A5A);
                }
            EXPECT_EQ(differing, 0) << "version " << v << ", layout " << again + 2;
        }
    }
    EXPECT_EQ(CountValue(*LaidOut(2), CELL_EMPTY), 359);
    EXPECT_EQ(CountValue(*LaidOut(14), CELL_EMPTY), 4651);
    EXPECT_EQ(CountValue(*LaidOut(40), CELL_EMPTY), 29648);
}

TEST(MatrixLayout, EveryVersionHasItsAlignmentPatternsDarkModuleAndReservedAreas) {
    for (int v = 1; v <= 40; ++v) {
        auto m = LaidOut(v);
        const int H = m->height;
        int32_t c[7];
        const int n = QRCodeAlignmentCoordinates(v, c);
        int patterns = 0;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const int x = c[j], y = c[i];
                if (QRCodeGetCell(m.get(), x, y) == CELL_FINDER_DARK ||
                    QRCodeGetCell(m.get(), x, y) == CELL_FINDER_LIGHT)
                    continue;
                // Dark centre, light ring, dark outer ring, whatever kind the timing lines gave them.
                bool ok = true;
                for (int dx = -2; dx <= 2; ++dx) {
                    for (int dy = -2; dy <= 2; ++dy) {
                        const int ring = std::max(std::abs(dx), std::abs(dy));
                        const int dark = QRCodeIsDark(QRCodeGetCell(m.get(), x + dx, y + dy));
                        ok = ok && dark == (ring != 1);
                    }
                }
                EXPECT_TRUE(ok) << "version " << v << " pattern at " << x << "," << y;
                ++patterns;
            }
        }
        const int expectedPatterns = v == 1 ? 0 : v <= 6 ? 1 : v <= 13 ? 6 : v <= 20 ? 13 : v <= 27 ? 22 : v <= 34 ? 33 : 46;
        EXPECT_EQ(patterns, expectedPatterns) << "version " << v;
        if (n > 0) {
            EXPECT_EQ(c[n - 1], m->width - 7) << "last centre sits 7 from the edge, version " << v;
        }

        EXPECT_EQ(QRCodeGetCell(m.get(), 8, H - 8), CELL_FORMAT_DARK);
        EXPECT_EQ(QRCodeGetCell(m.get(), 8, 6), CELL_TIMING_DARK);
        EXPECT_EQ(CountValue(*m, CELL_FORMAT_LIGHT), 30);
        EXPECT_EQ(CountValue(*m, CELL_VERSION_LIGHT), v >= 7 ? 36 : 0);
    }
}

TEST(MatrixLayout, AlignmentPatternsCrossingTheTimingLinesBecomeTimingCells) {
    auto m = LaidOut(7);
    // Patterns centred at (22, 6) and (6, 22): their centres and rings on the timing lines keep
    // their colour but are timing cells now.
    EXPECT_EQ(QRCodeGetCell(m.get(), 22, 6), CELL_TIMING_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 21, 6), CELL_TIMING_LIGHT);
    EXPECT_EQ(QRCodeGetCell(m.get(), 6, 22), CELL_TIMING_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 6, 20), CELL_TIMING_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 22, 5), CELL_ALIGNMENT_LIGHT);
    EXPECT_EQ(QRCodeGetCell(m.get(), 22, 4), CELL_ALIGNMENT_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 22, 22), CELL_ALIGNMENT_DARK);
    EXPECT_EQ(CountValue(*m, CELL_EMPTY), 1568);
}

TEST(MatrixPrimitives, LinesRectanglesAndClipping) {
    auto m = std::make_unique<SymbolMatrix>();
    m->width = m->height = 10;
    QRCodeFillRect(m.get(), 0, 0, 9, 9, CELL_DATA_LIGHT);
    // y0 != y1: vertical at x0, x1 ignored.
    QRCodeDrawLine(m.get(), 2, 1, 7, 3, CELL_DATA_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 2, 1), CELL_DATA_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 2, 3), CELL_DATA_DARK);
    EXPECT_EQ(QRCodeGetCell(m.get(), 7, 3), CELL_DATA_LIGHT);
    // y0 == y1: horizontal; a reversed range draws nothing.
    QRCodeDrawLine(m.get(), 4, 8, 6, 8, CELL_TIMING_DARK);
    QRCodeDrawLine(m.get(), 6, 9, 4, 9, CELL_TIMING_DARK);
    int drawn = 0;
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y) drawn += QRCodeGetCell(m.get(), x, y) == CELL_TIMING_DARK;
    EXPECT_EQ(drawn, 3);
    // Coordinates off the grid are clipped instead of written past the record.
    m->version = 0x5A5A;
    QRCodeSetCell(m.get(), kSymbolMatrixCapacity, 0, CELL_DATA_DARK);
    QRCodeSetCell(m.get(), -1, 5, CELL_DATA_DARK);
    QRCodeDrawFinder(m.get(), kSymbolMatrixCapacity - 3, kSymbolMatrixCapacity - 3);
    EXPECT_EQ(m->version, 0x5A5A);
    EXPECT_EQ(QRCodeGetCell(m.get(), kSymbolMatrixCapacity - 1, kSymbolMatrixCapacity - 1), CELL_FINDER_DARK);
}

}  // namespace

// Mask choice and application (see mask.h).
#include "encoder/mask.h"

#include <cstdlib>
#include <cstring>

#include "encoder/format_info.h"
#include "encoder/trace.h"

namespace {

constexpr int kMaxCells = kSymbolMatrixCapacity * kSymbolMatrixCapacity;

// Rule 1 over one line of n colours: every maximal run of length L >= 5 scores L - 2.
int32_t RunPenalty(const uint8_t* line, int n) {
    int32_t score = 0;
    int start = 0;
    for (int i = 1; i <= n; ++i) {
        if (i == n || line[i] != line[start]) {
            const int length = i - start;
            if (length >= 5) score += length - 2;
            start = i;
        }
    }
    return score;
}

// Rule 3 over one line: the pattern 1011101 with a light module or the edge on each side.
// Feeding the line through a 9-bit window with an implicit light module before the start and
// one after the end finds exactly those occurrences (010111010).
int32_t FinderPenalty(const uint8_t* line, int n) {
    if (n < 7) return 0;
    int32_t score = 0;
    unsigned window = 0;
    for (int i = 0; i <= n; ++i) {
        window = ((window << 1) | (i < n ? line[i] : 0u)) & 0x1FFu;
        if (window == 0xBAu) score += 40;
    }
    return score;
}

// Scores a colour plane (1 dark, 0 light) stored column by column with stride height.
// `rows` is scratch of the same size for the row-major copy.
void ScorePlane(const uint8_t* cols, uint8_t* rows, int width, int height, int32_t scores[4]) {
    int32_t rule1 = 0, rule2 = 0, rule3 = 0;
    long dark = 0;
    for (int x = 0; x < width; ++x) {
        const uint8_t* column = cols + static_cast<long>(x) * height;
        rule1 += RunPenalty(column, height);
        rule3 += FinderPenalty(column, height);
        for (int y = 0; y < height; ++y) {
            dark += column[y];
            rows[static_cast<long>(y) * width + x] = column[y];
        }
        if (x + 1 < width) {
            const uint8_t* next = column + height;
            for (int y = 0; y + 1 < height; ++y) {
                const int sum = column[y] + column[y + 1] + next[y] + next[y + 1];
                if (sum == 0 || sum == 4) rule2 += 3;
            }
        }
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<long>(y) * width;
        rule1 += RunPenalty(row, width);
        rule3 += FinderPenalty(row, width);
    }
    const long total = static_cast<long>(width) * height;
    const int percent = static_cast<int>(100 * dark / total);
    const int deviation = percent >= 50 ? percent - 50 : 50 - percent;
    scores[0] = rule1;
    scores[1] = rule2;
    scores[2] = rule3;
    scores[3] = deviation >= 1 ? 10 * ((deviation - 1) / 5) : 0;
}

int32_t MaskedValue(int32_t value, int k, int x, int y) {
    const bool dark = value == CELL_DATA_DARK;
    return (dark != QRCodeMaskInverts(k, y, x)) ? CELL_DATA_DARK : CELL_DATA_LIGHT;
}

int LevelBits(int level) {
    switch (level) {
        case 0: return 1;  // L
        case 1: return 0;  // M
        case 2: return 3;  // Q
        case 3: return 2;  // H
        default: return 0;
    }
}

}  // namespace

bool QRCodeMaskInverts(int k, int i, int j) {
    switch (k) {
        case 0: return (i + j) % 2 == 0;
        case 1: return i % 2 == 0;
        case 2: return j % 3 == 0;
        case 3: return (i + j) % 3 == 0;
        case 4: return (i / 2 + j / 3) % 2 == 0;
        case 5: return (i * j) % 2 + (i * j) % 3 == 0;
        case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
        case 7: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
        default: return false;
    }
}

int32_t* QRCodeApplyMask(const SymbolMatrix* m, int k) {
    const int W = m->width;
    const int H = m->height;
    if (W <= 0 || H <= 0 || W > kSymbolMatrixCapacity || H > kSymbolMatrixCapacity) return nullptr;
    int32_t* copy = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * W * H));
    if (!copy) return nullptr;
    for (int x = 0; x < W; ++x) {
        for (int y = 0; y < H; ++y) {
            const int32_t value = QRCodeGetCell(m, x, y);
            copy[x * H + y] = QRCodeIsDataCell(value) ? MaskedValue(value, k, x, y) : value;
        }
    }
    return copy;
}

void QRCodeScorePenalties(const int32_t* cells, int width, int height, int32_t scores[4]) {
    scores[0] = scores[1] = scores[2] = scores[3] = 0;
    if (!cells || width <= 0 || height <= 0 || static_cast<long>(width) * height > kMaxCells) return;
    static uint8_t cols[kMaxCells];
    static uint8_t rows[kMaxCells];
    const int n = width * height;
    for (int i = 0; i < n; ++i) cols[i] = static_cast<uint8_t>(QRCodeIsDark(cells[i]));
    ScorePlane(cols, rows, width, height, scores);
}

int QRCodeChooseMask(const SymbolMatrix* m) {
    const int W = m->width;
    const int H = m->height;
    if (W <= 0 || H <= 0 || W > kSymbolMatrixCapacity || H > kSymbolMatrixCapacity) return 0;
    // Encoding runs never overlap, so the colour planes can live with the module instead of
    // being allocated for each mask. The plane for mask k is exactly the colours of
    // QRCodeApplyMask(m, k), built without the intermediate cell copy.
    static uint8_t base[kMaxCells];  // colours of function cells; data cells hold their own colour
    static uint8_t data[kMaxCells];  // 1 where the cell is a data cell
    static uint8_t cols[kMaxCells];
    static uint8_t rows[kMaxCells];
    for (int x = 0; x < W; ++x) {
        for (int y = 0; y < H; ++y) {
            const int32_t value = QRCodeGetCell(m, x, y);
            const int i = x * H + y;
            data[i] = QRCodeIsDataCell(value) ? 1 : 0;
            base[i] = static_cast<uint8_t>(data[i] ? (value == CELL_DATA_DARK) : QRCodeIsDark(value));
        }
    }
    int32_t scores[8][4];
    int best = 0;
    int32_t bestTotal = 0;
    for (int k = 0; k < 8; ++k) {
        for (int x = 0; x < W; ++x) {
            for (int y = 0; y < H; ++y) {
                const int i = x * H + y;
                cols[i] = base[i] ^ static_cast<uint8_t>(data[i] && QRCodeMaskInverts(k, y, x));
            }
        }
        ScorePlane(cols, rows, W, H, scores[k]);
        const int32_t total = scores[k][0] + scores[k][1] + scores[k][2] + scores[k][3];
        if (k == 0 || total < bestTotal) {
            best = k;
            bestTotal = total;
        }
    }
    for (int k = 0; k < 8; ++k) {
        QRCodeTrace("%d %d %d %d\t\n", scores[k][0], scores[k][1], scores[k][2], scores[k][3]);
    }
    return best;
}

void QRCodeMaskSymbol(SymbolMatrix* m, int level) {
    const int k = QRCodeChooseMask(m);
    QRCodeWriteFormatInfo(m, LevelBits(level) * 8 + k);
    QRCodeWriteVersionInfo(m, m->version, 0);
    // Masking in place gives the same cells as copying the masked copy back, and cannot fail.
    const int W = m->width;
    const int H = m->height;
    for (int x = 0; x < W && x < kSymbolMatrixCapacity; ++x) {
        for (int y = 0; y < H && y < kSymbolMatrixCapacity; ++y) {
            int32_t& value = m->cells[x * kSymbolMatrixCapacity + y];
            if (QRCodeIsDataCell(value)) value = MaskedValue(value, k, x, y);
        }
    }
}

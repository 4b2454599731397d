// Symbol matrix layout: function patterns and reserved areas of every version (see matrix.h).
#include "encoder/matrix.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// Alignment pattern centres, ISO/IEC 18004 Annex E Table E.1. One row per version 0..40:
// version, number of patterns, then up to seven ascending row/column coordinates.
const int32_t AlignmentPositionTable[41][9] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, 0, 0, 0, 0, 0, 0, 0, 0},
    {2, 1, 6, 18, 0, 0, 0, 0, 0},
    {3, 1, 6, 22, 0, 0, 0, 0, 0},
    {4, 1, 6, 26, 0, 0, 0, 0, 0},
    {5, 1, 6, 30, 0, 0, 0, 0, 0},
    {6, 1, 6, 34, 0, 0, 0, 0, 0},
    {7, 6, 6, 22, 38, 0, 0, 0, 0},
    {8, 6, 6, 24, 42, 0, 0, 0, 0},
    {9, 6, 6, 26, 46, 0, 0, 0, 0},
    {10, 6, 6, 28, 50, 0, 0, 0, 0},
    {11, 6, 6, 30, 54, 0, 0, 0, 0},
    {12, 6, 6, 32, 58, 0, 0, 0, 0},
    {13, 6, 6, 34, 62, 0, 0, 0, 0},
    {14, 13, 6, 26, 46, 66, 0, 0, 0},
    {15, 13, 6, 26, 48, 70, 0, 0, 0},
    {16, 13, 6, 26, 50, 74, 0, 0, 0},
    {17, 13, 6, 30, 54, 78, 0, 0, 0},
    {18, 13, 6, 30, 56, 82, 0, 0, 0},
    {19, 13, 6, 30, 58, 86, 0, 0, 0},
    {20, 13, 6, 34, 62, 90, 0, 0, 0},
    {21, 22, 6, 28, 50, 72, 94, 0, 0},
    {22, 22, 6, 26, 50, 74, 98, 0, 0},
    {23, 22, 6, 30, 54, 78, 102, 0, 0},
    {24, 22, 6, 28, 54, 80, 106, 0, 0},
    {25, 22, 6, 32, 58, 84, 110, 0, 0},
    {26, 22, 6, 30, 58, 86, 114, 0, 0},
    {27, 22, 6, 34, 62, 90, 118, 0, 0},
    {28, 33, 6, 26, 50, 74, 98, 122, 0},
    {29, 33, 6, 30, 54, 78, 102, 126, 0},
    {30, 33, 6, 26, 52, 78, 104, 130, 0},
    {31, 33, 6, 30, 56, 82, 108, 134, 0},
    {32, 33, 6, 34, 60, 86, 112, 138, 0},
    {33, 33, 6, 30, 58, 86, 114, 142, 0},
    {34, 33, 6, 34, 62, 90, 118, 146, 0},
    {35, 46, 6, 30, 54, 78, 102, 126, 150},
    {36, 46, 6, 24, 50, 76, 102, 128, 154},
    {37, 46, 6, 28, 54, 80, 106, 132, 158},
    {38, 46, 6, 32, 58, 84, 110, 136, 162},
    {39, 46, 6, 26, 54, 82, 110, 138, 166},
    {40, 46, 6, 30, 58, 86, 114, 142, 170},
};

// The number of coordinates in use follows from the version range, not from the count column.
int CoordinateCount(int version) {
    if (version < 2 || version > 40) return 0;
    if (version <= 6) return 2;
    if (version <= 13) return 3;
    if (version <= 20) return 4;
    if (version <= 27) return 5;
    if (version <= 34) return 6;
    return 7;
}

// Laying a version out costs about what keeping it costs, so a version laid out once is drawn;
// from its second layout on it is kept and copied.
constexpr int kVersions = 40;
std::atomic<int32_t> layoutsDrawn[kVersions + 1];
std::once_flag layoutKept[kVersions + 1];
std::atomic<const int32_t*> keptLayouts[kVersions + 1];

int SideOf(int version) { return 17 + 4 * version; }

// Keeps the layout of a freshly laid-out matrix of its version; on an allocation failure the
// version is simply drawn every time.
void KeepLayout(const SymbolMatrix* m) {
    const int side = SideOf(m->version);
    int32_t* layout = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * side * side));
    if (!layout) return;
    for (int x = 0; x < side; ++x)
        std::memcpy(layout + x * side, m->cells + x * kSymbolMatrixCapacity, sizeof(int32_t) * side);
    keptLayouts[m->version].store(layout, std::memory_order_release);
}

}  // namespace

const int32_t* QRCodeVersionLayout(int version) {
    if (version < 1 || version > kVersions) return nullptr;
    return keptLayouts[version].load(std::memory_order_acquire);
}

void QRCodeSetCell(SymbolMatrix* m, int x, int y, int32_t value) {
    if (x < 0 || y < 0 || x >= kSymbolMatrixCapacity || y >= kSymbolMatrixCapacity) return;
    m->cells[x * kSymbolMatrixCapacity + y] = value;
}

void QRCodeFillRect(SymbolMatrix* m, int x0, int y0, int x1, int y1, int32_t value) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, kSymbolMatrixCapacity - 1);
    y1 = std::min(y1, kSymbolMatrixCapacity - 1);
    for (int x = x0; x <= x1; ++x) {
        int32_t* column = m->cells + x * kSymbolMatrixCapacity;
        for (int y = y0; y <= y1; ++y) column[y] = value;
    }
}

void QRCodeDrawLine(SymbolMatrix* m, int x0, int y0, int x1, int y1, int32_t value) {
    if (y0 != y1) {
        QRCodeFillRect(m, x0, y0, x0, y1, value);
    } else {
        QRCodeFillRect(m, x0, y0, x1, y0, value);
    }
}

void QRCodeDrawFinder(SymbolMatrix* m, int x0, int y0) {
    QRCodeFillRect(m, x0, y0, x0 + 6, y0 + 6, CELL_FINDER_DARK);
    QRCodeFillRect(m, x0 + 1, y0 + 1, x0 + 5, y0 + 5, CELL_FINDER_LIGHT);
    QRCodeFillRect(m, x0 + 2, y0 + 2, x0 + 4, y0 + 4, CELL_FINDER_DARK);
}

void QRCodeDrawAlignment(SymbolMatrix* m, int x0, int y0) {
    QRCodeFillRect(m, x0, y0, x0 + 4, y0 + 4, CELL_ALIGNMENT_DARK);
    QRCodeFillRect(m, x0 + 1, y0 + 1, x0 + 3, y0 + 3, CELL_ALIGNMENT_LIGHT);
    QRCodeSetCell(m, x0 + 2, y0 + 2, CELL_ALIGNMENT_DARK);
}

int QRCodeAlignmentCoordinates(int version, int32_t out[7]) {
    const int n = CoordinateCount(version);
    for (int i = 0; i < n; ++i) out[i] = AlignmentPositionTable[version][2 + i];
    return n;
}

QRCodeCell QRCodeFormatCell(const SymbolMatrix* m, int k, int copy) {
    if (copy == 0) {
        if (k <= 5) return {8, k};
        if (k == 6) return {8, 7};
        if (k == 7) return {8, 8};
        if (k == 8) return {7, 8};
        return {14 - k, 8};
    }
    if (k <= 7) return {m->width - 1 - k, 8};
    return {8, m->height - 15 + k};
}

QRCodeCell QRCodeDarkModuleCell(const SymbolMatrix* m) {
    return {8, m->height - 8};
}

QRCodeCell QRCodeVersionCell(const SymbolMatrix* m, int k, int copy) {
    if (copy == 0) return {k / 3, m->height - 11 + k % 3};
    return {m->width - 11 + k % 3, k / 3};
}

void QRCodeReserveInformationAreas(SymbolMatrix* m) {
    for (int k = 0; k < 15; ++k) {
        for (int copy = 0; copy < 2; ++copy) {
            const QRCodeCell c = QRCodeFormatCell(m, k, copy);
            QRCodeSetCell(m, c.x, c.y, CELL_FORMAT_LIGHT);
        }
    }
    const QRCodeCell dark = QRCodeDarkModuleCell(m);
    QRCodeSetCell(m, dark.x, dark.y, CELL_FORMAT_DARK);
    if (m->version < 7 || m->version > kVersions) return;
    for (int k = 0; k < 18; ++k) {
        for (int copy = 0; copy < 2; ++copy) {
            const QRCodeCell c = QRCodeVersionCell(m, k, copy);
            QRCodeSetCell(m, c.x, c.y, CELL_VERSION_LIGHT);
        }
    }
}

void QRCodeInitMatrix(SymbolMatrix* m, int width, int height, int version) {
    // A caller mistake must not turn into writes past the record.
    width = std::clamp(width, 0, kSymbolMatrixCapacity);
    height = std::clamp(height, 0, kSymbolMatrixCapacity);
    m->version = version;
    m->width = width;
    m->height = height;
    const bool standard = version >= 1 && version <= kVersions && width == SideOf(version) && height == width;
    if (standard) {
        if (const int32_t* layout = QRCodeVersionLayout(version)) {
            for (int x = 0; x < width; ++x)
                std::memcpy(m->cells + x * kSymbolMatrixCapacity, layout + x * width, sizeof(int32_t) * width);
            return;
        }
    }
    const int W = width;
    const int H = height;
    QRCodeFillRect(m, 0, 0, W - 1, H - 1, CELL_EMPTY);

    QRCodeDrawFinder(m, 0, 0);
    QRCodeDrawLine(m, 7, 0, 7, 7, CELL_ALIGNMENT_LIGHT);
    QRCodeDrawLine(m, 0, 7, 7, 7, CELL_ALIGNMENT_LIGHT);

    QRCodeDrawFinder(m, W - 7, 0);
    QRCodeDrawLine(m, W - 8, 0, W - 8, 7, CELL_ALIGNMENT_LIGHT);
    QRCodeDrawLine(m, W - 8, 7, W - 1, 7, CELL_ALIGNMENT_LIGHT);

    QRCodeDrawFinder(m, 0, H - 7);
    QRCodeDrawLine(m, 7, H - 8, 7, H - 1, CELL_ALIGNMENT_LIGHT);
    QRCodeDrawLine(m, 0, H - 8, 7, H - 8, CELL_ALIGNMENT_LIGHT);

    // The three corner positions of the coordinate grid fall on finder patterns and are
    // skipped by looking at what already sits at the centre.
    int32_t coords[7];
    const int n = QRCodeAlignmentCoordinates(version, coords);
    for (int i = 0; i < n; ++i) {
        const int r = coords[i];
        for (int j = 0; j < n; ++j) {
            const int c = coords[j];
            if (c >= W || r >= H) continue;
            const int32_t centre = QRCodeGetCell(m, c, r);
            if (centre == CELL_FINDER_LIGHT || centre == CELL_FINDER_DARK) continue;
            QRCodeDrawAlignment(m, c - 2, r - 2);
        }
    }

    QRCodeReserveInformationAreas(m);

    // Timing patterns last: where an alignment pattern crosses row or column 6 the colours
    // already agree, only the kind becomes timing.
    for (int x = 8; x <= W - 9; ++x) QRCodeSetCell(m, x, 6, (x % 2 == 0) ? CELL_TIMING_DARK : CELL_TIMING_LIGHT);
    for (int y = 8; y <= H - 9; ++y) QRCodeSetCell(m, 6, y, (y % 2 == 0) ? CELL_TIMING_DARK : CELL_TIMING_LIGHT);

    if (standard && layoutsDrawn[version].fetch_add(1, std::memory_order_relaxed) >= 1)
        std::call_once(layoutKept[version], KeepLayout, m);
}

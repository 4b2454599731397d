// Test helper: the four penalty rules written out module by module, exactly as they read, to
// hold the word-wise scorer to: runs measured from their first module, the seven-module pattern
// checked cell by cell with its two neighbours, every 2 x 2 window, the truncated dark percentage.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "encoder/matrix.h"

// cells: W x H values column by column (stride H); s[0..3] receive rules 1 to 4.
inline void ReferenceScores(const std::vector<int32_t>& cells, int W, int H, int32_t s[4]) {
    std::vector<char> darkCells(cells.size());
    for (size_t i = 0; i < cells.size(); ++i) darkCells[i] = QRCodeIsDark(cells[i]) != 0;
    auto dark = [&](int x, int y) { return darkCells[static_cast<size_t>(x) * H + y] != 0; };
    s[0] = s[1] = s[2] = s[3] = 0;
    long darkCount = 0;
    static const bool kPattern[7] = {true, false, true, true, true, false, true};
    for (int x = 0; x < W; ++x) {
        for (int y = 0; y < H; ++y) {
            darkCount += dark(x, y);
            if (x == 0 || dark(x - 1, y) != dark(x, y)) {
                int L = 1;
                while (x + L < W && dark(x + L, y) == dark(x, y)) ++L;
                if (L >= 5) s[0] += L - 2;
            }
            if (y == 0 || dark(x, y - 1) != dark(x, y)) {
                int L = 1;
                while (y + L < H && dark(x, y + L) == dark(x, y)) ++L;
                if (L >= 5) s[0] += L - 2;
            }
            if (x <= W - 7) {
                bool match = (x == 0 || !dark(x - 1, y)) && (x == W - 7 || !dark(x + 7, y));
                for (int i = 0; i < 7; ++i) match = match && dark(x + i, y) == kPattern[i];
                if (match) s[2] += 40;
            }
            if (y <= H - 7) {
                bool match = (y == 0 || !dark(x, y - 1)) && (y == H - 7 || !dark(x, y + 7));
                for (int i = 0; i < 7; ++i) match = match && dark(x, y + i) == kPattern[i];
                if (match) s[2] += 40;
            }
            if (x < W - 1 && y < H - 1 && dark(x, y) == dark(x + 1, y) && dark(x, y) == dark(x, y + 1) &&
                dark(x, y) == dark(x + 1, y + 1))
                s[1] += 3;
        }
    }
    const int p = static_cast<int>(100 * darkCount / (static_cast<long>(W) * H));
    const int d = std::abs(p - 50);
    s[3] = d >= 1 ? 10 * ((d - 1) / 5) : 0;
}

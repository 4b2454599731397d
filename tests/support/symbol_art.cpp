// Symbols as rows of modules and as grey rasters (see symbol_art.h).
#include "tests/support/symbol_art.h"

#include <algorithm>
#include <cstring>

#include "encoder/matrix.h"

namespace gwtest {

std::vector<std::string> SymbolToArt(const SymbolMatrix& m) {
    std::vector<std::string> rows;
    for (int y = 0; y < m.height; ++y) {
        std::string row;
        for (int x = 0; x < m.width; ++x) row += QRCodeIsDark(QRCodeGetCell(&m, x, y)) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

GreyImage RasteriseArt(const std::vector<std::string>& rows, int quietZone, int scale) {
    GreyImage image;
    size_t columns = 0;
    for (const std::string& row : rows) columns = std::max(columns, row.size());
    image.width = (static_cast<int>(columns) + 2 * quietZone) * scale;
    image.height = (static_cast<int>(rows.size()) + 2 * quietZone) * scale;
    image.pixels.assign(static_cast<size_t>(image.width) * image.height, 255);
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            if (rows[y][x] != '#') continue;
            for (int dy = 0; dy < scale; ++dy) {
                uint8_t* line = &image.pixels[(static_cast<size_t>(y + quietZone) * scale + dy) * image.width];
                std::memset(line + (x + quietZone) * scale, 0, scale);
            }
        }
    }
    return image;
}

GreyImage RasteriseSymbol(const SymbolMatrix& m, int quietZone, int scale) {
    return RasteriseArt(SymbolToArt(m), quietZone, scale);
}

}  // namespace gwtest

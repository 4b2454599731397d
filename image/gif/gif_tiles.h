// How a 24-bit picture is laid out as a GIF: a mosaic of 8-bit tiles, each with its own
// 256-entry colour table, written left to right and top to bottom. The writer lays tiles out
// by these numbers and the reader recognises its mosaics by them. Internal to image/gif.
#pragma once

namespace gwgif {

// 17 x 15 = 255 pixels: one colour table entry per pixel, with entry 0 kept for transparency.
constexpr int kTileWidth = 17;
constexpr int kTileHeight = 15;

// Where tile k of a width x height picture lies; false when the mosaic has no tile k.
struct TileRect {
    int left, top, width, height;
};
inline bool TileAt(int width, int height, long k, TileRect& r) {
    if (width <= 0 || height <= 0 || k < 0) return false;
    const long columns = (width + kTileWidth - 1) / kTileWidth;
    const long rows = (height + kTileHeight - 1) / kTileHeight;
    if (k >= columns * rows) return false;
    r.left = static_cast<int>(k % columns) * kTileWidth;
    r.top = static_cast<int>(k / columns) * kTileHeight;
    r.width = width - r.left < kTileWidth ? width - r.left : kTileWidth;
    r.height = height - r.top < kTileHeight ? height - r.top : kTileHeight;
    return true;
}

// Number of tiles in the mosaic of a width x height picture.
inline long TileCount(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<long>((width + kTileWidth - 1) / kTileWidth) * ((height + kTileHeight - 1) / kTileHeight);
}

}  // namespace gwgif

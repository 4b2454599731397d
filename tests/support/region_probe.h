// Whether a pixel belongs to a region, asked the way any GDI can answer it: the region cut to
// that one pixel is empty or not.
#pragma once

#include "platform/win32.h"

namespace gwtest {

inline bool InRegion(HRGN region, int x, int y) {
    HRGN pixel = CreateRectRgn(x, y, x + 1, y + 1);
    const bool inside = CombineRgn(pixel, pixel, region, RGN_AND) == SIMPLEREGION;
    DeleteObject(pixel);
    return inside;
}

// Two regions cover the same pixels when what lies in exactly one of them is empty.
inline bool SameRegion(HRGN a, HRGN b) {
    HRGN difference = CreateRectRgn(0, 0, 0, 0);
    const bool same = CombineRgn(difference, a, b, RGN_XOR) == NULLREGION;
    DeleteObject(difference);
    return same;
}

}  // namespace gwtest

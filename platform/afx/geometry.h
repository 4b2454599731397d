// The framework's rectangle, size and point wrappers over RECT, SIZE and POINT.
#pragma once

#include "platform/win32_types.h"

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}  // NOLINT: implicit, as the framework's
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    operator LPCRECT() const { return this; }  // NOLINT
    operator LPRECT() { return this; }         // NOLINT
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(LONG x, LONG y) : SIZE{x, y} {}
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(LONG x, LONG y) : POINT{x, y} {}
};

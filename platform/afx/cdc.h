// The framework's device-context wrapper: borrows an HDC (it never deletes it) and offers the
// few drawing helpers the control uses.
#pragma once

#include "platform/afx/geometry.h"

class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_hDC(dc) {}
    HDC GetSafeHdc() const { return m_hDC; }
    HDC Detach() {
        HDC dc = m_hDC;
        m_hDC = nullptr;
        return dc;
    }
    // Fills the rectangle with one solid colour (a COLORREF taken as red-green-blue as it is).
    void FillSolidRect(LPCRECT rect, COLORREF color);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);

    HDC m_hDC = nullptr;
};

#include "platform/afx/cdc.h"

#include "platform/win32.h"

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
    if (!m_hDC || !rect) return;
    // A brush of exactly this colour: no palette or system-colour mapping on the way.
    HBRUSH brush = CreateSolidBrush(color);
    if (!brush) return;
    FillRect(m_hDC, rect, brush);
    DeleteObject(brush);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
    const RECT r{x, y, x + cx, y + cy};
    FillSolidRect(&r, color);
}

// Painting: the background colour under the whole bounds, then the picture combined onto it
// at the device context's origin by AND, so white margins show the fill. A system colour paints
// as the system's colour table has it now.
#include "control/glyphwell_ctrl.h"
#include "control/property_values.h"

void CGlyphwellCtrl::OnDraw(CDC* dc, const CRect& bounds, const CRect&) {
    if (!dc) return;
    dc->FillSolidRect(bounds, GlyphwellPaintColor(m_backGroundColor));
    if (m_bImageReady) m_image.Draw3(dc->GetSafeHdc(), 0, 0, -1, -1);
}

#include "control/glyphwell_prop_page.h"

#include "control/glyphwell_ids.h"
#include "control/glyphwell_module.h"

CGlyphwellPropPage::CGlyphwellPropPage() : COlePropertyPage(IDD_PROPPAGE_GLYPHWELL, IDS_GLYPHWELL_PPG_CAPTION) {
    GlyphwellModuleEnsureLoaded();
}

IUnknown* CGlyphwellPropPage::CreateObject() { return static_cast<IUnknown*>(new CGlyphwellPropPage); }

void CGlyphwellPropPage::DoDataExchange(CDataExchange* dx) { DDP_PostProcessing(dx); }

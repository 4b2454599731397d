// CGlyphwellPropPage: the control's one property page ("General"). It binds nothing: its data
// exchange only runs the framework's post-processing.
#pragma once

#include "platform/afx/afxctl.h"

class CGlyphwellPropPage : public COlePropertyPage {
public:
    CGlyphwellPropPage();
    static IUnknown* CreateObject();

protected:
    void DoDataExchange(CDataExchange* dx) override;
};

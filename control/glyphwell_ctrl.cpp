#include "control/glyphwell_ctrl.h"

#include "control/glyphwell_ids.h"
#include "control/glyphwell_module.h"
#include "control/property_values.h"

BEGIN_DISPATCH_MAP(CGlyphwellCtrl, COleControl)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "PreferredVersion", dispidPreferredVersion, GetPreferredVersion, SetPreferredVersion, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "SelectedVersion", dispidSelectedVersion, GetSelectedVersion, SetSelectedVersion, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "CorrectionLevel", dispidCorrectionLevel, GetCorrectionLevel, SetCorrectionLevel, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "EncodeMode", dispidEncodeMode, GetEncodeMode, SetEncodeMode, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "EciMode", dispidEciMode, GetEciMode, SetEciMode, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "Fnc1Mode", dispidFnc1Mode, GetFnc1Mode, SetFnc1Mode, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "StructuredAppend", dispidStructuredAppend, GetStructuredAppend, SetStructuredAppend, VT_BOOL)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "ProcessTilde", dispidProcessTilde, GetProcessTilde, SetProcessTilde, VT_BOOL)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "AutoConfigurate", dispidAutoConfigurate, GetAutoConfigurate, SetAutoConfigurate, VT_BOOL)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "Margin", dispidMargin, GetMargin, SetMargin, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "PixelSize", dispidPixelSize, GetPixelSize, SetPixelSize, VT_I2)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "BackGroundColor", dispidBackGroundColor, GetBackGroundColor, SetBackGroundColor, VT_UI4)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "ForeGroundColor", dispidForeGroundColor, GetForeGroundColor, SetForeGroundColor, VT_UI4)
DISP_PROPERTY_EX_ID(CGlyphwellCtrl, "TextData", dispidTextData, GetTextData, SetTextData, VT_BSTR)
DISP_FUNCTION_ID("AboutBox", DISPID_ABOUTBOX, AboutBox)
END_DISPATCH_MAP()

BEGIN_OLEVERB_MAP(CGlyphwellCtrl)
ON_OLEVERB(1, AFX_IDS_VERB_PROPERTIES, OnProperties)
END_OLEVERB_MAP()

CGlyphwellCtrl::CGlyphwellCtrl() {
    GlyphwellModuleEnsureLoaded();
    InitializeIIDs(&DIID__DGlyphwell, &DIID__DGlyphwellEvents);
    // A control saved before its first regeneration stores the reset record, never
    // uninitialised bytes.
    QRCodeResetSettings(&m_settings);
    m_settings.eciValues = nullptr;
}

CGlyphwellCtrl::~CGlyphwellCtrl() = default;

IUnknown* CGlyphwellCtrl::CreateObject() { return static_cast<IDispatch*>(new CGlyphwellCtrl); }

STDMETHODIMP CGlyphwellCtrl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Glyphwell;
    return S_OK;
}

DWORD CGlyphwellCtrl::GetControlMiscStatus() const { return kGlyphwellMiscStatus; }

std::vector<CLSID> CGlyphwellCtrl::GetPropPageIDs() const { return {CLSID_GlyphwellPropPage}; }

UINT CGlyphwellCtrl::GetUserTypeNameID() const { return IDS_GLYPHWELL; }

std::mutex& CGlyphwellCtrl::SymbolLock() {
    static std::mutex lock;
    return lock;
}

void CGlyphwellCtrl::OnPropertyChanged() {
    const std::string why = RegenerateSymbol();
    SetModifiedFlag(TRUE);
    if (!why.empty()) ReportError(kGlyphwellErrorNoSymbol, why.c_str());
}

void CGlyphwellCtrl::SetRanged(DISPID dispid, short* member, short value) {
    const GlyphwellPropertyRange* range = GlyphwellRangeOf(dispid);
    if (range && !GlyphwellInRange(*range, value)) {
        ReportError(CTL_E_INVALIDPROPERTYVALUE, GlyphwellRangeText(*range).c_str());
        return;
    }
    *member = value;
    OnPropertyChanged();
}

void CGlyphwellCtrl::SetSwitch(BOOL* member, BOOL value) {
    *member = value ? TRUE : FALSE;
    OnPropertyChanged();
}

void CGlyphwellCtrl::SetColor(const char* name, OLE_COLOR* member, OLE_COLOR value) {
    if (!GlyphwellColorValid(value)) {
        ReportError(CTL_E_INVALIDPROPERTYVALUE, GlyphwellColorRangeText(name).c_str());
        return;
    }
    *member = value;
    OnPropertyChanged();
}

BSTR CGlyphwellCtrl::GetTextData() {
    return SysAllocStringLen(m_textData.data(), static_cast<UINT>(m_textData.size()));
}

void CGlyphwellCtrl::SetTextData(BSTR value) {
    m_textData.assign(value ? value : OLESTR(""), value ? SysStringLen(value) : 0);
    OnPropertyChanged();
}

void CGlyphwellCtrl::OnResetState() { COleControl::OnResetState(); }

void CGlyphwellCtrl::AboutBox() {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CDialog dlgAbout(IDD_ABOUTBOX_GLYPHWELL);
    dlgAbout.DoModal();
}

HRESULT CGlyphwellCtrl::GetTypeLib(LCID lcid, ITypeLib** lib) {
    return GlyphwellModuleTypeLib(lcid, lib);
}

IUnknown* CGlyphwellCtrl::GetInterfaceHook(REFIID iid) {
    if (iid == IID_IObjectSafety) return &m_xObjectSafety;
    return nullptr;
}

STDMETHODIMP CGlyphwellCtrl::XObjectSafety::QueryInterface(REFIID iid, void** object) {
    return m_pThis->QueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) CGlyphwellCtrl::XObjectSafety::AddRef() { return m_pThis->AddRef(); }
STDMETHODIMP_(ULONG) CGlyphwellCtrl::XObjectSafety::Release() { return m_pThis->Release(); }

STDMETHODIMP CGlyphwellCtrl::XObjectSafety::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
    // Null out-pointers are refused rather than written through.
    if (!supported || !enabled) return E_POINTER;
    IUnknown* unknown = nullptr;
    const HRESULT hr = m_pThis->QueryInterface(iid, reinterpret_cast<void**>(&unknown));
    if (unknown) unknown->Release();
    *supported = *enabled = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    return hr;
}

STDMETHODIMP CGlyphwellCtrl::XObjectSafety::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
    IUnknown* unknown = nullptr;
    if (FAILED(m_pThis->QueryInterface(iid, reinterpret_cast<void**>(&unknown))) || !unknown) return E_NOINTERFACE;
    unknown->Release();
    const DWORD safe = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    // The options are fixed: asking for anything but the two safety bits, or for switching
    // one of them off, is refused.
    if (mask & ~safe) return E_FAIL;
    if ((mask & enabled & safe) != mask) return E_FAIL;
    return S_OK;
}

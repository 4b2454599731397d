#include "control/glyphwell_ctrl.h"

#include "control/glyphwell_ids.h"
#include "control/glyphwell_module.h"

BEGIN_DISPATCH_MAP(CGlyphwellCtrl, COleControl)
DISP_PROPERTY_NOTIFY_ID("PreferredVersion", dispidPreferredVersion, m_preferredVersion, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("SelectedVersion", dispidSelectedVersion, m_selectedVersion, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("CorrectionLevel", dispidCorrectionLevel, m_correctionLevel, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("EncodeMode", dispidEncodeMode, m_encodeMode, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("EciMode", dispidEciMode, m_eciMode, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("Fnc1Mode", dispidFnc1Mode, m_fnc1Mode, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("StructuredAppend", dispidStructuredAppend, m_structuredAppend, OnPropertyChanged, VT_BOOL)
DISP_PROPERTY_NOTIFY_ID("ProcessTilde", dispidProcessTilde, m_processTilde, OnPropertyChanged, VT_BOOL)
DISP_PROPERTY_NOTIFY_ID("AutoConfigurate", dispidAutoConfigurate, m_autoConfigurate, OnPropertyChanged, VT_BOOL)
DISP_PROPERTY_NOTIFY_ID("Margin", dispidMargin, m_margin, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("PixelSize", dispidPixelSize, m_pixelSize, OnPropertyChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("BackGroundColor", dispidBackGroundColor, m_backGroundColor, OnPropertyChanged, VT_UI4)
DISP_PROPERTY_NOTIFY_ID("ForeGroundColor", dispidForeGroundColor, m_foreGroundColor, OnPropertyChanged, VT_UI4)
DISP_PROPERTY_NOTIFY_ID("TextData", dispidTextData, m_textData, OnPropertyChanged, VT_BSTR)
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
    RegenerateSymbol();
    SetModifiedFlag(TRUE);
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

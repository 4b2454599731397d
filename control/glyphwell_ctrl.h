// CGlyphwellCtrl: the QR Code control. Fourteen automation properties feed the encoder
// settings record; every set regenerates the symbol into the control's image and resizes the
// control to it. The settings persist as the fixed settings block; painting fills the bounds
// with the background colour and combines the picture onto it.
#pragma once

#include <mutex>

#include "encoder/settings.h"
#include "image/gw_image.h"
#include "platform/afx/afxctl.h"

class CGlyphwellCtrl : public COleControl {
public:
    CGlyphwellCtrl();
    ~CGlyphwellCtrl() override;

    // Creation through the class factory (one reference, owned by the caller).
    static IUnknown* CreateObject();

    STDMETHOD(GetClassID)(CLSID* clsid) override;
    DWORD GetControlMiscStatus() const override;
    std::vector<CLSID> GetPropPageIDs() const override;
    UINT GetUserTypeNameID() const override;

    void OnDraw(CDC* dc, const CRect& bounds, const CRect& invalid) override;
    void DoPropExchange(CPropExchange* px) override;
    void OnResetState() override;
    void Serialize(CArchive& ar) override;

    // The type library this control describes itself with: the registered GLYPHWELLLib 1.0,
    // cached per module after the first load. Fails while the library is not registered.
    HRESULT GetTypeLib(LCID lcid, ITypeLib** lib) override;

    // Read-only views for hosts and tests of the state automation does not expose.
    const QRCodeSettings& Settings() const { return m_settings; }
    const GwImage& Image() const { return m_image; }
    bool IsImageReady() const { return m_bImageReady; }

    // The lock every encoding run and rendering of the module takes: the encoder and renderer
    // keep module-wide state, so runs from different instances (and threads) must not overlap.
    static std::mutex& SymbolLock();

protected:
    // Property change handler: regenerate, then mark the control modified.
    void OnPropertyChanged();
    void RegenerateSymbol();
    void AboutBox();

    IUnknown* GetInterfaceHook(REFIID iid) override;

    DECLARE_DISPATCH_MAP()
    DECLARE_OLEVERB_MAP()

    // IObjectSafety of the control: it is safe for untrusted callers and untrusted data, always.
    class XObjectSafety : public IObjectSafety {
    public:
        explicit XObjectSafety(CGlyphwellCtrl* outer) : m_pThis(outer) {}
        STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(GetInterfaceSafetyOptions)(REFIID iid, DWORD* supported, DWORD* enabled) override;
        STDMETHOD(SetInterfaceSafetyOptions)(REFIID iid, DWORD mask, DWORD enabled) override;

    private:
        CGlyphwellCtrl* m_pThis;
    };
    friend class XObjectSafety;
    XObjectSafety m_xObjectSafety{this};

    // Renders m_settings as they stand into m_image and sizes the control to it. Runs under
    // SymbolLock; shared by regeneration and loading.
    void RenderSettingsLocked();

    // The fourteen properties, in their stored types.
    short m_preferredVersion = -1;
    short m_selectedVersion = -1;
    short m_correctionLevel = -1;
    short m_encodeMode = -1;
    short m_eciMode = -1;
    short m_fnc1Mode = -1;
    BOOL m_structuredAppend = FALSE;
    BOOL m_processTilde = FALSE;
    BOOL m_autoConfigurate = FALSE;
    short m_margin = -1;
    short m_pixelSize = -1;
    OLE_COLOR m_backGroundColor = 0xFFFFFF;
    OLE_COLOR m_foreGroundColor = 0;
    CString m_textData;

    GwImage m_image;
    bool m_bImageReady = false;
    QRCodeSettings m_settings;
};

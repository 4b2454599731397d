// CGlyphwellCtrl: the QR Code control. Fourteen automation properties feed the encoder
// settings record; every set regenerates the symbol into the control's image and resizes the
// control to it. The settings persist as the fixed settings block; painting fills the bounds
// with the background colour and combines the picture onto it.
#pragma once

#include <mutex>
#include <string>

#include "control/glyphwell_ids.h"
#include "control/settings_block.h"
#include "encoder/settings.h"
#include "image/gw_image.h"
#include "platform/afx/afxctl.h"

// The automation error of a property set after which no symbol can be made (the text fits no
// version, a forced mode cannot hold it, the picture would be too large); its description says
// which. Script hosts show it as error 600.
constexpr SCODE kGlyphwellErrorNoSymbol = CUSTOM_CTL_SCODE(600);

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

    // Takes a whole stored settings block (QRCODE_SETTINGS_BLOCK_SIZE bytes): the record as
    // stored, the fourteen properties it was made from, and the picture it draws. Every stored
    // form of the control comes through here.
    void LoadSettingsBlock(const BYTE* block);

    // Read-only views for hosts and tests of the state automation does not expose.
    const QRCodeSettings& Settings() const { return m_settings; }
    const GwImage& Image() const { return m_image; }
    bool IsImageReady() const { return m_bImageReady; }

    // The lock every encoding run and rendering of the module takes: the encoder and renderer
    // keep module-wide state, so runs from different instances (and threads) must not overlap.
    static std::mutex& SymbolLock();

protected:
    // Property change handler: regenerate, then mark the control modified; a set after which
    // no symbol can be made raises kGlyphwellErrorNoSymbol.
    void OnPropertyChanged();
    // Rebuilds the settings record from the properties and draws it; an empty text, or one
    // that cannot be made into a symbol, leaves no picture. Returns why no symbol could be made,
    // or an empty string.
    std::string RegenerateSymbol();
    void AboutBox();

    // Property access. The short properties refuse values outside their ranges and the colours
    // values that are no colour, with CTL_E_INVALIDPROPERTYVALUE; the property keeps its value.
    short GetPreferredVersion() { return m_preferredVersion; }
    void SetPreferredVersion(short value) { SetRanged(dispidPreferredVersion, &m_preferredVersion, value); }
    short GetSelectedVersion() { return m_selectedVersion; }
    void SetSelectedVersion(short value) { SetRanged(dispidSelectedVersion, &m_selectedVersion, value); }
    short GetCorrectionLevel() { return m_correctionLevel; }
    void SetCorrectionLevel(short value) { SetRanged(dispidCorrectionLevel, &m_correctionLevel, value); }
    short GetEncodeMode() { return m_encodeMode; }
    void SetEncodeMode(short value) { SetRanged(dispidEncodeMode, &m_encodeMode, value); }
    short GetEciMode() { return m_eciMode; }
    void SetEciMode(short value) { SetRanged(dispidEciMode, &m_eciMode, value); }
    short GetFnc1Mode() { return m_fnc1Mode; }
    void SetFnc1Mode(short value) { SetRanged(dispidFnc1Mode, &m_fnc1Mode, value); }
    BOOL GetStructuredAppend() { return m_structuredAppend; }
    void SetStructuredAppend(BOOL value) { SetSwitch(&m_structuredAppend, value); }
    BOOL GetProcessTilde() { return m_processTilde; }
    void SetProcessTilde(BOOL value) { SetSwitch(&m_processTilde, value); }
    BOOL GetAutoConfigurate() { return m_autoConfigurate; }
    void SetAutoConfigurate(BOOL value) { SetSwitch(&m_autoConfigurate, value); }
    short GetMargin() { return m_margin; }
    void SetMargin(short value) { SetRanged(dispidMargin, &m_margin, value); }
    short GetPixelSize() { return m_pixelSize; }
    void SetPixelSize(short value) { SetRanged(dispidPixelSize, &m_pixelSize, value); }
    OLE_COLOR GetBackGroundColor() { return m_backGroundColor; }
    void SetBackGroundColor(OLE_COLOR value) { SetColor("BackGroundColor", &m_backGroundColor, value); }
    OLE_COLOR GetForeGroundColor() { return m_foreGroundColor; }
    void SetForeGroundColor(OLE_COLOR value) { SetColor("ForeGroundColor", &m_foreGroundColor, value); }
    // The text as the host set it, in any language (UTF-16).
    BSTR GetTextData();
    void SetTextData(BSTR value);

    void SetRanged(DISPID dispid, short* member, short value);
    void SetSwitch(BOOL* member, BOOL value);
    void SetColor(const char* name, OLE_COLOR* member, OLE_COLOR value);
    // Sets the fourteen properties from m_settings and m_note: what a stored block was made from.
    void RestoreProperties();

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

    // Encodes m_settings as they stand, paints the symbol into m_image and sizes the control to
    // it; false when no picture came of it, with the reason in *why when it is given. Runs under
    // SymbolLock; shared by regeneration and loading.
    bool RenderSettingsLocked(std::string* why = nullptr);
    // No picture: the control shows its fill only, at the size it has.
    void ClearPicture();

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
    GwOleString m_textData;

    // What the settings block notes about the properties behind m_settings, saved with it.
    GlyphwellPropertyNote m_note;

    GwImage m_image;
    bool m_bImageReady = false;
    QRCodeSettings m_settings;
};

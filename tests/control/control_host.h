// A small test host for the control: property access by name through IDispatch, saving and
// loading through IPersistStreamInit, and painting into a memory device of a given size.
#pragma once

#include <string>
#include <vector>

#include "control/glyphwell_ctrl.h"
#include "control/glyphwell_ids.h"
#include "control/glyphwell_module.h"
#include "platform/win32.h"
#include "tests/support/qr_decode.h"
#include "tests/support/win32_probes.h"

namespace gwtest {

inline DISPID IdOf(IDispatch* d, const char* name) {
    GwOleString w = GwWideFromAnsi(name, std::char_traits<char>::length(name));
    LPOLESTR names[1] = {&w[0]};
    DISPID id = DISPID_UNKNOWN;
    d->GetIDsOfNames(GUID_NULL, names, 1, 0, &id);
    return id;
}

inline HRESULT PutVariant(IDispatch* d, const char* name, VARIANT v) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    UINT argErr = 0;
    const HRESULT hr = d->Invoke(IdOf(d, name), GUID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, &argErr);
    VariantClear(&v);
    return hr;
}

// A property set as a script host sees it: the result, and for DISP_E_EXCEPTION the error's
// code and one-line description from the EXCEPINFO.
struct SetOutcome {
    HRESULT hr = S_OK;
    SCODE scode = 0;
    std::string description;
};

inline SetOutcome PutReporting(IDispatch* d, const char* name, VARIANT v) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    EXCEPINFO excep{};
    UINT argErr = 0;
    SetOutcome out;
    out.hr = d->Invoke(IdOf(d, name), GUID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &excep, &argErr);
    VariantClear(&v);
    if (out.hr == DISP_E_EXCEPTION) {
        out.scode = excep.scode;
        if (excep.bstrDescription)
            out.description = GwUtf8FromWide(excep.bstrDescription, SysStringLen(excep.bstrDescription));
    }
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    return out;
}

inline VARIANT I2(short value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}

inline VARIANT Text(const std::string& utf8) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = GwAllocBstrFromUtf8(utf8);
    return v;
}

inline HRESULT PutI2(IDispatch* d, const char* name, short value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = value;
    return PutVariant(d, name, v);
}

inline HRESULT PutI4(IDispatch* d, const char* name, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return PutVariant(d, name, v);
}

inline HRESULT PutBool(IDispatch* d, const char* name, bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return PutVariant(d, name, v);
}

inline HRESULT PutString(IDispatch* d, const char* name, const std::string& utf8) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = GwAllocBstrFromUtf8(utf8);
    return PutVariant(d, name, v);
}

inline HRESULT PutColor(IDispatch* d, const char* name, DWORD color) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI4;
    v.ulVal = color;
    return PutVariant(d, name, v);
}

// Sets every property but the text back to its default, as a fresh control has it.
inline void ClearProperties(IDispatch* d) {
    for (const char* name : {"PreferredVersion", "SelectedVersion", "CorrectionLevel", "EncodeMode", "EciMode",
                             "Fnc1Mode", "Margin", "PixelSize"})
        PutI2(d, name, -1);
    for (const char* name : {"StructuredAppend", "ProcessTilde", "AutoConfigurate"}) PutBool(d, name, false);
    PutColor(d, "BackGroundColor", 0xFFFFFF);
    PutColor(d, "ForeGroundColor", 0);
}

inline VARIANT Get(IDispatch* d, const char* name) {
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    d->Invoke(IdOf(d, name), GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    return result;
}

inline std::string GetString(IDispatch* d, const char* name) {
    VARIANT v = Get(d, name);
    std::string s = v.vt == VT_BSTR ? GwUtf8FromWide(v.bstrVal, SysStringLen(v.bstrVal)) : "<not a string>";
    VariantClear(&v);
    return s;
}

// A control owned by the test; released at scope end.
struct ControlRef {
    CGlyphwellCtrl* ctrl = new CGlyphwellCtrl;
    ControlRef() = default;
    ControlRef(const ControlRef&) = delete;
    ControlRef& operator=(const ControlRef&) = delete;
    ~ControlRef() { ctrl->Release(); }
    IDispatch* disp() { return ctrl; }
    CGlyphwellCtrl* operator->() { return ctrl; }
    int Width() {
        int cx, cy;
        ctrl->GetControlSize(&cx, &cy);
        return cx;
    }
    int Height() {
        int cx, cy;
        ctrl->GetControlSize(&cx, &cy);
        return cy;
    }
};

inline std::vector<BYTE> SaveState(COleControl* c) {
    GwMemoryStream* s = new GwMemoryStream;
    c->Save(s, TRUE);
    std::vector<BYTE> bytes = s->Bytes();
    s->Release();
    return bytes;
}

inline void LoadState(COleControl* c, const std::vector<BYTE>& bytes) {
    GwMemoryStream* s = new GwMemoryStream(bytes);
    c->Load(s);
    s->Release();
}

// A memory device of width x height on a screen-compatible bitmap, pre-filled with `fill`.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    int width, height;
    Canvas(int w, int h, COLORREF fill = RGB(0x80, 0x80, 0x80)) : width(w), height(h) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        HBRUSH b = CreateSolidBrush(fill);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y) & 0xFFFFFF; }
    void Paint(COleControl* c, int w, int h) {
        RECTL bounds{0, 0, w, h};
        c->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    }
};

// Paints the control at its own size and returns the picture as grey levels for the decoders:
// black pixels 0, every other colour 255.
inline GreyImage PaintedGrey(ControlRef& c) {
    const int w = c.Width(), h = c.Height();
    Canvas canvas(w, h);
    canvas.Paint(c.ctrl, w, h);
    GreyImage grey;
    grey.width = w;
    grey.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grey.pixels.push_back(canvas.At(x, y) == 0 ? 0 : 255);
    return grey;
}

}  // namespace gwtest

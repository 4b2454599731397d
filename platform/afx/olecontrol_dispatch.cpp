// The control's automation: properties and methods by DISPID from the class's dispatch map,
// with the value conversions hosts rely on, and its type information (IDispatch,
// IProvideClassInfo2).
#include <cctype>
#include <cstring>
#include <string>
#include <utility>

#include "platform/afx/olecontrol.h"
#include "platform/afx/resources.h"

namespace {
bool SameName(const char* a, const std::string& b) {
    const size_t n = std::strlen(a);
    if (n != b.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Reads a stored property into a VARIANT of its automation type.
HRESULT GetValue(VARTYPE vt, const void* p, VARIANT* out) {
    VariantInit(out);
    out->vt = vt;
    switch (vt) {
        case VT_I2: out->iVal = *static_cast<const short*>(p); break;
        case VT_I4: out->lVal = *static_cast<const LONG*>(p); break;
        case VT_BOOL: out->boolVal = *static_cast<const BOOL*>(p) ? VARIANT_TRUE : VARIANT_FALSE; break;
        // OLE_COLOR goes out as the signed 32-bit value hosts expect of it (VB's Long).
        case VT_UI4:
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(*static_cast<const DWORD*>(p));
            break;
        case VT_BSTR:
            out->bstrVal = static_cast<const CString*>(p)->AllocSysString();
            if (!out->bstrVal) {
                out->vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
            break;
        default: out->vt = VT_EMPTY; return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// Converts what a host passes into the property's type. An OLE_COLOR arrives as a signed
// 32-bit value (negative for system colours), as an unsigned one or as text; its 32 bits are
// kept as they are.
HRESULT ConvertValue(VARTYPE vt, VARIANT& in, VARIANT* out) {
    if (vt != VT_UI4) return VariantChangeType(out, &in, 0, vt);
    if (in.vt == VT_UI4) return VariantCopy(out, &in);
    HRESULT hr = VariantChangeType(out, &in, 0, VT_I4);
    if (hr == DISP_E_OVERFLOW) return VariantChangeType(out, &in, 0, VT_UI4);
    if (FAILED(hr)) return hr;
    const LONG bits = out->lVal;
    out->vt = VT_UI4;
    out->ulVal = static_cast<ULONG>(bits);
    return S_OK;
}

// Stores an already converted VARIANT into the property.
void PutValue(VARTYPE vt, void* p, const VARIANT& v) {
    switch (vt) {
        case VT_I2: *static_cast<short*>(p) = v.iVal; break;
        case VT_I4: *static_cast<LONG*>(p) = v.lVal; break;
        case VT_BOOL: *static_cast<BOOL*>(p) = v.boolVal ? TRUE : FALSE; break;
        case VT_UI4: *static_cast<DWORD*>(p) = v.ulVal; break;
        case VT_BSTR: static_cast<CString*>(p)->SetFromBSTR(v.bstrVal); break;
        default: break;
    }
}

}  // namespace

const AFX_DISPMAP_ENTRY* COleControl::GetDispatchMap(UINT* count) const {
    *count = 0;
    return nullptr;
}

const AFX_DISPMAP_ENTRY* COleControl::FindEntry(DISPID id) const {
    UINT n = 0;
    const AFX_DISPMAP_ENTRY* map = GetDispatchMap(&n);
    for (UINT i = 0; i < n; ++i)
        if (map[i].dispid == id) return &map[i];
    return nullptr;
}

STDMETHODIMP COleControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP COleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (!m_piidPrimary) return E_UNEXPECTED;
    return TypeInfoOf(*m_piidPrimary, lcid, info);
}

HRESULT COleControl::TypeInfoOf(REFGUID guid, LCID lcid, ITypeInfo** info) {
    CInterfacePtr<ITypeLib> lib;
    const HRESULT hr = GetTypeLib(lcid, lib.Receive());
    if (FAILED(hr)) return hr;
    if (!lib) return E_UNEXPECTED;
    return lib->GetTypeInfoOfGuid(guid, info);
}

HRESULT COleControl::GetTypeLib(LCID, ITypeLib** lib) {
    if (lib) *lib = nullptr;
    return TYPE_E_CANTLOADLIBRARY;
}

STDMETHODIMP COleControl::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    CLSID clsid;
    const HRESULT hr = GetClassID(&clsid);
    if (FAILED(hr)) return hr;
    return TypeInfoOf(clsid, 0, info);
}

STDMETHODIMP COleControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID || !m_piidEvents) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = *m_piidEvents;
    return S_OK;
}

STDMETHODIMP COleControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    UINT n = 0;
    const AFX_DISPMAP_ENTRY* map = GetDispatchMap(&n);
    HRESULT hr = S_OK;
    for (UINT k = 0; k < count; ++k) {
        ids[k] = DISPID_UNKNOWN;
        if (!names[k]) {
            hr = DISP_E_UNKNOWNNAME;
            continue;
        }
        size_t len = 0;
        while (names[k][len]) ++len;
        const std::string name = GwAnsiFromWide(names[k], len);
        // Only the member name is looked up; named arguments are not supported.
        if (k == 0) {
            for (UINT i = 0; i < n; ++i)
                if (SameName(map[i].name, name)) ids[0] = map[i].dispid;
        }
        if (ids[k] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP COleControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* excep, UINT* argErr) {
    const AFX_DISPMAP_ENTRY* e = FindEntry(id);
    if (!e) return DISP_E_MEMBERNOTFOUND;
    const UINT args = params ? params->cArgs : 0;
    m_dispatchError = DispatchError();
    if (e->method) {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (args != 0) return DISP_E_BADPARAMCOUNT;
        e->method(this);
        if (result) VariantInit(result);
        return TakeCallError(excep);
    }
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (args != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
        const HRESULT hr = PutProperty(*e, params->rgvarg[0]);
        if (FAILED(hr)) {
            if (argErr) *argErr = 0;
            return hr;
        }
        if (m_dispatchError.pending) return TakeCallError(excep);
        FirePropertyChanged(id);
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (args != 0) return DISP_E_BADPARAMCOUNT;
        if (!result) return E_POINTER;
        const HRESULT hr = GetProperty(*e, result);
        return FAILED(hr) ? hr : TakeCallError(excep);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT COleControl::PutProperty(const AFX_DISPMAP_ENTRY& entry, VARIANT& value) {
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = ConvertValue(entry.vt, value, &converted);
    if (FAILED(hr)) return hr;  // refused before anything is stored: the control sees nothing
    // The container may answer the change (a new size, a new view) by calling back into the
    // control, so it hears of it only once the change handler is done.
    NotificationHold hold(this);
    if (entry.put) entry.put(this, converted);
    else PutValue(entry.vt, entry.address(this), converted);
    VariantClear(&converted);
    if (entry.notify) entry.notify(this);
    return S_OK;
}

HRESULT COleControl::GetProperty(const AFX_DISPMAP_ENTRY& entry, VARIANT* value) {
    if (!entry.get) return GetValue(entry.vt, entry.address(this), value);
    VariantInit(value);
    entry.get(this, value);
    if (value->vt == VT_BSTR && !value->bstrVal) {
        value->vt = VT_EMPTY;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void COleControl::ReportError(SCODE code, const char* description) {
    m_dispatchError.pending = TRUE;
    m_dispatchError.code = FAILED(code) ? code : E_FAIL;
    m_dispatchError.description = description ? description : "";
}

HRESULT COleControl::TakeCallError(EXCEPINFO* excep) {
    if (!m_dispatchError.pending) return S_OK;
    const DispatchError error = std::move(m_dispatchError);
    m_dispatchError = DispatchError();
    std::string source;
    if (GetUserTypeNameID()) AfxLoadStringBytes(AfxGetResourceHandle(), GetUserTypeNameID(), &source);
    const GwOleString wideSource = GwWideFromAnsi(source.data(), source.size());
    const GwOleString wideText = GwWideFromAnsi(error.description.data(), error.description.size());
    if (excep) {
        *excep = EXCEPINFO();
        excep->scode = error.code;
        excep->bstrSource = SysAllocString(wideSource.c_str());
        excep->bstrDescription = SysAllocString(wideText.c_str());
    }
    // The same for callers that ask the thread (script hosts through ISupportErrorInfo).
    CInterfacePtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.Receive())) && create) {
        create->SetGUID(m_piidPrimary ? *m_piidPrimary : IID_IDispatch);
        create->SetSource(const_cast<LPOLESTR>(wideSource.c_str()));
        create->SetDescription(const_cast<LPOLESTR>(wideText.c_str()));
        CInterfacePtr<IErrorInfo> info;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.ReceiveVoid())) && info) SetErrorInfo(0, info.Get());
    }
    return DISP_E_EXCEPTION;
}

STDMETHODIMP COleControl::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID_IDispatch || (m_piidPrimary && iid == *m_piidPrimary) ? S_OK : S_FALSE;
}


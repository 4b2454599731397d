#include "platform/afx/olecontrol.h"

#include <cctype>
#include <cstring>

#include "platform/afx/module.h"
#include "platform/afx/objectfactory.h"
#include "platform/afx/propertypage.h"
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
        case VT_UI4: out->ulVal = *static_cast<const DWORD*>(p); break;
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

LONG PixelsToHimetric(int px) { return static_cast<LONG>((static_cast<long long>(px) * 2540 + 48) / 96); }
}  // namespace

COleControl::COleControl() { AfxOleLockApp(); }

COleControl::~COleControl() { AfxOleUnlockApp(); }

HRESULT COleControl::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || (m_piidPrimary && iid == *m_piidPrimary))
        found = static_cast<IDispatch*>(this);
    else if (iid == IID_IPersistStreamInit) found = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IViewObject) found = static_cast<IViewObject*>(this);
    else if (iid == IID_IOleObject) found = static_cast<IOleObject*>(this);
    else if (iid == IID_ISpecifyPropertyPages) found = static_cast<ISpecifyPropertyPages*>(this);
    else found = GetInterfaceHook(iid);
    if (!found) return E_NOINTERFACE;
    *object = found;
    AddRef();
    return S_OK;
}

ULONG COleControl::AddRef() { return ++m_refs; }

ULONG COleControl::Release() {
    const ULONG left = --m_refs;
    if (left == 0) OnFinalRelease();
    return left;
}

IUnknown* COleControl::GetInterfaceHook(REFIID) { return nullptr; }

const AFX_DISPMAP_ENTRY* COleControl::GetDispatchMap(UINT* count) const {
    *count = 0;
    return nullptr;
}

const AFX_VERBMAP_ENTRY* COleControl::GetVerbMap(UINT* count) const {
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

HRESULT COleControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT COleControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControl::GetIDsOfNames(REFIID, LPCOLESTR* names, UINT count, LCID, DISPID* ids) {
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

HRESULT COleControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                            UINT* argErr) {
    const AFX_DISPMAP_ENTRY* e = FindEntry(id);
    if (!e) return DISP_E_MEMBERNOTFOUND;
    const UINT args = params ? params->cArgs : 0;
    if (e->method) {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (args != 0) return DISP_E_BADPARAMCOUNT;
        e->method(this);
        if (result) VariantInit(result);
        return S_OK;
    }
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (args != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
        VARIANT converted;
        VariantInit(&converted);
        const HRESULT hr = VariantChangeType(&converted, &params->rgvarg[0], 0, e->vt);
        if (FAILED(hr)) {
            // Refused before anything is stored: the control sees nothing.
            if (argErr) *argErr = 0;
            return hr;
        }
        PutValue(e->vt, e->address(this), converted);
        VariantClear(&converted);
        if (e->notify) e->notify(this);
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (args != 0) return DISP_E_BADPARAMCOUNT;
        if (!result) return E_POINTER;
        return GetValue(e->vt, e->address(this), result);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT COleControl::IsDirty() { return m_bModified ? S_OK : S_FALSE; }

HRESULT COleControl::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    CArchive ar(stream, CArchive::load);
    Serialize(ar);
    return S_OK;
}

HRESULT COleControl::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    CArchive ar(stream, CArchive::store);
    Serialize(ar);
    if (ar.WriteFailed()) return E_FAIL;
    if (clearDirty) m_bModified = FALSE;
    return S_OK;
}

HRESULT COleControl::InitNew() {
    OnResetState();
    return S_OK;
}

HRESULT COleControl::Draw(DWORD aspect, LONG, void*, void*, HDC, HDC hdcDraw, LPCRECTL bounds, LPCRECTL, void*,
                          ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (!hdcDraw || !bounds) return E_INVALIDARG;
    CDC dc(hdcDraw);
    const CRect rc(bounds->left, bounds->top, bounds->right, bounds->bottom);
    OnDraw(&dc, rc, rc);
    return S_OK;
}

HRESULT COleControl::DoVerb(LONG verb, void*, void*, LONG, HWND, LPCRECT) {
    if (verb == OLEIVERB_PROPERTIES) return OnProperties() ? S_OK : E_FAIL;
    if (verb <= OLEIVERB_PRIMARY && verb >= OLEIVERB_INPLACEACTIVATE) return S_OK;
    UINT n = 0;
    const AFX_VERBMAP_ENTRY* map = GetVerbMap(&n);
    for (UINT i = 0; i < n; ++i)
        if (map[i].verb == verb) return map[i].action(this) ? S_OK : E_FAIL;
    return OLEOBJ_S_INVALIDVERB;
}

std::vector<OLEVERB> COleControl::EnumVerbs() {
    // The framework's standard verbs first, then the class's own with their names from the
    // resources (the framework's own module for the framework's standard texts).
    std::vector<OLEVERB> verbs = {{OLEIVERB_PRIMARY, "&Edit", 0, 0}, {OLEIVERB_PROPERTIES, "&Properties...", 0, 0}};
    UINT n = 0;
    const AFX_VERBMAP_ENTRY* map = GetVerbMap(&n);
    m_verbNames.assign(n, std::string());
    for (UINT i = 0; i < n; ++i) {
        if (!AfxLoadStringBytes(AfxGetResourceHandle(), map[i].nameId, &m_verbNames[i]))
            AfxLoadStringBytes(AfxGetFrameworkHandle(), map[i].nameId, &m_verbNames[i]);
    }
    for (UINT i = 0; i < n; ++i) verbs.push_back({map[i].verb, m_verbNames[i].c_str(), 0, 0});
    return verbs;
}

HRESULT COleControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (!size) return E_POINTER;
    size->cx = PixelsToHimetric(m_cxExtent);
    size->cy = PixelsToHimetric(m_cyExtent);
    return S_OK;
}

HRESULT COleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? GetControlMiscStatus() : 0;
    return S_OK;
}

HRESULT COleControl::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    const std::vector<CLSID> ids = GetPropPageIDs();
    pages->cElems = static_cast<ULONG>(ids.size());
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * (ids.empty() ? 1 : ids.size())));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    for (size_t i = 0; i < ids.size(); ++i) pages->pElems[i] = ids[i];
    return S_OK;
}

void COleControl::InitializeIIDs(const IID* dispatchIID, const IID* eventsIID) {
    m_piidPrimary = dispatchIID;
    m_piidEvents = eventsIID;
}

BOOL COleControl::SetControlSize(int cx, int cy) {
    // Without an in-place site the container takes the requested size as it is.
    if (cx < 0 || cy < 0) return FALSE;
    m_cxExtent = cx;
    m_cyExtent = cy;
    return TRUE;
}

void COleControl::GetControlSize(int* cx, int* cy) const {
    if (cx) *cx = m_cxExtent;
    if (cy) *cy = m_cyExtent;
}

void COleControl::SetModifiedFlag(BOOL modified) { m_bModified = modified ? TRUE : FALSE; }

void COleControl::ExchangeVersion(CPropExchange* px, DWORD versionDefault, BOOL convert) {
    DWORD version = versionDefault;
    px->ExchangeVersion(version, versionDefault, convert);
}

// The framework's part: a tag and a format number, so that a damaged or foreign stream is
// recognised and skipped, then the property exchange.
void COleControl::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << kAfxControlStreamMagic << kAfxControlStreamFormat;
        CArchivePropExchange px(ar);
        DoPropExchange(&px);
        return;
    }
    DWORD magic = 0;
    WORD format = 0;
    ar >> magic >> format;
    if (magic != kAfxControlStreamMagic || format != kAfxControlStreamFormat) return;
    CArchivePropExchange px(ar);
    DoPropExchange(&px);
}

void COleControl::DoPropExchange(CPropExchange*) {}

void COleControl::OnResetState() {
    CResetPropExchange px;
    DoPropExchange(&px);
}

void COleControl::OnDraw(CDC*, const CRect&, const CRect&) {}

BOOL COleControl::OnProperties() {
    for (const CLSID& clsid : GetPropPageIDs()) {
        COleObjectFactory* f = COleObjectFactory::Find(clsid);
        if (!f) return FALSE;
        IUnknown* unknown = nullptr;
        if (FAILED(f->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&unknown)))) return FALSE;
        COlePropertyPage* page = COlePropertyPage::FromUnknown(unknown);
        if (page) page->ShowModal();
        unknown->Release();
    }
    return TRUE;
}

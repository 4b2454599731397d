#include "platform/afx/olecontrol.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "platform/afx/module.h"
#include "platform/afx/objectfactory.h"
#include "platform/afx/propertypage.h"
#include "platform/afx/resources.h"
#include "platform/com/memory_stream.h"
#include "platform/com/typelib.h"

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

// The screen's logical pixels per inch, across (LOGPIXELSX) or down (LOGPIXELSY).
int ScreenPixelsPerInch(int index) {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, index) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}
// HIMETRIC is 0.01 mm: 2540 to the inch.
LONG PixelsToHimetric(int px, int dpi) {
    return static_cast<LONG>((static_cast<long long>(px) * 2540 + dpi / 2) / dpi);
}
int HimetricToPixels(LONG hm, int dpi) { return static_cast<int>((static_cast<long long>(hm) * dpi + 1270) / 2540); }

// The window class of controls' in-place windows: registered once per module, at the first
// activation, and unregistered when the module goes (a class left behind by an unloaded module
// would point at code that is gone).
const char kControlWindowClass[] = "GwAfxControlWindow";

HINSTANCE ControlModule() {
#ifdef _WIN32
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ControlModule), &module);
    return module;
#else
    return AfxGetInstanceHandle();
#endif
}

class ControlWindowClass {
public:
    explicit ControlWindowClass(WNDPROC proc) : m_instance(ControlModule()) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = m_instance;
        wc.lpszClassName = kControlWindowClass;
        m_registered = RegisterClassA(&wc) != 0;
    }
    ~ControlWindowClass() {
        if (m_registered) UnregisterClassA(kControlWindowClass, m_instance);
    }
    HINSTANCE Instance() const { return m_instance; }

private:
    HINSTANCE m_instance;
    bool m_registered = false;
};

const ControlWindowClass& WindowClassFor(WNDPROC proc) {
    static const ControlWindowClass windowClass(proc);
    return windowClass;
}

// Keeps an object alive across calls out to its container, which may release it.
class CKeepAlive {
public:
    explicit CKeepAlive(IUnknown* object) : m_object(object) { m_object->AddRef(); }
    ~CKeepAlive() { m_object->Release(); }
    CKeepAlive(const CKeepAlive&) = delete;
    CKeepAlive& operator=(const CKeepAlive&) = delete;

private:
    IUnknown* m_object;
};

template <class T>
void ReleaseInterface(T*& p) {
    T* held = p;
    p = nullptr;
    if (held) held->Release();
}

// Each enumerated item carries one reference of its own; what Next hands out gets another.
void AddRefItem(IConnectionPoint* point) { point->AddRef(); }
void ReleaseItem(IConnectionPoint* point) { point->Release(); }
void AddRefItem(const CONNECTDATA& data) { data.pUnk->AddRef(); }
void ReleaseItem(const CONNECTDATA& data) { data.pUnk->Release(); }

// A snapshot enumerator over connection points or connections: later Advise and Unadvise
// calls do not disturb a walk in progress.
template <class Interface, class Item>
class CSnapshotEnum final : public Interface {
public:
    CSnapshotEnum(REFIID iid, std::vector<Item> items, size_t position = 0)
        : m_iid(iid), m_items(std::move(items)), m_position(position) {
        for (const Item& item : m_items) AddRefItem(item);
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != m_iid) return E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    STDMETHOD(Next)(ULONG count, Item* out, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!out || (!fetched && count != 1)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && m_position < m_items.size(); ++n, ++m_position) {
            out[n] = m_items[m_position];
            AddRefItem(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHOD(Skip)(ULONG count) override {
        const size_t left = m_items.size() - m_position;
        if (count > left) {
            m_position = m_items.size();
            return S_FALSE;
        }
        m_position += count;
        return S_OK;
    }
    STDMETHOD(Reset)() override {
        m_position = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(Interface** copy) override {
        if (!copy) return E_POINTER;
        *copy = new CSnapshotEnum(m_iid, m_items, m_position);
        return S_OK;
    }

private:
    ~CSnapshotEnum() {
        for (const Item& item : m_items) ReleaseItem(item);
    }
    const IID m_iid;
    const std::vector<Item> m_items;
    size_t m_position;
    std::atomic<ULONG> m_refs{1};
};
}  // namespace

COleControl::COleControl() {
    AfxOleLockApp();
    m_sizeExtent.cx = PixelsToHimetric(m_cxExtent, ScreenPixelsPerInch(LOGPIXELSX));
    m_sizeExtent.cy = PixelsToHimetric(m_cyExtent, ScreenPixelsPerInch(LOGPIXELSY));
}

COleControl::~COleControl() {
    // A container that let go without deactivating: the window goes, and the container's
    // objects are released without calls into a container that is itself going away.
    DestroyControlWindow();
    ReleaseInterface(m_pInPlaceFrame);
    ReleaseInterface(m_pInPlaceDoc);
    ReleaseInterface(m_pInPlaceSite);
    ReleaseInterface(m_pViewAdviseSink);
    if (m_pClientSite) m_pClientSite->Release();
    // Hosts that never unadvised still get their references back.
    for (const Sink& s : m_sinks) s.sink->Release();
    for (const OleSink& s : m_oleSinks) s.sink->Release();
    AfxOleUnlockApp();
}

STDMETHODIMP COleControl::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || (m_piidPrimary && iid == *m_piidPrimary))
        found = static_cast<IDispatch*>(this);
    else if (iid == IID_IPersistStreamInit || iid == IID_IPersist) found = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
        found = static_cast<IProvideClassInfo2*>(this);
    else if (iid == IID_IConnectionPointContainer) found = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_IViewObject || iid == IID_IViewObject2) found = static_cast<IViewObject2*>(this);
    else if (iid == IID_IOleObject) found = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) found = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IOleInPlaceActiveObject) found = static_cast<IOleInPlaceActiveObject*>(this);
    else if (iid == IID_IOleControl) found = static_cast<IOleControl*>(this);
    else if (iid == IID_ISpecifyPropertyPages) found = static_cast<ISpecifyPropertyPages*>(this);
    else found = GetInterfaceHook(iid);
    if (!found) return E_NOINTERFACE;
    *object = found;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControl::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) COleControl::Release() {
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
    ITypeLib* lib = nullptr;
    const HRESULT hr = GetTypeLib(lcid, &lib);
    if (FAILED(hr)) return hr;
    if (!lib) return E_UNEXPECTED;
    const HRESULT found = lib->GetTypeInfoOfGuid(guid, info);
    lib->Release();
    return found;
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

STDMETHODIMP COleControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    std::vector<IConnectionPoint*> items;
    if (m_piidEvents) items.push_back(&m_xEventPoint);
    *points = new CSnapshotEnum<IEnumConnectionPoints, IConnectionPoint*>(IID_IEnumConnectionPoints, items);
    return S_OK;
}

STDMETHODIMP COleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!m_piidEvents || iid != *m_piidEvents) return CONNECT_E_NOCONNECTION;
    *point = &m_xEventPoint;
    m_xEventPoint.AddRef();
    return S_OK;
}

STDMETHODIMP COleControl::XEventPoint::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControl::XEventPoint::AddRef() { return m_owner->AddRef(); }

STDMETHODIMP_(ULONG) COleControl::XEventPoint::Release() { return m_owner->Release(); }

STDMETHODIMP COleControl::XEventPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    if (!m_owner->m_piidEvents) {
        *iid = GUID_NULL;
        return E_UNEXPECTED;
    }
    *iid = *m_owner->m_piidEvents;
    return S_OK;
}

STDMETHODIMP COleControl::XEventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(m_owner);
    m_owner->AddRef();
    return S_OK;
}

// The sink is asked for the event interface itself, or failing that for IDispatch, through
// which events are fired.
STDMETHODIMP COleControl::XEventPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    IUnknown* held = nullptr;
    if (!m_owner->m_piidEvents ||
        (FAILED(sink->QueryInterface(*m_owner->m_piidEvents, reinterpret_cast<void**>(&held))) &&
         FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&held)))) ||
        !held)
        return CONNECT_E_CANNOTCONNECT;
    std::lock_guard<std::mutex> lock(m_owner->m_sinkLock);
    // Cookies are never 0 and never repeat one still in use, even after the counter wraps.
    DWORD next = m_owner->m_lastCookie;
    for (bool inUse = true; inUse;) {
        if (++next == 0) next = 1;
        inUse = false;
        for (const Sink& s : m_owner->m_sinks)
            if (s.cookie == next) inUse = true;
    }
    m_owner->m_lastCookie = next;
    m_owner->m_sinks.push_back({next, held});
    *cookie = next;
    return S_OK;
}

STDMETHODIMP COleControl::XEventPoint::Unadvise(DWORD cookie) {
    IUnknown* released = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_owner->m_sinkLock);
        auto& sinks = m_owner->m_sinks;
        for (auto it = sinks.begin(); it != sinks.end(); ++it)
            if (it->cookie == cookie) {
                released = it->sink;
                sinks.erase(it);
                break;
            }
    }
    if (!released) return CONNECT_E_NOCONNECTION;
    released->Release();  // outside the lock: the sink may call back
    return S_OK;
}

STDMETHODIMP COleControl::XEventPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    std::vector<CONNECTDATA> items;
    // The snapshot takes its references under the lock, before an Unadvise could drop a sink.
    std::lock_guard<std::mutex> lock(m_owner->m_sinkLock);
    for (const Sink& s : m_owner->m_sinks) items.push_back({s.sink, s.cookie});
    *connections = new CSnapshotEnum<IEnumConnections, CONNECTDATA>(IID_IEnumConnections, items);
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

STDMETHODIMP COleControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
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
        const HRESULT hr = ConvertValue(e->vt, params->rgvarg[0], &converted);
        if (FAILED(hr)) {
            // Refused before anything is stored: the control sees nothing.
            if (argErr) *argErr = 0;
            return hr;
        }
        // The container may answer the change (a new size, a new view) by calling back into
        // the control, so it hears of it only once the change handler is done.
        NotificationHold hold(this);
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

STDMETHODIMP COleControl::IsDirty() { return m_bModified ? S_OK : S_FALSE; }

STDMETHODIMP COleControl::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    NotificationHold hold(this);
    CArchive ar(stream, CArchive::load);
    Serialize(ar);
    // A stream that ended early or held something other than a stored control: the host is
    // told, and the control has kept the state it had.
    return ar.LoadFailed() ? E_FAIL : S_OK;
}

STDMETHODIMP COleControl::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    CArchive ar(stream, CArchive::store);
    Serialize(ar);
    if (ar.WriteFailed()) return E_FAIL;
    if (clearDirty) {
        m_bModified = FALSE;
        NotifyOleSinks([](IAdviseSink* sink) { sink->OnSave(); });
    }
    return S_OK;
}

STDMETHODIMP COleControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    // Measured by saving into a scratch stream, so it is exact for the state as it stands.
    GwMemoryStream* scratch = new GwMemoryStream;
    CArchive ar(scratch, CArchive::store);
    Serialize(ar);
    size->QuadPart = scratch->Bytes().size();
    scratch->Release();
    return S_OK;
}

STDMETHODIMP COleControl::InitNew() {
    OnResetState();
    return S_OK;
}

STDMETHODIMP COleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL bounds,
                               LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (!hdcDraw || !bounds) return E_INVALIDARG;
    CDC dc(hdcDraw);
    const CRect rc(bounds->left, bounds->top, bounds->right, bounds->bottom);
    OnDraw(&dc, rc, rc);
    return S_OK;
}

STDMETHODIMP COleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) {
    if (verb == OLEIVERB_PROPERTIES) return OnProperties() ? S_OK : E_FAIL;
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_UIACTIVATE: return ActivateInPlace(TRUE, activeSite);
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE: return ActivateInPlace(FALSE, activeSite);
        case OLEIVERB_HIDE:
            if (m_hWnd) ShowWindow(m_hWnd, SW_HIDE);
            return S_OK;
        case OLEIVERB_OPEN: return S_OK;  // nothing to open outside the container
        default: break;
    }
    UINT n = 0;
    const AFX_VERBMAP_ENTRY* map = GetVerbMap(&n);
    for (UINT i = 0; i < n; ++i)
        if (map[i].verb == verb) return map[i].action(this) ? S_OK : E_FAIL;
    return OLEOBJ_S_INVALIDVERB;
}

// The container's side answers in this order: may we, we do, where (its window), and the
// frame, document window and rectangles; then the window is made there.
HRESULT COleControl::ActivateInPlace(BOOL ui, IOleClientSite* activeSite) {
    CKeepAlive keep(static_cast<IDispatch*>(this));
    if (!m_bInPlaceActive) {
        IOleClientSite* site = m_pClientSite ? m_pClientSite : activeSite;
        IOleInPlaceSite* inPlace = nullptr;
        // A container without in-place sites cannot show the control now; the verb itself is fine.
        if (!site || FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))) ||
            !inPlace)
            return OLEOBJ_S_CANNOT_DOVERB_NOW;
        if (inPlace->CanInPlaceActivate() != S_OK) {
            inPlace->Release();
            return OLEOBJ_S_CANNOT_DOVERB_NOW;
        }
        m_pInPlaceSite = inPlace;
        HRESULT hr = inPlace->OnInPlaceActivate();
        if (FAILED(hr)) {
            ReleaseInterface(m_pInPlaceSite);
            return hr;
        }
        m_bInPlaceActive = TRUE;
        HWND parent = nullptr;
        RECT pos{0, 0, 0, 0}, clip{0, 0, 0, 0};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        hr = inPlace->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = inPlace->GetWindowContext(&m_pInPlaceFrame, &m_pInPlaceDoc, &pos, &clip, &frameInfo);
        if (SUCCEEDED(hr)) {
            m_rcPos = pos;
            const ControlWindowClass& windowClass = WindowClassFor(&COleControl::WindowProc);
            m_hWnd = CreateWindowExA(0, kControlWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pos.left,
                                     pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                                     windowClass.Instance(), this);
            if (!m_hWnd) hr = E_FAIL;
        }
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
        ClipWindow(pos, &clip);
    }
    if (ui && !m_bUIActive) ActivateUI();
    if (m_hWnd && !IsWindowVisible(m_hWnd)) ShowWindow(m_hWnd, SW_SHOW);
    return S_OK;
}

void COleControl::ActivateUI() {
    m_bUIActive = TRUE;
    if (m_pInPlaceSite) m_pInPlaceSite->OnUIActivate();
    if (m_pInPlaceFrame) m_pInPlaceFrame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    if (m_pInPlaceDoc) m_pInPlaceDoc->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
}

void COleControl::ClipWindow(const RECT& pos, LPCRECT clip) {
    if (!m_hWnd) return;
    RECT shown = pos;
    if (clip) {
        shown.left = std::max(pos.left, clip->left);
        shown.top = std::max(pos.top, clip->top);
        shown.right = std::min(pos.right, clip->right);
        shown.bottom = std::min(pos.bottom, clip->bottom);
        if (shown.right < shown.left) shown.right = shown.left;
        if (shown.bottom < shown.top) shown.bottom = shown.top;
    }
    if (shown.left == pos.left && shown.top == pos.top && shown.right == pos.right && shown.bottom == pos.bottom) {
        SetWindowRgn(m_hWnd, nullptr, TRUE);
        return;
    }
    // The region is in the window's own coordinates, and the window owns it once set.
    HRGN region = CreateRectRgn(shown.left - pos.left, shown.top - pos.top, shown.right - pos.left,
                                shown.bottom - pos.top);
    if (region && !SetWindowRgn(m_hWnd, region, TRUE)) DeleteObject(region);
}

void COleControl::DestroyControlWindow() {
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    if (!window || !IsWindow(window)) return;
    // Should the window outlive this call (only its own thread may destroy it), it no longer
    // reaches the control.
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

void COleControl::SendViewChange() {
    IAdviseSink* sink = m_pViewAdviseSink;
    if (!sink || !(m_viewAspects & DVASPECT_CONTENT)) return;
    sink->AddRef();
    if (m_viewAdvf & ADVF_ONLYONCE) ReleaseInterface(m_pViewAdviseSink);
    sink->OnViewChange(DVASPECT_CONTENT, -1);
    sink->Release();
}

void COleControl::InvalidateControl(LPCRECT rect) {
    if (m_hWnd) InvalidateRect(m_hWnd, rect, FALSE);
    else SendViewChange();
}

void COleControl::PaintWindow(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    CDC cdc(dc);
    OnDraw(&cdc, CRect(client), CRect(ps.rcPaint));
    EndPaint(window, &ps);
}

LRESULT CALLBACK COleControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    COleControl* control = reinterpret_cast<COleControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
            break;
        case WM_PAINT:
            if (!control) break;
            control->PaintWindow(window);
            return 0;
        case WM_ERASEBKGND: return 1;  // OnDraw covers the whole client area
        case WM_NCDESTROY:
            // The container may have destroyed its window, and ours with it.
            if (control && control->m_hWnd == window) control->m_hWnd = nullptr;
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            break;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

STDMETHODIMP COleControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}
STDMETHODIMP COleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControl::InPlaceDeactivate() {
    if (!m_bInPlaceActive) return S_OK;
    CKeepAlive keep(static_cast<IDispatch*>(this));
    UIDeactivate();
    m_bInPlaceActive = FALSE;
    DestroyControlWindow();
    ReleaseInterface(m_pInPlaceFrame);
    ReleaseInterface(m_pInPlaceDoc);
    IOleInPlaceSite* site = m_pInPlaceSite;
    m_pInPlaceSite = nullptr;
    if (site) {
        site->OnInPlaceDeactivate();
        site->Release();
    }
    return S_OK;
}

STDMETHODIMP COleControl::UIDeactivate() {
    if (!m_bUIActive) return S_OK;
    CKeepAlive keep(static_cast<IDispatch*>(this));
    m_bUIActive = FALSE;
    if (m_pInPlaceFrame) m_pInPlaceFrame->SetActiveObject(nullptr, nullptr);
    if (m_pInPlaceDoc) m_pInPlaceDoc->SetActiveObject(nullptr, nullptr);
    if (m_pInPlaceSite) m_pInPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP COleControl::SetObjectRects(LPCRECT posRect, LPCRECT clipRect) {
    if (!posRect) return E_INVALIDARG;
    m_rcPos = *posRect;
    if (m_hWnd) {
        SetWindowPos(m_hWnd, nullptr, posRect->left, posRect->top, posRect->right - posRect->left,
                     posRect->bottom - posRect->top, SWP_NOZORDER | SWP_NOACTIVATE);
        ClipWindow(*posRect, clipRect);
    }
    return S_OK;
}

STDMETHODIMP COleControl::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

STDMETHODIMP COleControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP COleControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP COleControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP COleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP COleControl::EnableModeless(BOOL) { return S_OK; }

STDMETHODIMP COleControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}
STDMETHODIMP COleControl::OnMnemonic(MSG*) { return S_OK; }
STDMETHODIMP COleControl::OnAmbientPropertyChange(DISPID) {
    InvalidateControl();
    return S_OK;
}
// The control fires no events; the count is kept for the framework's own bookkeeping.
STDMETHODIMP COleControl::FreezeEvents(BOOL freeze) {
    if (freeze) ++m_nFreezeEvents;
    else if (m_nFreezeEvents > 0) --m_nFreezeEvents;
    return S_OK;
}

std::vector<OLEVERB> COleControl::EnumVerbs() {
    // The framework's standard verbs first, then the class's own with their names from the
    // resources (the framework's own module for the framework's standard texts).
    UINT n = 0;
    const AFX_VERBMAP_ENTRY* map = GetVerbMap(&n);
    m_verbNames.assign(n + 2, GwOleString());
    m_verbNames[0] = OLESTR("&Edit");
    m_verbNames[1] = OLESTR("&Properties...");
    for (UINT i = 0; i < n; ++i) {
        std::string name;
        if (!AfxLoadStringBytes(AfxGetResourceHandle(), map[i].nameId, &name))
            AfxLoadStringBytes(AfxGetFrameworkHandle(), map[i].nameId, &name);
        m_verbNames[i + 2] = GwWideFromAnsi(name.data(), name.size());
    }
    std::vector<OLEVERB> verbs = {{OLEIVERB_PRIMARY, &m_verbNames[0][0], 0, 0},
                                  {OLEIVERB_PROPERTIES, &m_verbNames[1][0], 0, 0}};
    for (UINT i = 0; i < n; ++i) verbs.push_back({map[i].verb, &m_verbNames[i + 2][0], 0, 0});
    return verbs;
}

STDMETHODIMP COleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colorSet) {
    if (colorSet) *colorSet = nullptr;
    return S_FALSE;  // no palette of its own
}
STDMETHODIMP COleControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}
STDMETHODIMP COleControl::Unfreeze(DWORD) { return E_NOTIMPL; }
STDMETHODIMP COleControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    if (sink) sink->AddRef();
    IAdviseSink* old = m_pViewAdviseSink;
    m_pViewAdviseSink = sink;
    m_viewAspects = aspects;
    m_viewAdvf = advf;
    if (old) old->Release();
    if (sink && (advf & ADVF_PRIMEFIRST)) SendViewChange();
    return S_OK;
}
STDMETHODIMP COleControl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    if (aspects) *aspects = m_viewAspects;
    if (advf) *advf = m_viewAdvf;
    if (sink) {
        *sink = m_pViewAdviseSink;
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}
STDMETHODIMP COleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

STDMETHODIMP COleControl::SetClientSite(IOleClientSite* site) {
    // A site taken away takes the control's window out of its own.
    if (!site && m_bInPlaceActive) InPlaceDeactivate();
    if (site) site->AddRef();
    if (m_pClientSite) m_pClientSite->Release();
    m_pClientSite = site;
    return S_OK;
}
STDMETHODIMP COleControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = m_pClientSite;
    if (m_pClientSite) m_pClientSite->AddRef();
    return S_OK;
}
STDMETHODIMP COleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }
// Closing lets go of the site and the view sink, which would otherwise keep the container and
// the control holding each other.
STDMETHODIMP COleControl::Close(DWORD saveOption) {
    CKeepAlive keep(static_cast<IDispatch*>(this));
    if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && m_bModified && m_pClientSite)
        m_pClientSite->SaveObject();
    InPlaceDeactivate();
    ReleaseInterface(m_pViewAdviseSink);
    NotifyOleSinks([](IAdviseSink* sink) { sink->OnClose(); });
    return SetClientSite(nullptr);
}
STDMETHODIMP COleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP COleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP COleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP COleControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}
// Hosts fall back to the verbs registered for the class.
STDMETHODIMP COleControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs) *verbs = nullptr;
    return OLE_S_USEREG;
}
STDMETHODIMP COleControl::Update() { return S_OK; }
STDMETHODIMP COleControl::IsUpToDate() { return S_OK; }
STDMETHODIMP COleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP COleControl::GetUserType(DWORD, LPOLESTR* userType) {
    if (!userType) return E_POINTER;
    *userType = nullptr;
    std::string name;
    if (!GetUserTypeNameID() || !AfxLoadStringBytes(AfxGetResourceHandle(), GetUserTypeNameID(), &name))
        return OLE_S_USEREG;
    const GwOleString wide = GwWideFromAnsi(name.data(), name.size());
    *userType = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!*userType) return E_OUTOFMEMORY;
    std::copy(wide.begin(), wide.end(), *userType);
    (*userType)[wide.size()] = 0;
    return S_OK;
}

STDMETHODIMP COleControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (!size) return E_POINTER;
    if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
    m_sizeExtent = *size;
    m_cxExtent = HimetricToPixels(size->cx, ScreenPixelsPerInch(LOGPIXELSX));
    m_cyExtent = HimetricToPixels(size->cy, ScreenPixelsPerInch(LOGPIXELSY));
    return S_OK;
}
STDMETHODIMP COleControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!sink) return E_INVALIDARG;
    sink->AddRef();
    *connection = ++m_lastOleCookie;
    m_oleSinks.push_back({*connection, sink});
    return S_OK;
}

STDMETHODIMP COleControl::Unadvise(DWORD connection) {
    for (auto it = m_oleSinks.begin(); it != m_oleSinks.end(); ++it) {
        if (it->cookie != connection) continue;
        IAdviseSink* sink = it->sink;
        m_oleSinks.erase(it);
        sink->Release();
        return S_OK;
    }
    return OLE_E_NOCONNECTION;
}

template <typename Notify>
void COleControl::NotifyOleSinks(Notify notify) {
    // A copy, each sink held for its call: a sink may unadvise (itself or others) as it is told.
    std::vector<OleSink> sinks = m_oleSinks;
    for (const OleSink& s : sinks) s.sink->AddRef();
    for (const OleSink& s : sinks) {
        notify(s.sink);
        s.sink->Release();
    }
}

STDMETHODIMP COleControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP COleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

STDMETHODIMP COleControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (!size) return E_POINTER;
    *size = m_sizeExtent;
    return S_OK;
}

STDMETHODIMP COleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? GetControlMiscStatus() : 0;
    return S_OK;
}

STDMETHODIMP COleControl::GetPages(CAUUID* pages) {
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
    if (cx < 0 || cy < 0) return FALSE;
    m_cxExtent = cx;
    m_cyExtent = cy;
    m_sizeExtent.cx = PixelsToHimetric(cx, ScreenPixelsPerInch(LOGPIXELSX));
    m_sizeExtent.cy = PixelsToHimetric(cy, ScreenPixelsPerInch(LOGPIXELSY));
    if (m_nNotifyHold > 0) {
        m_bSizeChangePending = TRUE;
        return TRUE;
    }
    NotifySizeChange();
    return TRUE;
}

COleControl::NotificationHold::~NotificationHold() {
    if (--m_control->m_nNotifyHold > 0 || !m_control->m_bSizeChangePending) return;
    m_control->m_bSizeChangePending = FALSE;
    // The container's answer may release its hold on the control.
    m_control->AddRef();
    m_control->NotifySizeChange();
    m_control->Release();
}

void COleControl::NotifySizeChange() {
    const int cx = m_cxExtent, cy = m_cyExtent;
    // The container decides: in place it answers with SetObjectRects, which moves the window.
    if (m_bInPlaceActive && m_pInPlaceSite) {
        IOleInPlaceSite* site = m_pInPlaceSite;
        site->AddRef();
        const RECT wanted{m_rcPos.left, m_rcPos.top, m_rcPos.left + cx, m_rcPos.top + cy};
        site->OnPosRectChange(&wanted);
        site->Release();
    } else if (m_pClientSite) {
        IOleClientSite* site = m_pClientSite;
        site->AddRef();
        site->RequestNewObjectLayout();
        site->Release();
    }
    SendViewChange();
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
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
    if (magic != kAfxControlStreamMagic || format != kAfxControlStreamFormat) {
        ar.SetLoadFailed();
        return;
    }
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
    std::vector<CLSID> pages = GetPropPageIDs();
    IUnknown* self = static_cast<IDispatch*>(this);
#ifdef _WIN32
    // A person works with the pages in the system's property frame, owned by the container's
    // window when the control sits in one.
    if (!AfxHasDialogUser()) {
        if (pages.empty()) return TRUE;
        HWND owner = nullptr;
        IOleWindow* site = nullptr;
        if (m_pClientSite && SUCCEEDED(m_pClientSite->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&site)))) {
            site->GetWindow(&owner);
            site->Release();
        }
        std::string name;
        if (GetUserTypeNameID()) AfxLoadStringBytes(AfxGetResourceHandle(), GetUserTypeNameID(), &name);
        const GwOleString caption = GwWideFromAnsi(name.data(), name.size());
        return SUCCEEDED(OleCreatePropertyFrame(owner, 0, 0, caption.c_str(), 1, &self,
                                                static_cast<ULONG>(pages.size()), pages.data(), LOCALE_USER_DEFAULT,
                                                0, nullptr));
    }
#endif
    // Headless (or with a dialog user installed) each page is shown modally in turn, editing
    // this control; a page that cannot be made or shown fails the verb.
    for (const CLSID& clsid : pages) {
        COleObjectFactory* f = COleObjectFactory::Find(clsid);
        if (!f) return FALSE;
        IUnknown* unknown = nullptr;
        if (FAILED(f->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&unknown)))) return FALSE;
        COlePropertyPage* page = COlePropertyPage::FromUnknown(unknown);
        page->SetObjects(1, &self);
        const INT_PTR shown = page->ShowModal();
        page->SetObjects(0, nullptr);
        unknown->Release();
        if (shown < 0) return FALSE;
    }
    return TRUE;
}

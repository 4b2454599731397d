// The control's core: identity and lifetime, the client site and the compound-document sinks
// of IOleObject, the extent, and the hold that keeps container notifications until a property
// set or a load has finished.
#include <algorithm>
#include <cstddef>

#include "platform/afx/module.h"
#include "platform/afx/olecontrol.h"
#include "platform/afx/resources.h"

namespace {
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
}  // namespace

COleControl::COleControl() {
    AfxOleLockApp();
    m_extent.himetric.cx = PixelsToHimetric(m_extent.cx, ScreenPixelsPerInch(LOGPIXELSX));
    m_extent.himetric.cy = PixelsToHimetric(m_extent.cy, ScreenPixelsPerInch(LOGPIXELSY));
}

COleControl::~COleControl() {
    // A container that let go without deactivating: the window goes, and the container's
    // objects are released without calls into a container that is itself going away.
    DestroyControlWindow();
    m_inPlace.frame.Release();
    m_inPlace.doc.Release();
    m_inPlace.site.Release();
    m_view.sink.Release();
    m_site.clientSite.Release();
    // Hosts that never unadvised still get their references back.
    m_xEventPoint.Clear();
    m_xPropertyNotifyPoint.Clear();
    m_site.oleSinks.clear();
    m_data.sinks.clear();
    m_persist.storage.Release();
    m_persist.cache.Release();
    AfxOleUnlockApp();
}

STDMETHODIMP COleControl::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || (m_piidPrimary && iid == *m_piidPrimary))
        found = static_cast<IDispatch*>(this);
    // IPersistStream's methods are IPersistStreamInit's first ones, in the same order.
    else if (iid == IID_IPersistStreamInit || iid == IID_IPersistStream || iid == IID_IPersist)
        found = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IPersistStorage) found = static_cast<IPersistStorage*>(this);
    else if (iid == IID_IPersistMemory) found = static_cast<IPersistMemory*>(this);
    else if (iid == IID_IPersistPropertyBag) found = static_cast<IPersistPropertyBag*>(this);
    else if (iid == IID_IDataObject) found = static_cast<IDataObject*>(this);
    else if (iid == IID_IRunnableObject) found = static_cast<IRunnableObject*>(this);
    else if (iid == IID_IQuickActivate) found = static_cast<IQuickActivate*>(this);
    else if (iid == IID_IPointerInactive) found = static_cast<IPointerInactive*>(this);
    else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
        found = static_cast<IProvideClassInfo2*>(this);
    else if (iid == IID_IConnectionPointContainer) found = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_IViewObject || iid == IID_IViewObject2) found = static_cast<IViewObject2*>(this);
    else if (iid == IID_IOleObject) found = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) found = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IOleInPlaceActiveObject) found = static_cast<IOleInPlaceActiveObject*>(this);
    else if (iid == IID_IOleControl) found = static_cast<IOleControl*>(this);
    else if (iid == IID_ISpecifyPropertyPages) found = static_cast<ISpecifyPropertyPages*>(this);
    else if (iid == IID_ISupportErrorInfo) found = static_cast<ISupportErrorInfo*>(this);
    else found = GetInterfaceHook(iid);
#ifdef _WIN32
    // The cache's own interfaces come from the cache; they count their references on the control.
    if (!found && (iid == IID_IOleCache || iid == IID_IOleCache2 || iid == IID_IOleCacheControl)) {
        IUnknown* cache = DataCache();
        return cache ? cache->QueryInterface(iid, object) : E_NOINTERFACE;
    }
#endif
    if (!found) return E_NOINTERFACE;
    *object = found;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControl::AddRef() { return m_refs.Increment(); }

STDMETHODIMP_(ULONG) COleControl::Release() {
    const ULONG left = m_refs.Decrement();
    if (left == 0) OnFinalRelease();
    return left;
}

IUnknown* COleControl::GetInterfaceHook(REFIID) { return nullptr; }

void COleControl::SetModifiedFlag(BOOL modified) { m_site.modified = modified ? TRUE : FALSE; }

STDMETHODIMP COleControl::SetClientSite(IOleClientSite* site) {
    // A site taken away takes the control's window out of its own.
    if (!site && m_inPlace.active) InPlaceDeactivate();
    m_site.clientSite = CInterfacePtr<IOleClientSite>(site);
    return S_OK;
}
STDMETHODIMP COleControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = m_site.clientSite.CopyOut();
    return S_OK;
}
STDMETHODIMP COleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }
// Closing lets go of the site and the view sink, which would otherwise keep the container and
// the control holding each other.
STDMETHODIMP COleControl::Close(DWORD saveOption) {
    CInterfacePtr<IUnknown> keep(ControllingUnknown());
    if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && m_site.modified &&
        m_site.clientSite)
        m_site.clientSite->SaveObject();
    InPlaceDeactivate();
    m_view.sink.Release();
    NotifyOleSinks([](IAdviseSink* sink) { sink->OnClose(); });
    return SetClientSite(nullptr);
}
STDMETHODIMP COleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP COleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP COleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
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
    m_extent.himetric = *size;
    m_extent.cx = HimetricToPixels(size->cx, ScreenPixelsPerInch(LOGPIXELSX));
    m_extent.cy = HimetricToPixels(size->cy, ScreenPixelsPerInch(LOGPIXELSY));
    return S_OK;
}

STDMETHODIMP COleControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (!size) return E_POINTER;
    *size = m_extent.himetric;
    return S_OK;
}

STDMETHODIMP COleControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!sink) return E_INVALIDARG;
    *connection = ++m_site.lastOleCookie;
    m_site.oleSinks.push_back({*connection, CInterfacePtr<IAdviseSink>(sink)});
    return S_OK;
}

STDMETHODIMP COleControl::Unadvise(DWORD connection) {
    for (auto it = m_site.oleSinks.begin(); it != m_site.oleSinks.end(); ++it) {
        if (it->cookie != connection) continue;
        CInterfacePtr<IAdviseSink> sink = std::move(it->sink);
        m_site.oleSinks.erase(it);
        return S_OK;  // the sink is released as `sink` goes, outside the list
    }
    return OLE_E_NOCONNECTION;
}

void COleControl::NotifyOleSinks(void (*notify)(IAdviseSink* sink)) {
    // A copy, each sink held for its call: a sink may unadvise (itself or others) as it is told.
    const std::vector<OleSink> sinks = m_site.oleSinks;
    for (const OleSink& s : sinks) notify(s.sink.Get());
}

STDMETHODIMP COleControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP COleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

STDMETHODIMP COleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? GetControlMiscStatus() : 0;
    return S_OK;
}

void COleControl::InitializeIIDs(const IID* dispatchIID, const IID* eventsIID) {
    m_piidPrimary = dispatchIID;
    m_piidEvents = eventsIID;
}

BOOL COleControl::SetControlSize(int cx, int cy) {
    if (cx < 0 || cy < 0) return FALSE;
    m_extent.cx = cx;
    m_extent.cy = cy;
    m_extent.himetric.cx = PixelsToHimetric(cx, ScreenPixelsPerInch(LOGPIXELSX));
    m_extent.himetric.cy = PixelsToHimetric(cy, ScreenPixelsPerInch(LOGPIXELSY));
    if (m_extent.notifyHold > 0) {
        m_extent.sizeChangePending = TRUE;
        return TRUE;
    }
    NotifySizeChange();
    return TRUE;
}

COleControl::NotificationHold::~NotificationHold() {
    if (--m_control->m_extent.notifyHold > 0 || !m_control->m_extent.sizeChangePending) return;
    m_control->m_extent.sizeChangePending = FALSE;
    // The container's answer may release its hold on the control.
    CInterfacePtr<IUnknown> keep(m_control->ControllingUnknown());
    m_control->NotifySizeChange();
}

void COleControl::NotifySizeChange() {
    const int cx = m_extent.cx, cy = m_extent.cy;
    // The container decides: in place it answers with SetObjectRects, which moves the window.
    if (m_inPlace.active && m_inPlace.site) {
        const CInterfacePtr<IOleInPlaceSite> site = m_inPlace.site;
        const RECT& pos = m_inPlace.rcPos;
        const RECT wanted{pos.left, pos.top, pos.left + cx, pos.top + cy};
        site->OnPosRectChange(&wanted);
    } else if (m_site.clientSite) {
        const CInterfacePtr<IOleClientSite> site = m_site.clientSite;
        site->RequestNewObjectLayout();
    }
    SendViewChange();
    SendDataChange();
    if (m_inPlace.hWnd) InvalidateRect(m_inPlace.hWnd, nullptr, FALSE);
}

void COleControl::GetControlSize(int* cx, int* cy) const {
    if (cx) *cx = m_extent.cx;
    if (cy) *cy = m_extent.cy;
}

STDMETHODIMP COleControl::GetRunningClass(LPCLSID clsid) {
    if (!clsid) return E_INVALIDARG;
    return GetClassID(clsid);
}
STDMETHODIMP COleControl::Run(LPBINDCTX) { return S_OK; }
STDMETHODIMP_(BOOL) COleControl::IsRunning() { return TRUE; }
STDMETHODIMP COleControl::LockRunning(BOOL, BOOL) { return S_OK; }
STDMETHODIMP COleControl::SetContainedObject(BOOL) { return S_OK; }

// What a form designer would otherwise ask for one call at a time. Older containers pass a
// shorter QACONTAINER; the fields read here are in every version of it.
STDMETHODIMP COleControl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control) return E_POINTER;
    if (container->cbSize < offsetof(QACONTAINER, dwAmbientFlags) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    HRESULT hr = SetClientSite(container->pClientSite);
    if (FAILED(hr)) return hr;
    // IAdviseSinkEx extends IAdviseSink.
    if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, reinterpret_cast<IAdviseSink*>(container->pAdviseSink));
    control->dwMiscStatus = GetControlMiscStatus();
    // The picture covers its bounds with the background colour.
    control->dwViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    if (container->pUnkEventSink && m_piidEvents)
        m_xEventPoint.Advise(container->pUnkEventSink, &control->dwEventCookie);
    if (container->pPropertyNotifySink)
        m_xPropertyNotifyPoint.Advise(container->pPropertyNotifySink, &control->dwPropNotifyCookie);
    return S_OK;
}
STDMETHODIMP COleControl::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }
STDMETHODIMP COleControl::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

STDMETHODIMP COleControl::GetActivationPolicy(DWORD* policy) {
    if (!policy) return E_POINTER;
    *policy = 0;
    return S_OK;
}
STDMETHODIMP COleControl::OnInactiveMouseMove(LPCRECT, LONG, LONG, DWORD) { return S_OK; }
// The container's cursor stays, unless it insists that the control set one: then the arrow.
STDMETHODIMP COleControl::OnInactiveSetCursor(LPCRECT, LONG, LONG, DWORD, BOOL setAlways) {
    if (!setAlways) return S_FALSE;
#ifdef _WIN32
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
#endif
    return S_OK;
}

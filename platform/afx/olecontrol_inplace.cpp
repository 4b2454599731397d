// The control inside a container's window: the verbs, in-place and UI activation through the
// container's in-place site (IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl), and the
// child window the control paints in while it is active.
#include <algorithm>
#include <string>
#include <utility>

#include "platform/afx/module.h"
#include "platform/afx/olecontrol.h"
#include "platform/afx/resources.h"

namespace {
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

}  // namespace

const AFX_VERBMAP_ENTRY* COleControl::GetVerbMap(UINT* count) const {
    *count = 0;
    return nullptr;
}

STDMETHODIMP COleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) {
    if (verb == OLEIVERB_PROPERTIES) return OnProperties() ? S_OK : E_FAIL;
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_UIACTIVATE: return ActivateInPlace(TRUE, activeSite);
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE: return ActivateInPlace(FALSE, activeSite);
        case OLEIVERB_HIDE:
            if (m_inPlace.hWnd) ShowWindow(m_inPlace.hWnd, SW_HIDE);
            return S_OK;
        case OLEIVERB_OPEN: return S_OK;  // nothing to open outside the container
        default: break;
    }
    UINT n = 0;
    const AFX_VERBMAP_ENTRY* map = GetVerbMap(&n);
    for (UINT i = 0; i < n; ++i)
        if (map[i].verb == verb) return map[i].action(this) ? S_OK : E_FAIL;
    // Verb 1 is registered for every control as its Properties entry.
    if (verb == 1) return OnProperties() ? S_OK : E_FAIL;
    return OLEOBJ_S_INVALIDVERB;
}

// The container's side answers in this order: may we, we do, where (its window), and the
// frame, document window and rectangles; then the window is made there.
HRESULT COleControl::ActivateInPlace(BOOL ui, IOleClientSite* activeSite) {
    CInterfacePtr<IUnknown> keep(ControllingUnknown());
    if (!m_inPlace.active) {
        IOleClientSite* site = m_site.clientSite ? m_site.clientSite.Get() : activeSite;
        CInterfacePtr<IOleInPlaceSite> inPlace;
        // A container without in-place sites cannot show the control now; the verb itself is fine.
        if (!site || FAILED(site->QueryInterface(IID_IOleInPlaceSite, inPlace.ReceiveVoid())) || !inPlace ||
            inPlace->CanInPlaceActivate() != S_OK)
            return OLEOBJ_S_CANNOT_DOVERB_NOW;
        m_inPlace.site = inPlace;
        HRESULT hr = inPlace->OnInPlaceActivate();
        if (FAILED(hr)) {
            m_inPlace.site.Release();
            return hr;
        }
        m_inPlace.active = TRUE;
        HWND parent = nullptr;
        RECT pos{0, 0, 0, 0}, clip{0, 0, 0, 0};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        hr = inPlace->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = inPlace->GetWindowContext(m_inPlace.frame.Receive(), m_inPlace.doc.Receive(), &pos, &clip,
                                           &frameInfo);
        if (SUCCEEDED(hr)) {
            m_inPlace.rcPos = pos;
            const ControlWindowClass& windowClass = WindowClassFor(&COleControl::WindowProc);
            m_inPlace.hWnd = CreateWindowExA(0, kControlWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                             pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, parent,
                                             nullptr, windowClass.Instance(), this);
            if (!m_inPlace.hWnd) hr = E_FAIL;
        }
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
        ClipWindow(pos, &clip);
    }
    if (ui && !m_inPlace.uiActive) ActivateUI();
    if (m_inPlace.hWnd && !IsWindowVisible(m_inPlace.hWnd)) ShowWindow(m_inPlace.hWnd, SW_SHOW);
    return S_OK;
}

void COleControl::ActivateUI() {
    m_inPlace.uiActive = TRUE;
    if (m_inPlace.site) m_inPlace.site->OnUIActivate();
    if (m_inPlace.frame) m_inPlace.frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    if (m_inPlace.doc) m_inPlace.doc->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
}

void COleControl::ClipWindow(const RECT& pos, LPCRECT clip) {
    if (!m_inPlace.hWnd) return;
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
        SetWindowRgn(m_inPlace.hWnd, nullptr, TRUE);
        return;
    }
    // The region is in the window's own coordinates, and the window owns it once set.
    HRGN region = CreateRectRgn(shown.left - pos.left, shown.top - pos.top, shown.right - pos.left,
                                shown.bottom - pos.top);
    if (region && !SetWindowRgn(m_inPlace.hWnd, region, TRUE)) DeleteObject(region);
}

void COleControl::DestroyControlWindow() {
    HWND window = m_inPlace.hWnd;
    m_inPlace.hWnd = nullptr;
    if (!window || !IsWindow(window)) return;
    // Should the window outlive this call (only its own thread may destroy it), it no longer
    // reaches the control.
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
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
            if (control && control->m_inPlace.hWnd == window) control->m_inPlace.hWnd = nullptr;
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            break;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

STDMETHODIMP COleControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = m_inPlace.hWnd;
    return m_inPlace.hWnd ? S_OK : E_FAIL;
}
STDMETHODIMP COleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControl::InPlaceDeactivate() {
    if (!m_inPlace.active) return S_OK;
    CInterfacePtr<IUnknown> keep(ControllingUnknown());
    UIDeactivate();
    m_inPlace.active = FALSE;
    DestroyControlWindow();
    m_inPlace.frame.Release();
    m_inPlace.doc.Release();
    const CInterfacePtr<IOleInPlaceSite> site = std::move(m_inPlace.site);
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP COleControl::UIDeactivate() {
    if (!m_inPlace.uiActive) return S_OK;
    CInterfacePtr<IUnknown> keep(ControllingUnknown());
    m_inPlace.uiActive = FALSE;
    if (m_inPlace.frame) m_inPlace.frame->SetActiveObject(nullptr, nullptr);
    if (m_inPlace.doc) m_inPlace.doc->SetActiveObject(nullptr, nullptr);
    if (m_inPlace.site) m_inPlace.site->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP COleControl::SetObjectRects(LPCRECT posRect, LPCRECT clipRect) {
    if (!posRect) return E_INVALIDARG;
    m_inPlace.rcPos = *posRect;
    if (m_inPlace.hWnd) {
        SetWindowPos(m_inPlace.hWnd, nullptr, posRect->left, posRect->top, posRect->right - posRect->left,
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

// Hosts fall back to the verbs registered for the class (the primary verb and Properties).
STDMETHODIMP COleControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs) *verbs = nullptr;
    return OLE_S_USEREG;
}

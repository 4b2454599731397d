#include "platform/afx/propertypage.h"

#include <cstring>

#include "platform/afx/module.h"
#include "platform/afx/resources.h"

#ifdef _WIN32
namespace {
// A copy of a page's template whose window style is `style` in place of whatever the template
// says about frames, captions and visibility. False without a usable template.
bool PageTemplate(UINT id, DWORD style, std::vector<DWORD>* out) {
    const BYTE* data;
    DWORD size;
    if (!AfxFindResourceBytes(AfxGetResourceHandle(), MAKEINTRESOURCE(id), RT_DIALOG, &data, &size) || size < 4)
        return false;
    WORD head[2];
    std::memcpy(head, data, sizeof head);
    const bool extended = head[0] == 1 && head[1] == 0xFFFF;  // DLGTEMPLATEEX keeps its style at byte 12
    if (extended && size < 16) return false;
    std::vector<DWORD> copy((size + 3) / 4);
    std::memcpy(copy.data(), data, size);
    DWORD& own = copy[extended ? 3 : 0];
    own &= ~static_cast<DWORD>(WS_POPUP | WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME |
                               WS_VISIBLE | WS_DISABLED | DS_CONTROL);
    own |= style;
    out->swap(copy);
    return true;
}

// Measuring sets no focus: the hidden dialog must not take it from the frame.
INT_PTR CALLBACK MeasureDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The page's size in pixels as the system lays its template out in its font, which is what
// the page will take inside the frame; false where the system makes no window.
bool MeasurePage(UINT id, SIZE* size) {
    std::vector<DWORD> templ;
    if (!PageTemplate(id, WS_POPUP, &templ)) return false;
    HWND window = CreateDialogIndirectParamA(AfxGetResourceHandle(), reinterpret_cast<LPCDLGTEMPLATEA>(templ.data()),
                                             nullptr, MeasureDialogProc, 0);
    if (!window) return false;
    RECT r;
    const bool ok = GetWindowRect(window, &r) && r.right > r.left && r.bottom > r.top;
    DestroyWindow(window);
    if (ok) *size = SIZE{r.right - r.left, r.bottom - r.top};
    return ok;
}
}  // namespace
#endif

COlePropertyPage::COlePropertyPage(UINT dialogId, UINT captionId) : CDialog(dialogId), m_idCaption(captionId) {
    AfxOleLockApp();
}

COlePropertyPage::~COlePropertyPage() {
#ifdef _WIN32
    // A frame that released the page without deactivating it leaves no window behind.
    if (m_hWnd) DestroyWindow(m_hWnd);
#endif
    ReleaseObjects();
    if (m_pPageSite) m_pPageSite->Release();
    AfxOleUnlockApp();
}

STDMETHODIMP COlePropertyPage::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
        *object = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) COlePropertyPage::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) COlePropertyPage::Release() {
    const ULONG left = --m_refs;
    if (!left) delete this;
    return left;
}

COlePropertyPage* COlePropertyPage::FromUnknown(IUnknown* unknown) {
    // Both interfaces the page hands out are its IPropertyPage base.
    return unknown ? static_cast<COlePropertyPage*>(static_cast<IPropertyPage*>(unknown)) : nullptr;
}

STDMETHODIMP COlePropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site && m_pPageSite) return E_UNEXPECTED;
    if (site) site->AddRef();
    if (m_pPageSite) m_pPageSite->Release();
    m_pPageSite = site;
    return S_OK;
}

STDMETHODIMP COlePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    AfxDialogLayout layout;
    if (!AfxLayoutDialog(m_nIDTemplate, &layout)) return E_FAIL;
    m_caption.LoadString(m_idCaption);
    const GwOleString title = GwWideFromAnsi(m_caption.GetString(), m_caption.Bytes().size());
    auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc((title.size() + 1) * sizeof(OLECHAR)));
    if (!text) return E_OUTOFMEMORY;
    std::memcpy(text, title.c_str(), (title.size() + 1) * sizeof(OLECHAR));
    info->cb = sizeof *info;
    info->pszTitle = text;
    info->size.cx = layout.window.Width();
    info->size.cy = layout.window.Height();
#ifdef _WIN32
    MeasurePage(m_nIDTemplate, &info->size);
#endif
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

void COlePropertyPage::ReleaseObjects() {
    std::vector<IUnknown*> old;
    old.swap(m_objects);
    for (IUnknown* o : old) o->Release();
}

STDMETHODIMP COlePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count && !objects) return E_POINTER;
    for (ULONG i = 0; i < count; ++i)
        if (!objects[i]) return E_POINTER;
    // The new objects are held before the old ones go, so an object passed again survives.
    std::vector<IUnknown*> held(objects, objects + count);
    for (IUnknown* o : held) o->AddRef();
    ReleaseObjects();
    m_objects.swap(held);
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (!rect) return E_POINTER;
    if (m_bActive) return E_UNEXPECTED;
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    if (!AfxLayoutDialog(m_nIDTemplate, &m_layout)) return E_FAIL;
#ifdef _WIN32
    // A control inside the frame's window, hidden until Show, whatever the template says.
    std::vector<DWORD> templ;
    if (!PageTemplate(m_nIDTemplate, WS_CHILD | DS_CONTROL, &templ)) return E_FAIL;
    HWND window = CreateDialogIndirectParamA(AfxGetResourceHandle(), reinterpret_cast<LPCDLGTEMPLATEA>(templ.data()),
                                             parent, PageDialogProc, reinterpret_cast<LPARAM>(this));
    if (!window) return E_OUTOFMEMORY;
    m_hWnd = window;
    SetWindowPos(window, nullptr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
#else
    // Headless, the page is laid out as a modal one would be and initialised as the system's
    // dialog manager would on creation.
    OnInitDialog();
#endif
    m_hWndParent = parent;
    m_rcPage = *rect;
    m_bActive = true;
    m_bVisible = false;
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Deactivate() {
    if (!m_bActive) return E_UNEXPECTED;
#ifdef _WIN32
    if (m_hWnd) DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
#endif
    m_bActive = false;
    m_bVisible = false;
    m_hWndParent = nullptr;
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Show(UINT cmdShow) {
    if (cmdShow != SW_SHOW && cmdShow != SW_SHOWNORMAL && cmdShow != SW_HIDE) return E_INVALIDARG;
    if (!m_bActive) return E_UNEXPECTED;
#ifdef _WIN32
    ShowWindow(m_hWnd, static_cast<int>(cmdShow));
#endif
    m_bVisible = cmdShow != SW_HIDE;
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!m_bActive) return E_UNEXPECTED;
#ifdef _WIN32
    MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
#endif
    m_rcPage = *rect;
    return S_OK;
}

STDMETHODIMP COlePropertyPage::IsPageDirty() { return m_bDirty ? S_OK : S_FALSE; }

STDMETHODIMP COlePropertyPage::Apply() {
    if (m_objects.empty()) return S_OK;
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    UpdateData(TRUE);
    m_bDirty = FALSE;
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP COlePropertyPage::TranslateAccelerator(MSG* msg) {
    if (!msg) return E_POINTER;
#ifdef _WIN32
    if (m_hWnd && IsDialogMessageA(m_hWnd, msg)) return S_OK;
#endif
    return S_FALSE;
}

void COlePropertyPage::SetModifiedFlag(BOOL modified) {
    const BOOL was = m_bDirty;
    m_bDirty = modified ? TRUE : FALSE;
    if (m_bDirty && !was && m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

#ifdef _WIN32
INT_PTR CALLBACK COlePropertyPage::PageDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* page = reinterpret_cast<COlePropertyPage*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    page->m_hWnd = window;
    return page->RunInit();
}
#endif

INT_PTR COlePropertyPage::ShowModal() {
    m_caption.LoadString(m_idCaption);
    if (!AfxLayoutDialog(m_nIDTemplate, &m_layout)) return -1;
    // The page frame shows the caption string; the page template itself has none.
    m_layout.desc.caption = m_caption.Bytes();
#ifdef _WIN32
    if (!AfxHasDialogUser()) {
        // Outside a frame the page's child template cannot stand alone: it is shown as a
        // captioned pop-up under the caption string (Enter gives OK, the close box Cancel).
        AfxDialogDesc popup = m_layout.desc;
        popup.style = (popup.style & ~static_cast<DWORD>(WS_CHILD | WS_VISIBLE | DS_CONTROL)) | WS_POPUP | WS_CAPTION |
                      WS_SYSMENU | DS_MODALFRAME;
        const std::string bytes = AfxBuildDialogTemplate(popup);
        std::vector<DWORD> aligned((bytes.size() + 3) / 4);
        std::memcpy(aligned.data(), bytes.data(), bytes.size());
        return RunSystemDialog(aligned.data());
    }
#endif
    OnInitDialog();
    const int result = AfxRunDialogUser(m_layout);
    if (result == IDOK) UpdateData(TRUE);
    return result;
}

void DDP_PostProcessing(CDataExchange* dx) {
    // Bound controls would be written to the edited object here; a page with no bindings
    // has nothing pending.
    if (dx && dx->m_bSaveAndValidate && dx->m_pDlgWnd) {
        if (auto* page = dynamic_cast<COlePropertyPage*>(dx->m_pDlgWnd)) ++page->m_postProcessed;
    }
}

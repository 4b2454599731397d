#include "platform/afx/propertypage.h"

#include "platform/afx/module.h"
#include "platform/afx/resources.h"

COlePropertyPage::COlePropertyPage(UINT dialogId, UINT captionId) : CDialog(dialogId), m_idCaption(captionId) {
    AfxOleLockApp();
}

COlePropertyPage::~COlePropertyPage() { AfxOleUnlockApp(); }

STDMETHODIMP COlePropertyPage::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPropertyPage) {
        *object = static_cast<IUnknown*>(this);
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

COlePropertyPage* COlePropertyPage::FromUnknown(IUnknown* unknown) { return static_cast<COlePropertyPage*>(unknown); }

INT_PTR COlePropertyPage::ShowModal() {
    m_caption.LoadString(m_idCaption);
    if (!AfxLayoutDialog(m_nIDTemplate, &m_layout)) return -1;
    // The page frame shows the caption string; the page template itself has none.
    m_layout.desc.caption = m_caption.Bytes();
#ifdef _WIN32
    // Shown by the system, the page gets its caption from its window text.
    if (!AfxHasDialogUser()) return RunSystemDialog();
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

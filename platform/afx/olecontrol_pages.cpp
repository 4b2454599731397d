// The control's property pages: the pages it names (ISpecifyPropertyPages) and the Properties
// verb that shows them, in the system's property frame or modally one by one.
#include <string>

#include "platform/afx/objectfactory.h"
#include "platform/afx/olecontrol.h"
#include "platform/afx/propertypage.h"
#include "platform/afx/resources.h"

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

BOOL COleControl::OnProperties() {
    std::vector<CLSID> pages = GetPropPageIDs();
    IUnknown* self = ControllingUnknown();
#ifdef _WIN32
    // A person works with the pages in the system's property frame, owned by the container's
    // window when the control sits in one.
    if (!AfxHasDialogUser()) {
        if (pages.empty()) return TRUE;
        HWND owner = nullptr;
        CInterfacePtr<IOleWindow> site;
        if (m_site.clientSite && SUCCEEDED(m_site.clientSite->QueryInterface(IID_IOleWindow, site.ReceiveVoid())) &&
            site)
            site->GetWindow(&owner);
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
        CInterfacePtr<IUnknown> unknown;
        if (FAILED(f->CreateInstance(nullptr, IID_IPropertyPage, unknown.ReceiveVoid()))) return FALSE;
        COlePropertyPage* page = COlePropertyPage::FromUnknown(unknown.Get());
        page->SetObjects(1, &self);
        const INT_PTR shown = page->ShowModal();
        page->SetObjects(0, nullptr);
        if (shown < 0) return FALSE;
    }
    return TRUE;
}

// Property pages: a dialog template shown under a caption string, created through its own
// class factory, hosted by a property frame through IPropertyPage (or shown modally by the
// framework itself) and exchanging data with the objects it edits through DoDataExchange.
#pragma once

#include <atomic>
#include <vector>

#include "platform/afx/cstring.h"
#include "platform/afx/dialog.h"
#include "platform/com/interfaces.h"

class COlePropertyPage : public CDialog, public IPropertyPage {
public:
    // A new page holds one reference, owned by its creator.
    COlePropertyPage(UINT dialogId, UINT captionId);
    virtual ~COlePropertyPage();
    COlePropertyPage(const COlePropertyPage&) = delete;
    COlePropertyPage& operator=(const COlePropertyPage&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // IPropertyPage, as a property frame drives it. Calls out of order are refused with
    // E_UNEXPECTED (a second site while one is held, a second Activate, Show or Move or
    // Deactivate of a page that is not active) and null out-pointers with E_POINTER; a refused
    // call changes nothing.
    // Holds the frame's site (one reference) until it is set to null again.
    STDMETHOD(SetPageSite)(IPropertyPageSite* site) override;
    // Creates the page, hidden, inside `parent` at `rect` (pixels in the parent's client area).
    // On Windows that is a child dialog from the page's template; elsewhere the page is laid
    // out headless and the parent and rectangle are recorded. E_FAIL without a usable template.
    STDMETHOD(Activate)(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHOD(Deactivate)() override;
    // Title: the caption string (CoTaskMemAlloc'd, the caller frees it); size: the template's
    // layout in pixels (on Windows as the system lays it out in the template's font); no help.
    STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) override;
    // Replaces the objects edited: holds one reference on each new one, then releases the old
    // ones. Zero objects just releases them; a null array or entry is refused (E_POINTER).
    STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) override;
    // SW_SHOW, SW_SHOWNORMAL or SW_HIDE; any other command is refused (E_INVALIDARG).
    STDMETHOD(Show)(UINT cmdShow) override;
    STDMETHOD(Move)(LPCRECT rect) override;
    // S_OK while the page holds changes not yet applied, S_FALSE otherwise.
    STDMETHOD(IsPageDirty)() override;
    // With objects to edit: runs the data exchange in save mode (and so the framework's
    // post-processing) and leaves the page clean. Without objects there is nothing to write
    // to and nothing runs. S_OK either way.
    STDMETHOD(Apply)() override;
    // The page has no help of its own: E_NOTIMPL, so that the frame uses its own.
    STDMETHOD(Help)(LPCOLESTR helpDir) override;
    // S_OK when the active page's dialog took the keystroke, S_FALSE when it did not.
    STDMETHOD(TranslateAccelerator)(MSG* msg) override;

    // The page behind an IUnknown or IPropertyPage that this framework's page factory gave.
    static COlePropertyPage* FromUnknown(IUnknown* unknown);
    // Lays the page out under its caption and lets the user work with it; on OK the page's data
    // exchange runs in save mode. Returns the user's choice, or -1 without a template.
    INT_PTR ShowModal();
    const CString& GetCaption() const { return m_caption; }
    // How many times the framework's post-processing ran (each OK or Apply runs it once).
    int PostProcessingCount() const { return m_postProcessed; }

    // Marks the page changed (or clean); a change is reported to the frame's site.
    void SetModifiedFlag(BOOL modified = TRUE);
    // Where the frame placed the page: its parent, rectangle and visibility while active.
    bool IsActive() const { return m_bActive; }
    const CRect& GetPageRect() const { return m_rcPage; }
    bool IsPageVisible() const { return m_bVisible; }
#ifdef _WIN32
    // The page's child dialog while active, else null.
    HWND GetSafeHwnd() const { return m_hWnd; }
#endif

protected:
    friend void DDP_PostProcessing(CDataExchange* dx);
    UINT m_idCaption;
    CString m_caption;
    int m_postProcessed = 0;

private:
#ifdef _WIN32
    static INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
#endif
    void ReleaseObjects();

    std::atomic<ULONG> m_refs{1};
    IPropertyPageSite* m_pPageSite = nullptr;
    std::vector<IUnknown*> m_objects;
    BOOL m_bDirty = FALSE;
    bool m_bActive = false;
    bool m_bVisible = false;
    HWND m_hWndParent = nullptr;
    CRect m_rcPage;
};

// Finishes a page's data exchange: applies the changes its bound controls collected.
void DDP_PostProcessing(CDataExchange* dx);

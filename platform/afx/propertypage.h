// Property pages: a dialog template shown under a caption string, created through its own
// class factory and exchanging data with the control it edits through DoDataExchange.
#pragma once

#include <atomic>

#include "platform/afx/cstring.h"
#include "platform/afx/dialog.h"
#include "platform/com/interfaces.h"

class COlePropertyPage : public CDialog, public IUnknown {
public:
    // A new page holds one reference, owned by its creator.
    COlePropertyPage(UINT dialogId, UINT captionId);
    virtual ~COlePropertyPage();

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // The page behind an IUnknown obtained for IID_IPropertyPage.
    static COlePropertyPage* FromUnknown(IUnknown* unknown);
    // Lays the page out under its caption and lets the user work with it; on OK the page's data
    // exchange runs in save mode. Returns the user's choice, or -1 without a template.
    INT_PTR ShowModal();
    const CString& GetCaption() const { return m_caption; }
    UINT GetCaptionId() const { return m_idCaption; }
    // How many times the framework's post-processing ran (each OK of the page runs it once).
    int PostProcessingCount() const { return m_postProcessed; }

protected:
    friend void DDP_PostProcessing(CDataExchange* dx);
    UINT m_idCaption;
    CString m_caption;
    int m_postProcessed = 0;

private:
    std::atomic<ULONG> m_refs{1};
};

// Finishes a page's data exchange: applies the changes its bound controls collected.
void DDP_PostProcessing(CDataExchange* dx);

// The thread's error object for automation failures: one object that is both filled in
// (ICreateErrorInfo) and read (IErrorInfo), held per thread as the system holds it.
#include <atomic>

#include "platform/com/interfaces.h"

namespace {
class GwErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IErrorInfo) *object = static_cast<IErrorInfo*>(this);
        else if (iid == IID_ICreateErrorInfo) *object = static_cast<ICreateErrorInfo*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    STDMETHOD(GetGUID)(GUID* guid) override {
        if (!guid) return E_INVALIDARG;
        *guid = m_guid;
        return S_OK;
    }
    STDMETHOD(GetSource)(BSTR* source) override { return Copy(m_source, source); }
    STDMETHOD(GetDescription)(BSTR* description) override { return Copy(m_description, description); }
    STDMETHOD(GetHelpFile)(BSTR* helpFile) override { return Copy(m_helpFile, helpFile); }
    STDMETHOD(GetHelpContext)(DWORD* helpContext) override {
        if (!helpContext) return E_INVALIDARG;
        *helpContext = m_helpContext;
        return S_OK;
    }
    STDMETHOD(SetGUID)(REFGUID guid) override {
        m_guid = guid;
        return S_OK;
    }
    STDMETHOD(SetSource)(LPOLESTR source) override { return Store(source, &m_source); }
    STDMETHOD(SetDescription)(LPOLESTR description) override { return Store(description, &m_description); }
    STDMETHOD(SetHelpFile)(LPOLESTR helpFile) override { return Store(helpFile, &m_helpFile); }
    STDMETHOD(SetHelpContext)(DWORD helpContext) override {
        m_helpContext = helpContext;
        return S_OK;
    }

private:
    ~GwErrorInfo() {
        SysFreeString(m_source);
        SysFreeString(m_description);
        SysFreeString(m_helpFile);
    }
    static HRESULT Copy(BSTR from, BSTR* to) {
        if (!to) return E_INVALIDARG;
        *to = from ? SysAllocString(from) : nullptr;
        return from && !*to ? E_OUTOFMEMORY : S_OK;
    }
    static HRESULT Store(const OLECHAR* text, BSTR* field) {
        BSTR copy = text ? SysAllocString(text) : nullptr;
        if (text && !copy) return E_OUTOFMEMORY;
        SysFreeString(*field);
        *field = copy;
        return S_OK;
    }
    std::atomic<ULONG> m_refs{1};
    GUID m_guid = GUID_NULL;
    BSTR m_source = nullptr;
    BSTR m_description = nullptr;
    BSTR m_helpFile = nullptr;
    DWORD m_helpContext = 0;
};

// The thread's slot; its reference is let go when the thread ends.
struct ThreadErrorSlot {
    IErrorInfo* info = nullptr;
    ~ThreadErrorSlot() {
        if (info) info->Release();
    }
};
thread_local ThreadErrorSlot t_error;
}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = static_cast<ICreateErrorInfo*>(new GwErrorInfo);
    return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
    if (info) info->AddRef();
    IErrorInfo* old = t_error.info;
    t_error.info = info;
    if (old) old->Release();
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = t_error.info;
    t_error.info = nullptr;
    return *info ? S_OK : S_FALSE;
}

#include "platform/afx/objectfactory.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/afx/module.h"

namespace {
std::mutex& ListLock() {
    static std::mutex m;
    return m;
}
std::vector<COleObjectFactory*>& List() {
    static std::vector<COleObjectFactory*> list;
    return list;
}
}  // namespace

COleObjectFactory::COleObjectFactory(REFCLSID clsid, CreateFunc create, BOOL multiInstance, const char* progID)
    : m_clsid(clsid), m_create(create), m_bMultiInstance(multiInstance), m_progID(progID ? progID : "") {
    std::lock_guard<std::mutex> g(ListLock());
    List().push_back(this);
}

COleObjectFactory::~COleObjectFactory() {
    std::lock_guard<std::mutex> g(ListLock());
    auto& l = List();
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

STDMETHODIMP COleObjectFactory::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// The factory is a static object of the module: references only keep the module loaded.
STDMETHODIMP_(ULONG) COleObjectFactory::AddRef() {
    AfxOleLockApp();
    return ++m_refs;
}

STDMETHODIMP_(ULONG) COleObjectFactory::Release() {
    AfxOleUnlockApp();
    return --m_refs;
}

STDMETHODIMP COleObjectFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!m_create) return E_UNEXPECTED;
    IUnknown* unknown = m_create();
    if (!unknown) return E_OUTOFMEMORY;
    const HRESULT hr = unknown->QueryInterface(iid, object);
    unknown->Release();
    return hr;
}

STDMETHODIMP COleObjectFactory::LockServer(BOOL lock) {
    if (lock) AfxOleLockApp();
    else AfxOleUnlockApp();
    return S_OK;
}

BOOL COleObjectFactory::UpdateRegistry(BOOL) { return TRUE; }

BOOL COleObjectFactory::UpdateRegistryAll(BOOL registerIt) {
    std::vector<COleObjectFactory*> list;
    {
        std::lock_guard<std::mutex> g(ListLock());
        list = List();
    }
    for (COleObjectFactory* f : list)
        if (!f->UpdateRegistry(registerIt)) return FALSE;
    return TRUE;
}

COleObjectFactory* COleObjectFactory::Find(REFCLSID clsid) {
    std::lock_guard<std::mutex> g(ListLock());
    for (COleObjectFactory* f : List())
        if (f->m_clsid == clsid) return f;
    return nullptr;
}

HRESULT AfxDllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    COleObjectFactory* f = COleObjectFactory::Find(clsid);
    if (!f) return CLASS_E_CLASSNOTAVAILABLE;
    return f->QueryInterface(iid, object);
}

HRESULT AfxDllCanUnloadNow() { return AfxOleGetLockCount() == 0 ? S_OK : S_FALSE; }

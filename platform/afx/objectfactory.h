// Class objects: one COleObjectFactory per creatable class, constructed with the module and
// listed module-wide, so that the module's class-object entry point can hand out the one
// whose CLSID is asked for and registration can visit them all.
#pragma once

#include <atomic>
#include <string>

#include "platform/com/interfaces.h"

class COleObjectFactory : public IClassFactory {
public:
    // `create` makes a new object with one reference (the factory queries it for the wanted
    // interface and drops that first reference).
    typedef IUnknown* (*CreateFunc)();
    COleObjectFactory(REFCLSID clsid, CreateFunc create, BOOL multiInstance, const char* progID);
    virtual ~COleObjectFactory();
    COleObjectFactory(const COleObjectFactory&) = delete;
    COleObjectFactory& operator=(const COleObjectFactory&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHOD(LockServer)(BOOL lock) override;

    // Registers (TRUE) or unregisters (FALSE) this class; the default has nothing to write.
    virtual BOOL UpdateRegistry(BOOL registerIt);
    // Every factory of the module, in construction order; stops at the first failure.
    static BOOL UpdateRegistryAll(BOOL registerIt);

    REFCLSID GetClassID() const { return m_clsid; }
    const char* GetProgID() const { return m_progID.empty() ? nullptr : m_progID.c_str(); }
    BOOL IsMultiInstance() const { return m_bMultiInstance; }
    static COleObjectFactory* Find(REFCLSID clsid);

private:
    CLSID m_clsid;
    CreateFunc m_create;
    BOOL m_bMultiInstance;
    std::string m_progID;
    std::atomic<ULONG> m_refs{0};
};

HRESULT AfxDllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
HRESULT AfxDllCanUnloadNow();

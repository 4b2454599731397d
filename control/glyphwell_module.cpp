#include "control/glyphwell_module.h"

#include <mutex>

#include "control/glyphwell_ctrl.h"
#include "control/glyphwell_ids.h"
#include "control/glyphwell_prop_page.h"
#ifndef _WIN32
#include "control/glyphwell_resources.h"
#endif

namespace {

class CGlyphwellApp : public COleControlModule {
public:
#ifdef _WIN32
    // The resource compiler put the resources into the module itself.
    CGlyphwellApp() : COleControlModule("Glyphwell") {}
#else
    CGlyphwellApp() : COleControlModule("Glyphwell") { GlyphwellDeclareResources(m_hInstance); }
#endif
    BOOL InitInstance() override { return COleControlModule::InitInstance(); }
    int ExitInstance() override { return COleControlModule::ExitInstance(); }
};

class CGlyphwellCtrlFactory : public COleObjectFactory {
public:
    CGlyphwellCtrlFactory()
        : COleObjectFactory(CLSID_Glyphwell, &CGlyphwellCtrl::CreateObject, FALSE, kGlyphwellCtrlProgID) {}
    BOOL UpdateRegistry(BOOL registerIt) override {
        if (registerIt)
            return AfxOleRegisterControlClass(AfxGetInstanceHandle(), CLSID_Glyphwell, kGlyphwellCtrlProgID,
                                              IDS_GLYPHWELL, IDB_GLYPHWELL, afxRegApartmentThreading,
                                              kGlyphwellMiscStatus, LIBID_GLYPHWELLLib, kGlyphwellTypeLibMajor,
                                              kGlyphwellTypeLibMinor);
        return AfxOleUnregisterClass(CLSID_Glyphwell, kGlyphwellCtrlProgID);
    }
};

class CGlyphwellPropPageFactory : public COleObjectFactory {
public:
    CGlyphwellPropPageFactory()
        : COleObjectFactory(CLSID_GlyphwellPropPage, &CGlyphwellPropPage::CreateObject, FALSE,
                            kGlyphwellPropPageProgID) {}
    BOOL UpdateRegistry(BOOL registerIt) override {
        if (registerIt)
            return AfxOleRegisterPropertyPageClass(AfxGetInstanceHandle(), CLSID_GlyphwellPropPage,
                                                   IDS_GLYPHWELL_PPG);
        // The page's ProgID belongs to its factory only; it was never written.
        return AfxOleUnregisterClass(CLSID_GlyphwellPropPage, nullptr);
    }
};

// The application and the two factories, constructed in this order on the module's first use
// (an entry point called, a control or page made) and destroyed in reverse when it unloads: a
// program that links the module but never uses it, like the command line making a symbol, does
// not declare its resources and factories before main.
struct Module {
    CGlyphwellApp app;
    CGlyphwellCtrlFactory ctrlFactory;
    CGlyphwellPropPageFactory pageFactory;
};

Module& TheModule() {
    static Module module;
    return module;
}

std::mutex g_typeLibLock;
ITypeLib* g_typeLib = nullptr;

}  // namespace

void GlyphwellModuleEnsureLoaded() { TheModule(); }

HINSTANCE GlyphwellModuleInstance() { return TheModule().app.m_hInstance; }

HRESULT GlyphwellModuleTypeLib(LCID, ITypeLib** lib) {
    GlyphwellModuleEnsureLoaded();
    if (!lib) return E_POINTER;
    std::lock_guard<std::mutex> guard(g_typeLibLock);
    if (!g_typeLib) {
        // The library exists in one language, whatever locale the host asks in (hosts pass
        // LOCALE_USER_DEFAULT, which the system would not match to the registered 409).
        const HRESULT hr = LoadRegTypeLib(LIBID_GLYPHWELLLib, kGlyphwellTypeLibMajor, kGlyphwellTypeLibMinor,
                                          kGlyphwellTypeLibLcid, &g_typeLib);
        if (FAILED(hr)) {
            *lib = nullptr;
            return hr;
        }
    }
    g_typeLib->AddRef();
    *lib = g_typeLib;
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    GlyphwellModuleEnsureLoaded();
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    if (!AfxOleRegisterTypeLib(AfxGetInstanceHandle(), LIBID_GLYPHWELLLib)) return SELFREG_E_TYPELIB;
    if (!COleObjectFactory::UpdateRegistryAll(TRUE)) return SELFREG_E_CLASS;
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    GlyphwellModuleEnsureLoaded();
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    if (!AfxOleUnregisterTypeLib(LIBID_GLYPHWELLLib, kGlyphwellTypeLibMajor, kGlyphwellTypeLibMinor,
                                 kGlyphwellTypeLibLcid))
        return SELFREG_E_TYPELIB;
    if (!COleObjectFactory::UpdateRegistryAll(FALSE)) return SELFREG_E_CLASS;
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    GlyphwellModuleEnsureLoaded();
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    return AfxDllGetClassObject(clsid, iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    GlyphwellModuleEnsureLoaded();
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    return AfxDllCanUnloadNow();
}

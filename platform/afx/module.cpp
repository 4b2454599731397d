#include "platform/afx/module.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

#include "platform/afx/resources.h"

namespace {
CWinApp* g_app = nullptr;
std::atomic<LONG> g_locks{0};
std::once_flag g_init;
}  // namespace

struct AFX_MODULE_STATE {};

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName ? appName : "") {
    // The module's instance handle is the address of its application object: unique per
    // module and stable for its lifetime.
    m_hInstance = reinterpret_cast<HINSTANCE>(this);
    g_app = this;
    AfxSetResourceHandle(m_hInstance);
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }
HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : nullptr; }

std::string AfxGetModuleFileName() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&AfxGetModuleFileName), &info) && info.dli_fname) return info.dli_fname;
    return "glyphwell";
}

void AfxOleLockApp() { ++g_locks; }
void AfxOleUnlockApp() { --g_locks; }
LONG AfxOleGetLockCount() { return g_locks.load(); }

AFX_MODULE_STATE* AfxGetStaticModuleState() {
    static AFX_MODULE_STATE state;
    return &state;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE*) : m_previous(AfxGetResourceHandle()) {
    if (g_app) {
        AfxSetResourceHandle(g_app->m_hInstance);
        std::call_once(g_init, [] { g_app->InitInstance(); });
    }
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() { AfxSetResourceHandle(m_previous); }

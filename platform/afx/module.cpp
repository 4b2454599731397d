#include "platform/afx/module.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <atomic>
#include <mutex>

#include "platform/afx/resources.h"
#include "platform/win32.h"

namespace {
CWinApp* g_app = nullptr;
std::atomic<LONG> g_locks{0};
std::once_flag g_init;
}  // namespace

struct AFX_MODULE_STATE {};

namespace {
#ifdef _WIN32
// The module this code was linked into (the control module, or a program built with it).
HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}
#endif
}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName ? appName : "") {
#ifdef _WIN32
    m_hInstance = ThisModule();
#else
    // The module is known to the kernel by its application name, which gives it the instance
    // handle its resources are declared under.
    m_hInstance = standin::RegisterModule(m_pszAppName.empty() ? "module" : m_pszAppName.c_str());
#endif
    g_app = this;
    AfxSetResourceHandle(m_hInstance);
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : nullptr; }

std::string AfxGetModuleFileName() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(ThisModule(), path, sizeof path);
    if (n > 0 && n < sizeof path) return std::string(path, n);
    return "glyphwell.ocx";
#else
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&AfxGetModuleFileName), &info) && info.dli_fname) return info.dli_fname;
    return "glyphwell";
#endif
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

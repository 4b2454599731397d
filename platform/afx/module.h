// The framework's module object and module-wide state: the one application object of an
// in-process module, its instance handle and file path, and the count of live objects and
// server locks that decides whether the module may be unloaded.
#pragma once

#include <string>

#include "platform/win32_types.h"

class CWinApp {
public:
    // Registers itself as the module's application object.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    HINSTANCE m_hInstance;
    std::string m_pszAppName;
};

class COleControlModule : public CWinApp {
public:
    using CWinApp::CWinApp;
};

HINSTANCE AfxGetInstanceHandle();
// The module's file (the shared library, or the program it is linked into).
std::string AfxGetModuleFileName();

// Live objects and server locks; the module may unload when both are zero.
void AfxOleLockApp();
void AfxOleUnlockApp();
LONG AfxOleGetLockCount();

// Entering the module from outside: makes its resources current and runs its InitInstance once.
struct AFX_MODULE_STATE;
AFX_MODULE_STATE* AfxGetStaticModuleState();
class AFX_MAINTAIN_STATE2 {
public:
    explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* state);
    ~AFX_MAINTAIN_STATE2();

private:
    HINSTANCE m_previous;
};
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 _ctlState(p)

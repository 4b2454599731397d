// Whether a test runs under Wine rather than on Windows itself, for the few checks where Wine
// is known to differ from what Windows documents: such a check skips there, naming the reason.
#pragma once

#include "platform/win32.h"

namespace gwtest {

inline bool RunningOnWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace gwtest

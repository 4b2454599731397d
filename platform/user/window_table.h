// The records behind window and class handles, shared by the window manager's units: the
// table with its lock, and the lookups every entry point starts with. Window procedures are
// always called with the lock released, so that they may call back into the window manager
// from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/user/user.h"

namespace gw {
namespace user {

struct WindowClass {
    std::string name;
    WNDCLASSA wc{};  // lpszClassName points into name
    ATOM atom = 0;
    int windows = 0;
};

struct Window {
    HWND handle = nullptr;
    WindowClass* cls = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;  // children only
    std::vector<HWND> children;
    RECT rect{};  // in the parent's client coordinates, or the screen's
    LONG_PTR userData = 0;
    HBITMAP surface = nullptr;
    HRGN update = nullptr;  // client coordinates; empty when nothing is invalid
    bool erase = false;     // the next BeginPaint sends WM_ERASEBKGND
    HRGN windowRegion = nullptr;
    std::thread::id thread;
    bool destroying = false;

    LONG Width() const { return rect.right - rect.left; }
    LONG Height() const { return rect.bottom - rect.top; }
};

using Guard = std::lock_guard<std::recursive_mutex>;
std::recursive_mutex& Lock();
// The live window behind a handle, or null (with ERROR_INVALID_WINDOW_HANDLE). Under the lock.
Window* Find(HWND handle);
// Every live window, for the few calls that address all of them. Under the lock.
std::vector<HWND> AllWindows();
// True when the window and its ancestors all have WS_VISIBLE. Under the lock.
bool Visible(const Window& window);

// Adds `rect` (client coordinates; the whole client area when null) to the update region of a
// visible window, cut to the client area and the window region. Under the lock.
void AddUpdate(Window& window, const RECT* rect, bool erase);
// The same for the window and every visible descendant: what becomes visible must be painted.
void AddUpdateTree(Window& window);
// Sends WM_ERASEBKGND over the update region when an invalidation asked for it; true when the
// window procedure erased. Not under the lock.
bool Erase(HWND handle);
// The screen position of a window's client origin. Under the lock.
POINT Origin(const Window& window);

}  // namespace user
}  // namespace gw

// Window classes and windows: registration, creation and destruction with their messages,
// the parent chain, visibility, position and size (each window's surface follows its size),
// window regions, the per-window value and sending messages to the window procedure.
#include <strings.h>

#include <algorithm>
#include <map>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/kernel.h"
#include "platform/user/window_table.h"

namespace gw {
namespace user {
namespace {

std::vector<std::unique_ptr<WindowClass>>& Classes() {
    static std::vector<std::unique_ptr<WindowClass>> classes;
    return classes;
}

std::map<uintptr_t, std::unique_ptr<Window>>& Windows() {
    static std::map<uintptr_t, std::unique_ptr<Window>> windows;
    return windows;
}

WindowClass* FindClass(LPCSTR name, HINSTANCE instance) {
    if (!name || IS_INTRESOURCE(name)) return nullptr;
    for (auto& c : Classes())
        if (c->wc.hInstance == instance && strcasecmp(c->name.c_str(), name) == 0) return c.get();
    return nullptr;
}

// A surface for a client area; empty windows still get one pixel to point their contexts at.
HBITMAP SurfaceFor(LONG width, LONG height) {
    return gdi::NewSurface(std::max<LONG>(width, 1), std::max<LONG>(height, 1));
}

// The procedure of a live window, read under the lock and called outside it.
WNDPROC ProcOf(HWND handle) {
    Guard guard(Lock());
    Window* w = Find(handle);
    return w ? w->cls->wc.lpfnWndProc : nullptr;
}

LRESULT Send(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = ProcOf(handle);
    return proc ? proc(handle, message, wParam, lParam) : 0;
}

// The subtree rooted at `handle`, parents before their children.
void CollectTree(HWND handle, std::vector<HWND>* out) {
    Window* w = Find(handle);
    if (!w) return;
    out->push_back(handle);
    for (HWND child : w->children) CollectTree(child, out);
}

// Frees one window's record and everything it holds. Under the lock.
void FreeRecord(Window* w) {
    if (Window* parent = w->parent ? Find(w->parent) : nullptr) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w->handle), siblings.end());
    }
    gdi::DeleteSurface(w->surface);
    DeleteObject(w->update);
    if (w->windowRegion) DeleteObject(w->windowRegion);
    --w->cls->windows;
    Windows().erase(reinterpret_cast<uintptr_t>(w->handle));
}

void ApplyVisibility(HWND handle, bool show) {
    bool changed = false;
    {
        Guard guard(Lock());
        Window* w = Find(handle);
        if (!w) return;
        const bool was = (w->style & WS_VISIBLE) != 0;
        if (was == show) return;
        changed = true;
        if (show)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    if (changed) Send(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w) return;
    if (show)
        AddUpdateTree(*w);
    else
        SetRectRgn(w->update, 0, 0, 0, 0);  // nothing hidden is painted
}

}  // namespace

std::recursive_mutex& Lock() {
    static std::recursive_mutex lock;
    return lock;
}

Window* Find(HWND handle) {
    auto& windows = Windows();
    auto it = windows.find(reinterpret_cast<uintptr_t>(handle));
    if (it == windows.end() || !handle) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

std::vector<HWND> AllWindows() {
    std::vector<HWND> all;
    for (auto& entry : Windows()) all.push_back(entry.second->handle);
    return all;
}

bool Visible(const Window& window) {
    for (const Window* w = &window; w; w = w->parent ? Find(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return false;
    return true;
}

}  // namespace user
}  // namespace gw

using namespace gw::user;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        IS_INTRESOURCE(windowClass->lpszClassName) || !*windowClass->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Guard guard(Lock());
    if (FindClass(windowClass->lpszClassName, windowClass->hInstance)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    static ATOM nextAtom = 0xC000;
    auto c = std::make_unique<WindowClass>();
    c->name = windowClass->lpszClassName;
    c->wc = *windowClass;
    c->wc.lpszClassName = c->name.c_str();
    c->wc.lpszMenuName = nullptr;
    c->atom = nextAtom++;
    if (nextAtom == 0) nextAtom = 0xC000;
    Classes().push_back(std::move(c));
    return Classes().back()->atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    Guard guard(Lock());
    WindowClass* c = FindClass(className, instance);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (c->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    auto& classes = Classes();
    classes.erase(std::find_if(classes.begin(), classes.end(), [c](const auto& p) { return p.get() == c; }));
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    HWND handle = nullptr;
    {
        Guard guard(Lock());
        WindowClass* c = FindClass(className, instance);
        if (!c) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (parent && !Find(parent)) return nullptr;
        if ((style & WS_CHILD) && !parent) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        HBITMAP surface = SurfaceFor(width, height);
        if (!surface) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        // Handles count up and are not reused, so a stale one is refused rather than aliased.
        static uintptr_t nextHandle = 0x10010;
        auto w = std::make_unique<Window>();
        w->handle = reinterpret_cast<HWND>(nextHandle);
        nextHandle += 2;
        w->cls = c;
        w->style = style & ~static_cast<DWORD>(WS_VISIBLE);  // shown after creation
        w->exStyle = exStyle;
        w->parent = (style & WS_CHILD) ? parent : nullptr;
        w->rect = {x, y, static_cast<LONG>(static_cast<long long>(x) + width),
                   static_cast<LONG>(static_cast<long long>(y) + height)};
        w->surface = surface;
        w->update = CreateRectRgn(0, 0, 0, 0);
        w->thread = std::this_thread::get_id();
        ++c->windows;
        if (w->parent) Find(w->parent)->children.push_back(w->handle);
        handle = w->handle;
        Windows()[reinterpret_cast<uintptr_t>(handle)] = std::move(w);
    }
    CREATESTRUCTA cs{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (!Send(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        Send(handle, WM_NCDESTROY, 0, 0);
        Guard guard(Lock());
        if (Window* w = Find(handle)) FreeRecord(w);
        return nullptr;
    }
    if (Send(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (style & WS_VISIBLE) ApplyVisibility(handle, true);
    return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    std::vector<HWND> tree;
    {
        Guard guard(Lock());
        Window* w = Find(handle);
        if (!w) return FALSE;
        if (w->thread != std::this_thread::get_id()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;  // called again from its own WM_DESTROY
        CollectTree(handle, &tree);
        for (HWND h : tree) Find(h)->destroying = true;
    }
    for (HWND h : tree) Send(h, WM_DESTROY, 0, 0);
    // Children go before their parents: each gets WM_NCDESTROY as its last message.
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        Send(*it, WM_NCDESTROY, 0, 0);
        Guard guard(Lock());
        if (Window* w = Find(*it)) FreeRecord(w);
    }
    return TRUE;
}

BOOL IsWindow(HWND handle) {
    Guard guard(Lock());
    return Find(handle) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND handle, int command) {
    bool was;
    {
        Guard guard(Lock());
        Window* w = Find(handle);
        if (!w) return FALSE;
        was = (w->style & WS_VISIBLE) != 0;
    }
    ApplyVisibility(handle, command != SW_HIDE);
    return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
    Guard guard(Lock());
    Window* w = Find(handle);
    return w && Visible(*w) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND handle, HWND, int x, int y, int width, int height, UINT flags) {
    bool moved = false, sized = false;
    RECT now{};
    {
        Guard guard(Lock());
        Window* w = Find(handle);
        if (!w) return FALSE;
        const RECT old = w->rect;
        const LONG newWidth = (flags & SWP_NOSIZE) ? w->Width() : std::max(width, 0);
        const LONG newHeight = (flags & SWP_NOSIZE) ? w->Height() : std::max(height, 0);
        const LONG left = (flags & SWP_NOMOVE) ? old.left : x;
        const LONG top = (flags & SWP_NOMOVE) ? old.top : y;
        sized = newWidth != w->Width() || newHeight != w->Height();
        moved = left != old.left || top != old.top;
        if (sized) {
            HBITMAP surface = SurfaceFor(newWidth, newHeight);
            if (!surface) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return FALSE;
            }
            // What was painted stays where the old and new client areas overlap.
            HDC from = gw::gdi::NewDisplayContext(w->surface), to = gw::gdi::NewDisplayContext(surface);
            BitBlt(to, 0, 0, std::min(newWidth, w->Width()), std::min(newHeight, w->Height()), from, 0, 0,
                   SRCCOPY);
            gw::gdi::FreeDisplayContext(from);
            gw::gdi::FreeDisplayContext(to);
            gw::gdi::DeleteSurface(w->surface);
            w->surface = surface;
        }
        w->rect = {left, top, static_cast<LONG>(static_cast<long long>(left) + newWidth),
                   static_cast<LONG>(static_cast<long long>(top) + newHeight)};
        if (sized) {
            HRGN client = CreateRectRgn(0, 0, newWidth, newHeight);
            CombineRgn(w->update, w->update, client, RGN_AND);
            const UINT redraw = w->cls->wc.style;
            const bool whole = ((redraw & CS_HREDRAW) && newWidth != old.right - old.left) ||
                               ((redraw & CS_VREDRAW) && newHeight != old.bottom - old.top);
            if (!(flags & SWP_NOREDRAW) && Visible(*w)) {
                if (!whole) {
                    HRGN kept = CreateRectRgn(0, 0, old.right - old.left, old.bottom - old.top);
                    CombineRgn(client, client, kept, RGN_DIFF);
                    DeleteObject(kept);
                }
                RECT box;
                if (GetRgnBox(client, &box) != NULLREGION) {
                    if (w->windowRegion) CombineRgn(client, client, w->windowRegion, RGN_AND);
                    CombineRgn(w->update, w->update, client, RGN_OR);
                    w->erase = true;
                }
            }
            DeleteObject(client);
        }
        now = w->rect;
    }
    if (moved) Send(handle, WM_MOVE, 0, MAKELONG(now.left, now.top));
    if (sized) Send(handle, WM_SIZE, SIZE_RESTORED, MAKELONG(now.right - now.left, now.bottom - now.top));
    if (flags & SWP_SHOWWINDOW) ApplyVisibility(handle, true);
    if (flags & SWP_HIDEWINDOW) ApplyVisibility(handle, false);
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(handle, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW)));
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w || !rect) return FALSE;
    *rect = {0, 0, w->Width(), w->Height()};
    return TRUE;
}

namespace gw {
namespace user {
POINT Origin(const Window& window) {
    POINT p{0, 0};
    for (const Window* w = &window; w; w = w->parent ? Find(w->parent) : nullptr) {
        p.x += w->rect.left;
        p.y += w->rect.top;
    }
    return p;
}
}  // namespace user
}  // namespace gw

BOOL GetWindowRect(HWND handle, LPRECT rect) {
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w || !rect) return FALSE;
    const POINT o = Origin(*w);
    *rect = {o.x, o.y, o.x + w->Width(), o.y + w->Height()};
    return TRUE;
}

int SetWindowRgn(HWND handle, HRGN region, BOOL redraw) {
    Guard guard(Lock());
    Window* w = Find(handle);
    RECT box;
    if (!w || (region && GetRgnBox(region, &box) == ERROR)) return 0;
    if (w->windowRegion) DeleteObject(w->windowRegion);
    w->windowRegion = region;
    if (region) CombineRgn(w->update, w->update, region, RGN_AND);
    if (redraw) AddUpdate(*w, nullptr, true);
    return 1;
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value) {
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w) return 0;
    if (index != GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    const LONG_PTR old = w->userData;
    w->userData = value;
    return old;
}

LONG_PTR GetWindowLongPtrA(HWND handle, int index) {
    Guard guard(Lock());
    Window* w = Find(handle);
    if (!w) return 0;
    if (index == GWLP_USERDATA) return w->userData;
    if (index == GWL_STYLE) return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return Send(handle, message, wParam, lParam);
}

// The stand-in's window manager held to what Win32 documents: the refusals (bad classes,
// parents and handles), the order of creation and destruction messages, and the paint cycle
// (invalidation of visible windows only, erasing, BeginPaint's region, resizing that keeps
// pixels and exposes the rest, surfaces that programs cannot free).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/win32_probes.h"

namespace {

std::vector<std::string> g_log;
bool g_refuseCreation = false;

std::string Name(HWND window) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
    return buffer;
}

LRESULT CALLBACK LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const char* what = nullptr;
    switch (message) {
        case WM_NCCREATE:
            if (g_refuseCreation) return FALSE;
            what = "nccreate";
            break;
        case WM_CREATE:
            what = "create";
            break;
        case WM_DESTROY:
            what = "destroy";
            break;
        case WM_NCDESTROY:
            what = "ncdestroy";
            break;
        case WM_PAINT:
            what = "paint";
            break;
        case WM_SIZE:
            what = "size";
            break;
        default:
            break;
    }
    if (what) g_log.push_back(std::string(what) + " " + Name(window));
    return DefWindowProcA(window, message, wParam, lParam);
}

class UserWindow : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        g_refuseCreation = false;
        WNDCLASSA wc{};
        wc.lpfnWndProc = LoggingProc;
        wc.lpszClassName = "UserWindowTest";
        wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 255));
        brush = wc.hbrBackground;
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    void TearDown() override {
        EXPECT_TRUE(UnregisterClassA("UserWindowTest", nullptr));
        DeleteObject(brush);
    }
    static HWND Make(DWORD style, HWND parent, int w = 40, int h = 30) {
        return CreateWindowExA(0, "UserWindowTest", "", style, 5, 6, w, h, parent, nullptr, nullptr, nullptr);
    }
    HBRUSH brush = nullptr;
};

TEST_F(UserWindow, RefusalsFollowWin32) {
    WNDCLASSA noProc{};
    noProc.lpszClassName = "NoProc";
    WNDCLASSA again{};
    again.lpfnWndProc = LoggingProc;
    again.lpszClassName = "userwindowtest";  // names match without regard to case
    HWND top = Make(WS_VISIBLE, nullptr);
    ASSERT_NE(top, nullptr);
    HWND stale = Make(0, nullptr);
    ASSERT_TRUE(DestroyWindow(stale));
    RECT r;
    // Each call's outcome and the last error it left, taken in order as the list is built.
    struct Outcome {
        bool refused;
        DWORD error;
    };
    auto seen = [](bool refused) { return Outcome{refused, GetLastError()}; };
    struct Case {
        const char* what;
        Outcome outcome;
        DWORD error;
    } cases[] = {
        {"class without procedure", seen(RegisterClassA(&noProc) == 0), ERROR_INVALID_PARAMETER},
        {"class registered twice", seen(RegisterClassA(&again) == 0), ERROR_CLASS_ALREADY_EXISTS},
        {"unknown class",
         seen(CreateWindowExA(0, "Nope", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr) == nullptr),
         ERROR_CANNOT_FIND_WND_CLASS},
        {"child without parent", seen(Make(WS_CHILD, nullptr) == nullptr), ERROR_TLW_WITH_WSCHILD},
        {"child of a destroyed window", seen(Make(WS_CHILD, stale) == nullptr), ERROR_INVALID_WINDOW_HANDLE},
        {"destroying twice", seen(!DestroyWindow(stale)), ERROR_INVALID_WINDOW_HANDLE},
        {"client rectangle of a stale handle", seen(!GetClientRect(stale, &r)), ERROR_INVALID_WINDOW_HANDLE},
        {"painting a stale handle", seen(!InvalidateRect(stale, nullptr, TRUE)), ERROR_INVALID_WINDOW_HANDLE},
        {"an unknown window value", seen(SetWindowLongPtrA(top, 12345, 1) == 0), ERROR_INVALID_INDEX},
        {"unregistering a class in use", seen(!UnregisterClassA("UserWindowTest", nullptr)),
         ERROR_CLASS_HAS_WINDOWS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.outcome.refused);
        EXPECT_EQ(c.outcome.error, c.error);
    }
    // A procedure that refuses WM_NCCREATE gets no window, and nothing of it stays.
    g_refuseCreation = true;
    g_log.clear();
    EXPECT_EQ(Make(0, nullptr), nullptr);
    g_refuseCreation = false;
    HDC dc = GetDC(top);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(ReleaseDC(top, dc), 1);
    EXPECT_EQ(ReleaseDC(top, dc), 0);
    EXPECT_TRUE(DestroyWindow(top));
}

TEST_F(UserWindow, CreationDestructionAndPaintCycle) {
    HWND top = Make(0, nullptr, 100, 80);
    HWND child = Make(WS_CHILD | WS_VISIBLE, top);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetParent(top), nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"nccreate " + Name(top), "create " + Name(top),
                                               "nccreate " + Name(child), "create " + Name(child)}));
    // The parent is hidden, so nothing of either is visible or needs painting.
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(InvalidateRect(child, nullptr, TRUE));
    EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));
    // Showing the parent exposes both; UpdateWindow paints the parent, then the child.
    g_log.clear();
    EXPECT_FALSE(ShowWindow(top, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(child));
    UpdateWindow(top);
    EXPECT_EQ(g_log, (std::vector<std::string>{"paint " + Name(top), "paint " + Name(child)}));
    g_log.clear();
    UpdateWindow(top);
    EXPECT_TRUE(g_log.empty());  // nothing invalid: no WM_PAINT
    // The default erase filled the child with the class brush; its position is in the parent.
    HDC dc = GetDC(child);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
    ReleaseDC(child, dc);
    POINT p{0, 0};
    MapWindowPoints(child, top, &p, 1);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);

    // BeginPaint takes over the update region: its box, clipped painting, nothing left after.
    const RECT part{10, 5, 20, 15};
    InvalidateRect(child, &part, FALSE);
    PAINTSTRUCT ps;
    HDC paint = BeginPaint(child, &ps);
    ASSERT_NE(paint, nullptr);
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.bottom, 15);
    EXPECT_FALSE(ps.fErase);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT all{0, 0, 40, 30};
    FillRect(paint, &all, red);
    DeleteObject(red);
    EXPECT_TRUE(EndPaint(child, &ps));
    EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));
    dc = GetDC(child);
    EXPECT_EQ(GetPixel(dc, 12, 7), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 25, 7), RGB(0, 0, 255));  // outside the update region
    ReleaseDC(child, dc);

    // Growing keeps what was painted and makes only the uncovered strips invalid.
    g_log.clear();
    ASSERT_TRUE(SetWindowPos(child, nullptr, 0, 0, 60, 30, SWP_NOMOVE | SWP_NOZORDER));
    EXPECT_EQ(g_log, (std::vector<std::string>{"size " + Name(child)}));
    RECT update;
    ASSERT_TRUE(GetUpdateRect(child, &update, FALSE));
    EXPECT_EQ(update.left, 40);
    EXPECT_EQ(update.right, 60);
    dc = GetDC(child);
    EXPECT_EQ(GetPixel(dc, 12, 7), RGB(255, 0, 0));
    ReleaseDC(child, dc);

    // Destroying the parent: WM_DESTROY parent first, WM_NCDESTROY child first.
    g_log.clear();
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_EQ(g_log, (std::vector<std::string>{"destroy " + Name(top), "destroy " + Name(child),
                                               "ncdestroy " + Name(child), "ncdestroy " + Name(top)}));
    EXPECT_FALSE(IsWindow(child));
}

}  // namespace

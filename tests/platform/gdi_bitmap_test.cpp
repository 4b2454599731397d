// Device contexts and bitmaps: the screen and memory contexts, selection and deletion rules,
// handle validation, size refusals, pixels and what GetObject reports.
#include "platform/win32.h"
#include "tests/support/win32_probes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "tests/support/wine.h"

namespace {

struct MemoryBitmap {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    MemoryBitmap(int w, int h) {
        bitmap = CreateCompatibleBitmap(screen, w, h);
        old = SelectObject(dc, bitmap);
    }
    ~MemoryBitmap() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
};

TEST(GdiBitmap, RendererSequenceMakesAWhiteBitmapWithPaintedPixels) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ASSERT_NE(dc, nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 9, 7);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(GetObjectType(previous), static_cast<DWORD>(OBJ_BITMAP));

    EXPECT_EQ(GetPixel(dc, 4, 4), RGB(0, 0, 0));  // fresh compatible bitmaps are black
    ASSERT_TRUE(PatBlt(dc, 0, 0, 9, 7, WHITENESS));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(GetPixel(dc, x, y), RGB(255, 255, 255)) << x << "," << y;

    EXPECT_EQ(SetPixel(dc, 3, 1, RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dc, 3, 1), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dc, 4, 1), RGB(255, 255, 255));

    BITMAP bm{};
    ASSERT_EQ(GetObject(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 9);
    EXPECT_EQ(bm.bmHeight, 7);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmWidthBytes, 36);
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(bm.bmBits, nullptr);  // device-dependent: no pixel address

    // Deleting a selected bitmap is refused; after deselection it succeeds.
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(dc, previous), static_cast<HGDIOBJ>(bitmap));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));  // now stale
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(GdiBitmap, PixelsOutsideTheBitmapAreInvalid) {
    MemoryBitmap m(4, 3);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {100000, 5}}) {
        if (!gwtest::RunningOnWine()) {  // Wine's SetPixel answers outside the bitmap
            EXPECT_EQ(SetPixel(m.dc, x, y, RGB(1, 2, 3)), CLR_INVALID) << x << "," << y;
        }
        EXPECT_EQ(GetPixel(m.dc, x, y), CLR_INVALID) << x << "," << y;
    }
    EXPECT_EQ(GetPixel(m.dc, 3, 2), RGB(0, 0, 0));
}

TEST(GdiBitmap, FreshMemoryContextHoldsAMonochromeBitmapAndMakesMonochromeBitmaps) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    // What a selection hands back is what the fresh context held.
    HBITMAP probe = CreateBitmap(1, 1, 1, 1, nullptr);
    HGDIOBJ initial = SelectObject(dc, probe);
    BITMAP bm{};
    ASSERT_NE(GetObject(initial, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(SelectObject(dc, initial), static_cast<HGDIOBJ>(probe));
    DeleteObject(probe);
    HGDIOBJ brush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(brush, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, brush);
    HGDIOBJ pen = SelectObject(dc, GetStockObject(WHITE_PEN));
    EXPECT_EQ(pen, GetStockObject(BLACK_PEN));
    SelectObject(dc, pen);

    HBITMAP mono = CreateCompatibleBitmap(dc, 20, 2);
    ASSERT_NE(GetObject(mono, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(bm.bmWidthBytes, 4);  // rows of device bitmaps are word-aligned
    // A monochrome surface keeps only black and white.
    HGDIOBJ old = SelectObject(dc, mono);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(250, 240, 230)), RGB(255, 255, 255));
    EXPECT_EQ(SetPixel(dc, 1, 0, RGB(20, 30, 10)), RGB(0, 0, 0));
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(mono));

    HBITMAP tiny = CreateCompatibleBitmap(dc, 0, 5);
    ASSERT_NE(tiny, nullptr);
    ASSERT_NE(GetObject(tiny, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    DeleteObject(tiny);
    if (!gwtest::RunningOnWine()) {  // Wine makes a bitmap of a negative width
        EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 5), nullptr);
    }
    DeleteDC(dc);
}

TEST(GdiBitmap, HugeBitmapsAreRefusedNotAllocated) {
    HDC screen = GetDC(nullptr);
    // The renderer's largest raster: 45,645 pixels square at 4 bytes is about 8.3 GB.
    EXPECT_EQ(CreateCompatibleBitmap(screen, 45645, 45645), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(screen, 0x7FFFFFFF, 0x7FFFFFFF), nullptr);
    // Just over 1 GiB: the stand-in's own ceiling, which a 32-bit process's address space also
    // sets; a 64-bit Windows process may be given that much, as the system's memory allows.
    if (!gwtest::RunningOnWine() || sizeof(void*) == 4) {
        EXPECT_EQ(CreateCompatibleBitmap(screen, 16385, 16384), nullptr);
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 0x7FFFFFFF;
    bi.bmiHeader.biHeight = -0x7FFFFFFF;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    ReleaseDC(nullptr, screen);
}

TEST(GdiBitmap, StaleForeignAndMistypedHandlesAreRefused) {
    HDC dc = CreateCompatibleDC(nullptr);
    int local = 0;
    auto foreign = reinterpret_cast<HDC>(&local);
    EXPECT_EQ(GetPixel(foreign, 0, 0), CLR_INVALID);
    EXPECT_EQ(SelectObject(foreign, GetStockObject(BLACK_BRUSH)), nullptr);
    EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(&local)), nullptr);
    EXPECT_FALSE(DeleteDC(foreign));
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(&local)));
    EXPECT_EQ(GetObject(reinterpret_cast<HGDIOBJ>(&local), 100, &local), 0);
    // A brush handle is not a context, a context is not a GDI object to delete.
    EXPECT_EQ(GetPixel(reinterpret_cast<HDC>(GetStockObject(WHITE_BRUSH)), 0, 0), CLR_INVALID);
    EXPECT_FALSE(DeleteObject(dc));
    // A screen context is released, not deleted; a memory context deleted, not released.
    HDC screen = GetDC(nullptr);
    EXPECT_FALSE(DeleteDC(screen));
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
}

TEST(GdiBitmap, ABitmapLivesInOneContextAtATime) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 3);
    HGDIOBJ oldA = SelectObject(a, bitmap);
    ASSERT_NE(oldA, nullptr);
    EXPECT_EQ(SelectObject(b, bitmap), nullptr);
    EXPECT_EQ(SelectObject(screen, bitmap), nullptr);
    // Deleting the context lets go of the bitmap.
    DeleteDC(a);
    EXPECT_NE(SelectObject(b, bitmap), nullptr);
    DeleteDC(b);
    EXPECT_TRUE(DeleteObject(bitmap));
    ReleaseDC(nullptr, screen);
}

TEST(GdiBitmap, SelectedBrushDeletionIsDeferredAndStockObjectsSurvive) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(dc, brush);
    EXPECT_EQ(old, GetStockObject(WHITE_BRUSH));
    EXPECT_TRUE(DeleteObject(brush));
    // Still usable while selected.
    LOGBRUSH lb{};
    EXPECT_EQ(GetObject(brush, sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbColor, RGB(1, 2, 3));
    EXPECT_EQ(SelectObject(dc, old), static_cast<HGDIOBJ>(brush));
    EXPECT_EQ(GetObject(brush, sizeof lb, &lb), 0);  // freed once deselected
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObject(GetStockObject(BLACK_BRUSH), sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbColor, RGB(0, 0, 0));
    DeleteDC(dc);
}

TEST(GdiBitmap, FillRectCoversLeftTopButNotRightBottomEdges) {
    MemoryBitmap m(6, 6);
    HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
    RECT r{1, 1, 4, 3};
    EXPECT_EQ(FillRect(m.dc, &r, green), 1);
    EXPECT_EQ(GetPixel(m.dc, 1, 1), RGB(0, 200, 0));
    EXPECT_EQ(GetPixel(m.dc, 3, 2), RGB(0, 200, 0));
    EXPECT_EQ(GetPixel(m.dc, 4, 2), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 3, 3), RGB(0, 0, 0));
    RECT wild{-100, -100, 100000, 100000};
    EXPECT_EQ(FillRect(m.dc, &wild, green), 1);
    EXPECT_EQ(GetPixel(m.dc, 5, 5), RGB(0, 200, 0));
    DeleteObject(green);
}

TEST(GdiBitmap, ContextsOnSeveralThreadsDoNotInterfere) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int round = 0; round < 50; ++round) {
                MemoryBitmap m(16, 16);
                COLORREF c = RGB(t * 40, round, 7);
                for (int y = 0; y < 16; ++y)
                    for (int x = 0; x < 16; ++x) SetPixel(m.dc, x, y, c);
                for (int y = 0; y < 16; ++y)
                    for (int x = 0; x < 16; ++x)
                        if (GetPixel(m.dc, x, y) != c) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace

#ifndef _WIN32
#include "platform/gdi/gdi_internal.h"
#endif

namespace {

// The GDI objects this process holds.
size_t LiveGdiObjects() {
#ifdef _WIN32
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
#else
    return gw::gdi::LiveObjectCount();
#endif
}

TEST(GdiBitmap, EveryObjectMadeIsFreedWhenItsOwnerLetsGo) {
    if (gwtest::RunningOnWine()) GTEST_SKIP() << "Wine does not count a process's GDI objects";
    // Stock objects are made on first use; touch them so the count below is stable.
    HDC warm = GetDC(nullptr);
    ReleaseDC(nullptr, warm);
    DeleteDC(CreateCompatibleDC(nullptr));
    const size_t before = LiveGdiObjects();
    {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP colour = CreateCompatibleBitmap(screen, 4, 4);
        HBITMAP mask = CreateBitmap(4, 4, 1, 1, nullptr);
        HBRUSH brush = CreateSolidBrush(RGB(1, 1, 1));
        LOGFONTA lf{};
        lf.lfHeight = -12;
        lf.lfWeight = FW_NORMAL;
        std::strcpy(lf.lfFaceName, "Arial");
        HFONT font = CreateFontIndirect(&lf);
        HRGN region = CreateRectRgn(0, 0, 2, 2);
        SelectObject(dc, colour);
        SelectObject(dc, brush);
        SelectObject(dc, font);
        SelectClipRgn(dc, region);
        ICONINFO ii{TRUE, 0, 0, mask, colour};
        HICON icon = CreateIconIndirect(&ii);
        ICONINFO copies{};
        ASSERT_TRUE(GetIconInfo(icon, &copies));
        EXPECT_GT(LiveGdiObjects(), before);
        DeleteObject(copies.hbmColor);
        DeleteObject(copies.hbmMask);
        DestroyIcon(icon);
        DeleteObject(region);
        DeleteObject(brush);  // selected: deleted with the context
        DeleteObject(font);
        DeleteObject(mask);
        DeleteDC(dc);
        DeleteObject(colour);
        ReleaseDC(nullptr, screen);
    }
    EXPECT_EQ(LiveGdiObjects(), before);
}

}  // namespace

// Regions and clipping: the combination modes and region types, canonical merging, and a
// context's clip as painting sees it; also palettes.
#include "platform/win32.h"
#include "tests/platform/gdi_test_canvas.h"
#include "tests/support/region_probe.h"
#include "tests/support/win32_probes.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>


namespace {

int Area(HRGN r, int extent = 40) {
    int n = 0;
    for (int y = -extent; y < extent; ++y)
        for (int x = -extent; x < extent; ++x) n += gwtest::InRegion(r, x, y) ? 1 : 0;
    return n;
}

TEST(GdiRegion, CombinationModesGiveTheExpectedAreasAndTypes) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    struct Case {
        int mode;
        int type;
        int area;
    };
    for (Case c : {Case{RGN_AND, SIMPLEREGION, 25}, Case{RGN_OR, COMPLEXREGION, 175},
                   Case{RGN_XOR, COMPLEXREGION, 150}, Case{RGN_DIFF, COMPLEXREGION, 75},
                   Case{RGN_COPY, SIMPLEREGION, 100}}) {
        EXPECT_EQ(CombineRgn(r, a, b, c.mode), c.type) << c.mode;
        EXPECT_EQ(Area(r), c.area) << c.mode;
    }
    RECT box{};
    CombineRgn(r, a, b, RGN_OR);
    EXPECT_EQ(GetRgnBox(r, &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.bottom, 15);
    // Disjoint AND is empty; the destination may be one of the sources.
    HRGN far = CreateRectRgn(20, 20, 30, 30);
    EXPECT_EQ(CombineRgn(r, a, far, RGN_AND), NULLREGION);
    EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
    EXPECT_EQ(CombineRgn(a, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(gwtest::InRegion(a, 7, 7));
    EXPECT_TRUE(gwtest::InRegion(a, 2, 7));
    EXPECT_EQ(CombineRgn(r, a, nullptr, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(r, a, b, 9), ERROR);
    for (HRGN h : {a, b, r, far}) DeleteObject(h);
}

TEST(GdiRegion, PiecesThatMakeARectangleMergeIntoOne) {
    HRGN left = CreateRectRgn(0, 0, 5, 10);
    HRGN right = CreateRectRgn(5, 0, 10, 10);
    HRGN whole = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(whole, left, right, RGN_OR), SIMPLEREGION);
    HRGN top = CreateRectRgn(0, 0, 10, 3);
    HRGN bottom = CreateRectRgn(0, 3, 10, 10);
    HRGN whole2 = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(whole2, top, bottom, RGN_OR), SIMPLEREGION);
    EXPECT_TRUE(gwtest::SameRegion(whole, whole2));
    // Corners given the wrong way round are normalised.
    HRGN swapped = CreateRectRgn(10, 10, 0, 0);
    EXPECT_TRUE(gwtest::SameRegion(whole, swapped));
    for (HRGN h : {left, right, whole, top, bottom, whole2, swapped}) DeleteObject(h);
}

TEST(GdiRegion, TheClipRegionDecidesWhatPaintingReaches) {
    TestCanvas c(10, 10);
    HRGN a = CreateRectRgn(0, 0, 2, 2);
    HRGN b = CreateRectRgn(8, 8, 12, 12);  // half outside the bitmap
    HRGN both = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(both, a, b, RGN_OR);
    EXPECT_EQ(SelectClipRgn(c.dc, both), COMPLEXREGION);
    DeleteObject(both);  // the context keeps its own copy
    RECT box{};
    EXPECT_EQ(GetClipBox(c.dc, &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 10);  // cut to the bitmap
    EXPECT_EQ(box.bottom, 10);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT all{0, 0, 10, 10};
    FillRect(c.dc, &all, red);
    EXPECT_EQ(c.Count(RGB(255, 0, 0)), 8);
    if (!gwtest::RunningOnWine()) {  // Wine answers outside the clip; both document CLR_INVALID
        EXPECT_EQ(SetPixel(c.dc, 5, 5, RGB(0, 0, 0)), CLR_INVALID);
        EXPECT_EQ(GetPixel(c.dc, 5, 5), CLR_INVALID);
    }
    RECT middle{3, 3, 7, 7};
    EXPECT_FALSE(RectVisible(c.dc, &middle));
    RECT corner{1, 1, 3, 3};
    EXPECT_TRUE(RectVisible(c.dc, &corner));
    RECT lastPixel{9, 9, 10, 10};
    EXPECT_TRUE(RectVisible(c.dc, &lastPixel));

    // Intersecting and adding combine with the current clip.
    EXPECT_EQ(IntersectClipRect(c.dc, 5, 5, 20, 20), SIMPLEREGION);
    RECT firstPixel{0, 0, 1, 1};
    EXPECT_FALSE(RectVisible(c.dc, &firstPixel));
    EXPECT_EQ(ExtSelectClipRgn(c.dc, a, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(RectVisible(c.dc, &firstPixel));
    EXPECT_EQ(ExtSelectClipRgn(c.dc, nullptr, RGN_AND), ERROR);

    // No clip: the whole bitmap.
    EXPECT_EQ(SelectClipRgn(c.dc, nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 10);
    FillRect(c.dc, &all, red);
    EXPECT_EQ(c.Count(RGB(255, 0, 0)), 100);

    // A clip entirely off the device paints nothing. Without a clip region the rectangle
    // becomes the clip region as it is, so the new region is simple, yet nothing is visible.
    c.Fill(RGB(255, 255, 255));
    EXPECT_EQ(IntersectClipRect(c.dc, 50, 50, 60, 60), SIMPLEREGION);
    EXPECT_EQ(GetClipBox(c.dc, &box), NULLREGION);
    FillRect(c.dc, &all, red);
    EXPECT_EQ(c.Count(RGB(255, 255, 255)), 100);
    for (HRGN h : {a, b}) DeleteObject(h);
    DeleteObject(red);
}

TEST(GdiRegion, PalettesHoldTheirEntries) {
    struct {
        WORD version, count;
        PALETTEENTRY entries[4];
    } lp{0x300, 4, {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {250, 250, 250, 0}}};
    HPALETTE p = CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
    ASSERT_NE(p, nullptr);
    WORD count = 0;
    EXPECT_EQ(GetObject(p, sizeof count, &count), static_cast<int>(sizeof count));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(GetObjectType(p), static_cast<DWORD>(OBJ_PAL));

    // Palettes are selected with SelectPalette, not SelectObject; deletion waits for deselection.
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(dc, p), nullptr);
    HPALETTE old = SelectPalette(dc, p, FALSE);
    EXPECT_EQ(old, GetStockObject(DEFAULT_PALETTE));
    EXPECT_TRUE(DeleteObject(p));
    EXPECT_EQ(GetObject(p, sizeof count, &count), static_cast<int>(sizeof count));
    SelectPalette(dc, old, FALSE);
    EXPECT_EQ(GetObject(p, sizeof count, &count), 0);
    DeleteDC(dc);

    lp.version = 0x200;
    EXPECT_EQ(CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp)), nullptr);
    lp.version = 0x300;
    lp.count = 0;
    EXPECT_EQ(CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp)), nullptr);
}

}  // namespace

// Fonts and text with a real font stack: face resolution (Arial is Liberation Sans), line
// heights and widths as DrawText measures them, alignment, prefixes, line breaking and
// clipping, and that drawn text lights pixels only inside the box it measured.
#include "platform/win32.h"
#include "tests/platform/gdi_test_canvas.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

struct WithFont {
    HDC dc;
    HFONT font;
    HGDIOBJ old;
    WithFont(HDC d, int height, const char* face, int weight = FW_NORMAL, bool italic = false)
        : dc(d),
          font(Make(height, face, weight, italic)),
          old(SelectObject(d, font)) {}
    static HFONT Make(int height, const char* face, int weight, bool italic) {
        LOGFONTA lf{};
        lf.lfHeight = height;
        lf.lfWeight = weight;
        lf.lfItalic = italic ? 1 : 0;
        lf.lfCharSet = DEFAULT_CHARSET;
        // Plain pixels, whatever the system's smoothing: the checks below count exact colours.
        lf.lfQuality = NONANTIALIASED_QUALITY;
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        return CreateFontIndirect(&lf);
    }
    ~WithFont() {
        SelectObject(dc, old);
        DeleteObject(font);
    }
};

// The smallest rectangle holding every pixel that is not `background`; empty if none.
RECT Ink(const TestCanvas& c, COLORREF background = kWhite) {
    RECT r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (c.At(x, y) != background) {
                r.left = std::min<LONG>(r.left, x);
                r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1);
                r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    return r;
}

// One line of text as DrawText measures it: the sum of the advance widths by the cell height.
SIZE Extent(HDC dc, const char* s) {
    RECT r{0, 0, 0, 0};
    DrawText(dc, s, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

TEST(GdiText, ArialResolvesToLiberationSans) {
    TestCanvas c(10, 10);
    SIZE a, l, o;
    {
        WithFont f(c.dc, -20, "Arial");
        a = Extent(c.dc, "Glyphwell QR 0123");
    }
    {
        WithFont f(c.dc, -20, "Liberation Sans");
        l = Extent(c.dc, "Glyphwell QR 0123");
    }
    {
        WithFont f(c.dc, -20, "DejaVu Sans Mono");
        o = Extent(c.dc, "Glyphwell QR 0123");
    }
    EXPECT_EQ(a.cx, l.cx);
    EXPECT_EQ(a.cy, l.cy);
    EXPECT_NE(a.cx, o.cx) << "a different face measures differently";
    // Liberation Sans' Windows metrics (ascent 1854, descent 434 of 2048 units) at a 20 pixel
    // em: a cell of 18 + 4 pixels.
    EXPECT_EQ(a.cy, 22);
}

TEST(GdiText, HeightsSelectEmOrCellAndExtentsAddUp) {
    TestCanvas c(10, 10);
    SIZE em, cell;
    {
        WithFont f(c.dc, -30, "Arial");
        em = Extent(c.dc, "X");
    }
    {
        WithFont f(c.dc, 30, "Arial");
        cell = Extent(c.dc, "X");
    }
    EXPECT_EQ(cell.cy, 30) << "a positive height is the cell height";
    EXPECT_GT(em.cy, 30) << "a negative height is the em, smaller than the cell";

    WithFont f(c.dc, -20, "Arial");
    SIZE ab = Extent(c.dc, "ab"), a = Extent(c.dc, "a"), b = Extent(c.dc, "b");
    EXPECT_EQ(ab.cx, a.cx + b.cx);
    EXPECT_EQ(Extent(c.dc, "").cx, 0);
    EXPECT_GT(Extent(c.dc, "WWW").cx, Extent(c.dc, "iii").cx);
    const LONG regular = Extent(c.dc, "Glyphwell").cx;
    {
        WithFont bold(c.dc, -20, "Arial", FW_BOLD);
        EXPECT_GT(Extent(c.dc, "Glyphwell").cx, regular) << "bold resolves to the wider bold face";
    }
}

TEST(GdiText, DrawnTextStaysInsideTheMeasuredBox) {
    TestCanvas c(200, 60);
    WithFont f(c.dc, -24, "Arial");
    const char* text = "Glyphwell Qj|";
    RECT box{17, 11, 17, 11};
    int height = DrawText(c.dc, text, -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SIZE extent = Extent(c.dc, text);
    EXPECT_EQ(height, extent.cy);
    EXPECT_EQ(box.left, 17) << "measuring keeps the rectangle's corner";
    EXPECT_EQ(box.right - box.left, extent.cx);
    EXPECT_EQ(box.bottom - box.top, extent.cy);
    EXPECT_EQ(c.Count(kWhite), 200 * 60) << "measuring draws nothing";

    SetBkMode(c.dc, TRANSPARENT);
    RECT draw = box;
    DrawText(c.dc, text, -1, &draw, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    RECT ink = Ink(c);
    ASSERT_LT(ink.left, ink.right) << "something was drawn";
    EXPECT_GE(ink.left, box.left);
    EXPECT_GE(ink.top, box.top);
    if (!gwtest::RunningOnWine()) {  // Wine's ink runs a few pixels past its measured advance
        EXPECT_LE(ink.right, box.right);
    }
    EXPECT_LE(ink.bottom, box.bottom);
    EXPECT_GT(ink.right - ink.left, extent.cx * 3 / 4) << "the ink spans most of the box";
    // Not smoothed: every lit pixel has exactly the text colour.
    EXPECT_EQ(c.Count(kWhite) + c.Count(kBlack), 200 * 60);
}

TEST(GdiText, AlignmentMovesTheTextWithinTheRectangle) {
    const char* text = "Align";
    RECT leftInk{}, centreInk{}, rightInk{}, bottomInk{};
    SIZE extent;
    const RECT area{10, 5, 190, 55};
    for (UINT format : {DT_LEFT, DT_CENTER, DT_RIGHT, DT_BOTTOM | DT_RIGHT}) {
        TestCanvas c(200, 60);
        WithFont f(c.dc, -16, "Arial");
        extent = Extent(c.dc, text);
        RECT r = area;
        DrawText(c.dc, text, -1, &r, format | DT_SINGLELINE);
        RECT ink = Ink(c);
        if (format == DT_LEFT) leftInk = ink;
        if (format == DT_CENTER) centreInk = ink;
        if (format == DT_RIGHT) rightInk = ink;
        if (format == (DT_BOTTOM | DT_RIGHT)) bottomInk = ink;
    }
    const LONG width = area.right - area.left;
    EXPECT_EQ(rightInk.left - leftInk.left, width - extent.cx);
    EXPECT_EQ(centreInk.left - leftInk.left, (width - extent.cx) / 2);
    EXPECT_EQ(bottomInk.top - rightInk.top, (area.bottom - area.top) - extent.cy);
    EXPECT_EQ(bottomInk.left, rightInk.left);

    // Vertical centring returns the offset of the text's bottom from the rectangle's top.
    TestCanvas c(200, 60);
    WithFont f(c.dc, -16, "Arial");
    RECT r = area;
    int bottom = DrawText(c.dc, text, -1, &r, DT_SINGLELINE | DT_VCENTER);
    if (!gwtest::RunningOnWine()) {  // Wine rounds the centring offset the other way
        EXPECT_EQ(bottom, (area.bottom - area.top - extent.cy) / 2 + extent.cy);
    }
}

TEST(GdiText, AmpersandsArePrefixesUnlessTurnedOff) {
    TestCanvas c(200, 40);
    WithFont f(c.dc, -16, "Arial");
    RECT r{0, 0, 0, 0};
    DrawText(c.dc, "&File", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, Extent(c.dc, "File").cx);
    r = RECT{0, 0, 0, 0};
    DrawText(c.dc, "&File", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(r.right, Extent(c.dc, "&File").cx);
    r = RECT{0, 0, 0, 0};
    DrawText(c.dc, "A&&B", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, Extent(c.dc, "A&B").cx);

    // The prefixed letter is underlined: the prefixed text reaches lower than the plain one.
    RECT box{0, 0, 200, 40};
    DrawText(c.dc, "File", -1, &box, DT_SINGLELINE);
    RECT plain = Ink(c);
    c.Fill(kWhite);
    DrawText(c.dc, "&File", -1, &box, DT_SINGLELINE);
    RECT prefixed = Ink(c);
    EXPECT_GT(prefixed.bottom, plain.bottom);
}

TEST(GdiText, LinesBreakAtNewlinesAndWordsUnlessSingleLine) {
    TestCanvas c(300, 200);
    WithFont f(c.dc, -16, "Arial");
    const LONG line = Extent(c.dc, "X").cy;
    RECT r{0, 0, 300, 0};
    EXPECT_EQ(DrawText(c.dc, "one\ntwo\r\nthree", -1, &r, DT_CALCRECT), 3 * line);
    EXPECT_EQ(r.right, Extent(c.dc, "three").cx);
    r = RECT{0, 0, 300, 0};
    EXPECT_EQ(DrawText(c.dc, "one\ntwo", -1, &r, DT_CALCRECT | DT_SINGLELINE), line);
    EXPECT_EQ(r.right, Extent(c.dc, "onetwo").cx);
    const LONG narrow = Extent(c.dc, "alpha beta").cx;
    r = RECT{0, 0, narrow, 0};
    EXPECT_EQ(DrawText(c.dc, "alpha beta alpha beta", -1, &r, DT_CALCRECT | DT_WORDBREAK), 2 * line);
    EXPECT_LE(r.right, narrow);
    // A long text breaks in linear time: 100,000 short words on lines of about ten words.
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "word ";
    r = RECT{0, 0, Extent(c.dc, "word word word word word word word word word word").cx, 0};
    EXPECT_EQ(DrawText(c.dc, many.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK), 10000 * line);
    // An explicit length stops early; lengths below -1 are refused.
    r = RECT{0, 0, 300, 0};
    DrawText(c.dc, "abcdef", 3, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, Extent(c.dc, "abc").cx);
    EXPECT_EQ(DrawText(c.dc, "abc", -2, &r, DT_CALCRECT), 0);
    EXPECT_EQ(DrawText(c.dc, "abc", -1, nullptr, DT_CALCRECT), 0);
}

TEST(GdiText, BackgroundModeAndClippingGovernWhatIsPainted) {
    TestCanvas c(120, 40);
    WithFont f(c.dc, -16, "Arial");
    SetBkColor(c.dc, RGB(0, 0, 255));
    SetTextColor(c.dc, RGB(255, 0, 0));
    SIZE extent = Extent(c.dc, "Opaque");
    RECT at{5, 5, 120, 40};
    ASSERT_NE(DrawText(c.dc, "Opaque", -1, &at, DT_SINGLELINE | DT_NOCLIP), 0);
    const int red = c.Count(RGB(255, 0, 0)), blue = c.Count(RGB(0, 0, 255));
    EXPECT_GT(red, 0);
    EXPECT_EQ(red + blue, extent.cx * extent.cy) << "opaque mode fills the text cell";
    EXPECT_EQ(Ink(c).left, 5);

    c.Fill(kWhite);
    SetBkMode(c.dc, TRANSPARENT);
    at = RECT{5, 5, 120, 40};
    DrawText(c.dc, "Opaque", -1, &at, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_EQ(c.Count(RGB(0, 0, 255)), 0);
    EXPECT_EQ(c.Count(RGB(255, 0, 0)), red);

    // DrawText clips to its rectangle unless told not to.
    c.Fill(kWhite);
    RECT tight{5, 5, 20, 12};
    DrawText(c.dc, "Clipped text", -1, &tight, DT_SINGLELINE);
    RECT ink = Ink(c);
    EXPECT_GE(ink.left, 5);
    EXPECT_LE(ink.right, 20);
    EXPECT_LE(ink.bottom, 12);

    // Text far off the bitmap, or straddling its edges, writes nothing outside it.
    c.Fill(kWhite);
    WithFont big(c.dc, -200, "Arial");
    for (RECT edge :
         {RECT{-50, -80, 0, 0}, RECT{100, 20, 100, 20}, RECT{INT_MAX - 10, INT_MIN + 10, INT_MAX, 0}}) {
        EXPECT_NE(DrawText(c.dc, "Edge", -1, &edge, DT_SINGLELINE | DT_NOCLIP), 0);
    }
    RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_NE(DrawText(c.dc, "Edge", -1, &huge, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
}

TEST(GdiText, StockAndDefaultFontsAreUsable) {
    TestCanvas c(100, 30);
    EXPECT_GT(Extent(c.dc, "Default").cx, 0);  // the system font of a fresh context
    HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_NE(gui, nullptr);
    LOGFONTA lf{};
    ASSERT_EQ(GetObject(gui, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_LT(lf.lfHeight, 0);
    HGDIOBJ old = SelectObject(c.dc, gui);
    const LONG line = Extent(c.dc, "X").cy;
    EXPECT_GT(line, 10);
    EXPECT_LT(line, 20);
    SelectObject(c.dc, old);

    LOGFONTA named{};
    named.lfHeight = -12;
    std::memset(named.lfFaceName, 'x', sizeof named.lfFaceName);  // not terminated
    HFONT f = CreateFontIndirect(&named);
    ASSERT_NE(f, nullptr);
    old = SelectObject(c.dc, f);
    EXPECT_GT(Extent(c.dc, "Fallback").cx, 0);
    SelectObject(c.dc, old);
    DeleteObject(f);
    EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
}

}  // namespace

// Fonts as GDI objects and text output: DrawText's measuring, line splitting, word breaking,
// alignment, ampersand prefixes and clipping. Text is ANSI (Windows-1252).
#include "platform/gdi/font_cache.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

using namespace gw::gdi;

namespace {

// The longest text drawn or measured in one call; longer text is cut here.
constexpr int kMaxTextLength = 1 << 20;

struct Pixels {
    DC* dc;
    PixelView view;
    std::vector<RECT> visible;
};

Pixels PixelsOf(DC* dc, const RECT* clip) {
    Pixels p{dc, ViewOf(*dc->bitmap), VisibleRects(*dc)};
    if (clip) {
        std::vector<RECT> cut;
        for (const RECT& v : p.visible) {
            RECT r;
            if (Intersect(v, *clip, &r)) cut.push_back(r);
        }
        p.visible = std::move(cut);
    }
    return p;
}

void FillArea(const Pixels& p, long long left, long long top, long long right, long long bottom, COLORREF color) {
    const uint32_t work = p.view.fromRgb(RgbFromColorref(color));
    for (const RECT& v : p.visible) {
        long long l = std::max<long long>(left, v.left), r = std::min<long long>(right, v.right);
        long long t = std::max<long long>(top, v.top), b = std::min<long long>(bottom, v.bottom);
        for (long long y = t; y < b; ++y)
            for (long long x = l; x < r; ++x) p.view.setWork(static_cast<int>(x), static_cast<int>(y), work);
    }
}

void Plot(const Pixels& p, long long x, long long y, uint32_t work) {
    for (const RECT& v : p.visible) {
        if (x >= v.left && x < v.right && y >= v.top && y < v.bottom) {
            p.view.setWork(static_cast<int>(x), static_cast<int>(y), work);
            return;
        }
    }
}

// A horizontal line, cut to the bitmap first so that absurd lengths cost nothing.
void HLine(const Pixels& p, long long x0, long long x1, long long y, uint32_t work) {
    x0 = std::max(0LL, x0);
    x1 = std::min<long long>(p.view.width, x1);
    for (long long x = x0; x < x1; ++x) Plot(p, x, y, work);
}

int Advance(const RealFont* font, unsigned char c) {
    const GlyphImage* g = GlyphOf(font, CodepointOf(c));
    return g ? g->advance : 0;
}

long long Width(const RealFont* font, const std::string& text) {
    long long w = 0;
    for (unsigned char c : text) w += Advance(font, c);
    return w;
}

// Draws one run with its cell's top-left corner at (x, top). `underlined` marks one
// character (an ampersand prefix) to underline, -1 for none; `dx` overrides advances.
void DrawRun(const Pixels& p, const RealFont* font, long long x, long long top, const std::string& text,
             bool opaque, long long underlined) {
    const DC& dc = *p.dc;
    long long width = 0;
    for (size_t i = 0; i < text.size(); ++i) width += Advance(font, static_cast<unsigned char>(text[i]));
    if (opaque) FillArea(p, x, top, x + width, top + font->height, dc.bkColor);
    const uint32_t ink = p.view.fromRgb(RgbFromColorref(dc.textColor));
    const long long baseline = top + font->ascent;
    long long pen = x;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const GlyphImage* g = GlyphOf(font, CodepointOf(c));
        if (!g) continue;
        const long long gx0 = pen + g->left, gy0 = baseline - g->top;
        const bool onBitmap = gx0 < p.view.width && gx0 + g->width > 0 && gy0 < p.view.height && gy0 + g->rows > 0;
        for (int gy = 0; onBitmap && gy < g->rows; ++gy) {
            for (int gx = 0; gx < g->width; ++gx) {
                if (g->ink[static_cast<size_t>(gy) * static_cast<size_t>(g->width) + static_cast<size_t>(gx)]) {
                    Plot(p, pen + g->left + gx, baseline - g->top + gy, ink);
                }
            }
        }
        long long step = g->advance;
        if (static_cast<long long>(i) == underlined) {
            for (int t = 0; t < font->lineThickness; ++t) HLine(p, pen, pen + step, baseline + font->underlineOffset + t, ink);
        }
        pen += step;
    }
    if (font->underline || font->strikeOut) {
        for (int t = 0; t < font->lineThickness; ++t) {
            if (font->underline) HLine(p, x, pen, baseline + font->underlineOffset + t, ink);
            if (font->strikeOut) HLine(p, x, pen, baseline - font->strikeOffset + t, ink);
        }
    }
}

bool TextArgs(LPCSTR text, int length, int* out) {
    if (!text && length != 0) return false;
    if (length == -1) length = text ? static_cast<int>(strnlen(text, kMaxTextLength)) : 0;
    if (length < 0) return false;
    *out = std::min(length, kMaxTextLength);
    return true;
}

struct Line {
    std::string text;
    long long prefix = -1;  // index of the character to underline
    long long width = 0;
};

// Removes ampersand prefixes: "&x" underlines x, "&&" is one ampersand, a final lone & goes.
Line StripPrefixes(const std::string& raw) {
    Line line;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '&') {
            if (i + 1 >= raw.size()) break;
            ++i;
            if (raw[i] != '&') line.prefix = static_cast<long long>(line.text.size());
        }
        line.text.push_back(raw[i]);
    }
    return line;
}

std::string ExpandTabs(const RealFont* font, const std::string& s) {
    std::string out;
    const long long stop = std::max(1, 8 * font->aveWidth);
    const long long space = std::max(1, Advance(font, ' '));
    long long pen = 0;
    for (char ch : s) {
        if (ch == '\t') {
            long long next = (pen / stop + 1) * stop;
            while (pen < next) {
                out.push_back(' ');
                pen += space;
            }
        } else {
            out.push_back(ch);
            pen += Advance(font, static_cast<unsigned char>(ch));
        }
    }
    return out;
}

// Greedy breaking at spaces; a word wider than the line stays whole on its own line. Widths
// are kept as running sums so that long texts cost linear time.
std::vector<std::string> BreakWords(const RealFont* font, const std::string& s, long long limit) {
    std::vector<std::string> out;
    std::string current;
    long long currentWidth = 0;
    const long long space = Advance(font, ' ');
    size_t i = 0;
    while (i < s.size()) {
        size_t end = s.find(' ', i);
        if (end == std::string::npos) end = s.size();
        const std::string word = s.substr(i, end - i);
        const long long wordWidth = Width(font, word);
        if (current.empty()) {
            current = word;
            currentWidth = wordWidth;
        } else if (currentWidth + space + wordWidth > limit) {
            out.push_back(current);
            current = word;
            currentWidth = wordWidth;
        } else {
            current += ' ';
            current += word;
            currentWidth += space + wordWidth;
        }
        i = end + 1;
    }
    out.push_back(current);
    return out;
}

// The text's lines: every line break ends one, except in a single line, which drops them.
std::vector<std::string> SplitLines(const std::string& all, bool single) {
    std::vector<std::string> lines;
    std::string s;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] != '\r' && all[i] != '\n') {
            s.push_back(all[i]);
        } else if (!single) {
            lines.push_back(s);
            s.clear();
            if (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') ++i;
        }
    }
    lines.push_back(s);
    return lines;
}

// Expands tabs, breaks words to the rectangle's width and strips ampersand prefixes, as the
// format asks, and measures each line that results.
std::vector<Line> LayOutLines(const RealFont* f, const std::vector<std::string>& rawLines, UINT format,
                              long long rectWidth) {
    const bool single = (format & DT_SINGLELINE) != 0;
    std::vector<Line> lines;
    for (std::string raw : rawLines) {
        if (format & DT_EXPANDTABS) raw = ExpandTabs(f, raw);
        std::vector<std::string> pieces{raw};
        if ((format & DT_WORDBREAK) && !single) pieces = BreakWords(f, raw, rectWidth);
        for (const std::string& piece : pieces) {
            Line line;
            if (format & DT_NOPREFIX) {
                line.text = piece;
            } else {
                line = StripPrefixes(piece);
            }
            line.width = Width(f, line.text);
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

}  // namespace

HFONT CreateFontIndirect(const LOGFONTA* logFont) {
    if (!logFont) return nullptr;
    auto* f = new Font;
    f->logFont = *logFont;
    f->logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
    Register(f);
    return reinterpret_cast<HFONT>(static_cast<Object*>(f));
}

int DrawText(HDC handle, LPCSTR text, int length, LPRECT rect, UINT format) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    int n = 0;
    if (!dc || !dc->bitmap || !rect || !TextArgs(text, length, &n)) return 0;
    const RealFont* f = Realize(dc->font);
    if (!f) return 0;
    const bool single = (format & DT_SINGLELINE) != 0;
    const long long rectWidth = static_cast<long long>(rect->right) - rect->left;
    const std::vector<Line> lines =
        LayOutLines(f, SplitLines(std::string(text ? text : "", static_cast<size_t>(n)), single), format, rectWidth);

    const long long lineHeight = f->height;
    const long long total = lineHeight * static_cast<long long>(lines.size());
    if (format & DT_CALCRECT) {
        long long widest = 0;
        for (const Line& l : lines) widest = std::max(widest, l.width);
        rect->right = static_cast<LONG>(std::min<long long>(rect->left + widest, INT_MAX));
        rect->bottom = static_cast<LONG>(std::min<long long>(rect->top + total, INT_MAX));
        return static_cast<int>(std::min<long long>(total, INT_MAX));
    }

    long long y = rect->top;
    if (single && (format & DT_VCENTER)) {
        y = rect->top + (static_cast<long long>(rect->bottom) - rect->top - lineHeight) / 2;
    } else if (single && (format & DT_BOTTOM)) {
        y = rect->bottom - lineHeight;
    }
    Pixels p = PixelsOf(dc, (format & DT_NOCLIP) ? nullptr : rect);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        long long x = rect->left;
        if (format & DT_CENTER) {
            x = rect->left + (rectWidth - l.width) / 2;
        } else if (format & DT_RIGHT) {
            x = rect->right - l.width;
        }
        DrawRun(p, f, x, y + lineHeight * static_cast<long long>(i), l.text, dc->bkMode == OPAQUE, l.prefix);
    }
    long long result = (single && (format & (DT_VCENTER | DT_BOTTOM))) ? (y + total - rect->top) : total;
    return static_cast<int>(std::max<long long>(std::min<long long>(result, INT_MAX), 0));
}

// Writing text into the image's own pixels. The platform renders the text white on black
// into a scratch bitmap; every lit pixel of that bitmap then paints the image in the caller's
// colour, so the result is the same whatever the image's depth. DrawStringEx adds alignment
// and an optional box with rounded corners and partial opacity behind the text.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "image/gw_image.h"
#include "platform/win32.h"

namespace {

inline int64_t ToInt(int64_t v) { return std::min<int64_t>(INT32_MAX, std::max<int64_t>(INT32_MIN, v)); }

// A memory context holding the caller's font (or the platform's interface font when that
// cannot be made), for measuring and rendering one text.
class TextRenderer {
public:
    TextRenderer(HDC reference, const LOGFONTA& font) {
        m_dc = CreateCompatibleDC(reference);
        if (!m_dc) return;
        m_font = CreateFontIndirect(&font);
        m_oldFont = SelectObject(m_dc, m_font ? static_cast<HGDIOBJ>(m_font)
                                              : GetStockObject(DEFAULT_GUI_FONT));
    }
    ~TextRenderer() {
        if (m_dc) {
            if (m_oldFont) SelectObject(m_dc, m_oldFont);
            DeleteDC(m_dc);
        }
        if (m_font) DeleteObject(m_font);
    }
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    bool IsValid() const { return m_dc != nullptr; }

    RECT Measure(const char* text, int length, UINT format) const {
        RECT r = {0, 0, 0, 0};
        DrawText(m_dc, text, length, &r, format | DT_CALCRECT);
        return r;
    }

    // Renders the text white on black into a width x height 24-bit bitmap, within textRect,
    // and hands the result over as an image (rows bottom-up, as every image).
    bool Render(const char* text, int length, UINT format, RECT textRect, long width, long height,
                GwImage& out) const {
        BITMAPINFOHEADER bih;
        std::memset(&bih, 0, sizeof(bih));
        bih.biSize = sizeof(bih);
        bih.biWidth = static_cast<LONG>(width);
        bih.biHeight = static_cast<LONG>(height);
        bih.biPlanes = 1;
        bih.biBitCount = 24;
        bih.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(m_dc, reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS,
                                          &bits, nullptr, 0);
        if (!bitmap) return false;
        bool ok = false;
        if (HGDIOBJ old = SelectObject(m_dc, bitmap)) {
            RECT all = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
            FillRect(m_dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            SetTextColor(m_dc, RGB(255, 255, 255));
            SetBkColor(m_dc, RGB(0, 0, 0));
            SetBkMode(m_dc, TRANSPARENT);
            DrawText(m_dc, text, length, &textRect, format);
            // A bitmap is read back only once no context holds it.
            SelectObject(m_dc, old);
            ok = out.CreateFromHBITMAP(bitmap, nullptr);
        }
        DeleteObject(bitmap);
        return ok;
    }

private:
    HDC m_dc = nullptr;
    HFONT m_font = nullptr;
    HGDIOBJ m_oldFont = nullptr;
};

// A rendered pixel is lit when its blue byte is set (the text was drawn white).
inline bool IsLit(const GwImage& rendered, long i, long j) {
    return rendered.GetBits(static_cast<DWORD>(j))[3 * i] != 0;
}

// Paints every lit pixel of the rendered text (columns x rows of it) onto the picture from
// column left and top-down row baseY, as SetPixelColor(colour, setAlpha).
void PaintLit(GwImage& image, const GwImage& rendered, int64_t left, int64_t baseY, long rows, long columns,
              RGBQUAD colour, bool setAlpha) {
    for (long j = 0; j < rows; ++j) {
        for (long i = 0; i < columns; ++i) {
            if (IsLit(rendered, i, j))
                image.SetPixelColor(static_cast<long>(left + i), static_cast<long>(baseY + j), colour, setAlpha);
        }
    }
}

// Paints the box behind a text, boxWidth x boxHeight from column left and top-down row baseY:
// columns within the corner radius of either edge lose, at top and bottom, the pixels that lie
// outside the corner circle; a partial opacity mixes the box with the picture.
void PaintBox(GwImage& image, const tagGwTextInfo& textInfo, int64_t left, int64_t baseY, long boxWidth,
              long boxHeight, long radius, bool setAlpha) {
    const float opacity = textInfo.boxOpacity;
    const bool mix = opacity > 0.0f && opacity < 1.0f;
    RGBQUAD box = GwImage::RGBtoRGBQUAD(textInfo.boxColor);
    box.rgbReserved = 255;
    auto cut = [radius](long d) -> long {
        const double r = static_cast<double>(radius);
        return static_cast<long>(r + 0.5 - std::sqrt(r * r - static_cast<double>(d) * d));
    };
    for (long i = 0; i < boxWidth; ++i) {
        long skip = 0;
        if (i <= radius) skip = std::max(skip, cut(radius - i));
        const long fromRight = boxWidth - 1 - i;
        if (fromRight <= radius) skip = std::max(skip, cut(radius - fromRight));
        const long px = static_cast<long>(left + i);
        for (long j = skip; j < boxHeight - skip; ++j) {
            const long py = static_cast<long>(baseY + j);
            if (!image.IsInside(px, py)) continue;
            RGBQUAD c = box;
            if (mix) {
                const RGBQUAD old = image.GetPixelColor(px, py, false);
                c.rgbBlue = static_cast<BYTE>(old.rgbBlue * opacity + box.rgbBlue * (1 - opacity));
                c.rgbGreen = static_cast<BYTE>(old.rgbGreen * opacity + box.rgbGreen * (1 - opacity));
                c.rgbRed = static_cast<BYTE>(old.rgbRed * opacity + box.rgbRed * (1 - opacity));
            }
            image.SetPixelColor(px, py, c, setAlpha);
        }
    }
}

}  // namespace

long GwImage::DrawString(HDC dc, long x, long y, const char* text, RGBQUAD color, const char* font,
                         long height, long weight, BYTE italic, BYTE underline, bool setAlpha) {
    if (!dib || !text) return 1;
    LOGFONTA lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.lfHeight = static_cast<LONG>(ToInt(height));
    lf.lfWeight = static_cast<LONG>(ToInt(weight));
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    if (font) std::strncpy(lf.lfFaceName, font, LF_FACESIZE - 1);

    TextRenderer renderer(dc, lf);
    if (!renderer.IsValid()) return 1;
    const int length = static_cast<int>(std::min<size_t>(std::strlen(text), INT32_MAX));
    const RECT measured = renderer.Measure(text, length, 0);
    const long textHeight = measured.bottom - measured.top;
    // The extra width of one text height leaves room for slanted and overhanging glyphs.
    const long width = (measured.right - measured.left) + textHeight;
    if (width <= 0 || textHeight <= 0) return 1;
    GwImage rendered;
    const RECT textRect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(textHeight)};
    if (!renderer.Render(text, length, 0, textRect, width, textHeight, rendered)) return 1;

    // The rendered picture's bottom row lands on the image's top-down row y.
    const int64_t baseX = ToInt(x);
    const int64_t baseY = static_cast<int64_t>(GetHeight()) - ToInt(y) - 1;
    const long rows = std::min<long>(textHeight, static_cast<long>(rendered.GetHeight()));
    const long columns = std::min<long>(width, static_cast<long>(rendered.GetWidth()));
    PaintLit(*this, rendered, baseX, baseY, rows, columns, color, setAlpha);
    return 1;
}

long GwImage::DrawStringEx(HDC dc, long x, long y, tagGwTextInfo* textInfo, bool setAlpha) {
    if (!dib) return -1;
    if (!textInfo) return 0;
    if (textInfo->alignment < 0 || textInfo->alignment > 2) textInfo->alignment = 1;
    if (textInfo->boxRounding > 50) textInfo->boxRounding = 10;
    if (!(textInfo->boxOpacity >= 0.0f && textInfo->boxOpacity <= 1.0f)) textInfo->boxOpacity = 0.0f;

    HDC screen = nullptr;
    if (!dc) dc = screen = GetDC(nullptr);

    // The record's buffer need not be terminated: never read past it.
    const char* text = textInfo->textBuffer;
    const int length = static_cast<int>(strnlen(text, sizeof(textInfo->textBuffer)));
    const UINT format = (textInfo->alignment == 0   ? DT_LEFT
                         : textInfo->alignment == 1 ? DT_CENTER
                                                    : DT_RIGHT) |
                        DT_NOPREFIX;
    {
        TextRenderer renderer(dc, textInfo->logFont);
        const RECT measured = renderer.IsValid() ? renderer.Measure(text, length, format)
                                                 : RECT{0, 0, 0, 0};
        const long lines = 1 + static_cast<long>(std::count(text, text + length, '\r'));
        long textWidth = measured.right - measured.left;
        const long textHeight = measured.bottom - measured.top;
        const long lineHeight = textHeight / lines;
        if (textInfo->logFont.lfItalic) textWidth += lineHeight / 2;

        long radius = 0, border = 0, widen = 0;
        if (textInfo->opaque) {
            radius = lineHeight * textInfo->boxRounding / 100;
            border = static_cast<long>(radius * 0.29289);
            widen = lineHeight / 3;
        }
        const long boxWidth = textWidth + 2 * border + widen;
        const long boxHeight = textHeight + 2 * border;
        GwImage rendered;
        const RECT textRect = {static_cast<LONG>(border + widen / 2), static_cast<LONG>(border),
                               static_cast<LONG>(border + widen / 2 + textWidth),
                               static_cast<LONG>(border + textHeight)};
        if (boxWidth > 0 && boxHeight > 0 &&
            renderer.Render(text, length, format, textRect, boxWidth, boxHeight, rendered)) {
            int64_t left = ToInt(x);
            if (textInfo->alignment == 1) left -= boxWidth / 2;
            if (textInfo->alignment == 2) left -= boxWidth;
            if (left < 0) left = 0;
            const int64_t baseY = static_cast<int64_t>(GetHeight()) - ToInt(y) - 1;

            if (textInfo->opaque) PaintBox(*this, *textInfo, left, baseY, boxWidth, boxHeight, radius, setAlpha);
            RGBQUAD ink = RGBtoRGBQUAD(textInfo->textColor);
            ink.rgbReserved = 255;
            const long rows = std::min<long>(boxHeight, static_cast<long>(rendered.GetHeight()));
            const long columns = std::min<long>(boxWidth, static_cast<long>(rendered.GetWidth()));
            PaintLit(*this, rendered, left, baseY, rows, columns, ink, setAlpha);
        }
    }
    if (screen) ReleaseDC(nullptr, screen);
    return 1;
}

void GwImage::InitTextInfo(tagGwTextInfo* textInfo) {
    if (!textInfo) return;
    std::memset(textInfo, 0, sizeof(*textInfo));
    std::strcpy(textInfo->textBuffer, "Sample Text 01234");
    textInfo->logFont.lfHeight = -36;
    textInfo->logFont.lfWeight = FW_NORMAL;
    textInfo->logFont.lfCharSet = 238;  // Eastern European
    textInfo->logFont.lfQuality = 2;    // proof quality
    std::strcpy(textInfo->logFont.lfFaceName, "Arial");
    textInfo->textColor = 0xA0FFFF;
    textInfo->alignment = 1;
    textInfo->opaque = 1;
    textInfo->boxColor = 0x006020;
    textInfo->boxOpacity = 0.0f;
    textInfo->boxOutline = 0;
    textInfo->boxRounding = 20;
}

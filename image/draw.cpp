// Painting the image into a device context: the AND combination the control paints with,
// general drawing with transparency, alpha blending and scaling, drawing through a mask,
// stretching with a caller's raster operation, and tiling. Rows are handed to the platform as
// the image's own bottom-up DIB (dib = header and palette, pixels = rows), so only the
// blending paths touch pixels themselves, and those only within the visible part of the
// destination.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "image/gw_image.h"
#include "image/pixel_rows.h"
#include "platform/win32.h"

namespace {

// A 24-bit bottom-up DIB section selected into a memory context: the scratch surface on which
// the blending paths compose the visible part of the destination.
class WorkBitmap {
public:
    WorkBitmap(HDC reference, long width, long height) : m_width(width), m_height(height) {
        std::memset(&m_info, 0, sizeof(m_info));
        m_info.biSize = sizeof(BITMAPINFOHEADER);
        m_info.biWidth = width;
        m_info.biHeight = height;
        m_info.biPlanes = 1;
        m_info.biBitCount = 24;
        m_info.biCompression = BI_RGB;
        m_rowBytes = gwpix::RowStride(width, 24);
        m_info.biSizeImage = static_cast<DWORD>(m_rowBytes * static_cast<uint64_t>(height));
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(reference, reinterpret_cast<BITMAPINFO*>(&m_info),
                                    DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<BYTE*>(bits);
        if (!m_bitmap || !m_bits) return;
        m_dc = CreateCompatibleDC(reference);
        if (m_dc) m_old = SelectObject(m_dc, m_bitmap);
    }
    ~WorkBitmap() {
        if (m_dc) {
            if (m_old) SelectObject(m_dc, m_old);
            DeleteDC(m_dc);
        }
        if (m_bitmap) DeleteObject(m_bitmap);
    }
    WorkBitmap(const WorkBitmap&) = delete;
    WorkBitmap& operator=(const WorkBitmap&) = delete;

    bool IsValid() const { return m_dc && m_old && m_bits; }
    HDC Context() const { return m_dc; }
    // Row yy counted from the bottom, as in the image.
    BYTE* Row(long yy) const { return m_bits + static_cast<uint64_t>(yy) * m_rowBytes; }
    // Shows the composed surface at the given device position.
    void ShowAt(HDC dc, long left, long top) const {
        SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(m_width), static_cast<DWORD>(m_height), 0,
                          0, 0, static_cast<UINT>(m_height), m_bits,
                          reinterpret_cast<const BITMAPINFO*>(&m_info), DIB_RGB_COLORS);
    }

private:
    long m_width;
    long m_height;
    uint64_t m_rowBytes = 0;
    BITMAPINFOHEADER m_info;
    HBITMAP m_bitmap = nullptr;
    BYTE* m_bits = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
};

// Device coordinates are 32-bit; a long beyond that range is pinned rather than wrapped.
inline int ToInt(int64_t v) {
    return static_cast<int>(std::min<int64_t>(INT32_MAX, std::max<int64_t>(INT32_MIN, v)));
}

inline long ClampIndex(float v, long limit) {
    const float f = std::floor(v);
    if (!(f > 0.0f)) return 0;  // also catches NaN
    if (f >= static_cast<float>(limit)) return limit - 1;
    return static_cast<long>(f);
}

// The caller's clip rectangle, laid over the device's clip for one Draw and given back after.
class ClipScope {
public:
    ClipScope(HDC dc, const RECT* clip) : m_dc(dc), m_active(clip != nullptr) {
        if (!clip) return;
        GetClipBox(dc, &m_saved);
        IntersectClipRect(dc, clip->left, clip->top, clip->right, clip->bottom);
    }
    ~ClipScope() {
        if (!m_active) return;
        HRGN restore = CreateRectRgnIndirect(&m_saved);
        if (restore) {
            ExtSelectClipRgn(m_dc, restore, RGN_OR);
            DeleteObject(restore);
        }
    }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    HDC m_dc;
    bool m_active;
    RECT m_saved = {0, 0, 0, 0};
};

// The destination rectangle and the part of it the device shows, in 64 bits so that far-away
// positions and huge sizes cannot wrap around.
struct VisiblePart {
    int64_t x0 = 0, y0 = 0;                            // the destination's top left corner
    int64_t left = 0, top = 0, right = 0, bottom = 0;  // what shows of it; empty when nothing does
    int64_t Width() const { return right - left; }
    int64_t Height() const { return bottom - top; }
    bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
};

VisiblePart FindVisiblePart(HDC dc, long x, long y, long cx, long cy) {
    VisiblePart part;
    part.x0 = ToInt(x);
    part.y0 = ToInt(y);
    RECT box = {0, 0, 0, 0};
    // An empty clip leaves a box that means nothing: Windows may give its corners crossed (left
    // beyond right), which would make a large "visible" part outside the picture.
    const int region = GetClipBox(dc, &box);
    if (region == ERROR || region == NULLREGION) return part;
    part.left = std::max<int64_t>(box.left, part.x0);
    part.top = std::max<int64_t>(box.top, part.y0);
    part.right = std::min<int64_t>(box.right, part.x0 + ToInt(cx));
    part.bottom = std::min<int64_t>(box.bottom, part.y0 + ToInt(cy));
    return part;
}

// Composes the visible part of one Draw onto its scratch surface, a row at a time. Scaled (or
// opaque), each surface pixel samples the picture at the matching fraction of its size, held
// inside the picture however large the destination; at the picture's own size the surface is a
// window on it, offset by where the visible part starts. The visible part lies inside the
// destination, so every row and column sampled lies inside the picture.
class Composer {
public:
    Composer(const GwImage& image, const VisiblePart& part, long cx, long cy, bool smooth)
        : m_image(image),
          m_part(part),
          m_width(static_cast<long>(image.GetWidth())),
          m_height(static_cast<long>(image.GetHeight())),
          m_fx(static_cast<float>(m_width) / static_cast<float>(cx)),
          m_fy(static_cast<float>(m_height) / static_cast<float>(cy)),
          m_sameSize(cx == m_width && cy == m_height),
          m_transparent(image.GetTransIndex() != -1),
          m_indexed(image.IsIndexed()),
          m_paletteAlpha(image.AlphaPaletteIsEnabled()),
          m_alpha(image.AlphaGetPointer()),
          m_opaque(!m_transparent && !m_alpha && !m_paletteAlpha),
          m_smooth(smooth && !m_sameSize),
          m_alphaMax(image.AlphaGetMax()),
          m_transRgb(image.GetTransColor()) {}

    // Surface row yy, counted from the bottom like the picture's rows.
    void Row(int64_t yy, BYTE* out) const {
        long sy;
        float dy = 0.0f;
        if (m_opaque || !m_sameSize) {
            dy = static_cast<float>(m_height) - static_cast<float>(m_part.bottom - yy - m_part.y0) * m_fy;
            sy = ClampIndex(dy, m_height);
        } else {
            sy = static_cast<long>(m_height - (m_part.bottom - m_part.y0) + yy);
        }
        const BYTE* row = m_image.GetBits(static_cast<DWORD>(sy));
        for (int64_t xx = 0; xx < m_part.Width(); ++xx, out += 3) {
            long sx;
            float dx = 0.0f;
            if (m_opaque || !m_sameSize) {
                dx = static_cast<float>(xx + m_part.left - m_part.x0) * m_fx;
                sx = ClampIndex(dx, m_width);
            } else {
                sx = static_cast<long>(m_part.left - m_part.x0 + xx);
            }
            const RGBQUAD c = m_smooth ? m_image.GetPixelColorInterpolated(
                                             dx - 0.5f, dy - 0.5f, InterpBilinear, OverflowClamp, nullptr)
                                       : Sample(row, sx);
            if (m_opaque) {
                Put(out, c);
            } else {
                Blend(out, c, row, sx, sy);
            }
        }
    }

private:
    RGBQUAD Sample(const BYTE* row, long sx) const {
        if (m_indexed)
            return m_image.GetPaletteColor(gwpix::GetIndex(row, static_cast<uint64_t>(sx), m_image.GetBpp()));
        const BYTE* p = row + static_cast<size_t>(sx) * 3;
        return RGBQUAD{p[0], p[1], p[2], 0};
    }

    static void Put(BYTE* out, const RGBQUAD& c) {
        out[0] = c.rgbBlue;
        out[1] = c.rgbGreen;
        out[2] = c.rgbRed;
    }

    // Opacity: the pixel's alpha, scaled by the overall opacity and, for palette pictures with
    // palette alpha, by the entry's alpha; transparent pixels and opacity 0 leave what the
    // device shows.
    void Blend(BYTE* out, const RGBQUAD& c, const BYTE* row, long sx, long sy) const {
        unsigned a = m_alpha ? m_alpha[static_cast<size_t>(sy) * static_cast<size_t>(m_width) + sx] : 255u;
        a = (a * (m_alphaMax + 1u)) >> 8;
        if (m_indexed && m_paletteAlpha) a = (a * (c.rgbReserved + 1u)) >> 8;
        if (m_transparent) {
            if (m_indexed) {
                if (gwpix::GetIndex(row, static_cast<uint64_t>(sx), m_image.GetBpp()) ==
                    m_image.GetTransIndex())
                    return;
            } else if (c.rgbBlue == m_transRgb.rgbBlue && c.rgbGreen == m_transRgb.rgbGreen &&
                       c.rgbRed == m_transRgb.rgbRed) {
                return;
            }
        }
        if (a == 0) return;
        if (a >= 255) {
            Put(out, c);
            return;
        }
        out[0] = static_cast<BYTE>((out[0] * (255 - a) + a * c.rgbBlue) >> 8);
        out[1] = static_cast<BYTE>((out[1] * (255 - a) + a * c.rgbGreen) >> 8);
        out[2] = static_cast<BYTE>((out[2] * (255 - a) + a * c.rgbRed) >> 8);
    }

    const GwImage& m_image;
    const VisiblePart& m_part;
    long m_width, m_height;  // the picture
    float m_fx, m_fy;        // picture pixels per destination pixel
    bool m_sameSize, m_transparent, m_indexed, m_paletteAlpha;
    const BYTE* m_alpha;  // the alpha plane, or null
    bool m_opaque, m_smooth;
    unsigned m_alphaMax;
    RGBQUAD m_transRgb;
};

}  // namespace

long GwImage::Draw3(HDC dc, long x, long y, long cx, long cy) {
    if (!dib || !dc || cx == 0 || cy == 0 || !info.paintEnabled) return 0;
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());
    if (cx < 0) cx = width;
    if (cy < 0) cy = height;
    SetStretchBltMode(dc, COLORONCOLOR);
    // The destination keeps only the bits set in both: white image pixels show what is there.
    StretchDIBits(dc, ToInt(x), ToInt(y), ToInt(cx), ToInt(cy), 0, 0, ToInt(width), ToInt(height),
                  info.pixels, reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, SRCAND);
    return 1;
}

long GwImage::Draw3(HDC dc, const RECT& rect) {
    return Draw3(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

long GwImage::Draw(HDC dc, long x, long y, long cx, long cy, RECT* clip, bool smooth) {
    if (!dib || !dc || cx == 0 || cy == 0 || !info.paintEnabled) return 0;
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());
    if (cx < 0) cx = width;
    if (cy < 0) cy = height;

    const ClipScope scope(dc, clip);
    const VisiblePart part = FindVisiblePart(dc, x, y, cx, cy);
    if (part.IsEmpty()) return 1;
    const bool opaque = info.transIndex == -1 && !alpha && !info.alphaPaletteEnabled;
    if (opaque && cx == width && cy == height) {
        SetStretchBltMode(dc, COLORONCOLOR);
        SetDIBitsToDevice(dc, ToInt(part.x0), ToInt(part.y0), static_cast<DWORD>(width),
                          static_cast<DWORD>(height), 0, 0, 0, static_cast<UINT>(height), info.pixels,
                          reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS);
        return 1;
    }
    WorkBitmap work(dc, static_cast<long>(part.Width()), static_cast<long>(part.Height()));
    if (!work.IsValid()) return 1;
    // Blending starts from what the device shows.
    if (!opaque)
        BitBlt(work.Context(), 0, 0, static_cast<int>(part.Width()), static_cast<int>(part.Height()), dc,
               static_cast<int>(part.left), static_cast<int>(part.top), SRCCOPY);
    const Composer composer(*this, part, cx, cy, smooth);
    for (int64_t yy = 0; yy < part.Height(); ++yy) composer.Row(yy, work.Row(static_cast<long>(yy)));
    work.ShowAt(dc, static_cast<long>(part.left), static_cast<long>(part.top));
    return 1;
}

long GwImage::Draw(HDC dc, const RECT& rect, RECT* clip, bool smooth) {
    return Draw(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, clip, smooth);
}

long GwImage::Draw2(HDC dc, long x, long y, long cx, long cy) {
    if (!dib || !dc || cx == 0 || cy == 0 || !info.paintEnabled) return 0;
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());
    if (cx < 0) cx = width;
    if (cy < 0) cy = height;
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(dib);

    if (info.transIndex == -1) {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, ToInt(x), ToInt(y), ToInt(cx), ToInt(cy), 0, 0, ToInt(width), ToInt(height),
                      info.pixels, bmi, DIB_RGB_COLORS, SRCCOPY);
        return 1;
    }
    const RECT dest = {ToInt(x), ToInt(y), ToInt(int64_t{ToInt(x)} + ToInt(cx)),
                       ToInt(int64_t{ToInt(y)} + ToInt(cy))};
    if (!RectVisible(dc, &dest)) return 1;

    HDC colorDc = CreateCompatibleDC(dc);
    HDC maskDc = CreateCompatibleDC(dc);
    HBITMAP colorBitmap = CreateCompatibleBitmap(dc, ToInt(width), ToInt(height));
    HBITMAP maskBitmap = CreateBitmap(ToInt(width), ToInt(height), 1, 1, nullptr);
    if (colorDc && maskDc && colorBitmap && maskBitmap) {
        HGDIOBJ oldColor = SelectObject(colorDc, colorBitmap);
        HGDIOBJ oldMask = SelectObject(maskDc, maskBitmap);
        SetStretchBltMode(colorDc, COLORONCOLOR);
        StretchDIBits(colorDc, 0, 0, ToInt(width), ToInt(height), 0, 0, ToInt(width), ToInt(height),
                      info.pixels, bmi, DIB_RGB_COLORS, SRCCOPY);
        // Copying colour to monochrome marks (1) exactly the pixels of the source context's
        // background colour: the transparent ones.
        const RGBQUAD t =
            GetBpp() == 24 ? info.transColor : GetPaletteColor(static_cast<BYTE>(info.transIndex));
        SetBkColor(colorDc, RGB(t.rgbRed, t.rgbGreen, t.rgbBlue));
        BitBlt(maskDc, 0, 0, ToInt(width), ToInt(height), colorDc, 0, 0, SRCCOPY);

        // dest ^ image, then & mask (transparent: all ones, else zero), then ^ image again:
        // transparent pixels come back to what they were, the others become the image.
        // A monochrome source turns 0 into the text colour and 1 into the background colour,
        // so those two are black and white for the AND; everything is put back afterwards.
        const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        const COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
        const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
        const int dx = ToInt(x), dy = ToInt(y), dw = ToInt(cx), dh = ToInt(cy);
        const int sw = ToInt(width), sh = ToInt(height);
        StretchBlt(dc, dx, dy, dw, dh, colorDc, 0, 0, sw, sh, SRCINVERT);
        StretchBlt(dc, dx, dy, dw, dh, maskDc, 0, 0, sw, sh, SRCAND);
        StretchBlt(dc, dx, dy, dw, dh, colorDc, 0, 0, sw, sh, SRCINVERT);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
        if (oldMode) SetStretchBltMode(dc, oldMode);

        SelectObject(colorDc, oldColor);
        SelectObject(maskDc, oldMask);
    }
    if (maskBitmap) DeleteObject(maskBitmap);
    if (colorBitmap) DeleteObject(colorBitmap);
    if (maskDc) DeleteDC(maskDc);
    if (colorDc) DeleteDC(colorDc);
    return 1;
}

long GwImage::Draw2(HDC dc, const RECT& rect) {
    return Draw2(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

long GwImage::Stretch(HDC dc, long x, long y, long cx, long cy, DWORD rop) {
    if (!dib || !dc) return 0;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, ToInt(x), ToInt(y), ToInt(cx), ToInt(cy), 0, 0, ToInt(GetWidth()), ToInt(GetHeight()),
                  info.pixels, reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, rop);
    return 1;
}

long GwImage::Stretch(HDC dc, const RECT& rect, DWORD rop) {
    return Stretch(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, rop);
}

long GwImage::Tile(HDC dc, RECT* rect) {
    if (!dib || !dc || !rect) return 0;
    const int64_t width = GetWidth();
    const int64_t height = GetHeight();
    // Cells that miss the visible box would draw nothing; skipping them keeps a huge rectangle
    // or a tiny image from costing billions of empty draws.
    RECT visible = {0, 0, 0, 0};
    GetClipBox(dc, &visible);
    int64_t firstRow = rect->top, firstColumn = rect->left;
    if (visible.top > firstRow) firstRow += (visible.top - firstRow) / height * height;
    if (visible.left > firstColumn) firstColumn += (visible.left - firstColumn) / width * width;
    const int64_t lastRow = std::min<int64_t>(rect->bottom, visible.bottom);
    const int64_t lastColumn = std::min<int64_t>(rect->right, visible.right);
    for (int64_t top = firstRow; top < lastRow; top += height) {
        for (int64_t left = firstColumn; left < lastColumn; left += width) {
            RECT cell = {static_cast<LONG>(left), static_cast<LONG>(top),
                         static_cast<LONG>(std::min<int64_t>(left + width, rect->right)),
                         static_cast<LONG>(std::min<int64_t>(top + height, rect->bottom))};
            Draw(dc, static_cast<long>(left), static_cast<long>(top), static_cast<long>(width),
                 static_cast<long>(height), &cell, false);
        }
    }
    return 1;
}

// The control's view for containers that draw it themselves (IViewObject2): the picture drawn
// into any device context (a window's, a printer's, a bitmap's, a metafile's) inside the bounds
// the container gives, the view advise sink, and the repaint requests that reach the container
// through it.
#include <algorithm>
#include <vector>

#include "platform/afx/olecontrol.h"

namespace {
// The control's picture at its own size, as top-down 0x00RRGGBB pixels.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    DWORD fill = 0xFFFFFF;  // what the control paints around its picture
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// One axis of the picture's grid: where its bands of one colour start (every position where
// some row or column changes colour, with 0 and the picture's size at the ends), and the cell,
// the largest side every band inside the margins is a whole number of. A QR symbol's bands are
// its modules, runs of them, and the margins either side.
struct Grid {
    std::vector<int> starts;
    int cell = 1;
};

int Gcd(int a, int b) {
    while (b) {
        const int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

Grid GridOf(const Picture& p, bool across) {
    const int size = across ? p.width : p.height, other = across ? p.height : p.width;
    std::vector<bool> edge(static_cast<size_t>(size) + 1, false);
    edge[0] = edge[size] = true;
    for (int line = 0; line < other; ++line)
        for (int k = 1; k < size; ++k) {
            const DWORD a = across ? p.At(k - 1, line) : p.At(line, k - 1);
            const DWORD b = across ? p.At(k, line) : p.At(line, k);
            if (a != b) edge[k] = true;
        }
    Grid grid;
    for (int k = 0; k <= size; ++k)
        if (edge[k]) grid.starts.push_back(k);
    const size_t bands = grid.starts.size() - 1;
    int cell = 0;
    for (size_t b = 0; b < bands; ++b) {
        const bool margin = bands >= 3 && (b == 0 || b + 1 == bands);
        if (!margin) cell = Gcd(cell, grid.starts[b + 1] - grid.starts[b]);
    }
    grid.cell = std::max(cell, 1);
    return grid;
}

// Device positions of the band edges: `perCell` pixels for each cell, margins in proportion,
// the whole centred in from..to. With perCell 0 (not even a pixel a cell fits), the edges are
// spread in proportion over the span instead.
std::vector<LONG> Edges(const Grid& grid, int perCell, LONG from, LONG to) {
    const int size = grid.starts.back();
    std::vector<LONG> edges(grid.starts.size());
    const long long span = static_cast<long long>(to) - from;
    if (perCell <= 0) {
        for (size_t k = 0; k < edges.size(); ++k) {
            const long long scaled = span * grid.starts[k];
            const long long half = size / 2;
            edges[k] = static_cast<LONG>(from + (scaled >= 0 ? (scaled + half) / size : -((-scaled + half) / size)));
        }
        return edges;
    }
    edges[0] = 0;
    for (size_t k = 1; k < edges.size(); ++k) {
        const int band = grid.starts[k] - grid.starts[k - 1];
        edges[k] = edges[k - 1] + static_cast<LONG>((static_cast<long long>(band) * perCell + grid.cell / 2) / grid.cell);
    }
    const LONG start = static_cast<LONG>(from + (span - edges.back()) / 2);
    for (LONG& e : edges) e += start;
    return edges;
}

COLORREF ToColorRef(DWORD rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// Fills `rect` (either corner first) with one colour.
void FillCells(HDC dc, LONG x0, LONG y0, LONG x1, LONG y1, DWORD colour) {
    const RECT rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    HBRUSH brush = CreateSolidBrush(ToColorRef(colour));
    if (!brush) return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// Draws the fill under the whole bounds, then the picture's blocks of other colours as filled
// rectangles, block (i, j) spanning xs[i]..xs[i+1] and ys[j]..ys[j+1]. Rectangles, not a
// stretched bitmap, so that every module keeps sharp edges at any size and a metafile's
// player draws them at its own resolution.
void PaintBlocks(HDC dc, const Picture& p, const Grid& across, const Grid& down, const std::vector<LONG>& xs,
                 const std::vector<LONG>& ys, const RECTL& whole) {
    FillCells(dc, whole.left, whole.top, whole.right, whole.bottom, p.fill);
    const size_t columns = across.starts.size() - 1, rows = down.starts.size() - 1;
    for (size_t j = 0; j < rows; ++j) {
        const int y = down.starts[j];
        for (size_t i = 0; i < columns;) {
            const DWORD colour = p.At(across.starts[i], y);
            size_t end = i + 1;
            while (end < columns && p.At(across.starts[end], y) == colour) ++end;
            if (colour != p.fill) FillCells(dc, xs[i], ys[j], xs[end], ys[j + 1], colour);
            i = end;
        }
    }
}

bool IsMetafile(HDC dc) {
#ifdef _WIN32
    const DWORD type = GetObjectType(dc);
    return type == OBJ_METADC || type == OBJ_ENHMETADC;
#else
    (void)dc;
    return false;  // the stand-in records no metafiles
#endif
}

// Draws in device pixels for its lifetime: the bounds are taken through the context's mapping
// (any mapping mode, y up or down) to device pixels, normalised, and the context is set to
// draw in those pixels until the scope ends.
class DevicePixels {
public:
    DevicePixels(HDC dc, const RECTL& bounds) {
#ifdef _WIN32
        m_dc = dc;
        POINT corners[2] = {{bounds.left, bounds.top}, {bounds.right, bounds.bottom}};
        LPtoDP(dc, corners, 2);
        m_saved = SaveDC(dc);
        SetMapMode(dc, MM_TEXT);
        SetViewportOrgEx(dc, 0, 0, nullptr);
        SetWindowOrgEx(dc, 0, 0, nullptr);
        m_rect = {std::min(corners[0].x, corners[1].x), std::min(corners[0].y, corners[1].y),
                  std::max(corners[0].x, corners[1].x), std::max(corners[0].y, corners[1].y)};
#else
        (void)dc;
        m_rect = {std::min(bounds.left, bounds.right), std::min(bounds.top, bounds.bottom),
                  std::max(bounds.left, bounds.right), std::max(bounds.top, bounds.bottom)};
#endif
    }
    ~DevicePixels() {
#ifdef _WIN32
        if (m_saved) RestoreDC(m_dc, m_saved);
#endif
    }
    DevicePixels(const DevicePixels&) = delete;
    DevicePixels& operator=(const DevicePixels&) = delete;
    const RECTL& Rect() const { return m_rect; }

private:
#ifdef _WIN32
    HDC m_dc = nullptr;
    int m_saved = 0;
#endif
    RECTL m_rect{0, 0, 0, 0};
};

// The largest picture the view renders to scale; beyond it the control paints at the bounds.
constexpr long long kMaxPicturePixels = 16LL * 1024 * 1024;
}  // namespace

// Paints the control at w × h (bounds at the origin) into a bitmap and returns its pixels as
// 0x00RRGGBB, top-down; empty when no bitmap could be had.
std::vector<DWORD> COleControl::PaintPixels(int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = dib ? CreateCompatibleDC(nullptr) : nullptr;
    if (!memory) {
        if (dib) DeleteObject(dib);
        return {};
    }
    HGDIOBJ old = SelectObject(memory, dib);
    {
        CDC cdc(memory);
        const CRect own(0, 0, w, h);
        OnDraw(&cdc, own, own);
    }
#ifdef _WIN32
    GdiFlush();
#endif
    const DWORD* px = static_cast<const DWORD*>(bits);
    std::vector<DWORD> pixels(px, px + static_cast<size_t>(w) * h);
    for (DWORD& p : pixels) p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
    return pixels;
}

// The control paints its picture at its own size into a bitmap; the bitmap's cells are then
// drawn into the bounds, over the colour the control paints around its picture (learnt from a
// painting one pixel larger). Only a picture too large to hold is painted straight into the
// bounds.
HRESULT COleControl::DrawContent(HDC dc, const RECTL& bounds) {
    const int w = m_extent.cx, h = m_extent.cy;
    if (w <= 0 || h <= 0) return S_OK;  // nothing to show
    if (static_cast<long long>(w + 1) * (h + 1) > kMaxPicturePixels) {
        CDC cdc(dc);
        const CRect rc(bounds.left, bounds.top, bounds.right, bounds.bottom);
        OnDraw(&cdc, rc, rc);
        return S_OK;
    }
    Picture picture;
    picture.width = w;
    picture.height = h;
    picture.pixels = PaintPixels(w, h);
    const std::vector<DWORD> around = PaintPixels(w + 1, h + 1);
    if (picture.pixels.empty() || around.empty()) return E_OUTOFMEMORY;
    picture.fill = around.back();
    const Grid across = GridOf(picture, true), down = GridOf(picture, false);
    if (IsMetafile(dc)) {
        // A metafile keeps the bounds' own units: its player scales them to its device.
        PaintBlocks(dc, picture, across, down, Edges(across, 0, bounds.left, bounds.right),
                    Edges(down, 0, bounds.top, bounds.bottom), bounds);
        return S_OK;
    }
    DevicePixels device(dc, bounds);
    const RECTL& r = device.Rect();
    // The same whole number of pixels a cell both ways, so modules stay square.
    const long long fitAcross = static_cast<long long>(r.right - r.left) * across.cell / w;
    const long long fitDown = static_cast<long long>(r.bottom - r.top) * down.cell / h;
    const int perCell = static_cast<int>(std::min(fitAcross, fitDown));
    PaintBlocks(dc, picture, across, down, Edges(across, perCell, r.left, r.right), Edges(down, perCell, r.top, r.bottom),
                r);
    return S_OK;
}

STDMETHODIMP COleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL bounds,
                               LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (!hdcDraw || !bounds) return E_INVALIDARG;
    switch (aspect) {
        // Printing and thumbnails show what the screen shows.
        case DVASPECT_CONTENT:
        case DVASPECT_DOCPRINT:
        case DVASPECT_THUMBNAIL: return DrawContent(hdcDraw, *bounds);
        case DVASPECT_ICON: return DrawIconAspect(hdcDraw, *bounds);
        default: return DV_E_DVASPECT;
    }
}

// The class's icon as the system shows it for the class (with its name under it), played
// into the bounds; the application icon when the system has none for the class.
HRESULT COleControl::DrawIconAspect(HDC dc, const RECTL& bounds) {
#ifdef _WIN32
    CLSID clsid;
    const HRESULT hr = GetClassID(&clsid);
    if (FAILED(hr)) return hr;
    HGLOBAL picture = OleGetIconOfClass(clsid, nullptr, TRUE);
    if (!picture) {
        // The system has no icon for the class: its application icon, filling the bounds.
        DevicePixels device(dc, bounds);
        const RECTL& r = device.Rect();
        return DrawIconEx(dc, r.left, r.top, LoadIcon(nullptr, IDI_APPLICATION), r.right - r.left, r.bottom - r.top,
                          0, nullptr, DI_NORMAL)
                   ? S_OK
                   : E_FAIL;
    }
    const METAFILEPICT* p = static_cast<const METAFILEPICT*>(GlobalLock(picture));
    if (!p) {
        GlobalFree(picture);
        return E_OUTOFMEMORY;
    }
    POINT corners[2] = {{bounds.left, bounds.top}, {bounds.right, bounds.bottom}};
    LPtoDP(dc, corners, 2);
    const int saved = SaveDC(dc);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetViewportOrgEx(dc, corners[0].x, corners[0].y, nullptr);
    SetViewportExtEx(dc, corners[1].x - corners[0].x, corners[1].y - corners[0].y, nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, p->xExt, p->yExt, nullptr);
    const BOOL played = PlayMetaFile(dc, p->hMF);
    RestoreDC(dc, saved);
    DeleteMetaFile(p->hMF);
    GlobalUnlock(picture);
    GlobalFree(picture);
    return played ? S_OK : E_FAIL;
#else
    (void)dc;
    (void)bounds;
    return DV_E_DVASPECT;  // the stand-in keeps no icons for classes
#endif
}

STDMETHODIMP COleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colorSet) {
    if (colorSet) *colorSet = nullptr;
    return S_FALSE;  // no palette of its own
}
STDMETHODIMP COleControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}
STDMETHODIMP COleControl::Unfreeze(DWORD) { return E_NOTIMPL; }
STDMETHODIMP COleControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    m_view.sink = CInterfacePtr<IAdviseSink>(sink);
    m_view.aspects = aspects;
    m_view.advf = advf;
    if (sink && (advf & ADVF_PRIMEFIRST)) SendViewChange();
    return S_OK;
}
STDMETHODIMP COleControl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    if (aspects) *aspects = m_view.aspects;
    if (advf) *advf = m_view.advf;
    if (sink) *sink = m_view.sink.CopyOut();
    return S_OK;
}
// Printing and thumbnails have the content's size.
STDMETHODIMP COleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    if (aspect == DVASPECT_DOCPRINT || aspect == DVASPECT_THUMBNAIL) aspect = DVASPECT_CONTENT;
    return GetExtent(aspect, size);
}

void COleControl::SendViewChange() {
    if (!m_view.sink || !(m_view.aspects & DVASPECT_CONTENT)) return;
    const CInterfacePtr<IAdviseSink> sink = m_view.sink;
    if (m_view.advf & ADVF_ONLYONCE) m_view.sink.Release();
    sink->OnViewChange(DVASPECT_CONTENT, -1);
}

void COleControl::InvalidateControl(LPCRECT rect) {
    if (m_inPlace.hWnd) InvalidateRect(m_inPlace.hWnd, rect, FALSE);
    else SendViewChange();
    SendDataChange();
}

void COleControl::OnDraw(CDC*, const CRect&, const CRect&) {}

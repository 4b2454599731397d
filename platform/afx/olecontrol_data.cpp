// The control's data transfer (IDataObject): its picture as an enhanced metafile, a metafile
// picture, a device-independent and a device-dependent bitmap, for the clipboard, drag and
// drop and a document's cached presentation, and the data advise sinks told when it changes.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/afx/objectfactory.h"
#include "platform/afx/olecontrol.h"
#include "platform/afx/snapshot_enum.h"
#include "platform/com/memory_stream.h"

namespace {
struct OfferedFormat {
    CLIPFORMAT format;
    DWORD tymed;
};
// Metafiles first: they scale without loss, so containers that take the first they can use
// get the sharpest picture. The stand-in records no metafiles.
const OfferedFormat kOffered[] = {
#ifdef _WIN32
    {CF_ENHMETAFILE, TYMED_ENHMF},
    {CF_METAFILEPICT, TYMED_MFPICT},
#endif
    {CF_DIB, TYMED_HGLOBAL},
    {CF_BITMAP, TYMED_GDI},
};

bool DrawnAspect(DWORD aspect) {
    return aspect == DVASPECT_CONTENT || aspect == DVASPECT_DOCPRINT || aspect == DVASPECT_THUMBNAIL;
}

HRESULT CheckFormat(const FORMATETC* f) {
    if (!f) return E_INVALIDARG;
    for (const OfferedFormat& offered : kOffered) {
        if (offered.format != f->cfFormat) continue;
        if (!DrawnAspect(f->dwAspect)) return DV_E_DVASPECT;
        if (f->lindex != -1) return DV_E_LINDEX;
        return f->tymed & offered.tymed ? S_OK : DV_E_TYMED;
    }
    return DV_E_FORMATETC;
}
}  // namespace

// The picture as the view draws it at the control's own size, into a memory context
// holding `bitmap`.
bool COleControl::PaintIntoBitmap(HBITMAP bitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, bitmap);
    const HRESULT hr = DrawContent(dc, RECTL{0, 0, m_extent.cx, m_extent.cy});
    SelectObject(dc, old);
    DeleteDC(dc);
    return SUCCEEDED(hr);
}

// A packed 24-bit bottom-up DIB (header, then rows) in movable global memory.
HGLOBAL COleControl::RenderDib() {
    const int w = std::max(m_extent.cx, 1), h = std::max(m_extent.cy, 1);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    const size_t imageBytes = stride * static_cast<size_t>(h);
    info.bmiHeader.biSizeImage = static_cast<DWORD>(imageBytes);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib) return nullptr;
    HGLOBAL packed = nullptr;
    if (PaintIntoBitmap(dib)) {
#ifdef _WIN32
        GdiFlush();
#endif
        packed = GlobalAlloc(GMEM_MOVEABLE, sizeof info.bmiHeader + imageBytes);
        BYTE* p = packed ? static_cast<BYTE*>(GlobalLock(packed)) : nullptr;
        if (p) {
            std::memcpy(p, &info.bmiHeader, sizeof info.bmiHeader);
            std::memcpy(p + sizeof info.bmiHeader, bits, imageBytes);
            GlobalUnlock(packed);
        } else if (packed) {
            GlobalFree(packed);
            packed = nullptr;
        }
    }
    DeleteObject(dib);
    return packed;
}

// A bitmap compatible with the screen.
HBITMAP COleControl::RenderBitmap() {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = screen ? CreateCompatibleBitmap(screen, std::max(m_extent.cx, 1), std::max(m_extent.cy, 1)) : nullptr;
    if (screen) ReleaseDC(nullptr, screen);
    if (bitmap && !PaintIntoBitmap(bitmap)) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    return bitmap;
}

#ifdef _WIN32
// Recorded against the screen, in its pixels, framed by the extent in HIMETRIC: a player maps
// the frame to its rectangle, and the cells are rectangles it draws at its own resolution.
HENHMETAFILE COleControl::RenderEnhMetafile() {
    const RECT frame{0, 0, m_extent.himetric.cx, m_extent.himetric.cy};
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    if (!dc) return nullptr;
    DrawContent(dc, RECTL{0, 0, m_extent.cx, m_extent.cy});
    return CloseEnhMetaFile(dc);
}

// The usual OLE metafile picture: anisotropic, its window the control's pixels, its extent in
// HIMETRIC, so that the player scales it to whatever rectangle it gives.
HGLOBAL COleControl::RenderMetafilePict() {
    HDC dc = CreateMetaFileW(nullptr);
    if (!dc) return nullptr;
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, std::max(m_extent.cx, 1), std::max(m_extent.cy, 1), nullptr);
    DrawContent(dc, RECTL{0, 0, m_extent.cx, m_extent.cy});
    HMETAFILE metafile = CloseMetaFile(dc);
    if (!metafile) return nullptr;
    HGLOBAL picture = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    METAFILEPICT* p = picture ? static_cast<METAFILEPICT*>(GlobalLock(picture)) : nullptr;
    if (!p) {
        if (picture) GlobalFree(picture);
        DeleteMetaFile(metafile);
        return nullptr;
    }
    p->mm = MM_ANISOTROPIC;
    p->xExt = m_extent.himetric.cx;
    p->yExt = m_extent.himetric.cy;
    p->hMF = metafile;
    GlobalUnlock(picture);
    return picture;
}
#endif

STDMETHODIMP COleControl::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!medium) return E_INVALIDARG;
    std::memset(medium, 0, sizeof *medium);
    const HRESULT hr = CheckFormat(format);
    if (FAILED(hr)) return hr;
    switch (format->cfFormat) {
#ifdef _WIN32
        case CF_ENHMETAFILE:
            medium->tymed = TYMED_ENHMF;
            medium->hEnhMetaFile = RenderEnhMetafile();
            break;
        case CF_METAFILEPICT:
            medium->tymed = TYMED_MFPICT;
            medium->hMetaFilePict = RenderMetafilePict();
            break;
#endif
        case CF_DIB:
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = RenderDib();
            break;
        default:
            medium->tymed = TYMED_GDI;
            medium->hBitmap = RenderBitmap();
            break;
    }
    if (!medium->hGlobal && !medium->hBitmap) {
        medium->tymed = TYMED_NULL;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Only the bitmap in global memory can go into a medium the caller owns; it must be large
// enough, since it is not the callee's to grow.
STDMETHODIMP COleControl::GetDataHere(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_INVALIDARG;
    const HRESULT hr = CheckFormat(format);
    if (FAILED(hr)) return hr;
    if (format->cfFormat != CF_DIB || medium->tymed != TYMED_HGLOBAL || !medium->hGlobal) return DV_E_TYMED;
    HGLOBAL dib = RenderDib();
    if (!dib) return E_OUTOFMEMORY;
    const SIZE_T size = GlobalSize(dib);
    HRESULT result = STG_E_MEDIUMFULL;
    if (GlobalSize(medium->hGlobal) >= size) {
        void* to = GlobalLock(medium->hGlobal);
        const void* from = GlobalLock(dib);
        if (to && from) {
            std::memcpy(to, from, size);
            result = S_OK;
        } else {
            result = E_OUTOFMEMORY;
        }
        if (from) GlobalUnlock(dib);
        if (to) GlobalUnlock(medium->hGlobal);
    }
    GlobalFree(dib);
    return result;
}

STDMETHODIMP COleControl::QueryGetData(FORMATETC* format) { return CheckFormat(format); }

STDMETHODIMP COleControl::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
    if (!in || !out) return E_INVALIDARG;
    *out = *in;
    out->ptd = nullptr;  // the picture is the same for every target device
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP COleControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
    if (!formats) return E_INVALIDARG;
    *formats = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;  // nothing can be set
    std::vector<FORMATETC> items;
    for (const OfferedFormat& offered : kOffered)
        items.push_back({offered.format, nullptr, DVASPECT_CONTENT, -1, offered.tymed});
    *formats = new CSnapshotEnum<IEnumFORMATETC, FORMATETC>(IID_IEnumFORMATETC, items);
    return S_OK;
}

STDMETHODIMP COleControl::DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) {
    if (!connection) return E_INVALIDARG;
    *connection = 0;
    if (!format || !sink) return E_INVALIDARG;
    const HRESULT hr = CheckFormat(format);
    if (FAILED(hr)) return hr;
    DataSink added{++m_data.lastCookie, *format, advf, CInterfacePtr<IAdviseSink>(sink)};
    added.format.ptd = nullptr;
    if (advf & ADVF_PRIMEFIRST) {
        TellDataSink(added);
        if (advf & ADVF_ONLYONCE) {
            *connection = added.cookie;
            return S_OK;
        }
    }
    *connection = added.cookie;
    m_data.sinks.push_back(std::move(added));
    return S_OK;
}

STDMETHODIMP COleControl::DUnadvise(DWORD connection) {
    for (auto it = m_data.sinks.begin(); it != m_data.sinks.end(); ++it) {
        if (it->cookie != connection) continue;
        const DataSink gone = std::move(*it);  // let go once out of the list
        m_data.sinks.erase(it);
        return S_OK;
    }
    return OLE_E_NOCONNECTION;
}

STDMETHODIMP COleControl::EnumDAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

void COleControl::TellDataSink(const DataSink& s) {
    FORMATETC format = s.format;
    STGMEDIUM medium;
    std::memset(&medium, 0, sizeof medium);
    if (!(s.advf & ADVF_NODATA) && FAILED(GetData(&format, &medium))) return;
    s.sink->OnDataChange(&format, &medium);
    if (medium.tymed != TYMED_NULL) ReleaseStgMedium(&medium);
}

void COleControl::SendDataChange() {
    // A copy, each sink held for its call: a sink may unadvise as it is told.
    const std::vector<DataSink> sinks = m_data.sinks;
    for (const DataSink& s : sinks) {
        TellDataSink(s);
        if (s.advf & ADVF_ONLYONCE) DUnadvise(s.cookie);
    }
    UpdateCache();
}

// The clipboard gets a copy of the control as it stands, not the control itself: later
// changes do not reach what was copied.
STDMETHODIMP COleControl::GetClipboardData(DWORD, IDataObject** data) {
    if (!data) return E_POINTER;
    *data = nullptr;
    CLSID clsid;
    HRESULT hr = GetClassID(&clsid);
    if (FAILED(hr)) return hr;
    COleObjectFactory* factory = COleObjectFactory::Find(clsid);
    if (!factory) return E_NOTIMPL;
    CInterfacePtr<IPersistStreamInit> copy;
    hr = factory->CreateInstance(nullptr, IID_IPersistStreamInit, copy.ReceiveVoid());
    if (FAILED(hr)) return hr;
    const auto state = CInterfacePtr<GwMemoryStream>::Adopt(new GwMemoryStream);
    hr = Save(static_cast<IStream*>(state.Get()), FALSE);
    if (SUCCEEDED(hr)) {
        const auto reading = CInterfacePtr<GwMemoryStream>::Adopt(new GwMemoryStream(state->Bytes()));
        hr = copy->Load(reading.Get());
    }
    if (SUCCEEDED(hr)) hr = copy->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(data));
    return hr;
}

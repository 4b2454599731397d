// The control's view for containers that draw it themselves (IViewObject2): drawing, the view
// advise sink and the repaint requests that reach the container through it.
#include "platform/afx/olecontrol.h"

STDMETHODIMP COleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL bounds,
                               LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (!hdcDraw || !bounds) return E_INVALIDARG;
    CDC dc(hdcDraw);
    const CRect rc(bounds->left, bounds->top, bounds->right, bounds->bottom);
    OnDraw(&dc, rc, rc);
    return S_OK;
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
STDMETHODIMP COleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
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
}

void COleControl::OnDraw(CDC*, const CRect&, const CRect&) {}

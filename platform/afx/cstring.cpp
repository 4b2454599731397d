#include "platform/afx/cstring.h"

#include "platform/afx/resources.h"

BSTR CString::AllocSysString() const {
    const GwOleString w = GwWideFromAnsi(m_bytes.data(), m_bytes.size());
    return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

void CString::SetFromBSTR(BSTR text) { m_bytes = text ? GwAnsiFromWide(text, SysStringLen(text)) : std::string(); }

BOOL CString::LoadString(UINT id) {
    std::string s;
    const bool ok = AfxLoadStringBytes(AfxGetResourceHandle(), id, &s);
    m_bytes = ok ? s : std::string();
    return ok ? TRUE : FALSE;
}

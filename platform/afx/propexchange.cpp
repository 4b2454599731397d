#include "platform/afx/propexchange.h"

#include <cstring>
#include <vector>

namespace {
// A stored string longer than this is taken for damage, not allocated.
const DWORD kMaxStoredString = 1u << 20;

void CopyDefault(VARTYPE vt, void* prop, const void* def) {
    switch (vt) {
        case VT_I2: *static_cast<short*>(prop) = def ? *static_cast<const short*>(def) : 0; break;
        case VT_I4: *static_cast<LONG*>(prop) = def ? *static_cast<const LONG*>(def) : 0; break;
        case VT_BOOL: *static_cast<BOOL*>(prop) = def ? *static_cast<const BOOL*>(def) : FALSE; break;
        case VT_UI4: *static_cast<DWORD*>(prop) = def ? *static_cast<const DWORD*>(def) : 0; break;
        case VT_BSTR: *static_cast<CString*>(prop) = def ? *static_cast<const CString*>(def) : CString(); break;
        default: break;
    }
}
}  // namespace

CArchivePropExchange::CArchivePropExchange(CArchive& ar) : m_ar(ar) { m_bLoading = ar.IsLoading(); }

BOOL CArchivePropExchange::ExchangeVersion(DWORD& version, DWORD defaultVersion, BOOL convert) {
    if (!m_bLoading) {
        m_ar << version;
        m_dwVersion = version;
        return TRUE;
    }
    DWORD stored = 0;
    if (m_bFailed || m_ar.Read(&stored, 4) != 4) {
        m_bFailed = true;
        m_dwVersion = version = defaultVersion;
        return FALSE;
    }
    m_dwVersion = stored;
    if (stored > defaultVersion && !convert) {
        m_bFailed = true;
        return FALSE;
    }
    version = stored;
    return TRUE;
}

BOOL CArchivePropExchange::ExchangeProp(const char*, VARTYPE vt, void* prop, const void* def) {
    if (!m_bLoading) {
        m_ar << static_cast<WORD>(vt);
        switch (vt) {
            case VT_I2: m_ar << static_cast<WORD>(*static_cast<short*>(prop)); break;
            case VT_I4: m_ar << *static_cast<LONG*>(prop); break;
            case VT_BOOL: m_ar << static_cast<BYTE>(*static_cast<BOOL*>(prop) ? 1 : 0); break;
            case VT_UI4: m_ar << *static_cast<DWORD*>(prop); break;
            case VT_BSTR: {
                const CString& s = *static_cast<CString*>(prop);
                m_ar << static_cast<DWORD>(s.GetLength());
                m_ar.Write(s.GetString(), static_cast<UINT>(s.GetLength()));
                break;
            }
            default: return FALSE;
        }
        return TRUE;
    }
    WORD tag = 0;
    if (m_bFailed || m_ar.Read(&tag, 2) != 2 || tag != vt) {
        m_bFailed = true;
        CopyDefault(vt, prop, def);
        return FALSE;
    }
    bool ok = true;
    switch (vt) {
        case VT_I2: {
            WORD w = 0;
            ok = m_ar.Read(&w, 2) == 2;
            if (ok) *static_cast<short*>(prop) = static_cast<short>(w);
            break;
        }
        case VT_I4: case VT_UI4: {
            DWORD d = 0;
            ok = m_ar.Read(&d, 4) == 4;
            if (ok) std::memcpy(prop, &d, 4);
            break;
        }
        case VT_BOOL: {
            BYTE b = 0;
            ok = m_ar.Read(&b, 1) == 1;
            if (ok) *static_cast<BOOL*>(prop) = b ? TRUE : FALSE;
            break;
        }
        case VT_BSTR: {
            DWORD len = 0;
            ok = m_ar.Read(&len, 4) == 4 && len <= kMaxStoredString;
            if (ok) {
                std::vector<char> bytes(len);
                ok = m_ar.Read(bytes.data(), len) == len;
                if (ok) *static_cast<CString*>(prop) = CString(bytes.data(), static_cast<int>(len));
            }
            break;
        }
        default: ok = false;
    }
    if (!ok) {
        m_bFailed = true;
        CopyDefault(vt, prop, def);
        return FALSE;
    }
    return TRUE;
}

BOOL CResetPropExchange::ExchangeVersion(DWORD& version, DWORD defaultVersion, BOOL) {
    m_dwVersion = version = defaultVersion;
    return TRUE;
}

BOOL CResetPropExchange::ExchangeProp(const char*, VARTYPE vt, void* prop, const void* def) {
    CopyDefault(vt, prop, def);
    return TRUE;
}

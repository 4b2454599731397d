// Property exchange: one DoPropExchange routine serves loading, saving and resetting a
// control's named properties. The control first exchanges its version; the exchange object
// keeps the version it met on load.
#pragma once

#include "platform/afx/archive.h"
#include "platform/afx/cstring.h"

class CPropExchange {
public:
    virtual ~CPropExchange() = default;
    BOOL IsLoading() const { return m_bLoading; }
    // The version met on load (or written on save).
    DWORD GetVersion() const { return m_dwVersion; }
    // Saving writes `version`; loading reads the stored version into `version` (the default when
    // none is stored). A stored version newer than `version` is refused unless `convert` is set.
    virtual BOOL ExchangeVersion(DWORD& version, DWORD defaultVersion, BOOL convert) = 0;
    // `prop` points at a value of type vt (VT_I2 short, VT_I4 LONG, VT_BOOL BOOL, VT_UI4 DWORD,
    // VT_BSTR CString); `defaultValue` (same type, may be null) is used on reset and on a
    // missing stored value.
    virtual BOOL ExchangeProp(const char* name, VARTYPE vt, void* prop, const void* defaultValue) = 0;

protected:
    BOOL m_bLoading = FALSE;
    DWORD m_dwVersion = 0;
};

// Exchange through an archive: values in call order, each tagged with its type so that a
// reader can tell a damaged stream from a good one (a mismatch stops the exchange).
class CArchivePropExchange : public CPropExchange {
public:
    explicit CArchivePropExchange(CArchive& ar);
    BOOL ExchangeVersion(DWORD& version, DWORD defaultVersion, BOOL convert) override;
    BOOL ExchangeProp(const char* name, VARTYPE vt, void* prop, const void* defaultValue) override;
    bool Failed() const { return m_bFailed; }

private:
    CArchive& m_ar;
    bool m_bFailed = false;
};

// Reset: every property takes its default, the version is the control's own.
class CResetPropExchange : public CPropExchange {
public:
    CResetPropExchange() { m_bLoading = TRUE; }
    BOOL ExchangeVersion(DWORD& version, DWORD defaultVersion, BOOL convert) override;
    BOOL ExchangeProp(const char* name, VARTYPE vt, void* prop, const void* defaultValue) override;
};

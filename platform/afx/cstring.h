// The framework's string: a byte string in the system's ANSI code page that may hold zero
// bytes. Automation hands strings over as UTF-16 BSTRs; the conversions live here.
#pragma once

#include <string>

#include "platform/com/variant.h"

class CString {
public:
    CString() = default;
    CString(const char* text) : m_bytes(text ? text : "") {}  // NOLINT: implicit, as the framework's
    CString(const char* bytes, int length) : m_bytes(bytes, bytes + (length > 0 ? length : 0)) {}
    explicit CString(const std::string& bytes) : m_bytes(bytes) {}

    // Length in bytes; embedded zero bytes count.
    int GetLength() const { return static_cast<int>(m_bytes.size()); }
    bool IsEmpty() const { return m_bytes.empty(); }
    void Empty() { m_bytes.clear(); }
    const char* GetString() const { return m_bytes.c_str(); }
    operator const char*() const { return m_bytes.c_str(); }  // NOLINT
    const std::string& Bytes() const { return m_bytes; }

    // A new BSTR holding the text in UTF-16; the caller frees it with SysFreeString.
    BSTR AllocSysString() const;
    // Takes a BSTR's text, converted to the ANSI code page.
    void SetFromBSTR(BSTR text);
    // Loads string `id` from the current module's string table; false (and empty) when absent.
    BOOL LoadString(UINT id);

    bool operator==(const CString& o) const { return m_bytes == o.m_bytes; }
    bool operator!=(const CString& o) const { return m_bytes != o.m_bytes; }
    CString& operator+=(const CString& o) {
        m_bytes += o.m_bytes;
        return *this;
    }

private:
    std::string m_bytes;
};

#include "platform/com/variant.h"

#include <cctype>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {
// The BSTR block: a 32-bit byte count, the characters, two zero bytes.
BSTR AllocBytes(const void* data, UINT bytes) {
    char* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + static_cast<size_t>(bytes) + 2));
    if (!block) return nullptr;
    const uint32_t count = bytes;
    std::memcpy(block, &count, sizeof count);
    if (data) std::memcpy(block + 4, data, bytes);
    else std::memset(block + 4, 0, bytes);
    block[4 + bytes] = 0;
    block[5 + bytes] = 0;
    return reinterpret_cast<BSTR>(block + 4);
}

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    UINT n = 0;
    while (text[n]) ++n;
    return SysAllocStringLen(text, n);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > 0x3FFFFFFF) return nullptr;
    return AllocBytes(text, length * 2);
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) {
    if (length > 0x7FFFFFF0) return nullptr;
    return AllocBytes(bytes, length);
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<char*>(text) - 4);
}

UINT SysStringByteLen(BSTR text) {
    if (!text) return 0;
    uint32_t count;
    std::memcpy(&count, reinterpret_cast<char*>(text) - 4, sizeof count);
    return count;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / 2; }

void VariantInit(VARIANT* v) {
    std::memset(v, 0, sizeof *v);
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(src->bstrVal), SysStringByteLen(src->bstrVal));
        if (!copy.bstrVal) return E_OUTOFMEMORY;
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

namespace {
bool ParseNumber(const OLECHAR* text, UINT len, double* out) {
    std::string s = GwAnsiFromWide(text, len);
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    s = s.substr(b, e - b);
    if (s.empty()) return false;
    bool neg = false;
    size_t p = 0;
    if (s[p] == '-' || s[p] == '+') {
        neg = s[p] == '-';
        ++p;
    }
    if (s.size() > p + 2 && ((s[p] == '&' && (s[p + 1] == 'H' || s[p + 1] == 'h')) ||
                             (s[p] == '0' && (s[p + 1] == 'x' || s[p + 1] == 'X')))) {
        double v = 0;
        for (size_t i = p + 2; i < s.size(); ++i) {
            const int c = static_cast<unsigned char>(s[i]);
            if (!std::isxdigit(c)) return false;
            v = v * 16 + (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
        }
        *out = neg ? -v : v;
        return true;
    }
    for (size_t i = p; i < s.size(); ++i) {
        const char c = s[i];
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != 'e' && c != 'E' && c != '-' && c != '+')
            return false;
    }
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (!end || *end != '\0' || std::isnan(v)) return false;
    *out = v;
    return true;
}

bool ParseBool(const OLECHAR* text, UINT len, bool* out) {
    std::string s = GwAnsiFromWide(text, len);
    std::string t;
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) t.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (t == "true" || t == "#true#") { *out = true; return true; }
    if (t == "false" || t == "#false#") { *out = false; return true; }
    double d;
    if (!ParseNumber(text, len, &d)) return false;
    *out = d != 0;
    return true;
}

HRESULT SourceNumber(const VARIANT* src, double* out) {
    switch (src->vt) {
        case VT_EMPTY: *out = 0; return S_OK;
        case VT_I2: *out = src->iVal; return S_OK;
        case VT_I4: *out = src->lVal; return S_OK;
        case VT_UI1: *out = src->bVal; return S_OK;
        case VT_UI4: *out = src->ulVal; return S_OK;
        case VT_R8: *out = src->dblVal; return std::isnan(src->dblVal) ? DISP_E_OVERFLOW : S_OK;
        case VT_BOOL: *out = src->boolVal ? -1 : 0; return S_OK;
        case VT_BSTR: return ParseNumber(src->bstrVal, SysStringLen(src->bstrVal), out) ? S_OK : DISP_E_TYPEMISMATCH;
        default: return DISP_E_TYPEMISMATCH;
    }
}

// Automation rounds halves to even when a fraction becomes an integer.
double RoundHalfEven(double v) {
    const double r = std::nearbyint(v);  // default rounding mode is to nearest, ties to even
    return r;
}
}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD /*flags*/, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    VARIANT result;
    VariantInit(&result);
    result.vt = vt;
    if (src->vt == vt) return VariantCopy(dest, src);
    switch (vt) {
        case VT_EMPTY:
            break;
        case VT_I2: case VT_I4: case VT_UI1: case VT_UI4: case VT_R8: {
            double d;
            const HRESULT hr = SourceNumber(src, &d);
            if (FAILED(hr)) return hr;
            if (vt == VT_R8) { result.dblVal = d; break; }
            d = RoundHalfEven(d);
            double lo = 0, hi = 0;
            if (vt == VT_I2) { lo = -32768; hi = 32767; }
            if (vt == VT_I4) { lo = -2147483648.0; hi = 2147483647.0; }
            if (vt == VT_UI1) { lo = 0; hi = 255; }
            if (vt == VT_UI4) { lo = 0; hi = 4294967295.0; }
            // A boolean true (-1) read as an unsigned value keeps all its bits, as automation does.
            if (src->vt == VT_BOOL && d == -1 && (vt == VT_UI1 || vt == VT_UI4)) d = hi;
            if (d < lo || d > hi) return DISP_E_OVERFLOW;
            if (vt == VT_I2) result.iVal = static_cast<SHORT>(d);
            if (vt == VT_I4) result.lVal = static_cast<LONG>(d);
            if (vt == VT_UI1) result.bVal = static_cast<BYTE>(d);
            if (vt == VT_UI4) result.ulVal = static_cast<ULONG>(d);
            break;
        }
        case VT_BOOL: {
            if (src->vt == VT_BSTR) {
                bool b;
                if (!ParseBool(src->bstrVal, SysStringLen(src->bstrVal), &b)) return DISP_E_TYPEMISMATCH;
                result.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            }
            double d;
            const HRESULT hr = SourceNumber(src, &d);
            if (FAILED(hr)) return hr;
            result.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        }
        case VT_BSTR: {
            std::string text;
            char buf[64];
            switch (src->vt) {
                case VT_EMPTY: break;
                case VT_I2: std::snprintf(buf, sizeof buf, "%d", src->iVal); text = buf; break;
                case VT_I4: std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(src->lVal)); text = buf; break;
                case VT_UI1: std::snprintf(buf, sizeof buf, "%u", src->bVal); text = buf; break;
                case VT_UI4: std::snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(src->ulVal)); text = buf; break;
                case VT_R8: std::snprintf(buf, sizeof buf, "%.15g", src->dblVal); text = buf; break;
                case VT_BOOL: text = src->boolVal ? "True" : "False"; break;
                default: return DISP_E_TYPEMISMATCH;
            }
            const GwOleString w = GwWideFromAnsi(text.data(), text.size());
            result.bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
            if (!result.bstrVal) return E_OUTOFMEMORY;
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    VariantClear(dest);
    *dest = result;
    return S_OK;
}

// Automation values: BSTR strings (length-prefixed UTF-16 on the C heap) and the VARIANT
// with the conversions that property sets rely on. A value that cannot become the wanted
// type is refused with DISP_E_TYPEMISMATCH (DISP_E_OVERFLOW when it is out of range) and
// the destination is left as it was.
#pragma once

#include <string>

#include "platform/com/guid.h"

#ifndef _WIN32
// UTF-16 code units: char16_t here, wchar_t on Windows; OLESTR("...") spells a literal of them.
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
#define OLESTR(text) u##text
typedef OLECHAR* BSTR;
typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)
typedef DWORD OLE_COLOR;

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_UI4 = 19,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_USERDEFINED = 29,
};

struct IUnknown;
struct IDispatch;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        ULONG ulVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
    };
};
typedef VARIANT VARIANTARG;

// BSTR: the length word sits in front of the characters; the string is zero-terminated too.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// Holds `length` raw bytes (not characters); used for byte strings carried in a BSTR.
BSTR SysAllocStringByteLen(const char* bytes, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

#endif  // !_WIN32

// UTF-16 text in the platform's own character type.
typedef std::basic_string<OLECHAR> GwOleString;

// Conversions between UTF-16 and the byte strings of the system's ANSI code page
// (Windows-1252 here: what a Western-European Windows uses, and what a QR byte-mode
// reader assumes); characters the code page lacks become '?'.
std::string GwAnsiFromWide(const OLECHAR* text, size_t length);
GwOleString GwWideFromAnsi(const char* bytes, size_t length);
// UTF-8 <-> UTF-16 for hosts that speak UTF-8 (the command line); malformed bytes become U+FFFD.
GwOleString GwWideFromUtf8(const std::string& text);
std::string GwUtf8FromWide(const OLECHAR* text, size_t length);
BSTR GwAllocBstrFromUtf8(const std::string& text);

#ifndef _WIN32

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts src to type vt into dest (dest may equal src). Handles VT_EMPTY, VT_I2, VT_I4,
// VT_UI1, VT_UI4, VT_R8, VT_BOOL and VT_BSTR in every direction; strings parse as decimal
// numbers (or "&H"/"0x" hex) and as True/False.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD flags, VARTYPE vt);

// The COLORREF an OLE_COLOR stands for: the system colour of the index in its low bytes when
// its high byte is 0x80 (GetSysColor), otherwise itself (high byte 0, or the palette forms 0x01
// and 0x02). E_INVALIDARG for any other high byte or an index without a system colour.
HRESULT OleTranslateColor(OLE_COLOR color, HPALETTE palette, COLORREF* result);

#endif  // !_WIN32

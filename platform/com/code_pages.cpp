// Code-page conversions of the stand-in: the ANSI code page through the framework's own table,
// UTF-8 by hand, and Shift JIS through the C library's converter for Microsoft's code page 932.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/com/variant.h"
#include "platform/kernel/kernel.h"

namespace {

// Converts with iconv; false when a character has no form in the target or the input is
// malformed.
bool Iconv(const char* to, const char* from, const char* in, size_t inBytes, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out->clear();
    char buffer[256];
    char* src = const_cast<char*>(in);
    bool ok = true;
    while (inBytes > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        const size_t r = iconv(cd, &src, &inBytes, &dst, &room);
        out->append(buffer, static_cast<size_t>(dst - buffer));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

// One UTF-16 character (a surrogate pair counts as one) from text[i]; returns its length.
size_t CharacterAt(LPCWSTR text, size_t n, size_t i) {
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        return 2;
    return 1;
}

std::string ShiftJisFrom(LPCWSTR text, size_t n, bool* lacked) {
    std::string out;
    for (size_t i = 0; i < n;) {
        const size_t len = CharacterAt(text, n, i);
        std::string bytes;
        if (Iconv("CP932", "UTF-16LE", reinterpret_cast<const char*>(text + i), len * 2, &bytes) && !bytes.empty()) {
            out += bytes;
        } else {
            out.push_back('?');
            *lacked = true;
        }
        i += len;
    }
    return out;
}

// The bytes of a code page for the text, or false for a code page the stand-in lacks.
bool Encode(UINT codePage, LPCWSTR text, size_t n, std::string* out, bool* lacked) {
    *lacked = false;
    switch (codePage) {
        case CP_ACP: {
            *out = GwAnsiFromWide(text, n);
            // The framework's conversion writes '?' for what it lacks: a '?' that was not one.
            size_t k = 0;
            for (size_t i = 0; i < n; i += CharacterAt(text, n, i), ++k)
                if ((*out)[k] == '?' && text[i] != u'?') *lacked = true;
            return true;
        }
        case CP_UTF8: *out = GwUtf8FromWide(text, n); return true;
        case 932: *out = ShiftJisFrom(text, n, lacked); return true;
        default: return false;
    }
}

bool Decode(UINT codePage, LPCSTR bytes, size_t n, GwOleString* out, bool* invalid) {
    *invalid = false;
    switch (codePage) {
        case CP_ACP: *out = GwWideFromAnsi(bytes, n); return true;
        case CP_UTF8: {
            const std::string s(bytes, n);
            *out = GwWideFromUtf8(s);
            *invalid = GwUtf8FromWide(out->data(), out->size()) != s;
            return true;
        }
        case 932: {
            std::string utf16;
            if (!Iconv("UTF-16LE", "CP932", bytes, n, &utf16)) *invalid = true;
            out->assign(reinterpret_cast<const OLECHAR*>(utf16.data()), utf16.size() / 2);
            return true;
        }
        default: return false;
    }
}

size_t Length(LPCWSTR text, int length) {
    if (length >= 0) return static_cast<size_t>(length);
    size_t n = 0;
    while (text[n]) ++n;
    return n + 1;
}

size_t Length(LPCSTR bytes, int length) {
    if (length >= 0) return static_cast<size_t>(length);
    size_t n = 0;
    while (bytes[n]) ++n;
    return n + 1;
}

}  // namespace

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int length, LPSTR out, int outSize, LPCSTR,
                        BOOL* usedDefault) {
    if (!text || length == 0 || outSize < 0 || (outSize > 0 && !out) || (codePage == CP_UTF8 && usedDefault)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string bytes;
    bool lacked = false;
    if (!Encode(codePage, text, Length(text, length), &bytes, &lacked)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefault) *usedDefault = lacked ? TRUE : FALSE;
    if (outSize == 0) return static_cast<int>(bytes.size());
    if (bytes.size() > static_cast<size_t>(outSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    bytes.copy(out, bytes.size());
    return static_cast<int>(bytes.size());
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int length, LPWSTR out, int outSize) {
    if (!bytes || length == 0 || outSize < 0 || (outSize > 0 && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    GwOleString text;
    bool invalid = false;
    if (!Decode(codePage, bytes, Length(bytes, length), &text, &invalid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (invalid && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (outSize == 0) return static_cast<int>(text.size());
    if (text.size() > static_cast<size_t>(outSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    text.copy(out, text.size());
    return static_cast<int>(text.size());
}

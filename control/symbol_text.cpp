#include "control/symbol_text.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "encoder/settings.h"

namespace {

// The character at `at`, for a message (messages travel in the code page, so by number).
std::string Named(const OLECHAR* text, size_t length, size_t at) {
    uint32_t c = text[at];
    if (c >= 0xD800 && c <= 0xDBFF && at + 1 < length && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF)
        c = 0x10000 + ((c - 0xD800) << 10) + (text[at + 1] - 0xDC00);
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
}

// The first position whose character the code page lacks, or `length` when it holds them all.
size_t FirstLackingInCodePage(const OLECHAR* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const size_t n = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < length) ? 2 : 1;
        const std::string b = GwAnsiFromWide(text + i, n);
        const GwOleString back = GwWideFromAnsi(b.data(), b.size());
        if (back != GwOleString(text + i, n)) return i;
        i += n - 1;
    }
    return length;
}

bool ShiftJis(const OLECHAR* text, size_t length, std::string* bytes, std::string* why) {
    bytes->clear();
    if (length == 0) return true;
    const int n = static_cast<int>(length);
    BOOL lacked = FALSE;
    const int size = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWSTR>(text), n, nullptr, 0,
                                         nullptr, &lacked);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 0);
    if (size <= 0 || WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWSTR>(text), n,
                                         buffer.data(), size, nullptr, &lacked) != size) {
        *why = "kanji mode holds Shift JIS text, and this system cannot convert to Shift JIS.";
        return false;
    }
    if (lacked) {
        // Find the character for the message.
        for (size_t i = 0; i < length; ++i) {
            const int one = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < length) ? 2 : 1;
            char pair[8];
            BOOL missing = FALSE;
            WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWSTR>(text + i), one, pair,
                                sizeof pair, nullptr, &missing);
            if (missing) {
                *why = "EncodeMode 3 (kanji) holds Shift JIS text, which has no " + Named(text, length, i) + ".";
                return false;
            }
            i += static_cast<size_t>(one) - 1;
        }
        *why = "EncodeMode 3 (kanji) holds Shift JIS text, which lacks a character of this text.";
        return false;
    }
    bytes->assign(buffer.begin(), buffer.end());
    return true;
}

// True when a reader's default character set (ISO 8859-1) reads the code page's bytes of the
// text back as the text: each character is one byte of the same value, and none is a C1 control.
bool ReadAsLatin1(const OLECHAR* text, size_t length, const std::string& bytes) {
    if (bytes.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        const OLECHAR c = text[i];
        if (c > 0xFF || (c >= 0x80 && c < 0xA0)) return false;
        if (static_cast<unsigned char>(bytes[i]) != c) return false;
    }
    return true;
}

}  // namespace

bool GlyphwellSymbolBytes(const OLECHAR* text, size_t length, short eciMode, short encodeMode,
                          GlyphwellSymbolText* out, std::string* why) {
    *out = GlyphwellSymbolText();
    if (encodeMode == QRCODE_MODE_KANJI) {
        out->form = kGlyphwellTextShiftJis;
        return ShiftJis(text, length, &out->bytes, why);
    }
    if (eciMode == kGlyphwellUtf8Eci) {
        out->form = kGlyphwellTextUtf8;
        out->bytes = GwUtf8FromWide(text, length);
        return true;
    }
    const size_t lacking = FirstLackingInCodePage(text, length);
    const std::string codePage = GwAnsiFromWide(text, length);
    if (eciMode == -1) {
        if (lacking == length && ReadAsLatin1(text, length, codePage)) {
            out->bytes = codePage;
            return true;
        }
        out->form = kGlyphwellTextUtf8;
        out->bytes = GwUtf8FromWide(text, length);
        out->eciAdded = true;
        return true;
    }
    if (lacking < length) {
        *why = "EciMode " + std::to_string(eciMode) + " names a character set for the system's code page, which has no " +
               Named(text, length, lacking) + "; leave EciMode at -1 or set it to 26 (UTF-8).";
        return false;
    }
    out->bytes = codePage;
    return true;
}

GwOleString GlyphwellTextOf(const char* bytes, size_t length, GlyphwellTextForm form) {
    if (length == 0) return GwOleString();
    if (form == kGlyphwellTextUtf8) return GwWideFromUtf8(std::string(bytes, length));
    if (form == kGlyphwellTextShiftJis) {
        const int n = static_cast<int>(length);
        const int size = MultiByteToWideChar(932, 0, bytes, n, nullptr, 0);
        if (size > 0) {
            GwOleString text(static_cast<size_t>(size), 0);
            if (MultiByteToWideChar(932, 0, bytes, n, reinterpret_cast<LPWSTR>(&text[0]), size) == size) return text;
        }
    }
    return GwWideFromAnsi(bytes, length);
}

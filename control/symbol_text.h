// How the control's text becomes the bytes its symbol holds, so that readers get exactly the
// characters the host set, and how stored bytes become that text again.
//
// The rule, by the host's EncodeMode and EciMode:
//  - kanji mode: the text's Shift JIS bytes (what kanji mode holds by definition, and what the
//    control has always written on a Japanese code page); a character without a Shift JIS form
//    is refused.
//  - no ECI chosen: a text the system's code page holds at the very bytes a reader's default
//    character set (ISO 8859-1) reads back -- ASCII and Latin-1 letters on a Western system --
//    goes as those bytes, exactly as the control has always written it. Any other text -- one
//    with characters the code page lacks, or with code-page characters the default set reads as
//    something else (the euro sign is 0x80 in Windows-1252, a control character in ISO 8859-1)
//    -- goes as UTF-8 behind the ECI for UTF-8 (26).
//  - ECI 26 chosen: UTF-8.
//  - another ECI chosen: the host has named the character set; the code page's bytes go as they
//    always have, and a text the code page cannot hold is refused.
#pragma once

#include <string>

#include "platform/com/variant.h"
#include "platform/win32.h"

// The character set of the bytes in a settings record's text field.
enum GlyphwellTextForm : BYTE {
    kGlyphwellTextCodePage = 0,  // the system's ANSI code page
    kGlyphwellTextUtf8 = 1,
    kGlyphwellTextShiftJis = 2,
};

constexpr short kGlyphwellUtf8Eci = 26;

struct GlyphwellSymbolText {
    std::string bytes;
    GlyphwellTextForm form = kGlyphwellTextCodePage;
    bool eciAdded = false;  // ECI 26 goes into the symbol because the text needs UTF-8
};

// The bytes for `text` (UTF-16, `length` units) under the host's EciMode and EncodeMode (-1:
// unset). False, with a one-line reason in *why, when no bytes carry the text as the host set it.
bool GlyphwellSymbolBytes(const OLECHAR* text, size_t length, short eciMode, short encodeMode,
                          GlyphwellSymbolText* out, std::string* why);

// The text that bytes of the given form stand for.
GwOleString GlyphwellTextOf(const char* bytes, size_t length, GlyphwellTextForm form);

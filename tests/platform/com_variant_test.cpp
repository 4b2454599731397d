// Automation values: BSTR storage, the ANSI code page, and the conversions property sets rely
// on, including refusals that must leave the destination untouched.
#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

VARIANT Str(const char* utf8) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = GwAllocBstrFromUtf8(utf8);
    return v;
}

VARIANT I4(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

TEST(ComBstr, LengthsEmbeddedZerosAndByteStrings) {
    const OLECHAR text[] = {u'a', 0, u'b'};
    BSTR b = SysAllocStringLen(text, 3);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(SysStringByteLen(b), 6u);
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[3], 0);  // terminated as well
    SysFreeString(b);
    BSTR bytes = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(SysStringByteLen(bytes), 3u);
    SysFreeString(bytes);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(ComBstr, AnsiCodePageAndUtf8) {
    const GwOleString w = GwWideFromUtf8("\xE2\x82\xAC\xC3\xA9\xE6\x97\xA5");  // euro, e-acute, a CJK character
    ASSERT_EQ(w.size(), 3u);
    const std::string ansi = GwAnsiFromWide(w.data(), w.size());
    EXPECT_EQ(ansi, "\x80\xE9?");
    const GwOleString back = GwWideFromAnsi(ansi.data(), ansi.size());
    EXPECT_EQ(back[0], 0x20AC);
    EXPECT_EQ(back[1], 0xE9);
    EXPECT_EQ(GwUtf8FromWide(w.data(), w.size()), "\xE2\x82\xAC\xC3\xA9\xE6\x97\xA5");
    // Malformed UTF-8 becomes replacement characters rather than reading past the end.
    EXPECT_EQ(GwWideFromUtf8("\xC3"), GwOleString(1, 0xFFFD));
    EXPECT_EQ(GwWideFromUtf8("a\xFF" "b"), (GwOleString{u'a', 0xFFFD, u'b'}));
    // A character outside the basic plane is one '?' in the code page.
    const GwOleString emoji = GwWideFromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(emoji.size(), 2u);
    EXPECT_EQ(GwAnsiFromWide(emoji.data(), emoji.size()), "?");
}

TEST(ComVariant, NumbersConvertWithRangeChecks) {
    VARIANT d;
    VariantInit(&d);
    VARIANT s = I4(300);
    ASSERT_EQ(VariantChangeType(&d, &s, 0, VT_I2), S_OK);
    EXPECT_EQ(d.vt, VT_I2);
    EXPECT_EQ(d.iVal, 300);
    s = I4(40000);
    EXPECT_EQ(VariantChangeType(&d, &s, 0, VT_I2), DISP_E_OVERFLOW);
    EXPECT_EQ(d.iVal, 300);  // untouched
    s = I4(-1);
    EXPECT_EQ(VariantChangeType(&d, &s, 0, VT_UI4), DISP_E_OVERFLOW);
    EXPECT_EQ(VariantChangeType(&d, &s, 0, VT_UI1), DISP_E_OVERFLOW);
    VARIANT r;
    VariantInit(&r);
    r.vt = VT_R8;
    r.dblVal = 2.5;
    ASSERT_EQ(VariantChangeType(&d, &r, 0, VT_I2), S_OK);
    EXPECT_EQ(d.iVal, 2);  // halves round to even
    r.dblVal = 3.5;
    ASSERT_EQ(VariantChangeType(&d, &r, 0, VT_I4), S_OK);
    EXPECT_EQ(d.lVal, 4);
    VARIANT empty;
    VariantInit(&empty);
    ASSERT_EQ(VariantChangeType(&d, &empty, 0, VT_I2), S_OK);
    EXPECT_EQ(d.iVal, 0);
}

TEST(ComVariant, StringsParseOrAreRefused) {
    VARIANT d;
    VariantInit(&d);
    d.vt = VT_I2;
    d.iVal = 9;
    VARIANT s = Str(" 42 ");
    ASSERT_EQ(VariantChangeType(&d, &s, 0, VT_I2), S_OK);
    EXPECT_EQ(d.iVal, 42);
    VariantClear(&s);
    for (const char* bad : {"", "abc", "4x", "--1", "1e", "nan"}) {
        s = Str(bad);
        d.vt = VT_I2;
        d.iVal = 9;
        EXPECT_EQ(VariantChangeType(&d, &s, 0, VT_I2), DISP_E_TYPEMISMATCH) << bad;
        EXPECT_EQ(d.iVal, 9) << bad;
        VariantClear(&s);
    }
    s = Str("&HFF00");
    ASSERT_EQ(VariantChangeType(&d, &s, 0, VT_UI4), S_OK);
    EXPECT_EQ(d.ulVal, 0xFF00u);
    VariantClear(&s);
    s = Str("0x00FFFF");
    ASSERT_EQ(VariantChangeType(&d, &s, 0, VT_UI4), S_OK);
    EXPECT_EQ(d.ulVal, 0x00FFFFu);
    VariantClear(&s);
    for (const auto& c : {std::make_pair("True", VARIANT_TRUE), std::make_pair("false", VARIANT_FALSE),
                          std::make_pair("0", VARIANT_FALSE), std::make_pair("-1", VARIANT_TRUE)}) {
        s = Str(c.first);
        ASSERT_EQ(VariantChangeType(&d, &s, 0, VT_BOOL), S_OK) << c.first;
        EXPECT_EQ(d.boolVal, c.second) << c.first;
        VariantClear(&s);
    }
    s = Str("maybe");
    EXPECT_EQ(VariantChangeType(&d, &s, 0, VT_BOOL), DISP_E_TYPEMISMATCH);
    VariantClear(&s);
}

TEST(ComVariant, ToStringAndInPlace) {
    VARIANT v = I4(-17);
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(GwUtf8FromWide(v.bstrVal, SysStringLen(v.bstrVal)), "-17");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I2), S_OK);  // the string is freed on the way
    EXPECT_EQ(v.iVal, -17);
    VARIANT b;
    VariantInit(&b);
    b.vt = VT_BOOL;
    b.boolVal = VARIANT_TRUE;
    ASSERT_EQ(VariantChangeType(&b, &b, 0, VT_BSTR), S_OK);
    EXPECT_EQ(GwUtf8FromWide(b.bstrVal, SysStringLen(b.bstrVal)), "True");
    VariantClear(&b);
    VARIANT unknown;
    VariantInit(&unknown);
    unknown.vt = VT_DISPATCH;
    VARIANT d = I4(1);
    EXPECT_EQ(VariantChangeType(&d, &unknown, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(d.lVal, 1);
    VARIANT copy;
    VariantInit(&copy);
    VARIANT s = Str("copy me");
    ASSERT_EQ(VariantCopy(&copy, &s), S_OK);
    EXPECT_NE(copy.bstrVal, s.bstrVal);
    EXPECT_EQ(GwUtf8FromWide(copy.bstrVal, SysStringLen(copy.bstrVal)), "copy me");
    VariantClear(&s);
    VariantClear(&copy);
}

TEST(ComGuid, TextFormRoundTrips) {
    const GUID g = {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(GwGuidToString(g), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    GUID back;
    ASSERT_TRUE(GwGuidFromString("{01234567-89ab-cdef-0123-456789abcdef}", &back));
    EXPECT_EQ(back, g);
    for (const char* bad : {"", "{01234567-89AB-CDEF-0123-456789ABCDEF", "{01234567-89AB-CDEF-0123-456789ABCDEG}",
                            "01234567-89AB-CDEF-0123-456789ABCDEF00", "{01234567+89AB-CDEF-0123-456789ABCDEF}"})
        EXPECT_FALSE(GwGuidFromString(bad, &back)) << bad;
    EXPECT_FALSE(GwGuidFromString(nullptr, &back));
}

}  // namespace

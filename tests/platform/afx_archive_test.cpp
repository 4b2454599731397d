// Archives and property exchange over a byte stream: typed values, version exchange, short
// and damaged streams, and the reset exchange.
#include <gtest/gtest.h>

#include "platform/afx/afxctl.h"

namespace {

std::vector<BYTE> Store(DWORD version, short s, BOOL b, const CString& text) {
    GwMemoryStream* stream = new GwMemoryStream;
    {
        CArchive ar(stream, CArchive::store);
        CArchivePropExchange px(ar);
        DWORD v = version;
        px.ExchangeVersion(v, version, TRUE);
        const short noShort = 0;
        const BOOL noBool = FALSE;
        const CString noText;
        px.ExchangeProp("S", VT_I2, &s, &noShort);
        px.ExchangeProp("B", VT_BOOL, &b, &noBool);
        CString t = text;
        px.ExchangeProp("T", VT_BSTR, &t, &noText);
    }
    std::vector<BYTE> bytes = stream->Bytes();
    stream->Release();
    return bytes;
}

struct Loaded {
    BOOL ok[4] = {};
    DWORD version = 0;
    short s = 7;
    BOOL b = TRUE;
    CString t = "keep";
    bool failed = false;
};

Loaded Load(const std::vector<BYTE>& bytes, DWORD current, BOOL convert = TRUE) {
    Loaded l;
    GwMemoryStream* stream = new GwMemoryStream(bytes);
    {
        CArchive ar(stream, CArchive::load);
        CArchivePropExchange px(ar);
        l.version = current;
        l.ok[0] = px.ExchangeVersion(l.version, current, convert);
        const short shortDefault = -5;
        const BOOL boolDefault = FALSE;
        const CString textDefault("default");
        l.ok[1] = px.ExchangeProp("S", VT_I2, &l.s, &shortDefault);
        l.ok[2] = px.ExchangeProp("B", VT_BOOL, &l.b, &boolDefault);
        l.ok[3] = px.ExchangeProp("T", VT_BSTR, &l.t, &textDefault);
        l.failed = px.Failed();
    }
    stream->Release();
    return l;
}

TEST(AfxArchive, TypedValuesAndShortReads) {
    GwMemoryStream* stream = new GwMemoryStream;
    {
        CArchive ar(stream, CArchive::store);
        ar << BYTE(1) << WORD(0x0203) << DWORD(0x04050607) << LONG(-2);
        EXPECT_FALSE(ar.WriteFailed());
        BYTE junk;
        EXPECT_EQ(ar.Read(&junk, 1), 0u);  // a storing archive does not read
    }
    EXPECT_EQ(stream->Bytes(), (std::vector<BYTE>{1, 3, 2, 7, 6, 5, 4, 0xFE, 0xFF, 0xFF, 0xFF}));
    std::vector<BYTE> bytes = stream->Bytes();
    stream->Release();
    bytes.resize(5);
    stream = new GwMemoryStream(bytes);
    CArchive ar(stream, CArchive::load);
    stream->Release();  // the archive keeps its own reference
    BYTE b;
    WORD w;
    DWORD d = 99;
    ar >> b >> w;
    EXPECT_FALSE(ar.LoadFailed());
    ar >> d;
    EXPECT_TRUE(ar.LoadFailed()) << "a short read fails the load";
    EXPECT_EQ(b, 1);
    EXPECT_EQ(w, 0x0203);
    EXPECT_EQ(d, 0u);  // a short typed read gives zero, not half a value
}

TEST(AfxPropExchange, RoundTripAndVersion) {
    const Loaded l = Load(Store(0x00010000, -3, TRUE, CString("text\0with zero", 14)), 0x00010000);
    for (BOOL ok : l.ok) EXPECT_TRUE(ok);
    EXPECT_FALSE(l.failed);
    EXPECT_EQ(l.version, 0x00010000u);
    EXPECT_EQ(l.s, -3);
    EXPECT_EQ(l.b, TRUE);
    EXPECT_EQ(l.t.GetLength(), 14);
    // A newer stored version is refused without conversion, taken with it.
    const std::vector<BYTE> newer = Store(0x00020000, 1, FALSE, CString("x"));
    EXPECT_FALSE(Load(newer, 0x00010000, FALSE).ok[0]);
    EXPECT_TRUE(Load(newer, 0x00010000, TRUE).ok[0]);
}

TEST(AfxPropExchange, DamagedStreamsFallBackToDefaults) {
    std::vector<BYTE> bytes = Store(1, 12, TRUE, CString("abc"));
    // Cut inside the short: it and everything after take their defaults.
    Loaded l = Load(std::vector<BYTE>(bytes.begin(), bytes.begin() + 7), 1);
    EXPECT_TRUE(l.ok[0]);
    EXPECT_FALSE(l.ok[1]);
    EXPECT_TRUE(l.failed);
    EXPECT_EQ(l.s, -5);
    EXPECT_EQ(l.b, FALSE);
    EXPECT_EQ(l.t, CString("default"));
    // A wrong type tag stops the exchange.
    std::vector<BYTE> tagged = bytes;
    tagged[4] = VT_BSTR;
    EXPECT_FALSE(Load(tagged, 1).ok[1]);
    // A string length beyond any sane size is not allocated.
    std::vector<BYTE> huge = bytes;
    const size_t lengthAt = huge.size() - 3 - 4;
    huge[lengthAt + 3] = 0x7F;
    l = Load(huge, 1);
    EXPECT_FALSE(l.ok[3]);
    EXPECT_EQ(l.t, CString("default"));
}

TEST(AfxPropExchange, ResetGivesDefaults) {
    CResetPropExchange px;
    short s = 4;
    BOOL b = TRUE;
    DWORD version = 0;
    EXPECT_TRUE(px.ExchangeVersion(version, 0x00010000, TRUE));
    EXPECT_EQ(version, 0x00010000u);
    const short shortDefault = -1;
    const BOOL boolDefault = FALSE;
    px.ExchangeProp("S", VT_I2, &s, &shortDefault);
    px.ExchangeProp("B", VT_BOOL, &b, &boolDefault);
    EXPECT_EQ(s, -1);
    EXPECT_EQ(b, FALSE);
    EXPECT_TRUE(px.IsLoading());
}

}  // namespace

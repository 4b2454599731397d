// The control's automation surface and its regeneration road: defaults, conversions and
// refusals, how each property reaches the settings record, sizing and the modified flag.
#include "control/glyphwell_ctrl.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/control/control_host.h"

using namespace gwtest;

namespace {

TEST(GlyphwellCtrl, FreshControlHoldsTheDefaultsAndNoPicture) {
    ControlRef c;
    for (const char* name : {"PreferredVersion", "SelectedVersion", "CorrectionLevel", "EncodeMode", "EciMode",
                             "Fnc1Mode", "Margin", "PixelSize"}) {
        VARIANT v = Get(c.disp(), name);
        EXPECT_EQ(v.vt, VT_I2) << name;
        EXPECT_EQ(v.iVal, -1) << name;
    }
    for (const char* name : {"StructuredAppend", "ProcessTilde", "AutoConfigurate"}) {
        VARIANT v = Get(c.disp(), name);
        EXPECT_EQ(v.vt, VT_BOOL) << name;
        EXPECT_EQ(v.boolVal, VARIANT_FALSE) << name;
    }
    EXPECT_EQ(Get(c.disp(), "BackGroundColor").vt, VT_I4);
    EXPECT_EQ(Get(c.disp(), "BackGroundColor").lVal, 0xFFFFFF);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, 0);
    EXPECT_EQ(GetString(c.disp(), "TextData"), "");
    EXPECT_FALSE(c->IsImageReady());
    EXPECT_FALSE(c->Image().IsValid());
    EXPECT_FALSE(c->IsModified());
}

TEST(GlyphwellCtrl, DispatchIdsFollowTheInterface) {
    ControlRef c;
    const char* names[] = {"PreferredVersion", "SelectedVersion", "CorrectionLevel", "EncodeMode", "EciMode",
                           "Fnc1Mode", "StructuredAppend", "ProcessTilde", "AutoConfigurate", "Margin",
                           "PixelSize", "BackGroundColor", "ForeGroundColor", "TextData"};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(IdOf(c.disp(), names[i]), i + 1) << names[i];
    EXPECT_EQ(IdOf(c.disp(), "aboutbox"), DISPID_ABOUTBOX);  // names match without regard to case
    EXPECT_EQ(IdOf(c.disp(), "NoSuchThing"), DISPID_UNKNOWN);
    void* p = nullptr;
    EXPECT_EQ(c->QueryInterface(DIID__DGlyphwell, &p), S_OK);
    static_cast<IUnknown*>(p)->Release();
}

TEST(GlyphwellCtrl, ShortTextGivesA83PixelVersion1PictureAndMarksModified) {
    ControlRef c;
    ASSERT_EQ(PutString(c.disp(), "TextData", "HELLO"), S_OK);
    EXPECT_TRUE(c->IsImageReady());
    EXPECT_TRUE(c->IsModified());
    EXPECT_EQ(c->Settings().selectedVersion, 1);
    EXPECT_EQ(c.Width(), 83);
    EXPECT_EQ(c.Height(), 83);
    EXPECT_EQ(c->Image().GetWidth(), 83u);
    EXPECT_EQ(c->Image().GetHeight(), 83u);
    EXPECT_EQ(GetString(c.disp(), "TextData"), "HELLO");
    // The settings are the reset record with the text in front of the filler.
    EXPECT_EQ(c->Settings().correctionLevel, 3);
    EXPECT_EQ(c->Settings().encodeMode, 1);
    EXPECT_EQ(QRCodeTextLength(&c->Settings()), 5);
    EXPECT_EQ(std::memcmp(c->Settings().text, "HELLO##########", 15), 0);
}

// Every short property takes its documented range (and -1 for its default); a value outside is
// refused with the automation's invalid-property-value error, a one-line description of the
// range, and nothing changes: not the property, not the picture, not the modified flag.
TEST(GlyphwellCtrl, ValuesOutsideAPropertysRangeAreRefusedAndTheOldValueKept) {
    const struct {
        const char* name;
        short low, high;
    } ranges[] = {{"PreferredVersion", 1, 40}, {"SelectedVersion", 1, 40}, {"CorrectionLevel", 0, 3},
                  {"EncodeMode", 0, 4},        {"EciMode", 0, 32767},      {"Fnc1Mode", 0, 2},
                  {"Margin", 0, 255},          {"PixelSize", 1, 255}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(r.name);
        ControlRef c;
        ASSERT_EQ(PutString(c.disp(), "TextData", "HELLO"), S_OK);
        const short kept = r.low;
        // Values in range are taken (a large margin or module size may still be too large to
        // draw; that is reported as a failed symbol, not a refused value).
        for (short ok : {r.high, static_cast<short>(-1), kept}) {
            const SetOutcome set = PutReporting(c.disp(), r.name, I2(ok));
            EXPECT_TRUE(set.hr == S_OK || set.scode == kGlyphwellErrorNoSymbol) << ok << " " << set.description;
            EXPECT_EQ(Get(c.disp(), r.name).iVal, ok);
        }
        const int width = c.Width();
        c->SetModifiedFlag(FALSE);
        std::vector<short> bad = {-2, -32768};
        if (r.low - 1 != -1) bad.push_back(static_cast<short>(r.low - 1));
        if (r.high < 32767) bad.push_back(static_cast<short>(r.high + 1));
        for (short value : bad) {
            const SetOutcome set = PutReporting(c.disp(), r.name, I2(value));
            EXPECT_EQ(set.hr, DISP_E_EXCEPTION) << value;
            EXPECT_EQ(set.scode, CTL_E_INVALIDPROPERTYVALUE) << value;
            EXPECT_NE(set.description.find(r.name), std::string::npos) << set.description;
            EXPECT_NE(set.description.find(std::to_string(r.high)), std::string::npos) << set.description;
            EXPECT_EQ(Get(c.disp(), r.name).iVal, kept) << value;
        }
        EXPECT_FALSE(c->IsModified());
        EXPECT_EQ(c.Width(), width);
    }
    // The ends of the ranges reach the record and the picture.
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutI2(c.disp(), "PixelSize", 1);
    EXPECT_EQ(c.Width(), 21 + 20);
    PutI2(c.disp(), "Margin", 255);
    EXPECT_EQ(c->Settings().margin, 255);
    EXPECT_EQ(c.Width(), 21 + 510);
    PutI2(c.disp(), "Margin", 0);
    EXPECT_EQ(c.Width(), 21);
    PutI2(c.disp(), "PixelSize", -1);
    EXPECT_EQ(c->Settings().pixelSize, 3);
    // Colours: a red-green-blue value or a system colour the table holds.
    EXPECT_EQ(PutReporting(c.disp(), "ForeGroundColor", Text("&H80000020")).scode, CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(PutReporting(c.disp(), "BackGroundColor", Text("&H01000000")).scode, CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, 0);
    EXPECT_EQ(Get(c.disp(), "BackGroundColor").lVal, 0xFFFFFF);
}

TEST(GlyphwellCtrl, BooleansOnlySwitchSettingsOn) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    EXPECT_EQ(c->Settings().autoConfigurate, 1);  // the encoder's default
    PutBool(c.disp(), "AutoConfigurate", true);
    PutBool(c.disp(), "AutoConfigurate", false);
    EXPECT_EQ(c->Settings().autoConfigurate, 1);
    PutBool(c.disp(), "ProcessTilde", true);
    EXPECT_EQ(c->Settings().processTilde, 1);
    PutBool(c.disp(), "ProcessTilde", false);
    EXPECT_EQ(c->Settings().processTilde, 0);
    EXPECT_EQ(Get(c.disp(), "ProcessTilde").boolVal, VARIANT_FALSE);
}

TEST(GlyphwellCtrl, UnsetValuesGiveBackTheEncoderDefaults) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutI2(c.disp(), "CorrectionLevel", 0);
    EXPECT_EQ(c->Settings().correctionLevel, 0);
    PutI2(c.disp(), "CorrectionLevel", -1);
    EXPECT_EQ(c->Settings().correctionLevel, 3);
    PutColor(c.disp(), "BackGroundColor", 0x00FFFF);
    EXPECT_EQ(c->Settings().backgroundColor, 0x00FFFFu);
    PutColor(c.disp(), "ForeGroundColor", 0x0000FF);
    EXPECT_EQ(c->Settings().foregroundColor, 0x0000FFu);
    // No property reaches the structured-append position fields.
    EXPECT_EQ(c->Settings().appendPosition, 1);
    EXPECT_EQ(c->Settings().appendTotal, 1);
    EXPECT_EQ(c->Settings().applicationIndicator, 0);
}

TEST(GlyphwellCtrl, PropertiesSetBeforeTheTextApplyWithTheFirstText) {
    ControlRef c;
    PutI2(c.disp(), "PixelSize", 5);
    EXPECT_FALSE(c->IsImageReady());
    EXPECT_TRUE(c->IsModified());  // every set marks the control modified
    PutString(c.disp(), "TextData", "HELLO");
    EXPECT_EQ(c.Width(), 5 * 21 + 20);
}

TEST(GlyphwellCtrl, EmptyTextClearsThePictureWithoutAnError) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutI2(c.disp(), "PixelSize", 4);
    c->SetModifiedFlag(FALSE);
    EXPECT_EQ(PutReporting(c.disp(), "TextData", Text("")).hr, S_OK);
    EXPECT_FALSE(c->Image().IsValid());
    EXPECT_TRUE(c->IsModified());
    EXPECT_EQ(QRCodeTextLength(&c->Settings()), 0);  // what is saved shows what is seen
    EXPECT_EQ(c->Settings().pixelSize, 4);
    EXPECT_EQ(c.Width(), 4 * 21 + 20);  // the control keeps its size and shows its fill
    EXPECT_EQ(PutReporting(c.disp(), "PixelSize", I2(7)).hr, S_OK);
    EXPECT_FALSE(c->Image().IsValid());
}

TEST(GlyphwellCtrl, UnconvertibleValuesAreRefusedAndNothingIsStored) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    c->SetModifiedFlag(FALSE);
    EXPECT_EQ(PutString(c.disp(), "PixelSize", "big"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(PutString(c.disp(), "AutoConfigurate", "perhaps"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(PutI4(c.disp(), "Margin", 70000), DISP_E_OVERFLOW);
    EXPECT_EQ(Get(c.disp(), "PixelSize").iVal, -1);
    EXPECT_EQ(Get(c.disp(), "Margin").iVal, -1);
    EXPECT_FALSE(c->IsModified());  // no change handler ran
    // Convertible strings and wider integers are taken.
    EXPECT_EQ(PutString(c.disp(), "PixelSize", "4"), S_OK);
    EXPECT_EQ(Get(c.disp(), "PixelSize").iVal, 4);
    EXPECT_EQ(PutString(c.disp(), "StructuredAppend", "True"), S_OK);
    EXPECT_EQ(Get(c.disp(), "StructuredAppend").boolVal, VARIANT_TRUE);
    EXPECT_EQ(PutI4(c.disp(), "EciMode", 26), S_OK);
    EXPECT_EQ(Get(c.disp(), "EciMode").iVal, 26);
    // Colours come as hosts pass an OLE_COLOR: a signed Long (negative for system colours),
    // unsigned, or text; the 32 bits are kept and read back as a signed Long.
    EXPECT_EQ(PutI4(c.disp(), "BackGroundColor", static_cast<LONG>(0x8000000F)), S_OK);
    EXPECT_EQ(Get(c.disp(), "BackGroundColor").vt, VT_I4);
    EXPECT_EQ(Get(c.disp(), "BackGroundColor").lVal, static_cast<LONG>(0x8000000F));
    EXPECT_EQ(PutColor(c.disp(), "ForeGroundColor", 0x00000080u), S_OK);
    EXPECT_EQ(PutColor(c.disp(), "ForeGroundColor", 0xFFFFFFFFu), DISP_E_EXCEPTION);  // no colour
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, 0x80);
    EXPECT_EQ(PutString(c.disp(), "ForeGroundColor", "&H80000012"), S_OK);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, static_cast<LONG>(0x80000012));
    EXPECT_EQ(PutString(c.disp(), "ForeGroundColor", "123"), S_OK);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, 123);
    EXPECT_EQ(PutString(c.disp(), "ForeGroundColor", "red"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, 123);
}

// Any language: the text reads back as set, and both decoders read exactly the characters set.
// Text a reader's default character set reads as the code page's bytes goes as those bytes, as
// it always has; anything else as UTF-8 behind ECI 26, unless the host chose an ECI.
TEST(GlyphwellCtrl, TextInAnyLanguageReadsBackAndDecodesAsSet) {
    const std::string tokyo = "\xE6\x9D\xB1\xE4\xBA\xAC", euro = "\xE2\x82\xAC", smile = "\xF0\x9F\x98\x80";
    const struct {
        std::string text;   // UTF-8
        std::string bytes;  // in the symbol
        int eci;            // in the record
        short hostEci;
    } cases[] = {
        {"HELLO", "HELLO", -1, -1},
        {"Z\xC3\xBCrich", "Z\xFCrich", -1, -1},  // Latin-1: one byte each, as ever
        {tokyo, tokyo, 26, -1},                   // the code page lacks it
        {euro + " 5", euro + " 5", 26, -1},       // 0x80 would read as a control character
        {smile, smile, 26, -1},                   // beyond 16 bits
        {"Gr\xC3\xBC\xC3\x9F " + tokyo + " " + euro + " " + smile, "Gr\xC3\xBC\xC3\x9F " + tokyo + " " + euro + " " + smile,
         26, -1},
        {"Z\xC3\xBCrich", "Z\xC3\xBCrich", 26, 26},  // the host said UTF-8
        {tokyo, tokyo, 26, 26},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text);
        ControlRef c;
        PutI2(c.disp(), "EciMode", k.hostEci);
        PutI2(c.disp(), "PixelSize", 4);
        ASSERT_EQ(PutString(c.disp(), "TextData", k.text), S_OK);
        EXPECT_EQ(GetString(c.disp(), "TextData"), k.text);
        EXPECT_EQ(Get(c.disp(), "EciMode").iVal, k.hostEci);  // an added ECI is no host's choice
        EXPECT_EQ(c->Settings().eciMode, k.eci);
        ASSERT_EQ(QRCodeTextLength(&c->Settings()), static_cast<int>(k.bytes.size()));
        EXPECT_EQ(std::string(c->Settings().text, k.bytes.size()), k.bytes);
        const GreyImage grey = PaintedGrey(c);
        const DecodeResult z = ReadTextWithZbar(grey), x = ReadTextWithZxing(grey);
        EXPECT_TRUE(z.ok) << z.error;
        EXPECT_EQ(z.bytes, k.text);
        EXPECT_TRUE(x.ok) << x.error;
        EXPECT_EQ(x.bytes, k.text);
    }
}

// The symbol of a text the code page holds is the one the control has always made.
TEST(GlyphwellCtrl, CodePageTextMakesTheSameRecordAsEver) {
    ControlRef c;
    PutString(c.disp(), "TextData", "caf\xC3\xA9 ~d065 \xC2\xA9");
    QRCodeSettings expected;
    QRCodeResetSettings(&expected);
    std::memcpy(expected.text, "caf\xE9 ~d065 \xA9", 12);
    EXPECT_EQ(std::memcmp(expected.text, c->Settings().text, sizeof expected.text), 0);
    EXPECT_EQ(c->Settings().eciMode, -1);
}

// Kanji mode holds Shift JIS; another ECI the host chose names the code page's bytes. A text
// neither can hold is refused with a reason, and shows no symbol.
TEST(GlyphwellCtrl, KanjiModeTakesShiftJisAndOtherEcisTheCodePage) {
    const std::string tokyo = "\xE6\x9D\xB1\xE4\xBA\xAC";
    ControlRef c;
    PutI2(c.disp(), "EncodeMode", 3);
    ASSERT_EQ(PutString(c.disp(), "TextData", tokyo), S_OK);
    EXPECT_EQ(std::string(c->Settings().text, 4), "\x93\x8C\x8B\x9E");
    EXPECT_EQ(GetString(c.disp(), "TextData"), tokyo);
    EXPECT_EQ(ReadTextWithZxing(PaintedGrey(c)).bytes, tokyo);
    SetOutcome set = PutReporting(c.disp(), "TextData", Text("\xF0\x9F\x98\x80"));
    EXPECT_EQ(set.scode, kGlyphwellErrorNoSymbol);
    EXPECT_NE(set.description.find("Shift JIS"), std::string::npos) << set.description;
    EXPECT_FALSE(c->Image().IsValid());

    ControlRef latin;
    PutI2(latin.disp(), "EciMode", 3);
    ASSERT_EQ(PutString(latin.disp(), "TextData", "Z\xC3\xBCrich"), S_OK);
    EXPECT_EQ(std::string(latin->Settings().text, 6), "Z\xFCrich");
    set = PutReporting(latin.disp(), "TextData", Text(tokyo));
    EXPECT_EQ(set.scode, kGlyphwellErrorNoSymbol);
    EXPECT_NE(set.description.find("EciMode 3"), std::string::npos) << set.description;
    EXPECT_EQ(GetString(latin.disp(), "TextData"), tokyo);
    // Leaving the ECI to the control makes the symbol appear.
    EXPECT_EQ(PutReporting(latin.disp(), "EciMode", I2(-1)).hr, S_OK);
    EXPECT_EQ(ReadTextWithZbar(PaintedGrey(latin)).bytes, tokyo);
}

TEST(GlyphwellCtrl, OverlongTextIsRefusedAndItsEndStaysInTheField) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    const QRCodeSettings* s = &c->Settings();
    const std::string huge(QRCODE_TEXT_FIELD_SIZE + 500, 'A');
    const SetOutcome set = PutReporting(c.disp(), "TextData", Text(huge));
    EXPECT_EQ(set.scode, kGlyphwellErrorNoSymbol);
    EXPECT_NE(set.description.find("7600 bytes"), std::string::npos) << set.description;
    EXPECT_EQ(QRCodeTextLength(s), QRCODE_TEXT_MAX);
    for (int i = QRCODE_TEXT_MAX; i < QRCODE_TEXT_FIELD_SIZE; ++i) ASSERT_EQ(s->text[i], '#') << i;
    EXPECT_FALSE(c->Image().IsValid());
    EXPECT_EQ(GetString(c.disp(), "TextData"), huge);
}

// A set after which no symbol can be made shows the fill only -- never the previous symbol --
// and says why; the property keeps what the host set, so fixing another property brings the
// symbol.
TEST(GlyphwellCtrl, NoSymbolShowsTheFillOnlyAndSaysWhy) {
    std::string accents;
    for (int i = 0; i < 1500; ++i) accents += "\xC3\xA9";  // 1500 bytes: level L holds them, H not
    const struct {
        short version, level;
        std::string text;
        const char* property;
        short value;
        const char* why;
        const char* fix;
        short fixValue;
    } cases[] = {
        {-1, 0, accents, "CorrectionLevel", 3, "correction level H", "CorrectionLevel", 1},
        {-1, -1, "HELLO 1", "EncodeMode", 2, "EncodeMode 2 (numeric) cannot hold 'H'", "EncodeMode", 4},
        {40, -1, "HELLO", "PixelSize", 47, "8339 pixels", "PixelSize", 46},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.property);
        ControlRef c;
        PutColor(c.disp(), "BackGroundColor", 0x00FFFF);
        PutI2(c.disp(), "PreferredVersion", k.version);
        PutI2(c.disp(), "CorrectionLevel", k.level);
        ASSERT_EQ(PutString(c.disp(), "TextData", k.text), S_OK);
        ASSERT_TRUE(c->Image().IsValid());
        const int w = c.Width(), h = c.Height();
        const SetOutcome set = PutReporting(c.disp(), k.property, I2(k.value));
        EXPECT_EQ(set.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(set.scode, kGlyphwellErrorNoSymbol);
        EXPECT_NE(set.description.find(k.why), std::string::npos) << set.description;
        EXPECT_EQ(set.description.find('\n'), std::string::npos);
        EXPECT_EQ(Get(c.disp(), k.property).iVal, k.value);
        EXPECT_TRUE(c->IsModified());
        EXPECT_FALSE(c->Image().IsValid());
        Canvas canvas(std::min(w, 400), std::min(h, 400), RGB(1, 2, 3));
        canvas.Paint(c.ctrl, w, h);
        for (int y = 0; y < canvas.height; y += 7)
            for (int x = 0; x < canvas.width; x += 7) ASSERT_EQ(canvas.At(x, y), 0x00FFFFu) << x << "," << y;
        EXPECT_EQ(PutReporting(c.disp(), k.fix, I2(k.fixValue)).hr, S_OK);
        EXPECT_TRUE(c->Image().IsValid());
        EXPECT_EQ(GetString(c.disp(), "TextData"), k.text);
    }
}

TEST(GlyphwellCtrl, ObjectSafetyIsFixedAtBothSafeBits) {
    ControlRef c;
    IObjectSafety* safety = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 3u);
    supported = enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 3u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 1), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 3, 3), E_NOINTERFACE);
    safety->Release();
}

TEST(GlyphwellCtrl, ClassDescriptionForTheFramework) {
    ControlRef c;
    CLSID clsid;
    EXPECT_EQ(c->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Glyphwell);
    DWORD misc = 0;
    c->GetMiscStatus(DVASPECT_CONTENT, &misc);
    EXPECT_EQ(misc, 131473u);
    CAUUID pages{};
    ASSERT_EQ(c->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_EQ(pages.pElems[0], CLSID_GlyphwellPropPage);
    CoTaskMemFree(pages.pElems);
    // Standard verbs plus verb 1, named with the framework's Properties text.
    const std::vector<OLEVERB> verbs = c->EnumVerbs();
    bool found = false;
    for (const OLEVERB& v : verbs)
        if (v.lVerb == 1)
            found = GwAnsiFromWide(v.lpszVerbName, std::char_traits<OLECHAR>::length(v.lpszVerbName)) == "&Properties...";
    EXPECT_TRUE(found);
}

TEST(GlyphwellCtrl, ResetStateKeepsTheProperties) {
    ControlRef c;
    PutI2(c.disp(), "PixelSize", 6);
    EXPECT_EQ(c->InitNew(), S_OK);
    EXPECT_EQ(Get(c.disp(), "PixelSize").iVal, 6);
}

}  // namespace

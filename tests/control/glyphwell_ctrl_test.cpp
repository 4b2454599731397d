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

TEST(GlyphwellCtrl, MarginAndPixelSizeArriveAsTheirLowByte) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutI2(c.disp(), "PixelSize", 0);
    EXPECT_EQ(c.Width(), 20);  // 2 x margin, no modules
    PutI2(c.disp(), "PixelSize", 256);
    EXPECT_EQ(c->Settings().pixelSize, 0);
    EXPECT_EQ(c.Width(), 20);
    EXPECT_EQ(Get(c.disp(), "PixelSize").iVal, 256);  // the property keeps what was set
    PutI2(c.disp(), "PixelSize", -1);
    EXPECT_EQ(c->Settings().pixelSize, 3);
    PutI2(c.disp(), "Margin", 257);
    EXPECT_EQ(c->Settings().margin, 1);
    EXPECT_EQ(c.Width(), 63 + 2);
    PutI2(c.disp(), "Margin", 300);
    EXPECT_EQ(c->Settings().margin, 44);
    EXPECT_EQ(c.Width(), 63 + 88);
    PutI2(c.disp(), "Margin", 0);
    EXPECT_EQ(c.Width(), 63);
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

TEST(GlyphwellCtrl, EmptyTextKeepsPictureSizeAndSettings) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    c->SetModifiedFlag(FALSE);
    const QRCodeSettings before = c->Settings();
    PutI2(c.disp(), "PixelSize", 4);  // changes the settings ...
    const QRCodeSettings withPixel4 = c->Settings();
    EXPECT_NE(std::memcmp(&before, &withPixel4, sizeof before), 0);
    PutString(c.disp(), "TextData", "");
    PutI2(c.disp(), "PixelSize", 7);  // ... but not without a text
    EXPECT_EQ(std::memcmp(&withPixel4, &c->Settings(), sizeof withPixel4), 0);
    EXPECT_EQ(c.Width(), 4 * 21 + 20);
    EXPECT_TRUE(c->IsModified());
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
    EXPECT_EQ(PutColor(c.disp(), "ForeGroundColor", 0xFFFFFFFFu), S_OK);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, -1);
    EXPECT_EQ(PutString(c.disp(), "ForeGroundColor", "&H80000012"), S_OK);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, static_cast<LONG>(0x80000012));
    EXPECT_EQ(PutString(c.disp(), "ForeGroundColor", "123"), S_OK);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, 123);
    EXPECT_EQ(PutString(c.disp(), "ForeGroundColor", "red"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Get(c.disp(), "ForeGroundColor").lVal, 123);
}

TEST(GlyphwellCtrl, TextBecomesAnsiBytes) {
    ControlRef c;
    PutString(c.disp(), "TextData", "caf\xC3\xA9");  // U+00E9 arrives as one byte 0xE9
    EXPECT_EQ(QRCodeTextLength(&c->Settings()), 4);
    EXPECT_EQ(static_cast<unsigned char>(c->Settings().text[3]), 0xE9);
    EXPECT_EQ(GetString(c.disp(), "TextData"), "caf\xC3\xA9");
}

TEST(GlyphwellCtrl, OverlongTextIsCutSoItsEndStaysInTheField) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    const QRCodeSettings* s = &c->Settings();
    const std::string huge(QRCODE_TEXT_FIELD_SIZE + 500, 'A');
    EXPECT_EQ(PutString(c.disp(), "TextData", huge), S_OK);
    EXPECT_EQ(QRCodeTextLength(s), QRCODE_TEXT_MAX);
    for (int i = QRCODE_TEXT_MAX; i < QRCODE_TEXT_FIELD_SIZE; ++i) ASSERT_EQ(s->text[i], '#') << i;
    // Far too long to encode: the earlier picture stays.
    EXPECT_EQ(c.Width(), 83);
    EXPECT_TRUE(c->IsImageReady());
}

TEST(GlyphwellCtrl, UnencodableTextKeepsThePreviousPictureButMarksReady) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutI2(c.disp(), "PreferredVersion", 1);
    PutString(c.disp(), "TextData", std::string(3000, '7'));  // beyond version 40 at level H
    EXPECT_EQ(c.Width(), 83);
    EXPECT_TRUE(c->IsImageReady());
    ControlRef fresh;
    PutString(fresh.disp(), "TextData", std::string(5000, 'x'));
    EXPECT_TRUE(fresh->IsImageReady());
    EXPECT_FALSE(fresh->Image().IsValid());
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

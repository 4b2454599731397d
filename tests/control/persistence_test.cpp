// Saving and loading: the exact settings block, the picture brought back by a load, what a load
// leaves alone, and damaged or hostile stored state.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "control/settings_block.h"
#include "tests/control/control_host.h"

using namespace gwtest;

namespace {

std::vector<BYTE> SavedHello(int pixelSize) {
    ControlRef c;
    PutString(c.disp(), "TextData", "HELLO");
    PutI2(c.disp(), "PixelSize", static_cast<short>(pixelSize));
    return SaveState(c.ctrl);
}

// Every pixel of two pictures painted by their controls.
bool SamePicture(CGlyphwellCtrl* a, CGlyphwellCtrl* b) {
    int aw, ah, bw, bh;
    a->GetControlSize(&aw, &ah);
    b->GetControlSize(&bw, &bh);
    if (aw != bw || ah != bh) return false;
    Canvas ca(aw, ah), cb(bw, bh);
    ca.Paint(a, aw, ah);
    cb.Paint(b, bw, bh);
    for (int y = 0; y < ah; ++y)
        for (int x = 0; x < aw; ++x)
            if (ca.At(x, y) != cb.At(x, y)) return false;
    return true;
}

uint32_t Le32(const std::vector<BYTE>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(ControlPersistence, StoredBlockOfHelloAtPixelSize4) {
    const std::vector<BYTE> saved = SavedHello(4);
    ASSERT_GT(saved.size(), 7160u);
    EXPECT_EQ(Le32(saved, 0), 1u);   // preferred version
    EXPECT_EQ(Le32(saved, 4), 1u);   // the version the run chose
    EXPECT_EQ(Le32(saved, 12), 3u);  // level H
    EXPECT_EQ(Le32(saved, 16), 1u);  // byte mode
    EXPECT_EQ(Le32(saved, 20), 0xFFFFFFFFu);
    EXPECT_EQ(Le32(saved, 28), 1u);
    EXPECT_EQ(Le32(saved, 32), 1u);
    EXPECT_EQ(saved[44], 0);
    EXPECT_EQ(saved[45], 0);
    EXPECT_EQ(saved[46], 1);
    EXPECT_EQ(saved[47], 10);
    EXPECT_EQ(saved[48], 4);
    EXPECT_EQ(saved[52], 0xFF);
    EXPECT_EQ(saved[53], 0xFF);
    EXPECT_EQ(saved[54], 0xFF);
    EXPECT_EQ(saved[55], 0x00);
    EXPECT_EQ(Le32(saved, 56), 0u);
    EXPECT_EQ(std::memcmp(&saved[60], "HELLO", 5), 0);
    for (size_t i = 65; i < 7160; ++i) ASSERT_EQ(saved[i], '#') << i;
    // The framework's part follows the block.
    EXPECT_EQ(Le32(saved, 7160), kAfxControlStreamMagic);
}

TEST(ControlPersistence, EveryStoredControlStartsWithAWholeBlock) {
    for (const std::string& text : {std::string(), std::string("A"), std::string(2000, 'Z')}) {
        ControlRef c;
        if (!text.empty()) PutString(c.disp(), "TextData", text);
        const std::vector<BYTE> saved = SaveState(c.ctrl);
        ASSERT_GE(saved.size(), 7160u + 6u);
        EXPECT_EQ(Le32(saved, 7160), kAfxControlStreamMagic) << text.size();
    }
}

// Save, load into a fresh control, and every property reads back as set -- values equal to
// their defaults, system colours and text in any language included -- with the same picture;
// saving again writes the same block; a set after the load keeps the loaded look.
TEST(ControlPersistence, LoadBringsBackThePictureAndEveryProperty) {
    const struct {
        const char* name;
        const char* value;  // as the command line would set it
    } sets[][14] = {
        {{"PreferredVersion", "2"}, {"SelectedVersion", "7"}, {"CorrectionLevel", "1"}, {"EncodeMode", "4"},
         {"EciMode", "26"}, {"Fnc1Mode", "1"}, {"StructuredAppend", "True"}, {"ProcessTilde", "True"},
         {"AutoConfigurate", "True"}, {"Margin", "2"}, {"PixelSize", "6"}, {"BackGroundColor", "&H8000000F"},
         {"ForeGroundColor", "255"}, {"TextData", "HELLO ~d065"}},
        // Values equal to the defaults are set values all the same.
        {{"PreferredVersion", "1"}, {"SelectedVersion", "-1"}, {"CorrectionLevel", "3"}, {"EncodeMode", "1"},
         {"EciMode", "-1"}, {"Fnc1Mode", "0"}, {"StructuredAppend", "False"}, {"ProcessTilde", "False"},
         {"AutoConfigurate", "False"}, {"Margin", "10"}, {"PixelSize", "3"}, {"BackGroundColor", "16777215"},
         {"ForeGroundColor", "&H80000012"}, {"TextData", "Gr\xC3\xBC\xC3\x9F \xE6\x9D\xB1\xE4\xBA\xAC \xE2\x82\xAC"}},
        {{"PreferredVersion", "-1"}, {"SelectedVersion", "40"}, {"CorrectionLevel", "-1"}, {"EncodeMode", "3"},
         {"EciMode", "-1"}, {"Fnc1Mode", "-1"}, {"StructuredAppend", "False"}, {"ProcessTilde", "False"},
         {"AutoConfigurate", "False"}, {"Margin", "-1"}, {"PixelSize", "-1"}, {"BackGroundColor", "65535"},
         {"ForeGroundColor", "0"}, {"TextData", "\xE6\x9D\xB1\xE4\xBA\xAC"}},
    };
    for (const auto& set : sets) {
        SCOPED_TRACE(set[13].value);
        ControlRef original;
        for (const auto& p : set) ASSERT_EQ(PutString(original.disp(), p.name, p.value), S_OK) << p.name;
        ASSERT_TRUE(original->Image().IsValid());
        const std::vector<BYTE> saved = SaveState(original.ctrl);

        ControlRef loaded;
        LoadState(loaded.ctrl, saved);
        EXPECT_FALSE(loaded->IsModified());
        EXPECT_TRUE(SamePicture(original.ctrl, loaded.ctrl));
        for (const auto& p : set) {
            VARIANT a = Get(original.disp(), p.name), b = Get(loaded.disp(), p.name);
            VARIANT as, bs;
            VariantInit(&as);
            VariantInit(&bs);
            VariantChangeType(&as, &a, 0, VT_BSTR);
            VariantChangeType(&bs, &b, 0, VT_BSTR);
            EXPECT_EQ(a.vt, b.vt) << p.name;
            EXPECT_EQ(GwUtf8FromWide(as.bstrVal, SysStringLen(as.bstrVal)),
                      GwUtf8FromWide(bs.bstrVal, SysStringLen(bs.bstrVal))) << p.name;
            VariantClear(&a), VariantClear(&b), VariantClear(&as), VariantClear(&bs);
        }
        EXPECT_EQ(SaveState(loaded.ctrl), saved);
        // A set after the load starts from what was loaded.
        ASSERT_EQ(PutString(loaded.disp(), "PixelSize", "5"), S_OK);
        ASSERT_EQ(PutString(original.disp(), "PixelSize", "5"), S_OK);
        EXPECT_TRUE(SamePicture(original.ctrl, loaded.ctrl));
        std::vector<BYTE> a(QRCODE_SETTINGS_BLOCK_SIZE), b(QRCODE_SETTINGS_BLOCK_SIZE);
        GlyphwellStoreSettingsBlock(original->Settings(), a.data());
        GlyphwellStoreSettingsBlock(loaded->Settings(), b.data());
        EXPECT_EQ(a, b);
    }
}

// A block written before the properties were noted (reserved bytes zero) loads to the same
// picture, saves back unchanged, and gives the properties its fields say were set.
TEST(ControlPersistence, BlocksWithoutTheNoteGiveThePropertiesTheirFieldsHold) {
    ControlRef original;
    PutString(original.disp(), "TextData", "HELLO");
    PutI2(original.disp(), "PixelSize", 6);
    PutColor(original.disp(), "ForeGroundColor", 255);
    PutI2(original.disp(), "Margin", 2);
    PutI2(original.disp(), "CorrectionLevel", 3);  // the default: comes back unset
    std::vector<BYTE> saved = SaveState(original.ctrl);
    for (size_t at : {40, 41, 42, 43, 49, 50, 51}) saved[at] = 0;
    ControlRef loaded;
    LoadState(loaded.ctrl, saved);
    EXPECT_TRUE(SamePicture(original.ctrl, loaded.ctrl));
    EXPECT_EQ(loaded.Width(), 6 * 21 + 4);
    EXPECT_EQ(GetString(loaded.disp(), "TextData"), "HELLO");
    EXPECT_EQ(Get(loaded.disp(), "PixelSize").iVal, 6);
    EXPECT_EQ(Get(loaded.disp(), "Margin").iVal, 2);
    EXPECT_EQ(Get(loaded.disp(), "ForeGroundColor").lVal, 255);
    EXPECT_EQ(Get(loaded.disp(), "CorrectionLevel").iVal, -1);
    EXPECT_EQ(Get(loaded.disp(), "EciMode").iVal, -1);
    EXPECT_EQ(SaveState(loaded.ctrl), saved);
    // The next set keeps the look: PixelSize 5 redraws the red symbol with margin 2.
    PutI2(loaded.disp(), "PixelSize", 5);
    EXPECT_EQ(loaded.Width(), 5 * 21 + 4);
    EXPECT_EQ(loaded->Settings().foregroundColor, 255u);
    // A note that does not fit its record (a field away from its default but marked unset) is
    // not believed.
    std::vector<BYTE> forged = SaveState(original.ctrl);
    forged[40] = 0;  // PreferredVersion .. : PixelSize's bit sits in byte 41
    forged[41] = 0;
    forged[51] = 0x5A ^ forged[42] ^ forged[43] ^ forged[49] ^ forged[50];
    ControlRef doubted;
    LoadState(doubted.ctrl, forged);
    EXPECT_EQ(Get(doubted.disp(), "PixelSize").iVal, 6);
}

TEST(ControlPersistence, BlockWithEmptyTextLoadsWithoutDrawing) {
    std::vector<BYTE> saved = SavedHello(4);
    saved[60] = 0;
    ControlRef fresh;
    LoadState(fresh.ctrl, saved);
    EXPECT_FALSE(fresh->IsImageReady());
    ControlRef drawn;
    PutString(drawn.disp(), "TextData", "HELLO");
    LoadState(drawn.ctrl, saved);
    EXPECT_EQ(drawn.Width(), 83);  // the earlier picture stays
}

TEST(ControlPersistence, ShortOrForeignStreamsFailTheLoadAndChangeNothing) {
    const std::vector<BYTE> saved = SavedHello(4);
    std::vector<BYTE> foreignFramework = saved;
    foreignFramework[7160] ^= 0xFF;  // the framework part's tag
    std::vector<std::vector<BYTE>> bad;
    for (size_t cut : {size_t(0), size_t(3), size_t(60), size_t(65), size_t(7159), size_t(7160), saved.size() - 1})
        bad.emplace_back(saved.begin(), saved.begin() + static_cast<long>(cut));
    bad.push_back(foreignFramework);
    bad.push_back(std::vector<BYTE>(9000, 0x5A));  // garbage long enough for a block
    for (const std::vector<BYTE>& bytes : bad) {
        SCOPED_TRACE(bytes.size());
        ControlRef c;
        PutString(c.disp(), "TextData", "WORLD");
        const QRCodeSettings before = c->Settings();
        GwMemoryStream* stream = new GwMemoryStream(bytes);
        EXPECT_EQ(c.ctrl->Load(stream), E_FAIL);
        stream->Release();
        EXPECT_EQ(std::memcmp(&before, &c->Settings(), sizeof before), 0);
        EXPECT_EQ(c.Width(), 83);
        // The control goes on working: a property set draws as usual.
        PutI2(c.disp(), "PixelSize", 2);
        EXPECT_EQ(c.Width(), 2 * 21 + 20);
    }
    ControlRef whole;
    GwMemoryStream* stream = new GwMemoryStream(saved);
    EXPECT_EQ(whole.ctrl->Load(stream), S_OK);
    stream->Release();
    EXPECT_EQ(whole.Width(), 4 * 21 + 20);
}

TEST(ControlPersistence, HostileFieldValuesLeaveTheControlWorking) {
    const std::vector<BYTE> good = SavedHello(3);
    const struct {
        size_t offset;
        uint32_t value;
    } cases[] = {{0, 0}, {0, 41}, {0, 0x80000000u}, {0, 0x7FFFFFFFu}, {4, 0xFFFFFFFFu}, {8, 0xDEADBEEFu},
                 {12, 4}, {12, 0xFFFFFFFFu}, {12, 0x7FFFFFFFu}, {16, 9}, {16, 0xFFFFFFFEu}, {20, 1000000},
                 {20, 0x7FFFFFFFu}, {24, 7}, {24, 0xFFFFFFFFu}, {28, 0}, {28, 0xFFFFFFFFu}, {32, 0},
                 {32, 1000}, {36, 0xFFFFFFFFu}};
    for (const auto& k : cases) {
        for (bool tildeAndAppend : {false, true}) {
            std::vector<BYTE> bad = good;
            std::memcpy(&bad[k.offset], &k.value, 4);
            if (tildeAndAppend) bad[44] = bad[45] = 0xFF;
            ControlRef c;
            LoadState(c.ctrl, bad);
            EXPECT_TRUE(c->IsImageReady());
            // With the loaded properties set back to their defaults, the control draws as a
            // fresh one does.
            ClearProperties(c.disp());
            PutString(c.disp(), "TextData", "HELLO");
            EXPECT_EQ(c.Width(), 83) << k.offset << " " << k.value;
            EXPECT_EQ(c->Settings().selectedVersion, 1);
        }
    }
}

TEST(ControlPersistence, TextWithoutEndMarkIsRefusedByTheEncoder) {
    std::vector<BYTE> bad = SavedHello(3);
    std::memset(&bad[60], 'A', 7100);
    ControlRef c;
    LoadState(c.ctrl, bad);
    EXPECT_TRUE(c->IsImageReady());
    EXPECT_FALSE(c->Image().IsValid());
    PutString(c.disp(), "TextData", "HELLO");
    EXPECT_EQ(c.Width(), 83);
}

TEST(ControlPersistence, PropertiesAndStoredStateShareOneSizeLimitSoEverySavedPictureReloads) {
    // A version-40 symbol at 30 pixels a module: 177 x 30 + 20 = 5330 pixels on a side.
    ControlRef made;
    PutI2(made.disp(), "PreferredVersion", 40);
    PutI2(made.disp(), "PixelSize", 30);
    PutString(made.disp(), "TextData", "HELLO");
    ASSERT_EQ(made.Width(), 5330);
    ControlRef loaded;
    PutString(loaded.disp(), "TextData", "HELLO");
    LoadState(loaded.ctrl, SaveState(made.ctrl));
    EXPECT_EQ(loaded.Width(), 5330);
    EXPECT_EQ(loaded.Height(), 5330);

    // Beyond the renderer's limit neither road draws: 177 x 47 + 20 = 8339 pixels.
    PutI2(made.disp(), "PixelSize", 47);
    EXPECT_EQ(made.Width(), 5330);  // the earlier picture and size stay
    std::vector<BYTE> big = SaveState(made.ctrl);
    big[48] = 47;
    LoadState(loaded.ctrl, SavedHello(3));
    LoadState(loaded.ctrl, big);
    EXPECT_EQ(loaded.Width(), 3 * 21 + 20);
    EXPECT_TRUE(loaded->IsImageReady());
    EXPECT_EQ(loaded->Settings().pixelSize, 47);  // the record itself is loaded as stored
}

TEST(ControlPersistence, RandomDamageNeverBreaksTheControl) {
    const std::vector<BYTE> good = SavedHello(2);
    std::mt19937 rng(20261208);
    for (int round = 0; round < 40; ++round) {
        std::vector<BYTE> bad = good;
        // Damage the numeric head of the block and the framework part, keep the text short.
        for (int k = 0; k < 8; ++k) bad[rng() % 60] = static_cast<BYTE>(rng());
        bad[47] = static_cast<BYTE>(rng() % 20);  // margin and module size stay small: the
        bad[48] = static_cast<BYTE>(rng() % 6);   // picture size is not what is under test
        for (size_t i = 7160; i < bad.size(); ++i)
            if (rng() % 3 == 0) bad[i] = static_cast<BYTE>(rng());
        ControlRef c;
        LoadState(c.ctrl, bad);
        ClearProperties(c.disp());
        PutString(c.disp(), "TextData", "HELLO");
        ASSERT_EQ(c.Width(), 83) << round;
    }
}

TEST(ControlPersistence, BlockMappingRoundTripsEveryField) {
    QRCodeSettings s;
    QRCodeResetSettings(&s);
    s.preferredVersion = 7;
    s.selectedVersion = -2;
    s.correctionLevel = 2;
    s.encodeMode = 4;
    s.eciMode = 26;
    s.fnc1Mode = 2;
    s.appendPosition = 3;
    s.appendTotal = 5;
    s.applicationIndicator = 0x1234;
    s.structuredAppend = 7;  // any non-zero is on; stored as 1
    s.processTilde = 1;
    s.autoConfigurate = 0;
    s.margin = 200;
    s.pixelSize = 9;
    s.backgroundColor = 0x00112233;
    s.foregroundColor = 0x00445566;
    std::memcpy(s.text, "round trip", 10);
    std::vector<BYTE> block(QRCODE_SETTINGS_BLOCK_SIZE);
    GlyphwellStoreSettingsBlock(s, block.data());
    EXPECT_EQ(block[44], 1);
    EXPECT_EQ(Le32(block, 8), 0u);  // the pointer slot is never stored
    EXPECT_EQ(Le32(block, 40), 0u);
    QRCodeSettings back;
    std::memset(&back, 0x5A, sizeof back);
    GlyphwellLoadSettingsBlock(block.data(), &back);
    EXPECT_EQ(back.preferredVersion, 7);
    EXPECT_EQ(back.selectedVersion, -2);
    EXPECT_EQ(back.eciValues, nullptr);
    EXPECT_EQ(back.correctionLevel, 2);
    EXPECT_EQ(back.encodeMode, 4);
    EXPECT_EQ(back.eciMode, 26);
    EXPECT_EQ(back.fnc1Mode, 2);
    EXPECT_EQ(back.appendPosition, 3);
    EXPECT_EQ(back.appendTotal, 5);
    EXPECT_EQ(back.applicationIndicator, 0x1234);
    EXPECT_EQ(back.structuredAppend, 1);
    EXPECT_EQ(back.processTilde, 1);
    EXPECT_EQ(back.autoConfigurate, 0);
    EXPECT_EQ(back.margin, 200);
    EXPECT_EQ(back.pixelSize, 9);
    EXPECT_EQ(back.backgroundColor, 0x00112233u);
    EXPECT_EQ(back.foregroundColor, 0x00445566u);
    EXPECT_EQ(std::memcmp(back.text, s.text, QRCODE_TEXT_FIELD_SIZE), 0);
}

TEST(ControlPersistence, PropertyExchangeCarriesOnlyTheVersion) {
    ControlRef c;
    PutI2(c.disp(), "PixelSize", 4);
    GwMemoryStream* s = new GwMemoryStream;
    {
        CArchive ar(s, CArchive::store);
        CArchivePropExchange px(ar);
        c->DoPropExchange(&px);
    }
    EXPECT_EQ(s->Bytes().size(), 4u);
    EXPECT_EQ(Le32(s->Bytes(), 0), 0x00010000u);
    s->Release();
}

}  // namespace

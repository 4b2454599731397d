// The whole pipeline, from a settings record to a finished symbol, against two independent
// decoders: automatic segmentation of mixed texts, every level, versions of all three
// character-count groups, the ECI, structured-append and FNC1 headers and tilde escapes. Every
// symbol must read back as exactly the expected data bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "encoder/pipeline.h"
#include "encoder/tables.h"
#include "encoder/trace.h"
#include "tests/support/qr_decode.h"

namespace {

class PipelineConformance : public testing::Test {
protected:
    void SetUp() override {
        previousTrace_ = QRCodeTraceStream();
        QRCodeSetTraceStream(nullptr);  // the mask scores are not under test here
        settings_ = std::make_unique<QRCodeSettings>();
        QRCodeResetSettings(settings_.get());
    }
    void TearDown() override { QRCodeSetTraceStream(previousTrace_); }

    void SetText(const std::string& text) {
        ASSERT_LE(text.size(), static_cast<size_t>(QRCODE_TEXT_MAX));
        std::memset(settings_->text, '#', sizeof settings_->text);
        std::memcpy(settings_->text, text.data(), text.size());
    }

    // Encodes the record and checks that both decoders read `expected`; returns the version.
    // zbar reports nothing for a symbol of an incomplete structured-append sequence, so such a
    // symbol is read by ZXing alone.
    int ExpectDecodes(const std::string& expected, bool withZbar = true) {
        SymbolMatrix* m = QRCodeMakeSymbol(settings_.get());
        EXPECT_NE(m, nullptr);
        if (!m) return 0;
        const int version = m->version;
        const gwtest::GreyImage image = gwtest::RasteriseSymbol(*m);
        std::free(m);
        gwtest::DecodeResult z;
        if (withZbar) {
            z = gwtest::DecodeWithZbar(image);
        } else {
            z.ok = true;
            z.bytes = expected;
        }
        const gwtest::DecodeResult x = gwtest::DecodeWithZxing(image);
        EXPECT_TRUE(z.ok) << "zbar, version " << version << ": " << z.error;
        EXPECT_TRUE(x.ok) << "zxing, version " << version << ": " << x.error;
        if (z.ok) {
            EXPECT_EQ(z.bytes, expected) << "zbar, version " << version;
        }
        if (x.ok) {
            EXPECT_EQ(x.bytes, expected) << "zxing, version " << version;
        }
        return version;
    }

    std::unique_ptr<QRCodeSettings> settings_;
    FILE* previousTrace_ = nullptr;
};

TEST_F(PipelineConformance, AutomaticSegmentationOfMixedTexts) {
    settings_->encodeMode = QRCODE_MODE_AUTOMATIC;
    const char* texts[] = {
        "123",
        "ABCDEFG",
        "ABC123",
        "a123456789012",
        "HELLO WORLD 0123456789012345 hello world",
        "Order 4711: 25 x PART-NO/8832.A $19.99 + TAX 7% (paid) ~ 2024-12-08T03:00:00Z 99887766554433221100",
        "\x01\x02\xFF\xFE binary 000000000000000000 ABCDEFGHIJKLMNOPQ mixed",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        SetText(text);
        ExpectDecodes(text);
    }
    // Longer mixed texts push the look-ahead windows into the other version columns.
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "item " + std::to_string(1000000 + i * 7919) + " CODE-" + std::to_string(i) + "/X; ";
    SetText(longText);
    settings_->correctionLevel = QRCODE_LEVEL_L;
    EXPECT_GE(ExpectDecodes(longText), 10);
    SetText(longText + longText + longText);
    EXPECT_GE(ExpectDecodes(longText + longText + longText), 27);
}

TEST_F(PipelineConformance, EveryLevelInEverySingleMode) {
    struct ModeText {
        int mode;
        std::string text, expected;
    };
    const ModeText cases[] = {
        {QRCODE_MODE_BYTE, "Glyphwell \x80\xFF bytes", "Glyphwell \x80\xFF bytes"},
        {QRCODE_MODE_NUMERIC, "31415926535897932384626433", "31415926535897932384626433"},
        {QRCODE_MODE_ALPHANUMERIC, "HTTP://EXAMPLE.COM/A B-C*D+E%F$G:H", "HTTP://EXAMPLE.COM/A B-C*D+E%F$G:H"},
        {QRCODE_MODE_KANJI, "\x93\x5F\xE4\xAA\x88\x9F", "\x93\x5F\xE4\xAA\x88\x9F"},
    };
    for (const ModeText& c : cases) {
        for (int level = 0; level < 4; ++level) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " level " << level << " " << c.text);
            settings_->encodeMode = c.mode;
            settings_->correctionLevel = level;
            SetText(c.text);
            ExpectDecodes(c.expected);
        }
    }
}

TEST_F(PipelineConformance, VersionsOfAllThreeGroups) {
    settings_->correctionLevel = QRCODE_LEVEL_L;
    SetText(std::string(230, 'q'));
    EXPECT_EQ(ExpectDecodes(std::string(230, 'q')), 9);
    SetText(std::string(231, 'q'));
    EXPECT_EQ(ExpectDecodes(std::string(231, 'q')), 10);

    // Preferred versions in each group, with the search on and with it off.
    const std::string text = "version group check 0123456789";
    for (int version : {5, 9, 10, 19, 26, 27, 33, 40}) {
        SCOPED_TRACE(version);
        SetText(text);
        settings_->correctionLevel = version % 4;
        settings_->preferredVersion = version;
        settings_->autoConfigurate = version % 2;
        EXPECT_EQ(ExpectDecodes(text), version);
    }

    // Automatic mode near the top of the largest symbol.
    settings_->preferredVersion = 1;
    settings_->autoConfigurate = 1;
    settings_->correctionLevel = QRCODE_LEVEL_H;
    settings_->encodeMode = QRCODE_MODE_AUTOMATIC;
    std::string digits;
    for (int i = 0; i < 3057; ++i) digits += static_cast<char>('0' + (i * 7) % 10);
    SetText(digits);
    EXPECT_EQ(ExpectDecodes(digits), 40);
}

TEST_F(PipelineConformance, HeadersLeaveTheDataIntact) {
    const std::string text = "Header test 12345 ABC";
    SetText(text);

    settings_->eciMode = 26;  // UTF-8; the data bytes stay as they are
    ExpectDecodes(text);
    settings_->eciMode = 1000;
    ExpectDecodes(text);
    settings_->eciMode = -1;

    settings_->structuredAppend = 1;  // position 1 of 1
    ExpectDecodes(text);
    settings_->structuredAppend = 0;

    settings_->fnc1Mode = 1;
    ExpectDecodes(text);
    settings_->fnc1Mode = 2;
    settings_->applicationIndicator = 37;
    ExpectDecodes("37" + text);  // decoders report the application indicator before the data
    settings_->fnc1Mode = 0;

    settings_->structuredAppend = 1;
    settings_->appendPosition = 2;
    settings_->appendTotal = 3;
    ExpectDecodes(text, false);
}

TEST_F(PipelineConformance, TildeEscapesBecomeBytes) {
    settings_->processTilde = 1;
    SetText("~d065BC~~x~d255~");
    ExpectDecodes("ABC~x\xFF");
    // Kanji from tilde-processed bytes.
    settings_->encodeMode = QRCODE_MODE_KANJI;
    SetText("~d147_~d228~d170");
    ExpectDecodes("\x93\x5F\xE4\xAA");
}

TEST_F(PipelineConformance, EciEscapesSwitchTheReadersCharacterSet) {
    // {mode, text with escapes, the data bytes, the data as ZXing transmits it under the ECI
    // protocol: a switch shows as a backslash and the six-digit number at its place; ZXing opens
    // data that starts without one with its default, \000003}
    const struct {
        int32_t mode;
        const char* text;
        std::string bytes, transmitted;
    } cases[] = {
        {QRCODE_MODE_BYTE, "A~e000003B", "AB", "A\\000003B"},
        {QRCODE_MODE_BYTE, "~e000026tail", "tail", "\\000026tail"},
        {QRCODE_MODE_AUTOMATIC, "caf\xE9 ~e000026caf\xC3\xA9 ~e0000200123456789012",
         "caf\xE9 caf\xC3\xA9 0123456789012", "caf\xE9 \\000026caf\xC3\xA9 \\0000200123456789012"},
        {QRCODE_MODE_NUMERIC, "123~e000004456", "123456", "123\\000004456"},
        {QRCODE_MODE_KANJI, "~d147_~e000020~d228~d170", "\x93\x5F\xE4\xAA", "\x93\x5F\\000020\xE4\xAA"},
        // A switch at the very end governs no data: readers pass over it.
        {QRCODE_MODE_BYTE, "end~e001000", "end", "\\000003end"},
    };
    settings_->processTilde = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        settings_->encodeMode = c.mode;
        SetText(c.text);
        SymbolMatrix* m = QRCodeMakeSymbol(settings_.get());
        ASSERT_NE(m, nullptr);
        const gwtest::GreyImage image = gwtest::RasteriseSymbol(*m);
        std::free(m);
        const gwtest::DecodeResult x = gwtest::DecodeWithZxing(image);
        ASSERT_TRUE(x.ok) << x.error;
        EXPECT_EQ(x.bytes, c.bytes);
        // The transmitted data ends in the expected text, behind ZXing's symbology prefix.
        const size_t n = c.transmitted.size();
        EXPECT_EQ(x.bytesEci.size() >= n ? x.bytesEci.substr(x.bytesEci.size() - n) : x.bytesEci, c.transmitted)
            << x.bytesEci;
    }
}

}  // namespace

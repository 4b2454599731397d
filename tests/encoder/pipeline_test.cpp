// The symbol pipeline: version choice and search, failure messages and clean failure for bad
// records. Whether the symbols decode is checked by the conformance tests.
#include "encoder/pipeline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "encoder/tables.h"
#include "tests/encoder/trace_capture.h"

namespace {

class PipelineTest : public testing::Test {
protected:
    void SetUp() override {
        settings_ = std::make_unique<QRCodeSettings>();
        QRCodeResetSettings(settings_.get());
    }

    void SetText(const std::string& text) {
        ASSERT_LE(text.size(), sizeof settings_->text);
        std::memset(settings_->text, '#', sizeof settings_->text);
        std::memcpy(settings_->text, text.data(), text.size());
    }

    // Runs the pipeline; returns the symbol's version, or 0 when the run failed. A symbol must
    // be complete: its size matches the version and no cell is left unassigned.
    int Run() {
        SymbolMatrix* m = QRCodeMakeSymbol(settings_.get());
        EXPECT_EQ(settings_->eciValues, nullptr);
        if (!m) return 0;
        const int version = m->version;
        EXPECT_EQ(m->width, QRCodeModulesPerSide(version));
        EXPECT_EQ(m->height, m->width);
        int empty = 0;
        for (int x = 0; x < m->width; ++x)
            for (int y = 0; y < m->height; ++y) empty += QRCodeGetCell(m, x, y) == CELL_EMPTY;
        EXPECT_EQ(empty, 0);
        EXPECT_EQ(settings_->selectedVersion, version);
        std::free(m);
        return version;
    }

    std::unique_ptr<QRCodeSettings> settings_;
    TraceCapture trace_;
};

TEST_F(PipelineTest, DefaultsPickTheSmallestVersion) {
    SetText("ABC");  // 36 bits, 5 codewords: version 1-H holds 9
    EXPECT_EQ(Run(), 1);
    // One line of mask scores, and no failure message.
    EXPECT_EQ(trace_.Text().find("Could not"), std::string::npos);
}

TEST_F(PipelineTest, SearchCrossesIntoTheNextVersionGroup) {
    settings_->correctionLevel = QRCODE_LEVEL_L;
    SetText(std::string(230, 'a'));  // 1852 bits, 232 codewords: exactly version 9-L
    EXPECT_EQ(Run(), 9);
    SetText(std::string(231, 'a'));  // 233 codewords: rebuilt with a 16-bit count, version 10
    EXPECT_EQ(Run(), 10);
    // 1500 bytes need 1505 codewords, more than 26-L's 1370: the third group.
    SetText(std::string(1500, 'a'));
    const int v = Run();
    EXPECT_GE(v, 27);
    EXPECT_GE(QRCodeDataCodewords(v, QRCODE_LEVEL_L), (4 + 16 + 8 * 1500 + 7) / 8);
    EXPECT_LT(QRCodeDataCodewords(v - 1, QRCODE_LEVEL_L), (4 + 16 + 8 * 1500 + 7) / 8);
}

TEST_F(PipelineTest, PreferredVersionIsALowerBound) {
    SetText("ABC");
    settings_->preferredVersion = 5;
    EXPECT_EQ(Run(), 5);
    settings_->preferredVersion = 0;
    EXPECT_EQ(Run(), 1);
    settings_->preferredVersion = -7;
    EXPECT_EQ(Run(), 1);
    settings_->preferredVersion = 40;
    EXPECT_EQ(Run(), 40);
}

TEST_F(PipelineTest, FixedVersionTooSmallFails) {
    settings_->autoConfigurate = 0;
    SetText("ABCDEFGHIJKLMNOPQRST");  // 20 bytes into the 9 codewords of 1-H
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text(), "Too many codewords\n");

    // A fixed version that holds the data is used as it is.
    settings_->preferredVersion = 3;
    EXPECT_EQ(Run(), 3);

    // Eight bytes need 76 bits, four more than 1-H holds: the stream is not cut to fit (which
    // would lose the last byte's low half) but refused.
    settings_->preferredVersion = 1;
    SetText("ABCDEFG");  // 68 bits
    EXPECT_EQ(Run(), 1);
    const size_t before = trace_.Text().size();
    SetText("ABCDEFGH");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text().substr(before), "Too many codewords\n");
}

TEST_F(PipelineTest, TextBeyondVersionFortyFails) {
    settings_->correctionLevel = QRCODE_LEVEL_H;
    SetText(std::string(1274, 'a'));  // 40-H holds 1273 bytes
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text(), "Could not find any version to encode \n");
    SetText(std::string(1273, 'a'));
    EXPECT_EQ(Run(), 40);
}

TEST_F(PipelineTest, PreferredVersionAboveFortyFails) {
    SetText("ABC");
    settings_->preferredVersion = 41;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text(), "Could not find any version to encode \n");
    settings_->autoConfigurate = 0;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text(), "Could not find any version to encode \n");  // nothing more
}

TEST_F(PipelineTest, OutOfRangeLevelFailsWithoutASymbol) {
    SetText("ABC");
    for (int level : {-1, 4, 1000, INT32_MIN}) {
        settings_->correctionLevel = level;
        EXPECT_EQ(Run(), 0) << level;
    }
    for (int level = 0; level < 4; ++level) {
        settings_->correctionLevel = level;
        EXPECT_EQ(Run(), 1) << level;
    }
}

TEST_F(PipelineTest, TextsWithoutDataSegmentsStillMakeSymbols) {
    // An empty text writes a byte segment with count 0.
    EXPECT_EQ(Run(), 1);
    // A mode outside 0-4 (such as -1 after the first initialisation alone) writes no data
    // segment: the symbol carries the headers and padding only.
    SetText("ABC");
    for (int mode : {-1, 5, 99}) {
        settings_->encodeMode = mode;
        EXPECT_EQ(Run(), 1) << mode;
    }
}

TEST_F(PipelineTest, UnterminatedTextFailsCleanly) {
    // 7091 bytes leave only nine filler bytes: the text has no end mark inside the field.
    settings_->encodeMode = QRCODE_MODE_NUMERIC;
    SetText("1" + std::string(QRCODE_TEXT_MAX, 'x'));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text(), "Could not find any version to encode \n");
    // The longest text with an end mark is measured in full: numeric mode cannot hold the 'x'
    // at offset 1, so the run fails instead of encoding the leading digit alone.
    SetText(std::string(QRCODE_TEXT_MAX, 'x'));
    settings_->text[0] = '1';
    settings_->text[QRCODE_TEXT_MAX] = '#';
    EXPECT_EQ(QRCodeFirstUnencodable(settings_.get()), 1);
    EXPECT_EQ(Run(), 0);
}

TEST_F(PipelineTest, ForcedModesRefuseWhatTheyCannotHold) {
    // {mode, text, offset of the first byte the mode cannot hold, or -1}
    const struct {
        int32_t mode;
        const char* text;
        int32_t offset;
    } cases[] = {
        {QRCODE_MODE_NUMERIC, "12AB", 2},
        {QRCODE_MODE_NUMERIC, "0123456789", -1},
        {QRCODE_MODE_ALPHANUMERIC, "HELLO world", 6},
        {QRCODE_MODE_ALPHANUMERIC, "HELLO WORLD $%*+-./:", -1},
        {QRCODE_MODE_KANJI, "ABC", 0},
        {QRCODE_MODE_KANJI, "\x93\x5F\x93\x5F", -1},
        {QRCODE_MODE_KANJI, "\x93\x5F\x93\x5F\x41", 4},  // the odd byte pairs with the filler
        // Both bytes of a pair are checked: a second byte below 0x40 (or beyond the ranges' ends
        // 0x9FFC and 0xEBBF) would reach readers as another pair.
        {QRCODE_MODE_KANJI, "\x88\x3F", 1},
        {QRCODE_MODE_KANJI, "\x93\x5F\x88\x20", 3},
        {QRCODE_MODE_KANJI, "\x9F\xFD", 1},
        {QRCODE_MODE_KANJI, "\xEB\xC0", 1},
        {QRCODE_MODE_KANJI, "\xA0\x40", 0},
        {QRCODE_MODE_KANJI, "\x93\x5F\x93", 2},  // a lone last byte, whatever the filler
        {QRCODE_MODE_KANJI, "\x81\x40\x9F\xFC\xE0\x40\xEB\xBF\x88\x7F", -1},
        {QRCODE_MODE_BYTE, "any \xFF bytes", -1},
        {QRCODE_MODE_AUTOMATIC, "Mixed 123 TEXT", -1},
    };
    for (const auto& k : cases) {
        settings_->encodeMode = k.mode;
        SetText(k.text);
        EXPECT_EQ(QRCodeFirstUnencodable(settings_.get()), k.offset) << k.text;
        EXPECT_EQ(Run() == 0, k.offset >= 0) << k.text;
    }
    // Escapes are expanded first: ~d065 is 'A'.
    settings_->encodeMode = QRCODE_MODE_NUMERIC;
    settings_->processTilde = 1;
    SetText("12~d06534");
    EXPECT_EQ(QRCodeFirstUnencodable(settings_.get()), 2);
    EXPECT_EQ(settings_->eciValues, nullptr);
    EXPECT_EQ(Run(), 0);
    SetText("12~d05034");  // '2'
    EXPECT_EQ(QRCodeFirstUnencodable(settings_.get()), -1);
    EXPECT_EQ(Run(), 1);
    // A character-set switch between the two bytes of a pair leaves the first one alone.
    settings_->encodeMode = QRCODE_MODE_KANJI;
    SetText("~d147~e000020_");
    EXPECT_EQ(QRCodeFirstUnencodable(settings_.get()), 0);
    EXPECT_EQ(Run(), 0);
    SetText("~d147_~e000020~d147_");
    EXPECT_EQ(QRCodeFirstUnencodable(settings_.get()), -1);
    EXPECT_EQ(Run(), 1);
}

TEST_F(PipelineTest, StreamLongerThanItsCapacityFailsCleanly) {
    // Automatic segmentation of this pattern costs about nine bits per character once the
    // counts widen, so the longest text overruns the bit stream from the second group on.
    std::string text;
    while (text.size() + 11 <= static_cast<size_t>(QRCODE_TEXT_MAX)) text += "123456789Aa";
    settings_->encodeMode = QRCODE_MODE_AUTOMATIC;
    settings_->correctionLevel = QRCODE_LEVEL_L;
    SetText(text);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text(), "Could not find any version to encode \n");
    settings_->autoConfigurate = 0;
    settings_->preferredVersion = 40;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(trace_.Text(), "Could not find any version to encode \nToo many codewords\n");
}

TEST_F(PipelineTest, EciValuesAreOwnedByTheRun) {
    // Whatever the field holds when the run starts is ignored, and nothing is left behind.
    SetText("~e000026AB~d065");
    settings_->processTilde = 1;
    settings_->eciValues = reinterpret_cast<int32_t*>(std::uintptr_t{0x10});
    EXPECT_EQ(Run(), 1);
    settings_->eciValues = reinterpret_cast<int32_t*>(std::uintptr_t{0x10});
    settings_->correctionLevel = 9;
    EXPECT_EQ(Run(), 0);
}

TEST_F(PipelineTest, OddKanjiTextAndOddRecordValues) {
    // Odd-length kanji text: the last value takes the filler byte, which is no kanji character,
    // so the text is refused whichever filler follows it.
    settings_->encodeMode = QRCODE_MODE_KANJI;
    SetText("\x93\x5F\x93\x5F\x41");
    EXPECT_EQ(Run(), 0);
    settings_->processTilde = 1;
    EXPECT_EQ(Run(), 0);
    // Header fields out of their ranges are written by their low bits and never break a run.
    settings_->encodeMode = QRCODE_MODE_AUTOMATIC;
    settings_->structuredAppend = 1;
    settings_->appendPosition = -5;
    settings_->appendTotal = 1000;
    settings_->eciMode = INT32_MAX;
    settings_->fnc1Mode = 2;
    settings_->applicationIndicator = -1;
    settings_->correctionLevel = QRCODE_LEVEL_L;  // 112 bits of headers and data
    EXPECT_EQ(Run(), 1);
    settings_->fnc1Mode = 77;
    EXPECT_EQ(Run(), 1);
}

}  // namespace

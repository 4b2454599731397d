// The settings record: its defaults and where its text ends.
#include "encoder/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<QRCodeSettings> ResetRecord() {
    auto s = std::make_unique<QRCodeSettings>();
    std::memset(s.get(), 0x5A, sizeof *s);
    QRCodeResetSettings(s.get());
    return s;
}

void PutText(QRCodeSettings* s, const char* text, size_t n) { std::memcpy(s->text, text, n); }

TEST(SettingsTest, ResetGivesTheControlDefaults) {
    auto s = ResetRecord();
    EXPECT_EQ(s->preferredVersion, 1);
    EXPECT_EQ(s->selectedVersion, 1);
    EXPECT_EQ(s->correctionLevel, QRCODE_LEVEL_H);
    EXPECT_EQ(s->encodeMode, QRCODE_MODE_BYTE);
    EXPECT_EQ(s->eciMode, -1);
    EXPECT_EQ(s->fnc1Mode, 0);
    EXPECT_EQ(s->appendPosition, 1);
    EXPECT_EQ(s->appendTotal, 1);
    EXPECT_EQ(s->applicationIndicator, 0);
    EXPECT_EQ(s->structuredAppend, 0);
    EXPECT_EQ(s->processTilde, 0);
    EXPECT_EQ(s->autoConfigurate, 1);
    EXPECT_EQ(s->margin, 10);
    EXPECT_EQ(s->pixelSize, 3);
    EXPECT_EQ(s->backgroundColor, 0xFFFFFFu);
    EXPECT_EQ(s->foregroundColor, 0u);
    EXPECT_EQ(QRCodeTextLength(s.get()), 0);
    for (char c : s->text) ASSERT_EQ(c, '#');
}

TEST(SettingsTest, InitAloneLeavesRendererFieldsAndWritesNoDataMode) {
    auto s = std::make_unique<QRCodeSettings>();
    std::memset(s.get(), 0x5A, sizeof *s);
    int32_t sentinel = 7;
    s->eciValues = &sentinel;
    QRCodeInitSettings(s.get());
    EXPECT_EQ(s->selectedVersion, -1);
    EXPECT_EQ(s->encodeMode, -1);
    EXPECT_EQ(s->margin, 0x5A);
    EXPECT_EQ(s->pixelSize, 0x5A);
    EXPECT_EQ(s->backgroundColor, 0x5A5A5A5Au);
    EXPECT_EQ(s->eciValues, &sentinel);
}

TEST(SettingsTest, TextEndsAtTheFirstRunOfTenFillers) {
    auto s = ResetRecord();
    PutText(s.get(), "AB#", 3);  // a trailing '#' merges with the filler
    EXPECT_EQ(QRCodeTextLength(s.get()), 2);

    s = ResetRecord();
    PutText(s.get(), "ab#########cd", 13);  // nine '#' do not end the text
    EXPECT_EQ(QRCodeTextLength(s.get()), 13);

    s = ResetRecord();
    PutText(s.get(), "xyz##########tail", 17);  // ten '#' at position 3 end it there
    EXPECT_EQ(QRCodeTextLength(s.get()), 3);
}

TEST(SettingsTest, LongestMeasurableTextAndUnterminatedField) {
    auto s = ResetRecord();
    std::memset(s->text, 'x', QRCODE_TEXT_MAX);
    EXPECT_EQ(QRCodeTextLength(s.get()), QRCODE_TEXT_MAX);

    // One byte more leaves only nine filler bytes: no end mark inside the field. The scan
    // stops at the field's end (the record sits in a heap block of its exact size, so a scan
    // past the field is caught by the sanitizer build).
    std::memset(s->text, 'x', QRCODE_TEXT_MAX + 1);
    EXPECT_EQ(QRCodeTextLength(s.get()), QRCODE_TEXT_FIELD_SIZE);

    std::memset(s->text, 'x', QRCODE_TEXT_FIELD_SIZE);
    EXPECT_EQ(QRCodeTextLength(s.get()), QRCODE_TEXT_FIELD_SIZE);
}

}  // namespace

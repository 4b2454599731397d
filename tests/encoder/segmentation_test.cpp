// Automatic mode analysis: the look-ahead tests, the mode runs and the segments written for
// typical mixed texts, including the window change between version columns.
#include "encoder/segmentation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "encoder/segments.h"

namespace {

std::vector<int32_t> Values(const std::string& text) {
    std::vector<int32_t> v;
    for (unsigned char c : text) v.push_back(c);
    return v;
}

// The modes as a string: N numeric, A alphanumeric, B byte.
std::string Modes(const std::string& text, int version = 1) {
    const std::vector<int32_t> values = Values(text);
    std::vector<int32_t> modes(values.size(), 0);
    QRCodeAssignModes(values.data(), static_cast<int32_t>(values.size()), version, modes.data());
    std::string out;
    for (int32_t m : modes) out += m == QRCODE_SEGMENT_NUMERIC ? 'N' : m == QRCODE_SEGMENT_ALPHANUMERIC ? 'A' : 'B';
    return out;
}

std::string Segments(const std::string& text, int version = 1) {
    const std::vector<int32_t> values = Values(text);
    auto s = std::make_unique<BitStream>();
    BitStreamReset(s.get());
    EXPECT_TRUE(QRCodeAnalyseModes(values.data(), static_cast<int32_t>(values.size()), version, s.get()));
    return std::string(s->bits, static_cast<size_t>(s->count));
}

TEST(SegmentationTest, RunTestResults) {
    const std::vector<int32_t> v = Values("1234a");
    const int32_t n = static_cast<int32_t>(v.size());
    EXPECT_EQ(QRCodeRunTest(4, 4, 5, QRCODE_CLASS_DIGIT, 1, v.data(), n, 0), QRCODE_RUN_FULL);
    EXPECT_EQ(QRCodeRunTest(5, 5, 5, QRCODE_CLASS_DIGIT, 1, v.data(), n, 0), 'a');
    EXPECT_EQ(QRCodeRunTest(6, 6, 6, QRCODE_CLASS_DIGIT, 1, v.data(), n, 2), 'a');
    EXPECT_EQ(QRCodeRunTest(5, 5, 5, QRCODE_CLASS_DIGIT, 1, v.data(), 4, 0), QRCODE_RUN_TOO_SHORT);
    // The version picks the window: 4 for 1-8, 5 for 9-26, 6 for 27-40.
    EXPECT_EQ(QRCodeRunTest(4, 5, 6, QRCODE_CLASS_DIGIT, 8, v.data(), n, 0), QRCODE_RUN_FULL);
    EXPECT_EQ(QRCodeRunTest(4, 5, 6, QRCODE_CLASS_DIGIT, 9, v.data(), n, 0), 'a');
    EXPECT_EQ(QRCodeRunTest(4, 5, 6, QRCODE_CLASS_DIGIT, 27, v.data(), n, 0), 'a');
    // Digits are not exclusive alphanumeric characters.
    const std::vector<int32_t> w = Values("AB1");
    EXPECT_EQ(QRCodeRunTest(3, 3, 3, QRCODE_CLASS_EXCLUSIVE_ALPHANUMERIC, 1, w.data(), 3, 0), '1');
}

TEST(SegmentationTest, ModeRunCountsToTheEndOfTheText) {
    const int32_t modes[] = {3, 3, 1, 1, 1, 2};
    EXPECT_EQ(QRCodeModeRun(modes, 6, 0), 2);
    EXPECT_EQ(QRCodeModeRun(modes, 6, 2), 3);
    EXPECT_EQ(QRCodeModeRun(modes, 6, 5), 1);
}

TEST(SegmentationTest, ExamplesAtVersionOne) {
    EXPECT_EQ(Modes("123"), "NNN");
    EXPECT_EQ(Segments("123").size(), 24u);
    EXPECT_EQ(Modes("ABCDEFG"), "AAAAAAA");
    EXPECT_EQ(Segments("ABCDEFG").size(), 52u);
    EXPECT_EQ(Modes("ABC123"), "BBBBBB");
    EXPECT_EQ(Segments("ABC123").size(), 60u);
    EXPECT_EQ(Modes("a123456789012"), "BNNNNNNNNNNNN");
    EXPECT_EQ(Segments("a123456789012"), "0100" "00000001" "01100001"
                                         "0001" "0000001100" "0001111011" "0111001000" "1100010101" "0000001100");
}

TEST(SegmentationTest, SingleCharactersAndTransitions) {
    EXPECT_EQ(Modes("a"), "B");
    EXPECT_EQ(Modes("A"), "A");
    EXPECT_EQ(Modes("7"), "N");
    EXPECT_EQ(Segments("a"), "0100" "00000001" "01100001");
    // A digit start with an exclusive-byte character within four breaks to byte.
    EXPECT_EQ(Modes("12a"), "BBB");
    // A digit start whose longer window meets a letter starts alphanumeric.
    EXPECT_EQ(Modes("1234A"), "AAAAA");
    // Numeric until a letter, then alphanumeric; a lower-case letter then goes to byte.
    EXPECT_EQ(Modes("1234567AB"), "NNNNNNNAA");
    EXPECT_EQ(Modes("ABCDEFGh"), "AAAAAAAB");
    // Alphanumeric switches to numeric only for a run of 13 digits at version 1.
    EXPECT_EQ(Modes("ABCDEF1234567890123"), "AAAAAANNNNNNNNNNNNN");
    EXPECT_EQ(Modes("ABCDEF123456789012"), std::string(18, 'A'));
    // Byte switches to alphanumeric after a run of 11 exclusive alphanumeric characters.
    EXPECT_EQ(Modes("aBCDEFGHIJKL"), "BAAAAAAAAAAA");
    EXPECT_EQ(Modes("aBCDEFGHIJK"), "BBBBBBBBBBB");
}

TEST(SegmentationTest, WindowsFollowTheVersionColumn) {
    // Six digits after a byte switch to numeric at version 8 but need eight from version 9.
    EXPECT_EQ(Modes("a123456", 8), "BNNNNNN");
    EXPECT_EQ(Modes("a123456", 9), "BBBBBBB");
    EXPECT_EQ(Modes("a12345678", 9), "BNNNNNNNN");
    EXPECT_EQ(Modes("a12345678", 27), "BBBBBBBBB");
    // The segments use the count widths of the version group (byte count 16 bits at 10).
    EXPECT_EQ(Segments("a", 10), "0100" "0000000000000001" "01100001");
}

TEST(SegmentationTest, EveryCharacterIsWrittenExactlyOnce) {
    // Whatever the mix, the segments' counts add up to the text length.
    const std::string text = "Hello, WORLD 2024-12-08 ~ 0123456789 ABC/DEF:GHI $%*+-./: xyz 98765432109876";
    for (int version : {1, 9, 27}) {
        const std::string bits = Segments(text, version);
        size_t pos = 0;
        int total = 0;
        while (pos + 4 <= bits.size()) {
            const std::string indicator = bits.substr(pos, 4);
            const int mode = indicator == "0001" ? 1 : indicator == "0010" ? 2 : 3;
            ASSERT_TRUE(indicator == "0001" || indicator == "0010" || indicator == "0100") << indicator;
            const int width = QRCodeCountBits(mode, version);
            const int n = static_cast<int>(std::stoul(bits.substr(pos + 4, static_cast<size_t>(width)), nullptr, 2));
            ASSERT_GT(n, 0);
            const int body = mode == 1 ? 10 * (n / 3) + (n % 3 == 1 ? 4 : n % 3 == 2 ? 7 : 0)
                           : mode == 2 ? 11 * (n / 2) + 6 * (n % 2)
                                       : 8 * n;
            pos += 4 + width + body;
            total += n;
        }
        EXPECT_EQ(pos, bits.size());
        EXPECT_EQ(total, static_cast<int>(text.size())) << "version " << version;
    }
}

}  // namespace

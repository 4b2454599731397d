// Input preparation: tilde escapes, value conversion and the structured-append and ECI headers.
#include "encoder/input.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TildeResult {
    std::string text;
    std::vector<int32_t> eci;
};

// Runs tilde processing over `input` held in a heap buffer of its exact size, so the
// sanitizer build catches any read past the text.
TildeResult Tilde(const std::string& input) {
    auto s = std::make_unique<QRCodeSettings>();
    QRCodeResetSettings(s.get());
    std::vector<unsigned char> buffer(input.begin(), input.end());
    int32_t length = static_cast<int32_t>(buffer.size());
    const unsigned char* out = QRCodeProcessTilde(s.get(), buffer.data(), &length);
    TildeResult r;
    r.text.assign(reinterpret_cast<const char*>(out), static_cast<size_t>(length));
    if (s->eciValues) r.eci.assign(s->eciValues, s->eciValues + input.size());
    std::free(s->eciValues);
    return r;
}

TEST(InputTest, TildeEscapes) {
    EXPECT_EQ(Tilde("A~~B").text, "A~B");
    EXPECT_EQ(Tilde("~d065BC").text, "ABC");
    EXPECT_EQ(Tilde("~D300").text, "\xFF");       // above 255 -> 255
    EXPECT_EQ(Tilde("~d000").text, std::string(1, '\0'));
    EXPECT_EQ(Tilde("~d1x9").text, "\x01");       // digits stop at the first non-digit
    EXPECT_EQ(Tilde("~d 7ZQ").text, "\x07Q");     // a leading blank is accepted
    EXPECT_EQ(Tilde("~d12").text, "d12");         // too short to be an escape: '~' dropped
    EXPECT_EQ(Tilde("~x").text, "x");
    EXPECT_EQ(Tilde("ab~").text, "ab");
    EXPECT_EQ(Tilde("~").text, "");
    EXPECT_EQ(Tilde("").text, "");
    EXPECT_EQ(Tilde("~~~d065").text, "~A");
}

TEST(InputTest, EciEscapeMarksWhereTheCharacterSetSwitches) {
    // The escape adds no byte; its number marks the output position of the byte after it.
    const TildeResult r = Tilde("~e000026XY");
    EXPECT_EQ(r.text, std::string("XY"));
    ASSERT_EQ(r.eci.size(), 10u);
    EXPECT_EQ(r.eci[0], 26);
    for (size_t i = 1; i < r.eci.size(); ++i) EXPECT_EQ(r.eci[i], -1) << i;

    // Exactly eight bytes is still an escape (marking the end); seven is not.
    const TildeResult alone = Tilde("~E000026");
    EXPECT_EQ(alone.text, "");
    EXPECT_EQ(alone.eci[0], 26);
    EXPECT_EQ(Tilde("~e00002").text, "e00002");

    const TildeResult later = Tilde("ab~e000003c~e000004~e000020");
    EXPECT_EQ(later.text, "abc");
    EXPECT_EQ(later.eci[2], 3);
    EXPECT_EQ(later.eci[3], 20);  // of two escapes with nothing between them the later counts
    EXPECT_EQ(later.eci[0], -1);
    EXPECT_EQ(later.eci[1], -1);
}

TEST(InputTest, TildeOutputIsBoundedByItsBuffer) {
    // A length beyond the buffer is never followed: at most the buffer's size is read/written.
    std::vector<unsigned char> big(QRCODE_TILDE_BUFFER_SIZE + 500, 'q');
    auto s = std::make_unique<QRCodeSettings>();
    QRCodeResetSettings(s.get());
    int32_t length = static_cast<int32_t>(big.size());
    const unsigned char* out = QRCodeProcessTilde(s.get(), big.data(), &length);
    EXPECT_EQ(length, QRCODE_TILDE_BUFFER_SIZE);
    EXPECT_EQ(out[QRCODE_TILDE_BUFFER_SIZE - 1], 'q');
    std::free(s->eciValues);

    // The buffer is cleared for every run: bytes of a longer earlier output do not survive.
    unsigned char shortText[2] = {'z', 'z'};
    length = 2;
    out = QRCodeProcessTilde(s.get(), shortText, &length);
    EXPECT_EQ(out[2], 0);
    std::free(s->eciValues);
}

TEST(InputTest, ValueConversion) {
    const unsigned char bytes[] = {0x41, 0x80, 0xFF, 0x00};
    int32_t* values = QRCodeByteValues(bytes, 4);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values[0], 0x41);
    EXPECT_EQ(values[1], 128);
    EXPECT_EQ(values[2], 255);
    EXPECT_EQ(values[3], 0);
    std::free(values);

    // Odd length: the last value takes the filler, and nothing past the three bytes is read.
    auto odd = std::make_unique<unsigned char[]>(3);
    odd[0] = 0x93;
    odd[1] = 0x5F;
    odd[2] = 0x41;
    int32_t count = -1;
    values = QRCodeKanjiValues(odd.get(), 3, &count, '#');
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(values[0], 0x935F);
    EXPECT_EQ(values[1], 0x4123);
    std::free(values);
    values = QRCodeKanjiValues(odd.get(), 3, &count, 0);
    EXPECT_EQ(values[1], 0x4100);
    std::free(values);
    values = QRCodeKanjiValues(odd.get(), 0, &count, 0);
    EXPECT_EQ(count, 0);
    std::free(values);
}

std::string StreamBits(const BitStream& s) { return std::string(s.bits, static_cast<size_t>(s.count)); }

TEST(InputTest, StructuredAppendHeader) {
    auto s = std::make_unique<QRCodeSettings>();
    QRCodeResetSettings(s.get());
    auto stream = std::make_unique<BitStream>();
    BitStreamReset(stream.get());
    const int32_t abc[] = {'A', 'B', 'C'};
    QRCodeWriteStructuredAppend(s.get(), stream.get(), abc, 3);
    EXPECT_EQ(stream->count, 0);  // off by default

    s->structuredAppend = 1;
    QRCodeWriteStructuredAppend(s.get(), stream.get(), abc, 3);
    EXPECT_EQ(StreamBits(*stream), "0011" "0000" "0000" "01000000");

    // Position 3 of 16; a kanji value contributes both of its bytes to the parity.
    BitStreamReset(stream.get());
    s->appendPosition = 3;
    s->appendTotal = 16;
    const int32_t mixed[] = {0x935F, 0x41};
    QRCodeWriteStructuredAppend(s.get(), stream.get(), mixed, 2);
    const int parity = 0x93 ^ 0x5F ^ 0x41;
    std::string parityBits;
    for (int i = 7; i >= 0; --i) parityBits += ((parity >> i) & 1) ? '1' : '0';
    EXPECT_EQ(StreamBits(*stream), "0011" "0010" "1111" + parityBits);
}

TEST(InputTest, EciHeaderWidths) {
    auto s = std::make_unique<QRCodeSettings>();
    QRCodeResetSettings(s.get());
    auto stream = std::make_unique<BitStream>();
    const struct {
        int32_t eci;
        const char* bits;
    } cases[] = {
        {-1, ""},
        {0, "0111" "0" "0000000"},
        {26, "0111" "0" "0011010"},
        {127, "0111" "0" "1111111"},
        {128, "0111" "10" "00000010000000"},
        {1000, "0111" "10" "00001111101000"},
        {16383, "0111" "10" "11111111111111"},
        {20000, "0111" "110" "000000100111000100000"},
        {999999, "0111" "110" "011110100001000111111"},
    };
    for (const auto& c : cases) {
        BitStreamReset(stream.get());
        s->eciMode = c.eci;
        QRCodeWriteEci(s.get(), stream.get());
        EXPECT_EQ(StreamBits(*stream), c.bits) << c.eci;
    }
}

}  // namespace

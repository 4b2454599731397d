// The encoder's core against two independent decoders: symbols of every version and level,
// in numeric, alphanumeric, byte and kanji mode, filled close to capacity, must read back as
// exactly the bytes that went in.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "encoder/bit_stream.h"
#include "encoder/codewords.h"
#include "encoder/format_info.h"
#include "encoder/input.h"
#include "encoder/mask.h"
#include "encoder/matrix.h"
#include "encoder/placement.h"
#include "encoder/segments.h"
#include "encoder/tables.h"
#include "encoder/trace.h"
#include "tests/support/qr_decode.h"

namespace {

enum class Mode { kNumeric, kAlphanumeric, kByte, kKanji };

const char* ModeName(Mode mode) {
    switch (mode) {
        case Mode::kNumeric: return "numeric";
        case Mode::kAlphanumeric: return "alphanumeric";
        case Mode::kByte: return "byte";
        case Mode::kKanji: return "kanji";
    }
    return "?";
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using MatrixPtr = std::unique_ptr<SymbolMatrix, FreeDeleter>;

// One segment of `mode` over the whole text, then codewords, layout, placement and masking:
// the core of the pipeline without input processing or version search.
MatrixPtr BuildSymbol(const std::string& text, Mode mode, int version, int level) {
    auto stream = std::make_unique<BitStream>();
    BitStreamReset(stream.get());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const int length = static_cast<int>(text.size());
    int32_t count = length;
    int32_t* values = mode == Mode::kKanji ? QRCodeKanjiValues(bytes, length, &count, 0)
                                           : QRCodeByteValues(bytes, length);
    if (!values) return nullptr;
    switch (mode) {
        case Mode::kNumeric: QRCodeWriteNumeric(values, 0, count, version, stream.get()); break;
        case Mode::kAlphanumeric: QRCodeWriteAlphanumeric(values, 0, count, version, stream.get()); break;
        case Mode::kByte: QRCodeWriteByte(values, 0, count, version, stream.get()); break;
        case Mode::kKanji: QRCodeWriteKanji(values, 0, count, version, stream.get()); break;
    }
    std::free(values);
    int32_t* codewords = QRCodeCreateCodewords(stream.get(), version, level);
    if (!codewords) return nullptr;
    MatrixPtr m(static_cast<SymbolMatrix*>(std::malloc(sizeof(SymbolMatrix))));
    const int side = QRCodeModulesPerSide(version);
    QRCodeInitMatrix(m.get(), side, side, version);
    QRCodePlaceCodewords(m.get(), codewords, codewordCount);
    QRCodeMaskSymbol(m.get(), level);
    std::free(codewords);
    return m;
}

// A random text of `mode` with `n` characters (kanji: n double-byte Shift-JIS characters).
std::string RandomText(Mode mode, int n, std::mt19937& rng) {
    static const char kAlphanumeric[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    std::string text;
    for (int i = 0; i < n; ++i) {
        switch (mode) {
            case Mode::kNumeric: text += static_cast<char>('0' + rng() % 10); break;
            case Mode::kAlphanumeric: text += kAlphanumeric[rng() % 45]; break;
            case Mode::kByte: text += static_cast<char>(rng() % 256); break;
            case Mode::kKanji: {
                // JIS X 0208 level-1 kanji rows (lead bytes 0x88-0x98) and the hiragana row:
                // characters every Shift-JIS table knows, so neither decoder has to guess.
                const bool hiragana = rng() % 4 == 0;
                const int lead = hiragana ? 0x82 : 0x89 + static_cast<int>(rng() % 15);
                int trail = hiragana ? 0x9F + static_cast<int>(rng() % 83) : 0x40 + static_cast<int>(rng() % 188);
                if (trail >= 0x7F) ++trail;  // 0x7F is never a trail byte
                text += static_cast<char>(lead);
                text += static_cast<char>(trail);
                break;
            }
        }
    }
    return text;
}

int CapacityColumn(Mode mode) {
    switch (mode) {
        case Mode::kNumeric: return QRCODE_DC_NUMERIC;
        case Mode::kAlphanumeric: return QRCODE_DC_ALPHANUMERIC;
        case Mode::kByte: return QRCODE_DC_BYTE;
        case Mode::kKanji: return QRCODE_DC_KANJI;
    }
    return 0;
}

// Level bits and mask of a finished symbol, read from the first format copy.
int FormatData(const SymbolMatrix& m) {
    const int cells[15][2] = {{0, 8}, {1, 8}, {2, 8}, {3, 8}, {4, 8}, {5, 8}, {7, 8}, {8, 8},
                              {8, 7}, {8, 5}, {8, 4}, {8, 3}, {8, 2}, {8, 1}, {8, 0}};
    int word = 0;
    for (const auto& c : cells) word = (word << 1) | QRCodeIsDark(QRCodeGetCell(&m, c[0], c[1]));
    return (word ^ 0x5412) >> 10;
}

class CoreConformance : public ::testing::Test {
protected:
    void SetUp() override {
        previousTrace_ = QRCodeTraceStream();
        QRCodeSetTraceStream(nullptr);  // eight penalty lines per symbol would drown the log
    }
    void TearDown() override { QRCodeSetTraceStream(previousTrace_); }

    // Builds, checks the format word and reads the symbol back; both decoders must return the
    // text unless `zbarReads` is false.
    void Check(const std::string& text, Mode mode, int version, int level, bool zbarReads = true) {
        SCOPED_TRACE(std::string(ModeName(mode)) + " version " + std::to_string(version) + " level " +
                     "LMQH"[level] + ", " + std::to_string(text.size()) + " bytes");
        MatrixPtr m = BuildSymbol(text, mode, version, level);
        ASSERT_TRUE(m);
        const int format = FormatData(*m);
        const int levelBits[4] = {1, 0, 3, 2};
        EXPECT_EQ(format >> 3, levelBits[level]);
        masks_.insert(format & 7);
        // Two pixels per module keeps the corpus quick; ZXing 1.4 does not find version-40
        // symbols drawn that small (zbar does), so those get three.
        const gwtest::GreyImage image = gwtest::RasteriseSymbol(*m, 4, version >= 40 ? 3 : 2);
        const gwtest::DecodeResult zx = gwtest::DecodeWithZxing(image);
        EXPECT_TRUE(zx.ok) << zx.error;
        if (zx.ok) {
            EXPECT_TRUE(zx.bytes == text) << "ZXing read different bytes";
        }
        if (zbarReads) {
            const gwtest::DecodeResult zb = gwtest::DecodeWithZbar(image);
            EXPECT_TRUE(zb.ok) << zb.error;
            if (zb.ok) {
                EXPECT_TRUE(zb.bytes == text) << "zbar read different bytes";
            }
        }
        ++symbols_;
    }

    FILE* previousTrace_ = nullptr;
    std::set<int> masks_;
    int symbols_ = 0;
};

TEST_F(CoreConformance, EveryVersionAndLevelInNumericAlphanumericAndByteMode) {
    std::mt19937 rng(18004);
    const auto start = std::chrono::steady_clock::now();
    for (int version = 1; version <= 40; ++version) {
        for (int level = 0; level < 4; ++level) {
            for (Mode mode : {Mode::kNumeric, Mode::kAlphanumeric, Mode::kByte}) {
                const int capacity = DataCapacityTable.rows[(version - 1) * 4 + level][CapacityColumn(mode)];
                // Somewhere in the top tenth of the capacity, the exact capacity included.
                const int n = capacity - static_cast<int>(rng() % (capacity / 10 + 1));
                Check(RandomText(mode, n, rng), mode, version, level);
            }
        }
    }
    EXPECT_EQ(symbols_, 480);
    EXPECT_EQ(masks_.size(), 8u) << "every mask should win somewhere in the corpus";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("seconds", std::to_string(seconds));
}

TEST_F(CoreConformance, ExactCapacityAndRemainderBitVersions) {
    std::mt19937 rng(7);
    // Full symbols at the versions whose data modules leave 3, 4 and 7 remainder bits.
    for (int version : {2, 14, 21, 40}) {
        for (int level = 0; level < 4; ++level) {
            const int capacity = DataCapacityTable.rows[(version - 1) * 4 + level][QRCODE_DC_BYTE];
            Check(RandomText(Mode::kByte, capacity, rng), Mode::kByte, version, level);
        }
    }
    // Short texts in big symbols: mostly pad codewords.
    Check("0", Mode::kNumeric, 40, 0);
    Check("A", Mode::kAlphanumeric, 27, 3);
    Check("", Mode::kByte, 10, 1);
}

// Kanji mode. ZXing returns the Shift-JIS byte pairs untouched. zbar's QR decoder handles
// kanji segments too (it reads them as Shift-JIS and, in binary mode, hands the bytes back),
// so both must agree with the input.
TEST_F(CoreConformance, KanjiTextsReadBackAsShiftJisBytes) {
    std::mt19937 rng(208);
    for (int version : {1, 2, 5, 9, 10, 17, 26, 27, 33, 40}) {
        for (int level = 0; level < 4; ++level) {
            const int capacity = DataCapacityTable.rows[(version - 1) * 4 + level][QRCODE_DC_KANJI];
            const int n = capacity - static_cast<int>(rng() % (capacity / 10 + 1));
            Check(RandomText(Mode::kKanji, n, rng), Mode::kKanji, version, level);
        }
    }
    // The two kanji ranges' ends: 0x8140..0x9FFC and 0xE040..0xEBBF.
    Check("\x93\x5F\xE4\xAA\x88\x9F\x98\x73", Mode::kKanji, 1, 3);
}

}  // namespace

// The value API: the same symbols as the settings record's road for the same inputs, error
// values that say why, texts the record cannot hold read back by two decoders, and eight threads
// encoding at once with no lock (the EncoderThreads suite runs under ThreadSanitizer too).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "encoder/pipeline.h"
#include "encoder/symbol.h"
#include "encoder/trace.h"
#include "tests/support/qr_decode.h"

namespace {

QRCodeRequest RequestFor(const std::string& text) {
    QRCodeRequest r;
    r.data = reinterpret_cast<const unsigned char*>(text.data());
    r.length = static_cast<int32_t>(text.size());
    return r;
}

// The symbol the settings record makes of the same choices, as module rows.
std::vector<uint8_t> RecordModules(const QRCodeRequest& r, int* version) {
    auto s = std::make_unique<QRCodeSettings>();
    QRCodeResetSettings(s.get());
    std::memcpy(s->text, r.data, static_cast<size_t>(r.length));
    s->correctionLevel = r.level;
    s->encodeMode = r.mode;
    s->preferredVersion = r.minVersion;
    s->autoConfigurate = r.maxVersion > r.minVersion;
    s->eciMode = r.eci;
    s->fnc1Mode = r.fnc1;
    s->applicationIndicator = r.applicationIndicator;
    s->structuredAppend = r.appendTotal > 0;
    s->appendPosition = r.appendPosition;
    s->appendTotal = r.appendTotal;
    SymbolMatrix* m = QRCodeMakeSymbol(s.get());
    std::vector<uint8_t> modules;
    *version = 0;
    if (!m) return modules;
    *version = m->version;
    for (int y = 0; y < m->height; ++y)
        for (int x = 0; x < m->width; ++x) modules.push_back(static_cast<uint8_t>(QRCodeIsDark(QRCodeGetCell(m, x, y))));
    std::free(m);
    return modules;
}

// The decoders are Linux programs: the Windows build of these tests checks everything else.
#ifndef _WIN32
gwtest::GreyImage Rasterise(const QRCodeSymbol& s) {
    std::vector<std::string> rows;
    for (int y = 0; y < s.size; ++y) {
        std::string row;
        for (int x = 0; x < s.size; ++x) row += s.Dark(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return gwtest::RasteriseArt(rows);
}
#endif

class SymbolApi : public testing::Test {
protected:
    void SetUp() override {
        previous_ = QRCodeTraceStream();
        QRCodeSetTraceStream(nullptr);  // the record's penalty lines are not under test
    }
    void TearDown() override { QRCodeSetTraceStream(previous_); }
    FILE* previous_ = nullptr;
};

TEST_F(SymbolApi, SameSymbolsAsTheSettingsRecord) {
    std::mt19937 rng(20261208);
    const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:abcxyz\x01\xFF";
    int compared = 0, versionsSeen[41] = {};
    // One workspace and one result serve every case in turn, large and small, failed or not: what
    // a run leaves in them must never show in the next symbol.
    std::unique_ptr<QRCodeWorkspace, void (*)(QRCodeWorkspace*)> workspace(QRCodeNewWorkspace(), QRCodeFreeWorkspace);
    ASSERT_TRUE(workspace);
    QRCodeResult reused;
    for (int i = 0; i < 160; ++i) {
        QRCodeRequest r;
        r.level = i % 4;
        r.mode = i % 5;
        std::string text;
        const int length = 1 + static_cast<int>(rng() % (i < 120 ? 300 : 2000));
        for (int k = 0; k < length; ++k) {
            switch (r.mode) {
                case QRCODE_MODE_NUMERIC: text += static_cast<char>('0' + rng() % 10); break;
                case QRCODE_MODE_ALPHANUMERIC: text += kAlphabet[rng() % 45]; break;
                case QRCODE_MODE_KANJI:
                    text += static_cast<char>(0x88 + rng() % 16);
                    text += static_cast<char>(0x40 + rng() % 0xBD);
                    break;
                default: text += kAlphabet[rng() % (sizeof kAlphabet - 1)]; break;
            }
        }
        r.data = reinterpret_cast<const unsigned char*>(text.data());
        r.length = static_cast<int32_t>(text.size());
        r.minVersion = 1 + static_cast<int32_t>(rng() % 30);
        r.maxVersion = i % 7 == 3 ? r.minVersion : 40;
        if (i % 9 == 1) r.eci = static_cast<int32_t>(rng() % 20000);
        if (i % 11 == 2) r.fnc1 = 1;
        if (i % 13 == 4) {
            r.fnc1 = 2;
            r.applicationIndicator = 37;
        }
        if (i % 8 == 5) {
            r.appendTotal = 3;
            r.appendPosition = 2;
        }
        SCOPED_TRACE(testing::Message() << "case " << i << " mode " << r.mode << " level " << r.level << " length "
                                        << r.length << " versions " << r.minVersion << "-" << r.maxVersion);
        int version = 0;
        const std::vector<uint8_t> expected = RecordModules(r, &version);
        const QRCodeResult got = QRCodeEncode(r);
        ASSERT_EQ(got.Ok(), version != 0) << QRCodeDescribeError(got.error, r.level);
        EXPECT_EQ(QRCodeEncodeInto(r, workspace.get(), &reused), got.Ok());
        EXPECT_EQ(reused.error.kind, got.error.kind);
        EXPECT_EQ(reused.error.bitsNeeded, got.error.bitsNeeded);
        EXPECT_EQ(reused.symbol.modules, got.symbol.modules);
        EXPECT_EQ(reused.symbol.mask, got.symbol.mask);
        ASSERT_EQ(reused.symbol.segments.size(), got.symbol.segments.size());
        for (size_t k = 0; k < got.symbol.segments.size(); ++k) {
            EXPECT_EQ(reused.symbol.segments[k].mode, got.symbol.segments[k].mode);
            EXPECT_EQ(reused.symbol.segments[k].length, got.symbol.segments[k].length);
        }
        if (!version) {
            EXPECT_EQ(got.error.kind, QRCODE_ERROR_TOO_LONG);
            continue;
        }
        EXPECT_EQ(got.symbol.version, version);
        EXPECT_EQ(got.symbol.size, 17 + 4 * version);
        EXPECT_EQ(got.symbol.modules, expected);
        ++compared;
        ++versionsSeen[version];
        // A fixed mask equal to the one chosen gives the same symbol.
        QRCodeRequest fixed = r;
        fixed.mask = got.symbol.mask;
        EXPECT_EQ(QRCodeEncode(fixed).symbol.modules, expected);
    }
    int distinct = 0;
    for (int v = 1; v <= 40; ++v) distinct += versionsSeen[v] > 0;
    EXPECT_GE(compared, 120);
    EXPECT_GE(distinct, 30);
}

TEST_F(SymbolApi, SegmentsAndFixedMasksReadBack) {
    const std::string text = "caf\xE9 ORDER 4711 0123456789012345 x";
    const QRCodeEciMark marks[] = {{5, 26}};
    QRCodeRequest r = RequestFor(text);
    r.mode = QRCODE_MODE_AUTOMATIC;
    r.eciMarks = marks;
    r.eciMarkCount = 1;
    for (int mask = 0; mask < 8; ++mask) {
        r.mask = mask;
        const QRCodeResult got = QRCodeEncode(r);
        ASSERT_TRUE(got.Ok()) << QRCodeDescribeError(got.error, r.level);
        EXPECT_EQ(got.symbol.mask, mask);
#ifndef _WIN32
        const gwtest::DecodeResult x = gwtest::DecodeWithZxing(Rasterise(got.symbol));
        EXPECT_TRUE(x.ok) << x.error;
        EXPECT_EQ(x.bytes, text) << "mask " << mask;
#endif
        if (mask) continue;
        // The segments cover the data in order, the second piece opening with its switch.
        int32_t next = 0;
        for (const QRCodeSegment& s : got.symbol.segments) {
            EXPECT_EQ(s.offset, next);
            EXPECT_EQ(s.eci, s.offset == 5 ? 26 : -1);
            next = s.offset + s.length;
        }
        EXPECT_EQ(next, static_cast<int32_t>(text.size()));
        ASSERT_GE(got.symbol.segments.size(), 3u);
        EXPECT_EQ(got.symbol.segments.back().mode, QRCODE_MODE_BYTE);
    }
}

TEST_F(SymbolApi, ErrorsSayWhy) {
    const std::string digits(7089, '7');
    const std::string kanji = "\x93\x5F\x88\x3F";
    const std::string lone = "\x93\x5F\x93";
    const QRCodeEciMark badMarks[] = {{2, 26}, {1, 3}};
    struct Case {
        std::string name;
        std::string data;  // the request points into it when it runs
        QRCodeRequest request;
        QRCodeErrorKind kind;
        std::string text;  // what the description says
    };
    std::vector<Case> cases;
    auto add = [&](const std::string& name, const std::string& data, QRCodeErrorKind kind, const std::string& text,
                   auto&& change) {
        Case c{name, data, RequestFor(data), kind, text};
        change(c.request);
        cases.push_back(c);
    };
    add("level", "A", QRCODE_ERROR_INVALID_OPTION, "invalid option: level", [](QRCodeRequest& r) { r.level = 4; });
    add("mode", "A", QRCODE_ERROR_INVALID_OPTION, "invalid option: mode", [](QRCodeRequest& r) { r.mode = -1; });
    add("range", "A", QRCODE_ERROR_INVALID_OPTION, "invalid option: maxVersion", [](QRCodeRequest& r) {
        r.minVersion = 5;
        r.maxVersion = 4;
    });
    add("eci", "A", QRCODE_ERROR_INVALID_OPTION, "invalid option: eci", [](QRCodeRequest& r) { r.eci = 1000000; });
    add("marks", "ABC", QRCODE_ERROR_INVALID_OPTION, "invalid option: eciMarks", [&](QRCodeRequest& r) {
        r.eciMarks = badMarks;
        r.eciMarkCount = 2;
    });
    add("append", "A", QRCODE_ERROR_INVALID_OPTION, "invalid option: appendPosition", [](QRCodeRequest& r) {
        r.appendTotal = 2;
        r.appendPosition = 3;
    });
    add("mask", "A", QRCODE_ERROR_INVALID_OPTION, "invalid option: mask", [](QRCodeRequest& r) { r.mask = 8; });
    add("null data", "", QRCODE_ERROR_INVALID_OPTION, "invalid option: data", [](QRCodeRequest& r) {
        r.data = nullptr;
        r.length = 3;
    });
    add("numeric", "12A4", QRCODE_ERROR_UNENCODABLE, "numeric mode cannot hold byte 0x41 'A' at position 2",
        [](QRCodeRequest& r) { r.mode = QRCODE_MODE_NUMERIC; });
    add("kanji trail", kanji, QRCODE_ERROR_UNENCODABLE, "kanji mode cannot hold byte 0x3F '?' at position 3",
        [](QRCodeRequest& r) { r.mode = QRCODE_MODE_KANJI; });
    add("kanji lone", lone, QRCODE_ERROR_UNENCODABLE,
        "kanji mode cannot hold byte 0x93 at position 2 (a kanji character takes two bytes)",
        [](QRCodeRequest& r) { r.mode = QRCODE_MODE_KANJI; });
    // 20 bytes: 4 + 8 + 160 = 172 bits against 72 at 1-H.
    add("fixed", std::string(20, 'x'), QRCODE_ERROR_TOO_LONG,
        "does not fit a version-1 symbol at level H: it needs 172 bits, version 1 holds 72 (100 too many)",
        [](QRCodeRequest& r) { r.maxVersion = 1; });
    // 7089 digits at level H need 4 + 14 + 23630 bits against 10208 at 40-H.
    add("range too small", digits, QRCODE_ERROR_TOO_LONG,
        "does not fit any symbol from version 1 to 40 at level H: it needs 23648 bits, version 40 holds 10208",
        [](QRCodeRequest& r) { r.mode = QRCODE_MODE_NUMERIC; });
    add("overflow", std::string(8000, 'x'), QRCODE_ERROR_TOO_LONG, "it needs more than", [](QRCodeRequest&) {});

    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.request.data) c.request.data = reinterpret_cast<const unsigned char*>(c.data.data());
        const QRCodeResult got = QRCodeEncode(c.request);
        EXPECT_EQ(got.error.kind, c.kind);
        EXPECT_TRUE(got.symbol.modules.empty());
        const std::string why = QRCodeDescribeError(got.error, c.request.level);
        EXPECT_NE(why.find(c.text), std::string::npos) << why;
    }
    const QRCodeResult tooLong = QRCodeEncode(cases[11].request);
    EXPECT_EQ(tooLong.error.bitsNeeded - tooLong.error.bitsAvailable, 100);
    EXPECT_EQ(tooLong.error.minVersion, 1);
    EXPECT_EQ(tooLong.error.maxVersion, 1);
}

#ifndef _WIN32
TEST_F(SymbolApi, TextsTheRecordCannotHoldReadBack) {
    const std::string texts[] = {
        "TEL#",                               // the record drops a trailing '#'
        "A##########B",                       // ten '#' end the record's text
        std::string("NUL\0inside", 10),       // a NUL is data like any byte
        std::string(7089, '0').replace(0, 9, "123456789"),  // the largest numeric symbol, L
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 16));
        QRCodeRequest r = RequestFor(text);
        r.mode = QRCODE_MODE_AUTOMATIC;
        r.level = text.size() > 100 ? QRCODE_LEVEL_L : QRCODE_LEVEL_M;
        const QRCodeResult got = QRCodeEncode(r);
        ASSERT_TRUE(got.Ok()) << QRCodeDescribeError(got.error, r.level);
        const gwtest::GreyImage image = Rasterise(got.symbol);
        const gwtest::DecodeResult z = gwtest::DecodeWithZbar(image), x = gwtest::DecodeWithZxing(image);
        EXPECT_TRUE(z.ok) << z.error;
        EXPECT_TRUE(x.ok) << x.error;
        EXPECT_EQ(z.bytes, text);
        EXPECT_EQ(x.bytes, text);
    }
}
#endif

// Eight threads encode at once, each its own texts, with no lock anywhere on the road; every
// symbol equals the one made alone.
TEST(EncoderThreads, EightThreadsEncodeAtOnceWithoutALock) {
    constexpr int kThreads = 8, kRounds = 12;
    auto textOf = [](int t, int i) {
        return "thread " + std::to_string(t) + " round " + std::to_string(i) + " " + std::string(static_cast<size_t>(t * 37 + i * 11), 'Q');
    };
    auto requestOf = [](const std::string& text, int t, int i) {
        QRCodeRequest r = RequestFor(text);
        r.mode = (t + i) % 2 ? QRCODE_MODE_AUTOMATIC : QRCODE_MODE_BYTE;
        r.level = (t + i) % 4;
        return r;
    };
    std::vector<std::vector<std::vector<uint8_t>>> alone(kThreads), together(kThreads);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kRounds; ++i) {
            const std::string text = textOf(t, i);
            alone[t].push_back(QRCodeEncode(requestOf(text, t, i)).symbol.modules);
        }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const std::string text = textOf(t, i);
                together[t].push_back(QRCodeEncode(requestOf(text, t, i)).symbol.modules);
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(together[t].size(), alone[t].size());
        for (int i = 0; i < kRounds; ++i) {
            EXPECT_FALSE(alone[t][i].empty());
            EXPECT_EQ(together[t][i], alone[t][i]) << "thread " << t << " round " << i;
        }
    }
}

}  // namespace

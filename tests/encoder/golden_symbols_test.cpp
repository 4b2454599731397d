// Golden symbols: a few hundred seeded encoding runs whose outcome (version, chosen mask, a hash
// of every cell of the finished matrix and a hash of the diagnostic lines) was recorded in
// tests/data/golden/symbols.txt. Any change to the encoder that alters a single module, a cell's
// kind, the mask choice or a penalty line shows up here, naming the run that changed.
//
// To record the file afresh (only when a change of output is intended and understood):
//   GLYPHWELL_REGENERATE_GOLDEN=1 build/tests/glyphwell_encoder_tests --gtest_filter='GoldenSymbols.*'
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/format_info.h"
#include "encoder/mask.h"
#include "encoder/pipeline.h"
#include "encoder/settings.h"
#include "encoder/tables.h"
#include "tests/encoder/reference_penalties.h"
#include "tests/encoder/trace_capture.h"

namespace {

const char kGoldenPath[] = GLYPHWELL_TEST_DATA "/golden/symbols.txt";

// 64-bit FNV-1a: small, fixed and endian-independent as fed here, so the recorded hashes do not
// depend on the machine.
struct Fnv64 {
    uint64_t h = 0xcbf29ce484222325ull;
    void Byte(uint8_t b) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    void Int(int32_t v) {
        const uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) Byte(static_cast<uint8_t>(u >> (8 * i)));
    }
    void Bytes(const std::string& s) {
        for (unsigned char c : s) Byte(c);
    }
};

std::string Hex(uint64_t v) {
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(v));
    return buffer;
}

// splitmix64: the case generator must give the same texts on every compiler and library, which
// rules out the standard distributions.
struct Rng {
    uint64_t s;
    uint64_t Next() {
        uint64_t z = (s += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
};

const char kAlphanumeric[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

std::string Digits(Rng& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + r.Below(10));
    return s;
}
std::string Alphanumerics(Rng& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += kAlphanumeric[r.Below(45)];
    return s;
}
std::string Bytes(Rng& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>(r.Below(256));
    return s;
}
std::string Lower(Rng& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('a' + r.Below(26));
    return s;
}
// Byte pairs inside the two kanji ranges 0x8140-0x9FFC and 0xE040-0xEBBF.
std::string Kanji(Rng& r, int characters) {
    std::string s;
    for (int i = 0; i < characters; ++i) {
        int high, low;
        if (r.Below(4) == 0) {
            high = r.Between(0xE0, 0xEB);
            low = r.Between(0x40, high == 0xEB ? 0xBF : 0xFC);
        } else {
            high = r.Between(0x81, 0x9F);
            low = r.Between(0x40, 0xFC);
        }
        s += static_cast<char>(high);
        s += static_cast<char>(low);
    }
    return s;
}
// Runs of digits, upper-case alphanumerics, lower-case letters and arbitrary bytes, so that
// automatic segmentation switches modes inside the text.
std::string Mixed(Rng& r, int n) {
    std::string s;
    while (static_cast<int>(s.size()) < n) {
        const int run = r.Between(1, r.Below(3) == 0 ? 30 : 12);
        switch (r.Below(4)) {
            case 0: s += Digits(r, run); break;
            case 1: s += Alphanumerics(r, run); break;
            case 2: s += Lower(r, run); break;
            default: s += Bytes(r, run); break;
        }
    }
    s.resize(static_cast<size_t>(n));
    return s;
}

struct Case {
    std::string id;  // stable name of the run
    std::string text;
    int level = QRCODE_LEVEL_H;
    int mode = QRCODE_MODE_BYTE;
    int preferredVersion = 1;
    bool autoConfigurate = true;
    int eci = -1;
    int fnc1 = 0;
    int applicationIndicator = 0;
    bool structuredAppend = false;
    int appendPosition = 1;
    int appendTotal = 1;
    bool tilde = false;
    bool fillWholeField = false;  // text over the whole field, no end mark
};

int CharacterCapacity(int version, int level, int mode) {
    const int32_t* row = DataCapacityTable.rows[(version - 1) * QRCODE_LEVEL_COUNT + level];
    switch (mode) {
        case QRCODE_MODE_NUMERIC: return row[QRCODE_DC_NUMERIC];
        case QRCODE_MODE_ALPHANUMERIC: return row[QRCODE_DC_ALPHANUMERIC];
        case QRCODE_MODE_KANJI: return row[QRCODE_DC_KANJI];
        default: return row[QRCODE_DC_BYTE];
    }
}

std::string TextFor(Rng& r, int mode, int n) {
    switch (mode) {
        case QRCODE_MODE_NUMERIC: return Digits(r, n);
        case QRCODE_MODE_ALPHANUMERIC: return Alphanumerics(r, n);
        case QRCODE_MODE_KANJI: return Kanji(r, n);
        case QRCODE_MODE_AUTOMATIC: return Mixed(r, n);
        default: return Bytes(r, n);
    }
}

std::vector<Case> MakeCases() {
    std::vector<Case> cases;
    Rng r{20261208};
    const int kModes[5] = {QRCODE_MODE_BYTE, QRCODE_MODE_ALPHANUMERIC, QRCODE_MODE_NUMERIC, QRCODE_MODE_KANJI,
                           QRCODE_MODE_AUTOMATIC};

    // Every version at every level, filled to between a third and all of its capacity in one of
    // the modes; every third run with a fixed version, the rest searching from that version.
    for (int v = 1; v <= 40; ++v) {
        for (int level = 0; level < 4; ++level) {
            Case c;
            c.mode = kModes[(v * 4 + level) % 5];
            c.level = level;
            c.preferredVersion = v;
            c.autoConfigurate = (v + level) % 3 != 0;
            const int capacity = CharacterCapacity(v, level, c.mode);
            const int n = capacity / 3 + r.Below(capacity - capacity / 3 + 1);
            c.text = TextFor(r, c.mode, n);
            c.id = "fill-v" + std::to_string(v) + "-l" + std::to_string(level);
            cases.push_back(c);
        }
    }

    // Automatic segmentation of mixed texts of many lengths, searching from version 1.
    for (int i = 0; i < 64; ++i) {
        Case c;
        c.mode = QRCODE_MODE_AUTOMATIC;
        c.level = i % 4;
        const int maxLength = i < 52 ? 400 : 2900;
        c.text = Mixed(r, r.Between(1, maxLength));
        if (i >= 52) c.level = QRCODE_LEVEL_L;
        c.id = "auto-" + std::to_string(i);
        cases.push_back(c);
    }

    // ECI headers of all three lengths.
    const int kEci[] = {0, 3, 26, 127, 128, 1000, 16383, 16384, 20000, 999999, 2097151, 4194305};
    for (int i = 0; i < 12; ++i) {
        Case c;
        c.eci = kEci[i];
        c.level = i % 4;
        c.mode = i % 2 ? QRCODE_MODE_AUTOMATIC : QRCODE_MODE_BYTE;
        c.text = c.mode == QRCODE_MODE_BYTE ? Bytes(r, r.Between(1, 120)) : Mixed(r, r.Between(1, 120));
        c.id = "eci-" + std::to_string(c.eci);
        cases.push_back(c);
    }

    // FNC1 in first and second position, with application indicators beyond 8 bits too.
    const int kIndicators[] = {0, 37, 255, 300, -1};
    for (int i = 0; i < 10; ++i) {
        Case c;
        c.fnc1 = 1 + i % 2;
        c.applicationIndicator = kIndicators[i % 5];
        c.level = (i + 1) % 4;
        c.mode = i < 4 ? QRCODE_MODE_NUMERIC : i < 7 ? QRCODE_MODE_ALPHANUMERIC : QRCODE_MODE_AUTOMATIC;
        c.text = TextFor(r, c.mode, r.Between(1, 90));
        c.id = "fnc1-" + std::to_string(i);
        cases.push_back(c);
    }

    // Structured append: positions and totals, byte and kanji data (the parity covers both
    // bytes of a kanji character).
    const int kAppend[][2] = {{1, 1}, {2, 3}, {16, 16}, {5, 9}, {1, 2}, {3, 3}, {9, 12}, {1, 16}};
    for (int i = 0; i < 8; ++i) {
        Case c;
        c.structuredAppend = true;
        c.appendPosition = kAppend[i][0];
        c.appendTotal = kAppend[i][1];
        c.level = i % 4;
        c.mode = i % 3 == 2 ? QRCODE_MODE_KANJI : i % 3 == 1 ? QRCODE_MODE_AUTOMATIC : QRCODE_MODE_BYTE;
        c.text = TextFor(r, c.mode, r.Between(1, 60));
        c.id = "append-" + std::to_string(i);
        cases.push_back(c);
    }

    // Tilde escapes: fixed pieces spliced between random text.
    const char* const kEscapes[] = {"~d065", "~D300", "~d12x", "~~",  "~e000026", "~E001000", "~x",
                                    "~d 7a", "~e12",  "~d-12", "~",   "~d999",    "~e999999", "~D0"};
    for (int i = 0; i < 16; ++i) {
        Case c;
        c.tilde = true;
        c.level = i % 4;
        c.mode = i % 4 == 3 ? QRCODE_MODE_KANJI : i % 2 ? QRCODE_MODE_AUTOMATIC : QRCODE_MODE_BYTE;
        std::string text;
        const int pieces = r.Between(1, 5);
        for (int p = 0; p < pieces; ++p) {
            text += c.mode == QRCODE_MODE_KANJI ? Kanji(r, r.Between(0, 6)) : Mixed(r, r.Between(0, 12));
            text += kEscapes[r.Below(14)];
        }
        if (i % 5 == 4) text += "~";  // a trailing '~' is dropped
        if (i == 6) text = "~e000026";  // exactly one escape and nothing else
        c.text = text;
        c.id = "tilde-" + std::to_string(i);
        cases.push_back(c);
    }

    // Kanji mode: odd byte counts and bytes outside the kanji ranges (both refused), both ranges.
    for (int i = 0; i < 12; ++i) {
        Case c;
        c.mode = QRCODE_MODE_KANJI;
        c.level = i % 4;
        c.text = Kanji(r, r.Between(1, 200));
        if (i % 3 == 1) c.text += static_cast<char>(0x93);
        if (i % 3 == 2) c.text.insert(c.text.size() / 2, "AB");
        c.id = "kanji-" + std::to_string(i);
        cases.push_back(c);
    }

    // Outside the common road: empty text, no data mode, odd preferred versions, failures.
    auto edge = [&](const std::string& id, auto setup) {
        Case c;
        c.id = "edge-" + id;
        setup(c);
        cases.push_back(c);
    };
    edge("empty", [](Case&) {});
    edge("empty-v7", [](Case& c) { c.preferredVersion = 7; });
    edge("mode-none", [&](Case& c) {
        c.mode = -1;
        c.text = "ABC";
    });
    edge("mode-9", [&](Case& c) {
        c.mode = 9;
        c.text = "ABC";
    });
    edge("preferred-0", [&](Case& c) {
        c.preferredVersion = 0;
        c.text = Lower(r, 30);
    });
    edge("preferred-negative", [&](Case& c) {
        c.preferredVersion = -5;
        c.text = Lower(r, 30);
    });
    edge("preferred-41-search", [&](Case& c) {
        c.preferredVersion = 41;
        c.text = "A";
    });
    edge("preferred-41-fixed", [&](Case& c) {
        c.preferredVersion = 41;
        c.autoConfigurate = false;
        c.text = "A";
    });
    edge("fixed-too-small", [&](Case& c) {
        c.autoConfigurate = false;
        c.text = Lower(r, 20);
    });
    edge("too-long-for-40H", [&](Case& c) { c.text = Bytes(r, 1274); });
    edge("full-40L-bytes", [&](Case& c) {
        c.level = QRCODE_LEVEL_L;
        c.text = Lower(r, 2953);
    });
    edge("full-40L-digits", [&](Case& c) {
        c.level = QRCODE_LEVEL_L;
        c.mode = QRCODE_MODE_NUMERIC;
        c.text = Digits(r, 7089);
    });
    edge("full-40H-bytes", [&](Case& c) { c.text = Lower(r, 1273); });
    edge("group-edge-230", [&](Case& c) {
        c.level = QRCODE_LEVEL_L;
        c.text = Lower(r, 230);
    });
    edge("group-edge-231", [&](Case& c) {
        c.level = QRCODE_LEVEL_L;
        c.text = Lower(r, 231);
    });
    edge("numeric-stops", [&](Case& c) {
        c.mode = QRCODE_MODE_NUMERIC;
        c.text = "123A45";
    });
    edge("alphanumeric-stops", [&](Case& c) {
        c.mode = QRCODE_MODE_ALPHANUMERIC;
        c.text = "AC-42abc";
    });
    edge("trailing-filler", [&](Case& c) { c.text = "AB#"; });
    edge("level-5", [&](Case& c) {
        c.level = 5;
        c.text = "A";
    });
    edge("no-end-mark", [&](Case& c) { c.fillWholeField = true; });
    edge("all-headers", [&](Case& c) {
        c.mode = QRCODE_MODE_AUTOMATIC;
        c.eci = 26;
        c.fnc1 = 2;
        c.applicationIndicator = 99;
        c.structuredAppend = true;
        c.appendPosition = 2;
        c.appendTotal = 4;
        c.tilde = true;
        c.text = "~d065BC123456789~e000003xyz";
    });
    return cases;
}

std::string Describe(const Case& c) {
    std::ostringstream out;
    out << "level=" << c.level << " mode=" << c.mode << " preferred=" << c.preferredVersion
        << " search=" << c.autoConfigurate << " eci=" << c.eci << " fnc1=" << c.fnc1 << "/"
        << c.applicationIndicator << " append=" << c.structuredAppend << ":" << c.appendPosition << "/"
        << c.appendTotal << " tilde=" << c.tilde << " length=" << c.text.size();
    return out.str();
}

// The mask number, read back from the first copy of the format information; -1 when the word
// is not a valid format word or the second copy disagrees.
int MaskFromFormat(const SymbolMatrix* m) {
    const int W = m->width, H = m->height;
    int first = 0, second = 0;
    for (int k = 0; k < 15; ++k) {
        int x, y;
        if (k <= 5) {
            x = 8, y = k;
        } else if (k == 6) {
            x = 8, y = 7;
        } else if (k == 7) {
            x = 8, y = 8;
        } else if (k == 8) {
            x = 7, y = 8;
        } else {
            x = 14 - k, y = 8;
        }
        if (QRCodeGetCell(m, x, y) == CELL_FORMAT_DARK) first |= 1 << k;
        if (k <= 7) {
            x = W - 1 - k, y = 8;
        } else {
            x = 8, y = H - 15 + k;
        }
        if (QRCodeGetCell(m, x, y) == CELL_FORMAT_DARK) second |= 1 << k;
    }
    if (first != second) return -1;
    for (int index = 0; index < 32; ++index) {
        int word = 0;
        for (const char* p = FormatInfoStrings[index]; *p; ++p) word = (word << 1) | (*p == '1');
        if (word == first) return index % 8;
    }
    return -1;
}

// The recorded penalty lines of a finished symbol, read module by module: the symbol as it stood
// before masking (data cells unmasked with the chosen mask, format and version areas reserved
// again) scored under each of the eight masks. The word-wise scorer must give the same lines.
std::string ReferenceTrace(const SymbolMatrix& finished, int mask) {
    auto before = std::make_unique<SymbolMatrix>(finished);
    for (int x = 0; x < before->width; ++x)
        for (int y = 0; y < before->height; ++y) {
            const int32_t v = QRCodeGetCell(before.get(), x, y);
            if (QRCodeIsDataCell(v) && QRCodeMaskInverts(mask, y, x))
                QRCodeSetCell(before.get(), x, y, v == CELL_DATA_DARK ? CELL_DATA_LIGHT : CELL_DATA_DARK);
        }
    QRCodeReserveInformationAreas(before.get());
    std::string trace;
    const int W = before->width, H = before->height;
    for (int k = 0; k < 8; ++k) {
        int32_t* copy = QRCodeApplyMask(before.get(), k);
        if (!copy) return "no masked copy";
        int32_t s[4];
        ReferenceScores(std::vector<int32_t>(copy, copy + W * H), W, H, s);
        std::free(copy);
        char line[64];
        std::snprintf(line, sizeof line, "%d %d %d %d\t\n", s[0], s[1], s[2], s[3]);
        trace += line;
    }
    return trace;
}

// One golden line: the run's name, its settings, a hash of its input text and its outcome.
std::string RunCase(const Case& c) {
    auto s = std::make_unique<QRCodeSettings>();
    QRCodeResetSettings(s.get());
    s->correctionLevel = c.level;
    s->encodeMode = c.mode;
    s->preferredVersion = c.preferredVersion;
    s->autoConfigurate = c.autoConfigurate ? 1 : 0;
    s->eciMode = c.eci;
    s->fnc1Mode = c.fnc1;
    s->applicationIndicator = c.applicationIndicator;
    s->structuredAppend = c.structuredAppend ? 1 : 0;
    s->appendPosition = c.appendPosition;
    s->appendTotal = c.appendTotal;
    s->processTilde = c.tilde ? 1 : 0;
    if (c.fillWholeField) {
        std::memset(s->text, 'Q', sizeof s->text);
    } else {
        std::memcpy(s->text, c.text.data(), c.text.size());
    }

    Fnv64 textHash;
    textHash.Bytes(c.text);
    std::ostringstream line;
    line << c.id << " " << Describe(c) << " text=" << Hex(textHash.h);

    std::string trace;
    SymbolMatrix* m;
    {
        TraceCapture capture;
        m = QRCodeMakeSymbol(s.get());
        trace = capture.Text();
    }
    if (m) {
        Fnv64 grid;
        grid.Int(m->version);
        grid.Int(m->width);
        grid.Int(m->height);
        for (int x = 0; x < m->width; ++x)
            for (int y = 0; y < m->height; ++y) grid.Int(QRCodeGetCell(m, x, y));
        line << " version=" << m->version << " mask=" << MaskFromFormat(m) << " grid=" << Hex(grid.h);
        if (const int mask = MaskFromFormat(m); mask >= 0) {
            EXPECT_EQ(trace, ReferenceTrace(*m, mask)) << c.id;
        }
        std::free(m);
    } else {
        line << " version=none";
    }
    Fnv64 traceHash;
    traceHash.Bytes(trace);
    int lines = 0;
    for (char ch : trace) lines += ch == '\n';
    line << " trace=" << Hex(traceHash.h) << "/" << lines;
    return line.str();
}

std::map<std::string, std::string> ReadGolden(std::vector<std::string>* order) {
    std::map<std::string, std::string> golden;
    std::ifstream in(kGoldenPath);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string id = line.substr(0, line.find(' '));
        golden[id] = line;
        if (order) order->push_back(id);
    }
    return golden;
}

// Value of "key=" in a golden line, up to the next blank.
std::string Field(const std::string& line, const std::string& key) {
    const size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return "";
    const size_t from = at + key.size() + 2;
    return line.substr(from, line.find(' ', from) - from);
}

TEST(GoldenSymbols, EveryRecordedRunGivesTheSameSymbolMaskAndTrace) {
    const std::vector<Case> cases = MakeCases();
    std::vector<std::string> lines;
    for (const Case& c : cases) lines.push_back(RunCase(c));

    if (const char* regenerate = std::getenv("GLYPHWELL_REGENERATE_GOLDEN"); regenerate && *regenerate == '1') {
        std::ofstream out(kGoldenPath);
        ASSERT_TRUE(out) << "cannot write " << kGoldenPath;
        out << "# Golden encoder runs: name, settings, text hash, then version, mask read back from the format\n"
               "# information, FNV-1a 64 of every cell (kinds included) and of the diagnostic lines with their count.\n"
               "# Written by tests/encoder/golden_symbols_test.cpp with GLYPHWELL_REGENERATE_GOLDEN=1.\n";
        for (const std::string& line : lines) out << line << "\n";
        std::printf("wrote %zu golden runs to %s\n", lines.size(), kGoldenPath);
        return;
    }

    std::vector<std::string> order;
    const std::map<std::string, std::string> golden = ReadGolden(&order);
    ASSERT_FALSE(golden.empty()) << "no golden runs in " << kGoldenPath
                                 << "; record them with GLYPHWELL_REGENERATE_GOLDEN=1";
    EXPECT_EQ(golden.size(), cases.size()) << "the golden file and the case list hold different runs";
    int reported = 0;
    for (const std::string& line : lines) {
        const std::string id = line.substr(0, line.find(' '));
        const auto it = golden.find(id);
        if (it == golden.end()) {
            ADD_FAILURE() << "run " << id << " is not in the golden file";
            continue;
        }
        if (it->second == line) continue;
        if (++reported > 25) continue;  // the first few differences say enough
        // Name the first thing that differs: the input (the generator changed) or the output.
        if (Field(it->second, "text") != Field(line, "text") || Field(it->second, "length") != Field(line, "length"))
            ADD_FAILURE() << "input of " << id << " changed:\n  golden: " << it->second << "\n  now:    " << line;
        else
            ADD_FAILURE() << "output of " << id << " changed:\n  golden: " << it->second << "\n  now:    " << line;
    }
    EXPECT_EQ(reported, 0) << reported << " runs differ from the golden file";
}

// The recorded runs must keep reaching every version, level and mask, and the failures, or the
// comparison above would quietly lose its reach when the case list is edited.
TEST(GoldenSymbols, RecordedRunsCoverEveryVersionLevelAndMask) {
    const std::vector<Case> cases = MakeCases();
    std::vector<std::string> order;
    const std::map<std::string, std::string> golden = ReadGolden(&order);
    ASSERT_FALSE(golden.empty());
    std::set<int> versions, masks;
    std::set<std::pair<int, int>> versionLevels;
    int failures = 0;
    for (const Case& c : cases) {
        const auto it = golden.find(c.id);
        ASSERT_NE(it, golden.end()) << c.id;
        const std::string version = Field(it->second, "version");
        if (version == "none") {
            ++failures;
            continue;
        }
        const int v = std::stoi(version);
        versions.insert(v);
        versionLevels.insert({v, c.level});
        const int mask = std::stoi(Field(it->second, "mask"));
        EXPECT_GE(mask, 0) << c.id << ": format information is not a valid word";
        masks.insert(mask);
    }
    EXPECT_EQ(versions.size(), 40u);
    EXPECT_EQ(versionLevels.size(), 160u);
    EXPECT_EQ(masks.size(), 8u);
    EXPECT_GE(failures, 5);
    EXPECT_GE(cases.size(), 300u);
}

}  // namespace

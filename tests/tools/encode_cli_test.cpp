// The encode subcommand of the real program: exit statuses, help and usage text, diagnostics,
// and text-art symbols and picture files that two decoders read back as the input; and the
// one writer of every command's output files, tried on every kind of name an output can have.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/qr_decode.h"

namespace {

const std::string kProgram = gwtest::ProgramPath();
const std::string kDark = "\u2588\u2588";

using Outcome = gwtest::ProgramOutcome;

std::string TempPath(const std::string& name) {
    // ctest runs each test in its own process, several at once: the pid keeps them apart.
    return ::testing::TempDir() + "glyphwell_encode_cli_" + std::to_string(::getpid()) + "_" + name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `glyphwell ARGS` after the shell words `before` (variables, or a job started first),
// feeding `input` on standard input.
Outcome Glyphwell(const std::string& before, const std::vector<std::string>& args, const std::string& input = "") {
    const std::string in = TempPath("stdin"), err = TempPath("stderr");
    WriteFile(in, input);
    return gwtest::RunCatching(before + gwtest::ProgramCommand(args) + " <" + gwtest::ShellQuote(in), err,
                               "; status=$?; wait; exit $status");
}

// Runs `glyphwell encode ARGS`, feeding `input` on standard input.
Outcome Encode(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> all{"encode"};
    all.insert(all.end(), args.begin(), args.end());
    return Glyphwell("", all, input);
}

// The lines of a text, without their newlines.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Turns text art back into rows of '#' and '.', checking its shape: every line the same
// number of modules, each module two characters, dark or light.
std::vector<std::string> ParseArt(const std::string& text) {
    std::vector<std::string> rows;
    for (const std::string& line : Lines(text)) {
        std::string row;
        for (size_t i = 0; i < line.size();) {
            if (line.compare(i, kDark.size(), kDark) == 0) {
                row += '#';
                i += kDark.size();
            } else if (line.compare(i, 2, "  ") == 0) {
                row += '.';
                i += 2;
            } else {
                ADD_FAILURE() << "unexpected characters in line: " << line;
                return {};
            }
        }
        if (!rows.empty() && row.size() != rows[0].size()) {
            ADD_FAILURE() << "ragged art";
            return {};
        }
        rows.push_back(row);
    }
    return rows;
}

// Turns half-block text (two module rows per line) back into rows of '#' and '.'; `invert`
// reads printed cells as light. The line below an odd number of rows is dropped.
std::vector<std::string> ParseHalfBlocks(const std::string& text, bool invert) {
    static const std::vector<std::pair<std::string, std::pair<bool, bool>>> kCells = {
        {"\u2588", {true, true}}, {"\u2580", {true, false}}, {"\u2584", {false, true}}, {" ", {false, false}}};
    std::vector<std::string> rows;
    for (const std::string& line : Lines(text)) {
        std::string upper, lower;
        for (size_t i = 0; i < line.size();) {
            bool known = false;
            for (const auto& [glyph, halves] : kCells) {
                if (line.compare(i, glyph.size(), glyph) != 0) continue;
                upper += halves.first != invert ? '#' : '.';
                lower += halves.second != invert ? '#' : '.';
                i += glyph.size();
                known = true;
                break;
            }
            if (!known) {
                ADD_FAILURE() << "unexpected characters in line: " << line;
                return {};
            }
        }
        rows.push_back(upper);
        rows.push_back(lower);
    }
    if (!rows.empty() && rows.size() == rows[0].size() + 1) rows.pop_back();
    return rows;
}

// Checks the quiet zone and returns the modules per side of the symbol inside it.
int SymbolSide(const std::vector<std::string>& rows) {
    const int n = static_cast<int>(rows.size());
    if (n < 8 || static_cast<int>(rows[0].size()) != n) return -1;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            if ((x < 4 || y < 4 || x >= n - 4 || y >= n - 4) && rows[y][x] != '.') return -1;
    return n - 8;
}

// Both decoders must read `expected` from the art.
void ExpectReads(const std::string& art, const std::string& expected) {
    const auto rows = ParseArt(art);
    ASSERT_GT(SymbolSide(rows), 0) << "a square symbol inside a 4-module light quiet zone";
    const gwtest::GreyImage image = gwtest::RasteriseArt(rows, 0, 3);
    const gwtest::DecodeResult zb = gwtest::DecodeWithZbar(image), zx = gwtest::DecodeWithZxing(image);
    EXPECT_TRUE(zb.ok) << zb.error;
    EXPECT_TRUE(zx.ok) << zx.error;
    if (zb.ok) {
        EXPECT_EQ(zb.bytes, expected);
    }
    if (zx.ok) {
        EXPECT_EQ(zx.bytes, expected);
    }
}

TEST(EncodeCli, HelpAndUsageErrors) {
    const Outcome help = Encode({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: glyphwell encode"), std::string::npos);
    EXPECT_NE(help.out.find("--structured-append"), std::string::npos);

    const std::vector<std::vector<std::string>> misuse = {
        {"--ascii"},                                        // no text
        {"abc"},                                            // nothing to write
        {"abc", "--ascii", "--bogus"},                      // unknown option
        {"abc", "def", "--ascii"},                          // two texts
        {"abc", "-i", "/dev/null", "--ascii"},              // text and file
        {"abc", "--ascii", "--level", "X"},
        {"abc", "--ascii", "--level=X"},
        {"abc", "--ascii=yes"},                             // a flag given a value
        {"abc", "--ascii", "--symbol-version", "41"},
        {"abc", "--ascii", "--symbol-version", "3x"},
        {"abc", "--ascii", "--mode", "binary"},
        {"abc", "--ascii", "--eci", "-1"},
        {"abc", "--ascii", "--fnc1", "third"},
        {"abc", "--ascii", "--application-indicator", "256"},
        {"abc", "--ascii", "--structured-append", "3/2"},
        {"abc", "--ascii", "--structured-append", "17/17"},
        {"abc", "--ascii", "--margin", "256"},
        {"abc", "--ascii", "--pixel-size", "-1"},
        {"abc", "--ascii", "--foreground", "12345G"},
        {"abc", "--ascii", "--background"},                 // missing value
        {"abc", "-o", "symbol.jpg"},                        // unknown picture format
        {"abc", "-o", "symbol.png", "--format", "tiff"},
    };
    for (const auto& args : misuse) {
        const Outcome o = Encode(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(o.status, 2) << joined;
        EXPECT_NE(o.err.find("usage: glyphwell encode"), std::string::npos) << joined;
        EXPECT_TRUE(o.out.empty()) << joined;
    }
}

TEST(EncodeCli, TextThatCannotBeEncodedExitsOneWithAReason) {
    // {arguments, what the one-line reason must say}
    const std::vector<std::pair<std::vector<std::string>, std::string>> failing = {
        {{std::string(3000, 'x'), "--ascii"}, "does not fit any symbol from version 1 up at level H"},
        {{std::string(20, 'x'), "--ascii", "--fixed-version", "--symbol-version", "1"}, "version-1 symbol"},
        {{"-i", TempPath("does-not-exist"), "--ascii"}, "cannot read"},
        // A forced mode that cannot hold a byte refuses the text instead of dropping the rest.
        {{"12AB", "--ascii", "--mode", "numeric"}, "numeric mode cannot hold byte 0x41 'A' at position 2"},
        {{"ABC", "--ascii", "--mode", "kanji"}, "kanji mode cannot hold byte 0x41 'A' at position 0"},
        {{"\x88\x3F", "--ascii", "--mode", "kanji"}, "kanji mode cannot hold byte 0x3F '?' at position 1"},
        {{"\x93\x5F\x93", "--ascii", "--mode", "kanji"},
         "byte 0x93 at position 2 (a kanji character takes two bytes)"},
        {{"HELLO~d010", "--ascii", "--mode", "alphanumeric", "--tilde"}, "byte 0x0A at position 5 (after ~ escapes)"},
    };
    for (const auto& [args, reason] : failing) {
        const Outcome o = Encode(args);
        EXPECT_EQ(o.status, 1) << reason;
        EXPECT_TRUE(o.out.empty()) << reason;
        ASSERT_FALSE(o.err.empty());
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line: " << o.err;
        EXPECT_NE(o.err.find(reason), std::string::npos) << o.err;
    }
    // --trace adds the encoder's own message, on standard error.
    const Outcome traced = Encode({std::string(20, 'x'), "--ascii", "--fixed-version", "--trace"});
    EXPECT_EQ(traced.status, 1);
    EXPECT_TRUE(traced.out.empty());
    EXPECT_NE(traced.err.find("Too many codewords"), std::string::npos);
}

TEST(EncodeCli, QuietByDefaultTraceOnRequest) {
    const Outcome plain = Encode({"Hello, world", "--ascii"});
    ASSERT_EQ(plain.status, 0);
    EXPECT_TRUE(plain.err.empty()) << plain.err;
    ExpectReads(plain.out, "Hello, world");
    // Eight lines of four penalty scores, one per mask, on standard error only.
    const Outcome traced = Encode({"Hello, world", "--ascii", "--trace"});
    ASSERT_EQ(traced.status, 0);
    EXPECT_EQ(traced.out, plain.out);
    size_t pos = 0;
    for (int k = 0; k < 8; ++k) {
        const size_t end = traced.err.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        int a, b, c, d;
        EXPECT_EQ(std::sscanf(traced.err.substr(pos, end - pos).c_str(), "%d %d %d %d", &a, &b, &c, &d), 4);
        pos = end + 1;
    }
    EXPECT_EQ(pos, traced.err.size());
    // --quiet, the old way to silence them, is still accepted.
    EXPECT_EQ(Encode({"Hello, world", "--ascii", "--quiet"}).out, plain.out);
    int status = -1;
    EXPECT_EQ(gwtest::RunCommand(gwtest::ShellQuote(kProgram) + " --version", &status), "glyphwell 1.0.0\n");
    EXPECT_EQ(status, 0);
}

TEST(EncodeCli, AsciiSymbolsReadBackForEachTextSource) {
    const std::string binary("\x00\x01\xFE\xFF\x80 bytes\n", 11);
    Outcome o = Encode({"-", "--ascii", "--quiet"}, binary);
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, binary);

    WriteFile(TempPath("input"), "from a file");
    o = Encode({"-i", TempPath("input"), "--ascii", "--quiet"});
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, "from a file");

    o = Encode({"--ascii", "--quiet", "--", "-starts with a dash"});
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, "-starts with a dash");

    // '#' is a byte like any other: at the end, and ten in a row, both readers get the text whole.
    for (const std::string text : {"ends with #", "ten ########## in a row", "##########"}) {
        o = Encode({text, "--ascii"});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(o.err.empty()) << o.err;
        ExpectReads(o.out, text);
    }
}

TEST(EncodeCli, SymbolOptionsReachTheEncoder) {
    // Version and level: a version-5 symbol is 37 modules wide.
    Outcome o = Encode({"versioned", "--ascii", "--quiet", "--symbol-version=5", "--level", "l"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(SymbolSide(ParseArt(o.out)), 37);
    ExpectReads(o.out, "versioned");

    // Modes: 34 digits fit version 1-L only when packed as digits.
    const std::string digits = "1234567890123456789012345678901234";
    o = Encode({digits, "--ascii", "--quiet", "--mode", "numeric", "--level", "L", "--fixed-version"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(SymbolSide(ParseArt(o.out)), 21);
    ExpectReads(o.out, digits);

    o = Encode({"HELLO WORLD $%*+-./:", "--ascii", "--quiet", "--mode", "alphanumeric"});
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, "HELLO WORLD $%*+-./:");

    o = Encode({"Mixed 12345678901234 TEXT", "--ascii", "--quiet", "--mode", "auto"});
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, "Mixed 12345678901234 TEXT");

    const std::string kanji = "\x93\x5F\x8B\x9E\x82\xA0";  // Shift-JIS
    WriteFile(TempPath("kanji"), kanji);
    o = Encode({"-i", TempPath("kanji"), "--ascii", "--quiet", "--mode", "kanji"});
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, kanji);

    // Tilde escapes: ~d066 is 'B'.
    o = Encode({"A~d066C~~", "--ascii", "--quiet", "--tilde"});
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, "ABC~");
}

// UTF-8 text follows the control's rule: what ISO 8859-1 holds goes as those bytes, other text
// as UTF-8 behind ECI 26, kanji mode as Shift JIS; --bytes-as-given and --eci keep the bytes.
TEST(EncodeCli, TextInAnyLanguageReadsAsWritten) {
    const std::string tokyo = "\xE6\x9D\xB1\xE4\xBA\xAC";
    const std::string mixed = "Gr\xC3\xBC\xC3\x9F " + tokyo + " \xE2\x82\xAC \xF0\x9F\x98\x80";
    const struct {
        std::string text;
        std::vector<std::string> extra;
        std::string bytes;  // in the symbol
        std::string read;   // the characters a reader gets
    } cases[] = {
        {"Z\xC3\xBCrich", {}, "Z\xFCrich", "Z\xC3\xBCrich"},
        {mixed, {}, mixed, mixed},
        {tokyo, {"--mode", "kanji"}, "\x93\x8C\x8B\x9E", tokyo},
        {"Z\xC3\xBCrich", {"--bytes-as-given"}, "Z\xC3\xBCrich", ""},
        {"Z\xC3\xBCrich", {"--eci", "26"}, "Z\xC3\xBCrich", "Z\xC3\xBCrich"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text + (k.extra.empty() ? "" : " " + k.extra[0]));
        WriteFile(TempPath("text"), k.text);
        std::vector<std::string> args = {"-i", TempPath("text"), "--ascii", "--quiet"};
        args.insert(args.end(), k.extra.begin(), k.extra.end());
        const Outcome o = Encode(args);
        ASSERT_EQ(o.status, 0) << o.err;
        const gwtest::GreyImage grey = gwtest::RasteriseArt(ParseArt(o.out), 0, 3);
        EXPECT_EQ(gwtest::DecodeWithZxing(grey).bytes, k.bytes);
        if (k.read.empty()) continue;
        EXPECT_EQ(gwtest::ReadTextWithZxing(grey).bytes, k.read);
        EXPECT_EQ(gwtest::ReadTextWithZbar(grey).bytes, k.read);
    }
}

TEST(EncodeCli, HeaderOptionsKeepTheDataReadable) {
    // ECI, structured append and FNC1 add headers in front of the data; the data stays.
    const std::vector<std::vector<std::string>> variants = {
        {"--eci", "26"},
        {"--structured-append", "2/3"},
        {"--fnc1", "second", "--application-indicator", "65"},
    };
    for (const auto& extra : variants) {
        std::vector<std::string> args = {"HEADERS", "--ascii", "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome o = Encode(args);
        ASSERT_EQ(o.status, 0) << extra[0] << ": " << o.err;
        const auto rows = ParseArt(o.out);
        ASSERT_GT(SymbolSide(rows), 0);
        const gwtest::DecodeResult zx = gwtest::DecodeWithZxing(gwtest::RasteriseArt(rows, 0, 3));
        EXPECT_TRUE(zx.ok) << extra[0] << ": " << zx.error;
        EXPECT_NE(zx.bytes.find("HEADERS"), std::string::npos) << extra[0];
    }
}

TEST(EncodeCli, PicturesInEveryFormatReadBack) {
    // Extension or --format decides the format; ImageMagick confirms what was written.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-o", TempPath("symbol.png")}, "PNG"},
        {{"-o", TempPath("symbol.GIF")}, "GIF"},
        {{"-o", TempPath("symbol.bmp")}, "BMP3"},
        {{"-o", TempPath("symbol.picture"), "--format", "gif"}, "GIF"},
    };
    for (const auto& [output, magick] : cases) {
        const std::string path = output[1];
        std::remove(path.c_str());
        std::vector<std::string> args = {"Picture", "--quiet"};
        args.insert(args.end(), output.begin(), output.end());
        const Outcome o = Encode(args);
        ASSERT_EQ(o.status, 0) << path << ": " << o.err;
        EXPECT_TRUE(o.out.empty()) << "nothing on standard output with --quiet";
        int status = 0;
        const std::string identified =
            gwtest::RunCommand("identify -format '%m %w %h' " + gwtest::ShellQuote(path + "[0]"), &status);
        // "Picture" is a version-1 symbol at level H: 3 x 21 + 2 x 10 pixels.
        EXPECT_EQ(identified, magick + " 83 83") << path;
        const gwtest::DecodeResult zb = gwtest::DecodeFileWithZbarimg(path), zx = gwtest::DecodeFileWithZxing(path);
        EXPECT_TRUE(zb.ok) << path << ": " << zb.error;
        EXPECT_TRUE(zx.ok) << path << ": " << zx.error;
        EXPECT_EQ(zb.bytes, "Picture") << path;
        EXPECT_EQ(zx.bytes, "Picture") << path;
    }

    // Raster options reach the renderer: 2 x 25 + 2 x 3 pixels for a version-2 symbol.
    const std::string path = TempPath("options.png");
    Outcome o = Encode({"raster options", "--quiet", "-o", path, "--margin", "3", "--pixel-size", "2",
                        "--foreground", "200000", "--background", "F0F0FF", "--ascii"});
    ASSERT_EQ(o.status, 0) << o.err;
    ExpectReads(o.out, "raster options");  // --ascii and -o together
    int status = 0;
    EXPECT_EQ(gwtest::RunCommand("identify -format '%w %h' " + gwtest::ShellQuote(path), &status), "56 56");
    // Margin, the finder's corner module (0, 0) and its light separator module (7, 0).
    EXPECT_EQ(gwtest::RunCommand("convert " + gwtest::ShellQuote(path) +
                                     " -format '%[pixel:p{0,0}] %[pixel:p{3,3}] %[pixel:p{17,3}]' info:",
                                 &status),
              "srgb(255,255,255) srgb(32,0,0) srgb(240,240,255)");
}

TEST(EncodeCli, PicturesThatCannotBeMadeLeaveNoFile) {
    // 45,645 pixels square is more than the GDI will create.
    const std::string big = TempPath("too-big.png");
    std::remove(big.c_str());
    Outcome o = Encode({"x", "--quiet", "-o", big, "--symbol-version", "40", "--pixel-size", "255", "--margin", "255"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_FALSE(std::ifstream(big).good());

    // No pixels at all (no modules, no margin): refused as the print formats refuse it.
    const std::string empty = TempPath("empty.png");
    std::remove(empty.c_str());
    o = Encode({"x", "-o", empty, "--pixel-size", "0", "--margin", "0"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("the symbol has no size"), std::string::npos) << o.err;
    EXPECT_FALSE(std::ifstream(empty).good());

    o = Encode({"x", "--quiet", "-o", TempPath("no-such-directory/symbol.png")});
    EXPECT_EQ(o.status, 1);
    EXPECT_FALSE(o.err.empty());
}

// Every command writes its files through one writer. For each kind of name an output can have,
// each command's bytes land where a user expects them, and what was there is treated as other
// tools treat it: a link is followed and stays, a replaced file keeps its permission bits (its
// other hard links keep the old contents), a FIFO or a terminal is written into and stays what
// it is, a directory is refused, "-" is standard output, and a link planted at a temporary name
// is never opened through.
TEST(EncodeCli, EveryCommandsOutputIsTreatedAsItsKindOfNameDeserves) {
    struct Command {
        const char* name;
        std::vector<std::string> args;  // "@" stands for the output's name
        bool registry;                  // the output is the registry file (GLYPHWELL_REGISTRY)
        bool namesItsFormat;            // the output's ending decides its format
    };
    const std::string picture = TempPath("input.bmp");
    ASSERT_EQ(Encode({"IN", "--quiet", "-o", picture}).status, 0);
    const std::vector<Command> commands = {
        {"encode", {"encode", "HI", "--format", "png", "-o", "@"}, false, false},
        {"convert", {"convert", picture, "@", "--to", "gif"}, false, false},
        {"control --save", {"control", "--set", "TextData=HI", "--save", "@"}, false, false},
        {"control --paint", {"control", "--set", "TextData=HI", "--paint", "@"}, false, true},
        {"register", {"register"}, true, false},
    };
    enum Kind { kLink, kDanglingLink, kModeAndHardLink, kFifo, kTerminal, kDirectory, kStandardOutput, kPlantedLinks };
    const char* const kKindNames[] = {"link",     "dangling link", "mode and hard link", "FIFO",
                                      "terminal", "directory",     "standard output",    "planted links"};
    // Content a registry also accepts, so that `register` finds a registry to add to.
    const std::string old = "GLYPHWELL-REGISTRY 1\n";
    const std::string dir = TempPath("outputs");
    namespace fs = std::filesystem;
    for (const Command& command : commands) {
        // What the command writes to a new regular file is what every other kind must receive.
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto run = [&](const std::string& out, const std::string& before) {
            std::vector<std::string> args = command.args;
            for (std::string& a : args)
                if (a == "@") a = out;
            const std::string registry = command.registry ? out : dir + "/scratch-registry";
            return Glyphwell(before + "GLYPHWELL_REGISTRY=" + gwtest::ShellQuote(registry) + " ", args);
        };
        Outcome o = run(dir + "/reference.png", "");
        ASSERT_EQ(o.status, 0) << command.name << ": " << o.err;
        const std::string reference = ReadFile(dir + "/reference.png");
        ASSERT_FALSE(reference.empty());
        for (int k = kLink; k <= kPlantedLinks; ++k) {
            const Kind kind = static_cast<Kind>(k);
            SCOPED_TRACE(std::string(command.name) + " into a " + kKindNames[k]);
            // The registry is read before it is written: only files make sense for it.
            if (command.registry && (kind == kFifo || kind == kTerminal || kind == kStandardOutput)) continue;
            if (command.namesItsFormat && (kind == kTerminal || kind == kStandardOutput)) continue;
            fs::remove_all(dir);
            fs::create_directories(dir);
            std::string out = dir + "/out.png", before;
            struct stat st;
            int master = -1, slave = -1;
            switch (kind) {
                case kLink:
                    WriteFile(dir + "/target.png", old);
                    ::chmod((dir + "/target.png").c_str(), 0640);
                    ASSERT_EQ(::symlink("target.png", out.c_str()), 0);
                    break;
                case kDanglingLink:
                    ASSERT_EQ(::symlink("made.png", out.c_str()), 0);
                    break;
                case kModeAndHardLink:
                    WriteFile(out, old);
                    ::chmod(out.c_str(), 0604);
                    ASSERT_EQ(::link(out.c_str(), (dir + "/other.png").c_str()), 0);
                    break;
                case kFifo:
                    ASSERT_EQ(::mkfifo(out.c_str(), 0600), 0);
                    before = "timeout 20 cat " + gwtest::ShellQuote(out) + " >" + gwtest::ShellQuote(dir + "/received") + " & ";
                    break;
                case kTerminal: {
                    master = ::posix_openpt(O_RDWR | O_NOCTTY);
                    ASSERT_GE(master, 0);
                    ASSERT_EQ(::grantpt(master), 0);
                    ASSERT_EQ(::unlockpt(master), 0);
                    out = ::ptsname(master);
                    slave = ::open(out.c_str(), O_RDWR | O_NOCTTY);
                    ASSERT_GE(slave, 0);
                    termios raw;
                    ::tcgetattr(slave, &raw);
                    ::cfmakeraw(&raw);
                    ::tcsetattr(slave, TCSANOW, &raw);
                    break;
                }
                case kDirectory:
                    fs::create_directories(out);
                    break;
                case kStandardOutput:
                    out = "-";
                    break;
                case kPlantedLinks:
                    WriteFile(out, old);
                    ::chmod(out.c_str(), 0600);
                    WriteFile(dir + "/victim", "victim");
                    before = "LD_PRELOAD=" + gwtest::ShellQuote(GLYPHWELL_PLANT_LINK) +
                             " GW_PLANT_BESIDE=" + gwtest::ShellQuote(out) + " GW_PLANT_VICTIM=" +
                             gwtest::ShellQuote(dir + "/victim") + " GW_PLANT_COUNT=3 ";
                    break;
            }
            // A terminal's bytes are taken as they come, so that the writer never waits for room.
            std::string shown;
            std::atomic<bool> finished{false};
            std::thread reader([&] {
                for (char buffer[4096]; master >= 0;) {
                    pollfd p{master, POLLIN, 0};
                    if (::poll(&p, 1, 50) > 0) {
                        const ssize_t n = ::read(master, buffer, sizeof buffer);
                        if (n <= 0) break;
                        shown.append(buffer, static_cast<size_t>(n));
                    } else if (finished) {
                        break;
                    }
                }
            });
            o = run(out, before);
            finished = true;
            reader.join();
            if (kind == kDirectory) {
                EXPECT_EQ(o.status, 1);
                if (!command.registry) {
                    EXPECT_NE(o.err.find("Is a directory"), std::string::npos) << o.err;
                }
                EXPECT_TRUE(fs::is_directory(out));
                continue;
            }
            ASSERT_EQ(o.status, 0) << o.err;
            switch (kind) {
                case kLink:
                    EXPECT_TRUE(fs::is_symlink(out));
                    EXPECT_EQ(ReadFile(dir + "/target.png"), reference);
                    ASSERT_EQ(::stat((dir + "/target.png").c_str(), &st), 0);
                    EXPECT_EQ(st.st_mode & 07777, 0640u);
                    break;
                case kDanglingLink:
                    EXPECT_TRUE(fs::is_symlink(out));
                    EXPECT_EQ(ReadFile(dir + "/made.png"), reference);
                    break;
                case kModeAndHardLink:
                    EXPECT_EQ(ReadFile(out), reference);
                    ASSERT_EQ(::stat(out.c_str(), &st), 0);
                    EXPECT_EQ(st.st_mode & 07777, 0604u);
                    EXPECT_EQ(ReadFile(dir + "/other.png"), old);  // a replaced file's other names keep the old file
                    break;
                case kFifo:
                    EXPECT_EQ(fs::status(out).type(), fs::file_type::fifo);
                    EXPECT_EQ(ReadFile(dir + "/received"), reference);
                    break;
                case kTerminal:
                    ASSERT_EQ(::stat(out.c_str(), &st), 0);
                    EXPECT_TRUE(S_ISCHR(st.st_mode));
                    EXPECT_EQ(shown, reference);
                    ::close(slave);
                    ::close(master);
                    break;
                case kStandardOutput:
                    EXPECT_EQ(o.out, reference);
                    break;
                case kPlantedLinks: {
                    EXPECT_EQ(ReadFile(out), reference);
                    EXPECT_EQ(ReadFile(dir + "/victim"), "victim");
                    int links = 0;
                    for (const auto& entry : fs::directory_iterator(dir))
                        if (fs::is_symlink(entry.symlink_status())) ++links;
                    EXPECT_EQ(links, 3) << "each planted link is left alone, none opened through";
                    break;
                }
                default:
                    break;
            }
        }
    }
}

TEST(EncodeCli, TwoColourPicturesAreOneBitAndNoLargerThanQrencodes) {
    // A 100-byte text at level M, 3 pixels per module, a 4-module margin, as qrencode draws it.
    const std::string text(100, 'q');
    const std::string ours = TempPath("small.png"), theirs = TempPath("qrencode.png");
    int status = -1;
    gwtest::RunCommand("qrencode -l M -s 3 -m 4 -o " + gwtest::ShellQuote(theirs) + " " + gwtest::ShellQuote(text), &status);
    ASSERT_EQ(status, 0) << "qrencode (scripts/setup installs it)";
    Outcome o = Encode({text, "-o", ours, "--level", "M", "--pixel-size", "3", "--margin", "12"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string png = ReadFile(ours);
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[24], 1) << "bit depth";
    EXPECT_EQ(png[25], 3) << "palette colour type";
    EXPECT_LE(png.size(), ReadFile(theirs).size());
    EXPECT_EQ(gwtest::DecodeFileWithZbarimg(ours).bytes, text);

    // GIF with a two-entry colour table and a 1-bit BMP; --depth 24 keeps full colour.
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"-o", TempPath("small.gif")}, 1}, {{"-o", TempPath("small.bmp")}, 1}, {{"-o", TempPath("deep.bmp"), "--depth", "24"}, 24}};
    for (const auto& [args, bits] : cases) {
        std::vector<std::string> all = {"depth"};
        all.insert(all.end(), args.begin(), args.end());
        o = Encode(all);
        ASSERT_EQ(o.status, 0) << o.err;
        const std::string bytes = ReadFile(args[1]);
        ASSERT_GT(bytes.size(), 30u);
        if (bytes.compare(0, 3, "GIF") == 0)
            EXPECT_EQ(bytes[10] & 0x87, 0x80) << "a global table of two colours";
        else
            EXPECT_EQ(static_cast<unsigned char>(bytes[28]) | static_cast<unsigned char>(bytes[29]) << 8, bits) << args[1];
        EXPECT_EQ(gwtest::DecodeFileWithZbarimg(args[1]).bytes, "depth") << args[1];
    }

    // A transparent background keeps one bit and marks the light entry transparent.
    o = Encode({"clear", "-o", TempPath("clear.png"), "--background", "none"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(ReadFile(TempPath("clear.png")).find("tRNS"), std::string::npos);
    EXPECT_EQ(gwtest::DecodeFileWithZxing(TempPath("clear.png")).bytes, "clear");
    EXPECT_EQ(Encode({"clear", "-o", TempPath("clear.bmp"), "--background", "none"}).status, 2);
}

TEST(EncodeCli, SvgReadsBackThroughARealRenderer) {
    for (const bool transparent : {false, true}) {
        const std::string svg = TempPath(transparent ? "clear.svg" : "symbol.svg"), png = svg + ".png";
        std::vector<std::string> args = {"https://example.com/svg", "-o", svg, "--foreground", "102030"};
        if (transparent) args.insert(args.end(), {"--background", "none"});
        const Outcome o = Encode(args);
        ASSERT_EQ(o.status, 0) << o.err;
        const std::string doc = ReadFile(svg);
        EXPECT_NE(doc.find("shape-rendering=\"crispEdges\""), std::string::npos);
        EXPECT_NE(doc.find("viewBox=\"0 0 "), std::string::npos);
        EXPECT_NE(doc.find("fill=\"#102030\""), std::string::npos);
        EXPECT_EQ(doc.find("<path"), doc.rfind("<path")) << "one path";
        EXPECT_EQ(doc.find("<rect") == std::string::npos, transparent);
        int status = -1;
        gwtest::RunCommand("rsvg-convert -b white -o " + gwtest::ShellQuote(png) + " " + gwtest::ShellQuote(svg), &status);
        ASSERT_EQ(status, 0) << "rsvg-convert (scripts/setup installs it)";
        EXPECT_EQ(gwtest::RunCommand("identify -format '%w %h' " + gwtest::ShellQuote(png), &status), "107 107");  // version 3 at level H: 3 x 29 + 2 x 10
        const gwtest::DecodeResult zb = gwtest::DecodeFileWithZbarimg(png);
        EXPECT_TRUE(zb.ok) << zb.error;
        EXPECT_EQ(zb.bytes, "https://example.com/svg");
    }
}

// The side a print file declares, in points: the PDF's MediaBox or the EPS's exact bounding box;
// -1 when it declares none of the square form.
double DeclaredSide(const std::string& doc) {
    for (const char* key : {"/MediaBox [0 0 ", "%%HiResBoundingBox: 0 0 "}) {
        const size_t at = doc.find(key);
        if (at == std::string::npos) continue;
        double w = -1, h = -2;
        if (std::sscanf(doc.c_str() + at + std::strlen(key), "%lf %lf", &w, &h) == 2 && w == h) return w;
    }
    return -1;
}

// EPS and PDF files, written by encode and by batch, are checked by real PostScript and PDF
// programs: qpdf finds the PDF sound (its cross-reference table included), poppler and
// Ghostscript render them, and both decoders read the renderings back. The declared page or
// bounding box is the size asked for.
TEST(EncodeCli, PrintFormatsPassRealToolsAndReadBack) {
    const struct {
        const char* name;
        std::vector<std::string> options;
        double side;  // points
    } cases[] = {
        // One pixel is one point without a size: version 4 at level H is 3 x 33 + 2 x 10.
        {"plain.pdf", {"--foreground", "102030", "--background", "E0F0E0"}, 119},
        {"plain.eps", {}, 119},
        {"clear.pdf", {"--background", "none"}, 119},
        {"clear.eps", {"--background", "none"}, 119},
        {"picked.out", {"--format", "pdf", "--margin", "0", "--pixel-size", "1"}, 33},
        // A physical size is met exactly; pixels are counted at --dpi, 300 by default for print.
        {"sized.pdf", {"--size", "25mm"}, 25 / 25.4 * 72},
        {"sized.eps", {"--size", "2in", "--background", "none"}, 144},
        {"pixels.pdf", {"--size", "600px"}, 144},
        {"pixels.eps", {"--size", "600px", "--dpi", "600"}, 72},
    };
    const std::string text = "https://example.com/print";
    for (const auto& c : cases) {
        const std::string path = TempPath(c.name), png = path + ".png";
        std::vector<std::string> args = {text, "-o", path};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome o = Encode(args);
        ASSERT_EQ(o.status, 0) << c.name << ": " << o.err;
        const std::string doc = ReadFile(path);
        EXPECT_NEAR(DeclaredSide(doc), c.side, 1e-3) << c.name;
        const bool pdf = doc.rfind("%PDF-", 0) == 0;
        EXPECT_EQ(pdf, doc.rfind("%!PS-Adobe-3.0 EPSF-3.0", 0) != 0) << c.name;
        int status = -1;
        if (pdf) {
            const std::string check = gwtest::RunCommand("qpdf --check " + gwtest::ShellQuote(path) + " 2>&1", &status);
            EXPECT_EQ(status, 0) << c.name << ": " << check;
            EXPECT_EQ(check.find("WARNING"), std::string::npos) << c.name << ": " << check;
            gwtest::RunCommand("pdftoppm -r 216 -png -singlefile " + gwtest::ShellQuote(path) + " " +
                                   gwtest::ShellQuote(path),
                               &status);
        } else {
            gwtest::RunCommand("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=png16m -r216 -sOutputFile=" +
                                   gwtest::ShellQuote(png) + " " + gwtest::ShellQuote(path),
                               &status);
        }
        ASSERT_EQ(status, 0) << c.name << ": pdftoppm or gs (scripts/setup installs them)";
        EXPECT_EQ(gwtest::DecodeFileWithZbarimg(png).bytes, text) << c.name;
        EXPECT_EQ(gwtest::DecodeFileWithZxing(png).bytes, text) << c.name;
    }

    // batch writes both, named with their endings.
    const std::string dir = TempPath("print-batch");
    std::filesystem::remove_all(dir);
    for (const char* format : {"eps", "pdf"}) {
        const Outcome o = Glyphwell("", {"batch", "-", "--out-dir", dir, "--format", format}, "ticket\tTICKET 7\n");
        ASSERT_EQ(o.status, 0) << o.err;
        const std::string doc = ReadFile(dir + "/ticket." + format);
        EXPECT_NEAR(DeclaredSide(doc), 95, 1e-3) << format;  // version 2: 3 x 25 + 2 x 10
    }
}

// Pictures at a physical size take the largest whole module size that keeps them within it,
// warn when that is more than 5 % short, and carry the resolution, which info reads back.
TEST(EncodeCli, PicturesAtAPhysicalSizeFitItAndKeepTheirResolution) {
    const std::string text = "https://example.com/size";  // version 3 at level H: 29 modules
    const struct {
        const char* name;
        std::vector<std::string> options;
        long side;  // pixels: per module x 29 + 2 x the 10-pixel margin
        long dpi;   // 0: none written
        bool warns;
    } cases[] = {
        {"label.png", {"--size", "25mm", "--dpi", "600"}, 19 * 29 + 20, 600, false},  // 590.6 asked
        {"label.bmp", {"--size", "2.54cm", "--dpi", "300"}, 9 * 29 + 20, 300, true},   // 300 asked: 94 %
        {"exact.png", {"--size", "310px"}, 310, 96, false},                             // 10 per module, exactly
        {"short.png", {"--size", "1in"}, 2 * 29 + 20, 96, true},                         // 96 asked: 81 %
        {"tiny.gif", {"--size", "5mm"}, 29 + 20, 0, true},                               // one pixel is the least
        {"dpi-only.png", {"--dpi", "1200"}, 3 * 29 + 20, 1200, false},
    };
    for (const auto& c : cases) {
        const std::string path = TempPath(c.name);
        std::vector<std::string> args = {text, "-o", path};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome o = Encode(args);
        ASSERT_EQ(o.status, 0) << c.name << ": " << o.err;
        EXPECT_EQ(o.err.find("warning: the picture cannot be ") != std::string::npos, c.warns) << c.name << o.err;
        int status = -1;
        EXPECT_EQ(gwtest::RunCommand("identify -format '%w %h' " + gwtest::ShellQuote(path), &status),
                  std::to_string(c.side) + " " + std::to_string(c.side))
            << c.name;
        if (c.dpi) {
            const Outcome info = Glyphwell("", {"info", path});
            const std::string dpi = std::to_string(c.dpi);
            EXPECT_NE(info.out.find("resolution: " + dpi + " x " + dpi + " dpi"), std::string::npos) << info.out;
        }
        // One pixel per module is too fine for the reader.
        if (c.side > 29 + 20) {
            EXPECT_EQ(gwtest::DecodeFileWithZbarimg(path).bytes, text) << c.name;
        }
    }
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--size", "25"}, {"--size", "-1mm"}, {"--size", "1e3mm"}, {"--size", "2ft"}, {"--dpi", "0"},
             {"--size", "1in", "--format", "utf8"}}) {
        std::vector<std::string> args = {text, "-o", TempPath("refused.png")};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(Encode(args).status, 2) << bad[1];
    }
}

// verify reads pictures with a real reader and measures them; encode --verify and batch
// --verify write nothing that does not read back as its text.
TEST(EncodeCli, VerifyReadsAndMeasuresAndRefusesWhatDoesNotRead) {
    const std::string good = TempPath("verify-good.png"), blank = TempPath("verify-blank.png"),
                      damaged = TempPath("verify-damaged.png"), text = "https://example.com/verify";
    ASSERT_EQ(Encode({text, "-o", good, "--level", "Q"}).status, 0);  // version 3: 29 modules
    int status = -1;
    gwtest::RunCommand("convert -size 80x80 xc:white " + gwtest::ShellQuote(blank), &status);
    ASSERT_EQ(status, 0);
    // A dark square over the middle third: far more than level Q restores.
    gwtest::RunCommand("convert " + gwtest::ShellQuote(good) + " -fill black -draw 'rectangle 30,30 76,76' " +
                           gwtest::ShellQuote(damaged),
                       &status);
    ASSERT_EQ(status, 0);
    const std::string unreadable = TempPath("verify-unreadable.png"), dir = TempPath("verify-batch");
    std::remove(unreadable.c_str());
    std::filesystem::remove_all(dir);
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> out, err;
    } cases[] = {
        {{"verify", good},
         0,
         {"text: " + text, "level: Q", "version: 3", "module size: 3.00 pixels", "quiet zone: 3.3 modules",
          "contrast: 100%"},
         {}},
        {{"verify", good, "--expect", text}, 0, {"text: " + text}, {}},
        {{"verify", good, "--expect", "other"}, 1, {"text: " + text}, {"reads as other text than expected"}},
        {{"verify", blank, good}, 1, {"text: " + text}, {"verify-blank.png: no QR Code symbol found"}},
        {{"verify", damaged}, 1, {}, {"no QR Code symbol found"}},
        {{"verify", TempPath("verify-missing.png")}, 1, {}, {"cannot read"}},
        {{"verify"}, 2, {}, {"give at least one FILE"}},
        {{"encode", "checked", "-o", TempPath("verify-checked.pdf"), "--verify"}, 0, {}, {}},
        // Dark modules as white as the light ones cannot be read: nothing is written.
        {{"encode", "invisible", "-o", unreadable, "--verify", "--foreground", "FFFFFF"},
         1,
         {},
         {"the symbol does not read back"}},
        {{"batch", "-", "--out-dir", dir, "--verify", "--foreground", "FFFFFF"}, 1, {}, {"line 1: the symbol does not read back"}},
    };
    for (const auto& c : cases) {
        const Outcome o = Glyphwell("", c.args, "A\tTEXT\n");
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        EXPECT_EQ(o.status, c.status) << o.err;
        for (const std::string& line : c.out) EXPECT_NE(o.out.find(line), std::string::npos) << line << "\n" << o.out;
        for (const std::string& line : c.err) EXPECT_NE(o.err.find(line), std::string::npos) << line << "\n" << o.err;
    }
    EXPECT_FALSE(std::filesystem::exists(unreadable));
    EXPECT_FALSE(std::filesystem::exists(dir + "/A.png"));
}

// Payloads built from their fields, escaping included, read back by ZXing as the exact text;
// values their format cannot hold are refused with a reason.
TEST(EncodeCli, PayloadsAreBuiltWithTheirEscapingAndLimits) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string text;  // expected reading, or a piece of the refusal
    } cases[] = {
        {{"wifi", "--ssid", "Caf\u00e9;Net,\"1\":x", "--password", "pa\\ss;word", "--hidden"},
         0,
         "WIFI:T:WPA;S:Caf\u00e9\\;Net\\,\\\"1\\\"\\:x;P:pa\\\\ss\\;word;H:true;;"},
        {{"wifi", "--ssid", "open", "--security", "nopass"}, 0, "WIFI:T:nopass;S:open;;"},
        {{"wifi", "--ssid", "n", "--password", "short"}, 1, "a WPA password has 8 to 63 characters"},
        {{"wifi", "--ssid", std::string(33, 's'), "--security", "nopass"}, 1, "ssid holds at most 32 bytes"},
        {{"mecard", "--name", "Doe:Jane", "--phone", "+1 555 0100", "--note", "a;b,c"},
         0,
         "MECARD:N:Doe\\:Jane;TEL:+1 555 0100;NOTE:a\\;b\\,c;;"},
        {{"vcard", "--name", "Doe, J\u00fcrgen", "--email", "j@example.org"},
         0,
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe\\, J\u00fcrgen\r\nFN:Doe\\, J\u00fcrgen\r\nEMAIL:j@example.org\r\nEND:VCARD\r\n"},
        {{"epc", "--name", "Fran\u00e7ois", "--iban", "DE89 3704 0044 0532 0130 00", "--amount", "12.5",
          "--remittance", "Invoice 7"},
         0,
         "BCD\n002\n1\nSCT\n\nFran\u00e7ois\nDE89370400440532013000\nEUR12.5\n\n\nInvoice 7"},
        {{"epc", "--name", "x", "--iban", "DE89 3704 0044 0532 0130 01"}, 1, "check digits"},
        {{"epc", "--name", std::string(71, 'n'), "--iban", "DE89370400440532013000"}, 1, "name holds at most 70"},
        {{"epc", "--name", "x", "--iban", "DE89370400440532013000", "--amount", "1.234"}, 1, "amount takes euros"},
        {{"geo", "--lat", "48.2082", "--lon", "-16.3738"}, 0, "geo:48.2082,-16.3738"},
        {{"geo", "--lat", "91", "--lon", "0"}, 1, "lat takes"},
        {{"mailto", "--to", "a@example.org", "--subject", "Q&A: 50%", "--body", "hi there"},
         0,
         "mailto:a@example.org?subject=Q%26A%3A%2050%25&body=hi%20there"},
        {{"tel", "--number", "+44 20 7946 0000"}, 0, "tel:+442079460000"},
        {{"sms", "--number", "+1-555-0100", "--body", "on my way: 5'"}, 0, "SMSTO:+1-555-0100:on my way: 5'"},
        {{"tel", "--number", "call me"}, 1, "a phone number takes"},
        {{"bogus"}, 2, "no payload kind 'bogus'"},
    };
    for (const auto& c : cases) {
        const std::string png = TempPath("payload.png");
        std::remove(png.c_str());
        std::vector<std::string> args = {"--payload"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"-o", png, "--pixel-size", "4"});
        const Outcome o = Encode(args);
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 2 ? c.args[2] : ""));
        ASSERT_EQ(o.status, c.status) << o.err;
        if (c.status) {
            EXPECT_NE(o.err.find(c.text), std::string::npos) << o.err;
            EXPECT_FALSE(std::filesystem::exists(png));
            continue;
        }
        EXPECT_EQ(gwtest::DecodeFileWithZxing(png).bytes, c.text);
    }
    // batch builds them from a CSV list whose header names the fields.
    const std::string dir = TempPath("payload-batch");
    std::filesystem::remove_all(dir);
    const Outcome b = Glyphwell("", {"batch", "-", "--out-dir", dir, "--csv", "wifi", "--pixel-size", "4"},
                                "file,ssid,password\r\n"
                                "home,\"Home, \"\"upstairs\"\"\",secret-words\n"
                                "bad,Lab,short\n");
    EXPECT_EQ(b.status, 1) << b.err;
    EXPECT_NE(b.err.find("line 3: a WPA password has 8 to 63 characters"), std::string::npos) << b.err;
    EXPECT_EQ(gwtest::DecodeFileWithZxing(dir + "/home.png").bytes,
              "WIFI:T:WPA;S:Home\\, \\\"upstairs\\\";P:secret-words;;");
    EXPECT_EQ(Glyphwell("", {"batch", "-", "--out-dir", dir, "--csv", "bogus"}).status, 2);

    // The payment standard asks for level M whatever --level says.
    const std::string epc = TempPath("epc.png");
    ASSERT_EQ(Encode({"--payload", "epc", "--name", "x", "--iban", "DE89370400440532013000", "--level", "H", "-o", epc})
                  .status,
              0);
    EXPECT_NE(Glyphwell("", {"verify", epc}).out.find("level: M"), std::string::npos);
}

TEST(EncodeCli, HalfBlockSymbolsReadBackPlainAndInverted) {
    const std::string text = "half blocks, version 3";
    const Outcome plain = Encode({text, "--format", "utf8", "--level", "Q"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    const Outcome inverted = Encode({text, "--format", "utf8", "--level", "Q", "--invert"});
    ASSERT_EQ(inverted.status, 0) << inverted.err;
    EXPECT_NE(plain.out, inverted.out);
    for (const auto& [out, invert] : {std::make_pair(plain.out, false), std::make_pair(inverted.out, true)}) {
        const auto rows = ParseHalfBlocks(out, invert);
        ASSERT_EQ(SymbolSide(rows), 29) << "version 3 inside the quiet zone, invert " << invert;
        const gwtest::DecodeResult zb = gwtest::DecodeWithZbar(gwtest::RasteriseArt(rows, 0, 3));
        EXPECT_TRUE(zb.ok) << zb.error;
        EXPECT_EQ(zb.bytes, text);
    }
    // Half as many lines as --ascii, each half as wide.
    const Outcome ascii = Encode({text, "--ascii", "--level", "Q"});
    EXPECT_EQ(std::count(ascii.out.begin(), ascii.out.end(), '\n'), 37);
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), 19);
}

}  // namespace

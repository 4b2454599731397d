// The control, register, unregister and registry subcommands of the real program: property
// round trips by name, saved state, painted pictures that a decoder reads, exit statuses and
// the persisted registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/qr_decode.h"

namespace {

using Outcome = gwtest::ProgramOutcome;

// Per test, so that tests running side by side never share a file.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "glyphwell_control_cli_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `glyphwell ARGS` with its own registry file; `after` adds shell words (a redirection).
Outcome Glyphwell(const std::vector<std::string>& args, const std::string& after = "") {
    return gwtest::RunCatching("GLYPHWELL_REGISTRY=" + gwtest::ShellQuote(TempPath("registry")) + " " +
                                   gwtest::ProgramCommand(args) + after,
                               TempPath("stderr"));
}

TEST(ControlCli, SetGetSaveLoadAndPaint) {
    const std::string saved = TempPath("hello.gwc"), painted = TempPath("hello.png"),
                      reloaded = TempPath("reloaded.png");
    Outcome o = Glyphwell({"control", "--set", "TextData=HELLO", "--set", "PixelSize=4", "--get", "PixelSize", "--get",
                     "TextData", "--get", "AutoConfigurate", "--save", saved, "--paint", painted, "--quiet"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "PixelSize=4\nTextData=HELLO\nAutoConfigurate=False\n");
    const std::string state = ReadFile(saved);
    ASSERT_GE(state.size(), 7160u);
    EXPECT_EQ(state[48], 4);
    EXPECT_EQ(state.substr(60, 5), "HELLO");
    const gwtest::DecodeResult z = gwtest::DecodeFileWithZbarimg(painted);
    EXPECT_TRUE(z.ok) << z.error;
    EXPECT_EQ(z.bytes, "HELLO");

    o = Glyphwell({"control", "--load", saved, "--get", "TextData", "--get", "PixelSize", "--paint", reloaded, "--quiet"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "TextData=HELLO\nPixelSize=4\n");
    EXPECT_EQ(ReadFile(reloaded), ReadFile(painted));
}

TEST(ControlCli, RefusalsAndUsage) {
    Outcome o = Glyphwell({"control", "--set", "PixelSize=big"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("type mismatch"), std::string::npos) << o.err;
    o = Glyphwell({"control", "--set", "Margin=70000"});
    EXPECT_EQ(o.status, 1);
    o = Glyphwell({"control", "--get", "NoSuchProperty"});
    EXPECT_EQ(o.status, 2);
    o = Glyphwell({"control", "--bogus"});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("usage: glyphwell control"), std::string::npos);
    // Anything that is no stored control fails the load at once with one line saying why; a
    // stored control is small and of a known size, so nothing longer is read whole.
    const std::string junk = TempPath("junk.state"), longer = TempPath("longer.state"), good = TempPath("good.state");
    std::ofstream(junk) << "definitely not a stored control";
    ASSERT_EQ(Glyphwell({"control", "--set", "TextData=KEPT", "--save", good}).status, 0);
    std::ofstream(longer, std::ios::binary) << ReadFile(good) << '!';
    std::filesystem::create_directories(TempPath("state-directory"));
    const std::vector<std::pair<std::string, std::string>> stored = {
        {TempPath("does-not-exist"), "No such file or directory"},
        {junk, "not a whole stored Glyphwell control"},
        {TempPath("state-directory"), "Is a directory"},
        {"/dev/zero", "longer than a stored Glyphwell control (7170 bytes)"},
        {longer, "longer than a stored Glyphwell control (7170 bytes)"},
    };
    for (const auto& [path, reason] : stored) {
        o = Glyphwell({"control", "--load", path, "--paint", TempPath("junk.png")});
        EXPECT_EQ(o.status, 1) << path;
        EXPECT_NE(o.err.find("cannot load " + path + ": " + reason), std::string::npos) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_FALSE(std::ifstream(TempPath("junk.png")).good());
    }
    o = Glyphwell({"control", "--load", good});
    EXPECT_EQ(o.status, 0) << o.err;
    o = Glyphwell({"control", "--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("usage: glyphwell control"), std::string::npos);
    o = Glyphwell({"control", "--paint", TempPath("nothing.png")});  // a fresh control paints its white default box
    EXPECT_EQ(o.status, 0) << o.err;
    // The control's refusals stop the run with its one-line reason: a text its forced mode
    // cannot hold, and a value outside the property's range.
    const std::string kept = TempPath("kept.png");
    std::remove(kept.c_str());
    o = Glyphwell({"control", "--set", "TextData=12", "--set", "EncodeMode=2", "--set", "TextData=12AB", "--paint", kept});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot set TextData to '12AB': EncodeMode 2 (numeric) cannot hold 'A' at position 2"),
              std::string::npos)
        << o.err;
    EXPECT_FALSE(std::ifstream(kept).good());
    o = Glyphwell({"control", "--set", "PixelSize=0"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("PixelSize takes 1 to 255"), std::string::npos) << o.err;
    // A picture name that does not say its format is refused, not written as PNG regardless.
    o = Glyphwell({"control", "--paint", TempPath("nothing.jpg")});
    EXPECT_EQ(o.status, 2);
    EXPECT_FALSE(std::ifstream(TempPath("nothing.jpg")).good());
}

TEST(ControlCli, RegisterListAndUnregisterPersistAcrossRuns) {
    std::remove(TempPath("registry").c_str());
    Outcome o = Glyphwell({"register"});
    ASSERT_EQ(o.status, 0) << o.err;
    o = Glyphwell({"registry"});
    ASSERT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("[HKEY_CLASSES_ROOT\\GLYPHWELL.GlyphwellCtrl.1\\CLSID]"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"ThreadingModel\"=sz:\"Apartment\""), std::string::npos);
    EXPECT_NE(o.out.find("@=sz:\"131473\""), std::string::npos);
    o = Glyphwell({"unregister"});
    ASSERT_EQ(o.status, 0) << o.err;
    o = Glyphwell({"registry"});
    EXPECT_EQ(o.out.find("GLYPHWELL.GlyphwellCtrl.1"), std::string::npos);
    o = Glyphwell({"unregister"});  // nothing left to remove
    EXPECT_EQ(o.status, 1);
    o = Glyphwell({"registry", "extra"});
    EXPECT_EQ(o.status, 2);

    // Results that cannot reach standard output are a failure, said on standard error.
    ASSERT_EQ(Glyphwell({"register"}).status, 0);
    const std::string picture = TempPath("picture.bmp");
    ASSERT_EQ(Glyphwell({"encode", "HI", "-o", picture}).status, 0);
    const std::vector<std::vector<std::string>> printing = {
        {"--version"}, {"--help"},          {"registry"}, {"info", picture}, {"control", "--get", "TextData"},
        {"info", "--help"}, {"encode", "HI", "--format", "utf8"}, {"encode", "HI", "--format", "png", "-o", "-"}};
    for (const std::vector<std::string>& args : printing) {
        o = Glyphwell(args);
        EXPECT_EQ(o.status, 0) << args[0] << ": " << o.err;
        o = Glyphwell(args, " >/dev/full");
        EXPECT_EQ(o.status, 1) << args[0];
        EXPECT_NE(o.err.find("glyphwell" + (args[0][0] == '-' ? "" : " " + args[0]) + ": cannot write standard output"),
                  std::string::npos)
            << args[0] << ": " << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
}

}  // namespace

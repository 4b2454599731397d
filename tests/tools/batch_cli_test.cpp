// The batch subcommand of the real program: one symbol file per line read back by zbar, a bad
// line in the middle reported while the rest are written, and the progress bar that appears
// only when standard error is a terminal (a pseudo-terminal here).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/qr_decode.h"

namespace {

const std::string kProgram = std::string(GLYPHWELL_BINARY_DIR) + "/tools/glyphwell/glyphwell";

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "glyphwell_batch_cli_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Command(const std::vector<std::string>& args) {
    std::string command = gwtest::ShellQuote(kProgram) + " batch";
    for (const std::string& a : args) command += " " + gwtest::ShellQuote(a);
    return command;
}

TEST(BatchCli, EveryGoodLineBecomesAFileAndABadOneIsReported) {
    const std::string list = TempPath("list.txt"), dir = TempPath("out");
    std::filesystem::remove_all(dir);
    // Files already there: the failing line's (kept), a good line's (replaced whole) and a
    // directory in a good line's place (which cannot be replaced, and stays).
    std::filesystem::create_directories(dir + "/gate-d.png");
    std::ofstream(dir + "/gate-b.png", std::ios::binary) << "keep";
    std::ofstream(dir + "/gate-c.png", std::ios::binary) << "old";
    std::ofstream(list, std::ios::binary) << "gate-a\tTICKET A1\r\n"
                                             "gate-b\tticket b2\n"  // lower case: not alphanumeric
                                             "\n"
                                             "PLAIN LINE 4\n"
                                             "../escape\tTICKET\n"
                                             "gate-a\tTICKET AGAIN\n"
                                             "gate-c\tTICKET C3\n"
                                             "gate-d\tTICKET D4";
    int status = -1;
    const std::string err = TempPath("stderr");
    gwtest::RunCommand(Command({list, "--out-dir", dir, "--mode", "alphanumeric", "--jobs", "3"}) + " 2>" +
                           gwtest::ShellQuote(err),
                       &status);
    EXPECT_EQ(status, 1);
    const std::string messages = ReadFile(err);
    EXPECT_NE(messages.find("line 2: alphanumeric mode cannot hold byte 0x74 't' at position 0"),
              std::string::npos)
        << messages;
    EXPECT_NE(messages.find("line 5: '../escape' cannot be a file name"), std::string::npos) << messages;
    EXPECT_NE(messages.find("line 6: the name 'gate-a' is already used on line 1"), std::string::npos)
        << messages;
    EXPECT_NE(messages.find("line 8: cannot write '" + dir + "/gate-d.png'"), std::string::npos) << messages;
    EXPECT_NE(messages.find("3 written, 4 failed"), std::string::npos) << messages;
    EXPECT_EQ(messages.find('\r'), std::string::npos) << "no progress bar when standard error is a file";

    const std::vector<std::pair<std::string, std::string>> written = {
        {"gate-a.png", "TICKET A1"}, {"4.png", "PLAIN LINE 4"}, {"gate-c.png", "TICKET C3"}};
    for (const auto& [name, text] : written) {
        const gwtest::DecodeResult zb = gwtest::DecodeFileWithZbarimg(dir + "/" + name);
        EXPECT_TRUE(zb.ok) << name << ": " << zb.error;
        EXPECT_EQ(zb.bytes, text) << name;
    }
    EXPECT_EQ(ReadFile(dir + "/gate-b.png"), "keep");
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/gate-d.png"));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++files;
        EXPECT_EQ(entry.path().extension(), ".png") << entry.path();  // no temporary files left behind
    }
    EXPECT_EQ(files, written.size() + 2);
    EXPECT_FALSE(std::filesystem::exists(dir + "/../escape.png"));

    // Other formats take their own ending; standard input works as the list.
    gwtest::RunCommand("printf 'one\\tSVG LINE\\n' | " + Command({"-", "--out-dir", dir, "--format", "svg"}) +
                           " 2>/dev/null",
                       &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(ReadFile(dir + "/one.svg").find("<svg"), std::string::npos);
}

TEST(BatchCli, ProgressBarOnlyOnATerminal) {
    const std::string list = TempPath("list.txt"), dir = TempPath("out"), script = TempPath("pty.py");
    {
        std::ofstream out(list);
        for (int i = 0; i < 200; ++i) out << "progress " << i << "\n";
    }
    // Runs the batch with standard error on a pseudo-terminal and prints what it showed there.
    std::ofstream(script) << "import os, pty, subprocess, sys\n"
                             "master, slave = pty.openpty()\n"
                             "p = subprocess.Popen(sys.argv[1:], stdin=subprocess.DEVNULL,\n"
                             "                     stdout=subprocess.DEVNULL, stderr=slave)\n"
                             "os.close(slave)\n"
                             "shown = b''\n"
                             "while True:\n"
                             "    try:\n"
                             "        chunk = os.read(master, 4096)\n"
                             "    except OSError:\n"
                             "        break\n"
                             "    if not chunk:\n"
                             "        break\n"
                             "    shown += chunk\n"
                             "sys.stdout.write(shown.decode('utf-8', 'replace'))\n"
                             "sys.exit(p.wait())\n";
    int status = -1;
    const std::string shown =
        gwtest::RunCommand("python3 " + gwtest::ShellQuote(script) + " " + gwtest::ShellQuote(kProgram) +
                               " batch " + gwtest::ShellQuote(list) + " --out-dir " + gwtest::ShellQuote(dir),
                           &status);
    EXPECT_EQ(status, 0) << shown;
    // The last drawing of the bar: full, the count, a rate and the time left. (The terminal
    // turns every newline into "\r\n", so the bar is found by its opening bracket.)
    const size_t last = shown.rfind("\r[");
    ASSERT_NE(last, std::string::npos) << shown;
    const std::string bar = shown.substr(last);
    EXPECT_NE(bar.find("[" + std::string(30, '#') + "] 200/200"), std::string::npos) << bar;
    EXPECT_NE(bar.find("/s"), std::string::npos) << bar;
    EXPECT_NE(bar.find("left"), std::string::npos) << bar;
    EXPECT_NE(shown.find("200 written, 0 failed"), std::string::npos) << shown;
}

}  // namespace

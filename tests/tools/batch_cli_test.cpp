// The batch subcommand of the real program: one symbol file per line read back by zbar, a bad
// line in the middle reported while the rest are written, runs ended by a signal that leave
// only whole files, and the progress bar that appears only when standard error is a terminal
// (a pseudo-terminal here).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/program.h"
#include "tests/support/qr_decode.h"

namespace {

const std::string kProgram = gwtest::ProgramPath();

// Named for the test and the process, so that two builds' runs at once never share a folder.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "glyphwell_batch_cli_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Command(const std::vector<std::string>& args) {
    std::vector<std::string> words{"batch"};
    words.insert(words.end(), args.begin(), args.end());
    return gwtest::ProgramCommand(words);
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

    // '#' is a byte like any other: ten in a row and one at the end are written whole.
    const std::string err2 = TempPath("stderr2");
    gwtest::RunCommand("printf 'hashes\\tAB##########CD#\\n' | " + Command({"-", "--out-dir", dir}) + " 2>" +
                           gwtest::ShellQuote(err2),
                       &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(err2).find("warning"), std::string::npos) << ReadFile(err2);
    EXPECT_EQ(gwtest::DecodeFileWithZbarimg(dir + "/hashes.png").bytes, "AB##########CD#");
}

// SIGINT or SIGTERM at a random moment of a run, into an empty folder and into one whose files
// are being replaced: whatever the moment, the folder holds only whole pictures under their
// own names (no empty file, no temporary file, no half-written one).
TEST(BatchCli, SignalsAtRandomMomentsLeaveOnlyWholeFiles) {
    const std::string list = TempPath("list.txt"), full = TempPath("full"), err = TempPath("stderr");
    constexpr int kLines = 300;
    {
        std::ofstream out(list);
        for (int i = 1; i <= kLines; ++i) out << "SIGNAL TEST " << i << "\n";
    }
    int status = -1;
    std::filesystem::remove_all(full);
    // The moments are drawn within the time a whole run takes on this machine.
    const auto start = std::chrono::steady_clock::now();
    gwtest::RunCommand(Command({list, "--out-dir", full, "--jobs", "2"}) + " 2>/dev/null", &status);
    const double whole = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(status, 0);
    const std::string iend("IEND\xAE\x42\x60\x82", 8), signature("\x89PNG\r\n\x1A\n", 8);
    const std::regex ownName("[0-9]+\\.png");
    std::mt19937 random(29);  // fixed: a failing moment can be run again
    struct Row {
        const char* signal;
        bool replacing;  // the folder already holds every file
    } const rows[] = {{"INT", false}, {"INT", true}, {"TERM", false}, {"TERM", true},
                      {"INT", false}, {"INT", true}, {"TERM", true},  {"INT", true}};
    int interrupted = 0;
    for (const Row& row : rows) {
        double seconds = std::uniform_real_distribution<double>(0.02, 0.7)(random) * whole;
        // A run can be quicker than the timed one (that one may have shared the machine with
        // other tests): one that ended before its moment is run again with half the delay.
        for (int attempt = 0; attempt < 4; ++attempt, seconds /= 2) {
            const std::string dir = TempPath("out");
            std::filesystem::remove_all(dir);
            if (row.replacing) std::filesystem::copy(full, dir);
            char delay[32];
            std::snprintf(delay, sizeof delay, "%.3f", seconds < 0.001 ? 0.001 : seconds);
            gwtest::RunCommand("timeout -s " + std::string(row.signal) + " " + delay + " " +
                                   Command({list, "--out-dir", dir, "--jobs", "2"}) + " 2>" +
                                   gwtest::ShellQuote(err),
                               &status);
            SCOPED_TRACE(std::string("SIG") + row.signal + " after " + delay + " s, " +
                         (row.replacing ? "replacing files" : "new files"));
            if (status == 124) ++interrupted;  // timeout's status for a command it had to stop
            size_t files = 0;
            for (const auto& entry : std::filesystem::directory_iterator(dir)) {
                const std::string name = entry.path().filename().string();
                ++files;
                EXPECT_TRUE(std::regex_match(name, ownName)) << name << " left behind";
                const std::string bytes = ReadFile(entry.path().string());
                EXPECT_TRUE(bytes.size() > 16 && bytes.compare(0, 8, signature) == 0 &&
                            bytes.compare(bytes.size() - 8, 8, iend) == 0)
                    << name << " is not a whole picture (" << bytes.size() << " bytes)";
            }
            if (row.replacing) {
                EXPECT_EQ(files, static_cast<size_t>(kLines));
            }
            if (status == 124) break;
        }
    }
    // The moments fall inside the runs: a run that had ended first would show nothing.
    EXPECT_GE(interrupted, 6);
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

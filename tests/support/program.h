// Running the command-line program this build made, through the shell as a user would, with
// its exit status, standard output and standard error caught. Header-only: the program's
// place comes from the test's own GLYPHWELL_BINARY_DIR.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/qr_decode.h"

namespace gwtest {

struct ProgramOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ProgramPath() { return std::string(GLYPHWELL_BINARY_DIR) + "/tools/glyphwell/glyphwell"; }

// `glyphwell ARGS` as shell words, each quoted.
inline std::string ProgramCommand(const std::vector<std::string>& args) {
    std::string command = ShellQuote(ProgramPath());
    for (const std::string& a : args) command += " " + ShellQuote(a);
    return command;
}

// Runs the shell command with its standard error sent to errFile (then read back); `tail`
// follows the redirection (more shell words, such as waiting for a job started first).
inline ProgramOutcome RunCatching(const std::string& command, const std::string& errFile,
                                  const std::string& tail = "") {
    ProgramOutcome o;
    o.out = RunCommand(command + " 2>" + ShellQuote(errFile) + tail, &o.status);
    std::ifstream in(errFile, std::ios::binary);
    o.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return o;
}

}  // namespace gwtest

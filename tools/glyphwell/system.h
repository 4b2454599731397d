// The few things the command line does differently on POSIX systems and on Windows.
#pragma once

#include <cstdio>
#include <string>

namespace gwcli {

// True when `stream` is an interactive terminal (progress bars and colours only then).
bool IsTerminal(FILE* stream);

// Moves the file `from` over `to`, replacing any file there; false (errno set) on failure.
// (Not named ReplaceFile: the system headers make that name a macro.)
bool MoveFileOver(const std::string& from, const std::string& to);

// A name beside `path` that no other running process or call uses ("PATH.tmpPID.N").
std::string TemporaryNameBeside(const std::string& path);

}  // namespace gwcli

// The few things the command line does differently on POSIX systems and on Windows.
#pragma once

#include <cstdio>

namespace gwcli {

// True when `stream` is an interactive terminal (progress bars and colours only then).
bool IsTerminal(FILE* stream);

// Makes SIGINT, SIGTERM and SIGHUP remove the files being written before they end the process
// as they would have (the same signal, raised again with its default action), so that an
// interrupted run leaves neither a partial file nor a temporary one.
void RemoveUnfinishedFilesOnSignals();

// Standard output carries bytes as they are (no newline translation on Windows).
void BinaryStandardOutput();

}  // namespace gwcli

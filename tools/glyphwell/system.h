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

// Creates `path` for writing only if no file or directory has that name (O_EXCL; CREATE_NEW
// on Windows). Returns a descriptor for WriteAndClose, or -1 with errno set (EEXIST when the
// name is taken).
int CreateNewFile(const std::string& path);

// Writes all `size` bytes to a descriptor from CreateNewFile and closes it, whatever happens;
// false (errno set) when a write or the close failed.
bool WriteAndClose(int descriptor, const void* data, size_t size);

}  // namespace gwcli

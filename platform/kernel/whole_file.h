// Files written whole or not at all, for every file this system writes (the registry file and
// everything the command line makes), and the cleanup of half-made files when a signal ends
// the process. Not a Win32 name: the stand-in's own service, in namespace standin.
#pragma once

#include <cstddef>
#include <string>

namespace standin {

// Writes `size` bytes to `path` so that no reader ever sees half of them and nothing stored
// is lost on failure:
// - a name that holds nothing yet is created exclusively (never through an existing name or
//   link) and written; if that fails the new file is removed again;
// - an existing regular file is replaced through a temporary file with an unpredictable name
//   in the same folder, created exclusively, which takes the old file's permission bits (and
//   its owner and group where the process may set them) and then takes its name. Other hard
//   links to the old file keep the old contents;
// - a symbolic link is followed: the file it leads to is made or replaced as above, and the
//   link stays;
// - an existing file that is not a regular one (a terminal, a device, a FIFO) is written into
//   directly, as any program writing to it would;
// - a directory is refused.
// Returns false with the reason (no path in it) in *why.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* why);

// Removes every file that WriteWholeFile is making at this moment on any thread: temporary
// files and new files not yet complete. Safe to call from a signal handler (it may wait a few
// milliseconds for a file being created on another thread); for a host whose handler then ends
// the process, so that an interrupted run leaves no debris and no partial file.
void RemoveUnfinishedFiles();

}  // namespace standin

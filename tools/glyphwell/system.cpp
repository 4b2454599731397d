#include "tools/glyphwell/system.h"

#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace gwcli {

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

bool MoveFileOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // The C runtime's rename refuses an existing target; the old file goes first, so a crash
    // between the two steps leaves the new file under its temporary name, never a partial one.
    std::remove(to.c_str());
#endif
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned long> counter{0};
#ifdef _WIN32
    const long process = static_cast<long>(_getpid());
#else
    const long process = static_cast<long>(getpid());
#endif
    return path + ".tmp" + std::to_string(process) + "." + std::to_string(++counter);
}

}  // namespace gwcli

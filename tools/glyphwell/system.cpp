#include "tools/glyphwell/system.h"

#include <atomic>
#include <cstdio>

#include <cerrno>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <sys/stat.h>
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

int CreateNewFile(const std::string& path) {
#ifdef _WIN32
    // The runtime asks the system for CREATE_NEW.
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

bool WriteAndClose(int descriptor, const void* data, size_t size) {
    const char* next = static_cast<const char*>(data);
    bool written = true;
    while (written && size > 0) {
        // A single call writes everything to a regular file but may be cut short by a signal.
#ifdef _WIN32
        const int chunk = size > 0x40000000u ? 0x40000000 : static_cast<int>(size);
        const int n = _write(descriptor, next, static_cast<unsigned>(chunk));
#else
        const ssize_t n = write(descriptor, next, size);
#endif
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        written = n > 0;
        if (written) {
            next += n;
            size -= static_cast<size_t>(n);
        }
    }
    const int saved = errno;
#ifdef _WIN32
    const bool closed = _close(descriptor) == 0;
#else
    const bool closed = close(descriptor) == 0;
#endif
    if (!written) errno = saved;
    return written && closed;
}

}  // namespace gwcli

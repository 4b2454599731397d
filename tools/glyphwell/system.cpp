#include "tools/glyphwell/system.h"

#include <csignal>
#include <cstdio>

#include "platform/kernel/whole_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
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

namespace {
void EndOnSignal(int signal) {
    standin::RemoveUnfinishedFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
}  // namespace

void RemoveUnfinishedFilesOnSignals() {
#ifdef _WIN32
    std::signal(SIGINT, EndOnSignal);
    std::signal(SIGTERM, EndOnSignal);
#else
    struct sigaction action = {};
    action.sa_handler = EndOnSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, s);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        struct sigaction old;
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
#endif
}

void BinaryStandardOutput() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

}  // namespace gwcli

#include "platform/kernel/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <pthread.h>
#include <sys/random.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

// ---- Files being made, for a signal handler to remove ---------------------------------------
// A fixed table that a handler can walk without locks or allocation. A slot's name is written
// only while the slot is kCreating and read by the handler only once it is kHeld; the handler
// claims a held slot before removing its file, so a slot it reads is never reused under it.
enum SlotState : int { kFree, kCreating, kHeld, kClaimed };
constexpr int kSlots = 128;  // more than the threads that write at once
constexpr size_t kNameMax = 4096;

// Every member has a constant initialiser, so the table is zeros laid out by the loader: a
// dynamic initialiser would touch all of its half a megabyte before main in every run.
struct Slot {
    std::atomic<int> state{kFree};
    char name[kNameMax]{};
};
Slot g_slots[kSlots];
// Set once a signal's cleanup has begun: from then on no thread creates a file, since the
// cleanup may already have walked past the slot it would take.
std::atomic<bool> g_ending{false};

#ifndef _WIN32
// While a name is created and recorded, the signals that end the process wait: the cleanup then
// never runs on this thread between the two steps (on other threads it waits for kCreating).
class HoldSignals {
public:
    HoldSignals() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~HoldSignals() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    HoldSignals(const HoldSignals&) = delete;
    HoldSignals& operator=(const HoldSignals&) = delete;

private:
    sigset_t m_old;
};
#else
struct HoldSignals {
    HoldSignals() {}
    ~HoldSignals() {}
};
#endif

Slot* Reserve(const std::string& name) {
    if (name.size() >= kNameMax) return nullptr;
    for (Slot& slot : g_slots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kCreating)) {
            std::memcpy(slot.name, name.c_str(), name.size() + 1);
            return &slot;
        }
    }
    return nullptr;
}

// Done with a file: it is whole under its final name, or already removed.
void Forget(Slot* slot) {
    if (!slot) return;
    int held = kHeld;
    slot->state.compare_exchange_strong(held, kFree);  // a claimed slot belongs to the handler
}

int OpenExclusive(const std::string& name, int mode) {
#ifdef _WIN32
    return _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, mode);
#else
    return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                static_cast<mode_t>(mode));
#endif
}

// Creates `name` exclusively and records it for removal by a signal's cleanup. The descriptor,
// or -1 with errno set (EEXIST when the name is taken by anything, a link included).
int CreateRecorded(const std::string& name, int mode, Slot** slot) {
    HoldSignals hold;
    *slot = Reserve(name);
    // Reserved first, then looked at: a cleanup that began before the look is seen here, and one
    // that begins after it finds the slot reserved and waits for it.
    if (g_ending.load()) {
        if (*slot) (*slot)->state.store(kFree);
        *slot = nullptr;
        errno = EINTR;
        return -1;
    }
    const int fd = OpenExclusive(name, mode);
    const int saved = errno;
    if (*slot) {
        (*slot)->state.store(fd >= 0 ? kHeld : kFree);
        if (fd < 0) *slot = nullptr;
    }
    errno = saved;
    return fd;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
#ifdef _WIN32
        const int n = _write(fd, next, static_cast<unsigned>(size > 0x40000000u ? 0x40000000u : size));
#else
        const ssize_t n = write(fd, next, size);
#endif
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        next += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CloseChecked(int fd) {
#ifdef _WIN32
    return _close(fd) == 0;
#else
    return close(fd) == 0;
#endif
}

void RemoveName(const std::string& name) {
#ifdef _WIN32
    _unlink(name.c_str());
#else
    unlink(name.c_str());
#endif
}

std::string Reason(int error) {
    return std::strerror(error);
}

// Twelve letters and digits nobody can guess ahead: the temporary file's name.
std::string RandomSuffix() {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[12] = {};
#ifdef _WIN32
    thread_local std::mt19937_64 generator(std::random_device{}() ^
                                           static_cast<unsigned long long>(_getpid()) ^
                                           static_cast<unsigned long long>(std::time(nullptr)));
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(generator());
#else
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        std::random_device device;
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(device());
    }
#endif
    std::string suffix;
    for (unsigned char b : bytes) suffix += kAlphabet[b % 62];
    return suffix;
}

// The folder part of `path` with its separator ("" for a bare name), and the rest.
void SplitName(const std::string& path, std::string* folder, std::string* base) {
    const size_t cut = path.find_last_of("/\\");
    *folder = cut == std::string::npos ? "" : path.substr(0, cut + 1);
    *base = cut == std::string::npos ? path : path.substr(cut + 1);
}

struct Target {
    std::string name;  // where the bytes go: `path`, or the end of its links
    bool exists = false;
    bool regular = false;
    bool directory = false;
    int mode = 0;  // permission bits of an existing file
#ifndef _WIN32
    uid_t owner = 0;
    gid_t group = 0;
#endif
};

// Follows `path` through symbolic links to the name the bytes belong under.
bool Resolve(const std::string& path, Target* target, std::string* why) {
    target->name = path;
#ifdef _WIN32
    struct _stat64 st;
    if (_stat64(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;
        *why = Reason(errno);
        return false;
    }
    target->exists = true;
    target->regular = (st.st_mode & _S_IFMT) == _S_IFREG;
    target->directory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    target->mode = st.st_mode & 0777;
    return true;
#else
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(target->name.c_str(), &st) != 0) {
            if (errno == ENOENT) return true;  // a new file (perhaps at the end of a link)
            *why = Reason(errno);
            return false;
        }
        if (!S_ISLNK(st.st_mode)) {
            target->exists = true;
            target->regular = S_ISREG(st.st_mode);
            target->directory = S_ISDIR(st.st_mode);
            target->mode = static_cast<int>(st.st_mode & 07777);
            target->owner = st.st_uid;
            target->group = st.st_gid;
            return true;
        }
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
        const ssize_t n = readlink(target->name.c_str(), &link[0], link.size());
        if (n < 0 || static_cast<size_t>(n) >= link.size()) {
            *why = n < 0 ? Reason(errno) : "the link changed while it was read";
            return false;
        }
        link.resize(static_cast<size_t>(n));
        if (link.empty()) {
            *why = Reason(ENOENT);
            return false;
        }
        std::string folder, base;
        SplitName(target->name, &folder, &base);
        target->name = link.front() == '/' ? link : folder + link;
    }
    *why = Reason(ELOOP);
    return false;
#endif
}

// Writes into an existing device, terminal or FIFO as it is.
bool WriteInto(const Target& target, const void* data, size_t size, std::string* why) {
#ifdef _WIN32
    const int fd = _open(target.name.c_str(), _O_WRONLY | _O_BINARY);
#else
    const int fd = open(target.name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
#endif
    if (fd < 0) {
        *why = Reason(errno);
        return false;
    }
    const bool written = WriteAll(fd, data, size);
    const int saved = errno;
    const bool closed = CloseChecked(fd);
    if (!written || !closed) {
        *why = Reason(written ? errno : saved);
        return false;
    }
    return true;
}

// Makes a file under a name that nothing holds. EEXIST in *error when something took the name
// since it was looked at.
bool WriteNew(const Target& target, const void* data, size_t size, std::string* why, int* error) {
    Slot* slot = nullptr;
    const int fd = CreateRecorded(target.name, 0666, &slot);
    if (fd < 0) {
        *error = errno;
        *why = Reason(errno);
        return false;
    }
    const bool written = WriteAll(fd, data, size);
    const int saved = errno;
    const bool closed = CloseChecked(fd);
    if (!written || !closed) {
        *error = written ? errno : saved;
        *why = Reason(*error);
        RemoveName(target.name);  // ours, made a moment ago: nothing of it may stay
        Forget(slot);
        return false;
    }
    Forget(slot);
    return true;
}

bool MoveOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // The C runtime's rename refuses an existing target; the old file goes first, so a crash
    // between the two steps leaves the new file under its temporary name, never a partial one.
    _unlink(to.c_str());
#endif
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// Replaces an existing regular file through a temporary one beside it.
bool Replace(const Target& target, const void* data, size_t size, std::string* why) {
    std::string folder, base;
    SplitName(target.name, &folder, &base);
    // Kept short enough that the longest name a folder may hold still leaves room for it.
    if (base.size() > 200) base.resize(200);
    std::string temporary;
    Slot* slot = nullptr;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder + base + ".tmp" + RandomSuffix();
        fd = CreateRecorded(temporary, 0600, &slot);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        *why = "cannot create a temporary file beside it: " + Reason(errno);
        return false;
    }
    bool written = WriteAll(fd, data, size);
    int error = errno;
#ifndef _WIN32
    // The owner first: changing it clears the set-id bits that the mode then restores. Both are
    // best efforts: only a privileged process may give a file away.
    if (fchown(fd, target.owner, target.group) != 0) (void)!fchown(fd, static_cast<uid_t>(-1), target.group);
    (void)!fchmod(fd, static_cast<mode_t>(target.mode));
#endif
    if (!CloseChecked(fd) && written) {
        written = false;
        error = errno;
    }
#ifdef _WIN32
    if (written) _chmod(temporary.c_str(), target.mode & (_S_IREAD | _S_IWRITE));
#endif
    if (written && !MoveOver(temporary, target.name)) {
        written = false;
        error = errno;
    }
    if (!written) {
        RemoveName(temporary);
        *why = Reason(error);
    }
    Forget(slot);
    return written;
}

}  // namespace

bool standin::WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* why) {
    // A name taken between the look and the exclusive create is looked at again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        Target target;
        if (!Resolve(path, &target, why)) return false;
        if (target.directory) {
            *why = Reason(EISDIR);
            return false;
        }
        if (target.exists) {
            return target.regular ? Replace(target, data, size, why) : WriteInto(target, data, size, why);
        }
        int error = 0;
        if (WriteNew(target, data, size, why, &error)) return true;
        if (error != EEXIST) return false;
    }
    return false;
}

void standin::RemoveUnfinishedFiles() {
    g_ending.store(true);
    // A file being created on another thread (whose signals wait meanwhile) is waited for, up to
    // two seconds, so that it is removed too.
    for (int round = 0; round < 200; ++round) {
        bool creating = false;
        for (Slot& slot : g_slots) {
            int held = kHeld;
            if (slot.state.compare_exchange_strong(held, kClaimed)) {
#ifdef _WIN32
                _unlink(slot.name);
#else
                unlink(slot.name);
#endif
            } else if (held == kCreating) {
                creating = true;
            }
        }
        if (!creating) return;
#ifndef _WIN32
        struct timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
#endif
    }
}

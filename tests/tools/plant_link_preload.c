/* Loaded with LD_PRELOAD into the program by the command-line tests: it plays the attacker who
 * guesses a temporary file's name and wins the race at the worst moment. The first
 * GW_PLANT_COUNT files the program creates beside GW_PLANT_BESIDE (names that begin with it and
 * go on) find a symbolic link to GW_PLANT_VICTIM planted at their name just before the program
 * opens it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int planted;

static void Plant(const char* path, int flags) {
    const char* beside = getenv("GW_PLANT_BESIDE");
    const char* victim = getenv("GW_PLANT_VICTIM");
    const char* count = getenv("GW_PLANT_COUNT");
    if (!beside || !victim || !(flags & O_CREAT)) return;
    const size_t n = strlen(beside);
    if (strncmp(path, beside, n) != 0 || path[n] == '\0') return;
    if (__atomic_fetch_add(&planted, 1, __ATOMIC_SEQ_CST) >= (count ? atoi(count) : 1)) return;
    if (symlink(victim, path) != 0) abort(); /* the test must not pass without its plant */
}

typedef int (*OpenFn)(const char*, int, ...);
typedef int (*OpenAtFn)(int, const char*, int, ...);

#define GW_OPEN(name)                                                   \
    int name(const char* path, int flags, ...) {                        \
        mode_t mode = 0;                                                \
        if (flags & O_CREAT) {                                          \
            va_list ap;                                                 \
            va_start(ap, flags);                                        \
            mode = (mode_t)va_arg(ap, int);                             \
            va_end(ap);                                                 \
        }                                                               \
        Plant(path, flags);                                             \
        OpenFn real = (OpenFn)dlsym(RTLD_NEXT, #name);                  \
        return real(path, flags, mode);                                 \
    }
#define GW_OPENAT(name)                                                 \
    int name(int dir, const char* path, int flags, ...) {               \
        mode_t mode = 0;                                                \
        if (flags & O_CREAT) {                                          \
            va_list ap;                                                 \
            va_start(ap, flags);                                        \
            mode = (mode_t)va_arg(ap, int);                             \
            va_end(ap);                                                 \
        }                                                               \
        Plant(path, flags);                                             \
        OpenAtFn real = (OpenAtFn)dlsym(RTLD_NEXT, #name);              \
        return real(dir, path, flags, mode);                            \
    }

GW_OPEN(open)
GW_OPEN(open64)
GW_OPENAT(openat)
GW_OPENAT(openat64)

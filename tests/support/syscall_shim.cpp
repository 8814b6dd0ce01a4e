// A preloaded library (LD_PRELOAD, Linux) that stands between the program,
// SQLite included, and the system calls that make files durable:
//
//  - it counts flushes (fsync, fdatasync, syncfs), renames, removals and
//    writes, so a benchmark can print how many an operation makes;
//  - WH_FLUSH_DELAY_US makes every flush take that long, as a real disk does;
//  - once armed, it kills the process (SIGKILL) or fails with ENOSPC at the
//    n-th write, flush, rename or removal, for the crash and full-disk sweeps.
//
// The program finds the controls below with dlsym; without the shim they are
// simply absent.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace {

std::atomic<long> flushes {0}, renames {0}, removals {0}, writes {0};
std::atomic<long> armedCalls {0};
std::atomic<long> failAt {0}; // 0: not armed
std::atomic<int> failMode {0}; // 1: SIGKILL, 2: ENOSPC
// Of the call failed: 1 flush of a file, 2 rename, 3 removal, 4 write, 5
// flush of a directory.
std::atomic<int> failedKind {0};

enum Kind { Flush = 1, Rename, Removal, Write, DirectoryFlush };

void flushDelay()
{
    static const long micros = [] {
        const char *text = std::getenv("WH_FLUSH_DELAY_US");
        return text ? std::atol(text) : 0L;
    }();
    if (micros > 0) {
        timespec pause {micros / 1000000, (micros % 1000000) * 1000};
        nanosleep(&pause, nullptr);
    }
}

// Whether this call is the one to fail (with errno set); kills the process
// when so armed.
bool faultHere(Kind kind)
{
    if (failAt.load() == 0)
        return false;
    if (armedCalls.fetch_add(1) + 1 != failAt.load())
        return false;
    failedKind = kind;
    if (failMode.load() == 1)
        raise(SIGKILL);
    errno = ENOSPC;
    return true;
}

template<typename F>
F real(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

Kind flushOf(int fd)
{
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) ? DirectoryFlush : Flush;
}

// Only writes to files count: not the terminal, pipes or event descriptors.
bool isFileWrite(int fd)
{
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) void wh_shim_counts(
    long *flushCount, long *renameCount, long *removalCount, long *writeCount)
{
    *flushCount = flushes.load();
    *renameCount = renames.load();
    *removalCount = removals.load();
    *writeCount = writes.load();
}

// Arms the fault at the n-th faultable call from now on (-1 only counts the
// calls, 0 disarms); wh_shim_armed_calls tells how many were made.
__attribute__((visibility("default"))) void wh_shim_arm(long n, int mode)
{
    armedCalls = 0;
    failedKind = 0;
    failMode = mode;
    failAt = n;
}

__attribute__((visibility("default"))) long wh_shim_armed_calls()
{
    return armedCalls.load();
}

// What kind of call the armed fault hit (0: none yet).
__attribute__((visibility("default"))) int wh_shim_failed_kind()
{
    return failedKind.load();
}

__attribute__((visibility("default"))) int fsync(int fd)
{
    static auto next = real<int (*)(int)>("fsync");
    if (faultHere(flushOf(fd)))
        return -1;
    ++flushes;
    flushDelay();
    return next(fd);
}

__attribute__((visibility("default"))) int fdatasync(int fd)
{
    static auto next = real<int (*)(int)>("fdatasync");
    if (faultHere(flushOf(fd)))
        return -1;
    ++flushes;
    flushDelay();
    return next(fd);
}

__attribute__((visibility("default"))) int syncfs(int fd)
{
    static auto next = real<int (*)(int)>("syncfs");
    if (faultHere(flushOf(fd)))
        return -1;
    ++flushes;
    flushDelay();
    return next(fd);
}

__attribute__((visibility("default"))) int rename(const char *from, const char *to)
{
    static auto next = real<int (*)(const char *, const char *)>("rename");
    if (faultHere(Rename))
        return -1;
    ++renames;
    return next(from, to);
}

__attribute__((visibility("default"))) int renameat(
    int fromDir, const char *from, int toDir, const char *to)
{
    static auto next = real<int (*)(int, const char *, int, const char *)>("renameat");
    if (faultHere(Rename))
        return -1;
    ++renames;
    return next(fromDir, from, toDir, to);
}

__attribute__((visibility("default"))) int unlink(const char *path)
{
    static auto next = real<int (*)(const char *)>("unlink");
    if (faultHere(Removal))
        return -1;
    ++removals;
    return next(path);
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void *data, size_t size)
{
    static auto next = real<ssize_t (*)(int, const void *, size_t)>("write");
    if (isFileWrite(fd)) {
        if (faultHere(Write))
            return -1;
        ++writes;
    }
    return next(fd, data, size);
}

__attribute__((visibility("default"))) ssize_t pwrite(
    int fd, const void *data, size_t size, off_t offset)
{
    static auto next = real<ssize_t (*)(int, const void *, size_t, off_t)>("pwrite");
    if (isFileWrite(fd) && faultHere(Write))
        return -1;
    ++writes;
    return next(fd, data, size, offset);
}

__attribute__((visibility("default"))) ssize_t pwrite64(
    int fd, const void *data, size_t size, off64_t offset)
{
    static auto next = real<ssize_t (*)(int, const void *, size_t, off64_t)>("pwrite64");
    if (isFileWrite(fd) && faultHere(Write))
        return -1;
    ++writes;
    return next(fd, data, size, offset);
}

} // extern "C"

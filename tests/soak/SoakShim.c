/* Preloaded into the programs of a fault soak, it makes the rest of the
 * machine go wrong on cue, from a control file the soak rewrites in place:
 *
 *   "<seconds> <full>\n"   e.g. "-3600 0" or "+0 1"
 *
 * <seconds> is added to the wall clock (the steady clock is left alone, as
 * NTP leaves it), and while <full> is 1 every write to a file under
 * CORVANE_SOAK_FULL_DIR fails with ENOSPC, as on a full disk.
 *
 *   CORVANE_SOAK_CONTROL=FILE CORVANE_SOAK_FULL_DIR=DIR LD_PRELOAD=soak-shim.so PROGRAM
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

static const char* control;  /* the mapped control file, or NULL */
static size_t controlSize;
static char fullDir[4096];
static size_t fullDirLength;

__attribute__((constructor)) static void openControl(void)
{
    const char* path = getenv("CORVANE_SOAK_CONTROL");
    const char* dir = getenv("CORVANE_SOAK_FULL_DIR");
    if (dir && strlen(dir) < sizeof fullDir - 1) {
        strcpy(fullDir, dir);
        fullDirLength = strlen(fullDir);
    }
    if (!path)
        return;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat status;
    if (fstat(fd, &status) == 0 && status.st_size > 0) {
        void* mapped = mmap(NULL, (size_t)status.st_size, PROT_READ, MAP_SHARED, fd, 0);
        if (mapped != MAP_FAILED) {
            control = mapped;
            controlSize = (size_t)status.st_size;
        }
    }
    close(fd);
}

/* The next definition of a symbol, as a function pointer (POSIX allows
 * what ISO C does not: dlsym's object pointer is the function). */
static void* nextSymbol(const char* name)
{
    return dlsym(RTLD_NEXT, name);
}

/* The control's two numbers; both 0 without one. */
static void readControl(long* seconds, int* full)
{
    *seconds = 0;
    *full = 0;
    if (!control)
        return;
    char text[64];
    size_t n = controlSize < sizeof text - 1 ? controlSize : sizeof text - 1;
    memcpy(text, control, n);
    text[n] = 0;
    char* end = NULL;
    *seconds = strtol(text, &end, 10);
    if (end)
        *full = (int)strtol(end, NULL, 10);
}

typedef int (*ClockGettime)(clockid_t, struct timespec*);
typedef ssize_t (*Write)(int, const void*, size_t);
typedef ssize_t (*Writev)(int, const struct iovec*, int);

int clock_gettime(clockid_t clock, struct timespec* time)
{
    static ClockGettime real;
    if (!real)
        *(void**)&real = nextSymbol("clock_gettime");
    int result = real(clock, time);
    if (result == 0 && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE)) {
        long seconds;
        int full;
        readControl(&seconds, &full);
        time->tv_sec += seconds;
    }
    return result;
}

int gettimeofday(struct timeval* restrict time, void* restrict zone)
{
    struct timespec now;
    struct timeval* volatile out = time; /* glibc declares it non-null; callers still pass NULL */
    (void)zone;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return -1;
    if (out) {
        out->tv_sec = now.tv_sec;
        out->tv_usec = now.tv_nsec / 1000;
    }
    return 0;
}

time_t time(time_t* out)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (out)
        *out = now.tv_sec;
    return now.tv_sec;
}

/* The disk is full now for this descriptor's file. */
static int fullFor(int fd)
{
    long seconds;
    int full;
    readControl(&seconds, &full);
    if (!full || fullDirLength == 0)
        return 0;
    char link[64], target[4096];
    int saved = errno;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    errno = saved;
    if (n <= 0)
        return 0;
    target[n] = 0;
    return strncmp(target, fullDir, fullDirLength) == 0 && (target[fullDirLength] == '/' || target[fullDirLength] == 0);
}

ssize_t write(int fd, const void* data, size_t size)
{
    static Write real;
    if (!real)
        *(void**)&real = nextSymbol("write");
    if (size > 0 && fullFor(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, data, size);
}

ssize_t writev(int fd, const struct iovec* parts, int count)
{
    static Writev real;
    if (!real)
        *(void**)&real = nextSymbol("writev");
    if (count > 0 && fullFor(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, parts, count);
}

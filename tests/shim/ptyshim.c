/* Test-only LD_PRELOAD library: gives pseudo-terminal slaves the DTR and RTS lines they lack.
 *
 * The kernel refuses the modem ioctls on ptys (ENOTTY). Here TIOCMGET, TIOCMSET, TIOCMBIS and
 * TIOCMBIC on a /dev/pts/N descriptor act on emulated levels kept per pty (shared by every
 * descriptor on it, as on a real port); every other request goes to the real ioctl. A pty whose
 * master is gone still fails (EIO) like a hung-up tty.
 *
 * Environment:
 *   PREGONAL_LINELOG       file to append one line per event to (read at each event):
 *                            <CLOCK_MONOTONIC ns> <fd> open DTR=<0|1> RTS=<0|1>
 *                            <CLOCK_MONOTONIC ns> <fd> DTR=<0|1> RTS=<0|1>
 *                            <CLOCK_MONOTONIC ns> <fd> close DTR=<0|1> RTS=<0|1> HUPCL=<0|1|-1>
 *                          "open" comes with the first modem ioctl on the pty, a plain line with
 *                          each change of level, "close" just before the last descriptor of this
 *                          process on the pty closes: levels and HUPCL as they are then (HUPCL -1
 *                          when the termios cannot be read, e.g. the master is gone). After a
 *                          close with HUPCL=1 a real port would have dropped both lines.
 *   PREGONAL_LINESHIM_OPEN levels a pty starts with: "1" (default) both high, as Linux raises
 *                          them on open; "0" both low.
 *   PREGONAL_LINEIN        a folder where the far end's status lines of /dev/pts/N are the file N
 *                          (read at each TIOCMGET): the names of the lines that are up, among CTS,
 *                          DSR, DCD and RI, e.g. "DCD CTS". No file: all down. Write it elsewhere
 *                          and rename it into place, so that no half-written file is read.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define MAX_PTYS 4096

struct lines
{
    int known;
    int dtr;
    int rts;
};

static struct lines states[MAX_PTYS];
/* Recursive: closing the /proc listing may come back through close(). */
static pthread_mutex_t lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

/* Lets a test see that the shim is loaded. */
__attribute__((visibility("default"))) int pregonal_ptyshim_present = 1;

static int (*real_ioctl)(int, unsigned long, ...);
static int (*real_close)(int);

static void resolve(void)
{
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    if (!real_close)
        real_close = (int (*)(int))dlsym(RTLD_NEXT, "close");
}

/* The N of the /dev/pts/N a descriptor is open on (also once the pty is gone), or -1. */
static int pty_index(int fd)
{
    char link[64];
    char target[256];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return -1;
    target[n] = '\0';
    int index = -1;
    if (sscanf(target, "/dev/pts/%d", &index) != 1 || index < 0 || index >= MAX_PTYS)
        return -1;
    return index;
}

/* Whether a descriptor other than fd is open on the same pty. */
static int other_descriptor_on(int index, int fd)
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return 0;
    const int own = dirfd(dir);
    int found = 0;
    for (const struct dirent *entry = readdir(dir); entry && !found; entry = readdir(dir)) {
        char *end = NULL;
        const long other = strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end || other == fd || other == own)
            continue;
        found = pty_index((int)other) == index;
    }
    closedir(dir);
    return found;
}

static long long now_ns(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

static void log_line(const char *text)
{
    const char *path = getenv("PREGONAL_LINELOG");
    if (!path || !*path)
        return;
    const int out = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (out < 0)
        return;
    const size_t length = strlen(text);
    if (write(out, text, length) != (ssize_t)length) {
        /* Nothing to do: the test reading the log will notice. */
    }
    real_close(out);
}

/* event is "open" or NULL for a change of level. */
static void log_event(int fd, const char *event, const struct lines *state)
{
    char text[160];
    snprintf(text, sizeof text, "%lld %d %s%sDTR=%d RTS=%d\n", now_ns(), fd, event ? event : "",
             event ? " " : "", state->dtr, state->rts);
    log_line(text);
}

static void log_close(int fd, const struct lines *state, int hupcl)
{
    char text[160];
    snprintf(text, sizeof text, "%lld %d close DTR=%d RTS=%d HUPCL=%d\n", now_ns(), fd, state->dtr,
             state->rts, hupcl);
    log_line(text);
}

/* The status lines the test has put up for pty index. */
static int input_lines(int index)
{
    const char *folder = getenv("PREGONAL_LINEIN");
    if (!folder || !*folder)
        return 0;
    char path[512];
    snprintf(path, sizeof path, "%s/%d", folder, index);
    const int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return 0;
    char text[128];
    const ssize_t n = read(in, text, sizeof text - 1);
    real_close(in);
    text[n > 0 ? n : 0] = '\0';
    return (strstr(text, "CTS") ? TIOCM_CTS : 0) | (strstr(text, "DSR") ? TIOCM_DSR : 0) |
           (strstr(text, "DCD") ? TIOCM_CD : 0) | (strstr(text, "RI") ? TIOCM_RI : 0);
}

static int emulate(int fd, int index, unsigned long request, int *bits)
{
    /* A hung-up tty (master closed, device gone) fails like the real one. */
    struct termios settings;
    if (tcgetattr(fd, &settings) != 0)
        return -1;
    if (!bits) {
        errno = EFAULT;
        return -1;
    }

    pthread_mutex_lock(&lock);
    struct lines *state = &states[index];
    if (!state->known) {
        const char *start = getenv("PREGONAL_LINESHIM_OPEN");
        const int high = !(start && strcmp(start, "0") == 0);
        state->known = 1;
        state->dtr = high;
        state->rts = high;
        log_event(fd, "open", state);
    }
    const struct lines before = *state;
    switch (request) {
    case TIOCMGET:
        *bits = (state->dtr ? TIOCM_DTR : 0) | (state->rts ? TIOCM_RTS : 0) | input_lines(index);
        break;
    case TIOCMSET:
        state->dtr = (*bits & TIOCM_DTR) != 0;
        state->rts = (*bits & TIOCM_RTS) != 0;
        break;
    case TIOCMBIS:
        if (*bits & TIOCM_DTR)
            state->dtr = 1;
        if (*bits & TIOCM_RTS)
            state->rts = 1;
        break;
    case TIOCMBIC:
        if (*bits & TIOCM_DTR)
            state->dtr = 0;
        if (*bits & TIOCM_RTS)
            state->rts = 0;
        break;
    }
    if (state->dtr != before.dtr || state->rts != before.rts)
        log_event(fd, NULL, state);
    pthread_mutex_unlock(&lock);
    return 0;
}

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    resolve();

    if (request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC) {
        const int index = pty_index(fd);
        if (index >= 0)
            return emulate(fd, index, request, (int *)argument);
    }
    return real_ioctl(fd, request, argument);
}

__attribute__((visibility("default"))) int close(int fd)
{
    resolve();
    const int index = pty_index(fd);
    if (index >= 0) {
        pthread_mutex_lock(&lock);
        if (states[index].known && !other_descriptor_on(index, fd)) {
            struct termios settings;
            const int hupcl = tcgetattr(fd, &settings) == 0 ? (settings.c_cflag & HUPCL) != 0 : -1;
            log_close(fd, &states[index], hupcl);
            states[index].known = 0;
        }
        pthread_mutex_unlock(&lock);
    }
    return real_close(fd);
}

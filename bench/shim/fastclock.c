/* Benchmark-only LD_PRELOAD library: Qt's wall clock runs faster than the real one, so that a
 * schedule of one slot a minute can be run a hundred times in a few minutes.
 *
 * Only the calls made from Qt Core are changed (QDateTime, and through it the schedule and the
 * log); the sound library's own timing and every monotonic clock (QTimer, QElapsedTimer, the pty
 * shim's log) run at the real speed, so plays, pauses and the guard last what they last.
 *
 * Environment (all processes given the same values read the same fast clock):
 *   PREGONAL_FASTCLOCK  "<real start ms> <fast start ms> <speed>": at the real time <real start>
 *                       the fast clock reads <fast start>, and it then runs <speed> times as fast.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>

static int (*real_clock_gettime)(clockid_t, struct timespec *);
static int (*real_gettimeofday)(struct timeval *, void *);
static long long real_start_ms, fast_start_ms;
static double speed;
static int configured = -1;

static void setup(void)
{
    if (configured >= 0)
        return;
    real_clock_gettime = (int (*)(clockid_t, struct timespec *))dlsym(RTLD_NEXT, "clock_gettime");
    real_gettimeofday = (int (*)(struct timeval *, void *))dlsym(RTLD_NEXT, "gettimeofday");
    const char *value = getenv("PREGONAL_FASTCLOCK");
    configured = value && sscanf(value, "%lld %lld %lf", &real_start_ms, &fast_start_ms, &speed) == 3 && speed > 0;
}

static int fromQtCore(const void *caller)
{
    Dl_info info;
    return dladdr(caller, &info) && info.dli_fname && strstr(info.dli_fname, "libQt6Core");
}

/* Real ns since the epoch to fast ns since the epoch. */
static long long faster(long long ns)
{
    const long long real_start_ns = real_start_ms * 1000000LL;
    return fast_start_ms * 1000000LL + (long long)((double)(ns - real_start_ns) * speed);
}

int clock_gettime(clockid_t id, struct timespec *tp)
{
    setup();
    const int r = real_clock_gettime(id, tp);
    if (r != 0 || !configured || (id != CLOCK_REALTIME && id != CLOCK_REALTIME_COARSE) ||
        !fromQtCore(__builtin_return_address(0)))
        return r;
    const long long ns = faster(tp->tv_sec * 1000000000LL + tp->tv_nsec);
    tp->tv_sec = ns / 1000000000LL;
    tp->tv_nsec = ns % 1000000000LL;
    return 0;
}

int gettimeofday(struct timeval *tv, void *tz)
{
    setup();
    const int r = real_gettimeofday(tv, tz);
    if (r != 0 || !configured || !fromQtCore(__builtin_return_address(0)))
        return r;
    const long long ns = faster(tv->tv_sec * 1000000000LL + tv->tv_usec * 1000LL);
    tv->tv_sec = ns / 1000000000LL;
    tv->tv_usec = (ns % 1000000000LL) / 1000;
    return 0;
}

// Test-only LD_PRELOAD: stops the program (SIGABRT, with a line on standard error) when a libpulse
// context run by a threaded main loop is disconnected from another thread without the loop's
// lock while the loop still runs. libpulse forbids that: the loop thread may be dispatching the
// context's events at that moment, and the program crashes now and then on its way out. The
// shim turns that rare crash into a certain one.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>
#include <pulse/context.h>
#include <pulse/thread-mainloop.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#define KEPT 32

static pthread_mutex_t guard = PTHREAD_MUTEX_INITIALIZER;
static struct
{
    pa_threaded_mainloop *loop;
    const pa_mainloop_api *api;
    int stopped;
} loops[KEPT];
static struct
{
    pa_context *context;
    int loop; // index in loops
} contexts[KEPT];
static __thread int locksHeld;

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int loopOfApi(const pa_mainloop_api *api)
{
    for (int i = 0; i < KEPT; ++i)
        if (loops[i].api == api && api)
            return i;
    return -1;
}

static int loopOf(const pa_threaded_mainloop *loop)
{
    for (int i = 0; i < KEPT; ++i)
        if (loops[i].loop == loop && loop)
            return i;
    return -1;
}

pa_mainloop_api *pa_threaded_mainloop_get_api(pa_threaded_mainloop *m)
{
    pa_mainloop_api *api = REAL(pa_threaded_mainloop_get_api)(m);
    pthread_mutex_lock(&guard);
    int at = loopOf(m);
    for (int i = 0; at < 0 && i < KEPT; ++i)
        if (!loops[i].loop)
            at = i;
    if (at >= 0) {
        loops[at].loop = m;
        loops[at].api = api;
        loops[at].stopped = 0;
    }
    pthread_mutex_unlock(&guard);
    return api;
}

static pa_context *remember(pa_context *c, pa_mainloop_api *api)
{
    pthread_mutex_lock(&guard);
    const int loop = loopOfApi(api);
    for (int i = 0; i < KEPT; ++i) // an address used again by a context of a plain loop
        if (contexts[i].context == c)
            contexts[i].context = NULL;
    for (int i = 0; c && loop >= 0 && i < KEPT; ++i) {
        if (!contexts[i].context) {
            contexts[i].context = c;
            contexts[i].loop = loop;
            break;
        }
    }
    pthread_mutex_unlock(&guard);
    return c;
}

pa_context *pa_context_new(pa_mainloop_api *api, const char *name)
{
    return remember(REAL(pa_context_new)(api, name), api);
}

pa_context *pa_context_new_with_proplist(pa_mainloop_api *api, const char *name, const pa_proplist *list)
{
    return remember(REAL(pa_context_new_with_proplist)(api, name, list), api);
}

void pa_threaded_mainloop_lock(pa_threaded_mainloop *m)
{
    REAL(pa_threaded_mainloop_lock)(m);
    ++locksHeld;
}

void pa_threaded_mainloop_unlock(pa_threaded_mainloop *m)
{
    --locksHeld;
    REAL(pa_threaded_mainloop_unlock)(m);
}

void pa_threaded_mainloop_stop(pa_threaded_mainloop *m)
{
    REAL(pa_threaded_mainloop_stop)(m);
    pthread_mutex_lock(&guard);
    const int at = loopOf(m);
    if (at >= 0)
        loops[at].stopped = 1;
    pthread_mutex_unlock(&guard);
}

void pa_context_disconnect(pa_context *c)
{
    pa_threaded_mainloop *running = NULL;
    pthread_mutex_lock(&guard);
    for (int i = 0; i < KEPT; ++i)
        if (contexts[i].context == c && !loops[contexts[i].loop].stopped)
            running = loops[contexts[i].loop].loop;
    pthread_mutex_unlock(&guard);
    if (running && locksHeld <= 0 && !REAL(pa_threaded_mainloop_in_thread)(running)) {
        static const char text[] = "pulseguard: libpulse context disconnected unlocked while its loop runs\n";
        const ssize_t written = write(STDERR_FILENO, text, sizeof text - 1);
        (void)written;
        raise(SIGABRT);
    }
    REAL(pa_context_disconnect)(c);
}

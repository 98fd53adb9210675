#include "soundserverkind.h"

#include <QDeadlineTimer>

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <memory>

SoundServerKind soundServerKindFromName(const QString &name)
{
    if (name.contains(QLatin1String("PipeWire"), Qt::CaseInsensitive))
        return SoundServerKind::PipeWire;
    if (name.contains(QLatin1String("pulseaudio"), Qt::CaseInsensitive))
        return SoundServerKind::PulseAudio;
    return SoundServerKind::Unknown;
}

namespace {
struct Query
{
    bool done = false;
    QString name;
};

void onContextState(pa_context *context, void *data)
{
    auto *q = static_cast<Query *>(data);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        pa_operation *asked = pa_context_get_server_info(
            context,
            [](pa_context *, const pa_server_info *info, void *d) {
                auto *query = static_cast<Query *>(d);
                if (info && info->server_name)
                    query->name = QString::fromUtf8(info->server_name);
                query->done = true;
            },
            q);
        if (asked)
            pa_operation_unref(asked);
        else
            q->done = true;
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        q->done = true;
        break;
    default:
        break;
    }
}
} // namespace

SoundServerKind askSoundServerKind(int timeoutMs)
{
    const std::unique_ptr<pa_mainloop, void (*)(pa_mainloop *)> loop(pa_mainloop_new(), pa_mainloop_free);
    if (!loop)
        return SoundServerKind::Unknown;
    const std::unique_ptr<pa_context, void (*)(pa_context *)> context(
        pa_context_new(pa_mainloop_get_api(loop.get()), "Pregonal"), pa_context_unref);
    if (!context)
        return SoundServerKind::Unknown;
    Query query;
    pa_context_set_state_callback(context.get(), onContextState, &query);
    // Never start a server of our own just to ask it its name.
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return SoundServerKind::Unknown;
    const QDeadlineTimer deadline(timeoutMs);
    while (!query.done && !deadline.hasExpired()) {
        if (pa_mainloop_prepare(loop.get(), int(deadline.remainingTime()) * 1000) < 0 ||
            pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0)
            break;
    }
    pa_context_set_state_callback(context.get(), nullptr, nullptr);
    pa_context_disconnect(context.get());
    return query.done ? soundServerKindFromName(query.name) : SoundServerKind::Unknown;
}

#include "receiverstream.h"

#include "levels.h"

#include <QDeadlineTimer>

#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <cstring>

namespace {
constexpr int ConnectMs = 5000;

int readiness(pa_context_state_t state)
{
    return state == PA_CONTEXT_READY ? 1 : PA_CONTEXT_IS_GOOD(state) ? 0 : -1;
}

int readiness(pa_stream_state_t state)
{
    return state == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(state) ? 0 : -1;
}

void raise(std::atomic<double> &highest, double value)
{
    double was = highest;
    while (value > was && !highest.compare_exchange_weak(was, value)) {
    }
}
} // namespace

ReceiverStream::ReceiverStream(double thresholdDb, Sink sink) : m_detector(thresholdDb), m_sink(std::move(sink)) {}

ReceiverStream::~ReceiverStream()
{
    stop();
}

bool ReceiverStream::start(const QByteArray &source, int rate)
{
    stop();
    m_loop = pa_mainloop_new();
    m_context = m_loop ? pa_context_new(pa_mainloop_get_api(m_loop), "Pregonal") : nullptr;
    if (!m_context || pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !iterateUntilReady([this] { return readiness(pa_context_get_state(m_context)); })) {
        release();
        return false;
    }
    const pa_sample_spec sound{PA_SAMPLE_S16LE, uint32_t(rate), 1};
    m_stream = pa_stream_new(m_context, "receptor", &sound, nullptr);
    pa_buffer_attr attr;
    std::memset(&attr, 0xff, sizeof attr); // every field "as the server likes" but the fragment
    attr.fragsize = uint32_t(pa_usec_to_bytes(FragmentMs * 1000, &sound));
    // An input that goes away ends the stream rather than having the server move it elsewhere.
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (!m_stream || pa_stream_connect_record(m_stream, source.constData(), &attr, flags) < 0 ||
        !iterateUntilReady([this] { return readiness(pa_stream_get_state(m_stream)); })) {
        release();
        return false;
    }
    pa_context_set_state_callback(m_context, &ReceiverStream::onContextState, this);
    pa_stream_set_state_callback(m_stream, &ReceiverStream::onStreamState, this);
    pa_stream_set_read_callback(m_stream, &ReceiverStream::onReadable, this);
    m_block = QByteArray(qsizetype(pa_usec_to_bytes(BlockMs * 1000, &sound)), Qt::Uninitialized);
    m_filled = 0;
    m_detector.reset();
    m_afreshTaken = m_afreshAsked.load();
    m_afreshToTell = false;
    m_loudestDb = busylevel::SilenceDb;
    m_peak = 0;
    m_heardBytes = 0;
    m_rising = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void ReceiverStream::stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        pa_mainloop_wakeup(m_loop);
        m_thread.join();
    }
    release();
}

unsigned ReceiverStream::listenAfresh()
{
    const unsigned asked = ++m_afreshAsked;
    if (m_thread.joinable())
        pa_mainloop_wakeup(m_loop);
    return asked;
}

// Runs the loop here until the server and the stream are ready (1) or have failed (-1).
bool ReceiverStream::iterateUntilReady(const std::function<int()> &state)
{
    const QDeadlineTimer deadline(ConnectMs);
    for (;;) {
        if (const int ready = state())
            return ready > 0;
        if (deadline.hasExpired() || pa_mainloop_prepare(m_loop, int(deadline.remainingTime()) * 1000) < 0 ||
            pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0)
            return false;
    }
}

void ReceiverStream::run()
{
    while (!m_stop && !m_lost) {
        takeAfresh();
        if (pa_mainloop_iterate(m_loop, 1, nullptr) < 0)
            lose(Event::ServerLost);
    }
}

void ReceiverStream::takeAfresh()
{
    const unsigned asked = m_afreshAsked;
    if (asked == m_afreshTaken)
        return;
    m_afreshTaken = asked;
    takeReadable(false); // a failed stream is told at the next read
    m_filled = 0;
    m_detector.listenAfresh();
    m_rising = false;
    m_afreshToTell = true;
}

// Takes every fragment the server has handed over, heard or dropped; false when the stream failed.
bool ReceiverStream::takeReadable(bool heard)
{
    while (pa_stream_readable_size(m_stream) > 0) {
        const void *data = nullptr;
        size_t length = 0;
        if (pa_stream_peek(m_stream, &data, &length) < 0)
            return false;
        if (length == 0)
            break;
        if (heard && data) // no data: a hole, sound the server lost
            hear(static_cast<const char *>(data), length);
        pa_stream_drop(m_stream);
    }
    return true;
}

// Hears all the server has handed over, then tells what changed.
void ReceiverStream::hearReadable()
{
    takeAfresh();
    const bool before = m_detector.busy();
    if (!takeReadable(true)) {
        lose(Event::ServerLost);
        return;
    }
    if (m_detector.busy() != before)
        m_sink({Event::Busy, m_detector.busy(), m_afreshTaken});
    if (m_afreshToTell && m_detector.settled()) {
        m_afreshToTell = false;
        m_sink({Event::HeardAfresh, m_detector.busy(), m_afreshTaken});
    }
}

void ReceiverStream::hear(const char *data, size_t length)
{
    m_heardBytes += qint64(length);
    while (length > 0) {
        const size_t take = std::min(length, size_t(m_block.size() - m_filled));
        std::memcpy(m_block.data() + m_filled, data, take);
        m_filled += qsizetype(take);
        data += take;
        length -= take;
        if (m_filled < m_block.size())
            break;
        m_filled = 0;
        const auto *samples = reinterpret_cast<const qint16 *>(m_block.constData());
        const qsizetype count = m_block.size() / qsizetype(sizeof(qint16));
        const double dB = busylevel::rmsDb(samples, count);
        raise(m_loudestDb, dB);
        raise(m_peak, levels::peakOf(samples, count));
        m_detector.feed(dB, BlockMs);
        m_rising = m_detector.rising();
    }
}

void ReceiverStream::lose(Event::Kind kind)
{
    if (m_lost)
        return;
    m_lost = true;
    m_sink({kind, false, m_afreshTaken});
}

void ReceiverStream::release()
{
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop)
        pa_mainloop_free(m_loop);
    m_stream = nullptr;
    m_context = nullptr;
    m_loop = nullptr;
    m_stop = false;
    m_lost = false;
}

void ReceiverStream::onContextState(pa_context *context, void *self)
{
    if (readiness(pa_context_get_state(context)) < 0)
        static_cast<ReceiverStream *>(self)->lose(Event::ServerLost);
}

// An input gone (unplugged, unloaded) ends the stream while the server stays.
void ReceiverStream::onStreamState(pa_stream *stream, void *self)
{
    auto *me = static_cast<ReceiverStream *>(self);
    if (readiness(pa_stream_get_state(stream)) < 0)
        me->lose(readiness(pa_context_get_state(me->m_context)) > 0 ? Event::InputLost : Event::ServerLost);
}

void ReceiverStream::onReadable(pa_stream *, size_t, void *self)
{
    static_cast<ReceiverStream *>(self)->hearReadable();
}

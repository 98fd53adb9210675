#pragma once

#include "busydetector.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

struct pa_context;
struct pa_mainloop;
struct pa_stream;

// The receiver's audio, read straight from the sound server by a thread of its own that hears it
// in blocks of BlockMs and keeps a BusyDetector. The station listens for as long as it runs, so
// this is what an idle channel costs: the server hands over one fragment of FragmentMs at a time,
// the thread wakes for it alone, and whoever owns the stream hears of it only when something
// changes (through the sink, called on the stream's thread). Read through Qt Multimedia, every
// fragment also woke the event loop for a timer and a read. The station dialog's input meter
// reads its input this way too, on a connection of its own: on Qt Multimedia's one connection,
// shared with the message being played, a PipeWire server now and then handed over nothing of
// what the input recorded until the play had ended.
class ReceiverStream
{
public:
    static constexpr int BlockMs = 10;
    static constexpr int FragmentMs = 10;

    struct Event
    {
        enum Kind { Busy, HeardAfresh, ServerLost, InputLost };
        Kind kind;
        bool busy;
        // How many listenAfresh() calls the stream had taken in when it said this.
        unsigned afresh;
    };
    using Sink = std::function<void(const Event &)>;

    ReceiverStream(double thresholdDb, Sink sink);
    ~ReceiverStream();
    ReceiverStream(const ReceiverStream &) = delete;
    ReceiverStream &operator=(const ReceiverStream &) = delete;

    // Connects to the server and starts hearing its source `source`, 16-bit mono at rate Hz.
    // Returns false when the server or the source cannot be reached. Busy from here until
    // BusyDetector::SettleMs of quiet have been heard.
    bool start(const QByteArray &source, int rate);
    // Stops hearing and lets the server go; no event comes from the thread after it.
    void stop();

    // The loudest block heard since the last call, in dBFS (SilenceDb when none).
    double takeLoudestDb() { return m_loudestDb.exchange(busylevel::SilenceDb); }
    // Whether the last block heard began a sound the detector cannot yet tell from a click.
    bool rising() const { return m_rising; }
    // The highest sample heard since the last call, of full scale 1.
    double takePeak() { return m_peak.exchange(0); }
    // The bytes of sound heard since the last call.
    qint64 takeHeardBytes() { return m_heardBytes.exchange(0); }
    // What the server holds now came before this moment: it is dropped, and the detector hears
    // on from a clear channel. Returns the count that the events after it carry.
    unsigned listenAfresh();

private:
    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onReadable(pa_stream *stream, size_t length, void *self);

    bool iterateUntilReady(const std::function<int()> &state);
    void run();
    void takeAfresh();
    bool takeReadable(bool heard);
    void hearReadable();
    void hear(const char *data, size_t length);
    void lose(Event::Kind kind);
    void release();

    BusyDetector m_detector;
    Sink m_sink;
    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    QByteArray m_block; // sound not yet heard: m_filled bytes, less than a block
    qsizetype m_filled = 0;
    unsigned m_afreshTaken = 0;
    bool m_afreshToTell = false;
    bool m_lost = false;
    std::atomic<unsigned> m_afreshAsked{0};
    std::atomic<double> m_loudestDb{busylevel::SilenceDb};
    std::atomic<double> m_peak{0};
    std::atomic<qint64> m_heardBytes{0};
    std::atomic<bool> m_rising{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Nanoseconds on CLOCK_MONOTONIC, the clock the modem-line shim stamps its log with.
qint64 monotonicNs();

// True when the test sound server answers (PULSE_SERVER set and pactl info succeeds).
bool soundServerAvailable();
// Runs pactl on the test server; its output, or a null string when it failed.
QString pactl(const QStringList &args);

// Writes a WAV of a sine tone (silence when amplitude is 0) with libsndfile.
bool writeToneWav(const QString &path, int rate, int channels, qint64 frames, double amplitude = 0.5,
                  double frequency = 1000, int format = 0);

// Places captured samples on the monotonic clock from the times their data arrived, and finds
// where samples went missing. Data that arrives at t holding samples up to n was played no later
// than t: the earliest such bound among the arrivals within a second either side of a sample
// places it (late by at most the monitor's latency; taken locally, so that neither a slow drift of
// the sink's clock nor one odd arrival long before or after moves it). Arrivals that are late only
// because the reader was slow catch up again; a loss leaves every later arrival late by what was
// lost, so a stretch of arrivals (windowMs long) none of which comes within gapMs of where the
// stretch before settled is reported as a gap.
class CaptureClock
{
public:
    struct Gap
    {
        qint64 sample = 0; // about where it is (the first sample of the stretch that showed it)
        qint64 lostNs = 0; // about how much went missing
    };

    explicit CaptureClock(int rate, int windowMs = 300, int gapMs = 3);
    // Data arrived at arrivalNs; the capture now holds total samples.
    void arrived(qint64 arrivalNs, qint64 total);
    bool hasOrigin() const { return m_haveOrigin; }
    qint64 originNs() const { return m_originNs; }
    qint64 sampleNs(qint64 sample) const;
    const QList<Gap> &gaps() const { return m_gaps; }

private:
    int m_rate;
    qint64 m_windowNs, m_gapNs;
    qint64 m_originNs = 0;
    bool m_haveOrigin = false;
    qint64 m_windowStartNs = 0, m_windowSample = 0, m_windowLate = 0;
    qint64 m_level = 0; // how late the arrivals of the last stretch settled, above the bound
    QList<Gap> m_gaps;
    struct Arrival
    {
        qint64 total;
        qint64 boundNs; // when sample 0 played at the latest, by this arrival
    };
    std::vector<Arrival> m_arrivals;
};

// Captures what the test sink "tx" (or another source, see setSource) plays, through its monitor
// (parec), with each sample placed on
// the monotonic clock by a CaptureClock. A thread of its own reads parec's output as it comes, so
// a busy event loop never holds the capture back. If samples still go missing, fault() says so:
// the capture, not the play, failed.
class SoundCapture : public QObject
{
    Q_OBJECT
public:
    struct Burst
    {
        qint64 startNs = 0;
        qint64 endNs = 0; // just after the last loud sample
        double ms() const { return double(endNs - startNs) / 1e6; }
    };

    explicit SoundCapture(int rate = 48000, QObject *parent = nullptr);
    ~SoundCapture() override;

    // The source the next start() captures: "tx.monitor" unless told otherwise.
    void setSource(const QString &source) { m_source = source.toUtf8(); }
    bool start();
    void stop();
    // Stretches of sound louder than threshold (of full scale), split by silences of gapMs or more,
    // among the samples from fromSample on (a mark taken with samples() before the sound).
    QList<Burst> bursts(double threshold = 0.05, int gapMs = 60, qint64 fromSample = 0) const;
    // Where each burst began, from the first, and how long it lasted: "2 bursts: 300.0 ms at +0.0 ms, ...".
    static QString describe(const QList<Burst> &bursts);
    // How many samples it holds so far.
    qint64 samples() const;
    // The samples held from from up to to (full scale 1), and the rate they were taken at.
    QList<float> pcm(qint64 from, qint64 to) const;
    int rate() const { return m_rate; }
    // The samples held from fromSample on, as floats of full scale 1.
    std::vector<float> pcm(qint64 fromSample) const;
    // When the sink played a sample, on the monotonic clock; samples() gives the end of what is held.
    qint64 sampleNs(qint64 sample) const;
    // Runs the event loop until the capture holds what the sink played up to the monotonic time
    // untilNs; false if that takes more than timeoutMs.
    bool catchUp(qint64 untilNs, int timeoutMs = 5000);
    // Empty while the capture is whole; otherwise what went wrong with it (samples lost, parec gone).
    QString fault() const;

private:
    void readLoop(int fd);

    int m_rate;
    QByteArray m_source = "tx.monitor";
    struct Shared;
    std::unique_ptr<Shared> m_shared;
};

// In a test: when the capture is not whole it cannot judge the play, so the case ends as skipped,
// inconclusive, saying what the capture lost; it is never counted as a broken play, nor passed.
#define VERIFY_CAPTURE_WHOLE(capture)                                                                        \
    do {                                                                                                     \
        const QString captureFault_ = (capture).fault();                                                     \
        if (!captureFault_.isEmpty())                                                                        \
            QSKIP(qPrintable(QStringLiteral("inconclusive, the test's capture failed, not the play: ") +     \
                             captureFault_));                                                                \
    } while (false)

// In a test: so many bursts; when not, where each began and how long it lasted, to tell a gap in
// the sound from a click.
#define VERIFY_BURSTS(bursts, expected)                                                                      \
    QVERIFY2(int((bursts).size()) == (expected), qPrintable(SoundCapture::describe(bursts)))

// The modem-line log the shim writes (PREGONAL_LINELOG): the levels of DTR and RTS when a port
// opens, at each change and when it closes.
struct LineEvent
{
    qint64 ns = 0;
    bool dtr = false;
    bool rts = false;
    bool close = false;
    bool open = false;
    int hupcl = -1; // at close: whether the port hangs up (1) or not (0)
};
QList<LineEvent> readLineLog(const QString &path);

// Periods in which the key was up (either line high), from a line log.
struct KeyPeriod
{
    qint64 upNs = 0;
    qint64 downNs = 0;
};
QList<KeyPeriod> keyPeriods(const QList<LineEvent> &events);

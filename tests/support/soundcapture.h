#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>

// Nanoseconds on CLOCK_MONOTONIC, the clock the modem-line shim stamps its log with.
qint64 monotonicNs();

// True when the test sound server answers (PULSE_SERVER set and pactl info succeeds).
bool soundServerAvailable();

// Writes a WAV of a sine tone (silence when amplitude is 0) with libsndfile.
bool writeToneWav(const QString &path, int rate, int channels, qint64 frames, double amplitude = 0.5,
                  double frequency = 1000, int format = 0);

// Captures what the test sink "tx" plays, through its monitor, with each sample placed on the
// monotonic clock. The time of a sample is estimated from the earliest arrival of the data
// after it, so it is late by at most the monitor's own latency.
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

    bool start();
    void stop();
    // Stretches of sound louder than threshold (of full scale), split by silences of gapMs or more,
    // among the samples from fromSample on (a mark taken with samples() before the sound).
    QList<Burst> bursts(double threshold = 0.05, int gapMs = 60, qint64 fromSample = 0) const;
    // How many samples it holds so far.
    qint64 samples() const { return m_data.size() / 2; }
    // When the sink played a sample, on the monotonic clock; samples() gives the end of what is held.
    qint64 sampleNs(qint64 sample) const { return m_originNs + sample * 1000000000LL / m_rate; }
    // Runs the event loop until the capture holds what the sink played up to the monotonic time
    // untilNs; false if that takes more than timeoutMs.
    bool catchUp(qint64 untilNs, int timeoutMs = 5000);

private:
    void readMore();

    int m_rate;
    QProcess m_parec;
    QByteArray m_data;
    qint64 m_originNs = 0; // monotonic time of sample 0
    bool m_haveOrigin = false;
};

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

#pragma once

#include "audioowners.h"
#include "soundserverkind.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

class WavAudioStream;
struct sf_private_tag;

// One play of an open sound file on a sound output: the stream that decodes it, the
// sink that sounds it, the silence before it (the lead, shortened by the output's start-up
// delay), and the wait until its last sample and the tail after it have really been heard.
// finished() comes then, the play over. failed() comes when the output stops taking sound or
// reports an error, or the file runs out before its end (cut while it played), with the reason
// when it is known; the play holds its place until the receiver calls stop(), which also ends a
// play quietly at any time.
class WavPlayer : public QObject
{
    Q_OBJECT
public:
    // What is played: an open file, borrowed for the length of the play, and its shape.
    struct Source
    {
        sf_private_tag *file = nullptr;
        qint64 frames = 0;
        int rate = 0;
        int channels = 0;
        bool isFloat = false; // floating-point samples on disk
        float gain = 1.0f;    // on every sample
    };

    explicit WavPlayer(QObject *parent = nullptr);
    ~WavPlayer() override;

    // Silence before the first sample, and wait after the last one, in ms; a running play heeds
    // them too.
    void setLeadTime(int ms) { m_leadMs = ms; }
    void setTailTime(int ms) { m_tailMs = ms; }

    // The format to play a file of this shape in on output, floating point when it has more than
    // 16 bits a sample; invalid when output is null.
    static QAudioFormat outputFormat(const QAudioDevice &output, int rate, int channels, bool floatOut);
    // Plays source from file frame `from` on output in format fmt. Throws DeviceError when the
    // output does not start; nothing runs then.
    void start(const Source &source, qint64 from, const QAudioDevice &output, const QAudioFormat &fmt);
    // A play with nothing left to sound: finished() after the lead and the tail alone.
    void startSilent();
    void stop();

    // The file frame heard so far; otherwise when no file is sounding.
    qint64 heardFrame(qint64 otherwise) const;
    // The most bytes the running (or last) play held in its own read-ahead buffers.
    qint64 readAheadBytes() const;

signals:
    void finished();
    void failed(const QString &reason);

private:
    void onTick();
    void onSinkState();
    void letGo();
    void fail(const QString &reason = QString());

    int m_leadMs = 0;
    int m_tailMs = 0;
    Source m_source;
    qint64 m_startFrame = 0;
    int m_outRate = 0;
    // Who sounds the plays, asked at the first play and again after one failed.
    std::optional<SoundServerKind> m_server;
    qint64 m_drainMarginUs = 0; // the running play's, from its server
    bool m_leadTrimmed = false;
    bool m_fed = false; // all audio handed to the sink
    bool m_drained = false;
    quint64 m_serial = 0; // which play a queued "all handed over" belongs to
    QElapsedTimer m_playClock;
    QElapsedTimer m_progressClock;
    qint64 m_lastProcessed = -1;
    qint64 m_peakReadAhead = 0;
    QTimer m_tick;
    QTimer m_tailTimer;                  // a play with nothing to sound: lead plus tail
    AudioOwner<WavAudioStream> m_stream; // declared before the sink, so let go after it
    SinkOwner m_sink;
};

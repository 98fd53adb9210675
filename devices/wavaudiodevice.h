#pragma once

#include "audiodevice.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>

class QAudioSink;
class QAudioSource;
class QIODevice;
class ReplacementFile;
class WavAudioStream;
struct sf_private_tag;

// The real wave audio device: WAV files through libsndfile, sound through Qt Multimedia.
// A play streams from the file; Done(Successful) comes once the last sample has really been
// heard (the sink drained), not when it was handed over.
class WavAudioDevice : public AudioDevice
{
    Q_OBJECT
public:
    explicit WavAudioDevice(QObject *parent = nullptr);
    ~WavAudioDevice() override;

    void setDeviceType(const QString &type) override;
    QString deviceType() const override;
    void setFileName(const QString &path) override;
    QString fileName() const override;
    void setNotify(bool armed) override;
    void setCommand(const QString &command) override;
    void checkPlayable() const override;
    void openForRecording() override;
    qint32 length() const override;
    qint32 position() const override;

    // Silence before the first sample of a play, and wait after its last one before Done, in ms.
    void setLeadTime(int ms) override;
    void setTailTime(int ms) override;

    // For tests: the most bytes the running (or last) play held in its own read-ahead buffers.
    qint64 readAheadBytes() const;

private:
    enum class Activity { Idle, Playing, Recording };

    void open(bool armed);
    void play(bool armed);
    void prev(bool armed);
    void close(bool armed);
    void record(bool armed);
    void stop(bool armed);
    void save(bool armed);

    void openFile(const QString &path);
    void closeFile();
    void stopPlay();
    void stopRecording();
    void finishPlay();
    void failPlay();
    void onTick();
    void onSinkState();
    void readInput();
    QAudioFormat outputFormat() const;
    void seekFile(qint64 frame);
    qint64 heardFrame() const;
    qint32 msFor(qint64 frames) const;
    void notifyLater(int code);
    void flushNotifications();
    // Any running play or recording ends; an armed or pending notification reports Aborted.
    bool interrupt(bool armed);

    QString m_deviceType;
    QString m_fileName;
    bool m_notifyArmed = false;
    int m_leadMs = 0;
    int m_tailMs = 0;

    // The open file.
    bool m_open = false;
    sf_private_tag *m_file = nullptr;
    QString m_openPath;
    qint64 m_frames = 0;
    int m_rate = 0;
    int m_channels = 0;
    bool m_isFloat = false;  // floating-point samples on disk
    bool m_floatOut = false; // more than 16 bits: play as float
    qint64 m_frame = 0;      // where the next play starts

    Activity m_activity = Activity::Idle;
    bool m_pending = false; // a Done owed to the running play or recording

    // Play.
    QAudioSink *m_sink = nullptr;
    WavAudioStream *m_stream = nullptr;
    qint64 m_startFrame = 0;
    int m_outRate = 0;
    bool m_leadTrimmed = false;
    bool m_fed = false; // all audio handed to the sink
    bool m_drained = false;
    QElapsedTimer m_playClock;
    QElapsedTimer m_progressClock;
    qint64 m_lastProcessed = -1;
    qint64 m_peakReadAhead = 0;
    QTimer m_tick;
    QTimer m_tailTimer; // a play with nothing to sound: lead plus tail

    // Recording.
    QAudioSource *m_source = nullptr;
    QIODevice *m_input = nullptr;
    std::unique_ptr<ReplacementFile> m_temp; // the recording, beside its target
    sf_private_tag *m_writer = nullptr;
    QByteArray m_carry;
    qint64 m_recorded = 0;
    int m_recordRate = 0;
    bool m_unsaved = false;

    QTimer m_status;
    QList<int> m_outbox;
    bool m_flushQueued = false;
};

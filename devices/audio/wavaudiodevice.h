#pragma once

#include "audiodevice.h"

#include "loudnesscache.h"
#include "loudnessmeter.h"
#include "playlevel.h"
#include "soundfile.h"
#include "wavplayer.h"
#include "wavrecorder.h"

#include <QElapsedTimer>
#include <QList>
#include <QTimer>

#include <algorithm>

// The real wave audio device: WAV files through libsndfile, sound through Qt Multimedia.
// A play streams from the file; Done(Successful) comes once the last sample has really been
// heard (the sink drained), not when it was handed over. This class carries out the commands
// on the open file and sends the notifications; the player and the recorder do the sound.
class WavAudioDevice : public AudioDevice
{
    Q_OBJECT
public:
    explicit WavAudioDevice(QObject *parent = nullptr);
    ~WavAudioDevice() override;

    void setDeviceType(const QString &type) override { m_deviceType = type; }
    QString deviceType() const override { return m_deviceType; }
    // A message is measured as soon as it is named, so that its play need not wait for it.
    void setFileName(const QString &path) override
    {
        m_fileName = path;
        m_level.prepare(path);
    }
    QString fileName() const override { return m_fileName; }
    void setNotify(bool armed) override { m_notifyArmed = armed; }
    void setCommand(const QString &command) override;
    void checkPlayable() const override;
    void openForRecording() override;
    qint32 length() const override;
    qint32 position() const override;
    QString failureReason() const override { return m_failureReason; }

    // Silence before the first sample of a play, and wait after its last one before Done, in ms.
    void setLeadTime(int ms) override { m_player.setLeadTime(std::max(0, ms)); }
    void setTailTime(int ms) override { m_player.setTailTime(std::max(0, ms)); }
    void setOutputCard(const SoundCardChoice &card) override { m_outputCard = card; }
    void setInputCard(const SoundCardChoice &card) override { m_inputCard = card; }
    const SoundCardChoice &inputChoice() const { return m_inputCard; }
    void setLevel(const LevelSettings &level) override { m_level.setSettings(level); }
    void prepareLevel(const QString &path) override { m_level.prepare(path); }
    QString levelNote() const override { return m_level.note(); }
    Loudness takeLoudness() const override
    {
        return m_recorder.hasTake() ? LoudnessMeter::measureFile(m_recorder.takeFileName()) : Loudness();
    }

    // For tests: where the messages' loudness is measured and kept.
    void setLoudnessCache(LoudnessCache &cache) { m_level.setCache(cache); }
    // For tests: the most bytes the running (or last) play held in its own read-ahead buffers.
    qint64 readAheadBytes() const { return m_player.readAheadBytes(); }

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
    void openEmpty(const QString &path);
    void closeFile();
    void startSound(const QAudioDevice &output, const QAudioFormat &fmt, bool measured);
    void resumePlay();
    QString levelPath() const;
    void stopPlay();
    void stopRecording();
    void finishPlay();
    void failPlay(const QString &reason);
    void failRecording();
    qint64 heardFrame() const;
    QAudioDevice outputCard() const; // throws DeviceError when there is none to play on
    qint32 msFor(qint64 frames) const;
    void notifyLater(int code);
    void notifyPending(int code); // the Done owed to the running play or recording, if any
    void requireOpen() const;
    void flushNotifications();
    // Any running play or recording ends; an armed or pending notification reports Aborted.
    bool interrupt(bool armed);

    QString m_deviceType;
    QString m_fileName;
    bool m_notifyArmed = false;
    SoundCardChoice m_outputCard;
    SoundCardChoice m_inputCard;
    PlayLevel m_level{LoudnessCache::shared()};

    // The open file.
    bool m_open = false;
    SoundFile m_file;
    QString m_openPath;
    qint64 m_frames = 0;
    int m_rate = 0;
    int m_channels = 0;
    bool m_isFloat = false;  // floating-point samples on disk
    bool m_floatOut = false; // more than 16 bits: play as float
    qint64 m_frame = 0;      // where the next play starts

    Activity m_activity = Activity::Idle;
    bool m_pending = false; // a Done owed to the running play or recording
    QString m_failureReason;

    QTimer m_status;
    static constexpr int LevelPollMs = 10;
    static constexpr int LevelWaitMaxMs = 1500;
    QTimer m_levelWait; // a play waiting for its message's measure
    QElapsedTimer m_levelWaitClock;
    QList<int> m_outbox;
    bool m_flushQueued = false;

    // Last, so that they end first, while the rest of the device is whole.
    WavPlayer m_player;
    WavRecorder m_recorder;
};

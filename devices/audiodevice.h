#pragma once

#include "levelgain.h"
#include "levelsettings.h"
#include "soundcardchoice.h"

#include <QObject>
#include <QString>

// The wave audio device that plays and records the message. Driven by properties and
// commands; its events always arrive later through the event loop, never from inside a write.
class AudioDevice : public QObject
{
    Q_OBJECT
public:
    enum NotifyCode : int { Successful = 1, Superseded = 2, Aborted = 4, Failure = 8 };

    using QObject::QObject;
    ~AudioDevice() override = default;

    virtual void setDeviceType(const QString &type) = 0;
    virtual QString deviceType() const = 0;
    virtual void setFileName(const QString &path) = 0;
    virtual QString fileName() const = 0;
    // Arms one Done for the next command only.
    virtual void setNotify(bool armed) = 0;
    // "open", "play", "prev", "close", "record", "stop", "save", in any case. Returns at once;
    // a play or recording runs on. Throws DeviceError when the command cannot be carried out.
    virtual void setCommand(const QString &command) = 0;
    // Throws DeviceError, with the cause, when a play of the open file could not be heard: the
    // file is not there, holds no sound, or there is no sound output. Changes nothing.
    virtual void checkPlayable() const = 0;
    // "open" to record: the device opens empty on FileName, whatever the path holds now (nothing,
    // a sound file, anything else), which is not read; "save" replaces it. Throws DeviceError.
    virtual void openForRecording() = 0;
    // Length of the open file and the place heard so far, both in milliseconds.
    virtual qint32 length() const = 0;
    virtual qint32 position() const = 0;
    // Why the last play or recording that reported Failure failed, in Spanish; empty when the
    // device cannot tell (the sound output is then the likely cause).
    virtual QString failureReason() const { return QString(); }
    // Silence between "play" and the first sample, and wait between the last sample heard and
    // Done, in milliseconds: the transmitter needs time to come up and to finish.
    virtual void setLeadTime(int ms) = 0;
    virtual void setTailTime(int ms) = 0;
    // The card messages are played on and the one recorded from, looked up afresh at each play
    // and recording; the default choice follows the desktop's default. A chosen card that is not
    // there makes checkPlayable, "play" and "record" throw DeviceError naming it.
    virtual void setOutputCard(const SoundCardChoice &card) = 0;
    virtual void setInputCard(const SoundCardChoice &card) = 0;
    // The level on the air from the next play on, and what the last play measured and applied
    // (empty when the level was off). A device that cannot scale its plays ignores it.
    virtual void setLevel(const LevelSettings &) {}
    virtual QString levelNote() const { return QString(); }
    // A message about to be played (scheduled, say): measured ahead, in a worker thread, when the
    // level is on or once it is turned on.
    virtual void prepareLevel(const QString &) {}
    // The loudness of a recording stopped and not saved yet; not measured when there is none.
    virtual Loudness takeLoudness() const { return Loudness(); }

signals:
    void Done(int notifyCode);
    void StatusUpdate();
};

#pragma once

#include "audiodevice.h"
#include "busysource.h"
#include "identsettings.h"
#include "soundcardchoice.h"

#include <QList>
#include <QObject>

#include <memory>

// Listens to a sound input and tells its peak level a few times a second, so that the operator
// can set the input's level before recording.
class InputLevelMeter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~InputLevelMeter() override = default;

    // Listens to card (the default choice: the desktop's default input), leaving any earlier one.
    // Throws DeviceError with the reason when it cannot; nothing is listened to then.
    virtual void start(const SoundCardChoice &card) = 0;
    virtual void stop() = 0;

signals:
    // The highest sample heard since the last report, from 0 (silence) to 1 (full scale).
    void peak(double level);
    // The input listened to went away (reason in Spanish): no peak comes until resumed(), when
    // the same choice can be listened to again.
    void lost(const QString &reason);
    void resumed();
};

// The sound server as the station dialog sees it: the cards it has now, a meter on an input,
// and a player of its own for the test transmission.
class SoundServer
{
public:
    virtual ~SoundServer() = default;

    // Read afresh at each call: cards come and go.
    virtual QList<SoundCardEntry> outputs() const = 0;
    virtual QList<SoundCardEntry> inputs() const = 0;
    virtual std::unique_ptr<InputLevelMeter> makeLevelMeter() = 0;
    // An audio device like the one that plays messages, for the test tone.
    virtual std::unique_ptr<AudioDevice> makePlayer() = 0;
    // Writes the station's identification with values alone as a WAV file at path. Throws
    // DeviceError with the reason.
    virtual void writeIdentification(const QString &path, const IdentSettings &values) = 0;
    // A busy source on the receiver's audio heard on card, busy above thresholdDb dBFS; null where
    // this server cannot listen for it.
    virtual std::unique_ptr<BusySource> makeReceiverListener(const SoundCardChoice &card, int thresholdDb)
    {
        Q_UNUSED(card);
        Q_UNUSED(thresholdDb);
        return nullptr;
    }
    // Writes the test tone (see testtone.h) peaking at amplitude (full scale: 1) as a WAV file at
    // path. Throws DeviceError.
    virtual void writeTestTone(const QString &path, double amplitude) = 0;
};

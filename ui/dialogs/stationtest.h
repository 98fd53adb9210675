#pragma once

#include "identsettings.h"
#include "keyermaker.h"
#include "keyingsettings.h"
#include "levelsettings.h"
#include "soundcardchoice.h"

#include <QObject>

#include <memory>

class AudioDevice;
class MessageBoxes;
class QTemporaryDir;
class SerialLine;
class SoundServer;
class TransmissionEngine;

// The station dialog's "Probar": the test tone sent through the same cycle as a message (port,
// key, lead, tone, tail, unkey, with the guard and the undo of any failure), on values that are
// not stored yet. Failures are told through boxes.
class StationTest : public QObject
{
    Q_OBJECT
public:
    // makeKeyer builds the keyer of the other methods (empty: the serial line and VOX only).
    StationTest(SoundServer &sound, SerialLine &line, MessageBoxes &boxes, KeyerMaker makeKeyer,
                QObject *parent = nullptr);
    // A test still running is stopped unkeyed first.
    ~StationTest() override;

    bool running() const;
    // Starts a test with keying on card: the test tone, at level's ceiling when the level is on,
    // or the identification with those values when given. A refusal is told and ended() follows
    // at once.
    void start(const KeyingSettings &keying, const SoundCardChoice &card, const LevelSettings &level = {},
               const IdentSettings *identification = nullptr);
    // What the running or last test sends, as the log names it.
    QString description() const { return m_description; }
    void stop();

signals:
    // About to key on engine (the same engine for every test).
    void starting(TransmissionEngine &engine);
    // Keyed, waiting or playing.
    void changed();
    // Ended (whole, stopped, failed or refused) and the line is released.
    void ended();

private:
    bool prepareSound(const IdentSettings *identification, double amplitude);
    void prepareEngine();

    SoundServer &m_sound;
    SerialLine &m_line;
    MessageBoxes &m_boxes;
    KeyerMaker m_makeKeyer;
    std::unique_ptr<Keyer> m_keyer;
    std::unique_ptr<QTemporaryDir> m_toneDir;
    double m_toneAmplitude = 0; // of the tone written there
    std::unique_ptr<AudioDevice> m_player;
    std::unique_ptr<TransmissionEngine> m_engine;
    QString m_description;
};

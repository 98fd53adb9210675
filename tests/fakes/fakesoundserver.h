#pragma once

#include "fakeaudiodevice.h"
#include "soundserver.h"

#include <QPointer>

// A level meter the test feeds by hand; starting on a card named in refuse throws.
class FakeLevelMeter : public InputLevelMeter
{
    Q_OBJECT
public:
    void start(const SoundCardChoice &card) override;
    void stop() override { listening = false; }
    void feed(double level) { emit peak(level); }
    void lose(const QString &reason) { emit lost(reason); }
    void resume() { emit resumed(); }

    bool listening = false;
    SoundCardChoice card;
    QStringList refuse;
};

// Cards set by the test; the players it makes log into the shared log, the tone is a small file.
class FakeSoundServer : public SoundServer
{
public:
    explicit FakeSoundServer(std::shared_ptr<QStringList> log) : m_log(std::move(log)) {}

    QList<SoundCardEntry> outputs() const override { return outputCards; }
    QList<SoundCardEntry> inputs() const override { return inputCards; }
    std::unique_ptr<InputLevelMeter> makeLevelMeter() override;
    std::unique_ptr<AudioDevice> makePlayer() override;
    // Remembers the values; refuses as the real one does without a callsign or voice file.
    void writeIdentification(const QString &path, const IdentSettings &values) override;
    void writeTestTone(const QString &path, double amplitude) override;
    QList<double> toneAmplitudes; // of each tone written

    QList<SoundCardEntry> outputCards;
    QList<SoundCardEntry> inputCards;
    QPointer<FakeLevelMeter> meter;   // the last one made
    QPointer<FakeAudioDevice> player; // the last one made
    QStringList refuseInputs;         // given to each meter made
    bool failTone = false;
    QList<IdentSettings> identifications; // each written

private:
    std::shared_ptr<QStringList> m_log;
};

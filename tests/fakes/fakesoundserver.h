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

// The receiver's audio as the test plays it: open() fails on a card named in refuse.
class FakeReceiver : public BusySource
{
    Q_OBJECT
public:
    void open() override;
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    bool busy() const override { return opened && heard; }
    double levelDb() const override { return level; }
    QString description() const override { return card.shownName(); }
    void hear(bool busy, double dB)
    {
        heard = busy;
        level = dB;
        emit busyChanged(busy);
        emit levelChanged(dB);
    }

    SoundCardChoice card;
    int thresholdDb = 0;
    QStringList refuse;
    bool opened = false;
    bool heard = false;
    double level = -90;
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
    std::unique_ptr<BusySource> makeReceiverListener(const SoundCardChoice &card, int thresholdDb) override;
    // Remembers the values; refuses as the real one does without a callsign or voice file.
    void writeIdentification(const QString &path, const IdentSettings &values) override;
    void writeTestTone(const QString &path, double amplitude) override;
    QList<double> toneAmplitudes; // of each tone written

    QList<SoundCardEntry> outputCards;
    QList<SoundCardEntry> inputCards;
    QPointer<FakeLevelMeter> meter;   // the last one made
    QPointer<FakeAudioDevice> player; // the last one made
    QPointer<FakeReceiver> receiver;  // the last one made
    QStringList refuseInputs;         // given to each meter made
    bool failTone = false;
    QList<IdentSettings> identifications; // each written

private:
    std::shared_ptr<QStringList> m_log;
};

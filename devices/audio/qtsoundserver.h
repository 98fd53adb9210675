#pragma once

#include "soundserver.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QTimer>

#include <atomic>
#include <memory>

class ReceiverStream;

// The input meter: reads the input chosen among Qt Multimedia's as recording would (16-bit mono),
// straight from the server (a ReceiverStream), and reports the peak of what came in every
// ReportMs. An input that ends is told at the next report; whether it is still listed is checked
// when the server's list of inputs changes and every CheckMs; a lost one is opened again once it
// is back.
class QtLevelMeter : public InputLevelMeter
{
    Q_OBJECT
public:
    static constexpr int ReportMs = 100;
    static constexpr int CheckMs = 1000;

    explicit QtLevelMeter(QObject *parent = nullptr);
    ~QtLevelMeter() override;

    void start(const SoundCardChoice &card) override;
    void stop() override;

private:
    void listen();
    void release();
    bool inputPresent() const;
    void checkInput();
    void report();

    SoundCardChoice m_card;
    QByteArray m_deviceId;
    QString m_deviceName;
    std::unique_ptr<ReceiverStream> m_stream;
    std::atomic<bool> m_ended{false}; // the stream's thread says its input ended; cleared on release
    QMediaDevices m_devices;
    QTimer m_report;
    int m_reports = 0;
    bool m_lost = false;
};

// Ends the process with status once the application and everything of ours are gone, without
// tearing down Qt Multimedia's objects of static life: its PulseAudio engine drops its server
// connection at exit without holding its own loop's lock, while that loop's thread may be handling
// an event (a card or stream change elsewhere, an input going idle), and that crashed a finished
// run now and then. What was written is flushed first.
[[noreturn]] void endLeavingSoundEngine(int status);

// The sound server as Qt Multimedia reaches it.
class QtSoundServer : public SoundServer
{
public:
    QList<SoundCardEntry> outputs() const override;
    QList<SoundCardEntry> inputs() const override;
    std::unique_ptr<InputLevelMeter> makeLevelMeter() override;
    std::unique_ptr<AudioDevice> makePlayer() override;
    std::unique_ptr<BusySource> makeReceiverListener(const SoundCardChoice &card, int thresholdDb) override;
    void writeTestTone(const QString &path, double amplitude) override;
    void writeIdentification(const QString &path, const IdentSettings &values) override;
};

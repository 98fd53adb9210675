#pragma once

#include "soundserver.h"

#include <QTimer>

#include <memory>

class QAudioSource;
class QIODevice;

// The input meter on Qt Multimedia: reads the input as recording would (16-bit mono) and reports
// the peak of what came in every ReportMs.
class QtLevelMeter : public InputLevelMeter
{
    Q_OBJECT
public:
    static constexpr int ReportMs = 100;

    explicit QtLevelMeter(QObject *parent = nullptr);
    ~QtLevelMeter() override;

    void start(const SoundCardChoice &card) override;
    void stop() override;

private:
    void readInput();
    void report();

    std::unique_ptr<QAudioSource> m_source;
    QIODevice *m_input = nullptr;
    QTimer m_report;
    double m_peak = 0;
};

// The sound server as Qt Multimedia reaches it.
class QtSoundServer : public SoundServer
{
public:
    QList<SoundCardEntry> outputs() const override;
    QList<SoundCardEntry> inputs() const override;
    std::unique_ptr<InputLevelMeter> makeLevelMeter() override;
    std::unique_ptr<AudioDevice> makePlayer() override;
    void writeTestTone(const QString &path) override;
};

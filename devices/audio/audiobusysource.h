#pragma once

#include "busysource.h"
#include "receiverstream.h"
#include "soundcardchoice.h"

#include <QByteArray>
#include <QMediaDevices>
#include <QTimer>

#include <memory>

// The receiver's audio on a sound input, heard in blocks of BlockMs (their RMS level) by a
// BusyDetector on the stream's own thread. Busy from open until SettleMs of quiet have been
// heard. The input counts as lost when the server ends its stream (the input gone) or fails, and
// when no sound has come for StallMs: an input that gives nothing is never taken for a clear
// channel.
class AudioBusySource : public BusySource
{
    Q_OBJECT
public:
    static constexpr int BlockMs = ReceiverStream::BlockMs;
    static constexpr int ReportMs = 200;
    static constexpr int StallMs = 3000;

    AudioBusySource(const SoundCardChoice &card, int thresholdDb, QObject *parent = nullptr);
    ~AudioBusySource() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_stream != nullptr; }
    bool busy() const override { return isOpen() && m_busy; }
    bool soundStarting() const override { return isOpen() && !m_busy && m_stream->rising(); }
    double levelDb() const override;
    void listenAfresh() override;
    QString description() const override;

private:
    void take(unsigned opened, const ReceiverStream::Event &event);
    void check();
    void loseInput(const QString &reason);

    SoundCardChoice m_card;
    double m_thresholdDb;
    std::unique_ptr<ReceiverStream> m_stream;
    unsigned m_opened = 0; // which open the stream's events belong to
    unsigned m_afresh = 0; // the stream's events from before the last listenAfresh() are stale
    bool m_busy = true;
    QByteArray m_deviceId;
    QString m_deviceName;
    QMediaDevices m_devices;
    QTimer m_check;
    double m_reportedDb = busylevel::SilenceDb;
    int m_silentMs = 0;
};

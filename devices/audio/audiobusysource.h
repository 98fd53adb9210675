#pragma once

#include "audioowners.h"
#include "busydetector.h"
#include "busysource.h"
#include "soundcardchoice.h"

#include <QByteArray>
#include <QMediaDevices>
#include <QTimer>

// The receiver's audio on a sound input, heard in blocks of BlockMs (their RMS level) by a
// BusyDetector. Busy from open until SettleMs of quiet have been heard. The input counts as lost
// when the server no longer lists it (looked at every ListCheckMs), when it fails, or when no
// sound has come for StallMs: an input that gives nothing is never taken for a clear channel.
class AudioBusySource : public BusySource
{
    Q_OBJECT
public:
    static constexpr int BlockMs = 10;
    static constexpr int BufferMs = 25;
    // The most taken in one read: far more than the server holds between two reads.
    static constexpr int ReadMs = 200;
    static constexpr int ReportMs = 200;
    static constexpr int StallMs = 3000;
    static constexpr int ListCheckMs = 1000;

    AudioBusySource(const SoundCardChoice &card, int thresholdDb, QObject *parent = nullptr);
    ~AudioBusySource() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_input != nullptr; }
    bool busy() const override { return isOpen() && m_detector.busy(); }
    double levelDb() const override;
    void listenAfresh() override;
    QString description() const override;

private:
    void readInput();
    void check();
    void loseInput(const QString &reason);
    bool inputListed() const;

    SoundCardChoice m_card;
    BusyDetector m_detector;
    SourceOwner m_source;
    QIODevice *m_input = nullptr; // owned by the source
    QByteArray m_pending; // sound read and not yet heard: m_filled bytes, less than a block after a read
    qsizetype m_filled = 0;
    qsizetype m_blockBytes = 0;
    QByteArray m_deviceId;
    QString m_deviceName;
    QMediaDevices m_devices;
    QTimer m_check;
    double m_loudestDb = busylevel::SilenceDb; // since the last report
    double m_reportedDb = busylevel::SilenceDb;
    qint64 m_heardSinceCheck = 0;
    int m_silentMs = 0;
    int m_checks = 0;
    bool m_afresh = false; // listening afresh, its first reading not yet told
};

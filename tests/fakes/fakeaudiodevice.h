#pragma once

#include "audiodevice.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <memory>

// Records every call into a log shared with the other fakes, so tests can assert call order.
// Commands named in failOn throw DeviceError instead of taking effect.
class FakeAudioDevice : public AudioDevice
{
    Q_OBJECT
public:
    explicit FakeAudioDevice(std::shared_ptr<QStringList> log, QObject *parent = nullptr);

    void setDeviceType(const QString &type) override;
    QString deviceType() const override { return m_deviceType; }
    void setFileName(const QString &path) override;
    QString fileName() const override { return m_fileName; }
    void setNotify(bool armed) override;
    void setCommand(const QString &command) override;
    void checkPlayable() const override;
    // Logged as the "open" it is, and remembered in openedForRecording.
    void openForRecording() override;
    qint32 length() const override;
    qint32 position() const override { return m_position; }
    void setLeadTime(int ms) override { leadMs = ms; }
    void setTailTime(int ms) override { tailMs = ms; }
    void setOutputCard(const SoundCardChoice &card) override { outputCard = card; }
    void setInputCard(const SoundCardChoice &card) override { inputCard = card; }
    void setLevel(const LevelSettings &settings) override { level = settings; }
    QString levelNote() const override { return levelNoteText; }
    void prepareLevel(const QString &path) override { prepared << path; }
    Loudness takeLoudness() const override { return take; }

    // Ends the running play as the real device would: Done(code) if a notification was armed.
    void finishPlay(int code = Successful);
    QString failureReason() const override { return failure; }

    std::shared_ptr<QStringList> log;
    QSet<QString> failOn;
    QString failure; // the reason a Failure gives
    LevelSettings level;
    QString levelNoteText; // what the last play measured and applied
    Loudness take;         // of a recording stopped
    QStringList prepared;  // the messages to measure ahead, in order
    qint32 fakeLength = 5000;
    QHash<QString, qint32> lengths; // of the files named, fakeLength for the others
    QString openedName;             // FileName at the last open
    qint32 m_position = 0;
    bool isOpen = false;
    bool openedForRecording = false; // the last open was the recording one
    bool playing = false;
    bool recording = false;
    bool notifyArmed = false;
    int leadMs = -1;
    int tailMs = -1;
    SoundCardChoice outputCard{QStringLiteral("(sin fijar)"), {}}; // what the program last set
    SoundCardChoice inputCard{QStringLiteral("(sin fijar)"), {}};

private:
    QString m_deviceType;
    QString m_fileName;
};

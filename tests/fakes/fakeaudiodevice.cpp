#include "fakeaudiodevice.h"

#include "deviceerror.h"

#include <QTimer>

FakeAudioDevice::FakeAudioDevice(std::shared_ptr<QStringList> sharedLog, QObject *parent)
    : AudioDevice(parent), log(std::move(sharedLog))
{
}

void FakeAudioDevice::setDeviceType(const QString &type)
{
    m_deviceType = type;
}

void FakeAudioDevice::setFileName(const QString &path)
{
    m_fileName = path;
    log->append(QStringLiteral("FileName=") + path);
}

void FakeAudioDevice::setNotify(bool armed)
{
    if (failOn.contains(QStringLiteral("notify")))
        throw DeviceError(QStringLiteral("notify falla"));
    notifyArmed = armed;
    log->append(QStringLiteral("Notify=%1").arg(armed ? 1 : 0));
}

void FakeAudioDevice::setCommand(const QString &command)
{
    const QString c = command.toLower();
    if (failOn.contains(c))
        throw DeviceError(c + QStringLiteral(" falla"));
    log->append(c);
    const bool armed = notifyArmed;
    notifyArmed = false;
    if (c == QLatin1String("open")) {
        isOpen = true;
        openedName = m_fileName;
        openedForRecording = false;
        m_position = 0;
    } else if (c == QLatin1String("play")) {
        playing = true;
        notifyArmed = armed; // reported when the play ends
    } else if (c == QLatin1String("prev")) {
        m_position = 0;
    } else if (c == QLatin1String("close")) {
        const bool wasPlaying = playing;
        isOpen = playing = recording = false;
        if (wasPlaying && armed)
            QTimer::singleShot(0, this, [this] { emit Done(Aborted); });
    } else if (c == QLatin1String("record")) {
        recording = true;
    } else if (c == QLatin1String("stop")) {
        recording = playing = false;
    }
}

void FakeAudioDevice::checkPlayable() const
{
    // Not logged: the check changes nothing, so the call sequences stay those of the commands.
    if (failOn.contains(QStringLiteral("checkplayable")))
        throw DeviceError(QStringLiteral("no hay sonido"));
}

void FakeAudioDevice::openForRecording()
{
    setCommand(QStringLiteral("open"));
    openedForRecording = true;
}

qint32 FakeAudioDevice::length() const
{
    if (failOn.contains(QStringLiteral("length")))
        throw DeviceError(QStringLiteral("length falla"));
    return lengths.value(openedName, fakeLength);
}

void FakeAudioDevice::finishPlay(int code)
{
    playing = false;
    m_position = fakeLength;
    const bool armed = notifyArmed;
    notifyArmed = false;
    if (armed)
        emit Done(code);
}

#include "soundcards.h"

#include "deviceerror.h"

#include <QMediaDevices>

#include <algorithm>

namespace {
QAudioDevice find(const QList<QAudioDevice> &devices, const SoundCardChoice &wanted)
{
    QList<SoundCardEntry> cards;
    cards.reserve(devices.size());
    for (const QAudioDevice &d : devices)
        cards.append({QString::fromUtf8(d.id()), d.description()});
    const int at = chooseSoundCard(cards, wanted);
    if (at < 0)
        throw DeviceError(missingSoundCardText(wanted));
    return devices.at(at);
}
} // namespace

QAudioDevice findOutputCard(const SoundCardChoice &wanted)
{
    if (wanted.isDefault())
        return QMediaDevices::defaultAudioOutput();
    return find(QMediaDevices::audioOutputs(), wanted);
}

QAudioDevice findInputCard(const SoundCardChoice &wanted)
{
    if (wanted.isDefault())
        return QMediaDevices::defaultAudioInput();
    return find(QMediaDevices::audioInputs(), wanted);
}

bool inputListed(const QByteArray &id)
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    return std::any_of(inputs.cbegin(), inputs.cend(), [&id](const QAudioDevice &d) { return d.id() == id; });
}

QAudioFormat monoInputFormat(const QAudioDevice &input)
{
    QAudioFormat fmt;
    fmt.setChannelCount(1);
    fmt.setSampleFormat(QAudioFormat::Int16);
    const int preferred = input.preferredFormat().sampleRate();
    fmt.setSampleRate(preferred == 44100 || preferred == 48000 ? preferred : 48000);
    if (!input.isFormatSupported(fmt)) {
        fmt.setSampleRate(fmt.sampleRate() == 48000 ? 44100 : 48000);
        if (!input.isFormatSupported(fmt))
            fmt.setSampleRate(0);
    }
    return fmt;
}

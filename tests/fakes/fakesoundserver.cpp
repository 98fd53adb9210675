#include "fakesoundserver.h"

#include "deviceerror.h"

#include <QFile>

void FakeLevelMeter::start(const SoundCardChoice &wanted)
{
    listening = false;
    card = wanted;
    if (refuse.contains(wanted.id))
        throw DeviceError(QStringLiteral("No se puede escuchar la entrada «%1».").arg(wanted.shownName()));
    listening = true;
}

std::unique_ptr<InputLevelMeter> FakeSoundServer::makeLevelMeter()
{
    auto made = std::make_unique<FakeLevelMeter>();
    made->refuse = refuseInputs;
    meter = made.get();
    return made;
}

void FakeReceiver::open()
{
    if (refuse.contains(card.id))
        throw DeviceError(QStringLiteral("No se puede escuchar la entrada del receptor «%1».").arg(card.shownName()));
    opened = true;
}

std::unique_ptr<BusySource> FakeSoundServer::makeReceiverListener(const SoundCardChoice &card, int thresholdDb)
{
    auto made = std::make_unique<FakeReceiver>();
    made->card = card;
    made->thresholdDb = thresholdDb;
    made->refuse = refuseInputs;
    receiver = made.get();
    return made;
}

std::unique_ptr<AudioDevice> FakeSoundServer::makePlayer()
{
    auto made = std::make_unique<FakeAudioDevice>(m_log);
    made->fakeLength = 2000;
    player = made.get();
    return made;
}

void FakeSoundServer::writeTestTone(const QString &path, double amplitude)
{
    toneAmplitudes << amplitude;
    QFile file(path);
    if (failTone || !file.open(QIODevice::WriteOnly))
        throw DeviceError(QStringLiteral("No se puede preparar el tono de prueba en «%1».").arg(path));
    file.write("RIFF");
}

void FakeSoundServer::writeIdentification(const QString &path, const IdentSettings &values)
{
    if (values.indicativo.isEmpty() && values.identarchivo.isEmpty())
        throw DeviceError(QStringLiteral("no hay ningún indicativo configurado."));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw DeviceError(QStringLiteral("No se puede preparar la identificación en «%1».").arg(path));
    file.write("RIFF");
    identifications << values;
}

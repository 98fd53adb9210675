#include "audiobusysource.h"

#include "deviceerror.h"
#include "soundcards.h"

#include <cmath>
#include <limits>
#include <utility>

AudioBusySource::AudioBusySource(const SoundCardChoice &card, int thresholdDb, QObject *parent)
    : BusySource(parent), m_card(card), m_thresholdDb(thresholdDb)
{
    m_check.setInterval(ReportMs);
    connect(&m_check, &QTimer::timeout, this, &AudioBusySource::check);
    connect(&m_devices, &QMediaDevices::audioInputsChanged, this, [this] {
        if (isOpen() && !inputListed(m_deviceId))
            loseInput(QStringLiteral("Se ha perdido la entrada del receptor «%1».").arg(m_deviceName));
    });
}

AudioBusySource::~AudioBusySource()
{
    close();
}

void AudioBusySource::open()
{
    close();
    const QAudioDevice dev = findInputCard(m_card);
    if (dev.isNull())
        throw DeviceError(QStringLiteral("No hay ninguna entrada de sonido para escuchar el receptor."));
    const QAudioFormat fmt = monoInputFormat(dev);
    if (fmt.sampleRate() == 0)
        throw DeviceError(
            QStringLiteral("La entrada del receptor «%1» no admite 16 bits mono.").arg(dev.description()));
    // The stream's thread tells this one only what changed, through the event loop; an event
    // from an earlier open, or from before the last listenAfresh(), is stale.
    const unsigned opened = ++m_opened;
    auto stream = std::make_unique<ReceiverStream>(m_thresholdDb, [this, opened](const ReceiverStream::Event &e) {
        QMetaObject::invokeMethod(this, [this, opened, e] { take(opened, e); }, Qt::QueuedConnection);
    });
    if (!stream->start(dev.id(), fmt.sampleRate()))
        throw DeviceError(QStringLiteral("No se puede escuchar la entrada del receptor «%1».").arg(dev.description()));
    m_stream = std::move(stream);
    m_afresh = 0;
    m_busy = true;
    m_deviceId = dev.id();
    m_deviceName = dev.description();
    m_reportedDb = busylevel::SilenceDb;
    m_silentMs = 0;
    m_check.start();
}

void AudioBusySource::close()
{
    m_check.stop();
    m_stream.reset();
}

double AudioBusySource::levelDb() const
{
    return isOpen() ? m_reportedDb : std::numeric_limits<double>::quiet_NaN();
}

QString AudioBusySource::description() const
{
    const QString card = m_card.isDefault() ? QStringLiteral("la entrada predeterminada")
                                            : QStringLiteral("«%1»").arg(m_card.shownName());
    return QStringLiteral("audio del receptor en %1, umbral %2 dBFS").arg(card).arg(std::lround(m_thresholdDb));
}

void AudioBusySource::take(unsigned opened, const ReceiverStream::Event &event)
{
    if (!isOpen() || opened != m_opened || event.afresh != m_afresh)
        return;
    switch (event.kind) {
    case ReceiverStream::Event::Busy:
        if (event.busy != m_busy) {
            m_busy = event.busy;
            emit busyChanged(m_busy);
        }
        break;
    case ReceiverStream::Event::HeardAfresh:
        emit heardAfresh(m_busy);
        break;
    case ReceiverStream::Event::InputLost:
        loseInput(QStringLiteral("Se ha perdido la entrada del receptor «%1».").arg(m_deviceName));
        break;
    case ReceiverStream::Event::ServerLost:
        loseInput(QStringLiteral("La entrada del receptor «%1» ha fallado.").arg(m_deviceName));
        break;
    }
}

// What the input holds now came before this moment: the station's own tail.
void AudioBusySource::listenAfresh()
{
    if (!m_stream)
        return;
    m_afresh = m_stream->listenAfresh();
    if (std::exchange(m_busy, false))
        emit busyChanged(false);
}

// Reports the level and watches that sound still comes in.
void AudioBusySource::check()
{
    m_silentMs = m_stream->takeHeardBytes() > 0 ? 0 : m_silentMs + ReportMs;
    if (m_silentMs >= StallMs) {
        loseInput(QStringLiteral("La entrada del receptor «%1» no entrega sonido.").arg(m_deviceName));
        return;
    }
    m_reportedDb = m_stream->takeLoudestDb();
    emit levelChanged(m_reportedDb);
}

void AudioBusySource::loseInput(const QString &reason)
{
    if (!isOpen())
        return;
    close();
    emit lost(reason);
}

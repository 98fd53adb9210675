#include "audiobusysource.h"

#include "deviceerror.h"
#include "soundcards.h"

#include <QAudioSource>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

AudioBusySource::AudioBusySource(const SoundCardChoice &card, int thresholdDb, QObject *parent)
    : BusySource(parent), m_card(card), m_detector(thresholdDb)
{
    m_check.setInterval(ReportMs);
    connect(&m_check, &QTimer::timeout, this, &AudioBusySource::check);
    connect(&m_devices, &QMediaDevices::audioInputsChanged, this, [this] {
        if (isOpen() && !inputListed())
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
    SourceOwner source(new QAudioSource(dev, fmt));
    // The server hands the sound over once per buffer: a voice must be seen within 50 ms of
    // reaching the input, 30 of them the detector's own, and each hand-over wakes two threads.
    source->setBufferSize(fmt.bytesForDuration(BufferMs * 1000));
    QIODevice *input = source->start();
    if (!input || audioFailed(source->error()) || source->state() == QAudio::StoppedState)
        throw DeviceError(QStringLiteral("No se puede escuchar la entrada del receptor «%1».").arg(dev.description()));
    connect(input, &QIODevice::readyRead, this, &AudioBusySource::readInput);
    connect(source.get(), &QAudioSource::stateChanged, this, [this] {
        if (m_source && audioFailed(m_source->error()))
            loseInput(QStringLiteral("La entrada del receptor «%1» ha fallado.").arg(m_deviceName));
    });
    m_source = std::move(source);
    m_input = input;
    m_deviceId = dev.id();
    m_deviceName = dev.description();
    m_blockBytes = fmt.bytesForDuration(BlockMs * 1000);
    m_pending = QByteArray(fmt.bytesForDuration(ReadMs * 1000), Qt::Uninitialized);
    m_filled = 0;
    m_detector.reset();
    m_afresh = false;
    m_loudestDb = m_reportedDb = busylevel::SilenceDb;
    m_heardSinceCheck = 0;
    m_silentMs = 0;
    m_checks = 0;
    m_check.start();
}

void AudioBusySource::close()
{
    m_check.stop();
    m_input = nullptr;
    m_source.reset();
}

double AudioBusySource::levelDb() const
{
    return isOpen() ? m_reportedDb : std::numeric_limits<double>::quiet_NaN();
}

QString AudioBusySource::description() const
{
    const QString card = m_card.isDefault() ? QStringLiteral("la entrada predeterminada")
                                            : QStringLiteral("«%1»").arg(m_card.shownName());
    return QStringLiteral("audio del receptor en %1, umbral %2 dBFS")
        .arg(card)
        .arg(std::lround(m_detector.thresholdDb()));
}

// Takes all the server has in one read, into a buffer kept from call to call, then hears it in
// blocks of BlockMs: each read of the input costs the sound server's thread a wake-up, and this
// runs for as long as the program runs.
void AudioBusySource::readInput()
{
    if (!m_input)
        return;
    const bool before = m_detector.busy();
    for (;;) {
        const qint64 room = m_pending.size() - m_filled;
        const qint64 got = m_input->read(m_pending.data() + m_filled, room);
        if (got <= 0)
            break;
        m_filled += got;
        m_heardSinceCheck += got;
        qsizetype at = 0;
        for (; m_filled - at >= m_blockBytes; at += m_blockBytes) {
            const double dB = busylevel::rmsDb(reinterpret_cast<const qint16 *>(m_pending.constData() + at),
                                               m_blockBytes / qsizetype(sizeof(qint16)));
            m_loudestDb = std::max(m_loudestDb, dB);
            m_detector.feed(dB, BlockMs);
        }
        m_filled -= at;
        std::memmove(m_pending.data(), m_pending.constData() + at, size_t(m_filled));
        if (got < room) // all there was; asking again costs as much as the read
            break;
    }
    if (m_detector.busy() != before)
        emit busyChanged(m_detector.busy());
    if (m_afresh && m_detector.settled()) {
        m_afresh = false;
        emit heardAfresh(m_detector.busy());
    }
}

// What the input holds now came before this moment: the station's own tail.
void AudioBusySource::listenAfresh()
{
    if (!m_input)
        return;
    m_input->readAll();
    m_filled = 0;
    const bool before = m_detector.busy();
    m_detector.listenAfresh();
    m_afresh = true;
    if (before)
        emit busyChanged(false);
}

// Reports the level and watches that sound still comes in.
void AudioBusySource::check()
{
    m_silentMs = m_heardSinceCheck > 0 ? 0 : m_silentMs + ReportMs;
    m_heardSinceCheck = 0;
    // The server moves the stream of an input that goes to another one, and Qt does not always
    // tell that the list changed.
    if (++m_checks % (ListCheckMs / ReportMs) == 0 && !inputListed()) {
        loseInput(QStringLiteral("Se ha perdido la entrada del receptor «%1».").arg(m_deviceName));
        return;
    }
    if (m_silentMs >= StallMs) {
        loseInput(QStringLiteral("La entrada del receptor «%1» no entrega sonido.").arg(m_deviceName));
        return;
    }
    m_reportedDb = m_loudestDb;
    m_loudestDb = busylevel::SilenceDb;
    emit levelChanged(m_reportedDb);
}

void AudioBusySource::loseInput(const QString &reason)
{
    if (!isOpen())
        return;
    close();
    emit lost(reason);
}

bool AudioBusySource::inputListed() const
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    return std::any_of(inputs.cbegin(), inputs.cend(), [this](const QAudioDevice &d) { return d.id() == m_deviceId; });
}

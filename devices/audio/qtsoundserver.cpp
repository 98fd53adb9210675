#include "qtsoundserver.h"

#include "audiobusysource.h"
#include "deviceerror.h"
#include "identsound.h"
#include "receiverstream.h"
#include "soundcards.h"
#include "soundfile.h"
#include "testtone.h"
#include "wavaudiodevice.h"

#include <QFile>
#include <QMediaDevices>

#include <sndfile.h>

#include <cstdio>
#include <unistd.h>

namespace {
QList<SoundCardEntry> entries(const QList<QAudioDevice> &devices)
{
    QList<SoundCardEntry> cards;
    for (const QAudioDevice &d : devices)
        cards.append({QString::fromUtf8(d.id()), d.description()});
    return cards;
}
} // namespace

QtLevelMeter::QtLevelMeter(QObject *parent) : InputLevelMeter(parent)
{
    m_report.setInterval(ReportMs);
    connect(&m_report, &QTimer::timeout, this, &QtLevelMeter::report);
    connect(&m_devices, &QMediaDevices::audioInputsChanged, this, [this] {
        if (m_report.isActive())
            checkInput();
    });
}

QtLevelMeter::~QtLevelMeter()
{
    stop();
}

void QtLevelMeter::start(const SoundCardChoice &card)
{
    stop();
    m_card = card;
    listen();
    m_report.start();
}

void QtLevelMeter::stop()
{
    m_report.stop();
    release();
    m_lost = false;
}

// Opens the chosen input; throws DeviceError with nothing listened to.
void QtLevelMeter::listen()
{
    release();
    const QAudioDevice dev = findInputCard(m_card);
    if (dev.isNull())
        throw DeviceError(QStringLiteral("No hay ninguna entrada de sonido disponible."));
    const QAudioFormat fmt = monoInputFormat(dev);
    if (fmt.sampleRate() == 0)
        throw DeviceError(QStringLiteral("La entrada de sonido no admite 16 bits mono."));
    // Only the level is read; the stream's detector hears for no one.
    auto stream = std::make_unique<ReceiverStream>(-40.0, [this](const ReceiverStream::Event &e) {
        if (e.kind == ReceiverStream::Event::InputLost || e.kind == ReceiverStream::Event::ServerLost)
            m_ended = true;
    });
    if (!stream->start(dev.id(), fmt.sampleRate()))
        throw DeviceError(QStringLiteral("No se puede escuchar la entrada «%1».").arg(dev.description()));
    m_stream = std::move(stream);
    m_deviceId = dev.id();
    m_deviceName = dev.description();
}

void QtLevelMeter::release()
{
    m_stream.reset();
    m_ended = false;
}

bool QtLevelMeter::inputPresent() const
{
    return m_stream && !m_ended && inputListed(m_deviceId);
}

// A source that went away reads nothing, which would show as silence.
void QtLevelMeter::checkInput()
{
    if (m_lost) {
        try {
            listen();
        } catch (const DeviceError &) {
            release();
            return;
        }
        m_lost = false;
        emit resumed();
        return;
    }
    if (inputPresent())
        return;
    release();
    m_lost = true;
    emit lost(QStringLiteral("Se ha perdido la entrada «%1»; se volverá a escuchar en cuanto esté de nuevo.")
                  .arg(m_deviceName));
}

void QtLevelMeter::report()
{
    if (++m_reports % (CheckMs / ReportMs) == 0 || m_ended)
        checkInput();
    if (!m_lost)
        emit peak(m_stream->takePeak());
}

QList<SoundCardEntry> QtSoundServer::outputs() const
{
    return entries(QMediaDevices::audioOutputs());
}

QList<SoundCardEntry> QtSoundServer::inputs() const
{
    return entries(QMediaDevices::audioInputs());
}

std::unique_ptr<InputLevelMeter> QtSoundServer::makeLevelMeter()
{
    return std::make_unique<QtLevelMeter>();
}

std::unique_ptr<BusySource> QtSoundServer::makeReceiverListener(const SoundCardChoice &card, int thresholdDb)
{
    return std::make_unique<AudioBusySource>(card, thresholdDb);
}

std::unique_ptr<AudioDevice> QtSoundServer::makePlayer()
{
    auto player = std::make_unique<WavAudioDevice>();
    player->setDeviceType(QStringLiteral("waveaudio"));
    return player;
}

void QtSoundServer::writeIdentification(const QString &path, const IdentSettings &values)
{
    IdentSound::write(path, values);
}

void QtSoundServer::writeTestTone(const QString &path, double amplitude)
{
    const QList<qint16> samples = TestTone::samples(amplitude);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw DeviceError(QStringLiteral("No se puede preparar el tono de prueba en «%1»: %2")
                              .arg(path, file.errorString()));
    SF_INFO info{};
    info.samplerate = TestTone::SampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SoundFile writer = SoundFile::openDescriptor(file.handle(), SFM_WRITE, info);
    const bool written = writer && sf_writef_short(writer.get(), samples.constData(), samples.size()) ==
                                       sf_count_t(samples.size());
    if (!written || !writer.close() || !file.flush())
        throw DeviceError(QStringLiteral("No se puede preparar el tono de prueba en «%1».").arg(path));
}

void endLeavingSoundEngine(int status)
{
    std::fflush(nullptr);
    ::_exit(status);
}

#include "wavrecorder.h"

#include "deviceerror.h"
#include "soundcards.h"
#include "wavfile.h"

#include <QAudioSource>
#include <QDir>
#include <QFileInfo>

#include <sndfile.h>

namespace {
// Why the sound input would not start, in words the operator reads.
QString inputErrorText(QAudio::Error e)
{
    switch (e) {
    case QAudio::OpenError:
        return QStringLiteral("no se puede abrir (quizá la usa otro programa)");
    case QAudio::IOError:
        return QStringLiteral("no entrega sonido");
    case QAudio::FatalError:
        return QStringLiteral("el servidor de sonido ha fallado");
    default:
        return QStringLiteral("no arranca");
    }
}
} // namespace

WavRecorder::WavRecorder(QObject *parent) : QObject(parent) {}

WavRecorder::~WavRecorder() = default;

WavRecorder::Setup WavRecorder::prepare(const QString &target, const SoundCardChoice &inputCard)
{
    const QAudioDevice dev = findInputCard(inputCard);
    if (dev.isNull())
        throw DeviceError(QStringLiteral("No hay ninguna entrada de sonido disponible."));
    const QAudioFormat fmt = monoInputFormat(dev);
    if (fmt.sampleRate() == 0)
        throw DeviceError(QStringLiteral("La entrada de sonido no admite grabar en 16 bits mono."));

    auto file = std::make_unique<ReplacementFile>(target);
    SF_INFO info{};
    info.samplerate = fmt.sampleRate();
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SoundFile writer = SoundFile::openDescriptor(file->handle(), SFM_WRITE, info);
    if (!writer)
        throw DeviceError(QStringLiteral("No se puede escribir la grabación en la carpeta «%1».")
                              .arg(QDir::toNativeSeparators(QFileInfo(file->fileName()).absolutePath())));
    return Setup{dev, fmt, std::move(file), std::move(writer)};
}

void WavRecorder::start(Setup setup)
{
    SourceOwner source(new QAudioSource(setup.input, setup.format));
    QIODevice *input = source->start();
    if (!input || audioFailed(source->error()) || source->state() == QAudio::StoppedState)
        throw DeviceError(QStringLiteral("La entrada de sonido %1.").arg(inputErrorText(source->error())));

    m_file = std::move(setup.file);
    m_writer = std::move(setup.writer);
    m_unsaved = false;
    m_input = input;
    m_recorded = 0;
    m_rate = setup.format.sampleRate();
    m_carry.clear();
    connect(input, &QIODevice::readyRead, this, [this] {
        if (!writeInput())
            emit failed();
    });
    connect(source.get(), &QAudioSource::stateChanged, this, [this] {
        if (m_source && audioFailed(m_source->error()))
            emit failed();
    });
    m_source = std::move(source);
}

bool WavRecorder::writeInput()
{
    if (!m_input || !m_writer)
        return true;
    m_carry += m_input->readAll();
    const qint64 frames = m_carry.size() / qint64(sizeof(short));
    if (frames == 0)
        return true;
    const sf_count_t written =
        sf_writef_short(m_writer.get(), reinterpret_cast<const short *>(m_carry.constData()), frames);
    m_carry.remove(0, qsizetype(frames * qint64(sizeof(short))));
    if (written > 0)
        m_recorded += written;
    return written == frames;
}

SoundFile WavRecorder::stop(SF_INFO &info, bool &written)
{
    written = writeInput();
    if (m_input)
        QObject::disconnect(m_input, nullptr, this, nullptr);
    m_input = nullptr;
    m_source.reset();
    m_writer.close(); // writes the final sizes into the header
    m_carry.clear();
    m_unsaved = true;
    return m_file ? SoundFile::openRead(m_file->fileName(), info) : SoundFile();
}

qint32 WavRecorder::recordedMs() const
{
    return m_rate > 0 ? qint32(m_recorded * 1000 / m_rate) : 0;
}

void WavRecorder::save(const QString &target)
{
    if (m_file->besides(target))
        m_file->commit(target);
    else
        copyWavFile(m_file->fileName(), target);
    discard();
}

void WavRecorder::discard()
{
    m_file.reset();
    m_unsaved = false;
}

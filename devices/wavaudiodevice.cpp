#include "wavaudiodevice.h"

#include "deviceerror.h"
#include "errortext.h"
#include "replacementfile.h"
#include "wavaudiostream.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace {
constexpr int PlayTickMs = 5;  // progress checks while the sink still has data to take
constexpr int DrainTickMs = 2; // then, until the last sample (and the tail) has been heard
constexpr int PrerollMs = 10;  // silence first: the server may drop the very start of a stream
constexpr int StallMs = 3000;  // the sink not advancing for this long means it is gone
// The server's played time can run a little ahead of what has really left it: under PipeWire
// (pipewire-pulse) the last sample came out 1-5 ms after the time said it had. Wait this much more
// before calling the sound (and its tail) heard.
constexpr qint64 DrainMarginUs = 5000;
constexpr int CopyFrames = 4096;
constexpr int MinRate = 1000; // Qt 6.4's sink divides by its period in bytes, which is 0 at a few Hz

// Why the last libsndfile call on file (nullptr: the last open) failed, in Spanish.
QString sndfileError(SNDFILE *file)
{
    const int systemErrno = errno;
    return soundFileErrorText(sf_error(file), systemErrno);
}

// Fewest bits one sample can take on disk in this encoding; 0 when it is not fixed.
int minBitsPerSample(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 32;
    case SF_FORMAT_DOUBLE:
        return 64;
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
        return 4;
    case SF_FORMAT_GSM610:
        return 1;
    default:
        return 0;
    }
}

// Data length a RIFF WAVE header declares, or -1 when it is not one or declares none.
qint64 declaredWaveData(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = f.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    for (int chunks = 0; chunks < 64; ++chunks) {
        const QByteArray chunk = f.read(8);
        if (chunk.size() < 8)
            return -1;
        const auto *b = reinterpret_cast<const uchar *>(chunk.constData());
        const quint32 size = quint32(b[4]) | quint32(b[5]) << 8 | quint32(b[6]) << 16 | quint32(b[7]) << 24;
        if (chunk.startsWith("data"))
            return size == 0xffffffffu ? -1 : qint64(size); // all ones: length left open while streaming
        if (!f.seek(f.pos() + size + (size & 1)))
            return -1;
    }
    return -1;
}

bool isFloatFormat(int format)
{
    const int sub = format & SF_FORMAT_SUBMASK;
    return sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE;
}

bool wantsFloatOutput(int format)
{
    const int sub = format & SF_FORMAT_SUBMASK;
    return isFloatFormat(format) || sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32;
}

bool sinkFailed(QAudio::Error e)
{
    return e == QAudio::OpenError || e == QAudio::IOError || e == QAudio::FatalError;
}

// Writes a copy of the sound file source at target, all or nothing.
void copySound(const QString &source, const QString &target)
{
    SF_INFO info{};
    SNDFILE *in = sf_open(QFile::encodeName(source).constData(), SFM_READ, &info);
    if (!in)
        throw DeviceError(QStringLiteral("No se puede leer la grabación."));
    std::unique_ptr<ReplacementFile> out;
    try {
        out = std::make_unique<ReplacementFile>(target);
    } catch (const DeviceError &) {
        sf_close(in);
        throw;
    }
    SF_INFO outInfo = info;
    SNDFILE *w = sf_open_fd(out->handle(), SFM_WRITE, &outInfo, SF_FALSE);
    bool ok = w != nullptr;
    const bool asDouble = isFloatFormat(info.format);
    std::vector<double> d(asDouble ? size_t(CopyFrames * info.channels) : 0);
    std::vector<int> n(asDouble ? 0 : size_t(CopyFrames * info.channels));
    while (ok) {
        const sf_count_t got =
            asDouble ? sf_readf_double(in, d.data(), CopyFrames) : sf_readf_int(in, n.data(), CopyFrames);
        if (got <= 0)
            break;
        ok = (asDouble ? sf_writef_double(w, d.data(), got) : sf_writef_int(w, n.data(), got)) == got;
    }
    sf_close(in);
    if (w)
        ok = sf_close(w) == 0 && ok;
    if (!ok)
        throw DeviceError(
            QStringLiteral("No se puede escribir «%1»: %2.")
                .arg(QDir::toNativeSeparators(target), QStringLiteral("error al escribir en el disco")));
    out->commit(target);
}

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

WavAudioDevice::WavAudioDevice(QObject *parent) : AudioDevice(parent)
{
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &WavAudioDevice::onTick);
    m_tailTimer.setTimerType(Qt::PreciseTimer);
    m_tailTimer.setSingleShot(true);
    connect(&m_tailTimer, &QTimer::timeout, this, &WavAudioDevice::finishPlay);
    m_status.setInterval(1000);
    connect(&m_status, &QTimer::timeout, this, &AudioDevice::StatusUpdate);
}

WavAudioDevice::~WavAudioDevice()
{
    m_pending = false;
    m_outbox.clear();
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        delete m_sink;
        m_sink = nullptr;
    }
    delete m_stream;
    m_stream = nullptr;
    if (m_source) {
        m_source->disconnect(this);
        m_source->stop();
        delete m_source;
        m_source = nullptr;
    }
    // A sink or source stopped just before (deleteLater) is still a child, and Qt's runs the event
    // loop as it is destroyed: it must go while this object is whole, with nothing queued for it.
    QCoreApplication::removePostedEvents(this);
    qDeleteAll(findChildren<QAudioSink *>(Qt::FindDirectChildrenOnly));
    qDeleteAll(findChildren<QAudioSource *>(Qt::FindDirectChildrenOnly));
    if (m_writer)
        sf_close(m_writer);
    if (m_file)
        sf_close(m_file);
    m_temp.reset();
}

void WavAudioDevice::setDeviceType(const QString &type)
{
    m_deviceType = type;
}

QString WavAudioDevice::deviceType() const
{
    return m_deviceType;
}

void WavAudioDevice::setFileName(const QString &path)
{
    m_fileName = path;
}

QString WavAudioDevice::fileName() const
{
    return m_fileName;
}

void WavAudioDevice::setNotify(bool armed)
{
    m_notifyArmed = armed;
}

void WavAudioDevice::setLeadTime(int ms)
{
    m_leadMs = std::max(0, ms);
}

void WavAudioDevice::setTailTime(int ms)
{
    m_tailMs = std::max(0, ms);
}

qint64 WavAudioDevice::readAheadBytes() const
{
    return std::max(m_peakReadAhead, m_stream ? m_stream->peakBufferBytes() : 0);
}

void WavAudioDevice::setCommand(const QString &command)
{
    const QString c = command.trimmed().toLower();
    const bool armed = std::exchange(m_notifyArmed, false);
    if (c == QLatin1String("open"))
        open(armed);
    else if (c == QLatin1String("play"))
        play(armed);
    else if (c == QLatin1String("prev"))
        prev(armed);
    else if (c == QLatin1String("close"))
        close(armed);
    else if (c == QLatin1String("record"))
        record(armed);
    else if (c == QLatin1String("stop"))
        stop(armed);
    else if (c == QLatin1String("save"))
        save(armed);
    else
        throw DeviceError(
            QStringLiteral("Orden desconocida para el dispositivo de sonido: «%1».").arg(command));
}

void WavAudioDevice::openForRecording()
{
    const bool armed = std::exchange(m_notifyArmed, false);
    if (m_fileName.isEmpty())
        throw DeviceError(QStringLiteral("No se ha indicado el archivo donde grabar."));
    const bool interrupted = interrupt(armed);
    closeFile();
    m_open = true;
    m_openPath = m_fileName;
    m_frames = m_frame = 0;
    m_rate = m_channels = 0;
    m_isFloat = false;
    m_status.start();
    if (armed && !interrupted)
        notifyLater(Successful);
}

qint32 WavAudioDevice::length() const
{
    if (m_activity == Activity::Recording)
        return m_recordRate > 0 ? qint32(m_recorded * 1000 / m_recordRate) : 0;
    return m_open ? msFor(m_frames) : 0;
}

qint32 WavAudioDevice::position() const
{
    if (m_activity == Activity::Recording)
        return length();
    return m_open ? msFor(heardFrame()) : 0;
}

qint32 WavAudioDevice::msFor(qint64 frames) const
{
    return m_rate > 0 ? qint32((frames * 1000 + m_rate / 2) / m_rate) : 0;
}

// ---- Notifications: always queued, so that no event comes out of a property write.

void WavAudioDevice::notifyLater(int code)
{
    m_outbox.append(code);
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &WavAudioDevice::flushNotifications, Qt::QueuedConnection);
    }
}

void WavAudioDevice::flushNotifications()
{
    m_flushQueued = false;
    const QList<int> codes = std::exchange(m_outbox, {});
    QPointer<WavAudioDevice> alive(this);
    for (int code : codes) {
        emit Done(code);
        if (!alive)
            return;
    }
}

bool WavAudioDevice::interrupt(bool armed)
{
    if (m_activity == Activity::Idle)
        return false;
    if (m_activity == Activity::Playing)
        stopPlay();
    else
        stopRecording();
    if (std::exchange(m_pending, false) || armed)
        notifyLater(Aborted);
    return true;
}

// ---- Commands.

void WavAudioDevice::open(bool armed)
{
    const bool interrupted = interrupt(armed);
    closeFile();
    openFile(m_fileName);
    if (armed && !interrupted)
        notifyLater(Successful);
}

void WavAudioDevice::openFile(const QString &path)
{
    if (path.isEmpty())
        throw DeviceError(QStringLiteral("No se ha indicado el archivo de sonido."));
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink()) {
        // Nothing there yet: open empty, ready to record.
        m_open = true;
        m_openPath = path;
        m_frames = m_frame = 0;
        m_rate = m_channels = 0;
        m_isFloat = false;
        m_status.start();
        return;
    }
    if (fi.isDir())
        throw DeviceError(QStringLiteral("«%1» es una carpeta, no un archivo de sonido.").arg(path));

    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        throw DeviceError(QStringLiteral("No se puede abrir el archivo de sonido «%1»: %2")
                              .arg(path, sndfileError(nullptr)));
    QString problem;
    if (info.channels < 1 || info.channels > 64)
        problem = QStringLiteral("número de canales no válido (%1)").arg(info.channels);
    else if (info.samplerate < MinRate || info.samplerate > 768000)
        problem = QStringLiteral("frecuencia de muestreo no válida (%1 Hz)").arg(info.samplerate);
    else if (info.frames < 0)
        problem = QStringLiteral("longitud no válida");
    else if (const int bits = minBitsPerSample(info.format); bits > 0) {
        // The header must not promise more audio than the file can hold.
        const double needBytes = double(info.frames) * info.channels * bits / 8.0;
        if (needBytes > double(fi.size()))
            problem = QStringLiteral("la cabecera indica más sonido del que contiene el archivo");
    }
    if (problem.isEmpty()) {
        // libsndfile plays what there is of a cut file, but a header declaring far more than
        // the file holds is not a cut recording: it is broken.
        const qint64 declared = declaredWaveData(path);
        if (declared > 2 * fi.size() + (1 << 20))
            problem = QStringLiteral("la cabecera indica más sonido del que contiene el archivo");
    }
    if (!problem.isEmpty()) {
        sf_close(file);
        throw DeviceError(
            QStringLiteral("No se puede abrir el archivo de sonido «%1»: %2.").arg(path, problem));
    }

    m_file = file;
    m_open = true;
    m_openPath = path;
    m_frames = info.frames;
    m_frame = 0;
    m_rate = info.samplerate;
    m_channels = info.channels;
    m_isFloat = isFloatFormat(info.format);
    m_floatOut = wantsFloatOutput(info.format);
    m_status.start();
}

void WavAudioDevice::closeFile()
{
    if (m_file)
        sf_close(m_file);
    m_file = nullptr;
    m_temp.reset(); // an unsaved recording goes with it
    m_unsaved = false;
    m_open = false;
    m_openPath.clear();
    m_frames = m_frame = 0;
    m_rate = m_channels = 0;
    m_status.stop();
}

void WavAudioDevice::close(bool armed)
{
    const bool interrupted = interrupt(armed);
    closeFile(); // drops an unsaved recording
    if (armed && !interrupted)
        notifyLater(Successful);
}

void WavAudioDevice::prev(bool armed)
{
    if (!m_open)
        throw DeviceError(QStringLiteral("El dispositivo de sonido no está abierto."));
    const bool interrupted = interrupt(armed);
    m_frame = 0;
    if (armed && !interrupted)
        notifyLater(Successful);
}

void WavAudioDevice::stop(bool armed)
{
    if (m_activity == Activity::Recording) {
        // The normal end of a recording.
        stopRecording();
        if (std::exchange(m_pending, false) || armed)
            notifyLater(Successful);
        return;
    }
    const bool interrupted = interrupt(armed);
    if (armed && !interrupted)
        notifyLater(Successful);
}

// ---- Play.

QAudioFormat WavAudioDevice::outputFormat() const
{
    const QAudioDevice dev = QMediaDevices::defaultAudioOutput();
    if (dev.isNull())
        return {};
    QAudioFormat f;
    f.setSampleRate(m_rate);
    f.setChannelCount(m_channels);
    f.setSampleFormat(m_floatOut ? QAudioFormat::Float : QAudioFormat::Int16);
    if (dev.isFormatSupported(f))
        return f;
    f.setSampleFormat(m_floatOut ? QAudioFormat::Int16 : QAudioFormat::Float);
    if (dev.isFormatSupported(f))
        return f;
    // The stream converts to whatever the output prefers.
    return dev.preferredFormat();
}

void WavAudioDevice::play(bool armed)
{
    if (!m_open)
        throw DeviceError(QStringLiteral("El dispositivo de sonido no está abierto."));
    if (m_activity == Activity::Playing) {
        if (armed) {
            if (m_pending)
                notifyLater(Superseded);
            m_pending = true;
        }
        return;
    }
    interrupt(false); // a recording ends here and becomes what is played
    // A message with no sound behind it is never played as silence on the air.
    checkPlayable();

    m_startFrame = m_frame;
    m_fed = m_drained = false;
    m_leadTrimmed = false;
    if (m_frame >= m_frames) {
        // Already at the end: complete after the lead and tail alone.
        m_frame = m_frames;
        m_activity = Activity::Playing;
        m_pending = armed;
        m_drained = true;
        m_tailTimer.start(m_leadMs + m_tailMs);
        return;
    }

    const QAudioFormat fmt = outputFormat();
    if (!fmt.isValid())
        throw DeviceError(QStringLiteral("No hay ninguna salida de sonido disponible."));
    seekFile(m_frame);

    m_outRate = fmt.sampleRate();
    auto *stream = new WavAudioStream(m_file, m_rate, m_channels, m_isFloat, fmt, this);
    stream->setLeadFrames(qint64(m_leadMs + PrerollMs) * m_outRate / 1000);
    stream->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    connect(
        stream, &WavAudioStream::drained, this,
        [this] {
            m_fed = true;
            m_tick.start(DrainTickMs);
        },
        Qt::QueuedConnection);

    auto *sink = new QAudioSink(QMediaDevices::defaultAudioOutput(), fmt, this);
    m_playClock.start();
    sink->start(stream);
    if (sinkFailed(sink->error()) || sink->state() == QAudio::StoppedState) {
        const QAudio::Error e = sink->error();
        sink->stop();
        delete sink;
        delete stream;
        throw DeviceError(
            QStringLiteral("No se puede reproducir por la salida de sonido (error %1).").arg(int(e)));
    }
    connect(sink, &QAudioSink::stateChanged, this, &WavAudioDevice::onSinkState);
    m_sink = sink;
    m_stream = stream;
    m_activity = Activity::Playing;
    m_pending = armed;
    m_lastProcessed = -1;
    m_progressClock.start();
    m_tick.start(PlayTickMs);
}

void WavAudioDevice::checkPlayable() const
{
    if (!m_open)
        throw DeviceError(QStringLiteral("El dispositivo de sonido no está abierto."));
    if (m_activity == Activity::Recording)
        return; // the recording becomes what is played
    const QString path = QDir::toNativeSeparators(m_openPath);
    if (!m_file)
        throw DeviceError(QStringLiteral("No se encuentra el archivo del mensaje «%1».").arg(path));
    if (m_frames == 0)
        throw DeviceError(QStringLiteral("El mensaje «%1» está vacío: no contiene sonido.").arg(path));
    if (QMediaDevices::defaultAudioOutput().isNull())
        throw DeviceError(QStringLiteral("No hay ninguna salida de sonido disponible."));
}

void WavAudioDevice::seekFile(qint64 frame)
{
    if (sf_seek(m_file, frame, SEEK_SET) == frame)
        return;
    // Some encodings cannot seek: open again and skip to the place.
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(m_openPath).constData(), SFM_READ, &info);
    if (!file)
        throw DeviceError(
            QStringLiteral("No se puede leer el archivo de sonido: %1").arg(sndfileError(nullptr)));
    sf_close(m_file);
    m_file = file;
    std::vector<float> skip(size_t(CopyFrames * info.channels));
    for (qint64 left = frame; left > 0;) {
        const sf_count_t got = sf_readf_float(m_file, skip.data(), std::min<qint64>(left, CopyFrames));
        if (got <= 0)
            break;
        left -= got;
    }
}

qint64 WavAudioDevice::heardFrame() const
{
    if (m_activity != Activity::Playing || !m_sink || !m_stream || m_drained)
        return m_frame;
    const qint64 leadUs = m_stream->leadFrames() * 1000000 / m_outRate;
    const qint64 soundUs = m_sink->processedUSecs() - leadUs;
    if (soundUs <= 0)
        return m_startFrame;
    return std::min(m_frames, m_startFrame + soundUs * m_rate / 1000000);
}

void WavAudioDevice::onTick()
{
    if (m_activity != Activity::Playing || !m_sink)
        return;
    const qint64 processed = m_sink->processedUSecs();
    if (processed != m_lastProcessed) {
        m_lastProcessed = processed;
        m_progressClock.restart();
    } else if (m_progressClock.elapsed() > StallMs) {
        failPlay(); // the output stopped taking sound: the server or the device is gone
        return;
    }

    if (!m_leadTrimmed && processed > 0) {
        // The first frame sounded processed µs ago: shorten the silence by the start-up delay so
        // that the first real sample comes out when the lead time is up.
        m_leadTrimmed = true;
        const qint64 startUs = m_playClock.nsecsElapsed() / 1000 - processed;
        const qint64 leadUs = std::max<qint64>(PrerollMs * 1000, qint64(m_leadMs) * 1000 - startUs);
        m_stream->setLeadFrames(std::min(m_stream->leadFrames(), leadUs * m_outRate / 1000000));
    }

    if (!m_fed)
        return;
    // The sink is fed silence after the file, so its played time stays exact: the last sample
    // (and the tail after it) has been heard once it passes the end of the sound.
    const qint64 endUs = m_stream->soundEndFrame() * 1000000 / m_outRate + qint64(m_tailMs) * 1000;
    if (processed >= endUs + DrainMarginUs) {
        m_tick.stop();
        m_peakReadAhead = std::max(m_peakReadAhead, m_stream->peakBufferBytes());
        m_frame = m_frames;
        m_drained = true;
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink->deleteLater();
        m_sink = nullptr;
        m_stream->deleteLater();
        m_stream = nullptr;
        finishPlay();
    }
}

void WavAudioDevice::finishPlay()
{
    if (m_activity != Activity::Playing)
        return;
    m_activity = Activity::Idle;
    m_frame = m_frames;
    if (std::exchange(m_pending, false))
        notifyLater(Successful);
}

void WavAudioDevice::stopPlay()
{
    m_tick.stop();
    m_tailTimer.stop();
    m_frame = heardFrame();
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink->deleteLater();
        m_sink = nullptr;
    }
    if (m_stream) {
        m_peakReadAhead = std::max(m_peakReadAhead, m_stream->peakBufferBytes());
        m_stream->disconnect(this);
        m_stream->deleteLater();
        m_stream = nullptr;
    }
    m_activity = Activity::Idle;
}

void WavAudioDevice::failPlay()
{
    stopPlay();
    if (std::exchange(m_pending, false))
        notifyLater(Failure);
}

void WavAudioDevice::onSinkState()
{
    if (m_sink && sinkFailed(m_sink->error()))
        failPlay();
}

// ---- Recording.

void WavAudioDevice::record(bool armed)
{
    if (!m_open)
        throw DeviceError(QStringLiteral("El dispositivo de sonido no está abierto."));
    if (m_fileName.isEmpty())
        throw DeviceError(QStringLiteral("No se ha indicado el archivo donde grabar."));

    const QAudioDevice dev = QMediaDevices::defaultAudioInput();
    if (dev.isNull())
        throw DeviceError(QStringLiteral("No hay ninguna entrada de sonido disponible."));
    QAudioFormat fmt;
    fmt.setChannelCount(1);
    fmt.setSampleFormat(QAudioFormat::Int16);
    const int preferred = dev.preferredFormat().sampleRate();
    fmt.setSampleRate(preferred == 44100 || preferred == 48000 ? preferred : 48000);
    if (!dev.isFormatSupported(fmt)) {
        fmt.setSampleRate(fmt.sampleRate() == 48000 ? 44100 : 48000);
        if (!dev.isFormatSupported(fmt))
            throw DeviceError(QStringLiteral("La entrada de sonido no admite grabar en 16 bits mono."));
    }

    // Everything that can fail is set up before the device changes state. The recording is
    // written beside its target, which stays as it is until "save".
    auto temp = std::make_unique<ReplacementFile>(m_fileName);
    SF_INFO info{};
    info.samplerate = fmt.sampleRate();
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *writer = sf_open_fd(temp->handle(), SFM_WRITE, &info, SF_FALSE);
    if (!writer)
        throw DeviceError(QStringLiteral("No se puede escribir la grabación en la carpeta «%1».")
                              .arg(QDir::toNativeSeparators(QFileInfo(temp->fileName()).absolutePath())));

    interrupt(armed);
    auto *source = new QAudioSource(dev, fmt, this);
    QIODevice *input = source->start();
    if (!input || sinkFailed(source->error()) || source->state() == QAudio::StoppedState) {
        const QAudio::Error e = source->error();
        source->stop();
        delete source;
        sf_close(writer);
        throw DeviceError(QStringLiteral("La entrada de sonido %1.").arg(inputErrorText(e)));
    }

    // The open file gives way to the new recording.
    if (m_file)
        sf_close(m_file);
    m_file = nullptr;
    m_frames = m_frame = 0;
    m_temp = std::move(temp);
    m_writer = writer;
    m_unsaved = false;
    m_source = source;
    m_input = input;
    m_recorded = 0;
    m_recordRate = fmt.sampleRate();
    m_carry.clear();
    connect(input, &QIODevice::readyRead, this, &WavAudioDevice::readInput);
    connect(source, &QAudioSource::stateChanged, this, [this] {
        if (m_source && sinkFailed(m_source->error())) {
            stopRecording();
            if (std::exchange(m_pending, false))
                notifyLater(Failure);
        }
    });
    m_activity = Activity::Recording;
    m_pending = armed;
}

void WavAudioDevice::readInput()
{
    if (!m_input || !m_writer)
        return;
    m_carry += m_input->readAll();
    const qint64 frames = m_carry.size() / qint64(sizeof(short));
    if (frames == 0)
        return;
    const sf_count_t written =
        sf_writef_short(m_writer, reinterpret_cast<const short *>(m_carry.constData()), frames);
    m_carry.remove(0, qsizetype(frames * qint64(sizeof(short))));
    if (written > 0)
        m_recorded += written;
    if (written != frames) {
        stopRecording();
        if (std::exchange(m_pending, false))
            notifyLater(Failure);
    }
}

void WavAudioDevice::stopRecording()
{
    if (m_activity != Activity::Recording)
        return;
    readInput();
    if (m_source) {
        m_source->disconnect(this);
        if (m_input)
            m_input->disconnect(this);
        m_source->stop();
        m_source->deleteLater();
    }
    m_source = nullptr;
    m_input = nullptr;
    m_activity = Activity::Idle;
    if (m_writer)
        sf_close(m_writer); // writes the final sizes into the header
    m_writer = nullptr;
    m_carry.clear();

    // The recording is now the open file: it can be played, and saved.
    m_unsaved = true;
    SF_INFO info{};
    m_file = m_temp ? sf_open(QFile::encodeName(m_temp->fileName()).constData(), SFM_READ, &info) : nullptr;
    m_frames = m_file ? info.frames : 0;
    m_rate = m_file ? info.samplerate : m_recordRate;
    m_channels = 1;
    m_isFloat = m_floatOut = false;
    m_frame = 0;
}

void WavAudioDevice::save(bool armed)
{
    if (!m_open)
        throw DeviceError(QStringLiteral("El dispositivo de sonido no está abierto."));
    if (m_fileName.isEmpty())
        throw DeviceError(QStringLiteral("No se ha indicado el archivo donde guardar."));
    if (m_activity == Activity::Recording) {
        stopRecording();
        if (std::exchange(m_pending, false))
            notifyLater(Successful);
    } else {
        interrupt(false);
    }

    const QString target = m_fileName;
    if (!m_unsaved || !m_temp) {
        // Nothing recorded: the open file is written out under the new name, if it differs.
        if (!m_file)
            throw DeviceError(QStringLiteral("No hay nada grabado que guardar."));
        if (QFileInfo(m_openPath) != QFileInfo(target))
            copySound(m_openPath, target);
    } else {
        const QString tempPath = m_temp->fileName();
        if (m_file)
            sf_close(m_file);
        m_file = nullptr;
        bool saved = false;
        QString failure;
        try {
            if (m_temp->besides(target))
                m_temp->commit(target);
            else
                copySound(tempPath, target);
            saved = true;
        } catch (const DeviceError &e) {
            failure = e.reason();
        }
        if (!saved) {
            // The recording stays open, unsaved, for another try.
            SF_INFO info{};
            m_file = sf_open(QFile::encodeName(tempPath).constData(), SFM_READ, &info);
            m_frame = 0;
            throw DeviceError(failure);
        }
        m_temp.reset();
        m_unsaved = false;
        closeFile();
        try {
            openFile(target);
        } catch (const DeviceError &) {
            // Saved but not readable back: leave the device closed.
        }
    }
    if (armed)
        notifyLater(Successful);
}

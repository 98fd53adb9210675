#include "wavaudiodevice.h"

#include "deviceerror.h"
#include "soundcards.h"
#include "systempath.h"
#include "wavfile.h"

#include <QPointer>

#include <sndfile.h>

#include <algorithm>
#include <utility>

WavAudioDevice::WavAudioDevice(QObject *parent) : AudioDevice(parent)
{
    m_status.setInterval(1000);
    connect(&m_status, &QTimer::timeout, this, &AudioDevice::StatusUpdate);
    connect(&m_player, &WavPlayer::finished, this, &WavAudioDevice::finishPlay);
    connect(&m_player, &WavPlayer::failed, this, &WavAudioDevice::failPlay);
    connect(&m_recorder, &WavRecorder::failed, this, &WavAudioDevice::failRecording);
    m_levelWait.setInterval(LevelPollMs);
    connect(&m_levelWait, &QTimer::timeout, this, &WavAudioDevice::resumePlay);
}

// The player and the recorder go first (declared last): they stop the sound and let the sink,
// the source and the stream go, none of which can reach back into this device.
WavAudioDevice::~WavAudioDevice() = default;

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
    openEmpty(m_fileName);
    if (armed && !interrupted)
        notifyLater(Successful);
}

qint32 WavAudioDevice::length() const
{
    if (m_activity == Activity::Recording)
        return m_recorder.recordedMs();
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

qint64 WavAudioDevice::heardFrame() const
{
    return m_activity == Activity::Playing ? m_player.heardFrame(m_frame) : m_frame;
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

void WavAudioDevice::notifyPending(int code)
{
    if (std::exchange(m_pending, false))
        notifyLater(code);
}

void WavAudioDevice::requireOpen() const
{
    if (!m_open)
        throw DeviceError(QStringLiteral("El dispositivo de sonido no está abierto."));
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

// ---- Commands on the open file.

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
    if (!SystemPath::exists(path)) {
        openEmpty(path); // nothing there yet: ready to record
        return;
    }
    requireRegularFile(path);

    SF_INFO info{};
    m_file = openWavFile(path, info);
    m_open = true;
    m_openPath = path;
    m_frames = info.frames;
    m_frame = 0;
    m_rate = info.samplerate;
    m_channels = info.channels;
    m_isFloat = isFloatFormat(info.format);
    m_floatOut = wantsFloatOutput(info.format);
    m_level.prepare(path);
    m_status.start();
}

void WavAudioDevice::openEmpty(const QString &path)
{
    m_open = true;
    m_openPath = path;
    m_frames = m_frame = 0;
    m_rate = m_channels = 0;
    m_isFloat = false;
    m_status.start();
}

void WavAudioDevice::closeFile()
{
    m_file.close();
    m_recorder.discard(); // an unsaved recording goes with it
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
    requireOpen();
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

void WavAudioDevice::play(bool armed)
{
    requireOpen();
    if (m_activity == Activity::Playing) {
        if (armed) {
            if (m_pending)
                notifyLater(Superseded);
            m_pending = true;
        }
        return;
    }
    interrupt(false); // a recording ends here and becomes what is played
    m_failureReason.clear();
    // A message with no sound behind it is never played as silence on the air.
    checkPlayable();

    if (m_frame >= m_frames) {
        // Already at the end: complete after the lead and tail alone.
        m_frame = m_frames;
        m_activity = Activity::Playing;
        m_pending = armed;
        m_player.startSilent();
        return;
    }

    const QAudioDevice output = outputCard();
    const QAudioFormat fmt = WavPlayer::outputFormat(output, m_rate, m_channels, m_floatOut);
    if (!fmt.isValid())
        throw DeviceError(QStringLiteral("No hay ninguna salida de sonido disponible."));
    // A message still being measured starts when its measure is done: the caller's thread (the
    // window's) never waits for it.
    if (m_level.ready(levelPath())) {
        startSound(output, fmt, true);
    } else {
        m_levelWaitClock.start();
        m_levelWait.start();
    }
    m_activity = Activity::Playing;
    m_pending = armed;
}

void WavAudioDevice::startSound(const QAudioDevice &output, const QAudioFormat &fmt, bool measured)
{
    seekWavFile(m_file, m_frame);
    const float gain = measured ? m_level.factorFor(levelPath()) : m_level.unmeasured();
    m_player.start({m_file.get(), m_frames, m_rate, m_channels, m_isFloat, gain}, m_frame, output, fmt);
}

void WavAudioDevice::resumePlay()
{
    if (m_activity != Activity::Playing)
        return;
    // The transmission's guard allows 2 s over the message: a measure slower than that must not
    // cost the message its end, so it then plays as recorded.
    const bool measured = m_level.ready(levelPath());
    if (!measured && !m_levelWaitClock.hasExpired(LevelWaitMaxMs))
        return;
    m_levelWait.stop();
    try {
        const QAudioDevice output = outputCard();
        startSound(output, WavPlayer::outputFormat(output, m_rate, m_channels, m_floatOut), measured);
    } catch (const DeviceError &e) {
        failPlay(e.reason());
    }
}

QString WavAudioDevice::levelPath() const
{
    // A recording not saved yet is what plays, not the file it will replace.
    return m_recorder.hasTake() ? m_recorder.takeFileName() : m_openPath;
}

void WavAudioDevice::checkPlayable() const
{
    requireOpen();
    if (m_activity == Activity::Recording)
        return; // the recording becomes what is played
    const QString path = SystemPath::readable(m_openPath);
    if (!m_file)
        throw DeviceError(QStringLiteral("No se encuentra el archivo del mensaje «%1».").arg(path));
    if (m_frames == 0)
        throw DeviceError(QStringLiteral("El mensaje «%1» está vacío: no contiene sonido.").arg(path));
    outputCard();
}

QAudioDevice WavAudioDevice::outputCard() const
{
    const QAudioDevice output = findOutputCard(m_outputCard);
    if (output.isNull())
        throw DeviceError(QStringLiteral("No hay ninguna salida de sonido disponible."));
    return output;
}

void WavAudioDevice::finishPlay()
{
    if (m_activity != Activity::Playing)
        return;
    m_activity = Activity::Idle;
    m_frame = m_frames;
    notifyPending(Successful);
}

void WavAudioDevice::stopPlay()
{
    m_levelWait.stop();
    m_frame = heardFrame();
    m_player.stop();
    m_activity = Activity::Idle;
}

void WavAudioDevice::failPlay(const QString &reason)
{
    m_failureReason = reason;
    stopPlay();
    notifyPending(Failure);
}

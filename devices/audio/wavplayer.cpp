#include "wavplayer.h"

#include "deviceerror.h"
#include "playtiming.h"
#include "wavaudiostream.h"

#include <QAudioDevice>
#include <QAudioSink>

#include <algorithm>

using namespace PlayTiming;

WavPlayer::WavPlayer(QObject *parent) : QObject(parent)
{
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &WavPlayer::onTick);
    m_tailTimer.setTimerType(Qt::PreciseTimer);
    m_tailTimer.setSingleShot(true);
    connect(&m_tailTimer, &QTimer::timeout, this, &WavPlayer::finished);
}

WavPlayer::~WavPlayer() = default;

QAudioFormat WavPlayer::outputFormat(const QAudioDevice &dev, int rate, int channels, bool floatOut)
{
    if (dev.isNull())
        return {};
    QAudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    f.setSampleFormat(floatOut ? QAudioFormat::Float : QAudioFormat::Int16);
    if (dev.isFormatSupported(f))
        return f;
    f.setSampleFormat(floatOut ? QAudioFormat::Int16 : QAudioFormat::Float);
    if (dev.isFormatSupported(f))
        return f;
    // The stream converts to whatever the output prefers.
    return dev.preferredFormat();
}

qint64 WavPlayer::readAheadBytes() const
{
    return std::max(m_peakReadAhead, m_stream ? m_stream->peakBufferBytes() : 0);
}

void WavPlayer::startSilent()
{
    m_fed = m_leadTrimmed = false;
    m_drained = true;
    m_tailTimer.start(m_leadMs + m_tailMs);
}

void WavPlayer::start(const Source &source, qint64 from, const QAudioDevice &output, const QAudioFormat &fmt)
{
    m_source = source;
    m_startFrame = from;
    m_fed = m_drained = false;
    m_leadTrimmed = false;
    m_outRate = fmt.sampleRate();
    if (!m_server)
        m_server = askSoundServerKind();
    m_drainMarginUs = drainMarginUs(*m_server);
    AudioOwner<WavAudioStream> stream(
        new WavAudioStream(source.file, source.rate, source.channels, source.isFloat, fmt, source.gain));
    stream->setLeadFrames(qint64(m_leadMs + PrerollMs) * m_outRate / 1000);
    stream->setExpectedFrames(source.frames - from);
    stream->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const quint64 serial = ++m_serial;
    connect(
        stream.get(), &WavAudioStream::drained, this,
        [this, serial] {
            if (serial != m_serial)
                return; // queued before that play ended
            if (m_stream && m_stream->cutShort())
                return fail(QStringLiteral("El archivo del mensaje se ha acortado mientras se emitía."));
            m_fed = true;
            m_tick.start(DrainTickMs);
        },
        Qt::QueuedConnection);

    SinkOwner sink(new QAudioSink(output, fmt));
    m_playClock.start();
    sink->start(stream.get());
    if (audioFailed(sink->error()) || sink->state() == QAudio::StoppedState)
        throw DeviceError(QStringLiteral("No se puede reproducir por la salida de sonido (error %1).")
                              .arg(int(sink->error())));
    connect(sink.get(), &QAudioSink::stateChanged, this, &WavPlayer::onSinkState);
    m_stream = std::move(stream);
    m_sink = std::move(sink);
    m_lastProcessed = -1;
    m_progressClock.start();
    m_tick.start(PlayTickMs);
}

void WavPlayer::stop()
{
    m_tick.stop();
    m_tailTimer.stop();
    letGo();
}

void WavPlayer::letGo()
{
    ++m_serial;
    m_sink.reset();
    if (m_stream) {
        m_peakReadAhead = std::max(m_peakReadAhead, m_stream->peakBufferBytes());
        m_stream.reset();
    }
}

qint64 WavPlayer::heardFrame(qint64 otherwise) const
{
    if (!m_sink || !m_stream || m_drained)
        return otherwise;
    return PlayTiming::heardFrame(m_sink->processedUSecs(), m_stream->leadFrames(), m_outRate, m_startFrame,
                                  m_source.frames, m_source.rate);
}

void WavPlayer::onTick()
{
    if (!m_sink)
        return;
    const qint64 processed = m_sink->processedUSecs();
    if (processed != m_lastProcessed) {
        m_lastProcessed = processed;
        m_progressClock.restart();
    } else if (m_progressClock.elapsed() > StallMs) {
        fail(); // the output stopped taking sound: the server or the device is gone
        return;
    }

    if (!m_leadTrimmed && processed > 0) {
        // The first frame sounded processed µs ago: shorten the silence by the start-up delay so
        // that the first real sample comes out when the lead time is up.
        m_leadTrimmed = true;
        const qint64 startUs = m_playClock.nsecsElapsed() / 1000 - processed;
        const qint64 leadUs = trimmedLeadUs(m_leadMs, startUs);
        m_stream->setLeadFrames(std::min(m_stream->leadFrames(), leadUs * m_outRate / 1000000));
    }

    if (!m_fed)
        return;
    if (allHeard(processed, m_stream->soundEndFrame(), m_outRate, m_tailMs, m_drainMarginUs)) {
        m_tick.stop();
        m_drained = true;
        letGo();
        emit finished();
    }
}

void WavPlayer::onSinkState()
{
    if (m_sink && audioFailed(m_sink->error()))
        fail();
}

void WavPlayer::fail(const QString &reason)
{
    m_server.reset(); // another server may take the place of the one that failed
    emit failed(reason);
}

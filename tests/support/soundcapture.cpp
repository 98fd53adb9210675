#include "soundcapture.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <sndfile.h>

#include <cmath>
#include <ctime>
#include <vector>

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

bool soundServerAvailable()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return false;
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

bool writeToneWav(const QString &path, int rate, int channels, qint64 frames, double amplitude, double frequency,
                  int format)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format ? format : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> block(size_t(4096 * channels));
    for (qint64 done = 0; done < frames;) {
        const qint64 n = qMin<qint64>(4096, frames - done);
        for (qint64 i = 0; i < n; ++i) {
            const auto v = float(amplitude * std::sin(2 * M_PI * frequency * double(done + i) / rate));
            for (int c = 0; c < channels; ++c)
                block[size_t(i * channels + c)] = v;
        }
        if (sf_writef_float(file, block.data(), n) != n) {
            sf_close(file);
            return false;
        }
        done += n;
    }
    return sf_close(file) == 0;
}

SoundCapture::SoundCapture(int rate, QObject *parent) : QObject(parent), m_rate(rate)
{
    connect(&m_parec, &QProcess::readyReadStandardOutput, this, &SoundCapture::readMore);
}

SoundCapture::~SoundCapture()
{
    stop();
}

bool SoundCapture::start()
{
    m_data.clear();
    m_haveOrigin = false;
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("-d"), QStringLiteral("tx.monitor"), QStringLiteral("--raw"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(m_rate),
                   QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=5")});
    if (!m_parec.waitForStarted(3000))
        return false;
    // Wait for the first data, so that nothing played afterwards is missed.
    return m_parec.waitForReadyRead(3000);
}

void SoundCapture::stop()
{
    if (m_parec.state() == QProcess::NotRunning)
        return;
    readMore();
    m_parec.terminate();
    m_parec.waitForFinished(2000);
}

void SoundCapture::readMore()
{
    const qint64 now = monotonicNs();
    m_data += m_parec.readAllStandardOutput();
    // The data that just arrived ended no later than now: the earliest such bound fixes the origin.
    const qint64 origin = now - samples() * 1000000000LL / m_rate;
    if (!m_haveOrigin || origin < m_originNs) {
        m_originNs = origin;
        m_haveOrigin = true;
    }
}

bool SoundCapture::catchUp(qint64 untilNs, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_haveOrigin || sampleNs(samples()) < untilNs) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QList<SoundCapture::Burst> SoundCapture::bursts(double threshold, int gapMs, qint64 fromSample) const
{
    const auto *pcm = reinterpret_cast<const qint16 *>(m_data.constData());
    const qint64 count = samples();
    const int limit = int(threshold * 32767);
    const qint64 gap = qint64(gapMs) * m_rate / 1000;
    QList<Burst> found;
    qint64 start = -1, last = -1;
    for (qint64 i = qMax<qint64>(0, fromSample); i < count; ++i) {
        if (std::abs(int(pcm[i])) < limit)
            continue;
        if (start >= 0 && i - last > gap) {
            found.append({sampleNs(start), sampleNs(last + 1)});
            start = -1;
        }
        if (start < 0)
            start = i;
        last = i;
    }
    if (start >= 0)
        found.append({sampleNs(start), sampleNs(last + 1)});
    return found;
}

QList<LineEvent> readLineLog(const QString &path)
{
    QList<LineEvent> events;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return events;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList words = in.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 4)
            continue;
        LineEvent e;
        e.ns = words.at(0).toLongLong();
        for (const QString &w : words) {
            if (w == QLatin1String("close"))
                e.close = true;
            else if (w == QLatin1String("open"))
                e.open = true;
            else if (w.startsWith(QLatin1String("DTR=")))
                e.dtr = w.endsWith(QLatin1Char('1'));
            else if (w.startsWith(QLatin1String("RTS=")))
                e.rts = w.endsWith(QLatin1Char('1'));
            else if (w.startsWith(QLatin1String("HUPCL=")))
                e.hupcl = w.mid(6).toInt();
        }
        events.append(e);
    }
    return events;
}

QList<KeyPeriod> keyPeriods(const QList<LineEvent> &events)
{
    QList<KeyPeriod> periods;
    bool up = false;
    for (const LineEvent &e : events) {
        const bool keyed = e.dtr || e.rts;
        if (keyed && !up)
            periods.append({e.ns, 0});
        else if (!keyed && up)
            periods.last().downNs = e.ns;
        up = keyed;
    }
    return periods;
}

#include "soundcapture.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

bool soundServerAvailable()
{
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER") && !pactl({QStringLiteral("info")}).isNull();
}

QString pactl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool writeToneWav(const QString &path, int rate, int channels, qint64 frames, double amplitude,
                  double frequency, int format)
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

CaptureClock::CaptureClock(int rate, int windowMs, int gapMs)
    : m_rate(rate), m_windowNs(qint64(windowMs) * 1000000), m_gapNs(qint64(gapMs) * 1000000)
{
}

void CaptureClock::arrived(qint64 arrivalNs, qint64 total)
{
    const qint64 bound = arrivalNs - total * 1000000000LL / m_rate;
    m_arrivals.push_back({total, bound});
    if (!m_haveOrigin) {
        m_haveOrigin = true;
        m_originNs = bound;
        m_windowStartNs = arrivalNs;
        m_windowLate = 0;
        return;
    }
    if (bound < m_originNs) {
        // A tighter bound: everything held so far moves earlier, and every lateness grows with it.
        m_level += m_originNs - bound;
        m_windowLate += m_originNs - bound;
        m_originNs = bound;
    }
    if (arrivalNs - m_windowStartNs >= m_windowNs) {
        // A whole stretch of arrivals, none near the bound: what it is late by went missing.
        if (m_windowLate > m_level + m_gapNs)
            m_gaps.append({m_windowSample, m_windowLate - m_level});
        m_level = m_windowLate;
        m_windowStartNs = arrivalNs;
        m_windowSample = total;
        m_windowLate = bound - m_originNs;
        return;
    }
    m_windowLate = std::min(m_windowLate, bound - m_originNs);
}

qint64 CaptureClock::sampleNs(qint64 sample) const
{
    const qint64 span = m_rate; // a second either side
    auto it = std::lower_bound(m_arrivals.begin(), m_arrivals.end(), sample - span,
                               [](const Arrival &a, qint64 v) { return a.total < v; });
    qint64 origin = std::numeric_limits<qint64>::max();
    for (; it != m_arrivals.end() && it->total <= sample + span; ++it)
        origin = std::min(origin, it->boundNs);
    if (origin == std::numeric_limits<qint64>::max())
        origin = m_originNs; // no arrival near it (after a long stall): the whole capture's bound
    return origin + sample * 1000000000LL / m_rate;
}

struct SoundCapture::Shared
{
    mutable std::mutex lock;
    QByteArray data;
    CaptureClock clock;
    QString error;
    bool stopping = false;
    pid_t pid = -1;
    std::thread reader;
    explicit Shared(int rate) : clock(rate) {}
};

SoundCapture::SoundCapture(int rate, QObject *parent) : QObject(parent), m_rate(rate) {}

SoundCapture::~SoundCapture()
{
    stop();
}

bool SoundCapture::start()
{
    stop();
    m_shared = std::make_unique<Shared>(m_rate);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    fcntl(fds[0], F_SETPIPE_SZ, 1 << 20); // room for seconds of sound, should the thread be held up
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const QByteArray rate = "--rate=" + QByteArray::number(m_rate);
    const char *argv[] = {"parec",          "-d",           m_source.constData(), "--raw", "--format=s16le",
                          rate.constData(), "--channels=1", "--latency-msec=10",  nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return false;
    }
    m_shared->pid = pid;
    m_shared->reader = std::thread([this, fd = fds[0]] { readLoop(fd); });
    // Wait for the first data, so that nothing played afterwards is missed.
    const QDeadlineTimer deadline(3000);
    while (samples() == 0 && fault().isEmpty() && !deadline.hasExpired())
        QThread::msleep(2);
    return samples() > 0;
}

void SoundCapture::readLoop(int fd)
{
    Shared &s = *m_shared;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        const qint64 now = monotonicNs();
        if (got < 0 && errno == EINTR)
            continue;
        std::lock_guard<std::mutex> hold(s.lock);
        if (got <= 0) {
            if (!s.stopping)
                s.error = QStringLiteral("parec stopped capturing");
            break;
        }
        s.data.append(buffer, got);
        s.clock.arrived(now, s.data.size() / 2);
    }
    ::close(fd);
}

void SoundCapture::stop()
{
    if (!m_shared || m_shared->pid <= 0)
        return;
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        m_shared->stopping = true;
    }
    ::kill(m_shared->pid, SIGTERM);
    if (m_shared->reader.joinable())
        m_shared->reader.join();
    ::waitpid(m_shared->pid, nullptr, 0);
    m_shared->pid = -1;
}

qint64 SoundCapture::samples() const
{
    if (!m_shared)
        return 0;
    std::lock_guard<std::mutex> hold(m_shared->lock);
    return m_shared->data.size() / 2;
}

qint64 SoundCapture::sampleNs(qint64 sample) const
{
    if (!m_shared)
        return 0;
    std::lock_guard<std::mutex> hold(m_shared->lock);
    return m_shared->clock.sampleNs(sample);
}

QString SoundCapture::fault() const
{
    if (!m_shared)
        return QStringLiteral("not started");
    std::lock_guard<std::mutex> hold(m_shared->lock);
    QStringList what;
    if (!m_shared->error.isEmpty())
        what << m_shared->error;
    for (const CaptureClock::Gap &g : m_shared->clock.gaps())
        what << QStringLiteral("about %1 ms of samples lost near %2 s into the capture")
                    .arg(double(g.lostNs) / 1e6, 0, 'f', 1)
                    .arg(double(g.sample) / m_rate, 0, 'f', 2);
    return what.join(QStringLiteral("; "));
}

bool SoundCapture::catchUp(qint64 untilNs, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (samples() == 0 || sampleNs(samples()) < untilNs) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QList<float> SoundCapture::pcm(qint64 from, qint64 to) const
{
    QList<float> out;
    if (!m_shared)
        return out;
    std::lock_guard<std::mutex> hold(m_shared->lock);
    const auto *data = reinterpret_cast<const qint16 *>(m_shared->data.constData());
    to = qMin<qint64>(to, m_shared->data.size() / 2);
    for (qint64 i = qMax<qint64>(0, from); i < to; ++i)
        out << data[i] / 32768.0f;
    return out;
}

std::vector<float> SoundCapture::pcm(qint64 fromSample) const
{
    std::vector<float> out;
    if (!m_shared)
        return out;
    std::lock_guard<std::mutex> hold(m_shared->lock);
    const auto *pcm = reinterpret_cast<const qint16 *>(m_shared->data.constData());
    for (qint64 i = qMax<qint64>(0, fromSample); i < m_shared->data.size() / 2; ++i)
        out.push_back(float(pcm[i]) / 32768.0f);
    return out;
}

QString SoundCapture::describe(const QList<Burst> &bursts)
{
    QStringList parts;
    for (const Burst &b : bursts)
        parts << QStringLiteral("%1 ms at +%2 ms")
                     .arg(b.ms(), 0, 'f', 1)
                     .arg((b.startNs - bursts[0].startNs) / 1e6, 0, 'f', 1);
    return QStringLiteral("%1 bursts: %2").arg(bursts.size()).arg(parts.join(QStringLiteral(", ")));
}

QList<SoundCapture::Burst> SoundCapture::bursts(double threshold, int gapMs, qint64 fromSample) const
{
    QList<Burst> found;
    if (!m_shared)
        return found;
    std::lock_guard<std::mutex> hold(m_shared->lock);
    const auto *pcm = reinterpret_cast<const qint16 *>(m_shared->data.constData());
    const qint64 count = m_shared->data.size() / 2;
    const CaptureClock &clock = m_shared->clock;
    const int limit = int(threshold * 32767);
    const qint64 gap = qint64(gapMs) * m_rate / 1000;
    qint64 start = -1, last = -1;
    for (qint64 i = qMax<qint64>(0, fromSample); i < count; ++i) {
        if (std::abs(int(pcm[i])) < limit)
            continue;
        if (start >= 0 && i - last > gap) {
            found.append({clock.sampleNs(start), clock.sampleNs(last + 1)});
            start = -1;
        }
        if (start < 0)
            start = i;
        last = i;
    }
    if (start >= 0)
        found.append({clock.sampleNs(start), clock.sampleNs(last + 1)});
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

#include "faultkit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>

namespace {
bool pointsInto(const QString &dir)
{
    return !dir.isEmpty() && qEnvironmentVariable("PULSE_SERVER") == QStringLiteral("unix:") +
                                                                         QDir(dir).absolutePath() +
                                                                         QStringLiteral("/run/pulse/native");
}

// Dead, or a zombie its parent has not reaped yet (the servers' daemons are orphans, reaped by
// whoever adopted them, sometimes seconds later).
bool processGone(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && line.size() > close + 2 && line.at(close + 2) == 'Z';
}

bool killPidFile(const QString &path)
{
    QFile pidFile(path);
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = pid_t(pidFile.readAll().trimmed().toLong());
    if (pid <= 1 || ::kill(pid, SIGKILL) != 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    while (!processGone(pid) && clock.elapsed() < 5000)
        QThread::msleep(10);
    return processGone(pid);
}
} // namespace

OwnedSoundServer ownedSoundServer()
{
    const QString pulse = qEnvironmentVariable("PREGONAL_PULSE_DIR");
    const QString pipewire = qEnvironmentVariable("PREGONAL_PIPEWIRE_DIR");
    OwnedSoundServer s;
    if (pointsInto(pulse)) {
        s.dir = QDir(pulse).absolutePath();
        s.script = QStringLiteral(PREGONAL_SCRIPTS "/testpulse.sh");
    } else if (pointsInto(pipewire)) {
        s.dir = QDir(pipewire).absolutePath();
        s.pipewire = true;
        s.script = QStringLiteral(PREGONAL_SCRIPTS "/testpipewire.sh");
    }
    return s;
}

bool killSoundServer(const OwnedSoundServer &server)
{
    if (!server.pipewire) {
        // PulseAudio will not start again while its pid file names a process, a zombie included.
        const QString pidFile = server.dir + QStringLiteral("/run/pulse/pid");
        return killPidFile(pidFile) && (QFile::remove(pidFile) || !QFile::exists(pidFile));
    }
    // The graph and the PulseAudio front end die together, as when the user's session loses them.
    const bool front = killPidFile(server.dir + QStringLiteral("/pipewire-pulse.pid"));
    return killPidFile(server.dir + QStringLiteral("/pipewire.pid")) && front;
}

bool restartSoundServer(const OwnedSoundServer &server)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(server.pipewire ? QStringLiteral("PREGONAL_PIPEWIRE_DIR")
                               : QStringLiteral("PREGONAL_PULSE_DIR"),
               server.dir);
    env.remove(QStringLiteral("LD_PRELOAD"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("bash"), {server.script, QStringLiteral("start")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return false;
    return soundServerAvailable();
}

bool linesDownAtEnd(const QList<LineEvent> &events)
{
    return events.isEmpty() || (!events.last().dtr && !events.last().rts);
}

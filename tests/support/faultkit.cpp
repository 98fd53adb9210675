#include "faultkit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>

QString ownedPulseDir()
{
    const QString dir = qEnvironmentVariable("PREGONAL_PULSE_DIR");
    if (dir.isEmpty())
        return {};
    const QString expected =
        QStringLiteral("unix:") + QDir(dir).absolutePath() + QStringLiteral("/run/pulse/native");
    return qEnvironmentVariable("PULSE_SERVER") == expected ? QDir(dir).absolutePath() : QString();
}

bool killSoundServer(const QString &dir)
{
    QFile pidFile(dir + QStringLiteral("/run/pulse/pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = pid_t(pidFile.readAll().trimmed().toLong());
    if (pid <= 1 || ::kill(pid, SIGKILL) != 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    while (::kill(pid, 0) == 0 && clock.elapsed() < 5000)
        QThread::msleep(10);
    return ::kill(pid, 0) != 0;
}

bool restartSoundServer(const QString &dir, const QString &script)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PREGONAL_PULSE_DIR"), dir);
    env.remove(QStringLiteral("LD_PRELOAD"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("bash"), {script, QStringLiteral("start")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return false;
    return soundServerAvailable();
}

bool linesDownAtEnd(const QList<LineEvent> &events)
{
    return events.isEmpty() || (!events.last().dtr && !events.last().rts);
}

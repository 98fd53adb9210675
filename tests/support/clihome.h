#pragma once

// The program run from the command line as a script runs it, for the tests that include this
// (PREGONAL_PROGRAM names the program): a home of its own with the station's settings, the pty
// as COM1, and the state folder for the log.
#include "transmissionlog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// Starts a session bus of the caller's own in bus, whatever the one it was started on; its
// address, empty when it did not start.
inline QString startPrivateBus(QProcess &bus)
{
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!bus.waitForReadyRead(5000))
        return QString();
    return QString::fromUtf8(bus.readLine()).trimmed();
}

// A home of its own: settings naming the pty as COM1, a state folder for the log.
struct Home
{
    QTemporaryDir dir;
    int master = -1;
    QString slave;
    QString preload; // more libraries to preload into the program
    // Variables of the environment to set or (with an empty value) to remove.
    QList<QPair<QString, QString>> environment;

    // conf: more lines of group "conf".
    explicit Home(const QByteArray &extraSettings = QByteArray(), const QByteArray &conf = QByteArray())
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        slave = QString::fromLocal8Bit(ptsname(master));
        QDir().mkpath(dir.filePath(QStringLiteral("config/Pregonal")));
        QFile file(dir.filePath(QStringLiteral("config/Pregonal/Pregonal.conf")));
        if (file.open(QIODevice::WriteOnly))
            file.write("[conf]\npuerto=1\nretardo=300\ncola=100\n" + conf +
                       "\n[puertos]\nCOM1=" + slave.toLocal8Bit() + "\n\n" + extraSettings);
    }
    ~Home()
    {
        if (master >= 0)
            ::close(master);
    }
    QString logFolder() const { return dir.filePath(QStringLiteral("state/Pregonal")); }
    QList<QStringList> lines() const { return readLatestLog(logFolder(), 20); }

    // program: another that starts this one, as a shell does.
    void start(QProcess &p, const QStringList &args,
               const QString &program = QStringLiteral(PREGONAL_PROGRAM)) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
        if (!preload.isEmpty())
            env.insert(QStringLiteral("LD_PRELOAD"),
                       env.value(QStringLiteral("LD_PRELOAD")) + QLatin1Char(' ') + preload);
        for (const auto &[name, value] : environment)
            value.isEmpty() ? env.remove(name) : env.insert(name, value);
        p.setProcessEnvironment(env);
        p.start(program, args);
    }
    // Runs the program to its end; its exit status, -1 when it did not end in time.
    int run(const QStringList &args, QString *stderrText = nullptr, int timeoutMs = 15000,
            const QString &program = QStringLiteral(PREGONAL_PROGRAM)) const
    {
        QProcess p;
        start(p, args, program);
        const bool ended = p.waitForFinished(timeoutMs);
        if (stderrText)
            *stderrText = QString::fromUtf8(p.readAllStandardError());
        if (!ended) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

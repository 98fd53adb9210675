// --enviar alone against --enviar handed to a running --programa: from the command's start to
// the key going up, on the pty the shim logs, and how many transmissions each run of commands
// gave. Run by bench/run.sh (LD_PRELOAD ptyshim, PREGONAL_LINELOG, a private sound server); it
// starts a session bus of its own.
#include "benchtime.h"
#include "clihome.h"
#include "soundcapture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <ctime>

namespace {
using benchtime::nowNs;
using benchtime::percentile;

struct Figures
{
    QList<double> keyUpMs;
    int transmissions = 0;
};

// Runs --enviar runs times; each key-up measured from the command's start.
Figures measure(const Home &home, const QString &lineLog, const QString &tone, int runs)
{
    Figures f;
    QFile::resize(lineLog, 0);
    for (int i = 0; i < runs; ++i) {
        const qint64 before = keyPeriods(readLineLog(lineLog)).size();
        const qint64 t0 = nowNs();
        if (home.run({QStringLiteral("--enviar"), tone}) != 0)
            continue;
        const QList<KeyPeriod> keyed = keyPeriods(readLineLog(lineLog));
        if (keyed.size() > before)
            f.keyUpMs << (keyed.at(int(before)).upNs - t0) / 1e6;
    }
    f.transmissions = int(keyPeriods(readLineLog(lineLog)).size());
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    const QString lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("aviso.wav"));
    writeToneWav(tone, 48000, 1, 48000 * 3 / 10);

    QProcess bus;
    const QString address = startPrivateBus(bus);

    Home home;
    home.environment = {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address}};
    const Figures alone = measure(home, lineLog, tone, runs);

    QProcess owner;
    home.start(owner, {QStringLiteral("--programa")});
    QString seen;
    while (!seen.contains(QStringLiteral("programación en marcha")) && owner.waitForReadyRead(10000))
        seen += QString::fromUtf8(owner.readAllStandardError());
    const Figures handed = measure(home, lineLog, tone, runs);
    owner.terminate();
    owner.waitForFinished(10000);
    bus.terminate();
    bus.waitForFinished(5000);

    QTextStream out(stdout);
    out << "command start -> key-up (ms), " << runs << " commands each: median / p95 / worst; transmissions\n";
    for (const auto &[name, f] : {std::pair<const char *, const Figures &>{"--enviar alone        ", alone},
                                  std::pair<const char *, const Figures &>{"--enviar to --programa", handed}}) {
        out << name << "  " << QString::number(percentile(f.keyUpMs, 0.5), 'f', 1) << " / "
            << QString::number(percentile(f.keyUpMs, 0.95), 'f', 1) << " / "
            << QString::number(percentile(f.keyUpMs, 1.0), 'f', 1) << "; " << f.transmissions << " of " << runs
            << "\n";
    }
    return 0;
}

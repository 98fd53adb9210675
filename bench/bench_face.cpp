// The window as the face of pregonal --programa: how long after the service's state changes the
// window's first panel shows it. The service keys and unkeys a pty the shim logs (PREGONAL_LINELOG,
// LD_PRELOAD ptyshim, as bench/run.sh runs it); its state turns "enviando" just before the key goes
// up and idle just after it goes down, so each panel change is timed from that line change. It
// starts a session bus of its own.
#include "benchtime.h"
#include "clihome.h"
#include "facewindow.h"
#include "soundcapture.h"

#include <QApplication>
#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <ctime>

namespace {
using benchtime::nowNs;
using benchtime::percentile;

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int changes = qMax(2, argc > 1 ? QByteArray(argv[1]).toInt() : 50);
    const QString lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("aviso.wav"));
    writeToneWav(tone, 48000, 1, 48000 * 3 / 10);

    QProcess bus;
    const QString address = startPrivateBus(bus);
    Home home;
    home.environment = {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address}};
    QProcess owner;
    home.start(owner, {QStringLiteral("--programa")});
    QString seen;
    while (!seen.contains(QStringLiteral("programación en marcha")) && owner.waitForReadyRead(10000))
        seen += QString::fromUtf8(owner.readAllStandardError());

    QTextStream out(stdout);
    FaceWindow face(home, QDBusConnection::connectToBus(address, QStringLiteral("bench")));
    if (!face.window) {
        out << "no station on the bus: " << seen << "\n";
        return 1;
    }
    face.openMessage(tone);
    // After the window's own slot: the panel has just been set.
    QList<std::pair<QString, qint64>> shown;
    QObject::connect(face.face, &RemoteStation::stateChanged, &app,
                     [&] { shown << std::pair{face.panel(1), nowNs()}; });
    QFile::resize(lineLog, 0);
    QList<double> upMs;
    QList<double> downMs;
    for (int i = 0; i < changes / 2; ++i) {
        shown.clear();
        face.window->mnuunavez_Click();
        if (!face.waitFor(QStringLiteral("TX")) || !face.waitFor(QStringLiteral("Stand by")))
            break;
        const QList<KeyPeriod> keyed = keyPeriods(readLineLog(lineLog));
        if (keyed.isEmpty() || shown.size() != 2)
            continue;
        upMs << (shown.at(0).second - keyed.constLast().upNs) / 1e6;
        downMs << (shown.at(1).second - keyed.constLast().downNs) / 1e6;
    }
    owner.terminate();
    owner.waitForFinished(10000);
    bus.terminate();
    bus.waitForFinished(5000);

    out << "service's state change -> the face's first panel (ms), " << upMs.size() + downMs.size()
        << " changes: median / p95 / worst\n";
    const auto row = [&out](const char *name, const QList<double> &v) {
        out << name << "  " << QString::number(percentile(v, 0.5), 'f', 1) << " / "
            << QString::number(percentile(v, 0.95), 'f', 1) << " / " << QString::number(percentile(v, 1.0), 'f', 1)
            << "\n";
    };
    row("key down -> Stand by", downMs);
    row("key up   -> TX      ", upMs);
    QList<double> all = downMs + upMs;
    row("both               ", all);
    out << "(TX may show before the key goes up: the state turns first, the key follows.)" << Qt::endl;
    return 0;
}

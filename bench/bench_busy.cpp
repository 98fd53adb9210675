// How soon a squelch line's change is seen, and what watching an idle channel costs: a serial
// port's DCD (a pty whose status lines the modem-line shim reports from a file) and a CM108
// input bit (reports written into a FIFO that stands for its hidraw node).
//   LD_PRELOAD=libptyshim.so bench_busy [changes]
#include "busy/cm108busysource.h"
#include "busy/serialbusysource.h"
#include "qtserialline.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Milliseconds from each change made to its busyChanged, at a random phase of the source's own
// timing; -1 for a change never seen within a second.
QList<double> latencies(BusySource &source, int changes, const std::function<void(bool)> &make)
{
    QList<double> ms;
    QElapsedTimer clock;
    bool seen = false;
    QObject::connect(&source, &BusySource::busyChanged, &source, [&seen] { seen = true; });
    for (int i = 0; i < changes; ++i) {
        spin(5 + QRandomGenerator::global()->bounded(20));
        seen = false;
        make(!source.busy());
        clock.start();
        while (!seen && clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        ms << (seen ? double(clock.nsecsElapsed()) / 1e6 : -1.0);
    }
    return ms;
}

void report(const char *what, QList<double> ms)
{
    const int missed = int(std::count(ms.begin(), ms.end(), -1.0));
    ms.removeAll(-1.0);
    std::sort(ms.begin(), ms.end());
    if (ms.isEmpty()) {
        std::printf("%-28s no change seen (%d missed)\n", what, missed);
        return;
    }
    const auto at = [&ms](double q) { return ms.at(qMin(ms.size() - 1, int(q * ms.size()))); };
    std::printf("%-28s %3lld changes: median %.2f ms, 95%% %.2f ms, max %.2f ms, missed %d\n", what,
                qlonglong(ms.size()), at(0.5), at(0.95), ms.last(), missed);
}

void idleCost(const char *what, int seconds)
{
    const double cpu = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    spin(seconds * 1000);
    std::printf("%-28s CPU %.2f %% of one core over %d s\n", what,
                100.0 * (cpuSeconds() - cpu) / (double(wall.elapsed()) / 1000.0), seconds);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int changes = argc > 1 ? std::atoi(argv[1]) : 200;
    QTemporaryDir dir;
    qputenv("PREGONAL_LINEIN", QFile::encodeName(dir.path()));

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return 1;
    const QString slave = QString::fromLocal8Bit(::ptsname(master));
    const QString lines = dir.filePath(slave.section(QLatin1Char('/'), -1));
    QtSerialLine line([slave](int) { return slave; });
    line.setCommPort(3);
    SerialBusySource serial(line, QStringLiteral("DCD"));
    try {
        serial.open();
    } catch (...) {
        std::printf("the serial source cannot be read: run with LD_PRELOAD=libptyshim.so\n");
        return 1;
    }
    report("serial DCD (shim)", latencies(serial, changes, [&](bool busy) {
               QFile next(dir.filePath(QStringLiteral("next")));
               if (next.open(QIODevice::WriteOnly))
                   next.write(busy ? "DCD" : "");
               next.close();
               ::rename(QFile::encodeName(next.fileName()).constData(), QFile::encodeName(lines).constData());
           }));
    idleCost("serial DCD, idle channel", 5);
    serial.close();
    {
        // What the look itself adds: the same timer with nothing to read.
        QTimer bare;
        bare.setTimerType(Qt::PreciseTimer);
        bare.start(PollingBusySource::PollMs);
        idleCost("bare 10 ms timer, reference", 5);
    }

    const QString node = dir.filePath(QStringLiteral("hidraw"));
    ::mkfifo(QFile::encodeName(node).constData(), 0600);
    const int writer = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    const char released[4] = {0, 0, 0, 0};
    if (writer < 0 || ::write(writer, released, 4) != 4)
        return 1;
    Cm108BusySource cm108(node, QString(), QStringLiteral("VOL_DN"), nullptr, Cm108Keyer::Nodes::StandIns);
    cm108.open();
    report("CM108 VOL_DN (FIFO)", latencies(cm108, changes, [writer](bool busy) {
               const char report[4] = {char(busy ? 0x02 : 0), 0, 0, 0};
               if (::write(writer, report, 4) != 4)
                   std::printf("write failed\n");
           }));
    idleCost("CM108 VOL_DN, idle channel", 5);
    cm108.close();
    ::close(writer);
    ::close(master);
    return 0;
}

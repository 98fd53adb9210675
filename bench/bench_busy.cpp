// How soon a squelch line's change is seen, and what watching an idle channel costs: a serial
// port's DCD (a pty whose status lines the modem-line shim reports from a file), a GPIO line (a
// stand-in whose level costs nothing to read: what the watching itself costs), a CM108 input bit
// (reports written into a FIFO that stands for its hidraw node) and a radio's squelch over CAT.
//   LD_PRELOAD=libptyshim.so bench_busy [changes]   (CAT: at most 50 changes)
#include "busy/catbusysource.h"
#include "busy/cm108busysource.h"
#include "busy/gpiobusysource.h"
#include "busy/serialbusysource.h"
#include "catkeyer.h"
#include "qtserialline.h"
#include "radiosim.h"
#include "serialposix.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

// A GPIO input whose level is a variable; with a descriptor, each read also makes one system
// call, as a real line's or port's read does (fcntl: the shim leaves it alone).
struct StandInInput : GpioInput
{
    std::atomic<int> level{0};
    int fd = -1;
    void request(const QString &, unsigned) override {}
    int value() override { return fd >= 0 && ::fcntl(fd, F_GETFL) < 0 ? -1 : level.load(); }
    void release() override {}
};

// A source whose look is given: taken by the event loop's 10 ms timer, as every line source
// took it before, or by the source's own thread, as serial and GPIO sources take it now.
class LookSource : public PollingBusySource
{
public:
    LookSource(std::function<int()> look, bool ownThread) : m_look(std::move(look)), m_ownThread(ownThread) {}
    ~LookSource() override { close(); }
    QString description() const override { return QString(); }

protected:
    void openDevice() override {}
    void closeDevice() override {}
    int readBusy() override { return m_look(); }
    QString lostReason() const override { return QString(); }
    std::function<int()> backgroundLook() override { return m_ownThread ? m_look : std::function<int()>(); }

private:
    std::function<int()> m_look;
    bool m_ownThread;
};

// What the shim's emulated TIOCMGET costs at the source's pace (a real port's is one ioctl).
void shimCost(int fd)
{
    constexpr int calls = 20000;
    const double cpu = cpuSeconds();
    for (int i = 0; i < calls; ++i)
        serialStatusLines(fd);
    std::printf("%-28s CPU %.2f %% of one core, in the serial figure\n", "  shim's TIOCMGET alone",
                100.0 * (cpuSeconds() - cpu) / calls * (1000 / PollingBusySource::PollMs));
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

void idleWith(const char *what, std::function<int()> look, bool ownThread)
{
    LookSource source(std::move(look), ownThread);
    source.open();
    idleCost(what, 10);
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
    idleCost("serial DCD, idle channel", 10);
    // The other ways of looking, each alone: the source closed, its port held by a copy.
    const int fd = line.duplicateStatusDescriptor();
    serial.close();
    if (fd >= 0) {
        idleWith("  the same on a 10 ms timer", [fd] { return serialStatusLines(fd) < 0 ? -1 : 0; }, false);
        shimCost(fd);
        // A real port answers with one system call; the pty refuses it as quickly (ENOTTY).
        idleWith("  one TIOCMGET a look, as on a real port", [fd] {
            int bits = 0;
            ::syscall(SYS_ioctl, fd, TIOCMGET, &bits);
            return 0;
        }, true);
        ::close(fd);
    }

    auto *standIn = new StandInInput;
    standIn->fd = master;
    GpioBusySource gpio(QStringLiteral("gpiochip9:4"), std::unique_ptr<GpioInput>(standIn));
    gpio.open();
    report("GPIO line (stand-in)", latencies(gpio, changes, [standIn](bool busy) { standIn->level = busy ? 1 : 0; }));
    idleCost("GPIO line, idle channel", 10);
    gpio.close();
    idleWith("  the same on a 10 ms timer", [standIn] { return standIn->value(); }, false);

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
    idleCost("CM108 VOL_DN, idle channel", 10);
    cm108.close();
    ::close(writer);

    // The radio's squelch asked over CAT, of the radio simulator on its pty, whose process is
    // not counted here; its change is made by a signal to it.
    RadioSim radio;
    if (!radio.ok()) {
        std::printf("CAT: %s\n", qPrintable(radio.error()));
        return 1;
    }
    CatBusySource cat(std::make_unique<CatKeyer>(2014, radio.port(), 0));
    cat.open();
    QElapsedTimer answered;
    answered.start();
    while (cat.busy() && answered.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    report("CAT squelch (simulated radio)", latencies(cat, qMin(changes, 50), [&radio](bool busy) { radio.setSquelchOpen(busy); }));
    idleCost("CAT squelch, idle channel", 10);
    cat.close();
    ::close(master);
    return 0;
}

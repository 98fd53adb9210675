// Start-up time of the main window built as the program builds it (in process, offscreen or
// on the display QT_QPA_PLATFORM names), resident memory after start-up and after 100 loop
// cycles, and CPU use while idle and while looping. Prints figures.
#include "audio/wavaudiodevice.h"
#include "fakeplatform.h"
#include "frmprincipal.h"
#include "realrig.h"
#include "soundcapture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {
class ExposeWatch : public QObject
{
public:
    bool exposed = false;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Expose || e->type() == QEvent::Paint)
            exposed = true;
        return QObject::eventFilter(o, e);
    }
};
} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QApplication app(argc, argv);
    const qint64 appMs = sinceMain.nsecsElapsed() / 1000;
    RealRig rig;
    if (!rig.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(rig.error()));
        return 2;
    }
    ExposeWatch watch;
    rig.window().installEventFilter(&watch);
    rig.window().show();
    if (rig.window().windowHandle())
        rig.window().windowHandle()->installEventFilter(&watch);
    waitUntil([&] { return watch.exposed; }, 5000);
    const qint64 shownUs = sinceMain.nsecsElapsed() / 1000;
    std::printf("In process (%s): main() -> QApplication %.1f ms, -> window built, loaded and first exposed "
                "%.1f ms\n",
                qPrintable(QGuiApplication::platformName()), appMs / 1000.0, shownUs / 1000.0);
    waitUntil([] { return false; }, 500);
    const qint64 rssStart = residentKb();
    std::printf("Resident memory after start-up: %.1f MB\n", rssStart / 1024.0);

    QElapsedTimer wall;
    qint64 cpu0 = cpuMs();
    wall.start();
    {
        // A plain event loop: no polling of our own to count against the program.
        QEventLoop idle;
        QTimer::singleShot(10000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    std::printf("CPU while idle for %.1f s: %.2f %% of one core\n", wall.elapsed() / 1000.0,
                100.0 * double(cpuMs() - cpu0) / double(wall.elapsed()));
    std::fflush(stdout);

    if (!soundServerAvailable()) {
        std::printf("No test sound server: loop figures skipped\n");
        return 0;
    }
    const QString wav = rig.dir() + QStringLiteral("/corto.wav");
    writeToneWav(wav, 22050, 1, 22050 / 10); // 100 ms
    rig.openMessage(wav);
    rig.window().Timer1().setInterval(1); // back to back: a stored 0 would wait a second
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);
    cpu0 = cpuMs();
    wall.restart();
    rig.window().mnuenbucle_Click();
    const bool all = waitUntil([&] { return done.count() >= 100; }, 300000);
    const qint64 loopMs = wall.elapsed();
    const qint64 loopCpu = cpuMs() - cpu0;
    rig.window().mnustop_Click();
    waitUntil([] { return false; }, 500);
    std::printf(
        "Loop of %d cycles (100 ms message, lead 300, tail 100, 0 s pause)%s in %.1f s: CPU %.2f %% of one "
        "core\n",
        int(done.count()), all ? "" : " (INCOMPLETE)", loopMs / 1000.0,
        100.0 * double(loopCpu) / double(loopMs));
    const qint64 rssLoop = residentKb();
    std::printf("Resident memory after the loop: %.1f MB (%+.1f MB from start-up)\n", rssLoop / 1024.0,
                (rssLoop - rssStart) / 1024.0);
    std::fflush(stdout);
    return 0;
}

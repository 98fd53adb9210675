#include "module1.h"

#include "audio/wavaudiodevice.h"
#include "frmprincipal.h"
#include "portnames.h"
#include "qtplatform.h"
#include "qtserialline.h"
#include "systemlauncher.h"
#include "systemregistry.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

ProgramValues Module1::values;

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP (a logout, a shutdown) end the program in order from whatever it is
// doing, as the window's own end does: a running recording is saved, the devices are released.
void endOnTerminationSignals(QApplication &app, Frmprincipal &window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        window.endProgram();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

PlatformParts realParts()
{
    PlatformParts parts;
    parts.settings = std::make_unique<SettingsStore>();
    const SettingsStore *store = parts.settings.get();
    parts.reproductor = std::make_unique<WavAudioDevice>();
    parts.MSComm1 =
        std::make_unique<QtSerialLine>([store](int port) { return serialDeviceForPort(*store, port); });
    parts.ventanas = std::make_unique<QtFileDialog>();
    parts.messageBoxes = std::make_unique<QtMessageBoxes>();
    parts.registry = makeSystemRegistry();
    parts.launcher = std::make_unique<SystemLauncher>();
    return parts;
}
} // namespace

int Module1::Main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pregonal"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.8"));

    PlatformParts parts = realParts();
    auto *fileDialog = static_cast<QtFileDialog *>(parts.ventanas.get());
    auto *boxes = static_cast<QtMessageBoxes *>(parts.messageBoxes.get());
    Frmprincipal Frmprincipal(values, std::move(parts));
    fileDialog->setParent(&Frmprincipal);
    boxes->setParent(&Frmprincipal);
    endOnTerminationSignals(app, Frmprincipal);
    Frmprincipal.Form_Load();
    Frmprincipal.show();
    return app.exec();
}

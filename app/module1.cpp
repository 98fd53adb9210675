#include "module1.h"

#include "audio/identsound.h"
#include "audio/qtsoundserver.h"
#include "audio/wavaudiodevice.h"
#include "commandline.h"
#include "desktop.h"
#include "frmprincipal.h"
#include "headless.h"
#include "keyers.h"
#include "measurecommand.h"
#include "portnames.h"
#include "qtplatform.h"
#include "qtserialline.h"
#include "stationclient.h"
#include "stationface.h"
#include "stationservice.h"
#include "systemlauncher.h"
#include "systempath.h"
#include "systemregistry.h"
#include "terminationsignals.h"
#include "version.h"

#include <QApplication>
#include <QTextStream>

ProgramValues Module1::values;

namespace {
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
    parts.sound = std::make_unique<QtSoundServer>();
    parts.identification = std::make_unique<IdentSound>();
    parts.makeKeyer = makeKeyer;
    parts.makeBusySource = makeBusySource;
    return parts;
}

// Who runs this user's station already: a window of it comes to the front (true), a
// pregonal --programa gets this window as its face.
bool raiseRunningWindow(PlatformParts &parts)
{
    StationClient client;
    if (!client.findOwner(settingsLocation(SettingsStore())))
        return false;
    if (client.owner().what == QLatin1String("ventana"))
        return client.show();
    if (client.owner().what == QLatin1String("programa")) {
        auto face = std::make_unique<StationFace>(QDBusConnection::sessionBus());
        if (face->attach())
            parts.face = std::move(face);
    }
    return false;
}
} // namespace

// Any option of the command line runs without a window, and without a display.
int Module1::Main(int argc, char *argv[])
{
    // File names as the system gave them, whatever their bytes: Qt's own decoding would lose them.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << SystemPath::decode(QByteArray(argv[i]));
    const Command command = parseCommandLine(arguments);
    switch (command.mode) {
    case Command::Mode::Window:
        break;
    case Command::Mode::Help:
        QTextStream(stdout) << helpText();
        return Command::Ok;
    case Command::Mode::Version:
        QTextStream(stdout) << "pregonal " << PREGONAL_VERSION << Qt::endl;
        return Command::Ok;
    case Command::Mode::Measure:
        return MeasureCommand::run(command.files);
    case Command::Mode::Bad:
        QTextStream(stderr) << "pregonal: " << command.error << Qt::endl
                            << "Pruebe «pregonal --help» para ver las órdenes." << Qt::endl;
        return Command::Usage;
    default: {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Pregonal"));
        QCoreApplication::setApplicationVersion(QStringLiteral(PREGONAL_VERSION));
        return runHeadless(command);
    }
    }

    int status = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Pregonal"));
        QApplication::setApplicationVersion(QStringLiteral(PREGONAL_VERSION));
        installQtSpanish(app);
        PlatformParts parts = realParts();
        // A window of this user's already runs the station: it comes to the front instead.
        if (raiseRunningWindow(parts))
            return Command::Ok;

        auto *fileDialog = static_cast<QtFileDialog *>(parts.ventanas.get());
        auto *boxes = static_cast<QtMessageBoxes *>(parts.messageBoxes.get());
        Frmprincipal Frmprincipal(values, std::move(parts));
        fileDialog->setParent(&Frmprincipal);
        boxes->setParent(&Frmprincipal);
        // A logout, a shutdown or Ctrl+C ends the program in order from whatever it is doing, as the
        // window's own end does: a running recording is saved, the devices are released.
        onTerminationSignals(&Frmprincipal, [&Frmprincipal] { Frmprincipal.endProgram(); });
        Frmprincipal.Form_Load();
        // The window that runs the schedule owns the station: scripts reach it on the session bus.
        StationService service(Frmprincipal.station(), QStringLiteral("ventana"));
        if (Frmprincipal.station().scheduleRunning()) {
            service.setShow([&Frmprincipal] { return Frmprincipal.bringToFront(); });
            service.serve(QDBusConnection::sessionBus());
        }
        Frmprincipal.show();
        status = app.exec();
    }
    // The window, its devices and the application are gone.
    endLeavingSoundEngine(status);
}

// The program without its window: the same engine, devices, settings and log as the window's,
// driven by the command line, with what it does told on standard error.
#include "headless.h"

#include "audio/identsound.h"
#include "audio/qtsoundserver.h"
#include "audio/wavaudiodevice.h"
#include "busysourcemaker.h"
#include "clock.h"
#include "cm108keyer.h"
#include "commandline.h"
#include "deviceerror.h"
#include "enginelogger.h"
#include "identrunner.h"
#include "keyers.h"
#include "keyinglines.h"
#include "keyingsettings.h"
#include "levelsettings.h"
#include "portnames.h"
#include "programvalues.h"
#include "qtserialline.h"
#include "schedulerunner.h"
#include "stationclient.h"
#include "stationservice.h"
#include "station.h"
#include "settingsstore.h"
#include "soundcardsettings.h"
#include "systempath.h"
#include "terminationsignals.h"
#include "testtone.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {
QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

void say(const QString &text)
{
    err() << "pregonal: " << text << Qt::endl;
}

// The listing of --dispositivos: each card by id and description, the chosen one marked, as the
// station dialog lists them.
void listCards(const QString &title, const QList<SoundCardEntry> &cards, const SoundCardChoice &chosen)
{
    QTextStream out(stdout);
    out << title << Qt::endl;
    const SoundCardItems list = soundCardItems(cards, chosen, QStringLiteral("(predeterminada del sistema)"));
    for (int i = 0; i < list.items.size(); ++i) {
        const SoundCardItem &item = list.items.at(i);
        out << (i == list.current ? "* " : "  ");
        if (!item.choice.id.isEmpty())
            out << item.choice.id << "  ";
        out << item.text << Qt::endl;
    }
}

// What --dispositivos says of the busy source: what would be read, without opening it.
void listBusySource(const BusySettings &busy, const BusySource *source)
{
    QTextStream out(stdout);
    out << "Canal ocupado (fuente «" << (busy.ocupado == BusySettings::Source::Unknown ? busy.ocupadoText
                                                                                        : BusySettings::sourceName(busy.ocupado))
        << "»): ";
    if (const QString problem = busySettingsProblem(busy); !problem.isEmpty())
        out << "no se puede usar: " << problem << Qt::endl;
    else if (source)
        out << source->description() << "; libre " << busy.libreMs << " ms antes de transmitir, espera "
            << busy.esperaSecs << " s como mucho" << Qt::endl;
    else
        out << "no se escucha; se transmite sin esperar" << Qt::endl;
}

class Headless : public QObject
{
public:
    explicit Headless(const Command &command) : m_command(command)
    {
        m_audio.setDeviceType(QStringLiteral("waveaudio"));
        m_station.load();
        if (command.interval > 0)
            m_engine.Timer1().setInterval(command.interval * 1000);
        m_log.recoverInterrupted();

        connect(&m_engine, &TransmissionEngine::failed, this, &Headless::failed);
        connect(&m_engine, &TransmissionEngine::stateChanged, this, &Headless::stateChanged);
        connect(&m_engine, &TransmissionEngine::playEnded, this, &Headless::playEnded);
        connect(&m_engine.channelWait(), &ChannelWaiter::tick, this, [this](int seconds) {
            if (seconds > 0 && seconds % 10 == 0)
                progress(QStringLiteral("el canal sigue ocupado, %1 s...").arg(seconds));
        });
        // The log's text says all: what cannot be written, why, and that sending goes on.
        connect(&m_log, &TransmissionLog::writeFailed, this, [](const QString &why) { say(why); });
    }

    int run()
    {
        switch (m_command.mode) {
        case Command::Mode::Send:
            return send(m_command.file, LogOrigin::LineaDeOrdenes, SystemPath::readable(m_command.file));
        case Command::Mode::Test:
            return test();
        case Command::Mode::Identify:
            return identify();
        case Command::Mode::Schedule:
            return schedule();
        case Command::Mode::Devices:
            return devices();
        default:
            return Command::Usage;
        }
    }

    // SIGINT, SIGTERM, SIGHUP: Stop, and the end of the program once it is done.
    void terminate()
    {
        m_terminating = true;
        if (m_engine.state() != TransmissionEngine::State::Idle)
            m_engine.stop();
        // From the event loop, once what Stop let go of has gone with it.
        QTimer::singleShot(0, this, [this] { QCoreApplication::exit(m_status); });
    }

    // The sound objects a play lets go of die later in the event loop: once it has ended, they go
    // now, before the devices and Qt's sound engine behind them.
    static int finished(int status)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return status;
    }

private:
    // logged: the message as the log names it.
    int send(const QString &file, LogOrigin origin, const QString &logged)
    {
        m_file = file;
        m_audio.setFileName(file);
        m_logger.expect(origin, 0, logged);
        if (m_command.loop && m_command.times != 1)
            m_engine.sendLoop();
        else
            m_engine.sendOnce();
        if (m_engine.state() == TransmissionEngine::State::Idle)
            return m_status; // refused: failed() has told why
        return finished(QCoreApplication::exec());
    }

    int test()
    {
        QTemporaryDir dir;
        const QString tone = dir.filePath(QStringLiteral("prueba.wav"));
        try {
            QtSoundServer().writeTestTone(tone, TestTone::amplitudeFor(readLevelSettings(m_store)));
        } catch (const DeviceError &e) {
            say(QStringLiteral("no se puede hacer la prueba de transmisión: %1").arg(e.reason()));
            return Command::Failed;
        }
        m_test = true;
        m_engine.setIdentification(nullptr); // the tone alone, as the station dialog's test
        m_audio.setLevel(LevelSettings()); // the tone is calibrated as written
        return send(tone, LogOrigin::Prueba, QStringLiteral("tono de 1 kHz"));
    }

    // The identification once, whatever the mode, as a message of its own.
    int identify()
    {
        QString file;
        try {
            file = m_ident.alone();
        } catch (const DeviceError &e) {
            say(e.reason());
            return Command::Failed;
        }
        m_engine.setIdentification(nullptr); // not once more after itself
        const IdentSettings &s = m_ident.settings();
        return send(file, LogOrigin::Identificacion,
                    s.identarchivo.isEmpty() ? s.morseText() : s.identarchivo);
    }

    int schedule()
    {
        ScheduleRunner &runner = m_station.schedule();
        m_station.runIdentification();
        connect(&m_station, &Station::identificationFailed, this, [](const QString &reason) { say(reason); });
        connect(&runner.scheduler(), &Scheduler::entryRejected, this,
                [](const QString &reason) { say(QStringLiteral("se omite %1").arg(reason)); });
        connect(&runner.scheduler(), &Scheduler::slotStarting, this,
                [this](const ScheduleEntry &entry, const QDateTime &) {
                    m_file = entry.archivo;
                    say(QStringLiteral("emisión programada %1: %2").arg(entry.number).arg(entry.archivo));
                });
        connect(
            &runner.scheduler(), &Scheduler::slotsMissed, this,
            [](const ScheduleEntry &entry, const QDateTime &, const QDateTime &, int, const QString &detail) {
                say(QStringLiteral("programa %1: %2").arg(entry.number).arg(detail));
            });
        connect(&runner.scheduler(), &Scheduler::slotSkipped, this,
                [](const ScheduleEntry &entry, const QDateTime &, const QString &detail) {
                    say(QStringLiteral("programa %1: %2").arg(entry.number).arg(detail));
                });
        m_scheduling = true;
        if (!m_station.startSchedule(QStringLiteral("programa"))) {
            say(QStringLiteral("la programación de esta estación ya la ejecuta %1.").arg(m_station.scheduleHolder()));
            return Command::Failed;
        }
        // Scripts and the window reach it on the session bus, when there is one.
        StationService service(m_station, QStringLiteral("programa"));
        if (!service.serve(QDBusConnection::sessionBus()))
            say(QStringLiteral("no se ofrece en el bus de la sesión (%1).").arg(service.error()));
        const QDateTime next = runner.scheduler().nextSlotTime();
        say(QStringLiteral("programación en marcha, %1 entradas; %2")
                .arg(runner.scheduler().entries().size())
                .arg(next.isValid() ? QStringLiteral("próxima emisión a las %1.")
                                          .arg(next.toString(QStringLiteral("HH:mm 'del' dd/MM/yyyy")))
                                    : QStringLiteral("no hay ninguna emisión prevista.")));
        return finished(QCoreApplication::exec());
    }

    int devices()
    {
        const SoundCardSettings &cards = m_station.cards();
        const KeyerSettings &keyer = m_station.keying().keyer;
        listCards(QStringLiteral("Salidas de sonido (* la elegida para los mensajes):"), m_sound.outputs(),
                  {cards.salida, cards.salidanombre});
        listCards(QStringLiteral("Entradas de sonido (* la elegida para grabar):"), m_sound.inputs(),
                  {cards.entrada, cards.entradanombre});
        listBusySource(m_station.channelWatch().settings(), m_station.busySource());
        QTextStream out(stdout);
        out << "Transmisor (método «" << keyer.metodoName() << "»):" << Qt::endl;
        if (const QString problem = keyerSettingsProblem(keyer); !problem.isEmpty()) {
            out << "* no se puede usar: " << problem << Qt::endl;
            return Command::Ok;
        }
        switch (keyer.metodo) {
        case KeyerSettings::Method::Serie:
            out << "* puerto serie COM" << m_line.commPort() << ": "
                << serialDeviceForPort(m_store, m_line.commPort()) << ", líneas "
                << KeyingLines::parse(m_station.keying().lineas).value_or(KeyingLines()).toString() << Qt::endl;
            break;
        case KeyerSettings::Method::Cm108: {
            QString node = keyer.cm108;
            QString why;
            if (node.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
                node = cm108NodeForCard(cards.salida, &why);
            out << "* interfaz CM108: "
                << (node.isEmpty() ? QStringLiteral("no se encuentra (%1)").arg(why) : node) << ", pin "
                << keyer.pinText() << Qt::endl;
            break;
        }
        case KeyerSettings::Method::Ninguno:
            out << "* ninguno: el VOX de la interfaz; no se abre nada" << Qt::endl;
            break;
        default:
            out << "* " << m_engine.keyer().description() << Qt::endl;
            break;
        }
        return Command::Ok;
    }

    void failed(const QString &message, const QString &cause)
    {
        say(cause.isEmpty() ? message : message + QLatin1Char(' ') + cause);
        if (!m_scheduling)
            m_status = Command::Failed;
    }

    void stateChanged(TransmissionEngine::State state)
    {
        if (state == TransmissionEngine::State::Playing) {
            progress(QStringLiteral("transmitiendo %1%2...")
                         .arg(m_test ? QStringLiteral("el tono de prueba")
                                     : SystemPath::readable(QFileInfo(m_file).fileName()))
                         .arg(m_command.times > 1
                                  ? QStringLiteral(" (%1 de %2)").arg(m_plays + 1).arg(m_command.times)
                                  : QString()));
        } else if (state == TransmissionEngine::State::Waiting) {
            progress(QStringLiteral("esperando a que el canal quede libre (%1 s como mucho)...")
                         .arg(m_engine.channelWait().limitSecs()));
        } else if (state == TransmissionEngine::State::Pausing) {
            progress(QStringLiteral("en pausa, %1 s...").arg(m_engine.Timer1().interval() / 1000));
        } else if (!m_scheduling && !m_terminating) {
            // Later: the engine tells why a transmission failed only after it is idle.
            QTimer::singleShot(0, this, [this] { QCoreApplication::exit(m_status); });
        }
    }

    void playEnded()
    {
        ++m_plays;
        if (!m_scheduling && m_command.times > 0 && m_plays >= m_command.times)
            m_engine.endAfterThisPlay();
    }

    // Progress goes to a terminal only: the journal and pipes get what matters, not every play.
    void progress(const QString &text)
    {
        if (isatty(STDERR_FILENO))
            say(text);
    }

    StationParts stationParts()
    {
        StationParts parts;
        parts.audio = &m_audio;
        parts.line = &m_line;
        parts.settings = &m_store;
        parts.clock = &m_clock;
        parts.makeKeyer = makeKeyer;
        parts.identification = &m_ident;
        parts.sound = &m_sound;
        return parts;
    }

    Command m_command;
    SettingsStore m_store;
    SystemClock m_clock;
    WavAudioDevice m_audio;
    QtSerialLine m_line{[this](int port) { return serialDeviceForPort(m_store, port); }};
    IdentSound m_ident; // before the engine, which asks it at each send
    QtSoundServer m_sound; // hears the receiver when the channel is watched by ear
    Station m_station{stationParts()};
    TransmissionEngine &m_engine{m_station.engine()};
    TransmissionLog &m_log{m_station.log()};
    EngineLogger &m_logger{m_station.logger()};
    QString m_file;
    int m_status = Command::Ok;
    int m_plays = 0;
    bool m_test = false;
    bool m_scheduling = false;
    bool m_terminating = false;
};
} // namespace

int runHeadless(const Command &command)
{
    int status = Command::Failed;
    if (const std::optional<int> handed = runAsClient(command)) {
        status = *handed;
    } else {
        Headless headless(command);
        onTerminationSignals(QCoreApplication::instance(), [&headless] { headless.terminate(); });
        status = headless.run();
    }
    // Unkeyed, closed and logged by now; nothing of ours needs Qt Multimedia torn down.
    endLeavingSoundEngine(status);
}

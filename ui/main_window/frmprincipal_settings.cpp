// The settings and station commands of the main window: the options, the station and the
// schedule dialogs, the log window, and the keying they leave the engine with.
#include "frmprincipal.h"

#include "frmestacion.h"
#include "frmopciones.h"
#include "frmprogramacion.h"
#include "frmregistro.h"
#include "levelsettings.h"
#include "portnames.h"
#include "stationchannel.h"
#include "stationlevel.h"

#include <QScopeGuard>

namespace {
const QString kTitle = QStringLiteral("Pregonal");
}

// Lead and tail around each play, the lines that key the transmitter, the cap on one
// transmission and the sound cards, from the next transmission on.
void Frmprincipal::applyStation(const KeyingSettings &keying, const SoundCardSettings &cards)
{
    m_keying = keying;
    m_keyerCard = cards.salida;
    applyKeying();
    reproductor().setOutputCard({cards.salida, cards.salidanombre});
    reproductor().setInputCard({cards.entrada, cards.entradanombre});
    reproductor().setLevel(readLevelSettings(settings()));
}

// The keying the program runs with, again on the engine and its serial line (a test transmission
// borrows the line with values of its own).
void Frmprincipal::applyKeying()
{
    m_engine.setKeying(m_keying.retardoMs, m_keying.colaMs,
                       KeyingLines::parse(m_keying.lineas).value_or(KeyingLines()),
                       m_keying.tiempomaximoSecs * 1000);
    applyKeyer();
}

// The station's identification from the next transmission on: after each message, or on its own
// every so often through the runner.
void Frmprincipal::applyIdentification(const IdentSettings &values)
{
    Identification *identification = m_parts.identification.get();
    if (!identification)
        return;
    identification->setSettings(values);
    m_engine.setIdentification(identification);
    if (m_identRunner)
        return;
    m_identRunner = std::make_unique<IdentRunner>(m_engine, m_logger, *identification, *m_parts.clock);
    m_identRunner->setHeld([this] { return m_schedule.held(); });
    connect(m_identRunner.get(), &IdentRunner::failed, this, [this](const QString &reason) {
        messageBoxes().show(QStringLiteral("No se ha podido identificar la estación."), MessageBoxes::OkOnly,
                            MessageBoxes::Critical, kTitle, reason);
    });
}

// A new keyer only when its values changed: they cannot while a transmission runs (the station
// dialog is not accepted then), so the engine never loses the keyer it is using.
void Frmprincipal::applyKeyer()
{
    const KeyerSettings &k = m_keying.keyer;
    const bool same = m_keyerApplied && k == m_keyerBuilt && m_keyerCard == m_builtCard;
    if (same || m_engine.state() != TransmissionEngine::State::Idle)
        return;
    std::unique_ptr<Keyer> keyer =
        m_parts.makeKeyer ? m_parts.makeKeyer(k, m_keyerCard) : makeBasicKeyer(k, m_keyerCard);
    m_engine.setKeyer(keyer.get());
    m_keyer = std::move(keyer);
    m_keyerBuilt = k;
    m_builtCard = m_keyerCard;
    m_keyerApplied = true;
}

// "Aceptar" in the options dialog stores the port and the pause and applies them at once. When the
// store cannot keep them they still apply for this run, and the operator is told.
void Frmprincipal::mnuopciones_Click()
{
    // No scheduled transmission holds the port while its number may change.
    m_schedule.hold(true);
    const auto letGo = qScopeGuard([this] { m_schedule.hold(false); });
    frmopciones dialog(this, m_module1.puertocom, m_module1.intervalosegs,
                       [this](int port) { return serialDeviceForPort(settings(), port); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    bool saved = true;
    if (const std::optional<int> port = dialog.chosenPort()) {
        saved = writePuerto(settings(), *port);
        m_module1.puertocom = quint8(*port);
    }
    saved = writeIntervalo(settings(), dialog.chosenInterval()) && saved;
    m_module1.intervalosegs = quint8(dialog.chosenInterval());
    Timer1().setInterval(int(m_module1.intervalosegs) * 1000);
    showInterval(m_module1.intervalosegs);
    MSComm1().setCommPort(m_module1.puertocom);
    showPort(m_module1.puertocom);
    if (!saved)
        messageBoxes().show(
            QStringLiteral("No se han podido guardar las opciones. Se aplican ahora, pero se perderán "
                           "al cerrar el programa."),
            MessageBoxes::OkOnly, MessageBoxes::Warning, kTitle, settingsNotWrittenText());
}

// Why stored values will not last, below the warning that says so.
QString Frmprincipal::settingsNotWrittenText() const
{
    return QStringLiteral("No se puede escribir el fichero de configuración %1. Compruebe que el "
                          "fichero y su carpeta existan y se puedan escribir.")
        .arg(settingsLocation(*m_parts.settings));
}

// The station dialog: the sound cards, the keying and the test transmission. Accepted values are
// stored and used from the next transmission on; a test only borrows the serial line, which gets
// the stored keying lines back when the test ends.
void Frmprincipal::mnuestacion_Click()
{
    frmestacion dialog(this, readKeyingSettings(settings()), readSoundCardSettings(settings()), soundServer(),
                       MSComm1(), messageBoxes(), m_parts.makeKeyer, readIdentSettings(settings()));
    dialog.setTransmitting(m_engine.state() != TransmissionEngine::State::Idle);
    connect(&m_engine, &TransmissionEngine::stateChanged, &dialog,
            [&dialog](TransmissionEngine::State state) {
                dialog.setTransmitting(state != TransmissionEngine::State::Idle);
            });
    // A test goes into the log as "prueba", and the schedule waits while it holds the line.
    connect(&dialog, &frmestacion::testStarting, this, [this, &dialog](TransmissionEngine &test) {
        auto *logger = test.findChild<EngineLogger *>();
        if (!logger)
            logger = new EngineLogger(test, m_log, *m_parts.clock, &test);
        logger->expect(LogOrigin::Prueba, 0, dialog.testDescription());
        m_schedule.hold(true);
    });
    connect(&dialog, &frmestacion::testEnded, this, [this] {
        applyKeying();
        m_schedule.hold(false);
    });
    dialog.stationLevel->setValues(readLevelSettings(settings()));
    dialog.grpChannel->setValues(readBusySettings(settings()), m_parts.makeBusySource);
    if (dialog.exec() == QDialog::Accepted) {
        const bool saved = writeKeyingSettings(settings(), dialog.chosenKeying()) &
                           writeSoundCardSettings(settings(), dialog.chosenCards()) &
                           writeIdentSettings(settings(), dialog.chosenIdent()) &
                           writeLevelSettings(settings(), dialog.stationLevel->chosen()) &
                           writeBusySettings(settings(), dialog.grpChannel->chosen());
        if (!saved)
            messageBoxes().show(
                QStringLiteral("No se han podido guardar los valores de la estación. Se aplican ahora, "
                               "pero se perderán al cerrar el programa."),
                MessageBoxes::OkOnly, MessageBoxes::Warning, kTitle, settingsNotWrittenText());
        applyStation(dialog.chosenKeying(), dialog.chosenCards());
        applyIdentification(dialog.chosenIdent());
        reproductor().setLevel(dialog.stationLevel->chosen()); // even when the store could not keep it
    } else {
        applyKeying();
    }
}

// The schedule: what "Aceptar" gives back is stored and runs from then on. While the dialog is
// open the entries as they were still go out.
void Frmprincipal::mnuprogramacion_Click()
{
    const ScheduleReading reading = readSchedule(settings());
    frmprogramacion dialog(this, reading.entries, *m_parts.clock, ventanas(), messageBoxes());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const bool saved = writeSchedule(settings(), dialog.chosenEntries());
    m_schedule.scheduler().load(settings());
    if (!saved) {
        m_schedule.scheduler().setEntries(dialog.chosenEntries());
        messageBoxes().show(
            QStringLiteral("No se ha podido guardar la programación. Se aplica ahora, pero se perderá al "
                           "cerrar el programa."),
            MessageBoxes::OkOnly, MessageBoxes::Warning, kTitle, settingsNotWrittenText());
    }
}

void Frmprincipal::mnuregistro_Click()
{
    frmregistro dialog(this, m_log.folder(), launcher(), messageBoxes());
    dialog.exec();
}

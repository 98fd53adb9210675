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
    if (m_face)
        m_face->reload();
    else
        m_station.applyOptions(m_module1.puertocom, m_module1.intervalosegs);
    showInterval(m_module1.intervalosegs);
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
    dialog.setTransmitting(shownState() != TransmissionEngine::State::Idle);
    const auto transmitting = [&dialog](TransmissionEngine::State state) {
        dialog.setTransmitting(state != TransmissionEngine::State::Idle);
    };
    connect(&m_engine, &TransmissionEngine::stateChanged, &dialog, transmitting);
    if (m_face)
        connect(m_face, &RemoteStation::stateChanged, &dialog, transmitting);
    // A test goes into the log as "prueba", and the schedule waits while it holds the line.
    connect(&dialog, &frmestacion::testStarting, this, [this, &dialog](TransmissionEngine &test) {
        auto *logger = test.findChild<EngineLogger *>();
        if (!logger)
            logger = new EngineLogger(test, m_log, *m_parts.clock, &test);
        logger->expect(LogOrigin::Prueba, 0, dialog.testDescription());
        test.setChannelWatch(&m_station.channelWatch());
        m_schedule.hold(true);
        if (m_face) // the station runs in another process: its slots and scripts wait there
            m_face->hold(true);
    });
    connect(&dialog, &frmestacion::testEnded, this, [this] {
        if (!m_face) // a face builds no keyer of its own
            m_station.applyKeying();
        m_schedule.hold(false);
        if (m_face)
            m_face->hold(false);
    });
    dialog.stationLevel->setValues(readLevelSettings(settings()));
    dialog.grpChannel->setStationSource(m_station.busySource(), m_station.channelWatch().settings(),
                                        m_station.busyContext());
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
        if (m_face) {
            m_face->reload();
            m_station.applyCards(dialog.chosenCards());
            return;
        }
        // Even when the store could not keep them.
        m_station.applyStation(dialog.chosenKeying(), dialog.chosenCards(), dialog.stationLevel->chosen());
        m_station.applyBusy(dialog.grpChannel->chosen());
        m_station.applyIdentification(dialog.chosenIdent());
    } else if (!m_face) {
        m_station.applyKeying();
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
    // A face's entries run in the station's process only, and are logged there.
    if (m_face)
        m_face->reload();
    else
        m_schedule.scheduler().load(settings());
    if (!saved) {
        if (!m_face)
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

// The transmit commands and the repeat interval commands of the main window. The engine does the
// device work; the window shows its state, the message length and progress, and its failures.
#include "frmprincipal.h"

#include "frmavisos.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include <utility>

void Frmprincipal::connectEngine()
{
    connect(&m_engine, &TransmissionEngine::stateChanged, this, &Frmprincipal::showTransmissionState);
    connect(&m_engine.channelWait(), &ChannelWaiter::tick, this, &Frmprincipal::showChannelWait);
    connect(&m_engine, &TransmissionEngine::messageOpened, this,
            [this](int lengthMs) { m_progressBar1->setMaximum(qMax(1, lengthMs)); });
    connect(&m_engine, &TransmissionEngine::playEnded, this,
            [this] { m_progressBar1->setValue(m_progressBar1->maximum()); });
    // The operator's own failures get their box; a scheduled one only the notice, which waits
    // for nobody. The logger reports a failure's line before the engine's failed() gets here.
    connect(&m_logger, &EngineLogger::failureWritten, this, &Frmprincipal::noteFailure);
    connect(&m_engine, &TransmissionEngine::failed, this,
            [this](const QString &message, const QString &cause) {
                if (std::exchange(m_failureOf, FailureOf::Nobody) == FailureOf::Schedule)
                    return;
                auto tell = [this, message, cause] {
                    messageBoxes().show(message, MessageBoxes::OkOnly, MessageBoxes::Critical,
                                        QStringLiteral("Pregonal"), cause);
                };
                // From the event loop when inside the schedule's check: a box must not hold it up.
                if (m_schedule.sending())
                    QTimer::singleShot(0, this, tell);
                else
                    tell();
            });
    connect(&reproductor(), &AudioDevice::StatusUpdate, this, &Frmprincipal::reproductor_StatusUpdate);
    // The log cannot be written: told once (again only after it worked in between), from the
    // event loop, never in the middle of the end of a transmission. Transmitting goes on.
    connect(
        &m_log, &TransmissionLog::writeFailed, this,
        [this](const QString &why) {
            messageBoxes().show(QStringLiteral("No se puede escribir el registro de emisiones. Se sigue "
                                               "transmitiendo, pero sin registrar."),
                                MessageBoxes::OkOnly, MessageBoxes::Warning, QStringLiteral("Pregonal"), why);
        },
        Qt::QueuedConnection);
}

// A failed transmission's line in the log: a scheduled one goes into the notice and the first
// panel's tooltip; any other is the operator's, told in a box.
void Frmprincipal::noteFailure(const TransmissionRecord &record)
{
    if (record.origen != LogOrigin::Programa) {
        m_failureOf = FailureOf::Operator;
        return;
    }
    if (m_failureOf == FailureOf::Nobody)
        m_failureOf = FailureOf::Schedule;
    if (!m_avisos) {
        m_avisos = new frmavisos(this);
        connect(m_avisos, &frmavisos::seen, this, [this] {
            m_failureNote.clear();
            showOnAir();
        });
    }
    m_avisos->add(record.inicio, record.programa, record.archivo, record.detalle);
    m_failureNote = QStringLiteral("No ha salido la emisión de %1 de las %2: %3")
                        .arg(originText(LogOrigin::Programa, record.programa),
                             record.inicio.toString(QStringLiteral("HH:mm")), record.detalle);
    showOnAir();
}

void Frmprincipal::mnuunavez_Click()
{
    if (m_face)
        return faceSend(false);
    m_logger.expect(LogOrigin::Manual, 0, reproductor().fileName());
    m_engine.sendOnce();
}

void Frmprincipal::mnuenbucle_Click()
{
    if (m_face)
        return faceSend(true);
    m_logger.expect(LogOrigin::Bucle, 0, reproductor().fileName());
    m_engine.sendLoop();
}

void Frmprincipal::mnustop_Click()
{
    if (m_face)
        return m_face->stop();
    m_engine.stop();
}

void Frmprincipal::reproductor_StatusUpdate()
{
    if (m_engine.state() != TransmissionEngine::State::Idle)
        m_progressBar1->setValue(reproductor().position());
}

// The sending layout while anything is on the air, playing or in the pause of a loop, whatever
// message is open: Stop and F7 must reach a scheduled transmission too. Once it has ended, however
// it ended, the layout of the message loaded, or the one of start-up when there is none.
void Frmprincipal::showTransmissionState(TransmissionEngine::State state)
{
    const bool sending = state != TransmissionEngine::State::Idle;
    mnuarchivo->menuAction()->setEnabled(!sending);
    mnuedicion->menuAction()->setEnabled(sending || m_messageLoaded);
    mnutx->menuAction()->setEnabled(!sending);
    mnustop->setEnabled(sending || !m_messageLoaded);
    setButtonsEnabled({{1, !sending}, {2, !sending}, {9, !sending}, {7, sending}});
    setButtonsEnabled({{4, !sending && m_messageLoaded}, {5, !sending && m_messageLoaded}});
    setPanel(1, sending ? QStringLiteral("TX") : QStringLiteral("Stand by"));
    if (sending)
        statusBar()->clearMessage(); // a passing note must not hide TX
    if (state == TransmissionEngine::State::Waiting)
        showChannelWait(m_face ? 0 : int(m_engine.channelWait().waitedMs() / 1000));
    showOnAir();
    if (!sending)
        m_progressBar1->setValue(0);
}

void Frmprincipal::showChannelWait(int seconds)
{
    if (shownState() == TransmissionEngine::State::Waiting)
        setPanel(1, QStringLiteral("Esperando canal libre: %1 s").arg(seconds));
}

// The title names the message the device holds, the one on the air while something is; the
// first panel's tooltip says what is on the air, or what last failed to go out.
void Frmprincipal::showOnAir()
{
    const bool sending = shownState() != TransmissionEngine::State::Idle;
    const QString file = sending && m_face ? m_face->onAir() : reproductor().fileName();
    setWindowTitle(sending || m_messageLoaded ? QStringLiteral("Pregonal - ") + file
                                              : QStringLiteral("Pregonal - sin mensaje"));
    const bool waiting = shownState() == TransmissionEngine::State::Waiting;
    const QString note = sending ? (waiting ? QStringLiteral("Esperando canal libre para enviar: ")
                                            : QStringLiteral("En el aire: ")) +
                                       QDir::toNativeSeparators(file)
                                 : m_failureNote;
    panel(1)->setToolTip(note);
    panel(1)->setAccessibleDescription(note);
}

void Frmprincipal::mnuaumentarintervalo_Click()
{
    const int interval = shownIntervalMs();
    if (interval < 60000)
        setShownInterval(interval + 1000);
}

void Frmprincipal::mnudisminuirintervalo_Click()
{
    const int interval = shownIntervalMs();
    if (interval > 1000)
        setShownInterval(interval - 1000);
}

// A face's panel follows the pause the station reports back.
void Frmprincipal::setShownInterval(int ms)
{
    if (m_face)
        return m_face->setInterval(ms / 1000);
    Timer1().setInterval(ms);
    showInterval(Timer1().interval() / 1000);
}

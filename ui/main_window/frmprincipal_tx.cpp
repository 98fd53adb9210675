// The transmit commands and the repeat interval commands of the main window. The engine does the
// device work; the window shows its state, the message length and progress, and its failures.
#include "frmprincipal.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>

void Frmprincipal::connectEngine()
{
    connect(&m_engine, &TransmissionEngine::stateChanged, this, &Frmprincipal::showTransmissionState);
    connect(&m_engine, &TransmissionEngine::messageOpened, this,
            [this](int lengthMs) { m_progressBar1->setMaximum(qMax(1, lengthMs)); });
    connect(&m_engine, &TransmissionEngine::playEnded, this,
            [this] { m_progressBar1->setValue(m_progressBar1->maximum()); });
    // A scheduled send refused is told from the event loop: a box left unanswered on an
    // unattended station must not hold the schedule inside its check.
    connect(&m_engine, &TransmissionEngine::failed, this, [this](const QString &message, const QString &cause) {
        auto tell = [this, message, cause] {
            messageBoxes().show(message, MessageBoxes::OkOnly, MessageBoxes::Critical, QStringLiteral("Pregonal"),
                                cause);
        };
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

void Frmprincipal::mnuunavez_Click()
{
    m_logger.expect(LogOrigin::Manual, 0, reproductor().fileName());
    m_engine.sendOnce();
}

void Frmprincipal::mnuenbucle_Click()
{
    m_logger.expect(LogOrigin::Bucle, 0, reproductor().fileName());
    m_engine.sendLoop();
}

void Frmprincipal::mnustop_Click()
{
    m_engine.stop();
}

void Frmprincipal::reproductor_StatusUpdate()
{
    if (mnustop->isEnabled() && mnuedicion->menuAction()->isEnabled())
        m_progressBar1->setValue(reproductor().position());
}

// The sending layout while a transmission runs, playing or in the pause of a loop; the idle
// layout, with the bar empty, once it has ended however it ended.
void Frmprincipal::showTransmissionState(TransmissionEngine::State state)
{
    const bool sending = state != TransmissionEngine::State::Idle;
    mnutx->menuAction()->setEnabled(!sending);
    mnustop->setEnabled(sending);
    mnuarchivo->menuAction()->setEnabled(!sending);
    for (const int index : {1, 2, 4, 5, 9})
        button(index)->setEnabled(!sending);
    button(7)->setEnabled(sending);
    setPanel(1, sending ? QStringLiteral("TX") : QStringLiteral("Stand by"));
    if (!sending)
        m_progressBar1->setValue(0);
}

void Frmprincipal::mnuaumentarintervalo_Click()
{
    const int interval = Timer1().interval();
    if (interval < 60000) {
        Timer1().setInterval(interval + 1000);
        showInterval(Timer1().interval() / 1000);
    }
}

void Frmprincipal::mnudisminuirintervalo_Click()
{
    const int interval = Timer1().interval();
    if (interval > 1000) {
        Timer1().setInterval(interval - 1000);
        showInterval(Timer1().interval() / 1000);
    }
}

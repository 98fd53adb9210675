// The transmission cycle and the repeat interval commands of the main window.
#include "frmprincipal.h"

#include "deviceerror.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>

namespace {
const QString kSendError =
    QStringLiteral("No se puede enviar el mensaje. Compruebe que estea el puerto libre o bien "
                   "configurado y vuelva ha intentarlo.");
const QString kGuardError =
    QStringLiteral("La transmisión se ha cortado por seguridad: el transmisor llevaba en el "
                   "aire más tiempo del permitido. Compruebe el dispositivo de sonido.");
const QString kPlayError =
    QStringLiteral("No se ha podido reproducir el mensaje hasta el final. Se ha dejado de "
                   "transmitir. Compruebe el dispositivo de sonido y vuelva a intentarlo.");
const QString kKeyerLost =
    QStringLiteral("Se ha perdido el dispositivo que maneja el transmisor, %1. Se ha dejado de "
                   "transmitir. Compruebe que esté conectado y vuelva a intentarlo.");

// Seconds with one decimal, as the operator reads them: "5,0".
QString seconds(int ms)
{
    return QString::number(ms / 1000.0, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}
} // namespace

// The first step of a transmit command: a port that cannot be opened changes nothing else.
bool Frmprincipal::openPort()
{
    try {
        MSComm1().setPortOpen(true);
        return true;
    } catch (const DeviceError &e) {
        messageBoxes().show(kSendError, MessageBoxes::OkOnly, MessageBoxes::Critical,
                            QStringLiteral("Pregonal"), e.reason());
        return false;
    }
}

// Before the key goes up: a message that could not be heard, or that the longest transmission
// allowed cannot hold, is refused with its cause, and nothing is keyed.
void Frmprincipal::checkMessageFits()
{
    reproductor().checkPlayable();
    const int length = reproductor().length();
    const int needed = m_leadMs + length + m_tailMs;
    if (m_maxTransmissionMs > 0 && needed > m_maxTransmissionMs)
        throw DeviceError(
            QStringLiteral("La transmisión más larga permitida (%1 s) no alcanza para este mensaje: "
                           "necesita %2 s (retardo %3 ms, mensaje %4 ms y cola %5 ms).")
                .arg(seconds(m_maxTransmissionMs), seconds(needed))
                .arg(m_leadMs)
                .arg(length)
                .arg(m_tailMs));
}

void Frmprincipal::mnuunavez_Click()
{
    modounavez = true;
    if (!openPort())
        return;
    try {
        mnutx->menuAction()->setEnabled(false);
        reproductor().setCommand(QStringLiteral("open"));
        m_progressBar1->setMaximum(qMax(1, reproductor().length()));
        checkMessageFits();
        setPanel(1, QStringLiteral("TX"));
        if (!keyUp())
            return keyerLost();
        startPlay();
        mnustop->setEnabled(true);
        mnuarchivo->menuAction()->setEnabled(false);
        setButtonsEnabled({{1, false}, {2, false}, {4, false}, {5, false}, {7, true}, {9, false}});
    } catch (const DeviceError &e) {
        failTransmission(kSendError, e.reason());
    }
}

void Frmprincipal::mnuenbucle_Click()
{
    modounavez = false;
    if (!openPort())
        return;
    try {
        setButtonsEnabled({{1, false}, {2, false}, {4, false}, {5, false}, {7, true}, {9, false}});
        mnustop->setEnabled(true);
        mnutx->menuAction()->setEnabled(false);
        mnuarchivo->menuAction()->setEnabled(false);
        reproductor().setCommand(QStringLiteral("open"));
        m_progressBar1->setMaximum(qMax(1, reproductor().length()));
        checkMessageFits();
        setPanel(1, QStringLiteral("TX"));
        if (!keyUp())
            return keyerLost();
        startPlay();
    } catch (const DeviceError &e) {
        failTransmission(kSendError, e.reason());
    }
}

// DTR then RTS, always as a pair; the guard starts timing with the key. False when the keying
// device turned out to be gone (the port closed itself): nothing is keyed then.
bool Frmprincipal::keyUp()
{
    MSComm1().setDTREnable(true);
    MSComm1().setRTSEnable(true);
    if (!MSComm1().portOpen())
        return false;
    int limit = m_progressBar1->maximum() + m_leadMs + m_tailMs + 2000;
    if (m_maxTransmissionMs > 0)
        limit = qMin(limit, m_maxTransmissionMs);
    m_guard.start(limit);
    m_portWatch.start();
    return true;
}

void Frmprincipal::keyDown()
{
    m_guard.stop();
    MSComm1().setDTREnable(false);
    MSComm1().setRTSEnable(false);
}

void Frmprincipal::guardTimeout()
{
    failTransmission(kGuardError);
}

// While a transmission holds the port, a keying device that goes away (a USB adapter pulled
// out) ends it at once, whether keyed or in a pause.
void Frmprincipal::watchPort()
{
    if (!mnustop->isEnabled()) {
        m_portWatch.stop();
        return;
    }
    if (!MSComm1().checkPort())
        keyerLost();
}

void Frmprincipal::keyerLost()
{
    failTransmission(kKeyerLost.arg(MSComm1().portDescription()));
}

void Frmprincipal::startPlay()
{
    reproductor().setNotify(true);
    m_awaitingDone = true;
    reproductor().setCommand(QStringLiteral("play"));
}

void Frmprincipal::reproductor_Done(int NotifyCode)
{
    // Only the completion of the play we armed counts: one that arrives after Stop or after a
    // failed command was undone changes nothing.
    if (!m_awaitingDone)
        return;
    if (NotifyCode == AudioDevice::Failure) {
        failTransmission(kPlayError);
        return;
    }
    if (NotifyCode != AudioDevice::Successful)
        return;
    m_awaitingDone = false;
    keyDown();
    m_progressBar1->setValue(m_progressBar1->maximum());
    commandQuietly(QStringLiteral("prev"));
    if (!modounavez) {
        m_timer1.setEnabled(true);
        return;
    }
    modounavez = false;
    m_portWatch.stop();
    commandQuietly(QStringLiteral("close"));
    mnustop->setEnabled(false);
    mnutx->menuAction()->setEnabled(true);
    mnuarchivo->menuAction()->setEnabled(true);
    setButtonsEnabled({{1, true}, {2, true}, {4, true}, {5, true}, {7, false}, {9, true}});
    MSComm1().setPortOpen(false);
    setPanel(1, QStringLiteral("Stand by"));
    m_progressBar1->setValue(0);
}

void Frmprincipal::Timer1_Timer()
{
    try {
        if (!keyUp())
            return keyerLost();
        startPlay();
        m_timer1.setEnabled(false);
    } catch (const DeviceError &e) {
        failTransmission(kPlayError, e.reason());
    }
}

void Frmprincipal::mnustop_Click()
{
    m_awaitingDone = false;
    m_timer1.setEnabled(false);
    keyDown();
    MSComm1().setPortOpen(false);
    commandQuietly(QStringLiteral("close"));
    setIdleLayout();
}

void Frmprincipal::reproductor_StatusUpdate()
{
    if (mnustop->isEnabled() && mnuedicion->menuAction()->isEnabled())
        m_progressBar1->setValue(reproductor().position());
}

// Undoes a transmission that cannot go on: unkeys first, then releases the device and the
// port, shows stand-by with the message still loaded, and tells the operator.
void Frmprincipal::failTransmission(const QString &message, const QString &cause)
{
    m_awaitingDone = false;
    m_timer1.setEnabled(false);
    keyDown();
    commandQuietly(QStringLiteral("close"));
    MSComm1().setPortOpen(false);
    setIdleLayout();
    messageBoxes().show(message, MessageBoxes::OkOnly, MessageBoxes::Critical, QStringLiteral("Pregonal"),
                        cause);
}

// Bar empty, "Stand by", and every command of a loaded message offered again.
void Frmprincipal::setIdleLayout()
{
    m_portWatch.stop();
    m_progressBar1->setValue(0);
    setPanel(1, QStringLiteral("Stand by"));
    mnutx->menuAction()->setEnabled(true);
    mnustop->setEnabled(false);
    mnuarchivo->menuAction()->setEnabled(true);
    setButtonsEnabled({{1, true}, {2, true}, {4, true}, {5, true}, {7, false}, {9, true}});
}

void Frmprincipal::commandQuietly(const QString &command)
{
    try {
        reproductor().setCommand(command);
    } catch (const DeviceError &) {
        // Releasing a device that already failed: nothing more to do.
    }
}

void Frmprincipal::mnuaumentarintervalo_Click()
{
    const int interval = m_timer1.interval();
    if (interval < 60000) {
        m_timer1.setInterval(interval + 1000);
        showInterval(m_timer1.interval() / 1000);
    }
}

void Frmprincipal::mnudisminuirintervalo_Click()
{
    const int interval = m_timer1.interval();
    if (interval > 1000) {
        m_timer1.setInterval(interval - 1000);
        showInterval(m_timer1.interval() / 1000);
    }
}

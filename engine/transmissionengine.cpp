// The transmission cycle. Send once and send in a loop open the port, open the message, key and
// play; the end of a play unkeys and either ends the transmission or arms the pause of a loop,
// whose timer keys and plays again; Stop undoes everything from any state.
#include "transmissionengine.h"

#include "audiodevice.h"
#include "deviceerror.h"
#include "keyinglines.h"
#include "serialline.h"

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

TransmissionEngine::TransmissionEngine(AudioDevice &reproductor, SerialLine &MSComm1, QObject *parent)
    : QObject(parent), m_reproductor(reproductor), m_MSComm1(MSComm1)
{
    connect(&m_reproductor, &AudioDevice::Done, this, &TransmissionEngine::reproductor_Done);
    connect(&m_timer1, &RepeatTimer::Timer, this, &TransmissionEngine::Timer1_Timer);
    m_guard.setSingleShot(true);
    m_guard.setTimerType(Qt::PreciseTimer);
    connect(&m_guard, &QTimer::timeout, this, &TransmissionEngine::guardTimeout);
    m_portWatch.setInterval(PortWatchMs);
    connect(&m_portWatch, &QTimer::timeout, this, &TransmissionEngine::watchPort);
}

TransmissionEngine::~TransmissionEngine()
{
    release();
}

void TransmissionEngine::setKeying(int leadMs, int tailMs, const KeyingLines &lines, int maxTransmissionMs)
{
    m_leadMs = leadMs;
    m_tailMs = tailMs;
    m_maxTransmissionMs = maxTransmissionMs;
    m_reproductor.setLeadTime(leadMs);
    m_reproductor.setTailTime(tailMs);
    m_MSComm1.setKeyingLines(lines);
}

void TransmissionEngine::sendOnce()
{
    send(true);
}

void TransmissionEngine::sendLoop()
{
    send(false);
}

// Port, message, key, play. A port that cannot be opened changes nothing else; a failure after
// it is undone. A message that cannot be heard whole is refused before anything is keyed.
void TransmissionEngine::send(bool once)
{
    m_modounavez = once;
    try {
        m_MSComm1.setPortOpen(true);
    } catch (const DeviceError &e) {
        emit failed(kSendError, e.reason());
        return;
    }
    try {
        m_reproductor.setCommand(QStringLiteral("open"));
        m_lengthMs = m_reproductor.length();
        emit messageOpened(m_lengthMs);
        checkMessageFits(m_lengthMs);
        if (!keyUp())
            return keyerLost();
        startPlay();
        setState(State::Playing);
    } catch (const DeviceError &e) {
        failTransmission(kSendError, e.reason());
    }
}

void TransmissionEngine::checkMessageFits(int lengthMs)
{
    m_reproductor.checkPlayable();
    const int needed = m_leadMs + lengthMs + m_tailMs;
    if (m_maxTransmissionMs > 0 && needed > m_maxTransmissionMs)
        throw DeviceError(
            QStringLiteral("La transmisión más larga permitida (%1 s) no alcanza para este mensaje: "
                           "necesita %2 s (retardo %3 ms, mensaje %4 ms y cola %5 ms).")
                .arg(seconds(m_maxTransmissionMs), seconds(needed))
                .arg(m_leadMs)
                .arg(lengthMs)
                .arg(m_tailMs));
}

// DTR then RTS, always as a pair; the guard starts timing with the key. False when the keying
// device turned out to be gone (the port closed itself): nothing is keyed then.
bool TransmissionEngine::keyUp()
{
    m_MSComm1.setDTREnable(true);
    m_MSComm1.setRTSEnable(true);
    if (!m_MSComm1.portOpen())
        return false;
    int limit = qMax(1, m_lengthMs) + m_leadMs + m_tailMs + 2000;
    if (m_maxTransmissionMs > 0)
        limit = qMin(limit, m_maxTransmissionMs);
    m_guard.start(limit);
    m_portWatch.start();
    return true;
}

void TransmissionEngine::keyDown()
{
    m_guard.stop();
    m_MSComm1.setDTREnable(false);
    m_MSComm1.setRTSEnable(false);
}

void TransmissionEngine::startPlay()
{
    m_reproductor.setNotify(true);
    m_awaitingDone = true;
    m_reproductor.setCommand(QStringLiteral("play"));
}

void TransmissionEngine::reproductor_Done(int NotifyCode)
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
    emit playEnded();
    commandQuietly(QStringLiteral("prev"));
    if (m_fileSend == FileSend::InLoop)
        return backToTheLoop();
    if (!m_modounavez) {
        m_timer1.setEnabled(true);
        setState(State::Pausing);
        return;
    }
    m_modounavez = false;
    m_portWatch.stop();
    commandQuietly(QStringLiteral("close"));
    m_MSComm1.setPortOpen(false);
    setIdle(Ending::Completed);
}

void TransmissionEngine::Timer1_Timer()
{
    try {
        if (!keyUp())
            return keyerLost();
        startPlay();
        m_timer1.setEnabled(false);
        setState(State::Playing);
    } catch (const DeviceError &e) {
        failTransmission(kPlayError, e.reason());
    }
}

void TransmissionEngine::stop()
{
    m_awaitingDone = false;
    m_timer1.setEnabled(false);
    keyDown();
    m_MSComm1.setPortOpen(false);
    commandQuietly(QStringLiteral("close"));
    m_portWatch.stop();
    setIdle(Ending::Stopped);
}

void TransmissionEngine::release()
{
    m_timer1.setEnabled(false);
    m_awaitingDone = false;
    m_portWatch.stop();
    keyDown();
    m_MSComm1.setPortOpen(false);
    commandQuietly(QStringLiteral("close"));
    restoreFile();
}

void TransmissionEngine::guardTimeout()
{
    failTransmission(kGuardError);
}

// While a transmission holds the port, a keying device that goes away (a USB adapter pulled
// out) ends it at once, whether keyed or in a pause.
void TransmissionEngine::watchPort()
{
    if (m_state == State::Idle) {
        m_portWatch.stop();
        return;
    }
    if (!m_MSComm1.checkPort())
        keyerLost();
}

void TransmissionEngine::keyerLost()
{
    failTransmission(kKeyerLost.arg(m_MSComm1.portDescription()));
}

// Undoes a transmission that cannot go on: unkeys first, then releases the sound and the port,
// and tells why.
void TransmissionEngine::failTransmission(const QString &message, const QString &cause)
{
    m_awaitingDone = false;
    m_timer1.setEnabled(false);
    m_portWatch.stop();
    keyDown();
    commandQuietly(QStringLiteral("close"));
    m_MSComm1.setPortOpen(false);
    m_failureText = cause.isEmpty() ? message : message + QLatin1Char(' ') + cause;
    setIdle(message == kGuardError ? Ending::Guard : Ending::Failed);
    emit failed(message, cause);
}

void TransmissionEngine::commandQuietly(const QString &command)
{
    try {
        m_reproductor.setCommand(command);
    } catch (const DeviceError &) {
        // Releasing a device that already failed: nothing more to do.
    }
}

// The end of a transmission: the device gets its own message back before anyone hears of it.
void TransmissionEngine::setIdle(Ending ending)
{
    m_ending = ending;
    restoreFile();
    setState(State::Idle);
}

bool TransmissionEngine::sendFile(const QString &path)
{
    if (m_state == State::Playing || m_fileSend != FileSend::None)
        return false;
    if (m_state == State::Pausing)
        return sendFileInPause(path);
    m_ownFile = m_reproductor.fileName();
    m_fileSend = FileSend::Alone;
    m_reproductor.setFileName(path);
    send(true);
    if (m_state == State::Playing)
        return true;
    restoreFile(); // refused before the key went up: failed() has told why
    return false;
}

// The loop's message is closed for the other one and opened again after it; the repeat timer
// waits meanwhile. A message that cannot go out is refused before keying and the loop goes on.
bool TransmissionEngine::sendFileInPause(const QString &path)
{
    m_timer1.setEnabled(false);
    commandQuietly(QStringLiteral("close"));
    m_ownFile = m_reproductor.fileName();
    m_fileSend = FileSend::InLoop;
    m_reproductor.setFileName(path);
    const int loopLengthMs = m_lengthMs;
    try {
        m_reproductor.setCommand(QStringLiteral("open"));
        m_lengthMs = m_reproductor.length();
        checkMessageFits(m_lengthMs);
    } catch (const DeviceError &e) {
        m_lengthMs = loopLengthMs;
        backToTheLoop();
        if (m_state == State::Pausing)
            emit failed(kSendError, e.reason());
        return false;
    }
    if (!keyUp()) {
        keyerLost();
        return false;
    }
    try {
        startPlay();
    } catch (const DeviceError &e) {
        failTransmission(kSendError, e.reason());
        return false;
    }
    setState(State::Playing);
    return true;
}

// After a message sent in the pause of a loop: the loop's own message again, and a whole pause.
void TransmissionEngine::backToTheLoop()
{
    commandQuietly(QStringLiteral("close"));
    restoreFile();
    try {
        m_reproductor.setCommand(QStringLiteral("open"));
        m_lengthMs = m_reproductor.length();
        emit messageOpened(m_lengthMs);
    } catch (const DeviceError &e) {
        failTransmission(kPlayError, e.reason());
        return;
    }
    m_timer1.setEnabled(true);
    setState(State::Pausing);
}

void TransmissionEngine::restoreFile()
{
    if (m_fileSend == FileSend::None)
        return;
    m_fileSend = FileSend::None;
    m_reproductor.setFileName(m_ownFile);
}

void TransmissionEngine::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

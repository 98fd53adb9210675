// The transmission cycle. Send once and send in a loop open the port, open the message, key and
// play; the end of a play unkeys and either ends the transmission or arms the pause of a loop,
// whose timer keys and plays again; Stop undoes everything from any state.
#include "transmissionengine.h"

#include "audiodevice.h"
#include "deviceerror.h"
#include "enginetexts.h"
#include "identification.h"

using namespace EngineTexts;
#include "keyer.h"
#include "keyinglines.h"
#include "serialkeyer.h"
#include "serialline.h"

TransmissionEngine::TransmissionEngine(AudioDevice &reproductor, SerialLine &MSComm1, QObject *parent)
    : QObject(parent), m_reproductor(reproductor), m_MSComm1(MSComm1),
      m_serialKeyer(std::make_unique<SerialKeyer>(MSComm1))
{
    useKeyer(nullptr);
    m_keyUpWait.setSingleShot(true);
    m_keyUpWait.setInterval(KeyUpAnswerMs);
    m_keyUpWait.setTimerType(Qt::PreciseTimer);
    connect(&m_keyUpWait, &QTimer::timeout, this, &TransmissionEngine::keyUpUnanswered);
    connect(&m_reproductor, &AudioDevice::Done, this, &TransmissionEngine::reproductor_Done);
    connect(&m_timer1, &RepeatTimer::Timer, this, &TransmissionEngine::Timer1_Timer);
    m_guard.setSingleShot(true);
    m_guard.setTimerType(Qt::PreciseTimer);
    connect(&m_guard, &QTimer::timeout, this, &TransmissionEngine::guardTimeout);
    m_portWatch.setInterval(PortWatchMs);
    connect(&m_portWatch, &QTimer::timeout, this, &TransmissionEngine::watchPort);
    connect(&m_channelWait, &ChannelWaiter::cleared, this, &TransmissionEngine::keyUp);
    connect(&m_channelWait, &ChannelWaiter::gaveUp, this, &TransmissionEngine::channelGaveUp);
    connect(&m_channelWait, &ChannelWaiter::unreadable, this,
            [this](const QString &reason) { failTransmission(kChannelUnreadable, reason); });
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

void TransmissionEngine::setKeyer(Keyer *keyer)
{
    if (m_state == State::Idle && !m_keyUpPending)
        useKeyer(keyer);
}

void TransmissionEngine::useKeyer(Keyer *keyer)
{
    if (m_keyer)
        disconnect(m_keyer, nullptr, this, nullptr);
    m_keyer = keyer ? keyer : m_serialKeyer.get();
    connect(m_keyer, &Keyer::keyedUp, this, &TransmissionEngine::keyedUp);
    connect(m_keyer, &Keyer::keyUpFailed, this, &TransmissionEngine::keyUpFailed);
    // A keyer that goes before the engine leaves it the serial line, never a dangling one.
    if (keyer)
        connect(keyer, &QObject::destroyed, this, [this] {
            m_keyer = nullptr;
            useKeyer(nullptr);
        });
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
        m_keyer->open();
    } catch (const DeviceError &e) {
        emit failed(kSendError, e.reason());
        return;
    }
    try {
        openMessage();
        emit messageOpened(m_lengthMs);
        checkMessageFits(m_lengthMs);
        m_firstPlay = true;
        keyUpWhenClear();
    } catch (const DeviceError &e) {
        failTransmission(kSendError, e.reason());
    }
}

// The message as it will go out: with the identification after it when this play identifies, so
// that the guard and the longest-transmission check count it. The device keeps its own file name.
void TransmissionEngine::openMessage()
{
    m_reproductor.setCommand(QStringLiteral("open"));
    if (m_identification) {
        m_reproductor.checkPlayable(); // the message's own faults are told as they are
        const QString own = m_reproductor.fileName();
        const QString identified = m_identification->withIdentification(own);
        if (!identified.isEmpty()) {
            m_reproductor.setFileName(identified);
            m_reproductor.setCommand(QStringLiteral("open"));
            m_reproductor.setFileName(own);
        }
    }
    m_lengthMs = m_reproductor.length();
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

// With no source of "busy" the key goes up here and now, as it always did.
void TransmissionEngine::keyUpWhenClear()
{
    switch (m_channelWait.begin()) {
    case ChannelWaiter::Start::Clear:
        return keyUp();
    case ChannelWaiter::Start::Waiting:
        return setState(State::Waiting);
    case ChannelWaiter::Start::Unreadable:
        return failTransmission(kChannelUnreadable, m_channelWait.reason());
    }
}

void TransmissionEngine::channelGaveUp()
{
    failTransmission(kChannelBusy.arg(seconds(int(m_channelWait.waitedMs()))), QString(), Ending::ChannelBusy);
}

// The play starts once the keyer confirms the key is up (at once for most devices; a radio on CAT
// answers later), so the lead is counted from a transmitter really keyed.
void TransmissionEngine::keyUp()
{
    m_keyUpPending = true;
    m_keyUpWait.start();
    m_channelWait.keyed(true);
    m_keyer->keyUp();
    if (m_keyUpPending)
        setState(State::Playing); // waiting for the answer: Stop must work meanwhile
}

// The guard starts timing with the key.
void TransmissionEngine::keyedUp()
{
    if (!m_keyUpPending)
        return; // an answer to a key-up already undone: its key-down went out after it
    m_keyUpPending = false;
    m_keyUpWait.stop();
    int limit = qMax(1, m_lengthMs) + m_leadMs + m_tailMs + 2000;
    if (m_maxTransmissionMs > 0)
        limit = qMin(limit, m_maxTransmissionMs);
    m_guard.start(limit);
    m_portWatch.start();
    try {
        startPlay();
        m_timer1.setEnabled(false);
        setState(State::Playing);
    } catch (const DeviceError &e) {
        failTransmission(m_firstPlay ? kSendError : kPlayError, e.reason());
    }
    m_firstPlay = false;
}

// A keying device that turned out to be gone is lost; any other refusal is told with its reason.
void TransmissionEngine::keyUpFailed(const QString &reason)
{
    if (!m_keyUpPending)
        return;
    m_keyUpPending = false;
    m_keyUpWait.stop();
    if (reason.isEmpty() || !m_keyer->check())
        return keyerLost();
    failTransmission(kKeyUpError.arg(m_keyer->description()), reason);
}

void TransmissionEngine::keyUpUnanswered()
{
    if (!m_keyUpPending)
        return;
    m_keyUpPending = false;
    failTransmission(kKeyUpUnanswered.arg(m_keyer->description(), seconds(KeyUpAnswerMs)));
}

void TransmissionEngine::keyDown()
{
    m_guard.stop();
    m_keyUpPending = false;
    m_keyUpWait.stop();
    m_keyer->keyDown();
    m_channelWait.keyed(false);
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
        failTransmission(kPlayError, m_reproductor.failureReason());
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
    m_keyer->close();
    setIdle(Ending::Completed);
}

void TransmissionEngine::Timer1_Timer()
{
    if (m_keyUpPending || m_channelWait.waiting())
        return;
    m_firstPlay = false;
    keyUpWhenClear();
}

void TransmissionEngine::stop()
{
    m_awaitingDone = false;
    m_timer1.setEnabled(false);
    m_channelWait.cancel();
    keyDown();
    m_keyer->close();
    commandQuietly(QStringLiteral("close"));
    m_portWatch.stop();
    setIdle(Ending::Stopped);
}

void TransmissionEngine::release()
{
    m_timer1.setEnabled(false);
    m_channelWait.cancel();
    m_awaitingDone = false;
    m_portWatch.stop();
    keyDown();
    m_keyer->close();
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
    if (!m_keyer->check())
        keyerLost();
}

void TransmissionEngine::keyerLost()
{
    failTransmission(kKeyerLost.arg(m_keyer->description()));
}

// Undoes a transmission that cannot go on: unkeys first, then releases the sound and the port,
// and tells why.
void TransmissionEngine::failTransmission(const QString &message, const QString &cause, Ending ending)
{
    m_channelWait.cancel();
    m_awaitingDone = false;
    m_timer1.setEnabled(false);
    m_portWatch.stop();
    keyDown();
    commandQuietly(QStringLiteral("close"));
    m_keyer->close();
    m_failureMessage = message;
    m_failureCause = cause;
    setIdle(message == kGuardError ? Ending::Guard : ending);
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

void TransmissionEngine::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

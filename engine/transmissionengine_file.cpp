// Another message sent once on its own or in the pause of a loop (the schedule, the
// identification), the device's own message given back after it.
#include "transmissionengine.h"

#include "audiodevice.h"
#include "deviceerror.h"
#include "enginetexts.h"

using namespace EngineTexts;

bool TransmissionEngine::sendFile(const QString &path)
{
    if (onAir() || m_fileSend != FileSend::None)
        return false;
    if (m_state == State::Pausing)
        return sendFileInPause(path);
    m_ownFile = m_reproductor.fileName();
    m_fileSend = FileSend::Alone;
    m_reproductor.setFileName(path);
    send(true);
    if (onAir())
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
        openMessage();
        checkMessageFits(m_lengthMs);
    } catch (const DeviceError &e) {
        m_lengthMs = loopLengthMs;
        backToTheLoop();
        if (m_state == State::Pausing)
            emit failed(kSendError, e.reason());
        return false;
    }
    // Its play starts when the key-up is confirmed; a failure on the way ends the loop too.
    m_firstPlay = true;
    keyUpWhenClear();
    return onAir();
}

// After a message sent in the pause of a loop: the loop's own message again, and a whole pause.
void TransmissionEngine::backToTheLoop()
{
    commandQuietly(QStringLiteral("close"));
    restoreFile();
    try {
        openMessage();
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

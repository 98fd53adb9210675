#include "identrunner.h"

#include "clock.h"
#include "deviceerror.h"
#include "enginelogger.h"
#include "identification.h"

#include <utility>

IdentRunner::IdentRunner(TransmissionEngine &engine, EngineLogger &logger, Identification &identification,
                         const Clock &clock, QObject *parent)
    : QObject(parent), m_engine(engine), m_logger(logger), m_identification(identification), m_clock(clock)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &IdentRunner::check);
    connect(&m_engine, &TransmissionEngine::stateChanged, this, &IdentRunner::onState);
}

bool IdentRunner::enabled() const
{
    return m_identification.settings().identificacion == IdentSettings::Mode::Cada;
}

qint64 IdentRunner::intervalMs() const
{
    return qint64(m_identification.settings().identcadaMin) * 60000;
}

// A play on the air makes the identification owed; the end of a play (idle, or the pause of a
// loop) is when it may go out. The identification's own play owes nothing, however it ended; after
// Stop or a failure nothing keys again on its own: the identification waits for the next play.
void IdentRunner::onState(TransmissionEngine::State state)
{
    if (state == TransmissionEngine::State::Playing) {
        if (!m_sending && enabled())
            m_due.transmitted();
        return;
    }
    if (state == TransmissionEngine::State::Waiting)
        return; // nothing on the air yet, its own identification included
    if (std::exchange(m_sending, false))
        return;
    if (state == TransmissionEngine::State::Idle &&
        m_engine.ending() != TransmissionEngine::Ending::Completed) {
        m_timer.stop();
        return;
    }
    // From the event loop: whoever else follows the engine hears of this state first.
    QTimer::singleShot(0, this, &IdentRunner::check);
}

void IdentRunner::check()
{
    if (!enabled() || !m_due.owed() || m_sending)
        return;
    const qint64 now = m_clock.monotonicMs();
    if (!m_due.due(now, intervalMs())) {
        m_timer.start(int(m_due.msUntil(now, intervalMs())));
        return;
    }
    if (m_engine.onAir() || m_engine.sendingFile())
        return; // the end of that play checks again
    if (m_held && m_held()) {
        m_timer.start(HeldRetryMs);
        return;
    }
    QString file;
    // Counted from its start, whether it goes out or not: a refusal is not tried again at every play.
    m_due.identified(now);
    try {
        file = m_identification.alone();
    } catch (const DeviceError &e) {
        emit failed(e.reason());
        return;
    }
    const IdentSettings &s = m_identification.settings();
    m_logger.expect(LogOrigin::Identificacion, 0, s.identarchivo.isEmpty() ? s.morseText() : s.identarchivo);
    m_sending = true;
    if (!m_engine.sendFile(file))
        m_sending = false; // failed() has told why
}

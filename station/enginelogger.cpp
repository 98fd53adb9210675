#include "enginelogger.h"

#include "audiodevice.h"
#include "clock.h"

#include <utility>

namespace {
LogResult resultOf(TransmissionEngine::Ending ending)
{
    switch (ending) {
    case TransmissionEngine::Ending::Completed:
        return LogResult::Completa;
    case TransmissionEngine::Ending::Stopped:
        return LogResult::Detenida;
    case TransmissionEngine::Ending::Guard:
        return LogResult::CortadaPorSeguridad;
    case TransmissionEngine::Ending::ChannelBusy:
        return LogResult::CanalOcupado;
    case TransmissionEngine::Ending::Failed:
        break;
    }
    return LogResult::Fallo;
}

// Results the operator hears of as a failure: the message did not go out, or not whole.
bool isFailure(LogResult result)
{
    return result == LogResult::Fallo || result == LogResult::CortadaPorSeguridad ||
           result == LogResult::CanalOcupado;
}
} // namespace

EngineLogger::EngineLogger(TransmissionEngine &engine, TransmissionLog &log, const Clock &clock,
                           QObject *parent)
    : QObject(parent), m_engine(engine), m_log(log), m_clock(clock)
{
    connect(&m_engine, &TransmissionEngine::stateChanged, this, &EngineLogger::onState);
    connect(&m_engine, &TransmissionEngine::failed, this, &EngineLogger::onFailed);
    // The loudness and gain of a play heard whole, before the device opens another message.
    connect(&m_engine, &TransmissionEngine::playEnded, this,
            [this] { (m_inserted.active ? m_inserted : m_main).level = m_engine.reproductor().levelNote(); });
    m_alive.setInterval(AliveMs);
    connect(&m_alive, &QTimer::timeout, &m_log, &TransmissionLog::stillOnAir);
}

EngineLogger::~EngineLogger()
{
    if (m_inserted.active)
        finish(m_inserted, LogResult::Detenida, QString());
    if (m_main.active)
        finish(m_main, LogResult::Detenida, QString());
}

void EngineLogger::expect(LogOrigin origin, int programa, const QString &archivo, quint32 tag)
{
    m_expectedTag = tag;
    m_expected = TransmissionRecord();
    m_expected.origen = origin;
    m_expected.programa = programa;
    m_expected.archivo = archivo;
    m_hasExpected = true;
}

TransmissionRecord EngineLogger::expected(quint32 *tag)
{
    const TransmissionRecord record = m_hasExpected ? m_expected : TransmissionRecord();
    *tag = m_hasExpected ? m_expectedTag : 0;
    m_hasExpected = false;
    return record;
}

void EngineLogger::begin(Session &session)
{
    session = Session();
    session.active = true;
    session.record = expected(&session.tag);
    session.record.inicio = m_clock.now();
}

void EngineLogger::endWait(Session &session)
{
    if (std::exchange(session.waiting, false))
        session.waitedMs += m_engine.channelWait().waitedMs();
}

// A wait the line would show as 0,0 s (a key-up put off for a sound starting that was a click)
// is not told.
QString EngineLogger::waitDetail(qint64 waitedMs)
{
    if (waitedMs < 50)
        return QString();
    return QStringLiteral("Esperó %1 s a que el canal quedase libre.").arg(logSeconds(waitedMs / 1000.0));
}

void EngineLogger::endAir(Session &session)
{
    if (!session.airFrom.isValid())
        return;
    session.airSecs += session.airFrom.msecsTo(m_clock.now()) / 1000.0;
    session.airFrom = QDateTime();
}

void EngineLogger::finish(Session &session, LogResult result, const QString &given)
{
    endAir(session);
    endWait(session);
    // A line of "canal ocupado" already says how long it waited.
    const QString waited = result == LogResult::CanalOcupado ? QString() : waitDetail(session.waitedMs);
    const QString detail = waited.isEmpty() || given.isEmpty() ? waited + given : waited + QLatin1Char(' ') + given;
    session.active = false;
    session.record.fin = m_clock.now();
    session.record.segundos = qMax(0.0, session.airSecs);
    session.record.resultado = result;
    session.record.detalle = session.level.isEmpty() ? detail
                             : detail.isEmpty()      ? session.level
                                                     : detail + QLatin1Char(' ') + session.level;
    m_log.transmissionEnded(session.record);
    emit written(session.record, session.tag);
    if (isFailure(result))
        emit failureWritten(session.record);
}

void EngineLogger::onState(TransmissionEngine::State state)
{
    using State = TransmissionEngine::State;
    m_failureLogged = false;
    if (state == State::Playing || state == State::Waiting) {
        if (!m_main.active) {
            begin(m_main);
        } else if (m_engine.sendingFile() && !m_inserted.active) {
            begin(m_inserted);
        }
        Session &on = m_inserted.active ? m_inserted : m_main;
        if (state == State::Waiting) {
            on.waiting = true;
            return;
        }
        endWait(on);
        // A crash now cuts the loop as well as the message in its pause: both get their line.
        if (!std::exchange(on.marked, true))
            m_log.transmissionStarted(&on == &m_inserted ? QList<TransmissionRecord>{m_main.record, on.record}
                                                         : QList<TransmissionRecord>{on.record});
        on.airFrom = m_clock.now();
        m_alive.start();
        return;
    }
    m_alive.stop();
    if (state == State::Pausing) {
        if (m_inserted.active) {
            finish(m_inserted, LogResult::Completa, QString());
            m_log.transmissionStarted(m_main.record); // the loop is the one on the air again
        }
        endAir(m_main);
        return;
    }
    // Idle: however it ended, the lines say it.
    const LogResult result = resultOf(m_engine.ending());
    const QString detail =
        isFailure(result) ? failureDetail(m_engine.failureMessage(), m_engine.failureCause()) : QString();
    if (m_inserted.active)
        finish(m_inserted, result, detail);
    if (m_main.active)
        finish(m_main, result, detail);
    m_failureLogged = isFailure(result);
}

// A failure with no end of a transmission before it: a command refused before anything was keyed
// (the port busy, the message missing), alone or in the pause of a loop.
void EngineLogger::onFailed(const QString &message, const QString &cause)
{
    if (std::exchange(m_failureLogged, false))
        return;
    quint32 tag = 0;
    TransmissionRecord record = expected(&tag);
    record.inicio = record.fin = m_clock.now();
    record.segundos = 0;
    record.resultado = LogResult::Fallo;
    record.detalle = failureDetail(message, cause);
    m_log.append(record);
    emit written(record, tag);
    emit failureWritten(record);
}

QString EngineLogger::failureDetail(const QString &message, const QString &cause)
{
    QString lead = cause.trimmed();
    if (lead.isEmpty())
        return message;
    lead[0] = lead.at(0).toUpper();
    if (!QStringLiteral(".!?").contains(lead.back()))
        lead += QLatin1Char('.');
    return lead + QLatin1Char(' ') + message;
}

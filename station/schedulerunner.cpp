#include "schedulerunner.h"

#include "audiodevice.h"
#include "enginelogger.h"
#include "schedulememory.h"

#include <QRegularExpression>

ScheduleRunner::ScheduleRunner(TransmissionEngine &engine, EngineLogger &logger, TransmissionLog &log,
                               const Clock &clock, QObject *parent)
    : QObject(parent), m_engine(engine), m_logger(logger), m_log(log), m_clock(clock),
      m_scheduler(clock, *this)
{
    // Queued: a waiting slot starts from the event loop, never from inside the engine's own
    // report of the end of the last play.
    connect(
        &m_engine, &TransmissionEngine::stateChanged, &m_scheduler,
        [this](TransmissionEngine::State state) {
            if (state == TransmissionEngine::State::Idle || state == TransmissionEngine::State::Pausing)
                m_scheduler.transmissionEnded();
        },
        Qt::QueuedConnection);
    connect(&m_scheduler, &Scheduler::slotsMissed, this,
            [this](const ScheduleEntry &entry, const QDateTime &first, const QDateTime &last, int,
                   const QString &detail) { logUnsent(entry, first, last, LogResult::Perdida, detail); });
    connect(&m_scheduler, &Scheduler::slotSkipped, this,
            [this](const ScheduleEntry &entry, const QDateTime &slot, const QString &detail) {
                logUnsent(entry, slot, m_clock.now(), LogResult::Omitida, detail);
            });
    connect(&m_scheduler, &Scheduler::entryRejected, this, &ScheduleRunner::logRejected);
    connect(&m_scheduler, &Scheduler::entriesChanged, this, &ScheduleRunner::prepareMessages);
}

// Measured now, in a worker thread, so that a slot's play need not wait for it.
void ScheduleRunner::prepareMessages()
{
    for (const ScheduleEntry &entry : m_scheduler.entries())
        if (entry.activo)
            m_engine.reproductor().prepareLevel(entry.archivo);
}

void ScheduleRunner::start(const SettingsStore &store, const QDateTime &dueFrom)
{
    m_scheduler.load(store);
    const QList<QStringList> latest = readLatestLog(m_log.folder(), RememberedLines);
    QDateTime lastRun;
    if (!latest.isEmpty() && latest.first().size() > 1)
        lastRun = QDateTime::fromString(latest.first().at(1), Qt::ISODateWithMs);
    m_scheduler.start(lastRun, handledSlots(latest, m_scheduler.entries(), m_scheduler.zone()), dueFrom);
}

void ScheduleRunner::hold(bool on)
{
    m_holds = qMax(0, m_holds + (on ? 1 : -1));
    if (m_holds == 0)
        m_scheduler.transmissionEnded();
}

bool ScheduleRunner::busyPlaying() const
{
    return m_holds > 0 || m_engine.onAir();
}

bool ScheduleRunner::waitingForChannel() const
{
    return m_engine.state() == TransmissionEngine::State::Waiting;
}

bool ScheduleRunner::sendScheduled(const ScheduleEntry &entry)
{
    m_logger.expect(LogOrigin::Programa, entry.number, entry.archivo);
    m_sending = true;
    const bool started = m_engine.sendFile(entry.archivo);
    m_sending = false;
    return started;
}

void ScheduleRunner::logUnsent(const ScheduleEntry &entry, const QDateTime &first, const QDateTime &last,
                               LogResult result, const QString &detail)
{
    TransmissionRecord record;
    record.inicio = first;
    record.fin = last;
    record.origen = LogOrigin::Programa;
    record.programa = entry.number;
    record.archivo = entry.archivo;
    record.segundos = 0;
    record.resultado = result;
    record.detalle = detail;
    m_log.append(record);
}

// "programa3: ..." names the entry; its line says it was left out, and why.
void ScheduleRunner::logRejected(const QString &reason)
{
    static const QRegularExpression group(QStringLiteral("^programa(\\d+)"));
    TransmissionRecord record;
    record.inicio = record.fin = m_clock.now();
    record.origen = LogOrigin::Programa;
    record.programa = group.match(reason).captured(1).toInt();
    record.segundos = 0;
    record.resultado = LogResult::Omitida;
    record.detalle = reason;
    m_log.append(record);
}

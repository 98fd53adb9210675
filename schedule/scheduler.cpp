// Each check reads the wall clock once, asks the slot calculator what passed since the last check,
// reports what went by, queues what is due, drops what waited too long and sends the oldest
// waiting slot if the transmitter is free. The timer then sleeps until the next slot, a second
// at most, so a clock step is seen within a second.
#include "scheduler.h"

#include <algorithm>

namespace {
// Slots sent are remembered this long either side of now: a clock stepped back by up to that
// much never repeats one.
constexpr qint64 kRememberMs = 2LL * kMaxLookBackSecs * 1000;
constexpr qint64 kPruneEveryMs = 60LL * 60 * 1000;

QString when(const QDateTime &t)
{
    return t.toString(QStringLiteral("HH:mm 'del' yyyy-MM-dd"));
}
} // namespace

QString missedDetail(const QDateTime &first, const QDateTime &last, int count)
{
    const QString why = QStringLiteral("el reloj cambió, el equipo estuvo suspendido o el programa no "
                                       "estaba en marcha");
    if (count == 1)
        return QStringLiteral("No se envió a su hora, las %1: %2.").arg(when(first), why);
    return QStringLiteral("No se enviaron %1 emisiones, de las %2 a las %3: %4.")
        .arg(count)
        .arg(when(first), when(last), why);
}

QString skippedDetail()
{
    return QStringLiteral("Otra transmisión seguía en el aire %1 segundos después de su hora.")
        .arg(kSlotToleranceSecs);
}

Scheduler::Scheduler(const Clock &clock, ScheduleTarget &target, const QTimeZone &zone, QObject *parent)
    : QObject(parent), m_clock(clock), m_target(target), m_zone(zone)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Scheduler::check);
}

void Scheduler::setEntries(const QList<ScheduleEntry> &entries)
{
    m_entries = entries;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        const ScheduleEntry *e = entry(it->slot.number);
        it = (e && e->activo) ? it + 1 : m_waiting.erase(it);
    }
    emit entriesChanged();
}

void Scheduler::load(const SettingsStore &store)
{
    ScheduleReading reading = readSchedule(store);
    // Told now, not when the slot comes.
    for (auto it = reading.entries.begin(); it != reading.entries.end();) {
        const QString why = it->activo ? messageProblem(it->archivo) : QString();
        if (why.isEmpty()) {
            ++it;
            continue;
        }
        reading.problems << it->group() + QStringLiteral(": ") + why;
        it = reading.entries.erase(it);
    }
    setEntries(reading.entries);
    for (const QString &reason : reading.problems)
        emit entryRejected(reason);
}

void Scheduler::start(const QDateTime &lastRun, const SentSlots &handled, const QDateTime &dueFrom)
{
    const QDateTime now = m_clock.now();
    const QDateTime recent = now.addSecs(-kSlotToleranceSecs);
    m_lastCheck = lastRun.isValid() && lastRun < recent ? lastRun : recent;
    for (auto it = handled.cbegin(); it != handled.cend(); ++it)
        m_sent[it.key()].unite(it.value());
    m_startedAt = dueFrom.isValid() && dueFrom < now ? dueFrom : now;
    m_running = true;
    check();
}

void Scheduler::stop()
{
    m_running = false;
    m_timer.stop();
    m_waiting.clear();
}

void Scheduler::transmissionEnded()
{
    m_onAir = false;
    check();
}

const ScheduleEntry *Scheduler::entry(int number) const
{
    for (const ScheduleEntry &e : m_entries) {
        if (e.number == number)
            return &e;
    }
    return nullptr;
}

void Scheduler::check()
{
    if (!m_running)
        return;
    if (m_checking) {
        // Called back from inside a send: the check runs again once this one is over.
        QMetaObject::invokeMethod(this, &Scheduler::check, Qt::QueuedConnection);
        return;
    }
    m_checking = true;
    const QDateTime now = m_clock.now();
    const qint64 monotonicMs = m_clock.monotonicMs();
    // After a step back the slots from there on come round again (those sent are known), and one
    // just before the new time is as due as at start-up.
    const QDateTime from =
        m_lastCheck.isValid() && m_lastCheck <= now ? m_lastCheck : now.addSecs(-kSlotToleranceSecs);
    const SlotScan scan = scanSlots(m_entries, from, now, m_zone, m_sent, m_startedAt);
    m_startedAt = QDateTime();
    m_lastCheck = now;
    m_next = scan.next;

    for (const MissedSlots &missed : scan.missed) {
        if (const ScheduleEntry *e = entry(missed.number))
            emit slotsMissed(*e, missed.first, missed.last, missed.count,
                             missedDetail(missed.first, missed.last, missed.count));
    }
    for (const DueSlot &due : scan.due) {
        const bool queued = std::any_of(m_waiting.cbegin(), m_waiting.cend(), [&](const Waiting &w) {
            return w.slot.number == due.number && w.slot.time == due.time;
        });
        if (!queued)
            m_waiting << Waiting{due, monotonicMs, due.time};
    }
    if (m_target.waitingForChannel()) {
        for (Waiting &w : m_waiting) {
            w.since = qMax(w.since, now);
            w.queuedMs = monotonicMs;
        }
    }
    expireWaiting(now, monotonicMs);
    sendNext();
    forgetOldSlots(now, monotonicMs);
    arm(now);
    m_checking = false;
}

void Scheduler::expireWaiting(const QDateTime &now, qint64 monotonicMs)
{
    const qint64 limitMs = kSlotToleranceSecs * 1000LL;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        // Late by the wall clock, or waiting that long by the monotonic one when the wall clock
        // went back meanwhile.
        if (it->since.msecsTo(now) <= limitMs && monotonicMs - it->queuedMs <= limitMs) {
            ++it;
            continue;
        }
        const Waiting late = *it;
        it = m_waiting.erase(it);
        if (const ScheduleEntry *e = entry(late.slot.number))
            emit slotSkipped(*e, late.slot.time, skippedDetail());
    }
}

void Scheduler::sendNext()
{
    while (!m_onAir && !m_waiting.isEmpty() && !m_target.busyPlaying()) {
        const DueSlot slot = m_waiting.takeFirst().slot;
        const ScheduleEntry *e = entry(slot.number);
        if (!e)
            continue;
        const ScheduleEntry sending = *e;
        m_sent[slot.number].insert(slot.time.toMSecsSinceEpoch());
        m_onAir = true;
        emit slotStarting(sending, slot.time);
        if (!m_target.sendScheduled(sending))
            m_onAir = false;
    }
}

void Scheduler::forgetOldSlots(const QDateTime &now, qint64 monotonicMs)
{
    if (m_prunedAtMs >= 0 && monotonicMs - m_prunedAtMs < kPruneEveryMs)
        return;
    m_prunedAtMs = monotonicMs;
    const qint64 nowMs = now.toMSecsSinceEpoch();
    for (auto it = m_sent.begin(); it != m_sent.end(); ++it) {
        QSet<qint64> &times = it.value();
        times.removeIf([nowMs](qint64 t) { return qAbs(t - nowMs) > kRememberMs; });
    }
}

void Scheduler::arm(const QDateTime &now)
{
    qint64 ms = MaxCheckMs;
    if (m_next.isValid())
        ms = qBound(qint64(1), now.msecsTo(m_next), qint64(MaxCheckMs));
    m_timer.start(int(ms));
}

#include "slotcalculator.h"

#include <algorithm>

namespace {
// The wall times of the entry on one day from the minute of from on, in order.
QList<QTime> wallTimesFrom(const ScheduleEntry &entry, QTime from)
{
    const int fromMinute = from.hour() * 60 + from.minute();
    QList<QTime> times;
    if (entry.cada > 0) {
        for (int minute = fromMinute / entry.cada * entry.cada; minute < 24 * 60; minute += entry.cada) {
            if (minute >= fromMinute)
                times << QTime(minute / 60, minute % 60);
        }
    } else {
        const QTime start(from.hour(), from.minute());
        const auto first = std::lower_bound(entry.horas.cbegin(), entry.horas.cend(), start);
        times = QList<QTime>(first, entry.horas.cend());
    }
    return times;
}
} // namespace

QDateTime wallTimeInstant(QDate date, QTime time, const QTimeZone &zone)
{
    const qint64 naive = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    // The offsets in force a day either side cover both sides of any change near this time; an
    // offset fits when the instant it gives really has it.
    qint64 best = 0;
    bool found = false;
    for (const qint64 probe : {naive - 86400, naive, naive + 86400}) {
        const int offset = zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(probe, Qt::UTC));
        const qint64 instant = naive - offset;
        if (zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(instant, Qt::UTC)) != offset)
            continue;
        if (!found || instant < best)
            best = instant;
        found = true;
    }
    return found ? QDateTime::fromSecsSinceEpoch(best, zone) : QDateTime();
}

QDateTime nextSlot(const ScheduleEntry &entry, const QDateTime &after, const QTimeZone &zone)
{
    if (!entry.activo || (entry.cada <= 0 && entry.horas.isEmpty()))
        return QDateTime();
    const QDateTime local = after.toTimeZone(zone);
    QDate day = local.date();
    // The first slot at a wall time before that of after is itself no later than after, even in
    // the hour passed twice (its first pass is the slot): the search starts at after's wall time.
    QTime from = local.time();
    if (entry.desde.isValid() && day < entry.desde) {
        day = entry.desde;
        from = QTime(0, 0);
    }
    // A week, and a day and more for a day whose only times the clocks skip.
    for (int i = 0; i < 9; ++i, day = day.addDays(1), from = QTime(0, 0)) {
        if (entry.hasta.isValid() && day > entry.hasta)
            return QDateTime();
        if (!entry.runsOnWeekday(day.dayOfWeek()))
            continue;
        for (const QTime &time : wallTimesFrom(entry, from)) {
            const QDateTime at = wallTimeInstant(day, time, zone);
            if (at.isValid() && at > after)
                return at;
        }
    }
    return QDateTime();
}

SlotScan scanSlots(const QList<ScheduleEntry> &entries, QDateTime from, const QDateTime &now,
                   const QTimeZone &zone, const SentSlots &sent, const QDateTime &dueFrom)
{
    const QDateTime earliest = now.addSecs(-kMaxLookBackSecs);
    if (!from.isValid() || from < earliest)
        from = earliest;
    SlotScan scan;
    for (const ScheduleEntry &entry : entries) {
        const QSet<qint64> done = sent.value(entry.number);
        MissedSlots missed{entry.number, {}, {}, 0};
        const auto miss = [&missed](const QDateTime &t) {
            if (!missed.first.isValid() || t < missed.first)
                missed.first = t;
            if (!missed.last.isValid() || t > missed.last)
                missed.last = t;
            ++missed.count;
        };
        QDateTime due;
        QDateTime t = nextSlot(entry, from, zone);
        for (; t.isValid() && t <= now; t = nextSlot(entry, t, zone)) {
            if (done.contains(t.toMSecsSinceEpoch()))
                continue;
            if (t.msecsTo(now) > kSlotToleranceSecs * 1000LL || (dueFrom.isValid() && t < dueFrom)) {
                miss(t);
                continue;
            }
            if (due.isValid())
                miss(due);
            due = t;
        }
        if (due.isValid())
            scan.due << DueSlot{entry.number, due};
        if (missed.count > 0)
            scan.missed << missed;
        if (t.isValid() && (!scan.next.isValid() || t < scan.next))
            scan.next = t;
    }
    std::stable_sort(scan.due.begin(), scan.due.end(),
                     [](const DueSlot &a, const DueSlot &b) { return a.time < b.time; });
    return scan;
}

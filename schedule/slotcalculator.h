#pragma once

#include "scheduleentry.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTimeZone>

// When the scheduled broadcasts fall. Slots are wall times of the given zone: a time the clocks
// skip that day (spring forward) has no slot, a time they pass twice (fall back) has one, the
// first. Pure functions: the caller says what time it is.

// A slot that passed more than this many seconds ago is not sent any more.
constexpr int kSlotToleranceSecs = 60;
// Slots further back than this are not looked at (a clock set right after years off).
constexpr int kMaxLookBackSecs = 24 * 60 * 60;

// The instant the wall time of date happens in zone: invalid when the clocks skip it that day,
// the earlier of the two when they pass it twice.
QDateTime wallTimeInstant(QDate date, QTime time, const QTimeZone &zone);

// The entry's first slot strictly after the instant after; invalid when there is none (inactive,
// or past its last day).
QDateTime nextSlot(const ScheduleEntry &entry, const QDateTime &after, const QTimeZone &zone);

struct DueSlot
{
    int number = 0;
    QDateTime time;
};

// A run of slots of one entry that passed unsent by more than the tolerance.
struct MissedSlots
{
    int number = 0;
    QDateTime first;
    QDateTime last;
    int count = 0;
};

struct SlotScan
{
    QList<DueSlot> due;        // at most one per entry, oldest first
    QList<MissedSlots> missed; // at most one run per entry
    QDateTime next;            // the first slot after now, of any entry; invalid when none
};

// Slot instants already sent, in ms since the epoch, by entry number.
using SentSlots = QHash<int, QSet<qint64>>;

// The slots of the active entries in (from, now] that were not sent: the latest one of each entry
// within the tolerance and no earlier than dueFrom (when valid) is due, the rest missed. from is
// taken no earlier than kMaxLookBackSecs before now.
SlotScan scanSlots(const QList<ScheduleEntry> &entries, QDateTime from, const QDateTime &now,
                   const QTimeZone &zone, const SentSlots &sent, const QDateTime &dueFrom = QDateTime());

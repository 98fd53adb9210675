#pragma once

#include "slotcalculator.h"

#include <QList>
#include <QStringList>
#include <QTimeZone>

// What the schedule did before the program started, as its log lines tell: the slots of the
// entries that went out (the latest slot of the entry at or before the line's start, at most the
// tolerance before it) and those already reported missed or skipped (the entry's slots from the
// line's start to its end). lines are the log's, each as its seven fields, in any order.
SentSlots handledSlots(const QList<QStringList> &lines, const QList<ScheduleEntry> &entries,
                       const QTimeZone &zone);

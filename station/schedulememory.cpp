#include "schedulememory.h"

#include "transmissionlog.h"

#include <QRegularExpression>

namespace {
// A run of missed slots spans a day at most; a line claiming more is not trusted further.
constexpr int kMaxSlotsPerLine = 24 * 60 + 1;

const ScheduleEntry *entryOf(const QList<ScheduleEntry> &entries, int number)
{
    for (const ScheduleEntry &e : entries) {
        if (e.number == number)
            return &e;
    }
    return nullptr;
}
} // namespace

SentSlots handledSlots(const QList<QStringList> &lines, const QList<ScheduleEntry> &entries,
                       const QTimeZone &zone)
{
    static const QRegularExpression origin(QStringLiteral("^programa ([0-9]+)$"));
    SentSlots handled;
    for (const QStringList &line : lines) {
        const QRegularExpressionMatch m = origin.match(line.value(2));
        const ScheduleEntry *entry = m.hasMatch() ? entryOf(entries, m.captured(1).toInt()) : nullptr;
        const QDateTime inicio = QDateTime::fromString(line.value(0), Qt::ISODateWithMs);
        if (!entry || !inicio.isValid())
            continue;
        const QString result = line.value(5);
        QSet<qint64> &done = handled[entry->number];
        if (result == resultText(LogResult::Perdida) || result == resultText(LogResult::Omitida)) {
            const QDateTime fin = QDateTime::fromString(line.value(1), Qt::ISODateWithMs);
            QDateTime t = nextSlot(*entry, inicio.addMSecs(-1), zone);
            for (int n = 0; t.isValid() && fin.isValid() && t <= fin && n < kMaxSlotsPerLine; ++n) {
                done.insert(t.toMSecsSinceEpoch());
                t = nextSlot(*entry, t, zone);
            }
            continue;
        }
        QDateTime sent;
        for (QDateTime t = nextSlot(*entry, inicio.addSecs(-kSlotToleranceSecs - 1), zone);
             t.isValid() && t <= inicio; t = nextSlot(*entry, t, zone))
            sent = t;
        if (sent.isValid())
            done.insert(sent.toMSecsSinceEpoch());
    }
    return handled;
}

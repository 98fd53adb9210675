#pragma once

#include "clock.h"
#include "scheduleentry.h"
#include "slotcalculator.h"

#include <QObject>
#include <QTimeZone>
#include <QTimer>

// What the schedule drives: the transmission cycle the operator's commands drive too.
class ScheduleTarget
{
public:
    virtual ~ScheduleTarget() = default;
    // True from key-up to key-down of any transmission. A loop waiting in its pause is not
    // busy: a slot falling there is sent in the pause, and the owner starts the pause again
    // after it.
    virtual bool busyPlaying() const = 0;
    // Sends the entry's message once, as "Una vez" does. Returns false when it could not start
    // (the owner logs why); otherwise the owner calls Scheduler::transmissionEnded() when it is
    // over, however it ends.
    virtual bool sendScheduled(const ScheduleEntry &entry) = 0;
    // True while a transmission waits for a clear channel before its key-up: the slots waiting
    // behind it count their time from the end of that wait.
    virtual bool waitingForChannel() const { return false; }
};

// Sends the scheduled broadcasts at their wall-clock times through the target, one at a time and
// never over another transmission. A slot that falls during a play waits for its end; one still
// waiting kSlotToleranceSecs after its time is skipped, as is one the program finds that late (a
// clock step, a suspend) and one due before the program started: none is ever sent late. A slot
// sent is remembered, so a clock stepped back never sends it again.
class Scheduler : public QObject
{
    Q_OBJECT
public:
    // The clock is read at least this often, and at each slot's time.
    static constexpr int MaxCheckMs = 1000;

    Scheduler(const Clock &clock, ScheduleTarget &target, const QTimeZone &zone = QTimeZone::systemTimeZone(),
              QObject *parent = nullptr);

    // The entries to run (inactive ones are kept and not sent). From the next check on; slots
    // already waiting for entries that are gone are dropped.
    void setEntries(const QList<ScheduleEntry> &entries);
    // Reads the "programaN" groups and runs the good ones; each bad one, and each active one whose
    // message cannot be sent, is told by entryRejected().
    void load(const SettingsStore &store);
    const QList<ScheduleEntry> &entries() const { return m_entries; }
    const QTimeZone &zone() const { return m_zone; }

    // Starts checking the clock. A slot due before now is not sent: the slots since lastRun (when
    // the program last ran, from the log, say; else the last kSlotToleranceSecs) are reported
    // missed, except those handled before, which a previous run sent or reported. dueFrom, when
    // earlier than now: slots from then on are still sent (the station changed hands at dueFrom).
    void start(const QDateTime &lastRun = QDateTime(), const SentSlots &handled = SentSlots(),
               const QDateTime &dueFrom = QDateTime());
    void stop();
    bool isRunning() const { return m_running; }

    // The owner's report that a transmission ended (any, not only scheduled ones): a slot waiting
    // for it goes out now.
    void transmissionEnded();

    // The next slot still to come, invalid when none.
    QDateTime nextSlotTime() const { return m_next; }
    // The number of slots waiting for the transmitter.
    int waiting() const { return m_waiting.size(); }
    // When the timer fires next, in ms (for tests and the idle cost).
    int nextCheckMs() const { return m_timer.isActive() ? m_timer.interval() : -1; }

public slots:
    // Reads the clock and does what is due; the timer calls it.
    void check();

signals:
    // The entries were set or read again.
    void entriesChanged();
    void slotStarting(const ScheduleEntry &entry, const QDateTime &slot);
    // count slots of the entry, from first to last, went by without being sent.
    void slotsMissed(const ScheduleEntry &entry, const QDateTime &first, const QDateTime &last, int count,
                     const QString &detail);
    // A due slot waited behind another transmission for too long.
    void slotSkipped(const ScheduleEntry &entry, const QDateTime &slot, const QString &detail);
    void entryRejected(const QString &reason);

private:
    struct Waiting
    {
        DueSlot slot;
        qint64 queuedMs = 0;
        QDateTime since; // the slot's time, or the end of a wait for the channel after it
    };
    const ScheduleEntry *entry(int number) const;
    void expireWaiting(const QDateTime &now, qint64 monotonicMs);
    void sendNext();
    void forgetOldSlots(const QDateTime &now, qint64 monotonicMs);
    void arm(const QDateTime &now);

    const Clock &m_clock;
    ScheduleTarget &m_target;
    QTimeZone m_zone;
    QList<ScheduleEntry> m_entries;
    SentSlots m_sent;
    QList<Waiting> m_waiting;
    QDateTime m_lastCheck;
    QDateTime m_next;
    QDateTime m_startedAt; // until the first check: slots before it are not sent
    QTimer m_timer;
    qint64 m_prunedAtMs = -1;
    bool m_running = false;
    bool m_onAir = false;
    bool m_checking = false;
};

// The operator's wording for slots that went by: "la emisión de las 10:00 no se hizo a su hora...".
QString missedDetail(const QDateTime &first, const QDateTime &last, int count);
QString skippedDetail();

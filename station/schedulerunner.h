#pragma once

#include "scheduler.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QObject>

class EngineLogger;

// The schedule on the station: its slots go out through the engine as "Una vez" does (or in the
// pause of a loop), each with its line in the log, as do the slots that went by unsent and the
// entries that cannot run.
class ScheduleRunner : public QObject, public ScheduleTarget
{
    Q_OBJECT
public:
    // The log lines read at start for what the schedule did before: a busy day's worth.
    static constexpr int RememberedLines = 2000;

    ScheduleRunner(TransmissionEngine &engine, EngineLogger &logger, TransmissionLog &log, const Clock &clock,
                   QObject *parent = nullptr);

    Scheduler &scheduler() { return m_scheduler; }
    // Reads the entries from the store and starts; slots missed since the log's last line are
    // logged as such, and what the log shows sent is never sent again. dueFrom: see
    // Scheduler::start().
    void start(const SettingsStore &store, const QDateTime &dueFrom = QDateTime());

    // While something else holds the sound or the keying device (a recording, a test
    // transmission, a dialog about to change the message or the port) the slots wait, as they
    // wait for a play. Holds nest: each hold(true) is undone by one hold(false).
    void hold(bool on);
    bool held() const { return m_holds > 0; }

    // True while a slot is being handed to the engine: what the engine reports meanwhile is
    // better told from the event loop, never from inside the schedule's check.
    bool sending() const { return m_sending; }

    bool busyPlaying() const override;
    bool sendScheduled(const ScheduleEntry &entry) override;
    bool waitingForChannel() const override;

private:
    void prepareMessages();
    void logUnsent(const ScheduleEntry &entry, const QDateTime &first, const QDateTime &last,
                   LogResult result, const QString &detail);
    void logRejected(const QString &reason);

    TransmissionEngine &m_engine;
    EngineLogger &m_logger;
    TransmissionLog &m_log;
    const Clock &m_clock;
    Scheduler m_scheduler;
    int m_holds = 0;
    bool m_sending = false;
};

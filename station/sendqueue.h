#pragma once

#include "csvtext.h"
#include "transmissionengine.h"

#include <QList>
#include <QObject>
#include <QTimer>

class EngineLogger;
class ScheduleRunner;

// A message another program asked the station to send: once, times plays with a pause between
// them, or (times 0) in a loop until stopped.
struct SendRequest
{
    QString file;
    int times = 1;
    int pauseSecs = 0; // 0: the station's own pause
    LogOrigin origin = LogOrigin::LineaDeOrdenes; // who asked, as the log names it
};

// Messages handed to the station from outside go out as a scheduled slot does: never over a
// play, a single one in the pause of a loop, several plays only once the station is idle; in
// the order they came. Each ends with its line in the log, told by ended() with its id.
class SendQueue : public QObject
{
    Q_OBJECT
public:
    // While something else holds the sound or the keying device, requests wait; looked at again
    // every RetryMs.
    static constexpr int RetryMs = 250;

    SendQueue(TransmissionEngine &engine, EngineLogger &logger, ScheduleRunner &schedule,
              QObject *parent = nullptr);

    // The request's id, never 0. It goes out as soon as it may.
    quint32 add(const SendRequest &request);
    int waiting() const { return int(m_waiting.size()); }
    // Withdraws request id: taken off the queue while it waits, stopped while on the air.
    // False when it has already ended (or never was).
    bool cancel(quint32 id);

signals:
    // The transmission of request id has its line in the log (a refused one too).
    void ended(quint32 id, const TransmissionRecord &record);

private:
    struct Entry
    {
        quint32 id;
        SendRequest request;
    };
    void next();
    bool mayStart(const Entry &entry) const;
    void start(const Entry &entry);
    void onState(TransmissionEngine::State state);

    TransmissionEngine &m_engine;
    EngineLogger &m_logger;
    ScheduleRunner &m_schedule;
    QList<Entry> m_waiting;
    QTimer m_retry;
    quint32 m_lastId = 0;
    quint32 m_onAir = 0; // the request on the air, until its line is written
    // A loop of ours on the air: its plays so far, how many it may have, and what it changed.
    bool m_ownLoop = false;
    int m_plays = 0;
    int m_times = 0;
    QString m_deviceFile;
    int m_deviceInterval = 0;
};

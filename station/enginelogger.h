#pragma once

#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

class Clock;

// Writes one line of the log for each transmission of an engine: from its start to its end, how
// long it was on the air (a loop's plays added up), who started it and how it ended. A message
// sent in the pause of a loop gets a line of its own, and its time on the air is not the loop's.
// A command refused before anything was keyed gets a "fallo" line too.
class EngineLogger : public QObject
{
    Q_OBJECT
public:
    // Notes that the engine is alive while on the air every AliveMs, for the line of a crash.
    static constexpr int AliveMs = 1000;

    EngineLogger(TransmissionEngine &engine, TransmissionLog &log, const Clock &clock,
                 QObject *parent = nullptr);
    // A transmission still running when the logger goes (the program ends) is logged as stopped.
    ~EngineLogger() override;

    // Who starts the engine's next transmission, and which message it sends. A transmission the
    // logger was not told of is the operator's own. tag comes back with its line in written().
    void expect(LogOrigin origin, int programa, const QString &archivo, quint32 tag = 0);

    // "Esperó 12,5 s a que el canal quedase libre."; empty for no wait.
    static QString waitDetail(qint64 waitedMs);
    // The detail of a failure's line: the cause first, as a sentence, then what the operator was
    // told; just the message when there is no cause.
    static QString failureDetail(const QString &message, const QString &cause);

signals:
    // A line has gone to the log, with the tag of the expect() it came from (0: none).
    void written(const TransmissionRecord &record, quint32 tag);
    // The line just written tells of a failure ("fallo" or "cortada por seguridad"): emitted
    // before the engine's failed() reaches anyone connected after the logger.
    void failureWritten(const TransmissionRecord &record);

private:
    struct Session
    {
        bool active = false;
        TransmissionRecord record;
        quint32 tag = 0;
        double airSecs = 0;
        QDateTime airFrom; // valid while keyed
        QString level;     // the last whole play's loudness and gain
        bool marked = false;  // its key-up noted for the line of a crash
        bool waiting = false; // for a clear channel, before a key-up
        qint64 waitedMs = 0;  // all its waits for the channel added up
    };

    void onState(TransmissionEngine::State state);
    void onFailed(const QString &message, const QString &cause);
    void begin(Session &session);
    void endAir(Session &session);
    void endWait(Session &session);
    void finish(Session &session, LogResult result, const QString &detail);
    TransmissionRecord expected(quint32 *tag);

    TransmissionEngine &m_engine;
    TransmissionLog &m_log;
    const Clock &m_clock;
    Session m_main;
    Session m_inserted; // a message sent in the pause of a loop
    bool m_hasExpected = false;
    TransmissionRecord m_expected;
    quint32 m_expectedTag = 0;
    bool m_failureLogged = false; // the failed() that follows an end already logged
    QTimer m_alive;
};

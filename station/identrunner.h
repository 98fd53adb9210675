#pragma once

#include "identdue.h"
#include "transmissionengine.h"

#include <QObject>
#include <QTimer>

#include <functional>

class Clock;
class EngineLogger;
class Identification;

// The station identifying itself on its own ("cada"): after a transmission, once the interval
// since the last identification has passed, the identification goes out through the engine as a
// message of its own: when the engine is idle or in the pause of a loop, never cutting a play.
// Logged with origin "identificación".
class IdentRunner : public QObject
{
    Q_OBJECT
public:
    IdentRunner(TransmissionEngine &engine, EngineLogger &logger, Identification &identification,
                const Clock &clock, QObject *parent = nullptr);

    // Sends the identification now if it is owed and may go out; otherwise waits for the moment
    // it may. What the timer calls.
    void check();
    // True while the identification is on the air.
    bool sending() const { return m_sending; }
    // True while waiting for the interval to pass, or for a hold to end.
    bool waiting() const { return m_timer.isActive(); }
    // While held says so, something else has the sound or the keying device (a recording, a
    // test, a dialog about to change them): the identification waits, looking again every HeldRetryMs.
    static constexpr int HeldRetryMs = 1000;
    void setHeld(std::function<bool()> held) { m_held = std::move(held); }

signals:
    // The identification could not be made (the reason, in Spanish); nothing was keyed.
    void failed(const QString &reason);

private:
    void onState(TransmissionEngine::State state);
    bool enabled() const;
    qint64 intervalMs() const;

    TransmissionEngine &m_engine;
    EngineLogger &m_logger;
    Identification &m_identification;
    const Clock &m_clock;
    IdentDue m_due;
    QTimer m_timer;
    bool m_sending = false;
    std::function<bool()> m_held;
};

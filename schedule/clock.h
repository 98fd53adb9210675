#pragma once

#include <QDateTime>
#include <QElapsedTimer>

// What time it is, for the schedule: the wall clock (which the operator, the network time service
// or a suspend can step either way) and a monotonic count that never steps.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual qint64 monotonicMs() const = 0;
};

class SystemClock : public Clock
{
public:
    SystemClock() { m_elapsed.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override { return m_elapsed.elapsed(); }

private:
    QElapsedTimer m_elapsed;
};

// A clock that moves only when told: advance() lets time pass, setNow() steps the wall clock
// alone, as a clock change or a resume from suspend does.
class ManualClock : public Clock
{
public:
    explicit ManualClock(const QDateTime &now) : m_now(now) {}
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonicMs; }
    void advance(qint64 ms)
    {
        m_now = m_now.addMSecs(ms);
        m_monotonicMs += ms;
    }
    void setNow(const QDateTime &now) { m_now = now; }

private:
    QDateTime m_now;
    qint64 m_monotonicMs = 0;
};

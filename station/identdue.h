#pragma once

#include <QtGlobal>

#include <optional>

// When a station that identifies every so often owes its identification: only after it has
// transmitted since the last one, and never sooner than the interval after it. Times are the
// monotonic milliseconds of a clock, which steps of the wall clock do not move.
class IdentDue
{
public:
    void transmitted() { m_transmitted = true; }
    void identified(qint64 nowMs)
    {
        m_lastMs = nowMs;
        m_transmitted = false;
    }
    bool due(qint64 nowMs, qint64 intervalMs) const
    {
        return m_transmitted && msUntil(nowMs, intervalMs) == 0;
    }
    // How long until the identification may go out; 0 when it may now. Not whether it is owed.
    qint64 msUntil(qint64 nowMs, qint64 intervalMs) const
    {
        return m_lastMs ? qMax<qint64>(0, *m_lastMs + intervalMs - nowMs) : 0;
    }
    bool owed() const { return m_transmitted; }

private:
    bool m_transmitted = false;
    std::optional<qint64> m_lastMs;
};

#include "channelwait.h"

#include <utility>

void ChannelHistory::watchFrom(qint64 nowMs, bool busy)
{
    m_watching = true;
    m_busy = busy;
    m_since = nowMs;
    m_fresh = !ignoring(nowMs);
}

void ChannelHistory::heard(bool busy, qint64 nowMs)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    m_since = nowMs;
}

void ChannelHistory::keyed(bool on, qint64 nowMs)
{
    if (on == m_keyed)
        return;
    m_keyed = on;
    m_fresh = false;
    if (!on)
        m_keyDownAt = nowMs;
}

void ChannelHistory::heardAfresh(bool busy, qint64 nowMs)
{
    if (ignoring(nowMs))
        return;
    m_fresh = true;
    m_busy = busy;
    m_since = busy || m_keyDownAt < 0 ? nowMs : m_keyDownAt;
}

bool ChannelHistory::ignoring(qint64 nowMs) const
{
    return m_keyed || (m_keyDownAt >= 0 && nowMs < m_keyDownAt + m_ignoreMs);
}

qint64 ChannelHistory::afreshInMs(qint64 nowMs) const
{
    if (m_fresh || m_keyed)
        return -1;
    return qMax<qint64>(0, m_keyDownAt + m_ignoreMs - nowMs);
}

qint64 ChannelHistory::heardAgainInMs(qint64 nowMs) const
{
    if (m_keyed)
        return m_ignoreMs + 1;
    if (ignoring(nowMs))
        return m_keyDownAt + m_ignoreMs - nowMs;
    return m_fresh ? -1 : AfreshLookMs;
}

qint64 ChannelHistory::clearForMs(qint64 nowMs) const
{
    if (!m_watching || m_busy || heardAgainInMs(nowMs) >= 0)
        return -1;
    return nowMs - qMax(m_since, m_keyDownAt);
}

ChannelWaitRule::ChannelWaitRule(int libreMs, qint64 esperaMs, std::function<int()> holdOff)
    : m_libreMs(qMax(0, libreMs)), m_esperaMs(qMax<qint64>(0, esperaMs)), m_holdOff(std::move(holdOff))
{
}

void ChannelWaitRule::begin(qint64 nowMs)
{
    m_startMs = nowMs;
    m_looks = 0;
    m_holdFrom = m_holdUntil = -1;
    m_soundStartAt = -1;
}

// Looks are never later than the end of the wait, so that giving up comes on time.
ChannelWaitRule::Step ChannelWaitRule::again(qint64 inMs, qint64 nowMs) const
{
    const qint64 left = m_startMs + m_esperaMs - nowMs;
    return {Step::LookAgain, qMax<qint64>(1, qMin(inMs, left))};
}

// Once only: a channel where sounds keep starting and ending as clicks is keyed on all the same.
// The look it adds does not count as the first one's "not clear long enough" (no hold-off follows
// it), and a look before its end (a change heard) waits the rest of it.
ChannelWaitRule::Step ChannelWaitRule::key(bool soundStarting, qint64 nowMs)
{
    if (nowMs - m_startMs >= m_esperaMs)
        return {Step::Key};
    if (m_soundStartAt < 0 && soundStarting) {
        m_soundStartAt = nowMs;
        --m_looks;
    }
    if (m_soundStartAt >= 0 && nowMs < m_soundStartAt + SoundStartMs)
        return again(m_soundStartAt + SoundStartMs - nowMs, nowMs);
    return {Step::Key};
}

ChannelWaitRule::Step ChannelWaitRule::look(const ChannelHistory &history, qint64 nowMs, bool soundStarting)
{
    const qint64 clear = history.clearForMs(nowMs);
    if (++m_looks == 1 && clear >= m_libreMs)
        return key(soundStarting, nowMs);
    if (m_holdFrom >= 0) {
        // The second look: clear all through the hold-off as well.
        const bool stillClear = clear >= 0 && clear >= nowMs - m_holdFrom + m_libreMs;
        if (stillClear && nowMs >= m_holdUntil)
            return key(soundStarting, nowMs);
        if (stillClear && nowMs < m_startMs + m_esperaMs)
            return again(m_holdUntil - nowMs, nowMs);
        m_holdFrom = m_holdUntil = -1;
    }
    if (nowMs - m_startMs >= m_esperaMs)
        return {Step::GiveUp};
    if (clear >= m_libreMs) {
        const int holdMs = qBound(0, m_holdOff ? m_holdOff() : 0, MaxHoldOffMs);
        if (holdMs == 0)
            return key(soundStarting, nowMs);
        m_holdFrom = nowMs;
        m_holdUntil = nowMs + holdMs;
        return again(holdMs, nowMs);
    }
    if (clear >= 0)
        return again(m_libreMs - clear, nowMs);
    const qint64 heard = history.heardAgainInMs(nowMs);
    return again(heard >= 0 ? heard : m_esperaMs, nowMs);
}

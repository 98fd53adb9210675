#pragma once

#include <QtGlobal>

#include <functional>

// What the station has heard of the channel since it started watching, on a monotonic clock in
// ms. Its own transmission is never someone else's: the source is not heard while keyed nor for
// the ignore window after key-down; then it listens afresh, forgetting the station's own tail,
// and until its first fresh reading the channel is not clear. The clear time counts from key-down
// at the earliest.
class ChannelHistory
{
public:
    // How soon to look again while the fresh reading is awaited (it usually comes first).
    static constexpr int AfreshLookMs = 50;

    // Starts watching at nowMs with the source's reading then.
    void watchFrom(qint64 nowMs, bool busy);
    // Not heard any more (the source closed or lost): never clear until watched again.
    void stopWatching() { m_watching = false; }
    void heard(bool busy, qint64 nowMs);
    void keyed(bool on, qint64 nowMs);
    // The source's first reading after it listened afresh past the ignore window: clear then
    // counts from key-down, since all it heard before was the station's own.
    void heardAfresh(bool busy, qint64 nowMs);
    void setIgnoreMs(int ms) { m_ignoreMs = qMax(0, ms); }

    bool watching() const { return m_watching; }
    // How long the channel has been heard clear at nowMs; -1 while busy or not heard.
    qint64 clearForMs(qint64 nowMs) const;
    // When the source is heard again after the station's own transmission; -1 when it is heard now.
    qint64 heardAgainInMs(qint64 nowMs) const;
    // When the source should listen afresh: 0 now, -1 when it need not (heard afresh already).
    qint64 afreshInMs(qint64 nowMs) const;

private:
    bool ignoring(qint64 nowMs) const;

    bool m_watching = false;
    bool m_busy = false;
    qint64 m_since = 0; // of the last change heard, or of the start of watching
    bool m_keyed = false;
    qint64 m_keyDownAt = -1;
    int m_ignoreMs = 500;
    bool m_fresh = true; // heard afresh since the last key-down
};

// The decisions of one wait for a clear channel: key at once on a channel already clear for
// libre; otherwise wait until it is, then a random hold-off with a second look, so that two
// stations that both waited do not key together; give up after espera.
class ChannelWaitRule
{
public:
    static constexpr int MaxHoldOffMs = 500;
    // How long after a sound began its source can tell whether it is a voice: the detector's
    // attack and one block more.
    static constexpr int SoundStartMs = 40;

    struct Step
    {
        enum Kind { Key, LookAgain, GiveUp } kind = LookAgain;
        qint64 inMs = 0; // with LookAgain: the next look at the latest
    };

    // holdOff gives the random hold-off in ms; kept within 0 to MaxHoldOffMs whatever it gives.
    ChannelWaitRule(int libreMs, qint64 esperaMs, std::function<int()> holdOff);

    void begin(qint64 nowMs);
    // soundStarting: the source hears a sound begin that it cannot yet tell from a click. A key-up
    // that comes then waits SoundStartMs once, so that someone who began just before is heard.
    Step look(const ChannelHistory &history, qint64 nowMs, bool soundStarting = false);
    qint64 waitedMs(qint64 nowMs) const { return qMax<qint64>(0, nowMs - m_startMs); }

private:
    Step again(qint64 inMs, qint64 nowMs) const;
    Step key(bool soundStarting, qint64 nowMs);

    int m_libreMs;
    qint64 m_esperaMs;
    std::function<int()> m_holdOff;
    qint64 m_startMs = 0;
    int m_looks = 0;
    qint64 m_holdFrom = -1;
    qint64 m_soundStartAt = -1; // when a key-up was put off for a sound starting
    qint64 m_holdUntil = -1;
};

#pragma once

#include <QObject>
#include <QTimer>

// The repeat timer of a loop. Unlike a bare QTimer, changing the interval while armed leaves
// the pause being timed alone: the new length applies from the next arming. Whole seconds are
// kept to the millisecond (precise timer). An interval of 0 (a stored pause of 0 s) waits one
// second: back-to-back plays with the lines down for a millisecond would keep a transmitter
// keyed in all but name, and the time-out guard, armed afresh at every play, would never act.
class RepeatTimer : public QObject
{
    Q_OBJECT
public:
    explicit RepeatTimer(QObject *parent = nullptr);

    int interval() const { return m_interval; }
    void setInterval(int ms) { m_interval = ms; }
    bool isEnabled() const { return m_timer.isActive(); }
    void setEnabled(bool enabled);
    // The length of the pause being timed, or -1 when disarmed.
    int armedInterval() const { return m_timer.isActive() ? m_timer.interval() : -1; }

signals:
    void Timer();

private:
    static constexpr int ShortestPauseMs = 1000;

    QTimer m_timer;
    int m_interval = 0;
};

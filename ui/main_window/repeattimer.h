#pragma once

#include <QObject>
#include <QTimer>

// The repeat timer of a loop. Unlike a bare QTimer, changing the interval while armed leaves
// the pause being timed alone: the new length applies from the next arming. Whole seconds are
// kept to the millisecond (precise timer); an interval of 0 fires as soon as the loop is idle.
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
    QTimer m_timer;
    int m_interval = 0;
};

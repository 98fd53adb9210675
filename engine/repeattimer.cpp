#include "repeattimer.h"

RepeatTimer::RepeatTimer(QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RepeatTimer::Timer);
}

void RepeatTimer::setEnabled(bool enabled)
{
    if (!enabled) {
        m_timer.stop();
        return;
    }
    if (!m_timer.isActive())
        m_timer.start(m_interval > 0 ? m_interval : ShortestPauseMs);
}

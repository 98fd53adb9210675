#include "pollingbusysource.h"

#include "deviceerror.h"

PollingBusySource::PollingBusySource(QObject *parent) : BusySource(parent)
{
    m_timer.setInterval(PollMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PollingBusySource::poll);
}

// The state is read before open returns: a device that cannot say it is refused here.
void PollingBusySource::open()
{
    if (m_open)
        return;
    openDevice();
    const int state = readBusy();
    if (state < 0) {
        const QString reason = lostReason();
        closeDevice();
        throw DeviceError(reason);
    }
    m_busy = state == 1;
    m_open = true;
    m_timer.start();
}

void PollingBusySource::close()
{
    if (!m_open)
        return;
    m_timer.stop();
    m_open = false;
    m_busy = false;
    closeDevice();
}

void PollingBusySource::poll()
{
    if (!m_open)
        return;
    const int state = readBusy();
    if (state < 0) {
        const QString reason = lostReason();
        close();
        emit lost(reason);
        return;
    }
    if ((state == 1) == m_busy)
        return;
    m_busy = state == 1;
    emit busyChanged(m_busy);
}

#pragma once

#include "busysource.h"

#include <QTimer>

// A source whose device is asked its level every PollMs: a serial status line, a GPIO line. A
// short poll rather than waiting on the device: it sees a change within PollMs whatever the
// driver supports (many USB serial adapters and every pseudo-terminal lack TIOCMIWAIT), never
// blocks a thread on a descriptor the keyer shares, and costs one system call each time.
class PollingBusySource : public BusySource
{
    Q_OBJECT
public:
    static constexpr int PollMs = 10;

    explicit PollingBusySource(QObject *parent = nullptr);

    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool busy() const override { return m_open && m_busy; }

    // One look at the device, as the timer takes it.
    void poll();

protected:
    // Takes hold of the device; throws DeviceError with the reason in Spanish.
    virtual void openDevice() = 0;
    // Lets it go; never throws.
    virtual void closeDevice() = 0;
    // 1 busy, 0 clear, -1 when the device cannot be read (lostReason() says why).
    virtual int readBusy() = 0;
    virtual QString lostReason() const = 0;

private:
    QTimer m_timer;
    bool m_open = false;
    bool m_busy = false;
};

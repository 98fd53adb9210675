#pragma once

#include "busysource.h"

#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

// A source whose device is asked its level every PollMs: a serial status line, a GPIO line. A
// short poll rather than waiting on the device: it sees a change within PollMs whatever the
// driver supports (many USB serial adapters and every pseudo-terminal lack TIOCMIWAIT), and
// never blocks a thread on a descriptor the keyer shares.
//
// Where the device can be asked from any thread (backgroundLook), a thread of the source's own
// asks it: a hundred wake-ups a second of a bare thread cost a tenth of what the event loop's
// do. That thread only tells this one that something changed; poll() then reads the device
// again here, so every change, and a device gone, is handled in one place.
class PollingBusySource : public BusySource
{
    Q_OBJECT
public:
    static constexpr int PollMs = 10;

    explicit PollingBusySource(QObject *parent = nullptr);
    ~PollingBusySource() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool busy() const override { return m_open && m_busy; }

    // One look at the device, as the timer takes it.
    void poll();
    // Whether the device is looked at from a thread of its own rather than by the timer.
    bool watchedByThread() const { return m_watcher != nullptr; }

protected:
    // Takes hold of the device; throws DeviceError with the reason in Spanish.
    virtual void openDevice() = 0;
    // Lets it go; never throws.
    virtual void closeDevice() = 0;
    // 1 busy, 0 clear, -1 when the device cannot be read (lostReason() says why).
    virtual int readBusy() = 0;
    virtual QString lostReason() const = 0;
    // The same answer as readBusy(), safe to ask from another thread from openDevice() until
    // closeDevice(); empty where the device can only be asked from this thread.
    virtual std::function<int()> backgroundLook() { return {}; }

private:
    class Watcher;

    QTimer m_timer;
    // What the source shows (1 busy, 0 clear) and whether a poll is on its way, for the watcher.
    std::atomic<int> m_shown{0};
    std::atomic<bool> m_pollQueued{false};
    std::unique_ptr<Watcher> m_watcher;
    bool m_open = false;
    bool m_busy = false;
};

#include "pollingbusysource.h"

#include "deviceerror.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Looks every PollMs until stopped, and asks the source to poll whenever the device says
// otherwise than the source shows: against what the source shows, not against its own last look,
// so that a change the source read before this thread saw it is never left standing.
class PollingBusySource::Watcher
{
public:
    Watcher(PollingBusySource *source, std::function<int()> look)
        : m_thread([this, source, look = std::move(look)] { run(source, look); })
    {
    }

    ~Watcher()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

private:
    void run(PollingBusySource *source, const std::function<int()> &look)
    {
        auto next = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            lock.unlock();
            const int state = look();
            lock.lock();
            if (state != source->m_shown.load() && !m_stop && !source->m_pollQueued.exchange(true))
                QMetaObject::invokeMethod(source, &PollingBusySource::poll, Qt::QueuedConnection);
            // Late (a loaded machine) is not made up for with a burst of looks.
            const auto period = std::chrono::milliseconds(PollMs);
            next = std::max(next + period, std::chrono::steady_clock::now() + period / 2);
            m_wake.wait_until(lock, next, [this] { return m_stop; });
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread; // last: it starts once the rest is built
};

PollingBusySource::PollingBusySource(QObject *parent) : BusySource(parent)
{
    m_timer.setInterval(PollMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PollingBusySource::poll);
}

PollingBusySource::~PollingBusySource() = default;

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
    m_shown = state;
    m_pollQueued = false;
    m_open = true;
    if (std::function<int()> look = backgroundLook())
        m_watcher = std::make_unique<Watcher>(this, std::move(look));
    else
        m_timer.start();
}

void PollingBusySource::close()
{
    if (!m_open)
        return;
    m_timer.stop();
    m_watcher.reset(); // the thread has stopped asking before the device goes
    m_open = false;
    m_busy = false;
    closeDevice();
}

void PollingBusySource::poll()
{
    m_pollQueued = false; // before the read: a change after it asks again
    if (!m_open)
        return;
    const int state = readBusy();
    if (state < 0) {
        const QString reason = lostReason();
        close();
        emit lost(reason);
        return;
    }
    m_shown = state;
    if ((state == 1) == m_busy)
        return;
    m_busy = state == 1;
    emit busyChanged(m_busy);
}

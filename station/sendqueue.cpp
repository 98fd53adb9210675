#include "sendqueue.h"

#include "audiodevice.h"
#include "enginelogger.h"
#include "schedulerunner.h"
#include "systempath.h"

SendQueue::SendQueue(TransmissionEngine &engine, EngineLogger &logger, ScheduleRunner &schedule, QObject *parent)
    : QObject(parent), m_engine(engine), m_logger(logger), m_schedule(schedule)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &SendQueue::next);
    connect(&m_engine, &TransmissionEngine::stateChanged, this, &SendQueue::onState);
    connect(&m_engine, &TransmissionEngine::playEnded, this, [this] {
        if (m_ownLoop && !m_engine.sendingFile() && m_times > 0 && ++m_plays >= m_times)
            m_engine.endAfterThisPlay();
    });
    connect(&m_logger, &EngineLogger::written, this, [this](const TransmissionRecord &record, quint32 tag) {
        if (tag == 0)
            return;
        if (tag == m_onAir)
            m_onAir = 0;
        emit ended(tag, record);
    });
}

quint32 SendQueue::add(const SendRequest &request)
{
    if (++m_lastId == 0)
        ++m_lastId;
    m_waiting.append({m_lastId, request});
    // From the event loop: the caller gets its id before anything of it is told.
    QTimer::singleShot(0, this, &SendQueue::next);
    return m_lastId;
}

bool SendQueue::cancel(quint32 id)
{
    for (int i = 0; i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).id == id) {
            m_waiting.removeAt(i);
            return true;
        }
    }
    if (id == 0 || id != m_onAir)
        return false;
    m_engine.stop();
    return true;
}

bool SendQueue::mayStart(const Entry &entry) const
{
    if (m_schedule.held() || m_schedule.sending())
        return false;
    switch (m_engine.state()) {
    case TransmissionEngine::State::Idle:
        return true;
    case TransmissionEngine::State::Pausing:
        return entry.request.times == 1 && !m_engine.sendingFile();
    case TransmissionEngine::State::Playing:
    case TransmissionEngine::State::Waiting:
        break;
    }
    return false;
}

void SendQueue::next()
{
    if (m_waiting.isEmpty())
        return;
    if (!mayStart(m_waiting.constFirst())) {
        // A play ending says when; a hold does not.
        if (m_schedule.held())
            m_retry.start();
        return;
    }
    start(m_waiting.takeFirst());
    if (!m_waiting.isEmpty())
        QTimer::singleShot(0, this, &SendQueue::next);
}

void SendQueue::start(const Entry &entry)
{
    const SendRequest &r = entry.request;
    m_onAir = entry.id;
    m_logger.expect(r.origin, 0, SystemPath::readable(r.file), entry.id);
    if (r.times == 1) {
        m_engine.sendFile(r.file);
        return;
    }
    // The station's own message and pause come back when the loop ends.
    AudioDevice &device = m_engine.reproductor();
    m_deviceFile = device.fileName();
    // Only a pause of the request's own is undone: a change of the station's pause meanwhile stays.
    m_deviceInterval = r.pauseSecs > 0 ? m_engine.Timer1().interval() : -1;
    m_ownLoop = true;
    m_plays = 0;
    m_times = r.times;
    device.setFileName(r.file);
    if (r.pauseSecs > 0)
        m_engine.Timer1().setInterval(r.pauseSecs * 1000);
    m_engine.sendLoop();
    if (m_engine.state() == TransmissionEngine::State::Idle)
        onState(TransmissionEngine::State::Idle); // refused: failed() told why
}

void SendQueue::onState(TransmissionEngine::State state)
{
    if (state == TransmissionEngine::State::Playing)
        return;
    if (state == TransmissionEngine::State::Idle && m_ownLoop) {
        m_ownLoop = false;
        m_engine.reproductor().setFileName(m_deviceFile);
        if (m_deviceInterval >= 0)
            m_engine.Timer1().setInterval(m_deviceInterval);
    }
    if (!m_waiting.isEmpty())
        QTimer::singleShot(0, this, &SendQueue::next);
}

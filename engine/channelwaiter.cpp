#include "channelwaiter.h"

#include "channelwatch.h"

#include <QRandomGenerator>

ChannelWaiter::ChannelWaiter(QObject *parent) : QObject(parent)
{
    m_holdOff = [] { return int(QRandomGenerator::global()->bounded(ChannelWaitRule::MaxHoldOffMs + 1)); };
    m_look.setSingleShot(true);
    m_look.setTimerType(Qt::PreciseTimer);
    connect(&m_look, &QTimer::timeout, this, &ChannelWaiter::look);
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, [this] { emit tick(int(waitedMs() / 1000)); });
}

ChannelWaiter::Start ChannelWaiter::begin()
{
    cancel();
    m_rule.reset();
    m_reason.clear();
    if (!m_watch || !m_watch->on())
        return Start::Clear;
    m_reason = m_watch->readable();
    if (!m_reason.isEmpty())
        return Start::Unreadable;
    m_watch->listenAfreshIfDue();
    const BusySettings &s = m_watch->settings();
    m_rule.emplace(s.libreMs, qint64(s.esperaSecs) * 1000, m_holdOff);
    m_rule->begin(m_watch->nowMs());
    const ChannelWaitRule::Step step = m_rule->look(m_watch->history(), m_watch->nowMs(), m_watch->soundStarting());
    if (step.kind == ChannelWaitRule::Step::Key) {
        m_endedMs = m_watch->nowMs();
        return Start::Clear;
    }
    connect(m_watch, &ChannelWatch::changed, this, &ChannelWaiter::look, Qt::UniqueConnection);
    m_waiting = true;
    m_look.start(int(step.inMs));
    m_tick.start();
    emit tick(0);
    return Start::Waiting;
}

void ChannelWaiter::look()
{
    if (!m_waiting)
        return;
    const QString problem = m_watch ? m_watch->unreadableNow() : QString();
    if (!problem.isEmpty()) {
        end();
        m_reason = problem;
        emit unreadable(problem);
        return;
    }
    if (!m_watch)
        return;
    const ChannelWaitRule::Step step = m_rule->look(m_watch->history(), m_watch->nowMs(), m_watch->soundStarting());
    switch (step.kind) {
    case ChannelWaitRule::Step::LookAgain:
        m_look.start(int(step.inMs));
        return;
    case ChannelWaitRule::Step::Key:
        end();
        emit cleared();
        return;
    case ChannelWaitRule::Step::GiveUp:
        end();
        emit gaveUp();
        return;
    }
}

void ChannelWaiter::cancel()
{
    if (m_waiting)
        end();
}

void ChannelWaiter::end()
{
    m_waiting = false;
    m_endedMs = m_watch ? m_watch->nowMs() : -1;
    m_look.stop();
    m_tick.stop();
    if (m_watch)
        disconnect(m_watch, &ChannelWatch::changed, this, &ChannelWaiter::look);
}

qint64 ChannelWaiter::waitedMs() const
{
    if (!m_rule || !m_watch)
        return 0;
    return m_rule->waitedMs(waiting() ? m_watch->nowMs() : m_endedMs);
}

int ChannelWaiter::limitSecs() const
{
    return m_watch ? m_watch->settings().esperaSecs : 0;
}

void ChannelWaiter::keyed(bool on)
{
    if (m_watch && m_watch->on())
        m_watch->keyed(on);
}

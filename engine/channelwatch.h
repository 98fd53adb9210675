#pragma once

#include "busysettings.h"
#include "channelwait.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "busysource.h"

// The station listening to whether the channel is busy, the whole time it runs, so that a
// channel quiet for a while is sent on at once. Every engine of the station (the test's included)
// tells it when it keys, so that the station's own tail is never taken for someone else.
class ChannelWatch : public QObject
{
    Q_OBJECT
public:
    explicit ChannelWatch(QObject *parent = nullptr);

    // Opens source and listens to it from now on, with the timing of settings; null when the
    // settings name none or it could not be made. One that cannot be opened is kept with the
    // reason, and tried again at each send.
    void watch(std::unique_ptr<BusySource> source, const BusySettings &settings,
               const QString &settingsProblem = QString());
    // Whether a send waits for a clear channel at all ("ocupado" other than "ninguno").
    bool on() const { return m_settings.on(); }
    const BusySettings &settings() const { return m_settings; }
    BusySource *source() const { return m_source.get(); }

    // Opens a source that is closed (not at start, or lost since). Returns why the channel cannot
    // be heard, empty when it can: a source that cannot be read is never taken for a clear channel.
    QString readable();
    // Why the channel cannot be heard now (the source lost or closed), without opening anything.
    QString unreadableNow() const;
    void keyed(bool on);
    // Whether the source hears a sound begin that it cannot yet tell from a click.
    bool soundStarting() const { return m_source && m_source->isOpen() && m_source->soundStarting(); }
    const ChannelHistory &history() const { return m_history; }
    // At the end of the ignore window after key-down the source listens afresh, so that the hang
    // of the station's own audio is never taken for someone else. What its timer calls.
    void listenAfreshIfDue();

    // The monotonic time of the station in ms; tests set their own.
    qint64 nowMs() const { return m_now ? m_now() : m_elapsed.elapsed(); }
    void setClock(std::function<qint64()> now) { m_now = std::move(now); }

signals:
    // Something was heard (or the source lost): a wait looks again.
    void changed();

private:
    void watchFromNow();

    std::unique_ptr<BusySource> m_source;
    BusySettings m_settings;
    QString m_problem;
    // What is wrong with the values themselves: no source is opened on them.
    QString m_settingsProblem;
    ChannelHistory m_history;
    QElapsedTimer m_elapsed;
    std::function<qint64()> m_now;
    QTimer m_afresh;
    bool m_askedAfresh = false;
};

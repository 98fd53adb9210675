#pragma once


#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

#include "channelwatch.h"

// The engine's step before key-up: with no watch (or "ocupado" = "ninguno") the key goes up at
// once, with no turn of the event loop; otherwise it waits for a clear channel, at most espera.
class ChannelWaiter : public QObject
{
    Q_OBJECT
public:
    enum class Start { Clear, Waiting, Unreadable };

    explicit ChannelWaiter(QObject *parent = nullptr);

    // The station's watch (owned by the caller); null: never wait.
    void setWatch(ChannelWatch *watch) { m_watch = watch; }
    // The random hold-off after a wait, in ms; tests give their own.
    void setHoldOff(std::function<int()> holdOff) { m_holdOff = std::move(holdOff); }

    // Clear: key now. Waiting: cleared(), gaveUp() or unreadable() follows. Unreadable: reason().
    Start begin();
    void cancel();
    bool waiting() const { return m_waiting; }
    // How long the running (or last) wait has lasted.
    qint64 waitedMs() const;
    int limitSecs() const;
    QString reason() const { return m_reason; }
    // The station keys or unkeys: its own transmission is not heard.
    void keyed(bool on);

    // What the timer and the source's changes call.
    void look();

signals:
    void cleared();
    void gaveUp();
    void unreadable(const QString &reason);
    // Every second of a wait: how many have passed.
    void tick(int seconds);

private:
    void end();

    QPointer<ChannelWatch> m_watch;
    std::function<int()> m_holdOff;
    std::optional<ChannelWaitRule> m_rule;
    QTimer m_look;
    QTimer m_tick;
    bool m_waiting = false;
    qint64 m_endedMs = -1;
    QString m_reason;
};

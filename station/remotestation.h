#pragma once

#include "csvtext.h"
#include "transmissionengine.h"

#include <QObject>

#include <functional>

class Station;

// A station another process runs, as a window that is only its face sees and drives it: its state
// and pause, its sends and Stop, a reload of the stored settings. When that process ends, the
// window may run the station itself and serve it in its place.
class RemoteStation : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual TransmissionEngine::State state() const = 0;
    // The message on the air; empty while idle.
    virtual QString onAir() const = 0;
    // The pause of a loop, in seconds.
    virtual int intervalSecs() const = 0;

    // Hands file over: once, or in a loop with the station's pause. False when the station did
    // not take it (why: the reason, in Spanish).
    virtual bool send(const QString &file, bool loop, QString *why) = 0;
    virtual void stop() = 0;
    virtual void setInterval(int seconds) = 0;
    // While on, nothing of the station's starts: this process keys the transmitter itself.
    virtual void hold(bool on) = 0;
    // The stored settings changed: the station reads them again.
    virtual void reload() = 0;
    // Once the other process has gone and this one runs station: serves it as the others'
    // station, show() bringing the window to the front. False when it cannot.
    virtual bool serve(Station &station, std::function<bool()> show) = 0;

signals:
    void stateChanged(TransmissionEngine::State state);
    void channelWait(int seconds);
    // Where the play is and the message's length, in ms.
    void progress(int positionMs, int lengthMs);
    void intervalChanged(int seconds);
    // A message this one handed over could not start or go on: what the operator reads, and why.
    void sendFailed(const QString &message, const QString &cause);
    // A scheduled slot of the station's failed.
    void scheduledFailed(const TransmissionRecord &record);
    // The process that ran the station has gone, however it ended.
    void ownerGone();
    // Another process runs the station again: the state is its.
    void ownerBack();
};

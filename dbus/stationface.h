#pragma once

#include "remotestation.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QSet>

#include <memory>

class StationService;

// The station another process serves on the session bus, as a window that is its face reaches
// it: the state its signals tell, the calls the window's commands make. The name is watched:
// ownerGone() when its owner ends, ownerBack() when another takes it.
class StationFace : public RemoteStation
{
    Q_OBJECT
public:
    explicit StationFace(QDBusConnection bus, QObject *parent = nullptr);
    ~StationFace() override;

    // Reads the owner's state and pause now; false when no owner answers.
    bool attach();

    TransmissionEngine::State state() const override { return m_state; }
    QString onAir() const override { return m_onAir; }
    int intervalSecs() const override { return m_interval; }
    bool send(const QString &file, bool loop, QString *why) override;
    void stop() override;
    void setInterval(int seconds) override;
    void hold(bool on) override;
    void reload() override;
    bool serve(Station &station, std::function<bool()> show) override;

private slots:
    void onState(const QString &estado, const QString &archivo);
    void onEnded(uint id, const QString &resultado, const QString &detalle);
    void onFailure(uint id, const QString &mensaje, const QString &causa);
    void onScheduledFailure(const QString &inicio, int programa, const QString &archivo, const QString &detalle);
    void onInterval(int segundos);

private:
    void connectSignals();
    void setState(TransmissionEngine::State state, const QString &file);

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    TransmissionEngine::State m_state = TransmissionEngine::State::Idle;
    QString m_onAir;
    int m_interval = 0;
    // The messages this window handed over that have not ended well or badly yet.
    QSet<uint> m_own;
    // Set once this process serves the station itself.
    std::unique_ptr<StationService> m_service;
};

// The main window as the face of a station another process runs (pregonal --programa): it shows
// that station's state, hands it the operator's commands, and runs the station itself once that
// process has ended.
#include "frmprincipal.h"

#include "enginetexts.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include <utility>

namespace {
const QString kTitle = QStringLiteral("Pregonal");
const QString kTakenOver =
    QStringLiteral("pregonal --programa se ha cerrado: esta ventana lleva ahora la estación y su programación.");
// Long enough to be read; a transmission starting meanwhile takes the status bar back at once.
constexpr int kTakenOverMessageMs = 4000;
// While another process holds the station's lock but serves nothing yet, it is asked again.
constexpr int kClaimRetryMs = 1000;
} // namespace

bool Frmprincipal::bringToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    return true;
}

// Nothing of the station is loaded: no keyer, no source of "busy", no schedule, no lock, and
// the log's notes of transmissions still running are not the window's to judge.
bool Frmprincipal::startAsFace()
{
    if (!m_parts.face)
        return false;
    m_face = m_parts.face.get();
    connectFace();
    if (m_face->intervalSecs() > 0)
        showInterval(m_face->intervalSecs());
    if (m_face->state() != TransmissionEngine::State::Idle)
        showTransmissionState(m_face->state());
    return true;
}

void Frmprincipal::connectFace()
{
    RemoteStation *face = m_face;
    connect(face, &RemoteStation::stateChanged, this, [this](TransmissionEngine::State state) {
        if (m_face)
            showTransmissionState(state);
    });
    connect(face, &RemoteStation::channelWait, this, &Frmprincipal::showChannelWait);
    connect(face, &RemoteStation::progress, this, [this](int positionMs, int lengthMs) {
        if (!m_face || m_face->state() == TransmissionEngine::State::Idle)
            return;
        m_progressBar1->setMaximum(qMax(1, lengthMs));
        m_progressBar1->setValue(qBound(0, positionMs, m_progressBar1->maximum()));
    });
    connect(face, &RemoteStation::intervalChanged, this, [this](int seconds) {
        if (m_face)
            showInterval(seconds);
    });
    connect(face, &RemoteStation::sendFailed, this, [this](const QString &message, const QString &cause) {
        messageBoxes().show(message, MessageBoxes::OkOnly, MessageBoxes::Critical, kTitle, cause);
    });
    // Into the notice, as the window's own schedule's failures; no box waits for anybody.
    connect(face, &RemoteStation::scheduledFailed, this, [this](const TransmissionRecord &record) {
        noteFailure(record);
        m_failureOf = FailureOf::Nobody;
    });
    connect(face, &RemoteStation::ownerGone, this, [this] {
        m_ownerGoneAt = m_parts.clock->now();
        takeOver();
    });
    connect(face, &RemoteStation::ownerBack, this, [this] {
        if (!m_face)
            return;
        if (m_claimRetry)
            m_claimRetry->stop();
        showInterval(m_face->intervalSecs());
        showTransmissionState(m_face->state());
    });
}

void Frmprincipal::faceSend(bool loop)
{
    QString why;
    if (!m_face->send(QFileInfo(reproductor().fileName()).absoluteFilePath(), loop, &why))
        messageBoxes().show(EngineTexts::kSendError, MessageBoxes::OkOnly, MessageBoxes::Critical, kTitle, why);
}

// The station's process has ended: this window runs the station, unless a new one (a service
// manager restarting it) took the lock first, of which it stays the face.
void Frmprincipal::takeOver()
{
    if (!m_face)
        return;
    if (!m_station.claim(QStringLiteral("ventana"))) {
        if (!m_claimRetry) {
            m_claimRetry = new QTimer(this);
            m_claimRetry->setInterval(kClaimRetryMs);
            connect(m_claimRetry, &QTimer::timeout, this, &Frmprincipal::takeOver);
        }
        m_claimRetry->start();
        return;
    }
    if (m_claimRetry)
        m_claimRetry->stop();
    RemoteStation *face = std::exchange(m_face, nullptr);
    const int interval = face->intervalSecs();
    m_station.load();
    if (interval > 0)
        m_station.applyOptions(m_module1.puertocom, interval);
    m_station.runIdentification();
    m_log.recoverInterrupted();
    // A slot the process did not live to send goes out now, late by the handover; one it logged
    // (sent, or cut off and recovered above) does not go out again.
    m_station.startSchedule(QStringLiteral("ventana"), m_ownerGoneAt.addMSecs(-2 * Scheduler::MaxCheckMs));
    face->serve(m_station, [this] { return bringToFront(); });
    showInterval(Timer1().interval() / 1000);
    showTransmissionState(m_engine.state());
    m_failureNote = kTakenOver;
    showOnAir();
    if (m_engine.state() == TransmissionEngine::State::Idle)
        statusBar()->showMessage(kTakenOver, kTakenOverMessageMs);
}

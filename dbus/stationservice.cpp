#include "stationservice.h"

#include "audiodevice.h"
#include "busnames.h"
#include "programvalues.h"
#include "station.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>

StationService::StationService(Station &station, const QString &what, QObject *parent)
    : QObject(parent), m_station(station), m_what(what)
{
    connect(&station.engine(), &TransmissionEngine::stateChanged, this,
            [this](TransmissionEngine::State state) { emit estadoCambiado(stateText(state), onAir()); });
    connect(&station.queue(), &SendQueue::ended, this, [this](quint32 id, const TransmissionRecord &record) {
        emit emisionTerminada(id, resultText(record.resultado), record.detalle);
    });
}

bool StationService::serve(QDBusConnection bus)
{
    if (!bus.isConnected()) {
        m_error = bus.lastError().message();
        return false;
    }
    const auto reply = bus.interface()->registerService(BusNames::service, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_error = reply.isValid() ? QStringLiteral("el nombre %1 ya tiene dueño").arg(BusNames::service)
                                  : reply.error().message();
        return false;
    }
    if (!bus.registerObject(BusNames::path, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        m_error = bus.lastError().message();
        bus.interface()->unregisterService(BusNames::service);
        return false;
    }
    return true;
}

QString StationService::stateText(TransmissionEngine::State state)
{
    switch (state) {
    case TransmissionEngine::State::Playing:
        return QStringLiteral("enviando");
    case TransmissionEngine::State::Pausing:
        return QStringLiteral("en pausa");
    case TransmissionEngine::State::Idle:
        break;
    }
    return QStringLiteral("inactiva");
}

QString StationService::onAir() const
{
    if (m_station.engine().state() == TransmissionEngine::State::Idle)
        return QString();
    return m_station.engine().reproductor().fileName();
}

uint StationService::enviar(const QString &archivo, int veces, int pausa)
{
    SendRequest request;
    request.file = QDir::cleanPath(archivo);
    request.times = qMax(0, veces);
    request.pauseSecs = qBound(0, pausa, 3600);
    return m_station.queue().add(request);
}

void StationService::detener()
{
    if (m_station.engine().state() != TransmissionEngine::State::Idle)
        m_station.engine().stop();
}

bool StationService::cancelar(uint id)
{
    return m_station.queue().cancel(id);
}

QString StationService::estado(QString &archivo, QString &proxima)
{
    archivo = onAir();
    const QDateTime next =
        m_station.scheduleRunning() ? m_station.schedule().scheduler().nextSlotTime() : QDateTime();
    proxima = next.isValid() ? next.toString(Qt::ISODate) : QString();
    return stateText(m_station.engine().state());
}

void StationService::recargar()
{
    m_station.reload();
}

uint StationService::propietario(QString &que, QString &ajustes)
{
    que = m_what;
    ajustes = settingsLocation(m_station.settings());
    return uint(QCoreApplication::applicationPid());
}

bool StationService::mostrar()
{
    return m_show && m_show();
}

#include "stationservice.h"

#include "audiodevice.h"
#include "busnames.h"
#include "programvalues.h"
#include "station.h"
#include "systempath.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
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
    // A string on the bus must be UTF-8.
    return SystemPath::readable(m_station.engine().reproductor().fileName());
}

uint StationService::enviar(const QString &archivo, int veces, int pausa)
{
    return add(archivo, veces, pausa);
}

uint StationService::enviarBytes(const QByteArray &archivo, int veces, int pausa)
{
    return add(SystemPath::decode(archivo), veces, pausa);
}

uint StationService::add(const QString &archivo, int veces, int pausa)
{
    // The owner's working folder is not the caller's: a relative name would find another file.
    if (!QDir::isAbsolutePath(archivo)) {
        QString why = QStringLiteral("Falta el archivo del mensaje.");
        if (!archivo.isEmpty())
            why = QStringLiteral("«%1» no es una ruta absoluta: la estación no sabe desde qué carpeta se dio.")
                      .arg(SystemPath::readable(archivo));
        return refuse(why);
    }
    // The system would read the name only up to a NUL byte, and open another file.
    if (archivo.contains(QChar(0)))
        return refuse(QStringLiteral("El nombre del archivo lleva un byte nulo."));
    SendRequest request;
    request.file = QDir::cleanPath(archivo);
    request.times = qMax(0, veces);
    request.pauseSecs = qBound(0, pausa, 3600);
    return m_station.queue().add(request);
}

uint StationService::refuse(const QString &why)
{
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, why);
    return 0;
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
    ajustes = SystemPath::readable(settingsLocation(m_station.settings()));
    return uint(QCoreApplication::applicationPid());
}

bool StationService::mostrar()
{
    return m_show && m_show();
}

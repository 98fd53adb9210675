#include "stationservice.h"

#include "audiodevice.h"
#include "busnames.h"
#include "enginelogger.h"
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
        m_failedId = record.resultado == LogResult::Fallo ? id : 0;
        emit emisionTerminada(id, resultText(record.resultado), record.detalle);
    });
    TransmissionEngine &engine = station.engine();
    // The logger writes a failure's line before the engine tells it.
    connect(&engine, &TransmissionEngine::failed, this, [this](const QString &message, const QString &cause) {
        if (const uint id = std::exchange(m_failedId, 0))
            emit fallo(id, message, cause);
    });
    connect(&station.logger(), &EngineLogger::failureWritten, this, [this](const TransmissionRecord &record) {
        if (record.origen == LogOrigin::Programa)
            emit programadaFallida(record.inicio.toString(Qt::ISODateWithMs), record.programa, record.archivo,
                                   record.detalle);
    });
    connect(&engine.channelWait(), &ChannelWaiter::tick, this, &StationService::esperandoCanal);
    connect(&engine, &TransmissionEngine::messageOpened, this, [this](int lengthMs) {
        m_lengthMs = lengthMs;
        m_lastProgress.invalidate();
        emit progreso(0, lengthMs);
    });
    connect(&station.audio(), &AudioDevice::StatusUpdate, this, [this] {
        if (m_station.engine().state() == TransmissionEngine::State::Idle ||
            (m_lastProgress.isValid() && m_lastProgress.elapsed() < ProgressEveryMs))
            return;
        m_lastProgress.start();
        emit progreso(m_station.audio().position(), m_lengthMs);
    });
    connect(&engine, &TransmissionEngine::playEnded, this, [this] { emit progreso(m_lengthMs, m_lengthMs); });
    connect(&station, &Station::reloaded, this, [this] { emit intervaloCambiado(intervalo()); });
    m_holderWatch.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_holderWatch, &QDBusServiceWatcher::serviceUnregistered, this, &StationService::letGo);
}

StationService::~StationService()
{
    for (const QString &holder : QSet<QString>(m_holders))
        letGo(holder);
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
    case TransmissionEngine::State::Waiting:
        return QStringLiteral("esperando canal");
    case TransmissionEngine::State::Idle:
        break;
    }
    return QStringLiteral("inactiva");
}

TransmissionEngine::State StationService::stateFromText(const QString &text)
{
    using State = TransmissionEngine::State;
    for (State state : {State::Playing, State::Pausing, State::Waiting}) {
        if (text == stateText(state))
            return state;
    }
    return State::Idle;
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
    return add(archivo, veces, pausa, QString());
}

uint StationService::enviarDesde(const QString &archivo, int veces, int pausa, const QString &origen)
{
    return add(archivo, veces, pausa, origen);
}

uint StationService::enviarBytes(const QByteArray &archivo, int veces, int pausa)
{
    return add(SystemPath::decode(archivo), veces, pausa, QString());
}

uint StationService::add(const QString &archivo, int veces, int pausa, const QString &origen)
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
    // A caller on the bus never passes for the schedule or a test.
    if (origen == originText(LogOrigin::Manual, 0))
        request.origin = LogOrigin::Manual;
    else if (origen == originText(LogOrigin::Bucle, 0))
        request.origin = LogOrigin::Bucle;
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

int StationService::intervalo()
{
    return m_station.engine().Timer1().interval() / 1000;
}

void StationService::fijarIntervalo(int segundos)
{
    m_station.engine().Timer1().setInterval(qBound(1, segundos, 255) * 1000);
    emit intervaloCambiado(intervalo());
}

void StationService::retener(bool si)
{
    if (!calledFromDBus())
        return;
    const QString holder = message().service();
    if (!si) {
        letGo(holder);
        return;
    }
    if (m_holders.contains(holder))
        return;
    m_holders.insert(holder);
    m_holderWatch.setConnection(connection());
    m_holderWatch.addWatchedService(holder);
    m_station.schedule().hold(true);
    // Gone already before it was watched: nobody would let go.
    if (!connection().interface()->isServiceRegistered(holder))
        letGo(holder);
}

void StationService::letGo(const QString &holder)
{
    if (!m_holders.remove(holder))
        return;
    m_holderWatch.removeWatchedService(holder);
    m_station.schedule().hold(false);
}

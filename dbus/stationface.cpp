#include "stationface.h"

#include "busnames.h"
#include "stationservice.h"

#include <QDBusMessage>

namespace {
// The window waits for these answers: an owner that does not answer soon is as good as gone.
constexpr int kCallTimeoutMs = 2000;

QDBusMessage call(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(BusNames::service, BusNames::path, BusNames::interface, method);
    message.setArguments(arguments);
    return message;
}
} // namespace

StationFace::StationFace(QDBusConnection bus, QObject *parent)
    : RemoteStation(parent), m_bus(bus),
      m_watcher(BusNames::service, bus,
                QDBusServiceWatcher::WatchForUnregistration | QDBusServiceWatcher::WatchForRegistration)
{
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (m_service)
            return;
        m_own.clear();
        setState(TransmissionEngine::State::Idle, QString());
        emit ownerGone();
    });
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        // Our own name, once this process serves the station, is no other owner.
        if (!m_service && attach())
            emit ownerBack();
    });
    connectSignals();
}

StationFace::~StationFace() = default;

// By the well-known name: they follow whichever process owns it.
void StationFace::connectSignals()
{
    const auto on = [this](const char *name, const char *slot) {
        m_bus.connect(BusNames::service, BusNames::path, BusNames::interface, QLatin1String(name), this, slot);
    };
    on("estadoCambiado", SLOT(onState(QString, QString)));
    on("emisionTerminada", SLOT(onEnded(uint, QString, QString)));
    on("fallo", SLOT(onFailure(uint, QString, QString)));
    on("programadaFallida", SLOT(onScheduledFailure(QString, int, QString, QString)));
    on("intervaloCambiado", SLOT(onInterval(int)));
    on("esperandoCanal", SIGNAL(channelWait(int)));
    on("progreso", SIGNAL(progress(int, int)));
}

bool StationFace::attach()
{
    const QDBusMessage state = m_bus.call(call(QStringLiteral("estado")), QDBus::Block, kCallTimeoutMs);
    const QDBusMessage interval = m_bus.call(call(QStringLiteral("intervalo")), QDBus::Block, kCallTimeoutMs);
    if (state.type() != QDBusMessage::ReplyMessage || state.arguments().size() != 3 ||
        interval.type() != QDBusMessage::ReplyMessage || interval.arguments().isEmpty())
        return false;
    onInterval(interval.arguments().constFirst().toInt());
    onState(state.arguments().at(0).toString(), state.arguments().at(1).toString());
    return true;
}

void StationFace::setState(TransmissionEngine::State state, const QString &file)
{
    const bool changed = state != m_state || file != m_onAir;
    m_state = state;
    m_onAir = file;
    if (changed)
        emit stateChanged(state);
}

void StationFace::onState(const QString &estado, const QString &archivo)
{
    const TransmissionEngine::State state = StationService::stateFromText(estado);
    setState(state, state == TransmissionEngine::State::Idle ? QString() : archivo);
}

void StationFace::onEnded(uint id, const QString &resultado, const QString &)
{
    // A failure is told by fallo() next, with the words the operator reads.
    if (resultado != resultText(LogResult::Fallo))
        m_own.remove(id);
}

void StationFace::onFailure(uint id, const QString &mensaje, const QString &causa)
{
    if (m_own.remove(id))
        emit sendFailed(mensaje, causa);
}

void StationFace::onScheduledFailure(const QString &inicio, int programa, const QString &archivo,
                                     const QString &detalle)
{
    TransmissionRecord record;
    record.inicio = QDateTime::fromString(inicio, Qt::ISODateWithMs);
    record.origen = LogOrigin::Programa;
    record.programa = programa;
    record.archivo = archivo;
    record.resultado = LogResult::Fallo;
    record.detalle = detalle;
    emit scheduledFailed(record);
}

void StationFace::onInterval(int segundos)
{
    if (segundos == m_interval)
        return;
    m_interval = segundos;
    emit intervalChanged(segundos);
}

bool StationFace::send(const QString &file, bool loop, QString *why)
{
    const QString origin = originText(loop ? LogOrigin::Bucle : LogOrigin::Manual, 0);
    const QDBusMessage reply = m_bus.call(call(QStringLiteral("enviarDesde"), {file, loop ? 0 : 1, 0, origin}),
                                          QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (why)
            *why = QStringLiteral("pregonal --programa no ha aceptado el mensaje: %1").arg(reply.errorMessage());
        return false;
    }
    m_own.insert(reply.arguments().constFirst().toUInt());
    return true;
}

void StationFace::stop()
{
    m_bus.call(call(QStringLiteral("detener")), QDBus::Block, kCallTimeoutMs);
}

void StationFace::setInterval(int seconds)
{
    m_bus.call(call(QStringLiteral("fijarIntervalo"), {seconds}), QDBus::Block, kCallTimeoutMs);
}

void StationFace::hold(bool on)
{
    m_bus.call(call(QStringLiteral("retener"), {on}), QDBus::Block, kCallTimeoutMs);
}

void StationFace::reload()
{
    // Not waited for: the owner answers once it has read them.
    m_bus.call(call(QStringLiteral("recargar")), QDBus::NoBlock);
}

bool StationFace::serve(Station &station, std::function<bool()> show)
{
    m_service = std::make_unique<StationService>(station, QStringLiteral("ventana"));
    m_service->setShow(std::move(show));
    return m_service->serve(m_bus);
}

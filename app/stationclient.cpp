#include "stationclient.h"

#include "busnames.h"
#include "commandline.h"
#include "settingsstore.h"
#include "programvalues.h"
#include "systempath.h"
#include "terminationsignals.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

#include <utility>

namespace {
void say(const QString &text)
{
    QTextStream(stderr) << "pregonal: " << text << Qt::endl;
}

QDBusMessage call(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(BusNames::service, BusNames::path, BusNames::interface, method);
    message.setArguments(arguments);
    return message;
}
} // namespace

StationClient::StationClient(QDBusConnection bus, QObject *parent) : QObject(parent), m_bus(bus)
{
}

bool StationClient::findOwner(const QString &settingsFile)
{
    m_settingsFile = settingsFile;
    if (!m_bus.isConnected())
        return false;
    // Started on demand by nothing: a name with no owner answers at once.
    const QDBusMessage reply = m_bus.call(call(QStringLiteral("propietario")), QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 3)
        return false;
    m_owner.pid = reply.arguments().at(0).toUInt();
    m_owner.what = reply.arguments().at(1).toString();
    m_owner.settings = reply.arguments().at(2).toString();
    return QDir::cleanPath(m_owner.settings) == QDir::cleanPath(SystemPath::readable(settingsFile));
}

int StationClient::send(const Command &command)
{
    m_file = QFileInfo(command.file).absoluteFilePath();
    m_fileName = SystemPath::readable(QFileInfo(m_file).fileName());
    m_times = command.loop ? command.times : 1;
    m_pause = qMax(0, command.interval);
    m_bus.connect(BusNames::service, BusNames::path, BusNames::interface, QStringLiteral("estadoCambiado"), this,
                  SLOT(onStateChanged(QString, QString)));
    m_bus.connect(BusNames::service, BusNames::path, BusNames::interface, QStringLiteral("emisionTerminada"), this,
                  SLOT(onEnded(uint, QString, QString)));
    QDBusServiceWatcher watcher(BusNames::service, m_bus, QDBusServiceWatcher::WatchForOwnerChange);
    connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, this, &StationClient::onOwnerGone);
    connect(&watcher, &QDBusServiceWatcher::serviceRegistered, this, &StationClient::onOwnerBack);
    QTimer ownerBack;
    ownerBack.setSingleShot(true);
    ownerBack.setInterval(OwnerBackMs);
    connect(&ownerBack, &QTimer::timeout, this, [] { QCoreApplication::exit(SendAlone); });
    m_ownerBack = &ownerBack;
    if (!handOver())
        return Command::Failed;
    if (isatty(STDERR_FILENO))
        say(QStringLiteral("entregado a %1, a la espera de su turno...")
                .arg(m_owner.what == QLatin1String("ventana") ? QStringLiteral("la ventana de Pregonal")
                                                               : QStringLiteral("pregonal --programa")));
    const int status = QCoreApplication::exec();
    m_ownerBack = nullptr;
    return status;
}

bool StationClient::handOver()
{
    // As bytes: a name that is not UTF-8 would arrive as another name.
    const QVariantList arguments{SystemPath::encode(m_file), m_times, m_pause};
    QDBusMessage reply = m_bus.call(call(QStringLiteral("enviarBytes"), arguments), QDBus::Block, 10000);
    // An owner started before enviarBytes existed takes the name as text, when it is text.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") &&
        SystemPath::readable(m_file) == m_file)
        reply = m_bus.call(call(QStringLiteral("enviar"), {m_file, m_times, m_pause}), QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        say(QStringLiteral("la estación no ha aceptado el mensaje: %1").arg(reply.errorMessage()));
        return false;
    }
    m_id = reply.arguments().constFirst().toUInt();
    return true;
}

void StationClient::onOwnerGone()
{
    if (m_started || m_terminating || m_id == 0) {
        say(QStringLiteral("la estación se ha cerrado antes de acabar el envío."));
        QCoreApplication::exit(Command::Failed);
        return;
    }
    // Never on the air and never logged: the next owner sends it, once.
    m_id = 0;
    if (isatty(STDERR_FILENO))
        say(QStringLiteral("la estación se ha cerrado; el mensaje espera a la siguiente..."));
    m_ownerBack->start();
}

void StationClient::onOwnerBack()
{
    if (m_id != 0 || m_terminating || !m_ownerBack || !m_ownerBack->isActive())
        return;
    // A new owner may answer only once it serves its object; one of other settings never does,
    // and the wait ends in a station of our own.
    if (!findOwner(m_settingsFile)) {
        QTimer::singleShot(200, this, &StationClient::onOwnerBack);
        return;
    }
    m_ownerBack->stop();
    if (!handOver())
        QCoreApplication::exit(Command::Failed);
}

void StationClient::onStateChanged(const QString &estado, const QString &archivo)
{
    if (archivo.isEmpty() || archivo != SystemPath::readable(m_file))
        return;
    m_started = true;
    if (!isatty(STDERR_FILENO))
        return;
    if (estado == QLatin1String("enviando"))
        say(QStringLiteral("transmitiendo %1...").arg(m_fileName));
    else if (estado == QLatin1String("en pausa"))
        say(QStringLiteral("en pausa..."));
}

void StationClient::onEnded(uint id, const QString &resultado, const QString &detalle)
{
    if (id != m_id)
        return;
    const bool ok = resultado == QLatin1String("completa") || resultado == QLatin1String("detenida");
    if (!ok)
        say(detalle.isEmpty() ? resultado : resultado + QStringLiteral(": ") + detalle);
    m_status = ok ? Command::Ok : Command::Failed;
    QCoreApplication::exit(m_status);
}

void StationClient::terminate()
{
    if (m_id != 0 && !std::exchange(m_terminating, true))
        m_bus.call(call(QStringLiteral("cancelar"), {m_id}), QDBus::Block, 5000);
    QCoreApplication::exit(Command::Ok);
}

int StationClient::stop()
{
    const QDBusMessage reply = m_bus.call(call(QStringLiteral("detener")), QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        say(reply.errorMessage());
        return Command::Failed;
    }
    return Command::Ok;
}

int StationClient::state()
{
    const QDBusMessage reply = m_bus.call(call(QStringLiteral("estado")), QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 3) {
        say(reply.errorMessage());
        return Command::Failed;
    }
    const QList<QVariant> a = reply.arguments();
    QTextStream out(stdout);
    out << "Estado: " << a.at(0).toString();
    if (!a.at(1).toString().isEmpty())
        out << ", " << SystemPath::readable(a.at(1).toString());
    out << Qt::endl;
    const QDateTime next = QDateTime::fromString(a.at(2).toString(), Qt::ISODate);
    out << "Próxima emisión programada: "
        << (next.isValid() ? next.toString(QStringLiteral("HH:mm 'del' dd/MM/yyyy")) : QStringLiteral("ninguna"))
        << Qt::endl;
    out << "La lleva: el proceso " << m_owner.pid << " ("
        << (m_owner.what == QLatin1String("ventana") ? "la ventana" : "pregonal --programa") << ")" << Qt::endl;
    return Command::Ok;
}

bool StationClient::show()
{
    const QDBusMessage reply = m_bus.call(call(QStringLiteral("mostrar")), QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

std::optional<int> runAsClient(const Command &command)
{
    using Mode = Command::Mode;
    if (command.mode != Mode::Send && command.mode != Mode::Stop && command.mode != Mode::State)
        return std::nullopt;
    StationClient client;
    if (!client.findOwner(settingsLocation(SettingsStore()))) {
        if (command.mode == Mode::Send)
            return std::nullopt;
        say(QStringLiteral("no hay ninguna estación en marcha."));
        return Command::Failed;
    }
    switch (command.mode) {
    case Mode::Send: {
        onTerminationSignals(&client, [&client] { client.terminate(); });
        const int status = client.send(command);
        if (status == StationClient::SendAlone)
            return std::nullopt;
        return status;
    }
    case Mode::Stop:
        return client.stop();
    default:
        return client.state();
    }
}

#include "qtserialline.h"

#include "deviceerror.h"
#include "serialposix.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSerialPort>
#include <QSet>

namespace {

// Devices this process holds open, by canonical path: a second open here is refused as busy even
// where the system would let it through (root ignores the exclusive flag).
QMutex openDevicesMutex;
QSet<QString> openDevices;

bool claimDevice(const QString &canonical)
{
    QMutexLocker locker(&openDevicesMutex);
    if (openDevices.contains(canonical))
        return false;
    openDevices.insert(canonical);
    return true;
}

void releaseDevice(const QString &canonical)
{
    QMutexLocker locker(&openDevicesMutex);
    openDevices.remove(canonical);
}

// The path QSerialPort itself opens for a name: absolute and ./ ../ names as written, bare names
// under /dev.
QString systemPath(const QString &device)
{
    if (device.startsWith(QLatin1Char('/')) || device.startsWith(QLatin1String("./")) ||
        device.startsWith(QLatin1String("../")))
        return device;
    return QStringLiteral("/dev/") + device;
}

[[noreturn]] void refuse(int port, const QString &path, const QString &why)
{
    throw DeviceError(QStringLiteral("No se puede abrir el puerto COM%1 (%2): %3").arg(port).arg(path, why));
}

// Qt's own texts are English: the operator gets the cause in Spanish only.
QString openFailure(const QSerialPort &port)
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("el dispositivo no existe.");
    case QSerialPort::PermissionError:
        // Qt reports a port locked by another program and a refused exclusive open alike.
        return QStringLiteral("está ocupado; otro programa lo tiene abierto.");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("no es un puerto serie.");
    default:
        return QStringLiteral("error del sistema al abrirlo (código %1 de Qt).").arg(int(port.error()));
    }
}

} // namespace

QtSerialLine::QtSerialLine(PortMapper deviceForPort) : m_deviceForPort(std::move(deviceForPort)) {}

QtSerialLine::~QtSerialLine()
{
    try {
        closePort();
    } catch (...) {
        // Nothing can be reported from here; the system closes the descriptor in any case.
    }
}

void QtSerialLine::setCommPort(int port)
{
    m_commPort = port;
}

int QtSerialLine::commPort() const
{
    return m_commPort;
}

void QtSerialLine::setPortOpen(bool open)
{
    if (!open) {
        if (m_held && m_keyerOpen) {
            m_keyerOpen = false;
            m_dtrWrite = false;
            m_rtsWrite = false;
            applyOffLevels();
        } else if (!m_held) {
            closePort();
        }
        return;
    }
    // An open port is busy for this program too, as it is for any other.
    if (m_keyerOpen)
        refuse(m_commPort, m_device, QStringLiteral("está ocupado; este programa ya lo tiene abierto."));
    if (m_port && m_openPort != m_commPort)
        refuse(m_commPort, device(),
               QStringLiteral("el puerto COM%1 sigue abierto para saber si el canal está ocupado; vuelva a "
                              "abrir el programa para cambiar de puerto.")
                   .arg(m_openPort));
    if (!m_port)
        openPort();
    m_keyerOpen = true;
}

bool QtSerialLine::portOpen() const
{
    return m_port && m_keyerOpen;
}

void QtSerialLine::setPortHeld(bool held)
{
    if (held == m_held)
        return;
    if (held) {
        if (!m_port)
            openPort();
        m_held = true;
        return;
    }
    m_held = false;
    if (!m_keyerOpen)
        closePort();
}

int QtSerialLine::statusLines()
{
    if (!m_port)
        return -1;
    const int lines = serialStatusLines(m_port->handle());
    if (lines < 0 && !serialDeviceThere(m_port->handle())) {
        m_port->close();
        forgetPort();
    }
    return lines;
}

int QtSerialLine::duplicateStatusDescriptor()
{
    return m_port ? holdSerialDevice(m_port->handle()) : -1;
}

bool QtSerialLine::checkPort()
{
    if (!portOpen())
        return false;
    if (!serialDeviceThere(m_port->handle())) {
        m_port->close();
        forgetPort();
        return false;
    }
    return true;
}

QString QtSerialLine::device() const
{
    return m_deviceForPort && m_commPort >= 1 ? m_deviceForPort(m_commPort) : QString();
}

QString QtSerialLine::portDescription() const
{
    const QString name = device();
    if (name.isEmpty())
        return QStringLiteral("COM%1").arg(m_commPort);
    return QStringLiteral("COM%1 (%2)").arg(m_commPort).arg(systemPath(name));
}

void QtSerialLine::setDTREnable(bool on)
{
    if (!portOpen())
        return;
    m_dtrWrite = on;
    applyLevels();
}

void QtSerialLine::setRTSEnable(bool on)
{
    if (!portOpen())
        return;
    m_rtsWrite = on;
    applyLevels();
}

void QtSerialLine::setKeyingLines(const KeyingLines &lines)
{
    m_lines = lines;
    if (!m_port)
        return;
    if (m_lines.inverted())
        clearHangup(m_port->handle());
    applyLevels();
}

KeyingLines QtSerialLine::keyingLines() const
{
    return m_lines;
}

void QtSerialLine::openPort()
{
    const QString device = this->device();
    if (device.isEmpty())
        throw DeviceError(
            QStringLiteral("El puerto COM%1 no es válido: los puertos se numeran desde 1.").arg(m_commPort));

    const QString path = systemPath(device);
    // The reasons the system would give in English, checked before opening.
    if (const QString problem = serialDeviceProblem(path); !problem.isEmpty())
        refuse(m_commPort, path, problem);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!claimDevice(canonical))
        refuse(m_commPort, path, QStringLiteral("está ocupado; este programa ya lo tiene abierto."));

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    // Hardware handshaking would drive RTS itself.
    port->setFlowControl(QSerialPort::NoFlowControl);
    // No data ever flows: without read access nothing piles up from the far end.
    if (!port->open(QIODevice::WriteOnly)) {
        releaseDevice(canonical);
        refuse(m_commPort, path, openFailure(*port));
    }

    m_port = std::move(port);
    m_device = canonical;
    m_openPort = m_commPort;
    m_dtrWrite = false;
    m_rtsWrite = false;
    // Linux raises both lines on open; put them where "not keyed" is straight away.
    if (m_lines.inverted())
        clearHangup(m_port->handle());
    applyOffLevels();
    if (!m_port)
        refuse(m_commPort, path, QStringLiteral("el dispositivo desapareció al abrirlo."));
}

void QtSerialLine::closePort()
{
    if (!m_port)
        return;
    m_dtrWrite = false;
    m_rtsWrite = false;
    applyOffLevels();
    if (!m_port)
        return;
    // QSerialPort's close brings back the settings found at open, hang-up on close included. With
    // inverted lines a second descriptor keeps the device open through that, and the last close
    // happens here with hang-up off.
    const int keeper = m_lines.inverted() ? holdSerialDevice(m_port->handle()) : -1;
    m_port->close();
    forgetPort();
    releaseSerialDevice(keeper);
}

// Both lines at the levels the last writes call for, DTR first; each moves at most once. With
// both lines chosen each follows its own write; a lone keying line keys while either is on.
void QtSerialLine::applyLevels()
{
    const bool both = m_lines.useDtr && m_lines.useRts;
    const bool key = m_dtrWrite || m_rtsWrite;
    setLine(true, m_lines.useDtr && ((both ? m_dtrWrite : key) != m_lines.invertDtr));
    setLine(false, m_lines.useRts && ((both ? m_rtsWrite : key) != m_lines.invertRts));
}

// Both lines at their unkeyed levels, DTR first: low, or high where the wiring inverts them.
void QtSerialLine::applyOffLevels()
{
    setLine(true, m_lines.useDtr && m_lines.invertDtr);
    setLine(false, m_lines.useRts && m_lines.invertRts);
}

// Sets one line; a port that went away (USB pulled, other end of a pseudo-terminal closed) is
// closed quietly. A line the device lacks (pseudo-terminals have none) is simply not moved.
bool QtSerialLine::setLine(bool dtr, bool level)
{
    if (!m_port)
        return false;
    if (dtr ? m_port->setDataTerminalReady(level) : m_port->setRequestToSend(level))
        return true;
    m_port->clearError();
    if (!serialDeviceThere(m_port->handle())) {
        m_port->close();
        forgetPort();
    }
    return false;
}

void QtSerialLine::forgetPort()
{
    m_port.reset();
    releaseDevice(m_device);
    m_device.clear();
    m_dtrWrite = false;
    m_rtsWrite = false;
    m_keyerOpen = false;
    m_held = false;
}

#include "cm108keyer.h"

#include "crashoff.h"
#include "deviceerror.h"
#include "devicenode.h"
#include "errortext.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libudev.h>

QByteArray cm108Report(int pin, bool high)
{
    const char mask = char(1u << (qBound(1, pin, 8) - 1));
    const char report[] = {0, 0, high ? mask : char(0), mask, 0};
    return QByteArray(report, sizeof report);
}

namespace {
// The sound servers' names keep letters, digits, "_", "-" and "."; anything else becomes "_".
QString validName(const QString &text)
{
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_.-]"));
    return QString(text).replace(other, QStringLiteral("_"));
}

bool namesCard(const QString &sinkId, const QString &cardName)
{
    if (cardName.isEmpty())
        return false;
    const QString base = QStringLiteral("alsa_output.") + validName(cardName);
    return sinkId == base || sinkId.startsWith(base + QLatin1Char('.'));
}
} // namespace

QString cm108NodeForCard(const QString &sinkId, const QList<UdevSoundCard> &cards,
                         const QList<UdevHidraw> &hidraws, QString *why)
{
    auto refuse = [why](const QString &text) {
        if (why)
            *why = text;
        return QString();
    };
    if (sinkId.isEmpty())
        return refuse(
            QStringLiteral("con «auto» hay que elegir en «Salida de los mensajes» la tarjeta de sonido de "
                           "la interfaz, o escribir su dispositivo hidraw"));
    for (const UdevSoundCard &card : cards) {
        if (!namesCard(sinkId, card.idId) && !namesCard(sinkId, card.idPath))
            continue;
        if (card.usbDevice.isEmpty())
            return refuse(QStringLiteral("la tarjeta de sonido elegida no es USB"));
        QStringList nodes;
        for (const UdevHidraw &hid : hidraws)
            if (hid.usbDevice == card.usbDevice)
                nodes << hid.devNode;
        if (nodes.isEmpty())
            return refuse(QStringLiteral("la tarjeta de sonido elegida no tiene ningún dispositivo hidraw"));
        nodes.sort();
        return nodes.first();
    }
    return refuse(
        QStringLiteral("no se encuentra la tarjeta de sonido «%1» entre las del sistema").arg(sinkId));
}

QString cm108NodeForCard(const QString &sinkId, QString *why)
{
    QList<UdevSoundCard> cards;
    QList<UdevHidraw> hidraws;
    udev *context = udev_new();
    if (!context)
        return cm108NodeForCard(sinkId, cards, hidraws, why);
    auto usbParent = [](udev_device *dev) {
        udev_device *usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
        return usb ? QString::fromLocal8Bit(udev_device_get_syspath(usb)) : QString();
    };
    for (const char *subsystem : {"sound", "hidraw"}) {
        udev_enumerate *e = udev_enumerate_new(context);
        udev_enumerate_add_match_subsystem(e, subsystem);
        udev_enumerate_scan_devices(e);
        udev_list_entry *entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
        {
            udev_device *dev = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (!dev)
                continue;
            const QString sysname = QString::fromLocal8Bit(udev_device_get_sysname(dev));
            if (qstrcmp(subsystem, "sound") == 0 && sysname.startsWith(QLatin1String("card"))) {
                cards.append({QString::fromLocal8Bit(udev_device_get_property_value(dev, "ID_ID")),
                              QString::fromLocal8Bit(udev_device_get_property_value(dev, "ID_PATH")),
                              usbParent(dev)});
            } else if (qstrcmp(subsystem, "hidraw") == 0 && udev_device_get_devnode(dev)) {
                hidraws.append({QString::fromLocal8Bit(udev_device_get_devnode(dev)), usbParent(dev)});
            }
            udev_device_unref(dev);
        }
        udev_enumerate_unref(e);
    }
    udev_unref(context);
    return cm108NodeForCard(sinkId, cards, hidraws, why);
}

Cm108Keyer::Cm108Keyer(const QString &device, int pin, bool activeLow, const QString &outputCardId,
                       NodeFinder finder, Nodes nodes, QObject *parent)
    : Keyer(parent), m_device(device), m_pin(pin), m_activeLow(activeLow), m_outputCardId(outputCardId),
      m_finder(finder ? std::move(finder) : NodeFinder([](const QString &id, QString *why) {
          return cm108NodeForCard(id, why);
      })),
      m_nodes(nodes)
{
}

Cm108Keyer::~Cm108Keyer()
{
    close();
}

namespace {
bool acceptableNode(const struct stat &st, Cm108Keyer::Nodes nodes)
{
    if (S_ISCHR(st.st_mode))
        return charDeviceSubsystem(st.st_rdev) == QLatin1String("hidraw");
    return nodes == Cm108Keyer::Nodes::StandIns && (S_ISFIFO(st.st_mode) || S_ISREG(st.st_mode));
}

[[noreturn]] void refuseNode(const QString &node)
{
    throw DeviceError(QStringLiteral("%1 no es un dispositivo hidraw de una interfaz CM108.").arg(node));
}
} // namespace

QString cm108Node(const QString &device, const QString &outputCardId, const Cm108Keyer::NodeFinder &finder)
{
    if (device.compare(QLatin1String("auto"), Qt::CaseInsensitive) != 0)
        return device;
    QString why;
    const QString node = finder ? finder(outputCardId, &why) : cm108NodeForCard(outputCardId, &why);
    if (node.isEmpty())
        throw DeviceError(QStringLiteral("No se encuentra la interfaz CM108: %1.").arg(why));
    return node;
}

int openCm108Node(const QString &node, int access, Cm108Keyer::Nodes nodes)
{
    const QByteArray path = QFile::encodeName(node);
    struct stat st = {};
    if (::stat(path.constData(), &st) == 0 && !S_ISDIR(st.st_mode) && !acceptableNode(st, nodes))
        refuseNode(node);
    const int fd = ::open(path.constData(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            throw DeviceError(
                QStringLiteral("No se puede abrir la interfaz CM108 %1: permiso denegado. Añada una "
                               "regla de udev que dé acceso a sus dispositivos hidraw al grupo "
                               "«plugdev» y entre en ese grupo (véase el manual).")
                    .arg(node));
        if (error == ENOENT || error == ENODEV || error == ENXIO)
            throw DeviceError(
                QStringLiteral("No se encuentra la interfaz CM108 %1: compruebe que esté conectada.").arg(node));
        if (error == EISDIR)
            refuseNode(node);
        throw DeviceError(
            QStringLiteral("No se puede abrir la interfaz CM108 %1: %2.").arg(node, fileErrorText(error)));
    }
    // Again on what was opened (the path may have changed meanwhile), and the HID node must answer.
    hidraw_devinfo info = {};
    if (fstat(fd, &st) != 0 || !acceptableNode(st, nodes) ||
        (S_ISCHR(st.st_mode) && ioctl(fd, HIDIOCGRAWINFO, &info) != 0)) {
        ::close(fd);
        refuseNode(node);
    }
    return fd;
}

void Cm108Keyer::open()
{
    if (m_fd >= 0)
        throw DeviceError(QStringLiteral("el dispositivo %1 ya está abierto").arg(description()));
    m_node = m_device;
    m_node = cm108Node(m_device, m_outputCardId, m_finder);
    const int fd = openCm108Node(m_node, O_WRONLY, m_nodes);
    m_fd = fd;
    m_crashSlot = crashoff::arm(fd, cm108Report(m_pin, m_activeLow));
    if (!write(false)) {
        const int error = errno;
        forget();
        throw DeviceError(QStringLiteral("La interfaz CM108 %1 no admite la orden de su pin: %2.")
                              .arg(m_node, fileErrorText(error)));
    }
}

void Cm108Keyer::close()
{
    if (m_fd < 0)
        return;
    write(false);
    forget();
}

void Cm108Keyer::keyUp()
{
    if (m_fd >= 0 && write(true))
        emit keyedUp();
    else
        emit keyUpFailed(QString());
}

void Cm108Keyer::keyDown()
{
    if (m_fd >= 0)
        write(false);
}

// A chip pulled out takes its node with it.
bool Cm108Keyer::check()
{
    if (m_fd < 0)
        return false;
    struct stat st = {};
    if (::stat(QFile::encodeName(m_node).constData(), &st) == 0)
        return true;
    forget();
    return false;
}

QString Cm108Keyer::description() const
{
    const QString node = m_node.isEmpty() ? m_device : m_node;
    return QStringLiteral("la interfaz CM108 %1 (pin %2%3)")
        .arg(node, m_activeLow ? QStringLiteral("!") : QString())
        .arg(m_pin);
}

// A failed write (the chip gone) closes the node: nothing more can key through it.
bool Cm108Keyer::write(bool keyed)
{
    const QByteArray report = cm108Report(m_pin, keyed != m_activeLow);
    ssize_t written;
    do
        written = ::write(m_fd, report.constData(), size_t(report.size()));
    while (written < 0 && errno == EINTR);
    if (written == report.size())
        return true;
    if (written >= 0)
        errno = EIO;
    const int error = errno;
    forget();
    errno = error;
    return false;
}

void Cm108Keyer::forget()
{
    crashoff::disarm(m_crashSlot);
    m_crashSlot = -1;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

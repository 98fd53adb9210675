#include "cm108busysource.h"

#include "deviceerror.h"
#include "errortext.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kReportBytes = 4;

QString hidErrorText(int error)
{
    switch (error) {
    case ENODATA:
        return QStringLiteral("no ha enviado ningún informe de entrada");
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
        return QStringLiteral("ha desaparecido");
    case EPIPE:
    case EINVAL:
    case ENOTTY:
    case EIO:
    case ETIMEDOUT:
        return QStringLiteral("no responde a la petición de su informe de entrada");
    default:
        return fileErrorText(error);
    }
}
} // namespace

int cm108InputByte(const QByteArray &read)
{
    if (read.isEmpty())
        return -1;
    const int last = read.size() >= kReportBytes ? (read.size() / kReportBytes - 1) * kReportBytes : 0;
    return quint8(read.at(last));
}

Cm108BusySource::Cm108BusySource(const QString &device, const QString &outputCardId, const QString &inputText,
                                 Cm108Keyer::NodeFinder finder, Cm108Keyer::Nodes nodes, QObject *parent)
    : BusySource(parent), m_device(device.trimmed()), m_outputCardId(outputCardId),
      m_inputText(inputText.trimmed()), m_input(parseCm108BusyInput(inputText)), m_finder(std::move(finder)),
      m_nodes(nodes)
{
}

Cm108BusySource::~Cm108BusySource()
{
    close();
}

void Cm108BusySource::open()
{
    if (m_fd >= 0)
        return;
    if (!m_input.valid())
        throw DeviceError(cm108BusyInputProblem(m_inputText));
    m_node = cm108Node(m_device, m_outputCardId, m_finder);
    m_fd = openCm108Node(m_node, O_RDONLY, m_nodes);
    const int inputs = stateAtOpen();
    if (inputs < 0) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        throw DeviceError(QStringLiteral("La interfaz CM108 %1 no dice el estado de sus entradas: %2.")
                              .arg(m_node, hidErrorText(error)));
    }
    m_busy = m_input.busyIn(inputs);
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Cm108BusySource::readReports);
}

// The interface is asked for its input report; a stand-in holds one written before open.
int Cm108BusySource::stateAtOpen()
{
    struct stat st = {};
    if (fstat(m_fd, &st) == 0 && !S_ISCHR(st.st_mode)) {
        char buffer[64];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            return cm108InputByte(QByteArray(buffer, int(n)));
        if (n == 0 || errno == EAGAIN)
            errno = ENODATA;
        return -1;
    }
    // The report number first (0: the interface numbers none), the report after it.
    unsigned char report[1 + kReportBytes] = {};
    const int n = ::ioctl(m_fd, HIDIOCGINPUT(sizeof report), report);
    if (n < 2)
        return -1;
    return report[1];
}

void Cm108BusySource::close()
{
    if (m_fd < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
    m_busy = false;
}

QString Cm108BusySource::description() const
{
    return QStringLiteral("la interfaz CM108 %1, %2").arg(m_node.isEmpty() ? m_device : m_node, m_inputText);
}

void Cm108BusySource::readReports()
{
    if (m_fd < 0)
        return;
    QByteArray all;
    char buffer[64];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            all.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // End of file or an error: the interface was pulled out.
        const int error = n == 0 ? ENODEV : errno;
        return lose(error == EIO ? QStringLiteral("ha desaparecido") : hidErrorText(error));
    }
    const int inputs = cm108InputByte(all);
    if (inputs < 0 || m_input.busyIn(inputs) == m_busy)
        return;
    m_busy = !m_busy;
    emit busyChanged(m_busy);
}

void Cm108BusySource::lose(const QString &why)
{
    close();
    emit lost(QStringLiteral("No se puede leer la interfaz CM108 %1: %2.").arg(m_node, why));
}

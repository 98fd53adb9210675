#include "serialbusysource.h"

#include "deviceerror.h"
#include "serialline.h"
#include "serialposix.h"

#include <unistd.h>

SerialBusySource::SerialBusySource(SerialLine &line, const QString &lineText, std::unique_ptr<SerialLine> own,
                                   QObject *parent)
    : PollingBusySource(parent), m_own(std::move(own)), m_line(line), m_lineText(lineText.trimmed()),
      m_input(parseSerialBusyLine(lineText))
{
}

SerialBusySource::~SerialBusySource()
{
    close();
}

QString SerialBusySource::description() const
{
    return QStringLiteral("%1, %2").arg(m_line.portDescription(), m_lineText);
}

void SerialBusySource::openDevice()
{
    if (!m_input.valid())
        throw DeviceError(serialBusyLineProblem(m_lineText));
    m_line.setPortHeld(true);
    m_lookFd = m_line.duplicateStatusDescriptor();
}

void SerialBusySource::closeDevice()
{
    if (m_lookFd >= 0)
        ::close(m_lookFd);
    m_lookFd = -1;
    m_line.setPortHeld(false);
}

std::function<int()> SerialBusySource::backgroundLook()
{
    if (m_lookFd < 0)
        return {};
    return [fd = m_lookFd, input = m_input] { return input.stateIn(serialStatusLines(fd)); };
}

int SerialBusySource::readBusy()
{
    return m_input.stateIn(m_line.statusLines());
}

QString SerialBusySource::lostReason() const
{
    return QStringLiteral("No se puede leer la línea %1 del puerto %2: el puerto ha desaparecido o no "
                          "tiene líneas de estado.")
        .arg(m_lineText, m_line.portDescription());
}

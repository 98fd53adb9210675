#include "serialbusysource.h"

#include "deviceerror.h"
#include "serialline.h"

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
}

void SerialBusySource::closeDevice()
{
    m_line.setPortHeld(false);
}

int SerialBusySource::readBusy()
{
    const int lines = m_line.statusLines();
    return lines < 0 ? -1 : m_input.busyIn(lines) ? 1 : 0;
}

QString SerialBusySource::lostReason() const
{
    return QStringLiteral("No se puede leer la línea %1 del puerto %2: el puerto ha desaparecido o no "
                          "tiene líneas de estado.")
        .arg(m_lineText, m_line.portDescription());
}

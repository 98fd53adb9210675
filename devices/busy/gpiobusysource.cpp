#include "gpiobusysource.h"

#include "busylines.h"
#include "deviceerror.h"

GpioBusySource::GpioBusySource(const QString &lineText, std::unique_ptr<GpioInput> input, QObject *parent)
    : PollingBusySource(parent), m_lineText(lineText.trimmed()), m_line(parseGpioBusyLine(lineText)),
      m_input(std::move(input))
{
}

GpioBusySource::~GpioBusySource()
{
    close();
}

QString GpioBusySource::description() const
{
    return m_lineText;
}

void GpioBusySource::openDevice()
{
    if (!m_line.valid)
        throw DeviceError(gpioBusyLineProblem(m_lineText));
    m_input->request(m_line.chip, m_line.line);
}

void GpioBusySource::closeDevice()
{
    m_input->release();
}

int GpioBusySource::readBusy()
{
    const int value = m_input->value();
    return value < 0 ? -1 : (value != 0) != m_line.activeLow ? 1 : 0;
}

QString GpioBusySource::lostReason() const
{
    return QStringLiteral("No se puede leer la línea GPIO %1: el chip ha desaparecido.").arg(m_lineText);
}

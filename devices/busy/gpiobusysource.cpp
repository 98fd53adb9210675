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

namespace {
int stateOf(int value, bool activeLow)
{
    return value < 0 ? -1 : (value != 0) != activeLow ? 1 : 0;
}
} // namespace

int GpioBusySource::readBusy()
{
    return stateOf(m_input->value(), m_line.activeLow);
}

// libgpiod reads the level with one ioctl on the line's own descriptor: any thread may ask.
std::function<int()> GpioBusySource::backgroundLook()
{
    return [input = m_input.get(), activeLow = m_line.activeLow] { return stateOf(input->value(), activeLow); };
}

QString GpioBusySource::lostReason() const
{
    return QStringLiteral("No se puede leer la línea GPIO %1: el chip ha desaparecido.").arg(m_lineText);
}

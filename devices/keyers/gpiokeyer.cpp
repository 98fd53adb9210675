#include "gpiokeyer.h"

#include "deviceerror.h"
#include "errortext.h"

#include <QFileInfo>

#include <cerrno>

#include <gpiod.h>

namespace {
// A path, a name ("gpiochip0") or a number open that one chip; anything else is looked up by the
// chips' labels, which reads every chip.
gpiod_chip *openChip(const QString &chip)
{
    const QByteArray text = chip.toLocal8Bit();
    bool number = false;
    const uint n = chip.toUInt(&number);
    if (number)
        return gpiod_chip_open_by_number(n);
    if (chip.startsWith(QLatin1Char('/')))
        return gpiod_chip_open(text.constData());
    if (chip.startsWith(QLatin1String("gpiochip")))
        return gpiod_chip_open_by_name(text.constData());
    return gpiod_chip_open_lookup(text.constData());
}

class GpiodOutput : public GpioOutput
{
public:
    ~GpiodOutput() override { release(); }

    void request(const QString &chip, unsigned line, int value) override
    {
        release();
        m_chip = openChip(chip);
        if (!m_chip) {
            const int error = errno;
            if (error == EACCES || error == EPERM)
                throw DeviceError(
                    QStringLiteral("No se puede abrir el chip GPIO «%1»: permiso denegado. Entre en el "
                                   "grupo «gpio» y vuelva a iniciar la sesión.")
                        .arg(chip));
            throw DeviceError(QStringLiteral("No se encuentra el chip GPIO «%1».").arg(chip));
        }
        m_line = gpiod_chip_get_line(m_chip, line);
        if (!m_line) {
            release();
            throw DeviceError(QStringLiteral("El chip GPIO «%1» no tiene la línea %2.").arg(chip).arg(line));
        }
        if (gpiod_line_request_output(m_line, "pregonal", value) != 0) {
            const int error = errno;
            m_line = nullptr;
            release();
            if (error == EBUSY)
                throw DeviceError(
                    QStringLiteral("La línea %1 del chip GPIO «%2» la está usando otro programa.")
                        .arg(line)
                        .arg(chip));
            throw DeviceError(QStringLiteral("No se puede usar la línea %1 del chip GPIO «%2»: %3.")
                                  .arg(line)
                                  .arg(chip, fileErrorText(error)));
        }
        m_path = QStringLiteral("/dev/") + QString::fromLocal8Bit(gpiod_chip_name(m_chip));
    }

    bool set(int value) override { return m_line && gpiod_line_set_value(m_line, value) == 0; }

    void release() override
    {
        if (m_line)
            gpiod_line_release(m_line);
        m_line = nullptr;
        if (m_chip)
            gpiod_chip_close(m_chip);
        m_chip = nullptr;
    }

    bool present() const override { return m_line && QFileInfo::exists(m_path); }

private:
    gpiod_chip *m_chip = nullptr;
    gpiod_line *m_line = nullptr;
    QString m_path;
};
} // namespace

std::unique_ptr<GpioOutput> makeGpiodOutput()
{
    return std::make_unique<GpiodOutput>();
}

GpioKeyer::GpioKeyer(const QString &lineText, std::unique_ptr<GpioOutput> output, QObject *parent)
    : Keyer(parent), m_lineText(lineText.trimmed()), m_line(GpioLine::parse(lineText)), m_output(std::move(output))
{
}

GpioKeyer::~GpioKeyer()
{
    close();
}

void GpioKeyer::open()
{
    if (!m_line.valid)
        throw DeviceError(
            QStringLiteral("La línea GPIO «%1» no es válida: escríbala como chip:línea, por ejemplo "
                           "gpiochip0:17 (con «!» delante de la línea si se activa a nivel bajo).")
                .arg(m_lineText));
    if (m_open)
        return;
    m_output->request(m_line.chip, m_line.line, m_line.activeLow ? 1 : 0);
    m_open = true;
}

void GpioKeyer::close()
{
    if (!m_open)
        return;
    set(false);
    m_output->release();
    m_open = false;
}

void GpioKeyer::keyUp()
{
    if (m_open && set(true))
        emit keyedUp();
    else
        emit keyUpFailed(QString());
}

void GpioKeyer::keyDown()
{
    if (m_open)
        set(false);
}

bool GpioKeyer::check()
{
    if (m_open && !m_output->present())
        lose();
    return m_open;
}

QString GpioKeyer::description() const
{
    return QStringLiteral("la línea GPIO %1").arg(m_lineText);
}

bool GpioKeyer::set(bool keyed)
{
    if (m_output->set(keyed != m_line.activeLow ? 1 : 0))
        return true;
    lose();
    return false;
}

// A chip that went cannot take any more values: the line is given back.
void GpioKeyer::lose()
{
    m_output->release();
    m_open = false;
}

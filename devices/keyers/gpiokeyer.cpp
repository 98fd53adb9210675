#include "gpiokeyer.h"

#include "deviceerror.h"
#include "devicenode.h"
#include "errortext.h"

#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

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

// The device libgpiod opens (O_RDWR, which on a serial port raises its lines) for a path, a name
// or a number; empty for a label, which it looks up among the chips only.
QString chipPath(const QString &chip)
{
    bool number = false;
    const uint n = chip.toUInt(&number);
    if (number)
        return QStringLiteral("/dev/gpiochip%1").arg(n);
    if (chip.startsWith(QLatin1Char('/')))
        return chip;
    if (chip.startsWith(QLatin1String("gpiochip")))
        return QStringLiteral("/dev/") + chip;
    return QString();
}

void refuseOtherDevices(const QString &chip)
{
    const QString path = chipPath(chip);
    struct stat st = {};
    if (path.isEmpty() || ::stat(path.toLocal8Bit().constData(), &st) != 0)
        return; // not there: libgpiod says so
    if (!S_ISCHR(st.st_mode) || charDeviceSubsystem(st.st_rdev) != QLatin1String("gpio"))
        throw DeviceError(
            QStringLiteral("«%1» no es un chip GPIO: escriba uno como gpiochip0 o /dev/gpiochip0.")
                .arg(chip));
}

// One line of a chip through libgpiod, requested as an output or an input and held.
class GpiodLine
{
public:
    ~GpiodLine() { release(); }

    // value < 0: as an input.
    void request(const QString &chip, unsigned line, int value)
    {
        release();
        refuseOtherDevices(chip);
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
        const int requested = value < 0 ? gpiod_line_request_input(m_line, "pregonal")
                                        : gpiod_line_request_output(m_line, "pregonal", value);
        if (requested != 0) {
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

    bool set(int value) { return m_line && gpiod_line_set_value(m_line, value) == 0; }
    int value() const { return m_line && present() ? gpiod_line_get_value(m_line) : -1; }

    void release()
    {
        if (m_line)
            gpiod_line_release(m_line);
        m_line = nullptr;
        if (m_chip)
            gpiod_chip_close(m_chip);
        m_chip = nullptr;
    }

    bool present() const { return m_line && QFileInfo::exists(m_path); }

private:
    gpiod_chip *m_chip = nullptr;
    gpiod_line *m_line = nullptr;
    QString m_path;
};

class GpiodOutput : public GpioOutput
{
public:
    void request(const QString &chip, unsigned line, int value) override { m_line.request(chip, line, value); }
    bool set(int value) override { return m_line.set(value); }
    void release() override { m_line.release(); }
    bool present() const override { return m_line.present(); }

private:
    GpiodLine m_line;
};

class GpiodInput : public GpioInput
{
public:
    void request(const QString &chip, unsigned line) override { m_line.request(chip, line, -1); }
    int value() override { return m_line.value(); }
    void release() override { m_line.release(); }

private:
    GpiodLine m_line;
};
} // namespace

std::unique_ptr<GpioOutput> makeGpiodOutput()
{
    return std::make_unique<GpiodOutput>();
}

std::unique_ptr<GpioInput> makeGpiodInput()
{
    return std::make_unique<GpiodInput>();
}

GpioKeyer::GpioKeyer(const QString &lineText, std::unique_ptr<GpioOutput> output, QObject *parent)
    : Keyer(parent), m_lineText(lineText.trimmed()), m_line(GpioLine::parse(lineText)),
      m_output(std::move(output))
{
}

GpioKeyer::~GpioKeyer()
{
    close();
}

void GpioKeyer::open()
{
    if (!m_line.valid) {
        KeyerSettings settings;
        settings.metodo = KeyerSettings::Method::Gpio;
        settings.gpio = m_lineText;
        throw DeviceError(keyerSettingsProblem(settings));
    }
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

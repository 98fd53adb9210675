#include "keyersettings.h"

#include "keyingsettings.h"
#include "programvalues.h"
#include "settingsstore.h"

#include <QRegularExpression>

#include <limits>
#include <optional>

namespace {
struct MethodName
{
    KeyerSettings::Method method;
    const char *name;
};
constexpr MethodName kMethods[] = {{KeyerSettings::Method::Serie, "serie"},
                                   {KeyerSettings::Method::Cm108, "cm108"},
                                   {KeyerSettings::Method::Gpio, "gpio"},
                                   {KeyerSettings::Method::Cat, "cat"},
                                   {KeyerSettings::Method::Ninguno, "ninguno"}};

QString readText(const SettingsStore &store, const QString &key, const QString &defaultText)
{
    const QString text = store.read(kApplication, kSection, key, defaultText).trimmed();
    return text.isEmpty() ? defaultText : text;
}

// A whole number as written, however far out of range (held within an int, still out of range);
// nothing when the text is no number.
std::optional<int> wholeNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d+$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok)
        return text.startsWith(QLatin1Char('-')) ? std::numeric_limits<int>::min()
                                                 : std::numeric_limits<int>::max();
    return int(qBound(qlonglong(std::numeric_limits<int>::min()), value,
                      qlonglong(std::numeric_limits<int>::max())));
}

QString catProblem(const KeyerSettings &s)
{
    if (s.equipo < 1 || s.equipo > 999999)
        return QStringLiteral("El modelo de equipo %1 no es válido: ha de ser un número de modelo de Hamlib, "
                              "del 1 al 999999 (rigctl -l los lista).")
            .arg(s.equipo);
    const QString port = s.equipopuerto.trimmed();
    if (port.isEmpty())
        return QStringLiteral("No se ha indicado el puerto CAT del equipo.");
    if (!isNetworkCatPort(port))
        return QString();
    bool ok = false;
    const int number = port.mid(port.lastIndexOf(QLatin1Char(':')) + 1).toInt(&ok);
    if (!ok || number < 1 || number > 65535 || port.startsWith(QLatin1Char(':')))
        return QStringLiteral("El puerto CAT «%1» no es válido: escriba dónde escucha rigctld como "
                              "máquina:puerto, con un puerto del 1 al 65535 (por ejemplo localhost:4532).")
            .arg(port);
    return QString();
}
} // namespace

QString KeyerSettings::methodName(Method method)
{
    for (const MethodName &m : kMethods)
        if (m.method == method)
            return QLatin1String(m.name);
    return QStringLiteral("serie");
}

KeyerSettings::Method KeyerSettings::methodFromName(const QString &name)
{
    const QString wanted = name.trimmed().toLower();
    if (wanted.isEmpty())
        return Method::Serie;
    for (const MethodName &m : kMethods)
        if (wanted == QLatin1String(m.name))
            return m.method;
    return Method::Unknown;
}

QString KeyerSettings::methodNames()
{
    QStringList names;
    for (const MethodName &m : kMethods)
        names << QLatin1String(m.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" o ") + last;
}

QString KeyerSettings::pinText() const
{
    return (pinActiveLow ? QStringLiteral("!") : QString()) + QString::number(pin);
}

GpioLine GpioLine::parse(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\S+?)\\s*:\\s*(!?)\\s*(\\d{1,4})\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    GpioLine line;
    if (!match.hasMatch())
        return line;
    line.chip = match.captured(1);
    line.activeLow = !match.captured(2).isEmpty();
    line.line = match.captured(3).toUInt();
    line.valid = true;
    return line;
}

bool isNetworkCatPort(const QString &port)
{
    return !port.startsWith(QLatin1Char('/')) && port.contains(QLatin1Char(':'));
}

QString keyerSettingsProblem(const KeyerSettings &s)
{
    using M = KeyerSettings::Method;
    switch (s.metodo) {
    case M::Unknown:
        return QStringLiteral("No se conoce el método «%1» para activar el transmisor: ha de ser %2.")
            .arg(s.metodoText, KeyerSettings::methodNames());
    case M::Cm108:
        if (s.pin < 1 || s.pin > 8)
            return QStringLiteral("El pin %1 de la interfaz CM108 no existe: ha de ser del 1 al 8 (con «!» "
                                  "delante si se activa a nivel bajo).")
                .arg(s.pinText());
        return QString();
    case M::Gpio:
        if (!GpioLine::parse(s.gpio).valid)
            return QStringLiteral("La línea GPIO «%1» no es válida: escríbala como chip:línea, por ejemplo "
                                  "gpiochip0:17 (con «!» delante de la línea si se activa a nivel bajo).")
                .arg(s.gpio.trimmed());
        return QString();
    case M::Cat:
        return catProblem(s);
    default:
        return QString();
    }
}

KeyerSettings readKeyerSettings(const SettingsStore &store)
{
    KeyerSettings s;
    const QString method = readText(store, QStringLiteral("metodo"), QStringLiteral("serie"));
    s.metodo = KeyerSettings::methodFromName(method);
    if (s.metodo == KeyerSettings::Method::Unknown)
        s.metodoText = method;
    s.cm108 = readText(store, QStringLiteral("cm108"), s.cm108);
    if (s.cm108.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
        s.cm108 = QStringLiteral("auto");

    // "!" before the pin number for a pin that keys when low.
    QString pin = readText(store, QStringLiteral("pin"), QStringLiteral("3"));
    s.pinActiveLow = pin.startsWith(QLatin1Char('!'));
    if (s.pinActiveLow)
        pin = pin.mid(1).trimmed();
    if (const std::optional<int> number = wholeNumber(pin))
        s.pin = *number;
    else
        s.pinActiveLow = false;

    s.gpio = readText(store, QStringLiteral("gpio"), QString());
    s.equipo = wholeNumber(readText(store, QStringLiteral("equipo"), QString())).value_or(s.equipo);
    s.equipopuerto = readText(store, QStringLiteral("equipopuerto"), s.equipopuerto);
    s.equipovelocidad =
        readClampedSetting(store, QStringLiteral("equipovelocidad"), s.equipovelocidad, 0, 4000000);
    return s;
}

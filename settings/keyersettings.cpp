#include "keyersettings.h"

#include "keyingsettings.h"
#include "programvalues.h"
#include "settingsstore.h"

#include <QRegularExpression>

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
    for (const MethodName &m : kMethods)
        if (wanted == QLatin1String(m.name))
            return m.method;
    return Method::Serie;
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

KeyerSettings readKeyerSettings(const SettingsStore &store)
{
    KeyerSettings s;
    s.metodo =
        KeyerSettings::methodFromName(readText(store, QStringLiteral("metodo"), QStringLiteral("serie")));
    s.cm108 = readText(store, QStringLiteral("cm108"), s.cm108);
    if (s.cm108.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
        s.cm108 = QStringLiteral("auto");

    // "!" before the pin number for a pin that keys when low; the number read like the others.
    QString pin = readText(store, QStringLiteral("pin"), QStringLiteral("3"));
    s.pinActiveLow = pin.startsWith(QLatin1Char('!'));
    if (s.pinActiveLow)
        pin = pin.mid(1).trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d{1,9}$"));
    if (number.match(pin).hasMatch())
        s.pin = qBound(1, pin.toInt(), 8);
    else
        s.pinActiveLow = false;

    s.gpio = readText(store, QStringLiteral("gpio"), QString());
    s.equipo = readClampedSetting(store, QStringLiteral("equipo"), s.equipo, 1, 999999);
    s.equipopuerto = readText(store, QStringLiteral("equipopuerto"), s.equipopuerto);
    s.equipovelocidad =
        readClampedSetting(store, QStringLiteral("equipovelocidad"), s.equipovelocidad, 0, 4000000);
    return s;
}

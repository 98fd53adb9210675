#include "keyingsettings.h"

#include "programvalues.h"
#include "settingsstore.h"

#include <QRegularExpression>

int readClampedSetting(const SettingsStore &store, const QString &key, int defaultValue, int min, int max)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?)(\\d+)\\s*$"));
    const QString text = store.read(kApplication, kSection, key, QString());
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return defaultValue;
    bool ok = false;
    const qlonglong magnitude = match.captured(2).toLongLong(&ok);
    const bool negative = match.captured(1) == QLatin1String("-");
    if (!ok) // more digits than fit: as far out as it gets
        return negative ? min : max;
    return int(qBound(qlonglong(min), negative ? -magnitude : magnitude, qlonglong(max)));
}

KeyingSettings readKeyingSettings(const SettingsStore &store)
{
    KeyingSettings s;
    s.retardoMs = readClampedSetting(store, QStringLiteral("retardo"), s.retardoMs, 0, 2000);
    s.colaMs = readClampedSetting(store, QStringLiteral("cola"), s.colaMs, 0, 2000);
    s.tiempomaximoSecs =
        readClampedSetting(store, QStringLiteral("tiempomaximo"), s.tiempomaximoSecs, 0, 3600);
    s.lineas = store.read(kApplication, kSection, QStringLiteral("lineas"), s.lineas);
    s.keyer = readKeyerSettings(store);
    return s;
}

bool writeKeyingSettings(SettingsStore &store, const KeyingSettings &values)
{
    return writeConfValues(
        store, {
                   {QStringLiteral("lineas"), values.lineas},
                   {QStringLiteral("retardo"), QString::number(values.retardoMs)},
                   {QStringLiteral("cola"), QString::number(values.colaMs)},
                   {QStringLiteral("tiempomaximo"), QString::number(values.tiempomaximoSecs)},
                   {QStringLiteral("metodo"), values.keyer.metodoName()},
                   {QStringLiteral("cm108"), values.keyer.cm108},
                   {QStringLiteral("pin"), values.keyer.pinText()},
                   {QStringLiteral("gpio"), values.keyer.gpio},
                   {QStringLiteral("equipo"), QString::number(values.keyer.equipo)},
                   {QStringLiteral("equipopuerto"), values.keyer.equipopuerto},
                   {QStringLiteral("equipovelocidad"), QString::number(values.keyer.equipovelocidad)},
               });
}

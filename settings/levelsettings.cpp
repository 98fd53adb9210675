#include "levelsettings.h"

#include "programvalues.h"
#include "settingsstore.h"

#include <QRegularExpression>

#include <algorithm>

std::optional<double> toDecimal(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?\\d+(?:[.,]\\d+)?)\\s*$"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

LevelSettings readLevelSettings(const SettingsStore &store)
{
    LevelSettings s;
    if (const auto nivel = toDecimal(store.read(kApplication, kSection, QStringLiteral("nivel"), QString())))
        s.nivel = std::clamp(*nivel, LevelSettings::MinNivel, LevelSettings::MaxNivel);
    if (const auto pico =
            toDecimal(store.read(kApplication, kSection, QStringLiteral("picomaximo"), QString())))
        s.picomaximo = std::clamp(*pico, LevelSettings::MinPico, LevelSettings::MaxPico);
    return s;
}

bool writeLevelSettings(SettingsStore &store, const LevelSettings &values)
{
    return writeConfValues(
        store, {
                   {QStringLiteral("nivel"), values.on() ? QString::number(*values.nivel) : QString()},
                   {QStringLiteral("picomaximo"), QString::number(values.picomaximo)},
               });
}

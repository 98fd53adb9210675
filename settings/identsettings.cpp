#include "identsettings.h"

#include "keyingsettings.h"
#include "programvalues.h"
#include "settingsstore.h"

#include <QRegularExpression>

QString IdentSettings::modeName(Mode mode)
{
    switch (mode) {
    case Mode::Final:
        return QStringLiteral("final");
    case Mode::Cada:
        return QStringLiteral("cada");
    case Mode::No:
        break;
    }
    return QStringLiteral("no");
}

QString normalizedCallsign(const QString &text)
{
    static const QRegularExpression callsign(QStringLiteral("^[A-Z0-9/]+$"));
    const QString upper = text.trimmed().toUpper();
    return callsign.match(upper).hasMatch() ? upper : QString();
}

IdentSettings readIdentSettings(const SettingsStore &store)
{
    IdentSettings s;
    const auto text = [&store](const char *key) {
        return store.read(kApplication, kSection, QLatin1String(key), QString()).trimmed();
    };
    s.indicativo = normalizedCallsign(text("indicativo"));
    const QString mode = text("identificacion").toLower();
    for (const auto m : {IdentSettings::Mode::Final, IdentSettings::Mode::Cada})
        if (mode == IdentSettings::modeName(m))
            s.identificacion = m;
    s.identcadaMin = readClampedSetting(store, QStringLiteral("identcada"), s.identcadaMin, 1, 60);
    s.identarchivo = text("identarchivo");
    s.cwvelocidadWpm = readClampedSetting(store, QStringLiteral("cwvelocidad"), s.cwvelocidadWpm, 5, 40);
    s.cwtonoHz = readClampedSetting(store, QStringLiteral("cwtono"), s.cwtonoHz, 300, 2000);
    s.cwnivelDb = readClampedSetting(store, QStringLiteral("cwnivel"), s.cwnivelDb, -40, 0);
    return s;
}

bool writeIdentSettings(SettingsStore &store, const IdentSettings &values)
{
    return writeConfValues(
        store, {
                   {QStringLiteral("indicativo"), values.indicativo},
                   {QStringLiteral("identificacion"), IdentSettings::modeName(values.identificacion)},
                   {QStringLiteral("identcada"), QString::number(values.identcadaMin)},
                   {QStringLiteral("identarchivo"), values.identarchivo},
                   {QStringLiteral("cwvelocidad"), QString::number(values.cwvelocidadWpm)},
                   {QStringLiteral("cwtono"), QString::number(values.cwtonoHz)},
                   {QStringLiteral("cwnivel"), QString::number(values.cwnivelDb)},
               });
}

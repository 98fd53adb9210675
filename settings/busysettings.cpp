#include "busysettings.h"

#include "keyingsettings.h"
#include "programvalues.h"
#include "settingsstore.h"

namespace {
constexpr BusySettings::Source kSources[] = {
    BusySettings::Source::Ninguno, BusySettings::Source::Audio, BusySettings::Source::Serie,
    BusySettings::Source::Gpio,    BusySettings::Source::Cm108, BusySettings::Source::Cat,
};
}

QString BusySettings::sourceName(Source source)
{
    switch (source) {
    case Source::Audio:
        return QStringLiteral("audio");
    case Source::Serie:
        return QStringLiteral("serie");
    case Source::Gpio:
        return QStringLiteral("gpio");
    case Source::Cm108:
        return QStringLiteral("cm108");
    case Source::Cat:
        return QStringLiteral("cat");
    case Source::Ninguno:
    case Source::Unknown:
        break;
    }
    return QStringLiteral("ninguno");
}

bool BusySettings::operator==(const BusySettings &o) const
{
    return ocupado == o.ocupado && ocupadoText == o.ocupadoText && receptor == o.receptor &&
           receptornombre == o.receptornombre && umbralDb == o.umbralDb && ocupadolinea == o.ocupadolinea &&
           ocupadopuerto == o.ocupadopuerto && ocupadogpio == o.ocupadogpio && ocupadocm108 == o.ocupadocm108 &&
           libreMs == o.libreMs && esperaSecs == o.esperaSecs && ocupadoignorarMs == o.ocupadoignorarMs;
}

BusySettings readBusySettings(const SettingsStore &store)
{
    BusySettings s;
    const auto text = [&store](const char *key, const QString &defaultValue) {
        return store.read(kApplication, kSection, QLatin1String(key), defaultValue).trimmed();
    };
    s.ocupadoText = text("ocupado", QString());
    if (!s.ocupadoText.isEmpty()) {
        s.ocupado = BusySettings::Source::Unknown;
        for (const auto source : kSources)
            if (s.ocupadoText.compare(BusySettings::sourceName(source), Qt::CaseInsensitive) == 0)
                s.ocupado = source;
    }
    s.receptor = text("receptor", QString());
    s.receptornombre = text("receptornombre", QString());
    s.umbralDb = readClampedSetting(store, QStringLiteral("umbral"), s.umbralDb, BusySettings::MinUmbral,
                                    BusySettings::MaxUmbral);
    s.ocupadolinea = text("ocupadolinea", s.ocupadolinea);
    // One past either end stands for a number out of range: refused, never moved onto a port.
    s.ocupadopuerto = readClampedSetting(store, QStringLiteral("ocupadopuerto"), s.ocupadopuerto, -1, 256);
    s.ocupadogpio = text("ocupadogpio", s.ocupadogpio);
    s.ocupadocm108 = text("ocupadocm108", s.ocupadocm108);
    s.libreMs = readClampedSetting(store, QStringLiteral("libre"), s.libreMs, 0, BusySettings::MaxLibreMs);
    s.esperaSecs = readClampedSetting(store, QStringLiteral("espera"), s.esperaSecs, BusySettings::MinEsperaSecs,
                                      BusySettings::MaxEsperaSecs);
    s.ocupadoignorarMs = readClampedSetting(store, QStringLiteral("ocupadoignorar"), s.ocupadoignorarMs, 0,
                                            BusySettings::MaxIgnorarMs);
    return s;
}

bool writeBusySettings(SettingsStore &store, const BusySettings &values)
{
    const QString ocupado = values.ocupado == BusySettings::Source::Unknown
                                ? values.ocupadoText
                                : BusySettings::sourceName(values.ocupado);
    return writeConfValues(store, {
                                      {QStringLiteral("ocupado"), ocupado},
                                      {QStringLiteral("receptor"), values.receptor},
                                      {QStringLiteral("receptornombre"), values.receptornombre},
                                      {QStringLiteral("umbral"), QString::number(values.umbralDb)},
                                      {QStringLiteral("ocupadolinea"), values.ocupadolinea},
                                      {QStringLiteral("ocupadopuerto"), QString::number(values.ocupadopuerto)},
                                      {QStringLiteral("ocupadogpio"), values.ocupadogpio},
                                      {QStringLiteral("ocupadocm108"), values.ocupadocm108},
                                      {QStringLiteral("libre"), QString::number(values.libreMs)},
                                      {QStringLiteral("espera"), QString::number(values.esperaSecs)},
                                      {QStringLiteral("ocupadoignorar"), QString::number(values.ocupadoignorarMs)},
                                  });
}

#include "soundcardsettings.h"

#include "programvalues.h"
#include "settingsstore.h"

namespace {
QString readName(const SettingsStore &store, const QString &key)
{
    return store.read(kApplication, kSection, key, QString()).trimmed();
}
} // namespace

SoundCardSettings readSoundCardSettings(const SettingsStore &store)
{
    SoundCardSettings s;
    s.salida = readName(store, QStringLiteral("salida"));
    s.salidanombre = readName(store, QStringLiteral("salidanombre"));
    s.entrada = readName(store, QStringLiteral("entrada"));
    s.entradanombre = readName(store, QStringLiteral("entradanombre"));
    return s;
}

bool writeSoundCardSettings(SettingsStore &store, const SoundCardSettings &values)
{
    return writeConfValues(store, {
        {QStringLiteral("salida"), values.salida},
        {QStringLiteral("salidanombre"), values.salidanombre},
        {QStringLiteral("entrada"), values.entrada},
        {QStringLiteral("entradanombre"), values.entradanombre},
    });
}

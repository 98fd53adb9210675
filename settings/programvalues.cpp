#include "programvalues.h"

#include "settingsstore.h"

namespace {
const QString kPuerto = QStringLiteral("puerto");
const QString kIntervalo = QStringLiteral("intervalo");
const QString kPuertos = QStringLiteral("puertos");
} // namespace

std::optional<quint8> toUnsigned8(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QChar c : trimmed) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    bool ok = false;
    const uint value = trimmed.toUInt(&ok);
    if (!ok || value > 255)
        return std::nullopt;
    return static_cast<quint8>(value);
}

quint8 readByteSetting(const SettingsStore &store, const QString &key, quint8 defaultValue)
{
    const QString text = store.read(kApplication, kSection, key, QString::number(defaultValue));
    return toUnsigned8(text).value_or(defaultValue);
}

quint8 readPuerto(const SettingsStore &store)
{
    return readByteSetting(store, kPuerto, 2);
}

quint8 readIntervalo(const SettingsStore &store)
{
    return readByteSetting(store, kIntervalo, 10);
}

bool writePuerto(SettingsStore &store, int port)
{
    return store.write(kApplication, kSection, kPuerto, QString::number(port));
}

bool writeIntervalo(SettingsStore &store, int seconds)
{
    return store.write(kApplication, kSection, kIntervalo, QString::number(seconds));
}

bool writeConfValues(SettingsStore &store, const QList<QPair<QString, QString>> &values)
{
    bool saved = true;
    for (const auto &[key, text] : values)
        saved = store.write(kApplication, kSection, key, text) && saved;
    return saved;
}

QString readPortDevice(const SettingsStore &store, int port)
{
    return store.read(kApplication, kPuertos, QStringLiteral("COM%1").arg(port), QString()).trimmed();
}

QString settingsLocation(const SettingsStore &store)
{
    return store.location(kApplication);
}

#include "programvalues.h"

#include "settingsstore.h"

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

#pragma once

#include "platform.h"

#include <QHash>

#include <memory>

// Registry values read from an INI file: sections name keys as "HKEY_LOCAL_MACHINE\<path>",
// entries hold text (stored as a string with its terminating zero) or "dword:<hex>".
// Elsewhere than Windows this stands in for the system registry, read only.
class IniRegistry : public RegistryReader
{
public:
    explicit IniRegistry(const QString &iniPath);

    std::optional<quintptr> openKey(quint32 root, const QString &keyName) override;
    std::optional<Value> queryValue(quintptr key, const QString &valueName, int bufferSize) override;
    void closeKey(quintptr key) override;

    // The machine-wide file: "pregonal/registro.ini" in the first XDG config folder that has it.
    static QString systemPath();

private:
    QHash<QString, QHash<QString, Value>> m_keys; // key path in upper case -> value name -> value
    QHash<quintptr, QString> m_open;
    quintptr m_nextHandle = 1;
};

// The registry of this system: the Windows registry, or the INI stand-in elsewhere.
std::unique_ptr<RegistryReader> makeSystemRegistry();

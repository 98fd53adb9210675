#include "systemregistry.h"

#include <QFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QtEndian>

namespace {
const QString kLocalMachine = QStringLiteral("HKEY_LOCAL_MACHINE\\");

RegistryReader::Value parseValue(const QString &text)
{
    RegistryReader::Value value;
    if (text.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        bool ok = false;
        const quint32 number = text.mid(6).trimmed().toUInt(&ok, 16);
        value.type = RegistryReader::DWord;
        value.data.resize(4);
        qToLittleEndian(ok ? number : 0u, value.data.data());
        return value;
    }
    value.type = RegistryReader::String;
    value.data = text.toLocal8Bit();
    value.data.append('\0');
    return value;
}
} // namespace

IniRegistry::IniRegistry(const QString &iniPath)
{
    QFile file(iniPath);
    if (iniPath.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    QString section;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed().toUpper();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || section.isEmpty())
            continue;
        QString name = line.left(eq).trimmed();
        if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
            name = name.mid(1, name.size() - 2);
        QString text = line.mid(eq + 1).trimmed();
        if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
            text = text.mid(1, text.size() - 2);
        m_keys[section].insert(name.toUpper(), parseValue(text));
    }
}

QString IniRegistry::systemPath()
{
    return QStandardPaths::locate(QStandardPaths::GenericConfigLocation,
                                  QStringLiteral("pregonal/registro.ini"));
}

std::optional<quintptr> IniRegistry::openKey(quint32 root, const QString &keyName)
{
    if (root != LocalMachine)
        return std::nullopt;
    const QString path = (kLocalMachine + keyName).toUpper();
    if (!m_keys.contains(path))
        return std::nullopt;
    const quintptr handle = m_nextHandle++;
    m_open.insert(handle, path);
    return handle;
}

std::optional<RegistryReader::Value> IniRegistry::queryValue(quintptr key, const QString &valueName,
                                                             int bufferSize)
{
    const auto values = m_keys.value(m_open.value(key));
    const auto found = values.find(valueName.toUpper());
    if (found == values.end() || found->data.size() > bufferSize)
        return std::nullopt;
    return *found;
}

void IniRegistry::closeKey(quintptr key)
{
    m_open.remove(key);
}

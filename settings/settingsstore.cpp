#include "settingsstore.h"

#include <QSettings>

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString &folder) : m_folder(folder) {}

SettingsStore::~SettingsStore() = default;

std::unique_ptr<QSettings> SettingsStore::open(const QString &application) const
{
    if (m_folder.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, application,
                                           application);
    return std::make_unique<QSettings>(m_folder + '/' + application + ".conf", QSettings::IniFormat);
}

QString SettingsStore::read(const QString &application, const QString &section, const QString &key,
                            const QString &defaultText) const
{
    const auto settings = open(application);
    const QVariant value = settings->value(section + '/' + key);
    if (!value.isValid())
        return defaultText;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool SettingsStore::write(const QString &application, const QString &section, const QString &key,
                          const QString &text)
{
    const auto settings = open(application);
    settings->setValue(section + '/' + key, text);
    settings->sync();
    // A file that was already damaged reads back a format error, yet is rewritten with the value:
    // only an access error means the value did not reach the store.
    return settings->status() != QSettings::AccessError;
}

QStringList SettingsStore::sections(const QString &application) const
{
    QStringList groups = open(application)->childGroups();
    groups.sort();
    return groups;
}

bool SettingsStore::removeSection(const QString &application, const QString &section)
{
    const auto settings = open(application);
    settings->remove(section);
    settings->sync();
    return settings->status() != QSettings::AccessError;
}

QString SettingsStore::location(const QString &application) const
{
    return open(application)->fileName();
}

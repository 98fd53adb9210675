#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// The per-user settings store: text values addressed by application, section and key.
class SettingsStore
{
public:
    // The user's own store (on Linux ~/.config/<application>/<application>.conf).
    SettingsStore();
    // A store kept in one INI file per application inside folder (tests, tools).
    explicit SettingsStore(const QString &folder);
    ~SettingsStore();

    // Returns the stored text, or defaultText when the key, section or application is absent.
    // Never creates anything. A value written by hand with commas and no quotes (QSettings reads
    // it as a list) comes back as its items joined by ", ".
    QString read(const QString &application, const QString &section, const QString &key,
                 const QString &defaultText) const;
    // Stores text under the key, creating application and section when absent. Returns whether
    // the store really holds it now (false when the file or its folder cannot be written).
    bool write(const QString &application, const QString &section, const QString &key, const QString &text);
    // The sections the application's store holds, sorted; empty when it has none.
    QStringList sections(const QString &application) const;
    // Removes the section and all its keys. Returns whether the store no longer holds it.
    bool removeSection(const QString &application, const QString &section);
    // Where the application's settings are kept (a file path), for messages to the operator.
    QString location(const QString &application) const;

private:
    std::unique_ptr<QSettings> open(const QString &application) const;

    QString m_folder;
};

#pragma once

#include "platform.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

// A file dialog answered in advance: each show takes the next answer (a path, or nothing to cancel).
class FakeFileDialog : public FileDialog
{
public:
    void setFilter(const QString &f) override { m_filter = f; }
    QString filter() const override { return m_filter; }
    void setFileName(const QString &path) override { m_fileName = path; }
    QString fileName() const override { return m_fileName; }
    bool showOpen() override { return answer(QStringLiteral("open")); }
    bool showSave() override { return answer(QStringLiteral("save")); }

    std::deque<std::optional<QString>> answers;
    // One entry per show: its form, and the file name and filter it opened with.
    struct Shown
    {
        QString form, initialName, filter;
    };
    QList<Shown> shown;

private:
    bool answer(const QString &form);
    QString m_filter;
    QString m_fileName;
};

// Message boxes answered in advance (Ok, or the next of answers); every box shown is kept.
class FakeMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString text;
        Buttons buttons;
        Icon icon;
        QString caption;
        QString detail;
    };
    int show(const QString &text, Buttons buttons, Icon icon, const QString &caption,
             const QString &detail = QString()) override;

    std::deque<int> answers;
    QList<Shown> shown;
    // Called while a box is up, as if something happened before the operator answered it.
    std::function<void()> whileShown;
};

// Registry keys held in memory: "key path" -> value name -> value.
class FakeRegistry : public RegistryReader
{
public:
    std::optional<quintptr> openKey(quint32 root, const QString &keyName) override;
    std::optional<Value> queryValue(quintptr key, const QString &valueName, int bufferSize) override;
    void closeKey(quintptr key) override;

    QHash<QString, QHash<QString, Value>> keys;
    int openKeys = 0;

private:
    QStringList m_opened;
};

// Records which programs were started; existing files and startable programs set in advance.
class FakeLauncher : public ProgramLauncher
{
public:
    bool fileExists(const QString &path) const override { return existing.contains(path); }
    bool start(const QString &path) override;
    bool openFolder(const QString &path) override
    {
        foldersOpened.append(path);
        return openFolders;
    }
    QStringList foldersOpened;
    bool openFolders = true;

    QStringList existing;
    QStringList startable;
    QStringList started;
};

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The common file dialog: the file types, an initial name, and the open and save-as forms.
class FileDialog
{
public:
    virtual ~FileDialog() = default;

    // Pairs of description and pattern separated by bars, as "*.wav|*.wav|".
    virtual void setFilter(const QString &filter) = 0;
    virtual QString filter() const = 0;
    virtual void setFileName(const QString &path) = 0;
    virtual QString fileName() const = 0;
    // Modal; true when the user confirmed a file (then in fileName()), false when cancelled.
    virtual bool showOpen() = 0;
    virtual bool showSave() = 0;
};

// Message boxes; answers use the classic codes so that callers can compare them.
class MessageBoxes
{
public:
    enum Buttons { OkOnly, YesNo };
    enum Icon { NoIcon, Critical, Warning, Information };
    enum Answer : int { Ok = 1, Yes = 6, No = 7 };

    virtual ~MessageBoxes() = default;
    // detail, when not empty, is the box's informative text: the cause, below the main text.
    virtual int show(const QString &text, Buttons buttons, Icon icon, const QString &caption,
                     const QString &detail = QString()) = 0;
};

// Read-only access to the system registry (or its stand-in elsewhere).
class RegistryReader
{
public:
    enum Root : quint32 { LocalMachine = 0x80000002u };
    enum ValueType : quint32 { String = 1, DWord = 4 };
    struct Value
    {
        quint32 type = 0;
        QByteArray data; // raw bytes as stored, as many as the size returned
    };

    virtual ~RegistryReader() = default;
    // Opens key under root; nothing when it cannot be opened.
    virtual std::optional<quintptr> openKey(quint32 root, const QString &keyName) = 0;
    // Reads a value into a buffer of bufferSize bytes; nothing when absent or larger.
    virtual std::optional<Value> queryValue(quintptr key, const QString &valueName, int bufferSize) = 0;
    virtual void closeKey(quintptr key) = 0;
};

// Starts another program by its path, with no shell in between.
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher() = default;
    virtual bool fileExists(const QString &path) const = 0;
    // Returns false when the program could not be started.
    virtual bool start(const QString &path) = 0;
    // Shows a folder in the desktop's file manager; false when nothing could show it.
    virtual bool openFolder(const QString &path) = 0;
};

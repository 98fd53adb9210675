#pragma once

#include <QString>
#include <QtGlobal>

// Who runs the schedule of one settings file: one process at a time holds an flock on a file
// named after the settings file, in $XDG_RUNTIME_DIR (the state folder when there is none). The
// kernel lets go of it when the process ends, however it ends; programs the holder starts do not
// inherit it.
class StationLock
{
public:
    struct Holder
    {
        qint64 pid = 0;
        QString what; // "ventana", "programa"
    };

    // fallbackFolder: where the lock lives when $XDG_RUNTIME_DIR is not set.
    StationLock(const QString &settingsFile, const QString &fallbackFolder);
    ~StationLock();
    StationLock(const StationLock &) = delete;
    StationLock &operator=(const StationLock &) = delete;

    // Takes the lock for what; false when another process holds it (holder() says who) or the
    // file cannot be made (error() says why).
    bool acquire(const QString &what);
    void release();
    bool held() const { return m_fd >= 0; }
    // Who holds it, as the holder wrote it; pid 0 when it cannot be read.
    Holder holder() const;
    QString error() const { return m_error; }
    QString path() const { return m_path; }

    // The file of the lock of settingsFile in folder.
    static QString pathFor(const QString &settingsFile, const QString &folder);
    // Who holds a lock, for the operator: "el proceso 1234 (pregonal --programa)".
    static QString describe(const Holder &holder);

private:
    QString m_path;
    QString m_error;
    int m_fd = -1;
};

#pragma once

#include <QString>

// A hidden file written beside the file it is to become, and put in that file's place in one
// step: until then whatever the path holds is left as it was. Its own name is short, so that a
// target of any name the file system takes can be written. The target is followed through
// symbolic links: a link stays a link and the file it points to is replaced. POSIX calls only
// (open, fsync, fchown, rename): a Windows build would need a file of its own for this class.
class ReplacementFile
{
public:
    // Creates the file in the folder of target; throws DeviceError (in Spanish) when it cannot.
    explicit ReplacementFile(const QString &target);
    // Removed, unless it has been put in place.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    int handle() const { return m_fd; }
    QString fileName() const { return m_path; }
    // Whether commit can put it in target's place, that is, target lies in the same folder.
    bool besides(const QString &target) const;
    // Writes it to disk and renames it over target. It gets the mode (and, where the system
    // allows, the owner and group) of the file it replaces, or the mode a new file gets.
    // Throws DeviceError when it cannot; target is then untouched and this file stays.
    void commit(const QString &target);

    // The path that writing to path really writes: symbolic links followed.
    static QString resolved(const QString &path);

private:
    QString m_path;
    QString m_folder;
    int m_fd = -1;
    unsigned m_newFileMode = 0644;
    bool m_committed = false;
};

#pragma once

#include <QString>

#include <utility>

struct sf_private_tag;
struct SF_INFO;

// An open libsndfile file that closes itself: when it goes out of scope, when another file is
// moved into it, or on close(). Movable, not copyable, so that each file is closed exactly once.
class SoundFile
{
public:
    SoundFile() = default;
    explicit SoundFile(sf_private_tag *file) noexcept : m_file(file) {}
    ~SoundFile() { close(); }
    SoundFile(SoundFile &&other) noexcept
        : m_file(std::exchange(other.m_file, nullptr)), m_fd(std::exchange(other.m_fd, -1)),
          m_openErrno(other.m_openErrno)
    {
    }
    SoundFile &operator=(SoundFile &&other) noexcept
    {
        if (this != &other) {
            close();
            m_file = std::exchange(other.m_file, nullptr);
            m_fd = std::exchange(other.m_fd, -1);
            m_openErrno = other.m_openErrno;
        }
        return *this;
    }
    SoundFile(const SoundFile &) = delete;
    SoundFile &operator=(const SoundFile &) = delete;

    // Opens the regular file at path for reading and fills info; an empty handle when it cannot
    // (see lastError). Never waits on a pipe or a device: those are refused unopened.
    static SoundFile openRead(const QString &path, SF_INFO &info);
    // Opens on a file descriptor that stays open after the file is closed.
    static SoundFile openDescriptor(int fd, int mode, SF_INFO &info);
    // The file openRead opened, read again from its start, even if its name now leads elsewhere.
    SoundFile reopen(SF_INFO &info) const;
    // The descriptor openRead read from; -1 for any other handle.
    int descriptor() const { return m_fd; }

    sf_private_tag *get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }
    // Closes the file now (for a written one, this finishes its header). False when it could not
    // be finished; an empty handle closes successfully.
    bool close() noexcept;

    // Why the last call on this file (an empty handle: the open that gave it) failed, in Spanish.
    QString lastError() const;

private:
    static SoundFile onDescriptor(int fd, SF_INFO &info);

    sf_private_tag *m_file = nullptr;
    int m_fd = -1;       // owned, from openRead
    int m_openErrno = 0; // why openRead could not open the file itself
};

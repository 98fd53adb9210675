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
    SoundFile(SoundFile &&other) noexcept : m_file(std::exchange(other.m_file, nullptr)) {}
    SoundFile &operator=(SoundFile &&other) noexcept
    {
        if (this != &other) {
            close();
            m_file = std::exchange(other.m_file, nullptr);
        }
        return *this;
    }
    SoundFile(const SoundFile &) = delete;
    SoundFile &operator=(const SoundFile &) = delete;

    // Opens path for reading and fills info; an empty handle when it cannot (see lastError).
    static SoundFile openRead(const QString &path, SF_INFO &info);
    // Opens on a file descriptor that stays open after the file is closed.
    static SoundFile openDescriptor(int fd, int mode, SF_INFO &info);

    sf_private_tag *get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }
    // Closes the file now (for a written one, this finishes its header). False when it could not
    // be finished; an empty handle closes successfully.
    bool close() noexcept;

    // Why the last call on this file (an empty handle: the last open) failed, in Spanish.
    QString lastError() const;

private:
    sf_private_tag *m_file = nullptr;
};

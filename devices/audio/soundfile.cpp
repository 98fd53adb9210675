#include "soundfile.h"

#include "errortext.h"
#include "systempath.h"

#include <sndfile.h>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

SoundFile SoundFile::openRead(const QString &path, SF_INFO &info)
{
    const int fd = SystemPath::openRegular(path);
    if (fd < 0) {
        SoundFile none;
        none.m_openErrno = errno;
        return none;
    }
    return onDescriptor(fd, info);
}

SoundFile SoundFile::onDescriptor(int fd, SF_INFO &info)
{
    SoundFile file(sf_open_fd(fd, SFM_READ, &info, SF_FALSE));
    if (file)
        file.m_fd = fd;
    else
        ::close(fd);
    return file;
}

SoundFile SoundFile::reopen(SF_INFO &info) const
{
    if (m_fd < 0)
        return {};
    // A descriptor of its own on the same open file; libsndfile reads from where it stands.
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        SoundFile none;
        none.m_openErrno = errno;
        if (fd >= 0)
            ::close(fd);
        return none;
    }
    return onDescriptor(fd, info);
}

SoundFile SoundFile::openDescriptor(int fd, int mode, SF_INFO &info)
{
    return SoundFile(sf_open_fd(fd, mode, &info, SF_FALSE));
}

bool SoundFile::close() noexcept
{
    const bool closed = !m_file || sf_close(std::exchange(m_file, nullptr)) == 0;
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    return closed;
}

QString SoundFile::lastError() const
{
    const int systemErrno = errno;
    if (!m_file && m_openErrno == ENXIO)
        return QStringLiteral("no es un archivo normal");
    if (!m_file && m_openErrno != 0)
        return fileErrorText(m_openErrno);
    return soundFileErrorText(sf_error(m_file), systemErrno);
}

#include "soundfile.h"

#include "errortext.h"

#include <QFile>

#include <sndfile.h>

#include <cerrno>

SoundFile SoundFile::openRead(const QString &path, SF_INFO &info)
{
    return SoundFile(sf_open(QFile::encodeName(path).constData(), SFM_READ, &info));
}

SoundFile SoundFile::openDescriptor(int fd, int mode, SF_INFO &info)
{
    return SoundFile(sf_open_fd(fd, mode, &info, SF_FALSE));
}

bool SoundFile::close() noexcept
{
    return !m_file || sf_close(std::exchange(m_file, nullptr)) == 0;
}

QString SoundFile::lastError() const
{
    const int systemErrno = errno;
    return soundFileErrorText(sf_error(m_file), systemErrno);
}

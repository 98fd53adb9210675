#include "serialposix.h"

#include "serialline.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
QString groupName(gid_t gid)
{
    const group *entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}
} // namespace

QString serialDeviceProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::stat(name.constData(), &info) != 0)
        return errno == EACCES ? QStringLiteral("permiso denegado.")
                               : QStringLiteral("el dispositivo no existe.");
    if (!S_ISCHR(info.st_mode))
        return QStringLiteral("no es un puerto serie.");
    if (::access(name.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return QStringLiteral("permiso denegado; el usuario debe pertenecer al grupo «%1».")
            .arg(groupName(info.st_gid));
    return QString();
}

bool serialDeviceThere(int fd)
{
    termios settings;
    return ::tcgetattr(fd, &settings) == 0;
}

void clearHangup(int fd)
{
    termios settings;
    if (::tcgetattr(fd, &settings) == 0 && (settings.c_cflag & HUPCL)) {
        settings.c_cflag &= ~tcflag_t(HUPCL);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
}

int holdSerialDevice(int fd)
{
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

void releaseSerialDevice(int heldFd)
{
    if (heldFd < 0)
        return;
    clearHangup(heldFd);
    ::close(heldFd);
}

int serialStatusLines(int fd)
{
    int bits = 0;
    if (::ioctl(fd, TIOCMGET, &bits) != 0)
        return -1;
    return ((bits & TIOCM_CTS) ? SerialLine::Cts : 0) | ((bits & TIOCM_DSR) ? SerialLine::Dsr : 0) |
           ((bits & TIOCM_CD) ? SerialLine::Dcd : 0) | ((bits & TIOCM_RI) ? SerialLine::Ri : 0);
}

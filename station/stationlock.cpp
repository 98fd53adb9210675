#include "stationlock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

StationLock::StationLock(const QString &settingsFile, const QString &fallbackFolder)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        folder = fallbackFolder;
    m_path = pathFor(settingsFile, folder);
}

StationLock::~StationLock()
{
    release();
}

QString StationLock::pathFor(const QString &settingsFile, const QString &folder)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(settingsFile).toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder + QStringLiteral("/pregonal-") + QString::fromLatin1(hash.left(16)) + QStringLiteral(".lock");
}

bool StationLock::acquire(const QString &what)
{
    if (held())
        return true;
    m_error.clear();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QByteArray name = QFile::encodeName(m_path);
    // A holder that let go removes the file: the lock taken must be on the file the name has now.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            if (!busy)
                m_error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            return false;
        }
        struct stat opened = {};
        struct stat named = {};
        if (::fstat(fd, &opened) == 0 && ::stat(name.constData(), &named) == 0 && opened.st_ino == named.st_ino &&
            opened.st_dev == named.st_dev) {
            m_fd = fd;
            const QByteArray note = QByteArray::number(qint64(::getpid())) + ' ' + what.toUtf8() + '\n';
            if (::ftruncate(fd, 0) != 0 || ::write(fd, note.constData(), size_t(note.size())) < 0)
                m_error = QString::fromLocal8Bit(std::strerror(errno)); // held all the same
            return true;
        }
        ::close(fd);
    }
    m_error = QStringLiteral("el archivo de bloqueo cambia sin cesar");
    return false;
}

void StationLock::release()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that no one locks the file on its way out.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

StationLock::Holder StationLock::holder() const
{
    Holder h;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return h;
    const QString text = QString::fromUtf8(file.readLine(256)).trimmed();
    bool ok = false;
    h.pid = text.section(QLatin1Char(' '), 0, 0).toLongLong(&ok);
    if (!ok || h.pid <= 0)
        return Holder();
    h.what = text.section(QLatin1Char(' '), 1);
    return h;
}

QString StationLock::describe(const Holder &holder)
{
    if (holder.pid <= 0)
        return QStringLiteral("otro proceso");
    const QString what = holder.what == QLatin1String("programa") ? QStringLiteral("pregonal --programa")
                         : holder.what == QLatin1String("ventana") ? QStringLiteral("la ventana de Pregonal")
                                                                   : holder.what;
    return what.isEmpty() ? QStringLiteral("el proceso %1").arg(holder.pid)
                          : QStringLiteral("el proceso %1 (%2)").arg(holder.pid).arg(what);
}

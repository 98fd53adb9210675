#include "replacementfile.h"

#include "deviceerror.h"
#include "errortext.h"
#include "systempath.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

namespace {
constexpr int MaxLinks = 40; // as the kernel allows in one path

QString shown(const QString &path)
{
    return SystemPath::readable(QDir::toNativeSeparators(path));
}

QString randomName()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString name = QStringLiteral(".pregonal-");
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)]);
    return name;
}

int createNew(const QString &path)
{
    // The mode a new file gets here (umask, default ACL) is read back from this one.
    return ::open(SystemPath::encode(path).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
}

bool renameOver(const QString &source, const QString &target)
{
    return std::rename(SystemPath::encode(source).constData(), SystemPath::encode(target).constData()) == 0;
}
// The last system call's failure, for saving target.
[[noreturn]] void fail(const QString &target)
{
    const int error = errno;
    throw DeviceError(
        QStringLiteral("No se puede guardar «%1»: %2.").arg(shown(target), fileErrorText(error)));
}
} // namespace

QString ReplacementFile::resolved(const QString &path)
{
    QFileInfo fi(QFileInfo(path).absoluteFilePath());
    for (int hops = 0; hops < MaxLinks && fi.isSymLink(); ++hops)
        fi.setFile(fi.symLinkTarget());
    return fi.absoluteFilePath();
}

ReplacementFile::ReplacementFile(const QString &target)
{
    const QFileInfo file(resolved(target));
    if (file.isDir())
        throw DeviceError(QStringLiteral("«%1» es una carpeta.").arg(shown(file.filePath())));
    m_folder = file.absolutePath();
    for (int tries = 0; m_fd < 0; ++tries) {
        m_path = m_folder + QLatin1Char('/') + randomName();
        m_fd = createNew(m_path);
        const int error = errno;
        if (m_fd < 0 && (error != EEXIST || tries >= 100))
            throw DeviceError(QStringLiteral("No se puede escribir en la carpeta «%1»: %2.")
                                  .arg(shown(m_folder), fileErrorText(error)));
    }
    struct stat st = {};
    if (::fstat(m_fd, &st) == 0)
        m_newFileMode = st.st_mode & 07777;
    // Private while it is being written; it gets its real mode when it is put in place.
    [[maybe_unused]] const int moded = ::fchmod(m_fd, 0600);
}

ReplacementFile::~ReplacementFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(SystemPath::encode(m_path).constData());
}

bool ReplacementFile::besides(const QString &target) const
{
    return QFileInfo(resolved(target)).absolutePath() == m_folder;
}

void ReplacementFile::commit(const QString &target)
{
    const QString final = resolved(target);
    if (QFileInfo(final).absolutePath() != m_folder)
        throw DeviceError(QStringLiteral("No se puede guardar «%1» en otra carpeta.").arg(shown(final)));
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        fail(final);
    struct stat old = {};
    if (::stat(SystemPath::encode(final).constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Owner first: a change of owner clears the set-id bits the mode may carry. Where the
        // system does not allow it (another owner, a disk without modes) the file is saved anyway.
        [[maybe_unused]] const bool owned =
            ::fchown(m_fd, old.st_uid, old.st_gid) == 0 || ::fchown(m_fd, uid_t(-1), old.st_gid) == 0;
        [[maybe_unused]] const int moded = ::fchmod(m_fd, old.st_mode & 07777);
    } else {
        [[maybe_unused]] const int moded = ::fchmod(m_fd, m_newFileMode);
    }
    if (!renameOver(m_path, final))
        fail(final);
    m_committed = true;
    // The new name itself on disk, so that a power cut does not bring the old file back.
    const int folder = ::open(SystemPath::encode(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

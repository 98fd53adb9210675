#include "systemlauncher.h"

#include <QFileInfo>
#include <QProcess>

bool SystemLauncher::fileExists(const QString &path) const
{
    return QFileInfo(path).isFile();
}

bool SystemLauncher::start(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QProcess::startDetached(path, QStringList());
}

bool SystemLauncher::openFolder(const QString &path)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

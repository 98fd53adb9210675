#include "devicenode.h"

#include <QFileInfo>

#include <sys/sysmacros.h>

QString charDeviceSubsystem(dev_t device)
{
    const QString link =
        QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major(device)).arg(minor(device));
    const QString target = QFileInfo(link).symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

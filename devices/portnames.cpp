#include "portnames.h"

#include "programvalues.h"
#include "settingsstore.h"

QString serialDeviceForPort(const SettingsStore &store, int port)
{
    // Port numbers start at 1; nothing names a device for 0 or below.
    if (port < 1)
        return QString();
    const QString key = QStringLiteral("COM%1").arg(port);
#ifdef Q_OS_WIN
    const QString platformName = key;
#else
    const QString platformName = QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
    const QString named = readPortDevice(store, port);
    return named.isEmpty() ? platformName : named;
}

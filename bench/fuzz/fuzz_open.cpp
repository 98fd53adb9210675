// libFuzzer target for the open path of the real audio device: the bytes become a file that the
// device opens ("open"), as the transmit command does. Any crash, leak or sanitizer report is a
// finding; a DeviceError is the expected refusal.
#include "audio/wavaudiodevice.h"
#include "deviceerror.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_open";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("entrada.wav"));

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    WavAudioDevice device;
    device.setFileName(path);
    try {
        device.setCommand(QStringLiteral("open"));
        (void)device.length();
        device.setCommand(QStringLiteral("close"));
    } catch (const DeviceError &) {
    }
    return 0;
}

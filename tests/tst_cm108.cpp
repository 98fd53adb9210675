// The CM108 keyer: the report bytes, finding the chip of the chosen sound card, and the keyer
// writing to a FIFO or a file that stands for its hidraw node, alone and under the cycle.
#include "cm108keyer.h"
#include "deviceerror.h"
#include "fakeaudiodevice.h"
#include "fakeserialline.h"
#include "keyinglines.h"
#include "transmissionengine.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(QList<UdevSoundCard>)
Q_DECLARE_METATYPE(QList<UdevHidraw>)

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// Everything written to the FIFO so far, without waiting.
QByteArray drain(int fd)
{
    QByteArray all;
    char buf[256];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        all.append(buf, int(n));
    return all;
}

const QString kUsbCard = QStringLiteral("usb-C-Media_Electronics_Inc._USB_Audio_Device-00");
const QString kUsbDev = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2");
} // namespace

class TestCm108 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }
    void report_data();
    void report();
    void lookup_data();
    void lookup();
    void keyerWritesOffFirstAndLast_data();
    void keyerWritesOffFirstAndLast();
    void openRefusals_data();
    void openRefusals();
    void cycleOnAFifo();
    void crashWhileKeyedUnkeys();
};

void TestCm108::report_data()
{
    QTest::addColumn<int>("pin");
    QTest::addColumn<bool>("high");
    QTest::addColumn<QByteArray>("expected");
    for (int pin = 1; pin <= 8; ++pin) {
        const int mask = 1 << (pin - 1);
        QTest::addRow("pin %d high", pin) << pin << true << bytes({0, 0, mask, mask, 0});
        QTest::addRow("pin %d low", pin) << pin << false << bytes({0, 0, 0, mask, 0});
    }
}

void TestCm108::report()
{
    QFETCH(int, pin);
    QFETCH(bool, high);
    QTEST(cm108Report(pin, high), "expected");
}

void TestCm108::lookup_data()
{
    QTest::addColumn<QString>("sink");
    QTest::addColumn<QList<UdevSoundCard>>("cards");
    QTest::addColumn<QList<UdevHidraw>>("hidraws");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("why");
    const UdevSoundCard pci{QString(), QStringLiteral("pci-0000:00:1f.3"), QString()};
    const UdevSoundCard usb{kUsbCard, QStringLiteral("pci-0000:00:14.0-usb-0:2:1.0"), kUsbDev};
    const UdevHidraw other{QStringLiteral("/dev/hidraw0"), QStringLiteral("/sys/devices/x/usb1/1-1")};
    const UdevHidraw ours{QStringLiteral("/dev/hidraw3"), kUsbDev};
    const UdevHidraw ours2{QStringLiteral("/dev/hidraw5"), kUsbDev};
    const QString usbSink = QStringLiteral("alsa_output.") + kUsbCard + QStringLiteral(".analog-stereo");
    QTest::newRow("by ID_ID") << usbSink << QList{pci, usb} << QList{other, ours2, ours} << "/dev/hidraw3" << "";
    QTest::newRow("by ID_PATH") << "alsa_output.pci-0000_00_14.0-usb-0_2_1.0.analog-stereo"
                                << QList{UdevSoundCard{QString(), usb.idPath, kUsbDev}} << QList{ours} << "/dev/hidraw3"
                                << "";
    QTest::newRow("not USB") << "alsa_output.pci-0000_00_1f.3.analog-stereo" << QList{pci, usb} << QList{ours} << ""
                             << "no es USB";
    QTest::newRow("no HID node") << usbSink << QList{usb} << QList{other} << "" << "ningún dispositivo hidraw";
    QTest::newRow("a prefix is no match") << "alsa_output.usb-C-Media_Electronics_Inc._USB_Audio_Device-001.mono"
                                          << QList{usb} << QList{ours} << "" << "no se encuentra";
    QTest::newRow("default card") << "" << QList{usb} << QList{ours} << "" << "hay que elegir";
}

void TestCm108::lookup()
{
    QFETCH(QString, sink);
    QFETCH(QList<UdevSoundCard>, cards);
    QFETCH(QList<UdevHidraw>, hidraws);
    QFETCH(QString, why);
    QString told;
    QTEST(cm108NodeForCard(sink, cards, hidraws, &told), "node");
    QVERIFY2(why.isEmpty() ? told.isEmpty() : told.contains(why), qPrintable(told));
}

void TestCm108::keyerWritesOffFirstAndLast_data()
{
    QTest::addColumn<int>("pin");
    QTest::addColumn<bool>("activeLow");
    QTest::newRow("pin 3") << 3 << false;
    QTest::newRow("pin 8, active low") << 8 << true;
}

// Open writes "off" before anything else, close writes it last, and a key-up is confirmed at once.
void TestCm108::keyerWritesOffFirstAndLast()
{
    QFETCH(int, pin);
    QFETCH(bool, activeLow);
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw9"));
    QVERIFY(QFile(node).open(QIODevice::WriteOnly));
    Cm108Keyer keyer(node, pin, activeLow, QString(), nullptr, Cm108Keyer::Nodes::StandIns);
    QSignalSpy up(&keyer, &Keyer::keyedUp);
    keyer.open();
    keyer.keyUp();
    QCOMPARE(up.size(), 1);
    keyer.keyDown();
    keyer.keyUp();
    keyer.close();
    keyer.close();
    const QByteArray off = cm108Report(pin, activeLow), on = cm108Report(pin, !activeLow);
    QFile f(node);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), off + on + off + on + off);
    QVERIFY(keyer.description().contains(node));
}

void TestCm108::openRefusals_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "/nonexistent/hidraw7" << "No se encuentra la interfaz CM108 /nonexistent/hidraw7";
    QTest::newRow("a folder") << "/" << "no es un dispositivo hidraw";
    QTest::newRow("not a HID device") << "/dev/null" << "no es un dispositivo hidraw";
    QTest::newRow("auto, default card") << "auto" << "No se encuentra la interfaz CM108: con «auto» hay que elegir";
    // What only tests may stand in with is refused from a setting, before a byte is written.
    QTest::newRow("an ordinary file") << "file" << "no es un dispositivo hidraw";
    QTest::newRow("a FIFO being read") << "fifo" << "no es un dispositivo hidraw";
    QTest::newRow("a terminal") << "pty" << "no es un dispositivo hidraw";
}

void TestCm108::openRefusals()
{
    QFETCH(QString, device);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QByteArray content("an operator's file, not a HID node");
    int reader = -1, pty = -1;
    if (device == QLatin1String("file")) {
        device = dir.filePath(QStringLiteral("notes.txt"));
        QFile f(device);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    } else if (device == QLatin1String("fifo")) {
        device = dir.filePath(QStringLiteral("hidraw9"));
        QCOMPARE(mkfifo(QFile::encodeName(device).constData(), 0600), 0);
        reader = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
    } else if (device == QLatin1String("pty")) {
        pty = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(pty >= 0 && grantpt(pty) == 0 && unlockpt(pty) == 0);
        device = QString::fromLocal8Bit(ptsname(pty));
    }
    Cm108Keyer keyer(device, 3, false, QString(), [](const QString &id, QString *why) {
        return cm108NodeForCard(id, {}, {}, why);
    });
    try {
        keyer.open();
        QFAIL("opened");
    } catch (const DeviceError &e) {
        QVERIFY2(e.reason().contains(reason), qPrintable(e.reason()));
    }
    QVERIFY(!keyer.isOpen());
    keyer.keyUp();
    keyer.close();
    if (reader >= 0) {
        QVERIFY(drain(reader).isEmpty());
        ::close(reader);
    }
    if (pty >= 0)
        ::close(pty);
    if (QFileInfo(device).isFile() && device.endsWith(QLatin1String("notes.txt"))) {
        QFile f(device);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
}

// The cycle keys through the chip's pin: off at open, on for the play, off after it and at the
// end; the serial line is never touched. The chip pulled out (its node gone) ends the
// transmission with the message, and nothing more is written.
void TestCm108::cycleOnAFifo()
{
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw9"));
    QCOMPARE(mkfifo(QFile::encodeName(node).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    auto log = std::make_shared<QStringList>();
    FakeAudioDevice audio(log);
    FakeSerialLine serial(log);
    Cm108Keyer keyer(QStringLiteral("auto"), 3, false, QStringLiteral("alsa_output.usb-radio.analog-stereo"),
                     [&](const QString &id, QString *) {
                         return id == QLatin1String("alsa_output.usb-radio.analog-stereo") ? node : QString();
                     },
                     Cm108Keyer::Nodes::StandIns);
    TransmissionEngine engine(audio, serial);
    engine.setKeying(300, 100, KeyingLines(), 0);
    engine.setKeyer(&keyer);
    QSignalSpy failures(&engine, &TransmissionEngine::failed);
    audio.setFileName(QStringLiteral("/tmp/aviso.wav"));
    const QByteArray off = cm108Report(3, false), on = cm108Report(3, true);

    engine.sendLoop();
    QCOMPARE(drain(reader), off + on);
    QVERIFY(audio.playing);
    audio.finishPlay();
    QCOMPARE(drain(reader), off);
    engine.Timer1_Timer();
    QCOMPARE(drain(reader), on);
    engine.stop();
    QCOMPARE(drain(reader), off + off); // key-down, then close
    QVERIFY(!keyer.isOpen() && failures.isEmpty());
    QVERIFY(log->filter(QStringLiteral("PortOpen")).isEmpty());

    // Pulled out while keyed.
    engine.sendOnce();
    QCOMPARE(drain(reader), off + on);
    QVERIFY(QFile::remove(node));
    engine.watchPort();
    QCOMPARE(failures.size(), 1);
    QVERIFY(failures.first().at(0).toString().startsWith(QStringLiteral("Se ha perdido el dispositivo")));
    QCOMPARE(engine.state(), TransmissionEngine::State::Idle);
    QVERIFY(!keyer.isOpen() && !audio.isOpen);
    ::close(reader);
}

// A program that crashes while keyed (abort, as a failed assertion does) leaves the pin off.
void TestCm108::crashWhileKeyedUnkeys()
{
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw9"));
    QVERIFY(QFile(node).open(QIODevice::WriteOnly));
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGABRT, SIG_DFL);
        Cm108Keyer keyer(node, 3, false, QString(), nullptr, Cm108Keyer::Nodes::StandIns);
        keyer.open();
        keyer.keyUp();
        std::abort();
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
    QFile f(node);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray off = cm108Report(3, false), on = cm108Report(3, true);
    QCOMPARE(f.readAll(), off + on + off);
}

QTEST_GUILESS_MAIN(TestCm108)
#include "tst_cm108.moc"

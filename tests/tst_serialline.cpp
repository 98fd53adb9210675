// The real serial line on pseudo-terminals. Ptys have no modem lines; run with the shim
// (LD_PRELOAD=libptyshim.so, as tst_serialline_shim does) to check DTR and RTS levels too.
// Only pty slaves, /dev/null and paths in a temporary folder are ever opened here.

#include "deviceerror.h"
#include "keyinglines.h"
#include "portnames.h"
#include "programvalues.h"
#include "qtserialline.h"
#include "settingsstore.h"
#include "soundcapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kPuertos = QStringLiteral("puertos");

// A pseudo-terminal pair; the slave is the "serial port".
struct Pty
{
    int master = -1;
    QString slave;

    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool ok() const { return master >= 0 && !slave.isEmpty(); }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    // The slave's termios, seen from the master side.
    bool hupcl() const
    {
        termios settings{};
        ::tcgetattr(master, &settings);
        return settings.c_cflag & HUPCL;
    }
    void setHupcl(bool on) const
    {
        termios settings{};
        ::tcgetattr(master, &settings);
        if (on)
            settings.c_cflag |= HUPCL;
        else
            settings.c_cflag &= ~tcflag_t(HUPCL);
        ::tcsetattr(master, TCSANOW, &settings);
    }
};

// The levels an event of the shim's log shows, as "<DTR><RTS>", e.g. "10".
QString levelsOf(const LineEvent &event)
{
    return QStringLiteral("%1%2").arg(int(event.dtr)).arg(int(event.rts));
}

bool shimLoaded()
{
    return ::dlsym(RTLD_DEFAULT, "pregonal_ptyshim_present") != nullptr;
}

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

// A settings store in a temporary folder naming the devices for the port numbers, and the shim's
// log file (set in the environment while the bench lives).
class Bench
{
public:
    Bench() : m_store(m_dir.path())
    {
        m_log = m_dir.filePath(QStringLiteral("lines.log"));
        qputenv("PREGONAL_LINELOG", QFile::encodeName(m_log));
    }
    ~Bench()
    {
        qunsetenv("PREGONAL_LINELOG");
        qunsetenv("PREGONAL_LINESHIM_OPEN");
    }

    QString folder() const { return m_dir.path(); }
    // Where the shim puts DTR and RTS when a port opens: "1" high (the default), "0" low.
    void setOpenLevels(const QByteArray &start) { qputenv("PREGONAL_LINESHIM_OPEN", start); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void name(int port, const QString &device)
    {
        m_store.write(kApplication, kPuertos, QStringLiteral("COM%1").arg(port), device);
    }

    // Never lets a test reach a /dev/ttyS* device, whatever it names.
    QtSerialLine::PortMapper mapper()
    {
        return [this](int port) {
            ++mapperCalls;
            const QString device = serialDeviceForPort(m_store, port);
            if (QFileInfo(device).fileName().startsWith(QLatin1String("ttyS")))
                qFatal("test tried to open %s", qPrintable(device));
            return device;
        };
    }

    // A new line set to the port number, not open.
    std::unique_ptr<QtSerialLine> newLine(int port)
    {
        auto serial = std::make_unique<QtSerialLine>(mapper());
        serial->setCommPort(port);
        return serial;
    }

    QList<LineEvent> events() const { return readLineLog(m_log); }

    // The levels as the last event left them: "<DTR><RTS>", e.g. "10".
    QString levels() const
    {
        const QList<LineEvent> all = events();
        return all.isEmpty() ? QString() : levelsOf(all.last());
    }

    int mapperCalls = 0;

private:
    QTemporaryDir m_dir;
    SettingsStore m_store;
    QString m_log;
};

// Applies writes written as "D1 R1 D0 R0"; returns the levels after each one.
QStringList applyWrites(QtSerialLine &line, const Bench &bench, const QString &writes)
{
    QStringList seen;
    for (const QString &write : writes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const bool on = write.at(1) == QLatin1Char('1');
        if (write.at(0) == QLatin1Char('D'))
            line.setDTREnable(on);
        else
            line.setRTSEnable(on);
        seen << bench.levels();
    }
    return seen;
}

// Writes both lines, DTR first, as the program keys and unkeys.
void keyBoth(QtSerialLine &line, bool on)
{
    line.setDTREnable(on);
    line.setRTSEnable(on);
}

// A bench whose COM3 is a fresh pty, with a line set to port 3 (not open).
struct PtyBench : Bench
{
    Pty pty;
    std::unique_ptr<QtSerialLine> line;

    PtyBench()
    {
        name(3, pty.slave);
        line = newLine(3);
    }
};

} // namespace

#define REQUIRE_SHIM()                                                                                       \
    do {                                                                                                     \
        if (!shimLoaded()) {                                                                                 \
            if (qEnvironmentVariableIsSet("PREGONAL_REQUIRE_SHIM"))                                          \
                QFAIL("the pty shim is not loaded");                                                         \
            QSKIP("needs LD_PRELOAD of libptyshim.so (tst_serialline_shim)");                                \
        }                                                                                                    \
    } while (false)

// The open throws, with a reason that tells the cause and names the device.
#define VERIFY_OPEN_FAILS(line, cause, device)                                                               \
    do {                                                                                                     \
        try {                                                                                                \
            (line).setPortOpen(true);                                                                        \
            QFAIL("the open succeeded");                                                                     \
        } catch (const DeviceError &error) {                                                                 \
            QVERIFY2(error.reason().contains(cause), qPrintable(error.reason()));                            \
            QVERIFY2(error.reason().contains(device), qPrintable(error.reason()));                           \
        }                                                                                                    \
    } while (false)

#define REQUIRE_PTY(pty)                                                                                     \
    do {                                                                                                     \
        if (!(pty).ok())                                                                                     \
            QSKIP("no pseudo-terminals here");                                                               \
    } while (false)

class TestSerialLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("PREGONAL_REQUIRE_SHIM"))
            QVERIFY2(shimLoaded(), "the pty shim is not loaded");
        qInfo("pty shim %s", shimLoaded() ? "loaded" : "not loaded: line levels are not checked");
    }

    void mapping_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("named");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("expected");
        // A key of "" writes no name.
        const auto row = [](const char *name, const char *key, const char *named, int port,
                            const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(key) << QString::fromUtf8(named) << port
                                << QString::fromUtf8(expected);
        };
        row("COM1 default", "", "", 1, "/dev/ttyS0");
        row("COM4 default", "", "", 4, "/dev/ttyS3");
        row("COM12 default", "", "", 12, "/dev/ttyS11");
        row("named", "COM4", "/dev/ttyUSB0", 4, "/dev/ttyUSB0");
        row("named, trimmed", "COM2", "  /dev/ttyACM1 \t", 2, "/dev/ttyACM1");
        row("blank name is default", "COM2", "   ", 2, "/dev/ttyS1");
        row("other number untouched", "COM3", "/dev/ttyUSB0", 2, "/dev/ttyS1");
        row("zero", "COM0", "/dev/ttyUSB0", 0, "");
        row("negative", "", "", -1, "");
    }
    void mapping()
    {
        QFETCH(QString, key);
        QFETCH(QString, named);
        QFETCH(int, port);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        if (!key.isEmpty())
            store.write(kApplication, kPuertos, key, named);
        // Only the name is built; nothing is opened.
        QCOMPARE(serialDeviceForPort(store, port), expected);
    }

    void commPortNeverOpens_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("1") << 1;
        QTest::newRow("0") << 0;
        QTest::newRow("-7") << -7;
        QTest::newRow("256") << 256;
        QTest::newRow("INT_MAX") << INT_MAX;
        QTest::newRow("INT_MIN") << INT_MIN;
    }
    void commPortNeverOpens()
    {
        QFETCH(int, port);
        Bench bench;
        QtSerialLine line(bench.mapper());
        line.setCommPort(port);
        QCOMPARE(line.commPort(), port);
        QVERIFY(!line.portOpen());
        QCOMPARE(bench.mapperCalls, 0);
    }

    void openAndClose()
    {
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        auto &line = bench.line;
        line->setPortOpen(true);
        QVERIFY(line->portOpen());
        // Already open here: refused as busy, and the open port stays as it was.
        VERIFY_OPEN_FAILS(*line, QStringLiteral("ocupado"), bench.pty.slave);
        QVERIFY(line->portOpen());
        line->setPortOpen(false);
        QVERIFY(!line->portOpen());
        line->setPortOpen(false); // already closed: nothing happens
        QVERIFY(!line->portOpen());
    }

    void reopenAfterClose()
    {
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        auto &line = bench.line;
        for (int round = 0; round < 3; ++round) {
            line->setPortOpen(true);
            QVERIFY(line->portOpen());
            line->setPortOpen(false);
            QVERIFY(!line->portOpen());
        }
        // Another line can take it once this one has let go.
        auto other = bench.newLine(3);
        other->setPortOpen(true);
        QVERIFY(other->portOpen());
    }

    void secondOpenIsBusy_data()
    {
        QTest::addColumn<int>("otherPort");
        QTest::newRow("same number") << 3;
        QTest::newRow("another number, same device") << 5;
        QTest::newRow("a stable by-id name for the same device") << 6;
    }
    void secondOpenIsBusy()
    {
        QFETCH(int, otherPort);
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        const QString slave = bench.pty.slave;
        bench.name(5, QStringLiteral(" %1 ").arg(slave));
        // As udev names a USB adapter in /dev/serial/by-id: a link to the device.
        QVERIFY(QDir().mkpath(bench.path(QStringLiteral("serial/by-id"))));
        const QString byId = bench.path(QStringLiteral("serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0"));
        QVERIFY(QFile::link(slave, byId));
        bench.name(6, byId);
        auto &first = bench.line;
        first->setPortOpen(true);
        auto second = bench.newLine(otherPort);
        const int before = openDescriptors();
        VERIFY_OPEN_FAILS(*second, QLatin1String("ocupado"), otherPort == 6 ? byId : slave);
        QCOMPARE(openDescriptors(), before);
        QVERIFY(!second->portOpen());
        QVERIFY(first->portOpen());
        first->setPortOpen(false);
        second->setPortOpen(true);
        QVERIFY(second->portOpen());
        // ...and the other way round: held through the link, the device itself is busy.
        second->setPortOpen(false);
        auto viaLink = bench.newLine(6);
        viaLink->setPortOpen(true);
        QVERIFY(viaLink->portOpen());
        QVERIFY_THROWS_EXCEPTION(DeviceError, first->setPortOpen(true));
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("device"); // "%TMP%" is the bench's folder, "%PTY%" a pty slave
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("closeMaster");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("mentions");
        const auto row = [](const char *name, const char *device, int port, bool closeMaster,
                            const char *reason, const char *mentions) {
            QTest::newRow(name) << QString::fromUtf8(device) << port << closeMaster
                                << QString::fromUtf8(reason) << QString::fromUtf8(mentions);
        };
        row("missing", "%TMP%/ttyUSB9", 2, false, "no existe", "%TMP%/ttyUSB9");
        row("missing folder", "%TMP%/nada/ttyUSB0", 2, false, "no existe", "%TMP%/nada/ttyUSB0");
        row("pty gone", "%PTY%", 2, true, "no existe", "%PTY%");
        row("regular file", "%TMP%/lines.txt", 2, false, "no es un puerto serie", "%TMP%/lines.txt");
        row("folder", "%TMP%", 2, false, "no es un puerto serie", "%TMP%");
        row("not a terminal", "/dev/null", 2, false, "no es un puerto serie", "/dev/null");
        row("port zero", "", 0, false, "no es válido", "COM0");
        row("negative port", "", -3, false, "no es válido", "COM-3");
    }
    void openFailures()
    {
        QFETCH(QString, device);
        QFETCH(int, port);
        QFETCH(bool, closeMaster);
        QFETCH(QString, reason);
        QFETCH(QString, mentions);
        Pty pty;
        REQUIRE_PTY(pty);
        Pty good;
        REQUIRE_PTY(good);
        Bench bench;
        const auto expand = [&](QString text) {
            return text.replace(QLatin1String("%TMP%"), bench.folder())
                .replace(QLatin1String("%PTY%"), pty.slave);
        };
        device = expand(device);
        mentions = expand(mentions);
        {
            QFile file(bench.path(QStringLiteral("lines.txt")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (closeMaster)
            pty.closeMaster();
        if (!device.isEmpty())
            bench.name(port, device);
        bench.name(7, good.slave);

        auto line = bench.newLine(port);
        const int before = openDescriptors();
        VERIFY_OPEN_FAILS(*line, reason, mentions);
        QVERIFY(!line->portOpen());
        QCOMPARE(openDescriptors(), before);
        QCOMPARE(line->commPort(), port);
        keyBoth(*line, true);
        line->setPortOpen(false);

        // Nothing was left half-open: the same line opens a good port afterwards.
        line->setCommPort(7);
        line->setPortOpen(true);
        QVERIFY(line->portOpen());
    }

    void permissionDenied()
    {
        if (::geteuid() == 0)
            QSKIP("root opens any device");
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        auto &line = bench.line;
        QCOMPARE(::chmod(QFile::encodeName(bench.pty.slave).constData(), 0), 0);
        VERIFY_OPEN_FAILS(*line, QLatin1String("permiso denegado"), bench.pty.slave);
        QVERIFY(!line->portOpen());
    }

    void writesOnClosedPort()
    {
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        auto &line = bench.line;
        keyBoth(*line, true);
        QVERIFY(!line->portOpen());
        QCOMPARE(bench.mapperCalls, 0);
        line->setPortOpen(true);
        line->setPortOpen(false);
        keyBoth(*line, true);
        QVERIFY(!line->portOpen());
        if (shimLoaded()) {
            // Writes made while closed do not show on the next open.
            line->setPortOpen(true);
            QCOMPARE(bench.levels(), QStringLiteral("00"));
        }
    }

    // Without the shim the kernel refuses the line writes on a pty; the port stays open all the same.
    void writesOnLivePortKeepItOpen()
    {
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        auto &line = bench.line;
        line->setPortOpen(true);
        keyBoth(*line, true);
        keyBoth(*line, false);
        QVERIFY(line->portOpen());
    }

    void vanishedPort_data()
    {
        QTest::addColumn<QString>("writes");
        QTest::newRow("DTR on") << "D1 R1";
        QTest::newRow("RTS on") << "R1 D1";
        QTest::newRow("DTR off") << "D0 R0";
    }
    void vanishedPort()
    {
        QFETCH(QString, writes);
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        Pty next;
        REQUIRE_PTY(next);
        auto &line = bench.line;
        line->setPortOpen(true);
        bench.pty.closeMaster();
        applyWrites(*line, bench, writes);
        QVERIFY(!line->portOpen());
        line->setDTREnable(true);
        line->setPortOpen(false);
        QVERIFY(!line->portOpen());
        if (shimLoaded()) {
            const QList<LineEvent> events = bench.events();
            QVERIFY(!events.isEmpty());
            QVERIFY(events.last().close);
        }
        // The device is gone for good; the number can name another one.
        QVERIFY_THROWS_EXCEPTION(DeviceError, line->setPortOpen(true));
        bench.name(3, next.slave);
        line->setPortOpen(true);
        QVERIFY(line->portOpen());
    }

    void destructorLetsGo()
    {
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        const int before = openDescriptors();
        bench.line->setPortOpen(true);
        keyBoth(*bench.line, true);
        bench.line.reset();
        QCOMPARE(openDescriptors(), before);
        auto other = bench.newLine(3);
        other->setPortOpen(true);
        QVERIFY(other->portOpen());
    }

    void keyingLinesParse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("canonical");
        QTest::newRow("DTR+RTS") << "DTR+RTS" << true << "DTR+RTS";
        QTest::newRow("lower case") << "dtr+rts" << true << "DTR+RTS";
        QTest::newRow("mixed case") << "Dtr+rTs" << true << "DTR+RTS";
        QTest::newRow("spaces") << "  DTR + RTS  " << true << "DTR+RTS";
        QTest::newRow("RTS+DTR") << "RTS+DTR" << true << "DTR+RTS";
        QTest::newRow("DTR") << "DTR" << true << "DTR";
        QTest::newRow("rts") << "rts" << true << "RTS";
        QTest::newRow("tabs") << "\tDTR\t" << true << "DTR";
        QTest::newRow("!DTR") << "!DTR" << true << "!DTR";
        QTest::newRow("!RTS") << "!RTS" << true << "!RTS";
        QTest::newRow("! RTS") << " ! rts " << true << "!RTS";
        QTest::newRow("DTR+!RTS") << "DTR+!RTS" << true << "DTR+!RTS";
        QTest::newRow("!DTR+RTS") << "!dtr + rts" << true << "!DTR+RTS";
        QTest::newRow("!DTR+!RTS") << "!DTR+!RTS" << true << "!DTR+!RTS";
        QTest::newRow("!RTS+!DTR") << "!RTS+!DTR" << true << "!DTR+!RTS";
        for (const char *bad :
             {"", "   ", "+", "DTR+", "+RTS", "DTR+DTR", "RTS+!RTS", "CTS", "DSR", "DTR+RTS+DTR", "!!DTR",
              "DTR!", "!", "DTR RTS", "DTR,RTS", "D TR", "DTR++RTS", "DTRRTS"})
            QTest::newRow(qPrintable(QStringLiteral("bad '%1'").arg(QLatin1String(bad))))
                << QString::fromLatin1(bad) << false << QString();
    }
    void keyingLinesParse()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, canonical);
        const std::optional<KeyingLines> lines = KeyingLines::parse(text);
        QCOMPARE(lines.has_value(), valid);
        if (!valid)
            return;
        QCOMPARE(lines->toString(), canonical);
        QCOMPARE(lines->useDtr, canonical.contains(QLatin1String("DTR")));
        QCOMPARE(lines->useRts, canonical.contains(QLatin1String("RTS")));
        QCOMPARE(lines->invertDtr, canonical.contains(QLatin1String("!DTR")));
        QCOMPARE(lines->invertRts, canonical.contains(QLatin1String("!RTS")));
        QVERIFY(KeyingLines::parse(lines->toString()) == lines);
    }

    void keyingLinesDefault()
    {
        QVERIFY(KeyingLines::parse(QStringLiteral("DTR+RTS")) == KeyingLines());
        Bench bench;
        QtSerialLine line(bench.mapper());
        QVERIFY(line.keyingLines() == KeyingLines());
    }

    // Levels "<DTR><RTS>" after open, after each write, and at close.
    void levelsFollowWrites_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("writes");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *name, const char *lines, const char *writes,
                            const QStringList &expected) {
            QTest::newRow(name) << QString::fromLatin1(lines) << QString::fromLatin1(writes) << expected;
        };
        row("key and unkey", "DTR+RTS", "D1 R1 D0 R0", {"10", "11", "01", "00"});
        row("RTS alone", "DTR+RTS", "R1 R0", {"01", "00"});
        row("repeated writes", "DTR+RTS", "D1 D1 R0 R0", {"10", "10", "10", "10"});
        row("DTR keys on either", "DTR", "D1 R1 D0 R0", {"10", "10", "10", "00"});
        row("DTR keys on RTS write", "DTR", "R1 R0", {"10", "00"});
        row("RTS keys on either", "RTS", "D1 R1 D0 R0", {"01", "01", "01", "00"});
        row("!DTR", "!DTR", "D1 R1 D0 R0", {"00", "00", "00", "10"});
        row("!RTS", "!RTS", "D1 R1 D0 R0", {"00", "00", "00", "01"});
        row("DTR+!RTS", "DTR+!RTS", "D1 R1 D0 R0", {"11", "10", "00", "01"});
        row("!DTR+!RTS", "!DTR+!RTS", "D1 R1 D0 R0", {"01", "00", "10", "11"});
    }
    void levelsFollowWrites()
    {
        REQUIRE_SHIM();
        QFETCH(QString, lines);
        QFETCH(QString, writes);
        QFETCH(QStringList, expected);
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        auto &line = bench.line;
        const std::optional<KeyingLines> keying = KeyingLines::parse(lines);
        QVERIFY(keying);
        line->setKeyingLines(*keying);
        line->setPortOpen(true);
        QCOMPARE(applyWrites(*line, bench, writes), expected);
    }

    void levelsLowAfterOpen_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("raised by the open") << QByteArray("1");
        QTest::newRow("already low") << QByteArray("0");
    }
    void levelsLowAfterOpen()
    {
        REQUIRE_SHIM();
        QFETCH(QByteArray, start);
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        bench.setOpenLevels(start);
        bench.line->setPortOpen(true);
        const QList<LineEvent> events = bench.events();
        QVERIFY(!events.isEmpty());
        QVERIFY(events.first().open);
        QCOMPARE(bench.levels(), QStringLiteral("00"));
        if (start == "1") {
            // DTR drops first.
            QCOMPARE(events.size(), 3);
            QCOMPARE(levelsOf(events.at(1)), QStringLiteral("01"));
        }
    }

    void closeDropsDtrThenRts_data()
    {
        QTest::addColumn<bool>("byDestructor");
        QTest::newRow("PortOpen false") << false;
        QTest::newRow("destructor") << true;
    }
    void closeDropsDtrThenRts()
    {
        REQUIRE_SHIM();
        QFETCH(bool, byDestructor);
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        auto &line = bench.line;
        line->setPortOpen(true);
        keyBoth(*line, true);
        QCOMPARE(bench.levels(), QStringLiteral("11"));
        const int keyedAt = bench.events().size();
        if (byDestructor)
            line.reset();
        else
            line->setPortOpen(false);
        const QList<LineEvent> after = bench.events().mid(keyedAt);
        QCOMPARE(after.size(), 3);
        QCOMPARE(levelsOf(after.at(0)), QStringLiteral("01"));
        QCOMPARE(levelsOf(after.at(1)), QStringLiteral("00"));
        QVERIFY(after.at(2).close);
        QCOMPARE(levelsOf(after.at(2)), QStringLiteral("00"));
        const QList<LineEvent> all = bench.events();
        for (int i = 1; i < all.size(); ++i)
            QVERIFY(all.at(i).ns >= all.at(i - 1).ns);
    }

    // Off levels right after open, after keying off, and at close; hang-up on close only where no
    // line is inverted (the pty starts with HUPCL set, as real ports do).
    void keyingLevels_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("off");
        QTest::addColumn<QString>("on");
        QTest::addColumn<bool>("hupcl");
        QTest::addColumn<QByteArray>("start");
        const struct
        {
            const char *lines, *off, *on;
            bool hupcl;
        } rows[] = {{"DTR+RTS", "00", "11", true},   {"DTR", "00", "10", true},
                    {"RTS", "00", "01", true},       {"!DTR", "10", "00", false},
                    {"!RTS", "01", "00", false},     {"DTR+!RTS", "01", "10", false},
                    {"!DTR+RTS", "10", "01", false}, {"!DTR+!RTS", "11", "00", false}};
        for (const auto &row : rows) {
            for (const char *start : {"1", "0"}) {
                QTest::newRow(qPrintable(QStringLiteral("%1, open raises %2").arg(row.lines, start)))
                    << row.lines << row.off << row.on << row.hupcl << QByteArray(start);
            }
        }
    }
    void keyingLevels()
    {
        REQUIRE_SHIM();
        QFETCH(QString, lines);
        QFETCH(QString, off);
        QFETCH(QString, on);
        QFETCH(bool, hupcl);
        QFETCH(QByteArray, start);
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        bench.pty.setHupcl(true);
        bench.setOpenLevels(start);
        auto &line = bench.line;
        line->setKeyingLines(*KeyingLines::parse(lines));
        line->setPortOpen(true);
        QCOMPARE(bench.levels(), off);
        keyBoth(*line, true);
        QCOMPARE(bench.levels(), on);
        keyBoth(*line, false);
        QCOMPARE(bench.levels(), off);
        keyBoth(*line, true);
        line->setPortOpen(false);
        const LineEvent last = bench.events().last();
        QVERIFY(last.close);
        QCOMPARE(levelsOf(last), off);
        QCOMPARE(last.hupcl, int(hupcl));
        QCOMPARE(bench.pty.hupcl(), hupcl);
    }

    void keyingLinesChangedWhileOpen()
    {
        REQUIRE_SHIM();
        PtyBench bench;
        REQUIRE_PTY(bench.pty);
        bench.pty.setHupcl(true);
        auto &line = bench.line;
        line->setPortOpen(true);
        keyBoth(*line, true);
        QCOMPARE(bench.levels(), QStringLiteral("11"));
        line->setKeyingLines(*KeyingLines::parse(QStringLiteral("!DTR")));
        QCOMPARE(bench.levels(), QStringLiteral("00"));
        keyBoth(*line, false);
        QCOMPARE(bench.levels(), QStringLiteral("10"));
        line.reset();
        const LineEvent last = bench.events().last();
        QVERIFY(last.close);
        QCOMPARE(levelsOf(last), QStringLiteral("10"));
        QCOMPARE(last.hupcl, 0);
    }
};

QTEST_GUILESS_MAIN(TestSerialLine)
#include "tst_serialline.moc"

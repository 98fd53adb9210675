// The real serial line on pseudo-terminals. Ptys have no modem lines; run with the shim
// (LD_PRELOAD=libptyshim.so, as tst_serialline_shim does) to check DTR and RTS levels too.
// Only pty slaves, /dev/null and paths in a temporary folder are ever opened here.

#include "deviceerror.h"
#include "keyinglines.h"
#include "portnames.h"
#include "programvalues.h"
#include "qtserialline.h"
#include "settingsstore.h"

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

// One line of the shim's log.
struct LineEvent
{
    qint64 ns = 0;
    int fd = -1;
    QString kind; // "open", "close" or empty for a change of level
    int dtr = -1;
    int rts = -1;
    int hupcl = -2;
};

bool shimLoaded()
{
    return ::dlsym(RTLD_DEFAULT, "pregonal_ptyshim_present") != nullptr;
}

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

QString levelsText(int dtr, int rts)
{
    return QStringLiteral("%1%2").arg(dtr).arg(rts);
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

    std::unique_ptr<QtSerialLine> line(int port)
    {
        auto serial = std::make_unique<QtSerialLine>(mapper());
        serial->setCommPort(port);
        return serial;
    }

    QList<LineEvent> events() const
    {
        QList<LineEvent> result;
        QFile file(m_log);
        if (!file.open(QIODevice::ReadOnly))
            return result;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray &text : lines) {
            const QList<QByteArray> fields = text.simplified().split(' ');
            if (fields.size() < 4)
                continue;
            LineEvent event;
            event.ns = fields.at(0).toLongLong();
            event.fd = fields.at(1).toInt();
            for (const QByteArray &field : fields.mid(2)) {
                if (field.startsWith("DTR="))
                    event.dtr = field.mid(4).toInt();
                else if (field.startsWith("RTS="))
                    event.rts = field.mid(4).toInt();
                else if (field.startsWith("HUPCL="))
                    event.hupcl = field.mid(6).toInt();
                else
                    event.kind = QString::fromLatin1(field);
            }
            result << event;
        }
        return result;
    }

    // The levels as the last event left them: "<DTR><RTS>", e.g. "10".
    QString levels() const
    {
        const QList<LineEvent> all = events();
        return all.isEmpty() ? QString() : levelsText(all.last().dtr, all.last().rts);
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

} // namespace

#define REQUIRE_SHIM()                                                                                       \
    do {                                                                                                     \
        if (!shimLoaded()) {                                                                                 \
            if (qEnvironmentVariableIsSet("PREGONAL_REQUIRE_SHIM"))                                          \
                QFAIL("the pty shim is not loaded");                                                         \
            QSKIP("needs LD_PRELOAD of libptyshim.so (tst_serialline_shim)");                                \
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
        QTest::newRow("COM1 default") << QString() << QString() << 1 << "/dev/ttyS0";
        QTest::newRow("COM4 default") << QString() << QString() << 4 << "/dev/ttyS3";
        QTest::newRow("COM12 default") << QString() << QString() << 12 << "/dev/ttyS11";
        QTest::newRow("named") << "COM4"
                               << "/dev/ttyUSB0" << 4 << "/dev/ttyUSB0";
        QTest::newRow("named, trimmed") << "COM2"
                                        << "  /dev/ttyACM1 \t" << 2 << "/dev/ttyACM1";
        QTest::newRow("blank name is default") << "COM2"
                                               << "   " << 2 << "/dev/ttyS1";
        QTest::newRow("other number untouched") << "COM3"
                                                << "/dev/ttyUSB0" << 2 << "/dev/ttyS1";
        QTest::newRow("zero") << "COM0"
                              << "/dev/ttyUSB0" << 0 << QString();
        QTest::newRow("negative") << QString() << QString() << -1 << QString();
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
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setPortOpen(true);
        QVERIFY(line->portOpen());
        line->setPortOpen(true); // already open: stays open
        QVERIFY(line->portOpen());
        line->setPortOpen(false);
        QVERIFY(!line->portOpen());
        line->setPortOpen(false); // already closed: nothing happens
        QVERIFY(!line->portOpen());
    }

    void reopenAfterClose()
    {
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        for (int round = 0; round < 3; ++round) {
            line->setPortOpen(true);
            QVERIFY(line->portOpen());
            line->setPortOpen(false);
            QVERIFY(!line->portOpen());
        }
        // Another line can take it once this one has let go.
        auto other = bench.line(3);
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
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        bench.name(5, QStringLiteral(" %1 ").arg(pty.slave));
        // As udev names a USB adapter in /dev/serial/by-id: a link to the device.
        QVERIFY(QDir().mkpath(bench.path(QStringLiteral("serial/by-id"))));
        const QString byId = bench.path(QStringLiteral("serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0"));
        QVERIFY(QFile::link(pty.slave, byId));
        bench.name(6, byId);
        auto first = bench.line(3);
        first->setPortOpen(true);
        auto second = bench.line(otherPort);
        const int before = openDescriptors();
        try {
            second->setPortOpen(true);
            QFAIL("a second open of the same device succeeded");
        } catch (const DeviceError &error) {
            QVERIFY2(error.reason().contains(QLatin1String("ocupado")), qPrintable(error.reason()));
            QVERIFY2(error.reason().contains(otherPort == 6 ? byId : pty.slave), qPrintable(error.reason()));
        }
        QCOMPARE(openDescriptors(), before);
        QVERIFY(!second->portOpen());
        QVERIFY(first->portOpen());
        first->setPortOpen(false);
        second->setPortOpen(true);
        QVERIFY(second->portOpen());
        // ...and the other way round: held through the link, the device itself is busy.
        second->setPortOpen(false);
        auto viaLink = bench.line(6);
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
        QTest::newRow("missing") << "%TMP%/ttyUSB9" << 2 << false << "no existe"
                                 << "%TMP%/ttyUSB9";
        QTest::newRow("missing folder") << "%TMP%/nada/ttyUSB0" << 2 << false << "no existe"
                                        << "%TMP%/nada/ttyUSB0";
        QTest::newRow("pty gone") << "%PTY%" << 2 << true << "no existe"
                                  << "%PTY%";
        QTest::newRow("regular file") << "%TMP%/lines.txt" << 2 << false << "no es un puerto serie"
                                      << "%TMP%/lines.txt";
        QTest::newRow("folder") << "%TMP%" << 2 << false << "no es un puerto serie"
                                << "%TMP%";
        QTest::newRow("not a terminal") << "/dev/null" << 2 << false << "no es un puerto serie"
                                        << "/dev/null";
        QTest::newRow("port zero") << QString() << 0 << false << "no es válido"
                                   << "COM0";
        QTest::newRow("negative port") << QString() << -3 << false << "no es válido"
                                       << "COM-3";
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

        auto line = bench.line(port);
        const int before = openDescriptors();
        try {
            line->setPortOpen(true);
            QFAIL("the open succeeded");
        } catch (const DeviceError &error) {
            QVERIFY2(error.reason().contains(reason), qPrintable(error.reason()));
            QVERIFY2(error.reason().contains(mentions), qPrintable(error.reason()));
        }
        QVERIFY(!line->portOpen());
        QCOMPARE(openDescriptors(), before);
        QCOMPARE(line->commPort(), port);
        line->setDTREnable(true);
        line->setRTSEnable(true);
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
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        QCOMPARE(::chmod(QFile::encodeName(pty.slave).constData(), 0), 0);
        auto line = bench.line(3);
        try {
            line->setPortOpen(true);
            QFAIL("the open succeeded");
        } catch (const DeviceError &error) {
            QVERIFY2(error.reason().contains(QLatin1String("permiso denegado")), qPrintable(error.reason()));
            QVERIFY2(error.reason().contains(pty.slave), qPrintable(error.reason()));
        }
        QVERIFY(!line->portOpen());
    }

    void writesOnClosedPort()
    {
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setDTREnable(true);
        line->setRTSEnable(true);
        QVERIFY(!line->portOpen());
        QCOMPARE(bench.mapperCalls, 0);
        line->setPortOpen(true);
        line->setPortOpen(false);
        line->setDTREnable(true);
        line->setRTSEnable(true);
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
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setPortOpen(true);
        line->setDTREnable(true);
        line->setRTSEnable(true);
        line->setDTREnable(false);
        line->setRTSEnable(false);
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
        Pty pty;
        REQUIRE_PTY(pty);
        Pty next;
        REQUIRE_PTY(next);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setPortOpen(true);
        pty.closeMaster();
        applyWrites(*line, bench, writes);
        QVERIFY(!line->portOpen());
        line->setDTREnable(true);
        line->setPortOpen(false);
        QVERIFY(!line->portOpen());
        if (shimLoaded()) {
            const QList<LineEvent> events = bench.events();
            QVERIFY(!events.isEmpty());
            QCOMPARE(events.last().kind, QStringLiteral("close"));
        }
        // The device is gone for good; the number can name another one.
        QVERIFY_THROWS_EXCEPTION(DeviceError, line->setPortOpen(true));
        bench.name(3, next.slave);
        line->setPortOpen(true);
        QVERIFY(line->portOpen());
    }

    void destructorLetsGo()
    {
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        const int before = openDescriptors();
        {
            auto line = bench.line(3);
            line->setPortOpen(true);
            line->setDTREnable(true);
            line->setRTSEnable(true);
        }
        QCOMPARE(openDescriptors(), before);
        auto other = bench.line(3);
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
        QTest::newRow("key and unkey") << "DTR+RTS"
                                       << "D1 R1 D0 R0" << QStringList{"10", "11", "01", "00"};
        QTest::newRow("RTS alone") << "DTR+RTS"
                                   << "R1 R0" << QStringList{"01", "00"};
        QTest::newRow("repeated writes") << "DTR+RTS"
                                         << "D1 D1 R0 R0" << QStringList{"10", "10", "10", "10"};
        QTest::newRow("DTR keys on either") << "DTR"
                                            << "D1 R1 D0 R0" << QStringList{"10", "10", "10", "00"};
        QTest::newRow("DTR keys on RTS write") << "DTR"
                                               << "R1 R0" << QStringList{"10", "00"};
        QTest::newRow("RTS keys on either") << "RTS"
                                            << "D1 R1 D0 R0" << QStringList{"01", "01", "01", "00"};
        QTest::newRow("!DTR") << "!DTR"
                              << "D1 R1 D0 R0" << QStringList{"00", "00", "00", "10"};
        QTest::newRow("!RTS") << "!RTS"
                              << "D1 R1 D0 R0" << QStringList{"00", "00", "00", "01"};
        QTest::newRow("DTR+!RTS") << "DTR+!RTS"
                                  << "D1 R1 D0 R0" << QStringList{"11", "10", "00", "01"};
        QTest::newRow("!DTR+!RTS") << "!DTR+!RTS"
                                   << "D1 R1 D0 R0" << QStringList{"01", "00", "10", "11"};
    }
    void levelsFollowWrites()
    {
        REQUIRE_SHIM();
        QFETCH(QString, lines);
        QFETCH(QString, writes);
        QFETCH(QStringList, expected);
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
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
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        qputenv("PREGONAL_LINESHIM_OPEN", start);
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setPortOpen(true);
        const QList<LineEvent> events = bench.events();
        QVERIFY(!events.isEmpty());
        QCOMPARE(events.first().kind, QStringLiteral("open"));
        QCOMPARE(bench.levels(), QStringLiteral("00"));
        if (start == "1") {
            // DTR drops first.
            QCOMPARE(events.size(), 3);
            QCOMPARE(levelsText(events.at(1).dtr, events.at(1).rts), QStringLiteral("01"));
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
        Pty pty;
        REQUIRE_PTY(pty);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setPortOpen(true);
        line->setDTREnable(true);
        line->setRTSEnable(true);
        QCOMPARE(bench.levels(), QStringLiteral("11"));
        const int keyedAt = bench.events().size();
        if (byDestructor)
            line.reset();
        else
            line->setPortOpen(false);
        const QList<LineEvent> after = bench.events().mid(keyedAt);
        QCOMPARE(after.size(), 3);
        QCOMPARE(levelsText(after.at(0).dtr, after.at(0).rts), QStringLiteral("01"));
        QCOMPARE(levelsText(after.at(1).dtr, after.at(1).rts), QStringLiteral("00"));
        QCOMPARE(after.at(2).kind, QStringLiteral("close"));
        QCOMPARE(levelsText(after.at(2).dtr, after.at(2).rts), QStringLiteral("00"));
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
        Pty pty;
        REQUIRE_PTY(pty);
        pty.setHupcl(true);
        Bench bench;
        qputenv("PREGONAL_LINESHIM_OPEN", start);
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setKeyingLines(*KeyingLines::parse(lines));
        line->setPortOpen(true);
        QCOMPARE(bench.levels(), off);
        line->setDTREnable(true);
        line->setRTSEnable(true);
        QCOMPARE(bench.levels(), on);
        line->setDTREnable(false);
        line->setRTSEnable(false);
        QCOMPARE(bench.levels(), off);
        line->setDTREnable(true);
        line->setRTSEnable(true);
        line->setPortOpen(false);
        const LineEvent last = bench.events().last();
        QCOMPARE(last.kind, QStringLiteral("close"));
        QCOMPARE(levelsText(last.dtr, last.rts), off);
        QCOMPARE(last.hupcl, int(hupcl));
        QCOMPARE(pty.hupcl(), hupcl);
    }

    void keyingLinesChangedWhileOpen()
    {
        REQUIRE_SHIM();
        Pty pty;
        REQUIRE_PTY(pty);
        pty.setHupcl(true);
        Bench bench;
        bench.name(3, pty.slave);
        auto line = bench.line(3);
        line->setPortOpen(true);
        line->setDTREnable(true);
        line->setRTSEnable(true);
        QCOMPARE(bench.levels(), QStringLiteral("11"));
        line->setKeyingLines(*KeyingLines::parse(QStringLiteral("!DTR")));
        QCOMPARE(bench.levels(), QStringLiteral("00"));
        line->setDTREnable(false);
        line->setRTSEnable(false);
        QCOMPARE(bench.levels(), QStringLiteral("10"));
        line.reset();
        const LineEvent last = bench.events().last();
        QCOMPARE(last.kind, QStringLiteral("close"));
        QCOMPARE(levelsText(last.dtr, last.rts), QStringLiteral("10"));
        QCOMPARE(last.hupcl, 0);
    }
};

QTEST_GUILESS_MAIN(TestSerialLine)
#include "tst_serialline.moc"

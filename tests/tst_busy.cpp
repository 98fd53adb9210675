// The line sources of "busy": the names of the inputs and their decoding, the settings refused
// before keying, and each source on what stands in for its device: a pty whose status lines the
// modem-line shim lets the test drive (PREGONAL_LINEIN), a FIFO holding CM108 input reports, a
// stand-in GPIO input (and the real libgpiod refusing what is no chip: the machine has none), and
// the TS-2000 simulator answering the squelch query.
#include "busy/catbusysource.h"
#include "busy/cm108busysource.h"
#include "busy/gpiobusysource.h"
#include "busy/serialbusysource.h"
#include "busylines.h"
#include "busysourcemaker.h"
#include "catkeyer.h"
#include "deviceerror.h"
#include "programvalues.h"
#include "qtserialline.h"
#include "radiosim.h"
#include "settingsstore.h"
#include "soundcapture.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A pty whose slave stands for a serial port, and the file through which the shim reports the
// far end's status lines on it.
struct DrivenPort
{
    QTemporaryDir dir;
    int master = -1;
    QString slave;
    int index = -1;

    DrivenPort()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(::ptsname(master));
        index = slave.section(QLatin1Char('/'), -1).toInt();
        qputenv("PREGONAL_LINEIN", QFile::encodeName(dir.path()));
        qputenv("PREGONAL_LINELOG", QFile::encodeName(dir.filePath(QStringLiteral("lines.log"))));
    }
    ~DrivenPort()
    {
        if (master >= 0)
            ::close(master);
    }
    // The far end raises these lines ("DCD CTS"), all others down.
    void raise(const QByteArray &lines) const
    {
        const QString temporary = dir.filePath(QStringLiteral("next"));
        QFile file(temporary);
        if (file.open(QIODevice::WriteOnly))
            file.write(lines);
        file.close();
        ::rename(QFile::encodeName(temporary).constData(),
                 QFile::encodeName(dir.filePath(QString::number(index))).constData());
    }
    QList<LineEvent> events() const { return readLineLog(dir.filePath(QStringLiteral("lines.log"))); }
    QtSerialLine::PortMapper mapper() const
    {
        return [device = slave](int port) { return port == 3 ? device : QString(); };
    }
};

bool shimLoaded()
{
    return ::dlsym(RTLD_DEFAULT, "pregonal_ptyshim_present") != nullptr;
}

// An input report of a CM108 with these bits of its first byte.
QByteArray cm108Input(int bits)
{
    return QByteArray(1, char(bits)) + QByteArray(3, '\0');
}

// Why the source refuses to open, or empty when it opened.
QString refusalOf(BusySource &source)
{
    try {
        source.open();
    } catch (const DeviceError &e) {
        return e.reason();
    }
    return QString();
}

struct FakeInput : GpioInput
{
    std::atomic<int> *level; // asked from the source's watching thread
    QString refusal;
    explicit FakeInput(std::atomic<int> *l) : level(l) {}
    void request(const QString &, unsigned) override
    {
        if (!refusal.isEmpty())
            throw DeviceError(refusal);
    }
    int value() override { return *level; }
    void release() override {}
};
} // namespace

class TestBusy : public QObject
{
    Q_OBJECT
private slots:
    void inputNames_data();
    void inputNames();
    void settingsRefused_data();
    void settingsRefused();
    void serialOnKeyingPort_data();
    void serialOnKeyingPort();
    void serialOnOtherPort();
    void cm108FromReports_data();
    void cm108FromReports();
    void gpioLevels_data();
    void gpioLevels();
    void gpioRealRefusals_data();
    void gpioRealRefusals();
    void catSquelch_data();
    void catSquelch();
};

void TestBusy::inputNames_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("busy"); // -1: the text names no input
    QTest::newRow("DCD up") << "serie" << "DCD" << int(SerialLine::Dcd) << 1;
    QTest::newRow("DCD down, CTS up") << "serie" << "dcd" << int(SerialLine::Cts) << 0;
    QTest::newRow("!DCD down") << "serie" << " ! DCD " << 0 << 1;
    QTest::newRow("!CTS up") << "serie" << "!CTS" << int(SerialLine::Cts | SerialLine::Dcd) << 0;
    QTest::newRow("DSR") << "serie" << "DSR" << int(SerialLine::Dsr) << 1;
    QTest::newRow("RI") << "serie" << "ri" << int(SerialLine::Ri) << 1;
    QTest::newRow("DTR is an output") << "serie" << "DTR" << 0 << -1;
    QTest::newRow("two bangs") << "serie" << "!!DCD" << 0 << -1;
    QTest::newRow("empty line") << "serie" << "" << 0 << -1;
    QTest::newRow("VOL_DN pressed") << "cm108" << "VOL_DN" << 0x02 << 1;
    QTest::newRow("VOL_UP with VOL_DN") << "cm108" << "VOL_UP" << 0x02 << 0;
    QTest::newRow("MUTE_PLAY") << "cm108" << "mute_play" << 0x04 << 1;
    QTest::newRow("!MUTE_REC released") << "cm108" << "!MUTE_REC" << 0x07 << 1;
    QTest::newRow("a GPIO pin is no input bit") << "cm108" << "GPIO3" << 0 << -1;
}

// Names read whatever their case, "!" turns the level round, anything else names nothing.
void TestBusy::inputNames()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(int, inputs);
    QFETCH(int, busy);
    const BusyInput input = kind == QLatin1String("serie") ? parseSerialBusyLine(text) : parseCm108BusyInput(text);
    QCOMPARE(input.valid(), busy >= 0);
    if (busy >= 0)
        QCOMPARE(input.busyIn(inputs), busy == 1);
}

void TestBusy::settingsRefused_data()
{
    QTest::addColumn<QString>("ocupado");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("problem"); // empty: accepted
    QTest::newRow("serie DCD") << "serie" << "ocupadolinea" << "DCD" << "";
    QTest::newRow("serie DTR") << "serie" << "ocupadolinea" << "DTR" << "La línea «DTR» del puerto serie no existe";
    QTest::newRow("port 300") << "serie" << "ocupadopuerto" << "300" << "ha de ser un número de 1 a 255";
    QTest::newRow("port -3") << "serie" << "ocupadopuerto" << "-3" << "ha de ser un número de 1 a 255";
    QTest::newRow("port 255") << "serie" << "ocupadopuerto" << "255" << "";
    QTest::newRow("port in words: the keying port") << "serie" << "ocupadopuerto" << "dos" << "";
    QTest::newRow("gpio") << "gpio" << "ocupadogpio" << "gpiochip0:!5" << "";
    QTest::newRow("gpio empty") << "gpio" << "ocupadogpio" << "" << "La línea GPIO «» no se entiende";
    QTest::newRow("cm108") << "cm108" << "ocupadocm108" << "!VOL_UP" << "";
    QTest::newRow("cm108 pin") << "cm108" << "ocupadocm108" << "3" << "La entrada «3» de la interfaz CM108";
}

// Read as the station reads them: a value that names no line is refused with its text before
// anything opens, never moved onto another line.
void TestBusy::settingsRefused()
{
    QFETCH(QString, ocupado);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    store.write(kApplication, kSection, QStringLiteral("ocupado"), ocupado);
    store.write(kApplication, kSection, key, value);
    const QString found = busySettingsProblem(readBusySettings(store));
    if (problem.isEmpty())
        QVERIFY2(found.isEmpty(), qPrintable(found));
    else
        QVERIFY2(found.contains(problem), qPrintable(found));
}

void TestBusy::serialOnKeyingPort_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("atOpen");
    QTest::addColumn<QByteArray>("later");
    QTest::newRow("DCD") << "DCD" << QByteArray("DCD") << QByteArray("CTS");
    QTest::newRow("!CTS") << "!CTS" << QByteArray("DCD") << QByteArray("CTS");
    QTest::newRow("RI") << "RI" << QByteArray("RI DSR") << QByteArray("DSR");
}

// The source reads the keying port through the keying line's own open: held from the source's
// open to its close, the keyer opening and closing it meanwhile, one open of the pty in all, the
// lines low except while keyed, the state right at open and each change after it.
void TestBusy::serialOnKeyingPort()
{
    if (!shimLoaded())
        QSKIP("needs LD_PRELOAD of libptyshim.so");
    QFETCH(QString, line);
    QFETCH(QByteArray, atOpen);
    QFETCH(QByteArray, later);
    DrivenPort port;
    QVERIFY(!port.slave.isEmpty());
    port.raise(atOpen);
    QtSerialLine keying(port.mapper());
    keying.setCommPort(3);
    BusySettings settings;
    settings.ocupado = BusySettings::Source::Serie;
    settings.ocupadolinea = line;
    BusySourceContext context;
    context.keyingPort = 3;
    context.keyingLine = &keying;
    const auto source = makeBusySource(settings, context);
    QSignalSpy changed(source.get(), &BusySource::busyChanged);
    source->open();
    QVERIFY(source->busy());
    QVERIFY2(qobject_cast<PollingBusySource *>(source.get())->watchedByThread(), "not on the event loop's time");
    QVERIFY2(!keying.portOpen(), "held for the source, the port is not the keyer's");

    keying.setPortOpen(true);
    keying.setDTREnable(true);
    keying.setRTSEnable(true);
    keying.setDTREnable(false);
    keying.setRTSEnable(false);
    keying.setPortOpen(false);
    port.raise(later);
    QTRY_VERIFY_WITH_TIMEOUT(!source->busy(), 1000);
    QCOMPARE(changed.size(), 1);
    port.raise(atOpen);
    QTRY_VERIFY_WITH_TIMEOUT(source->busy(), 1000);
    // Another port for the keying while this one is held would key the wrong one: refused.
    keying.setCommPort(4);
    QVERIFY_THROWS_EXCEPTION(DeviceError, keying.setPortOpen(true));
    QVERIFY(!keying.portOpen() && source->isOpen());
    source->close();
    QVERIFY(!source->busy());

    int opens = 0;
    int keyed = 0;
    for (const LineEvent &event : port.events()) {
        opens += event.open ? 1 : 0;
        keyed += !event.open && !event.close && event.dtr && event.rts ? 1 : 0;
    }
    QCOMPARE(opens, 1);
    QCOMPARE(keyed, 1);
    QVERIFY(port.events().last().close);
    QVERIFY(!port.events().last().dtr && !port.events().last().rts);
}

// Another port is opened by the source itself, its lines dropped at once and left down; a port
// that goes is lost, never clear.
void TestBusy::serialOnOtherPort()
{
    if (!shimLoaded())
        QSKIP("needs LD_PRELOAD of libptyshim.so");
    DrivenPort port;
    port.raise("DCD");
    BusySettings settings;
    settings.ocupado = BusySettings::Source::Serie;
    settings.ocupadopuerto = 3;
    BusySourceContext context;
    context.keyingPort = 1;
    context.deviceForPort = port.mapper();
    const auto source = makeBusySource(settings, context);
    QSignalSpy lost(source.get(), &BusySource::lost);
    source->open();
    QVERIFY(source->busy());
    const QList<LineEvent> events = port.events();
    QVERIFY(!events.isEmpty());
    QVERIFY2(!events.last().dtr && !events.last().rts, "the lines the kernel raised are dropped");

    ::close(port.master);
    port.master = -1;
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 1000);
    QVERIFY(!source->isOpen());
    QVERIFY(!source->busy());
    QVERIFY2(lost.first().at(0).toString().contains(QLatin1String("DCD")), qPrintable(lost.first().at(0).toString()));
}

void TestBusy::cm108FromReports_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("atOpen"); // what the node holds when the source opens
    QTest::addColumn<QString>("refusal");
    QTest::newRow("VOL_DN held at open") << "VOL_DN" << cm108Input(0x02) << "";
    QTest::newRow("!VOL_DN released at open") << "!VOL_DN" << cm108Input(0x00) << "";
    QTest::newRow("two reports: the last counts") << "MUTE_REC" << cm108Input(0x00) + cm108Input(0x08) << "";
    QTest::newRow("nothing to say") << "VOL_DN" << QByteArray() << "no ha enviado ningún informe de entrada";
}

// The state at open comes from the interface itself, not only from the next report; a report
// that turns the bit round is seen, and the interface pulled out is lost.
void TestBusy::cm108FromReports()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, atOpen);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw"));
    QCOMPARE(::mkfifo(QFile::encodeName(node).constData(), 0600), 0);
    int writer = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(writer >= 0);
    QCOMPARE(::write(writer, atOpen.constData(), size_t(atOpen.size())), ssize_t(atOpen.size()));
    Cm108BusySource source(node, QString(), input, nullptr, Cm108Keyer::Nodes::StandIns);
    if (!refusal.isEmpty()) {
        const QString reason = refusalOf(source);
        QVERIFY2(reason.contains(refusal), qPrintable(reason));
        QVERIFY(!source.isOpen());
        ::close(writer);
        return;
    }
    source.open();
    QVERIFY(source.busy());
    QSignalSpy changed(&source, &BusySource::busyChanged);
    QSignalSpy lost(&source, &BusySource::lost);
    const QByteArray turned = cm108Input(parseCm108BusyInput(input).busyIn(0) ? 0x0f : 0x00);
    QCOMPARE(::write(writer, turned.constData(), 4), ssize_t(4));
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 1000);
    QVERIFY(!source.busy());
    ::close(writer);
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 1000);
    QVERIFY(!source.isOpen());
}

void TestBusy::gpioLevels_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("busy");
    QTest::newRow("high") << "gpiochip0:17" << 1 << true;
    QTest::newRow("low") << "gpiochip0:17" << 0 << false;
    QTest::newRow("active-low, low") << "!gpiochip0:17" << 0 << true;
    QTest::newRow("active-low, high") << "/dev/gpiochip1:!17" << 1 << false;
}

// Through a stand-in input: the level at open, each change, a chip that goes is lost.
// The line is watched by a thread of the source's own: each change, and the chip gone, reaches
// the source without anyone polling it.
void TestBusy::gpioLevels()
{
    QFETCH(QString, line);
    QFETCH(int, level);
    QFETCH(bool, busy);
    std::atomic<int> now{level};
    GpioBusySource source(line, std::make_unique<FakeInput>(&now));
    QSignalSpy changed(&source, &BusySource::busyChanged);
    QSignalSpy lost(&source, &BusySource::lost);
    source.open();
    QVERIFY(source.watchedByThread());
    QCOMPARE(source.busy(), busy);
    now = 1 - level;
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 1000);
    QCOMPARE(source.busy(), !busy);
    now = level;
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 2, 1000);
    QCOMPARE(source.busy(), busy);
    now = -1;
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 1000);
    QVERIFY(!source.isOpen() && !source.busy());
    QVERIFY(!source.watchedByThread());
}

void TestBusy::gpioRealRefusals_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("not a chip") << "/dev/null:3" << "no es un chip GPIO";
    QTest::newRow("no such chip") << "gpiochip97:3" << "No se encuentra el chip GPIO";
    QTest::newRow("no line") << "gpiochip0" << "no se entiende";
    QTest::newRow("two bangs") << "!gpiochip0:!4" << "no se entiende";
}

// The real libgpiod backend, as far as a machine without a chip lets it be tried.
void TestBusy::gpioRealRefusals()
{
    QFETCH(QString, line);
    QFETCH(QString, refusal);
    BusySettings settings;
    settings.ocupado = BusySettings::Source::Gpio;
    settings.ocupadogpio = line;
    const auto source = makeBusySource(settings, BusySourceContext());
    const QString reason = refusalOf(*source);
    QVERIFY2(reason.contains(refusal), qPrintable(reason));
    QVERIFY(!source->isOpen());
}

void TestBusy::catSquelch_data()
{
    QTest::addColumn<bool>("shared");
    QTest::newRow("the keyer's own session") << true;
    QTest::newRow("a session of its own") << false;
}

// The squelch follows the radio; with the keyer on the same radio the session stays open
// between its sends (the radio is opened once: it is asked its power once), and the key is never up but
// when asked. The radio gone is lost.
void TestBusy::catSquelch()
{
    QFETCH(bool, shared);
    RadioSim radio;
    QVERIFY2(radio.ok(), qPrintable(radio.error()));
    radio.setSquelchOpen(true);
    KeyerSettings keying;
    keying.metodo = KeyerSettings::Method::Cat;
    keying.equipo = 2014;
    keying.equipopuerto = radio.port();
    CatKeyer keyer(keying.equipo, keying.equipopuerto, 0);
    BusySettings settings;
    settings.ocupado = BusySettings::Source::Cat;
    BusySourceContext context;
    context.keyerSettings = &keying;
    context.keyer = shared ? &keyer : nullptr;
    const auto source = makeBusySource(settings, context);
    QSignalSpy changed(source.get(), &BusySource::busyChanged);
    QSignalSpy lost(source.get(), &BusySource::lost);
    source->open();
    QVERIFY2(source->busy(), "busy until the radio has said otherwise");
    QTRY_VERIFY_WITH_TIMEOUT(radio.commands().contains(QStringLiteral("BY")), 5000);
    QTest::qWait(3 * CatBusySource::PollMs);
    QVERIFY2(lost.isEmpty(), lost.isEmpty() ? "" : qPrintable(lost.first().at(0).toString()));
    QVERIFY(source->busy());
    radio.setSquelchOpen(false);
    QTRY_VERIFY_WITH_TIMEOUT(!source->busy(), 3000);

    if (shared) {
        QSignalSpy up(&keyer, &Keyer::keyedUp);
        keyer.open();
        keyer.keyUp();
        QVERIFY(up.wait(3000));
        keyer.keyDown();
        keyer.close();
        radio.setSquelchOpen(true);
        QTRY_VERIFY_WITH_TIMEOUT(source->busy(), 3000);
        QCOMPARE(radio.commands().count(QStringLiteral("PS")), 1);
        QVERIFY(!radio.keyed());
    }
    radio.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 8000);
    QVERIFY(!source->isOpen() && !source->busy());
}

QTEST_GUILESS_MAIN(TestBusy)
#include "tst_busy.moc"

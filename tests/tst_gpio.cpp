// The GPIO keyer: through a stand-in for the chip, the line requested once with its "off" value
// and held, the levels for active high and low, and the chip going away; then the real libgpiod
// backend, on the kernel's gpio-sim where it is there.
#include "deviceerror.h"
#include "fakeaudiodevice.h"
#include "fakeserialline.h"
#include "gpiokeyer.h"
#include "keyinglines.h"
#include "transmissionengine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

namespace {
struct FakeOutput : GpioOutput
{
    std::shared_ptr<QStringList> log;
    bool gone = false;
    QString refusal;

    explicit FakeOutput(std::shared_ptr<QStringList> l) : log(std::move(l)) {}
    void request(const QString &chip, unsigned line, int value) override
    {
        if (!refusal.isEmpty())
            throw DeviceError(refusal);
        log->append(QStringLiteral("request %1:%2=%3").arg(chip).arg(line).arg(value));
    }
    bool set(int value) override
    {
        if (gone)
            return false;
        log->append(QStringLiteral("set %1").arg(value));
        return true;
    }
    void release() override { log->append(QStringLiteral("release")); }
    bool present() const override { return !gone; }
};
} // namespace

class TestGpio : public QObject
{
    Q_OBJECT
private slots:
    void levels_data();
    void levels();
    void refusals_data();
    void refusals();
    void chipGoneMidPlay();
    void realLibgpiodRefusals_data();
    void realLibgpiodRefusals();
    void realLibgpiod();
};

void TestGpio::levels_data()
{
    QTest::addColumn<QString>("lineText");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("active high") << "gpiochip0:17"
                                 << QStringList{"request gpiochip0:17=0", "set 1", "set 0", "set 1", "set 0", "release"};
    QTest::newRow("active low") << "/dev/gpiochip1:!4"
                                << QStringList{"request /dev/gpiochip1:4=1", "set 0", "set 1", "set 0", "set 1", "release"};
}

// Open requests the line already "off" and never lets it go between plays; close sets "off" and
// only then gives it back.
void TestGpio::levels()
{
    QFETCH(QString, lineText);
    auto log = std::make_shared<QStringList>();
    GpioKeyer keyer(lineText, std::make_unique<FakeOutput>(log));
    QSignalSpy up(&keyer, &Keyer::keyedUp);
    keyer.open();
    keyer.keyUp();
    keyer.keyDown();
    keyer.keyUp();
    keyer.close();
    keyer.close();
    QTEST(*log, "expected");
    QCOMPARE(up.size(), 2);
}

void TestGpio::refusals_data()
{
    QTest::addColumn<QString>("lineText");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no line") << "gpiochip0" << "" << "La línea GPIO «gpiochip0» no es válida";
    QTest::newRow("empty") << "" << "" << "La línea GPIO «» no es válida";
    QTest::newRow("busy") << "gpiochip0:17" << "La línea 17 del chip GPIO «gpiochip0» la está usando otro programa."
                          << "la está usando otro programa";
}

void TestGpio::refusals()
{
    QFETCH(QString, lineText);
    QFETCH(QString, refusal);
    QFETCH(QString, reason);
    auto log = std::make_shared<QStringList>();
    auto output = std::make_unique<FakeOutput>(log);
    output->refusal = refusal;
    GpioKeyer keyer(lineText, std::move(output));
    try {
        keyer.open();
        QFAIL("opened");
    } catch (const DeviceError &e) {
        QVERIFY2(e.reason().contains(reason), qPrintable(e.reason()));
    }
    QVERIFY(!keyer.isOpen());
    QVERIFY(log->isEmpty());
}

// Under the cycle: the chip going away (a USB GPIO adapter pulled out) ends the transmission with
// the message; the serial line is never touched.
void TestGpio::chipGoneMidPlay()
{
    auto log = std::make_shared<QStringList>();
    auto output = std::make_unique<FakeOutput>(log);
    FakeOutput *chip = output.get();
    GpioKeyer keyer(QStringLiteral("gpiochip0:17"), std::move(output));
    FakeAudioDevice audio(log);
    FakeSerialLine serial(log);
    TransmissionEngine engine(audio, serial);
    engine.setKeying(300, 100, KeyingLines(), 0);
    engine.setKeyer(&keyer);
    QSignalSpy failures(&engine, &TransmissionEngine::failed);
    audio.setFileName(QStringLiteral("/tmp/aviso.wav"));
    log->clear();
    engine.sendLoop();
    QCOMPARE(*log, QStringList({"request gpiochip0:17=0", "open", "set 1", "Notify=1", "play"}));
    chip->gone = true;
    engine.watchPort();
    QCOMPARE(failures.size(), 1);
    QVERIFY(failures.first().at(0).toString().contains(QStringLiteral("la línea GPIO gpiochip0:17")));
    QVERIFY(!keyer.isOpen() && !audio.isOpen);
    QCOMPARE(log->filter(QStringLiteral("PortOpen")).size(), 0);
}

void TestGpio::realLibgpiodRefusals_data()
{
    QTest::addColumn<QString>("chip");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "/dev/pregonal-no-such-gpiochip"
                             << "No se encuentra el chip GPIO «/dev/pregonal-no-such-gpiochip».";
    // Another kind of file or device is refused before libgpiod opens it (a serial port's lines
    // would go up on that open).
    QTest::newRow("an ordinary file") << "file" << "no es un chip GPIO";
    QTest::newRow("a character device of another kind") << "/dev/null" << "«/dev/null» no es un chip GPIO";
}

// The real backend: a chip that is not there, or is no chip, is refused by name.
void TestGpio::realLibgpiodRefusals()
{
    QFETCH(QString, chip);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    if (chip == QLatin1String("file")) {
        chip = dir.filePath(QStringLiteral("gpiochip0"));
        QFile f(chip);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("notes") == 5);
    }
    GpioKeyer keyer(chip + QStringLiteral(":3"));
    try {
        keyer.open();
        QFAIL("opened");
    } catch (const DeviceError &e) {
        QVERIFY2(e.reason().contains(reason), qPrintable(e.reason()));
    }
    QVERIFY(!keyer.isOpen());
}

// The rest of the real backend only on a chip of the kernel's GPIO simulator (never a real chip).
void TestGpio::realLibgpiod()
{
    const QString sim = QStringLiteral("/sys/kernel/config/gpio-sim");
    if (!QDir(sim).exists())
        QSKIP("gpio-sim is not available here (no /sys/kernel/config/gpio-sim): the real libgpiod backend is "
              "not tried");
    QSKIP("gpio-sim is present, but setting up a simulated chip is left to a machine where it can be tried");
}

QTEST_GUILESS_MAIN(TestGpio)
#include "tst_gpio.moc"

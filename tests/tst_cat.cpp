// The CAT keyer through real Hamlib against the TS-2000 simulator on a pty, directly and through
// rigctld: the key-up confirmed only once the radio has it, the key always dropped on the way out,
// and the refusals told in Spanish. Hamlib works on its own thread: none of this waits in the
// test's thread except for the signals.
#include "catkeyer.h"
#include "deviceerror.h"
#include "radiosim.h"
#include "soundcapture.h"

#include "fakeaudiodevice.h"
#include "fakeserialline.h"
#include "keyinglines.h"
#include "transmissionengine.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <QFile>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestCat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("PREGONAL_LINELOG"))
            QSKIP("Needs the modem-line shim: LD_PRELOAD=libptyshim.so PREGONAL_LINELOG=<file>.");
    }
    void keysAndUnkeys_data();
    void keysAndUnkeys();
    void closingUnkeys();
    void refusals_data();
    void refusals();
    void silentRadioFailsTheCommand();
    void radioGoneMidPlay();
};

void TestCat::keysAndUnkeys_data()
{
    QTest::addColumn<bool>("rigctld");
    QTest::newRow("TS-2000 backend") << false;
    QTest::newRow("rigctld, model 2") << true;
}

void TestCat::keysAndUnkeys()
{
    QFETCH(bool, rigctld);
    if (rigctld && QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty())
        QSKIP("rigctld is not installed (libhamlib-utils)");
    const QString lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    QFile::resize(lineLog, 0);
    RadioSim radio;
    QVERIFY2(radio.ok(), qPrintable(radio.error()));
    const QString port = rigctld ? radio.startRigctld() : radio.port();
    QVERIFY2(!port.isEmpty(), qPrintable(radio.error()));
    CatKeyer keyer(rigctld ? 2 : 2014, port, 0);
    QSignalSpy up(&keyer, &Keyer::keyedUp);
    QSignalSpy refused(&keyer, &Keyer::keyUpFailed);

    QElapsedTimer clock;
    clock.start();
    keyer.open();
    keyer.keyUp();
    QVERIFY2(clock.elapsed() < 50, "open and key-up return at once");
    QVERIFY(up.isEmpty());
    QVERIFY(up.wait(5000));
    QVERIFY2(refused.isEmpty(), refused.isEmpty() ? "" : qPrintable(refused.first().at(0).toString()));
    QVERIFY2(radio.keyed(), "confirmed only once the radio transmits");
    QVERIFY(keyer.check());
    const QStringList heard = radio.commands();
    QVERIFY2(heard.indexOf(QStringLiteral("RX")) >= 0 && heard.indexOf(QStringLiteral("RX")) < heard.indexOf(QStringLiteral("TX")),
             "the radio is told to receive as soon as it is open");

    keyer.keyDown();
    QTRY_VERIFY_WITH_TIMEOUT(!radio.keyed(), 3000);
    keyer.keyUp();
    QVERIFY(up.wait(3000));
    QVERIFY(radio.keyed());
    keyer.close();
    QTRY_VERIFY_WITH_TIMEOUT(!radio.keyed(), 3000);
    QCOMPARE(radio.keyPeriods().size(), 2);
    // The CAT port's own modem lines, as the shim saw them (it starts a pty with both low).
    const QList<LineEvent> lines = readLineLog(lineLog);
    QVERIFY2(!lines.isEmpty(), "Hamlib set the CAT port's lines");
    QVERIFY2(keyPeriods(lines).isEmpty(), "DTR and RTS of the CAT port stay low");
}

// The keyer destroyed (the program ends) just after a key-up was asked, and again while keyed:
// the radio ends receiving either way.
void TestCat::closingUnkeys()
{
    RadioSim radio;
    QVERIFY2(radio.ok(), qPrintable(radio.error()));
    for (const bool waitForKey : {false, true}) {
        auto keyer = std::make_unique<CatKeyer>(2014, radio.port(), 0);
        QSignalSpy up(keyer.get(), &Keyer::keyedUp);
        keyer->open();
        keyer->keyUp();
        if (waitForKey) {
            QVERIFY(up.wait(3000));
            QVERIFY(radio.keyed());
        }
        keyer.reset();
        QVERIFY2(!radio.keyed(), "the radio is left receiving");
        const QStringList keying = radio.commands().filter(QRegularExpression(QStringLiteral("^[TR]X$")));
        QVERIFY(!keying.isEmpty());
        QCOMPARE(keying.last(), QStringLiteral("RX"));
    }
    QCOMPARE(radio.keyPeriods().size(), 1);
}

void TestCat::refusals_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("atOpen");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no port") << 2014 << "" << true << "No se ha indicado el puerto CAT";
    QTest::newRow("missing port") << 2014 << "/dev/nonexistent-cat" << true << "No se encuentra el puerto CAT";
    QTest::newRow("unknown model") << 99999 << "sim" << true << "Hamlib no conoce el modelo de equipo 99999";
    QTest::newRow("an ordinary file") << 2014 << "file" << true << "no es un puerto serie";
    QTest::newRow("no rigctld there") << 2 << "127.0.0.1:1" << false << "no se puede abrir el equipo";
}

void TestCat::refusals()
{
    QFETCH(int, model);
    QFETCH(QString, port);
    QFETCH(bool, atOpen);
    QFETCH(QString, reason);
    std::unique_ptr<RadioSim> radio;
    if (port == QLatin1String("sim") || port == QLatin1String("silent")) {
        radio = std::make_unique<RadioSim>(port == QLatin1String("silent"));
        QVERIFY2(radio->ok(), qPrintable(radio->error()));
        port = radio->port();
    }
    QTemporaryDir dir;
    const QByteArray content("an operator's file, not a port");
    if (port == QLatin1String("file")) {
        port = dir.filePath(QStringLiteral("cat.txt"));
        QFile f(port);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }
    CatKeyer keyer(model, port, 0);
    QSignalSpy up(&keyer, &Keyer::keyedUp);
    QSignalSpy refused(&keyer, &Keyer::keyUpFailed);
    // What is known without opening anything is also what the station dialog checks.
    QCOMPARE(keyer.settingsProblem().isEmpty(), model != 99999);
    try {
        keyer.open();
        QVERIFY2(!atOpen, "opened");
    } catch (const DeviceError &e) {
        QVERIFY(atOpen);
        QVERIFY2(e.reason().contains(reason), qPrintable(e.reason()));
        return;
    }
    keyer.keyUp();
    QVERIFY(refused.wait(CatKeyer::AnswerMs * 3));
    QVERIFY2(refused.first().at(0).toString().contains(reason), qPrintable(refused.first().at(0).toString()));
    QVERIFY(up.isEmpty());
    if (radio)
        QVERIFY(!radio->keyed());
}

// A radio that never answers: the command fails after the 2 s limit with its message, the play
// never starts, and the window's thread is never held up meanwhile.
void TestCat::silentRadioFailsTheCommand()
{
    RadioSim radio(true);
    QVERIFY2(radio.ok(), qPrintable(radio.error()));
    auto log = std::make_shared<QStringList>();
    FakeAudioDevice audio(log);
    FakeSerialLine serial(log);
    CatKeyer keyer(2014, radio.port(), 0);
    TransmissionEngine engine(audio, serial);
    engine.setKeying(300, 100, KeyingLines(), 0);
    engine.setKeyer(&keyer);
    audio.setFileName(QStringLiteral("/tmp/aviso.wav"));
    QSignalSpy failures(&engine, &TransmissionEngine::failed);
    QElapsedTimer clock;
    clock.start();
    engine.sendOnce();
    QVERIFY(clock.elapsed() < 50);
    QCOMPARE(engine.state(), TransmissionEngine::State::Playing);
    QVERIFY(failures.wait(TransmissionEngine::KeyUpAnswerMs + 1000));
    QVERIFY(clock.elapsed() >= TransmissionEngine::KeyUpAnswerMs - 20);
    QVERIFY2(failures.first().at(0).toString().contains(QStringLiteral("no ha confirmado la transmisión")),
             qPrintable(failures.first().at(0).toString()));
    QVERIFY(!log->contains(QStringLiteral("play")));
    QCOMPARE(engine.state(), TransmissionEngine::State::Idle);
    QVERIFY(!keyer.isOpen() && !audio.isOpen);
}

// The radio's cable pulled out while it transmits: the transmission ends with the message.
void TestCat::radioGoneMidPlay()
{
    RadioSim radio;
    QVERIFY2(radio.ok(), qPrintable(radio.error()));
    auto log = std::make_shared<QStringList>();
    FakeAudioDevice audio(log);
    FakeSerialLine serial(log);
    CatKeyer keyer(2014, radio.port(), 0);
    TransmissionEngine engine(audio, serial);
    engine.setKeying(300, 100, KeyingLines(), 0);
    engine.setKeyer(&keyer);
    audio.setFileName(QStringLiteral("/tmp/aviso.wav"));
    QSignalSpy failures(&engine, &TransmissionEngine::failed);
    engine.sendLoop();
    QTRY_VERIFY_WITH_TIMEOUT(audio.playing, 3000);
    QVERIFY(radio.keyed());
    radio.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, 2 * TransmissionEngine::PortWatchMs + 500);
    QVERIFY2(failures.first().at(0).toString().startsWith(QStringLiteral("Se ha perdido el dispositivo")),
             qPrintable(failures.first().at(0).toString()));
    QCOMPARE(engine.state(), TransmissionEngine::State::Idle);
    QVERIFY(!keyer.isOpen() && !audio.isOpen);
}

QTEST_GUILESS_MAIN(TestCat)
#include "tst_cat.moc"

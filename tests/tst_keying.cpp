// Radio keying settings as start-up reads them, and the time-out guard that unkeys the
// transmitter whatever the sound path does.
#include "windowfixture.h"

#include "keyingsettings.h"

#include <QTest>

class TestKeying : public QObject
{
    Q_OBJECT
private slots:
    void numbersAreTolerated_data();
    void numbersAreTolerated();
    void linesReachTheSerialLine_data();
    void linesReachTheSerialLine();
    void guardCoversEachPlay();
    void guardCutsAHungPlay();
    void capShortensTheGuard_data();
    void capShortensTheGuard();
    void guardStopsWithTheKey();
};

void TestKeying::numbersAreTolerated_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lead");
    QTest::addColumn<int>("tail");
    QTest::addColumn<int>("cap");
    QTest::newRow("absent") << QString() << 300 << 100 << 0;
    QTest::newRow("plain") << "250" << 250 << 250 << 250;
    QTest::newRow("blanks around") << " 40 " << 40 << 40 << 40;
    QTest::newRow("zero") << "0" << 0 << 0 << 0;
    QTest::newRow("text") << "mucho" << 300 << 100 << 0;
    QTest::newRow("empty") << "" << 300 << 100 << 0;
    QTest::newRow("fraction") << "1.5" << 300 << 100 << 0;
    QTest::newRow("negative clamps") << "-20" << 0 << 0 << 0;
    QTest::newRow("too large clamps") << "5000" << 2000 << 2000 << 3600;
    QTest::newRow("overflow clamps") << "99999999999999999999999" << 2000 << 2000 << 3600;
    QTest::newRow("plus sign") << "+7" << 7 << 7 << 7;
}

void TestKeying::numbersAreTolerated()
{
    QFETCH(QString, text);
    QFETCH(int, lead);
    QFETCH(int, tail);
    QFETCH(int, cap);
    WindowFixture f;
    if (!text.isNull()) {
        for (const char *key : {"retardo", "cola", "tiempomaximo"})
            f.store(QLatin1String(key), text);
    }
    f.load();
    QCOMPARE(f.audio->leadMs, lead);
    QCOMPARE(f.audio->tailMs, tail);
    QCOMPARE(readKeyingSettings(SettingsStore(f.storeDir.path())).tiempomaximoSecs, cap);
    // Start-up reads; it never writes these back.
    QCOMPARE(SettingsStore(f.storeDir.path()).read("Pregonal", "conf", "retardo", "none"),
             text.isNull() ? QStringLiteral("none") : text);
}

void TestKeying::linesReachTheSerialLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lines");
    QTest::newRow("absent") << QString() << "DTR+RTS";
    QTest::newRow("both") << "DTR+RTS"
                          << "DTR+RTS";
    QTest::newRow("dtr") << "DTR"
                         << "DTR";
    QTest::newRow("rts inverted") << "!RTS"
                                  << "!RTS";
    QTest::newRow("mixed, lower case, blanks") << " dtr + !rts "
                                               << "DTR+!RTS";
    QTest::newRow("garbage falls back") << "CTS"
                                        << "DTR+RTS";
    QTest::newRow("empty falls back") << ""
                                      << "DTR+RTS";
    QTest::newRow("twice falls back") << "DTR+DTR"
                                      << "DTR+RTS";
}

void TestKeying::linesReachTheSerialLine()
{
    QFETCH(QString, text);
    QFETCH(QString, lines);
    WindowFixture f;
    if (!text.isNull())
        f.store(QStringLiteral("lineas"), text);
    f.load();
    QCOMPARE(f.serial->lines.toString(), lines);
}

void TestKeying::guardCoversEachPlay()
{
    WindowFixture f;
    f.store(QStringLiteral("retardo"), QStringLiteral("250"));
    f.store(QStringLiteral("cola"), QStringLiteral("50"));
    f.load();
    f.openMessage();
    f.audio->fakeLength = 4000;
    QCOMPARE(f.window->guardInterval(), -1);
    f.window->mnuenbucle_Click();
    QCOMPARE(f.window->guardInterval(), 4000 + 250 + 50 + 2000);
    f.audio->finishPlay();
    QCOMPARE(f.window->guardInterval(), -1);
    f.window->Timer1_Timer();
    QCOMPARE(f.window->guardInterval(), 6300);
}

void TestKeying::guardCutsAHungPlay()
{
    for (const bool once : {true, false}) {
        WindowFixture f;
        f.startSending(once);
        f.window->guardTimeout(); // the sound never completed
        QCOMPARE(f.log->mid(0, 2), QStringList({"DTR=0", "RTS=0"}));
        QVERIFY(!f.serial->dtr && !f.serial->rts && !f.serial->portOpen());
        QVERIFY(!f.audio->isOpen);
        QCOMPARE(f.panel(1), QStringLiteral("Stand by"));
        QVERIFY(f.window->button(4)->isEnabled());
        QCOMPARE(f.boxes->shown.size(), 1);
        QVERIFY(f.boxes->shown.first().text.contains(QStringLiteral("por seguridad")));
        // A completion that comes after the cut changes nothing.
        f.log->clear();
        f.audio->finishPlay();
        emit f.audio->Done(AudioDevice::Successful);
        QVERIFY(f.log->isEmpty());
        QVERIFY(!f.window->Timer1().isEnabled());
    }
}

void TestKeying::capShortensTheGuard_data()
{
    QTest::addColumn<QString>("cap");
    QTest::addColumn<int>("guard");
    QTest::newRow("no cap") << "0" << 5000 + 300 + 100 + 2000;
    QTest::newRow("cap under the 2 s margin") << "6" << 6000;
    QTest::newRow("cap longer than needed") << "60" << 5000 + 300 + 100 + 2000;
}

void TestKeying::capShortensTheGuard()
{
    QFETCH(QString, cap);
    QFETCH(int, guard);
    WindowFixture f;
    f.store(QStringLiteral("tiempomaximo"), cap);
    f.load();
    f.openMessage();
    f.window->mnuunavez_Click();
    QCOMPARE(f.window->guardInterval(), guard);
}

void TestKeying::guardStopsWithTheKey()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.window->mnuenbucle_Click();
    f.window->mnustop_Click();
    QCOMPARE(f.window->guardInterval(), -1);
    f.audio->failOn.insert(QStringLiteral("play"));
    f.window->mnuunavez_Click();
    QCOMPARE(f.window->guardInterval(), -1);
    f.audio->failOn.clear();
    f.window->mnuunavez_Click();
    f.audio->finishPlay(AudioDevice::Failure);
    QCOMPARE(f.window->guardInterval(), -1);
}

QTEST_MAIN(TestKeying)
#include "tst_keying.moc"

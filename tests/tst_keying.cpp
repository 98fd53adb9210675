// Radio keying settings as start-up reads them, and the time-out guard that unkeys the
// transmitter whatever the sound path does.
#include "windowfixture.h"

#include "keyingsettings.h"

#include <QFile>
#include <QTest>

class TestKeying : public QObject
{
    Q_OBJECT
private slots:
    void storedKeyingReachesTheDevices();
    void badKeyingFallsBack();
    void storedSoundCardsReachTheDevice();
    void guardCoversEachPlay();
    void guardCutsAHungPlay();
    void capShortensTheGuard_data();
    void capShortensTheGuard();
    void guardStopsWithTheKey();
};

// Each form of the numbers and lines is read by pure functions (tst_pure); here, what start-up
// reads reaches the devices.
void TestKeying::storedKeyingReachesTheDevices()
{
    WindowFixture f;
    f.store(QStringLiteral("retardo"), QStringLiteral("250"));
    f.store(QStringLiteral("cola"), QStringLiteral(" 40 "));
    f.store(QStringLiteral("lineas"), QStringLiteral(" dtr + !rts "));
    f.load();
    QCOMPARE(f.audio->leadMs, 250);
    QCOMPARE(f.audio->tailMs, 40);
    QCOMPARE(f.serial->lines.toString(), QStringLiteral("DTR+!RTS"));
}

void TestKeying::badKeyingFallsBack()
{
    WindowFixture f;
    f.store(QStringLiteral("retardo"), QStringLiteral("mucho"));
    f.store(QStringLiteral("cola"), QStringLiteral("5000"));
    f.store(QStringLiteral("lineas"), QStringLiteral("CTS"));
    f.load();
    QCOMPARE(f.audio->leadMs, 300);
    QCOMPARE(f.audio->tailMs, 2000);
    QCOMPARE(f.serial->lines.toString(), QStringLiteral("DTR+RTS"));
    QCOMPARE(SettingsStore(f.storeDir.path()).read("Pregonal", "conf", "retardo", "none"),
             QStringLiteral("mucho"));
}

// The cards stored for messages and recording reach the audio device at start-up; none stored
// leaves the desktop's defaults, and nothing is written back.
void TestKeying::storedSoundCardsReachTheDevice()
{
    {
        WindowFixture f;
        f.load();
        QVERIFY(f.audio->outputCard.isDefault());
        QVERIFY(f.audio->inputCard.isDefault());
        QVERIFY(!QFile::exists(f.storeFile()));
    }
    WindowFixture f;
    f.store(QStringLiteral("salida"),
            QStringLiteral("alsa_output.usb-C-Media_USB_Audio_Device-00.analog-stereo"));
    f.store(QStringLiteral("salidanombre"), QStringLiteral("USB Audio Device Analog Stereo"));
    f.store(QStringLiteral("entradanombre"), QStringLiteral(" Micrófono USB "));
    QFile file(f.storeFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    f.load();
    QCOMPARE(f.audio->outputCard.id,
             QStringLiteral("alsa_output.usb-C-Media_USB_Audio_Device-00.analog-stereo"));
    QCOMPARE(f.audio->outputCard.description, QStringLiteral("USB Audio Device Analog Stereo"));
    QCOMPARE(f.audio->inputCard.id, QString());
    QCOMPARE(f.audio->inputCard.description, QStringLiteral("Micrófono USB"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
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

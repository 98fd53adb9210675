// The serial device vanishing mid-transmission (the pty's master closed, as a USB adapter pulled
// out): the transmission stops by itself and says so once, nothing crashes, Stop changes
// nothing afterwards, and a new transmission fails with the port message.
#include "audio/wavaudiodevice.h"
#include "fakeplatform.h"
#include "faultkit.h"
#include "frmprincipal.h"
#include "realrig.h"
#include "soundtestmain.h"

#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString kSendError =
    QStringLiteral("No se puede enviar el mensaje. Compruebe que estea el puerto libre o bien "
                   "configurado y vuelva ha intentarlo.");
constexpr int kMessageMs = 1500;
} // namespace

class TestFaultsSerial : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void deviceVanishes_data();
    void deviceVanishes();
};

void TestFaultsSerial::initTestCase()
{
    if (!soundServerAvailable())
        QSKIP("No test sound server: eval \"$(scripts/testpulse.sh start)\" first.");
}

void TestFaultsSerial::deviceVanishes_data()
{
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("inPause");
    QTest::addColumn<bool>("stop");
    QTest::newRow("once, keyed, Stop afterwards") << false << false << true;
    QTest::newRow("once, keyed") << false << false << false;
    QTest::newRow("loop, keyed, Stop afterwards") << true << false << true;
    QTest::newRow("loop, in the pause") << true << true << false;
}

void TestFaultsSerial::deviceVanishes()
{
    QFETCH(bool, loop);
    QFETCH(bool, inPause);
    QFETCH(bool, stop);
    RealRig rig(RealRig::Options{300, 100, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    Frmprincipal &w = rig.window();
    const QString wav = rig.dir() + QStringLiteral("/mensaje.wav");
    QVERIFY(writeToneWav(wav, 22050, 1, 22050 * kMessageMs / 1000));
    rig.openMessage(wav);
    const QString title = w.windowTitle();
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);

    if (loop)
        w.mnuenbucle_Click();
    else
        w.mnuunavez_Click();
    QVERIFY(rig.boxes().shown.isEmpty());
    QVERIFY(w.MSComm1().portOpen());
    if (inPause)
        QVERIFY(waitUntil([&] { return done.count() >= 1; }, kMessageMs + 4000));
    waitUntil([] { return false; }, inPause ? 200 : 600);
    QCOMPARE(w.panel(1)->text(), QStringLiteral("TX"));
    rig.closeMaster();

    // Found within a few checks of the port, well before the play or the pause would end.
    QVERIFY(waitUntil([&] { return w.panel(1)->text() == QLatin1String("Stand by"); },
                      4 * TransmissionEngine::PortWatchMs));
    QCOMPARE(rig.boxes().shown.size(), 1);
    QVERIFY2(rig.boxes().shown.first().text.startsWith(QStringLiteral("Se ha perdido el dispositivo")),
             qPrintable(rig.boxes().shown.first().text));
    QVERIFY(rig.boxes().shown.first().text.contains(QStringLiteral("COM1 (")));
    if (stop)
        w.mnustop_Click();
    waitUntil([] { return false; }, loop ? 1500 : 200);
    QCOMPARE(rig.boxes().shown.size(), 1);
    QCOMPARE(w.panel(1)->text(), QStringLiteral("Stand by"));
    QCOMPARE(w.guardInterval(), -1);
    QVERIFY(!w.MSComm1().portOpen());
    QCOMPARE(w.windowTitle(), title);
    QVERIFY(w.mnutx->menuAction()->isEnabled());
    for (const auto &box : rig.boxes().shown)
        QVERIFY2(box.caption == QLatin1String("Pregonal"), qPrintable(box.text));

    // The port is gone: a new transmission says so, and leaves the window ready.
    const int before = int(rig.boxes().shown.size());
    w.mnuunavez_Click();
    QCOMPARE(rig.boxes().shown.size(), before + 1);
    QCOMPARE(rig.boxes().shown.last().text, kSendError);
    QCOMPARE(w.panel(1)->text(), QStringLiteral("Stand by"));
    QVERIFY(!w.MSComm1().portOpen());
    QCOMPARE(w.guardInterval(), -1);
    w.mnuenbucle_Click();
    QCOMPARE(rig.boxes().shown.size(), before + 2);
    QCOMPARE(rig.boxes().shown.last().text, kSendError);
    QVERIFY(w.mnutx->menuAction()->isEnabled());
}

PREGONAL_SOUND_TEST_MAIN(TestFaultsSerial)
#include "tst_faults_serial.moc"

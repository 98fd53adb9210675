// The serial device vanishing during a play (the pty's master closed, as a USB adapter pulled
// out): nothing crashes, no error escapes, Stop works, and a new transmission fails with the
// port message.
#include "fakeplatform.h"
#include "faultkit.h"
#include "frmprincipal.h"
#include "realrig.h"
#include "wavaudiodevice.h"

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
    QTest::addColumn<bool>("stop");
    QTest::newRow("once, Stop") << false << true;
    QTest::newRow("once, play ends") << false << false;
    QTest::newRow("loop, Stop") << true << true;
    QTest::newRow("loop, next cycle") << true << false;
}

void TestFaultsSerial::deviceVanishes()
{
    QFETCH(bool, loop);
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
    waitUntil([] { return false; }, 600);
    rig.closeMaster();

    if (stop) {
        waitUntil([] { return false; }, 300);
        w.mnustop_Click();
    } else {
        // The play ends (a loop goes on to its next cycle, which may fail on the dead port).
        QVERIFY(waitUntil([&] { return done.count() >= 1; }, kMessageMs + 4000));
        waitUntil([] { return false; }, loop ? 1500 : 200);
        if (w.mnustop->isEnabled())
            w.mnustop_Click();
    }
    QVERIFY(waitUntil([&] { return w.panel(1)->text() == QLatin1String("Stand by"); }, 5000));
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

QTEST_MAIN(TestFaultsSerial)
#include "tst_faults_serial.moc"

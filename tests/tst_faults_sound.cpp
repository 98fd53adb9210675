// The sound server killed during a play and during the pause of a loop: the key drops within
// the guard, the window is back in stand-by with its message, and once the server is back a new
// transmission goes out normally. On PulseAudio the daemon is killed; on PipeWire the graph
// (pipewire) and its PulseAudio front end (pipewire-pulse) die together, and the restart brings
// the whole server back. Both behave alike here: Qt reconnects by itself, and the first attempt
// right after the restart may be refused with the transmit message.
#include "audio/audiobusysource.h"
#include "deviceerror.h"
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
constexpr qint64 kMs = 1000000;
constexpr int kLead = 300, kTail = 100, kMessageMs = 2000;
} // namespace

class TestFaultsSound : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void serverKilled_data();
    void serverKilled();
    void receiverLostWhenServerKilled();

private:
    OwnedSoundServer m_server;
    QString m_lineLog;
};

void TestFaultsSound::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_server = ownedSoundServer();
    if (!m_server.owned())
        QSKIP("Kills its sound server: needs PREGONAL_PULSE_DIR or PREGONAL_PIPEWIRE_DIR naming the server "
              "PULSE_SERVER points to.");
    qInfo("sound server: %s", qPrintable(m_server.name()));
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
}

void TestFaultsSound::cleanup()
{
    // Whatever happened, leave a server for the next test.
    if (!soundServerAvailable())
        restartSoundServer(m_server);
}

void TestFaultsSound::serverKilled_data()
{
    QTest::addColumn<bool>("inPause");
    QTest::newRow("during a play") << false;
    QTest::newRow("during the pause of a loop") << true;
}

void TestFaultsSound::serverKilled()
{
    QFETCH(bool, inPause);
    RealRig rig(RealRig::Options{kLead, kTail, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    Frmprincipal &w = rig.window();
    const QString wav = rig.dir() + QStringLiteral("/largo.wav");
    QVERIFY(writeToneWav(wav, 22050, 1, 22050 * kMessageMs / 1000));
    rig.openMessage(wav);
    const QString title = w.windowTitle();
    QCOMPARE(title, QStringLiteral("Pregonal - ") + wav);
    QFile::resize(m_lineLog, 0);
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);

    if (inPause) {
        w.mnuenbucle_Click();
        QVERIFY(waitUntil([&] { return done.count() >= 1; }, kMessageMs + 3000));
        QVERIFY(w.Timer1().isEnabled()); // in the pause
    } else {
        w.mnuunavez_Click();
        waitUntil([] { return false; }, kLead + 500);
        QVERIFY(w.guardInterval() > 0); // keyed, playing
    }
    const int guard = kMessageMs + kLead + kTail + 2000;
    const qint64 killedNs = monotonicNs();
    QVERIFY(killSoundServer(m_server));

    // The key drops within the guard (counted from key-up, so surely from the kill), the window
    // returns to stand-by with the message still loaded.
    QVERIFY2(waitUntil([&] { return w.panel(1)->text() == QLatin1String("Stand by"); }, guard + 3000),
             "the window returns to stand-by");
    QCOMPARE(w.guardInterval(), -1);
    QCOMPARE(w.windowTitle(), title);
    QVERIFY(!w.MSComm1().portOpen());
    QVERIFY(w.mnutx->menuAction()->isEnabled());
    QVERIFY(!w.mnustop->isEnabled());
    const QList<LineEvent> events = readLineLog(m_lineLog);
    QVERIFY2(linesDownAtEnd(events), "the transmitter is left unkeyed");
    const QList<KeyPeriod> keyed = keyPeriods(events);
    QVERIFY(!keyed.isEmpty());
    const KeyPeriod &last = keyed.last();
    QVERIFY(last.downNs > 0);
    qInfo("key down %.0f ms after the kill, %.0f ms after its key-up (guard %d ms)",
          double(last.downNs - killedNs) / kMs, double(last.downNs - last.upNs) / kMs, guard);
    QVERIFY2(last.downNs - last.upNs <= qint64(guard + 200) * kMs, "the key drops within the guard");
    // Only the program's own messages, if any.
    for (const auto &box : rig.boxes().shown)
        QVERIFY2(box.caption == QLatin1String("Pregonal"), qPrintable(box.text));

    // The server comes back: a new transmission works.
    QVERIFY(restartSoundServer(m_server));
    // Qt's sound layer reconnects to a new server on its own after a few seconds; until then a
    // transmission is refused with the transmit message, never left hanging.
    SoundCapture capture;
    QVERIFY(capture.start());
    int attempts = 0, boxesBefore = 0;
    for (;;) {
        ++attempts;
        boxesBefore = int(rig.boxes().shown.size());
        done.clear();
        QFile::resize(m_lineLog, 0);
        w.mnuunavez_Click();
        if (rig.boxes().shown.size() == boxesBefore || attempts >= 20)
            break;
        QCOMPARE(w.panel(1)->text(), QStringLiteral("Stand by"));
        QVERIFY(linesDownAtEnd(readLineLog(m_lineLog)));
        waitUntil([] { return false; }, 1000);
    }
    qInfo("the first transmission that worked after the restart: attempt %d (one a second)", attempts);
    QVERIFY2(rig.boxes().shown.size() == boxesBefore,
             qPrintable(rig.boxes().shown.isEmpty() ? QString() : rig.boxes().shown.last().text));
    QVERIFY(waitUntil([&] { return w.panel(1)->text() == QLatin1String("Stand by"); }, guard + 3000));
    QVERIFY2(rig.boxes().shown.size() == boxesBefore,
             qPrintable(rig.boxes().shown.isEmpty() ? QString() : rig.boxes().shown.last().text));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().at(0).toInt(), int(AudioDevice::Successful));
    capture.stop();
    const QList<LineEvent> after = readLineLog(m_lineLog);
    QVERIFY(linesDownAtEnd(after));
    QCOMPARE(keyPeriods(after).size(), 1);
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    VERIFY_BURSTS(sound, 1);
    const qint64 heard = sound.first().endNs - sound.first().startNs;
    QVERIFY2(heard > (kMessageMs - 50) * kMs, "the whole message is heard");
}

// The receiver's audio heard while its server dies: lost at once, never a clear channel, and heard
// again once the server is back.
void TestFaultsSound::receiverLostWhenServerKilled()
{
    AudioBusySource source({QStringLiteral("txin"), QString()}, -40);
    QSignalSpy lost(&source, &BusySource::lost);
    source.open();
    QTRY_VERIFY_WITH_TIMEOUT(!source.busy(), 2000);
    QVERIFY(killSoundServer(m_server));
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, AudioBusySource::StallMs / 2);
    QVERIFY2(lost.first().at(0).toString().startsWith(QStringLiteral("La entrada del receptor")),
             qPrintable(lost.first().at(0).toString()));
    QVERIFY(!source.isOpen() && !source.busy());

    QVERIFY(restartSoundServer(m_server));
    QTRY_VERIFY_WITH_TIMEOUT(soundServerAvailable(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                 try {
                                     source.open();
                                     return true;
                                 } catch (const DeviceError &) {
                                     return false;
                                 }
                             }()),
                             5000);
    QTRY_VERIFY_WITH_TIMEOUT(!source.busy(), 2000);
    QCOMPARE(lost.size(), 1);
}

PREGONAL_SOUND_TEST_MAIN(TestFaultsSound)
#include "tst_faults_sound.moc"

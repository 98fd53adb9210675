// The real window, the real sound device on the test sound server and the real serial line on a
// pseudo-terminal (its modem lines emulated and logged by the shim): what goes out over the air.
#include "fakeplatform.h"
#include "frmprincipal.h"
#include "portnames.h"
#include "qtserialline.h"
#include "soundcapture.h"
#include "wavaudiodevice.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
constexpr qint64 kMs = 1000000;
constexpr qint64 kPeriod = 30 * kMs; // one audio period and the monitor's latency
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void loopKeysAroundEachPlay();

private:
    QTemporaryDir m_dir;
    int m_master = -1;
    QString m_slave;
    QString m_lineLog;
};

void TestEndToEnd::initTestCase()
{
    if (!soundServerAvailable())
        QSKIP("No test sound server: eval \"$(scripts/testpulse.sh start)\" first.");
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    if (m_lineLog.isEmpty())
        QSKIP("Needs the modem-line shim: LD_PRELOAD=libptyshim.so PREGONAL_LINELOG=<file>.");
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(m_master >= 0);
    QVERIFY(grantpt(m_master) == 0 && unlockpt(m_master) == 0);
    m_slave = QString::fromLocal8Bit(ptsname(m_master));
}

void TestEndToEnd::cleanupTestCase()
{
    if (m_master >= 0)
        ::close(m_master);
}

void TestEndToEnd::loopKeysAroundEachPlay()
{
    const int lead = 300, tail = 100;
    const QString wav = m_dir.filePath(QStringLiteral("tono.wav"));
    QVERIFY(writeToneWav(wav, 48000, 1, 48000 / 2)); // half a second of 1 kHz

    ProgramValues values;
    PlatformParts parts;
    parts.settings = std::make_unique<SettingsStore>(m_dir.path());
    parts.settings->write("Pregonal", "conf", "puerto", "1");
    parts.settings->write("Pregonal", "conf", "intervalo", "1");
    parts.settings->write("Pregonal", "conf", "retardo", QString::number(lead));
    parts.settings->write("Pregonal", "conf", "cola", QString::number(tail));
    parts.settings->write("Pregonal", "puertos", "COM1", m_slave);
    const SettingsStore *store = parts.settings.get();
    parts.MSComm1 = std::make_unique<QtSerialLine>([store](int n) { return serialDeviceForPort(*store, n); });
    auto *audio = new WavAudioDevice;
    parts.reproductor.reset(audio);
    auto *files = new FakeFileDialog;
    files->answers.push_back(wav);
    parts.ventanas.reset(files);
    auto *boxes = new FakeMessageBoxes;
    parts.messageBoxes.reset(boxes);
    parts.registry = std::make_unique<FakeRegistry>();
    parts.launcher = std::make_unique<FakeLauncher>();
    Frmprincipal window(values, std::move(parts));
    window.Form_Load();

    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);
    QSignalSpy done(audio, &AudioDevice::Done);

    window.mnuabrirmensaje_Click();
    QCOMPARE(window.windowTitle(), QStringLiteral("Pregonal - ") + wav);
    window.mnuenbucle_Click();
    QVERIFY2(boxes->shown.isEmpty(), boxes->shown.isEmpty() ? "" : qPrintable(boxes->shown.first().text));
    QTRY_VERIFY_WITH_TIMEOUT(done.count() >= 2, 10000);
    QCOMPARE(window.panel(1)->text(), QStringLiteral("TX"));
    window.mnustop_Click();
    QTest::qWait(200);
    capture.stop();

    QVERIFY(!window.MSComm1().portOpen());
    QCOMPARE(window.panel(1)->text(), QStringLiteral("Stand by"));
    QVERIFY(boxes->shown.isEmpty());
    for (const QVariantList &args : done)
        QCOMPARE(args.at(0).toInt(), int(AudioDevice::Successful));

    const QList<LineEvent> events = readLineLog(m_lineLog);
    QVERIFY(!events.isEmpty());
    QVERIFY2(!events.last().dtr && !events.last().rts, "the transmitter is left unkeyed");
    const QList<KeyPeriod> keyed = keyPeriods(events);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    QCOMPARE(keyed.size(), 2);
    QCOMPARE(sound.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const KeyPeriod &k = keyed.at(i);
        const SoundCapture::Burst &b = sound.at(i);
        qInfo("play %d: first sound %.1f ms after key-up, key-down %.1f ms after the last sound", i + 1,
              double(b.startNs - k.upNs) / kMs, double(k.downNs - b.endNs) / kMs);
        QVERIFY2(k.downNs > k.upNs, "the key drops after each play");
        QVERIFY2(b.startNs >= k.upNs + lead * kMs - kPeriod, "the sound starts no earlier than the lead");
        QVERIFY2(b.endNs <= k.downNs - tail * kMs + kPeriod, "the key stays up for the tail after the sound");
        const qint64 heard = b.endNs - b.startNs;
        QVERIFY2(heard > 450 * kMs && heard < 560 * kMs, "the whole message is heard, nothing cut");
    }
    QVERIFY2(keyed.at(1).upNs - keyed.at(0).downNs >= 900 * kMs, "the lines stay down through the pause");
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"

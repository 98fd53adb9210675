// The real window, the real sound device on the test sound server and the real serial line on a
// pseudo-terminal (its modem lines emulated and logged by the shim): what goes out over the air.
#include "audio/wavaudiodevice.h"
#include "fakeplatform.h"
#include "frmestacion.h"
#include "frmprincipal.h"
#include "realrig.h"
#include "soundcapture.h"
#include "soundtestmain.h"
#include "transmissionlog.h"

#include <QComboBox>
#include <QLabel>
#include <QMediaDevices>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {
constexpr qint64 kMs = 1000000;
constexpr qint64 kPeriod = 30 * kMs; // one audio period and the monitor's latency
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void loopKeysAroundEachPlay();
    void missingCardKeysNothing();
    void stationTestIsHeardWhole();
    void stationTestStopsAtOnce();
    void scheduledEntriesGoOutWhole();

private:
    QString m_lineLog;
};

void TestEndToEnd::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
}

void TestEndToEnd::loopKeysAroundEachPlay()
{
    const int lead = 300, tail = 100;
    RealRig rig(RealRig::Options{lead, tail, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    const QString wav = rig.dir() + QStringLiteral("/tono.wav");
    QVERIFY(writeToneWav(wav, 48000, 1, 48000 / 2)); // half a second of 1 kHz
    Frmprincipal &window = rig.window();
    FakeMessageBoxes *boxes = &rig.boxes();
    WavAudioDevice *audio = &rig.audio();

    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);
    QSignalSpy done(audio, &AudioDevice::Done);

    rig.openMessage(wav);
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
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    QCOMPARE(keyed.size(), 2);
    VERIFY_BURSTS(sound, 2);
    for (int i = 0; i < 2; ++i) {
        const KeyPeriod &k = keyed.at(i);
        const SoundCapture::Burst &b = sound.at(i);
        qInfo(
            "play %d: first sound %.1f ms after key-up, key-down %.1f ms after the last sound, %.1f ms heard",
            i + 1, double(b.startNs - k.upNs) / kMs, double(k.downNs - b.endNs) / kMs,
            double(b.endNs - b.startNs) / kMs);
        QVERIFY2(k.downNs > k.upNs, "the key drops after each play");
        QVERIFY2(b.startNs >= k.upNs + lead * kMs - kPeriod, "the sound starts no earlier than the lead");
        QVERIFY2(b.endNs <= k.downNs - tail * kMs + kPeriod, "the key stays up for the tail after the sound");
        const qint64 heard = b.endNs - b.startNs;
        QVERIFY2(heard > 450 * kMs && heard < 560 * kMs, "the whole message is heard, nothing cut");
    }
    QVERIFY2(keyed.at(1).upNs - keyed.at(0).downNs >= 900 * kMs, "the lines stay down through the pause");
}

// The card stored for messages is not there: the command fails naming it, the transmitter is
// never keyed, and the default output stays silent.
void TestEndToEnd::missingCardKeysNothing()
{
    RealRig::Options options;
    options.salida = QStringLiteral("alsa_output.usb-Radio-00.analog-stereo");
    options.salidanombre = QStringLiteral("Interfaz de radio");
    RealRig rig(options);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    const QString wav = rig.dir() + QStringLiteral("/tono.wav");
    QVERIFY(writeToneWav(wav, 48000, 1, 48000 / 2));
    Frmprincipal &window = rig.window();
    SoundCapture capture;
    QVERIFY(capture.start());
    const qint64 from = capture.samples();
    QFile::resize(m_lineLog, 0);
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);

    rig.openMessage(wav);
    window.mnuunavez_Click();
    QCOMPARE(rig.boxes().shown.size(), 1);
    QVERIFY2(rig.boxes().shown.first().detail.startsWith(
                 QStringLiteral("No se encuentra la tarjeta de sonido «Interfaz de radio».")),
             qPrintable(rig.boxes().shown.first().detail));
    const qint64 refusedNs = monotonicNs();
    QTest::qWait(500);
    QVERIFY(capture.catchUp(refusedNs + 400 * kMs));
    QCOMPARE(window.panel(1)->text(), QStringLiteral("Stand by"));
    QVERIFY(!window.MSComm1().portOpen());
    QCOMPARE(done.count(), 0);
    QVERIFY2(keyPeriods(readLineLog(m_lineLog)).isEmpty(), "the transmitter was keyed");
    VERIFY_CAPTURE_WHOLE(capture);
    QVERIFY(capture.bursts(0.05, 60, from).isEmpty());
}

namespace {
// The station dialog over the rig's window, on its real sound server and serial line, with the
// test sink chosen by name for the tone.
std::unique_ptr<frmestacion> stationDialog(RealRig &rig, int lead, int tail)
{
    Frmprincipal &w = rig.window();
    KeyingSettings keying;
    keying.retardoMs = lead;
    keying.colaMs = tail;
    auto d = std::make_unique<frmestacion>(&w, keying, SoundCardSettings{}, w.soundServer(), w.MSComm1(),
                                           w.messageBoxes());
    for (int i = 0; i < d->cboSalida->count(); ++i)
        if (d->cboSalida->itemData(i).toStringList().value(0) == QStringLiteral("tx"))
            d->cboSalida->setCurrentIndex(i);
    d->show();
    return d;
}
} // namespace

// "Probar": the tone is heard whole between key-up plus lead and key-down minus tail, and the
// input meter (the test source records the sink) shows its level meanwhile.
void TestEndToEnd::stationTestIsHeardWhole()
{
    const int lead = 200, tail = 100;
    RealRig rig(RealRig::Options{lead, tail, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    auto d = stationDialog(rig, lead, tail);
    QCOMPARE(d->cboSalida->currentData().toStringList().value(0), QStringLiteral("tx"));
    SoundCapture capture;
    QVERIFY(capture.start());
    // What the meter's input itself carried: a meter that missed the tone is told from an input
    // the server never fed.
    const QString meterInput = QString::fromUtf8(QMediaDevices::defaultAudioInput().id());
    SoundCapture inputCapture;
    inputCapture.setSource(meterInput);
    QVERIFY(inputCapture.start());
    QFile::resize(m_lineLog, 0);
    QStringList levelsShown;
    QTimer sample;
    connect(&sample, &QTimer::timeout, this, [&] { levelsShown << d->lblNivel->text(); });
    sample.start(50);

    d->cmdprobar->click();
    QVERIFY(d->testRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!d->testRunning(), 8000);
    sample.stop();
    QTest::qWait(200);
    capture.stop();
    inputCapture.stop();

    QVERIFY2(rig.boxes().shown.isEmpty(), rig.boxes().shown.isEmpty() ? "" : qPrintable(rig.boxes().shown.first().detail));
    QVERIFY(!rig.window().MSComm1().portOpen());
    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    QCOMPARE(keyed.size(), 1);
    VERIFY_BURSTS(sound, 1);
    const KeyPeriod &k = keyed.first();
    const SoundCapture::Burst &b = sound.first();
    qInfo("test tone: first sound %.1f ms after key-up, key-down %.1f ms after the last sound, %.1f ms heard",
          double(b.startNs - k.upNs) / kMs, double(k.downNs - b.endNs) / kMs, double(b.endNs - b.startNs) / kMs);
    QVERIFY2(b.startNs >= k.upNs + lead * kMs - kPeriod, "the tone starts no earlier than the lead");
    QVERIFY2(b.endNs <= k.downNs - tail * kMs + kPeriod, "the key stays up for the tail after the tone");
    const qint64 heard = b.endNs - b.startNs;
    QVERIFY2(heard > 1950 * kMs && heard < 2060 * kMs, "the whole tone is heard");
    // The tone's level, give or take what the server's channel mixing adds (PipeWire: +3 dB).
    const bool toneShown = std::any_of(levelsShown.cbegin(), levelsShown.cend(), [](const QString &text) {
        const int db = QString(text).remove(QStringLiteral(" dB")).toInt();
        return text.endsWith(QStringLiteral(" dB")) && db >= -23 && db <= -16;
    });
    const QList<SoundCapture::Burst> inputSound = inputCapture.bursts();
    if (!toneShown && inputCapture.fault().isEmpty() && inputSound.isEmpty())
        QSKIP(qPrintable(QStringLiteral("inconclusive, the test server's input «%1» did not carry what tx "
                                        "played, and the meter rightly showed silence")
                             .arg(meterInput)));
    QVERIFY2(toneShown, qPrintable(QStringLiteral("%1; the input «%2» carried %3")
                                       .arg(levelsShown.join(QLatin1Char(' ')), meterInput,
                                            SoundCapture::describe(inputSound))));
}

// Esc while the tone plays: the key drops at once and the tone stops; the dialog stays.
void TestEndToEnd::stationTestStopsAtOnce()
{
    RealRig rig(RealRig::Options{200, 100, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    auto d = stationDialog(rig, 200, 100);
    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);
    d->cmdprobar->click();
    QTest::qWait(900);
    QVERIFY(d->testRunning());
    const qint64 escNs = monotonicNs();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    const qint64 afterNs = monotonicNs();
    QVERIFY(!d->testRunning());
    QVERIFY(d->isVisible());
    QTest::qWait(300);
    QVERIFY(capture.catchUp(afterNs + 250 * kMs));
    capture.stop();

    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    QCOMPARE(keyed.size(), 1);
    QVERIFY2(keyed.first().downNs >= escNs && keyed.first().downNs <= afterNs, "the key drops within the key press");
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    VERIFY_BURSTS(sound, 1);
    QVERIFY2(sound.first().endNs <= afterNs + 2 * kPeriod, "the tone stops with the key");
    QVERIFY(rig.boxes().shown.isEmpty());
}

// Two entries due in the same minute, on a clock moved to it: one after the other, each whole
// between its own key-up and key-down, each with its line in the log; a malformed third entry is
// reported in the log and does not stop the others.
void TestEndToEnd::scheduledEntriesGoOutWhole()
{
    RealRig::Options options(300, 100, 1);
    QTemporaryDir tones;
    const QString first = tones.filePath(QStringLiteral("mercado.wav"));
    const QString second = tones.filePath(QStringLiteral("red.wav"));
    QVERIFY(writeToneWav(first, 48000, 1, 48000 / 2));          // 0.5 s
    QVERIFY(writeToneWav(second, 48000, 1, 48000 * 7 / 10, 0.3)); // 0.7 s
    options.settings = {{"programa1", "archivo", first},  {"programa1", "horas", "09:00"},
                        {"programa2", "archivo", second}, {"programa2", "horas", "09:00"},
                        {"programa3", "archivo", first},  {"programa3", "horas", "25:00"}};
    options.clockAt = QDateTime(QDate::currentDate(), QTime(8, 59, 58));
    RealRig rig(options);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);

    rig.clock()->advance(2500);
    rig.window().schedule().scheduler().check();
    auto completed = [&] {
        int n = 0;
        for (const QStringList &line : readLatestLog(rig.logFolder(), 10))
            n += line.value(5) == QStringLiteral("completa") ? 1 : 0;
        return n;
    };
    QTRY_COMPARE_WITH_TIMEOUT(completed(), 2, 10000);
    QTest::qWait(200);
    capture.stop();

    QVERIFY2(rig.boxes().shown.isEmpty(), rig.boxes().shown.isEmpty() ? "" : qPrintable(rig.boxes().shown.first().detail));
    QVERIFY(!rig.window().MSComm1().portOpen());
    const QList<QStringList> lines = readLatestLog(rig.logFolder(), 10);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(2).value(2), QStringLiteral("programa 3"));
    QCOMPARE(lines.at(2).value(5), QStringLiteral("omitida"));
    QCOMPARE(lines.at(1).value(2) + "|" + lines.at(1).value(3), QStringLiteral("programa 1|") + first);
    QCOMPARE(lines.at(0).value(2) + "|" + lines.at(0).value(3), QStringLiteral("programa 2|") + second);

    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    QCOMPARE(keyed.size(), 2);
    VERIFY_BURSTS(sound, 2);
    QVERIFY2(keyed.at(1).upNs > keyed.at(0).downNs, "never two transmissions at once");
    const qint64 lengths[] = {500, 700};
    for (int i = 0; i < 2; ++i) {
        const KeyPeriod &k = keyed.at(i);
        const SoundCapture::Burst &b = sound.at(i);
        QVERIFY2(b.startNs >= k.upNs + 300 * kMs - kPeriod, "the sound starts no earlier than the lead");
        QVERIFY2(b.endNs <= k.downNs - 100 * kMs + kPeriod, "the key stays up for the tail after the sound");
        const qint64 heard = (b.endNs - b.startNs) / kMs;
        QVERIFY2(heard > lengths[i] - 50 && heard < lengths[i] + 60, qPrintable(QString::number(heard)));
    }
}

PREGONAL_SOUND_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"

// The wait for a clear channel on the test sound server: a speech-like conversation played into
// the sink the receiver's input hears, the real audio source and audio device, the real engine
// and log; the key through a fake serial line. The station's own message is heard by the same
// input, as by a radio that hears itself.
#include "audio/audiobusysource.h"
#include "audio/wavaudiodevice.h"
#include "channelwatch.h"
#include "clock.h"
#include "enginelogger.h"
#include "fakeserialline.h"
#include "keyinglines.h"
#include "receiverfeed.h"
#include "soundcapture.h"
#include "soundtestmain.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

namespace {
using State = TransmissionEngine::State;
constexpr int LibreMs = 300;

struct Rig
{
    QTemporaryDir dir;
    std::shared_ptr<QStringList> calls = std::make_shared<QStringList>();
    WavAudioDevice audio;
    FakeSerialLine serial{calls};
    SystemClock clock;
    ChannelWatch watch;
    AudioBusySource *source = nullptr;
    TransmissionEngine engine{audio, serial};
    TransmissionLog log{dir.path()};
    EngineLogger logger{engine, log, clock};
    QElapsedTimer elapsed;
    qint64 keyedAt = -1, clearAt = -1;
    bool busyAtKeyUp = false;

    explicit Rig(int esperaSecs)
    {
        log.setJournal(false);
        engine.setKeying(100, 50, KeyingLines(), 0);
        engine.Timer1().setInterval(100000);
        auto made = std::make_unique<AudioBusySource>(SoundCardChoice{QStringLiteral("txin"), QString()}, -40);
        source = made.get();
        BusySettings busy;
        busy.ocupado = BusySettings::Source::Audio;
        busy.libreMs = LibreMs;
        busy.esperaSecs = esperaSecs;
        watch.watch(std::move(made), busy);
        engine.setChannelWatch(&watch);
        elapsed.start();
        QObject::connect(source, &BusySource::busyChanged, [this](bool busy) {
            if (!busy && keyedAt < 0)
                clearAt = elapsed.elapsed();
        });
        QObject::connect(&engine, &TransmissionEngine::stateChanged, [this](State state) {
            if (state == State::Playing && keyedAt < 0) {
                keyedAt = elapsed.elapsed();
                busyAtKeyUp = source->busy();
            }
        });
    }
    QStringList lines() const
    {
        QStringList out;
        for (const QStringList &line : readLatestLog(dir.path(), 100))
            out << QStringList{line.value(5), line.value(6)}.join(QLatin1Char('|'));
        return out;
    }
};
} // namespace

class TestClearChannel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sendDuringAConversation_data();
    void sendDuringAConversation();
};

void TestClearChannel::initTestCase()
{
    if (!soundServerAvailable())
        QSKIP("Needs the test sound server (scripts/testpulse.sh).");
}

// stopAfter: ms into the wait that Stop is pressed (-1: never). The conversation starts before F5
// and its pauses are shorter than the hang, so the channel stays busy through it.
void TestClearChannel::sendDuringAConversation_data()
{
    QTest::addColumn<QList<int>>("conversation");
    QTest::addColumn<int>("espera");
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<QString>("ending");
    QTest::newRow("F5 keys once it has ended plus libre")
        << QList<int>{300, -400, 300} << 4 << -1 << "completa";
    QTest::newRow("longer than espera: canal ocupado")
        << QList<int>{400, -300, 400, -300, 400, -300, 400, -300, 400} << 2 << -1 << "canal ocupado";
    QTest::newRow("Stop during the wait") << QList<int>{300, -400, 300} << 3 << 400 << "detenida";
}

void TestClearChannel::sendDuringAConversation()
{
    QFETCH(QList<int>, conversation);
    QFETCH(int, espera);
    QFETCH(int, stopAfter);
    QFETCH(QString, ending);
    Rig rig(espera);
    QVERIFY2(rig.watch.readable().isEmpty(), qPrintable(rig.watch.readable()));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.source->busy(), 2000);
    const QString wav = rig.dir.filePath(QStringLiteral("aviso.wav"));
    QVERIFY(writeToneWav(wav, 48000, 1, 48000 * 3 / 10));
    rig.audio.setFileName(wav);
    QSignalSpy failed(&rig.engine, &TransmissionEngine::failed);
    QSignalSpy ended(&rig.engine, &TransmissionEngine::playEnded);

    QProcess pacat;
    QVERIFY(receiverfeed::play(pacat, receiverfeed::speechLike(conversation)));
    auto stopFeed = qScopeGuard([&] { pacat.kill(); pacat.waitForFinished(); });
    QTRY_VERIFY_WITH_TIMEOUT(rig.source->busy(), 2000);
    rig.engine.sendOnce();
    QCOMPARE(rig.engine.state(), State::Waiting);
    if (stopAfter >= 0) {
        QTest::qWait(stopAfter);
        rig.engine.stop();
        QCOMPARE(rig.engine.state(), State::Idle);
    }
    const int words = std::accumulate(conversation.cbegin(), conversation.cend(), 0,
                                      [](int sum, int ms) { return sum + std::abs(ms); });
    const int slack = 2000;
    QTRY_VERIFY_WITH_TIMEOUT(rig.engine.state() == State::Idle && !rig.engine.channelWait().waiting() &&
                                 (ended.size() == 1 || !failed.isEmpty() || ending != QLatin1String("completa")),
                             words + BusyDetector::HangMs + LibreMs + espera * 1000 + slack);
    if (stopAfter >= 0)
        QTest::qWait(words + BusyDetector::HangMs + LibreMs + ChannelWaitRule::MaxHoldOffMs);

    QVERIFY(!rig.serial.dtr && !rig.serial.rts && !rig.serial.portOpen());
    const bool keyed = rig.calls->contains(QStringLiteral("DTR=1")) || rig.calls->contains(QStringLiteral("RTS=1"));
    QCOMPARE(keyed, ending == QLatin1String("completa"));
    if (keyed) {
        QVERIFY(!rig.busyAtKeyUp);
        QVERIFY(rig.clearAt > 0);
        QVERIFY2(rig.keyedAt >= rig.clearAt + LibreMs,
                 qPrintable(QStringLiteral("keyed %1 ms after clear").arg(rig.keyedAt - rig.clearAt)));
    }
    QCOMPARE(failed.size(), ending == QLatin1String("canal ocupado") ? 1 : 0);
    const QStringList lines = rig.lines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(ending + QLatin1Char('|')), qPrintable(lines.first()));
}

PREGONAL_SOUND_TEST_GUILESS_MAIN(TestClearChannel)
#include "tst_clearchannel.moc"

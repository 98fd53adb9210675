// The wait for a clear channel: its decisions on scripted histories, then the engine and its log
// on a fake source and a clock the test moves (the waiter's timers are stood in for by calling
// its look(), as they would).
#include "channelwait.h"
#include "channelwatch.h"
#include "clock.h"
#include "enginelogger.h"
#include "fakeaudiodevice.h"
#include "fakebusysource.h"
#include "fakeserialline.h"
#include "keyinglines.h"
#include "schedulerunner.h"
#include "settingsstore.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
using State = TransmissionEngine::State;

// "watch:clear@0 down@1000 busy@1200 clear@1500 begin@1500 look@3500": events at ms; the result
// of the last look as "key", "giveup" or "again N". "look~" and "begin~": the source hears a sound
// starting then.
QString runScript(const QString &script, int libreMs, int esperaMs, int ignoreMs, int holdOffMs)
{
    ChannelHistory history;
    history.setIgnoreMs(ignoreMs);
    ChannelWaitRule rule(libreMs, esperaMs, [holdOffMs] { return holdOffMs; });
    QString result;
    for (const QString &token : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QString what = token.section(QLatin1Char('@'), 0, 0);
        const bool starting = what.endsWith(QLatin1Char('~'));
        what.remove(QLatin1Char('~'));
        const qint64 at = token.section(QLatin1Char('@'), 1).toLongLong();
        if (what.startsWith(QLatin1String("watch:")))
            history.watchFrom(at, what.endsWith(QLatin1String("busy")));
        else if (what == QLatin1String("busy") || what == QLatin1String("clear"))
            history.heard(what == QLatin1String("busy"), at);
        else if (what == QLatin1String("up") || what == QLatin1String("down"))
            history.keyed(what == QLatin1String("up"), at);
        else if (what.startsWith(QLatin1String("afresh:")))
            history.heardAfresh(what.endsWith(QLatin1String("busy")), at);
        else if (what == QLatin1String("lost"))
            history.stopWatching();
        else if (what == QLatin1String("begin"))
            rule.begin(at);
        if (what == QLatin1String("begin") || what == QLatin1String("look")) {
            const ChannelWaitRule::Step step = rule.look(history, at, starting);
            result = step.kind == ChannelWaitRule::Step::Key      ? QStringLiteral("key")
                     : step.kind == ChannelWaitRule::Step::GiveUp ? QStringLiteral("giveup")
                                                                  : QStringLiteral("again %1").arg(step.inMs);
        }
    }
    return result;
}

struct Station
{
    QTemporaryDir dir;
    std::shared_ptr<QStringList> calls = std::make_shared<QStringList>();
    FakeAudioDevice audio{calls};
    FakeSerialLine serial{calls};
    ManualClock clock{QDateTime(QDate(2026, 3, 2), QTime(8, 59, 30))};
    ChannelWatch watch;
    FakeBusySource *source = nullptr;
    TransmissionEngine engine{audio, serial};
    TransmissionLog log{dir.path()};
    EngineLogger logger{engine, log, clock};

    explicit Station(const QString &openError = QString(), int esperaSecs = 10)
    {
        log.setJournal(false);
        engine.setKeying(300, 100, KeyingLines(), 0);
        engine.Timer1().setInterval(100000);
        audio.setFileName(QStringLiteral("/tmp/aviso.wav"));
        watch.setClock([this] { return clock.monotonicMs(); });
        auto fake = std::make_unique<FakeBusySource>();
        fake->openError = openError;
        source = fake.get();
        BusySettings busy;
        busy.ocupado = BusySettings::Source::Serie;
        busy.libreMs = 2000;
        busy.esperaSecs = esperaSecs;
        busy.ocupadoignorarMs = 500;
        watch.watch(std::move(fake), busy);
        engine.setChannelWatch(&watch);
        engine.channelWait().setHoldOff([] { return 200; });
    }
    bool keyed() const { return serial.dtr || serial.rts; }
    // Lets ms pass and looks, as the waiter's timer would.
    void pass(qint64 ms)
    {
        clock.advance(ms);
        watch.listenAfreshIfDue();
        engine.channelWait().look();
    }
    QStringList lines() const
    {
        QStringList out;
        const QList<QStringList> latest = readLatestLog(dir.path(), 100);
        for (auto it = latest.crbegin(); it != latest.crend(); ++it)
            out << QStringList{it->value(4), it->value(5), it->value(6)}.join(QLatin1Char('|'));
        return out;
    }
};
} // namespace

class TestChannelWait : public QObject
{
    Q_OBJECT
private slots:
    void decisions_data();
    void decisions();
    void sendWaitsForTheChannel();
    void soundStartingAtTheKeyUp();
    void givesUpWithNothingKeyed();
    void stopDuringTheWait();
    void unreadableSourceNeverKeys_data();
    void unreadableSourceNeverKeys();
    void loopCountsLibreFromItsOwnKeyDown_data();
    void loopCountsLibreFromItsOwnKeyDown();
    void slotBehindAWaitCountsFromItsEnd();
};

void TestChannelWait::decisions_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("holdOff");
    QTest::addColumn<QString>("expected");
    // libre 2000, espera 10000, ignore 500 throughout.
    QTest::newRow("quiet a while: keys at once") << "watch:clear@0 begin@5000" << 200 << "key";
    QTest::newRow("quiet since start, not long enough") << "watch:clear@0 begin@1500" << 200 << "again 500";
    QTest::newRow("clear long enough after a wait: hold-off") << "watch:clear@0 begin@1500 look@2000" << 200
                                                              << "again 200";
    QTest::newRow("second look still clear: key") << "watch:clear@0 begin@1500 look@2000 look@2200" << 200
                                                   << "key";
    QTest::newRow("busy during the hold-off: libre again")
        << "watch:clear@0 begin@1500 look@2000 busy@2100 clear@2150 look@2200" << 200 << "again 1950";
    QTest::newRow("second look too early: waits the rest")
        << "watch:clear@0 begin@1500 look@2000 look@2100" << 200 << "again 100";
    QTest::newRow("busy at the start: waits for a change")
        << "watch:busy@0 begin@100" << 200 << "again 10000";
    QTest::newRow("a look is never later than espera") << "watch:busy@0 begin@1000 look@9000" << 200
                                                       << "again 2000";
    QTest::newRow("busy until espera: give up") << "watch:busy@0 begin@0 look@10000" << 200 << "giveup";
    QTest::newRow("clear but not long enough at espera") << "watch:busy@0 begin@0 clear@9000 look@10000"
                                                         << 200 << "giveup";
    QTest::newRow("hold-off past espera ends at espera")
        << "watch:busy@0 begin@0 clear@7900 look@9900 look@10000" << 400 << "giveup";
    QTest::newRow("hold-off bounded above") << "watch:busy@0 begin@0 clear@100 look@2100" << 100000
                                            << "again 500";
    QTest::newRow("hold-off bounded below") << "watch:busy@0 begin@0 clear@100 look@2100" << -50 << "key";
    QTest::newRow("right after key-down: own tail not heard")
        << "watch:clear@0 up@5000 down@9000 begin@9000" << 200 << "again 500";
    QTest::newRow("ignore window over: not clear until heard afresh")
        << "watch:clear@0 up@5000 down@9000 begin@9000 look@9510" << 200 << "again 50";
    QTest::newRow("own tail still busy past the window: clear from key-down once heard afresh")
        << "watch:clear@0 up@5000 busy@5000 down@9000 begin@9000 afresh:clear@9530 look@9530" << 200
        << "again 1470";
    QTest::newRow("a fresh reading inside the ignore window is not taken")
        << "watch:clear@0 up@5000 down@9000 begin@9000 afresh:clear@9200 look@9300" << 200 << "again 200";
    QTest::newRow("heard afresh busy is someone else")
        << "watch:clear@0 up@5000 down@9000 begin@9000 afresh:busy@9530 look@9600" << 200 << "again 9400";
    QTest::newRow("busy after the fresh reading is someone else")
        << "watch:clear@0 up@5000 down@9000 begin@9000 afresh:clear@9530 busy@9560 look@9600" << 200
        << "again 9400";
    QTest::newRow("clear again after someone else: libre from then")
        << "watch:clear@0 up@5000 down@9000 begin@9000 afresh:busy@9530 clear@9800 look@9900" << 200
        << "again 1900";
    QTest::newRow("keyed again before the fresh reading: not clear")
        << "watch:clear@0 up@5000 down@9000 up@9400 down@9450 afresh:clear@9600 begin@9600" << 200
        << "again 350";
    QTest::newRow("while keyed nothing is heard") << "watch:clear@0 up@5000 begin@8000" << 200 << "again 501";
    QTest::newRow("a sound starting at the key-up: one look more")
        << "watch:clear@0 begin~@5000" << 200 << "again 40";
    QTest::newRow("the sound was a click: key") << "watch:clear@0 begin~@5000 look@5040" << 200 << "key";
    QTest::newRow("the sound was a voice: waits for it")
        << "watch:clear@0 begin~@5000 busy@5030 look@5040" << 200 << "again 9960";
    QTest::newRow("a look before it can be told waits the rest") << "watch:clear@0 begin~@5000 look~@5010"
                                                                 << 200 << "again 30";
    QTest::newRow("a sound starting puts the key-up off once only")
        << "watch:clear@0 begin~@5000 look~@5040" << 200 << "key";
    QTest::newRow("a sound starting at the second look") << "watch:clear@0 begin@1500 look@2000 look~@2200"
                                                         << 200 << "again 40";
    QTest::newRow("a sound starting at espera is not waited for")
        << "watch:busy@0 begin@0 clear@7000 look@9000 look~@10000" << 200 << "key";
    QTest::newRow("lost source is never clear") << "watch:clear@0 lost@100 begin@5000" << 200 << "again 10000";
}

void TestChannelWait::decisions()
{
    QFETCH(QString, script);
    QFETCH(int, holdOff);
    QFETCH(QString, expected);
    QCOMPARE(runScript(script, 2000, 10000, 500, holdOff), expected);
}

// F5 during a conversation: nothing keyed until it has ended and libre and the hold-off have
// passed; the line says how long it waited.
void TestChannelWait::sendWaitsForTheChannel()
{
    Station s;
    s.clock.advance(5000);
    s.source->setBusy(true);
    s.engine.sendOnce();
    QCOMPARE(s.engine.state(), State::Waiting);
    QVERIFY(!s.keyed());
    s.pass(3000);
    s.source->setBusy(false);
    s.pass(1999);
    QVERIFY(!s.keyed());
    s.pass(1); // libre: the hold-off
    QVERIFY(!s.keyed());
    s.pass(200);
    QVERIFY(s.keyed());
    QCOMPARE(s.engine.state(), State::Playing);
    s.clock.advance(4000);
    s.audio.finishPlay();
    QCOMPARE(s.lines(), QStringList{"4,0|completa|Esperó 5,2 s a que el canal quedase libre."});
}

// Someone who began to talk just before the key-up: the station hears that a sound has begun
// and waits until it can tell a voice from a click; a voice is then waited for.
void TestChannelWait::soundStartingAtTheKeyUp()
{
    Station s;
    s.clock.advance(5000);
    s.source->starting = true;
    s.engine.sendOnce();
    QCOMPARE(s.engine.state(), State::Waiting);
    s.pass(ChannelWaitRule::SoundStartMs - 1);
    QVERIFY(!s.keyed());
    s.source->starting = false;
    s.source->setBusy(true);
    s.pass(1);
    QVERIFY(!s.keyed());
    s.source->setBusy(false);
    s.pass(2000);
    s.pass(200);
    QVERIFY(s.keyed());

    // A click: keyed after the one look more, and no wait in the log.
    Station click;
    click.clock.advance(5000);
    click.source->starting = true;
    click.engine.sendOnce();
    click.source->starting = false;
    click.pass(ChannelWaitRule::SoundStartMs);
    QVERIFY(click.keyed());
    click.clock.advance(4000);
    click.audio.finishPlay();
    QCOMPARE(click.lines(), QStringList{"4,0|completa|"});
}

void TestChannelWait::givesUpWithNothingKeyed()
{
    Station s;
    s.source->setBusy(true);
    QSignalSpy failures(&s.engine, &TransmissionEngine::failed);
    QSignalSpy logged(&s.logger, &EngineLogger::failureWritten); // a scheduled one is told without a box
    s.engine.sendOnce();
    for (int i = 0; i < 10; ++i)
        s.pass(1000);
    QCOMPARE(s.engine.state(), State::Idle);
    QCOMPARE(s.engine.ending(), TransmissionEngine::Ending::ChannelBusy);
    QVERIFY(!s.keyed() && !s.serial.portOpen());
    QVERIFY(!s.calls->contains(QStringLiteral("play")));
    QCOMPARE(failures.size(), 1);
    QCOMPARE(logged.size(), 1);
    const QStringList lines = s.lines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(QStringLiteral("0,0|canal ocupado|El canal ha seguido ocupado: se ha "
                                                     "esperado 10,0 segundos")),
             qPrintable(lines.first()));
}

void TestChannelWait::stopDuringTheWait()
{
    Station s;
    s.source->setBusy(true);
    s.engine.sendOnce();
    s.pass(1000);
    s.engine.stop();
    QCOMPARE(s.engine.state(), State::Idle);
    QVERIFY(!s.engine.channelWait().waiting());
    s.source->setBusy(false);
    s.pass(5000);
    QVERIFY(!s.keyed() && !s.calls->contains(QStringLiteral("play")));
    QCOMPARE(s.lines(), QStringList{"0,0|detenida|Esperó 1,0 s a que el canal quedase libre."});
}

void TestChannelWait::unreadableSourceNeverKeys_data()
{
    QTest::addColumn<QString>("openError");
    QTest::addColumn<bool>("lostWhileWaiting");
    QTest::addColumn<QString>("cause");
    QTest::newRow("cannot be opened") << "tarjeta ausente" << false << "tarjeta ausente";
    QTest::newRow("lost while waiting") << "" << true << "se ha desconectado";
}

void TestChannelWait::unreadableSourceNeverKeys()
{
    QFETCH(QString, openError);
    QFETCH(bool, lostWhileWaiting);
    QFETCH(QString, cause);
    Station s(openError);
    QSignalSpy failures(&s.engine, &TransmissionEngine::failed);
    s.engine.sendOnce();
    if (lostWhileWaiting) {
        QCOMPARE(s.engine.state(), State::Waiting);
        s.source->lose(cause);
    }
    QCOMPARE(s.engine.state(), State::Idle);
    QVERIFY(!s.keyed() && !s.serial.portOpen());
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().at(1).toString().contains(cause), qPrintable(failures.first().at(1).toString()));
    QCOMPARE(s.lines().size(), 1);
    QVERIFY(s.lines().first().startsWith(QStringLiteral("0,0|fallo|")));
}

// A loop with a short pause: the channel's clear time starts at its own key-down, not before,
// whatever the receiver heard of the station's own transmission.
void TestChannelWait::loopCountsLibreFromItsOwnKeyDown_data()
{
    QTest::addColumn<bool>("busyOnAir"); // the receiver hears the transmitter
    QTest::addColumn<bool>("forgets");
    QTest::addColumn<int>("clearAfterDown"); // ms after key-down the source goes clear
    QTest::addColumn<int>("keyAfterDown");
    QTest::newRow("quiet receiver") << false << false << 0 << 2200;
    QTest::newRow("own tail within the ignore window") << true << false << 300 << 2200;
    QTest::newRow("own audio's hang past the ignore window") << true << true << 1000 << 2200;
    QTest::newRow("a squelch still open after the window") << true << false << 1500 << 3700;
}

void TestChannelWait::loopCountsLibreFromItsOwnKeyDown()
{
    QFETCH(bool, busyOnAir);
    QFETCH(bool, forgets);
    QFETCH(int, clearAfterDown);
    QFETCH(int, keyAfterDown);
    Station s;
    s.source->forgets = forgets;
    s.clock.advance(5000);
    s.engine.sendLoop();
    QVERIFY(s.keyed());
    s.source->setBusy(busyOnAir);
    s.clock.advance(3000);
    s.audio.finishPlay();
    QVERIFY(!s.keyed());
    s.clock.advance(200);
    s.engine.Timer1_Timer();
    QCOMPARE(s.engine.state(), State::Waiting);
    int t = 200;
    for (; t < 6000 && !s.keyed(); t += 100) {
        if (t == clearAfterDown)
            s.source->setBusy(false);
        s.pass(100);
    }
    QCOMPARE(t, keyAfterDown);
    QCOMPARE(s.engine.state(), State::Playing);
    QCOMPARE(s.source->afreshLooks, 1);
}

// A slot that falls while a transmission waits for the channel is not skipped a minute after its
// time: the minute counts from the end of the wait.
void TestChannelWait::slotBehindAWaitCountsFromItsEnd()
{
    Station s(QString(), 120);
    QFile(s.dir.filePath("red.wav")).open(QIODevice::WriteOnly);
    QDir().mkpath(s.dir.filePath("settings"));
    QFile conf(s.dir.filePath("settings/Pregonal.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[programa1]\narchivo=" + s.dir.filePath("red.wav").toUtf8() + "\nhoras=09:00\n");
    conf.close();
    ScheduleRunner runner(s.engine, s.logger, s.log, s.clock);
    runner.start(SettingsStore(s.dir.filePath("settings")));
    s.source->setBusy(true);
    s.engine.sendOnce(); // the operator's message waits
    s.clock.advance(40000); // 09:00:10
    runner.scheduler().check();
    QCOMPARE(runner.scheduler().waiting(), 1);
    for (int i = 0; i < 70; ++i) { // the wait lasts till 09:01:20
        s.clock.advance(1000);
        runner.scheduler().check();
    }
    QCOMPARE(runner.scheduler().waiting(), 1);
    s.source->setBusy(false);
    s.pass(2000);
    s.pass(200);
    QCOMPARE(s.engine.state(), State::Playing);
    s.clock.advance(30000);
    runner.scheduler().check();
    s.audio.finishPlay();
    QTRY_COMPARE(s.audio.fileName(), s.dir.filePath("red.wav"));
    QCOMPARE(runner.scheduler().waiting(), 0);
    QVERIFY(s.engine.onAir());
}

QTEST_GUILESS_MAIN(TestChannelWait)
#include "tst_channelwait.moc"

// The station identifying itself on its own, on fakes and a clock the test moves: owed only after
// a transmission, never sooner than the interval after the last one, never cutting a play, in the
// pause of a loop, and logged as "identificación".
#include "clock.h"
#include "enginelogger.h"
#include "fakeaudiodevice.h"
#include "fakeidentification.h"
#include "fakeserialline.h"
#include "identdue.h"
#include "identrunner.h"
#include "keyinglines.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
using State = TransmissionEngine::State;
constexpr qint64 kMinute = 60000;
const QString kOwn = QStringLiteral("/tmp/aviso.wav");

struct Station
{
    QTemporaryDir dir;
    std::shared_ptr<QStringList> calls = std::make_shared<QStringList>();
    FakeAudioDevice audio{calls};
    FakeSerialLine serial{calls};
    ManualClock clock{QDateTime(QDate(2026, 3, 2), QTime(9, 0))};
    TransmissionEngine engine{audio, serial};
    TransmissionLog log{dir.path()};
    EngineLogger logger{engine, log, clock};
    FakeIdentification ident;
    IdentRunner runner{engine, logger, ident, clock};

    explicit Station(IdentSettings::Mode mode = IdentSettings::Mode::Cada)
    {
        log.setJournal(false);
        engine.setKeying(300, 100, KeyingLines(), 0);
        engine.Timer1().setInterval(100000); // pauses end when the test says
        audio.setFileName(kOwn);
        ident.values.identificacion = mode;
        ident.values.indicativo = QStringLiteral("EA1ABC");
        ident.values.identcadaMin = 10;
        calls->clear();
    }
    // The end of the play on the air, and what the event loop brings after it.
    void endPlay(qint64 ms = 5000)
    {
        clock.advance(ms);
        audio.finishPlay();
        QCoreApplication::processEvents();
    }
    bool identifying() const
    {
        return engine.state() == State::Playing && audio.openedName == ident.aloneFile;
    }
    // The log's origins, oldest first.
    QStringList origins() const
    {
        QStringList out;
        const QList<QStringList> latest = readLatestLog(dir.path(), 100);
        for (auto it = latest.crbegin(); it != latest.crend(); ++it)
            out << it->value(2) + QLatin1Char('|') + it->value(5);
        return out;
    }
};
} // namespace

class TestIdentRunner : public QObject
{
    Q_OBJECT
private slots:
    void due_data();
    void due();
    void notWithoutTransmitting();
    void afterTheTransmissionThenAtTheInterval();
    void inTheLoopsPauseNeverDuringAPlay();
    void notAfterStopNorInOtherModes_data();
    void notAfterStopNorInOtherModes();
    void refusalToldOnce();
    void waitsWhileHeld();
};

void TestIdentRunner::due_data()
{
    QTest::addColumn<qint64>("lastMs"); // -1: never identified
    QTest::addColumn<bool>("transmitted");
    QTest::addColumn<qint64>("nowMs");
    QTest::addColumn<bool>("due");
    QTest::addColumn<qint64>("waitMs");
    const qint64 i = 10 * kMinute;
    QTest::newRow("never identified, silent") << qint64(-1) << false << qint64(0) << false << qint64(0);
    QTest::newRow("never identified, transmitted") << qint64(-1) << true << qint64(0) << true << qint64(0);
    QTest::newRow("transmitted, interval not over") << qint64(0) << true << i - 1 << false << qint64(1);
    QTest::newRow("transmitted, interval just over") << qint64(0) << true << i << true << qint64(0);
    QTest::newRow("silent, interval long over") << qint64(0) << false << 10 * i << false << qint64(0);
    QTest::newRow("identified a minute ago") << 5 * i << true << 5 * i + kMinute << false << i - kMinute;
}

void TestIdentRunner::due()
{
    QFETCH(qint64, lastMs);
    QFETCH(bool, transmitted);
    QFETCH(qint64, nowMs);
    QFETCH(bool, due);
    QFETCH(qint64, waitMs);
    IdentDue d;
    if (lastMs >= 0)
        d.identified(lastMs);
    if (transmitted)
        d.transmitted();
    QCOMPARE(d.due(nowMs, 10 * kMinute), due);
    QCOMPARE(d.msUntil(nowMs, 10 * kMinute), waitMs);
}

void TestIdentRunner::notWithoutTransmitting()
{
    Station s;
    s.clock.advance(120 * kMinute);
    s.runner.check();
    QCoreApplication::processEvents();
    QCOMPARE(s.engine.state(), State::Idle);
    QVERIFY(s.calls->isEmpty());
}

void TestIdentRunner::afterTheTransmissionThenAtTheInterval()
{
    Station s;
    s.engine.sendOnce();
    s.endPlay();
    QVERIFY(s.identifying()); // the first transmission makes it owed at once
    const qint64 identifiedAt = s.clock.monotonicMs();
    QVERIFY(s.serial.dtr);
    s.endPlay(2000);
    QCOMPARE(s.engine.state(), State::Idle);
    QVERIFY(!s.serial.dtr);
    QCOMPARE(s.audio.fileName(), kOwn); // the operator's message is the device's again
    // Three minutes later another transmission: not owed again before ten minutes from the last.
    s.clock.advance(3 * kMinute);
    s.engine.sendOnce();
    s.endPlay();
    QCOMPARE(s.engine.state(), State::Idle);
    QVERIFY(s.runner.waiting());
    s.clock.advance(identifiedAt + 10 * kMinute - 1 - s.clock.monotonicMs());
    s.runner.check();
    QCOMPARE(s.engine.state(), State::Idle);
    s.clock.advance(1);
    s.runner.check(); // what the timer calls: the station said something since, so it identifies
    QVERIFY(s.identifying());
    s.endPlay(2000);
    // Nothing more without another transmission.
    s.clock.advance(60 * kMinute);
    s.runner.check();
    QCOMPARE(s.engine.state(), State::Idle);
    QCOMPARE(s.origins(), QStringList({"manual|completa", "identificación|completa", "manual|completa",
                                       "identificación|completa"}));
}

void TestIdentRunner::inTheLoopsPauseNeverDuringAPlay()
{
    Station s;
    s.engine.sendLoop();
    s.endPlay();
    QVERIFY(s.identifying()); // in the pause
    QVERIFY(s.engine.sendingFile());
    s.endPlay(2000);
    QCOMPARE(s.engine.state(), State::Pausing);
    s.engine.Timer1_Timer();
    QCOMPARE(s.audio.openedName, kOwn);
    // Due while the loop's message plays: it waits for the play's end.
    s.clock.advance(11 * kMinute);
    s.runner.check();
    QCOMPARE(s.audio.openedName, kOwn);
    QVERIFY(s.audio.playing);
    s.endPlay();
    QVERIFY(s.identifying());
    s.endPlay(2000);
    QCOMPARE(s.engine.state(), State::Pausing);
    s.engine.stop();
    QVERIFY(!s.serial.dtr);
}

void TestIdentRunner::notAfterStopNorInOtherModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("stop");
    QTest::newRow("cada, stopped") << int(IdentSettings::Mode::Cada) << true;
    QTest::newRow("final") << int(IdentSettings::Mode::Final) << false;
    QTest::newRow("no") << int(IdentSettings::Mode::No) << false;
}

// Stop means silence: nothing keys again on its own right after it.
void TestIdentRunner::notAfterStopNorInOtherModes()
{
    QFETCH(int, mode);
    QFETCH(bool, stop);
    Station s{IdentSettings::Mode(mode)};
    s.engine.sendOnce();
    if (stop)
        s.engine.stop();
    else
        s.endPlay();
    QCoreApplication::processEvents();
    QCOMPARE(s.engine.state(), State::Idle);
    QVERIFY(!s.serial.dtr);
    QVERIFY(!s.runner.waiting());
}

void TestIdentRunner::refusalToldOnce()
{
    Station s;
    QSignalSpy failed(&s.runner, &IdentRunner::failed);
    s.ident.refusal = QStringLiteral("no hay ningún indicativo");
    s.engine.sendOnce();
    s.endPlay();
    QCOMPARE(s.engine.state(), State::Idle);
    QCOMPARE(failed.size(), 1);
    s.runner.check();
    QCOMPARE(failed.size(), 1);
    QVERIFY(!s.serial.dtr);
}

// While a recording or a test has the devices, the identification owed waits for them.
void TestIdentRunner::waitsWhileHeld()
{
    Station s;
    bool held = false;
    s.runner.setHeld([&held] { return held; });
    s.engine.sendOnce();
    held = true;
    s.endPlay();
    QCOMPARE(s.engine.state(), State::Idle);
    QVERIFY(s.runner.waiting());
    held = false;
    s.runner.check();
    QVERIFY(s.identifying());
}

QTEST_GUILESS_MAIN(TestIdentRunner)
#include "tst_identrunner.moc"

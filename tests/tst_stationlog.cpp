// The log of what the engine does and the schedule driving it, on fakes and a clock the test
// moves: one line per transmission with its origin, time on the air and ending; slots sent once
// through the engine, waiting for a play, inserted in a loop's pause, skipped when held too long.
#include "clock.h"
#include "enginelogger.h"
#include "fakeaudiodevice.h"
#include "fakeserialline.h"
#include "keyinglines.h"
#include "schedulememory.h"
#include "schedulerunner.h"
#include "sendqueue.h"
#include "settingsstore.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QString kOwn = QStringLiteral("/tmp/aviso.wav");

struct Station
{
    QTemporaryDir dir;
    std::shared_ptr<QStringList> calls = std::make_shared<QStringList>();
    FakeAudioDevice audio{calls};
    FakeSerialLine serial{calls};
    ManualClock clock{QDateTime(QDate(2026, 3, 2), QTime(8, 59, 30))};
    TransmissionEngine engine{audio, serial};
    TransmissionLog log{dir.path()};
    std::unique_ptr<EngineLogger> logger = std::make_unique<EngineLogger>(engine, log, clock);

    Station()
    {
        log.setJournal(false);
        engine.setKeying(300, 100, KeyingLines(), 0);
        engine.Timer1().setInterval(100000); // pauses end when the test says
        audio.setFileName(kOwn);
    }
    // The lines so far, oldest first, each as origen, segundos, resultado, archivo.
    QStringList lines() const
    {
        QStringList out;
        const QList<QStringList> latest = readLatestLog(dir.path(), 100);
        for (auto it = latest.crbegin(); it != latest.crend(); ++it)
            out << QStringList{it->value(2), it->value(4), it->value(5), it->value(3)}.join(QLatin1Char('|'));
        return out;
    }
    QString detail(int fromEnd = 0) const { return readLatestLog(dir.path(), 10).value(fromEnd).value(6); }
    void play(qint64 ms)
    {
        clock.advance(ms);
        audio.finishPlay();
    }
    // Writes the settings, each "/tmp/" of them a folder of this station where the messages are.
    void writeSettings(QByteArray text)
    {
        for (const char *name : {"mercado.wav", "red.wav", "mal.wav"})
            QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        text.replace("/tmp/", dir.path().toUtf8() + '/');
        QFile file(dir.path() + QStringLiteral("/settings/Pregonal.conf"));
        QDir().mkpath(dir.path() + QStringLiteral("/settings"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};
} // namespace

class TestStationLog : public QObject
{
    Q_OBJECT
private slots:
    void oneLinePerTransmission_data();
    void oneLinePerTransmission();
    void failureDetailLeadsWithTheCause_data();
    void failureDetailLeadsWithTheCause();
    void slotInThePauseHasItsOwnLine();
    void crashInTheLoopsPauseLeavesBothLines();
    void programEndsMidPlay();
    void scheduleSendsThroughTheEngine();
    void slotWaitsForWhatHoldsTheSound();
    void restartDoesNotRepeatASlot();
    void handledSlotsFromTheLog_data();
    void handledSlotsFromTheLog();
    void handedOverWaitsForItsTurn_data();
    void handedOverWaitsForItsTurn();
    void handedOverWithdrawn_data();
    void handedOverWithdrawn();
};

void TestStationLog::oneLinePerTransmission_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("level"); // what the device tells of its plays
    const QString level = QStringLiteral("Sonoridad -31,0 LUFS; ganancia +8,0 dB.");
    QTest::newRow("once, whole") << "once"
                                 << "manual|5,0|completa|/tmp/aviso.wav"
                                 << ""
                                 << "";
    QTest::newRow("once, whole, level on") << "once"
                                           << "manual|5,0|completa|/tmp/aviso.wav" << level << level;
    QTest::newRow("loop, level on") << "loop"
                                    << "bucle|10,0|detenida|/tmp/aviso.wav" << level << level;
    QTest::newRow("stopped before its end, level on") << "stop"
                                                      << "manual|2,0|detenida|/tmp/aviso.wav"
                                                      << "" << level;
    QTest::newRow("sound fails, level on") << "sound"
                                           << "manual|2,0|fallo|/tmp/aviso.wav"
                                           << "No se ha podido reproducir el mensaje" << level;
    QTest::newRow("loop of two, stopped in the pause") << "loop"
                                                       << "bucle|10,0|detenida|/tmp/aviso.wav"
                                                       << ""
                                                       << "";
    QTest::newRow("once, stopped") << "stop"
                                   << "manual|2,0|detenida|/tmp/aviso.wav"
                                   << ""
                                   << "";
    QTest::newRow("port busy") << "port"
                               << "manual|0,0|fallo|/tmp/aviso.wav"
                               << "Puerto ocupado. No se puede enviar el mensaje"
                               << "";
    QTest::newRow("message unreadable") << "unreadable"
                                        << "manual|0,0|fallo|/tmp/aviso.wav"
                                        << "No hay sonido. No se puede enviar el mensaje"
                                        << "";
    QTest::newRow("sound fails") << "sound"
                                 << "manual|2,0|fallo|/tmp/aviso.wav"
                                 << "No se ha podido reproducir el mensaje"
                                 << "";
    QTest::newRow("guard") << "guard"
                           << "manual|7,4|cortada por seguridad|/tmp/aviso.wav"
                           << "La transmisión se ha cortado por seguridad"
                           << "";
}

void TestStationLog::oneLinePerTransmission()
{
    QFETCH(QString, what);
    QFETCH(QString, line);
    QFETCH(QString, detail);
    QFETCH(QString, level);
    Station s;
    s.audio.levelNoteText = level;
    QSignalSpy written(s.logger.get(), &EngineLogger::written);
    s.serial.failOpen = what == "port";
    if (what == "unreadable")
        s.audio.failOn << QStringLiteral("checkplayable");
    s.logger->expect(what == "loop" ? LogOrigin::Bucle : LogOrigin::Manual, 0, kOwn);
    what == "loop" ? s.engine.sendLoop() : s.engine.sendOnce();
    if (what == "once") {
        s.play(5000);
    } else if (what == "loop") {
        s.play(5000);
        s.clock.advance(20000); // the pause is not on the air
        s.engine.Timer1_Timer();
        s.play(5000);
        s.engine.stop();
    } else if (what == "stop") {
        s.clock.advance(2000);
        s.engine.stop();
    } else if (what == "sound") {
        s.clock.advance(2000);
        s.audio.finishPlay(AudioDevice::Failure);
    } else if (what == "guard") {
        s.clock.advance(7400);
        s.engine.guardTimeout();
    }
    QCOMPARE(s.lines(), QStringList{line});
    QVERIFY2(detail.isEmpty() ? s.detail().isEmpty() : s.detail().startsWith(detail), qPrintable(s.detail()));
    // The level goes only to a line whose message was heard whole.
    QCOMPARE(s.detail().endsWith(level) && !level.isEmpty(), detail.endsWith(level) && !level.isEmpty());
    QCOMPARE(written.size(), 1);
    QVERIFY(s.log.lastError().isEmpty());
}

void TestStationLog::failureDetailLeadsWithTheCause_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("detail");
    const QString m = QStringLiteral("No se puede enviar el mensaje.");
    QTest::newRow("no cause") << "" << m;
    QTest::newRow("blank cause") << "  " << m;
    QTest::newRow("a sentence") << "No se encuentra el archivo del mensaje «/tmp/a.wav»."
                                << "No se encuentra el archivo del mensaje «/tmp/a.wav». " + m;
    QTest::newRow("lower case, no stop") << "el dispositivo /dev/ttyUSB0 ya está abierto"
                                         << "El dispositivo /dev/ttyUSB0 ya está abierto. " + m;
    QTest::newRow("accented") << "éste falla" << "Éste falla. " + m;
    QTest::newRow("starts with a path") << "«/tmp/d» es una carpeta, no un archivo de sonido."
                                        << "«/tmp/d» es una carpeta, no un archivo de sonido. " + m;
    QTest::newRow("ends with a quote") << "falta «x»" << "Falta «x». " + m;
    QTest::newRow("question") << "¿está conectado?" << "¿está conectado? " + m;
}

void TestStationLog::failureDetailLeadsWithTheCause()
{
    QFETCH(QString, cause);
    QFETCH(QString, detail);
    QCOMPARE(EngineLogger::failureDetail(QStringLiteral("No se puede enviar el mensaje."), cause), detail);
}

// A scheduled message in the pause of a loop: its own line, its own time on the air; the loop's
// line comes when the loop ends and counts only its own plays.
void TestStationLog::slotInThePauseHasItsOwnLine()
{
    Station s;
    s.logger->expect(LogOrigin::Bucle, 0, kOwn);
    s.engine.sendLoop();
    s.play(5000);
    s.clock.advance(3000);
    s.logger->expect(LogOrigin::Programa, 3, QStringLiteral("/tmp/mercado.wav"));
    QVERIFY(s.engine.sendFile(QStringLiteral("/tmp/mercado.wav")));
    s.play(1500);
    QCOMPARE(s.lines(), QStringList{"programa 3|1,5|completa|/tmp/mercado.wav"});
    s.clock.advance(4000);
    s.engine.Timer1_Timer();
    s.play(5000);
    s.engine.stop();
    QCOMPARE(s.lines(),
             (QStringList{"programa 3|1,5|completa|/tmp/mercado.wav", "bucle|10,0|detenida|/tmp/aviso.wav"}));

    // A scheduled message refused in the pause: a "fallo" line of its own, the loop goes on.
    s.logger->expect(LogOrigin::Bucle, 0, kOwn);
    s.engine.sendLoop();
    s.play(5000);
    s.audio.failOn << QStringLiteral("checkplayable");
    s.logger->expect(LogOrigin::Programa, 4, QStringLiteral("/tmp/falta.wav"));
    QVERIFY(!s.engine.sendFile(QStringLiteral("/tmp/falta.wav")));
    s.audio.failOn.clear();
    QCOMPARE(s.lines().last(), QStringLiteral("programa 4|0,0|fallo|/tmp/falta.wav"));
    QCOMPARE(s.engine.state(), TransmissionEngine::State::Pausing);
    s.engine.stop();
    QCOMPARE(s.lines().last(), QStringLiteral("bucle|5,0|detenida|/tmp/aviso.wav"));
}

// The program dies while a slot plays in the pause of a loop: the next start writes a line for
// each, the loop's with its own start.
void TestStationLog::crashInTheLoopsPauseLeavesBothLines()
{
    Station s;
    s.logger->expect(LogOrigin::Bucle, 0, kOwn);
    s.engine.sendLoop();
    s.play(5000);
    s.clock.advance(3000);
    s.logger->expect(LogOrigin::Programa, 3, QStringLiteral("/tmp/mercado.wav"));
    QVERIFY(s.engine.sendFile(QStringLiteral("/tmp/mercado.wav")));
    // As a process that is gone leaves its note.
    const QString note = s.dir.filePath(QStringLiteral("en_curso.%1").arg(QCoreApplication::applicationPid()));
    QVERIFY(QFile::rename(note, s.dir.filePath(QStringLiteral("en_curso"))));
    TransmissionLog next(s.dir.path());
    next.setJournal(false);
    QVERIFY(next.recoverInterrupted());
    const QStringList lines = s.lines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith(QStringLiteral("bucle|")) && lines.at(0).endsWith("|interrumpida|/tmp/aviso.wav"),
             qPrintable(lines.join(' ')));
    QVERIFY2(lines.at(1).startsWith(QStringLiteral("programa 3|")) &&
                 lines.at(1).endsWith("|interrumpida|/tmp/mercado.wav"),
             qPrintable(lines.join(' ')));
    QCOMPARE(QDateTime::fromString(readLatestLog(s.dir.path(), 2).value(1).value(0), Qt::ISODateWithMs),
             s.clock.now().addMSecs(-8000));
}

// The program ends (a signal, a logout) while on the air: the line says stopped, and nothing is
// left for the next start-up to call interrupted.
void TestStationLog::programEndsMidPlay()
{
    Station s;
    s.logger->expect(LogOrigin::Manual, 0, kOwn);
    s.engine.sendOnce();
    s.clock.advance(1200);
    s.logger.reset();
    s.engine.release();
    QCOMPARE(s.lines(), QStringList{"manual|1,2|detenida|/tmp/aviso.wav"});
    TransmissionLog again(s.dir.path());
    QVERIFY(!again.recoverInterrupted());
}

void TestStationLog::scheduleSendsThroughTheEngine()
{
    Station s;
    s.writeSettings("[programa1]\narchivo=/tmp/mercado.wav\nhoras=09:00\n"
                    "[programa2]\narchivo=/tmp/red.wav\nhoras=09:00\n"
                    "[programa5]\narchivo=/tmp/mal.wav\nhoras=25:00\n");
    ScheduleRunner runner(s.engine, *s.logger, s.log, s.clock);
    runner.start(SettingsStore(s.dir.path() + QStringLiteral("/settings")));
    QCOMPARE(s.lines(), QStringList{"programa 5|0,0|omitida|"});
    QVERIFY(s.detail().startsWith(QStringLiteral("programa5:")));
    s.calls->clear();

    // 09:00: the first entry goes out; the second waits for it and follows at once.
    s.clock.advance(30000);
    runner.scheduler().check();
    QCOMPARE(s.audio.fileName(), s.dir.filePath("mercado.wav"));
    QCOMPARE(s.engine.state(), TransmissionEngine::State::Playing);
    s.play(4000);
    QCOMPARE(s.audio.fileName(), kOwn);
    QTRY_COMPARE(s.audio.fileName(), s.dir.filePath("red.wav"));
    s.play(2000);
    QCOMPARE(s.lines().mid(1), (QStringList{"programa 1|4,0|completa|" + s.dir.filePath("mercado.wav"),
                                            "programa 2|2,0|completa|" + s.dir.filePath("red.wav")}));
    QCOMPARE(s.audio.fileName(), kOwn);
    QVERIFY(!s.serial.dtr && !s.serial.portOpen());
    QCOMPARE(s.calls->count(QStringLiteral("play")), 2);
}

// A recording or a test transmission holds the sound: the slot waits, goes out when it is free,
// and is skipped (with its line) when held more than a minute.
void TestStationLog::slotWaitsForWhatHoldsTheSound()
{
    Station s;
    s.writeSettings("[programa1]\narchivo=/tmp/mercado.wav\nhoras=09:00, 09:10\n");
    ScheduleRunner runner(s.engine, *s.logger, s.log, s.clock);
    runner.start(SettingsStore(s.dir.path() + QStringLiteral("/settings")));
    runner.hold(true);
    s.clock.advance(40000);
    runner.scheduler().check();
    QCOMPARE(runner.scheduler().waiting(), 1);
    QCOMPARE(s.engine.state(), TransmissionEngine::State::Idle);
    runner.hold(false);
    QCOMPARE(s.engine.state(), TransmissionEngine::State::Playing);
    s.play(3000);

    runner.hold(true);
    s.clock.advance(10 * 60 * 1000);
    runner.scheduler().check();
    s.clock.advance(61000);
    runner.scheduler().check();
    runner.hold(false);
    QCOMPARE(s.engine.state(), TransmissionEngine::State::Idle);
    QCOMPARE(s.lines(), (QStringList{"programa 1|3,0|completa|" + s.dir.filePath("mercado.wav"),
                                     "programa 1|0,0|omitida|" + s.dir.filePath("mercado.wav")}));
}

// Stopped 4 s after a slot went out and started again (a service restart): the slot is neither
// sent again nor reported missed, not even when the clock is then stepped back over it.
void TestStationLog::restartDoesNotRepeatASlot()
{
    Station s;
    const QString message = s.dir.filePath(QStringLiteral("mercado.wav"));
    s.writeSettings("[programa1]\narchivo=/tmp/mercado.wav\nhoras=09:00, 09:10\n");
    const SettingsStore store(s.dir.path() + QStringLiteral("/settings"));
    auto runner = std::make_unique<ScheduleRunner>(s.engine, *s.logger, s.log, s.clock);
    runner->start(store);
    s.clock.advance(30000);
    runner->scheduler().check();
    s.play(3000);
    s.clock.advance(4000);
    runner.reset();

    runner = std::make_unique<ScheduleRunner>(s.engine, *s.logger, s.log, s.clock);
    runner->start(store);
    s.clock.setNow(s.clock.now().addSecs(-120));
    for (int i = 0; i < 150; ++i) {
        s.clock.advance(1000);
        runner->scheduler().check();
    }
    QCOMPARE(s.engine.state(), TransmissionEngine::State::Idle);
    QCOMPARE(s.lines(), QStringList{"programa 1|3,0|completa|" + message});
    QCOMPARE(runner->scheduler().nextSlotTime(), QDateTime(QDate(2026, 3, 2), QTime(9, 10)));
}

void TestStationLog::handledSlotsFromTheLog_data()
{
    QTest::addColumn<QStringList>("line");     // inicio, fin, origen, resultado
    QTest::addColumn<QStringList>("expected"); // slots of entry 2, HH:mm:ss
    QTest::newRow("sent on time") << QStringList{"09:00:00.120", "09:00:05", "programa 2", "completa"}
                                  << QStringList{"09:00:00"};
    QTest::newRow("sent after waiting for a play")
        << QStringList{"09:00:58.000", "09:01:30", "programa 2", "detenida"} << QStringList{"09:00:00"};
    QTest::newRow("started too late to be a slot's")
        << QStringList{"09:01:02.000", "09:01:30", "programa 2", "fallo"} << QStringList{};
    QTest::newRow("interrupted") << QStringList{"09:30:00.050", "09:30:02", "programa 2", "interrumpida"}
                                 << QStringList{"09:30:00"};
    QTest::newRow("run of missed slots")
        << QStringList{"09:00:00.000", "10:00:00.000", "programa 2", "perdida"}
        << QStringList{"09:00:00", "09:30:00", "10:00:00"};
    QTest::newRow("skipped") << QStringList{"09:30:00.000", "09:31:00.500", "programa 2", "omitida"}
                             << QStringList{"09:30:00"};
    QTest::newRow("another entry") << QStringList{"09:00:00.100", "09:00:05", "programa 3", "completa"}
                                   << QStringList{};
    QTest::newRow("the operator's") << QStringList{"09:00:00.100", "09:00:05", "manual", "completa"}
                                    << QStringList{};
    QTest::newRow("no time") << QStringList{"", "09:00:05", "programa 2", "completa"} << QStringList{};
}

// Which slots of an entry sent every 30 minutes a log line accounts for.
void TestStationLog::handledSlotsFromTheLog()
{
    QFETCH(QStringList, line);
    QFETCH(QStringList, expected);
    const QTimeZone utc = QTimeZone::utc();
    const auto time = [](const QString &t) { return t.isEmpty() ? t : "2026-03-02T" + t + "Z"; };
    ScheduleEntry entry;
    entry.number = 2;
    entry.cada = 30;
    const QStringList fields{
        time(line.at(0)), time(line.at(1)), line.at(2), "/tmp/a.wav", "0,0", line.at(3), ""};
    const SentSlots handled = handledSlots({fields}, {entry}, utc);
    QStringList found;
    for (const qint64 ms : handled.value(2))
        found << QDateTime::fromMSecsSinceEpoch(ms, utc).toString(QStringLiteral("HH:mm:ss"));
    found.sort();
    QCOMPARE(found, expected);
    QVERIFY(handled.value(3).isEmpty());
}

QTEST_GUILESS_MAIN(TestStationLog)
#include "tst_stationlog.moc"

// A message handed over by another program never cuts a play: one play goes in the pause of a
// loop, several only once the station is idle. Each ends with its id and its line; the station's
// own message and pause are as they were.
void TestStationLog::handedOverWaitsForItsTurn_data()
{
    QTest::addColumn<QString>("running"); // "", "once", "loop"
    QTest::addColumn<int>("times");
    QTest::addColumn<int>("ownPlays"); // plays of the station's own before the handed one is on
    QTest::addColumn<bool>("stopLoop"); // the loop has to be stopped before it goes
    QTest::addColumn<QString>("line");
    QTest::newRow("idle") << "" << 1 << 0 << false << "línea de órdenes|1,0|completa|/tmp/red.wav";
    QTest::newRow("over a play: after it") << "once" << 1 << 1 << false
                                           << "línea de órdenes|1,0|completa|/tmp/red.wav";
    QTest::newRow("in a loop: in its pause") << "loop" << 1 << 1 << false
                                             << "línea de órdenes|1,0|completa|/tmp/red.wav";
    QTest::newRow("three times, in a loop: once it stops") << "loop" << 3 << 1 << true
                                                           << "línea de órdenes|3,0|completa|/tmp/red.wav";
    QTest::newRow("three times, idle") << "" << 3 << 0 << false << "línea de órdenes|3,0|completa|/tmp/red.wav";
}

void TestStationLog::handedOverWaitsForItsTurn()
{
    QFETCH(QString, running);
    QFETCH(int, times);
    QFETCH(int, ownPlays);
    QFETCH(bool, stopLoop);
    QFETCH(QString, line);
    const QString red = QStringLiteral("/tmp/red.wav");
    Station s;
    ScheduleRunner runner(s.engine, *s.logger, s.log, s.clock);
    SendQueue queue(s.engine, *s.logger, runner);
    QSignalSpy ended(&queue, &SendQueue::ended);
    if (running == QLatin1String("once"))
        s.engine.sendOnce();
    else if (running == QLatin1String("loop"))
        s.engine.sendLoop();
    const quint32 id = queue.add({red, times, 2});
    QVERIFY(id != 0);
    QVERIFY(queue.add({red, 1, 0}) != id);
    QCoreApplication::processEvents();
    for (int i = 0; i < ownPlays; ++i) {
        QCOMPARE(s.audio.fileName(), kOwn); // never over the play on the air
        s.play(5000);
    }
    if (stopLoop) {
        QTest::qWait(10);
        QCOMPARE(s.audio.fileName(), kOwn);
        s.engine.stop();
    }
    QTRY_COMPARE(s.audio.fileName(), red);
    for (int i = 0; i < times; ++i) {
        if (i > 0)
            s.engine.Timer1_Timer();
        QCOMPARE(s.engine.state(), TransmissionEngine::State::Playing);
        s.play(1000);
    }
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<quint32>(), id);
    QVERIFY(s.lines().contains(line));
    if (times > 1) {
        QCOMPARE(s.engine.state(), TransmissionEngine::State::Idle); // ended after its plays
        QCOMPARE(s.engine.Timer1().interval(), 100000);
    }
    if (running != QLatin1String("loop") || stopLoop) { // the second goes out after the first
        QTRY_COMPARE(s.engine.state(), TransmissionEngine::State::Playing);
        QCOMPARE(s.audio.fileName(), red);
        s.play(1000);
        QCOMPARE(ended.size(), 2);
        QVERIFY(ended.at(1).at(0).value<quint32>() != id);
    }
    QTRY_COMPARE(s.audio.fileName(), kOwn);
}

// A message withdrawn while it waits never goes out later; one on the air is stopped, with its
// line; one that has ended cannot be withdrawn.
void TestStationLog::handedOverWithdrawn_data()
{
    QTest::addColumn<QString>("when"); // "waiting", "on the air", "ended"
    QTest::addColumn<bool>("withdrawn");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("waiting") << "waiting" << true << QStringList{"manual|5,0|completa|/tmp/aviso.wav"};
    QTest::newRow("on the air") << "on the air" << true
                                << QStringList{"línea de órdenes|0,5|detenida|/tmp/red.wav"};
    QTest::newRow("ended") << "ended" << false << QStringList{"línea de órdenes|1,0|completa|/tmp/red.wav"};
}

void TestStationLog::handedOverWithdrawn()
{
    QFETCH(QString, when);
    QFETCH(bool, withdrawn);
    QFETCH(QStringList, lines);
    Station s;
    ScheduleRunner runner(s.engine, *s.logger, s.log, s.clock);
    SendQueue queue(s.engine, *s.logger, runner);
    QSignalSpy ended(&queue, &SendQueue::ended);
    if (when == QLatin1String("waiting")) {
        s.logger->expect(LogOrigin::Manual, 0, kOwn);
        s.engine.sendOnce();
    }
    const quint32 id = queue.add({QStringLiteral("/tmp/red.wav"), 1, 0});
    QCoreApplication::processEvents();
    if (when == QLatin1String("on the air"))
        s.clock.advance(500);
    if (when == QLatin1String("ended"))
        s.play(1000);
    QCOMPARE(queue.cancel(id), withdrawn);
    if (when == QLatin1String("waiting"))
        s.play(5000);
    QTest::qWait(10);
    QCOMPARE(s.engine.state(), TransmissionEngine::State::Idle);
    QCOMPARE(s.lines(), lines);
    QCOMPARE(ended.size(), when == QLatin1String("waiting") ? 0 : 1);
    QVERIFY(!queue.cancel(id));
}

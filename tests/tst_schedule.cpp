// The scheduled broadcasts: the "programaN" groups read tolerantly and written back, the slot
// calculator (times of day, every N minutes, days, first and last dates, midnight, both daylight-
// saving changes of Europe/Madrid) and the scheduler against a clock the test moves, sending
// through a target that records what it was asked.
#include "programvalues.h"
#include "scheduleentry.h"
#include "scheduler.h"
#include "settingsstore.h"
#include "slotcalculator.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QTimeZone kMadrid("Europe/Madrid");

QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate);
}

ScheduleEntry entryOf(int number, const QString &horas, int cada = 0, const QString &dias = QString())
{
    ScheduleEntry e;
    e.number = number;
    e.archivo = QStringLiteral("/srv/m%1.wav").arg(number);
    parseHoras(horas, &e.horas);
    e.cada = cada;
    parseDias(dias, &e.dias);
    return e;
}

// Records what the scheduler asks; busy from each send until the test ends it.
class FakeTarget : public ScheduleTarget
{
public:
    bool busy = false;
    bool accept = true;
    int overlaps = 0;
    QList<int> sent;
    bool busyPlaying() const override { return busy; }
    bool sendScheduled(const ScheduleEntry &entry) override
    {
        overlaps += busy;
        sent << entry.number;
        busy = accept;
        return accept;
    }
};

// Lets time pass in steps of the scheduler's own longest sleep, checking as its timer would.
// With endPlays, each transmission the target was given ends within the step.
void run(ManualClock &clock, Scheduler &scheduler, qint64 ms, FakeTarget *endPlays = nullptr)
{
    for (qint64 done = 0; done < ms; done += Scheduler::MaxCheckMs) {
        clock.advance(qMin<qint64>(Scheduler::MaxCheckMs, ms - done));
        scheduler.check();
        if (endPlays && endPlays->busy) {
            endPlays->busy = false;
            scheduler.transmissionEnded();
        }
    }
}

void writeConf(const SettingsStore &store, const QByteArray &text)
{
    QFile file(store.location(kApplication));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}
} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void storeSectionsAndLists();
    void entriesRead_data();
    void entriesRead();
    void entriesWrittenBack();
    void messageNames_data();
    void messageNames();
    void messagesCheckedOnLoad_data();
    void messagesCheckedOnLoad();
    void nextSlot_data();
    void nextSlot();
    void scan_data();
    void scan();
    void sendsOnceAtItsTime();
    void waitsForPlayThenSkips_data();
    void waitsForPlayThenSkips();
    void neverTwoAtOnce();
    void clockJumps();
    void daylightSavingChanges_data();
    void daylightSavingChanges();
    void startedAfterASlot_data();
    void startedAfterASlot();
    void missedWhileNotRunning();
};

void TestSchedule::initTestCase()
{
    QVERIFY2(kMadrid.isValid(), "the zone database has no Europe/Madrid");
}

// A hand-written list without quotes reaches the reader as text; sections are listed and removed.
void TestSchedule::storeSectionsAndLists()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.sections(kApplication).isEmpty());
    writeConf(store, "[conf]\npuerto=3\n[programa2]\nhoras=09:00,13:30\n[programa1]\ndias=\"L,M\"\n");
    QCOMPARE(store.sections(kApplication), QStringList({"conf", "programa1", "programa2"}));
    QCOMPARE(store.read(kApplication, "programa2", "horas", "-"), QStringLiteral("09:00, 13:30"));
    QCOMPARE(store.read(kApplication, "programa1", "dias", "-"), QStringLiteral("L,M"));
    QVERIFY(store.removeSection(kApplication, "programa2"));
    QCOMPARE(store.sections(kApplication), QStringList({"conf", "programa1"}));
    QCOMPARE(store.read(kApplication, "conf", "puerto", "-"), QStringLiteral("3"));
}

void TestSchedule::entriesRead_data()
{
    QTest::addColumn<QByteArray>("group"); // the keys of [programa3]
    QTest::addColumn<QString>("problem");  // empty: it runs
    QTest::addColumn<QString>("horas");
    QTest::addColumn<int>("cada");
    QTest::addColumn<QString>("dias");
    const QByteArray f = "archivo=/srv/aviso.wav\n";
    QTest::newRow("times unquoted") << f + "horas=13:30, 9:00,13:30\n"
                                    << ""
                                    << "09:00,13:30" << 0 << "L,M,X,J,V,S,D";
    QTest::newRow("times quoted, days") << f + "horas=\"09:00,13:30\"\ndias=l, m,X\n"
                                        << ""
                                        << "09:00,13:30" << 0 << "L,M,X";
    QTest::newRow("every, days run together") << f + "cada=10\ndias=SD\n"
                                              << ""
                                              << "" << 10 << "S,D";
    QTest::newRow("every, whole day") << f + "cada=1440\nactivo=0\n"
                                      << ""
                                      << "" << 1440 << "L,M,X,J,V,S,D";
    QTest::newRow("hour 25") << f + "horas=09:00,25:00\n"
                             << "programa3: la hora «25:00» no es válida (escríbala como HH:MM)"
                             << "" << 0 << "";
    QTest::newRow("minute 60") << f + "horas=10:60\n"
                               << "programa3: la hora «10:60» no es válida (escríbala como HH:MM)"
                               << "" << 0 << "";
    QTest::newRow("both") << f + "horas=09:00\ncada=5\n"
                          << "programa3: lleva «horas» y «cada»; debe llevar solo uno de los dos"
                          << "" << 0 << "";
    QTest::newRow("neither") << f + "dias=L\n"
                             << "programa3: falta «horas» o «cada»"
                             << "" << 0 << "";
    for (const char *bad : {"0", "1441", "5.5", "+5", "diez"})
        QTest::addRow("every %s", bad)
            << f + "cada=" + bad + "\n"
            << QStringLiteral("programa3: «cada» debe ser un número de minutos de 1 a 1440, no «%1»").arg(bad)
            << "" << 0 << "";
    QTest::newRow("day") << f + "cada=5\ndias=L,Q\n"
                         << "programa3: el día «Q» no es válido (use L, M, X, J, V, S o D)"
                         << "" << 0 << "";
    QTest::newRow("date") << f + "cada=5\ndesde=2026-02-30\n"
                          << "programa3: la fecha «2026-02-30» de «desde» no es válida (escríbala como "
                             "AAAA-MM-DD)"
                          << "" << 0 << "";
    QTest::newRow("dates crossed") << f + "cada=5\ndesde=2026-05-02\nhasta=2026-05-01\n"
                                   << "programa3: «desde» (2026-05-02) es posterior a «hasta» (2026-05-01)"
                                   << "" << 0 << "";
    QTest::newRow("active unclear") << f + "cada=5\nactivo=quizá\n"
                                    << "programa3: «activo» debe ser 1 o 0, no «quizá»"
                                    << "" << 0 << "";
    QTest::newRow("no message") << QByteArray("cada=5\n")
                                << "programa3: falta el mensaje que enviar («archivo»)"
                                << "" << 0 << "";
}

// One bad group is told by name and the good ones around it still run.
void TestSchedule::entriesRead()
{
    QFETCH(QByteArray, group);
    QFETCH(QString, problem);
    QFETCH(QString, horas);
    QFETCH(int, cada);
    QFETCH(QString, dias);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    writeConf(store, "[conf]\nintervalo=5\n[programa1]\narchivo=/srv/a.wav\nhoras=08:00\n"
                     "[programa3]\n" +
                         group + "[programa10]\narchivo=/srv/b.wav\ncada=30\n");
    const ScheduleReading reading = readSchedule(store);
    QList<int> numbers;
    for (const ScheduleEntry &e : reading.entries)
        numbers << e.number;
    if (!problem.isEmpty()) {
        QCOMPARE(reading.problems, QStringList{problem});
        QCOMPARE(numbers, QList<int>({1, 10}));
        return;
    }
    QVERIFY2(reading.problems.isEmpty(), qPrintable(reading.problems.join('\n')));
    QCOMPARE(numbers, QList<int>({1, 3, 10}));
    const ScheduleEntry &e = reading.entries.at(1);
    QCOMPARE(e.archivo, QStringLiteral("/srv/aviso.wav"));
    QCOMPARE(horasText(e.horas), horas);
    QCOMPARE(e.cada, cada);
    QCOMPARE(diasText(e.dias), dias);
}

// "Aceptar" replaces every programaN group (bad ones included) and leaves the rest alone.
void TestSchedule::entriesWrittenBack()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    writeConf(store, "[conf]\nintervalo=5\n[programa7]\ncada=99999\n[programaX]\ncada=1\n");
    QCOMPARE(readSchedule(store).problems.size(), 2);
    ScheduleEntry a = entryOf(4, "07:15,19:45", 0, "L,X,V");
    a.desde = QDate(2026, 1, 1);
    a.hasta = QDate(2026, 12, 31);
    a.archivo = QStringLiteral("/srv/con, coma;y \"comillas\".wav");
    ScheduleEntry b = entryOf(4, QString(), 15); // its number is taken: it gets the lowest free one
    b.activo = false;
    ScheduleEntry c = entryOf(0, "12:00");
    QVERIFY(writeSchedule(store, {a, b, c}));
    b.number = 1;
    c.number = 2;
    const ScheduleReading reading = readSchedule(store);
    QVERIFY2(reading.problems.isEmpty(), qPrintable(reading.problems.join('\n')));
    QCOMPARE(reading.entries, (QList<ScheduleEntry>{b, c, a}));
    QCOMPARE(store.sections(kApplication), QStringList({"conf", "programa1", "programa2", "programa4"}));
    QCOMPARE(store.read(kApplication, "conf", "intervalo", "-"), QStringLiteral("5"));
}

void TestSchedule::messageNames_data()
{
    QTest::addColumn<bool>("byHand"); // written in the file as is, or stored by the program
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("read");
    QTest::newRow("comma, by hand") << true << QByteArray("/srv/c,d.wav") << "/srv/c,d.wav";
    QTest::newRow("comma and blank, by hand") << true << QByteArray("/srv/c, d.wav") << "/srv/c, d.wav";
    QTest::newRow("two commas, by hand") << true << QByteArray("/srv/a,b ,c.wav") << "/srv/a,b ,c.wav";
    QTest::newRow("semicolon, by hand") << true << QByteArray("/srv/a;b.wav") << "/srv/a;b.wav";
    QTest::newRow("quoted, by hand") << true << QByteArray("\"/srv/c,d;e.wav\"") << "/srv/c,d;e.wav";
    QTest::newRow("comment after a blank")
        << true << QByteArray("/srv/a.wav ; el de la mañana") << "/srv/a.wav";
    QTest::newRow("comma, comment after") << true << QByteArray("/srv/c,d.wav ;otro") << "/srv/c,d.wav";
    QTest::newRow("plain") << true << QByteArray("/srv/a.wav") << "/srv/a.wav";
    for (const char *name :
         {"/srv/c,d.wav", "/srv/c, d;e.wav", "/srv/a.wav ; no es comentario",
          "/srv/\"comillas\" y \\barra.wav", "/srv/señal #1 = 50%.wav", "/srv/[programa2].wav"})
        QTest::addRow("stored: %s", name) << false << QByteArray(name) << QString::fromUtf8(name);
}

// A name with commas or semicolons reads as it was written by hand, and what the program stores
// reads back the same.
void TestSchedule::messageNames()
{
    QFETCH(bool, byHand);
    QFETCH(QByteArray, written);
    QFETCH(QString, read);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    if (byHand) {
        writeConf(store, "[programa1]\narchivo=" + written +
                             "\nhoras=09:00\n[programa2]\narchivo=/srv/b.wav\n"
                             "cada=5\n");
    } else {
        ScheduleEntry e = entryOf(1, "09:00");
        e.archivo = QString::fromUtf8(written);
        QVERIFY(writeSchedule(store, {e, entryOf(2, QString(), 5)}));
    }
    const ScheduleReading reading = readSchedule(store);
    QVERIFY2(reading.problems.isEmpty(), qPrintable(reading.problems.join('\n')));
    QCOMPARE(reading.entries.size(), 2);
    QCOMPARE(reading.entries.at(0).archivo, read);
    QCOMPARE(reading.entries.at(1).archivo, QString::fromLatin1(byHand ? "/srv/b.wav" : "/srv/m2.wav"));
}

void TestSchedule::messagesCheckedOnLoad_data()
{
    QTest::addColumn<QString>("archivo"); // %1: a folder holding aviso.wav
    QTest::addColumn<bool>("activo");
    QTest::addColumn<QString>("problem"); // empty: it runs
    QTest::newRow("there") << "%1/aviso.wav" << true << "";
    QTest::newRow("relative") << "aviso.wav" << true
                              << "programa1: el mensaje «aviso.wav» no lleva la ruta completa";
    QTest::newRow("missing") << "%1/falta.wav" << true
                             << "programa1: no se encuentra el mensaje «%1/falta.wav»";
    QTest::newRow("a folder") << "%1" << true << "programa1: «%1» no es un archivo de sonido";
    QTest::newRow("missing, but off") << "%1/falta.wav" << false << "";
}

// An entry whose message cannot be sent is told when the schedule is read, not when its slot comes.
void TestSchedule::messagesCheckedOnLoad()
{
    QFETCH(QString, archivo);
    QFETCH(bool, activo);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath("aviso.wav")).open(QIODevice::WriteOnly));
    SettingsStore store(dir.path());
    ScheduleEntry e = entryOf(1, "09:00");
    e.archivo = archivo.arg(dir.path());
    e.activo = activo;
    QVERIFY(writeSchedule(store, {e}));
    ManualClock clock(at("2026-12-09T08:00:00+01:00"));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    QSignalSpy rejected(&scheduler, &Scheduler::entryRejected);
    scheduler.load(store);
    QCOMPARE(scheduler.entries().size(), problem.isEmpty() ? 1 : 0);
    QCOMPARE(rejected.size(), problem.isEmpty() ? 0 : 1);
    if (!problem.isEmpty())
        QVERIFY2(rejected.at(0).at(0).toString().startsWith(problem.arg(dir.path())),
                 qPrintable(rejected.at(0).at(0).toString()));
}

void TestSchedule::nextSlot_data()
{
    QTest::addColumn<QString>("horas");
    QTest::addColumn<int>("cada");
    QTest::addColumn<QString>("dias");
    QTest::addColumn<QString>("desde");
    QTest::addColumn<QString>("hasta");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("next"); // empty: none
    struct Row
    {
        const char *name, *horas;
        int cada;
        const char *dias, *desde, *hasta, *after, *next;
    };
    // 2026-12-09 is a Wednesday; Madrid is at +01:00 in winter, +02:00 in summer. Spring forward
    // on 2026-03-29: 02:00 CET becomes 03:00 CEST. Fall back on 2026-10-25: 03:00 CEST becomes
    // 02:00 CET, so 02:00-02:59 happen twice.
    const Row rows[] = {
        {"later today", "09:00,13:30", 0, "", "", "", "2026-12-09T10:00:00+01:00",
         "2026-12-09T13:30:00+01:00"},
        {"strictly after", "09:00,13:30", 0, "", "", "", "2026-12-09T13:30:00+01:00",
         "2026-12-10T09:00:00+01:00"},
        {"a second before", "13:30", 0, "", "", "", "2026-12-09T13:29:59+01:00", "2026-12-09T13:30:00+01:00"},
        {"over midnight", "00:00", 0, "", "", "", "2026-12-09T23:59:59+01:00", "2026-12-10T00:00:00+01:00"},
        {"after in another zone", "13:30", 0, "", "", "", "2026-12-09T12:10:00Z",
         "2026-12-09T13:30:00+01:00"},
        {"every 10", "", 10, "", "", "", "2026-12-09T10:05:00+01:00", "2026-12-09T10:10:00+01:00"},
        {"every 7 starts again at midnight", "", 7, "", "", "", "2026-12-09T23:55:00+01:00",
         "2026-12-10T00:00:00+01:00"},
        {"every 1440", "", 1440, "", "", "", "2026-12-09T00:00:00+01:00", "2026-12-10T00:00:00+01:00"},
        {"weekend only", "09:00", 0, "S,D", "", "", "2026-12-09T10:00:00+01:00", "2026-12-12T09:00:00+01:00"},
        {"sunday to monday", "09:00", 0, "L", "", "", "2026-12-13T09:00:00+01:00",
         "2026-12-14T09:00:00+01:00"},
        {"first day ahead", "09:00", 0, "", "2026-12-20", "", "2026-12-09T10:00:00+01:00",
         "2026-12-20T09:00:00+01:00"},
        {"first day ahead, its weekday off", "09:00", 0, "L", "2026-12-20", "", "2026-12-09T10:00:00+01:00",
         "2026-12-21T09:00:00+01:00"},
        {"last day, today's slot gone", "09:00", 0, "", "", "2026-12-09", "2026-12-09T10:00:00+01:00", ""},
        {"last day, still to come", "09:00,11:00", 0, "", "", "2026-12-09", "2026-12-09T10:00:00+01:00",
         "2026-12-09T11:00:00+01:00"},
        {"last day past", "09:00", 0, "", "", "2026-12-01", "2026-12-09T10:00:00+01:00", ""},
        {"spring: a time that does not exist is skipped", "02:30", 0, "", "", "", "2026-03-29T00:00:00+01:00",
         "2026-03-30T02:30:00+02:00"},
        {"spring: every 30 jumps the gap", "", 30, "", "", "", "2026-03-29T01:45:00+01:00",
         "2026-03-29T03:00:00+02:00"},
        {"spring: the hour before", "01:30", 0, "", "", "", "2026-03-29T00:00:00+01:00",
         "2026-03-29T01:30:00+01:00"},
        {"fall: the first pass", "02:30", 0, "", "", "", "2026-10-25T00:00:00+02:00",
         "2026-10-25T02:30:00+02:00"},
        {"fall: not again on the second pass", "02:30", 0, "", "", "", "2026-10-25T02:30:00+02:00",
         "2026-10-26T02:30:00+01:00"},
        {"fall: every 30 after the first pass", "", 30, "", "", "", "2026-10-25T02:40:00+02:00",
         "2026-10-25T03:00:00+01:00"},
        {"fall: every 30 from inside the second pass", "", 30, "", "", "", "2026-10-25T02:10:00+01:00",
         "2026-10-25T03:00:00+01:00"},
        {"fall: the hour after", "03:00", 0, "", "", "", "2026-10-25T02:59:00+02:00",
         "2026-10-25T03:00:00+01:00"},
    };
    for (const Row &r : rows) {
        QTest::newRow(r.name) << QString(r.horas) << r.cada << QString(r.dias) << QString(r.desde)
                              << QString(r.hasta) << QString(r.after) << QString(r.next);
    }
}

void TestSchedule::nextSlot()
{
    QFETCH(QString, horas);
    QFETCH(int, cada);
    QFETCH(QString, dias);
    QFETCH(QString, desde);
    QFETCH(QString, hasta);
    QFETCH(QString, after);
    QFETCH(QString, next);
    ScheduleEntry e = entryOf(1, horas, cada, dias);
    e.desde = QDate::fromString(desde, Qt::ISODate);
    e.hasta = QDate::fromString(hasta, Qt::ISODate);
    const QDateTime slot = ::nextSlot(e, at(after), kMadrid);
    if (next.isEmpty()) {
        QVERIFY2(!slot.isValid(), qPrintable(slot.toString(Qt::ISODate)));
        return;
    }
    QCOMPARE(slot, at(next));
    // The slot is told in the zone's own offset, as the log shows it.
    QCOMPARE(slot.offsetFromUtc(), at(next).offsetFromUtc());
    e.activo = false;
    QVERIFY(!::nextSlot(e, at(after), kMadrid).isValid());
}

void TestSchedule::scan_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("now");
    QTest::addColumn<QString>("sent"); // slot already sent, or empty
    QTest::addColumn<QString>("due");  // or empty
    QTest::addColumn<int>("missed");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("dueFrom"); // slots before it are missed, or empty
    struct Row
    {
        const char *name, *from, *now, *sent, *due;
        int missed;
        const char *next, *dueFrom;
    };
    // Entry: every 60 minutes. A clock set years forward looks back one day at most.
    const Row rows[] = {
        {"on time", "09:59:59", "10:00:00", "", "10:00:00", 0, "11:00:00", ""},
        {"60 s late still goes", "09:59:59", "10:01:00", "", "10:00:00", 0, "11:00:00", ""},
        {"61 s late is missed", "09:59:59", "10:01:01", "", "", 1, "11:00:00", ""},
        {"already sent", "09:59:00", "10:00:10", "10:00:00", "", 0, "11:00:00", ""},
        {"jump forward", "09:30:00", "12:00:30", "", "12:00:00", 2, "13:00:00", ""},
        {"nothing yet", "09:00:01", "09:59:59", "", "", 0, "10:00:00", ""},
        {"years forward", "2020-01-01T00:00:00", "10:30:00", "", "", 24, "11:00:00", ""},
        {"due before the start is missed", "09:59:00", "10:00:01", "", "", 1, "11:00:00", "10:00:01"},
        {"due at the start goes", "09:59:00", "10:00:00", "", "10:00:00", 0, "11:00:00", "10:00:00"},
        {"sent before the start is neither", "09:59:00", "10:00:04", "10:00:00", "", 0, "11:00:00",
         "10:00:04"},
    };
    for (const Row &r : rows) {
        QTest::newRow(r.name) << QString(r.from) << QString(r.now) << QString(r.sent) << QString(r.due)
                              << r.missed << QString(r.next) << QString(r.dueFrom);
    }
}

void TestSchedule::scan()
{
    QFETCH(QString, from);
    QFETCH(QString, now);
    QFETCH(QString, sent);
    QFETCH(QString, due);
    QFETCH(int, missed);
    QFETCH(QString, next);
    QFETCH(QString, dueFrom);
    const auto time = [](const QString &t) {
        return at(t.contains('T') ? t + "+01:00" : "2026-12-09T" + t + "+01:00");
    };
    SentSlots sentSlots;
    if (!sent.isEmpty())
        sentSlots[5].insert(time(sent).toMSecsSinceEpoch());
    const ScheduleEntry hourly = entryOf(5, QString(), 60);
    ScheduleEntry off = entryOf(6, QString(), 1);
    off.activo = false;
    const SlotScan s = scanSlots({off, hourly}, time(from), time(now), kMadrid, sentSlots,
                                 dueFrom.isEmpty() ? QDateTime() : time(dueFrom));
    QCOMPARE(s.due.size(), due.isEmpty() ? 0 : 1);
    if (!due.isEmpty()) {
        QCOMPARE(s.due.at(0).number, 5);
        QCOMPARE(s.due.at(0).time, time(due));
    }
    QCOMPARE(s.missed.size(), missed ? 1 : 0);
    if (missed) {
        QCOMPARE(s.missed.at(0).count, missed);
        QVERIFY(s.missed.at(0).first <= s.missed.at(0).last);
        QVERIFY(s.missed.at(0).last.secsTo(time(now)) > kSlotToleranceSecs ||
                (!dueFrom.isEmpty() && s.missed.at(0).last < time(dueFrom)));
    }
    QCOMPARE(s.next, time(next));
}

// Sent once at its time, with the timer never sleeping past the slot nor longer than a second.
void TestSchedule::sendsOnceAtItsTime()
{
    ManualClock clock(at("2026-12-09T09:59:58.500+01:00"));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    scheduler.setEntries({entryOf(2, "10:00")});
    QSignalSpy starting(&scheduler, &Scheduler::slotStarting);
    scheduler.start();
    QCOMPARE(scheduler.nextSlotTime(), at("2026-12-09T10:00:00+01:00"));
    QCOMPARE(scheduler.nextCheckMs(), 1000);
    run(clock, scheduler, 1000);
    QCOMPARE(scheduler.nextCheckMs(), 500);
    QVERIFY(target.sent.isEmpty());
    run(clock, scheduler, 500);
    QCOMPARE(target.sent, QList<int>{2});
    QCOMPARE(starting.size(), 1);
    QCOMPARE(starting.at(0).at(1).toDateTime(), at("2026-12-09T10:00:00+01:00"));
    target.busy = false;
    scheduler.transmissionEnded();
    run(clock, scheduler, 120000);
    QCOMPARE(target.sent, QList<int>{2});
    QVERIFY(scheduler.nextCheckMs() > 0 && scheduler.nextCheckMs() <= Scheduler::MaxCheckMs);
}

void TestSchedule::waitsForPlayThenSkips_data()
{
    QTest::addColumn<int>("playEndsMs"); // after the slot's time
    QTest::addColumn<bool>("sent");
    QTest::newRow("play ends 30 s later: sent then") << 30000 << true;
    QTest::newRow("play ends at 60 s: still sent") << 60000 << true;
    QTest::newRow("play ends at 61 s: skipped") << 61000 << false;
}

// A slot falling during a play waits for its end, at most a minute; an operator's loop in its
// pause is not busy and the slot goes out there (the target says so).
void TestSchedule::waitsForPlayThenSkips()
{
    QFETCH(int, playEndsMs);
    QFETCH(bool, sent);
    ManualClock clock(at("2026-12-09T09:59:59+01:00"));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    scheduler.setEntries({entryOf(1, "10:00")});
    QSignalSpy skipped(&scheduler, &Scheduler::slotSkipped);
    scheduler.start();
    target.busy = true; // the operator's play
    run(clock, scheduler, playEndsMs);
    QVERIFY(target.sent.isEmpty());
    QCOMPARE(scheduler.waiting(), 1);
    clock.advance(1000);
    target.busy = false;
    scheduler.transmissionEnded();
    QCOMPARE(target.sent, sent ? QList<int>{1} : QList<int>{});
    QCOMPARE(skipped.size(), sent ? 0 : 1);
    if (!sent)
        QCOMPARE(skipped.at(0).at(2).toString(), skippedDetail());
    QCOMPARE(target.overlaps, 0);
}

// Three entries on the same minute go one after the other, never over each other; one that cannot
// start lets the next go.
void TestSchedule::neverTwoAtOnce()
{
    ManualClock clock(at("2026-12-09T09:59:59+01:00"));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    scheduler.setEntries({entryOf(3, "10:00"), entryOf(1, "10:00"), entryOf(2, "10:00")});
    scheduler.start();
    run(clock, scheduler, 1000);
    QCOMPARE(target.sent.size(), 1);
    run(clock, scheduler, 20000);
    QCOMPARE(target.sent.size(), 1);
    target.accept = false; // the next one fails to start, the one after goes
    target.busy = false;
    scheduler.transmissionEnded();
    QCOMPARE(target.sent.size(), 3);
    QVERIFY(target.busy == false);
    QCOMPARE(QSet<int>(target.sent.cbegin(), target.sent.cend()), QSet<int>({1, 2, 3}));
    QCOMPARE(target.overlaps, 0);
}

// A step forward reports what it jumped over and sends none of it late; a step back never sends
// again what went out, and the schedule carries on from there.
void TestSchedule::clockJumps()
{
    ManualClock clock(at("2026-12-09T09:59:59+01:00"));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    scheduler.setEntries({entryOf(4, QString(), 60)});
    QSignalSpy missed(&scheduler, &Scheduler::slotsMissed);
    scheduler.start();
    run(clock, scheduler, 1000);
    QCOMPARE(target.sent, QList<int>{4});
    target.busy = false;
    scheduler.transmissionEnded();

    // Back 30 s, then through 10:00 again: not repeated.
    clock.setNow(at("2026-12-09T09:59:40+01:00"));
    run(clock, scheduler, 60000);
    QCOMPARE(target.sent, QList<int>{4});

    // Suspended from 10:00:40 to 13:20: 11, 12 and 13 went by.
    clock.setNow(at("2026-12-09T13:20:00+01:00"));
    scheduler.check();
    QCOMPARE(target.sent, QList<int>{4});
    QCOMPARE(missed.size(), 1);
    QCOMPARE(missed.at(0).at(1).toDateTime(), at("2026-12-09T11:00:00+01:00"));
    QCOMPARE(missed.at(0).at(2).toDateTime(), at("2026-12-09T13:00:00+01:00"));
    QCOMPARE(missed.at(0).at(3).toInt(), 3);
    QCOMPARE(missed.at(0).at(4).toString(),
             missedDetail(at("2026-12-09T11:00:00+01:00"), at("2026-12-09T13:00:00+01:00"), 3));
    QVERIFY(
        missed.at(0).at(4).toString().startsWith("No se enviaron 3 emisiones, de las 11:00 del 2026-12-09"));

    // Back two hours, past 12:00 that was missed and 11:00: those go out at their times now;
    // the 10:00 sent before does not.
    clock.setNow(at("2026-12-09T10:59:59+01:00"));
    run(clock, scheduler, 1000);
    QCOMPARE(target.sent, QList<int>({4, 4}));
    QCOMPARE(missed.size(), 1);

    // The wall clock steps back while a slot waits behind a play: it is skipped after a minute
    // of waiting all the same, not sent an hour late.
    scheduler.transmissionEnded(); // the target stays busy: another play runs
    run(clock, scheduler, 3600000);
    QCOMPARE(scheduler.waiting(), 1);
    clock.setNow(at("2026-12-09T11:30:00+01:00"));
    QSignalSpy skipped(&scheduler, &Scheduler::slotSkipped);
    run(clock, scheduler, 61000);
    QCOMPARE(skipped.size(), 1);
    QCOMPARE(scheduler.waiting(), 0);
    target.busy = false;
    scheduler.transmissionEnded();
    QCOMPARE(target.sent, QList<int>({4, 4}));
}

void TestSchedule::daylightSavingChanges_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("spring forward: 02:00 does not exist")
        << "2026-03-29T00:30:00+01:00" << 2
        << QStringList({"2026-03-29T01:00:00+01:00", "2026-03-29T03:00:00+02:00"});
    QTest::newRow("fall back: 02:00 happens twice, sent once")
        << "2026-10-25T01:30:00+02:00" << 3
        << QStringList({"2026-10-25T02:00:00+02:00", "2026-10-25T03:00:00+01:00"});
}

// Hourly through a change of the clocks, checked every second as the real timer does: nothing
// missed is reported, nothing is sent twice.
void TestSchedule::daylightSavingChanges()
{
    QFETCH(QString, start);
    QFETCH(int, hours);
    QFETCH(QStringList, sent);
    ManualClock clock(at(start));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    scheduler.setEntries({entryOf(1, QString(), 60)});
    QSignalSpy starting(&scheduler, &Scheduler::slotStarting);
    QSignalSpy missed(&scheduler, &Scheduler::slotsMissed);
    scheduler.start();
    run(clock, scheduler, hours * 3600000LL, &target);
    QStringList times;
    for (const QList<QVariant> &s : starting)
        times << s.at(1).toDateTime().toString(Qt::ISODate);
    QCOMPARE(times, sent);
    QCOMPARE(missed.size(), 0);
}

void TestSchedule::startedAfterASlot_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("lastRun");     // the log's last line, or empty
    QTest::addColumn<QStringList>("handled"); // slots the log shows sent or reported
    QTest::addColumn<int>("missed");
    QTest::addColumn<bool>("sentAtStart");
    QTest::addColumn<QString>("dueFrom"); // when the station changed hands, or empty
    const QString d = QStringLiteral("2026-12-09T%1+01:00");
    QTest::newRow("on the minute") << d.arg("10:02:00") << "" << QStringList() << 0 << true << "";
    QTest::newRow("47 s after, first run") << d.arg("10:02:47") << "" << QStringList() << 1 << false << "";
    QTest::newRow("restarted 4 s after it went out")
        << d.arg("10:02:09") << d.arg("10:02:05") << QStringList{d.arg("10:02:00")} << 0 << false << "";
    QTest::newRow("restarted after a while: only what went unsent is missed")
        << d.arg("10:02:30") << d.arg("10:00:05") << QStringList{d.arg("10:00:00"), d.arg("10:01:00")} << 1
        << false << "";
    QTest::newRow("taken over: the slot due in the gap goes out late")
        << d.arg("10:02:06") << d.arg("10:01:05") << QStringList{d.arg("10:01:00")} << 0 << true
        << d.arg("10:01:58");
    QTest::newRow("taken over: the slot the owner sent is not sent again")
        << d.arg("10:02:06") << d.arg("10:02:04") << QStringList{d.arg("10:02:00")} << 0 << false
        << d.arg("10:02:03");
    QTest::newRow("taken over long after: older slots are missed, not sent")
        << d.arg("10:02:40") << d.arg("10:01:05") << QStringList{d.arg("10:01:00")} << 1 << false
        << d.arg("10:02:20");
}

// Every minute; (re)started at a given time: a slot due before the start never goes out late nor
// twice, even when the clock is then stepped back over it; the next one goes at its time.
void TestSchedule::startedAfterASlot()
{
    QFETCH(QString, start);
    QFETCH(QString, lastRun);
    QFETCH(QStringList, handled);
    QFETCH(int, missed);
    QFETCH(bool, sentAtStart);
    QFETCH(QString, dueFrom);
    ManualClock clock(at(start));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    scheduler.setEntries({entryOf(1, QString(), 1)});
    QSignalSpy missedSpy(&scheduler, &Scheduler::slotsMissed);
    QSignalSpy starting(&scheduler, &Scheduler::slotStarting);
    SentSlots before;
    for (const QString &t : handled)
        before[1].insert(at(t).toMSecsSinceEpoch());
    scheduler.start(lastRun.isEmpty() ? QDateTime() : at(lastRun), before,
                    dueFrom.isEmpty() ? QDateTime() : at(dueFrom));
    QCOMPARE(target.sent.size(), sentAtStart ? 1 : 0);
    QCOMPARE(missedSpy.size(), missed ? 1 : 0);
    if (missed)
        QCOMPARE(missedSpy.at(0).at(3).toInt(), missed);
    run(clock, scheduler, 61000, &target);
    QCOMPARE(target.sent.size(), sentAtStart ? 2 : 1);
    clock.setNow(at(start).addSecs(-150));
    run(clock, scheduler, 150000, &target);
    QSet<QString> times;
    for (const QList<QVariant> &s : starting) {
        const QString t = s.at(1).toDateTime().toString(Qt::ISODate);
        QVERIFY2(!handled.contains(t) && !times.contains(t), qPrintable(t));
        times.insert(t);
    }
    QCOMPARE(target.overlaps, 0);
}

// Started after a time off: the slots since the last run are reported, as is the one due a moment
// before the start, which is not sent late.
void TestSchedule::missedWhileNotRunning()
{
    ManualClock clock(at("2026-12-09T10:00:20+01:00"));
    FakeTarget target;
    Scheduler scheduler(clock, target, kMadrid);
    QSignalSpy rejected(&scheduler, &Scheduler::entryRejected);
    QSignalSpy missed(&scheduler, &Scheduler::slotsMissed);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(QFile(dir.filePath("a.wav")).open(QIODevice::WriteOnly));
    writeConf(store, "[programa1]\narchivo=" + dir.filePath("a.wav").toUtf8() +
                         "\ncada=30\n[programa2]\narchivo=/srv/b.wav\nhoras=9:99\n");
    scheduler.load(store);
    QCOMPARE(rejected.size(), 1);
    QVERIFY(rejected.at(0).at(0).toString().startsWith("programa2: la hora «9:99»"));
    scheduler.start(at("2026-12-09T08:45:00+01:00"));
    QVERIFY(target.sent.isEmpty());
    QCOMPARE(missed.size(), 1);
    QCOMPARE(missed.at(0).at(3).toInt(), 3); // 09:00, 09:30 and 10:00
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"

// The transmission log: the line of each transmission as a spreadsheet reads it, the journal's
// fields, the rotation at 1 MB keeping five old files, the "interrumpida" line written at the start
// after a crash on the air, and a log that cannot be written, which is told once and stops nothing.
#include "transmissionlog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {
QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODateWithMs);
}

TransmissionRecord record(const QString &detalle = QString())
{
    TransmissionRecord r;
    r.inicio = at("2026-12-09T10:00:00.250+01:00");
    r.fin = at("2026-12-09T10:00:12.560+01:00");
    r.origen = LogOrigin::Programa;
    r.programa = 3;
    r.archivo = QStringLiteral("/srv/aviso.wav");
    r.detalle = detalle;
    return r;
}

QStringList lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
} // namespace

class TestTransmissionLog : public QObject
{
    Q_OBJECT
private slots:
    void line_data();
    void line();
    void times();
    void journalFields();
    void stateFolder();
    void rotation();
    void crashOnTheAir();
    void cannotWrite();
};

void TestTransmissionLog::line_data()
{
    QTest::addColumn<int>("origin");
    QTest::addColumn<int>("result");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("archivo");
    QTest::addColumn<QString>("detalle");
    QTest::addColumn<QString>("expected");
    const QString times = "2026-12-09T10:00:00.250+01:00;2026-12-09T10:00:12.560+01:00;";
    QTest::newRow("scheduled, seconds from the times")
        << int(LogOrigin::Programa) << int(LogResult::Completa) << -1.0 << "/srv/aviso.wav"
        << "" << times + "programa 3;/srv/aviso.wav;12,3;completa;";
    QTest::newRow("seconds given, rounded")
        << int(LogOrigin::Manual) << int(LogResult::Detenida) << 4.96 << "/srv/aviso.wav"
        << "" << times + "manual;/srv/aviso.wav;5,0;detenida;";
    QTest::newRow("semicolon and quotes quoted")
        << int(LogOrigin::Bucle) << int(LogResult::Fallo) << 0.0 << "/srv/a;b.wav"
        << "No se puede enviar: \"COM2\" ocupado"
        << times + "bucle;\"/srv/a;b.wav\";0,0;fallo;\"No se puede enviar: \"\"COM2\"\" ocupado\"";
    QTest::newRow("line end quoted") << int(LogOrigin::Prueba) << int(LogResult::CortadaPorSeguridad) << 1.0
                                     << "/srv/aviso.wav"
                                     << "uno\ndos"
                                     << times +
                                            "prueba;/srv/aviso.wav;1,0;cortada por seguridad;\"uno\ndos\"";
    // What a spreadsheet would run as a formula goes in as text; the log window reads it back as it was.
    const QString rest = ";1,0;completa;";
    QTest::newRow("formula as the name")
        << int(LogOrigin::LineaDeOrdenes) << int(LogResult::Completa) << 1.0 << "=cmd|' -C calc'!A0.wav"
        << "" << times + "línea de órdenes;\"'=cmd|' -C calc'!A0.wav\"" + rest;
    QTest::newRow("plus") << int(LogOrigin::LineaDeOrdenes) << int(LogResult::Completa) << 1.0 << "+x.wav"
                          << "" << times + "línea de órdenes;\"'+x.wav\"" + rest;
    QTest::newRow("minus") << int(LogOrigin::LineaDeOrdenes) << int(LogResult::Completa) << 1.0 << "-2+3.wav"
                           << "" << times + "línea de órdenes;\"'-2+3.wav\"" + rest;
    QTest::newRow("at") << int(LogOrigin::LineaDeOrdenes) << int(LogResult::Completa) << 1.0 << "@SUM(1).wav"
                        << "" << times + "línea de órdenes;\"'@SUM(1).wav\"" + rest;
    QTest::newRow("tab") << int(LogOrigin::LineaDeOrdenes) << int(LogResult::Completa) << 1.0 << "\tx.wav"
                         << "" << times + "línea de órdenes;\"'\tx.wav\"" + rest;
    QTest::newRow("formula with quotes and semicolon")
        << int(LogOrigin::Manual) << int(LogResult::Fallo) << 0.0 << "=a;\"b\".wav"
        << "\r=1+1" << times + "manual;\"'=a;\"\"b\"\".wav\";0,0;fallo;\"'\r=1+1\"";
    QTest::newRow("formula in the detail")
        << int(LogOrigin::Manual) << int(LogResult::Fallo) << 0.0 << "/srv/aviso.wav"
        << "-1+2" << times + "manual;/srv/aviso.wav;0,0;fallo;\"'-1+2\"";
    QTest::newRow("a name that begins with the guard")
        << int(LogOrigin::Manual) << int(LogResult::Completa) << 1.0 << "'=x.wav"
        << "'nota" << times + "manual;\"''=x.wav\";1,0;completa;\"''nota\"";
    QTest::newRow("identification") << int(LogOrigin::Identificacion) << int(LogResult::Completa) << 2.5
                                    << "DE EA1ABC/P"
                                    << "" << times + "identificación;DE EA1ABC/P;2,5;completa;";
    QTest::newRow("signs past the start stay bare")
        << int(LogOrigin::Manual) << int(LogResult::Completa) << 1.0 << "/srv/=x+y-z@.wav"
        << "a=b" << times + "manual;/srv/=x+y-z@.wav;1,0;completa;a=b";
}

// The line as written, and read back field by field the same: by the log window, and from the
// note of a transmission a crash cut short.
void TestTransmissionLog::line()
{
    QFETCH(int, origin);
    QFETCH(int, result);
    QFETCH(double, seconds);
    QFETCH(QString, archivo);
    QFETCH(QString, detalle);
    QFETCH(QString, expected);
    TransmissionRecord r = record(detalle);
    r.origen = LogOrigin(origin);
    r.resultado = LogResult(result);
    r.segundos = seconds;
    r.archivo = archivo;
    const QString text = csvLine(r);
    QCOMPARE(text, expected);
    const QList<QStringList> rows = parseCsv(TransmissionLog::Header + "\r\n" + text + "\n");
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).join(';'), TransmissionLog::Header);
    QCOMPARE(rows.at(1).size(), 7);
    QCOMPARE(textFromCsv(rows.at(1).at(3)), archivo);
    QCOMPARE(textFromCsv(rows.at(1).at(6)), detalle);

    QTemporaryDir dir;
    TransmissionLog log(dir.path());
    log.setJournal(false);
    QVERIFY(log.append(r));
    QFile note(dir.path() + "/en_curso"); // as an older program left it
    QVERIFY(note.open(QIODevice::WriteOnly));
    note.write((text + '\n').toUtf8());
    note.close();
    QVERIFY(log.recoverInterrupted());
    const QList<QStringList> read = readLatestLog(dir.path(), 2);
    QCOMPARE(read.size(), 2);
    QCOMPARE(read.at(1).value(3), archivo);
    QCOMPARE(read.at(1).value(6), detalle);
    QCOMPARE(read.at(0).value(3), archivo); // the recovered one
    QCOMPARE(read.at(0).value(2), read.at(1).value(2));
}

// Every time carries its offset, west of Greenwich and at Greenwich too.
void TestTransmissionLog::times()
{
    QCOMPARE(logTime(at("2026-12-09T10:00:00.005Z")), QStringLiteral("2026-12-09T10:00:00.005+00:00"));
    QCOMPARE(logTime(QDateTime(QDate(2026, 12, 9), QTime(7, 0), QTimeZone(-3 * 3600 - 1800))),
             QStringLiteral("2026-12-09T07:00:00.000-03:30"));
    QCOMPARE(logTime(QDateTime()), QString());
}

void TestTransmissionLog::journalFields()
{
    TransmissionRecord r = record(QStringLiteral("el transmisor llevaba demasiado en el aire"));
    r.resultado = LogResult::CortadaPorSeguridad;
    const QList<QByteArray> fields = ::journalFields(r);
    for (const char *expected :
         {"PRIORITY=3", "SYSLOG_IDENTIFIER=pregonal", "PREGONAL_ORIGEN=programa 3", "PREGONAL_PROGRAMA=3",
          "PREGONAL_RESULTADO=cortada por seguridad", "PREGONAL_SEGUNDOS=12,3",
          "PREGONAL_INICIO=2026-12-09T10:00:00.250+01:00", "PREGONAL_ARCHIVO=/srv/aviso.wav",
          "PREGONAL_DETALLE=el transmisor llevaba demasiado en el aire"})
        QVERIFY2(fields.contains(QByteArray(expected)), expected);
    QVERIFY(fields.contains("MESSAGE=Transmisión cortada por seguridad (programa 3): /srv/aviso.wav, 12,3 s. "
                            "el transmisor llevaba demasiado en el aire"));
    r.origen = LogOrigin::Manual;
    r.resultado = LogResult::Completa;
    r.detalle.clear();
    const QList<QByteArray> manual = ::journalFields(r);
    QVERIFY(manual.contains("PRIORITY=6"));
    QVERIFY(std::none_of(manual.cbegin(), manual.cend(), [](const QByteArray &f) {
        return f.startsWith("PREGONAL_PROGRAMA=") || f.startsWith("PREGONAL_DETALLE=");
    }));
}

void TestTransmissionLog::stateFolder()
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/var/tmp/estado");
    QCOMPARE(TransmissionLog::defaultFolder(), QStringLiteral("/var/tmp/estado/Pregonal"));
    for (const char *ignored : {"", "relativo/estado"}) {
        qputenv("XDG_STATE_HOME", ignored);
        QCOMPARE(TransmissionLog::defaultFolder(), QDir::homePath() + "/.local/state/Pregonal");
    }
    qputenv("XDG_STATE_HOME", saved);
}

// Past 1 MB the file moves to registro.csv.1 and so on; five old files are kept, each starting
// with the header, and the reader goes back through them newest first.
void TestTransmissionLog::rotation()
{
    QTemporaryDir dir;
    TransmissionLog log(dir.path());
    log.setJournal(false);
    const QString filler(20000, QLatin1Char('x'));
    const int perFile = int(TransmissionLog::RotateBytes / (filler.size() + 120)) + 1;
    const int total = perFile * 7;
    for (int i = 0; i < total; ++i) {
        TransmissionRecord r = record(QString::number(i) + QLatin1Char(' ') + filler);
        QVERIFY(log.append(r));
    }
    const QString base = dir.path() + "/registro.csv";
    for (const QString &name : {base, base + ".1", base + ".2", base + ".3", base + ".4", base + ".5"}) {
        QFileInfo info(name);
        QVERIFY2(info.exists(), qPrintable(name));
        QVERIFY(info.size() <= TransmissionLog::RotateBytes);
        QVERIFY(info.size() > TransmissionLog::RotateBytes / 2 || name == base);
        QCOMPARE(lines(name).value(0), TransmissionLog::Header);
    }
    QVERIFY(!QFile::exists(base + ".6"));

    const int wanted = perFile * 2;
    const QList<QStringList> latest = readLatestLog(dir.path(), wanted);
    QCOMPARE(latest.size(), wanted);
    for (int i = 0; i < wanted; ++i)
        QCOMPARE(latest.at(i).value(6).section(' ', 0, 0).toInt(), total - 1 - i);
}

// A transmission on the air when the program dies leaves its note; the next start writes its line
// once. The crash is a real one: a child process killed between key-up and key-down.
void TestTransmissionLog::crashOnTheAir()
{
    if (qEnvironmentVariableIsSet("PREGONAL_CRASH_CHILD")) {
        TransmissionLog log(qEnvironmentVariable("PREGONAL_CRASH_CHILD"));
        log.setJournal(false);
        TransmissionRecord r = record();
        r.inicio = QDateTime::currentDateTime();
        log.transmissionStarted(r);
        QTest::qWait(50);
        log.stillOnAir();
        ::abort();
    }
    QTemporaryDir dir;
    {
        TransmissionLog log(dir.path());
        log.setJournal(false);
        QVERIFY(log.append(record())); // a line before, kept as it was
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PREGONAL_CRASH_CHILD", dir.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"crashOnTheAir"});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    TransmissionLog restarted(dir.path());
    restarted.setJournal(false);
    QVERIFY(restarted.recoverInterrupted());
    QVERIFY(!restarted.recoverInterrupted());
    restarted.stillOnAir(); // a status update after key-down leaves no note
    QVERIFY(!restarted.recoverInterrupted());
    const QStringList written = lines(dir.path() + "/registro.csv");
    QCOMPARE(written.size(), 3);
    const QStringList f = parseCsv(written.at(2)).value(0);
    QCOMPARE(f.value(2), QStringLiteral("programa 3"));
    QCOMPARE(f.value(3), QStringLiteral("/srv/aviso.wav"));
    QCOMPARE(f.value(5), QStringLiteral("interrumpida"));
    const QDateTime inicio = at(f.value(0));
    const QDateTime fin = at(f.value(1));
    QVERIFY(inicio.isValid() && fin.isValid());
    QVERIFY(inicio <= fin);
    QVERIFY(qAbs(inicio.secsTo(QDateTime::currentDateTime())) < 60);

    // The note of a program still on the air (another instance sharing the log) is no crash.
    QProcess alive;
    alive.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(alive.waitForStarted());
    const QString note = dir.path() + QStringLiteral("/en_curso.%1").arg(alive.processId());
    QVERIFY(QFile::copy(dir.path() + "/registro.csv", note));
    QVERIFY(!restarted.recoverInterrupted());
    QVERIFY(QFile::exists(note));
    alive.kill();
    QVERIFY(alive.waitForFinished());
    QVERIFY(restarted.recoverInterrupted());
    QVERIFY(!QFile::exists(note));
}

// An unwritable folder and a full disk: told once each time it starts failing, never an
// exception, and the log picks up again when it can.
void TestTransmissionLog::cannotWrite()
{
    QTemporaryDir dir;
    QFile plain(dir.path() + "/archivo");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    TransmissionLog blocked(dir.path() + "/archivo/Pregonal"); // not a folder, even for root
    blocked.setJournal(false);
    QSignalSpy told(&blocked, &TransmissionLog::writeFailed);
    blocked.transmissionStarted(record());
    QVERIFY(!blocked.transmissionEnded(record()));
    QVERIFY(!blocked.append(record()));
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.at(0).at(0).toString().contains("una parte de la ruta no es una carpeta"),
             qPrintable(told.at(0).at(0).toString()));
    QVERIFY(!blocked.recoverInterrupted());

    const QString folder = dir.path() + "/lleno";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::link("/dev/full", folder + "/registro.csv"));
    TransmissionLog full(folder);
    full.setJournal(false);
    QSignalSpy fullTold(&full, &TransmissionLog::writeFailed);
    QVERIFY(!full.append(record()));
    QVERIFY(!full.append(record()));
    QCOMPARE(fullTold.size(), 1);
    QVERIFY(full.lastError().contains("no queda espacio en el disco"));

    QVERIFY(QFile::remove(folder + "/registro.csv"));
    QVERIFY(full.append(record()));
    QVERIFY(full.lastError().isEmpty());
    QCOMPARE(lines(folder + "/registro.csv").size(), 2);
    QVERIFY(QFile::link("/dev/full", folder + "/registro.csv.tmp"));
    QVERIFY(QFile::remove(folder + "/registro.csv"));
    QVERIFY(QFile::rename(folder + "/registro.csv.tmp", folder + "/registro.csv"));
    QVERIFY(!full.append(record()));
    QCOMPARE(fullTold.size(), 2);
}

QTEST_GUILESS_MAIN(TestTransmissionLog)
#include "tst_transmissionlog.moc"

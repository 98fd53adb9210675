// The program run from the command line with no display, as a script or the user service runs
// it: on a pseudo-terminal (its modem lines logged by the shim, which the child inherits) and the
// test sound server. What goes out over the air, the exit status, and the log's lines.
#include "clihome.h"
#include "realrig.h"
#include "soundcapture.h"
#include "soundtestmain.h"
#include "support/morsedecoder.h"
#include "transmissionlog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qint64 kMs = 1000000;
constexpr qint64 kPeriod = 30 * kMs;

QString field(const QStringList &line, int n)
{
    return line.value(n);
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sendKeysAroundTheWholeMessage();
    void missingFileKeysNothing();
    void notAFileRefusedAtOnce();
    void nameNotUtf8Sent();
    void badUsage_data();
    void badUsage();
    void logNotWritableToldOnce();
    void terminatedUnkeyed_data();
    void terminatedUnkeyed();
    void secondInstanceFindsThePortBusy();
    void scheduleMissesAnEntryDueBeforeStart();
    void unusableKeyingExitsOne_data();
    void unusableKeyingExitsOne();
    void devicesListing_data();
    void devicesListing();
    void identifiedInsideTheKeyPeriod_data();
    void identifiedInsideTheKeyPeriod();
    void identifyWithoutCallsignKeysNothing();

private:
    QString m_lineLog;
    QTemporaryDir m_tones;
    QString m_tone;
};

void TestCli::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    m_tone = m_tones.filePath(QStringLiteral("aviso.wav"));
    QVERIFY(writeToneWav(m_tone, 48000, 1, 48000 * 6 / 10)); // 0.6 s
}

void TestCli::sendKeysAroundTheWholeMessage()
{
    Home home;
    QVERIFY(!home.slave.isEmpty());
    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);
    QString errors;
    QCOMPARE(home.run({QStringLiteral("--enviar"), m_tone}, &errors), 0);
    QTest::qWait(200);
    capture.stop();
    QVERIFY2(errors.isEmpty(), qPrintable(errors)); // not a terminal: no progress lines

    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    QCOMPARE(keyed.size(), 1);
    VERIFY_BURSTS(sound, 1);
    QVERIFY2(sound.first().startNs >= keyed.first().upNs + 300 * kMs - kPeriod, "the sound waits the lead");
    QVERIFY2(sound.first().endNs <= keyed.first().downNs - 100 * kMs + kPeriod, "the key waits the tail");
    const qint64 heard = (sound.first().endNs - sound.first().startNs) / kMs;
    QVERIFY2(heard > 550 && heard < 660, qPrintable(QString::number(heard)));
    const QList<QStringList> lines = home.lines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(field(lines.first(), 2), QStringLiteral("línea de órdenes"));
    QCOMPARE(field(lines.first(), 3), m_tone);
    QCOMPARE(field(lines.first(), 5), QStringLiteral("completa"));
}

void TestCli::missingFileKeysNothing()
{
    Home home;
    QFile::resize(m_lineLog, 0);
    QString errors;
    QCOMPARE(home.run({QStringLiteral("--enviar"), m_tones.filePath(QStringLiteral("no.wav"))}, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("No se encuentra el archivo del mensaje")), qPrintable(errors));
    QVERIFY2(keyPeriods(readLineLog(m_lineLog)).isEmpty(), "the transmitter was keyed");
    QCOMPARE(field(home.lines().value(0), 5), QStringLiteral("fallo"));
}

// A named pipe as the message: refused at once and logged, not waited on with the port open.
void TestCli::notAFileRefusedAtOnce()
{
    Home home;
    const QString fifo = home.dir.filePath(QStringLiteral("aviso.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile::resize(m_lineLog, 0);
    QString errors;
    QCOMPARE(home.run({QStringLiteral("--enviar"), fifo}, &errors, 5000), 1);
    QVERIFY2(errors.contains(QStringLiteral("es una tubería con nombre")), qPrintable(errors));
    QVERIFY2(keyPeriods(readLineLog(m_lineLog)).isEmpty(), "the transmitter was keyed");
    QCOMPARE(field(home.lines().value(0), 5), QStringLiteral("fallo"));
}

// A name whose bytes are not UTF-8, as a shell passes it: found, sent, and logged readably.
void TestCli::nameNotUtf8Sent()
{
    Home home;
    const QByteArray name = QFile::encodeName(home.dir.path()) + "/bad\xff\xfeutf.wav";
    QCOMPARE(::symlink(QFile::encodeName(m_tone).constData(), name.constData()), 0);
    const auto removeName = qScopeGuard([&name] { ::unlink(name.constData()); }); // Qt cannot
    QFile::resize(m_lineLog, 0);
    QString errors;
    const QString script = QStringLiteral("exec \"$0\" --enviar \"$1/$(printf 'bad\\377\\376utf.wav')\"");
    QCOMPARE(home.run({QStringLiteral("-c"), script, QStringLiteral(PREGONAL_PROGRAM), home.dir.path()},
                      &errors, 15000, QStringLiteral("/bin/sh")),
             0);
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 1);
    const QList<QStringList> lines = home.lines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(field(lines.first(), 3), home.dir.path() + QStringLiteral("/bad\\xff\\xfeutf.wav"));
    QCOMPARE(field(lines.first(), 5), QStringLiteral("completa"));
}

void TestCli::badUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown") << QStringList{"--radio"};
    QTest::newRow("loop alone") << QStringList{"--bucle"};
    QTest::newRow("bad interval") << QStringList{"--enviar", "x.wav", "--intervalo", "cero"};
    QTest::newRow("an option for the file") << QStringList{"--enviar", "--bucle"};
    QTest::newRow("two messages") << QStringList{"--enviar", "a.wav", "--enviar", "b.wav"};
}

void TestCli::badUsage()
{
    QFETCH(QStringList, args);
    Home home;
    QFile::resize(m_lineLog, 0);
    QString errors;
    QCOMPARE(home.run(args, &errors), 2);
    QVERIFY2(errors.contains(QStringLiteral("pregonal --help")), qPrintable(errors));
    QVERIFY(readLineLog(m_lineLog).isEmpty()); // the port was never opened
    QVERIFY(home.lines().isEmpty());           // nothing was sent, nothing failed
}

// A log that cannot be written: the message still goes out, and standard error tells it once.
void TestCli::logNotWritableToldOnce()
{
    Home home;
    QFile blocker(home.dir.filePath(QStringLiteral("state"))); // a file where the folder goes
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile::resize(m_lineLog, 0);
    QString errors;
    QCOMPARE(home.run({QStringLiteral("--enviar"), m_tone}, &errors), 0);
    QCOMPARE(errors.count(QStringLiteral("registro de emisiones"), Qt::CaseInsensitive), 1);
    QVERIFY2(errors.startsWith(QStringLiteral("pregonal: No se puede escribir el registro de emisiones (")),
             qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("no quedan anotadas")), qPrintable(errors));
    QVERIFY(!readLineLog(m_lineLog).last().dtr);
}

void TestCli::terminatedUnkeyed_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("afterMs"); // from the start: in the first play, or in its pause
    QTest::newRow("SIGTERM mid-play") << int(SIGTERM) << 500;
    QTest::newRow("SIGTERM mid-pause") << int(SIGTERM) << 1600;
    QTest::newRow("SIGINT mid-play") << int(SIGINT) << 500;
    QTest::newRow("SIGHUP mid-pause") << int(SIGHUP) << 1600;
}

void TestCli::terminatedUnkeyed()
{
    QFETCH(int, signal);
    QFETCH(int, afterMs);
    Home home;
    QFile::resize(m_lineLog, 0);
    QProcess p;
    home.start(p, {QStringLiteral("--enviar"), m_tone, QStringLiteral("--bucle"),
                   QStringLiteral("--intervalo"), QStringLiteral("5")});
    QVERIFY(p.waitForStarted());
    // Wait for the key to go up, then for the moment asked.
    auto keyedYet = [this] {
        const QList<LineEvent> events = readLineLog(m_lineLog);
        return std::any_of(events.cbegin(), events.cend(), [](const LineEvent &e) { return e.dtr; });
    };
    QTRY_VERIFY_WITH_TIMEOUT(keyedYet(), 5000);
    QTest::qWait(afterMs - 100);
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QList<LineEvent> events = readLineLog(m_lineLog);
    QVERIFY(!events.isEmpty());
    QVERIFY2(!events.last().dtr && !events.last().rts, "the transmitter is left unkeyed");
    const QList<QStringList> lines = home.lines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(field(lines.first(), 5), QStringLiteral("detenida"));
}

// Two programs on one keying device: the second is refused (busy) and never keys.
void TestCli::secondInstanceFindsThePortBusy()
{
    Home home;
    QFile::resize(m_lineLog, 0);
    QProcess first;
    home.start(first, {QStringLiteral("--enviar"), m_tone, QStringLiteral("--veces"), QStringLiteral("2"),
                       QStringLiteral("--intervalo"), QStringLiteral("1")});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!readLineLog(m_lineLog).isEmpty(), 5000);
    QString errors;
    QCOMPARE(home.run({QStringLiteral("--enviar"), m_tone}, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("está ocupado")), qPrintable(errors));
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 2); // the first one's two plays, nothing else
    const QList<QStringList> lines = home.lines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(field(lines.at(0), 5), QStringLiteral("completa")); // the first, after its two plays
    QCOMPARE(field(lines.at(1), 5), QStringLiteral("fallo"));    // the second, refused
}

// An entry of the current minute was due before the schedule started: it is logged as missed and
// never sent late.
void TestCli::scheduleMissesAnEntryDueBeforeStart()
{
    if (QTime::currentTime().second() > 45)
        QTest::qWait((61 - QTime::currentTime().second()) * 1000);
    const QByteArray now = QTime::currentTime().toString(QStringLiteral("HH:mm")).toLatin1();
    Home home("[programa1]\narchivo=" + m_tone.toLocal8Bit() + "\nhoras=" + now +
              "\n[programa2]\nhoras=99:99\n");
    QFile::resize(m_lineLog, 0);
    QProcess p;
    home.start(p, {QStringLiteral("--programa")});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(home.lines().size() >= 2, 10000);
    QTest::qWait(300);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QString errors = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("programa2")), qPrintable(errors)); // told, and skipped
    const QList<QStringList> lines = home.lines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(field(lines.at(0), 2) + "|" + field(lines.at(0), 5), QStringLiteral("programa 1|perdida"));
    QCOMPARE(field(lines.at(1), 2) + "|" + field(lines.at(1), 5), QStringLiteral("programa 2|omitida"));
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 0);
}

void TestCli::unusableKeyingExitsOne_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");
    const QByteArray noRigctld = "metodo=cat\nequipo=2\nequipopuerto=localhost:1\n";
    QTest::newRow("CAT, no rigctld") << noRigctld << QStringList{"--enviar", "TONE"} << "no se puede abrir el equipo";
    QTest::newRow("CAT, no rigctld, twice")
        << noRigctld << QStringList{"--enviar", "TONE", "--veces", "2", "--intervalo", "1"} << "no se puede abrir el equipo";
    QTest::newRow("CAT, no rigctld, test tone") << noRigctld << QStringList{"--probar"} << "no se puede abrir el equipo";
    QTest::newRow("CAT on /dev/null") << QByteArray("metodo=cat\nequipo=2014\nequipopuerto=/dev/null\n")
                                      << QStringList{"--enviar", "TONE"} << "/dev/null no es un puerto serie";
    QTest::newRow("CAT, unknown model") << QByteArray("metodo=cat\nequipo=999999\nequipopuerto=localhost:1\n")
                                        << QStringList{"--enviar", "TONE"} << "Hamlib no conoce el modelo de equipo 999999";
    QTest::newRow("CAT, model out of range") << QByteArray("metodo=cat\nequipo=-5\n") << QStringList{"--enviar", "TONE"}
                                             << "El modelo de equipo -5 no es válido";
    QTest::newRow("unknown method") << QByteArray("metodo=vox\n") << QStringList{"--enviar", "TONE"}
                                    << "No se conoce el método «vox»";
    QTest::newRow("CM108 pin out of range") << QByteArray("metodo=cm108\npin=9\n") << QStringList{"--enviar", "TONE"}
                                            << "El pin 9 de la interfaz CM108 no existe";
    QTest::newRow("CM108 on an ordinary file") << QByteArray("metodo=cm108\ncm108=FILE\n")
                                               << QStringList{"--enviar", "TONE"} << "no es un dispositivo hidraw";
    QTest::newRow("unknown busy source") << QByteArray("ocupado=radar\n") << QStringList{"--enviar", "TONE"}
                                         << "No se conoce la fuente «radar»";
    QTest::newRow("busy source that cannot be read")
        << QByteArray("ocupado=gpio\nocupadogpio=nochip:99\n") << QStringList{"--enviar", "TONE"}
        << "No se puede saber si el canal está libre";
}

// Keying that cannot be used, found at once or only when the radio does not answer: the reason
// is told, the log says "fallo", nothing is keyed or written, and the exit status is 1.
void TestCli::unusableKeyingExitsOne()
{
    QFETCH(QByteArray, conf);
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    QTemporaryDir files;
    const QString notes = files.filePath(QStringLiteral("notas.txt"));
    const QByteArray content = QByteArrayLiteral("0123456789abcdefghijklmnopqrstuvwxyz");
    {
        QFile f(notes);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }
    conf.replace("FILE", notes.toLocal8Bit());
    args.replaceInStrings(QStringLiteral("TONE"), m_tone);
    Home home(QByteArray(), conf);
    QFile::resize(m_lineLog, 0);
    QString errors;
    QCOMPARE(home.run(args, &errors), 1);
    QVERIFY2(errors.contains(reason), qPrintable(errors));
    QVERIFY2(keyPeriods(readLineLog(m_lineLog)).isEmpty(), "the serial line was keyed");
    QCOMPARE(field(home.lines().value(0), 5), QStringLiteral("fallo"));
    QFile f(notes);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), content);
}

// What --dispositivos says would be used, an unknown method or source named; nothing is opened.
void TestCli::devicesListing_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QString>("unsaid");
    QTest::newRow("unknown method") << QByteArray("metodo=ningun\n")
                                    << QStringList{"Transmisor (método «ningun»)", "No se conoce el método «ningun»"}
                                    << "puerto serie";
    QTest::newRow("no busy source") << QByteArray()
                                    << QStringList{"Canal ocupado (fuente «ninguno»): no se escucha"} << "umbral";
    QTest::newRow("the receiver on the recording input")
        << QByteArray("ocupado=audio\nentrada=txin\nentradanombre=Receptor\numbral=-50\n")
        << QStringList{"Canal ocupado (fuente «audio»): audio del receptor en «Receptor», umbral -50 dBFS; libre "
                       "2000 ms"}
        << "no se puede";
    QTest::newRow("unknown busy source") << QByteArray("ocupado=radio\n")
                                         << QStringList{"(fuente «radio»): no se puede usar: No se conoce la fuente"}
                                         << "se transmite sin esperar";
}

void TestCli::devicesListing()
{
    QFETCH(QByteArray, conf);
    QFETCH(QStringList, said);
    QFETCH(QString, unsaid);
    Home home(QByteArray(), conf);
    QProcess p;
    home.start(p, {QStringLiteral("--dispositivos")});
    QVERIFY(p.waitForFinished(15000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString &text : said)
        QVERIFY2(out.contains(text), qPrintable(out));
    QVERIFY2(!out.contains(unsaid), qPrintable(out));
}

void TestCli::identifiedInsideTheKeyPeriod_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("withMessage");
    QTest::addColumn<QString>("origin");
    QTest::newRow("after the message") << "--enviar" << true << "línea de órdenes";
    QTest::newRow("on its own") << "--identificar" << false << "identificación";
}

// What the sink played, read back as Morse, is the callsign, and all of it went out keyed: after
// the lead and before the tail, with the message when there is one.
void TestCli::identifiedInsideTheKeyPeriod()
{
    QFETCH(QString, command);
    QFETCH(bool, withMessage);
    QFETCH(QString, origin);
    Home home({}, "indicativo=ea1abc/p\nidentificacion=final\ncwvelocidad=30\ncwnivel=-6\n");
    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);
    QString errors;
    QStringList args{command};
    if (withMessage)
        args << m_tone;
    QCOMPARE(home.run(args, &errors), 0);
    QTest::qWait(200);
    capture.stop();
    QVERIFY2(errors.isEmpty(), qPrintable(errors));
    VERIFY_CAPTURE_WHOLE(capture);

    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    QCOMPARE(keyed.size(), 1);
    QList<float> heard = capture.pcm(0, capture.samples());
    const QList<MorseDecoder::Run> runs = MorseDecoder::runs(heard, capture.rate());
    qsizetype first = -1, last = -1;
    for (const MorseDecoder::Run &r : runs) {
        if (!r.on)
            continue;
        if (first < 0)
            first = r.start;
        last = r.start + r.length;
    }
    QVERIFY(first >= 0);
    QVERIFY2(capture.sampleNs(first) >= keyed.first().upNs + 300 * kMs - kPeriod, "the sound waits the lead");
    QVERIFY2(capture.sampleNs(last) <= keyed.first().downNs - 100 * kMs + kPeriod, "the key waits the tail");
    if (withMessage) {
        // The message, a plain tone of 0.6 s, and the identification after it.
        const auto message = std::find_if(runs.cbegin(), runs.cend(), [](const auto &r) { return r.on; });
        QVERIFY(std::abs(message->length - capture.rate() * 6 / 10) < capture.rate() / 50);
        heard = heard.mid(message->start + message->length);
    }
    QCOMPARE(MorseDecoder::decode(heard, capture.rate()), QStringLiteral("DE EA1ABC/P"));
    const QList<QStringList> lines = home.lines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(field(lines.first(), 2), origin);
    QCOMPARE(field(lines.first(), 5), QStringLiteral("completa"));
}

void TestCli::identifyWithoutCallsignKeysNothing()
{
    Home home({}, "identificacion=final\nindicativo=EA1 ABC\n");
    QFile::resize(m_lineLog, 0);
    QString errors;
    QCOMPARE(home.run({QStringLiteral("--identificar")}, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("no hay ningún indicativo")), qPrintable(errors));
    QVERIFY2(keyPeriods(readLineLog(m_lineLog)).isEmpty(), "the transmitter was keyed");
    // A message to send is refused too, with nothing keyed: the station would go out unidentified.
    QCOMPARE(home.run({QStringLiteral("--enviar"), m_tone}, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("no hay ningún indicativo")), qPrintable(errors));
    QVERIFY2(keyPeriods(readLineLog(m_lineLog)).isEmpty(), "the transmitter was keyed");
}

PREGONAL_SOUND_TEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

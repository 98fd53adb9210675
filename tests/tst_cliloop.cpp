// The command line run to its end again and again while the sound server is busy elsewhere:
// another program plays noise on a second card and cards come and go, so the sound engine's
// thread has events to handle at any moment, the moment the program ends included. Every run
// must end as a finished run does: status 0, nothing on standard error, its line "completa", the
// transmitter unkeyed. The guard preloaded into the program (tests/shim/pulseguard.c) stops it
// when the sound server's connection is torn down unsafely, which otherwise crashes it only now
// and then.
#include "clihome.h"
#include "realrig.h"
#include "soundcapture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

namespace {
constexpr int kRuns = 20;
constexpr qint64 kBudgetMs = 120000;

} // namespace

class TestCliLoop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyRunEndsInOrder();

private:
    QTemporaryDir m_tones;
    QString m_tone;
    QString m_noiseModule;
    QProcess m_noise; // plays on the second card all along
    QProcess m_churn; // a card that comes and goes
};

void TestCliLoop::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_tone = m_tones.filePath(QStringLiteral("aviso.wav"));
    QVERIFY(writeToneWav(m_tone, 48000, 1, 48000)); // 1 s
    m_noiseModule = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                           QStringLiteral("sink_name=ruido")});
    QVERIFY(!m_noiseModule.isEmpty());
    m_noise.start(QStringLiteral("pacat"), {QStringLiteral("-d"), QStringLiteral("ruido"),
                                            QStringLiteral("--raw"), QStringLiteral("/dev/urandom")});
    QVERIFY(m_noise.waitForStarted());
    m_churn.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("while :; do m=$(pactl load-module module-null-sink "
                                              "sink_name=vaiven) && pactl unload-module $m; sleep 0.1; "
                                              "done")});
    QVERIFY(m_churn.waitForStarted());
}

void TestCliLoop::cleanupTestCase()
{
    for (QProcess *p : {&m_churn, &m_noise}) {
        p->kill();
        p->waitForFinished();
    }
    // The churn may have been stopped between its two steps.
    static const QRegularExpression ours(
        QStringLiteral("^(\\d+)\\s+module-null-sink\\s+sink_name=(vaiven|ruido)$"));
    for (const QString &line :
         pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("modules")})
             .split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = ours.match(line.trimmed());
        if (m.hasMatch())
            pactl({QStringLiteral("unload-module"), m.captured(1)});
    }
}

void TestCliLoop::everyRunEndsInOrder()
{
    Home home;
    QVERIFY(!home.slave.isEmpty());
    home.preload = QStringLiteral(PREGONAL_PULSEGUARD);
    const QString lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    QFile::resize(lineLog, 0);
    QElapsedTimer clock;
    clock.start();
    int runs = 0;
    QStringList faults;
    while (runs < kRuns && clock.elapsed() < kBudgetMs) {
        QString errors;
        const int status = home.run({QStringLiteral("--enviar"), m_tone}, &errors);
        ++runs;
        if (status != 0 || !errors.isEmpty())
            faults << QStringLiteral("run %1: status %2 (-1: crashed or hung) %3")
                          .arg(runs)
                          .arg(status)
                          .arg(errors);
    }
    qInfo("%d runs of the command line, %d ended out of order", runs, int(faults.size()));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    QVERIFY(runs >= 3);
    const QList<QStringList> lines = readLatestLog(home.logFolder(), kRuns + 1);
    QCOMPARE(lines.size(), runs);
    for (const QStringList &line : lines)
        QCOMPARE(line.value(5), QStringLiteral("completa"));
    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(lineLog));
    QCOMPARE(keyed.size(), runs);
    QVERIFY(!readLineLog(lineLog).last().dtr && !readLineLog(lineLog).last().rts);
}

QTEST_GUILESS_MAIN(TestCliLoop)
#include "tst_cliloop.moc"

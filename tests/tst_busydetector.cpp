// The receiver's audio heard as busy or clear: the threshold held for 30 ms, the 3 dB of
// hysteresis, the hang through the pauses between words, and the level of a block of samples;
// which source the settings make when none can be read.
#include "busydetector.h"
#include "busysourcemaker.h"
#include "deviceerror.h"

#include <QRegularExpression>
#include <QTest>

#include <cmath>

class TestBusyDetector : public QObject
{
    Q_OBJECT
private slots:
    void levels_data();
    void levels();
    void rmsLevel_data();
    void rmsLevel();
    void rising_data();
    void rising();
    void madeSource_data();
    void madeSource();
};

// levels: "<dB>x<ms>" segments fed in 10 ms blocks at a threshold of -40 dBFS, "|" where it
// listens afresh; changes: each change of state as "busy@<ms>" or "clear@<ms>", the ms counted at
// the end of the block that made it, and the first reading after listening afresh as "fresh:…".
void TestBusyDetector::levels_data()
{
    QTest::addColumn<QString>("levels");
    QTest::addColumn<QString>("changes");

    QTest::newRow("silence clears once settled") << "-90x200" << "clear@50";
    QTest::newRow("voice heard from the start stays busy") << "-20x500" << "";
    QTest::newRow("voice at the start, then the hang") << "-20x300 -90x1500" << "clear@1300";
    QTest::newRow("30 ms above is busy") << "-90x100 -30x30 -90x1500" << "clear@50 busy@130 clear@1130";
    QTest::newRow("a 20 ms click is not") << "-90x100 -10x20 -90x500" << "clear@50";
    QTest::newRow("two clicks with a gap are not") << "-90x100 -10x20 -90x10 -10x20 -90x300" << "clear@50";
    QTest::newRow("at the threshold is not above") << "-90x100 -40x500" << "clear@50";
    QTest::newRow("just above the threshold") << "-90x100 -39.5x500" << "clear@50 busy@130";
    QTest::newRow("inside the hysteresis stays busy") << "-90x60 -30x100 -42x3000" << "clear@50 busy@90";
    QTest::newRow("below the hysteresis clears after the hang")
        << "-90x60 -30x100 -43.5x1200" << "clear@50 busy@90 clear@1160";
    QTest::newRow("hysteresis does not start busy") << "-90x100 -42x1000" << "clear@50";
    QTest::newRow("pauses between words stay busy")
        << "-90x60 -25x400 -70x300 -25x200 -70x600 -25x300 -70x1200"
        << "clear@50 busy@90 clear@2860";
    QTest::newRow("a pause just under the hang") << "-90x60 -25x100 -70x990 -25x50 -90x1000"
                                                 << "clear@50 busy@90 clear@2200";
    QTest::newRow("a pause of the hang clears")
        << "-90x60 -25x100 -70x1000 -25x100 -90x1000" << "clear@50 busy@90 clear@1160 busy@1190 clear@2260";
    QTest::newRow("voice at the start keeps it busy past the settling")
        << "-25x30 -90x40 -90x1000" << "clear@1030";
    QTest::newRow("afresh: the hang of what came before is forgotten")
        << "-90x60 -25x300 -90x500 | -90x100" << "clear@50 busy@90 clear@860 fresh:clear@890";
    QTest::newRow("afresh: a voice going on is busy 30 ms on")
        << "-90x60 -25x300 | -25x200" << "clear@50 busy@90 clear@360 busy@390 fresh:busy@390";
    QTest::newRow("afresh: a voice starting just after is seen 30 ms after it is heard")
        << "-90x60 -25x300 -90x500 | -90x10 -25x100 -90x1200"
        << "clear@50 busy@90 clear@860 fresh:clear@890 busy@900 clear@1970";
    QTest::newRow("afresh: a click is not busy") << "-90x100 | -10x20 -90x100" << "clear@50 fresh:clear@130";
    QTest::newRow("afresh: inside the hysteresis is not busy")
        << "-90x60 -30x100 | -42x500" << "clear@50 busy@90 clear@160 fresh:clear@190";
}

void TestBusyDetector::levels()
{
    QFETCH(QString, levels);
    QFETCH(QString, changes);
    BusyDetector detector(-40);
    QVERIFY(detector.busy()); // nothing heard yet
    QStringList seen;
    int ms = 0;
    bool busy = true;
    bool afresh = false;
    for (const QString &segment : levels.split(QLatin1Char(' '))) {
        if (segment == QLatin1String("|")) {
            detector.listenAfresh();
            afresh = true;
            if (detector.busy() != busy) {
                busy = !busy;
                seen << QStringLiteral("%1@%2").arg(busy ? "busy" : "clear").arg(ms);
            }
            continue;
        }
        const QStringList parts = segment.split(QLatin1Char('x'));
        QCOMPARE(parts.size(), 2);
        for (int left = parts[1].toInt(); left > 0; left -= 10) {
            ms += 10;
            if (detector.feed(parts[0].toDouble(), 10) != busy) {
                busy = !busy;
                seen << QStringLiteral("%1@%2").arg(busy ? "busy" : "clear").arg(ms);
            }
            if (afresh && detector.settled()) {
                afresh = false;
                seen << QStringLiteral("fresh:%1@%2").arg(busy ? "busy" : "clear").arg(ms);
            }
        }
    }
    QCOMPARE(seen.join(QLatin1Char(' ')), changes);
    detector.reset();
    QVERIFY(detector.busy());
}

// Whether a sound has begun that is not yet long enough to be a voice, after levels fed as above:
// what puts a key-up off until the detector can tell.
void TestBusyDetector::rising_data()
{
    QTest::addColumn<QString>("levels");
    QTest::addColumn<bool>("rising");
    QTest::newRow("quiet") << "-90x100" << false;
    QTest::newRow("a sound begun") << "-90x100 -30x10" << true;
    QTest::newRow("20 ms of it") << "-90x100 -30x20" << true;
    QTest::newRow("30 ms: a voice, busy") << "-90x100 -30x30" << false;
    QTest::newRow("a click over") << "-90x100 -30x20 -90x10" << false;
    QTest::newRow("at the threshold is not above") << "-90x100 -40x20" << false;
    QTest::newRow("a word while busy") << "-90x100 -30x100 -90x100 -30x10" << false;
    QTest::newRow("heard afresh: a sound begun") << "-90x100 -30x100 | -30x10" << true;
    QTest::newRow("nothing heard yet") << "-30x10" << false;
}

void TestBusyDetector::rising()
{
    QFETCH(QString, levels);
    QFETCH(bool, rising);
    BusyDetector detector(-40);
    for (const QString &segment : levels.split(QLatin1Char(' '))) {
        if (segment == QLatin1String("|")) {
            detector.listenAfresh();
            continue;
        }
        const QStringList parts = segment.split(QLatin1Char('x'));
        for (int left = parts[1].toInt(); left > 0; left -= 10)
            detector.feed(parts[0].toDouble(), 10);
    }
    QCOMPARE(detector.rising(), rising);
}

void TestBusyDetector::rmsLevel_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("amplitude");
    QTest::addColumn<double>("dB");

    QTest::newRow("silence") << "square" << 0 << busylevel::SilenceDb;
    QTest::newRow("full-scale square") << "square" << 32768 << 0.0;
    QTest::newRow("half-scale square") << "square" << 16384 << -6.02;
    QTest::newRow("full-scale sine") << "sine" << 32767 << -3.01;
    QTest::newRow("sine at -40 dBFS peak") << "sine" << 328 << -43.0;
    QTest::newRow("one step of noise") << "square" << 1 << -90.31;
}

void TestBusyDetector::rmsLevel()
{
    QFETCH(QString, kind);
    QFETCH(int, amplitude);
    QFETCH(double, dB);
    QVector<qint16> samples(480);
    for (int i = 0; i < samples.size(); ++i) {
        const double x = kind == QLatin1String("sine") ? std::sin(2 * M_PI * 1000.0 * i / 48000.0)
                                                       : (i % 2 ? 1.0 : -1.0);
        samples[i] = qint16(std::clamp(std::lround(amplitude * x), -32768L, 32767L));
    }
    QVERIFY2(std::abs(busylevel::rmsDb(samples.constData(), samples.size()) - dB) < 0.05,
             qPrintable(QString::number(busylevel::rmsDb(samples.constData(), samples.size()))));
    QCOMPARE(busylevel::rmsDb(samples.constData(), 0), busylevel::SilenceDb);
}

// With no sound server to listen through, every source but "ninguno" refuses at open with its
// reason: none is ever taken for "key at once".
void TestBusyDetector::madeSource_data()
{
    QTest::addColumn<QString>("ocupado");
    QTest::addColumn<QString>("receptor");
    QTest::addColumn<QString>("refusal"); // empty: no source
    QTest::addColumn<QString>("card");    // the input "audio" listens to

    QTest::newRow("ninguno") << "" << "" << "" << "";
    QTest::newRow("unknown") << "radio" << "" << "«radio»" << "";
    QTest::newRow("audio on the recording input") << "audio" << "" << "escuchar el audio" << "entrada";
    QTest::newRow("audio on its own input") << "audio" << "rx" << "escuchar el audio" << "rx";
}

void TestBusyDetector::madeSource()
{
    QFETCH(QString, ocupado);
    QFETCH(QString, receptor);
    QFETCH(QString, refusal);
    QFETCH(QString, card);
    BusySettings settings;
    settings.ocupadoText = ocupado;
    settings.ocupado = ocupado.isEmpty() ? BusySettings::Source::Ninguno
                       : ocupado == QLatin1String("audio") ? BusySettings::Source::Audio
                                                           : BusySettings::Source::Unknown;
    settings.receptor = receptor;
    BusySourceContext context;
    context.entrada = {QStringLiteral("entrada"), QString()};
    QCOMPARE(receiverCard(settings, context.entrada).id, card.isEmpty() ? QStringLiteral("entrada") : card);
    const std::unique_ptr<BusySource> source = makeBusySource(settings, context);
    QCOMPARE(bool(source), !refusal.isEmpty());
    if (!source)
        return;
    try {
        source->open();
        QFAIL("opened");
    } catch (const DeviceError &e) {
        QVERIFY2(e.reason().contains(refusal), qPrintable(e.reason()));
    }
    QVERIFY(!source->isOpen());
    QVERIFY(!source->busy());
}

QTEST_GUILESS_MAIN(TestBusyDetector)
#include "tst_busydetector.moc"

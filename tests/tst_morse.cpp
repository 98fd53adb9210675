// The station's identification as sound and as settings: the code of every character against the
// international table, element and gap lengths to the sample at the slowest, usual and fastest
// speeds, the envelope's ramps, the keyed tone read back into text, and the tolerant reading of
// the identification's settings.
#include "identsettings.h"
#include "morse.h"
#include "settingsstore.h"
#include "support/morsedecoder.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

class TestMorse : public QObject
{
    Q_OBJECT
private slots:
    void everyCharacter();
    void keyingUnits_data();
    void keyingUnits();
    void edgesToTheSample_data();
    void edgesToTheSample();
    void rampsWithoutSteps_data();
    void rampsWithoutSteps();
    void decodesBack_data();
    void decodesBack();
    void settingsTolerated_data();
    void settingsTolerated();
    void settingsRoundTrip();
};

void TestMorse::everyCharacter()
{
    const auto &itu = MorseDecoder::itu();
    QCOMPARE(itu.size(), 37);
    for (auto it = itu.cbegin(); it != itu.cend(); ++it) {
        QCOMPARE(Morse::code(it.value()), it.key());
        QCOMPARE(Morse::code(it.value().toLower()), it.key());
    }
    for (const QChar c : QStringLiteral(" .-?ÑÇ,=+@"))
        QVERIFY2(Morse::code(c).isEmpty(), qPrintable(QString(c)));
}

void TestMorse::keyingUnits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("units"); // tone as +n, silence as -n
    QTest::newRow("E") << "E"
                       << "+1";
    QTest::newRow("A") << "A"
                       << "+1 -1 +3";
    QTest::newRow("letters") << "ET"
                             << "+1 -3 +3";
    QTest::newRow("words") << "E T"
                           << "+1 -7 +3";
    QTest::newRow("blanks collapse") << "  E   T "
                                     << "+1 -7 +3";
    QTest::newRow("unknown skipped") << "E?T"
                                     << "+1 -3 +3";
    QTest::newRow("slash") << "/"
                           << "+3 -1 +1 -1 +1 -1 +3 -1 +1";
    // PARIS and its word space make fifty units.
    QTest::newRow("PARIS")
        << "PARIS"
        << "+1 -1 +3 -1 +3 -1 +1 -3 +1 -1 +3 -3 +1 -1 +3 -1 +1 -3 +1 -1 +1 -3 +1 -1 +1 -1 +1";
}

void TestMorse::keyingUnits()
{
    QFETCH(QString, text);
    QFETCH(QString, units);
    QStringList got;
    for (const Morse::Element &e : Morse::elements(text))
        got << (e.on ? QStringLiteral("+%1") : QStringLiteral("-%1")).arg(e.units);
    QCOMPARE(got.join(QLatin1Char(' ')), units);
}

void TestMorse::edgesToTheSample_data()
{
    QTest::addColumn<int>("wpm");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("dotSamples"); // 1200 / wpm ms at rate
    QTest::newRow("5 WPM 48 kHz") << 5 << 48000 << 11520;
    QTest::newRow("20 WPM 48 kHz") << 20 << 48000 << 2880;
    QTest::newRow("40 WPM 48 kHz") << 40 << 48000 << 1440;
    QTest::newRow("20 WPM 22,05 kHz") << 20 << 22050 << 1323;
    QTest::newRow("40 WPM 22,05 kHz (half samples)") << 40 << 22050 << 661;
    QTest::newRow("20 WPM 8 kHz") << 20 << 8000 << 480;
}

// Every crossing of half level falls within a sample of its ideal place, all along the text.
void TestMorse::edgesToTheSample()
{
    QFETCH(int, wpm);
    QFETCH(int, rate);
    QFETCH(int, dotSamples);
    QCOMPARE(int(Morse::dotSamples(wpm, rate)), dotSamples);
    const QString text = QStringLiteral("PARIS PARIS");
    const QList<float> env = Morse::envelope(text, wpm, rate);
    const double dot = rate * 1.2 / wpm;
    const double lead = rate * Morse::RampMs / 2000.0;
    QList<double> ideal;
    int at = 0;
    for (const Morse::Element &e : Morse::elements(text)) {
        if (e.on)
            ideal << lead + at * dot << lead + (at + e.units) * dot;
        at += e.units;
    }
    QList<qsizetype> crossings;
    for (qsizetype n = 1; n < env.size(); ++n)
        if ((env[n - 1] < 0.5f) != (env[n] < 0.5f))
            crossings << n;
    if (env.last() >= 0.5f)
        crossings << env.size();
    QCOMPARE(crossings.size(), ideal.size());
    for (int i = 0; i < ideal.size(); ++i)
        QVERIFY2(
            std::abs(crossings[i] - ideal[i]) <= 1.0,
            qPrintable(QStringLiteral("edge %1 at %2, ideal %3").arg(i).arg(crossings[i]).arg(ideal[i])));
    // Ninety-three units from the first rise to the last fall: PARIS is fifty with its word space.
    QVERIFY(std::abs(env.size() - (93 * dot + 2 * lead)) <= 2.0);
}

void TestMorse::rampsWithoutSteps_data()
{
    QTest::addColumn<int>("wpm");
    QTest::addColumn<int>("rate");
    QTest::newRow("5 WPM 48 kHz") << 5 << 48000;
    QTest::newRow("40 WPM 48 kHz") << 40 << 48000;
    QTest::newRow("40 WPM 22,05 kHz") << 40 << 22050;
    QTest::newRow("20 WPM 8 kHz") << 20 << 8000;
}

// A raised cosine over RampMs changes at most pi/2 of its height per ramp length; a rise or fall
// needs the whole ramp: no step the shaping does not allow, no shortened edge.
void TestMorse::rampsWithoutSteps()
{
    QFETCH(int, wpm);
    QFETCH(int, rate);
    const QList<float> env = Morse::envelope(QStringLiteral("DE EA1ABC/P 0"), wpm, rate);
    const double ramp = rate * Morse::RampMs / 1000.0;
    const double steepest = 3.141592653589793 / (2 * ramp);
    QCOMPARE(env.first(), 0.0f);
    QCOMPARE(env.last(), 0.0f);
    qsizetype risingFrom = -1;
    for (qsizetype n = 1; n < env.size(); ++n) {
        QVERIFY2(std::abs(env[n] - env[n - 1]) <= steepest * 1.01,
                 qPrintable(QStringLiteral("step %1 at %2").arg(env[n] - env[n - 1]).arg(n)));
        if (env[n - 1] == 0.0f && env[n] > 0.0f)
            risingFrom = n;
        if (env[n - 1] < 1.0f && env[n] == 1.0f) {
            QVERIFY(risingFrom >= 0);
            QVERIFY2(n - risingFrom >= ramp - 2, qPrintable(QString::number(n - risingFrom)));
        }
    }
    const QList<float> tone = Morse::samples(QStringLiteral("E"), wpm, 750, -12, 48000);
    float peak = 0;
    for (float s : tone)
        peak = std::max(peak, std::abs(s));
    QVERIFY(std::abs(peak - std::pow(10.0, -12 / 20.0)) < 0.01);
}

void TestMorse::decodesBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("wpm");
    QTest::addColumn<int>("tone");
    QTest::addColumn<int>("rate");
    QTest::newRow("callsign") << "DE EA1ABC/P" << 20 << 800 << 48000;
    QTest::newRow("all letters") << "ABCDEFGHIJKLM NOPQRSTUVWXYZ" << 40 << 2000 << 22050;
    QTest::newRow("digits slow low") << "1234567890 /" << 5 << 300 << 8000;
}

void TestMorse::decodesBack()
{
    QFETCH(QString, text);
    QFETCH(int, wpm);
    QFETCH(int, tone);
    QFETCH(int, rate);
    QCOMPARE(MorseDecoder::decode(Morse::samples(text, wpm, tone, -40, rate), rate), text);
}

void TestMorse::settingsTolerated_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored"); // "<none>": absent
    QTest::addColumn<QString>("read");
    QTest::newRow("callsign absent") << "indicativo"
                                     << "<none>"
                                     << "";
    QTest::newRow("callsign") << "indicativo"
                              << "EA1ABC/P"
                              << "EA1ABC/P";
    QTest::newRow("callsign lower case") << "indicativo"
                                         << " ea1abc "
                                         << "EA1ABC";
    QTest::newRow("callsign blank inside") << "indicativo"
                                           << "EA1 ABC"
                                           << "";
    QTest::newRow("callsign other sign") << "indicativo"
                                         << "EA1-ABC"
                                         << "";
    QTest::newRow("callsign accented") << "indicativo"
                                       << "EÑ1ABC"
                                       << "";
    QTest::newRow("mode absent") << "identificacion"
                                 << "<none>"
                                 << "no";
    QTest::newRow("mode final") << "identificacion"
                                << "final"
                                << "final";
    QTest::newRow("mode cada") << "identificacion"
                               << "CADA"
                               << "cada";
    QTest::newRow("mode unknown") << "identificacion"
                                  << "siempre"
                                  << "no";
    QTest::newRow("interval absent") << "identcada"
                                     << "<none>"
                                     << "10";
    QTest::newRow("interval 0") << "identcada"
                                << "0"
                                << "1";
    QTest::newRow("interval 61") << "identcada"
                                 << "61"
                                 << "60";
    QTest::newRow("interval text") << "identcada"
                                   << "diez"
                                   << "10";
    QTest::newRow("speed low") << "cwvelocidad"
                               << "4"
                               << "5";
    QTest::newRow("speed high") << "cwvelocidad"
                                << "41"
                                << "40";
    QTest::newRow("speed text") << "cwvelocidad"
                                << "rápido"
                                << "20";
    QTest::newRow("tone low") << "cwtono"
                              << "299"
                              << "300";
    QTest::newRow("tone high") << "cwtono"
                               << "20000"
                               << "2000";
    QTest::newRow("level low") << "cwnivel"
                               << "-41"
                               << "-40";
    QTest::newRow("level high") << "cwnivel"
                                << "3"
                                << "0";
    QTest::newRow("level absent") << "cwnivel"
                                  << "<none>"
                                  << "-12";
    QTest::newRow("level text") << "cwnivel"
                                << "-6dB"
                                << "-12";
}

void TestMorse::settingsTolerated()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, read);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    if (stored != QLatin1String("<none>"))
        QVERIFY(store.write(QStringLiteral("Pregonal"), QStringLiteral("conf"), key, stored));
    const IdentSettings s = readIdentSettings(store);
    const QHash<QString, QString> got = {
        {QStringLiteral("indicativo"), s.indicativo},
        {QStringLiteral("identificacion"), IdentSettings::modeName(s.identificacion)},
        {QStringLiteral("identcada"), QString::number(s.identcadaMin)},
        {QStringLiteral("cwvelocidad"), QString::number(s.cwvelocidadWpm)},
        {QStringLiteral("cwtono"), QString::number(s.cwtonoHz)},
        {QStringLiteral("cwnivel"), QString::number(s.cwnivelDb)},
    };
    QCOMPARE(got.value(key), read);
    // Reading never writes back.
    if (stored == QLatin1String("<none>"))
        QVERIFY(store.sections(QStringLiteral("Pregonal")).isEmpty());
}

void TestMorse::settingsRoundTrip()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    IdentSettings s;
    s.indicativo = QStringLiteral("EA1ABC/P");
    s.identificacion = IdentSettings::Mode::Cada;
    s.identcadaMin = 15;
    s.identarchivo = QStringLiteral("/tmp/id.wav");
    s.cwvelocidadWpm = 25;
    s.cwtonoHz = 650;
    s.cwnivelDb = -20;
    QVERIFY(writeIdentSettings(store, s));
    const IdentSettings r = readIdentSettings(store);
    QCOMPARE(r.indicativo, s.indicativo);
    QCOMPARE(r.identificacion, s.identificacion);
    QCOMPARE(r.identcadaMin, s.identcadaMin);
    QCOMPARE(r.identarchivo, s.identarchivo);
    QCOMPARE(r.cwvelocidadWpm, s.cwvelocidadWpm);
    QCOMPARE(r.cwtonoHz, s.cwtonoHz);
    QCOMPARE(r.cwnivelDb, s.cwnivelDb);
}

QTEST_GUILESS_MAIN(TestMorse)
#include "tst_morse.moc"

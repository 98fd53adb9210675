// What the command line asks for, and what it refuses with exit status 2.
#include "commandline.h"
#include "measurecommand.h"

#include <cmath>

#include <QTest>

Q_DECLARE_METATYPE(Command::Mode)

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void parsed_data();
    void parsed();
    void refused_data();
    void refused();
    void measureLine_data();
    void measureLine();
};

void TestCommandLine::parsed_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<Command::Mode>("mode");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("times");
    using M = Command::Mode;
    QTest::newRow("nothing: the window") << "" << M::Window << "" << false << -1 << 0;
    QTest::newRow("send once") << "--enviar /tmp/a b.wav" << M::Send << "/tmp/a b.wav" << false << -1 << 0;
    QTest::newRow("send with =") << "--enviar=/tmp/a.wav" << M::Send << "/tmp/a.wav" << false << -1 << 0;
    QTest::newRow("loop, interval") << "--bucle --intervalo 30 --enviar x.wav" << M::Send << "x.wav" << true << 30 << 0;
    QTest::newRow("times imply a loop") << "--enviar x.wav --veces=3" << M::Send << "x.wav" << true << -1 << 3;
    QTest::newRow("interval at its ends") << "--enviar x.wav --intervalo 3600" << M::Send << "x.wav" << false << 3600 << 0;
    QTest::newRow("schedule") << "--programa" << M::Schedule << "" << false << -1 << 0;
    QTest::newRow("state") << "--estado" << M::State << "" << false << -1 << 0;
    QTest::newRow("stop") << "--detener" << M::Stop << "" << false << -1 << 0;
    QTest::newRow("devices") << "--dispositivos" << M::Devices << "" << false << -1 << 0;
    QTest::newRow("test") << "--probar" << M::Test << "" << false << -1 << 0;
    QTest::newRow("identify") << "--identificar" << M::Identify << "" << false << -1 << 0;
    QTest::newRow("version") << "--version" << M::Version << "" << false << -1 << 0;
    QTest::newRow("help, short") << "-h" << M::Help << "" << false << -1 << 0;
    QTest::newRow("a file named like an option, with =") << "--enviar=--bucle" << M::Send << "--bucle" << false << -1 << 0;
    QTest::newRow("a file named like an option, as a path")
        << "--enviar ./--bucle --bucle" << M::Send << "./--bucle" << true << -1 << 0;
    QTest::newRow("a file beginning with one dash") << "--enviar -x.wav" << M::Send << "-x.wav" << false << -1 << 0;
    QTest::newRow("the same mode twice") << "--programa --programa" << M::Schedule << "" << false << -1 << 0;
    // For --medir, "file" lists its files joined by '|'.
    QTest::newRow("measure one") << "--medir a.wav" << M::Measure << "a.wav" << false << -1 << 0;
    QTest::newRow("measure several") << "--medir a.wav /tmp/a b.wav" << M::Measure << "a.wav|/tmp/a b.wav"
                                     << false << -1 << 0;
    QTest::newRow("measure one named like an option")
        << "--medir=--bucle ./--veces" << M::Measure << "--bucle|./--veces" << false << -1 << 0;
}

void TestCommandLine::parsed()
{
    QFETCH(QString, line);
    QFETCH(Command::Mode, mode);
    QFETCH(QString, file);
    QFETCH(bool, loop);
    QFETCH(int, interval);
    QFETCH(int, times);
    // A file name with a blank stays one argument, as the shell gives it.
    QStringList args = line.isEmpty() ? QStringList() : line.split(QLatin1Char(' '));
    const int blank = int(args.indexOf(QStringLiteral("/tmp/a")));
    if (blank >= 0)
        args.replace(blank, args.at(blank) + QStringLiteral(" ") + args.takeAt(blank + 1));
    const Command c = parseCommandLine(args);
    QVERIFY2(c.error.isEmpty(), qPrintable(c.error));
    QCOMPARE(c.mode, mode);
    QCOMPARE(c.mode == Command::Mode::Measure ? c.files.join(QLatin1Char('|')) : c.file, file);
    QCOMPARE(c.loop, loop);
    QCOMPARE(c.interval, interval);
    QCOMPARE(c.times, times);
}

void TestCommandLine::refused_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("why");
    QTest::newRow("unknown option") << "--enviarr x.wav" << "opción desconocida «--enviarr»";
    QTest::newRow("stray word") << "x.wav" << "sobra «x.wav»";
    QTest::newRow("send without file") << "--enviar" << "falta el valor de «--enviar»";
    QTest::newRow("an option where the file goes") << "--enviar --bucle" << "falta el valor de «--enviar»";
    QTest::newRow("help where the file goes") << "--enviar -h" << "falta el valor de «--enviar»";
    QTest::newRow("an option where the pause goes")
        << "--enviar x.wav --intervalo --veces 2" << "falta el valor de «--intervalo»";
    QTest::newRow("two messages") << "--enviar a.wav --enviar b.wav" << "se ha dado dos veces";
    QTest::newRow("the same message twice, with =") << "--enviar a.wav --enviar=a.wav" << "se ha dado dos veces";
    QTest::newRow("empty file") << "--enviar=" << "falta el archivo";
    QTest::newRow("loop alone") << "--bucle" << "solo valen con «--enviar»";
    QTest::newRow("times with schedule") << "--programa --veces 2" << "solo valen con «--enviar»";
    QTest::newRow("two modes") << "--enviar x.wav --programa" << "«--programa» no se puede usar";
    QTest::newRow("stop while sending") << "--enviar x.wav --detener" << "«--detener» no se puede usar";
    QTest::newRow("identify and send") << "--identificar --enviar x.wav" << "«--enviar» no se puede usar";
    QTest::newRow("interval 0") << "--enviar x.wav --intervalo 0" << "el intervalo «0»";
    QTest::newRow("interval too long") << "--enviar x.wav --intervalo 3601" << "el intervalo «3601»";
    QTest::newRow("interval not a number") << "--enviar x.wav --intervalo 5s" << "el intervalo «5s»";
    QTest::newRow("negative times") << "--enviar x.wav --veces -1" << "«--veces -1»";
    QTest::newRow("huge times") << "--enviar x.wav --veces 99999999999" << "«--veces 99999999999»";
    QTest::newRow("value on a flag") << "--programa=1" << "«--programa» no lleva valor";
    QTest::newRow("measure nothing") << "--medir"
                                     << "falta el archivo de «--medir»";
    QTest::newRow("measure an empty name") << "--medir="
                                           << "falta el archivo de «--medir»";
    QTest::newRow("measure and send") << "--medir a.wav --enviar b.wav"
                                      << "«--enviar» no se puede usar";
    QTest::newRow("measure in a loop") << "--medir a.wav --bucle"
                                       << "solo valen con «--enviar»";
    QTest::newRow("a file before --medir") << "a.wav --medir"
                                           << "sobra «a.wav»";
}

void TestCommandLine::refused()
{
    QFETCH(QString, line);
    QFETCH(QString, why);
    const Command c = parseCommandLine(line.split(QLatin1Char(' ')));
    QCOMPARE(c.mode, Command::Mode::Bad);
    QVERIFY2(c.error.contains(why), qPrintable(c.error));
}

void TestCommandLine::measureLine_data()
{
    QTest::addColumn<double>("lufs");
    QTest::addColumn<double>("peak");
    QTest::addColumn<int>("ms");
    QTest::addColumn<double>("target"); // NaN: level off
    QTest::addColumn<QString>("line");
    const double off = std::nan("");
    QTest::newRow("level off")
        << -31.25 << -6.04 << 5000 << off
        << "a.wav: -31,3 LUFS, pico -6,0 dBTP, sin ganancia (nivel en el aire desactivado)";
    QTest::newRow("to the target") << -31.0 << -12.0 << 5000 << -23.0
                                   << "a.wav: -31,0 LUFS, pico -12,0 dBTP, ganancia +8,0 dB";
    QTest::newRow("held by the ceiling")
        << -31.0 << -4.0 << 5000 << -23.0 << "a.wav: -31,0 LUFS, pico -4,0 dBTP, ganancia +3,0 dB";
    QTest::newRow("too short") << -31.0 << -4.0 << 300 << -23.0
                               << "a.wav: dura menos de 400 ms, pico -4,0 dBTP, sin ganancia";
    QTest::newRow("silent") << -HUGE_VAL << -HUGE_VAL << 5000 << -23.0
                            << "a.wav: silencio, pico silencio, ganancia +0,0 dB";
}

void TestCommandLine::measureLine()
{
    QFETCH(double, lufs);
    QFETCH(double, peak);
    QFETCH(int, ms);
    QFETCH(double, target);
    QFETCH(QString, line);
    Loudness loudness;
    loudness.lufs = lufs;
    loudness.truePeakDb = peak;
    loudness.durationMs = ms;
    loudness.measured = true;
    LevelSettings level;
    if (!std::isnan(target))
        level.nivel = target;
    QCOMPARE(MeasureCommand::line(QStringLiteral("a.wav"), loudness, level), line);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"

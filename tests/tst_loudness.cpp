// The level on the air without a sound server: the measure of a file against libebur128's own on
// the same samples, the one-gain rule, the settings, the recorder's check and the measure's cache.
#include "audio/loudnesscache.h"
#include "audio/loudnessmeter.h"
#include "audio/playlevel.h"
#include "audio/wavaudiostream.h"
#include "levelgain.h"
#include "levelsettings.h"
#include "programvalues.h"
#include "settingsstore.h"

#include <QAudioFormat>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ebur128.h>
#include <sndfile.h>

#include <atomic>
#include <cmath>
#include <random>
#include <vector>

namespace {
constexpr double Inf = HUGE_VAL;

// Spikes: a sine with one-sample spikes of 0.9 on the last channel, at the sound's ends and either
// side of where the true peak's regions part. Hidden: a quiet noise with a spike of 0.8 and, later, a
// burst at a quarter of the rate whose samples reach 0.64 and whose true peak is 0.9.
enum class Wave { Sine1k, Sine100, Noise, Spikes, Hidden };

void addPeaks(Wave wave, std::vector<float> &out, int rate, int channels)
{
    const auto frames = qint64(out.size()) / channels;
    const auto at = [&](qint64 frame, int channel) -> float & { return out[size_t(frame * channels + channel)]; };
    if (wave == Wave::Spikes) {
        for (const qint64 f : {qint64(3), qint64(4095), qint64(4096), qint64(5 * 4096 - 1), frames - 1})
            at(f, channels - 1) = (f % 2) ? -0.9f : 0.9f;
    } else if (wave == Wave::Hidden) {
        at(frames / 5, 0) = 0.8f;
        for (qint64 f = frames / 2; f < frames / 2 + rate / 50; ++f)
            at(f, 0) = float(0.9 * std::sin(M_PI / 2 * double(f) + M_PI / 4));
    }
}

// Interleaved samples of a wave whose peak (sine) or RMS (noise) is at levelDb dBFS, same on all channels.
std::vector<float> generate(Wave wave, double levelDb, int rate, int channels, double seconds)
{
    const auto frames = qint64(rate * seconds);
    const double amplitude = std::pow(10.0, levelDb / 20.0);
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, amplitude);
    std::vector<float> out(size_t(frames * channels));
    for (qint64 i = 0; i < frames; ++i) {
        double v = 0;
        if (wave == Wave::Noise || wave == Wave::Hidden)
            v = std::clamp(gauss(random), -1.0, 1.0);
        else
            v = amplitude * std::sin(2 * M_PI * (wave == Wave::Sine1k ? 1000 : 100) * double(i) / rate);
        for (int c = 0; c < channels; ++c)
            out[size_t(i * channels + c)] = float(v);
    }
    addPeaks(wave, out, rate, channels);
    return out;
}

void writeWav(const QString &path, const std::vector<float> &samples, int rate, int channels, int subformat)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subformat;
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    QVERIFY(f);
    sf_writef_float(f, samples.data(), sf_count_t(samples.size() / size_t(channels)));
    sf_close(f);
}

// libebur128 by itself over the whole sound in one state, with no code of ours in between.
Loudness reference(const std::vector<float> &samples, int rate, int channels)
{
    ebur128_state *st = ebur128_init(unsigned(channels), static_cast<unsigned long>(rate),
                                     EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(st, samples.data(), samples.size() / size_t(channels));
    Loudness out;
    ebur128_loudness_global(st, &out.lufs);
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        double p = 0;
        ebur128_true_peak(st, unsigned(c), &p);
        peak = std::max(peak, p);
    }
    out.truePeakDb = 20 * std::log10(peak);
    ebur128_destroy(&st);
    return out;
}

std::vector<float> readWav(const QString &path)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    std::vector<float> out(size_t(info.frames * info.channels));
    if (f)
        sf_readf_float(f, out.data(), info.frames);
    sf_close(f);
    return out;
}

Loudness measured(double lufs, double peak, qint64 ms = 5000)
{
    Loudness l;
    l.lufs = lufs;
    l.truePeakDb = peak;
    l.durationMs = ms;
    l.measured = true;
    return l;
}

LevelSettings level(std::optional<double> nivel, double pico = -1.0)
{
    LevelSettings s;
    s.nivel = nivel;
    s.picomaximo = pico;
    return s;
}
} // namespace

Q_DECLARE_METATYPE(QAudioFormat::SampleFormat)
Q_DECLARE_METATYPE(Loudness)
Q_DECLARE_METATYPE(LevelSettings)

class TestLoudness : public QObject
{
    Q_OBJECT
private slots:
    void measureFile_data();
    void measureFile();
    void gain_data();
    void gain();
    void settings_data();
    void settings();
    void takeProblem_data();
    void takeProblem();
    void cacheMeasuresOnceUntilRewritten();
    void streamGain_data();
    void streamGain();

private:
    QTemporaryDir m_dir;
};

void TestLoudness::measureFile_data()
{
    QTest::addColumn<int>("wave");
    QTest::addColumn<double>("levelDb");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("subformat");
    QTest::addColumn<double>("expectedLufs"); // NaN: libebur128's figure alone
    QTest::addColumn<double>("expectedPeak");

    const double any = std::nan("");
    // A 1 kHz sine peaking at -20 dBFS is -23 LUFS on one channel, 3 LU more on two.
    QTest::newRow("1 kHz -20 dBFS mono 16 bit")
        << int(Wave::Sine1k) << -20.0 << 48000 << 1 << int(SF_FORMAT_PCM_16) << -23.0 << -20.0;
    QTest::newRow("1 kHz -20 dBFS stereo float")
        << int(Wave::Sine1k) << -20.0 << 44100 << 2 << int(SF_FORMAT_FLOAT) << -20.0 << -20.0;
    QTest::newRow("1 kHz -2 dBFS 22.05 kHz")
        << int(Wave::Sine1k) << -2.0 << 22050 << 1 << int(SF_FORMAT_PCM_16) << -5.0 << -2.0;
    QTest::newRow("100 Hz -10 dBFS 8 kHz u-law")
        << int(Wave::Sine100) << -10.0 << 8000 << 1 << int(SF_FORMAT_ULAW) << any << -10.0;
    QTest::newRow("noise -30 dB RMS 24 bit")
        << int(Wave::Noise) << -30.0 << 48000 << 1 << int(SF_FORMAT_PCM_24) << any << any;
    QTest::newRow("noise -12 dB RMS stereo")
        << int(Wave::Noise) << -12.0 << 16000 << 2 << int(SF_FORMAT_PCM_16) << any << any;
    QTest::newRow("spikes at the ends and the region edges, right channel")
        << int(Wave::Spikes) << -30.0 << 48000 << 2 << int(SF_FORMAT_FLOAT) << any << any;
    QTest::newRow("spikes, 16 bit mono")
        << int(Wave::Spikes) << -40.0 << 44100 << 1 << int(SF_FORMAT_PCM_16) << any << any;
    QTest::newRow("true peak over a louder sample elsewhere")
        << int(Wave::Hidden) << -40.0 << 48000 << 1 << int(SF_FORMAT_FLOAT) << any << 20 * std::log10(0.9);
    QTest::newRow("no interpolation at 192 kHz")
        << int(Wave::Hidden) << -40.0 << 192000 << 1 << int(SF_FORMAT_FLOAT) << any << 20 * std::log10(0.8);
}

void TestLoudness::measureFile()
{
    QFETCH(int, wave);
    QFETCH(double, levelDb);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, subformat);
    QFETCH(double, expectedLufs);
    QFETCH(double, expectedPeak);

    const std::vector<float> samples = generate(Wave(wave), levelDb, rate, channels, 3.0);
    const QString path = m_dir.filePath(QStringLiteral("medida.wav"));
    writeWav(path, samples, rate, channels, subformat);

    const Loudness got = LoudnessMeter::measureFile(path);
    QVERIFY(got.measured);
    QCOMPARE(got.durationMs, 3000);
    // Exactly libebur128's figures over the whole file in one state.
    const std::vector<float> onDisk = readWav(path);
    const Loudness whole = reference(onDisk, rate, channels);
    QVERIFY2(std::abs(got.lufs - whole.lufs) <= 0.01, qPrintable(QString::number(got.lufs)));
    QVERIFY2(std::abs(got.truePeakDb - whole.truePeakDb) <= 0.001,
             qPrintable(QStringLiteral("%1, not %2").arg(got.truePeakDb).arg(whole.truePeakDb)));
    if (!std::isnan(expectedLufs))
        QVERIFY2(std::abs(got.lufs - expectedLufs) <= 0.1, qPrintable(QString::number(got.lufs)));
    if (!std::isnan(expectedPeak))
        QVERIFY2(std::abs(got.truePeakDb - expectedPeak) <= 0.2, qPrintable(QString::number(got.truePeakDb)));
    // The samples in memory measure as the file does.
    const Loudness direct =
        LoudnessMeter::measureSamples(onDisk.data(), qint64(onDisk.size()) / channels, channels, rate);
    QCOMPARE(direct.lufs, got.lufs);
    QCOMPARE(direct.truePeakDb, got.truePeakDb);
}

void TestLoudness::gain_data()
{
    QTest::addColumn<Loudness>("loudness");
    QTest::addColumn<LevelSettings>("settings");
    QTest::addColumn<double>("gainDb");

    QTest::newRow("off: as recorded") << measured(-40, -30) << level(std::nullopt) << 0.0;
    QTest::newRow("up to the target") << measured(-33, -15) << level(-23) << 10.0;
    QTest::newRow("down to the target") << measured(-14, -3) << level(-23) << -9.0;
    QTest::newRow("lowered to the ceiling") << measured(-33, -5) << level(-23) << 4.0;
    QTest::newRow("ceiling below the peak already") << measured(-23, 0.5) << level(-23, -1) << -1.5;
    QTest::newRow("ceiling at 0 dBTP") << measured(-30, -8) << level(-23, 0) << 7.0;
    QTest::newRow("capped at +20 dB") << measured(-55, -40) << level(-23) << 20.0;
    QTest::newRow("exactly +20 dB") << measured(-43, -30) << level(-23) << 20.0;
    QTest::newRow("shorter than 400 ms") << measured(-40, -30, 399) << level(-23) << 0.0;
    QTest::newRow("400 ms") << measured(-40, -30, 400) << level(-23) << 17.0;
    QTest::newRow("silent") << measured(-Inf, -Inf) << level(-23) << 0.0;
    Loudness unread;
    QTest::newRow("not measured") << unread << level(-23) << 0.0;
}

void TestLoudness::gain()
{
    QFETCH(Loudness, loudness);
    QFETCH(LevelSettings, settings);
    QFETCH(double, gainDb);
    const double got = LevelGain::gainDb(loudness, settings);
    QVERIFY2(std::abs(got - gainDb) < 1e-9, qPrintable(QString::number(got)));
    QCOMPARE(LevelGain::factor(0.0), 1.0); // off plays the very samples
}

void TestLoudness::settings_data()
{
    QTest::addColumn<QString>("nivel"); // "<none>": absent
    QTest::addColumn<QString>("pico");
    QTest::addColumn<bool>("on");
    QTest::addColumn<double>("target");
    QTest::addColumn<double>("ceiling");

    const QString none = QStringLiteral("<none>");
    QTest::newRow("absent: off") << none << none << false << 0.0 << -1.0;
    QTest::newRow("empty: off") << QString() << QString() << false << 0.0 << -1.0;
    QTest::newRow("a target") << QStringLiteral("-23") << QStringLiteral("-2") << true << -23.0 << -2.0;
    QTest::newRow("decimal comma and point")
        << QStringLiteral(" -23,5 ") << QStringLiteral("-1.5") << true << -23.5 << -1.5;
    QTest::newRow("too loud: -10") << QStringLiteral("-5") << QStringLiteral("3") << true << -10.0 << 0.0;
    QTest::newRow("too quiet: -30") << QStringLiteral("-45") << QStringLiteral("-20") << true << -30.0
                                    << -12.0;
    QTest::newRow("not a number: off, -1")
        << QStringLiteral("fuerte") << QStringLiteral("nan") << false << 0.0 << -1.0;
    QTest::newRow("infinity: off") << QStringLiteral("inf") << QStringLiteral("-inf") << false << 0.0 << -1.0;
}

void TestLoudness::settings()
{
    QFETCH(QString, nivel);
    QFETCH(QString, pico);
    QFETCH(bool, on);
    QFETCH(double, target);
    QFETCH(double, ceiling);

    QTemporaryDir dir;
    SettingsStore store(dir.path());
    if (nivel != QLatin1String("<none>")) {
        store.write(kApplication, kSection, QStringLiteral("nivel"), nivel);
        store.write(kApplication, kSection, QStringLiteral("picomaximo"), pico);
    }
    const LevelSettings got = readLevelSettings(store);
    QCOMPARE(got.on(), on);
    if (on)
        QCOMPARE(*got.nivel, target);
    QCOMPARE(got.picomaximo, ceiling);

    // What the dialog writes reads back the same.
    QTemporaryDir again;
    SettingsStore other(again.path());
    QVERIFY(writeLevelSettings(other, got));
    const LevelSettings back = readLevelSettings(other);
    QCOMPARE(back.nivel, got.nivel);
    QCOMPARE(back.picomaximo, got.picomaximo);
}

void TestLoudness::takeProblem_data()
{
    QTest::addColumn<Loudness>("loudness");
    QTest::addColumn<LevelSettings>("settings");
    QTest::addColumn<QString>("contains"); // empty: no warning

    QTest::newRow("fine, level off") << measured(-45, -20) << level(std::nullopt) << QString();
    QTest::newRow("clipped, level off")
        << measured(-12, 0.0) << level(std::nullopt) << QStringLiteral("recortado");
    QTest::newRow("full scale is clipped")
        << measured(-12, -0.001) << level(std::nullopt) << QStringLiteral("recortado");
    QTest::newRow("10 LU under: fine") << measured(-33, -12) << level(-23) << QString();
    QTest::newRow("10.5 LU under") << measured(-33.5, -12) << level(-23) << QStringLiteral("-33,5 LUFS");
    QTest::newRow("far over") << measured(-8, -0.5) << level(-23) << QStringLiteral("más de 10 LU");
    QTest::newRow("silent take") << measured(-Inf, -Inf) << level(-23) << QStringLiteral("silencio");
    QTest::newRow("too short to judge") << measured(-50, -40, 300) << level(-23) << QString();
    QTest::newRow("both") << measured(-5, 0.3) << level(-23) << QStringLiteral(", y ");
}

void TestLoudness::takeProblem()
{
    QFETCH(Loudness, loudness);
    QFETCH(LevelSettings, settings);
    QFETCH(QString, contains);
    const QString got = LevelGain::takeProblem(loudness, settings);
    if (contains.isEmpty())
        QVERIFY2(got.isEmpty(), qPrintable(got));
    else
        QVERIFY2(got.contains(contains), qPrintable(got));
}

void TestLoudness::cacheMeasuresOnceUntilRewritten()
{
    std::atomic<int> calls{0};
    LoudnessCache cache([&calls](const QString &path) {
        ++calls;
        return LoudnessMeter::measureFile(path);
    });
    const QString path = m_dir.filePath(QStringLiteral("cache.wav"));
    writeWav(path, generate(Wave::Sine1k, -20, 8000, 1, 1.0), 8000, 1, SF_FORMAT_PCM_16);

    cache.prepare(path);
    cache.prepare(path);
    const Loudness first = cache.get(path);
    QCOMPARE(calls.load(), 1);
    QVERIFY(std::abs(first.lufs + 23.0) < 0.2);
    QCOMPARE(cache.get(m_dir.filePath(QStringLiteral("./cache.wav"))).lufs, first.lufs);
    QCOMPARE(calls.load(), 1);

    // Rewritten with the same size: the modification time tells.
    writeWav(path, generate(Wave::Sine1k, -6, 8000, 1, 1.0), 8000, 1, SF_FORMAT_PCM_16);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    file.close();
    const Loudness second = cache.get(path);
    QCOMPARE(calls.load(), 2);
    QVERIFY(std::abs(second.lufs + 9.0) < 0.2);

    // A file gone is not measured, and not kept as measured once it comes back.
    QVERIFY(QFile::remove(path));
    QVERIFY(!cache.get(path).measured);
    writeWav(path, generate(Wave::Sine1k, -20, 8000, 1, 1.0), 8000, 1, SF_FORMAT_PCM_16);
    QVERIFY(cache.get(path).measured);

    // A message scheduled while the level is off is measured once it is turned on.
    const QString later = m_dir.filePath(QStringLiteral("luego.wav"));
    writeWav(later, generate(Wave::Sine1k, -20, 8000, 1, 1.0), 8000, 1, SF_FORMAT_PCM_16);
    PlayLevel play(cache);
    const int before = cache.measures();
    play.prepare(later);
    QCOMPARE(cache.measures(), before);
    play.setSettings(level(-23));
    QCOMPARE(cache.measures(), before + 1);
}

void TestLoudness::streamGain_data()
{
    QTest::addColumn<int>("subformat");
    QTest::addColumn<QAudioFormat::SampleFormat>("out");
    QTest::addColumn<float>("gain");
    QTest::addColumn<int>("outRate");

    using F = QAudioFormat;
    QTest::newRow("off, 16 bit: as on disk") << int(SF_FORMAT_PCM_16) << F::Int16 << 1.0f << 8000;
    QTest::newRow("off, float") << int(SF_FORMAT_FLOAT) << F::Float << 1.0f << 8000;
    QTest::newRow("-6 dB to 16 bit") << int(SF_FORMAT_PCM_16) << F::Int16 << 0.5f << 8000;
    QTest::newRow("+6 dB to float") << int(SF_FORMAT_PCM_24) << F::Float << 2.0f << 8000;
    QTest::newRow("+12 dB to 8 bit") << int(SF_FORMAT_PCM_16) << F::UInt8 << 4.0f << 8000;
    QTest::newRow("-3 dB to 32 bit") << int(SF_FORMAT_PCM_16) << F::Int32 << 0.7071f << 8000;
    QTest::newRow("+6 dB resampled") << int(SF_FORMAT_PCM_16) << F::Int16 << 2.0f << 16000;
}

// The samples handed to the sink are the file's times the gain, in any output format, and clipped
// rather than wrapped where the gain would pass full scale.
void TestLoudness::streamGain()
{
    QFETCH(int, subformat);
    QFETCH(QAudioFormat::SampleFormat, out);
    QFETCH(float, gain);
    QFETCH(int, outRate);

    constexpr int rate = 8000;
    std::vector<float> samples = generate(Wave::Sine100, -6.0, rate, 1, 0.25);
    samples[10] = 0.9f; // over full scale at +6 dB or more
    const QString path = m_dir.filePath(QStringLiteral("ganancia.wav"));
    writeWav(path, samples, rate, 1, subformat);
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    QVERIFY(file);
    std::vector<float> onDisk(samples.size());
    sf_readf_float(file, onDisk.data(), sf_count_t(onDisk.size()));
    sf_seek(file, 0, SEEK_SET);

    QAudioFormat fmt;
    fmt.setSampleRate(outRate);
    fmt.setChannelCount(1);
    fmt.setSampleFormat(out);
    WavAudioStream stream(file, rate, 1, subformat == SF_FORMAT_FLOAT, fmt, gain);
    QVERIFY(stream.open(QIODevice::ReadOnly));
    const QByteArray bytes = stream.read(qint64(onDisk.size()) * fmt.bytesPerFrame() * outRate / rate);
    sf_close(file);

    const int step = outRate / rate;
    const double tolerance = out == QAudioFormat::UInt8 ? 0.02 : 1e-4; // 8 bits: a step or two
    for (size_t i = 0; i < onDisk.size(); i += 7) {
        const double expected = std::clamp(double(onDisk[i]) * gain, -1.0, 1.0);
        const char *p = bytes.constData() + qsizetype(i) * step * fmt.bytesPerFrame();
        const double got = fmt.normalizedSampleValue(p);
        QVERIFY2(std::abs(got - expected) <= tolerance,
                 qPrintable(QStringLiteral("frame %1: %2, not %3").arg(i).arg(got).arg(expected)));
    }
    if (gain == 1.0f && out == QAudioFormat::Int16) {
        // Off, the very bytes of the file go out.
        std::vector<short> raw(onDisk.size());
        SF_INFO again{};
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &again);
        sf_readf_short(f, raw.data(), sf_count_t(raw.size()));
        sf_close(f);
        QCOMPARE(bytes.left(qsizetype(raw.size() * 2)),
                 QByteArray(reinterpret_cast<const char *>(raw.data()), qsizetype(raw.size() * 2)));
    }
}

QTEST_GUILESS_MAIN(TestLoudness)
#include "tst_loudness.moc"

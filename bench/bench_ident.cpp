// Measures the station's Morse identification as the sink plays it: each element's and gap's
// length against PARIS timing, and the energy 1 kHz away from the tone (the clicks of keying)
// against the tone, beside the same text keyed on and off with no shaping.
//   bench_ident [wpm]      (default 20; bench/run.sh starts the sound server)
#include "audio/wavaudiodevice.h"
#include "audiodevice.h"
#include "morse.h"
#include "soundcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr int kRate = 44100; // the sink's own rate: no resampling blurs the edges
constexpr int kTone = 800;
constexpr double kPi = 3.141592653589793;
const QString kText = QStringLiteral("PARIS PARIS DE EA1ABC/P");

bool writeWav(const QString &path, const QList<float> &samples)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    const bool ok = sf_writef_float(f, samples.constData(), samples.size()) == samples.size();
    return sf_close(f) == 0 && ok;
}

// The text keyed on and off at once: what shaping is compared with.
QList<float> unshaped(int wpm)
{
    const double dot = Morse::dotSamples(wpm, kRate);
    QList<float> out;
    int at = 0;
    for (const Morse::Element &e : Morse::elements(kText)) {
        const qsizetype end = qsizetype(std::lround((at + e.units) * dot));
        while (out.size() < end)
            out << (e.on ? float(0.25 * std::sin(2 * kPi * kTone * double(out.size()) / kRate)) : 0.0f);
        at += e.units;
    }
    return out;
}

// Power at hz through a Hann window over the whole signal, in dB.
double powerDb(const QList<float> &x, double hz)
{
    double re = 0, im = 0;
    const qsizetype n = x.size();
    for (qsizetype i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(n - 1));
        re += w * x[i] * std::cos(2 * kPi * hz * double(i) / kRate);
        im -= w * x[i] * std::sin(2 * kPi * hz * double(i) / kRate);
    }
    return 10 * std::log10(re * re + im * im + 1e-30);
}

// The loudest of the bins 1 kHz either side of the tone (±50 Hz), against the tone's, in dB.
double clicksDb(const QList<float> &x)
{
    double worst = -1e9;
    for (int side : {-1, 1})
        for (int d = -50; d <= 50; d += 5)
            worst = std::max(worst, powerDb(x, kTone + side * 1000 + d));
    return worst - powerDb(x, kTone);
}

// Tone and silence lengths in ms: the level over one tone period, halfway between none and full.
std::vector<std::pair<bool, double>> runs(const QList<float> &x)
{
    const int period = kRate / kTone;
    std::vector<double> level(size_t(x.size()), 0.0);
    double sum = 0, peak = 0;
    for (qsizetype i = 0; i < x.size(); ++i) {
        sum += double(x[i]) * x[i];
        if (i >= period)
            sum -= double(x[i - period]) * x[i - period];
        if (i >= period / 2)
            level[size_t(i - period / 2)] = std::sqrt(2 * std::max(0.0, sum) / period);
        peak = std::max(peak, level[size_t(std::max<qsizetype>(0, i - period / 2))]);
    }
    std::vector<std::pair<bool, double>> out;
    for (double l : level) {
        const bool on = l >= peak / 2;
        if (out.empty() || out.back().first != on)
            out.push_back({on, 0.0});
        out.back().second += 1000.0 / kRate;
    }
    return out;
}

bool play(const QString &path)
{
    WavAudioDevice dev;
    bool done = false;
    QObject::connect(&dev, &AudioDevice::Done, &dev, [&] { done = true; });
    dev.setFileName(path);
    dev.setCommand(QStringLiteral("open"));
    dev.setNotify(true);
    dev.setCommand(QStringLiteral("play"));
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QCoreApplication app(argc, argv);
    const int wpm = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    if (wpm < 5 || wpm > 40 || !soundServerAvailable()) {
        std::fprintf(stderr, "bench_ident [wpm]: 5 to 40, needs the test sound server (run bench/run.sh)\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ident.wav"));
    const QList<float> shaped = Morse::samples(kText, wpm, kTone, -12, kRate);
    if (!writeWav(path, shaped))
        return 2;
    SoundCapture capture(kRate);
    if (!capture.start())
        return 2;
    const qint64 from = capture.samples();
    if (!play(path) || !capture.catchUp(monotonicNs() + 100 * 1000000LL)) {
        std::fprintf(stderr, "the play did not end\n");
        return 1;
    }
    capture.stop();
    if (!capture.fault().isEmpty()) {
        std::fprintf(stderr, "the capture lost samples: %s\n", qPrintable(capture.fault()));
        return 1;
    }
    const QList<float> heard = capture.pcm(from, capture.samples());

    const double dot = 1200.0 / wpm;
    std::printf("Morse identification \"%s\" at %d WPM (dot %.1f ms), %d Hz, %d Hz mono\n",
                qPrintable(kText), wpm, dot, kTone, kRate);
    auto keyed = runs(heard);
    while (!keyed.empty() && !keyed.front().first)
        keyed.erase(keyed.begin());
    while (!keyed.empty() && !keyed.back().first)
        keyed.pop_back();
    std::vector<double> errors;
    for (const auto &[on, ms] : keyed) {
        const double units = ms / dot;
        const double ideal = on ? (units < 2 ? 1 : 3) : (units < 2 ? 1 : units < 5 ? 3 : 7);
        errors.push_back(std::abs(ms - ideal * dot));
    }
    std::sort(errors.begin(), errors.end());
    if (errors.empty()) {
        std::fprintf(stderr, "no Morse heard\n");
        return 1;
    }
    std::printf("  element and gap lengths on the air vs PARIS (%zu): median error %.2f ms, worst %.2f ms\n",
                errors.size(), errors[errors.size() / 2], errors.back());
    std::printf("  energy 1 kHz from the tone vs the tone: shaped on the air %.1f dB, shaped as made %.1f dB, "
                "keyed on/off without shaping %.1f dB\n",
                clicksDb(heard), clicksDb(shaped), clicksDb(unshaped(wpm)));
    std::fflush(stdout);
    return 0;
}

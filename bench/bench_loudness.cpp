// The level on the air, measured: how long the measure of a 60 s message takes, and how far apart
// 20 messages of mixed origin sound before and after their one gain (with the true peak after).
#include "audio/loudnessmeter.h"
#include "levelgain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {
constexpr int Rate = 48000;

// A message-like signal: a tone, noise, or tone bursts with pauses (speech-like gating), at level dB.
std::vector<float> message(int kind, double levelDb, double seconds, std::mt19937 &random)
{
    const auto frames = size_t(Rate * seconds);
    const double a = std::pow(10.0, levelDb / 20.0);
    std::normal_distribution<double> gauss(0.0, a / 3);
    std::vector<float> out(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / Rate;
        double v = 0;
        switch (kind % 3) {
        case 0:
            v = a * std::sin(2 * M_PI * (300 + 150 * kind) * t);
            break;
        case 1:
            v = gauss(random);
            break;
        default: // syllables: 180 ms on, 120 ms off, a wobbling pitch
            v = std::fmod(t, 0.3) < 0.18
                    ? a * std::sin(2 * M_PI * (140 + 40 * std::sin(7 * t)) * t) * std::sin(2 * M_PI * 800 * t)
                    : 0.0;
        }
        out[i] = float(std::clamp(v, -1.0, 1.0));
    }
    return out;
}

bool write(const QString &path, const std::vector<float> &s)
{
    SF_INFO info{};
    info.samplerate = Rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    sf_writef_float(f, s.data(), sf_count_t(s.size()));
    sf_close(f);
    return true;
}
} // namespace

int main()
{
    QTextStream out(stdout);
    QTemporaryDir dir;
    std::mt19937 random(11);

    const QString longPath = dir.filePath(QStringLiteral("60s.wav"));
    write(longPath, message(2, -12, 60, random));
    QList<qint64> us;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer clock;
        clock.start();
        LoudnessMeter::measureFile(longPath);
        us << clock.nsecsElapsed() / 1000;
    }
    std::sort(us.begin(), us.end());
    out << "measure of a 60 s, 48 kHz mono message: median " << us.at(2) / 1000.0 << " ms (min "
        << us.first() / 1000.0 << ", max " << us.last() / 1000.0 << ")  file: " << longPath << Qt::endl;

    LevelSettings level;
    level.nivel = -23.0;
    level.picomaximo = -1.0;
    double beforeMin = 1e9, beforeMax = -1e9, afterMin = 1e9, afterMax = -1e9, peakMax = -1e9;
    for (int m = 0; m < 20; ++m) {
        const double levelDb = -40 + 2 * m; // -40 .. -2 dB
        std::vector<float> s = message(m, levelDb, 8, random);
        const QString path = dir.filePath(QStringLiteral("m%1.wav").arg(m));
        write(path, s);
        const Loudness before = LoudnessMeter::measureFile(path);
        const double gain = LevelGain::gainDb(before, level);
        // As the player scales them: in float, from the file's own samples.
        SF_INFO info{};
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        std::vector<float> played(size_t(info.frames));
        sf_readf_float(f, played.data(), info.frames);
        sf_close(f);
        const auto k = float(LevelGain::factor(gain));
        for (float &v : played)
            v = std::clamp(v * k, -1.0f, 1.0f);
        const Loudness after = LoudnessMeter::measureSamples(played.data(), qint64(played.size()), 1, Rate);
        beforeMin = std::min(beforeMin, before.lufs);
        beforeMax = std::max(beforeMax, before.lufs);
        afterMin = std::min(afterMin, after.lufs);
        afterMax = std::max(afterMax, after.lufs);
        peakMax = std::max(peakMax, after.truePeakDb);
        out << QStringLiteral("  message %1 (kind %2): %3 LUFS -> gain %4 dB -> %5 LUFS, %6 dBTP")
                   .arg(m, 2)
                   .arg(m % 3)
                   .arg(before.lufs, 0, 'f', 1)
                   .arg(gain, 0, 'f', 1)
                   .arg(after.lufs, 0, 'f', 1)
                   .arg(after.truePeakDb, 0, 'f', 2)
            << Qt::endl;
    }
    out << "spread before: " << beforeMax - beforeMin << " LU; after: " << afterMax - afterMin
        << " LU (target -23, ceiling -1); highest true peak after: " << peakMax << " dBTP" << Qt::endl;
    out << "(messages held by the ceiling or the +20 dB cap stay under the target by design)" << Qt::endl;
    return 0;
}

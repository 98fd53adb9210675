// Measures the real audio device alone against a capture of the test sink's monitor: how long
// after the last sample of a play Done comes, and how long after "play" the first sample is
// heard. A new device for every play, closed the moment Done comes, as the program unkeys.
//   bench_audiotiming [plays]      (default 20; bench/run.sh starts the sound server)
#include "audio/wavaudiodevice.h"
#include "audiodevice.h"
#include "soundcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <functional>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kToneMs = 300;
constexpr int kCaptureRate = 44100; // the sink's own rate: no resampling blurs the edges
constexpr double kLoud = 4000.0 / 32767;
constexpr int kBurstGapMs = 5;

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void print(const char *title, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("  %s ms: min %.1f  median %.1f  worst %.1f\n", title, v.front(), v[v.size() / 2], v.back());
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QCoreApplication app(argc, argv);
    const int plays = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    if (plays <= 0 || !soundServerAvailable()) {
        std::fprintf(stderr, "bench_audiotiming [plays]: needs the test sound server (run bench/run.sh)\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tono.wav"));
    if (!writeToneWav(tone, 22050, 1, qint64(22050) * kToneMs / 1000))
        return 2;
    SoundCapture capture(kCaptureRate);
    if (!capture.start())
        return 2;

    std::printf("Audio device timing: %d plays of a %d ms tone at 22.05 kHz mono, lead and tail 0\n", plays,
                kToneMs);
    std::vector<double> doneAfter, firstSample, lengths;
    for (int i = 0; i < plays; ++i) {
        const qint64 from = capture.samples();
        WavAudioDevice dev;
        qint64 doneNs = -1;
        QObject::connect(&dev, &AudioDevice::Done, &dev, [&] {
            doneNs = monotonicNs();
            dev.setCommand(QStringLiteral("close"));
        });
        dev.setFileName(tone);
        dev.setCommand(QStringLiteral("open"));
        const qint64 playNs = monotonicNs();
        dev.setNotify(true);
        dev.setCommand(QStringLiteral("play"));
        if (!waitUntil([&] { return doneNs >= 0; }, 5000) || !capture.catchUp(doneNs + 80 * 1000000LL)) {
            std::fprintf(stderr, "play %d did not end\n", i + 1);
            return 1;
        }
        const auto bursts = capture.bursts(kLoud, kBurstGapMs, from);
        if (bursts.size() != 1) {
            std::fprintf(stderr, "play %d: %d bursts of sound instead of 1\n", i + 1, int(bursts.size()));
            return 1;
        }
        doneAfter.push_back((doneNs - bursts[0].endNs) / 1e6);
        firstSample.push_back((bursts[0].startNs - playNs) / 1e6);
        lengths.push_back(bursts[0].ms());
    }
    print("Done after the last sample", doneAfter);
    print("first sample after play", firstSample);
    print("tone heard for", lengths);
    std::fflush(stdout);
    return 0;
}

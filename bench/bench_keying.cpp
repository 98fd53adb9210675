// Measures what goes out over the air in the real transmission cycle: the real window, the real
// sound device on the test sound server and the real serial line on a pty (lines through the
// shim), against a capture of the sink's monitor on the same monotonic clock. Prints figures.
#include "audio/wavaudiodevice.h"
#include "fakeplatform.h"
#include "frmprincipal.h"
#include "realrig.h"
#include "soundcapture.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>

namespace {
constexpr double kMs = 1e6;
constexpr int kLead = 300, kTail = 100, kPlays = 20;
constexpr int kMessageMs = 500;

struct Stats
{
    double median, p95, worst, best;
};

Stats stats(QList<double> v, bool worstIsMax = true)
{
    std::sort(v.begin(), v.end());
    if (v.isEmpty())
        return {0, 0, 0, 0};
    auto at = [&](double q) {
        return v.at(std::min<qsizetype>(v.size() - 1, qsizetype(q * (v.size() - 1) + 0.5)));
    };
    return {at(0.5), worstIsMax ? at(0.95) : at(0.05), worstIsMax ? v.last() : v.first(),
            worstIsMax ? v.first() : v.last()};
}

struct Play
{
    KeyPeriod key;
    SoundCapture::Burst sound;
    bool heard = false;
};

// Pairs each key period with the burst of sound inside it (or starting before it ends).
QList<Play> pair(const QList<KeyPeriod> &keys, const QList<SoundCapture::Burst> &bursts)
{
    QList<Play> plays;
    for (const KeyPeriod &k : keys) {
        Play p{k, {}, false};
        for (const auto &b : bursts) {
            if (b.startNs >= k.upNs && b.startNs < k.downNs) {
                p.sound = b;
                p.heard = true;
                break;
            }
        }
        plays.append(p);
    }
    return plays;
}

void report(const char *title, const QList<Play> &plays)
{
    QList<double> startErr, endErr;
    int early = 0, missing = 0;
    for (const Play &p : plays) {
        if (!p.heard) {
            ++missing;
            continue;
        }
        startErr.append((p.sound.startNs - p.key.upNs) / kMs - kLead);
        endErr.append((p.key.downNs - p.sound.endNs) / kMs - kTail);
        if (p.key.downNs < p.sound.endNs)
            ++early;
    }
    const Stats s = stats(startErr), e = stats(endErr);
    std::printf("%s: %d plays, %d without sound found\n", title, int(plays.size()), missing);
    std::printf("  first sample - (key-up + lead)  ms: median %6.1f  p95 %6.1f  worst %6.1f  best %6.1f\n",
                s.median, s.p95, s.worst, s.best);
    std::printf("  key-down - (last sample + tail) ms: median %6.1f  p95 %6.1f  worst %6.1f  best %6.1f\n",
                e.median, e.p95, e.worst, e.best);
    const Stats early5 = stats(endErr, false);
    std::printf("  key-down - (last sample + tail) ms: lowest %6.1f (negative: the tail was short)\n",
                early5.worst);
    std::printf("  plays in which the key dropped before the last sample: %d\n", early);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QApplication app(argc, argv);
    const QString log = qEnvironmentVariable("PREGONAL_LINELOG");
    if (!soundServerAvailable() || log.isEmpty() || !ptyShimLoaded()) {
        std::fprintf(stderr,
                     "bench_keying needs the test sound server and the pty shim (run bench/run.sh)\n");
        return 2;
    }
    RealRig rig(RealRig::Options{kLead, kTail, 1});
    if (!rig.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(rig.error()));
        return 2;
    }
    const QString wav = rig.dir() + QStringLiteral("/tono.wav");
    writeToneWav(wav, 48000, 1, 48000 * kMessageMs / 1000);
    rig.openMessage(wav);
    Frmprincipal &w = rig.window();
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);

    std::printf("Pregonal keying: lead %d ms, tail %d ms, message %d ms of 1 kHz at 48 kHz mono\n", kLead,
                kTail, kMessageMs);

    // Single plays.
    SoundCapture capture;
    if (!capture.start())
        return 2;
    QFile::resize(log, 0);
    for (int i = 0; i < kPlays; ++i) {
        const int before = int(done.count());
        w.mnuunavez_Click();
        if (!waitUntil(
                [&] { return done.count() > before && w.panel(1)->text() == QLatin1String("Stand by"); },
                10000)) {
            std::fprintf(stderr, "single play %d did not end\n", i + 1);
            return 1;
        }
        waitUntil([] { return false; }, 300);
    }
    waitUntil([] { return false; }, 300);
    capture.stop();
    const QList<Play> singles = pair(keyPeriods(readLineLog(log)), capture.bursts());
    report("Single plays", singles);

    // A loop with a one-second pause.
    done.clear();
    SoundCapture loopCapture;
    if (!loopCapture.start())
        return 2;
    QFile::resize(log, 0);
    w.mnuenbucle_Click();
    if (!waitUntil([&] { return done.count() >= kPlays; }, kPlays * 3000)) {
        std::fprintf(stderr, "the loop did not complete %d plays\n", kPlays);
        return 1;
    }
    w.mnustop_Click();
    waitUntil([] { return false; }, 300);
    loopCapture.stop();
    QList<Play> loop = pair(keyPeriods(readLineLog(log)), loopCapture.bursts());
    while (loop.size() > kPlays)
        loop.removeLast(); // a play cut by Stop
    report("Loop, 1 s pause", loop);

    // Pause: key-down of play i to key-up of play i+1, less the interval.
    QList<double> pauseErr;
    std::printf("  pause error per cycle (key-down i -> key-up i+1, minus 1000 ms), ms:");
    for (int i = 0; i + 1 < loop.size(); ++i) {
        pauseErr.append((loop.at(i + 1).key.upNs - loop.at(i).key.downNs) / kMs - 1000);
        std::printf(" %.1f", pauseErr.last());
    }
    const Stats p = stats(pauseErr);
    std::printf("\n  pause error ms: median %.1f  p95 %.1f  worst %.1f\n", p.median, p.p95, p.worst);
    if (loop.size() >= 2) {
        const int n = int(loop.size());
        const double span = (loop.last().key.upNs - loop.first().key.upNs) / kMs;
        const double nominal = (n - 1) * double(kLead + kMessageMs + kTail + 1000);
        double sumPause = 0;
        for (double e : pauseErr)
            sumPause += e;
        std::printf("  drift over %d cycles: last key-up - first key-up = %.1f ms, nominal %.0f ms "
                    "(lead+message+tail+pause each): %+.1f ms; of it, pauses %+.1f ms\n",
                    n, span, nominal, span - nominal, sumPause);
    }
    std::fflush(stdout);
    return 0;
}

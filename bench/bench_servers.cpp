// What goes out over the air on the sound server this runs against: the real window, sound device
// and serial line (a pty, lines logged by the shim) play a short and a long message again and
// again, with the default tail and with none, while the sink's monitor is captured on the same
// monotonic clock. Prints, per case, broken plays and the keying errors. bench/servers.sh runs it
// on PulseAudio and PipeWire, idle and loaded.
//   bench_servers SERVER LOAD SHORT_PLAYS LONG_PLAYS TAIL0_PLAYS
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
constexpr int kLead = 300, kTail = 100; // the program's defaults
constexpr int kPauseMs = 150;           // between plays, so that bursts stand apart
constexpr int kGapMs = 5;               // quiet longer than this splits a play into bursts
constexpr double kShortByMs = 3;        // a play shorter than the file by more than this is broken

struct Stats
{
    double median = 0, p95 = 0, lowest = 0, highest = 0;
};

Stats stats(QList<double> v)
{
    Stats s;
    if (v.isEmpty())
        return s;
    std::sort(v.begin(), v.end());
    auto at = [&](double q) {
        return v.at(std::min<qsizetype>(v.size() - 1, qsizetype(q * (v.size() - 1) + 0.5)));
    };
    s.median = at(0.5);
    s.p95 = at(0.95);
    s.lowest = v.first();
    s.highest = v.last();
    return s;
}

struct Case
{
    const char *name;
    int messageMs;
    int tailMs;
    int plays;
};

// Plays the message c.plays times, one at a time, and prints one line of figures.
bool run(const char *server, const char *load, const Case &c, const QString &log)
{
    if (c.plays <= 0)
        return true;
    RealRig rig(RealRig::Options{kLead, c.tailMs, 1});
    if (!rig.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(rig.error()));
        return false;
    }
    const QString wav = rig.dir() + QStringLiteral("/mensaje.wav");
    writeToneWav(wav, 48000, 1, qint64(48000) * c.messageMs / 1000);
    rig.openMessage(wav);
    Frmprincipal &w = rig.window();
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);
    SoundCapture capture;
    if (!capture.start()) {
        std::fprintf(stderr, "no capture of tx.monitor\n");
        return false;
    }
    QFile::resize(log, 0);
    for (int i = 0; i < c.plays; ++i) {
        const int before = int(done.count());
        w.mnuunavez_Click();
        if (!waitUntil(
                [&] { return done.count() > before && w.panel(1)->text() == QLatin1String("Stand by"); },
                c.messageMs + kLead + c.tailMs + 10000)) {
            std::fprintf(stderr, "%s: play %d did not end\n", c.name, i + 1);
            return false;
        }
        waitUntil([] { return false; }, kPauseMs);
    }
    waitUntil([] { return false; }, 300);
    capture.stop();
    const QList<KeyPeriod> keys = keyPeriods(readLineLog(log));
    const QList<SoundCapture::Burst> bursts = capture.bursts(0.05, kGapMs);

    int broken = 0, early = 0, unheard = 0;
    QString details; // the first few broken plays: their bursts, from key-up
    QList<double> startErr, endErr;
    for (int i = 0; i < keys.size(); ++i) {
        const KeyPeriod &k = keys.at(i);
        const qint64 nextUp = i + 1 < keys.size() ? keys.at(i + 1).upNs : std::numeric_limits<qint64>::max();
        QList<SoundCapture::Burst> mine;
        for (const auto &b : bursts)
            if (b.startNs >= k.upNs && b.startNs < nextUp)
                mine.append(b);
        if (mine.isEmpty()) {
            ++unheard;
            ++broken;
            continue;
        }
        const qint64 first = mine.first().startNs, last = mine.last().endNs;
        if (mine.size() > 1 || (last - first) / kMs < c.messageMs - kShortByMs) {
            if (++broken <= 5) {
                QString parts;
                for (const auto &b : mine)
                    parts += QStringLiteral(" %1 ms at +%2")
                                 .arg(b.ms(), 0, 'f', 1)
                                 .arg((b.startNs - k.upNs) / kMs, 0, 'f', 1);
                details += QStringLiteral("  broken play %1 (key up %2 ms):%3\n")
                               .arg(i + 1)
                               .arg((k.downNs - k.upNs) / kMs, 0, 'f', 1)
                               .arg(parts);
            }
        }
        startErr.append((first - k.upNs) / kMs - kLead);
        endErr.append((k.downNs - last) / kMs - c.tailMs);
        early += k.downNs < last;
    }
    const Stats s = stats(startErr), e = stats(endErr);
    const QString fault = capture.fault();
    std::printf("| %s | %s | %s | %d | %d | %.1f / %.1f / %.1f | %.1f / %.1f / %.1f / %.1f | %d |%s\n",
                server, load, c.name, int(keys.size()), broken, s.median, s.p95, s.lowest, e.median, e.p95,
                e.lowest, e.highest, early,
                fault.isEmpty() ? "" : qPrintable(QStringLiteral(" capture fault: ") + fault));
    std::printf("%s", qPrintable(details));
    if (unheard)
        std::printf("  (%d plays with no sound found)\n", unheard);
    if (keys.size() != c.plays)
        std::printf("  (%d key periods for %d plays)\n", int(keys.size()), c.plays);
    std::fflush(stdout);
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QApplication app(argc, argv);
    const QString log = qEnvironmentVariable("PREGONAL_LINELOG");
    if (argc != 6 || !soundServerAvailable() || log.isEmpty() || !ptyShimLoaded()) {
        std::fprintf(stderr, "uso: bench_servers SERVIDOR CARGA CORTOS LARGOS COLA0 (bench/servers.sh lo "
                             "arranca con el servidor de sonido y el shim de las líneas)\n");
        return 2;
    }
    const char *server = argv[1], *load = argv[2];
    const Case cases[] = {
        {"0.6 s, tail 100", 600, kTail, atoi(argv[3])},
        {"0.6 s, tail 0", 600, 0, atoi(argv[5])},
        {"20 s, tail 100", 20000, kTail, atoi(argv[4])},
        {"20 s, tail 0", 20000, 0, atoi(argv[4])},
    };
    for (const Case &c : cases)
        if (!run(server, load, c, log))
            return 1;
    return 0;
}

// The level on the air, heard: 20 messages of mixed origin (speech from espeak-ng at several
// volumes and voices, tones, noise) played by the real audio device into the test sink, its monitor
// captured and measured with libebur128, first with the level off and then with nivel=-23,
// picomaximo=-1. Prints each message's figures, the spread before and after, and the highest
// true peak. Needs the test sound server, espeak-ng and sox (bench/run.sh).
#include "audio/loudnessmeter.h"
#include "audio/wavaudiodevice.h"
#include "levelgain.h"
#include "soundcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr int Rate = 44100; // the sink's own: nothing resampled between the file and the monitor
constexpr double Target = -23.0;
constexpr double Ceiling = -1.0;

struct Message
{
    const char *name;
    const char *make; // a shell command writing $OUT (speech: $RAW first)
};

const char *const Speech = "Atención: mañana se cortará el agua en el centro del pueblo desde las nueve.";

// Speech is trimmed of its silent ends, so that the file and what is heard start and end alike.
#define VOICE(args)                                                                                          \
    "espeak-ng -v es " args " -w \"$RAW\" \"$TEXT\" && sox \"$RAW\" -r 44100 -b 16 \"$OUT\" "                \
    "silence 1 0.01 0.02% reverse silence 1 0.01 0.02% reverse trim 0 3.5"
#define SYNTH_TO(file, args) "sox -n -r 44100 -b 16 -c 1 " file " synth " args
#define SYNTH(args) SYNTH_TO("\"$OUT\"", args)
// The speech and $OUT.n.wav added, each at its own level.
#define MIX "sox -m -v 1 \"$OUT\" -v 1 \"$OUT.n.wav\" -b 16 \"$OUT.m.wav\" && mv \"$OUT.m.wav\" \"$OUT\""

const Message Messages[] = {
    {"voz -a 8 (muy baja)", VOICE("-a 8")},
    {"voz -a 25", VOICE("-a 25")},
    {"voz -a 50", VOICE("-a 50")},
    {"voz -a 100", VOICE("-a 100")},
    {"voz -a 160", VOICE("-a 160")},
    {"voz -a 200 (satura)", VOICE("-a 200")},
    {"voz femenina -a 70", VOICE("-v es+f3 -a 70")},
    {"voz lenta -a 40", VOICE("-a 40 -s 110")},
    {"tono 1 kHz -30 dBFS", SYNTH("3 sine 1000 vol 0.0316")},
    {"tono 300 Hz -6 dBFS", SYNTH("3 sine 300 vol 0.5")},
    {"tono 2,5 kHz -18 dBFS", SYNTH("3 sine 2500 vol 0.126")},
    {"dos tonos 700+1900 Hz", SYNTH("3 sine 700 sine 1900 channels 1 vol 0.25")},
    {"ruido blanco bajo", SYNTH("3 whitenoise vol 0.02")},
    {"ruido rosa", SYNTH("3 pinknoise vol 0.3")},
    {"ruido marrón fuerte", SYNTH("3 brownnoise vol 0.9")},
    {"barrido 100-4000 Hz", SYNTH("3 sine 100-4000 vol 0.5")},
    {"pitidos con pausas",
     "sox -n -r 44100 -b 16 -c 1 \"$OUT\" synth 0.2 sine 1000 vol 0.4 pad 0 0.3 repeat 5"},
    {"voz sobre ruido",
     VOICE("-a 60") " && " SYNTH_TO("\"$OUT.n.wav\"", "3.5 pinknoise vol 0.05") " && " MIX},
    {"voz con un golpe",
     VOICE("-a 30") " && " SYNTH_TO("\"$OUT.n.wav\"", "0.004 square 250 vol 0.95 pad 1.5") " && " MIX},
    {"voz telefónica 300-3400 Hz",
     VOICE("-a 120") " && sox \"$OUT\" \"$OUT.m.wav\" sinc 300-3400 && mv \"$OUT.m.wav\" \"$OUT\""},
};

bool make(const Message &m, const QString &out, const QString &raw)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OUT"), out);
    env.insert(QStringLiteral("RAW"), raw);
    env.insert(QStringLiteral("TEXT"), QString::fromUtf8(Speech));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromUtf8(m.make)});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

// What the monitor heard of one play, its silent ends cut; empty when the play failed.
std::vector<float> heard(SoundCapture &capture, const QString &path, const LevelSettings &level,
                         QString *note)
{
    WavAudioDevice dev;
    dev.setLevel(level);
    bool done = false;
    int result = -1;
    QObject::connect(&dev, &AudioDevice::Done, &dev, [&](int code) {
        done = true;
        result = code;
    });
    const qint64 from = capture.samples();
    dev.setFileName(path);
    dev.setCommand(QStringLiteral("open"));
    dev.setNotify(true);
    dev.setCommand(QStringLiteral("play"));
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (result != AudioDevice::Successful || !capture.catchUp(monotonicNs() + 150 * 1000000LL))
        return {};
    *note = dev.levelNote();
    dev.setCommand(QStringLiteral("close"));
    const QList<float> pcm = capture.pcm(from, capture.samples());
    const auto sound = [](float v) { return v != 0.0f; };
    const auto first = std::find_if(pcm.begin(), pcm.end(), sound);
    const auto last = std::find_if(pcm.rbegin(), pcm.rend(), sound).base();
    return first < last ? std::vector<float>(first, last) : std::vector<float>();
}

struct Figures
{
    double lufs = 0, peak = 0;
};

Figures measure(const std::vector<float> &s, double serverDb)
{
    const Loudness l = LoudnessMeter::measureSamples(s.data(), qint64(s.size()), 1, Rate);
    return {l.lufs - serverDb, l.truePeakDb - serverDb};
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QCoreApplication app(argc, argv);
    if (!soundServerAvailable()) {
        std::fprintf(stderr, "bench_levelair needs the test sound server (run bench/run.sh)\n");
        return 2;
    }
    QTemporaryDir dir;
    SoundCapture capture(Rate);
    if (!capture.start())
        return 2;

    // The server's own gain on the way to the monitor, from a tone played as it is.
    const QString reference = dir.filePath(QStringLiteral("referencia.wav"));
    if (!writeToneWav(reference, Rate, 1, Rate, 0.1))
        return 2;
    QString note;
    const std::vector<float> ref = heard(capture, reference, LevelSettings(), &note);
    if (ref.empty())
        return 1;
    float refPeak = 0;
    for (float v : ref)
        refPeak = std::max(refPeak, std::abs(v));
    const double serverDb = 20 * std::log10(refPeak / 0.1);

    LevelSettings on;
    on.nivel = Target;
    on.picomaximo = Ceiling;
    std::printf("20 messages, 44.1 kHz mono, played by the audio device and heard on the sink's monitor "
                "(server gain %.2f dB taken off); target %.0f LUFS, ceiling %.0f dBTP\n",
                serverDb, Target, Ceiling);
    std::printf("  %-28s | file LUFS  dBTP  gain | heard off: LUFS  dBTP | heard on: LUFS  dBTP | held\n",
                "message");
    double offMin = 1e9, offMax = -1e9, onMin = 1e9, onMax = -1e9, freeMin = 1e9, freeMax = -1e9,
           peakMax = -1e9;
    int index = 0, capped = 0, ceiling = 0;
    for (const Message &m : Messages) {
        const QString path = dir.filePath(QStringLiteral("m%1.wav").arg(index++));
        if (!make(m, path, dir.filePath(QStringLiteral("raw.wav")))) {
            std::fprintf(stderr, "could not make \"%s\"\n", m.name);
            return 1;
        }
        const Loudness file = LoudnessMeter::measureFile(path);
        const double gain = LevelGain::gainDb(file, on);
        const std::vector<float> off = heard(capture, path, LevelSettings(), &note);
        const std::vector<float> level = heard(capture, path, on, &note);
        if (off.empty() || level.empty() || !capture.fault().isEmpty()) {
            std::fprintf(stderr, "\"%s\" was not heard whole: %s\n", m.name, qPrintable(capture.fault()));
            return 1;
        }
        const Figures before = measure(off, serverDb);
        const Figures after = measure(level, serverDb);
        const bool isCapped = gain >= LevelGain::MaxBoostDb;
        const bool isHeld = !isCapped && gain < Target - file.lufs - 0.05;
        capped += isCapped;
        ceiling += isHeld;
        offMin = std::min(offMin, before.lufs);
        offMax = std::max(offMax, before.lufs);
        onMin = std::min(onMin, after.lufs);
        onMax = std::max(onMax, after.lufs);
        if (!isCapped && !isHeld) {
            freeMin = std::min(freeMin, after.lufs);
            freeMax = std::max(freeMax, after.lufs);
        }
        peakMax = std::max(peakMax, after.peak);
        std::printf("  %s | %6.1f %6.2f %+5.1f | %11.1f %6.2f | %10.1f %6.2f | %s\n",
                    qPrintable(QString::fromUtf8(m.name).leftJustified(28)), file.lufs, file.truePeakDb, gain,
                    before.lufs, before.peak, after.lufs, after.peak,
                    isCapped ? "+20 dB cap"
                    : isHeld ? "ceiling"
                             : "");
        std::fflush(stdout);
    }
    std::printf(
        "spread of the heard loudness: before %.1f LU (%.1f to %.1f LUFS); after %.1f LU (%.1f to %.1f)\n",
        offMax - offMin, offMin, offMax, onMax - onMin, onMin, onMax);
    std::printf(
        "after, the %d messages neither capped nor held by the ceiling: %.2f LU apart (%.2f to %.2f LUFS, "
        "target %.0f)\n",
        20 - capped - ceiling, freeMax - freeMin, freeMin, freeMax, Target);
    std::printf("held under the target by design: %d by the +20 dB cap (quieter than %.0f LUFS), %d by the "
                "ceiling; highest true peak heard after: %.2f dBTP (ceiling %.0f)\n",
                capped, Target - LevelGain::MaxBoostDb, ceiling, peakMax, Ceiling);
    return 0;
}

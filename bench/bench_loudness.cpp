// How long the measure of a message takes: the program's own (loudness and true peak exactly as
// libebur128 finds them in one state, several threads) beside libebur128 reading the file in one
// state in one thread, and beside `sox FILE -n stats`, each the median of several runs on the same
// file. The files: 60 s of speech (espeak-ng, resampled to 48 kHz by sox), 60 s of a steady tone
// (where every stretch of it must be oversampled: the worst case) and 10 minutes of the speech.
#include "audio/loudnessmeter.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <ebur128.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <sys/resource.h>
#include <time.h>

namespace {
constexpr int Runs = 7;
const QString Text = QStringLiteral(
    "Atención, por favor. Se comunica a todos los vecinos que mañana, a partir de las nueve, se cortará "
    "el suministro de agua en las calles del centro. Rogamos disculpen las molestias. Repetimos: mañana, "
    "a partir de las nueve de la mañana, no habrá agua en el centro del pueblo.");

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// libebur128 alone, as the program measured before: one state, the file read in blocks.
Loudness oneState(const QString &path)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    ebur128_state *st = ebur128_init(unsigned(info.channels), static_cast<unsigned long>(info.samplerate),
                                     EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    std::vector<float> block(size_t(8192 * info.channels));
    sf_count_t got = 0;
    while ((got = sf_readf_float(f, block.data(), 8192)) > 0)
        ebur128_add_frames_float(st, block.data(), size_t(got));
    double lufs = 0, peak = 0;
    ebur128_loudness_global(st, &lufs);
    ebur128_true_peak(st, 0, &peak);
    ebur128_destroy(&st);
    sf_close(f);
    Loudness out;
    out.lufs = lufs;
    out.truePeakDb = 20 * std::log10(peak);
    return out;
}

// The processor time this process and its finished children have used, in ms.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6 +
           double(children.ru_utime.tv_sec + children.ru_stime.tv_sec) * 1e3 +
           double(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e3;
}

struct Timing
{
    double wallMs;
    double cpuMs; // all threads: the work, whatever else the machine is doing
};

Timing median(const std::function<void()> &job)
{
    std::vector<double> wall, cpu;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer clock;
        const double before = cpuMs();
        clock.start();
        job();
        wall.push_back(double(clock.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - before);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

void report(const char *what, const QString &path)
{
    const Loudness l = LoudnessMeter::measureFile(path);
    const Timing ours = median([&] { LoudnessMeter::measureFile(path); });
    const Timing alone = median([&] { oneState(path); });
    const Timing sox = median([&] {
        run(QStringLiteral("sox"), {path, QStringLiteral("-n"), QStringLiteral("stats")});
    });
    std::printf("  %-27s %5.1f LUFS %5.2f dBTP | ours %6.1f ms (cpu %6.1f) | libebur128 one state %6.1f ms "
                "(cpu %6.1f) | sox stats %6.1f ms (cpu %6.1f)\n",
                what, l.lufs, l.truePeakDb, ours.wallMs, ours.cpuMs, alone.wallMs, alone.cpuMs, sox.wallMs,
                sox.cpuMs);
    const Loudness whole = oneState(path);
    std::printf("  %-27s ours against libebur128 in one state: %+.4f LU, %+.4f dB\n", "", l.lufs - whole.lufs,
                l.truePeakDb - whole.truePeakDb);
    std::fflush(stdout);
}
} // namespace

int main()
{
    QTemporaryDir dir;
    const QString speech = dir.filePath(QStringLiteral("voz.wav"));
    const QString minute = dir.filePath(QStringLiteral("voz60.wav"));
    const QString tone = dir.filePath(QStringLiteral("tono60.wav"));
    const QString tenMinutes = dir.filePath(QStringLiteral("voz600.wav"));
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) {
        std::fprintf(stderr, "bench_loudness needs espeak-ng and sox (scripts/setup.sh installs them)\n");
        return 2;
    }
    const bool made =
        run(QStringLiteral("espeak-ng"),
            {QStringLiteral("-v"), QStringLiteral("es"), QStringLiteral("-w"), speech, Text}) &&
        // Speech repeated to a minute, at 48 kHz, 16 bit mono; the same ten times over for ten minutes.
        run(QStringLiteral("sox"),
            {speech, QStringLiteral("-r"), QStringLiteral("48000"), QStringLiteral("-b"),
             QStringLiteral("16"), minute, QStringLiteral("repeat"), QStringLiteral("10"),
             QStringLiteral("trim"), QStringLiteral("0"), QStringLiteral("60")}) &&
        run(QStringLiteral("sox"), {minute, tenMinutes, QStringLiteral("repeat"), QStringLiteral("9")}) &&
        run(QStringLiteral("sox"),
            {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"), QStringLiteral("-b"),
             QStringLiteral("16"), QStringLiteral("-c"), QStringLiteral("1"), tone, QStringLiteral("synth"),
             QStringLiteral("60"), QStringLiteral("sine"), QStringLiteral("1000"), QStringLiteral("vol"),
             QStringLiteral("0.5")});
    if (!made) {
        std::fprintf(stderr, "could not make the files\n");
        return 1;
    }
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf(
        "measure of a message, 48 kHz 16 bit mono WAV, median of %d runs (%d CPUs, load average %.1f):\n",
        Runs, QThread::idealThreadCount(), load[0]);
    report("60 s of speech (espeak-ng)", minute);
    report("60 s of a 1 kHz tone", tone);
    report("10 min of speech", tenMinutes);
    return 0;
}

// The receiver's audio as the busy source on the test sound server: how soon a voice that reaches
// the input is seen busy, how soon after its end plus the hang it is seen clear, and the CPU the
// source takes watching an idle channel. Prints figures; asserts nothing.
//   bench_audiobusy [trials] [idle seconds]
#include "audio/audiobusysource.h"
#include "audio/audioowners.h"
#include "audio/soundcards.h"
#include "receiverfeed.h"
#include "soundcapture.h"

#include <QAudioSource>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <sys/resource.h>

namespace {
constexpr int ThresholdDb = -40;

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A second, plain reader of the same input: when a voice's first and last loud 5 ms blocks came
// in, which is when the voice reached the input, as near as a reader can know.
struct Reference
{
    SourceOwner source;
    QIODevice *input = nullptr;
    qint64 firstNs = 0, lastNs = 0;

    bool start(const QAudioDevice &dev)
    {
        const QAudioFormat fmt = monoInputFormat(dev);
        source.reset(new QAudioSource(dev, fmt));
        source->setBufferSize(fmt.bytesForDuration(10000));
        input = source->start();
        if (!input)
            return false;
        const qsizetype block = fmt.bytesForDuration(5000);
        auto carry = std::make_shared<QByteArray>();
        QObject::connect(input, &QIODevice::readyRead, input, [this, block, carry] {
            *carry += input->readAll();
            const qint64 now = monotonicNs();
            qsizetype at = 0;
            for (; at + block <= carry->size(); at += block)
                if (busylevel::rmsDb(reinterpret_cast<const qint16 *>(carry->constData() + at), block / 2) >
                    ThresholdDb) {
                    if (firstNs == 0)
                        firstNs = now;
                    lastNs = now;
                }
            carry->remove(0, at);
        });
        return true;
    }
};

QString stats(QList<double> values)
{
    if (values.isEmpty())
        return QStringLiteral("(none)");
    std::sort(values.begin(), values.end());
    return QStringLiteral("median %1 ms, worst %2 ms, best %3 ms (n=%4)")
        .arg(values.at(values.size() / 2), 0, 'f', 1)
        .arg(values.last(), 0, 'f', 1)
        .arg(values.first(), 0, 'f', 1)
        .arg(values.size());
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int trials = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int idleSecs = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
    if (!soundServerAvailable()) {
        std::fprintf(stderr, "bench_audiobusy: needs the test sound server (scripts/testpulse.sh)\n");
        return 2;
    }
    const SoundCardChoice card{QStringLiteral("txin"), QString()};
    AudioBusySource source(card, ThresholdDb);
    qint64 busyNs = 0, clearNs = 0;
    QObject::connect(&source, &BusySource::busyChanged, [&](bool busy) { (busy ? busyNs : clearNs) = monotonicNs(); });
    source.open();
    runFor(500);

    QList<double> onset, onsetFromPlay, release;
    int missed = 0;
    for (int i = 0; i < trials; ++i) {
        Reference reference;
        if (!reference.start(findInputCard(card)))
            return 2;
        runFor(300);
        busyNs = clearNs = 0;
        QProcess pacat;
        const qint64 playNs = monotonicNs();
        receiverfeed::play(pacat, receiverfeed::speechLike({400 + 50 * (i % 5)}));
        QElapsedTimer waited;
        waited.start();
        while ((clearNs == 0 || reference.lastNs == 0) && waited.elapsed() < 5000)
            runFor(10);
        pacat.waitForFinished(2000);
        if (busyNs == 0 || clearNs == 0 || reference.firstNs == 0) {
            ++missed;
            continue;
        }
        onset << (busyNs - reference.firstNs) / 1e6;
        onsetFromPlay << (busyNs - playNs) / 1e6;
        release << (clearNs - reference.lastNs) / 1e6 - BusyDetector::HangMs;
    }
    std::printf("voice seen busy after it reached the input: %s\n", qPrintable(stats(onset)));
    std::printf("  (from the start of its play, output latency included: %s)\n", qPrintable(stats(onsetFromPlay)));
    std::printf("clear seen after the end of the voice plus the %d ms hang: %s\n", BusyDetector::HangMs,
                qPrintable(stats(release)));
    std::printf("trials with a change not seen: %d of %d\n", missed, trials);

    runFor(500);
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(idleSecs * 1000);
    const double share = (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0) * 100.0;
    std::printf("CPU watching an idle channel for %d s: %.2f %% of one core (whole process)\n", idleSecs, share);
    source.close();
    const double base0 = cpuSeconds();
    wall.restart();
    runFor(idleSecs * 1000);
    std::printf("  the same process with the source closed: %.2f %% of one core\n",
                (cpuSeconds() - base0) / (wall.elapsed() / 1000.0) * 100.0);
    return 0;
}

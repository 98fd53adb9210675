// A loop on the test sound server with the receiver's input hearing the transmitter's output (a
// radio that hears itself): the real audio device plays each message into the sink whose monitor
// the receiver's audio source hears, the real engine waits for a clear channel before each play.
// Counts the plays delayed by a busy that was the station's own: the source still busy once the
// ignore window has passed, or a key-up later than the pause, libre and the hold-off allow. With
// "sin-olvido", the source keeps what it heard past the ignore window, as it did before it
// listened afresh. Prints figures; asserts nothing.
//   bench_owntail [loops] [sin-olvido]
#include "audio/audiobusysource.h"
#include "audio/wavaudiodevice.h"
#include "channelwatch.h"
#include "fakeserialline.h"
#include "keyinglines.h"
#include "soundcapture.h"
#include "transmissionengine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int PauseMs = 200;
constexpr int LibreMs = 300;
constexpr int IgnoreMs = 500;
constexpr int PlayMs = 300;

class RememberingSource : public AudioBusySource
{
public:
    using AudioBusySource::AudioBusySource;
    void listenAfresh() override { emit heardAfresh(busy()); }
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int loops = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const bool remembers = argc > 2 && QByteArray(argv[2]) == "sin-olvido";
    if (!soundServerAvailable()) {
        std::fprintf(stderr, "bench_owntail: needs the test sound server (scripts/testpulse.sh)\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("aviso.wav"));
    writeToneWav(wav, 48000, 1, 48000 * PlayMs / 1000);

    auto calls = std::make_shared<QStringList>();
    WavAudioDevice audio;
    FakeSerialLine serial(calls);
    TransmissionEngine engine(audio, serial);
    engine.setKeying(100, 50, KeyingLines(), 0);
    engine.Timer1().setInterval(PauseMs);
    audio.setFileName(wav);
    const SoundCardChoice receiver{QStringLiteral("txin"), QString()};
    auto made = remembers ? std::make_unique<RememberingSource>(receiver, -40)
                          : std::make_unique<AudioBusySource>(receiver, -40);
    AudioBusySource *source = made.get();
    BusySettings settings;
    settings.ocupado = BusySettings::Source::Audio;
    settings.libreMs = LibreMs;
    settings.esperaSecs = 10;
    settings.ocupadoignorarMs = IgnoreMs;
    ChannelWatch watch;
    watch.watch(std::move(made), settings);
    engine.setChannelWatch(&watch);

    QElapsedTimer clock;
    clock.start();
    qint64 keyDownAt = -1;
    int plays = 0, ownBusy = 0, delayed = 0, failures = 0;
    bool busySeen = false;
    QList<qint64> gaps;
    QTimer windowEnd;
    windowEnd.setSingleShot(true);
    // Just after the fresh reading is due: a source still busy then holds our own tail.
    QObject::connect(&windowEnd, &QTimer::timeout, [&] { busySeen = busySeen || source->busy(); });
    QObject::connect(source, &BusySource::busyChanged, [&](bool busy) {
        if (busy && engine.state() == TransmissionEngine::State::Waiting)
            busySeen = true;
    });
    QObject::connect(&engine, &TransmissionEngine::playEnded, [&] {
        keyDownAt = clock.elapsed();
        busySeen = false;
        windowEnd.start(IgnoreMs + BusyDetector::AttackMs + 30);
    });
    QObject::connect(&engine, &TransmissionEngine::stateChanged, [&](TransmissionEngine::State state) {
        if (state != TransmissionEngine::State::Playing || keyDownAt < 0)
            return;
        const qint64 gap = clock.elapsed() - keyDownAt;
        gaps << gap;
        ownBusy += busySeen ? 1 : 0;
        const int allowed = std::max({PauseMs, LibreMs, IgnoreMs + BusyDetector::AttackMs}) +
                            ChannelWaitRule::MaxHoldOffMs + 100;
        delayed += gap > allowed ? 1 : 0;
        keyDownAt = -1;
        if (++plays >= loops)
            engine.stop();
    });
    QObject::connect(&engine, &TransmissionEngine::failed, [&](const QString &message, const QString &cause) {
        ++failures;
        std::fprintf(stderr, "failed: %s %s\n", qPrintable(message), qPrintable(cause));
    });

    QTimer::singleShot(1500, [&] { engine.sendLoop(); }); // the source settled on a quiet channel
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if ((plays >= loops || failures > 0) && engine.state() == TransmissionEngine::State::Idle)
            app.quit();
    });
    poll.start(100);
    app.exec();

    std::sort(gaps.begin(), gaps.end());
    std::printf("%d loops, the receiver hearing the transmitter, %s; pause %d ms, libre %d ms, "
                "ignorar %d ms, message %d ms\n",
                plays, remembers ? "the source keeping its hang (sin-olvido)" : "the source listening afresh",
                PauseMs, LibreMs, IgnoreMs, PlayMs);
    std::printf("plays after which the station's own sound was still taken as busy: %d\n", ownBusy);
    std::printf("plays delayed past pause, libre and hold-off: %d\n", delayed);
    if (!gaps.isEmpty())
        std::printf("key-down to the next key-up: median %lld ms, best %lld ms, worst %lld ms\n",
                    gaps.at(gaps.size() / 2), gaps.first(), gaps.last());
    std::printf("failures: %d\n", failures);
    return failures > 0 ? 1 : 0;
}

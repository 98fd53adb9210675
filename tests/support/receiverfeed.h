#pragma once

#include <QByteArray>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QtEndian>

#include <cmath>

// Sound for the receiver's input on the test server: played into the sink "tx", whose monitor
// every test input hears.
namespace receiverfeed {
inline constexpr int Rate = 48000;

// Speech-like sound, 16-bit mono at Rate: "<ms>" of noise bursts with a syllable's rise and fall
// at rmsDb, and "-<ms>" of silence, e.g. {300, -400, 250}.
inline QByteArray speechLike(const QList<int> &pattern, double rmsDb = -20)
{
    QByteArray pcm;
    QRandomGenerator random(7);
    const double rms = 32768.0 * std::pow(10.0, rmsDb / 20.0);
    for (const int ms : pattern) {
        const int frames = std::abs(ms) * Rate / 1000;
        for (int i = 0; i < frames; ++i) {
            // Syllables of 100 ms, loudest in their middle; white noise of this RMS.
            const double envelope = ms > 0 ? 0.6 + 0.8 * std::sin(M_PI * (i % (Rate / 10)) / (Rate / 10)) : 0;
            const double noise = (random.generateDouble() * 2 - 1) * std::sqrt(3.0);
            const qint16 s = qint16(std::clamp(std::lround(rms * envelope * noise), -32767L, 32767L));
            const qint16 le = qToLittleEndian(s);
            pcm.append(reinterpret_cast<const char *>(&le), sizeof(le));
        }
    }
    return pcm;
}

// Starts playing pcm into "tx" with a short latency; false when pacat would not start.
inline bool play(QProcess &pacat, const QByteArray &pcm)
{
    pacat.start(QStringLiteral("pacat"),
                {QStringLiteral("--playback"), QStringLiteral("--device=tx"), QStringLiteral("--format=s16le"),
                 QStringLiteral("--rate=%1").arg(Rate), QStringLiteral("--channels=1"),
                 QStringLiteral("--latency-msec=10")});
    if (!pacat.waitForStarted(3000))
        return false;
    pacat.write(pcm);
    pacat.closeWriteChannel();
    return true;
}
} // namespace receiverfeed

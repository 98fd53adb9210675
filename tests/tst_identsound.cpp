// The identification as sound files: the message kept sample for sample, then the gap, then the
// callsign that reads back as Morse, on every channel and at the message's own rate; the voice
// file in its place; and the refusals.
#include "audio/identsound.h"
#include "deviceerror.h"
#include "support/morsedecoder.h"

#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <vector>

namespace {
// Writes frames of a slow sweep (distinct values, so any change shows) to path.
void writeSound(const QString &path, int rate, int channels, int format, int frames)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE *f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    QVERIFY(f);
    std::vector<float> data(size_t(frames) * channels);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = float(0.5 * std::sin(double(i) * 0.01));
    QCOMPARE(sf_writef_float(f, data.data(), frames), sf_count_t(frames));
    sf_close(f);
}

struct Sound
{
    SF_INFO info{};
    std::vector<float> data;
};

Sound readSound(const QString &path)
{
    Sound s;
    SNDFILE *f = sf_open(path.toLocal8Bit().constData(), SFM_READ, &s.info);
    if (!f)
        return s;
    s.data.resize(size_t(s.info.frames) * s.info.channels);
    sf_readf_float(f, s.data.data(), s.info.frames);
    sf_close(f);
    return s;
}

IdentSettings finalMorse()
{
    IdentSettings s;
    s.identificacion = IdentSettings::Mode::Final;
    s.indicativo = QStringLiteral("EA1ABC/P");
    return s;
}
} // namespace

class TestIdentSound : public QObject
{
    Q_OBJECT
private slots:
    void messageThenCallsign_data();
    void messageThenCallsign();
    void voiceFileInstead();
    void refusals_data();
    void refusals();
    void alone();
};

void TestIdentSound::messageThenCallsign_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("format");
    QTest::newRow("mono 16 bits 22,05 kHz") << 22050 << 1 << int(SF_FORMAT_PCM_16);
    QTest::newRow("stereo 16 bits 44,1 kHz") << 44100 << 2 << int(SF_FORMAT_PCM_16);
    QTest::newRow("mono float 48 kHz") << 48000 << 1 << int(SF_FORMAT_FLOAT);
    QTest::newRow("stereo 24 bits 8 kHz") << 8000 << 2 << int(SF_FORMAT_PCM_24);
}

void TestIdentSound::messageThenCallsign()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, format);
    QTemporaryDir dir;
    const QString message = dir.filePath(QStringLiteral("aviso.wav"));
    const int frames = rate / 2;
    writeSound(message, rate, channels, format, frames);
    IdentSound ident(finalMorse());
    const QString both = ident.withIdentification(message);
    const Sound in = readSound(message);
    const Sound out = readSound(both);
    QCOMPARE(out.info.samplerate, rate);
    QCOMPARE(out.info.channels, channels);
    const qsizetype gap = rate * IdentSound::GapMs / 1000;
    const QList<float> morse = IdentSound::samples(finalMorse(), rate);
    QCOMPARE(qsizetype(out.info.frames), frames + gap + morse.size());
    // The message as it was: every sample.
    const float lsb = format == SF_FORMAT_FLOAT ? 0.0f : 1.0f / 32768;
    for (size_t i = 0; i < in.data.size(); ++i)
        QVERIFY2(std::abs(out.data[i] - in.data[i]) <= lsb, qPrintable(QString::number(i)));
    QList<float> tail;
    for (qsizetype f = frames; f < out.info.frames; ++f) {
        const size_t at = size_t(f) * channels;
        for (int c = 1; c < channels; ++c)
            QCOMPARE(out.data[at + c], out.data[at]);
        tail << out.data[at];
    }
    for (qsizetype i = 0; i < gap; ++i)
        QCOMPARE(tail[i], 0.0f);
    QCOMPARE(MorseDecoder::decode(tail, rate), QStringLiteral("DE EA1ABC/P"));
}

void TestIdentSound::voiceFileInstead()
{
    QTemporaryDir dir;
    const QString message = dir.filePath(QStringLiteral("aviso.wav"));
    const QString voice = dir.filePath(QStringLiteral("voz.wav"));
    writeSound(message, 48000, 1, SF_FORMAT_PCM_16, 4800);
    writeSound(voice, 16000, 2, SF_FORMAT_PCM_16, 16000); // one second, another rate
    IdentSettings s = finalMorse();
    s.identarchivo = voice;
    IdentSound ident(s);
    const Sound out = readSound(ident.withIdentification(message));
    QCOMPARE(out.info.samplerate, 48000);
    const qsizetype voiceFrames = out.info.frames - 4800 - 24000;
    QVERIFY2(std::abs(voiceFrames - 48000) <= 3, qPrintable(QString::number(voiceFrames)));
    // Sound where the voice is, not a tone: its first samples follow the sweep, slowed threefold.
    const Sound v = readSound(voice);
    const float mixed = (v.data[20] + v.data[21]) / 2;
    QVERIFY(std::abs(out.data[4800 + 24000 + 30] - mixed) < 0.01);
}

void TestIdentSound::refusals_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<QString>("voice");
    QTest::addColumn<QString>("outcome"); // "none", "file" or the start of the refusal
    QTest::newRow("no identification") << "no"
                                       << "EA1ABC"
                                       << ""
                                       << "none";
    QTest::newRow("on its own every while") << "cada"
                                            << "EA1ABC"
                                            << ""
                                            << "none";
    QTest::newRow("final") << "final"
                           << "EA1ABC"
                           << ""
                           << "file";
    QTest::newRow("final without callsign") << "final"
                                            << ""
                                            << ""
                                            << "No se puede preparar la identificación de la estación";
    QTest::newRow("voice file missing") << "final"
                                        << "EA1ABC"
                                        << "/nonexistent/voz.wav"
                                        << "No se ";
}

void TestIdentSound::refusals()
{
    QFETCH(QString, mode);
    QFETCH(QString, callsign);
    QFETCH(QString, voice);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    const QString message = dir.filePath(QStringLiteral("aviso.wav"));
    writeSound(message, 8000, 1, SF_FORMAT_PCM_16, 800);
    IdentSettings s;
    s.identificacion = mode == QLatin1String("final")  ? IdentSettings::Mode::Final
                       : mode == QLatin1String("cada") ? IdentSettings::Mode::Cada
                                                       : IdentSettings::Mode::No;
    s.indicativo = callsign;
    s.identarchivo = voice;
    IdentSound ident(s);
    try {
        const QString file = ident.withIdentification(message);
        QCOMPARE(file.isEmpty() ? QStringLiteral("none") : QStringLiteral("file"), outcome);
    } catch (const DeviceError &e) {
        QVERIFY2(e.reason().startsWith(outcome), qPrintable(e.reason()));
    }
}

void TestIdentSound::alone()
{
    IdentSettings s = finalMorse();
    s.identificacion = IdentSettings::Mode::Cada;
    IdentSound ident(s);
    const QString first = ident.alone();
    const QString second = ident.alone();
    QVERIFY(first != second); // a play may still hold the first
    const Sound out = readSound(second);
    QCOMPARE(out.info.samplerate, IdentSound::AloneRate);
    QCOMPARE(MorseDecoder::decode(QList<float>(out.data.begin(), out.data.end()), out.info.samplerate),
             QStringLiteral("DE EA1ABC/P"));
}

QTEST_GUILESS_MAIN(TestIdentSound)
#include "tst_identsound.moc"

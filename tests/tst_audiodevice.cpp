// The real audio device against the test sound server: a null sink "tx" whose monitor is
// captured with parec, and "txin", an input that hears what tx plays. The tests of the chosen
// card load a second null sink, "otra", and an input that hears it.
#include "audio/loudnesscache.h"
#include "audio/loudnessmeter.h"
#include "audio/soundserverkind.h"
#include "audio/wavaudiodevice.h"
#include "audio/wavaudiostream.h"
#include "deviceerror.h"
#include "soundcapture.h"
#include "soundtestmain.h"
#include "systempath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int PcmWav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int Loud = 4000;      // a 0.5 full-scale tone is well above, silence well below
constexpr qint64 PeriodMs = 25; // one audio period of the server: timing tolerance
constexpr qint64 NsPerMs = 1000000;
constexpr int CaptureRate = 44100; // the sink's own rate: no resampling blurs the edges
constexpr int BurstGapMs = 5;      // quiet longer than this splits the sound into bursts

bool soundServer()
{
    static const bool available = soundServerAvailable();
    return available;
}

#define NEED_SOUND()                                                                                         \
    do {                                                                                                     \
        if (!soundServer())                                                                                  \
            QSKIP("No test sound server: eval \"$(scripts/testpulse.sh start)\" first.");                    \
    } while (false)

// A burst as long as the tone, but for a few samples at the edges.
#define VERIFY_LASTS(burst, expectedMs)                                                                      \
    QVERIFY2(std::abs((burst).ms() - (expectedMs)) <= 3, qPrintable(QString::number((burst).ms())))

QString tone(const QTemporaryDir &dir, int ms)
{
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    return writeToneWav(path, 22050, 1, qint64(22050) * ms / 1000) ? path : QString();
}

// The tone of a row of opensEveryFormat_data, written in dir (no path if it could not be).
struct RowTone
{
    QString path;
    int ms = 0;
};
RowTone writeRowTone(const QTemporaryDir &dir)
{
    QFETCH(int, format);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, ms);
    const QString path = dir.filePath(QStringLiteral("m.wav"));
    const bool written = writeToneWav(path, rate, channels, qint64(rate) * ms / 1000, 0.5, 1000, format);
    return {written ? path : QString(), ms};
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void open(WavAudioDevice &dev, const QString &path)
{
    dev.setFileName(path);
    dev.setCommand(QStringLiteral("open"));
}

void playArmed(WavAudioDevice &dev)
{
    dev.setNotify(true);
    dev.setCommand(QStringLiteral("play"));
}

// The result carried by the oldest Done not looked at yet.
int takeResult(QSignalSpy &done)
{
    return done.takeFirst().at(0).toInt();
}

// A device and the Done signals it sends.
struct Player
{
    WavAudioDevice dev;
    QSignalSpy done{&dev, &AudioDevice::Done};
    qint64 doneNs = -1; // with closeOnDone: when Done came (monotonic clock)
    int positionAtDone = -1;

    // Unkeys as the program does: closes the device the moment Done comes.
    void closeOnDone()
    {
        QObject::connect(&dev, &AudioDevice::Done, &dev, [this] {
            doneNs = monotonicNs();
            positionAtDone = dev.position();
            dev.setCommand(QStringLiteral("close"));
        });
    }
};

// A player with the sink's monitor captured: bursts() are the sound played since start() or
// the last mark(). Tones go in a temporary folder of its own.
struct Stage : Player
{
    QTemporaryDir dir;
    SoundCapture capture{CaptureRate};
    qint64 from = 0;

    bool start()
    {
        if (!capture.start())
            return false;
        mark();
        return true;
    }
    void mark() { from = capture.samples(); }
    // Until the capture holds what was played up to marginMs after atNs.
    bool catchUp(qint64 atNs, qint64 marginMs) { return capture.catchUp(atNs + marginMs * NsPerMs); }
    QList<SoundCapture::Burst> bursts() const
    {
        return capture.bursts(double(Loud) / 32767, BurstGapMs, from);
    }
};

bool hasOutput(const QString &id)
{
    const auto outputs = QMediaDevices::audioOutputs();
    return std::any_of(outputs.begin(), outputs.end(),
                       [&](const QAudioDevice &d) { return d.id() == id.toUtf8(); });
}

bool hasInput(const QString &id)
{
    const auto inputs = QMediaDevices::audioInputs();
    return std::any_of(inputs.begin(), inputs.end(),
                       [&](const QAudioDevice &d) { return d.id() == id.toUtf8(); });
}

// A second card on the test server while it lives: the null sink "otra", described as "Otra",
// and "otrain", an input that hears what it plays. tx and txin stay the defaults.
struct OtherCard
{
    QStringList modules;

    bool load()
    {
        for (const QStringList &args :
             {QStringList{QStringLiteral("module-null-sink"), QStringLiteral("sink_name=otra"),
                          QStringLiteral("sink_properties=device.description=Otra")},
              QStringList{QStringLiteral("module-remap-source"), QStringLiteral("master=otra.monitor"),
                          QStringLiteral("source_name=otrain")}}) {
            const QString module = pactl(QStringList{QStringLiteral("load-module")} + args);
            if (module.isEmpty())
                return false;
            modules.prepend(module);
        }
        // A server that moves its default to a new card would spoil the other tests.
        if (pactl({QStringLiteral("get-default-sink")}) != QLatin1String("tx"))
            pactl({QStringLiteral("set-default-sink"), QStringLiteral("tx")});
        if (pactl({QStringLiteral("get-default-source")}) != QLatin1String("txin"))
            pactl({QStringLiteral("set-default-source"), QStringLiteral("txin")});
        // Qt learns of the new card from the server a moment later.
        QElapsedTimer waited;
        waited.start();
        while (!(hasOutput(QStringLiteral("otra")) && hasInput(QStringLiteral("otrain"))) &&
               waited.elapsed() < 5000)
            QTest::qWait(20);
        return hasOutput(QStringLiteral("otra")) && hasInput(QStringLiteral("otrain")) &&
               pactl({QStringLiteral("get-default-sink")}) == QLatin1String("tx");
    }
    ~OtherCard()
    {
        for (const QString &module : modules)
            pactl({QStringLiteral("unload-module"), module});
    }
};

// The reason a command gave, or a null string when it went through.
template <typename F> QString failure(F &&command)
{
    try {
        command();
    } catch (const DeviceError &e) {
        return e.reason();
    }
    return QString();
}

} // namespace

class TestAudioDevice : public QObject
{
    Q_OBJECT

private slots:
    void levelOnTheAir_data();
    void levelOnTheAir();
    void playWaitsForItsMeasureWithoutBlocking_data();
    void playWaitsForItsMeasureWithoutBlocking();
    // Opening and file handling (no sound needed).
    void opensEveryFormat_data();
    void opensEveryFormat();
    void brokenFileThrowsAndStaysClosed_data();
    void brokenFileThrowsAndStaysClosed();
    void missingFileOpensEmpty();
    void namesAsTheSystemGivesThem();
    void commandsAnyCaseUnknownThrows();
    void playWhenClosedThrows();
    void streamConverts_data();
    void streamConverts();

    // Play through the real output.
    void playsEveryFormat_data();
    void playsEveryFormat();
    void asksWhichServer();
    void wholeToneThenDone();
    void closeMidPlayNeverSucceeds_data();
    void closeMidPlayNeverSucceeds();
    void prevThenPlayPlaysAllAgain();
    void messageWithoutSoundIsRefused_data();
    void messageWithoutSoundIsRefused();
    void fileChangedWhilePlaying_data();
    void fileChangedWhilePlaying();
    void leadAndTail();
    void longFileBoundedBuffer_data();
    void longFileBoundedBuffer();
    void destroyedMidPlayGoesQuiet_data();
    void destroyedMidPlayGoesQuiet();
    void playsOnTheChosenCardOnly_data();
    void playsOnTheChosenCardOnly();
    void missingCardRefusedNothingPlays_data();
    void missingCardRefusedNothingPlays();

    // Recording.
    void recordsWhatIsPlayed();
    void failedSaveKeepsFiles_data();
    void failedSaveKeepsFiles();
    void closeDiscardsRecording();
    void recordsOverWhateverIsThere_data();
    void recordsOverWhateverIsThere();
    void recordingCannotStartSaysWhy_data();
    void recordingCannotStartSaysWhy();
    void recordsFromTheChosenCard();
};

// ---- Opening.

void TestAudioDevice::opensEveryFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("ms");

    QTest::newRow("pcm u8 8k mono") << (SF_FORMAT_WAV | SF_FORMAT_PCM_U8) << 8000 << 1 << 250;
    QTest::newRow("pcm 16 11k mono") << PcmWav << 11025 << 1 << 400;
    QTest::newRow("pcm 16 44k stereo") << PcmWav << 44100 << 2 << 300;
    QTest::newRow("pcm 24 48k stereo") << (SF_FORMAT_WAV | SF_FORMAT_PCM_24) << 48000 << 2 << 300;
    QTest::newRow("pcm 32 32k mono") << (SF_FORMAT_WAV | SF_FORMAT_PCM_32) << 32000 << 1 << 300;
    QTest::newRow("float 22k mono") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 22050 << 1 << 300;
    QTest::newRow("double 16k stereo") << (SF_FORMAT_WAV | SF_FORMAT_DOUBLE) << 16000 << 2 << 300;
    QTest::newRow("u-law 8k mono") << (SF_FORMAT_WAV | SF_FORMAT_ULAW) << 8000 << 1 << 500;
    QTest::newRow("a-law 8k stereo") << (SF_FORMAT_WAV | SF_FORMAT_ALAW) << 8000 << 2 << 500;
    QTest::newRow("ima adpcm 22k mono") << (SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM) << 22050 << 1 << 400;
    QTest::newRow("ms adpcm 44k stereo") << (SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM) << 44100 << 2 << 400;
    QTest::newRow("gsm 8k mono") << (SF_FORMAT_WAV | SF_FORMAT_GSM610) << 8000 << 1 << 400;
}

void TestAudioDevice::opensEveryFormat()
{
    QTemporaryDir dir;
    const RowTone row = writeRowTone(dir);
    QVERIFY(!row.path.isEmpty());

    WavAudioDevice dev;
    dev.setDeviceType(QStringLiteral("WaveAudio"));
    QCOMPARE(dev.deviceType(), QStringLiteral("WaveAudio"));
    open(dev, row.path);
    // ADPCM and GSM round up to whole blocks.
    QVERIFY2(dev.length() >= row.ms && dev.length() <= row.ms + 30,
             qPrintable(QString::number(dev.length())));
    QCOMPARE(dev.position(), 0);
    dev.setCommand(QStringLiteral("close"));
    QCOMPARE(dev.length(), 0);
}

void TestAudioDevice::brokenFileThrowsAndStaysClosed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause"); // part of the reason, where it matters
    QTest::newRow("empty") << "empty"
                           << "";
    QTest::newRow("garbage") << "garbage"
                             << "";
    QTest::newRow("text named wav") << "text"
                                    << "";
    QTest::newRow("truncated header") << "truncated"
                                      << "";
    QTest::newRow("2^31 frames claimed") << "huge"
                                         << "";
    QTest::newRow("zero channels") << "zerochannels"
                                   << "";
    QTest::newRow("directory") << "directory"
                               << "es una carpeta";
    // Holding a sound file; a pipe is never read as a message, with or without a writer.
    QTest::newRow("named pipe") << "fifo"
                                << "es una tubería con nombre";
    QTest::newRow("link to a device") << "device"
                                      << "es un dispositivo";
}

void TestAudioDevice::brokenFileThrowsAndStaysClosed()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.wav"));
    const QString good = dir.filePath(QStringLiteral("good.wav"));
    int writer = -1;
    const auto closeWriter = qScopeGuard([&writer] {
        if (writer >= 0)
            ::close(writer);
    });
    QVERIFY(writeToneWav(good, 8000, 1, 800, 0.5, 1000, SF_FORMAT_WAV | SF_FORMAT_PCM_U8));
    QByteArray wav = readBytes(good);
    QCOMPARE(wav.mid(36, 4), QByteArray("data"));
    const auto putLe32 = [&wav](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav[at + i] = char((v >> (8 * i)) & 0xff);
    };

    if (kind == QLatin1String("empty")) {
        QVERIFY(writeBytes(path, {}));
    } else if (kind == QLatin1String("garbage")) {
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919 + 13) & 0xff);
        QVERIFY(writeBytes(path, junk));
    } else if (kind == QLatin1String("text")) {
        QVERIFY(writeBytes(path, "RIFF? not really a sound file\n"));
    } else if (kind == QLatin1String("truncated")) {
        QVERIFY(writeBytes(path, wav.left(30)));
    } else if (kind == QLatin1String("huge")) {
        // 8-bit mono: 2^31 frames is 2^31 data bytes, in a file of under a kilobyte.
        putLe32(4, 0x80000024u);
        putLe32(40, 0x80000000u);
        QVERIFY(writeBytes(path, wav));
    } else if (kind == QLatin1String("zerochannels")) {
        wav[22] = 0;
        wav[23] = 0;
        QVERIFY(writeBytes(path, wav));
    } else if (kind == QLatin1String("fifo")) {
        // A writer with the whole file already in the pipe: no open or read of it can wait.
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        writer = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(writer >= 0);
        QCOMPARE(::write(writer, wav.constData(), size_t(wav.size())), ssize_t(wav.size()));
    } else if (kind == QLatin1String("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
    } else {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("bad.wav")));
    }

    Player p;
    p.dev.setNotify(true);
    try {
        open(p.dev, path);
        QFAIL("open did not throw");
    } catch (const DeviceError &e) {
        QVERIFY(!e.reason().isEmpty());
        // The cause reaches the operator: in Spanish, never the library's English.
        static const QRegularExpression english(
            QStringLiteral(
                "\\b(the|not|file|format|such|denied|permitted|recogni[sz]ed|unknown|supported)\\b"),
            QRegularExpression::CaseInsensitiveOption);
        QVERIFY2(!english.match(e.reason()).hasMatch(), qPrintable(e.reason()));
        QVERIFY2(e.reason().contains(cause), qPrintable(e.reason()));
    }
    QCOMPARE(p.dev.length(), 0);
    QVERIFY_THROWS_EXCEPTION(DeviceError, p.dev.setCommand(QStringLiteral("play")));

    // An open file is closed by a failed open of another.
    open(p.dev, good);
    QCOMPARE(p.dev.length(), 100);
    QVERIFY_THROWS_EXCEPTION(DeviceError, open(p.dev, path));
    QCOMPARE(p.dev.length(), 0);
    QVERIFY_THROWS_EXCEPTION(DeviceError, p.dev.setCommand(QStringLiteral("play")));
    QTest::qWait(20);
    QCOMPARE(p.done.count(), 0);
}

void TestAudioDevice::missingFileOpensEmpty()
{
    QTemporaryDir dir;
    Player p;
    p.dev.setNotify(true);
    open(p.dev, dir.filePath(QStringLiteral("nueva.wav")));
    QCOMPARE(p.done.count(), 0);
    QCOMPARE(p.dev.length(), 0);
    QCOMPARE(p.dev.position(), 0);
    QVERIFY(p.done.wait(1000));
    QCOMPARE(takeResult(p.done), int(AudioDevice::Successful));
    QVERIFY(!QFileInfo::exists(p.dev.fileName()));
}

// A name that is not UTF-8 is opened and saved to as the system spells it.
void TestAudioDevice::namesAsTheSystemGivesThem()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QByteArray source = folder + "aviso\xff\xfe.wav", target = folder + "copia\xe9.wav";
    const auto removeNames = qScopeGuard([&] {
        ::unlink(source.constData());
        ::unlink(target.constData());
    });
    QVERIFY(writeToneWav(dir.filePath(QStringLiteral("t.wav")), 8000, 1, 800));
    QCOMPARE(
        ::rename(QFile::encodeName(dir.filePath(QStringLiteral("t.wav"))).constData(), source.constData()),
        0);
    WavAudioDevice dev;
    open(dev, SystemPath::decode(source));
    QCOMPARE(dev.length(), 100);
    dev.setFileName(SystemPath::decode(target));
    dev.setCommand(QStringLiteral("save"));
    SF_INFO info{};
    SNDFILE *f = sf_open(target.constData(), SFM_READ, &info);
    QVERIFY(f);
    sf_close(f);
    QCOMPARE(info.frames, sf_count_t(800));
}

void TestAudioDevice::commandsAnyCaseUnknownThrows()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.wav"));
    QVERIFY(writeToneWav(path, 8000, 1, 8000));
    WavAudioDevice dev;
    dev.setFileName(path);
    dev.setCommand(QStringLiteral("OpEn"));
    QCOMPARE(dev.length(), 1000);
    dev.setCommand(QStringLiteral("PREV"));
    QVERIFY_THROWS_EXCEPTION(DeviceError, dev.setCommand(QStringLiteral("rewind")));
    QVERIFY_THROWS_EXCEPTION(DeviceError, dev.setCommand(QString()));
    QCOMPARE(dev.length(), 1000);
    dev.setCommand(QStringLiteral("Close"));
    QCOMPARE(dev.length(), 0);
}

void TestAudioDevice::playWhenClosedThrows()
{
    WavAudioDevice dev;
    QVERIFY_THROWS_EXCEPTION(DeviceError, dev.setCommand(QStringLiteral("play")));
    QVERIFY_THROWS_EXCEPTION(DeviceError, dev.setCommand(QStringLiteral("record")));
    QVERIFY_THROWS_EXCEPTION(DeviceError, dev.setCommand(QStringLiteral("save")));
}

void TestAudioDevice::streamConverts_data()
{
    QTest::addColumn<int>("inRate");
    QTest::addColumn<int>("inChannels");
    QTest::addColumn<int>("outRate");
    QTest::addColumn<int>("outChannels");
    QTest::addColumn<int>("outFormat");
    QTest::addColumn<int>("leadFrames");

    QTest::newRow("direct int16") << 22050 << 1 << 22050 << 1 << int(QAudioFormat::Int16) << 0;
    QTest::newRow("direct float + lead") << 44100 << 2 << 44100 << 2 << int(QAudioFormat::Float) << 4410;
    QTest::newRow("up 8k mono to 48k stereo") << 8000 << 1 << 48000 << 2 << int(QAudioFormat::Int16) << 0;
    QTest::newRow("down 48k stereo to 44.1k mono")
        << 48000 << 2 << 44100 << 1 << int(QAudioFormat::Float) << 0;
    QTest::newRow("same rate to int32 6ch") << 22050 << 2 << 22050 << 6 << int(QAudioFormat::Int32) << 100;
    QTest::newRow("11k to uint8 16k") << 11025 << 1 << 16000 << 1 << int(QAudioFormat::UInt8) << 0;
}

void TestAudioDevice::streamConverts()
{
    QFETCH(int, inRate);
    QFETCH(int, inChannels);
    QFETCH(int, outRate);
    QFETCH(int, outChannels);
    QFETCH(int, outFormat);
    QFETCH(int, leadFrames);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.wav"));
    const qint64 frames = inRate / 2;
    QVERIFY(writeToneWav(path, inRate, inChannels, frames));
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    QVERIFY(f);
    QAudioFormat out;
    out.setSampleRate(outRate);
    out.setChannelCount(outChannels);
    out.setSampleFormat(QAudioFormat::SampleFormat(outFormat));
    WavAudioStream stream(f, inRate, inChannels, false, out);
    stream.setLeadFrames(leadFrames);
    QVERIFY(stream.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QSignalSpy drained(&stream, &WavAudioStream::drained);

    // Read as a sink would, in odd-sized pieces; decode channel 0 to float.
    std::vector<float> ch0;
    QByteArray piece(3001, Qt::Uninitialized);
    while (!stream.exhausted()) {
        const qint64 n = stream.read(piece.data(), piece.size());
        QCOMPARE(n, piece.size() / out.bytesPerFrame() * out.bytesPerFrame());
        for (qint64 at = 0; at < n; at += out.bytesPerFrame())
            ch0.push_back(out.normalizedSampleValue(piece.constData() + at));
        QVERIFY(ch0.size() < size_t(10 * outRate));
    }
    // After the file, silence for as long as the sink asks.
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(stream.read(piece.data(), piece.size()),
                 piece.size() / out.bytesPerFrame() * out.bytesPerFrame());
        QVERIFY(std::abs(out.normalizedSampleValue(piece.constData() + 2 * out.bytesPerFrame())) < 0.01f);
    }
    sf_close(f);
    QTRY_COMPARE(drained.count(), 1);
    const qint64 expected = leadFrames + frames * outRate / inRate;
    QVERIFY2(std::abs(stream.soundEndFrame() - expected) <= 2,
             qPrintable(QString::number(stream.soundEndFrame())));
    for (size_t i = size_t(stream.soundEndFrame()); i < ch0.size(); ++i)
        QVERIFY(std::abs(ch0[i]) < 0.01f);
    ch0.resize(size_t(stream.soundEndFrame()));
    QVERIFY(stream.peakBufferBytes() <= 64 * 1024);

    // Silence for the lead, then the tone: about 0.5 peak and 1 kHz (crossings per second).
    for (int i = 0; i < leadFrames; ++i)
        QVERIFY(std::abs(ch0[size_t(i)]) < 0.01f);
    float peak = 0;
    int crossings = 0;
    for (size_t i = size_t(leadFrames) + 1; i < ch0.size(); ++i) {
        peak = std::max(peak, std::abs(ch0[i]));
        crossings += (ch0[i - 1] < 0) != (ch0[i] < 0);
    }
    QVERIFY2(peak > 0.45f && peak < 0.55f, qPrintable(QString::number(peak)));
    QVERIFY2(std::abs(crossings - 1000) <= 6, qPrintable(QString::number(crossings)));
}

// ---- Play.

void TestAudioDevice::playsEveryFormat_data()
{
    opensEveryFormat_data();
}

void TestAudioDevice::playsEveryFormat()
{
    NEED_SOUND();
    Stage s;
    const RowTone row = writeRowTone(s.dir);
    QVERIFY(!row.path.isEmpty());
    QVERIFY(s.start());
    open(s.dev, row.path);
    qint64 doneNs = 0;
    connect(&s.dev, &AudioDevice::Done, this, [&] { doneNs = monotonicNs(); });
    playArmed(s.dev);
    QVERIFY(s.done.wait(5000));
    QCOMPARE(takeResult(s.done), int(AudioDevice::Successful));
    QCOMPARE(s.dev.position(), s.dev.length());
    QVERIFY(s.catchUp(monotonicNs(), 50));
    VERIFY_CAPTURE_WHOLE(s.capture);
    const auto bursts = s.bursts();
    VERIFY_BURSTS(bursts, 1);
    // Encoders that work in blocks pad the end with near silence. Shorter means the server lost the
    // start of the stream, or the end was cut by letting the output go too soon.
    QVERIFY2(bursts[0].ms() >= row.ms - 3 && bursts[0].ms() <= s.dev.length() + 3,
             qPrintable(QString::number(bursts[0].ms())));
    // Done (the moment the program unkeys) only once the last sample has come out.
    QVERIFY2(
        doneNs >= bursts[0].endNs - NsPerMs,
        qPrintable(QStringLiteral("Done %1 ms after the last sample").arg((doneNs - bursts[0].endNs) / 1e6)));
}

void TestAudioDevice::asksWhichServer()
{
    NEED_SOUND();
    // The test server says what it is; the player's margins follow from that.
    const QString info = pactl({QStringLiteral("info")});
    const QString name = info.section(QStringLiteral("Server Name: "), 1).section(QLatin1Char('\n'), 0, 0);
    QVERIFY(!name.isEmpty());
    const SoundServerKind kind = askSoundServerKind();
    QVERIFY(kind != SoundServerKind::Unknown);
    QCOMPARE(int(kind), int(soundServerKindFromName(name)));

    // No server there: no answer, and soon.
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/native");
    QElapsedTimer t;
    t.start();
    const SoundServerKind none = askSoundServerKind(500);
    qputenv("PULSE_SERVER", saved);
    QCOMPARE(int(none), int(SoundServerKind::Unknown));
    QVERIFY(t.elapsed() < 2000);
}

void TestAudioDevice::wholeToneThenDone()
{
    NEED_SOUND();
    Stage s;
    QSignalSpy status(&s.dev, &AudioDevice::StatusUpdate);
    QVERIFY(s.start());
    open(s.dev, tone(s.dir, 600));
    QCOMPARE(s.dev.length(), 600);

    s.closeOnDone();
    int lastPosition = 0;
    bool backwards = false, beyond = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        const int p = s.dev.position();
        backwards |= p < lastPosition;
        beyond |= p > 600;
        lastPosition = p;
    });
    watch.start(5);

    const qint64 playNs = monotonicNs();
    s.dev.setNotify(true);
    QCOMPARE(s.done.count(), 0);
    s.dev.setCommand(QStringLiteral("play"));
    QCOMPARE(s.done.count(), 0);
    QCOMPARE(status.count(), 0);
    QVERIFY(s.done.wait(5000));
    QCOMPARE(s.done.count(), 1);
    QCOMPARE(s.done.at(0).at(0).toInt(), int(AudioDevice::Successful));
    QCOMPARE(s.positionAtDone, 600);
    QVERIFY(!backwards);
    QVERIFY(!beyond);
    QVERIFY(s.catchUp(s.doneNs, 100));

    // The whole tone came out although the output was shut at Done, and Done came after it.
    VERIFY_CAPTURE_WHOLE(s.capture);
    const auto bursts = s.bursts();
    VERIFY_BURSTS(bursts, 1);
    VERIFY_LASTS(bursts[0], 600);
    const qint64 firstNs = bursts[0].startNs;
    const qint64 lastNs = bursts[0].endNs;
    QVERIFY(firstNs >= playNs);
    QVERIFY2(s.doneNs >= lastNs - PeriodMs * NsPerMs,
             qPrintable(QStringLiteral("Done %1 ms after the last sample").arg((s.doneNs - lastNs) / 1e6)));
    qInfo("first sample %.1f ms after play; Done %.1f ms after the last sample", (firstNs - playNs) / 1e6,
          (s.doneNs - lastNs) / 1e6);
    QTest::qWait(10);
    QCOMPARE(s.done.count(), 1);
}

// What the sink's monitor hears with the level on: messages 18 dB apart come out at the target,
// and one held by the ceiling peaks under it.
void TestAudioDevice::levelOnTheAir_data()
{
    QTest::addColumn<double>("amplitude"); // of the 1 kHz tone in the file
    QTest::addColumn<double>("target");
    QTest::addColumn<double>("ceiling");
    QTest::addColumn<double>("heardLufs");   // NaN: not checked
    QTest::addColumn<double>("heardPeakDb"); // the highest it may reach
    const double any = std::nan("");
    QTest::newRow("quiet message, up to the target") << 0.05 << -23.0 << -1.0 << -23.0 << -19.0;
    QTest::newRow("18 dB louder, down to the target") << 0.4 << -23.0 << -1.0 << -23.0 << -19.0;
    QTest::newRow("held by the ceiling") << 0.5 << -10.0 << -12.0 << any << -12.0;
}

namespace {
// What the sink's monitor hears of a 3 s, 1 kHz tone of amplitude played with level; empty when
// the play failed, and with captureFault set when the capture lost samples.
std::vector<float> heardTone(double amplitude, const LevelSettings &level, QString *captureFault)
{
    Stage s;
    s.dev.setLevel(level);
    const QString path = s.dir.filePath(QStringLiteral("nivel.wav"));
    if (!writeToneWav(path, CaptureRate, 1, qint64(CaptureRate) * 3, amplitude) || !s.start())
        return {};
    open(s.dev, path);
    playArmed(s.dev);
    if (!s.done.wait(10000) || takeResult(s.done) != int(AudioDevice::Successful) ||
        !s.catchUp(monotonicNs(), 100))
        return {};
    *captureFault = s.capture.fault();
    return s.capture.pcm(s.from);
}

float peakOf(const std::vector<float> &samples)
{
    float peak = 0;
    for (float v : samples)
        peak = std::max(peak, std::abs(v));
    return peak;
}
} // namespace

void TestAudioDevice::levelOnTheAir()
{
    NEED_SOUND();
    QFETCH(double, amplitude);
    QFETCH(double, target);
    QFETCH(double, ceiling);
    QFETCH(double, heardLufs);
    QFETCH(double, heardPeakDb);
    // The server's own gain on the way to the monitor (PipeWire spreads a mono stream over both
    // channels 3 dB up), from a tone played as it is.
    static double serverDb = std::nan("");
    QString fault;
    if (std::isnan(serverDb)) {
        const std::vector<float> reference = heardTone(0.1, LevelSettings(), &fault);
        QVERIFY2(!reference.empty(), "the reference tone was not played");
        if (!fault.isEmpty())
            QSKIP(qPrintable(QStringLiteral("inconclusive, the test's capture failed, not the play: ") +
                             fault));
        serverDb = 20 * std::log10(peakOf(reference) / 0.1);
        qInfo("the server adds %.2f dB", serverDb);
    }
    LevelSettings level;
    level.nivel = target;
    level.picomaximo = ceiling;
    const std::vector<float> heard = heardTone(amplitude, level, &fault);
    QVERIFY2(!heard.empty(), "the message was not played");
    if (!fault.isEmpty())
        QSKIP(qPrintable(QStringLiteral("inconclusive, the test's capture failed, not the play: ") + fault));

    // The tone alone, without the silence around it or its first and last 100 ms.
    const auto loud = [](float v) { return std::abs(v) > 0.002f; };
    const auto first = std::find_if(heard.begin(), heard.end(), loud);
    const auto last = std::find_if(heard.rbegin(), heard.rend(), loud).base();
    QVERIFY(last - first > CaptureRate * 2);
    const std::vector<float> tone(first + CaptureRate / 10, last - CaptureRate / 10);
    const Loudness got = LoudnessMeter::measureSamples(tone.data(), qint64(tone.size()), 1, CaptureRate);
    const double lufs = got.lufs - serverDb;
    const double peakDb = 20 * std::log10(peakOf(heard)) - serverDb;
    qInfo("heard %.2f LUFS, sample peak %.2f dBFS, less the server's gain", lufs, peakDb);
    if (!std::isnan(heardLufs))
        QVERIFY2(std::abs(lufs - heardLufs) <= 0.5, qPrintable(QString::number(lufs)));
    QVERIFY2(peakDb <= heardPeakDb + 0.1, qPrintable(QString::number(peakDb)));
}

void TestAudioDevice::playWaitsForItsMeasureWithoutBlocking_data()
{
    QTest::addColumn<bool>("closeWhileWaiting");
    QTest::addColumn<bool>("measured"); // false: the measure fails, the message plays as recorded
    QTest::addColumn<bool>("slow");     // the measure outlasts the wait: played as recorded
    QTest::newRow("measured, then played") << false << true << false;
    QTest::newRow("not measured: played as recorded") << false << false << false;
    QTest::newRow("closed while waiting: never sounds") << true << true << false;
    QTest::newRow("measure too slow: played as recorded") << false << true << true;
}

// A play whose message is still being measured returns at once, sounds nothing until the measure
// is done, and then plays; closed meanwhile, it ends Aborted and never starts.
void TestAudioDevice::playWaitsForItsMeasureWithoutBlocking()
{
    NEED_SOUND();
    QFETCH(bool, closeWhileWaiting);
    QFETCH(bool, measured);
    QFETCH(bool, slow);
    std::promise<void> gate;
    const std::shared_future<void> go = gate.get_future().share();
    std::atomic<bool> opened{false};
    std::atomic<bool> byTimeout{false};
    const auto release = [&] {
        if (!opened.exchange(true))
            gate.set_value();
    };
    LoudnessCache cache([go, measured](const QString &path) {
        go.wait();
        return measured ? LoudnessMeter::measureFile(path) : Loudness();
    });
    // Were play to wait in this thread, this would end the wait (and the test would see it).
    std::thread safety([&] {
        if (go.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            byTimeout = true;
            release();
        }
    });
    const auto finish = qScopeGuard([&] {
        release();
        safety.join();
    });
    Stage s;
    s.dev.setLoudnessCache(cache);
    LevelSettings level;
    level.nivel = -23.0;
    s.dev.setLevel(level);
    QVERIFY(s.start());
    open(s.dev, tone(s.dir, 500));
    playArmed(s.dev);
    const bool blocked = byTimeout;
    if (!blocked && closeWhileWaiting)
        s.dev.setCommand(QStringLiteral("close"));
    QTest::qWait(300);
    const bool silent = s.bursts().isEmpty() && (closeWhileWaiting || s.done.isEmpty());
    if (slow)
        QVERIFY(s.done.wait(5000)); // the measure still running
    release();
    QVERIFY2(!blocked, "play waited for the measure in the caller's thread");
    QVERIFY(silent);
    if (slow) {
        QCOMPARE(takeResult(s.done), int(AudioDevice::Successful));
        QCOMPARE(s.dev.levelNote(), QStringLiteral("Sonoridad no medida a tiempo; sin ganancia."));
        return;
    }
    if (closeWhileWaiting) {
        QTest::qWait(300);
        QCOMPARE(s.done.count(), 1);
        QCOMPARE(takeResult(s.done), int(AudioDevice::Aborted));
        QVERIFY(s.bursts().isEmpty());
        return;
    }
    QVERIFY(s.done.wait(5000));
    QCOMPARE(takeResult(s.done), int(AudioDevice::Successful));
    QVERIFY(s.dev.levelNote().contains(measured ? QStringLiteral("ganancia") : QStringLiteral("no medida")));
}

void TestAudioDevice::closeMidPlayNeverSucceeds_data()
{
    QTest::addColumn<bool>("armed");
    QTest::addColumn<bool>("armClose");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("play armed") << true << false << QList<int>{AudioDevice::Aborted};
    QTest::newRow("close armed") << false << true << QList<int>{AudioDevice::Aborted};
    QTest::newRow("both armed") << true << true << QList<int>{AudioDevice::Aborted};
    QTest::newRow("nothing armed") << false << false << QList<int>{};
}

void TestAudioDevice::closeMidPlayNeverSucceeds()
{
    NEED_SOUND();
    QFETCH(bool, armed);
    QFETCH(bool, armClose);
    QFETCH(QList<int>, expected);
    Stage s;
    QVERIFY(s.start());
    open(s.dev, tone(s.dir, 1000));
    s.dev.setNotify(armed);
    s.dev.setCommand(QStringLiteral("play"));
    QTRY_VERIFY_WITH_TIMEOUT(s.dev.position() >= 200, 3000);
    s.dev.setNotify(armClose);
    s.dev.setCommand(QStringLiteral("close"));
    QCOMPARE(s.done.count(), 0);
    QCOMPARE(s.dev.length(), 0);
    QCOMPARE(s.dev.position(), 0);
    const qint64 closeNs = monotonicNs();
    QVERIFY(s.catchUp(closeNs, 1100)); // past where the tone would have ended
    QList<int> codes;
    for (const auto &args : s.done)
        codes << args.at(0).toInt();
    QCOMPARE(codes, expected);
    VERIFY_CAPTURE_WHOLE(s.capture);
    const auto bursts = s.bursts();
    VERIFY_BURSTS(bursts, 1);
    QVERIFY(bursts[0].ms() < 800);
    QVERIFY(bursts[0].endNs < closeNs + PeriodMs * NsPerMs);
}

void TestAudioDevice::prevThenPlayPlaysAllAgain()
{
    NEED_SOUND();
    Stage s;
    QVERIFY(s.start());
    open(s.dev, tone(s.dir, 400));
    playArmed(s.dev);
    QTRY_VERIFY_WITH_TIMEOUT(s.dev.position() >= 100, 3000);
    s.dev.setCommand(QStringLiteral("prev"));
    QCOMPARE(s.dev.position(), 0);
    QCOMPARE(s.dev.length(), 400);
    QCOMPARE(s.done.count(), 0);
    QVERIFY(s.done.wait(1000));
    QCOMPARE(takeResult(s.done), int(AudioDevice::Aborted));

    // Silence between the two, so that the bursts stand apart.
    QTest::qWait(60);
    playArmed(s.dev);
    QVERIFY(s.done.wait(3000));
    QCOMPARE(takeResult(s.done), int(AudioDevice::Successful));
    QCOMPARE(s.dev.position(), 400);
    QVERIFY(s.catchUp(monotonicNs(), 50));
    VERIFY_CAPTURE_WHOLE(s.capture);
    const auto bursts = s.bursts();
    VERIFY_BURSTS(bursts, 2);
    QVERIFY(bursts[0].ms() < 350);
    VERIFY_LASTS(bursts[1], 400);

    // Played to the end, a play again completes at once; after "prev" it plays all again.
    playArmed(s.dev);
    QVERIFY(s.done.wait(1000));
    QCOMPARE(takeResult(s.done), int(AudioDevice::Successful));
}

void TestAudioDevice::messageWithoutSoundIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    QTest::newRow("file gone") << "gone"
                               << "No se encuentra el archivo del mensaje";
    QTest::newRow("header only, no samples") << "empty"
                                             << "está vacío";
}

// A message with nothing to hear is refused by the check before keying and by play itself,
// with its cause; no Done ever comes.
void TestAudioDevice::messageWithoutSoundIsRefused()
{
    NEED_SOUND();
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("aviso.wav"));
    if (kind == QLatin1String("empty"))
        QVERIFY(writeToneWav(path, 22050, 1, 0));
    Player p;
    open(p.dev, path);
    QCOMPARE(p.dev.length(), 0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0)
                p.dev.checkPlayable();
            else
                playArmed(p.dev);
            QFAIL("a message without sound was accepted");
        } catch (const DeviceError &e) {
            QVERIFY2(e.reason().contains(cause) && e.reason().contains(path), qPrintable(e.reason()));
        }
    }
    QTest::qWait(50);
    QCOMPARE(p.done.count(), 0);
}

void TestAudioDevice::fileChangedWhilePlaying_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("beforePlay");
    QTest::addColumn<int>("result");
    QTest::newRow("cut short while playing") << "cut" << false << int(AudioDevice::Failure);
    QTest::newRow("cut short between open and play") << "cut" << true << int(AudioDevice::Failure);
    // The old file is what was opened, and what plays on to its end.
    QTest::newRow("replaced while playing") << "replaced" << false << int(AudioDevice::Successful);
    QTest::newRow("replaced between open and play") << "replaced" << true << int(AudioDevice::Successful);
}

// A message cut while it plays never completes: its end is lost on the air.
void TestAudioDevice::fileChangedWhilePlaying()
{
    NEED_SOUND();
    QFETCH(QString, change);
    QFETCH(bool, beforePlay);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString path = tone(dir, 1500);
    const QString other = dir.filePath(QStringLiteral("otro.wav"));
    QVERIFY(writeToneWav(other, 8000, 1, 80));
    const auto changeFile = [&] {
        if (change == QLatin1String("cut"))
            return ::truncate(QFile::encodeName(path).constData(), 1000) == 0;
        return ::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) == 0;
    };
    Player p;
    open(p.dev, path);
    QCOMPARE(p.dev.length(), 1500);
    if (beforePlay)
        QVERIFY(changeFile());
    playArmed(p.dev);
    if (!beforePlay) {
        QTRY_VERIFY_WITH_TIMEOUT(p.dev.position() >= 300, 3000);
        QVERIFY(changeFile());
    }
    QVERIFY(p.done.wait(4000));
    QCOMPARE(takeResult(p.done), result);
    if (result == AudioDevice::Failure)
        QVERIFY2(p.dev.failureReason().contains(QLatin1String("se ha acortado")),
                 qPrintable(p.dev.failureReason()));
    else
        QCOMPARE(p.dev.position(), 1500);
}

void TestAudioDevice::leadAndTail()
{
    NEED_SOUND();
    constexpr int Lead = 300, Tail = 100;
    Stage s;
    s.dev.setLeadTime(Lead);
    s.dev.setTailTime(Tail);
    QVERIFY(s.start());
    open(s.dev, tone(s.dir, 300));
    s.closeOnDone();
    qint64 playNs = 0;
    bool movedInLead = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (monotonicNs() - playNs < (Lead - PeriodMs) * NsPerMs)
            movedInLead |= s.dev.position() != 0;
    });
    playNs = monotonicNs();
    playArmed(s.dev);
    watch.start(5);
    QVERIFY(s.done.wait(5000));
    QCOMPARE(s.done.at(0).at(0).toInt(), int(AudioDevice::Successful));
    QVERIFY(!movedInLead);
    QVERIFY(s.catchUp(s.doneNs, 100));

    VERIFY_CAPTURE_WHOLE(s.capture);
    const auto bursts = s.bursts();
    VERIFY_BURSTS(bursts, 1);
    VERIFY_LASTS(bursts[0], 300);
    const double leadMs = (bursts[0].startNs - playNs) / 1e6;
    const double tailMs = (s.doneNs - bursts[0].endNs) / 1e6;
    qInfo("first sample %.1f ms after play (lead %d); Done %.1f ms after the last (tail %d)", leadMs, Lead,
          tailMs, Tail);
    QVERIFY2(leadMs >= Lead - PeriodMs, qPrintable(QString::number(leadMs)));
    QVERIFY2(tailMs >= Tail - PeriodMs, qPrintable(QString::number(tailMs)));
}

void TestAudioDevice::longFileBoundedBuffer_data()
{
    QTest::addColumn<int>("seconds");
    QTest::newRow("3 s") << 3;
    QTest::newRow("30 min") << 1800;
}

void TestAudioDevice::longFileBoundedBuffer()
{
    NEED_SOUND();
    QFETCH(int, seconds);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("largo.wav"));
    QVERIFY(writeToneWav(path, 8000, 1, qint64(8000) * seconds, 0.0));
    Player p;
    open(p.dev, path);
    QCOMPARE(p.dev.length(), seconds * 1000);
    playArmed(p.dev);
    QTRY_VERIFY_WITH_TIMEOUT(p.dev.position() >= 1000, 5000);
    QVERIFY2(p.dev.readAheadBytes() <= 64 * 1024, qPrintable(QString::number(p.dev.readAheadBytes())));
    qInfo("%d s file: RSS %lld KiB while playing, own read-ahead %lld bytes", seconds, rssKiB(),
          p.dev.readAheadBytes());
    p.dev.setCommand(QStringLiteral("close"));
    QVERIFY(p.done.wait(1000));
    QCOMPARE(takeResult(p.done), int(AudioDevice::Aborted));
}

// ---- The chosen card.

void TestAudioDevice::playsOnTheChosenCardOnly_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("onOther"); // heard on "otra", else on tx
    QTest::newRow("tx by id") << "tx"
                              << "Null Output" << false;
    QTest::newRow("the other card by id") << "otra"
                                          << "" << true;
    QTest::newRow("id gone, found by description") << "alsa_output.usb-Otra-00.analog-stereo"
                                                   << "Otra" << true;
}

// The message goes to the chosen card and nowhere else, whichever card is the default.
void TestAudioDevice::playsOnTheChosenCardOnly()
{
    NEED_SOUND();
    QFETCH(QString, id);
    QFETCH(QString, description);
    QFETCH(bool, onOther);
    OtherCard other;
    QVERIFY(other.load());
    Stage s;
    SoundCapture otherCapture(CaptureRate);
    otherCapture.setSource(QStringLiteral("otra.monitor"));
    QVERIFY(s.start());
    QVERIFY(otherCapture.start());
    const qint64 otherFrom = otherCapture.samples();

    s.dev.setOutputCard({id, description});
    open(s.dev, tone(s.dir, 400));
    s.dev.checkPlayable();
    playArmed(s.dev);
    QVERIFY(s.done.wait(5000));
    QCOMPARE(takeResult(s.done), int(AudioDevice::Successful));
    const qint64 doneNs = monotonicNs();
    QVERIFY(s.catchUp(doneNs, 100));
    QVERIFY(otherCapture.catchUp(doneNs + 100 * NsPerMs));
    VERIFY_CAPTURE_WHOLE(s.capture);
    VERIFY_CAPTURE_WHOLE(otherCapture);
    const auto onTx = s.bursts();
    const auto onOtra = otherCapture.bursts(double(Loud) / 32767, BurstGapMs, otherFrom);
    QCOMPARE(int(onTx.size()), onOther ? 0 : 1);
    QCOMPARE(int(onOtra.size()), onOther ? 1 : 0);
    VERIFY_LASTS(onOther ? onOtra[0] : onTx[0], 400);
}

void TestAudioDevice::missingCardRefusedNothingPlays_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("named"); // how the message names the card
    QTest::newRow("id and description gone") << "alsa_output.usb-Radio-00.analog-stereo"
                                             << "Interfaz de radio"
                                             << "Interfaz de radio";
    QTest::newRow("id alone, gone") << "alsa_output.usb-Radio-00.analog-stereo"
                                    << ""
                                    << "alsa_output.usb-Radio-00.analog-stereo";
    QTest::newRow("description alone, gone") << ""
                                             << "Interfaz de radio"
                                             << "Interfaz de radio";
}

// A chosen card that is not there: refused before anything is played, named to the operator,
// and the default output (tx) is not used instead.
void TestAudioDevice::missingCardRefusedNothingPlays()
{
    NEED_SOUND();
    QFETCH(QString, id);
    QFETCH(QString, description);
    QFETCH(QString, named);
    Stage s;
    QVERIFY(s.start());
    s.dev.setOutputCard({id, description});
    open(s.dev, tone(s.dir, 300));
    const QString expected = QStringLiteral("No se encuentra la tarjeta de sonido «%1».").arg(named);
    QString reason = failure([&] { s.dev.checkPlayable(); });
    QVERIFY2(reason.startsWith(expected), qPrintable(reason));
    reason = failure([&] { playArmed(s.dev); });
    QVERIFY2(reason.startsWith(expected), qPrintable(reason));
    QCOMPARE(s.dev.position(), 0);
    const qint64 refusedNs = monotonicNs();
    QTest::qWait(500);
    QCOMPARE(s.done.count(), 0);
    QVERIFY(s.catchUp(refusedNs, 400));
    VERIFY_CAPTURE_WHOLE(s.capture);
    QCOMPARE(int(s.bursts().size()), 0);

    // The same card named for recording: refused the same way, the open file kept.
    s.dev.setInputCard({id, description});
    reason = failure([&] { s.dev.setCommand(QStringLiteral("record")); });
    QVERIFY2(reason.startsWith(expected), qPrintable(reason));
    QCOMPARE(s.dev.length(), 300);

    // Back to the default: plays again.
    s.dev.setOutputCard({});
    s.dev.checkPlayable();
    playArmed(s.dev);
    QVERIFY(s.done.wait(5000));
    QCOMPARE(takeResult(s.done), int(AudioDevice::Successful));
}

// ---- Recording.

// The program may end in the middle of a play, or just after Stop or close: the device goes at
// once, the sound stops with it, and the sink it let go dies later in the event loop without
// reaching back into the device.
void TestAudioDevice::destroyedMidPlayGoesQuiet_data()
{
    QTest::addColumn<QString>("lastCommand");
    QTest::newRow("playing") << QString();
    QTest::newRow("just stopped") << QStringLiteral("stop");
    QTest::newRow("just closed") << QStringLiteral("close");
}

void TestAudioDevice::destroyedMidPlayGoesQuiet()
{
    NEED_SOUND();
    QFETCH(QString, lastCommand);
    QTemporaryDir dir;
    SoundCapture capture(CaptureRate);
    QVERIFY(capture.start());
    const qint64 from = capture.samples();
    auto dev = std::make_unique<WavAudioDevice>();
    open(*dev, tone(dir, 1000));
    playArmed(*dev);
    QTRY_VERIFY_WITH_TIMEOUT(dev->position() >= 200, 3000);
    if (!lastCommand.isEmpty()) {
        dev->setNotify(true);
        dev->setCommand(lastCommand);
    }
    dev.reset();
    const qint64 goneNs = monotonicNs();
    QTest::qWait(100);                                 // the deferred deletions run here
    QVERIFY(capture.catchUp(goneNs + 1100 * NsPerMs)); // past where the tone would have ended
    const auto bursts = capture.bursts(double(Loud) / 32767, BurstGapMs, from);
    VERIFY_BURSTS(bursts, 1);
    QVERIFY(bursts[0].endNs < goneNs + PeriodMs * NsPerMs);
}

void TestAudioDevice::recordsWhatIsPlayed()
{
    NEED_SOUND();
    QTemporaryDir dir;
    const QString path = tone(dir, 1000);
    const QString target = dir.filePath(QStringLiteral("grabacion.wav"));
    // Something is there already: it is replaced on save.
    QVERIFY(writeToneWav(target, 44100, 2, 4410, 0.5, 1000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));

    Player player;
    open(player.dev, path);

    Player recorder;
    WavAudioDevice &rec = recorder.dev;
    open(rec, target);
    QCOMPARE(rec.length(), 100);
    QElapsedTimer clock;
    clock.start();
    rec.setCommand(QStringLiteral("record"));
    playArmed(player.dev);
    QVERIFY(player.done.wait(5000));
    QTest::qWait(100);
    rec.setNotify(true);
    rec.setCommand(QStringLiteral("stop"));
    const qint64 elapsedMs = clock.elapsed();
    QCOMPARE(recorder.done.count(), 0);
    QVERIFY(recorder.done.wait(1000));
    QCOMPARE(takeResult(recorder.done), int(AudioDevice::Successful));
    const int recordedMs = rec.length();
    QVERIFY2(std::abs(recordedMs - elapsedMs) < 300,
             qPrintable(QStringLiteral("%1 vs %2").arg(recordedMs).arg(elapsedMs)));
    // The old file stays until the save.
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(target).constData(), SFM_READ, &info);
    QVERIFY(f);
    QCOMPARE(info.channels, 2);
    sf_close(f);

    rec.setCommand(QStringLiteral("save"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
    info = {};
    f = sf_open(QFile::encodeName(target).constData(), SFM_READ, &info);
    QVERIFY(f);
    QCOMPARE(info.format, PcmWav);
    QCOMPARE(info.channels, 1);
    QVERIFY(info.samplerate == 44100 || info.samplerate == 48000);
    QCOMPARE(qint64(rec.length()), (info.frames * 1000 + info.samplerate / 2) / info.samplerate);
    QVERIFY(std::abs(qint64(recordedMs) - info.frames * 1000 / info.samplerate) <= 1);
    std::vector<short> samples(size_t(info.frames));
    QCOMPARE(sf_readf_short(f, samples.data(), info.frames), info.frames);
    sf_close(f);
    const qint64 loud =
        std::count_if(samples.begin(), samples.end(), [](short s) { return std::abs(int(s)) >= Loud; });
    const double loudMs = double(loud) * 1000 / info.samplerate;
    QVERIFY2(loudMs > 500 && loudMs < 1000,
             qPrintable(QString::number(loudMs))); // a sine is loud ~70% of the time
}

void TestAudioDevice::failedSaveKeepsFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder is a file") << "folderfile";
    QTest::newRow("folder missing") << "missing";
    QTest::newRow("target is a folder") << "targetdir";
    QTest::newRow("read-only folder") << "readonly";
}

void TestAudioDevice::failedSaveKeepsFiles()
{
    NEED_SOUND();
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("mensaje.wav"));
    QString target;
    QString keep; // must come out untouched
    const QByteArray keepBytes("no tocar");
    if (kind == QLatin1String("folderfile")) {
        keep = dir.filePath(QStringLiteral("carpeta"));
        target = keep + QStringLiteral("/mensaje.wav");
    } else if (kind == QLatin1String("missing")) {
        target = dir.filePath(QStringLiteral("no/existe/mensaje.wav"));
    } else if (kind == QLatin1String("targetdir")) {
        target = first; // made a folder, with a file inside, once the recording has started
        keep = first + QStringLiteral("/dentro.txt");
    } else {
        if (::geteuid() == 0)
            QSKIP("Folder permissions do not stop root; the other rows make the save fail instead.");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ro")));
        keep = dir.filePath(QStringLiteral("ro/mensaje.wav"));
        target = keep;
    }
    if (!keep.isEmpty() && kind != QLatin1String("targetdir"))
        QVERIFY(writeBytes(keep, keepBytes));
    if (kind == QLatin1String("readonly"))
        QVERIFY(
            QFile::setPermissions(dir.filePath(QStringLiteral("ro")), QFile::ReadOwner | QFile::ExeOwner));

    WavAudioDevice dev;
    open(dev, first);
    dev.setCommand(QStringLiteral("record"));
    QTRY_VERIFY_WITH_TIMEOUT(dev.length() >= 100, 3000);
    dev.setCommand(QStringLiteral("stop"));
    if (kind == QLatin1String("targetdir")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("mensaje.wav")));
        QVERIFY(writeBytes(keep, keepBytes));
    }
    dev.setFileName(target);
    QVERIFY_THROWS_EXCEPTION(DeviceError, dev.setCommand(QStringLiteral("save")));
    if (!keep.isEmpty())
        QCOMPARE(readBytes(keep), keepBytes);
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("no"))));
    if (kind == QLatin1String("readonly"))
        QCOMPARE(QDir(dir.filePath(QStringLiteral("ro"))).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // The recording is still there to be saved elsewhere.
    QVERIFY(dev.length() >= 100);
    const QString elsewhere = dir.filePath(QStringLiteral("otro.wav"));
    dev.setFileName(elsewhere);
    dev.setCommand(QStringLiteral("save"));
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(elsewhere).constData(), SFM_READ, &info);
    QVERIFY(f);
    sf_close(f);
    QCOMPARE(info.channels, 1);
    QVERIFY(info.frames >= info.samplerate / 10);
    if (kind == QLatin1String("readonly"))
        QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestAudioDevice::closeDiscardsRecording()
{
    NEED_SOUND();
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("mensaje.wav"));
    const auto entries = [&] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); };
    {
        WavAudioDevice dev;
        open(dev, target);
        dev.setCommand(QStringLiteral("record"));
        QTRY_VERIFY_WITH_TIMEOUT(dev.length() >= 50, 3000);
        dev.setCommand(QStringLiteral("stop"));
        QCOMPARE(entries().size(), 1); // the temporary, next to the target
        dev.setCommand(QStringLiteral("close"));
        QVERIFY(entries().isEmpty());

        // Destroyed while recording: nothing left either.
        dev.setCommand(QStringLiteral("open"));
        dev.setCommand(QStringLiteral("record"));
        QTRY_VERIFY_WITH_TIMEOUT(dev.length() >= 50, 3000);
    }
    QVERIFY(entries().isEmpty());
}

// Whatever the path holds (nothing, an empty file, garbage, a WAV the device refuses, a link),
// recording to it works; the old content stays until "save"; the saved file has the mode a new
// file gets under the umask, or keeps the replaced file's mode and group; a link stays a link;
// names up to the file system's limit are saved; nothing hidden is left behind.
void TestAudioDevice::recordsOverWhateverIsThere_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("expectedMode");
    const QString plain = QStringLiteral("aviso.wav");
    QTest::newRow("new file, umask 022") << "none" << plain << 022 << 0644;
    QTest::newRow("new file, umask 027") << "none" << plain << 027 << 0640;
    QTest::newRow("empty file keeps its mode") << "empty" << plain << 022 << 0604;
    QTest::newRow("garbage") << "garbage" << plain << 022 << 0604;
    QTest::newRow("WAV at a refused rate") << "badrate" << plain << 022 << 0604;
    QTest::newRow("link to a file elsewhere") << "link" << plain << 022 << 0604;
    QTest::newRow("dangling link") << "dangling" << plain << 022 << 0644;
    QTest::newRow("named pipe, never opened") << "fifo" << plain << 022 << 0644;
    QTest::newRow("249-character name") << "none" << QString(245, QLatin1Char('a')) + ".wav" << 022 << 0644;
    QTest::newRow("255-byte name") << "garbage" << QString(127, QChar(0xf1)) + "a" << 022 << 0604;
}

void TestAudioDevice::recordsOverWhateverIsThere()
{
    NEED_SOUND();
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(int, umask);
    QFETCH(int, expectedMode);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("otra")));
    const QString path = dir.filePath(name);
    const QString elsewhere = dir.filePath(QStringLiteral("otra/destino.wav"));
    const bool link = kind == QLatin1String("link") || kind == QLatin1String("dangling");
    const QString written = link ? elsewhere : path; // the file that gets the sound
    QByteArray old;
    if (kind == QLatin1String("garbage") || kind == QLatin1String("link"))
        old = QByteArray("esto no es un archivo de sonido\n").repeated(20);
    if (kind == QLatin1String("badrate"))
        QVERIFY(writeToneWav(written, 500, 1, 500)); // refused for play: under 1000 Hz
    else if (kind != QLatin1String("none") && kind != QLatin1String("dangling") &&
             kind != QLatin1String("fifo"))
        QVERIFY(writeBytes(written, old));
    if (kind == QLatin1String("badrate"))
        old = readBytes(written);
    if (link)
        QVERIFY(QFile::link(QStringLiteral("otra/destino.wav"), path));
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const bool replacing = QFileInfo(written).isFile();
    const bool root = ::geteuid() == 0;
    if (replacing) {
        QVERIFY(::chmod(QFile::encodeName(written).constData(), 0604) == 0);
        if (root)
            QVERIFY(::chown(QFile::encodeName(written).constData(), 4321, 1234) == 0);
    }
    const mode_t previousMask = ::umask(mode_t(umask));
    const auto restoreMask = qScopeGuard([&] { ::umask(previousMask); });

    WavAudioDevice dev;
    dev.setFileName(path);
    dev.openForRecording();
    QCOMPARE(dev.length(), 0);
    dev.setCommand(QStringLiteral("record"));
    QTRY_VERIFY_WITH_TIMEOUT(dev.length() >= 100, 3000);
    dev.setCommand(QStringLiteral("stop"));
    if (replacing)
        QCOMPARE(readBytes(written), old); // untouched until the save
    dev.setCommand(QStringLiteral("save"));

    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(written).constData(), SFM_READ, &info);
    QVERIFY(f);
    sf_close(f);
    QCOMPARE(info.format, PcmWav);
    QVERIFY(info.frames >= info.samplerate / 10);
    QCOMPARE(QFileInfo(path).isSymLink(), link);
    struct stat st = {};
    QVERIFY(::stat(QFile::encodeName(written).constData(), &st) == 0);
    QCOMPARE(int(st.st_mode & 07777), expectedMode);
    if (replacing && root) {
        QCOMPARE(int(st.st_uid), 4321);
        QCOMPARE(int(st.st_gid), 1234);
    }
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System) +
                             QDir(dir.filePath(QStringLiteral("otra"))).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left.size(), link ? 2 : 1);
    // The device has the new recording open, ready to play.
    QVERIFY(dev.length() >= 100);
}

// When recording cannot start, the cause is named, in Spanish.
void TestAudioDevice::recordingCannotStartSaysWhy_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("systemError"); // whose English text must not show
    QTest::newRow("missing folder") << "no/existe/aviso.wav"
                                    << "la carpeta no existe" << ENOENT;
    QTest::newRow("folder is a file") << "archivo/aviso.wav"
                                      << "una parte de la ruta no es una carpeta" << ENOTDIR;
    QTest::newRow("target is a folder") << "carpeta"
                                        << "es una carpeta" << EISDIR;
}

void TestAudioDevice::recordingCannotStartSaysWhy()
{
    NEED_SOUND();
    QFETCH(QString, where);
    QFETCH(QString, cause);
    QFETCH(int, systemError);
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("archivo")), "x"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("carpeta")));
    WavAudioDevice dev;
    dev.setFileName(dir.filePath(where));
    dev.openForRecording();
    QString reason;
    try {
        dev.setCommand(QStringLiteral("record"));
    } catch (const DeviceError &e) {
        reason = e.reason();
    }
    QVERIFY2(reason.contains(cause), qPrintable(reason));
    QVERIFY2(!reason.contains(QString::fromLocal8Bit(std::strerror(systemError)), Qt::CaseInsensitive),
             qPrintable(reason));
    QCOMPARE(dev.length(), 0);
    QVERIFY_THROWS_EXCEPTION(DeviceError, dev.setCommand(QStringLiteral("save")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
}

// Recording from the chosen input, not the default one: the tone played on the other card is
// in the take, while tx (and txin, the default input) stay silent.
void TestAudioDevice::recordsFromTheChosenCard()
{
    NEED_SOUND();
    OtherCard other;
    QVERIFY(other.load());
    QTemporaryDir dir;
    Player player;
    player.dev.setOutputCard({QStringLiteral("otra"), QString()});
    open(player.dev, tone(dir, 600));

    WavAudioDevice rec;
    rec.setInputCard({QStringLiteral("otrain"), QString()});
    const QString target = dir.filePath(QStringLiteral("grabacion.wav"));
    rec.setFileName(target);
    rec.openForRecording();
    rec.setCommand(QStringLiteral("record"));
    playArmed(player.dev);
    QVERIFY(player.done.wait(5000));
    QTest::qWait(100);
    rec.setCommand(QStringLiteral("stop"));
    rec.setCommand(QStringLiteral("save"));

    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(target).constData(), SFM_READ, &info);
    QVERIFY(f);
    std::vector<short> samples(size_t(info.frames));
    QCOMPARE(sf_readf_short(f, samples.data(), info.frames), info.frames);
    sf_close(f);
    const qint64 loud =
        std::count_if(samples.begin(), samples.end(), [](short v) { return std::abs(int(v)) >= Loud; });
    const double loudMs = double(loud) * 1000 / info.samplerate;
    QVERIFY2(loudMs > 300 && loudMs < 600, qPrintable(QString::number(loudMs))); // a sine: loud ~70%
}

PREGONAL_SOUND_TEST_GUILESS_MAIN(TestAudioDevice)
#include "tst_audiodevice.moc"

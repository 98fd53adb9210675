// The parts of the sound device that need no sound server: the self-closing sound-file handle,
// the timing arithmetic of a play, and the reading of a WAVE header's declared length.
#include "audio/playtiming.h"
#include "audio/soundfile.h"
#include "audio/wavfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {
int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

SF_INFO monoPcm16()
{
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    return info;
}

QByteArray le32(quint32 v)
{
    return QByteArray(1, char(v)) + char(v >> 8) + char(v >> 16) + char(v >> 24);
}
} // namespace

class TestSoundFile : public QObject
{
    Q_OBJECT
private slots:
    void closesOnceByItsLastOwner();
    void closingFinishesTheHeader();
    void heardFrame_data();
    void heardFrame();
    void trimmedLead_data();
    void trimmedLead();
    void allHeard_data();
    void allHeard();
    void serverKind_data();
    void serverKind();
    void declaredWaveData_data();
    void declaredWaveData();

private:
    QTemporaryDir m_dir;
};

void TestSoundFile::closesOnceByItsLastOwner()
{
    const QString path = m_dir.filePath(QStringLiteral("tono.wav"));
    {
        SF_INFO info = monoPcm16();
        SoundFile w(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
        QVERIFY(w);
    }
    const int before = openDescriptors();
    SF_INFO info{};
    SoundFile first = SoundFile::openRead(path, info);
    QVERIFY(first);
    QCOMPARE(openDescriptors(), before + 1);
    {
        SoundFile moved(std::move(first));
        QVERIFY(!first);
        QVERIFY(moved);
        QVERIFY(first.close()); // an empty handle: nothing to close
        QCOMPARE(openDescriptors(), before + 1);
        first = std::move(moved); // back again: the handle it left is empty
        QVERIFY(!moved);
    }
    QCOMPARE(openDescriptors(), before + 1);
    SoundFile other = SoundFile::openRead(path, info);
    QCOMPARE(openDescriptors(), before + 2);
    first = std::move(other); // the file first held is closed, the other one stays open
    QCOMPARE(openDescriptors(), before + 1);
    QVERIFY(first.close());
    QCOMPARE(openDescriptors(), before);
    QVERIFY(first.close());
    QCOMPARE(openDescriptors(), before);
}

void TestSoundFile::closingFinishesTheHeader()
{
    const QString path = m_dir.filePath(QStringLiteral("grabacion.wav"));
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    const std::vector<short> samples(800, 1000);
    {
        SF_INFO info = monoPcm16();
        SoundFile w = SoundFile::openDescriptor(fd, SFM_WRITE, info);
        QVERIFY(w);
        QCOMPARE(sf_writef_short(w.get(), samples.data(), 800), sf_count_t(800));
        SoundFile owner(std::move(w));
    }                                    // closed here, once, by the handle it was moved to
    QVERIFY(::fcntl(fd, F_GETFD) != -1); // the descriptor is the caller's and stays open
    ::close(fd);
    SF_INFO info{};
    const SoundFile r = SoundFile::openRead(path, info);
    QVERIFY(r);
    QCOMPARE(info.frames, sf_count_t(800));

    // A handle that cannot open says why, in Spanish.
    const SoundFile missing = SoundFile::openRead(m_dir.filePath(QStringLiteral("no.wav")), info);
    QVERIFY(!missing);
    QVERIFY(!missing.lastError().isEmpty());
    QVERIFY(!missing.lastError().contains(QLatin1String("No such")));
}

void TestSoundFile::heardFrame_data()
{
    QTest::addColumn<qint64>("processedUs");
    QTest::addColumn<qint64>("leadFrames");
    QTest::addColumn<int>("outRate");
    QTest::addColumn<qint64>("startFrame");
    QTest::addColumn<int>("rate");
    QTest::addColumn<qint64>("heard");
    // A file of 48000 frames; 480 frames of lead at 48 kHz are 10 ms.
    QTest::newRow("still in the lead")
        << qint64(5000) << qint64(480) << 48000 << qint64(0) << 48000 << qint64(0);
    QTest::newRow("lead just over") << qint64(10000) << qint64(480) << 48000 << qint64(100) << 48000
                                    << qint64(100);
    QTest::newRow("half a second in")
        << qint64(510000) << qint64(480) << 48000 << qint64(0) << 48000 << qint64(24000);
    QTest::newRow("from a later place")
        << qint64(510000) << qint64(480) << 48000 << qint64(1000) << 48000 << qint64(25000);
    QTest::newRow("file rate differs")
        << qint64(510000) << qint64(441) << 44100 << qint64(0) << 8000 << qint64(4000);
    QTest::newRow("never past the end")
        << qint64(5000000) << qint64(480) << 48000 << qint64(0) << 48000 << qint64(48000);
}

void TestSoundFile::heardFrame()
{
    QFETCH(qint64, processedUs);
    QFETCH(qint64, leadFrames);
    QFETCH(int, outRate);
    QFETCH(qint64, startFrame);
    QFETCH(int, rate);
    QFETCH(qint64, heard);
    QCOMPARE(PlayTiming::heardFrame(processedUs, leadFrames, outRate, startFrame, 48000, rate), heard);
}

void TestSoundFile::trimmedLead_data()
{
    QTest::addColumn<int>("leadMs");
    QTest::addColumn<qint64>("startUs");
    QTest::addColumn<qint64>("leadUs");
    QTest::newRow("no lead: the preroll") << 0 << qint64(0) << qint64(PlayTiming::PrerollMs * 1000);
    QTest::newRow("start-up delay taken off") << 500 << qint64(120000) << qint64(380000);
    QTest::newRow("delay longer than the lead")
        << 100 << qint64(150000) << qint64(PlayTiming::PrerollMs * 1000);
}

void TestSoundFile::trimmedLead()
{
    QFETCH(int, leadMs);
    QFETCH(qint64, startUs);
    QFETCH(qint64, leadUs);
    QCOMPARE(PlayTiming::trimmedLeadUs(leadMs, startUs), leadUs);
}

void TestSoundFile::allHeard_data()
{
    // The sound ends at output frame 48000 at 48 kHz, one second in; 200 ms of tail follow.
    QTest::addColumn<int>("server");
    QTest::addColumn<qint64>("processedUs");
    QTest::addColumn<bool>("heard");
    const int pulse = int(SoundServerKind::PulseAudio), pipewire = int(SoundServerKind::PipeWire),
              unknown = int(SoundServerKind::Unknown);
    QTest::newRow("nothing yet") << pulse << qint64(0) << false;
    QTest::newRow("sound over, tail not") << pulse << qint64(1000000) << false;
    QTest::newRow("tail nearly over") << pulse << qint64(1150000) << false;
    QTest::newRow("tail just over, within the margin") << pulse << qint64(1200000) << false;
    QTest::newRow("tail and margin over") << pulse << qint64(1205000) << true;
    QTest::newRow("long after") << pulse << qint64(1250000) << true;
    QTest::newRow("unknown server: the small margin") << unknown << qint64(1205000) << true;
    // PipeWire's time runs ahead of the graph by up to two thirds of a cycle of 2048 frames.
    QTest::newRow("PipeWire, PulseAudio's margin over") << pipewire << qint64(1205000) << false;
    QTest::newRow("PipeWire, a 2048-frame cycle's lead over") << pipewire << qint64(1229000) << false;
    QTest::newRow("PipeWire, its margin over") << pipewire << qint64(1235000) << true;
}

void TestSoundFile::allHeard()
{
    QFETCH(int, server);
    QFETCH(qint64, processedUs);
    QFETCH(bool, heard);
    const qint64 margin = PlayTiming::drainMarginUs(SoundServerKind(server));
    QCOMPARE(PlayTiming::allHeard(processedUs, 48000, 48000, 200, margin), heard);
}

void TestSoundFile::serverKind_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::newRow("PulseAudio") << "pulseaudio" << int(SoundServerKind::PulseAudio);
    QTest::newRow("pipewire-pulse") << "PulseAudio (on PipeWire 0.3.65)" << int(SoundServerKind::PipeWire);
    QTest::newRow("pipewire-pulse, newer") << "PulseAudio (on PipeWire 1.2.7)" << int(SoundServerKind::PipeWire);
    QTest::newRow("no answer") << "" << int(SoundServerKind::Unknown);
    QTest::newRow("something else") << "sndio" << int(SoundServerKind::Unknown);
}

void TestSoundFile::serverKind()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    QCOMPARE(int(soundServerKindFromName(name)), kind);
}

void TestSoundFile::declaredWaveData_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("declared");
    const QByteArray riff = "RIFF" + le32(0) + "WAVE";
    QTest::newRow("data first") << riff + "data" + le32(1234) << qint64(1234);
    QTest::newRow("after an odd chunk, padded")
        << riff + "LIST" + le32(3) + "abc" + '\0' + "data" + le32(99) << qint64(99);
    QTest::newRow("length left open") << riff + "data" + le32(0xffffffffu) << qint64(-1);
    QTest::newRow("no data chunk") << riff + "fmt " + le32(4) + "abcd" << qint64(-1);
    QTest::newRow("not RIFF") << QByteArray("RIFX") + le32(0) + "WAVE" + "data" + le32(8) << qint64(-1);
    QTest::newRow("cut in the header") << QByteArray("RIFF") << qint64(-1);
}

void TestSoundFile::declaredWaveData()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, declared);
    const QString path = m_dir.filePath(QStringLiteral("cabecera.wav"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    QCOMPARE(::declaredWaveData(path), declared);
}

QTEST_GUILESS_MAIN(TestSoundFile)
#include "tst_soundfile.moc"

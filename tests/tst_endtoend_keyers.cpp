// The real window and sound device keying through each method other than the serial lines: the
// radio's CAT command (the TS-2000 simulator, directly and through rigctld), a CM108 pin (a FIFO
// standing for its hidraw node) and VOX. Each play must be heard whole between the key-up and the
// key-down, on the same monotonic clock; the serial line's figures come from the same run.
#include "audio/wavaudiodevice.h"
#include "cm108keyer.h"
#include "fakeplatform.h"
#include "frmestacion.h"
#include "frmprincipal.h"
#include "keyers.h"
#include "radiosim.h"
#include "realrig.h"
#include "soundcapture.h"
#include "soundtestmain.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr qint64 kMs = 1000000;
constexpr qint64 kPeriod = 30 * kMs; // one audio period and the monitor's latency
constexpr int kLead = 300, kTail = 100;

struct Period
{
    qint64 upNs = 0;
    qint64 downNs = 0;
};

// Reads the reports written to a FIFO standing for a CM108's hidraw node, each stamped on arrival.
class HidrawFifo
{
public:
    explicit HidrawFifo(const QString &path) : m_path(path)
    {
        mkfifo(QFile::encodeName(path).constData(), 0600);
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        m_thread = std::thread([this] { read(); });
    }
    ~HidrawFifo()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    // Periods in which the pin was high (pin 3, active high).
    QList<Period> periods()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        QList<Period> result;
        for (const auto &[ns, high] : m_levels) {
            if (high && (result.isEmpty() || result.last().downNs != 0))
                result.append({ns, 0});
            else if (!high && !result.isEmpty() && result.last().downNs == 0)
                result.last().downNs = ns;
        }
        return result;
    }
    bool lastLow()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return !m_levels.isEmpty() && !m_levels.last().second;
    }

private:
    void read()
    {
        QByteArray pending;
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buf[64];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            const qint64 now = monotonicNs();
            if (n <= 0)
                continue;
            pending.append(buf, int(n));
            std::lock_guard<std::mutex> lock(m_mutex);
            while (pending.size() >= 5) {
                m_levels.append({now, (pending.at(2) & 0x04) != 0});
                pending.remove(0, 5);
            }
        }
    }

    QString m_path;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    QList<QPair<qint64, bool>> m_levels;
};

QList<Period> fromLineLog(const QString &path)
{
    QList<Period> result;
    for (const KeyPeriod &k : keyPeriods(readLineLog(path)))
        result.append({k.upNs, k.downNs});
    return result;
}

QList<Period> fromRadio(const RadioSim &radio)
{
    QList<Period> result;
    for (const RadioSim::KeyPeriod &k : radio.keyPeriods())
        result.append({k.upNs, k.downNs});
    return result;
}
} // namespace

class TestEndToEndKeyers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void loopHeardWholeBetweenKeys_data();
    void loopHeardWholeBetweenKeys();
    void stationTestThroughCat();

private:
    QString m_lineLog;
};

void TestEndToEndKeyers::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
}

void TestEndToEndKeyers::loopHeardWholeBetweenKeys_data()
{
    QTest::addColumn<QString>("method");
    QTest::newRow("serie") << "serie";
    QTest::newRow("cat, TS-2000") << "cat";
    QTest::newRow("cat, rigctld") << "rigctld";
    QTest::newRow("cm108") << "cm108";
    QTest::newRow("ninguno") << "ninguno";
}

// Two plays of a loop, then Stop: each play heard whole, the lead before it and the tail after it
// inside the keyed time; the key down at the end; the serial line never keyed but by "serie".
void TestEndToEndKeyers::loopHeardWholeBetweenKeys()
{
    QFETCH(QString, method);
    std::unique_ptr<RadioSim> radio;
    std::unique_ptr<HidrawFifo> fifo;
    QTemporaryDir dir;
    RealRig::Options options(kLead, kTail, 1);
    if (method == QLatin1String("cat") || method == QLatin1String("rigctld")) {
        if (method == QLatin1String("rigctld") && QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty())
            QSKIP("rigctld is not installed (libhamlib-utils)");
        radio = std::make_unique<RadioSim>();
        QVERIFY2(radio->ok(), qPrintable(radio->error()));
        const QString port = method == QLatin1String("cat") ? radio->port() : radio->startRigctld();
        QVERIFY2(!port.isEmpty(), qPrintable(radio->error()));
        options.conf = {{"metodo", "cat"},
                        {"equipo", method == QLatin1String("cat") ? "2014" : "2"},
                        {"equipopuerto", port}};
    } else if (method == QLatin1String("cm108")) {
        fifo = std::make_unique<HidrawFifo>(dir.filePath(QStringLiteral("hidraw9")));
        QVERIFY(fifo->ok());
        options.conf = {{"metodo", "cm108"}, {"cm108", dir.filePath(QStringLiteral("hidraw9"))}, {"pin", "3"}};
    } else {
        options.conf = {{"metodo", method}};
    }
    RealRig rig(options);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    const QString wav = rig.dir() + QStringLiteral("/tono.wav");
    QVERIFY(writeToneWav(wav, 48000, 1, 48000 / 2));
    Frmprincipal &window = rig.window();
    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);

    rig.openMessage(wav);
    window.mnuenbucle_Click();
    QTRY_VERIFY_WITH_TIMEOUT(done.count() >= 2, 12000);
    window.mnustop_Click();
    QTest::qWait(300);
    capture.stop();
    QVERIFY2(rig.boxes().shown.isEmpty(), rig.boxes().shown.isEmpty() ? "" : qPrintable(rig.boxes().shown.first().text + " " + rig.boxes().shown.first().detail));
    QVERIFY(!window.keyer().isOpen());

    QList<Period> keyed;
    const QList<Period> serial = fromLineLog(m_lineLog);
    if (method == QLatin1String("serie")) {
        keyed = serial;
    } else {
        QVERIFY2(serial.isEmpty(), "the serial lines stay down");
        if (radio) {
            keyed = fromRadio(*radio);
            QVERIFY2(!radio->keyed(), "the radio is left receiving");
        } else if (fifo) {
            keyed = fifo->periods();
            QVERIFY2(fifo->lastLow(), "the pin is left off");
        }
    }
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    VERIFY_BURSTS(sound, 2);
    if (method == QLatin1String("ninguno"))
        return; // nothing keyed: the plays are whole, as counted above, and nothing more to place
    QCOMPARE(keyed.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const Period &k = keyed.at(i);
        const SoundCapture::Burst &b = sound.at(i);
        qInfo("%s play %d: first sample %.1f ms after key-up, key-down %.1f ms after the last sample, %.1f ms heard",
              qPrintable(method), i + 1, double(b.startNs - k.upNs) / kMs, double(k.downNs - b.endNs) / kMs,
              b.ms());
        QVERIFY2(k.downNs > k.upNs, "the key drops after each play");
        QVERIFY2(b.startNs >= k.upNs + kLead * kMs - kPeriod, "the sound starts no earlier than the lead");
        QVERIFY2(b.endNs <= k.downNs - kTail * kMs + kPeriod, "the key stays up for the tail after the sound");
        QVERIFY2(b.ms() > 450 && b.ms() < 560, "the whole message is heard");
    }
}

// "Probar" in the station dialog with CAT chosen there (not stored): the tone is heard whole
// between the radio's key-up and key-down, and the serial line is never keyed.
void TestEndToEndKeyers::stationTestThroughCat()
{
    RadioSim radio;
    QVERIFY2(radio.ok(), qPrintable(radio.error()));
    RealRig rig(RealRig::Options{200, 100, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    Frmprincipal &w = rig.window();
    KeyingSettings keying;
    keying.retardoMs = 200;
    keying.colaMs = 100;
    frmestacion d(&w, keying, SoundCardSettings{}, w.soundServer(), w.MSComm1(), w.messageBoxes(), makeKeyer);
    for (int i = 0; i < d.cboSalida->count(); ++i)
        if (d.cboSalida->itemData(i).toStringList().value(0) == QStringLiteral("tx"))
            d.cboSalida->setCurrentIndex(i);
    d.cboMetodo->setCurrentIndex(d.cboMetodo->findData(QStringLiteral("cat")));
    d.spnEquipo->setValue(2014);
    d.txtEquipoPuerto->setText(radio.port());
    d.show();
    SoundCapture capture;
    QVERIFY(capture.start());
    QFile::resize(m_lineLog, 0);
    d.cmdprobar->click();
    QVERIFY(d.testRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!d.testRunning(), 8000);
    QTest::qWait(200);
    capture.stop();
    QVERIFY2(rig.boxes().shown.isEmpty(), rig.boxes().shown.isEmpty() ? "" : qPrintable(rig.boxes().shown.first().detail));
    QVERIFY(fromLineLog(m_lineLog).isEmpty());
    const QList<Period> keyed = fromRadio(radio);
    QVERIFY(!radio.keyed());
    VERIFY_CAPTURE_WHOLE(capture);
    const QList<SoundCapture::Burst> sound = capture.bursts();
    QCOMPARE(keyed.size(), 1);
    VERIFY_BURSTS(sound, 1);
    const Period &k = keyed.first();
    const SoundCapture::Burst &b = sound.first();
    QVERIFY2(b.startNs >= k.upNs + 200 * kMs - kPeriod, "the tone starts no earlier than the lead");
    QVERIFY2(b.endNs <= k.downNs - 100 * kMs + kPeriod, "the key stays up for the tail after the tone");
    QVERIFY2(b.ms() > 1950 && b.ms() < 2060, "the whole tone is heard");
}

PREGONAL_SOUND_TEST_MAIN(TestEndToEndKeyers)
#include "tst_endtoend_keyers.moc"

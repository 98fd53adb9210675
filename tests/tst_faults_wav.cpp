// A corpus of broken WAV files, made here, through open and play in the real window on the real
// devices: no crash, no hang, and each time either the transmit message or (where libsndfile can
// still read what is there) a normal play; the transmitter never left keyed.
#include "audio/wavaudiodevice.h"
#include "fakeplatform.h"
#include "faultkit.h"
#include "frmprincipal.h"
#include "realrig.h"
#include "soundtestmain.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <sndfile.h>

namespace {
const QString kSendError =
    QStringLiteral("No se puede enviar el mensaje. Compruebe que estea el puerto libre o bien "
                   "configurado y vuelva ha intentarlo.");

struct Case
{
    QString name;
    QByteArray bytes;
};

void put32(QByteArray &b, int at, quint32 v)
{
    if (at + 4 <= b.size())
        qToLittleEndian(v, b.data() + at);
}

void put16(QByteArray &b, int at, quint16 v)
{
    if (at + 2 <= b.size())
        qToLittleEndian(v, b.data() + at);
}

int chunkAt(const QByteArray &b, const char *id)
{
    return int(b.indexOf(id, 12));
}

QList<Case> corpus(const QByteArray &valid)
{
    QList<Case> cases;
    const int fmt = chunkAt(valid, "fmt ");
    const int data = chunkAt(valid, "data");
    // Cut at every offset of the header and a little into the sound.
    for (int n = 0; n <= data + 8 + 4; ++n)
        cases.append({QStringLiteral("cut at %1").arg(n), valid.left(n)});
    cases.append(
        {QStringLiteral("cut in the middle of the sound"), valid.left(data + 8 + (valid.size() - data) / 2)});
    cases.append({QStringLiteral("cut on an odd byte of the sound"), valid.left(data + 8 + 101)});
    // Random bytes, bare and behind a RIFF/WAVE prefix.
    for (quint32 seed = 1; seed <= 20; ++seed) {
        QRandomGenerator r(seed);
        QByteArray junk(int(r.bounded(1, 4096)), Qt::Uninitialized);
        for (char &c : junk)
            c = char(r.bounded(256));
        cases.append({QStringLiteral("random %1 bytes").arg(junk.size()), junk});
        QByteArray prefixed = valid.left(12 + (seed % 3) * 8) + junk;
        cases.append({QStringLiteral("RIFF header then random %1").arg(seed), prefixed});
        QByteArray flipped = valid;
        for (int i = 0; i < 4; ++i)
            flipped[int(r.bounded(data + 8))] = char(r.bounded(256));
        cases.append({QStringLiteral("header with 4 random bytes %1").arg(seed), flipped});
    }
    auto variant = [&](const QString &name, auto change) {
        QByteArray b = valid;
        change(b);
        cases.append({name, b});
    };
    // Huge declared sizes.
    variant(QStringLiteral("RIFF size 0xffffffff"), [&](QByteArray &b) { put32(b, 4, 0xffffffffu); });
    variant(QStringLiteral("RIFF size 0"), [&](QByteArray &b) { put32(b, 4, 0); });
    variant(QStringLiteral("data size 0x7fffffff"), [&](QByteArray &b) { put32(b, data + 4, 0x7fffffffu); });
    variant(QStringLiteral("data size 0xfffffffe"), [&](QByteArray &b) { put32(b, data + 4, 0xfffffffeu); });
    variant(QStringLiteral("data size 0xffffffff"), [&](QByteArray &b) { put32(b, data + 4, 0xffffffffu); });
    variant(QStringLiteral("data size 10 MB"), [&](QByteArray &b) { put32(b, data + 4, 10u << 20); });
    variant(QStringLiteral("fmt size 0xfffffff0"), [&](QByteArray &b) { put32(b, fmt + 4, 0xfffffff0u); });
    // Wrong chunk sizes.
    for (quint32 size : {0u, 2u, 14u, 15u, 17u, 18u, 40u, 1000u})
        variant(QStringLiteral("fmt size %1").arg(size), [&](QByteArray &b) { put32(b, fmt + 4, size); });
    for (quint32 size : {0u, 1u, 3u, 11u})
        variant(QStringLiteral("data size %1").arg(size), [&](QByteArray &b) { put32(b, data + 4, size); });
    variant(QStringLiteral("data size 10 bytes past the end"),
            [&](QByteArray &b) { put32(b, data + 4, quint32(b.size() - data - 8 + 10)); });
    // Impossible format fields.
    const int f = fmt + 8;
    variant(QStringLiteral("format tag 0"), [&](QByteArray &b) { put16(b, f, 0); });
    variant(QStringLiteral("format tag 0xffff"), [&](QByteArray &b) { put16(b, f, 0xffff); });
    variant(QStringLiteral("format tag float, 16 bits"), [&](QByteArray &b) { put16(b, f, 3); });
    variant(QStringLiteral("no channels"), [&](QByteArray &b) { put16(b, f + 2, 0); });
    variant(QStringLiteral("65535 channels"), [&](QByteArray &b) { put16(b, f + 2, 0xffff); });
    variant(QStringLiteral("rate 0"), [&](QByteArray &b) { put32(b, f + 4, 0); });
    variant(QStringLiteral("rate 1"), [&](QByteArray &b) { put32(b, f + 4, 1); });
    variant(QStringLiteral("rate 0xffffffff"), [&](QByteArray &b) { put32(b, f + 4, 0xffffffffu); });
    variant(QStringLiteral("byte rate 0"), [&](QByteArray &b) { put32(b, f + 8, 0); });
    variant(QStringLiteral("block align 0"), [&](QByteArray &b) { put16(b, f + 12, 0); });
    variant(QStringLiteral("block align 65535"), [&](QByteArray &b) { put16(b, f + 12, 0xffff); });
    for (quint16 bits : {0, 1, 7, 12, 64, 65535})
        variant(QStringLiteral("%1 bits").arg(bits), [&](QByteArray &b) { put16(b, f + 14, bits); });
    variant(QStringLiteral("no fmt chunk"), [&](QByteArray &b) { b.replace(fmt, 4, "junk"); });
    variant(QStringLiteral("no data chunk"), [&](QByteArray &b) { b.replace(data, 4, "junk"); });
    variant(QStringLiteral("RIFX"), [&](QByteArray &b) { b.replace(0, 4, "RIFX"); });
    variant(QStringLiteral("two fmt chunks"), [&](QByteArray &b) { b.insert(data, b.mid(fmt, data - fmt)); });
    return cases;
}
} // namespace

class TestFaultsWav : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void brokenFiles();
    void nothingToHearNeverKeys_data();
    void nothingToHearNeverKeys();

private:
    QString m_lineLog;
};

void TestFaultsWav::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
}

void TestFaultsWav::brokenFiles()
{
    const int lead = 20, tail = 20;
    RealRig rig(RealRig::Options{lead, tail, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    Frmprincipal &w = rig.window();
    const QString validPath = rig.dir() + QStringLiteral("/valido.wav");
    QVERIFY(writeToneWav(validPath, 22050, 1, 22050 / 10)); // 100 ms
    QFile validFile(validPath);
    QVERIFY(validFile.open(QIODevice::ReadOnly));
    const QByteArray valid = validFile.readAll();
    QVERIFY(chunkAt(valid, "fmt ") > 0 && chunkAt(valid, "data") > 0);

    const QList<Case> cases = corpus(valid);
    QStringList failures;
    int played = 0, refused = 0;
    QSignalSpy done(&rig.audio(), &AudioDevice::Done);
    const bool verbose = qEnvironmentVariableIsSet("PREGONAL_FAULTS_VERBOSE");
    for (int i = 0; i < cases.size(); ++i) {
        const Case &c = cases.at(i);
        const QString path = rig.dir() + QStringLiteral("/roto%1.wav").arg(i);
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(c.bytes);
        out.close();
        if (verbose)
            qInfo("%d: %s", i, qPrintable(c.name));
        QFile::resize(m_lineLog, 0);
        done.clear();
        const int boxes = int(rig.boxes().shown.size());

        rig.openMessage(path);
        if (w.windowTitle() != QStringLiteral("Pregonal - ") + path) {
            failures << c.name + QStringLiteral(": not loaded");
            continue;
        }
        w.mnuunavez_Click();
        // Long enough for any play this corpus can hold (the device refuses files that
        // promise more than they contain), plus the guard's own slack.
        const bool idle = waitUntil([&] { return w.panel(1)->text() == QLatin1String("Stand by"); }, 8000);
        const QList<LineEvent> events = readLineLog(m_lineLog);
        QString problem;
        if (!idle) {
            problem = QStringLiteral("no end (hang)");
            w.mnustop_Click();
        } else if (rig.boxes().shown.size() > boxes) {
            const QString text = rig.boxes().shown.last().text;
            if (text != kSendError)
                problem = QStringLiteral("unexpected message: ") + text;
            ++refused;
        } else if (done.count() == 1 && done.first().at(0).toInt() == AudioDevice::Successful) {
            ++played;
        } else {
            problem = QStringLiteral("stand-by with neither a message nor a completed play");
        }
        if (!linesDownAtEnd(events))
            problem += QStringLiteral(" transmitter left keyed");
        if (w.guardInterval() != -1 || w.MSComm1().portOpen())
            problem += QStringLiteral(" key guard or port left on");
        if (!w.mnutx->menuAction()->isEnabled())
            problem += QStringLiteral(" TX not offered again");
        if (!problem.isEmpty())
            failures << c.name + QStringLiteral(": ") + problem;
    }
    qInfo("%d broken files: %d refused with the transmit message, %d played to the end", int(cases.size()),
          refused, played);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
}

void TestFaultsWav::nothingToHearNeverKeys_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    QTest::newRow("file deleted after opening") << "deleted"
                                                << "No se encuentra el archivo del mensaje";
    QTest::newRow("header and no samples") << "empty"
                                           << "está vacío";
    QTest::newRow("a text file named .wav") << "text"
                                            << "no es un archivo de sonido que se pueda leer";
}

// A message with nothing to hear is refused before the key goes up, once or in a loop: the line
// log shows no line raised, and the operator reads the cause.
void TestFaultsWav::nothingToHearNeverKeys()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    RealRig rig(RealRig::Options{300, 100, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    Frmprincipal &w = rig.window();
    const QString path = rig.dir() + QStringLiteral("/aviso.wav");
    if (kind == QLatin1String("text")) {
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Aviso: mañana no hay red.\n");
    } else {
        QVERIFY(writeToneWav(path, 22050, 1, kind == QLatin1String("empty") ? 0 : 22050));
    }
    rig.openMessage(path);
    if (kind == QLatin1String("deleted"))
        QVERIFY(QFile::remove(path));
    for (const bool loop : {false, true}) {
        QFile::resize(m_lineLog, 0);
        const int boxes = int(rig.boxes().shown.size());
        loop ? w.mnuenbucle_Click() : w.mnuunavez_Click();
        QCOMPARE(int(rig.boxes().shown.size()), boxes + 1);
        QCOMPARE(rig.boxes().shown.last().text, kSendError);
        QVERIFY2(rig.boxes().shown.last().detail.contains(cause),
                 qPrintable(rig.boxes().shown.last().detail));
        QCOMPARE(w.panel(1)->text(), QStringLiteral("Stand by"));
        QVERIFY(!w.MSComm1().portOpen());
        waitUntil([] { return false; }, 100);
        for (const LineEvent &e : readLineLog(m_lineLog))
            QVERIFY2(!e.dtr && !e.rts, "a line rose for a message with nothing to hear");
    }
}

PREGONAL_SOUND_TEST_MAIN(TestFaultsWav)
#include "tst_faults_wav.moc"

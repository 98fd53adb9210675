// 1000 loop cycles of a short message with no pause, on the real devices: resident memory stays
// flat and every cycle keys and unkeys the transmitter exactly once.
#include "audio/wavaudiodevice.h"
#include "fakeplatform.h"
#include "faultkit.h"
#include "frmprincipal.h"
#include "realrig.h"
#include "soundtestmain.h"

#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int kCycles = 1000;
constexpr int kWarmUp = 100;
// Allowed growth of VmRSS from cycle kWarmUp to the last: allocator and Qt noise stay well under
// this; a leak of even 2 kB a cycle goes over it.
constexpr qint64 kGrowthKb = 2048;
} // namespace

class TestFaultsSoak : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void thousandCycles();

private:
    QString m_lineLog;
};

void TestFaultsSoak::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
}

void TestFaultsSoak::thousandCycles()
{
    RealRig rig(RealRig::Options{20, 20, 1});
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    Frmprincipal &w = rig.window();
    const QString wav = rig.dir() + QStringLiteral("/corto.wav");
    QVERIFY(writeToneWav(wav, 22050, 1, 22050 / 10)); // 100 ms
    rig.openMessage(wav);
    w.Timer1().setInterval(1); // back to back as near as may be: a stored 0 would wait a second
    QFile::resize(m_lineLog, 0);

    int cycles = 0, failures = 0;
    qint64 warmKb = 0, peakKb = 0;
    connect(&rig.audio(), &AudioDevice::Done, this, [&](int code) {
        if (code != AudioDevice::Successful)
            ++failures;
        ++cycles;
        if (cycles == kWarmUp)
            warmKb = residentKb();
        if (cycles > kWarmUp)
            peakKb = qMax(peakKb, residentKb());
        if (cycles == kCycles)
            w.mnustop_Click(); // after the window's own handler, which armed the next cycle
    });
    w.mnuenbucle_Click();
    QVERIFY(waitUntil([&] { return cycles >= kCycles || w.panel(1)->text() == QLatin1String("Stand by"); },
                      kCycles * 2000));
    QCOMPARE(failures, 0);
    QCOMPARE(cycles, kCycles);
    QVERIFY(rig.boxes().shown.isEmpty());
    waitUntil([] { return false; }, 500);
    const qint64 endKb = residentKb();
    qInfo("VmRSS: %lld kB after %d cycles, %lld kB after %d (peak %lld kB): %+lld kB (bound %lld kB)", warmKb,
          kWarmUp, endKb, kCycles, peakKb, endKb - warmKb, kGrowthKb);
    QVERIFY2(endKb - warmKb <= kGrowthKb, "resident memory grows with the cycles");
    QVERIFY2(peakKb - warmKb <= kGrowthKb, "resident memory grows with the cycles");

    // Every cycle: DTR then RTS up, DTR then RTS down, once.
    const QList<LineEvent> events = readLineLog(m_lineLog);
    QList<LineEvent> changes;
    for (const LineEvent &e : events) {
        if (!e.close && (changes.isEmpty() || changes.last().dtr != e.dtr || changes.last().rts != e.rts))
            changes.append(e);
    }
    if (!changes.isEmpty() && !changes.first().dtr && !changes.first().rts)
        changes.removeFirst(); // the lines dropped at open
    QCOMPARE(changes.size(), kCycles * 4);
    for (int i = 0; i < kCycles; ++i) {
        const LineEvent *c = &changes[i * 4];
        const bool ok =
            c[0].dtr && !c[0].rts && c[1].dtr && c[1].rts && !c[2].dtr && c[2].rts && !c[3].dtr && !c[3].rts;
        QVERIFY2(ok, qPrintable(QStringLiteral("cycle %1 is not keyed and unkeyed once").arg(i + 1)));
    }
    QVERIFY(linesDownAtEnd(events));
    QCOMPARE(keyPeriods(events).size(), kCycles);
}

PREGONAL_SOUND_TEST_MAIN(TestFaultsSoak)
#include "tst_faults_soak.moc"

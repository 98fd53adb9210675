// The test capture's clock: where captured samples are placed in time, and which arrival patterns
// are a slow reader (nothing lost) and which are samples gone missing (a fault of the capture).
#include "soundcapture.h"

#include <QTest>

namespace {
constexpr int Rate = 48000;
constexpr qint64 Ms = 1000000;
constexpr qint64 T0 = 5000 * Ms; // monotonic time of sample 0

// Something that happens to the reader at a time (ms after sample 0).
struct Event
{
    int atMs = 0;
    enum Kind { Stall, Lose } kind = Stall;
    int ms = 0; // how long the reader stalls, or how much sound is lost
};

// Reads every periodMs for totalMs; each read takes what the sink has played by then, less what
// was lost, and arrives jitterMs late at most (a fixed pattern, so the table is repeatable).
// ppm: how much faster than the monotonic clock the sink plays.
CaptureClock simulate(const QList<Event> &events, int totalMs, int periodMs = 10, int jitterMs = 2,
                      int ppm = 0)
{
    CaptureClock clock(Rate);
    qint64 lost = 0;
    int k = 0;
    for (int t = periodMs; t <= totalMs; t += periodMs, ++k) {
        qint64 late = (k % 7) * jitterMs * Ms / 6;
        for (const Event &e : events) {
            if (e.kind == Event::Lose && t >= e.atMs && t - periodMs < e.atMs)
                lost += qint64(e.ms) * Rate / 1000;
            if (e.kind == Event::Stall && t >= e.atMs && t < e.atMs + e.ms)
                late = -1; // no read while stalled
        }
        if (late < 0)
            continue;
        const qint64 played = qint64(t) * Rate / 1000 + qint64(t) * Rate / 1000 * ppm / 1000000;
        clock.arrived(T0 + qint64(t) * Ms + late, played - lost);
    }
    return clock;
}
} // namespace

class TestSoundCapture : public QObject
{
    Q_OBJECT
private slots:
    void gapsAndOrigin_data();
    void gapsAndOrigin();
    void placesSamplesLocally_data();
    void placesSamplesLocally();
};

void TestSoundCapture::gapsAndOrigin_data()
{
    QTest::addColumn<QList<Event>>("events");
    QTest::addColumn<int>("periodMs");
    QTest::addColumn<QList<int>>("lostMs");     // the gaps it should report, in ms
    QTest::addColumn<QList<int>>("nearSecond"); // and about where, in whole seconds of sound

    QTest::newRow("prompt reads") << QList<Event>{} << 10 << QList<int>{} << QList<int>{};
    QTest::newRow("20 ms fragments") << QList<Event>{} << 20 << QList<int>{} << QList<int>{};
    QTest::newRow("reader held up 600 ms, catches up")
        << QList<Event>{{1000, Event::Stall, 600}} << 10 << QList<int>{} << QList<int>{};
    QTest::newRow("reader held up twice") << QList<Event>{{800, Event::Stall, 250}, {2500, Event::Stall, 900}}
                                          << 10 << QList<int>{} << QList<int>{};
    QTest::newRow("5 ms lost, enough to split a burst")
        << QList<Event>{{2000, Event::Lose, 5}} << 10 << QList<int>{5} << QList<int>{2};
    QTest::newRow("30 ms lost") << QList<Event>{{2000, Event::Lose, 30}} << 10 << QList<int>{30}
                                << QList<int>{2};
    QTest::newRow("lost while held up") << QList<Event>{{1500, Event::Stall, 400}, {1700, Event::Lose, 50}}
                                        << 10 << QList<int>{50} << QList<int>{1};
    QTest::newRow("two losses") << QList<Event>{{1000, Event::Lose, 20}, {3000, Event::Lose, 100}} << 10
                                << QList<int>{20, 100} << QList<int>{1, 3};
}

void TestSoundCapture::gapsAndOrigin()
{
    QFETCH(QList<Event>, events);
    QFETCH(int, periodMs);
    QFETCH(QList<int>, lostMs);
    QFETCH(QList<int>, nearSecond);
    const CaptureClock clock = simulate(events, 5000, periodMs);
    QVERIFY(clock.hasOrigin());
    // Sample 0 is placed no earlier than it played, and late by no more than the jitter.
    QVERIFY2(clock.originNs() >= T0 && clock.originNs() <= T0 + 2 * Ms,
             qPrintable(QString::number(double(clock.originNs() - T0) / Ms)));
    QCOMPARE(clock.gaps().size(), lostMs.size());
    for (int i = 0; i < lostMs.size(); ++i) {
        const CaptureClock::Gap g = clock.gaps().at(i);
        QVERIFY2(std::abs(double(g.lostNs) / Ms - lostMs.at(i)) <= 3, qPrintable(QString::number(g.lostNs)));
        QVERIFY2(std::abs(double(g.sample) / Rate - nearSecond.at(i)) <= 1,
                 qPrintable(QString::number(g.sample)));
    }
}

void TestSoundCapture::placesSamplesLocally_data()
{
    QTest::addColumn<int>("ppm");
    QTest::newRow("steady") << 0;
    QTest::newRow("sink 60 ppm fast") << 60;
    QTest::newRow("sink 60 ppm slow") << -60;
}

// Over five minutes of capture, a sample is placed within a few ms of when it played wherever it
// is, and a slowly drifting sink clock is no gap.
void TestSoundCapture::placesSamplesLocally()
{
    QFETCH(int, ppm);
    const int totalMs = 300000;
    const CaptureClock clock = simulate({}, totalMs, 10, 2, ppm);
    QVERIFY2(clock.gaps().isEmpty(), qPrintable(QString::number(clock.gaps().size())));
    for (int atMs : {1000, 150000, 299000}) {
        const qint64 sample = qint64(atMs) * Rate / 1000 * (1000000 + ppm) / 1000000;
        const double errorMs = double(clock.sampleNs(sample) - (T0 + qint64(atMs) * Ms)) / Ms;
        QVERIFY2(errorMs >= -0.1 && errorMs <= 2,
                 qPrintable(QStringLiteral("%1 ms at %2 ms").arg(errorMs).arg(atMs)));
    }
}

QTEST_MAIN(TestSoundCapture)
#include "tst_soundcapture.moc"

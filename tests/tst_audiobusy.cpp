// The receiver's audio as the busy source, on the test sound server: an input of its own that
// hears the test sink, speech-like sound with pauses between words played into the sink.
#include "audio/audiobusysource.h"
#include "audio/qtsoundserver.h"
#include "busysourcemaker.h"
#include "deviceerror.h"
#include "receiverfeed.h"
#include "soundcapture.h"
#include "soundtestmain.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {
bool hasInput(const QString &id)
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    return std::any_of(inputs.cbegin(), inputs.cend(), [&](const QAudioDevice &d) { return d.id() == id.toUtf8(); });
}

QString loadReceiver()
{
    return pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"), QStringLiteral("master=tx.monitor"),
                  QStringLiteral("source_name=receptor"), QStringLiteral("source_properties=device.description=Receptor")});
}
} // namespace

class TestAudioBusy : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void busyThroughPausesThenClear();
    void listensAfresh();
    void lostWhenTheInputGoes();

private:
    QString m_module;
};

void TestAudioBusy::init()
{
    if (!soundServerAvailable())
        QSKIP("Needs the test sound server (scripts/testpulse.sh).");
    m_module = loadReceiver();
    QVERIFY(!m_module.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(hasInput(QStringLiteral("receptor")), 5000);
}

void TestAudioBusy::cleanup()
{
    if (!m_module.isEmpty())
        pactl({QStringLiteral("unload-module"), m_module});
    m_module.clear();
}

// Made as the station makes it: "receptor" empty listens on the recording input.
void TestAudioBusy::busyThroughPausesThenClear()
{
    QtSoundServer server;
    BusySettings settings;
    settings.ocupado = BusySettings::Source::Audio;
    BusySourceContext context;
    context.entrada = {QStringLiteral("receptor"), QStringLiteral("Receptor")};
    context.sound = &server;
    const std::unique_ptr<BusySource> source = makeBusySource(settings, context);
    QVERIFY(source);
    QVERIFY2(source->description().contains(QStringLiteral("Receptor")), qPrintable(source->description()));
    QSignalSpy changes(source.get(), &BusySource::busyChanged);
    QSignalSpy levels(source.get(), &BusySource::levelChanged);
    QSignalSpy lost(source.get(), &BusySource::lost);
    source->open();
    QVERIFY2(source->busy(), "nothing heard yet is not a clear channel");
    QTRY_VERIFY_WITH_TIMEOUT(!source->busy(), 2000);
    changes.clear();

    // Three words with pauses shorter than the hang; a click before them is not a voice.
    const QList<int> pattern{15, -300, 200, -500, 250, -700, 300};
    QProcess pacat;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(receiverfeed::play(pacat, receiverfeed::speechLike(pattern)));
    auto stopPlay = qScopeGuard([&] { pacat.kill(); pacat.waitForFinished(); });
    QVERIFY(changes.wait(3000));
    QCOMPARE(changes.takeFirst().at(0).toBool(), true);
    const qint64 busyAt = clock.elapsed();
    QVERIFY(changes.wait(5000));
    const qint64 clearAt = clock.elapsed();
    QCOMPARE(changes.takeFirst().at(0).toBool(), false);
    const int words = 200 + 500 + 250 + 700 + 300;
    QVERIFY2(clearAt - busyAt >= words + BusyDetector::HangMs - 100,
             qPrintable(QStringLiteral("busy for %1 ms only").arg(clearAt - busyAt)));
    QVERIFY(changes.isEmpty());
    QVERIFY(lost.isEmpty());
    const auto loudest = std::max_element(levels.cbegin(), levels.cend(), [](const auto &a, const auto &b) {
        return a.at(0).toDouble() < b.at(0).toDouble();
    });
    QVERIFY(loudest != levels.cend());
    // Syllables peak 3 dB over -20 dBFS; a server may add 3 dB more where it mixes mono channels.
    QVERIFY2(loudest->at(0).toDouble() > -24 && loudest->at(0).toDouble() < -10,
             qPrintable(loudest->at(0).toString()));
    QVERIFY(source->levelDb() < -60);

    source->close();
    QVERIFY(!source->busy());
    QVERIFY(std::isnan(source->levelDb()));
}

// The station's own transmission as the receiver hears it: what was heard before listenAfresh()
// never comes back as busy, and a voice that goes on after it is someone else's.
void TestAudioBusy::listensAfresh()
{
    AudioBusySource source({QStringLiteral("receptor"), QStringLiteral("Receptor")}, -40);
    QSignalSpy changes(&source, &BusySource::busyChanged);
    QSignalSpy fresh(&source, &BusySource::heardAfresh);
    source.open();
    QTRY_VERIFY_WITH_TIMEOUT(!source.busy(), 2000);
    QProcess pacat;
    QVERIFY(receiverfeed::play(pacat, receiverfeed::speechLike({1200})));
    auto stopPlay = qScopeGuard([&] { pacat.kill(); pacat.waitForFinished(); });
    QTRY_VERIFY_WITH_TIMEOUT(source.busy(), 2000);
    changes.clear();

    // In the middle of the voice: clear at once, then busy again from what is heard afresh.
    QTest::qWait(300);
    source.listenAfresh();
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.takeFirst().at(0).toBool(), false);
    QVERIFY(fresh.wait(1000));
    QCOMPARE(fresh.takeFirst().at(0).toBool(), true);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.takeFirst().at(0).toBool(), true);

    // The voice over, its hang still running: forgotten, and it does not come back.
    QVERIFY(pacat.waitForFinished(3000));
    QTest::qWait(200);
    QVERIFY2(source.busy(), "the hang keeps the end of the voice busy");
    source.listenAfresh();
    QVERIFY(fresh.wait(1000));
    QCOMPARE(fresh.takeFirst().at(0).toBool(), false);
    QTest::qWait(BusyDetector::HangMs + 200);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.takeFirst().at(0).toBool(), false);
    QVERIFY(fresh.isEmpty());
}

void TestAudioBusy::lostWhenTheInputGoes()
{
    AudioBusySource source({QStringLiteral("receptor"), QStringLiteral("Receptor")}, -40);
    QSignalSpy lost(&source, &BusySource::lost);
    QSignalSpy changes(&source, &BusySource::busyChanged);
    source.open();
    QTRY_VERIFY_WITH_TIMEOUT(!source.busy(), 2000);
    pactl({QStringLiteral("unload-module"), m_module});
    m_module.clear();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, AudioBusySource::StallMs + 1000);
    QVERIFY2(lost.first().at(0).toString().contains(QStringLiteral("Receptor")),
             qPrintable(lost.first().at(0).toString()));
    QVERIFY(!source.isOpen());
    QCOMPARE(changes.size(), 1); // the settling only: losing it is not a change to clear

    try {
        source.open();
        QFAIL("opened an input that is gone");
    } catch (const DeviceError &e) {
        QVERIFY2(e.reason().contains(QStringLiteral("Receptor")), qPrintable(e.reason()));
    }
}

PREGONAL_SOUND_TEST_GUILESS_MAIN(TestAudioBusy)
#include "tst_audiobusy.moc"

// The input meter on the test sound server: an input of its own that is unloaded while it is
// listened to, and loaded again.
#include "audio/qtsoundserver.h"
#include "soundcapture.h"
#include "soundtestmain.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {
bool hasInput(const QString &id)
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    return std::any_of(inputs.cbegin(), inputs.cend(), [&](const QAudioDevice &d) { return d.id() == id.toUtf8(); });
}

// "medidor", an input that hears the test sink, while loaded.
QString loadInput()
{
    return pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"), QStringLiteral("master=tx.monitor"),
                  QStringLiteral("source_name=medidor"), QStringLiteral("source_properties=device.description=Medidor")});
}
} // namespace

class TestLevelMeter : public QObject
{
    Q_OBJECT
private slots:
    void followsAnInputThatGoesAndComes();
};

void TestLevelMeter::followsAnInputThatGoesAndComes()
{
    if (!soundServerAvailable())
        QSKIP("Needs the test sound server (scripts/testpulse.sh).");
    QString module = loadInput();
    QVERIFY(!module.isEmpty());
    auto unload = qScopeGuard([&] {
        if (!module.isEmpty())
            pactl({QStringLiteral("unload-module"), module});
    });
    QTRY_VERIFY_WITH_TIMEOUT(hasInput(QStringLiteral("medidor")), 5000);
    QtLevelMeter meter;
    QSignalSpy peaks(&meter, &InputLevelMeter::peak);
    QSignalSpy lost(&meter, &InputLevelMeter::lost);
    QSignalSpy resumed(&meter, &InputLevelMeter::resumed);
    meter.start({QStringLiteral("medidor"), QStringLiteral("Medidor")});
    QVERIFY(peaks.wait(2000));

    pactl({QStringLiteral("unload-module"), module});
    module.clear();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 3 * QtLevelMeter::CheckMs);
    QVERIFY2(lost.first().at(0).toString().contains(QStringLiteral("Medidor")), qPrintable(lost.first().at(0).toString()));
    peaks.clear();
    QTest::qWait(3 * QtLevelMeter::ReportMs);
    QVERIFY2(peaks.isEmpty(), "no level, not even silence, while the input is gone");

    module = loadInput();
    QVERIFY(!module.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(resumed.size(), 1, 3 * QtLevelMeter::CheckMs);
    QVERIFY(peaks.wait(2000));
    QCOMPARE(lost.size(), 1);
}

PREGONAL_SOUND_TEST_GUILESS_MAIN(TestLevelMeter)
#include "tst_levelmeter.moc"

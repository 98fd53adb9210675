// Settings files written by hand with garbage in them: the window starts with the defaults.
#include "windowfixture.h"

#include <QFile>
#include <QRandomGenerator>

class TestFaultsSettings : public QObject
{
    Q_OBJECT
private slots:
    void brokenFile_data();
    void brokenFile();
};

void TestFaultsSettings::brokenFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("leadMs"); // what the lead and tail come out as: 0 to 2000 ms,
    QTest::addColumn<int>("tailMs"); // 300 and 100 where the text is no whole number
    QByteArray junk(4096, Qt::Uninitialized);
    QRandomGenerator r(7);
    for (char &c : junk)
        c = char(r.bounded(256));
    QTest::newRow("binary junk") << junk << 300 << 100;
    QTest::newRow("junk inside conf") << (QByteArray("[conf]\n") + junk + "\n") << 300 << 100;
    QTest::newRow("NUL bytes in values")
        << QByteArray("[conf]\npuerto=3\0\0\nintervalo=\0\x01\x02\n", 34) << 300 << 100;
    QTest::newRow("1 MB value") << (QByteArray("[conf]\nintervalo=") + QByteArray(1 << 20, '7') +
                                    "\npuerto=" + QByteArray(1 << 20, 'x') + "\n")
                                << 300 << 100;
    QTest::newRow("1 MB key") << (QByteArray("[conf]\n") + QByteArray(1 << 20, 'k') + "=1\n") << 300 << 100;
    QTest::newRow("huge numbers") << QByteArray(
                                         "[conf]\npuerto=99999999999999999999999\nintervalo=4294967306\n"
                                         "retardo=99999999999999\ncola=-99999999999\n")
                                  << 2000 << 0;
    QTest::newRow("lead and tail just past their range")
        << QByteArray("[conf]\nretardo=2001\ncola=-1\n") << 2000 << 0;
    QTest::newRow("lead and tail just inside their range")
        << QByteArray("[conf]\nretardo=1999\ncola=1\n") << 1999 << 1;
    QTest::newRow("negative, fractional, hex")
        << QByteArray("[conf]\npuerto=-1\nintervalo=1.5\nretardo=0x10\ncola=1e3\n") << 300 << 100;
    QTest::newRow("list and quoted values")
        << QByteArray("[conf]\npuerto=1, 2\nintervalo=\"\"\n") << 300 << 100;
    QTest::newRow("@Variant value") << QByteArray("[conf]\npuerto=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\0)\n"
                                                  "intervalo=@Rect(1 2 3 4)\n")
                                    << 300 << 100;
    QTest::newRow("empty file") << QByteArray() << 300 << 100;
    QTest::newRow("missing conf group") << QByteArray("[puertos]\nCOM2=/nonexistent/tty\n") << 300 << 100;
    QTest::newRow("keys in the wrong group")
        << QByteArray("[general]\npuerto=4\nintervalo=30\n[otro]\npuerto=5\n") << 300 << 100;
    QTest::newRow("keys outside any group") << QByteArray("puerto=4\nintervalo=30\n") << 300 << 100;
    QTest::newRow("[conf unterminated, no keys") << QByteArray("[conf\n") << 300 << 100;
    QTest::newRow("[conf unterminated, junk values")
        << QByteArray("[conf\npuerto=abc\nintervalo=\xff\xfe\n") << 300 << 100;
    QTest::newRow("[conf] then a broken group")
        << QByteArray("[conf]\n[conf\npuerto==\nintervalo\n=5\n") << 300 << 100;
}

void TestFaultsSettings::brokenFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, leadMs);
    QFETCH(int, tailMs);
    WindowFixture fixture;
    QFile file(fixture.storeDir.path() + QStringLiteral("/Pregonal.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), qint64(contents.size()));
    file.close();

    Frmprincipal &w = fixture.load();
    QCOMPARE(int(w.module1().puertocom), 2);
    QCOMPARE(int(w.module1().intervalosegs), 10);
    QCOMPARE(w.Timer1().interval(), 10000);
    QCOMPARE(w.windowTitle(), QStringLiteral("Pregonal - sin mensaje"));
    QCOMPARE(w.panel(1)->text(), QStringLiteral("Stand by"));
    QCOMPARE(w.panel(2)->text(), QStringLiteral("Puerto COM = 2"));
    QCOMPARE(w.panel(3)->text(), QStringLiteral("Intervalo = 10 segs"));
    QCOMPARE(fixture.audio->leadMs, leadMs);
    QCOMPARE(fixture.audio->tailMs, tailMs);
    QVERIFY(fixture.boxes->shown.isEmpty());
    // Still fully usable: a message opens and goes out once.
    fixture.openMessage();
    w.mnuunavez_Click();
    QCOMPARE(w.panel(1)->text(), QStringLiteral("TX"));
    w.mnustop_Click();
    QCOMPARE(w.panel(1)->text(), QStringLiteral("Stand by"));
}

QTEST_MAIN(TestFaultsSettings)
#include "tst_faults_settings.moc"

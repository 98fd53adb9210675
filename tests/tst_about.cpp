// The About box, the registry lookups that find the system information tool, and the INI stand-in
// for the registry.
#include "windowfixture.h"

#include "frmabout.h"
#include "pictures.h"
#include "sysinfo.h"
#include "systemregistry.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {
RegistryReader::Value text(const QByteArray &bytes)
{
    return {RegistryReader::String, bytes};
}

QByteArray withZero(const char *s)
{
    return QByteArray(s) + '\0';
}

const QString kTool = QStringLiteral("C:\\Archivos de programa\\Shared Tools\\MSINFO\\MSINFO32.EXE");
const QString kFolder = QStringLiteral("C:\\Archivos de programa\\Shared Tools\\MSINFO");
const QString kUnavailable = QStringLiteral("La información del sistema no está disponible en este momento");
} // namespace

Q_DECLARE_METATYPE(RegistryReader::Value)

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void captionsAndVersion();
    void layout();
    void aceptarClosesTheBox_data();
    void aceptarClosesTheBox();
    void pictureIsDrawn();
    void getKeyValue_data();
    void getKeyValue();
    void valueOfNoBytesIsAnError();
    void startSysInfo_data();
    void startSysInfo();
    void iniRegistry();
};

void TestAbout::captionsAndVersion()
{
    WindowFixture f;
    f.load();
    frmAbout d(f.window.get(), *f.registry, *f.launcher, *f.boxes);
    QCOMPARE(d.windowTitle(), QStringLiteral("Acerca de Pregonal"));
    QCOMPARE(d.lblTitle->text(), QStringLiteral("Pregonal"));
    QCOMPARE(d.lblVersion->text(), QStringLiteral("Versión 3.0.8"));
    QVERIFY(!d.lblAutor->text().isEmpty());
    QVERIFY(d.lblWeb->text().startsWith(QStringLiteral("https://")));
    QCOMPARE(d.cmdOK->text(), QStringLiteral("Aceptar"));
    QCOMPARE(d.cmdSysInfo->text(), QStringLiteral("&Info. del sistema..."));
}

void TestAbout::layout()
{
    WindowFixture f;
    f.load();
    frmAbout d(f.window.get(), *f.registry, *f.launcher, *f.boxes);
    QCOMPARE(d.size(), QSize(396, 237));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(!d.windowIcon().isNull());
    QCOMPARE(d.parentWidget(), f.window.get());
    QVERIFY(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!d.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!d.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    struct Place
    {
        QWidget *widget;
        QRect rect;
    };
    const Place places[] = {{d.lblTitle, {8, 16, 259, 32}},   {d.lblVersion, {8, 52, 259, 31}},
                            {d.lblAutor, {16, 152, 265, 17}}, {d.lblWeb, {16, 168, 241, 17}},
                            {d.cmdOK, {288, 175, 100, 23}},   {d.cmdSysInfo, {288, 205, 99, 23}}};
    for (const Place &p : places)
        QCOMPARE(p.widget->geometry(), p.rect);

    for (QLabel *l : {d.lblTitle, d.lblVersion}) {
        QCOMPARE(l->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(l->font().pointSizeF(), 24.0);
        QVERIFY(l->font().bold());
        QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::white));
        QVERIFY(!l->autoFillBackground());
    }
    QCOMPARE(d.lblAutor->font().pointSizeF(), 9.75);
    QVERIFY(d.lblAutor->font().bold());
    QCOMPARE(d.lblAutor->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(!d.lblAutor->autoFillBackground());
    QVERIFY(d.lblWeb->autoFillBackground());
    QCOMPARE(d.lblWeb->palette().color(QPalette::Window),
             QApplication::palette(d.lblWeb).color(QPalette::Window));
    QCOMPARE(d.lblWeb->font(), QApplication::font(d.lblWeb));

    QVERIFY(d.cmdOK->isDefault());
    QVERIFY(!d.cmdSysInfo->isDefault());
    QCOMPARE(d.cmdOK->nextInFocusChain(), d.cmdSysInfo);
}

void TestAbout::aceptarClosesTheBox_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click") << "click";
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("Esc") << "Esc";
}

void TestAbout::aceptarClosesTheBox()
{
    QFETCH(QString, how);
    WindowFixture f;
    Frmprincipal &w = f.load();
    QVERIFY(f.showActive());
    f.openMessage();
    w.mnuenbucle_Click(); // a transmission runs meanwhile
    f.log->clear();
    const QString panel1 = f.panel(1);
    bool closed = false;
    const bool shown = whileModal<frmAbout>(
        [&] { w.mnuacercade_Click(); },
        [&](frmAbout &d) {
            QTRY_VERIFY(d.isActiveWindow());
            QCOMPARE(d.focusWidget(), d.cmdOK);
            if (how == "click")
                d.cmdOK->click();
            else
                QTest::keyClick(d.focusWidget(), how == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
            closed = !d.isVisible();
            QCOMPARE(d.result(), int(QDialog::Accepted));
        });
    QVERIFY(shown);
    QVERIFY(closed);
    QVERIFY(f.log->isEmpty());
    QCOMPARE(f.panel(1), panel1);
    QVERIFY(f.serial->portOpen());
    QVERIFY(f.boxes->shown.isEmpty());
    QVERIFY(w.findChildren<frmAbout *>().isEmpty());
}

void TestAbout::pictureIsDrawn()
{
    WindowFixture f;
    f.load();
    frmAbout d(f.window.get(), *f.registry, *f.launcher, *f.boxes);
    // The drawing spans 3386 x 1684 units at 576 to the inch: 5.878 x 2.924 inches, which at
    // 96 pixels to the inch is 564.3 x 280.7 pixels, larger than the box both ways.
    QVERIFY2(qAbs(frmAbout::kPictureWidth - 564.33) < 0.01,
             qPrintable(QString::number(frmAbout::kPictureWidth)));
    QVERIFY2(qAbs(frmAbout::kPictureHeight - 280.67) < 0.01,
             qPrintable(QString::number(frmAbout::kPictureHeight)));
    QVERIFY(frmAbout::kPictureWidth > d.width() && frmAbout::kPictureHeight > d.height());
    d.lblWeb->hide();
    const QImage image = d.grab().toImage();
    QCOMPARE(image.size() / image.devicePixelRatio(), d.size());

    // With every control hidden, the box shows exactly the top left of the drawing at that size.
    for (QWidget *child : d.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->hide();
    const QImage bare = d.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage expected(bare.size(), QImage::Format_RGB32);
    expected.setDevicePixelRatio(bare.devicePixelRatio());
    expected.fill(Qt::black);
    {
        QPainter painter(&expected);
        QSvgRenderer(aboutPicturePath()).render(&painter, QRectF(0, 0, 564.33, 280.67));
    }
    // The widget paints through its backing store, so edges are shaded a little differently; the
    // same drawing 2 pixels narrower or wider is off by more than twice what this allows.
    double difference = 0;
    for (int y = 0; y < bare.height(); ++y) {
        for (int x = 0; x < bare.width(); ++x) {
            const QRgb a = bare.pixel(x, y), b = expected.pixel(x, y);
            difference += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    }
    const double mean = difference / (3.0 * bare.width() * bare.height());
    QVERIFY2(mean < 0.6, qPrintable(QStringLiteral("mean difference %1 levels").arg(mean)));
    // Dark overall, with the drawing's own greys and lamps somewhere.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            colours.insert(image.pixel(x, y));
        }
    }
    QVERIFY(colours.size() > 10);
    QVERIFY(QColor(image.pixel(1, 1)).lightness() < 40);
}

void TestAbout::getKeyValue_data()
{
    QTest::addColumn<RegistryReader::Value>("value");
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("after");
    QTest::newRow("string with its zero")
        << text(withZero("C:\\x\\MSINFO32.EXE")) << "" << true << "C:\\x\\MSINFO32.EXE";
    QTest::newRow("string without its zero")
        << text("C:\\x\\MSINFO32.EXE") << "" << true << "C:\\x\\MSINFO32.EXE";
    QTest::newRow("string of just its zero") << text(QByteArray(1, '\0')) << "antes" << true << "";
    QTest::newRow("dword 10") << RegistryReader::Value{RegistryReader::DWord, QByteArray("\x0a\0\0\0", 4)}
                              << "" << true << "10";
    QTest::newRow("dword 0x12345678")
        << RegistryReader::Value{RegistryReader::DWord, QByteArray("\x78\x56\x34\x12", 4)} << "" << true
        << "305419896";
    // Each byte is written without its leading zero, so 0x0105 reads as &h015.
    QTest::newRow("dword 0x0105") << RegistryReader::Value{RegistryReader::DWord,
                                                           QByteArray("\x05\x01\0\0", 4)}
                                  << "" << true << "21";
    // A number is appended to the text passed in before it is read as hex.
    QTest::newRow("dword after text")
        << RegistryReader::Value{RegistryReader::DWord, QByteArray("\x0a\0\0\0", 4)} << "1" << true << "4106";
    QTest::newRow("dword 0") << RegistryReader::Value{RegistryReader::DWord, QByteArray(4, '\0')} << ""
                             << true << "0";
    QTest::newRow("other type leaves the text")
        << RegistryReader::Value{3, QByteArray("\x01\x02", 2)} << "antes" << true << "antes";
    QTest::newRow("larger than the buffer") << text(QByteArray(1025, 'a')) << "antes" << false << "";
    QTest::newRow("exactly the buffer")
        << text(QByteArray(1023, 'a') + '\0') << "" << true << QString(1023, QLatin1Char('a'));
}

void TestAbout::getKeyValue()
{
    QFETCH(RegistryReader::Value, value);
    QFETCH(QString, before);
    QFETCH(bool, result);
    QFETCH(QString, after);
    FakeRegistry registry;
    registry.keys[kSysInfoKey].insert(QStringLiteral("PATH"), value);
    QString keyVal = before;
    QCOMPARE(GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoKey, QStringLiteral("PATH"), keyVal),
             result);
    QCOMPARE(keyVal, after);
    QCOMPARE(registry.openKeys, 0);

    // No key, or no such value: false and empty text, the key closed again.
    keyVal = QStringLiteral("antes");
    QVERIFY(!GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoLocationKey,
                         QStringLiteral("MSINFO"), keyVal));
    QCOMPARE(keyVal, QString());
    keyVal = QStringLiteral("antes");
    QVERIFY(
        !GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoKey, QStringLiteral("OTRO"), keyVal));
    QCOMPARE(keyVal, QString());
    QCOMPARE(registry.openKeys, 0);
}

void TestAbout::valueOfNoBytesIsAnError()
{
    FakeRegistry registry;
    registry.keys[kSysInfoKey].insert(QStringLiteral("PATH"), text(QByteArray()));
    QString keyVal;
    QVERIFY_THROWS_EXCEPTION(RegistryValueError, GetKeyValue(registry, RegistryReader::LocalMachine,
                                                             kSysInfoKey, QStringLiteral("PATH"), keyVal));
    QCOMPARE(registry.openKeys, 0);
}

void TestAbout::startSysInfo_data()
{
    // A null value leaves the key out; an empty one holds a value of no bytes.
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<bool>("toolInFolder");
    QTest::addColumn<QStringList>("startable");
    QTest::addColumn<QString>("started");

    const QByteArray none;
    const QStringList both = {kTool, kTool + "X"};
    QTest::newRow("path in place 1") << withZero(qPrintable(kTool)) << none << false << both << kTool;
    QTest::newRow("path in place 1 without its zero")
        << QByteArray(qPrintable(kTool)) << none << false << both << kTool;
    QTest::newRow("place 1 started with no test that the file exists")
        << withZero(qPrintable(kTool)) << withZero(qPrintable(kFolder)) << false << both << kTool;
    QTest::newRow("file of place 1 missing: place 2 not tried")
        << withZero("C:\\NoHay\\MSINFO32.EXE") << withZero(qPrintable(kFolder)) << true << both << "";
    QTest::newRow("place 2 folder with the tool")
        << none << withZero(qPrintable(kFolder)) << true << both << kTool;
    QTest::newRow("place 2 folder without its zero")
        << none << QByteArray(qPrintable(kFolder)) << true << both << kTool;
    QTest::newRow("place 2 folder without the tool")
        << none << withZero(qPrintable(kFolder)) << false << both << "";
    QTest::newRow("tool there but does not start")
        << none << withZero(qPrintable(kFolder)) << true << QStringList() << "";
    QTest::newRow("neither place") << none << none << false << both << "";
    QTest::newRow("place 1 of no bytes: place 2 not tried")
        << QByteArray("") << withZero(qPrintable(kFolder)) << true << both << "";
    QTest::newRow("place 2 of no bytes") << none << QByteArray("") << true << both << "";
    QTest::newRow("place 1 too large: place 2 tried")
        << QByteArray(2000, 'x') << withZero(qPrintable(kFolder)) << true << both << kTool;
}

void TestAbout::startSysInfo()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, folder);
    QFETCH(bool, toolInFolder);
    QFETCH(QStringList, startable);
    QFETCH(QString, started);
    WindowFixture f;
    f.load();
    if (!path.isNull())
        f.registry->keys[kSysInfoKey].insert(QStringLiteral("PATH"), text(path));
    if (!folder.isNull())
        f.registry->keys[kSysInfoLocationKey].insert(QStringLiteral("MSINFO"), text(folder));
    if (toolInFolder)
        f.launcher->existing << kTool;
    f.launcher->startable = startable;

    frmAbout d(f.window.get(), *f.registry, *f.launcher, *f.boxes);
    d.show();
    d.cmdSysInfo->click();
    QVERIFY2(d.isVisible(), "the box stays open");
    QCOMPARE(f.registry->openKeys, 0);
    if (started.isEmpty()) {
        QVERIFY(f.launcher->started.isEmpty());
        QCOMPARE(f.boxes->shown.size(), 1);
        const auto box = f.boxes->shown.first();
        QCOMPARE(box.text, kUnavailable);
        QCOMPARE(box.buttons, MessageBoxes::OkOnly);
        QCOMPARE(box.icon, MessageBoxes::NoIcon);
        QCOMPARE(box.caption, QStringLiteral("Pregonal"));
    } else {
        QCOMPARE(f.launcher->started, QStringList({started}));
        QVERIFY(f.boxes->shown.isEmpty());
    }
}

void TestAbout::iniRegistry()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("registro.ini"));
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        file.write("; la herramienta de información del sistema\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                   "PATH=/usr/bin/x\n"
                   "Numero = dword:0000000a\n"
                   "\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n"
                   "\"MSINFO\"=\"/opt/con espacios\"\n");
    }
    IniRegistry registry(ini);
    QString keyVal;
    QVERIFY(GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoKey, QStringLiteral("PATH"), keyVal));
    QCOMPARE(keyVal, QStringLiteral("/usr/bin/x"));
    keyVal.clear();
    QVERIFY(
        GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoKey, QStringLiteral("Numero"), keyVal));
    QCOMPARE(keyVal, QStringLiteral("10"));
    // Key and value names are found whatever their case, as in the registry.
    QVERIFY(GetKeyValue(registry, RegistryReader::LocalMachine,
                        QStringLiteral("software\\microsoft\\shared tools\\msinfo"), QStringLiteral("path"),
                        keyVal));
    QCOMPARE(keyVal, QStringLiteral("/usr/bin/x"));
    QVERIFY(GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoLocationKey, QStringLiteral("MSINFO"),
                        keyVal));
    QCOMPARE(keyVal, QStringLiteral("/opt/con espacios"));
    QVERIFY(!GetKeyValue(registry, RegistryReader::LocalMachine, QStringLiteral("SOFTWARE\\Otra"),
                         QStringLiteral("PATH"), keyVal));
    QVERIFY(!GetKeyValue(registry, 0x80000001u, kSysInfoKey, QStringLiteral("PATH"), keyVal));
    QVERIFY(
        !GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoKey, QStringLiteral("Falta"), keyVal));

    // Strings are stored with their terminating zero, numbers as four bytes, low byte first.
    const auto key = registry.openKey(RegistryReader::LocalMachine, kSysInfoKey);
    QVERIFY(key);
    const auto path = registry.queryValue(*key, QStringLiteral("PATH"), 1024);
    QVERIFY(path);
    QCOMPARE(path->type, quint32(RegistryReader::String));
    QCOMPARE(path->data, QByteArray("/usr/bin/x", 11));
    const auto number = registry.queryValue(*key, QStringLiteral("NUMERO"), 1024);
    QVERIFY(number);
    QCOMPARE(number->type, quint32(RegistryReader::DWord));
    QCOMPARE(number->data, QByteArray("\x0a\0\0\0", 4));
    QVERIFY(!registry.queryValue(*key, QStringLiteral("PATH"), 10));
    registry.closeKey(*key);
    QVERIFY(!registry.queryValue(*key, QStringLiteral("PATH"), 1024));

    // The whole lookup on it.
    FakeLauncher launcher;
    launcher.startable << QStringLiteral("/usr/bin/x");
    FakeMessageBoxes boxes;
    QVERIFY(StartSysInfo(registry, launcher, boxes));
    QCOMPARE(launcher.started, QStringList({"/usr/bin/x"}));
    QVERIFY(boxes.shown.isEmpty());

    // A missing file reads as an empty registry.
    IniRegistry empty(dir.filePath(QStringLiteral("no-existe.ini")));
    QVERIFY(!StartSysInfo(empty, launcher, boxes));
    QCOMPARE(boxes.shown.size(), 1);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"

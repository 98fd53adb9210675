// How the program meets the desktop: Qt's own texts in Spanish on an English desktop, and the
// main window first shown centred on the screen of the mouse pointer. Runs on the offscreen
// platform with two screens of different sizes side by side, on an English desktop.
#include "desktop.h"
#include "qtplatform.h"
#include "windowfixture.h"

#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTranslator>

namespace {
const QRect kLeftScreen(0, 0, 1024, 768);
const QRect kRightScreen(1024, 0, 1920, 1080);

QString buttonText(QMessageBox::StandardButton which)
{
    QMessageBox box;
    box.setStandardButtons(which);
    return box.button(which)->text();
}

QString childText(QWidget &parent, const char *name)
{
    auto *label = parent.findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("(no %1)").arg(QLatin1String(name));
}
} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void noSpanishFileLeavesEnglish_data();
    void noSpanishFileLeavesEnglish();
    void standardDialogsInSpanish();
    void mainWindowCentredOnPointerScreen_data();
    void mainWindowCentredOnPointerScreen();
    void placedWindowKeepsItsPlace();

private:
    QTranslator *m_translator = nullptr;
};

void TestDesktop::init()
{
    QCOMPARE(QLocale().language(), QLocale::English);
}

void TestDesktop::cleanup()
{
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator);
    delete m_translator;
    m_translator = nullptr;
    QLocale::setDefault(QLocale::system());
}

void TestDesktop::noSpanishFileLeavesEnglish_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder missing") << "missing";
    QTest::newRow("folder without it") << "empty";
    QTest::newRow("empty file") << "emptyfile";
    QTest::newRow("not a translation") << "garbage";
    QTest::newRow("a folder by that name") << "folder";
}

void TestDesktop::noSpanishFileLeavesEnglish()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString folder = dir.path();
    const QString file = dir.filePath(QStringLiteral("qtbase_es.qm"));
    if (kind == "missing")
        folder = dir.filePath(QStringLiteral("no/existe"));
    if (kind == "emptyfile" || kind == "garbage") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (kind == "garbage")
            f.write(QByteArray(4096, '\x5a'));
    }
    if (kind == "folder")
        QVERIFY(QDir().mkpath(file));
    // No word to the operator and none on the console.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    m_translator = installQtSpanish(*QCoreApplication::instance(), folder);
    QVERIFY(!m_translator);
    QCOMPARE(buttonText(QMessageBox::Cancel), QStringLiteral("Cancel"));
    QCOMPARE(QLocale().language(), QLocale::English);
}

// The program's own file dialog and the overwrite question it asks, as the operator sees them.
void TestDesktop::standardDialogsInSpanish()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QVERIFY2(QFile::exists(folder + QStringLiteral("/qtbase_es.qm")),
             "qtbase_es.qm missing: install qt6-translations-l10n (scripts/setup.sh)");
    m_translator = installQtSpanish(*QCoreApplication::instance(), folder);
    QVERIFY(m_translator);
    QCOMPARE(QLocale().language(), QLocale::Spanish);

    const QList<QPair<QMessageBox::StandardButton, QString>> buttons = {
        {QMessageBox::Ok, QStringLiteral("Aceptar")},
        {QMessageBox::Cancel, QStringLiteral("Cancelar")},
        {QMessageBox::Yes, QStringLiteral("&Sí")},
        {QMessageBox::No, QStringLiteral("&No")},
        {QMessageBox::Close, QStringLiteral("Cerrar")}};
    for (const auto &[which, text] : buttons)
        QCOMPARE(buttonText(which), text);

    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("aviso.wav"));
    QFile f(existing);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    QtFileDialog files;
    files.setFilter(QStringLiteral("*.wav|*.wav|"));
    files.setFileName(existing);
    QStringList seen;
    QString question;
    QObject context;
    QTimer::singleShot(0, &context, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen << childText(*dialog, "lookInLabel") << childText(*dialog, "fileNameLabel")
             << childText(*dialog, "fileTypeLabel");
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            seen << b->text();
        // Confirming the existing name asks whether to replace it; "No" keeps the dialog up.
        QTimer::singleShot(0, &context, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                question = box->text();
                for (QAbstractButton *b : box->buttons())
                    seen << b->text();
                box->button(QMessageBox::No)->click();
            }
        });
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        dialog->reject();
    });
    QVERIFY(!files.showSave());
    QCOMPARE(question, QStringLiteral("El fichero aviso.wav ya existe.\n¿Desea reemplazarlo?"));
    for (const QString &text : {QStringLiteral("Ver en:"), QStringLiteral("&Nombre de fichero:"),
                                QStringLiteral("Ficheros de tipo:"), QStringLiteral("&Guardar"),
                                QStringLiteral("Cancelar"), QStringLiteral("&Sí"), QStringLiteral("&No")})
        QVERIFY2(seen.contains(text), qPrintable(text + QStringLiteral(" not in ") + seen.join('|')));
}

void TestDesktop::mainWindowCentredOnPointerScreen_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QRect>("screen");
    QTest::newRow("pointer on the left screen") << QPoint(100, 700) << kLeftScreen;
    QTest::newRow("pointer on the right screen") << QPoint(2900, 50) << kRightScreen;
    QTest::newRow("pointer on the first column of the right screen") << QPoint(1024, 0) << kRightScreen;
}

void TestDesktop::mainWindowCentredOnPointerScreen()
{
    QFETCH(QPoint, pointer);
    QFETCH(QRect, screen);
    QCOMPARE(QGuiApplication::screens().size(), 2);
    QCursor::setPos(pointer);
    WindowFixture f;
    Frmprincipal &w = f.load();
    QVERIFY(f.showActive());
    const QPoint centre = w.frameGeometry().center();
    // The screens' own centres, worked out by hand: (512, 384) and (1984, 540).
    const QPoint expected = screen == kLeftScreen ? QPoint(512, 384) : QPoint(1984, 540);
    QVERIFY2((centre - expected).manhattanLength() <= 2,
             qPrintable(QStringLiteral("window centre %1,%2").arg(centre.x()).arg(centre.y())));
    QVERIFY(screen.contains(w.frameGeometry()));

    // Shown again later (after a hide, as when it comes back from the taskbar), it stays put.
    w.move(w.pos() + QPoint(40, 30));
    const QPoint moved = w.pos();
    w.hide();
    QCursor::setPos(screen == kLeftScreen ? QPoint(2000, 500) : QPoint(500, 500));
    w.show();
    QCOMPARE(w.pos(), moved);
}

void TestDesktop::placedWindowKeepsItsPlace()
{
    QCursor::setPos(2000, 500);
    WindowFixture f;
    Frmprincipal &w = f.load();
    w.move(200, 150);
    QVERIFY(f.showActive());
    QCOMPARE(w.pos(), QPoint(200, 150));
}

int main(int argc, char *argv[])
{
    // Two screens side by side on the offscreen platform.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 2;
    auto screenJson = [](const char *name, const QRect &r) {
        return QStringLiteral(R"({"name": "%1", "x": %2, "y": %3, "width": %4, "height": %5,)"
                              R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
            .arg(QLatin1String(name))
            .arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height());
    };
    file.write(QStringLiteral(R"({"screens": [%1, %2]})")
                   .arg(screenJson("izquierda", kLeftScreen), screenJson("derecha", kRightScreen))
                   .toUtf8());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    qputenv("LANGUAGE", "en_US");
    QApplication app(argc, argv);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"

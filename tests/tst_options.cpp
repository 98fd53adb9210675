// The options dialog: the port and the interval, what "Aceptar" stores and applies, and its layout.
#include "windowfixture.h"

#include "frmopciones.h"
#include "layout.h"
#include "portnames.h"
#include "settingsstore.h"

#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {
QString stored(const WindowFixture &f, const QString &key)
{
    return SettingsStore(f.storeDir.path())
        .read(QStringLiteral("Pregonal"), QStringLiteral("conf"), key, QStringLiteral("<none>"));
}

// The dialog as the window's command builds it, from the values the window runs with.
std::unique_ptr<frmopciones> optionsDialog(WindowFixture &f)
{
    return std::make_unique<frmopciones>(
        f.window.get(), f.values.puertocom, f.values.intervalosegs,
        [&f](int port) { return serialDeviceForPort(f.window->settings(), port); });
}

int checkedPort(const frmopciones &d)
{
    return d.Option1Group->checkedId(); // index, -1 for none
}

QByteArray storeBytes(const WindowFixture &f)
{
    QFile file(f.storeFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}
} // namespace

class TestOptions : public QObject
{
    Q_OBJECT
private slots:
    void opensAtCurrentValues();
    void leavingWithoutAcceptChangesNothing_data();
    void leavingWithoutAcceptChangesNothing();
    void acceptStoresAndApplies_data();
    void acceptStoresAndApplies();
    void acceptUnsavedIsTold_data();
    void acceptUnsavedIsTold();
    void acceptUnchangedWritesBothSettings();
    void menuIntervalIsResetByAccept();
    void labelFollowsTheBar();
    void labelWaitsForTheThumb();
    void portButtonsFormOneGroup();
    void storedValuesOutOfRange_data();
    void storedValuesOutOfRange();
    void layout();
    void tabOrder();
    void focusEntersAtTheSelectedPort();
    void centredOverMainWindow();
    void tooltipsNameTheDevices();
};

void TestOptions::opensAtCurrentValues()
{
    WindowFixture f;
    f.store("puerto", "5");
    f.store("intervalo", "42");
    f.load();
    const bool shown = whileModal<frmopciones>([&] { f.window->mnuopciones_Click(); },
                                               [&](frmopciones &d) {
                                                   QCOMPARE(checkedPort(d), 4);
                                                   QCOMPARE(d.HScroll1->value(), 42);
                                                   QCOMPARE(d.label1->text(), QStringLiteral("42 segs"));
                                                   QVERIFY(d.isModal());
                                                   QCOMPARE(QApplication::activeModalWidget(), &d);
                                               });
    QVERIFY(shown);
    QVERIFY2(f.window->findChildren<frmopciones *>().isEmpty(), "the dialog is destroyed when closed");
}

void TestOptions::leavingWithoutAcceptChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancelar") << "Cancelar";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close control") << "close";
}

void TestOptions::leavingWithoutAcceptChangesNothing()
{
    QFETCH(QString, how);
    WindowFixture f;
    f.store("puerto", "3");
    f.store("intervalo", "20");
    Frmprincipal &w = f.load();
    const QByteArray before = storeBytes(f);

    bool closed = false;
    const bool shown = whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                                               [&](frmopciones &d) {
                                                   d.Option1[5]->click();
                                                   d.HScroll1->setValue(55);
                                                   QCOMPARE(d.label1->text(), QStringLiteral("55 segs"));
                                                   if (how == "Cancelar")
                                                       d.cmdcancelar->click();
                                                   else if (how == "Esc")
                                                       QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d,
                                                                       Qt::Key_Escape);
                                                   else
                                                       d.close();
                                                   closed = !d.isVisible();
                                                   QCOMPARE(d.result(), int(QDialog::Rejected));
                                               });
    QVERIFY(shown);
    QVERIFY(closed);
    QCOMPARE(storeBytes(f), before);
    QCOMPARE(f.values.puertocom, quint8(3));
    QCOMPARE(f.values.intervalosegs, quint8(20));
    QCOMPARE(w.Timer1().interval(), 20000);
    QVERIFY(!w.Timer1().isEnabled());
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = 3"));
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 20 segs"));
    QCOMPARE(f.serial->commPort(), 3);
    QVERIFY(f.log->isEmpty());

    // The next showing starts afresh from the current values.
    whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                            [&](frmopciones &d) {
                                QCOMPARE(checkedPort(d), 2);
                                QCOMPARE(d.HScroll1->value(), 20);
                                QCOMPARE(d.label1->text(), QStringLiteral("20 segs"));
                            });
}

void TestOptions::acceptStoresAndApplies_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click") << "click";
    QTest::newRow("Enter on a port button") << "Enter";
    QTest::newRow("Return on the bar") << "Return";
}

void TestOptions::acceptStoresAndApplies()
{
    QFETCH(QString, how);
    WindowFixture f;
    Frmprincipal &w = f.load();
    bool closed = false;
    whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                            [&](frmopciones &d) {
                                QCOMPARE(checkedPort(d), 1); // the default port 2
                                d.Option1[3]->click();
                                d.HScroll1->setValue(30);
                                if (how == "click") {
                                    d.cmdaceptar->click();
                                } else if (how == "Enter") {
                                    d.Option1[3]->setFocus();
                                    QTest::keyClick(d.Option1[3], Qt::Key_Enter);
                                } else {
                                    d.HScroll1->setFocus();
                                    QTest::keyClick(d.HScroll1, Qt::Key_Return);
                                }
                                closed = !d.isVisible();
                                QCOMPARE(d.result(), int(QDialog::Accepted));
                            });
    QVERIFY(closed);
    QCOMPARE(stored(f, "puerto"), QStringLiteral("4"));
    QCOMPARE(stored(f, "intervalo"), QStringLiteral("30"));
    QCOMPARE(f.values.puertocom, quint8(4));
    QCOMPARE(f.values.intervalosegs, quint8(30));
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = 4"));
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 30 segs"));
    QCOMPARE(f.panel(1), QStringLiteral("Stand by"));
    QCOMPARE(w.Timer1().interval(), 30000);
    QVERIFY2(!w.Timer1().isEnabled(), "the timer's enabled state is not touched");
    QCOMPARE(f.serial->commPort(), 4);
    QVERIFY(!f.serial->portOpen());
    QCOMPARE(*f.log, QStringList({"CommPort=4"}));
    QVERIFY(f.boxes->shown.isEmpty());
}

void TestOptions::acceptUnsavedIsTold_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("settings folder is a file") << "folderfile";
    QTest::newRow("settings file is a folder") << "filefolder";
    QTest::newRow("read-only folder") << "readonlyfolder";
    QTest::newRow("read-only file") << "readonlyfile";
}

// The store refuses the values: they still apply for this run, and the operator is told.
void TestOptions::acceptUnsavedIsTold()
{
    QFETCH(QString, how);
    WindowFixture f;
    const QString folder = f.storeDir.path();
    Frmprincipal &w = f.load();
    if (how == "folderfile") {
        QVERIFY(QDir(folder).removeRecursively());
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (how == "filefolder") {
        QVERIFY(QDir().mkpath(f.storeFile()));
    } else {
        f.store("puerto", "2");
        const QString target = how == "readonlyfolder" ? folder : f.storeFile();
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(how == "readonlyfolder" ? folder + QStringLiteral("/sonda") : f.storeFile());
        if (probe.open(QIODevice::ReadWrite)) {
            probe.close();
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("this account writes read-only files and folders (root)");
        }
    }
    const QString before = stored(f, "puerto");
    const bool shown = whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                                               [&](frmopciones &d) {
                                                   d.Option1[3]->click();
                                                   d.HScroll1->setValue(30);
                                                   d.cmdaceptar->click();
                                               });
    if (how == "folderfile")
        QFile::remove(folder);
    else if (how.startsWith(QLatin1String("readonly")))
        QFile::setPermissions(how == "readonlyfolder" ? folder : f.storeFile(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(shown);
    // It really was not stored.
    QCOMPARE(stored(f, "puerto"), before);
    QCOMPARE(f.values.puertocom, quint8(4));
    QCOMPARE(f.values.intervalosegs, quint8(30));
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = 4"));
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 30 segs"));
    QCOMPARE(w.Timer1().interval(), 30000);
    QCOMPARE(f.serial->commPort(), 4);
    QCOMPARE(f.boxes->shown.size(), 1);
    const auto &box = f.boxes->shown.constFirst();
    QCOMPARE(box.text, QStringLiteral("No se han podido guardar las opciones. Se aplican ahora, pero se "
                                      "perderán al cerrar el programa."));
    QCOMPARE(box.buttons, MessageBoxes::OkOnly);
    QCOMPARE(box.icon, MessageBoxes::Warning);
    QCOMPARE(box.caption, QStringLiteral("Pregonal"));
    QVERIFY2(box.detail.contains(f.storeFile()), qPrintable(box.detail));
    QVERIFY(w.findChildren<frmopciones *>().isEmpty());
}

void TestOptions::acceptUnchangedWritesBothSettings()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    QVERIFY(!f.storeExists());
    whileModal<frmopciones>([&] { w.mnuopciones_Click(); }, [&](frmopciones &d) { d.cmdaceptar->click(); });
    QCOMPARE(stored(f, "puerto"), QStringLiteral("2"));
    QCOMPARE(stored(f, "intervalo"), QStringLiteral("10"));
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = 2"));
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 10 segs"));
    QCOMPARE(w.Timer1().interval(), 10000);
}

void TestOptions::menuIntervalIsResetByAccept()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    for (int i = 0; i < 5; ++i)
        w.mnuaumentarintervalo_Click();
    QCOMPARE(w.Timer1().interval(), 15000);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 15 segs"));
    whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                            [&](frmopciones &d) {
                                QCOMPARE(d.HScroll1->value(), 10);
                                QCOMPARE(d.label1->text(), QStringLiteral("10 segs"));
                                d.cmdaceptar->click();
                            });
    QCOMPARE(w.Timer1().interval(), 10000);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 10 segs"));
    QCOMPARE(stored(f, "intervalo"), QStringLiteral("10"));
}

void TestOptions::labelFollowsTheBar()
{
    WindowFixture f;
    f.load();
    const auto dialog = optionsDialog(f);
    frmopciones &d = *dialog;
    QCOMPARE(d.label1->text(), QStringLiteral("10 segs"));
    for (int v = 1; v <= 60; ++v) {
        d.HScroll1->setValue(v);
        QCOMPARE(d.label1->text(), QStringLiteral("%1 segs").arg(v));
    }
    // Arrows and clicks in the trough move it by one and stop at the ends.
    d.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(d.label1->text(), QStringLiteral("60 segs"));
    d.HScroll1->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(d.label1->text(), QStringLiteral("59 segs"));
    d.HScroll1->setValue(1);
    d.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub);
    d.HScroll1->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(d.HScroll1->value(), 1);
    QCOMPARE(d.label1->text(), QStringLiteral("1 segs"));
    d.HScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(d.label1->text(), QStringLiteral("2 segs"));
    QTest::keyClick(d.HScroll1, Qt::Key_Right);
    QCOMPARE(d.label1->text(), QStringLiteral("3 segs"));
    QTest::keyClick(d.HScroll1, Qt::Key_Right);
    QTest::keyClick(d.HScroll1, Qt::Key_Left);
    QCOMPARE(d.label1->text(), QStringLiteral("3 segs"));
    QTest::keyClick(d.HScroll1, Qt::Key_End);
    QCOMPARE(d.label1->text(), QStringLiteral("60 segs"));
    QTest::keyClick(d.HScroll1, Qt::Key_Home);
    QCOMPARE(d.label1->text(), QStringLiteral("1 segs"));
    d.HScroll1->setValue(0);
    d.HScroll1->setValue(61);
    QCOMPARE(d.HScroll1->value(), 60);
}

void TestOptions::labelWaitsForTheThumb()
{
    WindowFixture f;
    f.load();
    const auto dialog = optionsDialog(f);
    frmopciones &d = *dialog;
    QVERIFY(!d.HScroll1->hasTracking());
    d.HScroll1->setSliderDown(true);
    d.HScroll1->setSliderPosition(40);
    d.HScroll1->setSliderPosition(45);
    QCOMPARE(d.HScroll1->value(), 10);
    QCOMPARE(d.label1->text(), QStringLiteral("10 segs"));
    d.HScroll1->setSliderDown(false);
    QCOMPARE(d.HScroll1->value(), 45);
    QCOMPARE(d.label1->text(), QStringLiteral("45 segs"));
}

void TestOptions::portButtonsFormOneGroup()
{
    WindowFixture f;
    f.load();
    const auto dialog = optionsDialog(f);
    frmopciones &d = *dialog;
    QVERIFY(d.Option1Group->exclusive());
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(d.Option1Group->button(i), d.Option1[i]);
        QCOMPARE(d.Option1[i]->parentWidget(), &d);
        QCOMPARE(d.Option1[i]->text(), QString::number(i + 1));
    }
    for (int i : {5, 0, 3}) {
        d.Option1[i]->click();
        QCOMPARE(checkedPort(d), i);
        for (int j = 0; j < 6; ++j)
            QCOMPARE(d.Option1[j]->isChecked(), j == i);
    }
}

void TestOptions::storedValuesOutOfRange_data()
{
    QTest::addColumn<QString>("puerto");
    QTest::addColumn<QString>("intervalo");
    QTest::addColumn<int>("checked");
    QTest::addColumn<int>("bar");
    QTest::newRow("port 0, interval 0") << "0"
                                        << "0" << -1 << 1;
    QTest::newRow("port 7, interval 61") << "7"
                                         << "61" << -1 << 60;
    QTest::newRow("port 255, interval 255") << "255"
                                            << "255" << -1 << 60;
    QTest::newRow("port 0, interval 60") << "0"
                                         << "60" << -1 << 60;
    QTest::newRow("port 1, interval 1") << "1"
                                        << "1" << 0 << 1;
    QTest::newRow("port 6, interval 255") << "6"
                                          << "255" << 5 << 60;
}

void TestOptions::storedValuesOutOfRange()
{
    QFETCH(QString, puerto);
    QFETCH(QString, intervalo);
    QFETCH(int, checked);
    QFETCH(int, bar);
    WindowFixture f;
    f.store("puerto", puerto);
    f.store("intervalo", intervalo);
    Frmprincipal &w = f.load();
    const quint8 port = f.values.puertocom;
    bool accepted = false;
    const bool shown =
        whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                                [&](frmopciones &d) {
                                    QCOMPARE(checkedPort(d), checked);
                                    QCOMPARE(d.HScroll1->value(), bar);
                                    QCOMPARE(d.label1->text(), QStringLiteral("%1 segs").arg(bar));
                                    d.cmdaceptar->click();
                                    accepted = d.result() == QDialog::Accepted;
                                });
    // Rows whose values are already in range would pass untouched if the dialog never came up.
    QVERIFY(shown);
    QVERIFY(accepted);
    // With no button selected the port is neither stored nor changed.
    QCOMPARE(f.values.puertocom, checked < 0 ? port : quint8(checked + 1));
    QCOMPARE(stored(f, "puerto"), checked < 0 ? puerto : QString::number(checked + 1));
    QCOMPARE(f.serial->commPort(), int(f.values.puertocom));
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = %1").arg(f.values.puertocom));
    QCOMPARE(stored(f, "intervalo"), QString::number(bar));
    QCOMPARE(f.values.intervalosegs, quint8(bar));
    QCOMPARE(w.Timer1().interval(), bar * 1000);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = %1 segs").arg(bar));
}

void TestOptions::layout()
{
    WindowFixture f;
    f.store("puerto", "0"); // so that no port button is selected, as at creation
    f.load();
    const auto dialog = optionsDialog(f);
    frmopciones &d = *dialog;
    QCOMPARE(d.windowTitle(), QStringLiteral("Opciones"));
    QCOMPARE(d.size(), QSize(291, 201));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(!d.windowIcon().isNull());
    QVERIFY(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(d.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!d.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!d.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(d.parentWidget(), f.window.get());

    QCOMPARE(d.Frame1->title(), QStringLiteral("Puerto COM:"));
    QCOMPARE(d.Frame2->title(), QStringLiteral("Intervalo:"));
    QCOMPARE(d.Frame1->geometry(), QRect(25, 8, 241, 49));
    QCOMPARE(d.Frame2->geometry(), QRect(25, 80, 241, 57));
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(d.Option1[i]->geometry(), QRect(twips(735 + 480 * i), 24, 41, 25));
        QVERIFY(!d.Option1[i]->isChecked());
    }
    // The buttons and the bar lie in front of their frames; the label lies in its frame.
    const QObjectList children = d.children();
    QVERIFY(children.indexOf(d.Frame1) < children.indexOf(d.Option1[0]));
    QVERIFY(children.indexOf(d.Frame2) < children.indexOf(d.HScroll1));
    QCOMPARE(d.label1->parentWidget(), d.Frame2);
    QCOMPARE(d.label1->geometry(), QRect(176, 24, 57, 25));
    QCOMPARE(d.label1->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(d.label1->font().pointSizeF(), 9.75);
    QVERIFY(d.label1->font().bold());

    QCOMPARE(d.HScroll1->orientation(), Qt::Horizontal);
    QCOMPARE(d.HScroll1->geometry(), QRect(41, 104, 153, 25));
    QCOMPARE(d.HScroll1->minimum(), 1);
    QCOMPARE(d.HScroll1->maximum(), 60);
    QCOMPARE(d.HScroll1->singleStep(), 1);
    QCOMPARE(d.HScroll1->pageStep(), 1);

    QCOMPARE(d.Line1->frameShape(), QFrame::HLine);
    QCOMPARE(d.Line1->geometry(), QRect(0, 151, 304, 2));
    QCOMPARE(d.Line1->lineWidth(), 2);

    QCOMPARE(d.cmdcancelar->text(), QStringLiteral("Cancelar"));
    QCOMPARE(d.cmdaceptar->text(), QStringLiteral("Aceptar"));
    QCOMPARE(d.cmdcancelar->geometry(), QRect(9, 164, 121, 33));
    QCOMPARE(d.cmdaceptar->geometry(), QRect(161, 164, 121, 33));
    for (QPushButton *b : {d.cmdcancelar, d.cmdaceptar}) {
        QCOMPARE(b->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(b->font().pointSizeF(), 9.75);
        QVERIFY(!b->font().bold());
    }
    QVERIFY(d.cmdaceptar->isDefault());
    QVERIFY(!d.cmdcancelar->isDefault());
}

void TestOptions::tabOrder()
{
    WindowFixture f;
    f.load();
    const auto dialog = optionsDialog(f);
    frmopciones &d = *dialog;
    QList<QWidget *> chain;
    QWidget *w = d.Option1[0];
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w;
        w = w->nextInFocusChain();
    } while (w != d.Option1[0]);
    const QList<QWidget *> expected = {d.Option1[0], d.Option1[1], d.Option1[2],  d.Option1[3], d.Option1[4],
                                       d.Option1[5], d.HScroll1,   d.cmdcancelar, d.cmdaceptar};
    QCOMPARE(chain, expected);
}

void TestOptions::focusEntersAtTheSelectedPort()
{
    WindowFixture f;
    f.store("puerto", "3");
    Frmprincipal &w = f.load();
    QVERIFY(f.showActive());
    QList<QWidget *> visited;
    whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                            [&](frmopciones &d) {
                                QTRY_VERIFY(d.isActiveWindow());
                                visited << d.focusWidget();
                                for (int i = 0; i < 4; ++i) {
                                    QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
                                    visited << d.focusWidget();
                                }
                                QCOMPARE(visited, (QList<QWidget *>{d.Option1[2], d.HScroll1, d.cmdcancelar,
                                                                    d.cmdaceptar, d.Option1[2]}));
                                // Enter from the bar presses "Aceptar".
                                d.HScroll1->setFocus();
                                QTest::keyClick(d.HScroll1, Qt::Key_Right);
                                QTest::keyClick(d.HScroll1, Qt::Key_Enter);
                                QVERIFY(!d.isVisible());
                            });
    QCOMPARE(visited.size(), 5);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 11 segs"));
}

void TestOptions::centredOverMainWindow()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    w.move(200, 150);
    QVERIFY(f.showActive());
    QPoint centre;
    whileModal<frmopciones>([&] { w.mnuopciones_Click(); },
                            [&](frmopciones &d) { centre = d.frameGeometry().center(); });
    const QPoint expected = w.frameGeometry().center();
    QVERIFY2((centre - expected).manhattanLength() <= 4,
             qPrintable(QStringLiteral("dialog centre %1,%2, window centre %3,%4")
                            .arg(centre.x())
                            .arg(centre.y())
                            .arg(expected.x())
                            .arg(expected.y())));
}

void TestOptions::tooltipsNameTheDevices()
{
    WindowFixture f;
    f.store("COM3", "/dev/ttyUSB0", "puertos");
    f.load();
    QStringList tips;
    const bool shown = whileModal<frmopciones>([&] { f.window->mnuopciones_Click(); },
                                               [&](frmopciones &d) {
                                                   for (QRadioButton *button : d.Option1)
                                                       tips << button->toolTip();
                                               });
    QVERIFY(shown);
    QCOMPARE(tips.size(), 6);
    QCOMPARE(tips[2], QStringLiteral("/dev/ttyUSB0"));
    for (int i : {0, 1, 3, 4, 5}) {
#ifdef Q_OS_WIN
        QCOMPARE(tips[i], QStringLiteral("COM%1").arg(i + 1));
#else
        QCOMPARE(tips[i], QStringLiteral("/dev/ttyS%1").arg(i));
#endif
    }
    QVERIFY(f.log->isEmpty());
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"

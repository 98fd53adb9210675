// Start-up, the settings it reads, the main window's layout and the ways the program ends.
#include "windowfixture.h"

#include <QMenuBar>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void firstRunUsesDefaultsAndWritesNothing();
    void storedValuesLoad_data();
    void storedValuesLoad();
    void settingsStoreReadsAndWrites();
    void exitQuestion_data();
    void exitQuestion();
    void closeControlEndsWithoutQuestion();
    void endingTheProgramUnkeys();
    void clientAreaAndBars();
    void menuTree();
    void toolbarButtons();
};

void TestStartup::firstRunUsesDefaultsAndWritesNothing()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    QCOMPARE(w.windowTitle(), QStringLiteral("Pregonal - sin mensaje"));
    QCOMPARE(f.panel(1), QStringLiteral("Stand by"));
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = 2"));
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 10 segs"));
    QCOMPARE(w.Timer1().interval(), 10000);
    QVERIFY(!w.Timer1().isEnabled());
    QCOMPARE(f.serial->commPort(), 2);
    QVERIFY(!f.serial->portOpen());
    QCOMPARE(f.values.puertocom, quint8(2));
    QCOMPARE(f.values.intervalosegs, quint8(10));
    QCOMPARE(f.audio->deviceType(), QStringLiteral("waveaudio"));
    QCOMPARE(f.files->filter(), QStringLiteral("*.wav|*.wav|"));
    QVERIFY(!w.mnuedicion->menuAction()->isEnabled());
    QVERIFY(w.mnuarchivo->menuAction()->isEnabled());
    for (int b : {4, 5, 7})
        QVERIFY2(!w.button(b)->isEnabled(), qPrintable(QString::number(b)));
    for (int b : {1, 2, 9})
        QVERIFY(w.button(b)->isEnabled());
    QVERIFY(!w.modounavez());
    QCOMPARE(w.ProgressBar1()->value(), 0);
    w.close();
    QVERIFY(!f.storeExists());
}

void TestStartup::storedValuesLoad_data()
{
    QTest::addColumn<QString>("puerto");
    QTest::addColumn<QString>("intervalo");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("seconds");
    const struct
    {
        const char *name, *puerto, *intervalo;
        int port, seconds;
    } rows[] = {
        {"6 and 60", "6", "60", 6, 60},
        {"0 and 0 load as they are", "0", "0", 0, 0},
        {"255 and 255", "255", "255", 255, 255},
        {"text", "abc", "diez", 2, 10},
        {"empty", "", "", 2, 10},
        {"negative", "-1", "-5", 2, 10},
        {"too large", "300", "256", 2, 10},
        {"fraction", "7.5", "7,5", 2, 10},
        {"hex", "&h3", "0x10", 2, 10},
        {"one good, one bad", "4", "1e3", 4, 10},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString(r.puerto) << QString(r.intervalo) << r.port << r.seconds;
}

void TestStartup::storedValuesLoad()
{
    QFETCH(QString, puerto);
    QFETCH(QString, intervalo);
    QFETCH(int, port);
    QFETCH(int, seconds);
    WindowFixture f;
    f.store(QStringLiteral("puerto"), puerto);
    f.store(QStringLiteral("intervalo"), intervalo);
    QFile file(f.storeFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    f.load();
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = %1").arg(port));
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = %1 segs").arg(seconds));
    QCOMPARE(f.window->Timer1().interval(), seconds * 1000);
    QCOMPARE(f.serial->commPort(), port);
    QVERIFY(!f.serial->portOpen());

    f.window->close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestStartup::settingsStoreReadsAndWrites()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QCOMPARE(store.read("Pregonal", "conf", "puerto", "2"), QStringLiteral("2"));
    QVERIFY2(QDir(dir.path()).isEmpty(), "reading must create nothing");
    store.write("Pregonal", "conf", "puerto", "3");
    store.write("Pregonal", "conf", "intervalo", "25");
    store.write("Pregonal", "conf", "puerto", "4");
    SettingsStore again(dir.path());
    QCOMPARE(again.read("Pregonal", "conf", "puerto", "2"), QStringLiteral("4"));
    QCOMPARE(again.read("Pregonal", "conf", "intervalo", "10"), QStringLiteral("25"));
    QCOMPARE(again.read("Pregonal", "otra", "puerto", "x"), QStringLiteral("x"));
    QCOMPARE(again.read("Otro", "conf", "puerto", "y"), QStringLiteral("y"));
}

void TestStartup::exitQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ends");
    QTest::newRow("No") << int(MessageBoxes::No) << false;
    QTest::newRow("Yes") << int(MessageBoxes::Yes) << true;
}

void TestStartup::exitQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, ends);
    WindowFixture f;
    Frmprincipal &w = f.load();
    QVERIFY(f.showActive());
    QSignalSpy unloaded(&w, &Frmprincipal::unloaded);
    f.boxes->answers.push_back(answer);
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(f.boxes->shown.size(), 1);
    const auto box = f.boxes->shown.first();
    QCOMPARE(box.text, QStringLiteral("¿Quiere Salir?"));
    QCOMPARE(box.buttons, MessageBoxes::YesNo);
    QCOMPARE(box.icon, MessageBoxes::Warning);
    QCOMPARE(box.caption, QStringLiteral("Pregonal"));
    QCOMPARE(int(w.respuesta), answer);
    QCOMPARE(unloaded.count(), ends ? 1 : 0);
    QCOMPARE(w.isVisible(), !ends);
    QCOMPARE(w.windowTitle(), QStringLiteral("Pregonal - sin mensaje"));
}

void TestStartup::closeControlEndsWithoutQuestion()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    f.openMessage();
    w.show();
    w.mnuenbucle_Click();
    f.log->clear();
    QSignalSpy unloaded(&w, &Frmprincipal::unloaded);
    QVERIFY(w.close());
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(f.boxes->shown.isEmpty());
    QVERIFY2(f.log->isEmpty(), "unloading itself sends nothing to the devices");
}

void TestStartup::endingTheProgramUnkeys()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.window->mnuunavez_Click();
    QVERIFY(f.serial->dtr && f.serial->rts);
    bool keyed = true;
    f.serial->destroyedKeyed = &keyed;
    f.window.reset();
    QVERIFY(!keyed);
    QCOMPARE(f.log->mid(f.log->size() - 4), QStringList({"DTR=0", "RTS=0", "PortOpen=0", "close"}));
}

void TestStartup::clientAreaAndBars()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int menu = w.menuBar()->height();
    QCOMPARE(w.width(), 435);
    QCOMPARE(w.height() - menu, 82);
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.Toolbar1()->height(), 28);
    QCOMPARE(w.ProgressBar1()->height(), 29);
    QCOMPARE(w.statusBar()->height(), 25);
    QCOMPARE(w.Toolbar1()->geometry().top(), menu);
    QCOMPARE(w.ProgressBar1()->geometry().top(), menu + 28);
    QCOMPARE(w.statusBar()->geometry().top(), menu + 57);
    QCOMPARE(w.ProgressBar1()->minimum(), 0);
    QCOMPARE(w.ProgressBar1()->maximum(), 100);
    // The given widths, or more where the font needs it to show the longest text whole.
    const int widths[] = {67, 90, 103};
    const QStringList longest = {"Stand by", "Puerto COM = 255", "Intervalo = 255 segs"};
    int right = 0;
    for (int n = 1; n <= 3; ++n) {
        QLabel *panel = w.panel(n);
        QVERIFY(panel->width() >= widths[n - 1]);
        QVERIFY(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(longest.at(n - 1)));
        QVERIFY(panel->x() >= right);
        right = panel->geometry().right();
    }
    QVERIFY2(right < w.width(), "all three panels fit in the window");
    QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(w.windowIcon().availableSizes().contains(QSize(16, 16)));
    QVERIFY(w.windowIcon().availableSizes().contains(QSize(32, 32)));
}

void TestStartup::menuTree()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    QStringList tree;
    std::function<void(const QList<QAction *> &, const QString &)> walk = [&](const QList<QAction *> &actions,
                                                                              const QString &indent) {
        for (QAction *a : actions) {
            const QString shortcut = a->shortcut().toString();
            tree << indent + (a->isSeparator() ? QStringLiteral("-") : a->text()) +
                        (shortcut.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(shortcut));
            if (a->menu())
                walk(a->menu()->actions(), indent + QStringLiteral("  "));
        }
    };
    walk(w.menuBar()->actions(), QString());
    const QStringList expected = {"&Archivo",
                                  "  &Nuevo mensaje [Ctrl+N]",
                                  "  &Abrir mensaje [Ctrl+A]",
                                  "  -",
                                  "  &Opciones",
                                  "  &Estación...",
                                  "  -",
                                  "  &Salir [Ctrl+S]",
                                  "&Edición",
                                  "  &TX",
                                  "    Una &vez [F5]",
                                  "    En &bucle [F6]",
                                  "  &Stop [F7]",
                                  "  -",
                                  "  &Aumentar intervalo [F9]",
                                  "  &Disminuir intervalo [F8]",
                                  "Acerca de..."};
    QCOMPARE(tree, expected);
}

void TestStartup::toolbarButtons()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    const QList<QAction *> actions = w.Toolbar1()->actions();
    QCOMPARE(actions.size(), 9);
    const QStringList tips = {"Nuevo Mensaje (Ctrl+N)",
                              "Abir Mensaje (Ctrl+A)",
                              "",
                              "Reproducir una vez (F5)",
                              "Reproducir en bucle (F6)",
                              "",
                              "Stop (F7)",
                              "",
                              "Propiedades/Opciones"};
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(actions.at(i), w.button(i + 1));
        QCOMPARE(actions.at(i)->isSeparator(), tips.at(i).isEmpty());
        if (!actions.at(i)->isSeparator()) {
            QCOMPARE(actions.at(i)->toolTip(), tips.at(i));
            QVERIFY(!actions.at(i)->icon().isNull());
            QVERIFY(actions.at(i)->text().isEmpty() || actions.at(i)->text() == tips.at(i));
        }
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

// The command map and the enable states of menus and toolbar, through every way in.
#include "windowfixture.h"

#include <QMenuBar>
#include <QTest>
#include <QToolBar>

namespace {
// The ten items whose enabled state the program writes, as one comparable line.
QString layout(Frmprincipal &w)
{
    auto on = [](bool b) { return b ? '1' : '0'; };
    QString s;
    s += QStringLiteral("archivo=%1 edicion=%2 tx=%3 stop=%4 |")
             .arg(on(w.mnuarchivo->menuAction()->isEnabled()))
             .arg(on(w.mnuedicion->menuAction()->isEnabled()))
             .arg(on(w.mnutx->menuAction()->isEnabled()))
             .arg(on(w.mnustop->isEnabled()));
    for (int b : {1, 2, 4, 5, 7, 9})
        s += QStringLiteral(" %1=%2").arg(b).arg(on(w.button(b)->isEnabled()));
    return s;
}

const QString kAfterStartup = QStringLiteral("archivo=1 edicion=0 tx=1 stop=1 | 1=1 2=1 4=0 5=0 7=0 9=1");
const QString kMessageLoaded = QStringLiteral("archivo=1 edicion=1 tx=1 stop=0 | 1=1 2=1 4=1 5=1 7=0 9=1");
const QString kSending = QStringLiteral("archivo=0 edicion=1 tx=0 stop=1 | 1=0 2=0 4=0 5=0 7=1 9=0");

enum class Way { Menu, Key, Toolbar };
} // namespace

Q_DECLARE_METATYPE(Way)

class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void enableStates_data();
    void enableStates();
    void separatorsDoNothing();
    void shortcutsInertWhereNotOffered_data();
    void shortcutsInertWhereNotOffered();
    void intervalKeysActWhileSending();
    void settingsReloadedAfterTheTransmission();

private:
    void give(WindowFixture &f, Way way, const QString &command);
};

void TestCommands::give(WindowFixture &f, Way way, const QString &command)
{
    Frmprincipal &w = *f.window;
    struct Entry
    {
        QAction *item;
        QKeySequence key;
        int button;
    };
    const QHash<QString, Entry> map = {
        {"open", {w.mnuabrirmensaje, QKeySequence(Qt::CTRL | Qt::Key_A), 2}},
        {"once", {w.mnuunavez, QKeySequence(Qt::Key_F5), 4}},
        {"loop", {w.mnuenbucle, QKeySequence(Qt::Key_F6), 5}},
        {"stop", {w.mnustop, QKeySequence(Qt::Key_F7), 7}},
    };
    if (command == QLatin1String("done")) {
        f.audio->finishPlay();
        return;
    }
    if (command == QLatin1String("slot")) {
        // A scheduled message falls due, as the schedule hands it to the window's engine.
        ScheduleEntry entry;
        entry.number = 3;
        entry.archivo = QStringLiteral("/tmp/programa.wav");
        QVERIFY(f.window->schedule().sendScheduled(entry));
        QVERIFY(f.serial->dtr);
        return;
    }
    if (command == QLatin1String("tick")) {
        // The pause after a loop play is being timed, and when it runs out the message plays again.
        QVERIFY2(f.window->Timer1().isEnabled(), "the repeat timer was not armed for the pause");
        QVERIFY(!f.audio->playing);
        const auto plays = f.log->count(QStringLiteral("play"));
        QTRY_VERIFY(f.audio->playing && f.log->count(QStringLiteral("play")) == plays + 1);
        QVERIFY(!f.window->Timer1().isEnabled());
        return;
    }
    if (command == QLatin1String("open"))
        f.files->answers.push_back(QStringLiteral("/tmp/m.wav"));
    const Entry e = map.value(command);
    switch (way) {
    case Way::Menu:
        e.item->trigger();
        break;
    case Way::Key:
        QTest::keySequence(&w, e.key);
        break;
    case Way::Toolbar:
        QTest::mouseClick(w.Toolbar1()->widgetForAction(w.button(e.button)), Qt::LeftButton);
        break;
    }
    if (command == QLatin1String("stop"))
        QVERIFY2(!f.serial->dtr && !f.serial->rts && !f.serial->portOpen(), "Stop left the transmitter keyed");
}

void TestCommands::enableStates_data()
{
    QTest::addColumn<Way>("way");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("expected");
    const QList<QPair<const char *, Way>> ways = {
        {"menu", Way::Menu}, {"key", Way::Key}, {"toolbar", Way::Toolbar}};
    const QList<std::tuple<const char *, QStringList, QString>> rows = {
        {"after start-up", {}, kAfterStartup},
        {"message loaded", {"open"}, kMessageLoaded},
        {"opened twice", {"open", "open"}, kMessageLoaded},
        {"sending once", {"open", "once"}, kSending},
        {"single play ended", {"open", "once", "done"}, kMessageLoaded},
        {"loop playing", {"open", "loop"}, kSending},
        {"loop pause", {"open", "loop", "done"}, kSending},
        {"loop playing again", {"open", "loop", "done", "tick"}, kSending},
        {"loop pause after playing again", {"open", "loop", "done", "tick", "done"}, kSending},
        {"loop playing a third time", {"open", "loop", "done", "tick", "done", "tick"}, kSending},
        {"stop while sending once", {"open", "once", "stop"}, kMessageLoaded},
        {"stop in a loop play", {"open", "loop", "stop"}, kMessageLoaded},
        {"stop in a pause", {"open", "loop", "done", "stop"}, kMessageLoaded},
        {"sending again after stop", {"open", "loop", "stop", "once"}, kSending},
        {"scheduled, no message", {"slot"}, kSending},
        {"scheduled ended, no message", {"slot", "done"}, kAfterStartup},
        {"scheduled stopped, no message", {"slot", "stop"}, kAfterStartup},
        {"scheduled, message loaded", {"open", "slot"}, kSending},
        {"scheduled ended, message loaded", {"open", "slot", "done"}, kMessageLoaded},
        {"scheduled stopped, message loaded", {"open", "slot", "stop"}, kMessageLoaded},
        {"scheduled in a loop pause", {"open", "loop", "done", "slot"}, kSending},
        {"scheduled in a loop pause, ended", {"open", "loop", "done", "slot", "done"}, kSending},
        {"scheduled in a loop pause, stopped", {"open", "loop", "done", "slot", "stop"}, kMessageLoaded},
        {"message opened after a scheduled one", {"slot", "done", "open"}, kMessageLoaded},
    };
    for (const auto &[wayName, way] : ways) {
        for (const auto &[name, events, expected] : rows)
            QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(wayName, name)))
                << way << events << expected;
    }
}

void TestCommands::enableStates()
{
    QFETCH(Way, way);
    QFETCH(QStringList, events);
    QFETCH(QString, expected);
    WindowFixture f;
    f.load();
    f.window->Timer1().setInterval(10);
    QVERIFY(f.showActive());
    for (const QString &event : events) {
        give(f, way, event);
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(layout(*f.window), expected);
    QVERIFY(f.boxes->shown.isEmpty());
}

void TestCommands::separatorsDoNothing()
{
    for (const bool loaded : {false, true}) {
        WindowFixture f;
        f.load();
        if (loaded)
            f.openMessage();
        const QString before = layout(*f.window);
        const auto dialogs = f.files->shown.size();
        for (int index : {3, 6, 8, 0, 10}) {
            f.window->Toolbar1_ButtonClick(index);
            if (index != 0 && index != 10)
                f.window->button(index)->trigger();
        }
        QCOMPARE(layout(*f.window), before);
        QVERIFY(f.log->isEmpty());
        QCOMPARE(f.files->shown.size(), dialogs);
    }
}

void TestCommands::shortcutsInertWhereNotOffered_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QKeySequence>("key");
    const QList<QPair<const char *, QStringList>> states = {
        {"after start-up", {}}, {"message loaded", {"open"}}, {"sending", {"open", "loop"}}};
    const QList<QPair<QKeySequence, QList<int>>> keys = {
        // the key, and in which of the three states above it must do nothing
        {QKeySequence(Qt::Key_F5), {0, 2}},        {QKeySequence(Qt::Key_F6), {0, 2}},
        {QKeySequence(Qt::Key_F7), {0, 1}},        {QKeySequence(Qt::Key_F8), {0}},
        {QKeySequence(Qt::Key_F9), {0}},           {QKeySequence(Qt::CTRL | Qt::Key_N), {2}},
        {QKeySequence(Qt::CTRL | Qt::Key_A), {2}}, {QKeySequence(Qt::CTRL | Qt::Key_S), {2}},
    };
    for (const auto &[key, inert] : keys) {
        for (int s : inert)
            QTest::newRow(
                qPrintable(key.toString() + QStringLiteral(" ") + QLatin1String(states.at(s).first)))
                << states.at(s).second << key;
    }
}

void TestCommands::shortcutsInertWhereNotOffered()
{
    QFETCH(QStringList, setup);
    QFETCH(QKeySequence, key);
    WindowFixture f;
    f.load();
    QVERIFY(f.showActive());
    for (const QString &event : setup)
        give(f, Way::Menu, event);
    f.log->clear();
    const QString before = layout(*f.window);
    const QString panel3 = f.panel(3);
    const int interval = f.window->Timer1().interval();
    const auto dialogs = f.files->shown.size();
    QTest::keySequence(f.window.get(), key);
    QCOMPARE(layout(*f.window), before);
    QVERIFY2(f.log->isEmpty(), qPrintable(f.log->join(',')));
    QCOMPARE(f.files->shown.size(), dialogs);
    QVERIFY(f.boxes->shown.isEmpty());
    QCOMPARE(f.panel(3), panel3);
    QCOMPARE(f.window->Timer1().interval(), interval);
    QVERIFY(f.window->isVisible());
}

void TestCommands::intervalKeysActWhileSending()
{
    WindowFixture f;
    f.load();
    QVERIFY(f.showActive());
    give(f, Way::Key, QStringLiteral("open"));
    QTest::keyClick(f.window.get(), Qt::Key_F9);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 11 segs"));
    give(f, Way::Key, QStringLiteral("loop"));
    QTest::keyClick(f.window.get(), Qt::Key_F8);
    QTest::keyClick(f.window.get(), Qt::Key_F8);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 9 segs"));
    QCOMPARE(f.window->Timer1().interval(), 9000);
    QCOMPARE(f.values.intervalosegs, quint8(10));
}

// Settings another program stored are read again once the transmission on the air has ended:
// its pause and port stay as they were until then; the panels follow.
void TestCommands::settingsReloadedAfterTheTransmission()
{
    WindowFixture f;
    f.startSending(false);
    f.store("intervalo", "20");
    f.store("puerto", "3");
    f.window->station().reload();
    QCOMPARE(f.window->Timer1().interval(), 10000);
    QCOMPARE(f.serial->commPort(), 2);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 10 segs"));
    f.window->mnustop_Click();
    QTRY_COMPARE(f.window->Timer1().interval(), 20000);
    QCOMPARE(f.serial->commPort(), 3);
    QCOMPARE(f.panel(2), QStringLiteral("Puerto COM = 3"));
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 20 segs"));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"

// The recorder: recording a new message through the main window's audio device.
#include "windowfixture.h"

#include "frmgrabador.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>

namespace {
// What the main window shows of the current message: title, menus and toolbar buttons.
struct MainState
{
    QString title;
    bool edicion, stop, b4, b5, b7, archivo;
    bool operator==(const MainState &o) const
    {
        return title == o.title && edicion == o.edicion && stop == o.stop && b4 == o.b4 && b5 == o.b5 &&
               b7 == o.b7 && archivo == o.archivo;
    }
};

MainState mainState(const Frmprincipal &w)
{
    return {w.windowTitle(),
            w.mnuedicion->menuAction()->isEnabled(),
            w.mnustop->isEnabled(),
            w.button(4)->isEnabled(),
            w.button(5)->isEnabled(),
            w.button(7)->isEnabled(),
            w.mnuarchivo->menuAction()->isEnabled()};
}

char *toString(const MainState &s)
{
    return QTest::toString(QStringLiteral("%1 edicion=%2 stop=%3 b4=%4 b5=%5 b7=%6 archivo=%7")
                               .arg(s.title)
                               .arg(s.edicion)
                               .arg(s.stop)
                               .arg(s.b4)
                               .arg(s.b5)
                               .arg(s.b7)
                               .arg(s.archivo));
}

const QString kNew = QStringLiteral("/tmp/nuevo.wav");
const QString kPrevious = QStringLiteral("/tmp/mensaje.wav");
} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT
private slots:
    void saveDialogCancelled();
    void cancelBeforeRecording_data();
    void cancelBeforeRecording();
    void recordThenStop_data();
    void recordThenStop();
    void grabarOnlyOnce();
    void enterPressesGrabar();
    void recordingCannotStart_data();
    void recordingCannotStart();
    void saveFails();
    void noCloseControl();
    void layout();
};

void TestRecorder::saveDialogCancelled()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    f.openMessage(kPrevious);
    const MainState before = mainState(w);
    f.files->answers.push_back(std::nullopt);
    const bool shown = whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); }, [](frmgrabador &) {});
    QVERIFY(!shown);
    QCOMPARE(f.files->shown.last().form, QStringLiteral("save"));
    QCOMPARE(f.audio->fileName(), kPrevious);
    QCOMPARE(mainState(w), before);
    QVERIFY(f.log->isEmpty());
}

void TestRecorder::cancelBeforeRecording_data()
{
    QTest::addColumn<QString>("previous");
    QTest::addColumn<bool>("byEsc");
    QTest::newRow("no message yet, Cancelar") << QString() << false;
    QTest::newRow("no message yet, Esc") << QString() << true;
    QTest::newRow("message open, Cancelar") << kPrevious << false;
    QTest::newRow("message open, Esc") << kPrevious << true;
}

void TestRecorder::cancelBeforeRecording()
{
    QFETCH(QString, previous);
    QFETCH(bool, byEsc);
    WindowFixture f;
    Frmprincipal &w = f.load();
    if (!previous.isEmpty())
        f.openMessage(previous);
    const MainState before = mainState(w);
    f.files->answers.push_back(kNew);
    bool closed = false;
    const bool shown = whileModal<frmgrabador>(
        [&] { w.mnunuevomensaje_Click(); },
        [&](frmgrabador &d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Grabar ") + kNew);
            QCOMPARE(f.audio->fileName(), kNew);
            QVERIFY(d.cmdgrabar->isEnabled());
            QCOMPARE(d.cmdcancelar->text(), QStringLiteral("Cancelar"));
            if (byEsc)
                QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_Escape);
            else
                d.cmdcancelar->click();
            closed = !d.isVisible();
        });
    QVERIFY(shown);
    QVERIFY(closed);
    // No command reached the device; it names the message the title names again.
    QCOMPARE(*f.log, QStringList({"FileName=" + kNew, "FileName=" + previous}));
    QCOMPARE(f.audio->fileName(), previous);
    QVERIFY(!f.audio->isOpen && !f.audio->recording);
    QCOMPARE(mainState(w), before);
    QVERIFY(f.boxes->shown.isEmpty());
    QVERIFY(w.findChildren<frmgrabador *>().isEmpty());
}

void TestRecorder::recordThenStop_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("byEsc");
    QTest::addColumn<bool>("hadMessage");
    QTest::newRow("Stop") << kNew << false << false;
    QTest::newRow("Esc while recording") << kNew << true << false;
    QTest::newRow("over an open message") << kNew << false << true;
    QTest::newRow("path without extension") << QStringLiteral("/tmp/aviso de las ocho") << false << false;
    QTest::newRow("path with a dot in the folder") << QStringLiteral("/tmp/v1.2/aviso") << true << true;
}

void TestRecorder::recordThenStop()
{
    QFETCH(QString, path);
    QFETCH(bool, byEsc);
    QFETCH(bool, hadMessage);
    WindowFixture f;
    Frmprincipal &w = f.load();
    if (hadMessage)
        f.openMessage(kPrevious);
    f.files->answers.push_back(path);
    QStringList whileRecording;
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                QCOMPARE(d.windowTitle(), QStringLiteral("Grabar ") + path);
                                d.cmdgrabar->click();
                                QVERIFY(!d.cmdgrabar->isEnabled());
                                QCOMPARE(d.cmdcancelar->text(), QStringLiteral("Stop"));
                                QVERIFY(f.audio->recording);
                                whileRecording = *f.log;
                                // Nothing of the main window changes until the recording is saved.
                                QCOMPARE(w.windowTitle(), hadMessage
                                                              ? "Pregonal - " + kPrevious
                                                              : QStringLiteral("Pregonal - sin mensaje"));
                                if (byEsc)
                                    QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_Escape);
                                else
                                    d.cmdcancelar->click();
                                QVERIFY(!d.isVisible());
                            });
    QCOMPARE(whileRecording, QStringList({"FileName=" + path, "open", "record"}));
    QCOMPARE(*f.log, QStringList({"FileName=" + path, "open", "record", "stop", "save", "close"}));
    QCOMPARE(f.audio->fileName(), path);
    QVERIFY(!f.audio->isOpen && !f.audio->recording);
    QCOMPARE(mainState(w), (MainState{"Pregonal - " + path, true, false, true, true, false, true}));
    QVERIFY(f.boxes->shown.isEmpty());
    QVERIFY(w.findChildren<frmgrabador *>().isEmpty());
    QVERIFY2(!w.Timer1().isEnabled() && !f.serial->portOpen(), "nothing is transmitted");
}

void TestRecorder::grabarOnlyOnce()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    f.files->answers.push_back(kNew);
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                d.cmdgrabar->click();
                                d.cmdgrabar->click();
                                QTest::keyClick(d.cmdgrabar, Qt::Key_Space);
                                QCOMPARE(f.log->count("open"), 1);
                                QCOMPARE(f.log->count("record"), 1);
                                d.cmdcancelar->click();
                            });
    QCOMPARE(*f.log, QStringList({"FileName=" + kNew, "open", "record", "stop", "save", "close"}));
}

void TestRecorder::enterPressesGrabar()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    QVERIFY(f.showActive());
    f.files->answers.push_back(kNew);
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                QTRY_VERIFY(d.isActiveWindow());
                                QCOMPARE(d.focusWidget(), d.cmdgrabar);
                                QTest::keyClick(d.focusWidget(), Qt::Key_Return);
                                QCOMPARE(d.cmdcancelar->text(), QStringLiteral("Stop"));
                                // The focus leaves the disabled button for "Stop"; Enter then presses that.
                                QCOMPARE(d.focusWidget(), d.cmdcancelar);
                                QTest::keyClick(d.focusWidget(), Qt::Key_Return);
                                QVERIFY(!d.isVisible());
                            });
    QCOMPARE(*f.log, QStringList({"FileName=" + kNew, "open", "record", "stop", "save", "close"}));
    QCOMPARE(w.windowTitle(), "Pregonal - " + kNew);
}

void TestRecorder::recordingCannotStart_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<bool>("hadMessage");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("open fails") << "open" << false << QStringList({"close"});
    QTest::newRow("record fails") << "record" << false << QStringList({"open", "close"});
    QTest::newRow("record fails, message open") << "record" << true << QStringList({"open", "close"});
    QTest::newRow("open and close fail") << "open,close" << true << QStringList();
}

void TestRecorder::recordingCannotStart()
{
    QFETCH(QString, failing);
    QFETCH(bool, hadMessage);
    QFETCH(QStringList, commands);
    WindowFixture f;
    Frmprincipal &w = f.load();
    if (hadMessage)
        f.openMessage(kPrevious);
    const QString previous = f.audio->fileName();
    const MainState before = mainState(w);
    for (const QString &c : failing.split(','))
        f.audio->failOn.insert(c);
    f.files->answers.push_back(kNew);
    bool closed = false;
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                d.cmdgrabar->click();
                                closed = !d.isVisible();
                            });
    QVERIFY2(closed, "the recorder closes at once");
    QCOMPARE(f.boxes->shown.size(), 1);
    const auto box = f.boxes->shown.first();
    QVERIFY(box.text.startsWith(QStringLiteral("No se puede empezar a grabar el mensaje.")));
    QCOMPARE(box.buttons, MessageBoxes::OkOnly);
    QCOMPARE(box.icon, MessageBoxes::Critical);
    QCOMPARE(box.caption, QStringLiteral("Pregonal"));
    QCOMPARE(*f.log, QStringList({"FileName=" + kNew}) + commands + QStringList({"FileName=" + previous}));
    QCOMPARE(f.audio->fileName(), previous);
    QCOMPARE(mainState(w), before);
}

void TestRecorder::saveFails()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ya existe.wav"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("RIFF grabacion anterior");
    }
    WindowFixture f;
    Frmprincipal &w = f.load();
    f.openMessage(kPrevious);
    const MainState before = mainState(w);
    f.audio->failOn.insert(QStringLiteral("save"));
    f.files->answers.push_back(path);
    bool closed = false;
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                d.cmdgrabar->click();
                                d.cmdcancelar->click();
                                closed = !d.isVisible();
                            });
    QVERIFY(closed);
    QCOMPARE(f.boxes->shown.size(), 1);
    const auto box = f.boxes->shown.first();
    QVERIFY(box.text.startsWith(QStringLiteral("No se ha podido guardar la grabación en ") + path));
    QCOMPARE(box.icon, MessageBoxes::Critical);
    QCOMPARE(box.buttons, MessageBoxes::OkOnly);
    QCOMPARE(box.caption, QStringLiteral("Pregonal"));
    QCOMPARE(*f.log,
             QStringList({"FileName=" + path, "open", "record", "stop", "close", "FileName=" + kPrevious}));
    QCOMPARE(f.audio->fileName(), kPrevious);
    QCOMPARE(mainState(w), before);
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("RIFF grabacion anterior"));
}

void TestRecorder::noCloseControl()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    f.files->answers.push_back(kNew);
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                const Qt::WindowFlags flags = d.windowFlags();
                                QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
                                QVERIFY(flags.testFlag(Qt::WindowTitleHint));
                                QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
                                QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
                                QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
                                QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
                                // Closing from outside is refused, before and while recording.
                                QVERIFY(!d.close());
                                QVERIFY(d.isVisible());
                                d.cmdgrabar->click();
                                QVERIFY(!d.close());
                                QVERIFY(d.isVisible());
                                QCOMPARE(d.cmdcancelar->text(), QStringLiteral("Stop"));
                                d.cmdcancelar->click();
                            });
    QCOMPARE(*f.log, QStringList({"FileName=" + kNew, "open", "record", "stop", "save", "close"}));
}

void TestRecorder::layout()
{
    WindowFixture f;
    Frmprincipal &w = f.load();
    f.files->setFileName(kNew);
    frmgrabador d(w, QString());
    QCOMPARE(d.windowTitle(), QStringLiteral("Grabar ") + kNew);
    QCOMPARE(d.size(), QSize(297, 66));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(!d.windowIcon().isNull());
    QCOMPARE(d.parentWidget(), &w);
    QCOMPARE(d.findChildren<QPushButton *>().size(), 2);
    QCOMPARE(d.cmdgrabar->text(), QStringLiteral("Grabar"));
    QCOMPARE(d.cmdcancelar->text(), QStringLiteral("Cancelar"));
    QCOMPARE(d.cmdgrabar->geometry(), QRect(160, 17, 121, 33));
    QCOMPARE(d.cmdcancelar->geometry(), QRect(16, 17, 121, 33));
    for (QPushButton *b : {d.cmdgrabar, d.cmdcancelar}) {
        QCOMPARE(b->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(b->font().pointSizeF(), 9.75);
        QVERIFY(!b->isDefault());
    }
    QCOMPARE(d.cmdgrabar->nextInFocusChain(), d.cmdcancelar);
    QVERIFY(f.log->isEmpty());
}

QTEST_MAIN(TestRecorder)
#include "tst_recorder.moc"

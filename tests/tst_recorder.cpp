// The recorder: recording a new message through the main window's audio device.
#include "windowfixture.h"

#include "frmgrabador.h"
#include "qtplatform.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
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
const QString kCannotStart =
    QStringLiteral("No se puede empezar a grabar el mensaje. Compruebe que la entrada "
                   "de sonido esté libre y vuelva a intentarlo.");
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
    void takeLevelIsChecked_data();
    void takeLevelIsChecked();
    void grabarOnlyOnce();
    void enterPressesGrabar();
    void recordingCannotStart_data();
    void recordingCannotStart();
    void saveFails();
    void noCloseControl();
    void layout();
    void programEnds_data();
    void programEnds();
    void quotedNamesTyped_data();
    void quotedNamesTyped();
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
                                // The recording's open, which does not read what the path holds.
                                QVERIFY(f.audio->openedForRecording);
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

// After Stop, a take far from the level on the air or clipped is saved only when the operator says
// so; "No" leaves the file at the path and the previous message as they were.
void TestRecorder::takeLevelIsChecked_data()
{
    QTest::addColumn<QString>("nivel"); // stored; empty: off
    QTest::addColumn<double>("lufs");
    QTest::addColumn<double>("peak");
    QTest::addColumn<int>("answer"); // 0: no box expected
    QTest::addColumn<bool>("saved");
    using B = MessageBoxes;
    QTest::newRow("near the target") << "-23" << -30.0 << -6.0 << 0 << true;
    QTest::newRow("off, not clipped") << "" << -45.0 << -20.0 << 0 << true;
    QTest::newRow("far, saved anyway") << "-23" << -40.0 << -20.0 << int(B::Yes) << true;
    QTest::newRow("far, not saved") << "-16" << -40.0 << -20.0 << int(B::No) << false;
    QTest::newRow("off, clipped, not saved") << "" << -9.0 << 0.4 << int(B::No) << false;
}

void TestRecorder::takeLevelIsChecked()
{
    QFETCH(QString, nivel);
    QFETCH(double, lufs);
    QFETCH(double, peak);
    QFETCH(int, answer);
    QFETCH(bool, saved);
    WindowFixture f;
    f.store(QStringLiteral("nivel"), nivel);
    Frmprincipal &w = f.load();
    f.openMessage(kPrevious);
    f.audio->take.lufs = lufs;
    f.audio->take.truePeakDb = peak;
    f.audio->take.durationMs = 4000;
    f.audio->take.measured = true;
    if (answer)
        f.boxes->answers.push_back(answer);
    f.files->answers.push_back(kNew);
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                d.cmdgrabar->click();
                                d.cmdcancelar->click();
                                QVERIFY(!d.isVisible());
                            });
    QCOMPARE(f.boxes->shown.size(), answer ? 1 : 0);
    if (answer) {
        QCOMPARE(f.boxes->shown.first().buttons, MessageBoxes::YesNo);
        QVERIFY(f.boxes->shown.first().text.contains(QStringLiteral("¿Quiere guardarla de todos modos?")));
    }
    QCOMPARE(f.log->contains(QStringLiteral("save")), saved);
    QCOMPARE(f.audio->fileName(), saved ? kNew : kPrevious);
    QCOMPARE(w.windowTitle(), "Pregonal - " + (saved ? kNew : kPrevious));
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
    QCOMPARE(box.text, kCannotStart);
    QCOMPARE(box.detail, failing.section(',', 0, 0) + " falla"); // the device's cause
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
    QCOMPARE(box.text, QStringLiteral("No se ha podido guardar la grabación en %1. El mensaje anterior sigue "
                                      "siendo el actual.")
                           .arg(path));
    QCOMPARE(box.detail, QStringLiteral("save falla"));
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
    frmgrabador d(&w, *f.audio, *f.files, *f.boxes, QString(), [] { return false; });
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

// A termination signal or a logout ends the program in order from any state of the recorder: a
// running recording is saved as "Stop" saves it, no box waits for an answer, the window unloads.
void TestRecorder::programEnds_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("recorded");
    const QStringList saved{"open", "record", "stop", "save", "close"};
    const QStringList unsaved{"open", "record", "stop", "close", "FileName=" + kPrevious};
    QTest::newRow("ready") << "ready" << QStringList({"FileName=" + kPrevious}) << false;
    QTest::newRow("recording") << "recording" << saved << true;
    QTest::newRow("recording, save fails") << "savefails" << unsaved << false;
    QTest::newRow("while the save-failure box is up") << "boxup" << unsaved << false;
}

void TestRecorder::programEnds()
{
    QFETCH(QString, state);
    QFETCH(QStringList, commands);
    QFETCH(bool, recorded);
    WindowFixture f;
    Frmprincipal &w = f.load();
    f.openMessage(kPrevious);
    const MainState before = mainState(w);
    QSignalSpy unloaded(&w, &Frmprincipal::unloaded);
    if (state != QLatin1String("recording") && state != QLatin1String("ready"))
        f.audio->failOn.insert(QStringLiteral("save"));
    f.files->answers.push_back(kNew);
    bool closed = false;
    whileModal<frmgrabador>([&] { w.mnunuevomensaje_Click(); },
                            [&](frmgrabador &d) {
                                if (state != QLatin1String("ready"))
                                    d.cmdgrabar->click();
                                if (state == QLatin1String("boxup")) {
                                    f.boxes->whileShown = [&] { w.endProgram(); };
                                    d.cmdcancelar->click(); // "Stop"; the save fails and a box comes up
                                } else {
                                    w.endProgram();
                                }
                                closed = !d.isVisible();
                            });
    QVERIFY2(closed, "the recorder closes");
    QCOMPARE(*f.log, QStringList({"FileName=" + kNew}) + commands);
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(w.ending());
    QCOMPARE(f.boxes->shown.size(), state == QLatin1String("boxup") ? 1 : 0);
    if (recorded)
        QCOMPARE(w.windowTitle(), "Pregonal - " + kNew);
    else
        QCOMPARE(mainState(w), before);
    QVERIFY(w.findChildren<frmgrabador *>().isEmpty());
}

// A name typed in the save dialog is one path, double quotes and all: the dialog must not read it
// as a list of names and save somewhere else.
void TestRecorder::quotedNamesTyped_data()
{
    QTest::addColumn<QString>("typed");    // %1: the test's folder
    QTest::addColumn<QString>("expected"); // empty: refused, with a message
    QTest::newRow("folder with quotes, whole path") << "%1/carpeta \"y\"/aviso.wav"
                                                    << "%1/carpeta \"y\"/aviso.wav";
    QTest::newRow("folder with quotes, from the folder shown") << "carpeta \"y\"/aviso.wav"
                                                               << "%1/carpeta \"y\"/aviso.wav";
    QTest::newRow("name with quotes") << "\"aviso\" 2.wav"
                                      << "%1/\"aviso\" 2.wav";
    QTest::newRow("no quotes") << "%1/aviso.wav"
                               << "%1/aviso.wav";
    QTest::newRow("missing folder with quotes") << "%1/no \"existe\"/aviso.wav"
                                                << "";
}

void TestRecorder::quotedNamesTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("carpeta \"y\"")));
    typed.replace(QStringLiteral("%1"), dir.path());
    expected.replace(QStringLiteral("%1"), dir.path());
    QWidget parent;
    QtFileDialog files(&parent);
    files.setFilter(QStringLiteral("*.wav|*.wav|"));
    files.setFileName(dir.path() + QStringLiteral("/"));
    QString message;
    bool typedIn = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        auto *edit = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!edit)
            return;
        dialog->setDirectory(dir.path());
        edit->setText(typed);
        typedIn = true;
        QTimer::singleShot(0, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                message = box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog->isVisible())
            dialog->reject();
    });
    const bool chosen = files.showSave();
    QVERIFY(typedIn);
    if (expected.isEmpty()) {
        QVERIFY(!chosen);
        QVERIFY2(message.contains(QStringLiteral("no existe")), qPrintable(message));
    } else {
        QVERIFY(chosen);
        QCOMPARE(files.fileName(), expected);
        QVERIFY(message.isEmpty());
    }
}

QTEST_MAIN(TestRecorder)
#include "tst_recorder.moc"

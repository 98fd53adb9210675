// The schedule and log windows on the real main window built on fakes: what the schedule dialog
// stores and runs, what an entry accepts, the log window kept up to date, and the log lines of
// the operator's own transmissions and of the station test.
#include "windowfixture.h"

#include "frmavisos.h"
#include "frmestacion.h"
#include "frmprogramacion.h"
#include "frmregistro.h"
#include "settingsstore.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include "stationlock.h"

#include <QTableWidget>
#include <QTreeWidget>

namespace {
const QDateTime kMonday9 = QDateTime(QDate(2026, 3, 2), QTime(8, 59, 30));

QString conf(const WindowFixture &f)
{
    QFile file(f.storeFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList column(const QTreeWidget *list, int c)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(c);
    return texts;
}

// A message file (empty: the fakes never read it) in the fixture's own folder.
QString message(const WindowFixture &f, const QString &name)
{
    const QString path = f.storeDir.filePath(name);
    QFile(path).open(QIODevice::WriteOnly);
    return path;
}

// Answers the entry dialog that command opens with body, then presses "Aceptar".
void withEntry(const std::function<void()> &command, const std::function<void(frmentrada &)> &body)
{
    QVERIFY(whileModal<frmentrada>(command, [&](frmentrada &e) {
        body(e);
        e.cmdaceptar->click();
    }));
}
} // namespace

class TestScheduleWindows : public QObject
{
    Q_OBJECT
private slots:
    void scheduleStoredOnAcceptOnly();
    void entryRefusesWhatCannotRun_data();
    void entryRefusesWhatCannotRun();
    void logWindowFollowsTheLog();
    void operatorAndTestTransmissionsAreLogged();
    void logFailureToldOnceTransmittingGoesOn();
    void scheduledFailuresGoToOneNotice();
    void scheduleRunsWhereTheLockIs();
};

void TestScheduleWindows::scheduleStoredOnAcceptOnly()
{
    WindowFixture f;
    f.clockAt = kMonday9;
    f.store("archivo", message(f, "mercado.wav"), "programa1");
    f.store("horas", "09:00, 13:30", "programa1");
    f.store("dias", "L,M,X,J,V", "programa1");
    f.store("archivo", message(f, "id.wav"), "programa2");
    f.store("cada", "10", "programa2");
    f.store("activo", "0", "programa2");
    f.load();
    const QString before = conf(f);
    QCOMPARE(f.audio->prepared, QStringList{message(f, "mercado.wav")}); // measured ahead: the active one

    // Cancelled after changes: nothing stored, nothing changed in what runs.
    QVERIFY(whileModal<frmprogramacion>(
        [&] { f.window->mnuprogramacion_Click(); },
        [&](frmprogramacion &d) {
            QCOMPARE(column(d.lstProgramas, 1), (QStringList{"mercado.wav", "id.wav"}));
            QCOMPARE(column(d.lstProgramas, 2), (QStringList{"09:00, 13:30", "cada 10 min"}));
            QCOMPARE(column(d.lstProgramas, 5), (QStringList{"09:00 del 02/03/2026", "ninguna"}));
            QCOMPARE(d.lstProgramas->topLevelItem(1)->checkState(0), Qt::Unchecked);
            QCOMPARE(d.lblProxima->text(),
                     QStringLiteral("Próxima emisión: a las 09:00 del 02/03/2026, mercado.wav."));
            d.lstProgramas->setCurrentItem(d.lstProgramas->topLevelItem(0));
            d.cmdquitar->click();
            QCOMPARE(d.lstProgramas->topLevelItemCount(), 1);
            QCOMPARE(d.lblProxima->text(), QStringLiteral("No hay ninguna emisión programada."));
            d.cmdcancelar->click();
        }));
    QCOMPARE(conf(f), before);
    QCOMPARE(f.window->schedule().scheduler().entries().size(), 2);

    // Switched on, one added through the file chooser, accepted: stored and running.
    const QString red = message(f, "red.wav");
    f.files->answers.push_back(red);
    QVERIFY(whileModal<frmprogramacion>(
        [&] { f.window->mnuprogramacion_Click(); },
        [&](frmprogramacion &d) {
            d.lstProgramas->topLevelItem(1)->setCheckState(0, Qt::Checked);
            QCOMPARE(d.lstProgramas->topLevelItem(1)->text(5), QStringLiteral("09:00 del 02/03/2026"));
            withEntry([&] { d.cmdanadir->click(); },
                      [&](frmentrada &e) {
                          e.cmdexaminar->click();
                          QCOMPARE(e.txtArchivo->text(), red);
                          e.txtHoras->setText(QStringLiteral("21:00"));
                          e.chkDias[5]->setChecked(false);
                          e.chkDias[6]->setChecked(false);
                          e.chkHasta->setChecked(true);
                          e.dteHasta->setDate(QDate(2026, 6, 30));
                      });
            QCOMPARE(column(d.lstProgramas, 4).last(), QStringLiteral("hasta 30/06/2026"));
            d.cmdaceptar->click();
        }));
    const ScheduleReading stored = readSchedule(f.window->settings());
    QVERIFY2(stored.problems.isEmpty(), qPrintable(stored.problems.join(' ')));
    QCOMPARE(stored.entries.size(), 3);
    QVERIFY(stored.entries.at(1).activo);
    QCOMPARE(stored.entries.at(2).archivo, red);
    QCOMPARE(horasText(stored.entries.at(2).horas), QStringLiteral("21:00"));
    QCOMPARE(diasText(stored.entries.at(2).dias), QStringLiteral("L,M,X,J,V"));
    QCOMPARE(stored.entries.at(2).hasta, QDate(2026, 6, 30));
    QCOMPARE(f.window->schedule().scheduler().entries(), stored.entries);
    QCOMPARE(f.audio->prepared.mid(f.audio->prepared.size() - 3),
             (QStringList{message(f, "mercado.wav"), message(f, "id.wav"), red}));
    QVERIFY(f.boxes->shown.isEmpty());
}

void TestScheduleWindows::entryRefusesWhatCannotRun_data()
{
    QTest::addColumn<QString>("archivo"); // %1: a folder holding a.wav
    QTest::addColumn<QString>("horas");
    QTest::addColumn<bool>("noDays");
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<bool>("past");   // its only day was yesterday
    QTest::addColumn<int>("answer");  // to the box that asks, or 0
    QTest::addColumn<QString>("why"); // empty: accepted
    const QString a = QStringLiteral("%1/a.wav");
    QTest::newRow("fine") << a << "9:00, 13:30" << false << false << false << 0 << "";
    QTest::newRow("no message") << "  "
                                << "09:00" << false << false << false << 0 << "Elija el mensaje";
    QTest::newRow("message not there")
        << "%1/falta.wav"
        << "09:00" << false << false << false << 0 << "No se encuentra el mensaje «%1/falta.wav»";
    QTest::newRow("message without its path")
        << "a.wav"
        << "09:00" << false << false << false << 0 << "El mensaje «a.wav» no lleva la ruta completa";
    QTest::newRow("no time") << a << "" << false << false << false << 0 << "Escriba al menos una hora";
    QTest::newRow("bad time") << a << "09:00, 24:15" << false << false << false << 0 << "la hora «24:15»";
    QTest::newRow("no day") << a << "09:00" << true << false << false << 0 << "Marque al menos un día";
    QTest::newRow("dates backwards") << a << "09:00" << false << true << false << 0 << "La fecha «hasta»";
    QTest::newRow("never runs: not kept") << a << "09:00" << false << false << true << int(MessageBoxes::No)
                                          << "no se enviará nunca (Próxima: ninguna)";
    QTest::newRow("never runs: kept")
        << a << "09:00" << false << false << true << int(MessageBoxes::Yes) << "";
}

void TestScheduleWindows::entryRefusesWhatCannotRun()
{
    QFETCH(QString, archivo);
    QFETCH(QString, horas);
    QFETCH(bool, noDays);
    QFETCH(bool, backwards);
    QFETCH(bool, past);
    QFETCH(int, answer);
    QFETCH(QString, why);
    WindowFixture f;
    f.load();
    const QString folder = QFileInfo(message(f, "a.wav")).path();
    ManualClock clock(kMonday9);
    ScheduleEntry start;
    frmentrada e(f.window.get(), start, *f.files, *f.boxes, clock);
    e.txtArchivo->setText(archivo.arg(folder));
    e.txtHoras->setText(horas);
    for (QCheckBox *day : e.chkDias)
        day->setChecked(!noDays);
    e.chkDesde->setChecked(true);
    e.chkHasta->setChecked(true);
    const QDate day = past ? kMonday9.date().addDays(-1) : kMonday9.date();
    e.dteDesde->setDate(day);
    e.dteHasta->setDate(backwards ? day.addDays(-1) : day);
    if (answer)
        f.boxes->answers.push_back(answer);
    e.show();
    e.cmdaceptar->click();
    if (why.isEmpty()) {
        QCOMPARE(e.result(), int(QDialog::Accepted));
        QCOMPARE(f.boxes->shown.size(), answer ? 1 : 0);
        QCOMPARE(horasText(e.entry().horas),
                 horas == "09:00" ? QStringLiteral("09:00") : QStringLiteral("09:00,13:30"));
        return;
    }
    QVERIFY(e.isVisible());
    QCOMPARE(f.boxes->shown.size(), 1);
    const QString told = f.boxes->shown.first().text + ' ' + f.boxes->shown.first().detail;
    QVERIFY2(told.contains(why.arg(folder)), qPrintable(told));
}

void TestScheduleWindows::logWindowFollowsTheLog()
{
    WindowFixture f;
    f.load();
    f.openMessage(QStringLiteral("/tmp/aviso.wav"));
    f.window->mnuunavez_Click();
    f.audio->finishPlay();
    QVERIFY(
        whileModal<frmregistro>([&] { f.window->mnuregistro_Click(); },
                                [&](frmregistro &d) {
                                    QCOMPARE(d.lstRegistro->rowCount(), 1);
                                    QVERIFY(!d.lblVacio->isVisible());
                                    QCOMPARE(d.lstRegistro->item(0, 2)->text(), QStringLiteral("manual"));
                                    QCOMPARE(d.lstRegistro->item(0, 3)->text(), QStringLiteral("aviso.wav"));
                                    QCOMPARE(d.lstRegistro->item(0, 5)->text(), QStringLiteral("completa"));
                                    // A transmission that ends while the window is open shows on top.
                                    f.window->mnuenbucle_Click();
                                    f.audio->finishPlay();
                                    f.window->mnustop_Click();
                                    QTRY_COMPARE(d.lstRegistro->rowCount(), 2);
                                    QCOMPARE(d.lstRegistro->item(0, 2)->text(), QStringLiteral("bucle"));
                                    QCOMPARE(d.lstRegistro->item(0, 5)->text(), QStringLiteral("detenida"));
                                    d.cmdcarpeta->click();
                                    QCOMPARE(f.launcher->foldersOpened, QStringList{f.logDir.path()});
                                    f.launcher->openFolders = false;
                                    d.cmdcarpeta->click();
                                    QCOMPARE(f.boxes->shown.size(), 1);
                                    QVERIFY(f.boxes->shown.first().detail.contains(f.logDir.path()));
                                }));
}

// "Probar" is logged as "prueba" and holds the schedule while it runs.
void TestScheduleWindows::operatorAndTestTransmissionsAreLogged()
{
    WindowFixture f;
    f.load();
    QVERIFY(whileModal<frmestacion>([&] { f.window->mnuestacion_Click(); },
                                    [&](frmestacion &d) {
                                        d.cmdprobar->click();
                                        QVERIFY(f.window->schedule().busyPlaying());
                                        f.sound->player->finishPlay();
                                        QVERIFY(!f.window->schedule().busyPlaying());
                                        d.cmdprobar->click();
                                        QTest::keyClick(&d, Qt::Key_Escape);
                                        d.cmdcancelar->click();
                                    }));
    QVERIFY(!f.window->schedule().busyPlaying());
    f.serial->failOpen = true;
    f.openMessage(QStringLiteral("/tmp/aviso.wav"));
    f.window->mnuunavez_Click();
    const QList<QStringList> lines = readLatestLog(f.logDir.path(), 10);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(2).mid(2, 1) + lines.at(2).mid(5, 1), (QStringList{"prueba", "completa"}));
    QCOMPARE(lines.at(1).mid(2, 1) + lines.at(1).mid(5, 1), (QStringList{"prueba", "detenida"}));
    QCOMPARE(lines.at(0).mid(2, 1) + lines.at(0).mid(5, 1), (QStringList{"manual", "fallo"}));
    QCOMPARE(lines.at(0).at(6).left(46), QStringLiteral("Puerto ocupado. No se puede enviar el mensaje."));
}

// A log that cannot be written is told once, after the transmission has ended, and the next
// transmissions go out all the same.
void TestScheduleWindows::logFailureToldOnceTransmittingGoesOn()
{
    WindowFixture f;
    f.load();
    QVERIFY(QDir(f.logDir.path()).removeRecursively());
    QVERIFY(QFile(f.logDir.path()).open(QIODevice::WriteOnly)); // a file where the folder was
    f.openMessage(QStringLiteral("/tmp/aviso.wav"));
    for (int i = 0; i < 3; ++i) {
        f.window->mnuunavez_Click();
        QVERIFY(f.serial->dtr);
        f.audio->finishPlay();
        QVERIFY(!f.serial->dtr);
    }
    QTRY_COMPARE(f.boxes->shown.size(), 1);
    QTest::qWait(50);
    QCOMPARE(f.boxes->shown.size(), 1);
    QVERIFY(f.boxes->shown.first().text.startsWith(QStringLiteral("No se puede escribir el registro")));
    QVERIFY(!f.boxes->shown.first().detail.isEmpty());
    QFile::remove(f.logDir.path());
}

// Scheduled messages that cannot go out (a file that cannot be played, a sound failure in the
// middle) are told in one notice that waits for nobody, one row each, and in the first panel's
// tooltip; the next slot still goes out. Once closed, the next failure starts a new list.
void TestScheduleWindows::scheduledFailuresGoToOneNotice()
{
    WindowFixture f;
    f.clockAt = kMonday9;
    f.store("archivo", message(f, "falta.wav"), "programa1");
    f.store("horas", "09:00, 09:03", "programa1");
    f.store("archivo", message(f, "corta.wav"), "programa2");
    f.store("horas", "09:01", "programa2");
    const QString red = message(f, "red.wav");
    f.store("archivo", red, "programa3");
    f.store("horas", "09:02", "programa3");
    f.load();
    auto slot = [&](qint64 ms) {
        f.clock->advance(ms);
        f.window->schedule().scheduler().check();
        QTest::qWait(10); // whatever is told from the event loop
    };
    auto row = [&](int r) {
        QStringList texts;
        for (int c = 0; c < 4; ++c)
            texts << f.window->avisos()->lstAvisos->item(r, c)->text().left(c == 3 ? 45 : 100);
        return texts.join('|');
    };
    f.audio->failOn << QStringLiteral("checkplayable");
    slot(31000);
    QVERIFY(f.window->avisos() && f.window->avisos()->isVisible() && !f.window->avisos()->isModal());
    QCOMPARE(row(0), QStringLiteral("02/03/2026 09:00:01|programa 1|falta.wav|No hay sonido. No se puede enviar el mensaje."));
    QVERIFY(f.window->panel(1)->toolTip().contains(QStringLiteral("programa 1 de las 09:00: No hay sonido.")));
    f.audio->failOn.clear();

    slot(60000);
    QVERIFY(f.serial->dtr);
    f.audio->finishPlay(AudioDevice::Failure);
    QVERIFY(!f.serial->dtr && !f.serial->rts);
    frmavisos *notice = f.window->avisos();
    QCOMPARE(notice->count(), 2);
    QCOMPARE(row(1).left(56), QStringLiteral("02/03/2026 09:01:01|programa 2|corta.wav|No se ha podido"));
    QCOMPARE(f.window->findChildren<frmavisos *>().size(), 1);

    slot(60000);
    QVERIFY(f.serial->dtr && f.audio->fileName() == red);
    f.audio->finishPlay();
    QVERIFY(f.boxes->shown.isEmpty());

    notice->cmdcerrar->click();
    QVERIFY(!notice->isVisible());
    QVERIFY(f.window->panel(1)->toolTip().isEmpty());
    f.audio->failOn << QStringLiteral("checkplayable");
    slot(60000);
    QCOMPARE(f.window->avisos(), notice);
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->count(), 1);
    QCOMPARE(row(0).left(30), QStringLiteral("02/03/2026 09:03:01|programa 1"));
    QVERIFY(f.boxes->shown.isEmpty());

    QStringList results;
    for (const QStringList &line : readLatestLog(f.logDir.path(), 10))
        results.prepend(line.value(2) + "|" + line.value(5));
    QCOMPARE(results, (QStringList{"programa 1|fallo", "programa 2|fallo", "programa 3|completa", "programa 1|fallo"}));
}

QTEST_MAIN(TestScheduleWindows)
#include "tst_schedulewindows.moc"

// Another process runs the schedule of these settings: the window sends none of its slots and
// says who runs them; once it holds the lock itself, no one else gets it until the window goes.
void TestScheduleWindows::scheduleRunsWhereTheLockIs()
{
    WindowFixture f;
    f.clockAt = kMonday9;
    f.store("archivo", message(f, "red.wav"), "programa1");
    f.store("horas", "09:00", "programa1");
    const QString settingsFile = settingsLocation(SettingsStore(f.storeDir.path()));
    auto other = std::make_unique<StationLock>(settingsFile, f.logDir.path());
    QVERIFY(other->acquire(QStringLiteral("programa")));
    f.load();
    QVERIFY(!f.window->station().scheduleRunning());
    f.clock->advance(31000);
    f.window->schedule().scheduler().check();
    QTest::qWait(10);
    QVERIFY(!f.serial->dtr && f.log->isEmpty());
    QCOMPARE(f.window->panel(1)->toolTip(),
             QStringLiteral("La programación no se ejecuta en esta ventana: la ejecuta el proceso %1 "
                            "(pregonal --programa).")
                 .arg(QCoreApplication::applicationPid()));
    QVERIFY(f.boxes->shown.isEmpty());

    other.reset();
    f.window.reset();
    f.load();
    QVERIFY(f.window->station().scheduleRunning());
    StationLock late(settingsFile, f.logDir.path());
    QVERIFY(!late.acquire(QStringLiteral("programa")));
    QCOMPARE(late.holder().what, QStringLiteral("ventana"));
    f.window.reset();
    QVERIFY(late.acquire(QStringLiteral("programa")));
}

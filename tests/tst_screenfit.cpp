// Dialogs sized to the screen they open on: on two offscreen screens, 800x600 and 1280x800 side by
// side, each dialog lies within the screen's area with all its buttons, and where the screen is
// wide enough shows every column without scrolling sideways.
#include "clock.h"
#include "fakeplatform.h"
#include "fakeserialline.h"
#include "fakesoundserver.h"
#include "frmentrada.h"
#include "frmestacion.h"
#include "frmprogramacion.h"
#include "frmregistro.h"
#include "keyermaker.h"
#include "keyingsettings.h"
#include "screenfit.h"
#include "transmissionlog.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {
const QDateTime kNow(QDate(2026, 3, 2), QTime(8, 59, 30));

QScreen *screenOf(const QSize &size)
{
    for (QScreen *s : QGuiApplication::screens()) {
        if (s->size() == size)
            return s;
    }
    return nullptr;
}

QList<ScheduleEntry> entries(int count)
{
    QList<ScheduleEntry> list;
    for (int i = 1; i <= count; ++i) {
        ScheduleEntry e;
        e.number = i;
        e.archivo =
            QStringLiteral("/home/radio/mensajes/aviso del mercado municipal de abastos número %1.wav")
                .arg(i);
        e.horas = {QTime(9, 0), QTime(13, 30), QTime(17, 45), QTime(20, 15)};
        e.dias = 0x1f;
        e.desde = QDate(2026, 1, 1);
        e.hasta = QDate(2026, 12, 31);
        list << e;
    }
    return list;
}

void writeLog(const QString &folder, int lines)
{
    TransmissionLog log(folder);
    log.setJournal(false);
    for (int i = 0; i < lines; ++i) {
        TransmissionRecord r;
        r.inicio = kNow.addSecs(i * 60);
        r.fin = r.inicio.addSecs(12);
        r.origen = LogOrigin::Programa;
        r.programa = i + 1;
        r.archivo = QStringLiteral("/home/radio/mensajes/aviso del mercado municipal de abastos.wav");
        r.resultado = LogResult::Fallo;
        r.detalle = QStringLiteral("No se ha podido reproducir el mensaje: el servidor de sonido se ha ido "
                                   "durante la reproducción y no ha vuelto en el tiempo de espera.");
        log.append(r);
    }
}
} // namespace

class TestScreenFit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fittedGeometry_data();
    void fittedGeometry();
    void dialogsFitTheScreen_data();
    void dialogsFitTheScreen();
};

void TestScreenFit::initTestCase()
{
    QVERIFY2(screenOf({800, 600}) && screenOf({1280, 800}), "the offscreen screens were not set up");
}

void TestScreenFit::fittedGeometry_data()
{
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");
    // The room is the area less 8 px at the sides and bottom and 32 px at the top.
    QTest::newRow("fits") << QSize(600, 400) << QSize(300, 200) << QRect(0, 0, 1280, 800)
                          << QRect(340, 212, 600, 400);
    QTest::newRow("too wide and tall")
        << QSize(1000, 900) << QSize(300, 200) << QRect(0, 0, 800, 600) << QRect(8, 32, 784, 560);
    QTest::newRow("smaller than its minimum")
        << QSize(100, 50) << QSize(300, 200) << QRect(0, 0, 800, 600) << QRect(250, 212, 300, 200);
    QTest::newRow("second screen, panel at the top")
        << QSize(2000, 300) << QSize(300, 200) << QRect(800, 30, 1280, 770) << QRect(808, 277, 1264, 300);
}

void TestScreenFit::fittedGeometry()
{
    QFETCH(QSize, wanted);
    QFETCH(QSize, minimum);
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    QCOMPARE(::fittedGeometry(wanted, minimum, available), expected);
}

void TestScreenFit::dialogsFitTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("allColumns"); // every column in view
    for (const QSize &screen : {QSize(800, 600), QSize(1280, 800)}) {
        const bool wide = screen.width() > 800;
        const QByteArray at = QByteArray::number(screen.width()) + 'x' + QByteArray::number(screen.height());
        QTest::newRow("programacion, 3, " + at) << screen << "programacion" << 3 << wide;
        QTest::newRow("programacion, 30, " + at) << screen << "programacion" << 30 << wide;
        QTest::newRow("entrada, " + at) << screen << "entrada" << 1 << true;
        QTest::newRow("registro, 200, " + at) << screen << "registro" << 200 << wide;
        QTest::newRow("estacion, " + at) << screen << "estacion" << 0 << true;
    }
}

void TestScreenFit::dialogsFitTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QString, dialog);
    QFETCH(int, rows);
    QFETCH(bool, allColumns);
    QScreen *on = screenOf(screen);
    QWidget parent;
    parent.setScreen(on);
    parent.setGeometry(on->availableGeometry().adjusted(50, 50, -50, -50));
    ManualClock clock(kNow);
    FakeFileDialog files;
    FakeMessageBoxes boxes;
    FakeLauncher launcher;
    QTemporaryDir logDir;
    std::unique_ptr<QDialog> d;
    QAbstractScrollArea *list = nullptr;
    QHeaderView *header = nullptr;
    if (dialog == "programacion") {
        auto *p = new frmprogramacion(&parent, entries(rows), clock, files, boxes);
        list = p->lstProgramas;
        header = p->lstProgramas->header();
        d.reset(p);
    } else if (dialog == "registro") {
        writeLog(logDir.path(), rows);
        auto *r = new frmregistro(&parent, logDir.path(), launcher, boxes);
        list = r->lstRegistro;
        header = r->lstRegistro->horizontalHeader();
        d.reset(r);
    } else if (dialog == "estacion") {
        auto calls = std::make_shared<QStringList>();
        static FakeSoundServer sound(calls);
        static FakeSerialLine line(calls);
        KeyingSettings keying;
        keying.keyer.metodo = KeyerSettings::Method::Cat; // the method with the most rows
        IdentSettings ident;
        ident.identificacion = IdentSettings::Mode::Cada; // every row of the identification
        d = std::make_unique<frmestacion>(&parent, keying, SoundCardSettings{}, sound, line, boxes,
                                          makeBasicKeyer, ident);
    } else {
        d = std::make_unique<frmentrada>(&parent, entries(1).first(), files, boxes, clock);
    }
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.get()));
    const QRect area = on->availableGeometry();
    QVERIFY2(area.contains(d->frameGeometry()), qPrintable(QStringLiteral("%1 opens at %2,%3 %4x%5")
                                                               .arg(dialog)
                                                               .arg(d->frameGeometry().x())
                                                               .arg(d->frameGeometry().y())
                                                               .arg(d->frameGeometry().width())
                                                               .arg(d->frameGeometry().height())));
    for (const QPushButton *b : d->findChildren<QPushButton *>()) {
        const QRect r(b->mapTo(d.get(), QPoint()), b->size());
        QVERIFY2(d->rect().contains(r), qPrintable(b->objectName()));
    }
    if (list && allColumns)
        QVERIFY2(
            header->length() <= list->viewport()->width(),
            qPrintable(
                QStringLiteral("%1 of %2 px in view").arg(list->viewport()->width()).arg(header->length())));
}

int main(int argc, char **argv)
{
    QTemporaryFile config(QDir::tempPath() + QStringLiteral("/pregonal-screens-XXXXXX.json"));
    if (!config.open())
        return 2;
    config.write(R"({"screens": [
        {"name": "small", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "wide", "x": 800, "y": 0, "width": 1280, "height": 800, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
    ]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TestScreenFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenfit.moc"

// One station per user: the first program that runs the schedule owns it; a second one is
// refused, a command line hands its message to the owner and waits its turn, a second window
// brings the first to the front. On a session bus of the test's own, and without one.
#include "busnames.h"
#include "clihome.h"
#include "facewindow.h"
#include "realrig.h"
#include "soundcapture.h"
#include "soundtestmain.h"
#include "stationservice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProgressBar>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Reads p's standard error until it holds text; everything read so far goes to *seen.
bool waitForText(QProcess &p, const QString &text, QString *seen, int timeoutMs = 10000)
{
    if (!p.waitForStarted(5000))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!seen->contains(text) && timer.elapsed() < timeoutMs && p.state() == QProcess::Running) {
        p.waitForReadyRead(100);
        *seen += QString::fromUtf8(p.readAllStandardError());
    }
    return seen->contains(text);
}

void end(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
    }
}

// The lines of the log with their origin, archivo and result.
QStringList logLines(const Home &home)
{
    QStringList out;
    const QList<QStringList> lines = home.lines();
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        out << QStringList{it->value(2), QFileInfo(it->value(3)).fileName(), it->value(5)}.join(QLatin1Char('|'));
    return out;
}

// Starts --programa and waits until it runs the station.
void startOwner(const Home &home, QProcess &owner)
{
    QString seen;
    home.start(owner, {QStringLiteral("--programa")});
    QVERIFY2(waitForText(owner, QStringLiteral("programación en marcha"), &seen), qPrintable(seen));
}

// The settings of a home whose schedule sends the tone at the start of the next minute, a few
// seconds away at least.
QByteArray slotNextMinute(const QString &tone)
{
    if (QTime::currentTime().second() > 55)
        QTest::qWait((61 - QTime::currentTime().second()) * 1000);
    const QByteArray next = QTime::currentTime().addSecs(60).toString(QStringLiteral("HH:mm")).toLatin1();
    return "[programa1]\narchivo=" + tone.toLocal8Bit() + "\nhoras=" + next + "\n";
}

bool overlap(const QList<KeyPeriod> &keyed)
{
    for (int i = 1; i < keyed.size(); ++i) {
        if (keyed.at(i).upNs < keyed.at(i - 1).downNs)
            return true;
    }
    return false;
}
} // namespace

class TestOwner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void secondSchedulerRefused_data();
    void secondSchedulerRefused();
    void nothingToAskWithoutAnOwner_data();
    void nothingToAskWithoutAnOwner();
    void handedOverNeverOverAPlay();
    void sentInTheLoopsPauseThenStopped();
    void waitingMessageGoesToTheNextOwner();
    void namesHandedOver_data();
    void namesHandedOver();
    void namesRefusedOnTheBus_data();
    void namesRefusedOnTheBus();
    void secondWindowRaisesTheFirst();
    void stateWords_data();
    void stateWords();
    void windowIsTheServicesFace();
    void windowProcessBesideTheService();
    void faceHoldsTheService_data();
    void faceHoldsTheService();
    void windowTakesOverFromAKilledService();

private:
    // Starts --programa on the test's bus, the line log emptied; false when it did not start.
    bool ownerStarted(Home &home, QProcess &owner);

    QString m_lineLog;
    QTemporaryDir m_tones;
    QString m_tone;
    QProcess m_bus;
    QString m_busAddress;
};

void TestOwner::initTestCase()
{
    if (const QString missing = realRigMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    m_tone = m_tones.filePath(QStringLiteral("aviso.wav"));
    QVERIFY(writeToneWav(m_tone, 48000, 1, 48000 * 6 / 10)); // 0.6 s
    m_busAddress = startPrivateBus(m_bus);
    QVERIFY(!m_busAddress.isEmpty());
}

bool TestOwner::ownerStarted(Home &home, QProcess &owner)
{
    home.environment = {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress}};
    startOwner(home, owner);
    QFile::resize(m_lineLog, 0);
    return !QTest::currentTestFailed();
}

void TestOwner::cleanupTestCase()
{
    end(m_bus);
}

// The schedule runs in one process only, with a bus or without; the lock goes with the process
// however it ends, and the next one takes it.
void TestOwner::secondSchedulerRefused_data()
{
    QTest::addColumn<bool>("bus");
    QTest::newRow("on the bus") << true;
    QTest::newRow("no bus") << false;
}

void TestOwner::secondSchedulerRefused()
{
    QFETCH(bool, bus);
    Home home;
    home.environment = {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus ? m_busAddress : QString()}};
    QProcess first;
    QString seen;
    home.start(first, {QStringLiteral("--programa")});
    QVERIFY2(waitForText(first, QStringLiteral("programación en marcha"), &seen), qPrintable(seen));
    QCOMPARE(seen.contains(QStringLiteral("no se ofrece en el bus")), !bus);

    QString errors;
    QCOMPARE(home.run({QStringLiteral("--programa")}, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("ya la ejecuta el proceso %1 (pregonal --programa)").arg(first.processId())),
             qPrintable(errors));

    ::kill(pid_t(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(5000));
    QProcess next;
    seen.clear();
    home.start(next, {QStringLiteral("--programa")});
    QVERIFY2(waitForText(next, QStringLiteral("programación en marcha"), &seen), qPrintable(seen));
    if (bus) {
        QString state;
        QProcess estado;
        home.start(estado, {QStringLiteral("--estado")});
        QVERIFY(estado.waitForFinished(10000));
        QCOMPARE(estado.exitCode(), 0);
        QVERIFY(QString::fromUtf8(estado.readAllStandardOutput())
                    .contains(QStringLiteral("proceso %1 (pregonal --programa)").arg(next.processId())));
    }
    end(next);
    QCOMPARE(next.exitCode(), 0);
}

void TestOwner::nothingToAskWithoutAnOwner_data()
{
    QTest::addColumn<QString>("option");
    QTest::newRow("state") << "--estado";
    QTest::newRow("stop") << "--detener";
}

void TestOwner::nothingToAskWithoutAnOwner()
{
    QFETCH(QString, option);
    Home home;
    home.environment = {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress}};
    QString errors;
    QCOMPARE(home.run({option}, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("no hay ninguna estación en marcha")), qPrintable(errors));
}

// Two scripts send at once beside the service: both go out, one after the other, each with its
// line; neither finds the port busy.
void TestOwner::handedOverNeverOverAPlay()
{
    Home home;
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    QProcess a;
    QProcess b;
    home.start(a, {QStringLiteral("--enviar"), m_tone});
    home.start(b, {QStringLiteral("--enviar"), m_tone});
    QVERIFY(a.waitForFinished(15000) && b.waitForFinished(15000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    QVERIFY(a.readAllStandardError().isEmpty() && b.readAllStandardError().isEmpty());
    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    QCOMPARE(keyed.size(), 2);
    QVERIFY(!overlap(keyed));
    QCOMPARE(logLines(home), (QStringList{"línea de órdenes|aviso.wav|completa", "línea de órdenes|aviso.wav|completa"}));
    end(owner);
}

// A script's message goes out in the pause of a loop another one handed over; --detener stops
// the loop, whose script ends with 0 as when stopped by hand.
void TestOwner::sentInTheLoopsPauseThenStopped()
{
    Home home;
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    QProcess loop;
    home.start(loop, {QStringLiteral("--enviar"), m_tone, QStringLiteral("--bucle"), QStringLiteral("--intervalo"),
                      QStringLiteral("3")});
    QTRY_COMPARE_WITH_TIMEOUT(keyPeriods(readLineLog(m_lineLog)).size(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(keyPeriods(readLineLog(m_lineLog)).constLast().downNs != 0, 10000);
    QCOMPARE(home.run({QStringLiteral("--enviar"), m_tone}), 0);
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 2); // in the pause, not after the loop
    QCOMPARE(home.run({QStringLiteral("--detener")}), 0);
    QVERIFY(loop.waitForFinished(10000));
    QCOMPARE(loop.exitCode(), 0);
    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    QVERIFY(!overlap(keyed));
    QCOMPARE(logLines(home), (QStringList{"línea de órdenes|aviso.wav|completa", "línea de órdenes|aviso.wav|detenida"}));
    end(owner);
}

// The service killed with a message on the air and another waiting: the one on the air is told
// cut and never sent again; the waiting one goes to the next owner, once.
void TestOwner::waitingMessageGoesToTheNextOwner()
{
    const QString longTone = m_tones.filePath(QStringLiteral("largo.wav"));
    QVERIFY(writeToneWav(longTone, 48000, 1, 48000 * 4));
    Home home;
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    QProcess onAir;
    home.start(onAir, {QStringLiteral("--enviar"), longTone});
    QTRY_COMPARE_WITH_TIMEOUT(keyPeriods(readLineLog(m_lineLog)).size(), 1, 10000);
    // On a terminal, so that it says when it has handed its message over.
    QProcess waiting;
    waiting.setProcessChannelMode(QProcess::MergedChannels);
    home.start(waiting,
               {QStringLiteral("-qfec"), QStringLiteral(PREGONAL_PROGRAM " --enviar ") + m_tone, QStringLiteral("/dev/null")},
               QStringLiteral("/usr/bin/script"));
    QString seen;
    QTRY_VERIFY_WITH_TIMEOUT((seen += QString::fromUtf8(waiting.readAll())).contains(QStringLiteral("entregado a")),
                             10000);
    ::kill(pid_t(owner.processId()), SIGKILL);
    QVERIFY(owner.waitForFinished(5000));
    QProcess next;
    startOwner(home, next);
    QVERIFY(onAir.waitForFinished(10000));
    QCOMPARE(onAir.exitCode(), 1);
    QVERIFY(waiting.waitForFinished(15000));
    seen += QString::fromUtf8(waiting.readAll());
    QVERIFY2(seen.contains(QStringLiteral("espera a la siguiente")), qPrintable(seen));
    QCOMPARE(waiting.exitCode(), 0);
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 2);
    QCOMPARE(logLines(home), (QStringList{"línea de órdenes|largo.wav|interrumpida", "línea de órdenes|aviso.wav|completa"}));
    end(next);
}

// The message's name reaches the owner byte for byte, whatever it is: a name that is not UTF-8
// goes out and is logged as the command alone logs it; what is no sound file fails at once.
void TestOwner::namesHandedOver_data()
{
    QTest::addColumn<QByteArray>("name"); // in the home folder, as printf spells it
    QTest::addColumn<QString>("is");      // "tone": a link to the tone; "fifo"; "": nothing
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("result");
    QTest::newRow("not UTF-8") << QByteArray("bad\\377\\376utf.wav") << "tone" << 0 << ""
                               << "bad\\xff\\xfeutf.wav" << "completa";
    QTest::newRow("accents") << QByteArray("señal.wav") << "tone" << 0 << "" << "señal.wav" << "completa";
    QTest::newRow("named pipe") << QByteArray("tubo.wav") << "fifo" << 1 << "es una tubería con nombre"
                                << "tubo.wav" << "fallo";
    QTest::newRow("missing") << QByteArray("no.wav") << "" << 1 << "No se encuentra el archivo del mensaje"
                             << "no.wav" << "fallo";
}

void TestOwner::namesHandedOver()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, is);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(QString, logged);
    QFETCH(QString, result);
    Home home;
    QProcess printf;
    printf.start(QStringLiteral("printf"), {QString::fromUtf8(name)});
    QVERIFY(printf.waitForFinished(5000));
    const QByteArray path = QFile::encodeName(home.dir.path()) + '/' + printf.readAllStandardOutput();
    if (is == QLatin1String("tone"))
        QCOMPARE(::symlink(QFile::encodeName(m_tone).constData(), path.constData()), 0);
    else if (is == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    const auto removeName = qScopeGuard([&path] { ::unlink(path.constData()); }); // Qt cannot
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    QString errors;
    const QString script = QStringLiteral("exec \"$0\" --enviar \"$1/$(printf \"$2\")\"");
    QCOMPARE(home.run({QStringLiteral("-c"), script, QStringLiteral(PREGONAL_PROGRAM), home.dir.path(),
                       QString::fromUtf8(name)},
                      &errors, 15000, QStringLiteral("/bin/sh")),
             status);
    QVERIFY2(error.isEmpty() ? errors.isEmpty() : errors.contains(error), qPrintable(errors));
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), status == 0 ? 1 : 0);
    const QList<QStringList> lines = home.lines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().value(3), home.dir.path() + QLatin1Char('/') + logged);
    QCOMPARE(lines.first().value(5), result);
    end(owner);
}

// What no file can be: refused by the owner at once, in Spanish, with nothing sent or logged.
void TestOwner::namesRefusedOnTheBus_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariant>("name");
    QTest::addColumn<QString>("error");
    QTest::newRow("relative") << "enviar" << QVariant(QStringLiteral("aviso.wav")) << "no es una ruta absoluta";
    QTest::newRow("relative bytes") << "enviarBytes" << QVariant(QByteArray("aviso.wav"))
                                    << "no es una ruta absoluta";
    QTest::newRow("empty") << "enviar" << QVariant(QString()) << "Falta el archivo";
    QTest::newRow("NUL byte") << "enviarBytes" << QVariant(QByteArray("/tmp/a\0b.wav", 12)) << "byte nulo";
}

void TestOwner::namesRefusedOnTheBus()
{
    QFETCH(QString, method);
    QFETCH(QVariant, name);
    QFETCH(QString, error);
    Home home;
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    QDBusConnection bus = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("names"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(BusNames::service, BusNames::path, BusNames::interface, method);
    call.setArguments({name, 1, 0});
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    QVERIFY2(reply.errorMessage().contains(error), qPrintable(reply.errorMessage()));
    QCOMPARE(home.run({QStringLiteral("--estado")}), 0); // still serving
    QVERIFY(home.lines().isEmpty());
    end(owner);
}

// A second window ends at once, the first one is asked to the front; a --programa meanwhile
// finds the schedule taken.
void TestOwner::secondWindowRaisesTheFirst()
{
    Home home;
    home.environment = {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress},
                        {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
    QProcess window;
    home.start(window, {});
    QTRY_COMPARE_WITH_TIMEOUT(home.run({QStringLiteral("--estado")}), 0, 15000);
    QProcess second;
    home.start(second, {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(window.state(), QProcess::Running);
    QString errors;
    QCOMPARE(home.run({QStringLiteral("--programa")}, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("(la ventana de Pregonal)")), qPrintable(errors));
    end(window);
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
}

void TestOwner::stateWords_data()
{
    QTest::addColumn<TransmissionEngine::State>("state");
    QTest::addColumn<QString>("words");
    QTest::newRow("idle") << TransmissionEngine::State::Idle << "inactiva";
    QTest::newRow("playing") << TransmissionEngine::State::Playing << "enviando";
    QTest::newRow("in a loop's pause") << TransmissionEngine::State::Pausing << "en pausa";
    QTest::newRow("waiting for the channel") << TransmissionEngine::State::Waiting << "esperando canal";
}

// Each state has words of its own on the bus, and a face reads them back; words it does not know
// (a newer owner's) show as idle.
void TestOwner::stateWords()
{
    QFETCH(TransmissionEngine::State, state);
    QFETCH(QString, words);
    QCOMPARE(StationService::stateText(state), words);
    QCOMPARE(StationService::stateFromText(words), state);
    QCOMPARE(StationService::stateFromText(words + QStringLiteral("?")), TransmissionEngine::State::Idle);
}

// A window opened beside the service shows its scheduled slot as sending, with no box and no
// second try at the port; its commands act on the service, logged as the window's.
void TestOwner::windowIsTheServicesFace()
{
    // The window records from the station's input although it loads nothing else of the station.
    Home home(slotNextMinute(m_tone), "entrada=mesa.monitor\nentradanombre=Micro de la mesa\n");
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    FaceWindow face(home, QDBusConnection::connectToBus(m_busAddress, QStringLiteral("face")));
    QVERIFY(face.window && face.window->isFace());
    QVERIFY(!face.window->station().scheduleRunning());
    QCOMPARE(static_cast<WavAudioDevice &>(face.window->reproductor()).inputChoice().id, QStringLiteral("mesa.monitor"));
    QCOMPARE(face.panel(3), QStringLiteral("Intervalo = 10 segs"));

    int furthest = 0; // the progress bar follows the service's play
    connect(face.window->ProgressBar1(), &QProgressBar::valueChanged, this,
            [&furthest](int value) { furthest = qMax(furthest, value); });
    QVERIFY(face.waitFor(QStringLiteral("TX"), 65000)); // the service's slot
    QVERIFY(face.window->windowTitle().endsWith(QStringLiteral("aviso.wav")));
    QVERIFY(face.window->button(7)->isEnabled() && !face.window->button(1)->isEnabled()); // Stop, not Nuevo
    QVERIFY(face.waitFor(QStringLiteral("Stand by")));
    QCOMPARE(logLines(home), QStringList{"programa 1|aviso.wav|completa"});
    QCOMPARE(face.window->ProgressBar1()->maximum(), 600);
    QVERIFY2(furthest >= 300, qPrintable(QString::number(furthest)));

    face.openMessage(m_tone);
    face.window->mnuaumentarintervalo_Click();
    QVERIFY(waitUntil([&] { return face.panel(3) == QStringLiteral("Intervalo = 11 segs"); }, 5000));
    face.window->mnuunavez_Click();
    QVERIFY(face.waitFor(QStringLiteral("TX")));
    QVERIFY(face.waitFor(QStringLiteral("Stand by")));
    face.window->mnuenbucle_Click();
    QVERIFY(face.waitFor(QStringLiteral("TX")));
    face.window->mnustop_Click();
    QVERIFY(face.waitFor(QStringLiteral("Stand by")));
    QVERIFY(waitUntil([&] { return home.lines().size() == 3; }, 5000));

    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    QCOMPARE(keyed.size(), 3);
    QVERIFY(!overlap(keyed));
    QCOMPARE(logLines(home), (QStringList{"programa 1|aviso.wav|completa", "manual|aviso.wav|completa",
                                          "bucle|aviso.wav|detenida"}));
    QVERIFY(face.boxes->shown.isEmpty());

    // Settings a dialog stored reach the service at once, and its panel follows.
    SettingsStore(home.dir.filePath(QStringLiteral("config/Pregonal"))).write("Pregonal", "conf", "intervalo", "7");
    face.face->reload();
    QVERIFY(waitUntil([&] { return face.panel(3) == QStringLiteral("Intervalo = 7 segs"); }, 5000));
    end(owner);
}

// The program's own start-up: a window opened while the service runs leaves the station to it,
// and takes it over once the service is killed.
void TestOwner::windowProcessBesideTheService()
{
    Home home;
    home.environment = {{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress},
                        {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
    QProcess owner;
    startOwner(home, owner);
    if (QTest::currentTestFailed())
        return;
    QProcess window;
    home.start(window, {});
    QVERIFY(window.waitForStarted(5000));
    const auto ownerIs = [&home](const QString &what) {
        QProcess estado;
        home.start(estado, {QStringLiteral("--estado")});
        estado.waitForFinished(10000);
        return QString::fromUtf8(estado.readAllStandardOutput()).contains(what);
    };
    QTest::qWait(1000); // the window's start-up
    QCOMPARE(window.state(), QProcess::Running);
    QVERIFY(ownerIs(QStringLiteral("(pregonal --programa)")));
    ::kill(pid_t(owner.processId()), SIGKILL);
    QVERIFY(owner.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(ownerIs(QStringLiteral("proceso %1 (la ventana)").arg(window.processId())), 5000);
    end(window);
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
}

void TestOwner::faceHoldsTheService_data()
{
    QTest::addColumn<bool>("letGo");
    QTest::newRow("let go") << true;
    QTest::newRow("the window left the bus holding it") << false;
}

// While a face keys the transmitter itself (the station dialog's test), a script's message waits
// in the service; it goes out once the window lets go, or once the window is gone.
void TestOwner::faceHoldsTheService()
{
    QFETCH(bool, letGo);
    Home home;
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    const QString name = QStringLiteral("holder");
    auto face = std::make_unique<StationFace>(QDBusConnection::connectToBus(m_busAddress, name));
    QVERIFY(face->attach());
    face->hold(true);
    QProcess send;
    home.start(send, {QStringLiteral("--enviar"), m_tone});
    QVERIFY(!send.waitForFinished(1500));
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 0);
    if (letGo) {
        face->hold(false);
    } else {
        face.reset();
        QDBusConnection::disconnectFromBus(name);
    }
    QVERIFY(send.waitForFinished(10000));
    QCOMPARE(send.exitCode(), 0);
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 1);
    end(owner);
}

// The service killed while a window is its face: the window takes the station over at once, says
// so, serves it on the bus, and the next slot goes out once, from the window.
void TestOwner::windowTakesOverFromAKilledService()
{
    Home home(slotNextMinute(m_tone));
    QProcess owner;
    if (!ownerStarted(home, owner))
        return;
    const QDBusConnection bus = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("takeover"));
    FaceWindow face(home, bus);
    QVERIFY(face.window && face.window->isFace());

    ::kill(pid_t(owner.processId()), SIGKILL);
    QVERIFY(owner.waitForFinished(5000));
    QVERIFY(waitUntil([&] { return !face.window->isFace(); }, 5000));
    QVERIFY(face.window->station().scheduleRunning());
    QVERIFY(face.window->panel(1)->toolTip().contains(QStringLiteral("esta ventana lleva ahora la estación")));
    QProcess estado;
    home.start(estado, {QStringLiteral("--estado")});
    QVERIFY(waitUntil([&] { return estado.state() == QProcess::NotRunning; }, 10000));
    QVERIFY2(QString::fromUtf8(estado.readAllStandardOutput()).contains(QStringLiteral("(la ventana)")),
             qPrintable(estado.readAllStandardError()));

    QVERIFY(face.waitFor(QStringLiteral("TX"), 65000));
    QVERIFY(face.waitFor(QStringLiteral("Stand by")));
    QVERIFY(waitUntil([&] { return !home.lines().isEmpty(); }, 5000));
    QTest::qWait(1500); // a second send of the slot would have started by now
    QCOMPARE(keyPeriods(readLineLog(m_lineLog)).size(), 1);
    QCOMPARE(logLines(home), QStringList{"programa 1|aviso.wav|completa"});
    QVERIFY(face.boxes->shown.isEmpty());
}

PREGONAL_SOUND_TEST_MAIN(TestOwner)
#include "tst_owner.moc"

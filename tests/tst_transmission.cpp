// The transmission cycle: call order on the devices, the progress display, failures undone,
// late and failed completions, and the repeat interval commands.
#include "fakebusysource.h"
#include "windowfixture.h"

#include <QProgressBar>
#include <QTest>

namespace {
const QString kSendError =
    QStringLiteral("No se puede enviar el mensaje. Compruebe que estea el puerto libre o bien "
                   "configurado y vuelva ha intentarlo.");
const QStringList kStart = {"PortOpen=1", "open", "DTR=1", "RTS=1", "Notify=1", "play"};
const QStringList kReplay = {"DTR=1", "RTS=1", "Notify=1", "play"};
const QStringList kEndOfLoopPlay = {"DTR=0", "RTS=0", "prev"};
const QStringList kEndOfSinglePlay = {"DTR=0", "RTS=0", "prev", "close", "PortOpen=0"};
const QStringList kStop = {"DTR=0", "RTS=0", "PortOpen=0", "close"};

QStringList take(WindowFixture &f)
{
    const QStringList calls = *f.log;
    f.log->clear();
    return calls;
}

bool keyed(const WindowFixture &f)
{
    return f.serial->dtr || f.serial->rts;
}

// Nothing left open or keyed, stand-by shown, the message still loaded.
void verifyStandBy(WindowFixture &f)
{
    QVERIFY(!f.serial->portOpen());
    QVERIFY(!keyed(f));
    QVERIFY(!f.audio->isOpen);
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(f.panel(1), QStringLiteral("Stand by"));
    QCOMPARE(f.window->ProgressBar1()->value(), 0);
    QVERIFY(f.window->mnustop->isEnabled() == false);
    QVERIFY(f.window->mnutx->menuAction()->isEnabled());
    QVERIFY(f.window->mnuarchivo->menuAction()->isEnabled());
    QVERIFY(f.window->button(4)->isEnabled() && f.window->button(5)->isEnabled());
    QVERIFY(!f.window->button(7)->isEnabled());
}
} // namespace

class TestTransmission : public QObject
{
    Q_OBJECT
private slots:
    void openMessage();
    void openCancelled();
    void sendOnce();
    void loopTwoCycles();
    void stopDuringPlay();
    void stopDuringPause();
    void stopWhileWaitingForTheChannel();
    void progressAndNameFollowEveryTransmission_data();
    void progressAndNameFollowEveryTransmission();
    void failureIsUndone_data();
    void failureIsUndone();
    void lateCompletionChangesNothing();
    void otherCodesChangeNothing_data();
    void otherCodesChangeNothing();
    void soundFailureUnkeys();
    void soundFailureAtNextPlayOfLoop();
    void realTimerSpacesPlays();
    void intervalChangeAppliesFromNextPause();
    void zeroIntervalLoopsWithoutBusyLoop();
    void intervalCommands_data();
    void intervalCommands();
    void refusedBeforeKeying_data();
    void refusedBeforeKeying();
    void keyingDeviceVanishes_data();
    void keyingDeviceVanishes();
};

void TestTransmission::openMessage()
{
    WindowFixture f;
    f.load();
    f.files->answers = {QStringLiteral("/home/op/a b.wav"), QStringLiteral("/tmp/Segundo.WAV")};
    f.window->mnuabrirmensaje_Click();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - /home/op/a b.wav"));
    f.window->mnuabrirmensaje_Click();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - /tmp/Segundo.WAV"));
    QCOMPARE(f.audio->fileName(), QStringLiteral("/tmp/Segundo.WAV"));
    QCOMPARE(f.files->shown.size(), 2);
    for (const auto &shown : f.files->shown) {
        QCOMPARE(shown.form, QStringLiteral("open"));
        QVERIFY2(shown.initialName.isEmpty(), "the name field starts empty every time");
        QCOMPARE(shown.filter, QStringLiteral("*.wav|*.wav|"));
    }
    // Only the path is taken: the file is not opened here.
    QCOMPARE(*f.log, QStringList({"FileName=/home/op/a b.wav", "FileName=/tmp/Segundo.WAV"}));
}

void TestTransmission::openCancelled()
{
    WindowFixture f;
    f.load();
    f.files->answers = {std::nullopt};
    f.window->mnuabrirmensaje_Click();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - sin mensaje"));
    QVERIFY(!f.window->mnuedicion->menuAction()->isEnabled());
    f.openMessage(QStringLiteral("/tmp/uno.wav"));
    f.files->answers = {std::nullopt};
    f.window->mnuabrirmensaje_Click();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - /tmp/uno.wav"));
    QCOMPARE(f.audio->fileName(), QStringLiteral("/tmp/uno.wav"));
    QVERIFY(f.window->button(4)->isEnabled());
}

void TestTransmission::sendOnce()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.audio->fakeLength = 4321;
    f.window->mnuunavez_Click();
    QCOMPARE(take(f), kStart);
    QVERIFY(f.window->modounavez());
    QCOMPARE(f.panel(1), QStringLiteral("TX"));
    QCOMPARE(f.window->ProgressBar1()->maximum(), 4321);
    QVERIFY(f.serial->dtr && f.serial->rts);
    f.audio->finishPlay();
    QCOMPARE(take(f), kEndOfSinglePlay);
    QVERIFY(!f.window->modounavez());
    verifyStandBy(f);
}

void TestTransmission::loopTwoCycles()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.window->mnuenbucle_Click();
    QCOMPARE(take(f), kStart);
    QVERIFY(!f.window->modounavez());
    for (int cycle = 0; cycle < 2; ++cycle) {
        f.audio->m_position = 2500;
        f.audio->finishPlay();
        QCOMPARE(take(f), kEndOfLoopPlay);
        QVERIFY2(!keyed(f), "lines are down during the pause");
        QVERIFY(f.window->Timer1().isEnabled());
        QCOMPARE(f.window->ProgressBar1()->value(), f.window->ProgressBar1()->maximum());
        QCOMPARE(f.panel(1), QStringLiteral("TX"));
        QVERIFY(f.serial->portOpen() && f.audio->isOpen);
        emit f.audio->StatusUpdate();
        QCOMPARE(f.window->ProgressBar1()->value(), 0);
        f.window->Timer1_Timer();
        QCOMPARE(take(f), kReplay);
        QVERIFY(!f.window->Timer1().isEnabled());
        QVERIFY(keyed(f));
    }
    f.window->mnustop_Click();
    QCOMPARE(take(f), kStop);
    verifyStandBy(f);
}

void TestTransmission::stopDuringPlay()
{
    for (const bool once : {true, false}) {
        WindowFixture f;
        f.startSending(once);
        f.window->mnustop_Click();
        QCOMPARE(take(f), kStop);
        QTest::qWait(20); // the device's report of the cut play, if any, arrives and is ignored
        QVERIFY(f.log->isEmpty());
        verifyStandBy(f);
    }
}

void TestTransmission::stopDuringPause()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.window->Timer1().setInterval(30);
    f.window->mnuenbucle_Click();
    f.audio->finishPlay();
    take(f);
    f.window->mnustop_Click();
    QCOMPARE(take(f), kStop);
    QTest::qWait(80);
    QVERIFY2(f.log->isEmpty(), "no further play starts");
    verifyStandBy(f);
}

// A busy channel: the first panel counts the wait, F7 ends it with nothing keyed.
void TestTransmission::stopWhileWaitingForTheChannel()
{
    WindowFixture f;
    f.store(QStringLiteral("ocupado"), QStringLiteral("serie"));
    FakeBusySource *source = nullptr;
    f.makeBusySource = [&source](const BusySettings &, const BusySourceContext &) {
        auto made = std::make_unique<FakeBusySource>();
        made->setBusy(true);
        source = made.get();
        return made;
    };
    f.load();
    QVERIFY(source && source->isOpen());
    f.openMessage();
    QVERIFY(f.showActive());
    f.window->mnuunavez_Click();
    QCOMPARE(f.panel(1), QStringLiteral("Esperando canal libre: 0 s"));
    QVERIFY(!keyed(f) && f.window->mnustop->isEnabled());
    QTest::keyClick(f.window.get(), Qt::Key_F7);
    QVERIFY(!f.log->contains(QStringLiteral("DTR=1")) && !f.log->contains(QStringLiteral("play")));
    take(f);
    source->setBusy(false);
    QTest::qWait(50);
    QVERIFY(f.log->isEmpty());
    verifyStandBy(f);
}

void TestTransmission::progressAndNameFollowEveryTransmission_data()
{
    QTest::addColumn<bool>("message");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("onAir");
    QTest::addColumn<QString>("after");
    const QString own = QStringLiteral("/tmp/mensaje.wav");
    const QString slot = QStringLiteral("/tmp/programa.wav");
    QTest::newRow("once") << true << "once" << own << own;
    QTest::newRow("scheduled, no message") << false << "slot" << slot << "sin mensaje";
    QTest::newRow("scheduled, message open") << true << "slot" << slot << own;
    QTest::newRow("scheduled in a loop's pause") << true << "loop slot" << slot << own;
}

// The bar moves with whatever is on the air, never while idle; the title and the first panel's
// tooltip name the message on the air, then the title goes back to the one open.
void TestTransmission::progressAndNameFollowEveryTransmission()
{
    QFETCH(bool, message);
    QFETCH(QString, start);
    QFETCH(QString, onAir);
    QFETCH(QString, after);
    WindowFixture f;
    f.load();
    if (message)
        f.openMessage();
    f.audio->m_position = 700;
    emit f.audio->StatusUpdate(); // idle, as while the recorder drives the device
    QCOMPARE(f.window->ProgressBar1()->value(), 0);
    if (start.startsWith(QLatin1String("loop"))) {
        f.window->mnuenbucle_Click();
        f.audio->finishPlay();
    }
    if (start.endsWith(QLatin1String("slot"))) {
        ScheduleEntry entry;
        entry.number = 2;
        entry.archivo = onAir;
        QVERIFY(f.window->schedule().sendScheduled(entry));
    } else {
        f.window->mnuunavez_Click();
    }
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - ") + onAir);
    QCOMPARE(f.window->panel(1)->toolTip(), QStringLiteral("En el aire: ") + onAir);
    f.audio->m_position = 1234;
    emit f.audio->StatusUpdate();
    QCOMPARE(f.window->ProgressBar1()->value(), 1234);
    f.audio->finishPlay();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - ") + after);
    if (start.startsWith(QLatin1String("loop"))) {
        QCOMPARE(f.window->panel(1)->toolTip(), QStringLiteral("En el aire: ") + after);
        f.window->mnustop_Click();
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - ") + after);
    }
    QVERIFY(f.window->panel(1)->toolTip().isEmpty());
    f.audio->m_position = 3000;
    emit f.audio->StatusUpdate();
    QCOMPARE(f.window->ProgressBar1()->value(), 0);
}

void TestTransmission::failureIsUndone_data()
{
    QTest::addColumn<bool>("once");
    QTest::addColumn<QString>("step");
    for (const bool once : {true, false}) {
        for (const char *step : {"port", "open", "length", "notify", "play"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(once ? "once" : "loop", step)))
                << once << step;
    }
}

void TestTransmission::failureIsUndone()
{
    QFETCH(bool, once);
    QFETCH(QString, step);
    WindowFixture f;
    f.load();
    f.openMessage();
    if (step == QLatin1String("port"))
        f.serial->failOpen = true;
    else
        f.audio->failOn.insert(step);
    auto send = [&] { once ? f.window->mnuunavez_Click() : f.window->mnuenbucle_Click(); };
    send();
    QCOMPARE(f.boxes->shown.size(), 1);
    QCOMPARE(f.boxes->shown.first().text, kSendError);
    QCOMPARE(f.boxes->shown.first().icon, MessageBoxes::Critical);
    QCOMPARE(f.boxes->shown.first().buttons, MessageBoxes::OkOnly);
    QCOMPARE(f.boxes->shown.first().caption, QStringLiteral("Pregonal"));
    verifyStandBy(f);
    const QStringList calls = take(f);
    if (calls.contains("DTR=1")) {
        // Unkeyed, DTR then RTS, before the device and the port are released.
        const auto down = calls.indexOf("DTR=0");
        QVERIFY(down > calls.indexOf("RTS=1"));
        QCOMPARE(calls.value(down + 1), QStringLiteral("RTS=0"));
        QVERIFY(down < calls.lastIndexOf("close") && down < calls.lastIndexOf("PortOpen=0"));
    }
    QTest::qWait(10);
    QVERIFY(f.log->isEmpty());

    f.serial->failOpen = false;
    f.audio->failOn.clear();
    send();
    QCOMPARE(take(f), kStart);
    QCOMPARE(f.boxes->shown.size(), 1);
    QVERIFY(keyed(f));
}

void TestTransmission::lateCompletionChangesNothing()
{
    for (const bool once : {true, false}) {
        WindowFixture f;
        f.startSending(once);
        f.window->mnustop_Click();
        take(f);
        emit f.audio->Done(AudioDevice::Successful);
        QVERIFY(f.log->isEmpty());
        verifyStandBy(f);
    }
    // ...and after a failed command was undone.
    WindowFixture f;
    f.load();
    f.openMessage();
    f.audio->failOn.insert(QStringLiteral("play"));
    f.window->mnuenbucle_Click();
    take(f);
    emit f.audio->Done(AudioDevice::Successful);
    QVERIFY(f.log->isEmpty());
    verifyStandBy(f);
}

void TestTransmission::otherCodesChangeNothing_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<int>("code");
    const QList<QPair<const char *, QStringList>> states = {{"start-up", {}},
                                                            {"loaded", {"open"}},
                                                            {"sending once", {"open", "once"}},
                                                            {"loop playing", {"open", "loop"}},
                                                            {"loop pause", {"open", "loop", "done"}}};
    for (const auto &[name, setup] : states) {
        for (int code : {0, 2, 4, 3, 16})
            QTest::newRow(qPrintable(QStringLiteral("%1, code %2").arg(name).arg(code))) << setup << code;
    }
}

void TestTransmission::otherCodesChangeNothing()
{
    QFETCH(QStringList, setup);
    QFETCH(int, code);
    WindowFixture f;
    f.load();
    for (const QString &s : setup) {
        if (s == "open")
            f.openMessage();
        else if (s == "once")
            f.window->mnuunavez_Click();
        else if (s == "loop")
            f.window->mnuenbucle_Click();
        else if (s == "done")
            f.audio->finishPlay();
    }
    take(f);
    const QString title = f.window->windowTitle();
    const QString panel1 = f.panel(1);
    const bool timer = f.window->Timer1().isEnabled();
    const bool stop = f.window->mnustop->isEnabled();
    emit f.audio->Done(code);
    QVERIFY(f.log->isEmpty());
    QCOMPARE(f.window->windowTitle(), title);
    QCOMPARE(f.panel(1), panel1);
    QCOMPARE(f.window->Timer1().isEnabled(), timer);
    QCOMPARE(f.window->mnustop->isEnabled(), stop);
    QVERIFY(f.boxes->shown.isEmpty());
}

void TestTransmission::soundFailureUnkeys()
{
    for (const bool once : {true, false}) {
        WindowFixture f;
        f.startSending(once);
        f.audio->finishPlay(AudioDevice::Failure);
        QCOMPARE(take(f).mid(0, 2), QStringList({"DTR=0", "RTS=0"}));
        verifyStandBy(f);
        QCOMPARE(f.boxes->shown.size(), 1);
        QVERIFY(f.boxes->shown.first().text.endsWith(
            QStringLiteral("reproducir el mensaje hasta el final. Se ha dejado de transmitir. "
                           "Compruebe el dispositivo de sonido y vuelva a intentarlo.")));
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Pregonal - /tmp/mensaje.wav"));
    }
}

void TestTransmission::soundFailureAtNextPlayOfLoop()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.window->mnuenbucle_Click();
    f.audio->finishPlay();
    f.audio->failOn.insert(QStringLiteral("play"));
    take(f);
    f.window->Timer1_Timer();
    verifyStandBy(f);
    QCOMPARE(f.boxes->shown.size(), 1);
    f.audio->failOn.clear();
    take(f);
    f.window->mnuenbucle_Click();
    QCOMPARE(take(f), kStart);
    QVERIFY(keyed(f));
}

void TestTransmission::realTimerSpacesPlays()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.window->Timer1().setInterval(40);
    f.window->mnuenbucle_Click();
    take(f);
    f.audio->finishPlay();
    QCOMPARE(take(f), kEndOfLoopPlay);
    QTRY_VERIFY(f.audio->playing);
    QCOMPARE(take(f), kReplay);
    QVERIFY(!f.window->Timer1().isEnabled());
    QTest::qWait(100);
    QVERIFY2(f.log->isEmpty(), "one pause gives exactly one play");
}

void TestTransmission::intervalChangeAppliesFromNextPause()
{
    WindowFixture f;
    f.load();
    f.openMessage();
    f.window->mnuenbucle_Click();
    f.audio->finishPlay();
    QCOMPARE(f.window->Timer1().armedInterval(), 10000);
    f.window->mnuaumentarintervalo_Click();
    QCOMPARE(f.window->Timer1().armedInterval(), 10000);
    QCOMPARE(f.window->Timer1().interval(), 11000);
    f.window->Timer1_Timer();
    f.audio->finishPlay();
    QCOMPARE(f.window->Timer1().armedInterval(), 11000);
}

void TestTransmission::zeroIntervalLoopsWithoutBusyLoop()
{
    WindowFixture f;
    f.store(QStringLiteral("intervalo"), QStringLiteral("0"));
    f.load();
    f.openMessage();
    f.window->mnuenbucle_Click();
    f.audio->finishPlay();
    take(f);
    // Panel 3 and the interval keep the stored 0, but the pause still lasts a second, so the
    // transmitter really drops between plays and the guard can act.
    QCOMPARE(f.window->Timer1().interval(), 0);
    QCOMPARE(f.window->Timer1().armedInterval(), 1000);
    QCOMPARE(f.panel(3), QStringLiteral("Intervalo = 0 segs"));
    QVERIFY(!keyed(f));
    QTRY_VERIFY(f.audio->playing);
    QCOMPARE(take(f), kReplay);
    QTest::qWait(30);
    QVERIFY(f.log->isEmpty());
    QVERIFY(!f.window->Timer1().isEnabled());
}

void TestTransmission::refusedBeforeKeying_data()
{
    QTest::addColumn<bool>("once");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("cause");
    for (const bool once : {true, false}) {
        const char *command = once ? "once" : "loop";
        QTest::addRow("%s, port busy", command) << once << "port"
                                                << "puerto ocupado";
        QTest::addRow("%s, nothing to hear", command) << once << "sound"
                                                      << "no hay sonido";
        QTest::addRow("%s, cap too short", command)
            << once << "cap"
            << "La transmisión más larga permitida (5,0 s) no alcanza para este mensaje: "
               "necesita 5,4 s (retardo 300 ms, mensaje 5000 ms y cola 100 ms).";
    }
}

// A message that cannot go out whole is refused before the key goes up: the send message with
// its cause below it, once, and the window ready again.
void TestTransmission::refusedBeforeKeying()
{
    QFETCH(bool, once);
    QFETCH(QString, fault);
    QFETCH(QString, cause);
    WindowFixture f;
    if (fault == QLatin1String("cap"))
        f.store(QStringLiteral("tiempomaximo"), QStringLiteral("5"));
    f.load();
    f.openMessage();
    if (fault == QLatin1String("port"))
        f.serial->failOpen = true;
    if (fault == QLatin1String("sound"))
        f.audio->failOn.insert(QStringLiteral("checkplayable"));
    once ? f.window->mnuunavez_Click() : f.window->mnuenbucle_Click();
    QVERIFY2(!f.log->contains(QStringLiteral("DTR=1")) && !f.log->contains(QStringLiteral("RTS=1")),
             qPrintable(f.log->join(' ')));
    QVERIFY(!f.log->contains(QStringLiteral("play")));
    verifyStandBy(f);
    QCOMPARE(f.window->guardInterval(), -1);
    QCOMPARE(f.boxes->shown.size(), 1);
    QCOMPARE(f.boxes->shown.first().text, kSendError);
    QCOMPARE(f.boxes->shown.first().detail, cause);
    // Put right, the same command works at once.
    f.serial->failOpen = false;
    f.audio->failOn.clear();
    f.window->Timer1().setInterval(0);
    f.log->clear();
    if (fault != QLatin1String("cap")) {
        once ? f.window->mnuunavez_Click() : f.window->mnuenbucle_Click();
        QCOMPARE(take(f), kStart);
    }
}

void TestTransmission::keyingDeviceVanishes_data()
{
    QTest::addColumn<bool>("once");
    QTest::addColumn<QString>("when");
    QTest::newRow("once, while keyed") << true << "keyed";
    QTest::newRow("loop, while keyed") << false << "keyed";
    QTest::newRow("loop, in the pause") << false << "pause";
    QTest::newRow("loop, at the next key-up") << false << "keyup";
}

// A keying device that goes away mid-transmission stops it as Stop would and says so once,
// naming the port: the loop never plays on with nothing keyed.
void TestTransmission::keyingDeviceVanishes()
{
    QFETCH(bool, once);
    QFETCH(QString, when);
    WindowFixture f;
    f.startSending(once);
    if (when != QLatin1String("keyed"))
        f.audio->finishPlay();
    f.serial->vanish();
    if (when == QLatin1String("keyup"))
        f.window->Timer1_Timer();
    else
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->mnustop->isEnabled(), 4 * TransmissionEngine::PortWatchMs);
    verifyStandBy(f);
    QVERIFY(!f.log->contains(QStringLiteral("play")));
    QCOMPARE(f.window->guardInterval(), -1);
    QCOMPARE(f.boxes->shown.size(), 1);
    QVERIFY(f.boxes->shown.first().text.startsWith(QStringLiteral("Se ha perdido el dispositivo")));
    QVERIFY(f.boxes->shown.first().text.contains(QStringLiteral("COM2 (/dev/falso)")));
    QTest::qWait(2 * TransmissionEngine::PortWatchMs);
    QCOMPARE(f.boxes->shown.size(), 1);
}

void TestTransmission::intervalCommands_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("raise");
    QTest::addColumn<int>("seconds");
    QTest::newRow("10 up") << "10" << true << 11;
    QTest::newRow("60 up stays") << "60" << true << 60;
    QTest::newRow("59 up") << "59" << true << 60;
    QTest::newRow("2 down") << "2" << false << 1;
    QTest::newRow("1 down stays") << "1" << false << 1;
    QTest::newRow("0 up") << "0" << true << 1;
    QTest::newRow("0 down stays") << "0" << false << 0;
    QTest::newRow("75 down") << "75" << false << 74;
    QTest::newRow("75 up stays") << "75" << true << 75;
}

void TestTransmission::intervalCommands()
{
    QFETCH(QString, stored);
    QFETCH(bool, raise);
    QFETCH(int, seconds);
    WindowFixture f;
    f.store(QStringLiteral("intervalo"), stored);
    f.load();
    f.openMessage();
    const QString before = f.panel(3);
    raise ? f.window->mnuaumentarintervalo_Click() : f.window->mnudisminuirintervalo_Click();
    QCOMPARE(f.window->Timer1().interval(), seconds * 1000);
    if (seconds == stored.toInt())
        QCOMPARE(f.panel(3), before);
    else
        QCOMPARE(f.panel(3), QStringLiteral("Intervalo = %1 segs").arg(seconds));
    QCOMPARE(int(f.values.intervalosegs), stored.toInt());
    QCOMPARE(SettingsStore(f.storeDir.path()).read("Pregonal", "conf", "intervalo", "-"), stored);
}

QTEST_MAIN(TestTransmission)
#include "tst_transmission.moc"

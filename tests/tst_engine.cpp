// The transmission engine on its own, with no window: the device calls of each command and
// event in order, the states it reports, and every failure undone and told once.
#include "fakeaudiodevice.h"
#include "fakeidentification.h"
#include "fakekeyer.h"
#include "fakeserialline.h"
#include "keyinglines.h"
#include "transmissionengine.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
using State = TransmissionEngine::State;
const QStringList kStart = {"PortOpen=1", "open", "DTR=1", "RTS=1", "Notify=1", "play"};
const QStringList kReplay = {"DTR=1", "RTS=1", "Notify=1", "play"};
const QStringList kEndOfLoopPlay = {"DTR=0", "RTS=0", "prev"};
const QStringList kEndOfSinglePlay = {"DTR=0", "RTS=0", "prev", "close", "PortOpen=0"};
const QStringList kStop = {"DTR=0", "RTS=0", "PortOpen=0", "close"};

struct Rig
{
    std::shared_ptr<QStringList> log = std::make_shared<QStringList>();
    FakeAudioDevice audio{log};
    FakeSerialLine serial{log};
    std::unique_ptr<TransmissionEngine> engine = std::make_unique<TransmissionEngine>(audio, serial);
    QSignalSpy states{engine.get(), &TransmissionEngine::stateChanged};
    QSignalSpy failures{engine.get(), &TransmissionEngine::failed};
    QSignalSpy ended{engine.get(), &TransmissionEngine::playEnded};

    Rig()
    {
        engine->setKeying(300, 100, KeyingLines(), 0);
        engine->Timer1().setInterval(20);
        audio.setFileName(QStringLiteral("/tmp/aviso.wav"));
        log->clear();
    }
    QStringList take()
    {
        const QStringList calls = *log;
        log->clear();
        return calls;
    }
    bool keyed() const { return serial.dtr || serial.rts; }
    QList<State> takeStates()
    {
        QList<State> seen;
        for (const QList<QVariant> &args : std::as_const(states))
            seen.append(args.at(0).value<State>());
        states.clear();
        return seen;
    }
};
} // namespace

class TestEngine : public QObject
{
    Q_OBJECT
private slots:
    void sendOnce();
    void loopCycles();
    void stopInEveryState_data();
    void stopInEveryState();
    void failureAtEachStep_data();
    void failureAtEachStep();
    void soundFailureMidPlay();
    void lateCompletionChangesNothing();
    void endingUnkeys();
    void sendFileAlone_data();
    void sendFileAlone();
    void sendFileInThePause_data();
    void sendFileInThePause();
    void sendFileRefusedWhilePlaying();
    void sendFileInThePauseWaitsForTheRadio();
    void identification_data();
    void identification();
    void identifiedInEveryPlayOfALoop();
};

void TestEngine::sendOnce()
{
    Rig r;
    QSignalSpy opened(r.engine.get(), &TransmissionEngine::messageOpened);
    r.audio.fakeLength = 4321;
    r.engine->sendOnce();
    QCOMPARE(r.take(), kStart);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first().at(0).toInt(), 4321);
    QCOMPARE(r.engine->state(), State::Playing);
    QVERIFY(r.engine->modounavez());
    QVERIFY(r.keyed());
    QCOMPARE(r.engine->guardInterval(), 4321 + 300 + 100 + 2000);
    r.audio.finishPlay();
    QCOMPARE(r.take(), kEndOfSinglePlay);
    QCOMPARE(r.takeStates(), QList<State>({State::Playing, State::Idle}));
    QCOMPARE(r.ended.size(), 1);
    QVERIFY(!r.keyed());
    QVERIFY(!r.engine->modounavez());
    QCOMPARE(r.engine->guardInterval(), -1);
    QVERIFY(r.failures.isEmpty());
}

void TestEngine::loopCycles()
{
    Rig r;
    r.engine->sendLoop();
    QCOMPARE(r.take(), kStart);
    for (int cycle = 0; cycle < 2; ++cycle) {
        r.audio.finishPlay();
        QCOMPARE(r.take(), kEndOfLoopPlay);
        QCOMPARE(r.engine->state(), State::Pausing);
        QVERIFY(!r.keyed());
        QCOMPARE(r.engine->guardInterval(), -1);
        QVERIFY(r.engine->Timer1().isEnabled());
        // The real timer brings the next play.
        QTRY_VERIFY_WITH_TIMEOUT(r.audio.playing, 1000);
        QCOMPARE(r.take(), kReplay);
        QCOMPARE(r.engine->state(), State::Playing);
        QVERIFY(!r.engine->Timer1().isEnabled());
        QVERIFY(r.keyed());
    }
    QCOMPARE(r.takeStates(),
             QList<State>({State::Playing, State::Pausing, State::Playing, State::Pausing, State::Playing}));
}

void TestEngine::stopInEveryState_data()
{
    QTest::addColumn<bool>("once");
    QTest::addColumn<bool>("inPause");
    QTest::newRow("single play") << true << false;
    QTest::newRow("loop, playing") << false << false;
    QTest::newRow("loop, in the pause") << false << true;
}

void TestEngine::stopInEveryState()
{
    QFETCH(bool, once);
    QFETCH(bool, inPause);
    Rig r;
    once ? r.engine->sendOnce() : r.engine->sendLoop();
    if (inPause)
        r.audio.finishPlay();
    r.take();
    r.engine->stop();
    QCOMPARE(r.take(), kStop);
    QCOMPARE(r.engine->state(), State::Idle);
    QVERIFY(!r.keyed() && !r.serial.portOpen() && !r.audio.isOpen);
    QVERIFY(!r.engine->Timer1().isEnabled());
    QCOMPARE(r.engine->guardInterval(), -1);
    QTest::qWait(60);
    QVERIFY(r.log->isEmpty());
}

void TestEngine::failureAtEachStep_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("keyedFirst");
    QTest::newRow("port") << "port" << false;
    QTest::newRow("open") << "open" << false;
    QTest::newRow("length") << "length" << false;
    QTest::newRow("nothing to hear") << "checkplayable" << false;
    QTest::newRow("notify") << "notify" << true;
    QTest::newRow("play") << "play" << true;
}

// Whatever step fails, the transmission is undone, nothing stays keyed or open, the failure is
// told once with its cause, and the same command works again at once.
void TestEngine::failureAtEachStep()
{
    QFETCH(QString, step);
    QFETCH(bool, keyedFirst);
    for (const bool once : {true, false}) {
        Rig r;
        if (step == QLatin1String("port"))
            r.serial.failOpen = true;
        else
            r.audio.failOn.insert(step);
        once ? r.engine->sendOnce() : r.engine->sendLoop();
        QCOMPARE(r.log->contains(QStringLiteral("DTR=1")), keyedFirst);
        QVERIFY(!r.keyed() && !r.serial.portOpen() && !r.audio.isOpen);
        QCOMPARE(r.engine->state(), State::Idle);
        QCOMPARE(r.engine->guardInterval(), -1);
        QCOMPARE(r.failures.size(), 1);
        QVERIFY(
            r.failures.first().at(0).toString().startsWith(QStringLiteral("No se puede enviar el mensaje")));
        QVERIFY(!r.failures.first().at(1).toString().isEmpty());
        r.serial.failOpen = false;
        r.audio.failOn.clear();
        r.take();
        once ? r.engine->sendOnce() : r.engine->sendLoop();
        QCOMPARE(r.take(), kStart);
    }
}

void TestEngine::soundFailureMidPlay()
{
    Rig r;
    r.engine->sendLoop();
    r.take();
    r.audio.failure = QStringLiteral("El archivo del mensaje se ha acortado mientras se emitía.");
    r.audio.finishPlay(AudioDevice::Failure);
    QCOMPARE(r.take(), QStringList({"DTR=0", "RTS=0", "close", "PortOpen=0"}));
    QCOMPARE(r.engine->state(), State::Idle);
    QCOMPARE(r.failures.size(), 1);
    QVERIFY(r.failures.first().at(0).toString().endsWith(QStringLiteral("vuelva a intentarlo.")));
    QCOMPARE(r.failures.first().at(1).toString(), r.audio.failure); // the device's reason is told
    QVERIFY(!r.engine->Timer1().isEnabled());
}

void TestEngine::lateCompletionChangesNothing()
{
    Rig r;
    r.engine->sendLoop();
    r.engine->stop();
    r.take();
    r.engine->reproductor_Done(AudioDevice::Successful);
    QVERIFY(r.log->isEmpty());
    QVERIFY(!r.engine->Timer1().isEnabled());
    QCOMPARE(r.engine->state(), State::Idle);
}

void TestEngine::endingUnkeys()
{
    Rig r;
    r.engine->sendLoop();
    r.take();
    r.engine.reset();
    QCOMPARE(*r.log, kStop);
    QVERIFY(!r.keyed() && !r.serial.portOpen() && !r.audio.isOpen);
}

void TestEngine::sendFileAlone_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("ending");
    QTest::addColumn<bool>("onAir");
    QTest::newRow("heard whole") << "done" << int(TransmissionEngine::Ending::Completed) << true;
    QTest::newRow("stopped") << "stop" << int(TransmissionEngine::Ending::Stopped) << true;
    QTest::newRow("sound fails") << "failure" << int(TransmissionEngine::Ending::Failed) << true;
    QTest::newRow("guard") << "guard" << int(TransmissionEngine::Ending::Guard) << true;
    QTest::newRow("refused before keying") << "refused" << -1 << false;
    QTest::newRow("port busy") << "port" << -1 << false;
}

// Another message once, whatever way it ends: the device's own message is given back, nothing
// stays keyed, and the ending says how it went.
void TestEngine::sendFileAlone()
{
    QFETCH(QString, how);
    QFETCH(int, ending);
    QFETCH(bool, onAir);
    Rig r;
    if (how == "refused")
        r.audio.failOn << QStringLiteral("checkplayable");
    r.serial.failOpen = how == "port";
    QCOMPARE(r.engine->sendFile(QStringLiteral("/tmp/programa.wav")), onAir);
    if (onAir) {
        QCOMPARE(r.take(), QStringList{"FileName=/tmp/programa.wav"} + kStart);
        QVERIFY(r.engine->sendingFile());
        if (how == "done")
            r.audio.finishPlay();
        else if (how == "stop")
            r.engine->stop();
        else if (how == "failure")
            r.audio.finishPlay(AudioDevice::Failure);
        else
            r.engine->guardTimeout();
        QCOMPARE(int(r.engine->ending()), ending);
    }
    QCOMPARE(r.engine->state(), State::Idle);
    QVERIFY(!r.keyed() && !r.serial.portOpen());
    QVERIFY(!r.engine->sendingFile());
    QCOMPARE(r.audio.fileName(), QStringLiteral("/tmp/aviso.wav"));
    QCOMPARE(r.failures.size(), how == "done" || how == "stop" ? 0 : 1);
}

void TestEngine::sendFileInThePause_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("sent") << "";
    QTest::newRow("refused: the loop goes on") << "checkplayable";
    QTest::newRow("stopped on the air") << "stop";
}

// In the pause of a loop the other message goes out, then the loop's own message is opened again
// and a whole pause starts; a refused one leaves the loop as it was.
void TestEngine::sendFileInThePause()
{
    QFETCH(QString, fault);
    Rig r;
    r.audio.fakeLength = 4000;
    r.engine->Timer1().setInterval(100000); // the pause never ends by itself here
    r.engine->sendLoop();
    r.audio.finishPlay();
    QCOMPARE(r.engine->state(), State::Pausing);
    r.take();
    r.takeStates();
    if (fault == "checkplayable")
        r.audio.failOn << fault;
    else
        r.audio.fakeLength = 1500; // the other message's length, until the loop's is opened again
    const bool sent = r.engine->sendFile(QStringLiteral("/tmp/programa.wav"));
    r.audio.failOn.clear();
    if (fault == "checkplayable") {
        QVERIFY(!sent);
        QCOMPARE(r.take(), (QStringList{"close", "FileName=/tmp/programa.wav", "open", "close",
                                        "FileName=/tmp/aviso.wav", "open"}));
        QCOMPARE(r.failures.size(), 1);
    } else {
        QVERIFY(sent);
        QCOMPARE(r.take(), (QStringList{"close", "FileName=/tmp/programa.wav", "open"} + kReplay));
        QCOMPARE(r.engine->guardInterval(), 1500 + 300 + 100 + 2000);
        QCOMPARE(r.engine->state(), State::Playing);
        r.audio.fakeLength = 4000;
        if (fault == "stop") {
            r.engine->stop();
            QCOMPARE(r.engine->state(), State::Idle);
            QCOMPARE(r.audio.fileName(), QStringLiteral("/tmp/aviso.wav"));
            QVERIFY(!r.keyed() && !r.serial.portOpen());
            return;
        }
        r.audio.finishPlay();
        QCOMPARE(r.take(), (kEndOfLoopPlay + QStringList{"close", "FileName=/tmp/aviso.wav", "open"}));
        QVERIFY(r.failures.isEmpty());
    }
    QCOMPARE(r.engine->state(), State::Pausing);
    QVERIFY(!r.keyed() && r.serial.portOpen());
    QVERIFY(r.engine->Timer1().isEnabled());
    QVERIFY(!r.engine->sendingFile());
    // The loop's next play is its own message, with its own guard.
    r.engine->Timer1_Timer();
    QCOMPARE(r.take(), kReplay);
    QCOMPARE(r.engine->guardInterval(), 4000 + 300 + 100 + 2000);
}

void TestEngine::sendFileRefusedWhilePlaying()
{
    Rig r;
    r.engine->sendOnce();
    r.take();
    QVERIFY(!r.engine->sendFile(QStringLiteral("/tmp/programa.wav")));
    QVERIFY(r.log->isEmpty());
    QVERIFY(r.failures.isEmpty());
    QCOMPARE(r.engine->state(), State::Playing);
}

// A radio that confirms its key-up later (CAT): the other message's play waits for the answer,
// and Stop before it comes leaves nothing keyed and the loop's message back in place.
void TestEngine::sendFileInThePauseWaitsForTheRadio()
{
    for (const bool answered : {true, false}) {
        Rig r;
        FakeKeyer radio(r.log);
        radio.answerWith = FakeKeyer::Answer::Later;
        r.engine->setKeyer(&radio);
        r.engine->Timer1().setInterval(100000);
        r.engine->sendLoop();
        radio.answer();
        r.audio.finishPlay();
        QCOMPARE(r.engine->state(), State::Pausing);
        r.take();
        QVERIFY(r.engine->sendFile(QStringLiteral("/tmp/programa.wav")));
        QCOMPARE(r.engine->state(), State::Playing);
        QVERIFY(!r.audio.playing);
        QVERIFY(radio.pending);
        if (answered) {
            radio.answer();
            QVERIFY(r.audio.playing);
            QCOMPARE(r.audio.fileName(), QStringLiteral("/tmp/programa.wav"));
            r.audio.finishPlay();
            QCOMPARE(r.engine->state(), State::Pausing);
        } else {
            r.engine->stop();
            radio.answer(); // too late: changes nothing
            QCOMPARE(r.engine->state(), State::Idle);
            QVERIFY(!r.audio.playing);
        }
        QVERIFY(!radio.keyed);
        QCOMPARE(r.audio.fileName(), QStringLiteral("/tmp/aviso.wav"));
        QVERIFY(r.failures.isEmpty());
        r.engine->setKeyer(nullptr);
    }
}

void TestEngine::identification_data()
{
    QTest::addColumn<QString>("file");    // what the identification gives
    QTest::addColumn<QString>("refusal"); // or why it cannot
    QTest::addColumn<int>("maxMs");
    QTest::addColumn<bool>("onAir");
    QTest::addColumn<int>("guardMs");
    // The message is 5000 ms, with its identification 8000: the guard and the cap count it all.
    QTest::newRow("identified") << "/tmp/identificado.wav"
                                << "" << 0 << true << 8000 + 2400;
    QTest::newRow("this play does not identify") << ""
                                                 << "" << 0 << true << 5000 + 2400;
    QTest::newRow("cap below the identified message") << "/tmp/identificado.wav"
                                                      << "" << 6000 << false << -1;
    QTest::newRow("cap above it") << "/tmp/identificado.wav"
                                  << "" << 9000 << true << 9000;
    QTest::newRow("identification refused") << ""
                                            << "no hay ningún indicativo" << 0 << false << -1;
}

// The identification goes out in the same key period as the message; when it cannot be made,
// nothing is keyed and the refusal is told once.
void TestEngine::identification()
{
    QFETCH(QString, file);
    QFETCH(QString, refusal);
    QFETCH(int, maxMs);
    QFETCH(bool, onAir);
    QFETCH(int, guardMs);
    Rig r;
    FakeIdentification ident;
    ident.file = file;
    ident.refusal = refusal;
    r.engine->setIdentification(&ident);
    r.engine->setKeying(300, 100, KeyingLines(), maxMs);
    r.audio.lengths.insert(QStringLiteral("/tmp/identificado.wav"), 8000);
    r.engine->sendOnce();
    QCOMPARE(ident.asked, QStringList{QStringLiteral("/tmp/aviso.wav")});
    QCOMPARE(r.keyed(), onAir);
    QCOMPARE(r.failures.size(), onAir ? 0 : 1);
    QCOMPARE(r.engine->guardInterval(), guardMs);
    QCOMPARE(r.audio.fileName(), QStringLiteral("/tmp/aviso.wav"));
    if (!refusal.isEmpty())
        QCOMPARE(r.failures.first().at(1).toString(), refusal);
    if (!onAir)
        return;
    QCOMPARE(r.audio.openedName, file.isEmpty() ? QStringLiteral("/tmp/aviso.wav") : file);
    r.audio.finishPlay();
    QVERIFY(!r.keyed());
    QCOMPARE(r.engine->state(), State::Idle);
}

void TestEngine::identifiedInEveryPlayOfALoop()
{
    Rig r;
    FakeIdentification ident;
    r.engine->setIdentification(&ident);
    r.engine->sendLoop();
    for (int play = 0; play < 3; ++play) {
        QVERIFY(r.keyed());
        QCOMPARE(r.audio.openedName, ident.file);
        r.audio.finishPlay();
        QVERIFY(!r.keyed());
        QTRY_VERIFY_WITH_TIMEOUT(r.audio.playing, 1000);
    }
    // A message sent in the pause is identified too, and the loop's own after it again.
    r.audio.finishPlay();
    ident.file = QStringLiteral("/tmp/identificado-2.wav");
    QVERIFY(r.engine->sendFile(QStringLiteral("/tmp/programa.wav")));
    QCOMPARE(r.audio.openedName, ident.file);
    r.audio.finishPlay();
    QCOMPARE(ident.asked.mid(1), QStringList({"/tmp/programa.wav", "/tmp/aviso.wav"}));
    QCOMPARE(r.engine->state(), State::Pausing);
    r.engine->stop();
    QVERIFY(!r.keyed());
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"

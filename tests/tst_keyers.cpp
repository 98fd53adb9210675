// Keying through something other than the serial line: the settings that choose it, the cycle
// waiting for a key-up to be confirmed, and every way out leaving nothing keyed.
#include "fakekeyer.h"
#include "frmestacion.h"
#include "deviceerror.h"
#include "keyermaker.h"
#include "keyersettings.h"
#include "serialkeyer.h"
#include "transmissionengine.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <limits>

namespace {
using State = TransmissionEngine::State;
using Answer = FakeKeyer::Answer;

struct Rig
{
    std::shared_ptr<QStringList> log = std::make_shared<QStringList>();
    FakeAudioDevice audio{log};
    FakeSerialLine serial{log};
    FakeKeyer keyer{log};
    TransmissionEngine engine{audio, serial};
    QSignalSpy failures{&engine, &TransmissionEngine::failed};

    Rig()
    {
        engine.setKeying(300, 100, KeyingLines(), 0);
        engine.setKeyer(&keyer);
        engine.Timer1().setInterval(20);
        audio.setFileName(QStringLiteral("/tmp/aviso.wav"));
        log->clear();
    }
    QStringList take()
    {
        const QStringList calls = *log;
        log->clear();
        return calls;
    }
    QString failure() const { return failures.isEmpty() ? QString() : failures.first().at(0).toString(); }
};
} // namespace

class TestKeyers : public QObject
{
    Q_OBJECT
private slots:
    void keyerSettings_data();
    void keyerSettings();
    void gpioLineForms_data();
    void gpioLineForms();
    void playWaitsForTheConfirmation();
    void undoneBeforeTheAnswer_data();
    void undoneBeforeTheAnswer();
    void refusalsKeyNothing_data();
    void refusalsKeyNothing();
    void voxOpensAndKeysNothing();
    void windowKeysThroughTheChosenMethod();
    void dialogShowsTheMethodsFields_data();
    void dialogShowsTheMethodsFields();
    void dialogStoresTheMethodOnAccept();
    void dialogTestKeysThroughTheMethod();
    void unknownMethodIsRefusedAtSend_data();
    void unknownMethodIsRefusedAtSend();
    void dialogRefusesUnusableValues_data();
    void dialogRefusesUnusableValues();
};

void TestKeyers::keyerSettings_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<int>("equipo");
    QTest::addColumn<int>("velocidad");
    QTest::addColumn<QString>("problem"); // how the refusal starts; empty: usable
    const QString unknown = QStringLiteral("No se conoce el método «%1» para activar el transmisor: ha de ser "
                                           "serie, cm108, gpio, cat o ninguno.");
    QTest::newRow("nothing stored") << QStringList{} << "serie" << "3" << 2 << 0 << "";
    QTest::newRow("method empty") << QStringList{"metodo=  "} << "serie" << "3" << 2 << 0 << "";
    QTest::newRow("method, any case") << QStringList{"metodo= CM108 "} << "cm108" << "3" << 2 << 0 << "";
    QTest::newRow("unknown method") << QStringList{"metodo=vox"} << "vox" << "3" << 2 << 0 << unknown.arg("vox");
    QTest::newRow("method typo") << QStringList{"metodo=ningun"} << "ningun" << "3" << 2 << 0 << unknown.arg("ningun");
    QTest::newRow("vox") << QStringList{"metodo=ninguno"} << "ninguno" << "3" << 2 << 0 << "";
    QTest::newRow("active-low pin") << QStringList{"metodo=cm108", "pin= ! 4 "} << "cm108" << "!4" << 2 << 0 << "";
    QTest::newRow("pin 8") << QStringList{"metodo=cm108", "pin=8"} << "cm108" << "8" << 2 << 0 << "";
    QTest::newRow("pin above 8") << QStringList{"metodo=cm108", "pin=9"} << "cm108" << "9" << 2 << 0
                                 << "El pin 9 de la interfaz CM108 no existe";
    QTest::newRow("pin below 1") << QStringList{"metodo=cm108", "pin=!0"} << "cm108" << "!0" << 2 << 0
                                 << "El pin !0 de la interfaz CM108 no existe";
    QTest::newRow("pin no number") << QStringList{"metodo=cm108", "pin=!tres"} << "cm108" << "3" << 2 << 0 << "";
    QTest::newRow("pin of another method") << QStringList{"pin=12"} << "serie" << "12" << 2 << 0 << "";
    QTest::newRow("rig model") << QStringList{"metodo=cat", "equipo=2014"} << "cat" << "3" << 2014 << 0 << "";
    QTest::newRow("rig model negative") << QStringList{"metodo=cat", "equipo=-5"} << "cat" << "3" << -5 << 0
                                        << "El modelo de equipo -5 no es válido";
    QTest::newRow("rig model too long") << QStringList{"metodo=cat", "equipo=99999999999"} << "cat" << "3"
                                        << std::numeric_limits<int>::max() << 0 << "El modelo de equipo";
    QTest::newRow("rig model bad") << QStringList{"metodo=cat", "equipo=kenwood"} << "cat" << "3" << 2 << 0 << "";
    QTest::newRow("rig port path") << QStringList{"metodo=cat", "equipopuerto=/dev/ttyUSB0"} << "cat" << "3" << 2 << 0
                                   << "";
    QTest::newRow("rig port, IPv6") << QStringList{"metodo=cat", "equipopuerto=[::1]:4532"} << "cat" << "3" << 2 << 0
                                    << "";
    for (const char *port : {"host:99999999", "host:0", "host:abc", ":4532"})
        QTest::addRow("rig port %s", port) << QStringList{"metodo=cat", QStringLiteral("equipopuerto=") + port} << "cat"
                                           << "3" << 2 << 0 << QStringLiteral("El puerto CAT «%1» no es válido").arg(port);
    QTest::newRow("gpio line") << QStringList{"metodo=gpio", "gpio=gpiochip0:!17"} << "gpio" << "3" << 2 << 0 << "";
    QTest::newRow("gpio garbage") << QStringList{"metodo=gpio", "gpio=xyz:!!"} << "gpio" << "3" << 2 << 0
                                  << "La línea GPIO «xyz:!!» no es válida";
    QTest::newRow("gpio none") << QStringList{"metodo=gpio"} << "gpio" << "3" << 2 << 0 << "La línea GPIO «» no es válida";
    QTest::newRow("speed") << QStringList{"equipovelocidad=9600"} << "serie" << "3" << 2 << 9600 << "";
    QTest::newRow("speed negative") << QStringList{"equipovelocidad=-5"} << "serie" << "3" << 2 << 0 << "";
}

// What is stored is read as written (nothing written back); values that choose a line or a
// device are refused, never moved to another one, and a keyer built on them refuses at open.
void TestKeyers::keyerSettings()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    for (const QString &pair : stored)
        store.write(kApplication, kSection, pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    QFile file(dir.filePath(QStringLiteral("Pregonal.conf")));
    const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    const KeyerSettings s = readKeyerSettings(store);
    QTEST(s.metodoName(), "method");
    QTEST(s.pinText(), "pin");
    QTEST(s.equipo, "equipo");
    QTEST(s.equipovelocidad, "velocidad");
    QCOMPARE(s.cm108, QStringLiteral("auto"));
    const QString told = keyerSettingsProblem(s);
    QVERIFY2(problem.isEmpty() ? told.isEmpty() : told.startsWith(problem), qPrintable(told));
    QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), before);
    if (problem.isEmpty())
        return;
    const std::unique_ptr<Keyer> keyer = makeBasicKeyer(s, QString());
    QVERIFY(keyer);
    QCOMPARE(keyer->settingsProblem(), told);
    try {
        keyer->open();
        QFAIL("opened");
    } catch (const DeviceError &e) {
        QCOMPARE(e.reason(), told);
    }
}

void TestKeyers::gpioLineForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("chip");
    QTest::addColumn<uint>("line");
    QTest::addColumn<bool>("activeLow");
    QTest::newRow("name") << "gpiochip0:17" << true << "gpiochip0" << 17u << false;
    QTest::newRow("number, blanks") << " 1 : 4 " << true << "1" << 4u << false;
    QTest::newRow("path, active low") << "/dev/gpiochip2:!27" << true << "/dev/gpiochip2" << 27u << true;
    QTest::newRow("no line") << "gpiochip0" << false << "" << 0u << false;
    QTest::newRow("line no number") << "gpiochip0:x" << false << "" << 0u << false;
    QTest::newRow("empty") << "" << false << "" << 0u << false;
}

void TestKeyers::gpioLineForms()
{
    QFETCH(QString, text);
    const GpioLine line = GpioLine::parse(text);
    QTEST(line.valid, "valid");
    if (!line.valid)
        return;
    QTEST(line.chip, "chip");
    QTEST(line.line, "line");
    QTEST(line.activeLow, "activeLow");
}

// A radio that answers late: the play starts only with its answer, so the lead runs from a
// transmitter really keyed; the command is already Stop-able while it waits.
void TestKeyers::playWaitsForTheConfirmation()
{
    Rig r;
    r.keyer.answerWith = Answer::Later;
    r.engine.sendLoop();
    QCOMPARE(r.take(), QStringList({"keyer open", "open", "keyUp"}));
    QCOMPARE(r.engine.state(), State::Playing);
    QCOMPARE(r.engine.guardInterval(), -1);
    r.keyer.answer();
    QCOMPARE(r.take(), QStringList({"Notify=1", "play"}));
    QVERIFY(r.engine.guardInterval() > 0);
    r.audio.finishPlay();
    QCOMPARE(r.take(), QStringList({"keyDown", "prev"}));
    QTRY_VERIFY_WITH_TIMEOUT(!r.log->isEmpty(), 1000);
    QCOMPARE(r.take(), QStringList({"keyUp"}));
    QTest::qWait(60); // the pause timer keeps running while the answer is awaited, asking nothing more
    QCOMPARE(r.take(), QStringList());
    r.keyer.answer();
    QCOMPARE(r.take(), QStringList({"Notify=1", "play"}));
    QVERIFY(!r.engine.Timer1().isEnabled());
    r.engine.stop();
    QCOMPARE(r.take(), QStringList({"keyDown", "keyer close", "close"}));
    QVERIFY(r.failures.isEmpty());
}

void TestKeyers::undoneBeforeTheAnswer_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("stop") << "stop";
    QTest::newRow("program ends") << "release";
}

// Stop while the answer is awaited: the key-down goes out after the key-up, and an answer that
// comes afterwards starts nothing.
void TestKeyers::undoneBeforeTheAnswer()
{
    QFETCH(QString, how);
    Rig r;
    r.keyer.answerWith = Answer::Later;
    r.engine.sendOnce();
    r.take();
    how == QLatin1String("stop") ? r.engine.stop() : r.engine.release();
    QCOMPARE(r.take().mid(0, 2), QStringList({"keyDown", "keyer close"}));
    r.keyer.answer();
    QVERIFY(r.log->isEmpty());
    if (how == QLatin1String("stop"))
        QCOMPARE(r.engine.state(), State::Idle);
    QVERIFY(!r.keyer.keyed && !r.audio.playing);
    QVERIFY(r.failures.isEmpty());
}

void TestKeyers::refusalsKeyNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("cause");
    QTest::newRow("open") << "open" << "No se puede enviar el mensaje" << "permiso denegado";
    QTest::newRow("refused") << "refuse" << "No se ha podido activar el transmisor por el equipo falso"
                             << "el equipo no responde";
    QTest::newRow("no answer in 2 s") << "silent"
                                      << "El dispositivo que maneja el transmisor, el equipo falso, no ha "
                                         "confirmado la transmisión en 2,0 segundos"
                                      << "";
    QTest::newRow("gone at key-up") << "vanish" << "Se ha perdido el dispositivo que maneja el transmisor, el equipo falso"
                                    << "";
}

// Each refusal is told once, nothing plays, nothing stays keyed or open, and the next command works.
void TestKeyers::refusalsKeyNothing()
{
    QFETCH(QString, fault);
    Rig r;
    r.keyer.failOpen = fault == QLatin1String("open");
    if (fault == QLatin1String("refuse") || fault == QLatin1String("vanish"))
        r.keyer.answerWith = Answer::Refuse;
    if (fault == QLatin1String("silent"))
        r.keyer.answerWith = Answer::Later;
    r.keyer.vanished = fault == QLatin1String("vanish");
    r.engine.sendOnce();
    if (fault == QLatin1String("silent")) {
        QVERIFY(r.failures.isEmpty());
        r.engine.keyUpUnanswered(); // what the 2 s wait calls
        r.keyer.answer();           // too late: changes nothing
    }
    QCOMPARE(r.failures.size(), 1);
    QFETCH(QString, message);
    QVERIFY2(r.failure().startsWith(message), qPrintable(r.failure()));
    QTEST(r.failures.first().at(1).toString(), "cause");
    QVERIFY(!r.log->contains(QStringLiteral("play")));
    QVERIFY(!r.keyer.keyed && !r.keyer.isOpen() && !r.audio.isOpen);
    QCOMPARE(r.engine.state(), State::Idle);
    r.keyer.failOpen = r.keyer.vanished = false;
    r.keyer.answerWith = Answer::AtOnce;
    r.take();
    r.engine.sendOnce();
    QCOMPARE(r.take(), QStringList({"keyer open", "open", "keyUp", "Notify=1", "play"}));
}

// VOX: the play comes with its lead and tail and nothing is opened or keyed on the serial line.
void TestKeyers::voxOpensAndKeysNothing()
{
    NoKeyer vox;
    Rig r;
    r.engine.setKeyer(&vox);
    r.engine.sendOnce();
    QCOMPARE(r.take(), QStringList({"open", "Notify=1", "play"}));
    QCOMPARE(r.audio.leadMs, 300);
    QCOMPARE(r.audio.tailMs, 100);
    QVERIFY(r.engine.guardInterval() > 0);
    r.engine.guardTimeout();
    QCOMPARE(r.failures.size(), 1);
    QVERIFY(!vox.isOpen() && !r.serial.portOpen());
}

// The window builds the keyer "metodo" names and keys through it; the serial line stays closed.
// A changed method applies from the next transmission.
void TestKeyers::windowKeysThroughTheChosenMethod()
{
    WindowFixture f;
    QList<KeyerSettings> built;
    QStringList cards;
    f.makeKeyer = [&](const KeyerSettings &s, const QString &card) -> std::unique_ptr<Keyer> {
        built << s;
        cards << card;
        if (s.metodo == KeyerSettings::Method::Serie)
            return nullptr;
        return std::make_unique<FakeKeyer>(f.log);
    };
    f.store(QStringLiteral("metodo"), QStringLiteral("cat"));
    f.store(QStringLiteral("equipo"), QStringLiteral("2014"));
    f.store(QStringLiteral("salida"), QStringLiteral("alsa_output.usb-radio"));
    Frmprincipal &w = f.load();
    QCOMPARE(built.size(), 1);
    QCOMPARE(built.first().equipo, 2014);
    QCOMPARE(cards, QStringList({"alsa_output.usb-radio"}));
    f.openMessage();
    w.mnuunavez_Click();
    QCOMPARE(*f.log, QStringList({"keyer open", "open", "keyUp", "Notify=1", "play"}));
    QCOMPARE(w.keyer().description(), QStringLiteral("el equipo falso"));
    f.audio->finishPlay();
    QVERIFY(!f.log->contains(QStringLiteral("PortOpen=1")));
    QVERIFY(!w.keyer().isOpen());
}

void TestKeyers::dialogShowsTheMethodsFields_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("serie") << "serie" << QStringList{"cboLineas"};
    QTest::newRow("cm108") << "cm108" << QStringList{"txtCm108", "spnPin", "chkPinBajo"};
    QTest::newRow("gpio") << "gpio" << QStringList{"txtGpio"};
    QTest::newRow("cat") << "cat" << QStringList{"spnEquipo", "txtEquipoPuerto", "spnEquipoVelocidad"};
    QTest::newRow("ninguno") << "ninguno" << QStringList{};
}

// The stored method is chosen when the dialog opens, and only its own fields are shown.
void TestKeyers::dialogShowsTheMethodsFields()
{
    QFETCH(QString, method);
    QFETCH(QStringList, shown);
    WindowFixture f;
    f.store(QStringLiteral("metodo"), method);
    f.load();
    QVERIFY(whileModal<frmestacion>([&] { f.window->mnuestacion_Click(); }, [&](frmestacion &d) {
        QCOMPARE(d.cboMetodo->currentData().toString(), method);
        for (const char *name : {"cboLineas", "txtCm108", "spnPin", "chkPinBajo", "txtGpio", "spnEquipo",
                                 "txtEquipoPuerto", "spnEquipoVelocidad"}) {
            auto *w = d.findChild<QWidget *>(QLatin1String(name));
            QVERIFY(w);
            QVERIFY2(w->isVisible() == shown.contains(QLatin1String(name)), name);
        }
    }));
}

// "Aceptar" stores the method and its values with the others; "Cancelar" stores nothing.
void TestKeyers::dialogStoresTheMethodOnAccept()
{
    WindowFixture f;
    f.load();
    auto fill = [](frmestacion &d) {
        d.cboMetodo->setCurrentIndex(d.cboMetodo->findData(QStringLiteral("cm108")));
        d.txtCm108->setText(QStringLiteral(" /dev/hidraw4 "));
        d.spnPin->setValue(5);
        d.chkPinBajo->setChecked(true);
        d.txtGpio->setText(QStringLiteral("gpiochip0:!17"));
        d.spnEquipo->setValue(2014);
        d.txtEquipoPuerto->setText(QStringLiteral("/dev/ttyUSB1"));
        d.spnEquipoVelocidad->setValue(57600);
    };
    QVERIFY(whileModal<frmestacion>([&] { f.window->mnuestacion_Click(); }, [&](frmestacion &d) {
        fill(d);
        d.cmdcancelar->click();
    }));
    QCOMPARE(SettingsStore(f.storeDir.path()).read("Pregonal", "conf", "metodo", "<none>"), QStringLiteral("<none>"));
    QVERIFY(whileModal<frmestacion>([&] { f.window->mnuestacion_Click(); }, [&](frmestacion &d) {
        fill(d);
        d.cmdaceptar->click();
    }));
    const QList<QPair<QString, QString>> expected = {{"metodo", "cm108"},        {"cm108", "/dev/hidraw4"},
                                                     {"pin", "!5"},              {"gpio", "gpiochip0:!17"},
                                                     {"equipo", "2014"},         {"equipopuerto", "/dev/ttyUSB1"},
                                                     {"equipovelocidad", "57600"}};
    for (const auto &[key, value] : expected)
        QCOMPARE(SettingsStore(f.storeDir.path()).read("Pregonal", "conf", key, "<none>"), value);
    // From the next transmission on (this window has no CM108 backend: it says so, keying nothing).
    f.openMessage();
    f.window->mnuunavez_Click();
    QCOMPARE(f.boxes->shown.size(), 1);
    QCOMPARE(f.boxes->shown.first().detail, QStringLiteral("Esta instalación no puede activar el transmisor por «cm108»."));
    QVERIFY(f.log->filter(QStringLiteral("PortOpen")).isEmpty());
}

// "Probar" keys through the method chosen in the dialog (not yet stored), never the serial line.
void TestKeyers::dialogTestKeysThroughTheMethod()
{
    WindowFixture f;
    QList<KeyerSettings> built;
    f.makeKeyer = [&](const KeyerSettings &s, const QString &) -> std::unique_ptr<Keyer> {
        built << s;
        if (s.metodo == KeyerSettings::Method::Serie)
            return nullptr;
        return std::make_unique<FakeKeyer>(f.log);
    };
    f.load();
    QVERIFY(whileModal<frmestacion>([&] { f.window->mnuestacion_Click(); }, [&](frmestacion &d) {
        d.cboMetodo->setCurrentIndex(d.cboMetodo->findData(QStringLiteral("cat")));
        d.spnEquipo->setValue(2014);
        f.log->clear();
        d.cmdprobar->click();
        QVERIFY(d.testRunning());
        QVERIFY(f.log->contains(QStringLiteral("keyer open")) && f.log->contains(QStringLiteral("keyUp")));
        QVERIFY(f.log->filter(QStringLiteral("PortOpen")).isEmpty());
        QCOMPARE(built.last().equipo, 2014);
        QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(!d.testRunning());
        QVERIFY(f.log->contains(QStringLiteral("keyDown")) && f.log->contains(QStringLiteral("keyer close")));
    }));
    QVERIFY(f.boxes->shown.isEmpty());
}

void TestKeyers::unknownMethodIsRefusedAtSend_data()
{
    QTest::addColumn<QString>("method");
    QTest::newRow("vox") << "vox";
    QTest::newRow("typo") << "ningun";
}

// A method no keyer has is told at send, naming it; the serial line is never opened meanwhile.
void TestKeyers::unknownMethodIsRefusedAtSend()
{
    QFETCH(QString, method);
    WindowFixture f;
    f.store(QStringLiteral("metodo"), method);
    f.load();
    f.openMessage();
    f.log->clear();
    f.window->mnuunavez_Click();
    QCOMPARE(f.boxes->shown.size(), 1);
    QVERIFY2(f.boxes->shown.first().detail.startsWith(QStringLiteral("No se conoce el método «%1»").arg(method)),
             qPrintable(f.boxes->shown.first().detail));
    QVERIFY2(f.log->filter(QStringLiteral("PortOpen")).isEmpty(), qPrintable(f.log->join(' ')));
    QVERIFY(!f.serial->dtr && !f.serial->rts && !f.audio->playing);
}

void TestKeyers::dialogRefusesUnusableValues_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("bad");
    QTest::addColumn<QString>("good");
    QTest::addColumn<QString>("problem");
    QTest::newRow("gpio line") << "gpio" << "txtGpio" << "xyz:!!" << "gpiochip0:17" << "La línea GPIO «xyz:!!»";
    QTest::newRow("rigctld port") << "cat" << "txtEquipoPuerto" << "host:99999999" << "host:4532"
                                  << "El puerto CAT «host:99999999»";
    QTest::newRow("CAT port empty") << "cat" << "txtEquipoPuerto" << " " << "/dev/ttyUSB0"
                                    << "No se ha indicado el puerto CAT";
    QTest::newRow("model the keyer refuses") << "cat" << "spnEquipo" << "999999" << "2014"
                                             << "Hamlib no conoce el modelo de equipo 999999";
}

// "Aceptar" checks the chosen method's values as "Probar" would take them, without opening
// anything: what is wrong is told, the dialog stays open and nothing is stored until it is put right.
void TestKeyers::dialogRefusesUnusableValues()
{
    QFETCH(QString, method);
    QFETCH(QString, field);
    QFETCH(QString, bad);
    QFETCH(QString, good);
    QFETCH(QString, problem);
    WindowFixture f;
    // A keyer knows what the settings alone cannot (the models Hamlib has), and is never opened.
    f.makeKeyer = [&](const KeyerSettings &s, const QString &) -> std::unique_ptr<Keyer> {
        if (s.metodo == KeyerSettings::Method::Cat && s.equipo == 999999)
            return std::make_unique<RefusingKeyer>(QStringLiteral("Hamlib no conoce el modelo de equipo 999999."),
                                                   QStringLiteral("cat"), true);
        return std::make_unique<FakeKeyer>(f.log);
    };
    f.load();
    auto setField = [](frmestacion &d, const QString &name, const QString &text) {
        if (auto *edit = d.findChild<QLineEdit *>(name))
            edit->setText(text);
        else
            d.findChild<QSpinBox *>(name)->setValue(text.toInt());
    };
    QVERIFY(whileModal<frmestacion>([&] { f.window->mnuestacion_Click(); }, [&](frmestacion &d) {
        d.cboMetodo->setCurrentIndex(d.cboMetodo->findData(method));
        setField(d, field, bad);
        f.log->clear();
        d.cmdaceptar->click();
        QVERIFY(d.isVisible());
        QCOMPARE(f.boxes->shown.size(), 1);
        QVERIFY2(f.boxes->shown.first().detail.startsWith(problem), qPrintable(f.boxes->shown.first().detail));
        QVERIFY(!QFileInfo::exists(f.storeFile()) ||
                SettingsStore(f.storeDir.path()).read("Pregonal", "conf", "metodo", "<none>") == "<none>");
        QVERIFY2(!f.log->contains(QStringLiteral("keyer open")), "nothing is opened to check the values");
        setField(d, field, good);
        d.cmdaceptar->click();
        QVERIFY(!d.isVisible());
    }));
    QCOMPARE(f.boxes->shown.size(), 1);
    QCOMPARE(SettingsStore(f.storeDir.path()).read("Pregonal", "conf", "metodo", "<none>"), method);
}

QTEST_MAIN(TestKeyers)
#include "tst_keyers.moc"

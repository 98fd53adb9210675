// The station dialog on the real main window built on fakes: what it lists, what "Aceptar" stores
// and applies, the test transmission and the input meter.
#include "windowfixture.h"

#include "deviceerror.h"
#include "frmestacion.h"
#include "keyinglines.h"
#include "settingsstore.h"
#include "stationident.h"
#include "stationchannel.h"
#include "stationlevel.h"
#include "testtone.h"
#include "transmissionlog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>

namespace {
const QList<SoundCardEntry> kOutputs = {
    {QStringLiteral("alsa_output.pci.analog-stereo"), QStringLiteral("Audio interno")},
    {QStringLiteral("alsa_output.usb-CM108.analog-mono"), QStringLiteral("Interfaz de radio")}};
const QList<SoundCardEntry> kInputs = {
    {QStringLiteral("alsa_input.pci.analog-stereo"), QStringLiteral("Micrófono interno")},
    {QStringLiteral("alsa_input.usb-CM108.analog-mono"), QStringLiteral("Interfaz de radio")}};

QByteArray storeBytes(const WindowFixture &f)
{
    QFile file(f.storeFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

QString stored(const WindowFixture &f, const QString &key)
{
    return SettingsStore(f.storeDir.path())
        .read(QStringLiteral("Pregonal"), QStringLiteral("conf"), key, QStringLiteral("<none>"));
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

void loadWithCards(WindowFixture &f)
{
    f.load();
    f.sound->outputCards = kOutputs;
    f.sound->inputCards = kInputs;
}

// Opens the dialog through the window's command and hands it to body.
bool withDialog(WindowFixture &f, const std::function<void(frmestacion &)> &body)
{
    return whileModal<frmestacion>([&] { f.window->mnuestacion_Click(); }, body);
}
} // namespace

class TestStation : public QObject
{
    Q_OBJECT
private slots:
    void menuItemBelowOptions();
    void opensAtStoredValues();
    void leavingWithoutAcceptChangesNothing_data();
    void leavingWithoutAcceptChangesNothing();
    void acceptStoresAndApplies();
    void rangesAreEnforced_data();
    void rangesAreEnforced();
    void testKeysAroundTheTone();
    void testEndsAtOnceUnkeyed_data();
    void testEndsAtOnceUnkeyed();
    void testFailuresAreToldOnce_data();
    void testFailuresAreToldOnce();
    void readOnlyWhileTransmitting();
    void meterFollowsTheInput();
    void identificationStored_data();
    void identificationStored();
    void identificationTried_data();
    void identificationTried();
    void levelOnTheAir_data();
    void levelOnTheAir();
    void clearChannel_data();
    void clearChannel();
};

void TestStation::menuItemBelowOptions()
{
    WindowFixture f;
    f.load();
    const QList<QAction *> items = f.window->mnuarchivo->actions();
    const int options = int(items.indexOf(f.window->mnuopciones));
    QCOMPARE(items.value(options + 1), f.window->mnuestacion);
    QCOMPARE(f.window->mnuestacion->text(), QStringLiteral("&Estación..."));
    QVERIFY(f.window->mnuestacion->shortcut().isEmpty());
    for (int i = 1; i <= f.window->Toolbar1()->actions().size(); ++i)
        QVERIFY(f.window->button(i) != f.window->mnuestacion);
    // Access keys within the menu stay unique.
    QSet<QChar> keys;
    for (const QAction *item : items) {
        const int amp = int(item->text().indexOf(QLatin1Char('&')));
        if (amp >= 0)
            QVERIFY2(!keys.contains(item->text().at(amp + 1).toLower()), qPrintable(item->text()));
        if (amp >= 0)
            keys.insert(item->text().at(amp + 1).toLower());
    }
}

void TestStation::opensAtStoredValues()
{
    WindowFixture f;
    f.store("salida", "alsa_output.usb-CM108.analog-mono-renamed"); // id changed, description stands
    f.store("salidanombre", "Interfaz de radio");
    f.store("entrada", "alsa_input.usb-desenchufada");
    f.store("entradanombre", "Tarjeta desenchufada");
    f.store("lineas", " rts + !dtr ");
    f.store("retardo", "450");
    f.store("cola", "abc");
    f.store("tiempomaximo", "90000");
    loadWithCards(f);
    f.window->move(200, 150);
    QVERIFY(f.showActive());
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        QCOMPARE(itemsOf(d.cboSalida),
                 (QStringList{"Predeterminada del sistema", "Audio interno", "Interfaz de radio"}));
        QCOMPARE(d.cboSalida->currentText(), QStringLiteral("Interfaz de radio"));
        QCOMPARE(itemsOf(d.cboEntrada),
                 (QStringList{"Predeterminada del sistema", "Micrófono interno", "Interfaz de radio",
                              "Tarjeta desenchufada (no está conectada)"}));
        QCOMPARE(d.cboEntrada->currentIndex(), 3);
        QCOMPARE(d.cboLineas->currentText(), QStringLiteral("!DTR+RTS"));
        QCOMPARE(d.spnRetardo->value(), 450);
        QCOMPARE(d.spnCola->value(), 100);          // bad text: the default
        QCOMPARE(d.spnTiempoMaximo->value(), 3600); // out of range: the nearest end
        QVERIFY(d.isModal());
        QVERIFY(d.cmdaceptar->isEnabled());
        QVERIFY(!d.lblAviso->isVisible());
        // Over the window, as far as the screen lets a dialog almost as tall as it be centred.
        QVERIFY(qAbs(d.frameGeometry().center().x() - f.window->frameGeometry().center().x()) <= 4);
        QVERIFY(d.screen()->availableGeometry().contains(d.frameGeometry()));
        // Access keys stay unique across every row, those of the other keying methods included.
        QStringList texts;
        for (const QLabel *label : d.findChildren<QLabel *>())
            texts << label->text();
        for (const QAbstractButton *button : d.findChildren<QAbstractButton *>())
            texts << button->text();
        QMap<QChar, QString> keys;
        for (const QString &text : texts) {
            const int amp = int(text.indexOf(QLatin1Char('&')));
            if (amp < 0 || amp + 1 >= text.size())
                continue;
            const QChar key = text.at(amp + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(keys.value(key) + " / " + text));
            keys.insert(key, text);
        }
    }));
    QVERIFY2(f.window->findChildren<frmestacion *>().isEmpty(), "the dialog is destroyed when closed");
}

void TestStation::leavingWithoutAcceptChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancelar") << "Cancelar";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close") << "close";
}

void TestStation::leavingWithoutAcceptChangesNothing()
{
    QFETCH(QString, how);
    WindowFixture f;
    f.store("retardo", "450");
    loadWithCards(f);
    const QByteArray before = storeBytes(f);
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        d.cboSalida->setCurrentIndex(2);
        d.spnRetardo->setValue(900);
        d.cboLineas->setCurrentIndex(2);
        if (how == "Cancelar")
            d.cmdcancelar->click();
        else if (how == "Esc")
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        QVERIFY(!d.isVisible());
    }));
    QCOMPARE(storeBytes(f), before);
    f.openMessage();
    f.window->mnuunavez_Click();
    QCOMPARE(f.audio->leadMs, 450);
    QVERIFY(f.audio->outputCard.isDefault());
    QCOMPARE(f.serial->lines, KeyingLines());
}

void TestStation::acceptStoresAndApplies()
{
    WindowFixture f;
    loadWithCards(f);
    f.sound->outputCards.append({QStringLiteral("alsa_output.usb-otra"), QStringLiteral("Radio, canal 2")});
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        d.cboSalida->setCurrentIndex(3);
        d.cboEntrada->setCurrentIndex(2);
        d.cboLineas->setCurrentText(QStringLiteral("!RTS"));
        d.spnRetardo->setValue(250);
        d.spnCola->setValue(0);
        d.spnTiempoMaximo->setValue(120);
        d.cmdaceptar->click();
    }));
    const QList<QPair<QString, QString>> expected = {{"salida", "alsa_output.usb-otra"},
                                                     {"salidanombre", "Radio, canal 2"},
                                                     {"entrada", "alsa_input.usb-CM108.analog-mono"},
                                                     {"entradanombre", "Interfaz de radio"},
                                                     {"lineas", "!RTS"},
                                                     {"retardo", "250"},
                                                     {"cola", "0"},
                                                     {"tiempomaximo", "120"}};
    for (const auto &[key, value] : expected)
        QCOMPARE(stored(f, key), value);
    QVERIFY(f.boxes->shown.isEmpty());

    // From the next transmission on, with nothing more to do.
    f.openMessage();
    f.window->mnuunavez_Click();
    QCOMPARE(f.audio->leadMs, 250);
    QCOMPARE(f.audio->tailMs, 0);
    QCOMPARE(f.audio->outputCard.id, QStringLiteral("alsa_output.usb-otra"));
    QCOMPARE(f.audio->inputCard.description, QStringLiteral("Interfaz de radio"));
    QCOMPARE(f.serial->lines, *KeyingLines::parse(QStringLiteral("!RTS")));
    QVERIFY(f.window->guardInterval() <= 120000);

    // A store that cannot be written: told once, and the values still apply until the end.
    f.window->mnustop_Click();
    QFile::remove(f.storeFile());
    QVERIFY(QDir(f.storeDir.path()).mkdir(QStringLiteral("Pregonal.conf"))); // a folder in its place
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        d.spnRetardo->setValue(700);
        d.grpChannel->spnLibre->setValue(3500);
        d.cmdaceptar->click();
    }));
    QCOMPARE(f.boxes->shown.size(), 1);
    QVERIFY(f.boxes->shown.first().text.startsWith(
        QStringLiteral("No se han podido guardar los valores de la estación")));
    QCOMPARE(f.window->station().channelWatch().settings().libreMs, 3500);
    f.window->mnuunavez_Click();
    QCOMPARE(f.audio->leadMs, 700);
}

void TestStation::rangesAreEnforced_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::newRow("lead above") << "spnRetardo"
                                << "99999" << 2000;
    QTest::newRow("lead below") << "spnRetardo"
                                << "-5" << 0;
    QTest::newRow("tail above") << "spnCola"
                                << "2500" << 2000;
    QTest::newRow("cap above") << "spnTiempoMaximo"
                               << "7200" << 3600;
    QTest::newRow("cap none") << "spnTiempoMaximo"
                              << "0" << 0;
}

// Whatever is typed, the control keeps a value in range, and that is what is stored.
void TestStation::rangesAreEnforced()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(int, value);
    WindowFixture f;
    loadWithCards(f);
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        auto *spin = d.findChild<QSpinBox *>(control);
        QVERIFY(spin);
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, typed);
        spin->interpretText();
        QVERIFY(spin->value() >= spin->minimum() && spin->value() <= spin->maximum());
        if (spin->value() != value) // typing past the top stops at the digits that fit
            spin->setValue(typed.toInt());
        QCOMPARE(spin->value(), value);
        d.cmdaceptar->click();
    }));
    const QString key = control == "spnRetardo" ? "retardo" : control == "spnCola" ? "cola" : "tiempomaximo";
    QCOMPARE(stored(f, key), QString::number(value));
}

// "Probar" runs the cycle on the dialog's values, not the stored ones, and gives the serial
// line its stored keying back when it ends.
void TestStation::testKeysAroundTheTone()
{
    WindowFixture f;
    f.store("lineas", "DTR");
    loadWithCards(f);
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        d.cboSalida->setCurrentIndex(2);
        d.cboLineas->setCurrentText(QStringLiteral("!DTR+!RTS"));
        d.spnRetardo->setValue(150);
        d.spnCola->setValue(50);
        f.log->clear();
        d.cmdprobar->click();
        QVERIFY(d.testRunning());
        QCOMPARE(d.cmdprobar->text(), QStringLiteral("&Detener"));
        QVERIFY(!d.cmdaceptar->isEnabled());
        QVERIFY(!d.spnRetardo->isEnabled());
        FakeAudioDevice *player = f.sound->player;
        QVERIFY(player && player != f.audio);
        QVERIFY(player->fileName().endsWith(QStringLiteral("prueba.wav")));
        QVERIFY(QFile::exists(player->fileName()));
        QCOMPARE(player->outputCard.id, QStringLiteral("alsa_output.usb-CM108.analog-mono"));
        QCOMPARE(player->leadMs, 150);
        QCOMPARE(player->tailMs, 50);
        QCOMPARE(f.serial->lines, *KeyingLines::parse(QStringLiteral("!DTR+!RTS")));
        QVERIFY(f.serial->dtr && f.serial->rts && f.serial->portOpen());
        QVERIFY(player->playing);
        QVERIFY2(f.log->indexOf("DTR=1") < f.log->indexOf("play"), qPrintable(f.log->join(' ')));

        player->finishPlay();
        QVERIFY(!d.testRunning());
        QVERIFY(!f.serial->dtr && !f.serial->rts && !f.serial->portOpen());
        QCOMPARE(d.cmdprobar->text(), QStringLiteral("&Probar"));
        QVERIFY(d.cmdaceptar->isEnabled());
        QCOMPARE(f.serial->lines, *KeyingLines::parse(QStringLiteral("DTR")));
        QVERIFY(f.boxes->shown.isEmpty());
        d.cmdcancelar->click();
    }));
    QCOMPARE(stored(f, "retardo"), QStringLiteral("<none>")); // a test stores nothing
}

void TestStation::testEndsAtOnceUnkeyed_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("Esc") << "Esc" << true;
    QTest::newRow("Detener") << "Detener" << true;
    QTest::newRow("Cancelar") << "Cancelar" << false;
    QTest::newRow("close") << "close" << false;
}

void TestStation::testEndsAtOnceUnkeyed()
{
    QFETCH(QString, how);
    QFETCH(bool, staysOpen);
    WindowFixture f;
    loadWithCards(f);
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        d.cmdprobar->click();
        QVERIFY(f.serial->dtr);
        if (how == "Esc")
            QTest::keyClick(&d, Qt::Key_Escape);
        else if (how == "Detener")
            d.cmdprobar->click();
        else if (how == "Cancelar")
            d.cmdcancelar->click();
        else
            d.close();
        // At once, without waiting for the event loop.
        QVERIFY(!f.serial->dtr && !f.serial->rts && !f.serial->portOpen());
        QVERIFY(!d.testRunning());
        QCOMPARE(d.isVisible(), staysOpen);
        QVERIFY(f.sound->player && !f.sound->player->playing);
    }));
    QVERIFY(f.boxes->shown.isEmpty());
    QCOMPARE(f.serial->lines, KeyingLines());
}

void TestStation::testFailuresAreToldOnce_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("text");
    QTest::newRow("port") << "port"
                          << "No se puede enviar el mensaje";
    QTest::newRow("tone") << "tone"
                          << "No se puede hacer la prueba de transmisión.";
    QTest::newRow("cap") << "cap"
                         << "No se puede enviar el mensaje";
    QTest::newRow("play") << "play"
                          << "No se ha podido reproducir el mensaje";
    QTest::newRow("guard") << "guard"
                           << "La transmisión se ha cortado por seguridad";
}

void TestStation::testFailuresAreToldOnce()
{
    QFETCH(QString, fault);
    QFETCH(QString, text);
    WindowFixture f;
    loadWithCards(f);
    f.serial->failOpen = fault == "port";
    f.sound->failTone = fault == "tone";
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        if (fault == "cap")
            d.spnTiempoMaximo->setValue(2); // the 2 s tone plus lead and tail do not fit
        if (fault == "guard")
            d.spnTiempoMaximo->setValue(3); // the guard cuts the key at 3 s: no Done comes
        d.cmdprobar->click();
        if (fault == "play")
            f.sound->player->finishPlay(AudioDevice::Failure);
        if (fault == "guard")
            QTRY_VERIFY_WITH_TIMEOUT(!d.testRunning(), 8000);
        QVERIFY(!d.testRunning());
        QVERIFY(!f.serial->dtr && !f.serial->rts && !f.serial->portOpen());
        QCOMPARE(f.boxes->shown.size(), 1);
        QVERIFY2(f.boxes->shown.first().text.startsWith(text), qPrintable(f.boxes->shown.first().text));
        QVERIFY(d.cmdprobar->isEnabled() && d.cmdaceptar->isEnabled());
        QVERIFY(d.isVisible());
    }));
    QCOMPARE(f.serial->lines, KeyingLines());
}

// A transmission that runs while the dialog is open (a schedule, a command line) makes it
// read-only until it ends.
void TestStation::readOnlyWhileTransmitting()
{
    WindowFixture f;
    loadWithCards(f);
    f.openMessage();
    f.window->mnuenbucle_Click();
    QVERIFY(!f.window->mnuarchivo->menuAction()->isEnabled()); // the menu is out of reach meanwhile
    const QByteArray before = storeBytes(f);
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        QVERIFY(!d.cmdaceptar->isEnabled());
        QVERIFY(!d.cmdprobar->isEnabled());
        QVERIFY(!d.spnRetardo->isEnabled());
        QVERIFY(d.lblAviso->isVisible());
        d.cmdaceptar_Click(); // even if pressed: nothing
        d.cmdprobar_Click();
        QVERIFY(d.isVisible() && !d.testRunning());
        f.window->mnustop_Click();
        QVERIFY(d.cmdaceptar->isEnabled() && d.cmdprobar->isEnabled());
        QVERIFY(!d.lblAviso->isVisible());
        d.cmdcancelar->click();
    }));
    QCOMPARE(storeBytes(f), before);
}

void TestStation::meterFollowsTheInput()
{
    WindowFixture f;
    loadWithCards(f);
    f.sound->refuseInputs = {QStringLiteral("alsa_input.pci.analog-stereo")};
    QPointer<FakeLevelMeter> meter;
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        meter = f.sound->meter;
        QVERIFY(meter && meter->listening);
        QVERIFY(meter->card.isDefault());
        meter->feed(0.1);
        QCOMPARE(d.lblNivel->text(), QStringLiteral("-20 dB"));
        QCOMPARE(d.barNivel->value(), 67);
        meter->feed(0.0);
        QCOMPARE(d.lblNivel->text(), QStringLiteral("silencio"));
        QCOMPARE(d.barNivel->value(), 0);

        d.cboEntrada->setCurrentIndex(2);
        QVERIFY(meter->listening);
        QCOMPARE(meter->card.id, QStringLiteral("alsa_input.usb-CM108.analog-mono"));

        d.cboEntrada->setCurrentIndex(1); // an input that cannot be listened to
        QVERIFY(!meter->listening);
        QCOMPARE(d.lblNivel->text(), QStringLiteral("sin entrada"));
        QVERIFY(d.lblNivel->toolTip().contains(QStringLiteral("Micrófono interno")));
        QVERIFY(!d.barNivel->isEnabled());

        // An input that goes away while listened to, and comes back.
        d.cboEntrada->setCurrentIndex(2);
        meter->feed(0.1);
        meter->lose(QStringLiteral("Se ha perdido la entrada «Interfaz de radio»."));
        QCOMPARE(d.lblNivel->text(), QStringLiteral("sin entrada"));
        QCOMPARE(d.lblNivel->toolTip(), QStringLiteral("Se ha perdido la entrada «Interfaz de radio»."));
        QVERIFY(!d.barNivel->isEnabled() && d.barNivel->value() == 0);
        meter->resume();
        QCOMPARE(d.lblNivel->text(), QStringLiteral("silencio"));
        QVERIFY(d.lblNivel->toolTip().isEmpty() && d.barNivel->isEnabled());
        meter->feed(0.1);
        QCOMPARE(d.lblNivel->text(), QStringLiteral("-20 dB"));
        QVERIFY(f.boxes->shown.isEmpty());
    }));
    QVERIFY2(!meter, "the meter goes with the dialog");
}

void TestStation::identificationStored_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("mode"); // the list's row: no, final, cada
    QTest::addColumn<QString>("voice");
    QTest::addColumn<QString>("indicativo"); // stored; "<refused>": nothing stored, the operator told
    QTest::newRow("other signs refused as typed") << "ea1-ABC .,/p" << 1 << ""
                                                  << "EA1ABC/P";
    QTest::newRow("every few minutes") << "EA1ABC" << 2 << ""
                                       << "EA1ABC";
    QTest::newRow("no callsign, no identification") << "" << 0 << ""
                                                    << "";
    QTest::newRow("no callsign but a voice file") << "" << 1 << "/srv/id.wav"
                                                  << "";
    QTest::newRow("identifying without callsign") << "" << 1 << ""
                                                  << "<refused>";
    QTest::newRow("only signs typed") << "-- .. ?" << 2 << ""
                                      << "<refused>";
}

void TestStation::identificationStored()
{
    QFETCH(QString, typed);
    QFETCH(int, mode);
    QFETCH(QString, voice);
    QFETCH(QString, indicativo);
    WindowFixture f;
    loadWithCards(f);
    bool accepted = false;
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        StationIdent *g = d.grpIdent;
        QCOMPARE(g->cboIdentificacion->currentIndex(), 0); // by default the station does not identify
        g->txtIndicativo->setFocus();
        QTest::keyClicks(g->txtIndicativo, typed);
        g->cboIdentificacion->setCurrentIndex(mode);
        g->txtIdentArchivo->setText(voice);
        g->spnIdentCada->setValue(15);
        d.cmdaceptar->click();
        accepted = d.result() == QDialog::Accepted;
        if (!accepted)
            d.cmdcancelar->click();
    }));
    if (indicativo == QLatin1String("<refused>")) {
        QVERIFY(!accepted);
        QCOMPARE(f.boxes->shown.size(), 1);
        QVERIFY(f.boxes->shown.first().text.startsWith(QStringLiteral("Falta el indicativo")));
        QCOMPARE(stored(f, "identificacion"), QStringLiteral("<none>"));
        QCOMPARE(stored(f, "retardo"), QStringLiteral("<none>"));
        return;
    }
    QVERIFY(accepted);
    QCOMPARE(stored(f, "indicativo"), indicativo);
    QCOMPARE(stored(f, "identificacion"), QStringList({"no", "final", "cada"}).at(mode));
    QCOMPARE(stored(f, "identcada"), QStringLiteral("15"));
    QCOMPARE(stored(f, "identarchivo"), voice);
    QCOMPARE(stored(f, "cwvelocidad"), QStringLiteral("20"));
}

void TestStation::identificationTried_data()
{
    QTest::addColumn<QString>("callsign");
    QTest::newRow("callsign") << "EA1ABC";
    QTest::newRow("none") << "";
}

// "Probar identificación" keys and sends the identification with the dialog's values, as "Probar"
// does the tone; without a callsign it is refused, told once, with nothing keyed.
void TestStation::identificationTried()
{
    QFETCH(QString, callsign);
    WindowFixture f;
    loadWithCards(f);
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        d.grpIdent->txtIndicativo->setText(callsign);
        d.grpIdent->spnCwVelocidad->setValue(25);
        d.grpIdent->cmdprobarident->click();
        if (callsign.isEmpty()) {
            QVERIFY(!d.testRunning());
            QVERIFY(!f.serial->dtr && !f.serial->rts);
            QCOMPARE(f.boxes->shown.size(), 1);
            QVERIFY(f.boxes->shown.first().detail.contains(QStringLiteral("indicativo")));
            d.cmdcancelar->click();
            return;
        }
        QVERIFY(d.testRunning());
        QCOMPARE(d.grpIdent->cmdprobarident->text(), QStringLiteral("&Detener"));
        FakeAudioDevice *player = f.sound->player;
        QVERIFY(player->fileName().endsWith(QStringLiteral("identificacion.wav")));
        QCOMPARE(f.sound->identifications.size(), 1);
        QCOMPARE(f.sound->identifications.first().cwvelocidadWpm, 25);
        QVERIFY(f.serial->dtr && player->playing);
        player->finishPlay();
        QVERIFY(!d.testRunning() && !f.serial->dtr);
        QVERIFY(f.boxes->shown.isEmpty());
        d.cmdcancelar->click();
    }));
    QCOMPARE(stored(f, "indicativo"), QStringLiteral("<none>"));
    if (!callsign.isEmpty())
        QCOMPARE(readLatestLog(f.logDir.path(), 1).value(0).value(3), QStringLiteral("DE EA1ABC"));
}


namespace {
// A line that one source at a time can hold, as a GPIO line, a CM108 or a radio is held: a
// second open while another holds it is refused.
class HeldLine : public BusySource
{
public:
    explicit HeldLine(const QString &device) : m_device(device) {}
    ~HeldLine() override { close(); }
    void open() override
    {
        if (holders().contains(m_device))
            throw DeviceError(QStringLiteral("La línea «%1» la está usando otro programa.").arg(m_device));
        holders().insert(m_device, this);
        m_open = true;
    }
    void close() override
    {
        if (m_open)
            holders().remove(m_device);
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    bool busy() const override { return m_open && m_busy; }
    QString description() const override { return m_device; }
    void hear(bool busy)
    {
        m_busy = busy;
        emit busyChanged(busy);
    }
    static QHash<QString, HeldLine *> &holders()
    {
        static QHash<QString, HeldLine *> open;
        return open;
    }

private:
    QString m_device;
    bool m_open = false;
    bool m_busy = false;
};
} // namespace

// values: "conf" before the dialog opens; choose: the source picked in the dialog (empty: as
// stored); edit: "field=value" changed in it then; rows: the fields shown below the source; shows: whose
// source the live line follows ("station", "own", or none); heard: what it hears then (dB for the
// receiver, 1 or 0 for a line; or nothing); indicator: the live line after it; storedAfter:
// "key=value" once accepted, or the refusal's text when Aceptar must store nothing.
void TestStation::clearChannel_data()
{
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("choose");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("shows");
    QTest::addColumn<QString>("heard");
    QTest::addColumn<QString>("indicator");
    QTest::addColumn<QString>("storedAfter");

    const QStringList waits{"spnLibre", "spnEspera", "spnIgnorar"};
    const QStringList audio = QStringList{"cboReceptor", "spnUmbral"} + waits;
    const QStringList gpio = QStringList{"txtOcupadoGpio"} + waits;
    QTest::newRow("default: nothing listened to")
        << "" << "" << "" << QStringList() << "" << "" << "Canal: no se escucha" << "ocupado=ninguno;libre=2000";
    QTest::newRow("audio as the station hears it, busy")
        << "ocupado=audio;umbral=-35;entrada=alsa_input.usb-CM108.analog-mono" << "" << "" << audio << "station"
        << "-31" << "Canal: ocupado (-31 dBFS)" << "ocupado=audio;umbral=-35;receptor=";
    QTest::newRow("audio at another threshold: the dialog's own")
        << "ocupado=audio;umbral=-35;entrada=alsa_input.usb-CM108.analog-mono;libre=3000" << "" << "spnUmbral=-50"
        << audio
        << "own" << "-45" << "Canal: ocupado (-45 dBFS)" << "ocupado=audio;umbral=-50;libre=3000";
    QTest::newRow("audio chosen in the dialog, clear")
        << "" << "audio" << "" << audio << "own" << "-72" << "Canal: libre (-72 dBFS)"
        << "ocupado=audio;umbral=-40;espera=120;ocupadoignorar=500";
    QTest::newRow("audio on an input that refuses")
        << "ocupado=audio;receptor=alsa_input.pci.analog-stereo" << "" << "" << audio << "station" << ""
        << "Canal: no se puede leer" << "receptor=alsa_input.pci.analog-stereo";
    QTest::newRow("serial line") << "" << "serie" << "" << (QStringList{"cboOcupadoLinea", "spnOcupadoPuerto"} + waits)
                                 << "own" << "" << "Canal: no se puede leer"
                                 << "ocupado=serie;ocupadolinea=DCD;ocupadopuerto=0";
    QTest::newRow("unknown line kept as written")
        << "ocupado=serie;ocupadolinea=XYZ" << "" << "" << (QStringList{"cboOcupadoLinea", "spnOcupadoPuerto"} + waits)
        << "own" << "" << "Canal: no se puede leer" << "La línea «XYZ» del puerto serie no existe";
    QTest::newRow("gpio without a line") << "" << "gpio" << "" << gpio << "own" << ""
                                         << "Canal: no se puede leer" << "La línea GPIO «» no se entiende";
    QTest::newRow("gpio line the station holds: its source shown")
        << "ocupado=gpio;ocupadogpio=gpiochip0:5" << "" << "" << gpio << "station" << "1" << "Canal: ocupado"
        << "ocupado=gpio;ocupadogpio=gpiochip0:5";
    QTest::newRow("gpio line turned round: held, and the station reads it once accepted")
        << "ocupado=gpio;ocupadogpio=gpiochip0:5" << "" << "txtOcupadoGpio=gpiochip0:!5" << gpio << "own" << ""
        << "Canal: no se puede leer ahora: lo tiene abierto la estación" << "ocupado=gpio;ocupadogpio=gpiochip0:!5";
    QTest::newRow("gpio line chosen in the dialog, free")
        << "" << "gpio" << "txtOcupadoGpio=gpiochip1:7" << gpio << "own" << "0" << "Canal: libre"
        << "ocupado=gpio;ocupadogpio=gpiochip1:7";
    QTest::newRow("cm108") << "" << "cm108" << "" << (QStringList{"cboOcupadoCm108"} + waits) << "own" << ""
                           << "Canal: no se puede leer" << "ocupado=cm108;ocupadocm108=VOL_DN";
    QTest::newRow("cat the station holds: its source shown")
        << "ocupado=cat" << "" << "" << waits << "station" << "0" << "Canal: libre" << "ocupado=cat";
    QTest::newRow("unknown source refused") << "ocupado=radio" << "" << "" << waits << "own" << ""
                                            << "Canal: no se puede leer" << "No se conoce la fuente «radio»";
}

void TestStation::clearChannel()
{
    QFETCH(QString, values);
    QFETCH(QString, choose);
    QFETCH(QString, edit);
    QFETCH(QStringList, rows);
    QFETCH(QString, shows);
    QFETCH(QString, heard);
    QFETCH(QString, indicator);
    QFETCH(QString, storedAfter);
    WindowFixture f;
    // The receiver's audio through the fake sound server, GPIO lines and the radio as lines one
    // source at a time can hold; no test opens a real device.
    f.makeBusySource = [](const BusySettings &busy, const BusySourceContext &context) -> std::unique_ptr<BusySource> {
        if (busy.receptor == QLatin1String("alsa_input.pci.analog-stereo"))
            return std::make_unique<RefusingBusySource>(QStringLiteral("Esa entrada no se deja escuchar."), "audio");
        if (!busy.on() || busy.ocupado == BusySettings::Source::Audio)
            return makeBusySource(busy, context);
        if (busy.ocupado == BusySettings::Source::Gpio && !busy.ocupadogpio.isEmpty())
            return std::make_unique<HeldLine>(QString(busy.ocupadogpio).remove(QLatin1Char('!')));
        if (busy.ocupado == BusySettings::Source::Cat)
            return std::make_unique<HeldLine>(QStringLiteral("cat"));
        return std::make_unique<RefusingBusySource>(QStringLiteral("No en esta prueba."), busy.ocupadoText);
    };
    for (const QString &pair : values.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        f.store(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    loadWithCards(f);
    f.sound->refuseInputs = QStringList{QStringLiteral("alsa_input.pci.analog-stereo")};
    const QByteArray before = storeBytes(f);
    // The station hears the channel itself with what is stored; the dialog shows that source
    // while its values choose the same, and listens on its own otherwise.
    Station &station = f.window->station();
    const QPointer<FakeReceiver> stationReceiver = f.sound->receiver;
    QPointer<FakeReceiver> listening;
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        StationChannel *c = d.grpChannel;
        if (!choose.isEmpty())
            c->cboOcupado->setCurrentIndex(c->cboOcupado->findData(choose));
        if (auto *field = c->findChild<QWidget *>(edit.section(QLatin1Char('='), 0, 0)); field && !edit.isEmpty()) {
            if (auto *spin = qobject_cast<QSpinBox *>(field))
                spin->setValue(edit.section(QLatin1Char('='), 1).toInt());
            else
                qobject_cast<QLineEdit *>(field)->setText(edit.section(QLatin1Char('='), 1));
        }
        const QStringList all{"cboReceptor",    "spnUmbral",       "cboOcupadoLinea", "spnOcupadoPuerto",
                              "txtOcupadoGpio", "cboOcupadoCm108", "spnLibre",        "spnEspera",
                              "spnIgnorar"};
        for (const QString &name : all)
            QVERIFY2(c->findChild<QWidget *>(name)->isVisible() == rows.contains(name), qPrintable(name));
        QTRY_COMPARE(c->showsStationSource(), shows == QLatin1String("station"));
        const bool audio = c->chosen().ocupado == BusySettings::Source::Audio;
        if (!heard.isEmpty() && audio && shows == QLatin1String("station")) {
            QCOMPARE(f.sound->receiver, stationReceiver);
            stationReceiver->hear(heard.toDouble() > c->spnUmbral->value(), heard.toDouble());
        } else if (!heard.isEmpty() && audio) {
            QTRY_VERIFY(f.sound->receiver && f.sound->receiver != stationReceiver && f.sound->receiver->isOpen());
            listening = f.sound->receiver;
            QCOMPARE(f.sound->receiver->card.id, d.cboEntrada->currentData().toStringList().value(0));
            f.sound->receiver->hear(heard.toDouble() > c->spnUmbral->value(), heard.toDouble());
        } else if (!heard.isEmpty()) {
            const QString device = c->chosen().ocupado == BusySettings::Source::Cat
                                       ? QStringLiteral("cat")
                                       : c->chosen().ocupadogpio.remove(QLatin1Char('!'));
            QTRY_VERIFY(HeldLine::holders().contains(device));
            HeldLine::holders().value(device)->hear(heard == QLatin1String("1"));
        }
        QTRY_COMPARE(c->lblCanal->text(), indicator);
        d.cmdaceptar->click();
        if (storedAfter.contains(QLatin1Char('='))) {
            QVERIFY(f.boxes->shown.isEmpty());
            return;
        }
        QCOMPARE(f.boxes->shown.size(), 1);
        QVERIFY2(f.boxes->shown.first().detail.contains(storedAfter), qPrintable(f.boxes->shown.first().detail));
        d.cmdcancelar->click();
    }));
    QVERIFY2(!listening || !listening->isOpen(), "the dialog's listening ends with it");
    if (!storedAfter.contains(QLatin1Char('='))) {
        QCOMPARE(storeBytes(f), before);
        return;
    }
    for (const QString &pair : storedAfter.split(QLatin1Char(';')))
        QCOMPARE(stored(f, pair.section(QLatin1Char('='), 0, 0)), pair.section(QLatin1Char('='), 1));
    // Accepted values are heard by the station at once, on a source it could open.
    const BusySettings accepted = readBusySettings(station.settings());
    QCOMPARE(station.channelWatch().settings(), accepted);
    if (accepted.ocupado == BusySettings::Source::Gpio || accepted.ocupado == BusySettings::Source::Cat)
        QVERIFY(station.busySource() && station.busySource()->isOpen());
}

QTEST_MAIN(TestStation)
// "Nivel en el aire": shows what is stored, gives the device what is accepted, and the test tone
// peaks at the ceiling (off: at -20 dBFS, as always).
void TestStation::levelOnTheAir_data()
{
    QTest::addColumn<QString>("nivel"); // stored; "<none>": absent
    QTest::addColumn<QString>("pico");
    QTest::addColumn<bool>("tick"); // the operator's choice before Probar and Aceptar
    QTest::addColumn<double>("target");
    QTest::addColumn<double>("ceiling");
    QTest::addColumn<double>("toneDbfs");
    QTest::addColumn<QString>("storedNivel");

    QTest::newRow("off stays off") << "<none>"
                                   << "<none>" << false << -23.0 << -1.0 << -20.0 << "";
    QTest::newRow("stored target, changed") << "-18"
                                            << "-3" << true << -16.5 << -2.0 << -2.0 << "-16.5";
    QTest::newRow("turned on") << ""
                               << "" << true << -23.0 << 0.0 << 0.0 << "-23";
    QTest::newRow("turned off") << "-20"
                                << "-6" << false << -20.0 << -6.0 << -20.0 << "";
}

void TestStation::levelOnTheAir()
{
    QFETCH(QString, nivel);
    QFETCH(QString, pico);
    QFETCH(bool, tick);
    QFETCH(double, target);
    QFETCH(double, ceiling);
    QFETCH(double, toneDbfs);
    QFETCH(QString, storedNivel);

    WindowFixture f;
    if (nivel != QLatin1String("<none>")) {
        f.store("nivel", nivel);
        f.store("picomaximo", pico);
    }
    loadWithCards(f);
    QVERIFY(withDialog(f, [&](frmestacion &d) {
        StationLevel *level = d.stationLevel;
        QCOMPARE(level->title(), QStringLiteral("Nivel en el aire:"));
        QCOMPARE(level->chkNivel->isChecked(), nivel != QLatin1String("<none>") && !nivel.isEmpty());
        if (level->chkNivel->isChecked())
            QCOMPARE(level->spnNivel->value(), nivel.toDouble());
        level->chkNivel->setChecked(tick);
        QCOMPARE(level->spnNivel->isEnabled(), tick);
        level->spnNivel->setValue(target);
        level->spnPicoMaximo->setValue(ceiling);
        d.cmdprobar->click();
        QVERIFY(d.testRunning());
        QVERIFY(!level->isEnabled());
        QVERIFY(!f.sound->toneAmplitudes.isEmpty());
        QVERIFY(std::abs(20 * std::log10(f.sound->toneAmplitudes.last()) - toneDbfs) < 1e-9);
        QVERIFY(!f.sound->player->level.on()); // the tone itself gets no gain
        f.sound->player->finishPlay();
        d.cmdaceptar->click();
    }));
    QCOMPARE(stored(f, "nivel"), storedNivel);
    QCOMPARE(stored(f, "picomaximo").toDouble(), ceiling);
    QCOMPARE(f.audio->level.on(), tick);
    if (tick)
        QCOMPARE(*f.audio->level.nivel, target);
}

#include "tst_station.moc"

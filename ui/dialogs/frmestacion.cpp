#include "frmestacion.h"

#include "screenfit.h"
#include "scrollingcolumn.h"

#include "deviceerror.h"
#include "keyinglines.h"
#include "layout.h"
#include "pictures.h"
#include "platform.h"
#include "serialline.h"
#include "soundserver.h"
#include "stationfields.h"
#include "stationident.h"
#include "stationchannel.h"
#include "stationlevel.h"
#include "stationsound.h"
#include "stationtest.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Pregonal");

// The keying methods as the operator reads them, in the order of the list.
struct MethodItem
{
    KeyerSettings::Method method;
    const char *text;
};
const MethodItem kMethods[] = {
    {KeyerSettings::Method::Serie, "Líneas de un puerto serie"},
    {KeyerSettings::Method::Cm108, "Pin de una interfaz USB (CM108)"},
    {KeyerSettings::Method::Gpio, "Línea GPIO del ordenador"},
    {KeyerSettings::Method::Cat, "Orden CAT del equipo (Hamlib)"},
    {KeyerSettings::Method::Ninguno, "Ninguno (VOX de la interfaz)"},
};

// Every form the keying lines can take, the usual ones first.
const char *const kLineForms[] = {"DTR+RTS", "DTR",  "RTS",      "!DTR+!RTS",
                                  "!DTR",    "!RTS", "DTR+!RTS", "!DTR+RTS"};

using namespace stationfields;
} // namespace

frmestacion::frmestacion(QWidget *parent, const KeyingSettings &keying, const SoundCardSettings &cards,
                         SoundServer &sound, SerialLine &line, MessageBoxes &boxes, KeyerMaker makeKeyer,
                         const IdentSettings &ident)
    : QDialog(parent), m_keying(keying), m_makeKeyer(makeKeyer), m_sound(sound), m_boxes(boxes),
      m_test(std::make_unique<StationTest>(sound, line, boxes, std::move(makeKeyer)))
{
    setObjectName(QStringLiteral("frmestacion"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Estación"));
    setWindowIcon(programIcon());
    setModal(true);

    grpSound = new StationSound(this, cards, sound);
    cboSalida = grpSound->cboSalida;
    cboEntrada = grpSound->cboEntrada;
    barNivel = grpSound->barNivel;
    lblNivel = grpSound->lblNivel;

    QFormLayout *keyForm = nullptr;
    QGroupBox *keyBox = group(this, QStringLiteral("Transmisor:"), keyForm);
    keyBox->setObjectName(QStringLiteral("Frame2"));
    m_keyForm = keyForm;
    const KeyerSettings &keyer = keying.keyer;
    cboMetodo = new QComboBox(keyBox);
    cboMetodo->setObjectName(QStringLiteral("cboMetodo"));
    for (const MethodItem &m : kMethods) {
        cboMetodo->addItem(QString::fromUtf8(m.text), KeyerSettings::methodName(m.method));
        if (m.method == keyer.metodo)
            cboMetodo->setCurrentIndex(cboMetodo->count() - 1);
    }
    cboLineas = new QComboBox(keyBox);
    cboLineas->setObjectName(QStringLiteral("cboLineas"));
    cboLineas->setMinimumWidth(twips(1700));
    const KeyingLines storedLines = KeyingLines::parse(keying.lineas).value_or(KeyingLines());
    for (const char *form : kLineForms) {
        const QString text = QLatin1String(form);
        cboLineas->addItem(text, text);
        if (KeyingLines::parse(text) == storedLines)
            cboLineas->setCurrentIndex(cboLineas->count() - 1);
    }
    txtCm108 = lineEdit(keyBox, "txtCm108", keyer.cm108, QStringLiteral("auto o /dev/hidrawN"));
    txtCm108->setToolTip(
        QStringLiteral("«auto»: la interfaz de la tarjeta elegida en «Salida de los mensajes»; "
                       "o su dispositivo, como /dev/hidraw2."));
    spnPin = spinBox(keyBox, "spnPin", 1, 8, 1, keyer.pin, QString());
    chkPinBajo = new QCheckBox(QStringLiteral("Activo a nivel &bajo"), keyBox);
    chkPinBajo->setObjectName(QStringLiteral("chkPinBajo"));
    chkPinBajo->setChecked(keyer.pinActiveLow);
    auto *pinRow = m_pinRow = new QHBoxLayout;
    pinRow->addWidget(spnPin);
    pinRow->addWidget(chkPinBajo);
    pinRow->addStretch(1);
    txtGpio = lineEdit(keyBox, "txtGpio", keyer.gpio, QStringLiteral("gpiochip0:17"));
    txtGpio->setToolTip(
        QStringLiteral("El chip y la línea, como gpiochip0:17; con «!» delante de la línea si se "
                       "activa a nivel bajo (gpiochip0:!17)."));
    spnEquipo = spinBox(keyBox, "spnEquipo", 1, 999999, 1, keyer.equipo, QString());
    spnEquipo->setToolTip(
        QStringLiteral("El número de modelo de Hamlib (rigctl -l los lista); 2 = rigctld."));
    txtEquipoPuerto = lineEdit(keyBox, "txtEquipoPuerto", keyer.equipopuerto, QStringLiteral("/dev/ttyUSB0"));
    txtEquipoPuerto->setToolTip(
        QStringLiteral("El puerto CAT del equipo, como /dev/ttyUSB0; con el modelo 2, "
                       "dónde escucha rigctld, como localhost:4532."));
    spnEquipoVelocidad = spinBox(keyBox, "spnEquipoVelocidad", 0, 4000000, 1200, keyer.equipovelocidad,
                                 QStringLiteral(" baudios"));
    spnEquipoVelocidad->setSpecialValueText(QStringLiteral("La del modelo"));
    spnRetardo = spinBox(keyBox, "spnRetardo", 0, 2000, 50, keying.retardoMs, QStringLiteral(" ms"));
    spnCola = spinBox(keyBox, "spnCola", 0, 2000, 50, keying.colaMs, QStringLiteral(" ms"));
    spnTiempoMaximo =
        spinBox(keyBox, "spnTiempoMaximo", 0, 3600, 10, keying.tiempomaximoSecs, QStringLiteral(" s"));
    spnTiempoMaximo->setSpecialValueText(QStringLiteral("Sin límite"));
    keyForm->addRow(buddyLabel(QStringLiteral("&Lo activa:"), cboMetodo), cboMetodo);
    keyForm->addRow(buddyLabel(QStringLiteral("Lí&neas que lo activan:"), cboLineas), cboLineas);
    keyForm->addRow(buddyLabel(QStringLiteral("&Interfaz CM108:"), txtCm108), txtCm108);
    keyForm->addRow(buddyLabel(QStringLiteral("Pin &GPIO:"), spnPin), pinRow);
    keyForm->addRow(buddyLabel(QStringLiteral("Línea GPI&O:"), txtGpio), txtGpio);
    keyForm->addRow(buddyLabel(QStringLiteral("&Modelo de equipo:"), spnEquipo), spnEquipo);
    keyForm->addRow(buddyLabel(QStringLiteral("P&uerto CAT:"), txtEquipoPuerto), txtEquipoPuerto);
    keyForm->addRow(buddyLabel(QStringLiteral("&Velocidad CAT:"), spnEquipoVelocidad), spnEquipoVelocidad);
    keyForm->addRow(buddyLabel(QStringLiteral("&Retardo antes del sonido:"), spnRetardo), spnRetardo);
    keyForm->addRow(buddyLabel(QStringLiteral("&Cola tras el sonido:"), spnCola), spnCola);
    keyForm->addRow(buddyLabel(QStringLiteral("&Transmisión más larga:"), spnTiempoMaximo), spnTiempoMaximo);

    grpChannel = new StationChannel(this, sound, [this, &line] {
        BusySourceContext context;
        context.entrada = chosenCard(cboEntrada);
        context.keyingPort = line.commPort();
        context.sound = &m_sound;
        m_channelKeyer = chosenKeyer();
        context.keyerSettings = &m_channelKeyer;
        context.outputCardId = chosenCard(cboSalida).id;
        return context;
    });
    connect(this, &QDialog::finished, grpChannel, &StationChannel::stopListening);
    grpIdent = new StationIdent(this, ident);
    connect(grpIdent, &StationIdent::probeClicked, this,
            [this] { testRunning() ? stopTest() : startTest(true); });
    lblAviso = new QLabel(QStringLiteral("Se está transmitiendo: puede ver los valores, pero no cambiarlos "
                                         "ni probarlos hasta que acabe."),
                          this);
    lblAviso->setObjectName(QStringLiteral("lblAviso"));
    lblAviso->setWordWrap(true);
    lblAviso->hide();

    auto *line1 = new QFrame(this);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    line1->setLineWidth(2);

    cmdprobar = dialogButton(this, QStringLiteral("&Probar"), "cmdprobar");
    cmdprobar->setToolTip(QStringLiteral("Activa el transmisor y envía un tono de 1 kHz durante 2 segundos "
                                         "con los valores de esta ventana."));
    cmdcancelar = dialogButton(this, QStringLiteral("Cancelar"), "cmdcancelar");
    cmdaceptar = dialogButton(this, QStringLiteral("Aceptar"), "cmdaceptar");
    cmdaceptar->setDefault(true);
    connect(cmdprobar, &QPushButton::clicked, this, &frmestacion::cmdprobar_Click);
    connect(cmdcancelar, &QPushButton::clicked, this, &frmestacion::cmdcancelar_Click);
    connect(cmdaceptar, &QPushButton::clicked, this, &frmestacion::cmdaceptar_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdprobar);
    buttons->addWidget(grpIdent->cmdprobarident);
    buttons->addStretch(1);
    buttons->addWidget(cmdcancelar);
    buttons->addWidget(cmdaceptar);

    auto *page = new QVBoxLayout(this);
    page->addWidget(
        new ScrollingColumn(this, {grpSound, keyBox, grpChannel, grpIdent, stationLevel = new StationLevel(this)}));
    page->addWidget(lblAviso);
    page->addWidget(line1);
    page->addLayout(buttons);
    page->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_test.get(), &StationTest::starting, this, &frmestacion::testStarting);
    connect(m_test.get(), &StationTest::changed, this, &frmestacion::updateControls);
    connect(m_test.get(), &StationTest::ended, this, &frmestacion::testFinished);
    connect(cboMetodo, &QComboBox::currentIndexChanged, this, &frmestacion::showMethodRows);
    showMethodRows();
    updateControls();
    cboSalida->setFocus();
    fitToScreen(this, sizeHint());
}

// Whatever way the dialog goes, a test still running is stopped unkeyed first (and its end told).
frmestacion::~frmestacion()
{
    stopTest();
}

KeyingSettings frmestacion::chosenKeying() const
{
    KeyingSettings s = m_keying;
    s.lineas = cboLineas->currentData().toString();
    s.retardoMs = spnRetardo->value();
    s.colaMs = spnCola->value();
    s.tiempomaximoSecs = spnTiempoMaximo->value();
    s.keyer = chosenKeyer();
    return s;
}

KeyerSettings frmestacion::chosenKeyer() const
{
    KeyerSettings k;
    k.metodo = KeyerSettings::methodFromName(cboMetodo->currentData().toString());
    k.cm108 = txtCm108->text().trimmed().isEmpty() ? QStringLiteral("auto") : txtCm108->text().trimmed();
    k.pin = spnPin->value();
    k.pinActiveLow = chkPinBajo->isChecked();
    k.gpio = txtGpio->text().trimmed();
    k.equipo = spnEquipo->value();
    k.equipopuerto = txtEquipoPuerto->text().trimmed();
    k.equipovelocidad = spnEquipoVelocidad->value();
    return k;
}

// Only the rows of the chosen method are shown; the dialog takes their height.
void frmestacion::showMethodRows()
{
    const KeyerSettings::Method method = KeyerSettings::methodFromName(cboMetodo->currentData().toString());
    using M = KeyerSettings::Method;
    m_keyForm->setRowVisible(cboLineas, method == M::Serie);
    m_keyForm->setRowVisible(txtCm108, method == M::Cm108);
    m_keyForm->setRowVisible(m_pinRow, method == M::Cm108);
    m_keyForm->setRowVisible(txtGpio, method == M::Gpio);
    for (QWidget *w : std::initializer_list<QWidget *>{spnEquipo, txtEquipoPuerto, spnEquipoVelocidad})
        m_keyForm->setRowVisible(w, method == M::Cat);
}

SoundCardSettings frmestacion::chosenCards() const
{
    return grpSound->chosen();
}

void frmestacion::setTransmitting(bool transmitting)
{
    m_transmitting = transmitting;
    updateControls();
}

bool frmestacion::testRunning() const
{
    return m_test->running();
}

void frmestacion::cmdprobar_Click()
{
    if (testRunning())
        stopTest();
    else
        startTest();
}

void frmestacion::cmdaceptar_Click()
{
    if (m_transmitting || testRunning() || !valuesUsable())
        return;
    accept();
}

// The method's values are checked as a test would take them, without opening anything: what
// cannot key is never stored.
bool frmestacion::valuesUsable()
{
    if (const QString problem = grpIdent->problem(); !problem.isEmpty()) {
        m_boxes.show(QStringLiteral("Falta el indicativo: no se ha guardado nada."), MessageBoxes::OkOnly,
                     MessageBoxes::Warning, kTitle, problem);
        return false;
    }
    const KeyerSettings keyer = chosenKeyer();
    QString problem = keyerSettingsProblem(keyer);
    if (problem.isEmpty() && m_makeKeyer)
        if (const std::unique_ptr<Keyer> built = m_makeKeyer(keyer, chosenCard(cboSalida).id))
            problem = built->settingsProblem();
    if (!problem.isEmpty()) {
        m_boxes.show(QStringLiteral("Los valores del transmisor no son válidos: no se ha guardado nada."),
                     MessageBoxes::OkOnly, MessageBoxes::Warning, kTitle, problem);
        return false;
    }
    if (const QString channel = grpChannel->problem(); !channel.isEmpty()) {
        m_boxes.show(QStringLiteral("Los valores del canal libre no son válidos: no se ha guardado nada."),
                     MessageBoxes::OkOnly, MessageBoxes::Warning, kTitle, channel);
        return false;
    }
    return true;
}

void frmestacion::cmdcancelar_Click()
{
    stopTest();
    reject();
}

// Esc stops a test that is running and leaves the dialog open; otherwise it presses "Cancelar".
void frmestacion::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (testRunning())
            stopTest();
        else
            cmdcancelar->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmestacion::closeEvent(QCloseEvent *event)
{
    stopTest();
    QDialog::closeEvent(event);
}

void frmestacion::startTest(bool identification)
{
    if (m_transmitting)
        return;
    const IdentSettings ident = chosenIdent();
    m_test->start(chosenKeying(), chosenCard(cboSalida), stationLevel->chosen(),
                  identification ? &ident : nullptr);
}

void frmestacion::stopTest()
{
    m_test->stop();
}

void frmestacion::testFinished()
{
    updateControls();
    emit testEnded();
}

void frmestacion::updateControls()
{
    const bool testing = testRunning();
    const bool editable = !m_transmitting && !testing;
    stationLevel->setEnabled(editable);
    grpSound->setEditable(editable);
    grpChannel->setEditable(editable);
    for (QWidget *w : std::initializer_list<QWidget *>{
             cboMetodo, cboLineas, txtCm108, spnPin, chkPinBajo, txtGpio, spnEquipo,
             txtEquipoPuerto, spnEquipoVelocidad, spnRetardo, spnCola, spnTiempoMaximo})
        w->setEnabled(editable);
    cmdaceptar->setEnabled(editable);
    cmdprobar->setEnabled(!m_transmitting);
    cmdprobar->setText(testing ? QStringLiteral("&Detener") : QStringLiteral("&Probar"));
    lblAviso->setVisible(m_transmitting);
    grpIdent->setEditable(editable);
    grpIdent->setTesting(testing);
    grpIdent->cmdprobarident->setEnabled(!m_transmitting);
}

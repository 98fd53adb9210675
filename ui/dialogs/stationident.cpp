#include "stationident.h"

#include "layout.h"
#include "stationfields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

namespace {
struct ModeItem
{
    IdentSettings::Mode mode;
    const char *text;
};
const ModeItem kModes[] = {
    {IdentSettings::Mode::No, "No"},
    {IdentSettings::Mode::Final, "Al final de cada transmisión"},
    {IdentSettings::Mode::Cada, "Por su cuenta, cada cierto tiempo"},
};

using namespace stationfields;
} // namespace

StationIdent::StationIdent(QWidget *parent, const IdentSettings &values)
    : QGroupBox(QStringLiteral("Identificación:"), parent)
{
    setObjectName(QStringLiteral("Frame3"));
    auto *form = m_form = new QFormLayout(this);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    txtIndicativo = lineEdit(this, "txtIndicativo", values.indicativo, QStringLiteral("EA1ABC"));
    txtIndicativo->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[A-Za-z0-9/]{0,20}")), txtIndicativo));
    txtIndicativo->setToolTip(QStringLiteral("Letras, cifras y «/», como EA1ABC/P."));
    cboIdentificacion = new QComboBox(this);
    cboIdentificacion->setObjectName(QStringLiteral("cboIdentificacion"));
    for (const ModeItem &m : kModes) {
        cboIdentificacion->addItem(QString::fromUtf8(m.text), IdentSettings::modeName(m.mode));
        if (m.mode == values.identificacion)
            cboIdentificacion->setCurrentIndex(cboIdentificacion->count() - 1);
    }
    spnIdentCada = spinBox(this, "spnIdentCada", 1, 60, 1, values.identcadaMin, QStringLiteral(" min"));
    spnIdentCada->setToolTip(QStringLiteral("Como mucho una vez en este tiempo, y solo si ha transmitido "
                                            "desde la última identificación."));
    txtIdentArchivo = lineEdit(this, "txtIdentArchivo", values.identarchivo,
                               QStringLiteral("vacío: el indicativo en Morse"));
    txtIdentArchivo->setToolTip(QStringLiteral("Un archivo WAV con la identificación hablada, que se envía "
                                               "en lugar del Morse."));
    spnCwVelocidad = spinBox(this, "spnCwVelocidad", 5, 40, 1, values.cwvelocidadWpm, QStringLiteral(" ppm"));
    spnCwTono = spinBox(this, "spnCwTono", 300, 2000, 50, values.cwtonoHz, QStringLiteral(" Hz"));
    spnCwNivel = spinBox(this, "spnCwNivel", -40, 0, 1, values.cwnivelDb, QStringLiteral(" dBFS"));
    cmdprobarident = dialogButton(this, QStringLiteral("Probar identificaci&ón"), "cmdprobarident");
    cmdprobarident->setToolTip(QStringLiteral("Activa el transmisor y envía la identificación una vez con "
                                              "los valores de esta ventana."));
    connect(cmdprobarident, &QPushButton::clicked, this, &StationIdent::probeClicked);
    // Few rows, so that the dialog still fits a small screen: the Morse's values share one.
    auto *whenRow = new QHBoxLayout;
    whenRow->addWidget(cboIdentificacion);
    whenRow->addWidget(buddyLabel(QStringLiteral("c&ada"), spnIdentCada));
    whenRow->addWidget(spnIdentCada);
    auto *morseRow = m_morseRow = new QHBoxLayout;
    for (QSpinBox *spin : {spnCwVelocidad, spnCwTono, spnCwNivel})
        morseRow->addWidget(spin);
    spnCwVelocidad->setToolTip(QStringLiteral("Velocidad del Morse"));
    spnCwTono->setToolTip(QStringLiteral("Tono del Morse"));
    spnCwNivel->setToolTip(QStringLiteral("Nivel de pico del Morse"));
    form->addRow(buddyLabel(QStringLiteral("In&dicativo:"), txtIndicativo), txtIndicativo);
    form->addRow(buddyLabel(QStringLiteral("Identi&ficarse:"), cboIdentificacion), whenRow);
    form->addRow(buddyLabel(QStringLiteral("Archivo de vo&z:"), txtIdentArchivo), txtIdentArchivo);
    form->addRow(buddyLabel(QStringLiteral("Morse:"), spnCwVelocidad), morseRow);
    connect(cboIdentificacion, &QComboBox::currentIndexChanged, this, &StationIdent::showRows);
    showRows();
}

// The voice file and the Morse only when the station identifies; the interval only with "cada".
void StationIdent::showRows()
{
    const IdentSettings::Mode mode = chosen().identificacion;
    m_form->setRowVisible(txtIdentArchivo, mode != IdentSettings::Mode::No);
    m_form->setRowVisible(m_morseRow, mode != IdentSettings::Mode::No);
    spnIdentCada->setEnabled(m_editable && mode == IdentSettings::Mode::Cada);
}

IdentSettings StationIdent::chosen() const
{
    IdentSettings s;
    s.indicativo = normalizedCallsign(txtIndicativo->text());
    for (const ModeItem &m : kModes)
        if (IdentSettings::modeName(m.mode) == cboIdentificacion->currentData().toString())
            s.identificacion = m.mode;
    s.identcadaMin = spnIdentCada->value();
    s.identarchivo = txtIdentArchivo->text().trimmed();
    s.cwvelocidadWpm = spnCwVelocidad->value();
    s.cwtonoHz = spnCwTono->value();
    s.cwnivelDb = spnCwNivel->value();
    return s;
}

QString StationIdent::problem() const
{
    const IdentSettings s = chosen();
    if (s.active() && s.indicativo.isEmpty() && s.identarchivo.isEmpty())
        return QStringLiteral(
            "Escriba el indicativo de la estación (letras, cifras y «/») o elija un archivo "
            "de voz para identificarla.");
    return {};
}

void StationIdent::setEditable(bool editable)
{
    m_editable = editable;
    for (QWidget *w : std::initializer_list<QWidget *>{txtIndicativo, cboIdentificacion, txtIdentArchivo,
                                                       spnCwVelocidad, spnCwTono, spnCwNivel})
        w->setEnabled(editable);
    showRows();
}

void StationIdent::setTesting(bool testing)
{
    cmdprobarident->setText(testing ? QStringLiteral("&Detener") : QStringLiteral("Probar identificaci&ón"));
}

#include "stationlevel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>

namespace {
QDoubleSpinBox *decibels(QWidget *parent, const char *name, double min, double max, const QString &suffix)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(suffix);
    box->setLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    return box;
}
} // namespace

StationLevel::StationLevel(QWidget *parent) : QGroupBox(QStringLiteral("Nivel en el aire:"), parent)
{
    setObjectName(QStringLiteral("FrameNivel"));
    chkNivel = new QCheckBox(QStringLiteral("A&justar la sonoridad a:"), this);
    chkNivel->setObjectName(QStringLiteral("chkNivel"));
    chkNivel->setToolTip(
        QStringLiteral("Cada mensaje se emite con una sola ganancia que lo lleva a esta sonoridad "
                       "sin que sus picos pasen del pico máximo. El archivo no cambia."));
    spnNivel =
        decibels(this, "spnNivel", LevelSettings::MinNivel, LevelSettings::MaxNivel, QStringLiteral(" LUFS"));
    spnNivel->setAccessibleName(QStringLiteral("Sonoridad de los mensajes"));
    spnPicoMaximo = decibels(this, "spnPicoMaximo", LevelSettings::MinPico, LevelSettings::MaxPico,
                             QStringLiteral(" dBTP"));
    spnPicoMaximo->setToolTip(
        QStringLiteral("El tono de «Probar» sale a este pico: ajuste en él la desviación "
                       "máxima del transmisor."));
    auto *picoLabel = new QLabel(QStringLiteral("Pico má&ximo:"), this);
    picoLabel->setBuddy(spnPicoMaximo);

    // One row: the dialog must still fit a small screen.
    auto *row = new QHBoxLayout(this);
    row->addWidget(chkNivel);
    row->addWidget(spnNivel);
    row->addSpacing(12);
    row->addWidget(picoLabel);
    row->addWidget(spnPicoMaximo);
    row->addStretch(1);
    connect(chkNivel, &QCheckBox::toggled, this, &StationLevel::updateControls);
    setValues(LevelSettings());
}

void StationLevel::setValues(const LevelSettings &values)
{
    chkNivel->setChecked(values.on());
    spnNivel->setValue(values.nivel.value_or(-23.0));
    spnPicoMaximo->setValue(values.picomaximo);
    updateControls();
}

LevelSettings StationLevel::chosen() const
{
    LevelSettings s;
    if (chkNivel->isChecked())
        s.nivel = spnNivel->value();
    s.picomaximo = spnPicoMaximo->value();
    return s;
}

// Off, the messages play as recorded and the test tone as always: neither value applies.
void StationLevel::updateControls()
{
    spnNivel->setEnabled(chkNivel->isChecked());
    spnPicoMaximo->setEnabled(chkNivel->isChecked());
}

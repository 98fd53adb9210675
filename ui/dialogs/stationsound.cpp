#include "stationsound.h"

#include "deviceerror.h"
#include "layout.h"
#include "levels.h"
#include "soundserver.h"
#include "stationfields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

using namespace stationfields;

StationSound::StationSound(QWidget *parent, const SoundCardSettings &cards, SoundServer &sound)
    : QGroupBox(QStringLiteral("Sonido:"), parent)
{
    setObjectName(QStringLiteral("Frame1"));
    auto *soundForm = new QFormLayout(this);
    soundForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cboSalida = cardList(this, "cboSalida", sound.outputs(), {cards.salida, cards.salidanombre});
    cboEntrada = cardList(this, "cboEntrada", sound.inputs(), {cards.entrada, cards.entradanombre});
    barNivel = new QProgressBar(this);
    barNivel->setObjectName(QStringLiteral("barNivel"));
    barNivel->setRange(0, 100);
    barNivel->setValue(0);
    barNivel->setTextVisible(false);
    barNivel->setFixedHeight(twips(225));
    lblNivel = new QLabel(this);
    lblNivel->setObjectName(QStringLiteral("lblNivel"));
    lblNivel->setMinimumWidth(twips(1000));
    auto *levelRow = new QHBoxLayout;
    levelRow->addWidget(barNivel, 1);
    levelRow->addWidget(lblNivel);
    soundForm->addRow(buddyLabel(QStringLiteral("&Salida de los mensajes:"), cboSalida), cboSalida);
    soundForm->addRow(buddyLabel(QStringLiteral("&Entrada para grabar:"), cboEntrada), cboEntrada);
    soundForm->addRow(QStringLiteral("Nivel de la entrada:"), levelRow);
    soundForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    connect(cboEntrada, &QComboBox::currentIndexChanged, this, &StationSound::listenToInput);
    m_meter = sound.makeLevelMeter();
    connect(m_meter.get(), &InputLevelMeter::peak, this, &StationSound::showLevel);
    connect(m_meter.get(), &InputLevelMeter::lost, this, &StationSound::inputLost);
    connect(m_meter.get(), &InputLevelMeter::resumed, this, [this] { showLevel(0); });
    listenToInput();
}

StationSound::~StationSound() = default;

SoundCardSettings StationSound::chosen() const
{
    const SoundCardChoice out = chosenCard(cboSalida);
    const SoundCardChoice in = chosenCard(cboEntrada);
    return {out.id, out.description, in.id, in.description};
}

void StationSound::setEditable(bool editable)
{
    cboSalida->setEnabled(editable);
    cboEntrada->setEnabled(editable);
}

void StationSound::listenToInput()
{
    try {
        m_meter->start(chosenCard(cboEntrada));
        showLevel(0);
    } catch (const DeviceError &e) {
        inputLost(e.reason());
    }
}

void StationSound::inputLost(const QString &reason)
{
    barNivel->setValue(0);
    barNivel->setEnabled(false);
    lblNivel->setText(QStringLiteral("sin entrada"));
    lblNivel->setToolTip(reason);
}

void StationSound::showLevel(double peak)
{
    barNivel->setEnabled(true);
    barNivel->setValue(levels::percent(peak));
    lblNivel->setText(levels::text(peak));
    lblNivel->setToolTip(QString());
}

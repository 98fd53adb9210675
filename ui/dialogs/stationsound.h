#pragma once

#include "soundcardsettings.h"

#include <QGroupBox>

#include <memory>

class InputLevelMeter;
class QComboBox;
class QLabel;
class QProgressBar;
class SoundServer;

// The station dialog's "Sonido": the card messages go out on and the one recordings come from,
// with a live meter on that input.
class StationSound : public QGroupBox
{
    Q_OBJECT
public:
    StationSound(QWidget *parent, const SoundCardSettings &cards, SoundServer &sound);
    ~StationSound() override;

    SoundCardSettings chosen() const;
    void setEditable(bool editable);

    QComboBox *cboSalida = nullptr;
    QComboBox *cboEntrada = nullptr;
    QProgressBar *barNivel = nullptr;
    QLabel *lblNivel = nullptr;

private:
    void listenToInput();
    void inputLost(const QString &reason);
    void showLevel(double peak);

    std::unique_ptr<InputLevelMeter> m_meter;
};

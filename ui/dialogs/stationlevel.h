#pragma once

#include "levelsettings.h"

#include <QGroupBox>

class QCheckBox;
class QDoubleSpinBox;

// The station dialog's "Nivel en el aire": the loudness every message is brought to (unticked:
// messages go out as recorded) and the true-peak ceiling no message passes, which the test tone
// peaks at so that the transmitter's deviation can be set on it.
class StationLevel : public QGroupBox
{
    Q_OBJECT
public:
    explicit StationLevel(QWidget *parent = nullptr);

    void setValues(const LevelSettings &values);
    LevelSettings chosen() const;

    QCheckBox *chkNivel = nullptr;
    QDoubleSpinBox *spnNivel = nullptr;
    QDoubleSpinBox *spnPicoMaximo = nullptr;

private:
    void updateControls();
};

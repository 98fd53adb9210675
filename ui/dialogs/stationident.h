#pragma once

#include "identsettings.h"

#include <QGroupBox>

class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The station dialog's group for the station's identification: the callsign (letters, digits and
// '/' only), when it goes out, every how many minutes, a voice file instead of Morse, and the
// Morse's speed, tone and level. Its "Probar identificación" button (the dialog places it) asks for
// it to be sent once.
class StationIdent : public QGroupBox
{
    Q_OBJECT
public:
    StationIdent(QWidget *parent, const IdentSettings &values);

    IdentSettings chosen() const;
    // Why the values cannot identify the station (it should, and has neither callsign nor voice
    // file); empty when they can.
    QString problem() const;
    void setEditable(bool editable);
    // A test runs: the button stops it.
    void setTesting(bool testing);

    QLineEdit *txtIndicativo = nullptr;
    QComboBox *cboIdentificacion = nullptr;
    QSpinBox *spnIdentCada = nullptr;
    QLineEdit *txtIdentArchivo = nullptr;
    QSpinBox *spnCwVelocidad = nullptr;
    QSpinBox *spnCwTono = nullptr;
    QSpinBox *spnCwNivel = nullptr;
    QPushButton *cmdprobarident = nullptr;

signals:
    void probeClicked();

private:
    void showRows();

    QFormLayout *m_form = nullptr;
    QHBoxLayout *m_morseRow = nullptr;
    bool m_editable = true;
};

#pragma once

#include "identsettings.h"
#include "keyermaker.h"
#include "keyingsettings.h"
#include "soundcardsettings.h"
#include "stationident.h"
#include "stationtest.h"

#include <QDialog>

#include <memory>

class MessageBoxes;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class SerialLine;
class SoundServer;
class StationChannel;
class StationLevel;
class StationSound;
class TransmissionEngine;

// The station dialog: the sound card messages go out on and the one recordings come from, with a
// live meter on the input; what keys the transmitter (the serial lines, a CM108 pin, a GPIO line,
// the radio's CAT command or nothing) and its values, the lead before the sound, the tail after it
// and the longest one transmission may last; where it hears that the channel is busy. "Probar"
// keys the transmitter and plays a test tone with the values as they stand; "Aceptar" gives them
// back to be stored.
class frmestacion : public QDialog
{
    Q_OBJECT
public:
    // line is the serial line the messages key through (its port as the options set it); boxes
    // tell why a test failed; makeKeyer builds the keyer of the other methods for a test (empty:
    // the serial line and VOX only).
    frmestacion(QWidget *parent, const KeyingSettings &keying, const SoundCardSettings &cards,
                SoundServer &sound, SerialLine &line, MessageBoxes &boxes, KeyerMaker makeKeyer = {},
                const IdentSettings &ident = {});
    ~frmestacion() override;

    KeyingSettings chosenKeying() const;
    SoundCardSettings chosenCards() const;
    IdentSettings chosenIdent() const { return grpIdent->chosen(); }

    // While a transmission runs the values can be read, but neither accepted nor tried.
    void setTransmitting(bool transmitting);
    bool testRunning() const;
    // What the running or last test sends, as the log names it.
    QString testDescription() const { return m_test->description(); }

    void cmdprobar_Click();
    void cmdaceptar_Click();
    void cmdcancelar_Click();

    StationSound *grpSound = nullptr;
    QComboBox *cboSalida = nullptr;
    QComboBox *cboEntrada = nullptr;
    QProgressBar *barNivel = nullptr;
    QLabel *lblNivel = nullptr;
    QComboBox *cboMetodo = nullptr;
    QComboBox *cboLineas = nullptr;
    QLineEdit *txtCm108 = nullptr;
    QSpinBox *spnPin = nullptr;
    QCheckBox *chkPinBajo = nullptr;
    QLineEdit *txtGpio = nullptr;
    QSpinBox *spnEquipo = nullptr;
    QLineEdit *txtEquipoPuerto = nullptr;
    QSpinBox *spnEquipoVelocidad = nullptr;
    QSpinBox *spnRetardo = nullptr;
    QSpinBox *spnCola = nullptr;
    QSpinBox *spnTiempoMaximo = nullptr;
    StationChannel *grpChannel = nullptr; // its values are given and read by whoever opens the dialog
    StationIdent *grpIdent = nullptr;
    QLabel *lblAviso = nullptr;
    StationLevel *stationLevel = nullptr; // its values are given and read by whoever opens the dialog
    QPushButton *cmdprobar = nullptr;
    QPushButton *cmdcancelar = nullptr;
    QPushButton *cmdaceptar = nullptr;

signals:
    // A test transmission is about to start on engine (the same engine for every test of this
    // dialog).
    void testStarting(TransmissionEngine &engine);
    // A test transmission has ended (whole, stopped or failed) and the line is released.
    void testEnded();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void startTest(bool identification = false);
    void stopTest();
    void testFinished();
    bool valuesUsable();
    void updateControls();
    void showMethodRows();
    KeyerSettings chosenKeyer() const;

    const KeyingSettings m_keying;
    KeyerMaker m_makeKeyer;
    QFormLayout *m_keyForm = nullptr;
    QHBoxLayout *m_pinRow = nullptr;
    SoundServer &m_sound;
    KeyerSettings m_channelKeyer; // the keyer as chosen, for the channel group's source
    MessageBoxes &m_boxes;
    std::unique_ptr<StationTest> m_test;
    bool m_transmitting = false;
};

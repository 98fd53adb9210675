#pragma once

#include "busysettings.h"
#include "busysourcemaker.h"

#include <QGroupBox>
#include <QTimer>

#include <functional>
#include <memory>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class SoundServer;

// The station dialog's "Canal libre": where the station hears that someone else is on the channel
// (nothing, the receiver's audio, a squelch line of a serial port, a GPIO line or a CM108
// interface, or the radio's squelch through CAT), the values that source needs, and how long the
// channel must be clear before keying, the longest wait and how long the station's own tail is not
// heard. A live line tells whether the channel is busy now, from a source made of the values as
// they stand.
class StationChannel : public QGroupBox
{
    Q_OBJECT
public:
    // context gives what the source needs of the rest of the dialog (its recording input, the
    // keying port and method) each time one is made.
    StationChannel(QWidget *parent, SoundServer &sound, std::function<BusySourceContext()> context);
    ~StationChannel() override;

    // Shows values and listens to the source they choose, made by makeSource (none: nothing is
    // listened to).
    void setValues(const BusySettings &values, BusySourceMaker makeSource = {});
    BusySettings chosen() const;
    // Why the values cannot be used; empty when nothing is known to be wrong.
    QString problem() const { return busySettingsProblem(chosen()); }
    void setEditable(bool editable);
    // Closes the live source (the dialog is going); setValues() or a change opens one again.
    void stopListening();

    QComboBox *cboOcupado = nullptr;
    QComboBox *cboReceptor = nullptr;
    QSpinBox *spnUmbral = nullptr;
    QComboBox *cboOcupadoLinea = nullptr;
    QSpinBox *spnOcupadoPuerto = nullptr;
    QLineEdit *txtOcupadoGpio = nullptr;
    QComboBox *cboOcupadoCm108 = nullptr;
    QSpinBox *spnLibre = nullptr;
    QSpinBox *spnEspera = nullptr;
    QSpinBox *spnIgnorar = nullptr;
    QLabel *lblCanal = nullptr;

private:
    void showRows();
    void listenSoon();
    void listen();
    void showState();
    void showFailure(const QString &reason);

    SoundServer &m_sound;
    std::function<BusySourceContext()> m_context;
    BusySourceMaker m_makeSource;
    QFormLayout *m_form = nullptr;
    QWidget *m_waitRow = nullptr;
    BusySettings m_values; // what the dialog opened with, for what has no field
    std::unique_ptr<BusySource> m_source;
    QTimer m_remake;
};

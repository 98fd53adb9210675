#pragma once

#include "busysettings.h"
#include "busysourcemaker.h"
#include "keyersettings.h"

#include <QGroupBox>
#include <QPointer>
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
// heard. A live line tells whether the channel is busy now: from the station's own source while
// the values choose what it reads (a line the station holds cannot be opened twice), else from a
// source made of the values as they stand.
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
    // The source the station watches now (not owned; null: none), with the values and the rest of
    // the station it was made of. Given before setValues().
    void setStationSource(BusySource *source, const BusySettings &values, const BusySourceContext &context);
    // Whether the live line shows the station's own source.
    bool showsStationSource() const { return m_station && m_shown == m_station; }
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
    void show(BusySource *source);
    void showState();
    void showFailure(const QString &reason);

    SoundServer &m_sound;
    std::function<BusySourceContext()> m_context;
    BusySourceMaker m_makeSource;
    QFormLayout *m_form = nullptr;
    QWidget *m_waitRow = nullptr;
    BusySettings m_values; // what the dialog opened with, for what has no field
    std::unique_ptr<BusySource> m_source; // the dialog's own
    QPointer<BusySource> m_station;
    BusySettings m_stationValues;
    BusySourceContext m_stationContext;
    KeyerSettings m_stationKeyer; // what m_stationContext points at
    QPointer<BusySource> m_shown; // the one the live line shows
    QList<QMetaObject::Connection> m_following;
    QTimer m_remake;
};

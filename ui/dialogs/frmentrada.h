#pragma once

#include "scheduleentry.h"

#include <QDialog>
#include <QTimeZone>

class Clock;
class FileDialog;
class MessageBoxes;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// One scheduled broadcast: its message, when it goes out (times of day or every so many minutes),
// on which days and between which dates, and whether it is on.
class frmentrada : public QDialog
{
    Q_OBJECT
public:
    // clock and zone tell whether the entry will ever run.
    frmentrada(QWidget *parent, const ScheduleEntry &entry, FileDialog &files, MessageBoxes &boxes,
               const Clock &clock, const QTimeZone &zone = QTimeZone::systemTimeZone());

    // The entry as the dialog holds it (valid once accepted).
    ScheduleEntry entry() const;
    // Why the values cannot be accepted, in Spanish; empty when they can.
    QString problem() const;

    void cmdexaminar_Click();
    void cmdaceptar_Click();

    QLineEdit *txtArchivo = nullptr;
    QPushButton *cmdexaminar = nullptr;
    QRadioButton *optHoras = nullptr;
    QLineEdit *txtHoras = nullptr;
    QRadioButton *optCada = nullptr;
    QSpinBox *spnCada = nullptr;
    QCheckBox *chkDias[7] = {};
    QCheckBox *chkDesde = nullptr;
    QDateEdit *dteDesde = nullptr;
    QCheckBox *chkHasta = nullptr;
    QDateEdit *dteHasta = nullptr;
    QCheckBox *chkActivo = nullptr;
    QPushButton *cmdcancelar = nullptr;
    QPushButton *cmdaceptar = nullptr;

private:
    void updateControls();

    bool confirmNeverRuns();

    int m_number;
    FileDialog &m_files;
    MessageBoxes &m_boxes;
    const Clock &m_clock;
    QTimeZone m_zone;
};

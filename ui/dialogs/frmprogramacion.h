#pragma once

#include "frmentrada.h"
#include "scheduleentry.h"

#include <QDialog>
#include <QTimeZone>

class Clock;
class FileDialog;
class MessageBoxes;
class QLabel;
class QPushButton;
class QTreeWidget;

// The schedule: every entry with its next time, added, changed, removed or switched on and off
// here, and stored when "Aceptar" gives them back; the next broadcast of all is shown below.
class frmprogramacion : public QDialog
{
    Q_OBJECT
public:
    frmprogramacion(QWidget *parent, const QList<ScheduleEntry> &entries, const Clock &clock,
                    FileDialog &files, MessageBoxes &boxes,
                    const QTimeZone &zone = QTimeZone::systemTimeZone());

    QList<ScheduleEntry> chosenEntries() const { return m_entries; }

    void cmdanadir_Click();
    void cmdmodificar_Click();
    void cmdquitar_Click();

    QTreeWidget *lstProgramas = nullptr;
    QLabel *lblProxima = nullptr;
    QPushButton *cmdanadir = nullptr;
    QPushButton *cmdmodificar = nullptr;
    QPushButton *cmdquitar = nullptr;
    QPushButton *cmdcancelar = nullptr;
    QPushButton *cmdaceptar = nullptr;

private:
    QSize wantedSize() const;
    void fill();
    void showNext();
    void itemToggled(int row, bool on);
    int currentRow() const;

    QList<ScheduleEntry> m_entries;
    const Clock &m_clock;
    FileDialog &m_files;
    MessageBoxes &m_boxes;
    QTimeZone m_zone;
    bool m_filling = false;
};

// How an entry's times read in the list: "09:00, 13:30" or "cada 10 min".
QString whenText(const ScheduleEntry &entry);
// Its dates: "", "desde 01/03/2026", "hasta 31/03/2026" or "01/03/2026 a 31/03/2026".
QString datesText(const ScheduleEntry &entry);

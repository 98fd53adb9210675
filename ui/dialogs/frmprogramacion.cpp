#include "frmprogramacion.h"

#include "clock.h"
#include "layout.h"
#include "pictures.h"
#include "platform.h"
#include "screenfit.h"
#include "slotcalculator.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString shownDate(QDate date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

// "09:00 del 03/03/2026".
QString shownSlot(const QDateTime &slot)
{
    return slot.toString(QStringLiteral("HH:mm")) + QStringLiteral(" del ") + shownDate(slot.date());
}

enum Column { Activa, Mensaje, Cuando, Dias, Fechas, Proxima, Columns };
} // namespace

QString whenText(const ScheduleEntry &entry)
{
    if (entry.cada > 0)
        return QStringLiteral("cada %1 min").arg(entry.cada);
    return horasText(entry.horas).replace(QLatin1Char(','), QStringLiteral(", "));
}

QString datesText(const ScheduleEntry &entry)
{
    if (entry.desde.isValid() && entry.hasta.isValid())
        return shownDate(entry.desde) + QStringLiteral(" a ") + shownDate(entry.hasta);
    if (entry.desde.isValid())
        return QStringLiteral("desde ") + shownDate(entry.desde);
    if (entry.hasta.isValid())
        return QStringLiteral("hasta ") + shownDate(entry.hasta);
    return QString();
}

frmprogramacion::frmprogramacion(QWidget *parent, const QList<ScheduleEntry> &entries, const Clock &clock,
                                 FileDialog &files, MessageBoxes &boxes, const QTimeZone &zone)
    : QDialog(parent), m_entries(entries), m_clock(clock), m_files(files), m_boxes(boxes), m_zone(zone)
{
    setObjectName(QStringLiteral("frmprogramacion"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Programación"));
    setWindowIcon(programIcon());
    setModal(true);

    lstProgramas = new QTreeWidget(this);
    lstProgramas->setObjectName(QStringLiteral("lstProgramas"));
    lstProgramas->setHeaderLabels({QStringLiteral("Activa"), QStringLiteral("Mensaje"),
                                   QStringLiteral("Cuándo"), QStringLiteral("Días"), QStringLiteral("Fechas"),
                                   QStringLiteral("Próxima")});
    lstProgramas->setRootIsDecorated(false);
    lstProgramas->setAlternatingRowColors(true);
    lstProgramas->setMinimumSize(twips(8400), twips(3600));
    connect(lstProgramas, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
        if (!m_filling && column == Activa)
            itemToggled(lstProgramas->indexOfTopLevelItem(item), item->checkState(Activa) == Qt::Checked);
    });
    connect(lstProgramas, &QTreeWidget::itemDoubleClicked, this, &frmprogramacion::cmdmodificar_Click);

    lblProxima = new QLabel(this);
    lblProxima->setObjectName(QStringLiteral("lblProxima"));
    lblProxima->setFont(msSansSerif(9.75, true));

    cmdanadir = dialogButton(this, QStringLiteral("&Añadir..."), "cmdanadir");
    cmdmodificar = dialogButton(this, QStringLiteral("&Modificar..."), "cmdmodificar");
    cmdquitar = dialogButton(this, QStringLiteral("&Quitar"), "cmdquitar");
    cmdcancelar = dialogButton(this, QStringLiteral("Cancelar"), "cmdcancelar");
    cmdaceptar = dialogButton(this, QStringLiteral("Aceptar"), "cmdaceptar");
    cmdaceptar->setDefault(true);
    connect(cmdanadir, &QPushButton::clicked, this, &frmprogramacion::cmdanadir_Click);
    connect(cmdmodificar, &QPushButton::clicked, this, &frmprogramacion::cmdmodificar_Click);
    connect(cmdquitar, &QPushButton::clicked, this, &frmprogramacion::cmdquitar_Click);
    connect(cmdcancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdaceptar, &QPushButton::clicked, this, &QDialog::accept);

    auto *side = new QVBoxLayout;
    side->addWidget(cmdanadir);
    side->addWidget(cmdmodificar);
    side->addWidget(cmdquitar);
    side->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(lstProgramas, 1);
    top->addLayout(side);
    auto *line1 = new QFrame(this);
    line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    line1->setLineWidth(2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdcancelar);
    buttons->addWidget(cmdaceptar);
    auto *page = new QVBoxLayout(this);
    page->addLayout(top, 1);
    page->addWidget(lblProxima);
    page->addWidget(line1);
    page->addLayout(buttons);

    connect(lstProgramas, &QTreeWidget::currentItemChanged, this, [this] {
        cmdmodificar->setEnabled(currentRow() >= 0);
        cmdquitar->setEnabled(currentRow() >= 0);
    });
    fill();
    fitToScreen(this, wantedSize());
}

// Every column and row shown, the vertical scroll bar's room kept, as far as the screen allows.
QSize frmprogramacion::wantedSize() const
{
    const int frame = 2 * lstProgramas->frameWidth();
    const int rowHeight = qMax(lstProgramas->fontMetrics().height() + 6, lstProgramas->sizeHintForRow(0));
    const QSize list(
        lstProgramas->header()->length() + frame + style()->pixelMetric(QStyle::PM_ScrollBarExtent),
        lstProgramas->header()->sizeHint().height() + frame + rowHeight * qMax(8, int(m_entries.size()) + 1));
    const QSize around =
        layout()->sizeHint() - lstProgramas->sizeHint().expandedTo(lstProgramas->minimumSize());
    return list.expandedTo(lstProgramas->minimumSize()) + around;
}

void frmprogramacion::fill()
{
    m_filling = true;
    const int keep = currentRow();
    lstProgramas->clear();
    const QDateTime now = m_clock.now();
    for (const ScheduleEntry &e : std::as_const(m_entries)) {
        auto *item = new QTreeWidgetItem(lstProgramas);
        item->setCheckState(Activa, e.activo ? Qt::Checked : Qt::Unchecked);
        item->setText(Mensaje, QFileInfo(e.archivo).fileName());
        item->setToolTip(Mensaje, e.archivo);
        item->setText(Cuando, whenText(e));
        item->setText(Dias, diasText(e.dias));
        item->setText(Fechas, datesText(e));
        const QDateTime next = nextSlot(e, now, m_zone);
        item->setText(Proxima, next.isValid() ? shownSlot(next) : QStringLiteral("ninguna"));
    }
    for (int c = 0; c < Columns; ++c)
        lstProgramas->resizeColumnToContents(c);
    // A long name is elided (its tooltip has it whole), not left to push "Próxima" out of view.
    lstProgramas->setColumnWidth(Mensaje, qMin(lstProgramas->columnWidth(Mensaje), twips(3000)));
    if (!m_entries.isEmpty())
        lstProgramas->setCurrentItem(lstProgramas->topLevelItem(qBound(0, keep, int(m_entries.size()) - 1)));
    cmdmodificar->setEnabled(currentRow() >= 0);
    cmdquitar->setEnabled(currentRow() >= 0);
    m_filling = false;
    showNext();
}

void frmprogramacion::showNext()
{
    const QDateTime now = m_clock.now();
    QDateTime first;
    const ScheduleEntry *which = nullptr;
    for (const ScheduleEntry &e : std::as_const(m_entries)) {
        const QDateTime next = nextSlot(e, now, m_zone);
        if (next.isValid() && (!first.isValid() || next < first)) {
            first = next;
            which = &e;
        }
    }
    lblProxima->setText(which ? QStringLiteral("Próxima emisión: a las %1, %2.")
                                    .arg(shownSlot(first), QFileInfo(which->archivo).fileName())
                              : QStringLiteral("No hay ninguna emisión programada."));
}

int frmprogramacion::currentRow() const
{
    return lstProgramas->currentItem() ? lstProgramas->indexOfTopLevelItem(lstProgramas->currentItem()) : -1;
}

void frmprogramacion::itemToggled(int row, bool on)
{
    if (row < 0 || row >= m_entries.size())
        return;
    m_entries[row].activo = on;
    fill();
}

void frmprogramacion::cmdanadir_Click()
{
    ScheduleEntry fresh;
    fresh.horas = {QTime(9, 0)};
    frmentrada dialog(this, fresh, m_files, m_boxes, m_clock, m_zone);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_entries.append(dialog.entry());
    fill();
    lstProgramas->setCurrentItem(lstProgramas->topLevelItem(int(m_entries.size()) - 1));
}

void frmprogramacion::cmdmodificar_Click()
{
    const int row = currentRow();
    if (row < 0)
        return;
    frmentrada dialog(this, m_entries.at(row), m_files, m_boxes, m_clock, m_zone);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_entries[row] = dialog.entry();
    fill();
}

void frmprogramacion::cmdquitar_Click()
{
    const int row = currentRow();
    if (row < 0)
        return;
    m_entries.removeAt(row);
    fill();
}

#include "frmprogramacion.h"

#include "clock.h"
#include "layout.h"
#include "pictures.h"
#include "platform.h"
#include "slotcalculator.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Pregonal");
const char *const kDayLetters[7] = {"L", "M", "X", "J", "V", "S", "D"};
const char *const kDayNames[7] = {"lunes", "martes", "miércoles", "jueves", "viernes", "sábado", "domingo"};

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

frmentrada::frmentrada(QWidget *parent, const ScheduleEntry &entry, FileDialog &files, MessageBoxes &boxes)
    : QDialog(parent), m_number(entry.number), m_files(files), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmentrada"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Emisión programada"));
    setWindowIcon(programIcon());
    setModal(true);

    auto *messageBox = new QGroupBox(QStringLiteral("Mensaje:"), this);
    txtArchivo = new QLineEdit(entry.archivo, messageBox);
    txtArchivo->setObjectName(QStringLiteral("txtArchivo"));
    txtArchivo->setMinimumWidth(twips(5000));
    cmdexaminar = new QPushButton(QStringLiteral("&Examinar..."), messageBox);
    cmdexaminar->setObjectName(QStringLiteral("cmdexaminar"));
    connect(cmdexaminar, &QPushButton::clicked, this, &frmentrada::cmdexaminar_Click);
    auto *messageRow = new QHBoxLayout(messageBox);
    messageRow->addWidget(txtArchivo, 1);
    messageRow->addWidget(cmdexaminar);

    auto *whenBox = new QGroupBox(QStringLiteral("Cuándo:"), this);
    optHoras = new QRadioButton(QStringLiteral("A las &horas:"), whenBox);
    optHoras->setObjectName(QStringLiteral("optHoras"));
    txtHoras = new QLineEdit(whenText(ScheduleEntry{0, {}, entry.horas}), whenBox);
    txtHoras->setObjectName(QStringLiteral("txtHoras"));
    txtHoras->setPlaceholderText(QStringLiteral("09:00, 13:30"));
    optCada = new QRadioButton(QStringLiteral("&Cada"), whenBox);
    optCada->setObjectName(QStringLiteral("optCada"));
    spnCada = new QSpinBox(whenBox);
    spnCada->setObjectName(QStringLiteral("spnCada"));
    spnCada->setRange(1, ScheduleEntry::kMaxCada);
    spnCada->setValue(entry.cada > 0 ? entry.cada : 60);
    spnCada->setSuffix(QStringLiteral(" min"));
    spnCada->setAlignment(Qt::AlignRight);
    spnCada->setToolTip(QStringLiteral("Contados desde medianoche: cada 10 min envía a las :00, :10, :20..."));
    (entry.cada > 0 ? optCada : optHoras)->setChecked(true);
    auto *whenGrid = new QGridLayout(whenBox);
    whenGrid->addWidget(optHoras, 0, 0);
    whenGrid->addWidget(txtHoras, 0, 1, 1, 2);
    whenGrid->addWidget(optCada, 1, 0);
    whenGrid->addWidget(spnCada, 1, 1);
    whenGrid->setColumnStretch(2, 1);
    auto *daysRow = new QHBoxLayout;
    for (int d = 0; d < 7; ++d) {
        chkDias[d] = new QCheckBox(QLatin1String(kDayLetters[d]), whenBox);
        chkDias[d]->setObjectName(QStringLiteral("chkDias_%1").arg(d));
        chkDias[d]->setToolTip(QString::fromUtf8(kDayNames[d]));
        chkDias[d]->setChecked(entry.runsOnWeekday(d + 1));
        daysRow->addWidget(chkDias[d]);
    }
    daysRow->addStretch(1);
    whenGrid->addWidget(new QLabel(QStringLiteral("Días:"), whenBox), 2, 0);
    whenGrid->addLayout(daysRow, 2, 1, 1, 2);

    const QDate today = QDate::currentDate();
    chkDesde = new QCheckBox(QStringLiteral("&Desde el"), whenBox);
    chkDesde->setObjectName(QStringLiteral("chkDesde"));
    chkDesde->setChecked(entry.desde.isValid());
    dteDesde = new QDateEdit(entry.desde.isValid() ? entry.desde : today, whenBox);
    dteDesde->setObjectName(QStringLiteral("dteDesde"));
    chkHasta = new QCheckBox(QStringLiteral("Has&ta el"), whenBox);
    chkHasta->setObjectName(QStringLiteral("chkHasta"));
    chkHasta->setChecked(entry.hasta.isValid());
    dteHasta = new QDateEdit(entry.hasta.isValid() ? entry.hasta : today, whenBox);
    dteHasta->setObjectName(QStringLiteral("dteHasta"));
    spnCada->setMinimumWidth(twips(1800));
    for (QDateEdit *date : {dteDesde, dteHasta}) {
        date->setMinimumWidth(twips(1800));
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    }
    whenGrid->addWidget(chkDesde, 3, 0);
    whenGrid->addWidget(dteDesde, 3, 1);
    whenGrid->addWidget(chkHasta, 4, 0);
    whenGrid->addWidget(dteHasta, 4, 1);

    chkActivo = new QCheckBox(QStringLiteral("Acti&va"), this);
    chkActivo->setObjectName(QStringLiteral("chkActivo"));
    chkActivo->setChecked(entry.activo);

    auto *line1 = new QFrame(this);
    line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    line1->setLineWidth(2);
    cmdcancelar = dialogButton(this, QStringLiteral("Cancelar"), "cmdcancelar");
    cmdaceptar = dialogButton(this, QStringLiteral("Aceptar"), "cmdaceptar");
    cmdaceptar->setDefault(true);
    connect(cmdcancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdaceptar, &QPushButton::clicked, this, &frmentrada::cmdaceptar_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(chkActivo);
    buttons->addStretch(1);
    buttons->addWidget(cmdcancelar);
    buttons->addWidget(cmdaceptar);

    auto *page = new QVBoxLayout(this);
    page->addWidget(messageBox);
    page->addWidget(whenBox);
    page->addWidget(line1);
    page->addLayout(buttons);
    page->setSizeConstraint(QLayout::SetFixedSize);

    for (QAbstractButton *b : std::initializer_list<QAbstractButton *>{optHoras, optCada, chkDesde, chkHasta})
        connect(b, &QAbstractButton::toggled, this, &frmentrada::updateControls);
    updateControls();
}

void frmentrada::updateControls()
{
    txtHoras->setEnabled(optHoras->isChecked());
    spnCada->setEnabled(optCada->isChecked());
    dteDesde->setEnabled(chkDesde->isChecked());
    dteHasta->setEnabled(chkHasta->isChecked());
}

ScheduleEntry frmentrada::entry() const
{
    ScheduleEntry e;
    e.number = m_number;
    e.archivo = txtArchivo->text().trimmed();
    if (optCada->isChecked())
        e.cada = spnCada->value();
    else
        parseHoras(txtHoras->text(), &e.horas);
    e.dias = 0;
    for (int d = 0; d < 7; ++d)
        e.dias |= chkDias[d]->isChecked() ? quint8(1u << d) : quint8(0);
    e.desde = chkDesde->isChecked() ? dteDesde->date() : QDate();
    e.hasta = chkHasta->isChecked() ? dteHasta->date() : QDate();
    e.activo = chkActivo->isChecked();
    return e;
}

QString frmentrada::problem() const
{
    if (txtArchivo->text().trimmed().isEmpty())
        return QStringLiteral("Elija el mensaje que se enviará.");
    if (optHoras->isChecked()) {
        QList<QTime> horas;
        const QString why = parseHoras(txtHoras->text(), &horas);
        if (!why.isEmpty())
            return why;
        if (horas.isEmpty())
            return QStringLiteral("Escriba al menos una hora, como 09:00.");
    }
    bool anyDay = false;
    for (const QCheckBox *day : chkDias)
        anyDay = anyDay || day->isChecked();
    if (!anyDay)
        return QStringLiteral("Marque al menos un día de la semana.");
    if (chkDesde->isChecked() && chkHasta->isChecked() && dteDesde->date() > dteHasta->date())
        return QStringLiteral("La fecha «hasta» es anterior a la fecha «desde».");
    return QString();
}

void frmentrada::cmdexaminar_Click()
{
    m_files.setFilter(QStringLiteral("*.wav|*.wav|"));
    m_files.setFileName(txtArchivo->text().trimmed());
    if (m_files.showOpen())
        txtArchivo->setText(m_files.fileName());
}

void frmentrada::cmdaceptar_Click()
{
    const QString why = problem();
    if (!why.isEmpty()) {
        m_boxes.show(QStringLiteral("No se puede guardar la emisión programada."), MessageBoxes::OkOnly,
                     MessageBoxes::Warning, kTitle, why);
        return;
    }
    accept();
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
    lstProgramas->setHeaderLabels({QStringLiteral("Activa"), QStringLiteral("Mensaje"), QStringLiteral("Cuándo"),
                                   QStringLiteral("Días"), QStringLiteral("Fechas"), QStringLiteral("Próxima")});
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
    // Wide enough for every column, up to what a small screen takes.
    const int wanted = lstProgramas->header()->length() + 2 * lstProgramas->frameWidth() + 4;
    lstProgramas->setMinimumWidth(qBound(twips(8400), wanted, twips(13500)));
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
    frmentrada dialog(this, fresh, m_files, m_boxes);
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
    frmentrada dialog(this, m_entries.at(row), m_files, m_boxes);
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

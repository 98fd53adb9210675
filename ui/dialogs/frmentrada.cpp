#include "frmentrada.h"

#include "clock.h"
#include "frmprogramacion.h"
#include "layout.h"
#include "pictures.h"
#include "platform.h"
#include "screenfit.h"
#include "slotcalculator.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Pregonal");
const char *const kDayLetters[7] = {"L", "M", "X", "J", "V", "S", "D"};
const char *const kDayNames[7] = {"lunes", "martes", "miércoles", "jueves", "viernes", "sábado", "domingo"};
} // namespace

frmentrada::frmentrada(QWidget *parent, const ScheduleEntry &entry, FileDialog &files, MessageBoxes &boxes,
                       const Clock &clock, const QTimeZone &zone)
    : QDialog(parent), m_number(entry.number), m_files(files), m_boxes(boxes), m_clock(clock), m_zone(zone)
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
    spnCada->setToolTip(
        QStringLiteral("Contados desde medianoche: cada 10 min envía a las :00, :10, :20..."));
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
    fitToScreen(this, sizeHint());
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
    const QString message = messageProblem(txtArchivo->text().trimmed());
    if (!message.isEmpty())
        return message.left(1).toUpper() + message.mid(1) + QLatin1Char('.');
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
    if (!confirmNeverRuns())
        return;
    accept();
}

// Dates and days that leave no day to send on are most likely a slip: said, and kept if wanted.
bool frmentrada::confirmNeverRuns()
{
    ScheduleEntry e = entry();
    e.activo = true;
    if (nextSlot(e, m_clock.now(), m_zone).isValid())
        return true;
    return m_boxes.show(QStringLiteral("Esta emisión no se enviará nunca (Próxima: ninguna)."),
                        MessageBoxes::YesNo, MessageBoxes::Warning, kTitle,
                        QStringLiteral("Sus fechas y sus días no dejan ningún momento para enviarla. "
                                       "¿Quiere guardarla de todos modos?")) == MessageBoxes::Yes;
}

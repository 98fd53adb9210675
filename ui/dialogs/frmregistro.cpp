#include "frmregistro.h"

#include "layout.h"
#include "pictures.h"
#include "platform.h"
#include "screenfit.h"
#include "transmissionlog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QStringList kColumns = {QStringLiteral("Inicio"),   QStringLiteral("Fin"),
                              QStringLiteral("Origen"),   QStringLiteral("Mensaje"),
                              QStringLiteral("Segundos"), QStringLiteral("Resultado"),
                              QStringLiteral("Detalle")};

// "2026-03-02T09:00:00.000+01:00" as the operator reads it: "02/03/2026 09:00:00".
QString shownTime(const QString &text)
{
    const QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : text;
}
} // namespace

frmregistro::frmregistro(QWidget *parent, const QString &folder, ProgramLauncher &launcher,
                         MessageBoxes &boxes)
    : QDialog(parent), m_folder(folder), m_launcher(launcher), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmregistro"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Registro"));
    setWindowIcon(programIcon());
    setModal(true);

    lstRegistro = new QTableWidget(0, int(kColumns.size()), this);
    lstRegistro->setObjectName(QStringLiteral("lstRegistro"));
    lstRegistro->setHorizontalHeaderLabels(kColumns);
    lstRegistro->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstRegistro->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstRegistro->setAlternatingRowColors(true);
    lstRegistro->verticalHeader()->hide();
    lstRegistro->verticalHeader()->setDefaultSectionSize(lstRegistro->fontMetrics().height() + 6);
    lstRegistro->horizontalHeader()->setStretchLastSection(true);
    lstRegistro->setWordWrap(false);
    lstRegistro->setMinimumSize(twips(6000), twips(3000));

    lblVacio = new QLabel(QStringLiteral("Todavía no se ha registrado ninguna emisión."), this);
    lblVacio->setObjectName(QStringLiteral("lblVacio"));

    cmdcarpeta = dialogButton(this, QStringLiteral("Abrir la &carpeta"), "cmdcarpeta");
    cmdcarpeta->setToolTip(QDir::toNativeSeparators(m_folder));
    cmdcerrar = dialogButton(this, QStringLiteral("Cerrar"), "cmdcerrar");
    cmdcerrar->setDefault(true);
    connect(cmdcarpeta, &QPushButton::clicked, this, &frmregistro::cmdcarpeta_Click);
    connect(cmdcerrar, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lblVacio);
    buttons->addStretch(1);
    buttons->addWidget(cmdcarpeta);
    buttons->addWidget(cmdcerrar);
    auto *page = new QVBoxLayout(this);
    page->addWidget(lstRegistro, 1);
    page->addLayout(buttons);

    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &frmregistro::refresh);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &frmregistro::refresh);
    refresh();
    fitToScreen(this, wantedSize());
}

// Every column at its width (the long ones capped, their texts elided and whole in the tooltip)
// and a dozen lines, as far as the screen allows.
QSize frmregistro::wantedSize() const
{
    const int frame = 2 * lstRegistro->frameWidth();
    const QSize table(lstRegistro->horizontalHeader()->length() + frame +
                          style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                      lstRegistro->horizontalHeader()->sizeHint().height() + frame +
                          lstRegistro->verticalHeader()->defaultSectionSize() * 12);
    const QSize around =
        layout()->sizeHint() - lstRegistro->sizeHint().expandedTo(lstRegistro->minimumSize());
    return table.expandedTo(lstRegistro->minimumSize()) + around;
}

void frmregistro::refresh()
{
    const QList<QStringList> lines = readLatestLog(m_folder, Shown);
    lstRegistro->setRowCount(int(lines.size()));
    for (int row = 0; row < lines.size(); ++row) {
        const QStringList &fields = lines.at(row);
        for (int column = 0; column < kColumns.size(); ++column) {
            QString text = fields.value(column);
            QString tip = text;
            if (column <= 1)
                text = shownTime(text);
            else if (column == 3 && !text.isEmpty())
                text = QFileInfo(text).fileName();
            auto *item = new QTableWidgetItem(text);
            item->setToolTip(tip);
            if (column == 4)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            lstRegistro->setItem(row, column, item);
        }
    }
    lstRegistro->resizeColumnsToContents();
    for (const int column : {3, 6})
        lstRegistro->setColumnWidth(column,
                                    qMin(lstRegistro->columnWidth(column), twips(column == 3 ? 3000 : 6000)));
    lblVacio->setVisible(lines.isEmpty());
    watch();
}

// The folder is watched for the file to appear, the file once it exists and again after each
// rotation replaces it.
void frmregistro::watch()
{
    QDir().mkpath(m_folder);
    if (!m_watcher.directories().contains(m_folder))
        m_watcher.addPath(m_folder);
    const QString file = QDir(m_folder).filePath(TransmissionLog::FileName);
    if (QFileInfo::exists(file) && !m_watcher.files().contains(file))
        m_watcher.addPath(file);
}

void frmregistro::cmdcarpeta_Click()
{
    QDir().mkpath(m_folder);
    if (!m_launcher.openFolder(m_folder))
        m_boxes.show(QStringLiteral("No se puede abrir la carpeta del registro."), MessageBoxes::OkOnly,
                     MessageBoxes::Warning, QStringLiteral("Pregonal"),
                     QStringLiteral("El registro está en %1.").arg(QDir::toNativeSeparators(m_folder)));
}

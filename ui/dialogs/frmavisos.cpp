#include "frmavisos.h"

#include "layout.h"
#include "pictures.h"
#include "transmissionlog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QStringList kColumns = {QStringLiteral("Hora"), QStringLiteral("Emisión"), QStringLiteral("Mensaje"),
                              QStringLiteral("Causa")};
}

frmavisos::frmavisos(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmavisos"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Avisos"));
    setWindowIcon(programIcon());
    setModal(false);
    setAttribute(Qt::WA_ShowWithoutActivating);

    lblAvisos = new QLabel(QStringLiteral("Estas emisiones programadas no han salido:"), this);
    lblAvisos->setObjectName(QStringLiteral("lblAvisos"));

    lstAvisos = new QTableWidget(0, int(kColumns.size()), this);
    lstAvisos->setObjectName(QStringLiteral("lstAvisos"));
    lstAvisos->setHorizontalHeaderLabels(kColumns);
    lstAvisos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstAvisos->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstAvisos->setAlternatingRowColors(true);
    lstAvisos->verticalHeader()->hide();
    lstAvisos->verticalHeader()->setDefaultSectionSize(lstAvisos->fontMetrics().height() + 6);
    lstAvisos->horizontalHeader()->setStretchLastSection(true);
    // The cause is what the operator needs: shown whole, wrapped in its row.
    lstAvisos->setWordWrap(true);
    lstAvisos->setMinimumSize(twips(10500), twips(2600));
    connect(lstAvisos->horizontalHeader(), &QHeaderView::sectionResized, lstAvisos,
            &QTableWidget::resizeRowsToContents);
    lblAvisos->setBuddy(lstAvisos);

    cmdcerrar = dialogButton(this, QStringLiteral("Cerrar"), "cmdcerrar");
    cmdcerrar->setDefault(true);
    connect(cmdcerrar, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdcerrar);
    auto *page = new QVBoxLayout(this);
    page->addWidget(lblAvisos);
    page->addWidget(lstAvisos, 1);
    page->addLayout(buttons);
}

void frmavisos::add(const QDateTime &when, int programa, const QString &archivo, const QString &cause)
{
    const QString path = QDir::toNativeSeparators(archivo);
    const QStringList texts = {when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                               originText(LogOrigin::Programa, programa),
                               archivo.isEmpty() ? QString() : QFileInfo(archivo).fileName(), cause};
    const QStringList tips = {texts.at(0), texts.at(1), path, cause};
    const int row = lstAvisos->rowCount();
    lstAvisos->insertRow(row);
    for (int column = 0; column < texts.size(); ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        item->setToolTip(tips.at(column));
        lstAvisos->setItem(row, column, item);
    }
    for (int column = 0; column < texts.size() - 1; ++column)
        lstAvisos->resizeColumnToContents(column);
    lstAvisos->resizeRowsToContents();
    lstAvisos->scrollToItem(lstAvisos->item(row, 0));
    if (!isVisible())
        show();
}

int frmavisos::count() const
{
    return lstAvisos->rowCount();
}

void frmavisos::done(int result)
{
    QDialog::done(result);
    lstAvisos->setRowCount(0);
    emit seen();
}

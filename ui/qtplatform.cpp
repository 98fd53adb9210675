#include "qtplatform.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>

QStringList QtFileDialog::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts.at(i).isEmpty())
            filters.append(
                QStringLiteral("%1 (%2)").arg(parts.at(i), QString(parts.at(i + 1)).replace(';', ' ')));
    }
    return filters;
}

bool QtFileDialog::showOpen()
{
    return show(false);
}

bool QtFileDialog::showSave()
{
    return show(true);
}

bool QtFileDialog::show(bool save)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(m_filter));
    // The path is used exactly as the user gives it: no extension is added.
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(m_fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    m_fileName = dialog.selectedFiles().constFirst();
    return true;
}

int QtMessageBoxes::show(const QString &text, Buttons buttons, Icon icon, const QString &caption,
                         const QString &detail)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    box.setText(text);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    switch (icon) {
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    case NoIcon:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if (buttons == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sí"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
        return box.exec() == QMessageBox::Yes ? Yes : No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("Aceptar"));
    box.exec();
    return Ok;
}

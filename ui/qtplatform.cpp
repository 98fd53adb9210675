#include "qtplatform.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {
bool askOrTell(QWidget *parent, const QString &text, bool ask)
{
    QMessageBox box(ask ? QMessageBox::Warning : QMessageBox::Critical, parent->windowTitle(), text,
                    ask ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    if (ask) {
        box.setDefaultButton(QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sí"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
    } else {
        box.button(QMessageBox::Ok)->setText(QStringLiteral("Aceptar"));
    }
    return box.exec() == QMessageBox::Yes;
}

// QFileDialog reads a typed name that holds double quotes as a list of names ("a" "b") and
// keeps what stands between them: `carpeta "y"/aviso.wav` would become `y`. Here such a name
// is one path, taken exactly as typed, or refused with a message.
class ExactNameDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;
    QString quotedPath; // the path typed, when it held quotes

    void accept() override
    {
        auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QString typed = edit ? edit->text() : QString();
        if (!typed.contains(QLatin1Char('"'))) {
            quotedPath.clear();
            QFileDialog::accept();
            return;
        }
        if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
            typed.replace(0, 1, QDir::homePath());
        const QFileInfo file(QDir::cleanPath(directory().absoluteFilePath(typed)));
        if (file.isDir()) {
            // A folder: go into it, as the dialog does.
            setDirectory(file.absoluteFilePath());
            edit->clear();
            return;
        }
        const bool saving = acceptMode() == AcceptSave;
        if (!file.absoluteDir().exists()) {
            askOrTell(this,
                      QStringLiteral("La carpeta «%1» no existe.")
                          .arg(QDir::toNativeSeparators(file.absolutePath())),
                      false);
            return;
        }
        if (!saving && !file.exists()) {
            askOrTell(
                this,
                QStringLiteral("«%1» no existe.").arg(QDir::toNativeSeparators(file.absoluteFilePath())),
                false);
            return;
        }
        if (saving && file.exists() && !testOption(DontConfirmOverwrite) &&
            !askOrTell(this,
                       QStringLiteral("«%1» ya existe.\n¿Quiere reemplazarlo?")
                           .arg(QDir::toNativeSeparators(file.absoluteFilePath())),
                       true))
            return;
        quotedPath = file.absoluteFilePath();
        QDialog::accept();
    }
};
} // namespace

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
    ExactNameDialog dialog(m_parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(m_filter));
    // The path is used exactly as the user gives it: no extension is added.
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(m_fileName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (!dialog.quotedPath.isEmpty())
        m_fileName = dialog.quotedPath;
    else if (!dialog.selectedFiles().isEmpty())
        m_fileName = dialog.selectedFiles().constFirst();
    else
        return false;
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

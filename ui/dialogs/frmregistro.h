#pragma once

#include <QDialog>
#include <QFileSystemWatcher>

class MessageBoxes;
class ProgramLauncher;
class QLabel;
class QPushButton;
class QTableWidget;

// The log window: the latest transmissions, newest first, read-only, kept up to date as lines
// are added to the log; a button shows the log's folder.
class frmregistro : public QDialog
{
    Q_OBJECT
public:
    static constexpr int Shown = 200;

    frmregistro(QWidget *parent, const QString &folder, ProgramLauncher &launcher, MessageBoxes &boxes);

    // Reads the log again.
    void refresh();
    void cmdcarpeta_Click();

    QTableWidget *lstRegistro = nullptr;
    QLabel *lblVacio = nullptr;
    QPushButton *cmdcarpeta = nullptr;
    QPushButton *cmdcerrar = nullptr;

private:
    QSize wantedSize() const;
    void watch();

    QString m_folder;
    ProgramLauncher &m_launcher;
    MessageBoxes &m_boxes;
    QFileSystemWatcher m_watcher;
};

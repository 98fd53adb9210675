#pragma once

#include <QDialog>
#include <QSvgRenderer>

class MessageBoxes;
class ProgramLauncher;
class QLabel;
class RegistryReader;
class QPushButton;

// The About box: title, version, credit line and web address over the telephone drawing, and
// the start of the system information tool.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    // The system information tool is found through registry, started by launcher; boxes tell
    // when it cannot be.
    frmAbout(QWidget *parent, RegistryReader &registry, ProgramLauncher &launcher, MessageBoxes &boxes);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblAutor = nullptr;
    QLabel *lblWeb = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

    // The drawing's own size in pixels: 3386 x 1684 units at 576 units to the inch.
    static constexpr double kPictureWidth = 3386.0 / 6;
    static constexpr double kPictureHeight = 1684.0 / 6;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    RegistryReader &m_registry;
    ProgramLauncher &m_launcher;
    MessageBoxes &m_boxes;
    QSvgRenderer m_picture;
};

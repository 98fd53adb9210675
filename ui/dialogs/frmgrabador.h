#pragma once

#include <QDialog>

class Frmprincipal;
class QPushButton;

// The recorder: records a new message through the main window's audio device into the path
// the save-as dialog gave, and makes it the current message. Left only through its buttons, or
// when the program ends.
class frmgrabador : public QDialog
{
    Q_OBJECT
public:
    frmgrabador(Frmprincipal &main, const QString &previousFileName);

    void Form_Load();
    void cmdgrabar_Click();
    void cmdcancelar_Click();

    QPushButton *cmdgrabar = nullptr;
    QPushButton *cmdcancelar = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void giveBackPreviousMessage();
    void closeDeviceQuietly();
    void tellOperator(const QString &text, const QString &cause);
    void unload();

    Frmprincipal &m_main;
    // The message current before the command: the device gets it back when no recording results.
    QString m_previousFileName;
    bool m_busy = false; // a button's handler is under way (it may be showing a box)
};

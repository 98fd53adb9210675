#pragma once

#include <QDialog>

class Frmprincipal;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

// The options dialog: the serial port that keys the transmitter (COM1 to COM6) and the pause
// between looped plays (1 to 60 s). "Aceptar" stores both and applies them to the main window;
// when the store cannot keep them, they apply for this run and the operator is told.
class frmopciones : public QDialog
{
    Q_OBJECT
public:
    explicit frmopciones(Frmprincipal &main);

    void Form_Load();
    void HScroll1_Change();
    void cmdaceptar_Click();
    void cmdcancelar_Click();

    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option1[6] = {};
    QButtonGroup *Option1Group = nullptr;
    QGroupBox *Frame2 = nullptr;
    QLabel *label1 = nullptr;
    QScrollBar *HScroll1 = nullptr;
    QFrame *Line1 = nullptr;
    QPushButton *cmdcancelar = nullptr;
    QPushButton *cmdaceptar = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Frmprincipal &m_main;
    quint8 m_puerto = 0; // port counter of the accept search
};

#pragma once

#include <QDialog>

#include <functional>
#include <optional>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

// The options dialog: the serial port that keys the transmitter (COM1 to COM6) and the pause
// between looped plays (1 to 60 s), shown from the values the program runs with. Accepted with
// "Aceptar", it gives back the chosen port (none when no button is selected) and pause; the main
// window stores and applies them.
class frmopciones : public QDialog
{
    Q_OBJECT
public:
    // deviceForPort names the device each port number opens, for the buttons' tooltips.
    frmopciones(QWidget *parent, int puertocom, int intervalosegs,
                const std::function<QString(int)> &deviceForPort);

    std::optional<int> chosenPort() const;
    int chosenInterval() const;

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
    int m_puertocom;
    int m_intervalosegs;
};

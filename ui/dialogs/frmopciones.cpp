#include "frmopciones.h"

#include "layout.h"
#include "pictures.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {
QString segs(int seconds)
{
    return QString::number(seconds) + QStringLiteral(" segs");
}
} // namespace

frmopciones::frmopciones(QWidget *parent, int puertocom, int intervalosegs,
                         const std::function<QString(int)> &deviceForPort)
    : QDialog(parent), m_puertocom(puertocom), m_intervalosegs(intervalosegs)
{
    setObjectName(QStringLiteral("frmopciones"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Opciones"));
    setWindowIcon(programIcon());
    setModal(true);
    setFixedSize(twips(4365), twips(3015));

    // The frames come first so that the port buttons and the bar lie in front of them.
    Frame1 = new QGroupBox(QStringLiteral("Puerto COM:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    placeInTwips(Frame1, 375, 120, 3615, 735);
    Frame2 = new QGroupBox(QStringLiteral("Intervalo:"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    placeInTwips(Frame2, 375, 1200, 3615, 855);

    Option1Group = new QButtonGroup(this);
    Option1Group->setExclusive(true);
    for (int i = 0; i < 6; ++i) {
        auto *button = new QRadioButton(QString::number(i + 1), this);
        button->setObjectName(QStringLiteral("Option1_%1").arg(i));
        button->setToolTip(deviceForPort(i + 1));
        placeInTwips(button, 735 + 480 * i, 360, 615, 375);
        Option1Group->addButton(button, i);
        Option1[i] = button;
    }

    label1 = new QLabel(Frame2);
    label1->setObjectName(QStringLiteral("label1"));
    label1->setFont(msSansSerif(9.75, true));
    placeInTwips(label1, 2640, 360, 855, 375);

    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll1->setRange(1, 60);
    HScroll1->setSingleStep(1);
    HScroll1->setPageStep(1);
    HScroll1->setValue(1);
    // The label follows a change of value, not the thumb while it is dragged.
    HScroll1->setTracking(false);
    // It takes the focus like the other controls; then Right raises the value and Left lowers it.
    HScroll1->setFocusPolicy(Qt::StrongFocus);
    HScroll1->setInvertedControls(false);
    placeInTwips(HScroll1, 615, 1560, 2295, 375);
    connect(HScroll1, &QScrollBar::valueChanged, this, &frmopciones::HScroll1_Change);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(2);
    Line1->setGeometry(0, twips(2280) - 1, twips(4560), 2);

    cmdcancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    cmdcancelar->setObjectName(QStringLiteral("cmdcancelar"));
    cmdcancelar->setFont(msSansSerif(9.75));
    placeInTwips(cmdcancelar, 135, 2460, 1815, 495);
    connect(cmdcancelar, &QPushButton::clicked, this, &frmopciones::cmdcancelar_Click);

    cmdaceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    cmdaceptar->setObjectName(QStringLiteral("cmdaceptar"));
    cmdaceptar->setFont(msSansSerif(9.75));
    cmdaceptar->setDefault(true);
    placeInTwips(cmdaceptar, 2415, 2460, 1815, 495);
    connect(cmdaceptar, &QPushButton::clicked, this, &frmopciones::cmdaceptar_Click);

    QWidget *order[] = {Option1[0], Option1[1], Option1[2],  Option1[3], Option1[4],
                        Option1[5], HScroll1,   cmdcancelar, cmdaceptar};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    Form_Load();
    // As in any group of option buttons, the focus enters the group at the selected one.
    if (QAbstractButton *selected = Option1Group->checkedButton())
        selected->setFocus();
}

void frmopciones::Form_Load()
{
    const int port = m_puertocom;
    const int seconds = m_intervalosegs;
    // A stored port outside 1 to 6 selects no button; then "Aceptar" keeps the port as it is.
    if (port >= 1 && port <= 6)
        Option1[port - 1]->setChecked(true);
    // An interval outside the bar's range puts the bar at its nearest end; the label follows it.
    HScroll1->setValue(qBound(HScroll1->minimum(), seconds, HScroll1->maximum()));
    label1->setText(segs(HScroll1->value()));
}

void frmopciones::HScroll1_Change()
{
    label1->setText(segs(qint16(HScroll1->value())));
}

void frmopciones::cmdaceptar_Click()
{
    accept();
}

std::optional<int> frmopciones::chosenPort() const
{
    for (int port = 1; port <= 6; ++port) {
        if (Option1[port - 1]->isChecked())
            return port;
    }
    return std::nullopt;
}

int frmopciones::chosenInterval() const
{
    return HScroll1->value();
}

void frmopciones::cmdcancelar_Click()
{
    reject();
}

// Esc presses "Cancelar".
void frmopciones::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdcancelar->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

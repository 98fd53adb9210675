#include "frmabout.h"

#include "layout.h"
#include "pictures.h"
#include "sysinfo.h"
#include "version.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {
const QString kAppTitle = QStringLiteral("Pregonal");
constexpr int kMajor = PREGONAL_VERSION_MAJOR;
constexpr int kMinor = PREGONAL_VERSION_MINOR;
constexpr int kRevision = PREGONAL_VERSION_PATCH;

QLabel *makeLabel(QWidget *parent, const char *name, int left, int top, int width, int height)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    placeInTwips(label, left, top, width, height);
    return label;
}

// Text over the drawing: no background of its own.
void overPicture(QLabel *label, const QColor &colour, double points)
{
    label->setFont(msSansSerif(points, true));
    label->setAutoFillBackground(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// The default font here may be wider than the one the box was laid out for: narrow the caption,
// then make it smaller, until it fits its button.
void fitCaption(QPushButton *button)
{
    QFont font = button->font();
    for (int step = 0; step < 8 && button->sizeHint().width() > button->width(); ++step) {
        if (font.stretch() == QFont::AnyStretch || font.stretch() == QFont::Unstretched)
            font.setStretch(QFont::SemiCondensed);
        else if (font.pointSizeF() > 6.5)
            font.setPointSizeF(font.pointSizeF() - 0.5);
        else
            break;
        button->setFont(font);
    }
}
} // namespace

frmAbout::frmAbout(QWidget *parent, RegistryReader &registry, ProgramLauncher &launcher, MessageBoxes &boxes)
    : QDialog(parent), m_registry(registry), m_launcher(launcher), m_boxes(boxes),
      m_picture(aboutPicturePath())
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(programIcon());
    setModal(true);
    setFixedSize(twips(5940), twips(3555));

    // Created in tab order: the two buttons, then the labels.
    cmdOK = new QPushButton(QStringLiteral("Aceptar"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    placeInTwips(cmdOK, 4320, 2625, 1500, 345);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    cmdSysInfo = new QPushButton(QStringLiteral("&Info. del sistema..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    placeInTwips(cmdSysInfo, 4320, 3075, 1485, 345);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    lblTitle = makeLabel(this, "lblTitle", 120, 240, 3885, 480);
    overPicture(lblTitle, Qt::white, 24);
    lblVersion = makeLabel(this, "lblVersion", 120, 780, 3885, 465);
    overPicture(lblVersion, Qt::white, 24);
    lblAutor = makeLabel(this, "lblAutor", 240, 2280, 3975, 255);
    overPicture(lblAutor, Qt::red, 9.75);
    lblAutor->setText(QStringLiteral("Hecho por el equipo de Pregonal"));
    // The web address keeps the default font and colours, on its own background.
    lblWeb = makeLabel(this, "lblWeb", 240, 2520, 3615, 255);
    lblWeb->setAutoFillBackground(true);
    lblWeb->setText(QStringLiteral("https://pregonal.example.org/"));

    setTabOrder(cmdOK, cmdSysInfo);
    fitCaption(cmdOK);
    fitCaption(cmdSysInfo);

    Form_Load();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("Acerca de ") + kAppTitle);
    lblVersion->setText(QStringLiteral("Versión %1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision));
    lblTitle->setText(kAppTitle);
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    ::StartSysInfo(m_registry, m_launcher, m_boxes);
}

// Black, covered from the top left by the drawing at its own size; the box shows its top left part.
void frmAbout::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    m_picture.render(&painter, QRectF(0, 0, kPictureWidth, kPictureHeight));
}

// Esc presses "Aceptar", as Enter does.
void frmAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

#include "frmgrabador.h"

#include "audiodevice.h"
#include "deviceerror.h"
#include "layout.h"
#include "pictures.h"
#include "platform.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QScopedValueRollback>

namespace {
const QString kStop = QStringLiteral("Stop");

QPushButton *makeButton(const QString &caption, int left, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setFont(msSansSerif(9.75));
    placeInTwips(button, left, 248, 1815, 495);
    return button;
}
} // namespace

frmgrabador::frmgrabador(QWidget *parent, AudioDevice &reproductor, const FileDialog &ventanas,
                         MessageBoxes &boxes, const QString &previousFileName, std::function<bool()> ending)
    : QDialog(parent), m_reproductor(reproductor), m_ventanas(ventanas), m_boxes(boxes),
      m_ending(std::move(ending)), m_previousFileName(previousFileName)
{
    setObjectName(QStringLiteral("frmgrabador"));
    // No close button and no window menu: a recording is ended only by "Stop".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Grabador"));
    setWindowIcon(programIcon());
    setModal(true);
    setFixedSize(twips(4455), twips(990));

    // Created in tab order: "Grabar" first, so it has the focus when the dialog opens.
    cmdgrabar = makeButton(QStringLiteral("Grabar"), 2400, this);
    cmdgrabar->setObjectName(QStringLiteral("cmdgrabar"));
    connect(cmdgrabar, &QPushButton::clicked, this, &frmgrabador::cmdgrabar_Click);
    cmdcancelar = makeButton(QStringLiteral("Cancelar"), 240, this);
    cmdcancelar->setObjectName(QStringLiteral("cmdcancelar"));
    connect(cmdcancelar, &QPushButton::clicked, this, &frmgrabador::cmdcancelar_Click);
    setTabOrder(cmdgrabar, cmdcancelar);

    Form_Load();
}

void frmgrabador::Form_Load()
{
    setWindowTitle(QStringLiteral("Grabar ") + m_ventanas.fileName());
}

void frmgrabador::cmdgrabar_Click()
{
    const QScopedValueRollback busy(m_busy, true);
    cmdgrabar->setEnabled(false);
    try {
        // The "open" of a recording: whatever the path holds now is replaced only at "save".
        m_reproductor.openForRecording();
        m_reproductor.setCommand(QStringLiteral("record"));
    } catch (const DeviceError &e) {
        // Nothing was recorded: the previous message stays current, as the title says.
        closeDeviceQuietly();
        giveBackPreviousMessage();
        tellOperator(QStringLiteral("No se puede empezar a grabar el mensaje. Compruebe que la entrada de "
                                    "sonido esté libre y vuelva a intentarlo."),
                     e.reason());
        unload();
        return;
    }
    cmdcancelar->setText(kStop);
}

void frmgrabador::cmdcancelar_Click()
{
    const QScopedValueRollback busy(m_busy, true);
    if (cmdcancelar->text() == kStop) {
        const QString path = m_reproductor.fileName();
        try {
            m_reproductor.setCommand(kStop);
            if (!keepTake()) {
                closeDeviceQuietly(); // the take goes with it; the file at the path stays as it was
                giveBackPreviousMessage();
                unload();
                return;
            }
            m_reproductor.setCommand(QStringLiteral("save"));
        } catch (const DeviceError &e) {
            // The device saves all or nothing: a file already at the path is left as it was.
            closeDeviceQuietly();
            giveBackPreviousMessage();
            tellOperator(QStringLiteral("No se ha podido guardar la grabación en %1. El mensaje anterior "
                                        "sigue siendo el actual.")
                             .arg(path),
                         e.reason());
            unload();
            return;
        }
        closeDeviceQuietly();
        m_recorded = true;
    } else {
        // Cancelled before recording: the device goes back to the message the title names.
        giveBackPreviousMessage();
    }
    unload();
}

// A take far from the level on the air, or clipped, is saved only if the operator says so. While
// the program ends no one is there to answer: it is kept.
bool frmgrabador::keepTake()
{
    const QString problem = LevelGain::takeProblem(m_reproductor.takeLoudness(), m_level);
    if (problem.isEmpty() || m_ending())
        return true;
    return m_boxes.show(
               QStringLiteral("La grabación no tiene el nivel adecuado: %1. ¿Quiere guardarla de todos "
                              "modos?")
                   .arg(problem),
               MessageBoxes::YesNo, MessageBoxes::Warning, QStringLiteral("Pregonal")) == MessageBoxes::Yes;
}

void frmgrabador::giveBackPreviousMessage()
{
    m_reproductor.setFileName(m_previousFileName);
}

void frmgrabador::closeDeviceQuietly()
{
    try {
        m_reproductor.setCommand(QStringLiteral("close"));
    } catch (const DeviceError &) {
        // Closed or not, there is nothing more to do with it here.
    }
}

void frmgrabador::tellOperator(const QString &text, const QString &cause)
{
    if (m_ending()) {
        // No one is there to answer a box while the program ends; it would only hold the end up.
        qWarning("%s %s", qUtf8Printable(text), qUtf8Printable(cause));
        return;
    }
    m_boxes.show(text, MessageBoxes::OkOnly, MessageBoxes::Critical, QStringLiteral("Pregonal"), cause);
}

void frmgrabador::unload()
{
    done(QDialog::Accepted);
}

// Esc presses the second button, whatever its caption: "Cancelar" or "Stop".
void frmgrabador::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdcancelar->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The window system cannot close the recorder; only its buttons do, and the end of the program,
// which keeps a running recording as "Stop" does.
void frmgrabador::closeEvent(QCloseEvent *event)
{
    if (!m_ending()) {
        event->ignore();
        return;
    }
    if (!m_busy) // else the handler under way ends the recorder once its box has gone
        cmdcancelar_Click();
    event->accept();
}
